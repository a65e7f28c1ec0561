#include "windows/OptionsUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string Text(const TOptionsSetting& setting) {
    std::string value;
    if (const bool* flag = std::get_if<bool>(&setting.Value))
        value = *flag ? "1" : "0";
    else if (const int* number = std::get_if<int>(&setting.Value))
        value = std::to_string(*number);
    else
        value = std::get<QString>(setting.Value).toStdString();
    return setting.Key.toStdString() + "=" + value;
}

// A main window as the dialog sees it: it keeps what it is told and notes every change and
// every command, in order.
class TFakeHost : public TOptionsHost {
public:
    bool FDigitalAudio = true;
    QStringList FInDevices{"Default", "Line In"};
    QString FInDeviceName = "Line In";
    QStringList FOutDevices{"Default", "Speakers", "Headphones"};
    QString FOutDeviceName = "Speakers";
    bool FDebug = false;
    bool FScreenSnap = true;
    int FModuleSetting = 1;
    int FModule = 0;
    bool FUseRDS = true;
    int FHardVolume = 5;
    int FBits = 16;
    int FSampleRate = 44100;
    bool FailWrite = false;

    std::vector<std::string> Log;

    bool DigitalAudio() const override { return FDigitalAudio; }
    QStringList InDevices() const override { return FInDevices; }
    QString InDeviceName() const override { return FInDeviceName; }
    QStringList OutDevices() const override { return FOutDevices; }
    QString OutDeviceName() const override { return FOutDeviceName; }
    bool Debug() const override { return FDebug; }
    bool ScreenSnap() const override { return FScreenSnap; }
    int ModuleSetting() const override { return FModuleSetting; }
    int Module() const override { return FModule; }
    bool UseRDS() const override { return FUseRDS; }
    int HardVolume() const override { return FHardVolume; }
    int CaptureBits() const override { return FBits; }
    int CaptureSampleRate() const override { return FSampleRate; }

    void SetDigitalAudio(bool Value) override { Note("digital", FDigitalAudio = Value); }
    void SetDebug(bool Value) override { Note("debug", FDebug = Value); }
    void SetScreenSnap(bool Value) override { Note("snap", FScreenSnap = Value); }
    void SetModuleSetting(int Value) override { Note("module setting", FModuleSetting = Value); }
    void UpdateVolumeRange() override { Log.push_back("update volume range"); }
    void SetUseRDS(bool Value) override { Note("rds", FUseRDS = Value); }
    void SendRDSSetting() override { Log.push_back("send rds"); }
    void SetHardVolume(int Value) override { Note("hard volume", FHardVolume = Value); }
    void SendChipVolume(int Volume) override { Note("send chip volume", Volume); }
    void SetInDevice(const QString& Name) override {
        FInDeviceName = Name;
        Log.push_back("in device " + Name.toStdString());
    }
    void SetOutDevice(const QString& Name) override {
        FOutDeviceName = Name;
        Log.push_back("out device " + Name.toStdString());
    }
    void SetCaptureFormat(int Bits, int SampleRate) override {
        FBits = Bits;
        FSampleRate = SampleRate;
        Log.push_back("capture " + std::to_string(Bits) + " " + std::to_string(SampleRate));
    }
    void SetLogVisible(bool Visible) override { Note("log visible", Visible); }
    void WriteSettings(const std::vector<TOptionsSetting>& Settings) override {
        if (FailWrite)
            throw std::runtime_error("Unable to write to /nowhere/orvalen.ini");
        std::string line = "write";
        for (const TOptionsSetting& setting : Settings)
            line += " " + Text(setting);
        Log.push_back(line);
    }

private:
    void Note(const std::string& what, int value) {
        Log.push_back(what + " " + std::to_string(value));
    }
};

class OptionsDialog : public ::testing::Test {
protected:
    OptionsDialog() {
        auto host = std::make_unique<TFakeHost>();
        Host = host.get();
        Form = std::make_unique<TOptionsForm>(std::move(host));
        Form->OnError = [this](const QString& message) { Errors << message; };
    }

