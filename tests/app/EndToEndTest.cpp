// The real executable on a private X server, as a person starts and ends it.
#include "XvfbSession.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

TEST(EndToEnd, ShowsTheWindowAndWritesSettingsOnTerminate) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    QProcess program;
    program.setProcessEnvironment(x.Environment());
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--config-dir", config.path()});
    ASSERT_TRUE(program.waitForStarted());

    const QString window = x.FindWindow("USB Orvalen");
    ASSERT_FALSE(window.isEmpty());
    const QString geometry = x.Run("xdotool", {"getwindowgeometry", window});
    EXPECT_TRUE(geometry.contains("Geometry: 370x197")) << geometry.toStdString();

    kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    QFile settings(config.filePath("orvalen.ini"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray text = settings.readAll();
    for (const char* key : {"fmfrequency=0", "volume=100", "fmband=1", "Left=", "useBass=0"})
        EXPECT_TRUE(text.contains(key)) << key;
}

TEST(EndToEnd, HelpAndVersionAnswerWithoutADisplay) {
    QProcess program;
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--version"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.readAllStandardOutput().trimmed(), QByteArray("orvalen 1.0.0"));
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--bogus"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2);
}
