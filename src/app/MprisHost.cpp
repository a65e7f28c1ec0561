#include "MprisHost.h"

#include "Application.h"
#include "UnitMain.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "windows/UnitLogs.h"

#include <QToolButton>
#include <cmath>

namespace {

// Sets a toggle button as a click would leave it and runs its handler; a disabled button
// (power while no tuner is connected) ignores it, as it ignores a click.
void Press(TMainForm& form, QToolButton* button, bool checked, void (TMainForm::*handler)()) {
    if (!button->isEnabled() || button->isChecked() == checked)
        return;
    button->setChecked(checked);
    (form.*handler)();
}

} // namespace

TMprisState TMainFormMprisHost::State() const {
    TMprisState state;
    state.Connected = FForm.FConnected;
    state.PowerOn = FForm.FPowerOn;
    state.Muted = FForm.FMuted;
    state.BandFM = FForm.FBandFM;
    state.TuneValue = FForm.FScreen->TuneValue();
    state.StationName = FForm.FScreen->Text();
    // The RDS name as the display shows it: only while RDS is on and the tuner is live.
    if (FForm.FScreen->RDSEnabled() && FForm.FConnected && FForm.FPowerOn)
        state.RDSName = FForm.FScreen->RDSString();
    const TImageTrackBar& volume = *FForm.TrackBarVolume;
    const int range = volume.Max() - volume.Min();
    state.Volume = range > 0 ? double(volume.Position() - volume.Min()) / range : 0.0;
    return state;
}

bool TMainFormMprisHost::Playing() const {
    return FForm.FConnected && FForm.FPowerOn && !FForm.FMuted;
}

void TMainFormMprisHost::Play() {
    if (FForm.Closed())
        return;
    Press(FForm, FForm.SpeedButtonPower, true, &TMainForm::SpeedButtonPowerClick);
    if (FForm.FPowerOn)
        Press(FForm, FForm.SpeedButtonMute, false, &TMainForm::SpeedButtonMuteClick);
}

void TMainFormMprisHost::Pause() {
    if (!FForm.Closed() && Playing())
        Press(FForm, FForm.SpeedButtonMute, true, &TMainForm::SpeedButtonMuteClick);
}

void TMainFormMprisHost::PlayPause() {
    if (Playing())
        Pause();
    else
        Play();
}

void TMainFormMprisHost::Stop() {
    if (!FForm.Closed())
        Press(FForm, FForm.SpeedButtonPower, false, &TMainForm::SpeedButtonPowerClick);
}

void TMainFormMprisHost::Next() {
    if (!FForm.Closed())
        FForm.TuneAdjacentStation(+1);
}

void TMainFormMprisHost::Previous() {
    if (!FForm.Closed())
        FForm.TuneAdjacentStation(-1);
}

void TMainFormMprisHost::SetVolume(double volume) {
    TImageTrackBar& slider = *FForm.TrackBarVolume;
    // A disabled slider cannot be moved by the user either: the volume has no effect then.
    if (FForm.Closed() || !slider.isEnabled())
        return;
    // SetPosition tells the window as a drag does, when the position changes.
    slider.SetPosition(slider.Min() + int(std::lround(volume * (slider.Max() - slider.Min()))));
}

void TMainFormMprisHost::Raise() {
    if (!FForm.Closed())
        FForm.N6Click();
}

void TMainFormMprisHost::Quit() {
    // After the reply has gone out: the close sequence may show a message box and ends the
    // service with the program.
    QMetaObject::invokeMethod(
        &FForm,
        [form = &FForm] {
            if (!form->Closed())
                form->N8Click();
        },
        Qt::QueuedConnection);
}

void TMainFormMprisHost::Log(const QString& line) {
    // Written at start-up, while the log window is still hidden: standard error keeps it.
    TApplication::Notice(line);
}

TMprisPlayer::TMprisPlayer(TMainForm& form, const QDBusConnection& bus)
    : FHost(form), FService(FHost, bus) {
    QObject::connect(&form, &TMainForm::PlayerStateChanged, &FService, &TMprisService::HostChanged);
}

std::unique_ptr<TMprisPlayer> StartMpris(TMainForm& form) {
    return std::make_unique<TMprisPlayer>(form, QDBusConnection::sessionBus());
}
