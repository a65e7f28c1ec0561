// The real program scans the band from the keyboard: with the virtual tuner powered and RDS on,
// Ctrl+S typed into the main window fills the empty station list with the band plan's FM
// stations and their RDS names, writes it, and the program goes on and closes as usual.
#include "StderrReader.h"
#include "XvfbSession.h"
#include "stations/StationFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

QStringList StationLines(const QString& path) {
    QStringList lines;
    Stations::LoadStationFile(path, lines);
    return lines;
}

} // namespace

TEST(ScanEndToEnd, CtrlSFillsTheListWithTheBandsStationsAndTheirNames) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    QFile ini(config.filePath("orvalen.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[main]\r\nuserds=1\r\n");
    ini.close();
    const QString list = config.filePath("orvalen.lst");

    QProcess program;
    TStderr err(program);
    program.setProcessEnvironment(x.Environment());
    program.start(ORVALEN_BINARY_DIR "/orvalen",
                  {"--simulate", "--verbose", "--config-dir", config.path()});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(err.WaitFor("Device connected\n", 60000)) << err.All().toStdString();
    const QString window = x.FindWindow("USB Orvalen");
    ASSERT_FALSE(window.isEmpty());
    x.Run("xdotool", {"mousemove", "--window", window, "31", "67", "click", "1"});
    ASSERT_TRUE(err.WaitFor("WR 00  50 0", 30000)) << err.All().toStdString();

    // The window takes keys once it has been told it is active, which under load may come
    // after the key: pressed again until the scan's first seek goes out.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        x.Run("xdotool", {"windowfocus", "--sync", window});
        x.Run("xdotool", {"key", "ctrl+s"});
        started = err.WaitFor("WR 00  53 01 ", 5000);
    }
    ASSERT_TRUE(started) << err.All().toStdString();
    // The list is written once, at the scan's end.
    const QStringList expected = {"88.0=ORVALEN",  "91.2=RETRO",   "95.5=JAZZ",
                                  "101.7=NOVOSTI", "104.2=EUROPA", "107.9=ROCK"};
    QElapsedTimer timer;
    timer.start();
    while (StationLines(list).isEmpty() && timer.elapsed() < 60000)
        QThread::msleep(100);
    EXPECT_EQ(StationLines(list), expected) << err.All().toStdString();

    kill(program.processId(), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(StationLines(list), expected);
}
