// The real program's sound on a real sound server, as on a current desktop: a private PipeWire
// server with its session manager and PulseAudio server, null sinks whose monitors are
// recorded, the program on Xvfb with the virtual tuner playing the test station (white noise
// at an RMS of 0.1 on each channel). What reaches the sink is what a listener would hear: no
// gaps, the right level, sound back after the program or the server was gone for a while, a
// source of the server carried through, and a new output taking the sound at once.
#include "PipeWireSession.h"
#include "StderrReader.h"
#include "WaitFor.h"
#include "XvfbSession.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace SoundCheck;

constexpr double StationRms = 0.1;

// What a recording holds in [from, to), for failure messages.
std::string Describe(const TWav& wav, double from, double to) {
    const TSilence gap = LongestSilence(wav, from, to);
    std::ostringstream text;
    text << "recording of " << Seconds(wav) << " s; in [" << from << ", " << to << ") s: RMS "
         << Rms(wav, from, to) << ", longest silence " << gap.Length * 1000 << " ms";
    if (gap.Start >= 0)
        text << " from " << gap.Start << " s";
    text << ", first sound at " << FirstSound(wav, from) << " s";
    return text.str();
}

// How long after origin the sound was back, for failure messages; at < 0 is never.
std::string BackAfter(double at, double origin) {
    if (at < 0)
        return "never back";
    std::ostringstream text;
    text << "back " << at - origin << " s after";
    return text.str();
}

// Lines of text that hold every one of the parts.
int LinesWith(const QByteArray& text, const QList<QByteArray>& parts) {
    int count = 0;
    for (const QByteArray& line : text.split('\n'))
        count += std::all_of(parts.begin(), parts.end(),
                             [&](const QByteArray& part) { return line.contains(part); });
    return count;
}

class PipeWireEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(X.Running());
        ASSERT_TRUE(Server.Running()) << Server.Error().toStdString();
    }
    void TearDown() override {
        if (Program.state() == QProcess::NotRunning)
            return;
        const pid_t pid = pid_t(Program.processId());
        ::kill(pid, SIGCONT);
        ::kill(pid, SIGTERM);
        if (!Program.waitForFinished(30000)) {
            ADD_FAILURE() << "the program did not end on SIGTERM";
            Program.kill();
            Program.waitForFinished();
        }
    }

    // An ALSA configuration with the system's and these PCMs, for ALSA_CONFIG_PATH.
    QString AlsaConfig(const QString& pcms) {
        const QString path = Dir.filePath("asound.conf");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("</usr/share/alsa/alsa.conf>\n" + pcms.toUtf8());
        return path;
    }

    // Starts the program with digital sound on at 16 bits, 44100 Hz and full volume (the
    // amplifier passes the samples on unchanged) on these devices, as a client of the server,
    // and waits for the virtual tuner and the main window.
    void StartProgram(const QString& input, const QString& output,
                      const QProcessEnvironment& extra = {}) {
        {
            QFile ini(Dir.filePath("orvalen.ini"));
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write(
                "[main]\r\ndirectsound=1\r\nvolume=100\r\naudiobits=1\r\naudiosamplerate=5\r\n"
                "currentindevicename=" +
                input.toUtf8() + "\r\ncurrentoutdevicename=" + output.toUtf8() + "\r\n");
        }
        QProcessEnvironment environment = Server.Environment(X.Environment());
        for (const QString& name : extra.keys())
            environment.insert(name, extra.value(name));
        Program.setProcessEnvironment(environment);
        Program.start(ORVALEN_BINARY_DIR "/orvalen",
                      {"--simulate", "--verbose", "--config-dir", Dir.path()});
        ASSERT_TRUE(Program.waitForStarted());
        ASSERT_TRUE(Err.WaitFor("Device connected\n")) << Log();
        Window = X.FindWindow("USB Orvalen");
        ASSERT_FALSE(Window.isEmpty());
    }

    void Click(const QString& window, int x, int y) {
        X.Run("xdotool", {"mousemove", "--window", window, QString::number(x), QString::number(y),
                          "click", "1"});
    }

    void PowerOn() {
        Click(Window, 31, 67);
        ASSERT_TRUE(Err.WaitFor("WR 00  50 01 00 ")) << Log();
    }

    // Powers on and waits until the station is heard at the sink; where it begins.
    double PowerOnUntilHeard(TSinkRecording& sink) {
        PowerOn();
        const double first = sink.WaitForSound(0, 10000);
        EXPECT_GE(first, 0) << "no sound at the sink; " << Describe(sink.Read(), 0, 1e9)
                            << "\nstandard error:\n"
                            << Log();
        return first;
    }

    // Standard error without the tuner's report traffic, for failure messages.
    std::string Log() {
        QByteArray kept;
        for (const QByteArray& line : Err.All().split('\n'))
            if (!line.trimmed().isEmpty() && !line.startsWith("WR ") && !line.startsWith("RD ") &&
                !line.startsWith("freq=") && !line.startsWith(" rds="))
                kept += line + '\n';
        return kept.toStdString();
    }

    TXvfbSession X;
    TPipeWireSession Server;
    QTemporaryDir Dir;
    QProcess Program;
    TStderr Err{Program};
    QString Window;
};

