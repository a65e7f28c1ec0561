// What the real program loads before its window's first frame, as the dynamic loader reports
// it: none of the image-format plug-ins (the pictures are built in and the group frames drawn
// by hand) and not the sound-file library (loaded when a recording starts).
#include "XvfbSession.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(StartupEndToEnd, TheFirstFrameNeedsNoImagePlugInNorTheSoundFileLibrary) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    QProcessEnvironment env = x.Environment();
    env.insert("LD_DEBUG", "files");
    env.insert("ORVALEN_REPORT_FIRST_PAINT", "1"); // ends the program after the first frame
    QProcess program;
    program.setProcessEnvironment(env);
    // With the list shown, so that the captioned frame is drawn too.
    QFile settings(config.filePath("orvalen.ini"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[main]\nShowList=1\n");
    settings.close();
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--simulate", "--config-dir", config.path()});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0);
    const QByteArray err = program.readAllStandardError();
    const qsizetype painted = err.indexOf("first-paint-ns ");
    ASSERT_GE(painted, 0) << err.right(2000).toStdString();
    const QByteArray before = err.left(painted);
    ASSERT_TRUE(before.contains("libQt6Widgets")) << "the loader reported nothing";
    for (const char* library : {"/imageformats/", "libsndfile", "libjpeg"})
        EXPECT_FALSE(before.contains(library)) << library << " was loaded before the first frame";
}
