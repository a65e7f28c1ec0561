#include "equalizer/Amplifier.h"

#include "audio/SampleBytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
template <typename T> T RoundClamped(double value, double low, double high) {
    return T(RoundToEven(std::clamp(value, low, high)));
}

template <typename T>
void ScaleWords(const std::uint8_t* source, std::uint8_t* target, std::size_t samples, double x,
                double low, double high) {
    for (std::size_t i = 0; i < samples; ++i) {
        T value;
        std::memcpy(&value, source + i * sizeof(T), sizeof(T));
        value = RoundClamped<T>(x * double(value), low, high);
        std::memcpy(target + i * sizeof(T), &value, sizeof(T));
    }
}
} // namespace

void ScaleSamples(const std::uint8_t* source, std::uint8_t* target, std::size_t samples,
                  unsigned containerBits, double x) {
    // An infinite gain saturates (and silence stays silence); never NaN into a conversion.
    if (!std::isfinite(x))
        x = x > 0 ? 1e300 : 0.0;
    switch (containerBits) {
    case 8:
        for (std::size_t i = 0; i < samples; ++i)
            target[i] = std::uint8_t(
                128 + RoundClamped<int>(x * (double(source[i]) - 128.0), -128.0, 127.0));
        break;
    case 16:
        ScaleWords<std::int16_t>(source, target, samples, x, -32768.0, 32767.0);
        break;
    case 24:
        for (std::size_t i = 0; i < samples; ++i) {
            const double value = double(LoadInt24(source + i * 3));
            StoreInt24(target + i * 3,
                       RoundClamped<std::int32_t>(x * value, -8388608.0, 8388607.0));
        }
        break;
    case 32:
        ScaleWords<std::int32_t>(source, target, samples, x, -2147483648.0, 2147483647.0);
        break;
    default:
        break;
    }
}

TAmplifier::~TAmplifier() {
    Shutdown();
}

void TAmplifier::SetCoefficient(double value) {
    const double stored = std::max(0.0, value); // also turns NaN into 0.0
    TWriteLockSection section(*ProcessingLock());
    if (section && FCoefficient.load() != stored)
        FCoefficient.store(stored);
}

void TAmplifier::ProcessBuffer(TAudioBuffer& input, TAudioBuffer& output, bool&) {
    output.Assign(input);
    TWriteLockSection section(*ProcessingLock());
    if (!section)
        return;
    const double x = FCoefficient.load();
    if (x == 1.0)
        return;
    const std::size_t samples = std::size_t(output.FrameCount()) * output.Channels();
    const unsigned bits = output.ContainerBits();
    if (output.ShareCount() == 1) {
        std::uint8_t* data = output.WritableData();
        ScaleSamples(data, data, samples, bits, x);
    } else {
        std::uint8_t* data = output.OverwriteData();
        ScaleSamples(input.RawData(), data, samples, bits, x);
    }
}
