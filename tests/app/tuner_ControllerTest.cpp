// The tuner controller of the main window against the virtual tuner and other simulated
// HID devices.
#include "MainFormFixture.h"
#include "WaitFor.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "controls/SimpleTray.h"
#include "sim/SimulatedTuners.h"
#include "tuner/HidController.h"
#include "windows/UnitLogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

namespace {

QByteArray Bytes(std::initializer_list<int> bytes) {
    QByteArray r;
    for (int b : bytes)
        r.append(char(b));
    return r;
}

class TunerFormTest : public MainFormTest {
protected:
    void TearDown() override {
        FForm.reset();
        FormLogs = nullptr;
    }

    // The main window simulating the given tuner, with the log window shown.
    TMainForm& StartSimulating(const QString& model = QStringLiteral("rda5807m")) {
        Start(model);
        FLogs = std::make_unique<TFormLogs>();
        FormLogs = FLogs.get();
        FLogs->show();
        return *FForm;
    }
    TSimulatedTuners& Sim() { return *FForm->SimulatedTuners(); }
    TSimHidBackend& Backend() { return Sim().Backend(); }
    int Tuner() { return Sim().DeviceIndex(); }
    // Command letters of the reports written to the virtual tuner since the last call.
    QByteArray TakeCommands(int device = -1) {
        if (device < 0)
            device = Tuner();
        QByteArray letters;
        for (const QByteArray& report : Backend().Written(device)) {
            letters.append(report.at(1));
            FLastTaken = report;
        }
        Backend().ClearWritten(device);
        return letters;
    }
    // The last report written to the virtual tuner, taken or not.
    QByteArray LastReport() {
        const auto written = Backend().Written(Tuner());
        return written.empty() ? FLastTaken : written.back();
    }
    // Waits for the connection and the virtual tuner's answer to the first "g".
    void Connect() {
        ASSERT_TRUE(WaitFor([&] { return FForm->FConnected; }));
        Settle();
    }
    // Lets the reports the virtual tuner sends back arrive.
    static void Settle() {
        WaitFor([] { return false; }, 150);
    }
    void Inject(const QByteArray& data) {
        const int before = int(FLogs->Lines().size());
        Backend().InjectInput(Tuner(), QByteArray(1, '\0') + data);
        ASSERT_TRUE(WaitFor([&] { return FLogs->Lines().size() > before; }));
        RunEvents();
    }
    QStringList NewLogLines() {
        const QStringList lines = FLogs->Lines().mid(FLogLines);
        FLogLines = int(FLogs->Lines().size());
        return lines;
    }

    std::unique_ptr<TFormLogs> FLogs;
    QByteArray FLastTaken;
    int FLogLines = 1; // after "Memo1"
};

} // namespace

TEST_F(TunerFormTest, MatchModuleFollowsTheConfiguredModule) {
    TMainForm& form = Start();
    struct Case {
        int setting, vendor, product;
        bool match;
        int module;
    } cases[] = {
        {0, 0x1980, 0x1F02, true, 2},  {0, 0x1980, 0x1F01, true, 1},  {1, 0x1980, 0x1F02, false, 7},
        {1, 0x1980, 0x1F01, true, 1},  {2, 0x1980, 0x1F01, false, 7}, {2, 0x1980, 0x1F02, true, 2},
        {0, 0x1981, 0x1F02, false, 7}, {0, 0x1980, 0x1F03, false, 7},
    };
    for (const Case& c : cases) {
        form.FModuleSetting = c.setting;
        form.FModule = 7;
        EXPECT_EQ(form.MatchModule(c.vendor, c.product), c.match) << c.setting << c.product;
        EXPECT_EQ(form.FModule, c.module);
    }
}