    // What OK does with the fake's starting state and nothing changed in the dialog.
    static std::vector<std::string> UnchangedOk(const std::string& moduleSetting = "1") {
        // The devices and the format before digital sound: switched on, it starts on them.
        return {"in device Line In",
                "out device Speakers",
                "capture 16 44100",
                "digital 1",
                "debug 0",
                "snap 1",
                "module setting " + moduleSetting,
                "update volume range",
                "rds 1",
                "send rds",
                "hard volume 5",
                "write directsound=1 currentindevicename=Line In currentoutdevicename=Speakers "
                "debug=0 ScreenSnap=1 audiobits=1 audiosamplerate=5 usedmodule=" +
                    moduleSetting + " userds=1 hardVolume=5",
                "log visible 0"};
    }

    TFakeHost* Host = nullptr;
    std::unique_ptr<TOptionsForm> Form;
    QStringList Errors;
};

TEST_F(OptionsDialog, LayoutAndTexts) {
    TOptionsForm& f = *Form;
    EXPECT_EQ(f.windowTitle(), QString::fromUtf8("Настройки"));
    EXPECT_EQ(f.size(), QSize(545, 412));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_EQ(f.font().pixelSize(), 11);

    const struct {
        QWidget* Control;
        QRect Bounds;
    } places[] = {
        {f.GroupBox1, {8, 8, 530, 357}},
        {f.GroupBox3, {8, 16, 297, 121}},
        {f.CheckBoxScreenSnap, {8, 16, 177, 25}},
        {f.CheckBoxDirectSound, {8, 46, 230, 17}},
        {f.CheckBoxRDS, {8, 70, 230, 17}},
        {f.GroupBox2, {8, 144, 297, 201}},
        {f.ComboBoxAudioDevices, {56, 24, 233, 21}},
        {f.ComboBoxAudioOut, {56, 60, 233, 21}},
        {f.ComboBoxBits, {56, 100, 49, 21}},
        {f.ComboBoxSampleRate, {144, 132, 73, 21}},
        {f.TrackBarHardVolume, {208, 168, 81, 25}},
        {f.RadioGroupFMModule, {312, 16, 209, 89}},
        {f.BitBtn1, {369, 372, 81, 33}},
        {f.BitBtn2, {457, 372, 81, 33}},
        {f.CheckBoxDebug, {8, 380, 65, 17}},
    };
    for (const auto& place : places)
        EXPECT_EQ(place.Control->geometry(), place.Bounds)
            << place.Control->metaObject()->className();
    for (auto [label, pos] : {std::pair{f.Label1, QPoint(9, 27)},
                              {f.Label2, QPoint(9, 63)},
                              {f.Label3, QPoint(9, 103)},
                              {f.Label4, QPoint(9, 135)},
                              {f.Label5, QPoint(9, 175)}}) {
        EXPECT_EQ(label->pos(), pos);
        EXPECT_EQ(label->parentWidget(), f.GroupBox2);
    }

    EXPECT_EQ(f.GroupBox3->title(), QString::fromUtf8("Основные настройки"));
    EXPECT_EQ(f.GroupBox2->title(), QString::fromUtf8("Цифровая обработка звука"));
    EXPECT_EQ(f.CheckBoxScreenSnap->text(), QString::fromUtf8("Прилипать к краям экрана"));
    EXPECT_EQ(f.CheckBoxDirectSound->text(),
              QString::fromUtf8("Включить цифровую обработку звука"));
    EXPECT_EQ(f.CheckBoxRDS->text(), QString::fromUtf8("Использовать RDS (RDA5807)"));
    EXPECT_EQ(f.Label1->text(), QString::fromUtf8("Вход"));
    EXPECT_EQ(f.Label2->text(), QString::fromUtf8("Выход"));
    EXPECT_EQ(f.Label3->text(), QString::fromUtf8("Бит"));
    EXPECT_EQ(f.Label4->text(), QString::fromUtf8("Частота дискретизации"));
    EXPECT_EQ(f.Label5->text(), QString::fromUtf8("Громкость чипа (только для RDA5807)"));
    EXPECT_EQ(f.RadioGroupFMModule->title(), QString::fromUtf8("Подключаемый FM-модуль"));
    QStringList modules;
    for (QRadioButton* item : f.RadioGroupFMModule->Buttons())
        modules << item->text();
    EXPECT_EQ(modules, (QStringList{QString::fromUtf8("Автоматически"), "TEA5767", "RDA5807M"}));
    EXPECT_EQ(f.BitBtn1->text(), "OK");
    EXPECT_FALSE(f.BitBtn1->icon().isNull());
    EXPECT_EQ(f.BitBtn2->text(), "Cancel");
    EXPECT_EQ(f.CheckBoxDebug->text(), "Debug");

    QStringList bits, rates;
    for (int i = 0; i < f.ComboBoxBits->count(); ++i)
        bits << f.ComboBoxBits->itemText(i);
    for (int i = 0; i < f.ComboBoxSampleRate->count(); ++i)
        rates << f.ComboBoxSampleRate->itemText(i);
    EXPECT_EQ(bits, (QStringList{"8", "16", "24", "32"}));
    EXPECT_EQ(rates, (QStringList{"8000", "11025", "16000", "22050", "32000", "44100", "48000",
                                  "96000", "192000"}));
    EXPECT_FALSE(f.ComboBoxBits->isEditable());
    EXPECT_EQ(f.TrackBarHardVolume->orientation(), Qt::Horizontal);
    EXPECT_EQ(f.TrackBarHardVolume->minimum(), 1);
    EXPECT_EQ(f.TrackBarHardVolume->maximum(), 15);
    EXPECT_EQ(f.TrackBarHardVolume->value(), 8);
}

