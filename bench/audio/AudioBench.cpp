// Stream throughput and pool costs. The counter "sample_heap_allocs" counts blocks the pool had
// to take from the system heap during the timed loop: 0 means a warm stream reuses its memory.

#include "audio/AudioBuffer.h"
#include "audio/SmartBufferManager.h"
#include "equalizer/Amplifier.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstring>
#include <thread>

namespace {
constexpr std::uint32_t Frames = 1024;

class TBenchSource : public TAudioComponent {
public:
    TAudioSourcePin Output{this};
    ~TBenchSource() override { Output.DisconnectAll(); }
};

class TBenchSink : public TAudioComponent {
public:
    TAudioSinkPin Input{this};
    std::atomic<std::int64_t> Buffers{0};
    TBenchSink() {
        Input.OnOperation = [this](const TOperationPtr& operation) {
            if (operation->Is<TSuppliedBufferOperation>())
                Buffers.fetch_add(1, std::memory_order_relaxed);
            return false;
        };
    }
    ~TBenchSink() override { Input.SetSourcePin(nullptr); }
};

// Capture-side delivery -> amplifier -> filter -> sink, as on the main window (the meter
// left out). The capture makes a fresh buffer per cycle, as its device does.
void RunStream(benchmark::State& state, double coefficient, bool threaded) {
    TBenchSource capture;
    TAmplifier amplifier;
    TCommonFilter filter;
    TBenchSink output;
    capture.Output.Connect(amplifier.InputPin());
    amplifier.OutputPin().Connect(filter.InputPin());
    filter.OutputPin().Connect(output.Input);
    amplifier.SetCoefficient(coefficient);
    filter.Threading().SetEnabled(threaded);
    capture.Output.Notify(std::make_shared<TStartWaveOperation>(MakeWaveFormat(2, 16, 44100, 3)));

    auto cycle = [&] {
        TAudioBuffer buffer = TAudioBuffer::Create(44100, 3, Frames, 2, 16);
        std::memset(buffer.OverwriteData(), 0x11, buffer.DataSize());
        capture.Output.SendBuffer(buffer);
    };
    // Warm the pool: enough cycles for the queue to have filled up at least once.
    for (int i = 0; i < 512; ++i)
        cycle();
    while (output.Buffers.load() < 512)
        std::this_thread::yield();

    TSmartBufferManager& pool = TSmartBufferManager::Instance();
    const std::uint64_t before = pool.SystemAllocations();
    const std::int64_t start = output.Buffers.load();
    std::int64_t sent = 0;
    for (auto _ : state) {
        cycle();
        ++sent;
    }
    while (output.Buffers.load() < start + sent) // the worker finishes what was queued
        std::this_thread::yield();
    state.counters["sample_heap_allocs"] = double(pool.SystemAllocations() - before);
    state.counters["buffers_per_s"] = benchmark::Counter(double(sent), benchmark::Counter::kIsRate);
    capture.Output.SendEndStop();
}

void BM_FrameworkOverhead(benchmark::State& state) {
    RunStream(state, 1.0, false);
}
void BM_StreamScaledSynchronous(benchmark::State& state) {
    RunStream(state, 0.5, false);
}
void BM_StreamScaledThreaded(benchmark::State& state) {
    RunStream(state, 0.5, true);
}

void BM_PoolAllocateRelease(benchmark::State& state) {
    TSmartBufferManager& pool = TSmartBufferManager::Instance();
    const auto size = std::size_t(state.range(0));
    pool.Release(pool.Allocate(size), size);
    const std::uint64_t before = pool.SystemAllocations();
    for (auto _ : state) {
        void* block = pool.Allocate(size);
        benchmark::DoNotOptimize(block);
        pool.Release(block, size);
    }
    state.counters["sample_heap_allocs"] = double(pool.SystemAllocations() - before);
}

void BM_PoolColdAllocate(benchmark::State& state) {
    TSmartBufferManager& pool = TSmartBufferManager::Instance();
    const auto size = std::size_t(state.range(0));
    for (auto _ : state) {
        void* block = pool.Allocate(size);
        benchmark::DoNotOptimize(block);
        state.PauseTiming();
        pool.Release(block, size);
        pool.Clear();
        state.ResumeTiming();
    }
}

void BM_BufferCreateAndShare(benchmark::State& state) {
    for (auto _ : state) {
        TAudioBuffer buffer = TAudioBuffer::Create(44100, 3, Frames, 2, 16);
        TAudioBuffer shared = buffer.CreateShared();
        benchmark::DoNotOptimize(shared.OverwriteData());
    }
}
} // namespace

BENCHMARK(BM_FrameworkOverhead);
BENCHMARK(BM_StreamScaledSynchronous);
BENCHMARK(BM_StreamScaledThreaded)->UseRealTime();
BENCHMARK(BM_PoolAllocateRelease)->Arg(8192)->Arg(1 << 20);
BENCHMARK(BM_PoolColdAllocate)->Arg(8192);
BENCHMARK(BM_BufferCreateAndShare);

BENCHMARK_MAIN();
