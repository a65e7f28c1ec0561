// The whole sound path on the simulated devices, in real time: the virtual line-in plays the
// test station at 48 kHz stereo, 16 bits; capture → amplifier (1.0) → equalizer's place
// (passing through) → output on the virtual line-out. Figures: CPU time of the process per
// second of sound (goal: under 1 % of one core), buffers captured, dropped and underruns
// (goal: none dropped or repeated), alone and while other processes keep every core busy.
//
// Then the real program on a private PipeWire server (as on a current desktop): the virtual
// line-in's test station at 44.1 kHz stereo, 16 bits, played on ALSA's `pipewire` PCM into a
// null sink. Figures: the program's CPU time per second of sound, the server's excluded (goal:
// under 1 % of one core), also without the virtual line-in's thread, its busiest threads, and what
// reached the sink (its level, the station's 0.1, and the longest silence, which should be none).
//
//   bench_chain                                      all of it
//   bench_chain --benchmark_filter=seconds:10        10 s each, for a quick look
//   bench_chain --benchmark_filter=PipeWireProgram   the sound server's run only
#include "PipeWireSession.h"
#include "app/StreamAudioChain.h"
#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "platform/sound/WaveDevice.h"
#include "sim/SimWaveSystem.h"
#include "tuner/TunerProtocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU ticks (user + system) in a /proc/…/stat file; 0 when it cannot be read.
double StatTicks(const std::filesystem::path& path) {
    std::ifstream stat(path);
    std::string line;
    std::getline(stat, line);
    if (line.empty())
        return 0;
    // Fields after the name in parentheses: state is field 3, utime 14, stime 15.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::vector<std::string> values{std::istream_iterator<std::string>(fields), {}};
    return values.size() > 12 ? std::stod(values[11]) + std::stod(values[12]) : 0;
}

std::string ThreadName(const std::filesystem::path& task) {
    std::ifstream comm(task / "comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// CPU seconds of this process's threads whose name starts with prefix (user + system).
double ThreadCpuSeconds(const std::string& prefix) {
    double ticks = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        if (ThreadName(task.path()).rfind(prefix, 0) == 0)
            ticks += StatTicks(task.path() / "stat");
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// CPU ticks of each thread of a process, by thread id.
std::map<std::string, double> ThreadTicks(qint64 pid) {
    std::map<std::string, double> ticks;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error))
        ticks[task.path().filename().string()] = StatTicks(task.path() / "stat");
    return ticks;
}

// Processes that keep every core busy until they are stopped.
class TLoad {
public:
    explicit TLoad(bool on) {
        if (!on)
            return;
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                volatile unsigned long spins = 0;
                for (;;)
                    spins = spins + 1;
            }
            if (pid > 0)
                FChildren.push_back(pid);
        }
    }
    ~TLoad() {
        for (pid_t pid : FChildren) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> FChildren;
};

class TCountingSink : public TAudioComponent {
public:
    TCountingSink() : FPin(this) {
        FPin.OnOperation = [this](const TOperationPtr& operation) {
            if (operation->Is<TSuppliedBufferOperation>())
                ++Buffers;
            return false;
        };
    }
    TAudioSinkPin& Pin() { return FPin; }
    std::atomic<long> Buffers{0};

private:
    TAudioSinkPin FPin;
};

void SimulatedChain(benchmark::State& state) {
    const int seconds = int(state.range(0));
    const bool loaded = state.range(1) != 0;
    for (auto _ : state) {
        auto tuner = std::make_shared<TVirtualTuner>(TSimChip::RDA5807M);
        tuner->HandleOutput(TunerProtocol::OutputReport(TunerProtocol::CommandFlag('P', true), 65));
        TStreamAudioChain chain(std::make_unique<TSimWaveSystem>(tuner, "", nullptr));
        TCountingSink captured;
        chain.AudioIn1().OutputPin().Connect(captured.Pin());
        chain.SetCaptureFormat(16, 48000);
        chain.SetAmplifierCoefficient(1.0);

        TLoad load(loaded);
        const double cpuBefore = ProcessCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        chain.SetInEnabled(true);
        chain.SetOutEnabled(true);
        // The GUI thread sleeps in its event loop, as the program's does, serving the
        // components' deferred calls.
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        // Read while the devices' threads still run: they end with the stream.
        const double devices = ThreadCpuSeconds("Virtual");
        chain.SetInEnabled(false);
        chain.SetOutEnabled(false);
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const double sound = double(wall.elapsed()) / 1000.0;

        const TAudioCounters counters = chain.Counters();
        // The whole process, and without the virtual devices' own threads (which stand in for
        // the sound cards and their drivers).
        state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / sound;
        state.counters["cpu_percent_without_devices"] = 100.0 * (cpu - devices) / sound;
        state.counters["buffers_captured"] = double(captured.Buffers.load());
        state.counters["buffers_expected"] = sound * 48000.0 / 1024.0;
        state.counters["buffers_dropped"] = double(counters.DroppedBuffers);
        state.counters["underruns"] = double(counters.Underruns);
        chain.AudioIn1().OutputPin().Disconnect(captured.Pin());
    }
}

