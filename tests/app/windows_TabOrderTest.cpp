// Tab takes the keyboard through every control of a window in reading order, and the focus
// shows on the picture buttons and the sliders only when the keyboard moved it.
#include "ShownMainForm.h"
#include "controls/ImageTrackBar.h"
#include "stations/StationListBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QToolButton>
#include <vector>

namespace {

class TabOrderTest : public ShownMainFormTest {
protected:
    // The names of the controls Tab visits, starting at `first`, until it comes back there.
    static std::vector<std::string> TabWalk(QWidget* first) {
        first->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(first->hasFocus()) << Name(first);
        std::vector<std::string> names;
        for (int i = 0; i < 60; ++i) {
            QWidget* focus = QApplication::focusWidget();
            if (!focus || (i > 0 && focus == first))
                break;
            names.push_back(Name(focus));
            Press(Qt::Key_Tab);
        }
        return names;
    }
};

const std::vector<std::string> kTopControls = {
    "Питание",        "О программе", "Настройки",           "Поиск вниз",
    "Шаг вниз",       "Частота",     "Шаг вверх",           "Поиск вверх",
    "Список станций", "Стерео",      "Без звука",           "Диапазон",
    "Усиление басов", "Громкость",   "Эквалайзер вкл/выкл", "Окно эквалайзера",
};

TEST_F(TabOrderTest, MainWindowInReadingOrderWithAndWithoutTheList) {
    TMainForm& f = StartShown();
    f.SpeedButtonPower->click(); // everything enabled
    Settle();
    ASSERT_TRUE(f.FPowerOn);
    EXPECT_EQ(TabWalk(f.SpeedButtonPower), kTopControls) << "the list hidden";
    f.SpeedButtonList->click();
    ASSERT_TRUE(f.GroupBoxList->isVisible());
    std::vector<std::string> all = kTopControls;
    for (const char* name : {"Список станций", "Добавить станцию", "Править станцию",
                             "Удалить станцию", "Сортировать список"})
        all.push_back(name);
    EXPECT_EQ(TabWalk(f.SpeedButtonPower), all);
    // The tuner off: the tuning controls drop out.
    f.SpeedButtonPower->click();
    ASSERT_FALSE(f.FPowerOn);
    std::vector<std::string> off;
    for (const std::string& name : all)
        if (name != "Поиск вниз" && name != "Шаг вниз" && name != "Частота" &&
            name != "Шаг вверх" && name != "Поиск вверх")
            off.push_back(name);
    EXPECT_EQ(TabWalk(f.SpeedButtonPower), off);
}

TEST_F(TabOrderTest, MainWindowStartsInTheStationListWhenItShows) {
    WriteSettings("[main]\nShowList=1\n");
    TMainForm& f = StartShown();
    EXPECT_EQ(QApplication::focusWidget(), f.ListBoxStations);
}

TEST_F(TabOrderTest, OptionsDialogAndEqualizerWindowInReadingOrder) {
    StartShown(false);
    OptionsForm->show();
    Activate(OptionsForm);
    EXPECT_EQ(TabWalk(OptionsForm->CheckBoxScreenSnap),
              std::vector<std::string>(
                  {"Прилипать к краям экрана", "Включить цифровую обработку звука",
                   "Использовать RDS (RDA5807)", "Автоматически", "Вход", "Выход", "Бит",
                   "Частота дискретизации", "Громкость чипа", "Debug", "OK", "Cancel"}))
        << "a drop-down list reads as its label";
    OptionsForm->hide();

    FormEqualizer->show();
    Activate(FormEqualizer);
    EXPECT_EQ(QApplication::focusWidget(), FormEqualizer->ComboBoxEQ)
        << "the window opens with the presets in hand";
    EXPECT_EQ(TabWalk(FormEqualizer->FTrackBars[0]),
              std::vector<std::string>({"80 Гц", "170 Гц", "310 Гц", "600 Гц", "1 кГц", "3 кГц",
                                        "6 кГц", "10 кГц", "12 кГц", "14 кГц", "Предустановка"}));
}

TEST_F(TabOrderTest, FocusShowsOnlyWhereTheKeyboardMovedIt) {
    WriteSettings("[main]\nShowList=1\n");
    TMainForm& f = StartShown();
    f.SpeedButtonPower->click();
    Settle();
    ASSERT_TRUE(f.FPowerOn);
    const std::vector<QWidget*> controls = {f.SpeedButtonMute, f.TrackBarFMTune, f.TrackBarVolume,
                                            f.SpeedButtonAddStation};
    std::vector<QImage> plain;
    for (QWidget* control : controls) {
        f.ListBoxStations->setFocus(Qt::OtherFocusReason);
        plain.push_back(control->grab().toImage());
        // A click leaves the focus where it was; focus given as at start-up draws nothing.
        EXPECT_FALSE(control->focusPolicy() & Qt::ClickFocus) << Name(control);
        control->setFocus(Qt::ActiveWindowFocusReason);
        ASSERT_TRUE(control->hasFocus());
        EXPECT_EQ(control->grab().toImage(), plain.back()) << Name(control);
    }
    for (std::size_t k = 0; k < controls.size(); ++k) {
        QWidget* control = controls[k];
        SCOPED_TRACE(Name(control));
        f.ListBoxStations->setFocus(Qt::OtherFocusReason);
        for (int i = 0; i < 30 && QApplication::focusWidget() != control; ++i)
            Press(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), control);
        EXPECT_NE(control->grab().toImage(), plain[k]);
        f.ListBoxStations->setFocus(Qt::OtherFocusReason);
        EXPECT_EQ(control->grab().toImage(), plain[k]);
    }
}

} // namespace
