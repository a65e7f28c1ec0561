#include "sim/StationSound.h"

#include "SimSoundTestSupport.h"
#include "sim/BandPlan.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

const TSimStation* TestStation() {
    return SimStationAt(880);
}

const TSimStation* ChordStation() {
    return SimStationAt(1017);
}

std::vector<std::uint8_t> Generate(const TWaveFormat& format, const TVirtualTunerSound& tuner,
                                   std::size_t frames) {
    std::vector<std::uint8_t> data(frames * format.BlockAlign, 0xA5);
    TStationSound sound(format);
    sound.Fill(tuner, data.data(), frames);
    return data;
}

struct TFormatCase {
    const char* Name;
    unsigned Channels;
    unsigned Bits;
};

const TFormatCase kFormats[] = {
    {"U8 stereo", 2, 8},   {"S16 stereo", 2, 16},       {"S24 3-byte stereo", 2, 24},
    {"S32 stereo", 2, 32}, {"S16 six channels", 6, 16},
};

} // namespace

TEST(StationSound, TestStationIsIndependentNoiseOfRmsOneTenthOnEveryChannel) {
    for (const TFormatCase& c : kFormats) {
        SCOPED_TRACE(c.Name);
        const TWaveFormat format = MakeFormat(c.Channels, 48000, c.Bits);
        const std::size_t frames = 48000;
        const auto data = Generate(format, {true, false, TestStation()}, frames);
        std::vector<double> sum(c.Channels), squares(c.Channels);
        double cross = 0;
        for (std::size_t f = 0; f < frames; ++f) {
            for (unsigned ch = 0; ch < c.Channels; ++ch) {
                const double v = SampleAt(format, data.data(), f, ch);
                sum[ch] += v;
                squares[ch] += v * v;
            }
            cross += SampleAt(format, data.data(), f, 0) * SampleAt(format, data.data(), f, 1);
        }
        for (unsigned ch = 0; ch < c.Channels; ++ch) {
            EXPECT_NEAR(std::sqrt(squares[ch] / frames), 0.1, 0.01) << "channel " << ch;
            EXPECT_NEAR(sum[ch] / frames, 0.0, 0.005) << "channel " << ch; // U8: around 128
        }
        EXPECT_NEAR(cross / std::sqrt(squares[0] * squares[1]), 0.0, 0.03);
    }
}

TEST(StationSound, SilenceIsExactWhenOffMutedOrBetweenStations) {
    const struct {
        const char* Name;
        TVirtualTunerSound Tuner;
    } situations[] = {
        {"powered off", {false, false, TestStation()}},
        {"muted", {true, true, ChordStation()}},
        {"between stations", {true, false, nullptr}},
    };
    for (const TFormatCase& c : kFormats) {
        const TWaveFormat format = MakeFormat(c.Channels, 44100, c.Bits);
        const std::uint8_t zero = c.Bits == 8 ? 128 : 0;
        for (const auto& s : situations) {
            SCOPED_TRACE(std::string(c.Name) + ", " + s.Name);
            const auto data = Generate(format, s.Tuner, 1000);
            EXPECT_EQ(std::count(data.begin(), data.end(), zero), std::ptrdiff_t(data.size()));
        }
    }
}

TEST(StationSound, EveryWidthCarriesTheSameChord) {
    // The same chord written as U8, S16, 3-byte S24 and S32 decodes to the same values, so the
    // byte order, the sign and the 3-byte packing are right.
    const TVirtualTunerSound tuner{true, false, ChordStation()};
    const auto reference = Generate(MakeFormat(1, 8000, 32), tuner, 800);
    double peak = 0;
    for (unsigned bits : {8u, 16u, 24u}) {
        SCOPED_TRACE(bits);
        const TWaveFormat format = MakeFormat(1, 8000, bits);
        const auto data = Generate(format, tuner, 800);
        ASSERT_EQ(data.size(), 800u * bits / 8);
        const double step = 1.0 / double((1u << (bits - 1)) - 1);
        for (std::size_t f = 0; f < 800; ++f) {
            const double expected = SampleAt(MakeFormat(1, 8000, 32), reference.data(), f, 0);
            ASSERT_NEAR(SampleAt(format, data.data(), f, 0), expected, step) << "frame " << f;
            peak = std::max(peak, std::abs(expected));
        }
    }
    EXPECT_GT(peak, 0.1);
    EXPECT_LE(peak, StationChordPeak + 1e-6);
}

TEST(StationSound, ChordContinuesAcrossBuffersAndSkips) {
    const TWaveFormat format = MakeFormat(2, 44100, 16);
    const std::size_t frameBytes = format.BlockAlign;
    const TVirtualTunerSound tuner{true, false, SimStationAt(912)};
    const auto whole = Generate(format, tuner, 3000);

    TStationSound sound(format);
    std::vector<std::uint8_t> pieces(2000 * frameBytes);
    std::size_t at = 0;
    for (std::size_t frames : {1u, 17u, 1024u, 958u}) {
        sound.Fill(tuner, pieces.data() + at * frameBytes, frames);
        at += frames;
    }
    EXPECT_TRUE(std::equal(pieces.begin(), pieces.end(), whole.begin()));

    // Sound nobody took keeps the chord in time.
    sound.Skip(500);
    std::vector<std::uint8_t> later(500 * frameBytes);
    sound.Fill(tuner, later.data(), 500);
    EXPECT_TRUE(std::equal(later.begin(), later.end(), whole.begin() + 2500 * frameBytes));

    // Each station its own sound.
    EXPECT_NE(Generate(format, {true, false, SimStationAt(955)}, 3000), whole);
}

TEST(StationSound, BitsBelowTheValidBitsAreZero) {
    const TWaveFormat format = MakeFormat(2, 48000, 24, 20);
    const auto data = Generate(format, {true, false, TestStation()}, 2000);
    bool anyNonZero = false;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        ASSERT_EQ(data[i] & 0x0F, 0) << "sample " << i / 3;
        anyNonZero = anyNonZero || data[i + 2] != 0;
    }
    EXPECT_TRUE(anyNonZero);
}