struct TOutputCase {
    const char* Pcm;
    double Seconds;
};

void PrintTo(const TOutputCase& c, std::ostream* out) {
    *out << c.Pcm << " for " << c.Seconds << " s";
}

class PipeWireOutput : public PipeWireEndToEnd,
                       public ::testing::WithParamInterface<TOutputCase> {};

// The `pipewire` PCM is the server's own ALSA plugin; `pulse` speaks the PulseAudio protocol
// to the server's PulseAudio side.
TEST_P(PipeWireOutput, TheStationReachesTheSinkWithoutGapsAtItsLevel) {
    const TOutputCase& c = GetParam();
    ASSERT_TRUE(Server.CreateSink("orvalen-out")) << Server.Error().toStdString();
    TSinkRecording sink(Server, "orvalen-out", Dir.filePath("sink.wav"));
    ASSERT_TRUE(sink.WaitStarted());
    ASSERT_NO_FATAL_FAILURE(StartProgram("Default", c.Pcm));
    const double first = PowerOnUntilHeard(sink);
    ASSERT_GE(first, 0);

    ASSERT_TRUE(sink.WaitForSeconds(first + c.Seconds, int(c.Seconds * 1000) + 10000));
    const TWav wav = sink.Read();
    const double last = first + c.Seconds;
    EXPECT_LT(LongestSilence(wav, first, last).Length, 0.1) << Describe(wav, first, last);
    EXPECT_NEAR(Rms(wav, first, last), StationRms, 0.02) << Describe(wav, first, last);
    EXPECT_EQ(Program.state(), QProcess::Running) << Log();
}

INSTANTIATE_TEST_SUITE_P(Pcms, PipeWireOutput,
                         ::testing::Values(TOutputCase{"pipewire", 10}, TOutputCase{"pulse", 5}),
                         [](const auto& info) { return std::string(info.param.Pcm); });

TEST_F(PipeWireEndToEnd, SoundComesBackAfterTheProgramWasStopped) {
    ASSERT_TRUE(Server.CreateSink("orvalen-out")) << Server.Error().toStdString();
    TSinkRecording sink(Server, "orvalen-out", Dir.filePath("sink.wav"));
    ASSERT_TRUE(sink.WaitStarted());
    ASSERT_NO_FATAL_FAILURE(StartProgram("Default", "pipewire"));
    const double first = PowerOnUntilHeard(sink);
    ASSERT_GE(first, 0);
    ASSERT_TRUE(sink.WaitForSeconds(first + 1, 10000));

    const pid_t pid = pid_t(Program.processId());
    // A stop starves the stream as a busy machine does, only for longer: what the server holds
    // runs out and the device underruns.
    for (const int seconds : {1, 3, 10}) {
        SCOPED_TRACE(testing::Message() << "stopped for " << seconds << " s");
        ASSERT_EQ(::kill(pid, SIGSTOP), 0);
        WaitFor([] { return false; }, seconds * 1000);
        const double resumed = sink.Seconds();
        ASSERT_EQ(::kill(pid, SIGCONT), 0);
        // Two seconds to come back, and one of steady sound after that.
        ASSERT_TRUE(sink.WaitForSeconds(resumed + 3.2, 15000));
        const TWav wav = sink.Read();
        const double back = SoundBack(wav, resumed);
        EXPECT_TRUE(back >= 0 && back - resumed <= 2.0)
            << BackAfter(back, resumed) << " SIGCONT; " << Describe(wav, resumed, Seconds(wav));
    }
    EXPECT_EQ(Program.state(), QProcess::Running) << Log();
}

