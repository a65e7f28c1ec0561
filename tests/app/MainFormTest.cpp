#include "MainFormFixture.h"
#include "ModalAnswers.h"
#include "WaitFor.h"
#include "app/IniFile.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <gtest/gtest.h>

TEST_F(MainFormTest, FirstStartWithoutSettingsUsesEveryDefault) {
    TMainForm& form = Start();
    EXPECT_EQ(form.x(), 200);
    EXPECT_EQ(form.y(), 133);
    EXPECT_TRUE(form.FBandFM);
    EXPECT_EQ(form.TrackBarFMTune->Max(), 200);
    EXPECT_EQ(form.TrackBarFMTune->Position(), 0);
    EXPECT_EQ(form.FScreen->TuneValue(), 880);
    EXPECT_EQ(form.TrackBarVolume->Position(), 100);
    EXPECT_TRUE(form.FStereo);
    EXPECT_TRUE(form.SpeedButtonStereo->isChecked());
    EXPECT_FALSE(form.FMuted);
    EXPECT_FALSE(form.FBass);
    EXPECT_FALSE(form.SpeedButtonEqalizerOnOff->isChecked());
    EXPECT_FALSE(FAudio->FEqualizerEnabled);
    EXPECT_FALSE(form.GroupBoxList->isVisibleTo(&form));
    EXPECT_EQ(form.height(), 197);
    EXPECT_EQ(form.width(), 370);
    EXPECT_TRUE(form.FDigitalAudio);
    EXPECT_EQ(form.FModuleSetting, 0);
    EXPECT_EQ(form.FHardVolume, 8);
    EXPECT_EQ(FAudio->FBits, 16);
    EXPECT_EQ(FAudio->FSampleRate, 44100);
    EXPECT_TRUE(form.FSendEnabled);
    EXPECT_TRUE(form.FStarted);
    // Disconnected: power up and disabled, tuning controls off, no polling.
    EXPECT_FALSE(form.FConnected);
    EXPECT_FALSE(form.SpeedButtonPower->isChecked());
    EXPECT_FALSE(form.SpeedButtonPower->isEnabled());
    EXPECT_FALSE(form.TrackBarFMTune->isEnabled());
    EXPECT_FALSE(form.SpeedButtonSeekRight->isEnabled());
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_FALSE(form.FScreen->TunerState());
    EXPECT_EQ(FAudio->FInDeviceName, "Default");
    // The device lists wait for the window's first frame.
    EXPECT_EQ(FAudio->FInListings, 0);
    form.DeferredStart().Finish();
    EXPECT_EQ(*form.FInDevices, QStringList({"Default", "Line In"}));
    EXPECT_EQ(*form.FOutDevices, QStringList({"Default", "Speakers", "Headphones"}));
    form.DeferredStart().Finish();
    EXPECT_EQ(FAudio->FInListings, 1);
}

TEST_F(MainFormTest, EachPictureIsMadeOnceHoweverOftenAButtonToggles) {
    // New pixmaps at every toggle grew the program by kilobytes a click.
    TMainForm& form = Start();
    EXPECT_EQ(TMainForm::ImageListIcon(7).cacheKey(), TMainForm::ImageListIcon(7).cacheKey());
    const qint64 unmuted = form.SpeedButtonMute->icon().cacheKey();
    for (int i = 0; i < 2; ++i)
        form.SetMuted(!form.FMuted);
    EXPECT_EQ(form.SpeedButtonMute->icon().cacheKey(), unmuted);
}

TEST_F(MainFormTest, StoredUkvBandStartsThereAndEachBandKeepsItsPosition) {
    WriteSettings("[main]\nfmband=0\nukvfrequency=12\nfmfrequency=137\n");
    TMainForm& form = Start();
    EXPECT_TRUE(form.SpeedButtonFMBand->isChecked());
    EXPECT_EQ(form.SpeedButtonFMBand->text(), QString("УКВ"));
    EXPECT_EQ(form.TrackBarFMTune->Max(), 81);
    EXPECT_EQ(form.TrackBarFMTune->Position(), 12);
    EXPECT_EQ(form.FScreen->TuneValue(), 671);
    EXPECT_FALSE(form.FScreen->isFmStyle());

    form.SpeedButtonFMBand->click();
    EXPECT_EQ(form.SpeedButtonFMBand->text(), QString("FM"));
    EXPECT_EQ(form.TrackBarFMTune->Max(), 200);
    EXPECT_EQ(form.FScreen->TuneValue(), 1017);
    form.SpeedButtonFMBand->click();
    EXPECT_EQ(form.FScreen->TuneValue(), 671);
    EXPECT_EQ(form.FFMPosition, 137);
    EXPECT_EQ(form.FUKVPosition, 12);
}

