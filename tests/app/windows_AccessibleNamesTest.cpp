// What a screen reader finds in the main window, the options dialog and the equalizer window:
// each control's role and name, the sliders' values, and the display's line as it changes.
#include "ShownMainForm.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "stations/StationFile.h"
#include "stations/StationListBox.h"

#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <vector>

namespace {

struct TControl {
    QWidget* widget;
    QAccessible::Role role;
    const char* name;
};

void ExpectControls(const std::vector<TControl>& controls) {
    for (const TControl& c : controls) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.widget, nullptr);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(c.widget);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name).toStdString(), c.name);
        EXPECT_EQ(face->role(), c.role);
    }
}

std::string ValueText(QWidget* control) {
    return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Value).toStdString();
}

class AccessibleNamesTest : public ShownMainFormTest {};

TEST(AccessibleValueTexts, SayTheFrequencyAndTheVolumeShare) {
    const struct {
        bool bandFM;
        int position;
        const char* text;
    } tuning[] = {{true, 137, "101.7 МГц"},
                  {true, 0, "88.0 МГц"},
                  {true, 200, "108.0 МГц"},
                  {false, 41, "70.0 МГц"},
                  {false, 0, "65.9 МГц"}};
    for (const auto& c : tuning)
        EXPECT_EQ(TuningValueText(c.bandFM, c.position).toStdString(), c.text);
    const struct {
        int position, min, max;
        const char* text;
    } volume[] = {{75, 0, 100, "75 %"},
                  {0, 0, 100, "0 %"},
                  {15, 0, 15, "100 %"},
                  {8, 0, 15, "53 %"},
                  {0, 0, 0, "0 %"}};
    for (const auto& c : volume)
        EXPECT_EQ(VolumeValueText(c.position, c.min, c.max).toStdString(), c.text);
    EXPECT_EQ(VolumeKeyStep(0, 100), 5);
    EXPECT_EQ(VolumeKeyStep(0, 15), 1);
}

TEST_F(AccessibleNamesTest, MainWindowControlsAreNamedByWhatTheyDo) {
    WriteSettings("[main]\nShowList=1\nfmfrequency=137\nvolume=75\n");
    TMainForm& f = StartShown();
    using A = QAccessible;
    ExpectControls({
        {f.SpeedButtonConnected, A::Button, "Подключение"},
        {f.SpeedButtonPower, A::Button, "Питание"},
        {f.SpeedButton2, A::Button, "О программе"},
        {f.SpeedButton1, A::Button, "Настройки"},
        {f.SpeedButtonSeekLeft, A::Button, "Поиск вниз"},
        {f.SpeedButtonStepLeft, A::Button, "Шаг вниз"},
        {f.SpeedButtonStepRight, A::Button, "Шаг вверх"},
        {f.SpeedButtonSeekRight, A::Button, "Поиск вверх"},
        {f.SpeedButtonList, A::Button, "Список станций"},
        {f.SpeedButtonStereo, A::Button, "Стерео"},
        {f.SpeedButtonMute, A::Button, "Без звука"},
        {f.SpeedButtonFMBand, A::Button, "Диапазон"},
        {f.SpeedButtonBass, A::Button, "Усиление басов"},
        {f.SpeedButtonEqalizerOnOff, A::Button, "Эквалайзер вкл/выкл"},
        {f.SpeedButtonEqalizerForm, A::Button, "Окно эквалайзера"},
        {f.SpeedButtonAddStation, A::Button, "Добавить станцию"},
        {f.SpeedButtonEditStation, A::Button, "Править станцию"},
        {f.SpeedButtonDelStation, A::Button, "Удалить станцию"},
        {f.SpeedButtonSortList, A::Button, "Сортировать список"},
        {f.TrackBarFMTune, A::Slider, "Частота"},
        {f.TrackBarVolume, A::Slider, "Громкость"},
        {f.ListBoxStations, A::List, "Список станций"},
        {f.FScreen, A::StaticText, "101.7 МГц FM, выключен"},
    });
    // The toggles show whether they are pressed.
    f.SpeedButtonMute->click();
    QAccessibleInterface* mute = QAccessible::queryAccessibleInterface(f.SpeedButtonMute);
    EXPECT_TRUE(mute->state().checkable);
    EXPECT_TRUE(mute->state().checked);
    EXPECT_TRUE(mute->state().pressed);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(f.SpeedButton1)->state().checkable);

    EXPECT_EQ(ValueText(f.TrackBarFMTune), "101.7 МГц");
    EXPECT_EQ(ValueText(f.TrackBarVolume), "75 %");
    f.SpeedButtonFMBand->click();
    ASSERT_FALSE(f.FBandFM);
    EXPECT_EQ(ValueText(f.TrackBarFMTune),
              TuningValueText(false, f.TrackBarFMTune->Position()).toStdString());
    EXPECT_EQ(Name(f.FScreen), QString("%1 МГц УКВ, выключен")
                                   .arg(f.FScreen->TuneValue() / 10.0, 0, 'f', 1)
                                   .toStdString());
}