TEST_F(PipeWireEndToEnd, SoundComesBackByItselfWhenTheServerReturns) {
    ASSERT_TRUE(Server.CreateSink("orvalen-out")) << Server.Error().toStdString();
    double first = -1;
    {
        TSinkRecording sink(Server, "orvalen-out", Dir.filePath("before.wav"));
        ASSERT_TRUE(sink.WaitStarted());
        ASSERT_NO_FATAL_FAILURE(StartProgram("Default", "pipewire"));
        first = PowerOnUntilHeard(sink);
        ASSERT_GE(first, 0);
        ASSERT_TRUE(sink.WaitForSeconds(first + 1, 10000));
        Server.Kill();
    }
    // The server stays down until the program has told of the loss, 3 s at most.
    Err.WaitFor("lost", 3000);

    ASSERT_TRUE(Server.Restart()) << Server.Error().toStdString();
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    TSinkRecording sink(Server, "orvalen-out", Dir.filePath("after.wav"));
    ASSERT_TRUE(sink.WaitStarted());
    // The recording's start lies this long after the server was back.
    const double offset = double(sinceRestart.elapsed()) / 1000.0;
    sink.WaitForSeconds(5.0 - offset + 1.2, 15000);
    const TWav wav = sink.Read();
    const double back = SoundBack(wav, 0);
    EXPECT_TRUE(back >= 0 && offset + back <= 5.0)
        << BackAfter(back, -offset) << " the restart; " << Describe(wav, 0, Seconds(wav))
        << "\nstandard error:\n"
        << Log();

    // The return is told once the reopened device has kept going for a while.
    const QList<QByteArray> lostLine = {"Sound output device \"pipewire\"", "lost"};
    const QList<QByteArray> backLine = {"Sound output device \"pipewire\"", "back"};
    WaitFor([&] { return LinesWith(Err.All(), backLine) > 0; }, 5000);
    const QByteArray& all = Err.All();
    EXPECT_EQ(LinesWith(all, lostLine), 1) << Log();
    EXPECT_EQ(LinesWith(all, backLine), 1) << Log();
    // The loss was handled quietly: no message box (titled with the program's name only).
    EXPECT_FALSE(all.contains("Can't")) << Log();
    EXPECT_EQ(X.Run("xdotool", {"search", "--onlyvisible", "--name", "^Orvalen$"})
                  .trimmed()
                  .toStdString(),
              "")
        << "a message box is up; " << Log();
    EXPECT_EQ(Program.state(), QProcess::Running) << Log();
}

TEST_F(PipeWireEndToEnd, ASourceOfTheServerIsCarriedToTheOutput) {
    // The program plays to the default sink; the tone is played to a second one, whose monitor
    // is the program's input.
    ASSERT_TRUE(Server.CreateSink("orvalen-out", 2000)) << Server.Error().toStdString();
    ASSERT_TRUE(Server.CreateSink("orvalen-feed", 100)) << Server.Error().toStdString();
    const QString tone = Dir.filePath("tone.wav");
    ASSERT_EQ(QProcess::execute("sox", {"-n", "-r", "48000", "-c", "2", "-b", "16", tone, "synth",
                                        "40", "sine", "1000", "vol", "0.3"}),
              0);
    QProcess player;
    ASSERT_TRUE(Server.Start(player, "pw-play", {"--target", "orvalen-feed", tone}));
    QProcessEnvironment extra;
    extra.insert("ALSA_CONFIG_PATH",
                 AlsaConfig("pcm.orvalenfeed { type pipewire; capture_node \"orvalen-feed\";\n"
                            "    hint { show on; description \"Feed|IOIDInput\" } }\n"));
    // A capture stream aimed at a sink takes the sink's monitor only when it asks for it.
    extra.insert("PIPEWIRE_PROPS", "{ stream.capture.sink=true }");
    TSinkRecording sink(Server, "orvalen-out", Dir.filePath("sink.wav"));
    ASSERT_TRUE(sink.WaitStarted());
    ASSERT_NO_FATAL_FAILURE(StartProgram("orvalenfeed", "pipewire", extra));
    const double first = PowerOnUntilHeard(sink);
    ASSERT_GE(first, 0);

    ASSERT_TRUE(sink.WaitForSeconds(first + 3, 15000));
    const TWav wav = sink.Read();
    // 1 kHz at an amplitude of 0.3 (RMS 0.21), not the station's noise.
    EXPECT_NEAR(ZeroCrossingFrequency(wav, first + 0.5, first + 2.5), 1000, 10)
        << Describe(wav, first, first + 3);
    EXPECT_NEAR(Rms(wav, first + 0.5, first + 2.5), 0.3 / std::sqrt(2.0), 0.03)
        << Describe(wav, first, first + 3);
    EXPECT_LT(LongestSilence(wav, first, first + 3).Length, 0.1) << Describe(wav, first, first + 3);
    player.terminate();
    player.waitForFinished(5000);
}

