// Switching the equalizer on and off, or changing its setting, while a chord plays. The filter
// delays the sound by 20 frames and shapes it, so a cut between filtered and unfiltered sound or
// between two designs jumps by up to a third of full scale; the sound must instead move over
// one buffer, never stepping further than the chord itself steps under either setting.
#include "EqualizerTestSupport.h"

#include <numbers>

using namespace EqualizerTesting;

namespace {

constexpr std::uint32_t Rate = 44100;
constexpr std::size_t Frames = 1024; // the capture's buffer
constexpr std::size_t BuffersPerStage = 3;

struct TSetting {
    bool Enabled;
    std::vector<int> Positions; // of the equalizer window's sliders, -15..15
};

const TSetting DefaultPreset{true, std::vector<int>(10, 0)};
const TSetting VoicePreset{true, {-8, -6, -4, 1, 0, 0, 0, -4, -6, -8}};
const TSetting RockPreset{true, {-2, 1, 3, 7, -2, -2, 0, 0, 7, 7}};
const TSetting AllRaised{true, std::vector<int>(10, -15)};
const TSetting AllLowered{true, std::vector<int>(10, 15)};

TSetting Off(TSetting setting) {
    setting.Enabled = false;
    return setting;
}

// A station's chord, 248, 310 and 372 Hz at 0.1 of full scale each, as 16-bit samples of one
// channel (both channels carry the same).
std::vector<std::int64_t> Chord(std::size_t frames) {
    std::vector<std::int64_t> samples(frames);
    for (std::size_t t = 0; t < frames; ++t) {
        double value = 0.0;
        for (std::size_t tone : {248u, 310u, 372u})
            value += 0.1 * std::sin(2.0 * std::numbers::pi * double(tone * t % Rate) / Rate);
        samples[t] = std::llround(value * 32767);
    }
    return samples;
}

// The chord through the equalizer in the window's band layout, the settings taking turns for
// BuffersPerStage buffers each (the first buffer `lead` frames long, to move the switches
// against the chord's phase). Returns the first channel as heard.
std::vector<std::int64_t> Play(const std::vector<TSetting>& stages, std::size_t lead) {
    EqualizerStream stream;
    stream.Configure(WindowFrequencies, std::vector<double>(10, 1.0), TWindowType::wtBartlett);
    stream.Start(Rate, 2, 16);
    const std::vector<std::int64_t> chord = Chord(lead + stages.size() * BuffersPerStage * Frames);
    std::vector<std::int64_t> heard;
    std::size_t at = 0;
    for (const TSetting& stage : stages) {
        for (int i = 0; i < 10; ++i)
            stream.Eq.Channels().Items(i).SetCoefficient(
                (-6 * stage.Positions[std::size_t(i)]) / 100.0 + 1.0);
        stream.Eq.SetEnabled(stage.Enabled);
        for (std::size_t b = 0; b < BuffersPerStage; ++b) {
            const std::size_t frames = at == 0 && lead > 0 ? lead : Frames;
            std::vector<std::uint8_t> data(frames * 4);
            for (std::size_t t = 0; t < frames; ++t)
                for (std::size_t channel = 0; channel < 2; ++channel)
                    StoreSample(data.data() + t * 4 + channel * 2, 2, chord[at + t]);
            const std::vector<std::uint8_t> out = stream.Filter(data);
            for (std::size_t t = 0; t < frames; ++t)
                heard.push_back(LoadSample(out.data() + t * 4, 2));
            at += frames;
        }
    }
    return heard;
}

std::int64_t LargestStep(const std::vector<std::int64_t>& samples, std::size_t from,
                         std::size_t to) {
    std::int64_t largest = 0;
    for (std::size_t t = std::max<std::size_t>(from, 1); t < std::min(to, samples.size()); ++t)
        largest = std::max(largest, std::abs(samples[t] - samples[t - 1]));
    return largest;
}

} // namespace

TEST(EqualizerSwitching, NoChangeStepsFurtherThanTheChordUnderEitherSetting) {
    struct Case {
        const char* name;
        std::vector<TSetting> stages;
    };
    const Case cases[] = {
        {"switched off and on again", {DefaultPreset, Off(DefaultPreset), DefaultPreset}},
        {"presets chosen while on",
         {DefaultPreset, VoicePreset, RockPreset, AllRaised, AllLowered, DefaultPreset}},
        {"a preset chosen while off, then switched on",
         {Off(DefaultPreset), Off(VoicePreset), VoicePreset}},
        {"a preset chosen and switched off at once", {RockPreset, Off(VoicePreset)}},
    };
    for (const Case& c : cases)
        for (std::size_t lead : {0u, 333u, 700u}) {
            SCOPED_TRACE(testing::Message() << c.name << ", first buffer " << lead << " frames");
            const std::vector<std::int64_t> heard = Play(c.stages, lead);
            const std::size_t firstLength = lead > 0 ? lead : Frames;
            for (std::size_t s = 1; s < c.stages.size(); ++s) {
                // Each setting held alone steps at most this far over the same stretch.
                const std::size_t from = firstLength + (s * BuffersPerStage - 1) * Frames;
                const std::size_t to = from + 2 * Frames;
                std::int64_t steady = 0;
                for (const TSetting& held : {c.stages[s - 1], c.stages[s]})
                    steady = std::max(steady,
                                      LargestStep(Play(std::vector(s + 1, held), lead), from, to));
                EXPECT_LE(LargestStep(heard, from, to), steady * 11 / 10) << "stage " << s;
            }
        }
}
