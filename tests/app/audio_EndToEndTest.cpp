// The real program carries the virtual tuner's sound: with digital sound processing on and the
// tuner powered, the virtual line-in is captured, scaled by the volume and played on the
// virtual line-out, which records it; muting gives silence.
#include "StderrReader.h"
#include "WavReader.h"
#include "XvfbSession.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// RMS of 16-bit samples [from, to) in seconds, as a fraction of full scale.
double Rms16(const TWav& wav, double from, double to) {
    const auto* samples = reinterpret_cast<const qint16*>(wav.Data.constData());
    const qsizetype count = wav.Data.size() / 2;
    const auto first = qsizetype(from * wav.Rate) * wav.Channels;
    const auto last = std::min(count, qsizetype(to * wav.Rate) * wav.Channels);
    double sum = 0;
    for (qsizetype i = first; i < last; ++i)
        sum += double(samples[i]) * samples[i];
    return last > first ? std::sqrt(sum / double(last - first)) / 32768.0 : -1.0;
}

} // namespace

TEST(AudioEndToEnd, TheStationIsRecordedFromAboutThePrefillOnAndMutingSilencesIt) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    {
        QFile ini(config.filePath("orvalen.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        // 16 bits, 44100 Hz, full volume: the amplifier passes the samples on unchanged.
        ini.write("[main]\r\ndirectsound=1\r\nvolume=100\r\naudiobits=1\r\naudiosamplerate=5\r\n");
    }
    const QString recording = config.filePath("played.wav");
    QProcess program;
    program.setProcessEnvironment(x.Environment());
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--simulate", "--verbose", "--sim-record",
                                                  recording, "--config-dir", config.path()});
    ASSERT_TRUE(program.waitForStarted());
    TStderr err(program);
    ASSERT_TRUE(err.WaitFor("Device connected\n")) << err.All().toStdString();
    const QString window = x.FindWindow("USB Orvalen");
    ASSERT_FALSE(window.isEmpty());

    x.Run("xdotool", {"mousemove", "--window", window, "31", "67", "click", "1"}); // power
    ASSERT_TRUE(err.WaitFor("WR 00  50 01 00 ")) << err.All().toStdString();
    QThread::msleep(2000);
    x.Run("xdotool", {"mousemove", "--window", window, "92", "169", "click", "1"}); // mute
    ASSERT_TRUE(err.WaitFor("WR 00  4D 01 00 ")) << err.All().toStdString();
    QThread::msleep(1500);
    kill(program.processId(), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0) << err.All().toStdString();

    const TWav wav = ReadWav(recording);
    ASSERT_EQ(wav.Channels, 2u);
    ASSERT_EQ(wav.Rate, 44100u);
    ASSERT_EQ(wav.Bits, 16u);
    const double seconds = double(wav.Data.size()) / (4.0 * wav.Rate);
    // About 2 s of the station after the prefill, then 1.5 s that end in silence.
    ASSERT_GT(seconds, 2.5);
    EXPECT_NEAR(Rms16(wav, 0.4, 1.6), 0.1, 0.01);
    EXPECT_EQ(Rms16(wav, seconds - 0.5, seconds), 0.0);
}

TEST(AudioEndToEnd, ARecordingThatCannotBeWrittenIsToldAtStartUp) {
    QProcess program;
    program.start(ORVALEN_BINARY_DIR "/orvalen",
                  {"--simulate", "--sim-record", "/nonexistent-folder/played.wav"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2);
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(err.startsWith("orvalen: ")) << err.toStdString();
    EXPECT_TRUE(err.contains("/nonexistent-folder/played.wav")) << err.toStdString();
}