TEST_F(TunerFormTest, ConnectsAfterStartUpSendsFullStateThenStatusRequestAndPollsWhenPowered) {
    TMainForm& form = StartSimulating();
    EXPECT_FALSE(form.FConnected); // nothing happens before the event loop runs
    EXPECT_TRUE(Backend().Written(Tuner()).empty());
    Connect();
    EXPECT_EQ(form.FModule, 2);
    EXPECT_EQ(TakeCommands(), "Ig");
    const QStringList lines = NewLogLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "Device connected");
    EXPECT_TRUE(lines[1].startsWith("WR 00  49 00 34 08 00 ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("WR 00  67 00 ")) << lines[2].toStdString();
    EXPECT_FALSE(form.Timer1->isActive()); // the tuner starts powered off
    EXPECT_TRUE(form.SpeedButtonPower->isEnabled());

    form.SpeedButtonPower->click();
    EXPECT_TRUE(form.FPowerOn);
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 1000);
    EXPECT_EQ(TakeCommands(), "P");
    EXPECT_EQ(LastReport().mid(1, 2), Bytes({'P', 1}));

    // A poll: the virtual tuner answers on 88.0 MHz, its test station, level 12, stereo.
    form.Timer1Timer();
    EXPECT_EQ(TakeCommands(), "g");
    ASSERT_TRUE(WaitFor([&] { return form.FScreen->TuneLevel() == 12; }));
    EXPECT_TRUE(form.FScreen->IsStereo());
    EXPECT_EQ(form.FScreen->TuneValue(), 880);
    EXPECT_TRUE(TakeCommands().isEmpty()); // applying the status sends nothing back
    EXPECT_TRUE(form.FSendEnabled);
}

TEST_F(TunerFormTest, SettingsThatMoveControlsAtStartUpSendNothing) {
    WriteSettings("[main]\nfmband=0\nukvfrequency=30\nfmfrequency=120\nvolume=7\n"
                  "useBass=1\ndirectsound=0\nuserds=1\n");
    TMainForm& form = StartSimulating();
    EXPECT_TRUE(Backend().Written(Tuner()).empty());
    Connect();
    // The first reports are the connection's own; the full state carries the stored values:
    // UKV position 30; flags stereo, UKV, started, the fixed bit and bass, power off; the
    // volume slider's 7 as chip volume, with RDS.
    const std::vector<QByteArray> written = Backend().Written(Tuner());
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0], Bytes({0, 'I', 30, 0xBC, 0x17}) + QByteArray(60, '\0'));
    EXPECT_EQ(written[1], Bytes({0, 'g'}) + QByteArray(63, '\0'));
    EXPECT_EQ(form.FScreen->TuneValue(), 689);
}

TEST_F(TunerFormTest, ConfiguredModuleDecidesWhichTunerIsClaimed) {
    WriteSettings("[main]\nusedmodule=1\n");
    TMainForm& form = StartSimulating(); // an RDA5807M: not for this setting
    RunEvents();
    EXPECT_FALSE(form.FConnected);
    EXPECT_TRUE(Backend().Written(Tuner()).empty());
    const int tea = Backend().AddDevice(TVirtualTuner::DeviceSpec(TSimChip::TEA5767),
                                        std::make_shared<TVirtualTuner>(TSimChip::TEA5767));
    Backend().Plug(tea);
    Connect();
    EXPECT_EQ(form.FModule, 1);
    EXPECT_EQ(TakeCommands(tea), "Ig");
    EXPECT_EQ(form.TunerDevice, &form.HidCtl->Device(1));
}

TEST_F(TunerFormTest, OtherDevicesComingAndGoingChangeNothing) {
    TMainForm& form = StartSimulating();
    TSimDeviceDescription mouse;
    mouse.VendorID = 0x046D;
    mouse.ProductID = 0xC077;
    const int mouseIndex = Backend().AddDevice(mouse);
    Backend().Plug(mouseIndex);
    Connect();
    THidDevice* tuner = form.TunerDevice;
    Settle();
    TakeCommands();
    NewLogLines();

    const int second = Backend().AddDevice(TVirtualTuner::DeviceSpec(TSimChip::RDA5807M),
                                           std::make_shared<TVirtualTuner>(TSimChip::RDA5807M));
    Backend().Plug(second);
    Backend().Unplug(mouseIndex);
    RunEvents();
    RunEvents();
    EXPECT_TRUE(form.FConnected);
    EXPECT_EQ(form.TunerDevice, tuner);
    EXPECT_TRUE(TakeCommands().isEmpty());
    EXPECT_TRUE(TakeCommands(second).isEmpty());
    EXPECT_TRUE(NewLogLines().isEmpty());
}

