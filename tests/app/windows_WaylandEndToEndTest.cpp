// The real program on real Wayland compositors (weston and sway, headless) with a private
// session bus: it starts without a word on standard error, plays when asked over MPRIS or when
// its power button is clicked, comes to the front when started again with a launcher's
// activation token, ends on SIGTERM with exit code 0, and leaves the stored window position as
// it was, since Wayland tells programs nothing of where their windows are.
#include "../desktop/PrivateBus.h"
#include "FileBytes.h"
#include "ProcessEnding.h"
#include "SwaySession.h"
#include "WaitFor.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The player's status as playerctl reads it on the session's bus.
QByteArray PlayerStatus(const QProcessEnvironment& env) {
    QProcess get;
    get.setProcessEnvironment(env);
    get.start("playerctl", {"-p", "orvalen", "status"});
    get.waitForFinished(10000);
    return get.readAllStandardOutput().trimmed();
}

// Whether the player can play: the tuner is connected.
bool CanPlay(const QProcessEnvironment& env) {
    QProcess get;
    get.setProcessEnvironment(env);
    get.start("dbus-send", {"--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.orvalen",
                            "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
                            "string:org.mpris.MediaPlayer2.Player", "string:CanPlay"});
    get.waitForFinished(10000);
    return get.readAllStandardOutput().contains("boolean true");
}

// SIGTERM ends the program as its close does: exit code 0, not a word on standard error, and
// the stored position (Left=200, Top=150) written back as it was.
void ExpectsCleanEndKeepingThePosition(QProcess& program, const QTemporaryDir& config) {
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardError(), QByteArray());
    const QByteArray settings = ReadFileBytes(config.filePath("orvalen.ini"));
    EXPECT_TRUE(settings.contains("Left=200\r\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("Top=150\r\n")) << settings.toStdString();
}

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
    const TEnding endWeston{weston};
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
    const TEnding endProgram{program};
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
    EXPECT_TRUE(WaitFor([&] { return PlayerStatus(env) == "Playing"; }, 20000));

    ExpectsCleanEndKeepingThePosition(program, config);
}

TEST(WaylandEndToEnd, OnSwayAClickPowersTheTunerAndASecondStartWithATokenTakesTheFocus) {
    TSwaySession sway;
    ASSERT_TRUE(sway.Running());
    const QProcessEnvironment env = sway.Environment();
    QTemporaryDir config;
    WriteFileBytes(config.filePath("orvalen.ini"), "[main]\r\nLeft=200\r\nTop=150\r\n");
    QProcess program;
    const TEnding endProgram{program};
    program.setProcessEnvironment(env);
    const QStringList arguments{"--simulate", "--config-dir", config.path()};
    program.start(ORVALEN_BINARY_DIR "/orvalen", arguments);
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return sway.Window("orvalen").Focused; }, 30000));
    ASSERT_TRUE(WaitFor([&] { return CanPlay(env); }, 30000));
    ASSERT_EQ(PlayerStatus(env), "Stopped");

    // The power button, 31, 67 inside the window, wherever sway has put it by now. A press
    // may come before the program has taken the new pointer; one that arrives switches the
    // tuner on.
    for (int attempt = 0; attempt < 3 && PlayerStatus(env) != "Playing"; ++attempt) {
        ASSERT_TRUE(sway.Click(sway.Window("orvalen").Content.topLeft() + QPoint(31, 67)));
        WaitFor([&] { return PlayerStatus(env) == "Playing"; }, 5000);
    }
    EXPECT_EQ(PlayerStatus(env), "Playing");

    // Another program takes the focus; a start from a launcher, with the token the launcher
    // got, gives it back to the running window.
    QProcess terminal;
    const TEnding endTerminal{terminal};
    ASSERT_TRUE(sway.StartDesktopProgram(terminal, "weston-terminal", {}));
    ASSERT_TRUE(WaitFor([&] { return !sway.Window("orvalen").Focused; }, 20000));
    QProcessEnvironment launched = env;
    const QString token = sway.ActivationToken();
    ASSERT_FALSE(token.isEmpty());
    launched.insert("XDG_ACTIVATION_TOKEN", token);
    QProcess second;
    second.setProcessEnvironment(launched);
    second.start(ORVALEN_BINARY_DIR "/orvalen", arguments);
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(WaitFor([&] { return sway.Window("orvalen").Focused; }, 10000));

    ExpectsCleanEndKeepingThePosition(program, config);
}
