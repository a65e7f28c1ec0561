// The whole sound path on the simulated devices, in real time: the virtual line-in plays the
// test station at 48 kHz stereo, 16 bits; capture → amplifier (1.0) → equalizer's place
// (passing through) → output on the virtual line-out. Figures: CPU time of the process per
// second of sound (goal: under 1 % of one core), buffers captured, dropped and underruns
// (goal: none dropped or repeated), alone and while other processes keep every core busy.
//
//   bench_chain                               60 s of sound, then 60 s under load
//   bench_chain --benchmark_filter=seconds:10  10 s each, for a quick look
#include "app/StreamAudioChain.h"
#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "sim/SimWaveSystem.h"
#include "tuner/TunerProtocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <benchmark/benchmark.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// CPU seconds of this process's threads whose name starts with prefix (user + system).
double ThreadCpuSeconds(const std::string& prefix) {
    double ticks = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind(prefix, 0) != 0)
            continue;
        std::ifstream stat(task.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // Fields after the name in parentheses: state is field 3, utime 14, stime 15.
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::vector<std::string> values{std::istream_iterator<std::string>(fields), {}};
        if (values.size() > 12)
            ticks += std::stod(values[11]) + std::stod(values[12]);
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
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