TEST_F(OptionsDialog, OkWithNothingChangedAppliesAndRewritesTheSameInOrder) {
    // The chip volume goes out only to a connected RDA5807M.
    for (int module : {0, 1, 2}) {
        SCOPED_TRACE(module);
        Host->FModule = module;
        Host->Log.clear();
        Form->show();
        EXPECT_TRUE(Host->Log.empty()) << "showing only reads";
        Form->BitBtn1->click();
        std::vector<std::string> expected = UnchangedOk();
        if (module == 2)
            expected.insert(expected.begin() + 11, "send chip volume 5");
        EXPECT_EQ(Host->Log, expected);
        EXPECT_FALSE(Form->isVisible());
    }
    EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(OptionsDialog, ChosenValuesAreAppliedAndStoredAsListPositions) {
    Form->show();
    Form->ComboBoxBits->setCurrentIndex(Form->ComboBoxBits->findText("24"));
    Form->ComboBoxSampleRate->setCurrentIndex(Form->ComboBoxSampleRate->findText("96000"));
    Form->RadioGroupFMModule->Buttons()[2]->click();
    Form->ComboBoxAudioDevices->setCurrentIndex(0);
    Form->ComboBoxAudioOut->setCurrentIndex(2);
    Form->TrackBarHardVolume->setValue(15);
    Form->CheckBoxRDS->setChecked(false);
    Form->CheckBoxScreenSnap->setChecked(false);
    Form->BitBtn1->click();

    // The module choice is only stored (and the volume range follows); nothing reconnects.
    EXPECT_EQ(Host->Log, (std::vector<std::string>{
                             "in device Default", "out device Headphones", "capture 24 96000",
                             "digital 1", "debug 0", "snap 0", "module setting 2",
                             "update volume range", "rds 0", "send rds", "hard volume 15",
                             "write directsound=1 currentindevicename=Default "
                             "currentoutdevicename=Headphones debug=0 ScreenSnap=0 audiobits=2 "
                             "audiosamplerate=7 usedmodule=2 userds=0 hardVolume=15",
                             "log visible 0"}));

    // The next showing reads back what was applied.
    Form->show();
    EXPECT_EQ(Form->ComboBoxBits->currentText(), "24");
    EXPECT_EQ(Form->ComboBoxSampleRate->currentText(), "96000");
    EXPECT_EQ(Form->RadioGroupFMModule->ItemIndex(), 2);
    EXPECT_EQ(Form->ComboBoxAudioOut->currentText(), "Headphones");
}

TEST_F(OptionsDialog, DebugShowsAndHidesTheLogWindow) {
    for (bool debug : {true, false}) {
        Host->Log.clear();
        Form->show();
        Form->CheckBoxDebug->setChecked(debug);
        Form->BitBtn1->click();
        ASSERT_EQ(Host->Log.size(), 13u);
        EXPECT_EQ(Host->Log[4], debug ? "debug 1" : "debug 0");
        EXPECT_NE(Host->Log[11].find(debug ? " debug=1 " : " debug=0 "), std::string::npos);
        EXPECT_EQ(Host->Log.back(), debug ? "log visible 1" : "log visible 0");
    }
}

TEST_F(OptionsDialog, DigitalGroupFollowsTheBoxAtOnceAndCancelAppliesNothing) {
    enum class Leave { CancelButton, Escape, CloseBox };
    for (Leave leave : {Leave::CancelButton, Leave::Escape, Leave::CloseBox}) {
        SCOPED_TRACE(int(leave));
        Form->show();
        EXPECT_TRUE(Form->GroupBox2->isEnabled());
        Form->CheckBoxDirectSound->click();
        EXPECT_FALSE(Form->CheckBoxDirectSound->isChecked());
        EXPECT_FALSE(Form->GroupBox2->isEnabled()) << "before OK";
        Form->CheckBoxDebug->setChecked(true);
        Form->ComboBoxBits->setCurrentIndex(0);
        switch (leave) {
        case Leave::CancelButton:
            Form->BitBtn2->click();
            break;
        case Leave::Escape: {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(Form.get(), &escape);
            break;
        }
        case Leave::CloseBox:
            Form->close();
            break;
        }
        EXPECT_FALSE(Form->isVisible());
        EXPECT_TRUE(Host->Log.empty()) << Host->Log.front();
        EXPECT_TRUE(Host->FDigitalAudio);
    }
}

TEST_F(OptionsDialog, FirstShowingWithDigitalSoundOffDisablesItsGroup) {
    Host->FDigitalAudio = false;
    Form->show();
    EXPECT_FALSE(Form->CheckBoxDirectSound->isChecked());
    EXPECT_FALSE(Form->GroupBox2->isEnabled());
    Form->CheckBoxDirectSound->click();
    EXPECT_TRUE(Form->GroupBox2->isEnabled());
}

TEST_F(OptionsDialog, EveryShowingRefillsFromTheMainWindow) {
    Form->show();
    Form->CheckBoxScreenSnap->setChecked(false);
    Form->TrackBarHardVolume->setValue(12);
    Form->BitBtn2->click();

    // Meanwhile the devices changed, the stored names no longer match exactly, and the
    // settings file held values the controls have no place for.
    Host->FInDevices = {"Default", "USB Mic", "usb mic"};
    Host->FInDeviceName = "USB MIC";
    Host->FOutDevices = {"Default", "HDMI"};
    Host->FOutDeviceName = "Speakers";
    Host->FScreenSnap = true;
    Host->FDebug = true;
    Host->FUseRDS = false;
    Host->FBits = 20;
    Host->FSampleRate = 44100;
    Host->FModuleSetting = 7;
    Host->FHardVolume = 0;
    Form->show();

    EXPECT_EQ(Form->ComboBoxAudioDevices->count(), 3);
    EXPECT_EQ(Form->ComboBoxAudioDevices->currentIndex(), 1) << "first match, ignoring case";
    EXPECT_EQ(Form->ComboBoxAudioOut->count(), 2);
    EXPECT_EQ(Form->ComboBoxAudioOut->currentIndex(), -1) << "a device no longer listed";
    EXPECT_TRUE(Form->CheckBoxScreenSnap->isChecked());
    EXPECT_TRUE(Form->CheckBoxDebug->isChecked());
    EXPECT_FALSE(Form->CheckBoxRDS->isChecked());
    EXPECT_EQ(Form->ComboBoxBits->currentIndex(), -1);
    EXPECT_EQ(Form->ComboBoxSampleRate->currentText(), "44100");
    EXPECT_EQ(Form->RadioGroupFMModule->ItemIndex(), 2);
    EXPECT_EQ(Form->TrackBarHardVolume->value(), 1);

    Form->BitBtn1->click();
    // The output device stays as it was; bits without a selection are stored as such and
    // the capture falls back to 16 bits.
    EXPECT_EQ(Host->FInDeviceName, "USB Mic");
    EXPECT_EQ(Host->FOutDeviceName, "Speakers");
    const std::string written = Host->Log[Host->Log.size() - 2];
    EXPECT_NE(written.find("currentindevicename=USB Mic currentoutdevicename=Speakers "),
              std::string::npos)
        << written;
    EXPECT_NE(written.find(" audiobits=-1 audiosamplerate=5 usedmodule=2 "), std::string::npos)
        << written;
    EXPECT_EQ(Host->Log[1], "capture 16 44100");
    for (const std::string& entry : Host->Log)
        EXPECT_NE(entry.rfind("out device", 0), 0u) << entry;
}

TEST_F(OptionsDialog, NoModuleShownForANegativeSetting) {
    Host->FModuleSetting = -4;
    Form->show();
    EXPECT_EQ(Form->RadioGroupFMModule->ItemIndex(), -1);
    for (QRadioButton* item : Form->RadioGroupFMModule->Buttons())
        EXPECT_FALSE(item->isChecked());
}

TEST_F(OptionsDialog, UnwritableSettingsAreToldYetEverythingIsApplied) {
    Host->FailWrite = true;
    Form->show();
    Form->ComboBoxBits->setCurrentIndex(3);
    Form->CheckBoxDebug->setChecked(true);
    Form->BitBtn1->click();

    EXPECT_EQ(Errors, QStringList{"Unable to write to /nowhere/orvalen.ini"});
    ASSERT_GE(Host->Log.size(), 3u);
    EXPECT_EQ(Host->Log[2], "capture 32 44100");
    EXPECT_EQ(Host->Log.back(), "log visible 1");
    // Still open with the choices, so that OK can write them once the file can be written.
    EXPECT_TRUE(Form->isVisible());
    Host->FailWrite = false;
    Form->BitBtn1->click();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Errors.size(), 1);
    EXPECT_NE(Host->Log[Host->Log.size() - 2].find(" debug=1 ScreenSnap=1 audiobits=3 "),
              std::string::npos);
}

TEST_F(OptionsDialog, IsModelessSoTheMainWindowStaysUsable) {
    QWidget mainWindow;
    QPushButton button("main", &mainWindow);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    mainWindow.show();

    auto host = std::make_unique<TFakeHost>();
    TOptionsForm owned(std::move(host), &mainWindow);
    owned.show(); // returns at once: no local event loop
    EXPECT_TRUE(owned.isVisible());
    EXPECT_FALSE(owned.isModal());
    EXPECT_EQ(owned.windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    button.click();
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(owned.isVisible());
    // A second press of the settings button while it is open does not refill it.
    owned.ComboBoxBits->setCurrentIndex(0);
    owned.show();
    EXPECT_EQ(owned.ComboBoxBits->currentText(), "8");
}

} // namespace
