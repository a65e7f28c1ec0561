// The real program with a virtual tuner on a private X server, driven as a person would:
// it connects, the power button starts polling, SIGUSR1 unplugs and re-plugs the tuner.
#include "StderrReader.h"
#include "XvfbSession.h"
#include "controls/Reflection.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

QImage Screenshot(const TXvfbSession& x, const QString& window, const QString& file) {
    x.Run("import", {"-window", window, file}, 20000);
    return QImage(file);
}

} // namespace

TEST(TunerEndToEnd, SimulatedTunerConnectsPollsAndReplugsOnSigusr1) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    QProcess program;
    program.setProcessEnvironment(x.Environment());
    program.start(ORVALEN_BINARY_DIR "/orvalen",
                  {"--simulate", "--verbose", "--config-dir", config.path()});
    ASSERT_TRUE(program.waitForStarted());
    const auto pid = static_cast<pid_t>(program.processId());
    TStderr err(program);

    // Connected after start-up: full state with power off, then the status request.
    ASSERT_TRUE(err.WaitFor("Device connected\n")) << err.All().toStdString();
    ASSERT_TRUE(err.WaitFor("WR 00  49 00 34 08 00 "));
    ASSERT_TRUE(err.WaitFor("WR 00  67 00 "));
    ASSERT_TRUE(err.WaitFor("freq=880\n"));

    const QString window = x.FindWindow("USB Orvalen");
    ASSERT_FALSE(window.isEmpty());
    const QImage before = Screenshot(x, window, config.filePath("before.png"));

    // The power button: GroupBoxPower at 7, 5, the button at 9, 48, 30 x 28 inside it.
    x.Run("xdotool", {"mousemove", "--window", window, "31", "67", "click", "1"});
    ASSERT_TRUE(err.WaitFor("WR 00  50 01 00 ")) << err.All().toStdString();
    for (int poll = 0; poll < 2; ++poll) {
        ASSERT_TRUE(err.WaitFor("WR 00  67 00 ", 5000)) << poll;
        ASSERT_TRUE(err.WaitFor("RD 00  72 04 00 C0 ", 5000)); // stereo, level 12
    }
    const QImage after = Screenshot(x, window, config.filePath("after.png"));
    ASSERT_FALSE(before.isNull());
    ASSERT_FALSE(after.isNull());
    // The display (inside GroupBoxFMTune at 58, 5) is live now.
    const QRect display(61, 8, 248, 75);
    EXPECT_NE(before.copy(display), after.copy(display));
    // Lit: aqua frequency digits above the reflection, and the reflection band below them is
    // exactly the mirrored, faded, widened top band.
    const QImage shown = after.copy(display).convertToFormat(QImage::Format_BGR888);
    bool aqua = false;
    for (int y = 0; y < Reflection::TopBandRows && !aqua; ++y)
        for (int x0 = 0; x0 < shown.width() && !aqua; ++x0)
            aqua = shown.pixelColor(x0, y) == QColor(0, 255, 255);
    EXPECT_TRUE(aqua);
    QImage expected = shown.copy();
    QImage strip(shown.width(), Reflection::TopBandRows, QImage::Format_BGR888);
    Reflection::DrawReflection(expected, strip);
    for (int y = Reflection::TopBandRows; y <= 55; ++y)
        for (int x0 = 0; x0 < shown.width(); ++x0)
            ASSERT_EQ(shown.pixel(x0, y), expected.pixel(x0, y)) << "row " << y << " x " << x0;

    // Unplugged: removal line and no more polling.
    kill(pid, SIGUSR1);
    ASSERT_TRUE(err.WaitFor("Device \"Orvalen USB FM (RDA5807M)\" Disconnected!\n"))
        << err.All().toStdString();
    EXPECT_FALSE(err.Since(2500).contains("WR 00  67"));

    // Plugged in again: a fresh connection with the full state, power off.
    kill(pid, SIGUSR1);
    ASSERT_TRUE(err.WaitFor("Device connected\n"));
    ASSERT_TRUE(err.WaitFor("WR 00  49 00 34 08 00 "));
    ASSERT_TRUE(err.WaitFor("WR 00  67 00 "));

    kill(pid, SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    err.Since(0);
    EXPECT_EQ(program.exitCode(), 0) << err.All().toStdString();
}
