// The real program on a private session bus, driven by playerctl as media keys and desktop
// sound applets drive it: play powers the virtual tuner on, next tunes the next listed
// station, pause mutes, volume moves the slider, stop powers off, Quit closes the program.
#include "../desktop/PrivateBus.h"
#include "FileBytes.h"
#include "StderrReader.h"
#include "XvfbSession.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace {

class MprisEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(X.Running());
        ASSERT_FALSE(Bus.Address.isEmpty()) << "dbus-daemon did not start";
        Environment = X.Environment();
        Environment.insert("DBUS_SESSION_BUS_ADDRESS", Bus.Address);
    }
    void TearDown() override {
        if (Program.state() != QProcess::NotRunning) {
            ::kill(pid_t(Program.processId()), SIGTERM);
            Program.waitForFinished(30000);
        }
    }

    void Start() {
        Program.setProcessEnvironment(Environment);
        Program.start(ORVALEN_BINARY_DIR "/orvalen",
                      {"--simulate", "--verbose", "--config-dir", Dir.path()});
        ASSERT_TRUE(Program.waitForStarted());
    }

    // A tool on the private bus; its standard output, trimmed.
    QString Run(const QString& tool, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(Environment);
        process.start(tool, arguments);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    // playerctl's answer, as UTF-8 so that a failure shows it readably.
    std::string Playerctl(const QStringList& arguments) {
        return Run("playerctl", QStringList{"-p", "orvalen"} + arguments).toStdString();
    }
    // Polls playerctl until it answers `expected`; the last answer.
    std::string PlayerctlUntil(const QStringList& arguments, const std::string& expected) {
        QElapsedTimer timer;
        timer.start();
        std::string answer;
        while ((answer = Playerctl(arguments)) != expected && timer.elapsed() < 30000)
            QThread::msleep(100);
        return answer;
    }

    TXvfbSession X;
    TPrivateBus Bus;
    QProcessEnvironment Environment;
    QTemporaryDir Dir;
    QProcess Program;
};

} // namespace