// Polls done() for up to timeoutMs while the event loop runs; done() at the end.
bool PollFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return done();
}

void PipeWireProgram(benchmark::State& state) {
    const int seconds = int(state.range(0));
    for (auto _ : state) {
        TPipeWireSession server;
        if (!server.Running() || !server.CreateSink(QStringLiteral("orvalen-bench"))) {
            state.SkipWithError(("no sound server: " + server.Error()).toStdString().c_str());
            return;
        }
        QTemporaryDir dir;
        {
            // Digital sound on at 16 bits and 44100 Hz, full volume, on the `pipewire` PCM.
            QFile ini(dir.filePath(QStringLiteral("orvalen.ini")));
            ini.open(QIODevice::WriteOnly);
            ini.write("[main]\r\ndirectsound=1\r\nvolume=100\r\naudiobits=1\r\n"
                      "audiosamplerate=5\r\ncurrentoutdevicename=pipewire\r\n");
        }
        TSinkRecording sink(server, QStringLiteral("orvalen-bench"),
                            dir.filePath(QStringLiteral("sink.wav")));
        QProcessEnvironment environment = server.Environment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setStandardOutputFile(QProcess::nullDevice());
        program.setStandardErrorFile(dir.filePath(QStringLiteral("stderr.txt")));
        program.start(QStringLiteral(ORVALEN_BINARY_DIR "/orvalen"),
                      {"--simulate", "--config-dir", dir.path()});
        // Powered on as a media key would, on the session's own bus.
        const bool playing =
            program.waitForStarted() && sink.WaitStarted() &&
            PollFor(
                [&] {
                    server.Run(QStringLiteral("playerctl"), {"-p", "orvalen", "play"}, 5000);
                    return server
                               .Run(QStringLiteral("playerctl"), {"-p", "orvalen", "status"}, 5000)
                               .trimmed() == QLatin1String("Playing");
                },
                30000);
        const double first = playing ? sink.WaitForSound(0, 15000) : -1;
        if (first < 0) {
            state.SkipWithError("the program's sound did not reach the sink");
            return;
        }
        // The stream settles (prefill, the server's first adjustments), then is measured.
        sink.WaitForSeconds(first + 1, 10000);
        const qint64 pid = program.processId();
        const std::filesystem::path stat = "/proc/" + std::to_string(pid) + "/stat";
        const double before = StatTicks(stat);
        const std::map<std::string, double> threadsBefore = ThreadTicks(pid);
        const double from = sink.Seconds();
        QElapsedTimer wall;
        wall.start();
        PollFor([&] { return wall.elapsed() >= seconds * 1000; }, seconds * 1000 + 1000);
        const double ticks = StatTicks(stat) - before;
        const double elapsed = double(wall.elapsed()) / 1000.0;
        const double hz = double(sysconf(_SC_CLK_TCK));
        std::vector<std::pair<double, std::string>> threads; // percent of a core, name
        for (const auto& [tid, after] : ThreadTicks(pid)) {
            const auto found = threadsBefore.find(tid);
            const double used = after - (found == threadsBefore.end() ? 0 : found->second);
            threads.emplace_back(100.0 * used / hz / elapsed,
                                 ThreadName("/proc/" + std::to_string(pid) + "/task/" + tid));
        }
        std::sort(threads.begin(), threads.end(), std::greater<>());
        const double to = sink.Seconds();
        const TWav wav = sink.Read();
        kill(pid_t(pid), SIGTERM);
        program.waitForFinished(30000);

        double device = 0;
        for (const auto& [percent, name] : threads)
            device += name.rfind("Virtual", 0) == 0 ? percent : 0;
        state.counters["cpu_percent_of_a_core"] = 100.0 * ticks / hz / elapsed;
        // Without the virtual line-in's thread, which stands in for a sound card and its driver.
        state.counters["cpu_percent_without_devices"] = 100.0 * ticks / hz / elapsed - device;
        state.counters["sink_rms"] = SoundCheck::Rms(wav, from, to);
        state.counters["longest_silence_ms"] =
            1000.0 * SoundCheck::LongestSilence(wav, from, to).Length;
        // Where the time goes: the busiest threads, in percent of one core.
        std::ostringstream label;
        label.precision(2);
        label << std::fixed << "busiest threads:";
        for (std::size_t i = 0; i < std::min<std::size_t>(threads.size(), 4); ++i)
            label << ' ' << threads[i].second << ' ' << threads[i].first;
        state.SetLabel(label.str());
    }
}

