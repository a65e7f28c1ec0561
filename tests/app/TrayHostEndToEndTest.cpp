// The tray icon of the real program with a real tray host (trayer, an XEmbed tray) on a
// private X server: the host starts after the program, as with session autostart, and is
// restarted later; the icon must be embedded in the host each time.
#include "WaitFor.h"
#include "XvfbSession.h"

#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// Ends the process with the object, so that no host or program outlives a failed test.
struct TEnding {
    QProcess& process;
    ~TEnding() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
    }
};

// The program's window that sits inside a window of the host and is on screen: the host
// embedded the icon (XEmbed reparents the icon's window into one of the host's own); 0 when
// there is none.
quint64 EmbeddedIcon(const TXvfbSession& x, qint64 program, qint64 host) {
    const QList<quint64> hostWindows = x.WindowsOf(host);
    for (const quint64 window : x.WindowsOf(program)) {
        quint64 ancestor = x.ParentOf(window);
        for (int depth = 0; ancestor != 0 && depth < 16; ++depth) {
            if (hostWindows.contains(ancestor))
                return x.IsViewable(window) ? window : 0;
            ancestor = x.ParentOf(ancestor);
        }
    }
    return 0;
}

bool IconEmbedded(const TXvfbSession& x, qint64 program, qint64 host) {
    return EmbeddedIcon(x, program, host) != 0;
}

// The program on this display's own tray (not a tray service on some session bus).
void StartProgram(const TXvfbSession& x, QProcess& program, const QTemporaryDir& config) {
    QProcessEnvironment environment = x.Environment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + config.filePath("no-bus"));
    program.setProcessEnvironment(environment);
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--simulate", "--config-dir", config.path()});
}

// The frame's left and top on the screen, from xdotool.
QPoint WindowPosition(const TXvfbSession& x, const QString& window) {
    const QString out = x.Run("xdotool", {"getwindowgeometry", "--shell", window});
    QPoint at;
    for (const QString& line : out.split('\n')) {
        if (line.startsWith("X="))
            at.setX(line.mid(2).toInt());
        else if (line.startsWith("Y="))
            at.setY(line.mid(2).toInt());
    }
    return at;
}

} // namespace

TEST(TrayHostEndToEnd, IconComesWhenTheHostStartsLateAndAfterItsRestart) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    QProcess program;
    const TEnding endProgram{program};
    StartProgram(x, program, config);
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_FALSE(x.FindWindow("USB Orvalen").isEmpty());

    for (const char* round : {"host started after the program", "host restarted"}) {
        SCOPED_TRACE(round);
        QProcess host;
        const TEnding endHost{host};
        ASSERT_TRUE(x.Start(host, "trayer", {}));
        EXPECT_TRUE(
            WaitFor([&] { return IconEmbedded(x, program.processId(), host.processId()); }, 30000));
    }

    kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
}

TEST(TrayHostEndToEnd, MinimisingHidesBothWindowsInTheTrayAndTheIconBringsThemBack) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QProcess manager, host, program;
    const TEnding endManager{manager}, endHost{host}, endProgram{program};
    ASSERT_TRUE(x.Start(manager, "openbox", {}));
    ASSERT_TRUE(x.Start(host, "trayer", {}));
    QTemporaryDir config;
    {
        QFile ini(config.filePath("orvalen.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        // Digital sound on (the equalizer's buttons need it), snapping on.
        ini.write("[main]\r\ndirectsound=1\r\nScreenSnap=1\r\nLeft=200\r\nTop=200\r\n");
    }
    StartProgram(x, program, config);
    ASSERT_TRUE(program.waitForStarted());
    const QString main = x.FindWindow("USB Orvalen");
    ASSERT_FALSE(main.isEmpty());
    quint64 icon = 0;
    ASSERT_TRUE(WaitFor(
        [&] { return (icon = EmbeddedIcon(x, program.processId(), host.processId())) != 0; },
        30000));

    x.Run("xdotool", {"mousemove", "--window", main, "344", "169", "click", "1"}); // equalizer
    const QString equalizer = x.FindWindow("Эквалайзер", 20000);
    ASSERT_FALSE(equalizer.isEmpty());
    auto viewable = [&](const QString& window) { return x.IsViewable(window.toULongLong()); };
    // Off screen and not merely minimised by the window manager: withdrawn into the tray.
    auto inTray = [&](const QString& window) {
        return !viewable(window) && !x.Run("xprop", {"-id", window, "WM_STATE"}).contains("Iconic");
    };

    x.Run("xdotool", {"windowminimize", main});
    EXPECT_TRUE(WaitFor([&] { return inTray(main) && inTray(equalizer); }, 20000));

    x.Run("xdotool", {"mousemove", "--window", QString::number(icon), "4", "4", "click", "1"});
    EXPECT_TRUE(WaitFor([&] { return viewable(main) && viewable(equalizer); }, 20000));

    // Dragged to 7 pixels from the left edge, the window lands on it; at 30 it stays.
    x.Run("xdotool", {"windowmove", main, "30", "150"});
    EXPECT_TRUE(WaitFor([&] { return WindowPosition(x, main).x() >= 30; }, 10000));
    x.Run("xdotool", {"windowmove", main, "7", "150"});
    EXPECT_TRUE(WaitFor([&] { return WindowPosition(x, main).x() < 7; }, 10000))
        << WindowPosition(x, main).x();

    kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
}
