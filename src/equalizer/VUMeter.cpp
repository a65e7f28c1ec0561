#include "equalizer/VUMeter.h"

#include "audio/SampleBytes.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>

std::uint32_t MeterWindowFrames(std::uint32_t periodMs, std::uint32_t sampleRate) {
    // In 64 bits: a long period at a high rate must not wrap round to a short window.
    const std::uint64_t frames = std::uint64_t(periodMs) * sampleRate / 1000;
    return std::uint32_t(std::clamp<std::uint64_t>(frames, 1, INT_MAX));
}

float DcBlockerPole(std::uint32_t sampleRate) {
    const long double rate = sampleRate;
    return float(1.0L - 40.0L * std::numbers::pi_v<long double> / rate);
}

std::array<float, 6> DcBlockerTaps(std::uint32_t sampleRate) {
    return {0.0f, -1.0f, 1.0f, -1.0f, DcBlockerPole(sampleRate), 0.0f};
}

void ConvertMeterSamples(const std::uint8_t* source, int step, unsigned containerBits,
                         float* target, int n) {
    const std::size_t stride = std::size_t(step);
    switch (containerBits) {
    case 8:
        SignalPrimitives::ConvertU8ToFloat(source, step, target, n);
        break;
    case 16:
        SignalPrimitives::ConvertS16ToFloat(source, step, target, n);
        break;
    case 24:
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* in = source + std::size_t(i) * stride;
            target[i] = float(LoadInt24(in));
        }
        break;
    case 32:
        for (int i = 0; i < n; ++i) {
            std::int32_t value;
            std::memcpy(&value, source + std::size_t(i) * stride, sizeof value);
            target[i] = float(value);
        }
        break;
    default:
        break;
    }
}

double WindowRms(float* block, int n, SignalPrimitives::TIirState& filter) {
    SignalPrimitives::IirInPlace(block, n, filter);
    SignalPrimitives::SqrInPlace(block, n);
    const float sum = SignalPrimitives::SumFloats(block, n);
    return std::sqrt(double(sum) / double(n));
}

// ---- TMeterBufferQueue ----

void TMeterBufferQueue::Clear() {
    FBuffers.clear();
    FTotal = 0;
    FReadPosition = 0;
}

void TMeterBufferQueue::Append(TAudioBuffer buffer) {
    const std::uint32_t frames = buffer.FrameCount();
    if (frames == 0)
        return;
    FBuffers.push_back(std::move(buffer));
    FTotal += frames;
}

// ---- TVUMeter ----

namespace {
bool Measurable(const TWaveFormatExtensible& format) {
    const unsigned bits = format.wBitsPerSample;
    return format.nChannels > 0 && format.nSamplesPerSec > 0 &&
           (bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
           format.nBlockAlign == format.nChannels * bits / 8;
}
} // namespace

TVUMeter::~TVUMeter() {
    Shutdown();
}

void TVUMeter::StartMeasure(const TWaveFormatExtensible& format) {
    FQueue.Clear();
    FReady = Measurable(format);
    if (!FReady) {
        FBlocks.clear();
        FFilters.clear();
        return;
    }
    FWindow = MeterWindowFrames(Period(), format.nSamplesPerSec);
    AllocateBlocks();
    const std::array<float, 6> taps = DcBlockerTaps(format.nSamplesPerSec);
    FFilters.clear();
    for (unsigned channel = 0; channel < format.nChannels; ++channel)
        FFilters.emplace_back(SignalPrimitives::IirInitAlloc(taps.data()));
}

void TVUMeter::PeriodChanged() {
    if (!FReady)
        return;
    FWindow = MeterWindowFrames(Period(), Format().nSamplesPerSec);
    AllocateBlocks();
}

void TVUMeter::AllocateBlocks() {
    std::vector<std::vector<float>> blocks(Format().nChannels, std::vector<float>(FWindow));
    FBlocks.swap(blocks);
}

bool TVUMeter::MeasureBuffer(const TAudioBuffer& buffer, std::vector<double>& values) {
    const TWaveFormatExtensible& format = Format();
    // A buffer that does not match the started stream would be read past its end.
    if (!FReady || buffer.Empty() || buffer.Channels() != format.nChannels ||
        buffer.ContainerBits() != format.wBitsPerSample ||
        buffer.BlockAlign() != format.nBlockAlign)
        return false;
    FQueue.Append(buffer.CreateShared());
    const std::uint32_t channels = std::uint32_t(MeteredChannels());
    bool measured = false;
    while (FQueue.HoldsMoreThan(FWindow)) {
        Fill(channels, format.wBitsPerSample / 8);
        values.resize(channels);
        for (std::uint32_t channel = 0; channel < channels; ++channel)
            values[channel] = WindowRms(FBlocks[channel].data(), int(FWindow), *FFilters[channel]);
        measured = true;
    }
    return measured;
}

void TVUMeter::Fill(std::uint32_t channels, std::uint32_t bytesPerSample) {
    const int step = Format().nBlockAlign;
    const unsigned bits = Format().wBitsPerSample;
    FQueue.Take(FWindow,
                [&](const std::uint8_t* frames, std::uint32_t count, std::uint32_t offset) {
                    for (std::uint32_t channel = 0; channel < channels; ++channel)
                        ConvertMeterSamples(frames + channel * bytesPerSample, step, bits,
                                            FBlocks[channel].data() + offset, int(count));
                });
}