TEST_F(AccessibleNamesTest, SettingTheFrequencysValueTunesAsADragDoes) {
    WriteSettings("[main]\nfmfrequency=137\n");
    TMainForm& f = StartShown();
    f.SpeedButtonPower->click();
    Settle();
    ASSERT_TRUE(f.FPowerOn);
    QAccessibleValueInterface* value =
        QAccessible::queryAccessibleInterface(f.TrackBarFMTune)->valueInterface();
    ASSERT_NE(value, nullptr);
    // In megahertz, as the user thinks of it.
    EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), 101.7);
    EXPECT_DOUBLE_EQ(value->minimumValue().toDouble(), 88.0);
    EXPECT_DOUBLE_EQ(value->maximumValue().toDouble(), 108.0);
    EXPECT_NEAR(value->minimumStepSize().toDouble(), 0.1, 1e-9);
    value->setCurrentValue(95.5);
    EXPECT_EQ(f.TrackBarFMTune->Position(), 75);
    EXPECT_EQ(f.FScreen->TuneValue(), 955);
    EXPECT_EQ(f.FFMPosition, 75);
    Settle();
    EXPECT_EQ(f.FScreen->TuneValue(), 955) << "the tuner stays where it was sent";
    EXPECT_EQ(ValueText(f.TrackBarFMTune), "95.5 МГц");

    // The volume slider too: the chain's level follows.
    QAccessible::queryAccessibleInterface(f.TrackBarVolume)->valueInterface()->setCurrentValue(40);
    EXPECT_EQ(f.TrackBarVolume->Position(), 40);
    EXPECT_EQ(ValueText(f.TrackBarVolume), "40 %");

    // Switched off, the scale is disabled and the value stays.
    f.SpeedButtonPower->click();
    ASSERT_FALSE(f.FPowerOn);
    value->setCurrentValue(89.0);
    EXPECT_EQ(f.FScreen->TuneValue(), 955);
}

TEST_F(AccessibleNamesTest, DisplayAnnouncesTheStationItTunes) {
    QString error;
    ASSERT_TRUE(Stations::SaveStationFile(FDir.filePath("orvalen.lst"),
                                          {"101.7=Новости", "95.5=Дача"}, &error));
    WriteSettings("[main]\nShowList=1\nfmfrequency=137\n");
    TMainForm& f = StartShown();
    f.SpeedButtonPower->click();
    Settle();
    const std::string sound = f.FScreen->IsStereo() ? "стерео" : "моно";
    EXPECT_EQ(Name(f.FScreen), "101.7 МГц FM, Новости, " + sound);
    std::vector<QString> told;
    QObject::connect(f.FScreen, &TOrvalenScreen::ReadingChanged,
                     [&] { told.push_back(f.FScreen->ReadingText()); });
    Press(Qt::Key_PageUp);
    EXPECT_EQ(f.FScreen->TuneValue(), 955);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back().toStdString(), "95.5 МГц FM, Дача, " + sound);
    EXPECT_EQ(Name(f.FScreen), "95.5 МГц FM, Дача, " + sound);
    // The list's rows read in words.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.ListBoxStations);
    ASSERT_EQ(list->childCount(), 2);
    EXPECT_EQ(list->child(0)->text(QAccessible::Name).toStdString(), "101.7 МГц — Новости");
}