TEST_F(TunerFormTest, RemovalDisconnectsAndReplugSendsTheFullStateAgain) {
    TMainForm& form = StartSimulating();
    Connect();
    form.SpeedButtonPower->click();
    Settle();
    NewLogLines();
    Sim().TogglePlug();
    ASSERT_TRUE(WaitFor([&] { return !form.FConnected; }));
    EXPECT_EQ(NewLogLines(), QStringList{"Device \"Orvalen USB FM (RDA5807M)\" Disconnected!"});
    EXPECT_EQ(form.TunerDevice, nullptr);
    EXPECT_FALSE(form.SpeedButtonPower->isChecked());
    EXPECT_FALSE(form.SpeedButtonPower->isEnabled());
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(form.FModule, 0);
    TakeCommands();
    // Sends nothing without a tuner.
    form.SpeedButtonSeekRightClick();
    form.Timer1Timer();
    EXPECT_TRUE(NewLogLines().isEmpty());

    Sim().TogglePlug();
    Connect();
    EXPECT_EQ(TakeCommands(), "Ig");
    EXPECT_EQ(NewLogLines().first(), "Device connected");
}

TEST_F(TunerFormTest, StatusReportsMoveTheSliderWithoutSendingAndOddReportsAreOnlyLogged) {
    TMainForm& form = StartSimulating();
    Connect();
    form.SpeedButtonPower->click();
    Settle();
    TakeCommands();
    NewLogLines();

    // Channel 147 is position 137: 101.7 MHz.
    Inject(Bytes({0x08, 147 >> 2, (147 & 3) << 6}));
    EXPECT_EQ(form.TrackBarFMTune->Position(), 137);
    EXPECT_EQ(form.FFMPosition, 137);
    EXPECT_EQ(form.FScreen->TuneValue(), 1017);
    EXPECT_TRUE(TakeCommands().isEmpty());
    QStringList lines = NewLogLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "RD 00  08 24 C0 ");
    EXPECT_EQ(lines[1], "freq=1017");

    // "R" carries no frequency; a first byte 0 is not interpreted even with "r" later.
    Inject(Bytes({'R', 0x2A, 0x12, 0x50}));
    EXPECT_EQ(form.TrackBarFMTune->Position(), 137);
    EXPECT_EQ(form.FScreen->TuneLevel(), 5);
    EXPECT_EQ(NewLogLines().last(), " level=5 stereo=off ");
    Inject(Bytes({0x00, 0x72, 0x14, 0xF0}));
    EXPECT_EQ(NewLogLines().size(), 1);
    EXPECT_EQ(form.FScreen->TuneLevel(), 5);
    // A report of only its ID and unknown formats: logged, nothing else.
    Inject(QByteArray());
    Inject(Bytes({0x42, 1, 2, 3}));
    EXPECT_EQ(NewLogLines(), (QStringList{"RD 00  ", "RD 00  42 01 02 03 "}));
    // Longer than the device's input report: cut to its 65 bytes, then applied.
    QByteArray longReport(100, char(0x11));
    longReport[0] = 'r';
    Inject(longReport);
    lines = NewLogLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), 7 + 64 * 3);
    EXPECT_EQ(form.FScreen->TuneLevel(), 1);
    EXPECT_TRUE(TakeCommands().isEmpty());
    EXPECT_TRUE(form.FSendEnabled);
}