// The sound path itself on the server, in this process: the virtual line-in captured, carried
// and played on ALSA's `pipewire` PCM. Figures: the whole process, and the sound path's own
// threads (this thread serving the components, the capture, filter and output threads and the
// ALSA output driver) without the virtual line-in (a sound card's stand-in) and without the
// PipeWire client's threads that the plugin starts in the process (the server's work).
void PipeWireChain(benchmark::State& state) {
    const int seconds = int(state.range(0));
    for (auto _ : state) {
        TPipeWireSession server;
        if (!server.Running() || !server.CreateSink(QStringLiteral("orvalen-bench"))) {
            state.SkipWithError(("no sound server: " + server.Error()).toStdString().c_str());
            return;
        }
        const QProcessEnvironment environment = server.Environment();
        for (const QString& name : environment.keys())
            qputenv(name.toLocal8Bit().constData(), environment.value(name).toLocal8Bit());
        TSinkRecording sink(server, QStringLiteral("orvalen-bench"),
                            QDir::temp().filePath(QStringLiteral("orvalen-bench-sink.wav")));
        auto tuner = std::make_shared<TVirtualTuner>(TSimChip::RDA5807M);
        tuner->HandleOutput(TunerProtocol::OutputReport(TunerProtocol::CommandFlag('P', true), 65));
        TStreamAudioChain chain(
            std::make_unique<TSimWaveSystem>(tuner, "", CreateAlsaWaveSystem()));
        chain.OutDeviceNames();
        chain.SetOutDeviceName(QStringLiteral("pipewire"));
        chain.SetCaptureFormat(16, 44100);
        chain.SetAmplifierCoefficient(1.0);
        chain.SetInEnabled(true);
        chain.SetOutEnabled(true);
        if (!sink.WaitStarted() || sink.WaitForSound(0, 15000) < 0) {
            chain.SetInEnabled(false);
            chain.SetOutEnabled(false);
            state.SkipWithError("the sound did not reach the sink");
            return;
        }
        QEventLoop settle;
        QTimer::singleShot(1000, &settle, &QEventLoop::quit);
        settle.exec();

        const pid_t self = getpid();
        const std::map<std::string, double> before = ThreadTicks(self);
        const double cpuBefore = ProcessCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const std::map<std::string, double> after = ThreadTicks(self);
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const double elapsed = double(wall.elapsed()) / 1000.0;
        chain.SetInEnabled(false);
        chain.SetOutEnabled(false);

        // The sound path's threads carry the program's own names; this one is the GUI's.
        static const char* const own[] = {"TAudioIn.", "AudioOut1.", "GraphicEqualize",
                                          "WaveOut.Alsa", "WaveIn.Alsa"};
        double path = 0;
        for (const auto& [tid, ticks] : after) {
            const std::string name = ThreadName("/proc/self/task/" + tid);
            const bool ours = tid == std::to_string(self) ||
                              std::any_of(std::begin(own), std::end(own), [&](const char* prefix) {
                                  return name.rfind(prefix, 0) == 0;
                              });
            const auto found = before.find(tid);
            if (ours)
                path += ticks - (found == before.end() ? 0 : found->second);
        }
        const double hz = double(sysconf(_SC_CLK_TCK));
        state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / elapsed;
        state.counters["cpu_percent_sound_path"] = 100.0 * path / hz / elapsed;
        state.counters["underruns"] = double(chain.Counters().Underruns);
    }
}

} // namespace

BENCHMARK(SimulatedChain)
    ->ArgNames({"seconds", "loaded"})
    ->Args({60, 0})
    ->Args({60, 1})
    ->Args({10, 0})
    ->Args({10, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

BENCHMARK(PipeWireChain)
    ->ArgNames({"seconds"})
    ->Arg(10)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

BENCHMARK(PipeWireProgram)
    ->ArgNames({"seconds"})
    ->Arg(10)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
