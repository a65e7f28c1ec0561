// The equalizer at every capture rate the options offer. A sampled signal has nothing above
// half its rate: bands reaching past it must not fold back onto the bands below, which would
// make the flat "Default" setting lift the sound by up to 11 dB (and clip it) at low rates.
#include "EqualizerTestSupport.h"

#include <complex>
#include <numbers>
#include <string>

using namespace EqualizerTesting;

namespace {

const std::uint32_t OfferedRates[] = {8000,  11025, 16000, 22050, 32000,
                                      44100, 48000, 96000, 192000};

const TReferenceDesign* FindReference(const std::string& name) {
    for (const TReferenceDesign& design : EqualizerReference().Designs)
        if (design.Name == name)
            return &design;
    return nullptr;
}

double GainDb(const std::vector<double>& taps, double frequency, double rate) {
    std::complex<double> sum;
    for (std::size_t k = 0; k < taps.size(); ++k)
        sum += taps[k] * std::polar(1.0, -2.0 * std::numbers::pi * frequency * double(k) / rate);
    return 20.0 * std::log10(std::abs(sum));
}

const std::vector<double> Flat(10, 1.0); // the "Default" preset's gains

class EqualizerAtOfferedRate : public ::testing::TestWithParam<std::uint32_t> {};

} // namespace

TEST_P(EqualizerAtOfferedRate, TapsMatchTheReferenceAndAFlatSettingLiftsNoFrequency) {
    const double rate = GetParam();
    for (const auto& [setting, gains] : {std::pair{"flat", Flat}, std::pair{"voice", Voice}}) {
        const std::string name = std::string(setting) + "-bartlett-" + std::to_string(GetParam());
        const TReferenceDesign* reference = FindReference(name);
        ASSERT_NE(reference, nullptr) << name;
        ExpectTapsNear(
            DesignResponse(Bands(WindowFrequencies, gains), rate, TWindowType::wtBartlett, 1.0),
            reference->Taps, name);
    }

    // The 41 taps ripple by themselves (up to +1.84 dB at 32 kHz, where every band fits); a band
    // folded back from above half the rate would add up to 13 dB more.
    const std::vector<double> flat =
        DesignResponse(Bands(WindowFrequencies, Flat), rate, TWindowType::wtBartlett, 1.0);
    constexpr int Steps = 2000;
    for (int i = 0; i <= Steps; ++i) {
        const double frequency = rate / 2.0 * i / Steps;
        ASSERT_LT(GainDb(flat, frequency, rate), 2.0) << "at " << frequency << " Hz";
    }
}

TEST_P(EqualizerAtOfferedRate, FlatSettingKeepsAChordsLevelWithoutClipping) {
    // A station's chord, 248, 310 and 372 Hz at 0.1 of full scale each, one second long.
    const std::uint32_t rate = GetParam();
    std::vector<std::uint8_t> chord(std::size_t(rate) * 2 * 2);
    for (std::uint32_t t = 0; t < rate; ++t) {
        double value = 0.0;
        for (std::uint32_t tone : {248u, 310u, 372u})
            value += 0.1 * std::sin(2.0 * std::numbers::pi * double(tone * t % rate) / rate);
        for (std::size_t channel = 0; channel < 2; ++channel)
            StoreSample(chord.data() + (t * 2 + channel) * 2, 2, std::llround(value * 32767));
    }
    EqualizerStream stream;
    stream.Configure(WindowFrequencies, Flat, TWindowType::wtBartlett);
    stream.Start(rate, 2, 16);
    std::vector<std::uint8_t> played;
    const std::size_t bufferBytes = 1024 * 2 * 2;
    for (std::size_t at = 0; at < chord.size(); at += bufferBytes) {
        const auto end = chord.begin() + std::ptrdiff_t(std::min(chord.size(), at + bufferBytes));
        const std::vector<std::uint8_t> out =
            stream.Filter(std::vector<std::uint8_t>(chord.begin() + std::ptrdiff_t(at), end));
        played.insert(played.end(), out.begin(), out.end());
    }

    const auto peak = [](const std::vector<std::uint8_t>& data, std::size_t from) {
        std::int64_t highest = 0;
        for (std::size_t i = from; i < data.size() / 2; ++i)
            highest = std::max(highest, std::abs(LoadSample(data.data() + i * 2, 2)));
        return highest;
    };
    const std::int64_t clipped = peak(played, 0);
    EXPECT_LT(clipped, 32767) << "clipped";
    // Past the filter's start-up. The design itself leaves this chord up to 1.0 dB lower at
    // 96 kHz; what must not happen is a rise.
    const double db = 20.0 * std::log10(double(peak(played, 80)) / double(peak(chord, 80)));
    EXPECT_GT(db, -1.1);
    EXPECT_LT(db, 0.5);
}

INSTANTIATE_TEST_SUITE_P(EveryOfferedRate, EqualizerAtOfferedRate,
                         ::testing::ValuesIn(OfferedRates),
                         [](const auto& info) { return std::to_string(info.param) + "Hz"; });