TEST_F(MprisEndToEnd, PlayerctlDrivesPowerStationsMuteAndVolume) {
    // Digital sound on: the volume slider then runs 0..100.
    WriteFileBytes(Dir.filePath("orvalen.ini"),
                   "[main]\r\ndirectsound=1\r\nvolume=100\r\nfmband=1\r\nfmfrequency=0\r\n");
    WriteFileBytes(Dir.filePath("orvalen.lst"),
                   "88.0=Проверка\r\n101.7=Новости\r\n104.2=Europa Plus\r\n");
    Start();
    TStderr err(Program);
    ASSERT_TRUE(err.WaitFor("Device connected\n", 60000)) << err.All().toStdString();
    ASSERT_FALSE(X.FindWindow("USB Orvalen").isEmpty());

    EXPECT_EQ(PlayerctlUntil({"status"}, "Stopped"), "Stopped") << err.All().toStdString();
    EXPECT_EQ(Playerctl({"metadata", "xesam:title"}), "Проверка");
    EXPECT_EQ(Playerctl({"metadata", "xesam:album"}), "FM");

    // play: the power button's command, then polling.
    Playerctl({"play"});
    ASSERT_TRUE(err.WaitFor("WR 00  50 01 00 ")) << err.All().toStdString();
    EXPECT_EQ(PlayerctlUntil({"status"}, "Playing"), "Playing");

    // next: the next station of the list by frequency, tuned on the virtual tuner.
    Playerctl({"next"});
    ASSERT_TRUE(err.WaitFor("WR 00  46 ")) << err.All().toStdString();
    EXPECT_EQ(PlayerctlUntil({"metadata", "xesam:title"}, "Новости"), "Новости");
    EXPECT_EQ(Playerctl({"metadata", "mpris:trackid"}), "'/org/orvalen/station/1017'");
    ASSERT_TRUE(err.WaitFor("freq=1017\n")) << err.All().toStdString();
    Playerctl({"previous"});
    EXPECT_EQ(PlayerctlUntil({"metadata", "xesam:title"}, "Проверка"), "Проверка");

    // pause mutes, play unmutes.
    Playerctl({"pause"});
    ASSERT_TRUE(err.WaitFor("WR 00  4D 01 00 ")) << err.All().toStdString();
    EXPECT_EQ(PlayerctlUntil({"status"}, "Paused"), "Paused");
    Playerctl({"play-pause"});
    ASSERT_TRUE(err.WaitFor("WR 00  4D 00 00 ")) << err.All().toStdString();
    EXPECT_EQ(PlayerctlUntil({"status"}, "Playing"), "Playing");

    // volume: the slider follows, and playerctl reads it back.
    Playerctl({"volume", "0.5"});
    EXPECT_EQ(PlayerctlUntil({"volume"}, "0.500000"), "0.500000");

    // stop: the power button's off.
    Playerctl({"stop"});
    ASSERT_TRUE(err.WaitFor("WR 00  50 00 00 ")) << err.All().toStdString();
    EXPECT_EQ(PlayerctlUntil({"status"}, "Stopped"), "Stopped");
    // Pause mutes only what is playing.
    Playerctl({"pause"});
    EXPECT_FALSE(err.Since(1000).contains("WR 00  4D")) << err.All().toStdString();
    EXPECT_EQ(Playerctl({"status"}), "Stopped");

    // Quit: the normal close sequence writes the settings, with the slider at 50.
    Run("dbus-send", {"--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.orvalen",
                      "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit"});
    ASSERT_TRUE(Program.waitForFinished(60000)) << "Quit did not end the program";
    EXPECT_EQ(Program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Program.exitCode(), 0) << err.All().toStdString();
    const QString ini = QString::fromUtf8(ReadFileBytes(Dir.filePath("orvalen.ini")));
    EXPECT_TRUE(ini.contains(QRegularExpression("(^|\n)volume=50\r?\n"))) << ini.toStdString();
    EXPECT_TRUE(ini.contains(QRegularExpression("(^|\n)fmfrequency=0\r?\n"))) << ini.toStdString();
}

TEST_F(MprisEndToEnd, WithoutASessionBusTheProgramRunsAndLogsOneLine) {
    Environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + Dir.filePath("no-bus"));
    Start();
    TStderr err(Program);
    ASSERT_TRUE(err.WaitFor("Device connected\n", 60000)) << err.All().toStdString();
    ASSERT_FALSE(X.FindWindow("USB Orvalen").isEmpty());
    // The service is tried just after the window's first frame, once.
    ASSERT_TRUE(err.WaitFor("MPRIS: no session bus", 30000)) << err.All().toStdString();
    EXPECT_FALSE(err.Since(1000).contains("MPRIS")) << err.All().toStdString();
    ::kill(pid_t(Program.processId()), SIGTERM);
    ASSERT_TRUE(Program.waitForFinished(30000));
    EXPECT_EQ(Program.exitCode(), 0) << err.All().toStdString();
}

TEST_F(MprisEndToEnd, CallsWhileNoTunerIsConnectedSendNothing) {
    Start();
    TStderr err(Program);
    ASSERT_TRUE(err.WaitFor("Device connected\n", 60000)) << err.All().toStdString();
    EXPECT_EQ(PlayerctlUntil({"status"}, "Stopped"), "Stopped");
    // Unplugged: the virtual tuner goes on SIGUSR1.
    ::kill(pid_t(Program.processId()), SIGUSR1);
    ASSERT_TRUE(err.WaitFor("Disconnected!\n")) << err.All().toStdString();
    for (const char* command : {"play", "pause", "play-pause", "next", "previous", "stop"})
        Playerctl({command});
    Playerctl({"volume", "0.2"});
    EXPECT_EQ(Playerctl({"status"}), "Stopped");
    EXPECT_FALSE(err.Since(1500).contains("WR 00")) << err.All().toStdString();
    EXPECT_EQ(Program.state(), QProcess::Running);
}
