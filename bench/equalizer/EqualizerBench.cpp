// The equalizer's cost on the main window's stream (44100 Hz stereo, 16 bits, 1024-frame
// buffers, the equalizer window's ten bands with the "Voice" gains), as a multiple of real time
// on one core (counter x_realtime; goal: at least 1000), beside:
// - the same filter computed one FirOne call per sample (the plain definition), and
// - sox's ten-band equalizer chain over the same 60 s of sound (a subprocess on a WAV file,
//   wall clock), when sox is installed (bench/equalizer/setup installs it).
// Figures only, never assertions. Build in Release:
//   cmake -B build-bench -DCMAKE_BUILD_TYPE=Release -DORVALEN_BENCH=ON && bench_equalizer
#include "equalizer/GraphicEqualizer.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t Rate = 44100;
constexpr unsigned Channels = 2;
constexpr std::uint32_t Frames = 1024;
constexpr int Seconds = 60;
const double Frequencies[10] = {80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000};
const double Voice[10] = {1.48, 1.36, 1.24, 0.94, 1.0, 1.0, 1.0, 1.24, 1.36, 1.48};

// 60 s of stereo noise at about -12 dB full scale, the same for every measurement.
const std::vector<std::int16_t>& Sound() {
    static const std::vector<std::int16_t> samples = [] {
        std::vector<std::int16_t> s(std::size_t(Rate) * Seconds * Channels);
        std::mt19937 random(1);
        std::uniform_int_distribution<int> value(-8000, 8000);
        for (std::int16_t& sample : s)
            sample = std::int16_t(value(random));
        return s;
    }();
    return samples;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Results kept for the summary line printed after the sox run.
double OursRealtime = 0.0;
double PerSampleRealtime = 0.0;

// Exposes the hooks the base calls, so that one buffer can be processed without the pins.
class TBenchEqualizer : public TGraphicEqualizer {
public:
    TBenchEqualizer() {
        for (int i = 0; i < 10; ++i) {
            TGraphicEqualizerChannelItem& band = Channels().Add();
            band.SetFrequency(Frequencies[i]);
            band.SetCoefficient(Voice[i]);
        }
        SetWindowType(TWindowType::wtBartlett);
        StartWave(*std::make_shared<TStartWaveOperation>(MakeWaveFormat(::Channels, 16, Rate, 0)));
    }
    using TGraphicEqualizer::ProcessBuffer;
};

// The next 1024-frame buffer of the 60 s, wrapping around.
void FillNext(TAudioBuffer& buffer, std::size_t& offset) {
    const std::vector<std::int16_t>& sound = Sound();
    const std::size_t count = std::size_t(Frames) * Channels;
    if (offset + count > sound.size())
        offset = 0;
    std::memcpy(buffer.WritableData(), sound.data() + offset, count * sizeof(std::int16_t));
    offset += count;
}

void ReportRealtime(benchmark::State& state, double cpuSeconds, double& keep) {
    const double soundSeconds = double(state.iterations()) * Frames / Rate;
    keep = cpuSeconds > 0 ? soundSeconds / cpuSeconds : 0.0;
    state.counters["x_realtime"] = keep;
}

void BM_EqualizerProcessBuffer(benchmark::State& state) {
    TBenchEqualizer eq;
    TAudioBuffer captured = TAudioBuffer::Create(Rate, 0, Frames, Channels, 16);
    std::size_t offset = 0;
    bool send = true;
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        FillNext(captured, offset);
        // As in the stream: the buffer is shared with its sender, so filtering copies it.
        TAudioBuffer input = captured.CreateShared();
        TAudioBuffer output = input.CreateShared();
        state.ResumeTiming();
        const double start = ThreadCpuSeconds();
        eq.ProcessBuffer(input, output, send);
        cpu += ThreadCpuSeconds() - start;
        benchmark::DoNotOptimize(output.RawData());
    }
    ReportRealtime(state, cpu, OursRealtime);
}
BENCHMARK(BM_EqualizerProcessBuffer)->Unit(benchmark::kMicrosecond);