TEST_F(PipeWireEndToEnd, AnOutputChosenInTheOptionsTakesTheSoundAtOnce) {
    ASSERT_TRUE(Server.CreateSink("orvalen-a", 2000)) << Server.Error().toStdString();
    ASSERT_TRUE(Server.CreateSink("orvalen-b", 100)) << Server.Error().toStdString();
    QProcessEnvironment extra;
    extra.insert("ALSA_CONFIG_PATH",
                 AlsaConfig("pcm.sinka { type pipewire; playback_node \"orvalen-a\";\n"
                            "    hint { show on; description \"Sink A|IOIDOutput\" } }\n"
                            "pcm.sinkb { type pipewire; playback_node \"orvalen-b\";\n"
                            "    hint { show on; description \"Sink B|IOIDOutput\" } }\n"));
    TSinkRecording a(Server, "orvalen-a", Dir.filePath("a.wav"));
    TSinkRecording b(Server, "orvalen-b", Dir.filePath("b.wav"));
    ASSERT_TRUE(a.WaitStarted());
    ASSERT_TRUE(b.WaitStarted());
    ASSERT_NO_FATAL_FAILURE(StartProgram("Default", "sinka", extra));
    const double first = PowerOnUntilHeard(a);
    ASSERT_GE(first, 0);
    ASSERT_TRUE(a.WaitForSeconds(first + 1, 10000));

    Click(Window, 340, 67);
    const QString options = X.FindWindow("Настройки", 10000);
    ASSERT_FALSE(options.isEmpty());
    // The output list opens; typing a name selects it, Enter takes it.
    Click(options, 188, 222);
    WaitFor([] { return false; }, 300);
    X.Run("xdotool", {"type", "--delay", "50", "sinkb"});
    X.Run("xdotool", {"key", "Return"});
    WaitFor([] { return false; }, 300);
    Click(options, 409, 388); // OK
    const double okA = a.Seconds(), okB = b.Seconds();
    ASSERT_TRUE(WaitFor(
        [&] {
            QFile ini(Dir.filePath("orvalen.ini"));
            return ini.open(QIODevice::ReadOnly) &&
                   ini.readAll().contains("currentoutdevicename=sinkb");
        },
        5000))
        << "the dialog did not take the new output; " << Log();

    ASSERT_TRUE(a.WaitForSeconds(okA + 2.5, 10000));
    ASSERT_TRUE(b.WaitForSeconds(okB + 2.5, 10000));
    const TWav atA = a.Read(), atB = b.Read();
    const double back = SoundBack(atB, okB);
    EXPECT_TRUE(back >= 0 && back - okB <= 1.0)
        << "new sink: " << BackAfter(back, okB) << " OK; " << Describe(atB, okB, okB + 2.5) << "\n"
        << Log();
    // What the old sink still had queued may finish; nothing comes after it.
    EXPECT_LT(FirstSound(atA, okA + 1.0), 0)
        << "still at the old sink; " << Describe(atA, okA + 1.0, okA + 2.5);
}

} // namespace