TEST_F(AccessibleNamesTest, OptionsFieldsAreNamedByTheirCaptions) {
    StartShown(false);
    TOptionsForm& o = *OptionsForm;
    o.show();
    using A = QAccessible;
    ExpectControls({
        {o.CheckBoxScreenSnap, A::CheckBox, "Прилипать к краям экрана"},
        {o.CheckBoxDirectSound, A::CheckBox, "Включить цифровую обработку звука"},
        {o.CheckBoxRDS, A::CheckBox, "Использовать RDS (RDA5807)"},
        {o.RadioGroupFMModule->Buttons()[0], A::RadioButton, "Автоматически"},
        {o.RadioGroupFMModule->Buttons()[2], A::RadioButton, "RDA5807M"},
        {o.TrackBarHardVolume, A::Slider, "Громкость чипа"},
        {o.CheckBoxDebug, A::CheckBox, "Debug"},
        {o.BitBtn1, A::Button, "OK"},
        {o.BitBtn2, A::Button, "Cancel"},
    });
    // Qt names a drop-down list on this platform by its item and ties the caption to it as
    // its label, which is what screen readers say with it.
    const struct {
        QComboBox* list;
        QLabel* caption;
    } lists[] = {{o.ComboBoxAudioDevices, o.Label1},
                 {o.ComboBoxAudioOut, o.Label2},
                 {o.ComboBoxBits, o.Label3},
                 {o.ComboBoxSampleRate, o.Label4}};
    for (const auto& l : lists) {
        SCOPED_TRACE(l.caption->text().toStdString());
        EXPECT_EQ(l.caption->buddy(), l.list);
        EXPECT_EQ(l.list->accessibleName(), l.caption->text());
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(l.list);
        EXPECT_EQ(face->role(), QAccessible::ComboBox);
        bool labelled = false;
        for (const auto& [label, relation] : face->relations(QAccessible::Label))
            labelled = labelled || label->object() == l.caption;
        EXPECT_TRUE(labelled);
    }
    EXPECT_EQ(o.Label5->buddy(), o.TrackBarHardVolume);
}

TEST_F(AccessibleNamesTest, EqualizerSlidersAreNamedByTheirBandsAndSayTheirGain) {
    StartShown(false);
    TFormEqualizer& e = *FormEqualizer;
    const char* bands[] = {"80 Гц", "170 Гц", "310 Гц", "600 Гц", "1 кГц",
                           "3 кГц", "6 кГц",  "10 кГц", "12 кГц", "14 кГц"};
    std::vector<TControl> controls;
    for (int i = 0; i < EqualizerBandCount; ++i)
        controls.push_back({e.FTrackBars[std::size_t(i)], QAccessible::Slider, bands[i]});
    ExpectControls(controls);
    EXPECT_EQ(e.ComboBoxEQ->accessibleName(), "Предустановка");
    // Rock: -2, 1, 3, 7, ... ; a thumb above the middle raises its band.
    e.ComboBoxEQ->setCurrentIndex(1);
    e.ComboBoxEQChange();
    EXPECT_EQ(ValueText(e.FTrackBars[0]), "+1 дБ");
    EXPECT_EQ(ValueText(e.FTrackBars[3]), "−5 дБ");
    EXPECT_EQ(ValueText(e.FTrackBars[6]), "0 дБ");
    // Set from outside, a slider makes the setting the user's own, as a drag does.
    // In decibels: the top of the range is +6 dB.
    QAccessible::queryAccessibleInterface(e.FTrackBars[6])->valueInterface()->setCurrentValue(6.0);
    EXPECT_EQ(e.ComboBoxEQ->currentIndex(), EqualizerCustomIndex);
    EXPECT_EQ(e.FCustomPositions[6], -15);
    EXPECT_EQ(ValueText(e.FTrackBars[6]), "+6 дБ");
}

} // namespace