TEST_F(MainFormTest, StoredPositionIsPulledBackIntoTheWorkArea) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int rightmost = area.right() + 1 - 370; // the full-height window's outer width
    const int lowest = area.bottom() + 1 - 468;
    const struct {
        QString left, top;
        QPoint expected;
    } cases[] = {
        {"-50", "-7", {0, 0}},
        {QString::number(area.right()), "10", {rightmost, 10}},
        // Sums with the window size beyond 32 bits.
        {"2147483278", "2147483647", {rightmost, lowest}},
        {"-2147483648", "0x7fffffff", {0, lowest}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.left + "," + c.top).toStdString());
        WriteSettings(("[main]\nLeft=" + c.left + "\nTop=" + c.top + "\n").toUtf8());
        TMainForm& form = Start();
        EXPECT_EQ(form.pos(), c.expected);
        EXPECT_TRUE(form.FormCloseQuery());
        const QByteArray written = ReadSettings();
        EXPECT_TRUE(written.contains("Left=" + QByteArray::number(c.expected.x()) + "\n"));
        EXPECT_TRUE(written.contains("Top=" + QByteArray::number(c.expected.y()) + "\n"));
        FForm.reset();
    }
}

TEST_F(MainFormTest, VolumeRangeFollowsModuleAndDigitalAudio) {
    TMainForm& form = Start();
    form.FModule = 2;
    form.SetDigitalAudio(false);
    EXPECT_EQ(form.TrackBarVolume->Max(), 15);
    EXPECT_EQ(form.TrackBarVolume->Position(), 15); // clamped
    EXPECT_TRUE(form.TrackBarVolume->isEnabled());
    form.SetDigitalAudio(true);
    EXPECT_EQ(form.TrackBarVolume->Max(), 100);
    EXPECT_TRUE(form.TrackBarVolume->isEnabled());
    form.FModule = 0;
    form.SetDigitalAudio(false);
    EXPECT_EQ(form.TrackBarVolume->Max(), 100);
    EXPECT_FALSE(form.TrackBarVolume->isEnabled());
    EXPECT_FALSE(form.SpeedButtonEqalizerOnOff->isEnabled());
}

TEST_F(MainFormTest, AudioChainRunsOnlyWhileDigitalConnectedAndPowered) {
    TMainForm& form = Start();
    form.SetConnected(true);
    FAudioLog.clear();
    form.SpeedButtonPower->setChecked(true);
    form.SetPowerOn(true);
    EXPECT_EQ(FAudioLog, (std::vector<std::string>{"in on", "out on"}));
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_TRUE(form.FScreen->TunerState());
    EXPECT_TRUE(form.TrackBarFMTune->isEnabled());
    form.SetConnected(false);
    EXPECT_FALSE(FAudio->FInEnabled);
    EXPECT_FALSE(form.FPowerOn);
    EXPECT_FALSE(form.SpeedButtonPower->isChecked());
    EXPECT_FALSE(form.Timer1->isActive());
}

TEST_F(MainFormTest, StoredSwitchesAndFormatAreApplied) {
    WriteSettings("[main]\nuseBass=1\nequalizeron=1\nShowList=1\naudiobits=3\n"
                  "audiosamplerate=8\ndirectsound=0\nvolume=250\n");
    TMainForm& form = Start();
    EXPECT_TRUE(form.SpeedButtonBass->isChecked());
    EXPECT_TRUE(FAudio->FEqualizerEnabled);
    EXPECT_TRUE(form.GroupBoxList->isVisibleTo(&form));
    EXPECT_EQ(form.height(), 462);
    EXPECT_EQ(FAudio->FBits, 32);
    EXPECT_EQ(FAudio->FSampleRate, 192000);
    EXPECT_FALSE(form.FDigitalAudio);
    EXPECT_EQ(form.TrackBarVolume->Position(), 100);
    form.SpeedButtonList->click();
    EXPECT_EQ(form.height(), 197);
}