TEST_F(TunerFormTest, UkvChannelOutsideTheSliderRangeSetsOnlyTheDisplay) {
    WriteSettings("[main]\nfmband=0\nukvfrequency=10\n");
    TMainForm& form = StartSimulating();
    Connect();
    NewLogLines();
    Inject(Bytes({0x08, 150 >> 2, (150 & 3) << 6}));
    EXPECT_EQ(form.FScreen->TuneValue(), 800);
    EXPECT_EQ(form.TrackBarFMTune->Position(), 10);
    EXPECT_EQ(form.FUKVPosition, 10);
    EXPECT_EQ(NewLogLines().last(), "freq=1020");
}

TEST_F(TunerFormTest, TuningControlsSendTheirCommands) {
    TMainForm& form = StartSimulating();
    Connect();
    form.SpeedButtonPower->click();
    TakeCommands();

    form.SpeedButtonStepRightClick();
    EXPECT_EQ(LastReport().mid(1, 3), Bytes({'F', 1, ' '}));
    form.SpeedButtonStepLeftClick();
    EXPECT_EQ(LastReport().mid(1, 3), Bytes({'F', 0, 0x20}));
    form.SpeedButtonStepLeftClick(); // already at 0
    form.SpeedButtonSeekLeftClick();
    EXPECT_EQ(LastReport().mid(1, 2), Bytes({'S', 0}));
    form.SpeedButtonSeekRightClick();
    EXPECT_EQ(LastReport().mid(1, 2), Bytes({'S', 1}));
    EXPECT_EQ(TakeCommands(), "FFSS");
    EXPECT_EQ(form.TrackBarFMTune->Position(), 0); // a seek waits for the next status

    form.TrackBarFMTune->SetPosition(200);
    TakeCommands();
    form.SpeedButtonStepRightClick();
    EXPECT_EQ(form.TrackBarFMTune->Position(), 200);
    EXPECT_TRUE(TakeCommands().isEmpty());

    form.SpeedButtonMute->click();
    form.SpeedButtonStereo->click();
    form.SpeedButtonBass->click();
    EXPECT_EQ(TakeCommands(), "Msb");
    EXPECT_EQ(Sim().Tuner()->State().Muted, true);
    EXPECT_EQ(Sim().Tuner()->State().StereoAllowed, false);
    EXPECT_EQ(Sim().Tuner()->State().Bass, true);
    form.FUseRDS = true;
    form.SendRDSSetting();
    EXPECT_EQ(LastReport().mid(1, 2), Bytes({'r', 1}));
}

TEST_F(TunerFormTest, VolumeGoesToTheChipOnlyForRdaWithoutDigitalAudio) {
    struct Case {
        const char* model;
        bool digital;
        QByteArray expected;
    } cases[] = {
        {"rda5807m", false, Bytes({'v', 8})}, {"rda5807m", true, {}}, {"tea5767", false, {}}};
    for (const Case& c : cases) {
        WriteSettings(c.digital ? "[main]\ndirectsound=1\n" : "[main]\ndirectsound=0\n");
        TMainForm& form = StartSimulating(c.model);
        Connect();
        TakeCommands();
        form.TrackBarVolume->SetPosition(7);
        EXPECT_EQ(TakeCommands(), c.expected.left(1)) << c.model << c.digital;
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(LastReport().mid(1, 2), c.expected);
        }
        FForm.reset();
    }
}

TEST_F(TunerFormTest, FullStateIsBuiltBeforeTheVolumeRangeChanges) {
    WriteSettings("[main]\ndirectsound=0\nvolume=100\nuserds=1\n");
    TMainForm& form = StartSimulating();
    Connect();
    const std::vector<QByteArray> written = Backend().Written(Tuner());
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].mid(1, 4), Bytes({'I', 0, 0x34, 0x14})); // chip volume 100 & 15 = 4
    EXPECT_EQ(form.TrackBarVolume->Max(), 15);
    EXPECT_EQ(form.TrackBarVolume->Position(), 15);
}

