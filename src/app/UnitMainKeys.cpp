// Keyboard control of the main window. GUI thread only.
//
// The keys are window shortcuts, so they work whichever control of the main window has the
// focus, and never while another window (a dialog, a message box, the equalizer, the log)
// is the active one. The station list keeps Up, Down, Home, End, Space, Enter and its
// type-ahead search for the other letters; Left, Right, Page Up and Page Down are the
// window's, since the list has no use for the first two and the last two tune through its
// stations instead of paging it.
#include "UnitMain.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "stations/StationList.h"
#include "stations/StationListBox.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolButton>

namespace {

// Qt already keeps window shortcuts from a window that is not the active one or that a modal
// dialog shadows; inside the window, a control that takes typing keeps every key, even those
// it has no use for.
bool TypingHasTheKeyboard() {
    const QWidget* focus = QApplication::focusWidget();
    return qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus) ||
           qobject_cast<const QTextEdit*>(focus) || qobject_cast<const QPlainTextEdit*>(focus);
}

} // namespace

void TMainForm::CreateKeyboardControls() {
    TMainForm& form = *this;
    // A key does what its button does: a click, which a disabled button ignores.
    const auto add = [&form](const QKeySequence& key, bool repeat, auto run) {
        auto* action = new QAction(&form);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setAutoRepeat(repeat);
        QObject::connect(action, &QAction::triggered, &form, [&form, run] {
            if (!TypingHasTheKeyboard())
                run(form);
        });
        form.addAction(action);
    };
    const auto button = [&](const QKeySequence& key, bool repeat, QToolButton* TMainForm::*field) {
        add(key, repeat, [field](TMainForm& f) { (f.*field)->click(); });
    };
    // Held down, the tuning keys go on tuning; a held toggle must not flicker on and off.
    button(Qt::Key_Left, true, &TMainForm::SpeedButtonStepLeft);
    button(Qt::Key_Right, true, &TMainForm::SpeedButtonStepRight);
    button(Qt::CTRL | Qt::Key_Left, true, &TMainForm::SpeedButtonSeekLeft);
    button(Qt::CTRL | Qt::Key_Right, true, &TMainForm::SpeedButtonSeekRight);
    add(Qt::Key_PageUp, true, [](TMainForm& f) { f.TuneAdjacentStation(-1); });
    add(Qt::Key_PageDown, true, [](TMainForm& f) { f.TuneAdjacentStation(1); });
    button(Qt::Key_M, false, &TMainForm::SpeedButtonMute);
    button(Qt::Key_S, false, &TMainForm::SpeedButtonStereo);
    button(Qt::Key_B, false, &TMainForm::SpeedButtonFMBand);
    button(Qt::Key_P, false, &TMainForm::SpeedButtonPower);
    button(Qt::Key_E, false, &TMainForm::SpeedButtonEqalizerForm);
    button(Qt::Key_L, false, &TMainForm::SpeedButtonList);
    button(Qt::Key_F1, false, &TMainForm::SpeedButton2);
    button(Qt::Key_O, false, &TMainForm::SpeedButton1);
    button(Qt::Key_A, false, &TMainForm::SpeedButtonBass);
    button(Qt::Key_Q, false, &TMainForm::SpeedButtonEqalizerOnOff);
    // Up and Down stay the station list's. "=" is "+" without Shift on many keyboards.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)})
        add(key, true, [](TMainForm& f) { f.StepVolume(1); });
    add(Qt::Key_Minus, true, [](TMainForm& f) { f.StepVolume(-1); });
}

void TMainForm::StepVolume(int direction) {
    TImageTrackBar& volume = *TrackBarVolume;
    if (direction == 0)
        return;
    const int step = VolumeKeyStep(volume.Min(), volume.Max());
    volume.MoveByUser(volume.Position() + (direction > 0 ? step : -step));
}

void TMainForm::TuneAdjacentStation(int direction) {
    // The step and seek buttons are disabled then, and so is this.
    if (!FConnected || !FPowerOn || direction == 0)
        return;
    const int index = Stations::AdjacentStation(ListBoxStations->Lines(), FScreen->TuneValue(),
                                                FBandFM, direction);
    if (index < 0) {
        (direction > 0 ? SpeedButtonSeekRight : SpeedButtonSeekLeft)->click();
        return;
    }
    // Tuned exactly as a double-click on the row tunes it; the row stays selected, so the
    // list shows where the key went.
    ListBoxStations->SetItemIndex(index);
    ListBoxStationsDblClick();
}
