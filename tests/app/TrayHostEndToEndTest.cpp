// The tray icon of the real program with a real tray host (trayer, an XEmbed tray) on a
// private X server: the host starts after the program, as with session autostart, and is
// restarted later; the icon must be embedded in the host each time.
#include "WaitFor.h"
#include "XvfbSession.h"

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

// A window of the program sits inside a window of the host and is on screen: the host
// embedded the icon (XEmbed reparents the icon's window into one of the host's own).
bool IconEmbedded(const TXvfbSession& x, qint64 program, qint64 host) {
    const QList<quint64> hostWindows = x.WindowsOf(host);
    for (const quint64 window : x.WindowsOf(program)) {
        quint64 ancestor = x.ParentOf(window);
        for (int depth = 0; ancestor != 0 && depth < 16; ++depth) {
            if (hostWindows.contains(ancestor))
                return x.IsViewable(window);
            ancestor = x.ParentOf(ancestor);
        }
    }
    return false;
}

} // namespace

TEST(TrayHostEndToEnd, IconComesWhenTheHostStartsLateAndAfterItsRestart) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    QProcess program;
    const TEnding endProgram{program};
    QProcessEnvironment environment = x.Environment();
    // The display's own tray, not a tray service some desktop may offer on the session bus.
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + config.filePath("no-bus"));
    program.setProcessEnvironment(environment);
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--simulate", "--config-dir", config.path()});
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
