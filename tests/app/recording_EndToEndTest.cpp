// The real program records what it plays: with the virtual tuner on the test station, the key R
// starts and stops a FLAC recording in the music folder, whose samples are those the virtual
// line-out played; power off and a termination signal leave complete files too.
#include "StderrReader.h"
#include "WavReader.h"
#include "XvfbSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>

namespace {

// 16-bit stereo samples of a FLAC file as bytes, as a WAV file holds them.
QByteArray FlacSamples(const QString& path, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return {};
    QByteArray bytes(qsizetype(info.frames * info.channels) * 2, '\0');
    const sf_count_t read =
        sf_readf_short(file, reinterpret_cast<short*>(bytes.data()), info.frames);
    sf_close(file);
    bytes.truncate(qsizetype(read * info.channels) * 2);
    return bytes;
}

struct TRun {
    int ExitCode = -1;
    QString Output;
};

TRun Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

// The program under Xvfb with the virtual tuner, 16-bit 44100 Hz sound at full volume, its
// played sound written to played.wav and its music folder in a temporary folder.
class TRecordingProgram {
public:
    // childSetup: run in the program's process before it starts (limits).
    explicit TRecordingProgram(const std::function<void()>& childSetup = {}) : Err(Program) {
        QFile ini(Config.filePath("orvalen.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(
                "[main]\r\ndirectsound=1\r\nvolume=100\r\naudiobits=1\r\naudiosamplerate=5\r\n");
        QDir(Home.path()).mkpath("music");
        QProcessEnvironment env = X.Environment();
        env.insert("HOME", Home.path());
        env.insert("XDG_CONFIG_HOME", Home.filePath("config"));
        env.insert("XDG_MUSIC_DIR", Home.filePath("music"));
        Program.setProcessEnvironment(env);
        if (childSetup)
            Program.setChildProcessModifier(childSetup);
        Program.start(ORVALEN_BINARY_DIR "/orvalen", {"--simulate", "--verbose", "--sim-record",
                                                      Played(), "--config-dir", Config.path()});
    }
    ~TRecordingProgram() {
        if (Program.state() != QProcess::NotRunning) {
            Program.kill();
            Program.waitForFinished();
        }
    }

    QString Played() const { return Config.filePath("played.wav"); }
    QString Folder() const { return Home.filePath("music/Orvalen"); }

    bool StartedAndPowered() {
        if (!X.Running() || !Program.waitForStarted() || !Err.WaitFor("Device connected\n", 60000))
            return false;
        Window = X.FindWindow("USB Orvalen");
        if (Window.isEmpty())
            return false;
        return Power();
    }
    bool Power() {
        X.Run("xdotool", {"mousemove", "--window", Window, "31", "67", "click", "1"});
        return Err.WaitFor("WR 00  50 0", 30000);
    }
    void PressR() {
        X.Run("xdotool", {"windowfocus", "--sync", Window});
        X.Run("xdotool", {"key", "r"});
    }
    // The path the program records to, once it has started.
    QString RecordingStarted() { return Err.RestOfLine("Recording to "); }
    bool RecordingFinished(const QString& path) {
        // Told before or after the line it is waited behind (power off ends it first).
        const QByteArray line = ("Recording finished: " + path + "\n").toUtf8();
        return Err.All().contains(line) || Err.WaitFor(line, 60000);
    }
    QString Caption() {
        const QString out = X.Run("xprop", {"-id", Window, "-notype", "_NET_WM_NAME"});
        const qsizetype at = out.indexOf('"');
        return at < 0 ? QString() : out.mid(at + 1, out.lastIndexOf('"') - at - 1);
    }
    bool Terminated() {
        kill(Program.processId(), SIGTERM);
        return Program.waitForFinished(60000) && Program.exitCode() == 0;
    }

    TXvfbSession X;
    QTemporaryDir Config, Home;
    QProcess Program;
    TStderr Err;
    QString Window;
};

// Checks the recording with the packaged tools and libsndfile and gives its samples.
QByteArray CheckedFlac(const QString& path) {
    const TRun test = Run("flac", {"-t", "-s", path});
    EXPECT_EQ(test.ExitCode, 0) << test.Output.toStdString();
    const TRun info = Run("soxi", {path});
    EXPECT_EQ(info.ExitCode, 0) << info.Output.toStdString();
    EXPECT_TRUE(info.Output.contains(QRegularExpression("Channels\\s*: 2")))
        << info.Output.toStdString();
    EXPECT_TRUE(info.Output.contains(QRegularExpression("Sample Rate\\s*: 44100")))
        << info.Output.toStdString();
    EXPECT_TRUE(info.Output.contains(QRegularExpression("Precision\\s*: 16-bit")))
        << info.Output.toStdString();
    SF_INFO sf;
    const QByteArray samples = FlacSamples(path, sf);
    EXPECT_EQ(sf.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    return samples;
}

// The frames of what was played that the recording is, bit for bit, from its start on: the most
// found at any place where its first 256 frames occur. The station's noise starts the same with
// every stream, so the same start may occur once per power-on.
qsizetype FramesMatched(const QByteArray& recorded, const QByteArray& played) {
    const QByteArray head = recorded.left(256 * 4);
    qsizetype best = 0;
    for (qsizetype at = played.indexOf(head); at >= 0; at = played.indexOf(head, at + 1)) {
        if (at % 4 != 0)
            continue;
        qsizetype n = 0;
        const qsizetype end = std::min(recorded.size(), played.size() - at);
        while (n < end && recorded[n] == played[at + n])
            ++n;
        best = std::max(best, n / 4);
    }
    return best;
}

} // namespace

TEST(RecordingEndToEnd, RIsARecordingOfExactlyWhatThePlayerPlayed) {
    TRecordingProgram p;
    ASSERT_TRUE(p.StartedAndPowered()) << p.Err.All().toStdString();
    QThread::msleep(1500); // past the output's prefill
    p.PressR();
    const QString path = p.RecordingStarted();
    ASSERT_FALSE(path.isEmpty()) << p.Err.All().toStdString();
    EXPECT_EQ(QFileInfo(path).path(), p.Folder());
    EXPECT_TRUE(QFileInfo(path).fileName().contains(
        QRegularExpression("^88\\.0 \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.flac$")))
        << path.toStdString();
    EXPECT_EQ(p.Caption(), QString("USB Orvalen — запись"));
    QThread::msleep(5000);
    p.PressR();
    ASSERT_TRUE(p.RecordingFinished(path)) << p.Err.All().toStdString();
    EXPECT_EQ(p.Caption(), QString("USB Orvalen"));
    // The output plays on for a while, so that what was recorded has been played.
    QThread::msleep(1500);
    ASSERT_TRUE(p.Terminated()) << p.Err.All().toStdString();

    const QByteArray recorded = CheckedFlac(path);
    const double seconds = double(recorded.size()) / (4.0 * 44100);
    EXPECT_GT(seconds, 4.0);
    EXPECT_LT(seconds, 15.0);
    const TWav played = ReadWav(p.Played());
    ASSERT_EQ(played.Bits, 16u);
    // Bit for bit, the whole recording.
    EXPECT_EQ(FramesMatched(recorded, played.Data), recorded.size() / 4);
}

TEST(RecordingEndToEnd, PowerOffAndTerminationLeaveCompleteFiles) {
    TRecordingProgram p;
    ASSERT_TRUE(p.StartedAndPowered()) << p.Err.All().toStdString();
    QThread::msleep(1500);
    p.PressR();
    const QString first = p.RecordingStarted();
    ASSERT_FALSE(first.isEmpty()) << p.Err.All().toStdString();
    QThread::msleep(2500);
    ASSERT_TRUE(p.Power()); // off
    ASSERT_TRUE(p.RecordingFinished(first)) << p.Err.All().toStdString();
    EXPECT_EQ(p.Caption(), QString("USB Orvalen"));

    ASSERT_TRUE(p.Power()); // on again
    QThread::msleep(1500);
    p.PressR();
    const QString second = p.RecordingStarted();
    ASSERT_FALSE(second.isEmpty()) << p.Err.All().toStdString();
    EXPECT_NE(second, first);
    QThread::msleep(2500);
    ASSERT_TRUE(p.Terminated()) << p.Err.All().toStdString();

    const TWav played = ReadWav(p.Played());
    for (const QString& path : {first, second}) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray recorded = CheckedFlac(path);
        EXPECT_GT(double(recorded.size()) / (4.0 * 44100), 1.5);
        // The recording is what was played, bit for bit, up to the last buffers: when the
        // sound stops (power off, the end of the program) the output drops what it still held
        // unplayed, while the recorder has written it.
        EXPECT_GT(FramesMatched(recorded, played.Data), recorded.size() / 4 - 44100 / 2);
    }
}

TEST(RecordingEndToEnd, AFileSizeLimitStopsTheRecordingNotTheProgram) {
    // Under `ulimit -f` the write that reaches the limit fails; the recording stops with its
    // message and the program goes on, to write its settings at the end. What was recorded up
    // to there is a complete file.
    const qint64 limitBytes = 200 * 1024;
    TRecordingProgram run([] {
        const rlimit limit{limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    ASSERT_TRUE(run.StartedAndPowered()) << run.Err.All().toStdString();
    run.PressR();
    const QString path = run.RecordingStarted();
    ASSERT_FALSE(path.isEmpty()) << run.Err.All().toStdString();
    ASSERT_TRUE(run.Err.WaitFor("Recording stopped: ", 60000)) << run.Err.All().toStdString();
    EXPECT_EQ(run.Program.state(), QProcess::Running);
    ASSERT_TRUE(run.Terminated());
    QFile ini(run.Config.filePath("orvalen.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("fmfrequency=")) << "the settings were written at the end";
    EXPECT_LE(QFileInfo(path).size(), limitBytes);
    const QByteArray recorded = CheckedFlac(path);
    EXPECT_GT(double(recorded.size()) / (4.0 * 44100), 0.5);
}