TEST_F(TunerFormTest, ResumeFromSuspendPowersTheTunerOff) {
    TMainForm& form = StartSimulating();
    form.ResumeFromSuspend(); // not connected yet: nothing
    EXPECT_TRUE(Backend().Written(Tuner()).empty());
    Connect();
    form.SpeedButtonPower->click();
    TakeCommands();
    form.FSendEnabled = false; // the resume command does not ask
    form.ResumeFromSuspend();
    form.FSendEnabled = true;
    EXPECT_FALSE(form.SpeedButtonPower->isChecked());
    EXPECT_FALSE(form.FPowerOn);
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(TakeCommands(), "P");
    EXPECT_EQ(LastReport().mid(1, 2), Bytes({'P', 0}));
}

TEST_F(TunerFormTest, FailedWriteIsLoggedAndNotRetried) {
    TMainForm& form = StartSimulating();
    Connect();
    NewLogLines();
    Backend().SetWriteError(Tuner(), EIO);
    form.SpeedButtonPower->click();
    EXPECT_EQ(NewLogLines(), QStringList{"WRITE ERROR: Input/output error (5)"});
    EXPECT_TRUE(form.FPowerOn); // the state is not rolled back
}

TEST_F(TunerFormTest, HiddenLogWindowGetsNoLines) {
    TMainForm& form = StartSimulating();
    FLogs->hide();
    Connect();
    form.SpeedButtonPower->click();
    FLogs->show();
    EXPECT_EQ(FLogs->Lines(), QStringList{"Memo1"});
}

TEST_F(TunerFormTest, DebugSettingShowsTheLogBeforeTheFirstEnumeration) {
    WriteSettings("[main]\ndebug=1\n");
    Start(QStringLiteral("rda5807m"));
    ASSERT_NE(FormLogs, nullptr);
    EXPECT_TRUE(FormLogs->isVisible());
    ASSERT_TRUE(WaitFor([&] { return FForm->FConnected; }));
    const QStringList lines = FormLogs->Lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "Memo1");
    EXPECT_EQ(lines[1], "Device connected");
}

TEST_F(TunerFormTest, BandButtonTunesTheOtherBandsStoredPosition) {
    WriteSettings("[main]\nfmfrequency=137\nukvfrequency=4\n");
    TMainForm& form = StartSimulating();
    Connect();
    TakeCommands();
    const struct {
        bool fm;
        QByteArray command;
        int tuneValue;
    } cases[] = {{false, Bytes({'U', 4, ' '}), 663}, {true, Bytes({'F', 137, ' '}), 1017}};
    for (const auto& c : cases) {
        form.SpeedButtonFMBand->click();
        EXPECT_EQ(form.FBandFM, c.fm);
        EXPECT_EQ(TakeCommands(), c.command.left(1));
        EXPECT_EQ(LastReport().mid(1, 4), c.command + Bytes({0}));
        EXPECT_EQ(form.FScreen->TuneValue(), c.tuneValue);
        EXPECT_EQ(Sim().Tuner()->TuneValue(), c.tuneValue);
    }
    // A status report of the UKV band reaches the display as the same frequency.
    form.SpeedButtonFMBand->click();
    TakeCommands();
    form.Timer1Timer();
    Settle();
    EXPECT_EQ(form.FScreen->TuneValue(), 663);
    EXPECT_EQ(form.TrackBarFMTune->Position(), 4);
    EXPECT_EQ(TakeCommands(), "g");
}

