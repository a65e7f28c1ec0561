// The whole sound path on the simulated devices, in real time: the virtual line-in plays the
// test station at 48 kHz stereo, 16 bits; capture → amplifier (1.0) → equalizer's place
// (passing through) → output on the virtual line-out. Figures: CPU time of the process per
// second of sound (goal: under 1 % of one core), buffers captured, dropped and underruns
// (goal: none dropped or repeated), alone and while other processes keep every core busy.
//
//   bench_chain                               60 s of sound, then 60 s under load
//   bench_chain --benchmark_filter=/10/       10 s each, for a quick look
#include "app/StreamAudioChain.h"
#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "sim/SimWaveSystem.h"
#include "tuner/TunerProtocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <benchmark/benchmark.h>
#include <csignal>
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
        while (wall.elapsed() < seconds * 1000LL)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        chain.SetInEnabled(false);
        chain.SetOutEnabled(false);
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const double sound = double(wall.elapsed()) / 1000.0;

        const TAudioCounters counters = chain.Counters();
        state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / sound;
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
