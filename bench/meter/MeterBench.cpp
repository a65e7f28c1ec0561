// The level meter's cost per 100 ms window of stereo 16-bit sound at 44100 Hz (4410 frames),
// on one core:
//   MeterWindow        the measure alone: conversion, DC blocker, square and sum, both channels
//   MeterCaptureStream the whole input path as the capture drives it, 1024-frame buffers:
//                      operation, pin delivery, queueing, measuring and the hand-over (run here
//                      on the GUI thread, so the delivery to the value pins is included)
// Counters: us_per_window (CPU time of the loop per window) and x_realtime (seconds of sound
// measured per second of CPU).
#include "equalizer/VUMeter.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <ctime>
#include <numbers>
#include <vector>

namespace {

constexpr std::uint32_t Rate = 44100;
constexpr std::uint32_t Window = Rate / 10;

// Two channels of a sine with some noise, in 16-bit samples.
TAudioBuffer MakeSound(std::uint64_t first, std::uint32_t frames) {
    TAudioBuffer buffer = TAudioBuffer::Create(Rate, 0, frames, 2, 16);
    std::uint8_t* out = buffer.OverwriteData();
    std::uint32_t seed = std::uint32_t(first) * 2654435761u + 1;
    for (std::uint32_t i = 0; i < frames * 2; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double t = double(first + i / 2) / Rate;
        const double value = 12000 * std::sin(2 * std::numbers::pi * 440 * t) +
                             double(std::int32_t(seed >> 20) - 2048);
        const std::int16_t sample = std::int16_t(std::lround(value));
        std::memcpy(out + std::size_t(i) * 2, &sample, 2);
    }
    return buffer;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Plain figures from the loop's own CPU time, so that they print as numbers, not rates.
void SetCounters(benchmark::State& state, double windows, double cpuSeconds) {
    state.counters["us_per_window"] = cpuSeconds / windows * 1e6;
    state.counters["x_realtime"] = windows * 0.1 / cpuSeconds;
}

void MeterWindow(benchmark::State& state) {
    const TAudioBuffer sound = MakeSound(0, Window);
    const auto taps = DcBlockerTaps(Rate);
    SignalPrimitives::TIirState* filters[2] = {SignalPrimitives::IirInitAlloc(taps.data()),
                                               SignalPrimitives::IirInitAlloc(taps.data())};
    std::vector<float> block(Window);
    double level = 0;
    const double started = ThreadCpuSeconds();
    for (auto _ : state) {
        for (int channel = 0; channel < 2; ++channel) {
            ConvertMeterSamples(sound.RawData() + channel * 2, 4, 16, block.data(), int(Window));
            level += WindowRms(block.data(), int(Window), *filters[channel]);
        }
        benchmark::DoNotOptimize(level);
    }
    for (auto* filter : filters)
        SignalPrimitives::IirFree(filter);
    SetCounters(state, double(state.iterations()), ThreadCpuSeconds() - started);
}
BENCHMARK(MeterWindow);

class TBenchSource : public TAudioComponent {
public:
    TAudioSourcePin Output{this};
    ~TBenchSource() override { Output.DisconnectAll(); }
};

void MeterCaptureStream(benchmark::State& state) {
    constexpr std::uint32_t frames = 1024;
    // Enough different buffers to cycle through without making sound in the loop.
    std::vector<TAudioBuffer> buffers;
    for (std::uint64_t i = 0; i < 64; ++i)
        buffers.push_back(MakeSound(i * frames, frames));
    TBenchSource source;
    TVUMeter meter;
    std::uint64_t changes = 0;
    meter.OnValueChange = [&](TAudioComponent*, int, double, double, double) { ++changes; };
    source.Output.Connect(meter.InputPin());
    source.Output.Notify(std::make_shared<TStartWaveOperation>(MakeWaveFormat(2, 16, Rate, 0)));
    std::size_t next = 0;
    const double started = ThreadCpuSeconds();
    for (auto _ : state) {
        source.Output.SendBuffer(buffers[next]);
        next = (next + 1) % buffers.size();
    }
    const double windows = double(state.iterations()) * frames / Window;
    SetCounters(state, windows, ThreadCpuSeconds() - started);
    state.counters["value_changes"] = double(changes);
}
BENCHMARK(MeterCaptureStream);

} // namespace