namespace {

QImage PictureOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST_F(TunerFormTest, TrayPictureFollowsTheConnection) {
    const QImage disconnected = PictureOf(TMainForm::ImageListIcon(0));
    const QImage connected = PictureOf(TMainForm::ImageListIcon(1));
    ASSERT_NE(disconnected, connected);
    TMainForm& form = StartSimulating();
    const auto shows = [&](const QImage& picture) {
        return form.FTray && PictureOf(form.FTray->Icon()) == picture &&
               PictureOf(form.FTray->TrayIcon()->icon()) == picture;
    };
    // The tray comes after the window's first frame, by which time the tuner may be connected.
    Connect();
    form.DeferredStart().Finish();
    EXPECT_TRUE(shows(connected));
    Sim().TogglePlug();
    ASSERT_TRUE(WaitFor([&] { return !form.FConnected; }));
    EXPECT_TRUE(shows(disconnected));
    Sim().TogglePlug();
    Connect();
    EXPECT_TRUE(shows(connected));
}

TEST_F(TunerFormTest, ReadFailureIsLoggedAndReadingGoesOn) {
    TMainForm& form = StartSimulating();
    Connect();
    NewLogLines();
    Backend().FailReads(Tuner(), 1, EIO);
    ASSERT_TRUE(WaitFor([&] { return FLogs->Lines().size() > FLogLines; }));
    EXPECT_EQ(NewLogLines(), QStringList{"Error N 5"});
    form.SpeedButtonPower->click();
    form.Timer1Timer();
    ASSERT_TRUE(WaitFor([&] { return form.FScreen->TuneLevel() == 12; }));
}

namespace {

// What the screen's frame shows in one area: how many pixels are drawn in (a shade of) the
// lit colour and how many in the disabled grey.
struct TInk {
    int Lit = 0;
    int Grey = 0;
};

QColor PixelAt(const QImage& frame, int x, int y) {
    const uchar* p = frame.constScanLine(y) + x * 3;
    return QColor(p[2], p[1], p[0]);
}

// Text is smoothed against the black background, so its edges are darker shades of its
// colour; shades darker than half its brightness are too faint to tell colours apart.
bool ShadeOf(const QColor& pixel, const QColor& colour) {
    const int top = std::max({colour.red(), colour.green(), colour.blue()});
    const int level = std::max({pixel.red(), pixel.green(), pixel.blue()});
    if (top == 0 || 2 * level < top)
        return false;
    const auto near = [&](int p, int c) { return std::abs(p * top - c * level) <= 8 * top; };
    return near(pixel.red(), colour.red()) && near(pixel.green(), colour.green()) &&
           near(pixel.blue(), colour.blue());
}

TInk InkIn(const TOrvalenScreen& screen, const QRect& area, const QColor& lit) {
    TInk ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = PixelAt(screen.Frame(), x, y);
            ink.Lit += ShadeOf(pixel, lit) ? 1 : 0;
            ink.Grey += ShadeOf(pixel, screen.DisabledColor()) ? 1 : 0;
        }
    return ink;
}

// The parts of the top band whose colour tells the state, found as the screen lays them out:
// the band marks in the box as wide as "УКВ" (8-point digits' face) at x 36; "RDS" in the 23
// pixels left of the antenna's x and "STEREO" from there to the right column, above the
// antenna, whose 15-pixel mast stands 4 pixels right of that x.
struct TScreenParts {
    QRect FM, UKV, Stereo, RDS;
    QPoint Mast;

    explicit TScreenParts(const TOrvalenScreen& screen) {
        QFont marks = screen.FreqFont();
        marks.setPixelSize((8 * 96 + 36) / 72);
        const int u = QFontMetrics(marks).horizontalAdvance(QStringLiteral("УКВ"));
        UKV = QRect(36, 7, u, 16);
        FM = QRect(36, 24, u, 13);
        const QImage& frame = screen.Frame();
        const QColor black(0, 0, 0);
        // From the right: between the mast and the right column there are only the bars,
        // which reach row 35, and the V's slanted stroke.
        for (int x = frame.width() - 31; x >= 35 && Mast.isNull(); --x) {
            bool mast = PixelAt(frame, x, 19) == black && PixelAt(frame, x, 35) == black;
            for (int y = 20; y < 35 && mast; ++y)
                mast =
                    PixelAt(frame, x, y) != black && PixelAt(frame, x, y) == PixelAt(frame, x, 20);
            if (mast)
                Mast = QPoint(x, 20);
        }
        const int left = Mast.x() - 4;
        Stereo = QRect(left, 5, frame.width() - 30 - left, 12);
        RDS = QRect(left - 23, 5, 23, 12);
    }
};

} // namespace