TEST_F(MainFormTest, CloseWritesExactlyItsKeysInOrder) {
    WriteSettings("[main]\nLeft=-50\n");
    TMainForm& form = Start();
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_EQ(ReadSettings(), QByteArray("[main]\nLeft=0\nfmfrequency=0\nukvfrequency=0\n"
                                         "volume=100\ndirectsound=1\n"
                                         "currentindevicename=Default\n"
                                         "currentoutdevicename=Default\nfmband=1\n"
                                         "equalizeron=0\nTop=133\nShowList=0\nuseBass=0\n"));
    FForm.reset();
    QFile::remove(SettingsPath());
    Start().FormCloseQuery();
    EXPECT_EQ(ReadSettings(), QByteArray("[main]\r\nfmfrequency=0\r\nukvfrequency=0\r\n"
                                         "volume=100\r\ndirectsound=1\r\n"
                                         "currentindevicename=Default\r\n"
                                         "currentoutdevicename=Default\r\nfmband=1\r\n"
                                         "equalizeron=0\r\nLeft=200\r\nTop=133\r\n"
                                         "ShowList=0\r\nuseBass=0\r\n"));
}

namespace {

// A close request as the window manager's close box sends it; true when the window closed.
bool PressCloseBox(QWidget& window) {
    QCloseEvent close;
    QCoreApplication::sendEvent(window.windowHandle(), &close);
    return close.isAccepted();
}

} // namespace

// The user's close is refused with a message while the settings cannot be written; the message
// is answered before anything else closes, and the next close request ends the window without
// the settings, leaving both files as they were.
TEST_F(MainFormTest, ARefusedCloseShowsItsMessageAndTheNextCloseEnds) {
    const QByteArray stations = "101.7=a\r\n";
    {
        QFile file(FDir.filePath("orvalen.lst"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(stations);
    }
    WriteSettings("[main]\nvolume=40\n");
    TMainForm& form = Start();
    form.show();
    QFile::setPermissions(SettingsPath(), QFile::ReadOwner);
    TModalAnswers answers;
    bool closedDuringMessage = true;
    answers.Message(QMessageBox::Ok, [&](QMessageBox*) {
        closedDuringMessage = PressCloseBox(form) || !form.isVisible();
        return false;
    });
    EXPECT_FALSE(PressCloseBox(form));
    ASSERT_TRUE(WaitFor([&] { return answers.AllUsed() && !QApplication::activeModalWidget(); }));
    EXPECT_EQ(answers.Messages, QStringList({"Orvalen|Unable to write to " + SettingsPath() +
                                             ": the file is read-only"}));
    EXPECT_FALSE(closedDuringMessage) << "a close while the message is up must not go through";
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.Closed());
    EXPECT_EQ(ReadSettings(), QByteArray("[main]\nvolume=40\n"));
    EXPECT_EQ(ReadFileBytes(FDir.filePath("orvalen.lst")), stations);

    EXPECT_TRUE(PressCloseBox(form));
    EXPECT_TRUE(form.Closed());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ReadSettings(), QByteArray("[main]\nvolume=40\n"));
    EXPECT_EQ(ReadFileBytes(FDir.filePath("orvalen.lst")), stations);
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(MainFormTest, ATerminationWhileTheMessageIsUpAnswersItAndCloses) {
    WriteSettings("[main]\nvolume=40\n");
    TMainForm& form = Start();
    form.show();
    QFile::setPermissions(SettingsPath(), QFile::ReadOwner);
    TModalAnswers answers;
    answers.Message(QMessageBox::Ok, [&](QMessageBox*) {
        form.RequestForcedClose();
        return true;
    });
    EXPECT_FALSE(PressCloseBox(form));
    ASSERT_TRUE(WaitFor([&] { return form.Closed(); }));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ReadSettings(), QByteArray("[main]\nvolume=40\n"));
    EXPECT_EQ(answers.Unexpected, 0);
}

TEST_F(MainFormTest, AStationFileThatCannotBeReadIsNotReplacedAtClose) {
    // A folder in the file's place stands for any file that exists but cannot be read.
    ASSERT_TRUE(QDir(FDir.path()).mkdir("orvalen.lst"));
    TMainForm& form = Start();
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_TRUE(QFileInfo(FDir.filePath("orvalen.lst")).isDir());
}