// The definition itself: one FirOne call per sample and channel, on the component's taps.
void BM_PerSampleFirOne(benchmark::State& state) {
    TBenchEqualizer eq;
    const std::vector<double> taps = eq.Taps();
    std::vector<SignalPrimitives::TFirState*> states;
    for (unsigned c = 0; c < Channels; ++c)
        states.push_back(SignalPrimitives::FirInitAlloc(taps.data(), int(taps.size()), nullptr));
    std::vector<std::int16_t> buffer(std::size_t(Frames) * Channels);
    std::size_t offset = 0;
    double cpu = 0.0;
    for (auto _ : state) {
        const std::vector<std::int16_t>& sound = Sound();
        if (offset + buffer.size() > sound.size())
            offset = 0;
        std::memcpy(buffer.data(), sound.data() + offset, buffer.size() * sizeof(std::int16_t));
        offset += buffer.size();
        const double start = ThreadCpuSeconds();
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            double y = 0.0;
            SignalPrimitives::FirOne(double(buffer[i]), y, *states[i % Channels]);
            buffer[i] = std::int16_t(std::nearbyint(std::fmin(std::fmax(y, -32767.0), 32767.0)));
        }
        cpu += ThreadCpuSeconds() - start;
        benchmark::DoNotOptimize(buffer.data());
    }
    for (SignalPrimitives::TFirState* s : states)
        SignalPrimitives::FirFree(s);
    ReportRealtime(state, cpu, PerSampleRealtime);
}
BENCHMARK(BM_PerSampleFirOne)->Unit(benchmark::kMicrosecond);

void WriteWave(const std::filesystem::path& path) {
    const std::vector<std::int16_t>& sound = Sound();
    const std::uint32_t dataBytes = std::uint32_t(sound.size() * sizeof(std::int16_t));
    std::ofstream out(path, std::ios::binary);
    const auto put32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto put16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    put32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1); // PCM
    put16(Channels);
    put32(Rate);
    put32(Rate * Channels * 2);
    put16(Channels * 2);
    put16(16);
    out.write("data", 4);
    put32(dataBytes);
    out.write(reinterpret_cast<const char*>(sound.data()), dataBytes);
}

void BM_SoxTenBandEqualizer(benchmark::State& state) {
    if (std::system("sox --version >/dev/null 2>&1") != 0) {
        std::printf("sox is not installed (bench/equalizer/setup installs it): only the "
                    "equalizer itself was measured.\n");
        state.SkipWithError("sox not installed");
        return;
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("orvalen-eqbench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path input = folder / "in.wav";
    const std::filesystem::path output = folder / "out.wav";
    WriteWave(input);
    // The same ten bands, gains in dB, one octave wide each.
    std::string command = "sox -q '" + input.string() + "' '" + output.string() + "'";
    for (int i = 0; i < 10; ++i) {
        char band[96];
        std::snprintf(band, sizeof band, " equalizer %g 1o %.2f", Frequencies[i],
                      20.0 * std::log10(Voice[i]));
        command += band;
    }
    double wall = 0.0;
    bool failed = false;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        failed = std::system(command.c_str()) != 0;
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(wall);
    }
    std::filesystem::remove_all(folder);
    if (failed) {
        state.SkipWithError("sox failed");
        return;
    }
    const double soxRealtime = Seconds / wall;
    state.counters["x_realtime"] = soxRealtime;
    std::printf("\n60 s of 44100 Hz stereo 16-bit sound, ten bands:\n");
    std::printf("  equalizer ProcessBuffer (1024 frames): %10.0f x real time (one core, CPU)\n",
                OursRealtime);
    std::printf("  per-sample FirOne loop:                %10.0f x real time\n", PerSampleRealtime);
    std::printf("  sox equalizer chain (file to file):    %10.0f x real time (wall clock)\n",
                soxRealtime);
    if (OursRealtime > 0 && soxRealtime > 0)
        std::printf("  ratio equalizer / sox:                 %10.2f\n\n",
                    OursRealtime / soxRealtime);
}
BENCHMARK(BM_SoxTenBandEqualizer)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