TEST_F(TunerFormTest, ScreenShowsBandStereoRdsAndAntennaInTheirColours) {
    WriteSettings("[main]\nuserds=1\n");
    TMainForm& form = StartSimulating();
    Connect();
    form.SpeedButtonPower->click();
    form.Timer1->stop(); // only the reports below reach the screen
    Settle();
    const TOrvalenScreen& screen = *form.FScreen;
    const QColor active = screen.FreqFontColor();
    std::vector<std::uint8_t> status(23, 0);
    status[0] = 'r';
    status[3] = 0x70;
    const char name[] = "\xCC\xC0\xDF\xCA  FM"; // Windows-1251
    std::copy(name, name + 8, status.begin() + 15);
    const auto report = [&](int flags) {
        status[1] = std::uint8_t(flags);
        Inject(QByteArray(reinterpret_cast<const char*>(status.data()), qsizetype(status.size())));
    };

    const struct {
        int flags;
        bool stereo, rds;
    } cases[] = {
        {0x14, true, true}, {0x04, true, false}, {0x10, false, true}, {0x00, false, false}};
    for (const auto& c : cases) {
        report(c.flags);
        const TScreenParts parts(screen);
        ASSERT_FALSE(parts.Mast.isNull());
        EXPECT_EQ(PixelAt(screen.Frame(), parts.Mast.x(), 27), screen.LevelColor());
        const TInk stereo = InkIn(screen, parts.Stereo, screen.StereoColor());
        const TInk rds = InkIn(screen, parts.RDS, screen.StereoColor());
        EXPECT_EQ(stereo.Lit > 0, c.stereo) << c.flags;
        EXPECT_EQ(stereo.Grey > 0, !c.stereo) << c.flags;
        EXPECT_EQ(rds.Lit > 0, c.rds) << c.flags;
        EXPECT_EQ(rds.Grey > 0, !c.rds) << c.flags;
    }
    EXPECT_EQ(screen.RDSString(), QString::fromUtf16(u"МАЯК  FM"));

    // The band marks: the selected band in the digits' colour, the other one grey.
    for (bool fm : {true, false}) {
        if (form.FBandFM != fm)
            form.SpeedButtonFMBand->click();
        const TScreenParts parts(screen);
        const TInk lit = InkIn(screen, fm ? parts.FM : parts.UKV, active);
        const TInk other = InkIn(screen, fm ? parts.UKV : parts.FM, active);
        EXPECT_GT(lit.Lit, 0) << fm;
        EXPECT_EQ(lit.Grey, 0) << fm;
        EXPECT_EQ(other.Lit, 0) << fm;
        EXPECT_GT(other.Grey, 0) << fm;
    }

    // Powered off, everything is grey, whatever the last report said.
    report(0x14);
    form.SpeedButtonPower->click();
    ASSERT_FALSE(screen.TunerState());
    const TScreenParts parts(screen);
    ASSERT_FALSE(parts.Mast.isNull());
    EXPECT_EQ(PixelAt(screen.Frame(), parts.Mast.x(), 27), screen.DisabledColor());
    for (const QRect& area : {parts.Stereo, parts.RDS, parts.FM, parts.UKV}) {
        const TInk ink = InkIn(screen, area, screen.StereoColor());
        EXPECT_EQ(ink.Lit, 0);
        EXPECT_GT(ink.Grey, 0);
        EXPECT_EQ(InkIn(screen, area, active).Lit, 0);
    }
}

TEST_F(TunerFormTest, ReplugsLeaveOneDeviceInTheList) {
    TMainForm& form = StartSimulating();
    Connect();
    for (int i = 0; i < 50; ++i) {
        Sim().TogglePlug();
        ASSERT_TRUE(WaitFor([&] { return !form.FConnected; }));
        Sim().TogglePlug();
        ASSERT_TRUE(WaitFor([&] { return form.FConnected; }));
    }
    EXPECT_EQ(form.HidCtl->Count(), 1);
    EXPECT_EQ(form.TunerDevice, &form.HidCtl->Device(0));
}
