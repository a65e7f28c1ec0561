// The real program on a real Wayland compositor (weston, headless) with a private session bus:
// it starts without a word on standard error, plays when asked over MPRIS, ends on SIGTERM with
// exit code 0, and leaves the stored window position as it was, since Wayland tells programs
// nothing of where their windows are.
#include "../desktop/PrivateBus.h"
#include "FileBytes.h"
#include "WaitFor.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct TStopped {
    QProcess& Process;
    ~TStopped() {
        if (Process.state() == QProcess::NotRunning)
            return;
        Process.kill();
        Process.waitForFinished();
    }
};

} // namespace

TEST(WaylandEndToEnd, StartsSilentlyPlaysAndKeepsTheStoredPosition) {
    QTemporaryDir runtime, config;
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    TPrivateBus bus;
    ASSERT_FALSE(bus.Address.isEmpty());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.Address);

    QProcess weston;
    const TStopped stopWeston{weston};
    weston.setProcessEnvironment(env);
    weston.start("weston",
                 {"--backend=headless-backend.so", "--socket=wayland-orvalen", "--idle-time=0"});
    ASSERT_TRUE(weston.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(runtime.filePath("wayland-orvalen")); }, 20000))
        << weston.readAllStandardError().toStdString();

    WriteFileBytes(config.filePath("orvalen.ini"), "[main]\r\nLeft=200\r\nTop=150\r\n");
    env.insert("WAYLAND_DISPLAY", "wayland-orvalen");
    env.insert("QT_QPA_PLATFORM", "wayland");
    QProcess program;
    const TStopped stopProgram{program};
    program.setProcessEnvironment(env);
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--simulate", "--config-dir", config.path()});
    ASSERT_TRUE(program.waitForStarted());

    // Play, asked on the bus once the program is there, powers the virtual tuner on.
    const auto play = [&] {
        QProcess send;
        send.setProcessEnvironment(env);
        send.start("dbus-send",
                   {"--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.orvalen",
                    "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player.Play"});
        return send.waitForFinished(10000) && send.exitCode() == 0;
    };
    EXPECT_TRUE(WaitFor(play, 30000));
    const auto status = [&] {
        QProcess get;
        get.setProcessEnvironment(env);
        get.start("playerctl", {"-p", "orvalen", "status"});
        get.waitForFinished(10000);
        return get.readAllStandardOutput().trimmed();
    };
    EXPECT_TRUE(WaitFor([&] { return status() == "Playing"; }, 20000));

    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardError(), QByteArray());
    const QByteArray settings = ReadFileBytes(config.filePath("orvalen.ini"));
    EXPECT_TRUE(settings.contains("Left=200\r\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("Top=150\r\n")) << settings.toStdString();
}
