#include "StationSound.h"

#include "BandPlan.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kTestStation = 880;

// Uniform noise of amplitude a has an RMS of a / sqrt(3).
const double kNoiseAmplitude = StationNoiseRms * std::sqrt(3.0);

} // namespace

TStationChord StationChord(int tuneValue) {
    // A major triad on a root between 200 and 596 Hz; the root is a multiple of 4 so that the
    // third (5/4) and the fifth (3/2) are whole hertz too.
    const std::uint32_t root = 4 * (50 + std::uint32_t(tuneValue) % 100);
    return {root, root * 5 / 4, root * 3 / 2};
}

void WriteSample(const TWaveFormat& format, double value, std::uint8_t* to) {
    const unsigned bytes = format.ContainerBits / 8;
    const double fullScale = double((1ull << (format.ContainerBits - 1)) - 1);
    std::int64_t sample = std::llround(std::clamp(value, -1.0, 1.0) * fullScale);
    if (bytes == 1)
        sample += 128;
    if (format.ValidBits > 0 && format.ValidBits < format.ContainerBits)
        sample &= ~((std::int64_t(1) << (format.ContainerBits - format.ValidBits)) - 1);
    const auto bits = std::uint64_t(sample);
    for (unsigned i = 0; i < bytes; ++i)
        to[i] = std::uint8_t(bits >> (8 * i));
}

double TStationSound::NextNoise() {
    // xorshift64*: fast, and its successive outputs are uncorrelated, so the channels are too.
    FNoise ^= FNoise >> 12;
    FNoise ^= FNoise << 25;
    FNoise ^= FNoise >> 27;
    const std::uint64_t bits = FNoise * 0x2545F4914F6CDD1Dull;
    const double unit = double(bits >> 11) * 0x1.0p-53; // [0, 1)
    return (2 * unit - 1) * kNoiseAmplitude;
}

void TStationSound::Fill(const TVirtualTunerSound& tuner, std::uint8_t* data, std::size_t frames) {
    const unsigned sampleBytes = FFormat.ContainerBits / 8;
    const TSimStation* station = tuner.Power && !tuner.Muted ? tuner.Station : nullptr;
    const bool noise = station && station->TuneValue == kTestStation;
    const TStationChord chord = StationChord(station ? station->TuneValue : 0);
    const double toneAmplitude = StationChordPeak / double(chord.size());
    const std::uint64_t rate = std::max<std::uint32_t>(FFormat.SampleRate, 1);

    for (std::size_t frame = 0; frame < frames; ++frame, ++FFrame) {
        std::uint8_t* out = data + frame * FFormat.BlockAlign;
        double chordValue = 0;
        if (station && !noise) {
            // The phase in cycles is (f × n mod rate) / rate, exact at any stream position.
            const std::uint64_t inSecond = FFrame % rate;
            for (std::uint32_t tone : chord)
                chordValue +=
                    toneAmplitude *
                    std::sin(2 * std::numbers::pi * double(tone * inSecond % rate) / double(rate));
        }
        for (unsigned channel = 0; channel < FFormat.Channels; ++channel)
            WriteSample(FFormat, noise ? NextNoise() : chordValue, out + channel * sampleBytes);
    }
}
