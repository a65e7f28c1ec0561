#include "EqualizerTestSupport.h"
#include "equalizer/FirBlock.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <random>

using namespace EqualizerTesting;

// ---- design ----

TEST(EqualizerDesign, TapsMatchTheIndependentReference) {
    const auto& designs = EqualizerReference().Designs;
    ASSERT_GE(designs.size(), 30u);
    for (const TReferenceDesign& design : designs) {
        std::vector<TEqualizerBand> enabled;
        for (const TReferenceBand& band : design.Bands)
            if (band.Enabled)
                enabled.push_back({band.Frequency, band.Gain});
        const auto window = TWindowType(design.Type);
        ExpectTapsNear(DesignResponse(enabled, design.SampleRate, window, design.Alpha),
                       design.Taps, design.Name);

        // The component designs the same taps from its bands, window and alpha at a start.
        EqualizerStream stream;
        SetBands(stream.Eq, design.Bands);
        stream.Eq.SetWindowType(window);
        stream.Eq.SetAlpha(design.Alpha);
        stream.Start(std::uint32_t(design.SampleRate), 2, 16);
        ExpectTapsNear(stream.Eq.Taps(), design.Taps, design.Name + " (component)");
    }
}

namespace {
// The band edges read back from one band's taps designed alone without a window: the
// low-pass's centre tap is 2c/fs; a band-pass's centre tap is a - b and its next tap gives
// a + b; the normalised high-pass's first two taps stand in the ratio sinc(1 - a).
constexpr double Pi = std::numbers::pi;
constexpr double Rate = 44100.0;

double LowCutoff(const std::vector<double>& h) {
    return h[20] * Rate / 2.0;
}

std::pair<double, double> BandSpan(const std::vector<double>& h) {
    const double difference = h[20];
    const double cosine = h[21] * Pi / (2.0 * std::sin(Pi * difference / 2.0));
    const double sum = 2.0 / Pi * std::acos(std::clamp(cosine, -1.0, 1.0));
    return {(sum - difference) / 2.0 * Rate / 2.0, (sum + difference) / 2.0 * Rate / 2.0};
}

double HighCutoff(const std::vector<double>& h) {
    const double ratio = -h[21] / h[20];
    double lo = 1e-12, hi = 1.0; // sinc falls from 1 to 0 on (0, 1)
    for (int i = 0; i < 200; ++i) {
        const double u = (lo + hi) / 2.0;
        (std::sin(Pi * u) / (Pi * u) > ratio ? lo : hi) = u;
    }
    return (1.0 - (lo + hi) / 2.0) * Rate / 2.0;
}
} // namespace

TEST(EqualizerDesign, BandEdgesAreTheStatedOnes) {
    struct Case {
        const char* name;
        std::vector<double> frequencies;
        double low;
        std::vector<std::pair<double, double>> spans;
        double high;
    };
    std::vector<std::pair<double, double>> octaveSpans;
    for (std::size_t i = 1; i + 1 < Octaves.size(); ++i)
        octaveSpans.push_back({Octaves[i] * 2.0 / 3.0, Octaves[i] * 4.0 / 3.0});
    const Case cases[] = {
        {"window frequencies",
         WindowFrequencies,
         110.0,
         {{115.22, 224.78},
          {215.58, 404.42},
          {431.88, 768.12},
          {666.67, 1333.33},
          {1800, 4200},
          {4285.71, 7714.29},
          {8666.67, 11333.33},
          {11000, 13000}},
         12666.67},
        {"octaves meet exactly", Octaves, 41.67, octaveSpans, 10666.67},
        {"two bands: low- and high-pass, same cutoff", {1000, 4000}, 2000, {}, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t n = c.frequencies.size();
        ASSERT_EQ(c.spans.size(), n - 2);
        const auto alone = [&](std::size_t i) {
            return DesignResponse(Bands(c.frequencies, OneHot(n, i)), Rate, TWindowType::wtRect,
                                  1.0);
        };
        EXPECT_NEAR(LowCutoff(alone(0)), c.low, 0.005);
        for (std::size_t i = 1; i + 1 < n; ++i) {
            const auto [lo, hi] = BandSpan(alone(i));
            EXPECT_NEAR(lo, c.spans[i - 1].first, 0.005) << "band " << i;
            EXPECT_NEAR(hi, c.spans[i - 1].second, 0.005) << "band " << i;
        }
        EXPECT_NEAR(HighCutoff(alone(n - 1)), c.high, 0.005);
    }
}

TEST(EqualizerDesign, BandsStartingAtHalfTheSampleRateOrAboveContributeNothing) {
    // Of the window's frequencies: band 7 spans 8666.67-11333.33 Hz, band 8 11000-13000 Hz,
    // and the top band's high-pass starts at 12666.67 Hz.
    struct Case {
        std::size_t band;
        double rate;
        bool contributes;
    };
    const Case cases[] = {
        {9, 8000, false},  {9, 25333, false}, {9, 25334, true}, {9, 44100, true},
        {8, 16000, false}, {8, 22000, false}, {8, 22001, true}, {8, 22050, true},
        {7, 16000, false}, {7, 17333, false}, {7, 17334, true}, {7, 22050, true},
    };
    for (TWindowType window : {TWindowType::wtRect, TWindowType::wtHamming})
        for (const Case& c : cases) {
            const std::vector<double> taps =
                DesignResponse(Bands(WindowFrequencies, OneHot(10, c.band)), c.rate, window, 1.0);
            EXPECT_EQ(taps != std::vector<double>(41, 0.0), c.contributes)
                << "band " << c.band << " at " << c.rate << " Hz";
        }
}

TEST(EqualizerDesign, ListedOrderDoesNotMatterForDistinctFrequencies) {
    const std::vector<TEqualizerBand> sorted = Bands(WindowFrequencies, Voice);
    const std::vector<double> expected = DesignResponse(sorted, Rate, TWindowType::wtKaiser, 0.4);
    std::mt19937 random(7);
    for (int round = 0; round < 5; ++round) {
        std::vector<TEqualizerBand> shuffled = sorted;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        EXPECT_EQ(DesignResponse(shuffled, Rate, TWindowType::wtKaiser, 0.4), expected);
    }
    std::vector<TEqualizerBand> reversed(sorted.rbegin(), sorted.rend());
    EXPECT_EQ(DesignResponse(reversed, Rate, TWindowType::wtKaiser, 0.4), expected);
}

TEST(EqualizerDesign, FlatRectangularDesignIsTheSumOfThePrototypesNotAnImpulse) {
    const std::vector<double> taps = DesignResponse(
        Bands(WindowFrequencies, std::vector<double>(10, 1.0)), Rate, TWindowType::wtRect, 1.0);
    double offCentre = 0.0;
    for (int i = 0; i < 41; ++i)
        if (i != 20)
            offCentre = std::max(offCentre, std::fabs(taps[std::size_t(i)]));
    EXPECT_GT(offCentre, 1e-3);
    EXPECT_GT(std::fabs(taps[20] - 1.0), 1e-3);
}

// ---- the block filter against FirOne ----

TEST(EqualizerFastPath, BlockFilterIsBitEqualToFirOneAndLeavesTheSameState) {
    std::mt19937 random(42);
    std::uniform_real_distribution<double> value(-40000.0, 40000.0);
    for (int tapCount : {1, 5, 41, 64}) {
        SCOPED_TRACE(tapCount);
        std::vector<double> taps(static_cast<std::size_t>(tapCount));
        for (double& tap : taps)
            tap = value(random) / 30000.0;
        std::vector<double> delay(std::size_t(tapCount), 0.0);
        for (double& d : delay)
            d = value(random);
        FirPtr single(FirInitAlloc(taps.data(), tapCount, delay.data()));
        FirPtr block(FirInitAlloc(taps.data(), tapCount, delay.data()));
        std::vector<double> work;
        for (int n : {0, 1, 3, 15, 16, 17, 40, 41, 42, 100, 333, 1023, 7}) {
            std::vector<double> samples(static_cast<std::size_t>(n));
            for (double& s : samples)
                s = value(random);
            std::vector<double> expected(samples.size());
            for (std::size_t t = 0; t < samples.size(); ++t)
                FirOne(samples[t], expected[t], *single);
            FirBlockInPlace(*block, samples.data(), n, work);
            ASSERT_EQ(samples, expected) << "block of " << n;
            ASSERT_EQ(block->Delay, single->Delay) << "block of " << n;
            ASSERT_EQ(block->Position, single->Position) << "block of " << n;
        }
    }
}

TEST(EqualizerFastPath, StreamIsBitEqualToThePerSampleFilterInEveryContainer) {
    for (unsigned bits : {8u, 16u, 24u, 32u}) {
        for (unsigned channels : {1u, 2u, 3u}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            std::mt19937 random(bits * 10 + channels);
            EqualizerStream stream;
            stream.Configure(WindowFrequencies, Voice);
            stream.Start(44100, channels, bits);
            ReferenceFilter model(channels, bits);
            model.Start(stream.Eq.Taps());
            for (std::size_t frames : {1, 7, 255, 16, 17, 1023, 33, 41}) {
                std::vector<std::uint8_t> data = RandomSamples(random, frames, channels, bits);
                const std::vector<std::uint8_t> filtered = stream.Filter(data);
                model.Process(data);
                ASSERT_EQ(filtered, data) << frames << " frames";
            }
        }
    }
}

// ---- samples, limits and pass-through ----

TEST(EqualizerStreamTest, ConstantInputSettlesAtTheExpectedClampedValue) {
    struct Case {
        const char* name;
        unsigned bits;
        std::int64_t input;  // as stored
        double gain;         // of every band
        std::int64_t output; // every frame once the delay line is full
    };
    const Case cases[] = {
        {"8-bit 127 is the centre and stays", 8, 127, 1.0, 127},
        {"8-bit 127 stays with any gains", 8, 127, 1.9, 127},
        {"8-bit low end clamps to 0", 8, 0, 1.9, 0},
        {"8-bit high end clamps to 255", 8, 255, 1.9, 255},
        {"16-bit minimum clamps one above", 16, -32768, 1.9, -32767},
        {"16-bit maximum", 16, 32767, 1.9, 32767},
        {"24-bit minimum clamps one above", 24, -8388608, 1.9, -8388607},
        {"32-bit minimum clamps one above", 32, -2147483647 - 1, 1.9, -2147483647},
        {"32-bit maximum", 32, 2147483647, 1.9, 2147483647},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EqualizerStream stream;
        stream.Configure(WindowFrequencies, std::vector<double>(10, c.gain));
        stream.Start(44100, 1, c.bits);
        const unsigned bytes = BytesFor(c.bits);
        std::vector<std::uint8_t> data(100 * bytes);
        for (std::size_t i = 0; i < 100; ++i)
            StoreSample(data.data() + i * bytes, bytes, c.input);
        const std::vector<std::uint8_t> out = stream.Filter(data);
        for (std::size_t i = 40; i < 100; ++i)
            ASSERT_EQ(LoadSample(out.data() + i * bytes, bytes), c.output) << "frame " << i;
    }
}

TEST(EqualizerStreamTest, FewerThanTwoEnabledBandsPassTheInputThrough) {
    struct Case {
        const char* name;
        std::vector<double> frequencies;
        int disabledFrom; // bands from this index on are disabled
    };
    const Case cases[] = {
        {"no bands", {}, 0},
        {"one band", {1000}, 1},
        {"one of ten enabled", WindowFrequencies, 1},
        {"none of ten enabled", WindowFrequencies, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EqualizerStream stream;
        stream.Configure(c.frequencies, std::vector<double>(c.frequencies.size(), 1.5));
        for (int i = c.disabledFrom; i < stream.Eq.Channels().Count(); ++i)
            stream.Eq.Channels().Items(i).SetEnabled(false);
        stream.Start(44100, 2, 16);
        std::mt19937 random(1);
        for (std::size_t frames : {300, 50}) {
            const std::vector<std::uint8_t> data = RandomSamples(random, frames, 2, 16);
            EXPECT_EQ(stream.Filter(data), data);
        }
        if (c.frequencies.size() < 2)
            continue;
        // Two bands switched on filter the next buffer; the pass-through left the history
        // silent, so the new delay lines start from silence.
        stream.Eq.Channels().Items(0).SetEnabled(true);
        stream.Eq.Channels().Items(1).SetEnabled(true);
        std::vector<std::uint8_t> data = RandomSamples(random, 64, 2, 16);
        const std::vector<std::uint8_t> filtered = stream.Filter(data);
        ReferenceFilter model(2, 16);
        model.Start(stream.Eq.Taps());
        model.Process(data);
        EXPECT_EQ(filtered, data);
    }
}

TEST(EqualizerStreamTest, UnfilterableBuffersPassUnchanged) {
    struct Case {
        const char* name;
        bool started;
        unsigned bits;
    };
    const Case cases[] = {
        {"before any start", false, 16},
        {"40-bit containers", true, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EqualizerStream stream;
        stream.Configure(WindowFrequencies, Voice);
        if (c.started)
            stream.Start(44100, 2, c.bits);
        std::vector<std::uint8_t> data(64 * 2 * BytesFor(c.bits));
        std::mt19937 random(3);
        for (std::uint8_t& byte : data)
            byte = std::uint8_t(random());
        TAudioBuffer buffer = TAudioBuffer::Create(44100, 0, 64, 2, c.bits);
        std::copy(data.begin(), data.end(), buffer.OverwriteData());
        stream.Source.Output.SendBuffer(buffer);
        ASSERT_EQ(stream.Sink.Buffers().size(), 1u);
        EXPECT_EQ(stream.Received(0), data);
    }
}

TEST(EqualizerStreamTest, BrokenDesignGivesSilenceNotGarbage) {
    // Three bands at one frequency make a band's width 0/0: the taps are not numbers.
    for (unsigned bits : {8u, 16u, 32u}) {
        SCOPED_TRACE(bits);
        EqualizerStream stream;
        stream.Configure({1000, 1000, 1000}, {1.0, 1.0, 1.0});
        stream.Start(44100, 1, bits);
        std::mt19937 random(5);
        const std::vector<std::uint8_t> out = stream.Filter(RandomSamples(random, 50, 1, bits));
        const std::int64_t silence = bits == 8 ? 127 : 0;
        for (std::size_t i = 0; i < 50; ++i)
            ASSERT_EQ(LoadSample(out.data() + i * BytesFor(bits), BytesFor(bits)), silence);
    }
}

// ---- changes while the stream runs ----

TEST(EqualizerStreamTest, ChangesRedesignBeforeTheNextBufferAndFadeFromTheOldDesign) {
    struct Case {
        const char* name;
        std::vector<std::size_t> before; // frames of the buffers before the change
        std::function<void(TGraphicEqualizer&)> change;
        bool redesigns;
    };
    const auto band = [](TGraphicEqualizer& eq) -> TGraphicEqualizerChannelItem& {
        return eq.Channels().Items(3);
    };
    const Case cases[] = {
        {"gain change", {300}, [&](auto& eq) { band(eq).SetCoefficient(1.9); }, true},
        {"gain change after short buffers",
         {7, 7, 7, 5},
         [&](auto& eq) { band(eq).SetCoefficient(0.2); },
         true},
        {"frequency change", {64}, [&](auto& eq) { band(eq).SetFrequency(700); }, true},
        {"band switched off", {64}, [&](auto& eq) { band(eq).SetEnabled(false); }, true},
        {"window type assigned its own value",
         {300},
         [](auto& eq) { eq.SetWindowType(eq.WindowType()); },
         true},
        {"alpha changed", {300}, [](auto& eq) { eq.SetAlpha(0.5); }, true},
        {"alpha assigned its own value", {300}, [](auto& eq) { eq.SetAlpha(eq.Alpha()); }, false},
        {"gain assigned its own value",
         {300},
         [&](auto& eq) { band(eq).SetCoefficient(band(eq).Coefficient()); },
         false},
        {"frequency assigned its own value",
         {300},
         [&](auto& eq) { band(eq).SetFrequency(band(eq).Frequency()); },
         false},
        {"band added", {300}, [](auto& eq) { eq.Channels().Add(); }, false},
        {"band deleted", {300}, [](auto& eq) { eq.Channels().Delete(0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(11);
        EqualizerStream stream;
        stream.Configure(WindowFrequencies, Voice);
        stream.Start(44100, 2, 16);
        const std::vector<double> before = stream.Eq.Taps();
        ReferenceFilter redesigned(2, 16);
        ReferenceFilter continued(2, 16);
        redesigned.Start(before);
        continued.Start(before);
        for (std::size_t frames : c.before) {
            std::vector<std::uint8_t> data = RandomSamples(random, frames, 2, 16);
            std::vector<std::uint8_t> copy = data;
            const std::vector<std::uint8_t> filtered = stream.Filter(data);
            redesigned.Process(data);
            continued.Process(copy);
            ASSERT_EQ(filtered, data);
        }

        c.change(stream.Eq);
        EXPECT_EQ(stream.Eq.Taps(), before); // nothing is designed on the setter's thread

        const std::vector<std::uint8_t> data = RandomSamples(random, 64, 2, 16);
        const std::vector<std::uint8_t> filtered = stream.Filter(data);
        const std::vector<double> after = stream.Eq.Taps();
        const std::vector<double> old = continued.Run(data);
        redesigned.Redesign(after);
        // The old design goes on through this buffer while the sound moves to the new one.
        const std::vector<std::uint8_t> expectRedesigned =
            redesigned.Crossfaded(old, redesigned.Run(data));
        const std::vector<std::uint8_t> expectContinued = continued.Store(old);
        ASSERT_NE(expectRedesigned, expectContinued); // the case tells the two apart
        if (c.redesigns) {
            EXPECT_EQ(filtered, expectRedesigned);
            EXPECT_EQ(after, DesignResponse(EnabledBands(stream.Eq), 44100, stream.Eq.WindowType(),
                                            stream.Eq.Alpha()));
        } else {
            EXPECT_EQ(filtered, expectContinued);
            EXPECT_EQ(after, before);
        }

        // From the next buffer on only the design in force is heard.
        std::vector<std::uint8_t> next = RandomSamples(random, 64, 2, 16);
        const std::vector<std::uint8_t> nextFiltered = stream.Filter(next);
        (c.redesigns ? redesigned : continued).Process(next);
        EXPECT_EQ(nextFiltered, next);
    }
}

TEST(EqualizerStreamTest, RestartDesignsAfreshAndForgetsTheEarlierStream) {
    // A gain changed after the last buffer of one stream must not replay that stream's sound
    // (here of another sample size) into the next one.
    EqualizerStream stream;
    stream.Configure(WindowFrequencies, Voice);
    stream.Start(44100, 2, 16);
    std::mt19937 random(19);
    stream.Filter(RandomSamples(random, 300, 2, 16));
    stream.Eq.Channels().Items(2).SetCoefficient(0.4);
    stream.Source.Output.SendEndStop();

    stream.Start(48000, 2, 32);
    const std::vector<double> taps = stream.Eq.Taps();
    EXPECT_EQ(taps, DesignResponse(EnabledBands(stream.Eq), 48000, TWindowType::wtHamming, 1.0));
    std::vector<std::uint8_t> data = RandomSamples(random, 100, 2, 32);
    const std::vector<std::uint8_t> filtered = stream.Filter(data);
    ReferenceFilter model(2, 32);
    model.Start(taps);
    model.Process(data);
    EXPECT_EQ(filtered, data);
}

TEST(EqualizerStreamTest, SwitchingFadesOverOneBufferAndSwitchedOffPassesBitIdentical) {
    EqualizerStream stream;
    stream.Configure(WindowFrequencies, Voice);
    stream.Start(44100, 2, 16);
    const std::vector<double> taps = stream.Eq.Taps();
    ReferenceFilter model(2, 16);
    model.Start(taps);
    std::mt19937 random(13);
    const auto next = [&] { return RandomSamples(random, 100, 2, 16); };
    std::vector<std::uint8_t> first = next();
    const std::vector<std::uint8_t> firstOut = stream.Filter(first);
    model.Process(first);
    EXPECT_EQ(firstOut, first);

    // Switched off, the filter runs through one more buffer while the input fades in; after
    // that the input passes as it is.
    stream.Eq.SetEnabled(false);
    const std::vector<std::uint8_t> fadingOut = next();
    EXPECT_EQ(stream.Filter(fadingOut),
              model.Crossfaded(model.Run(fadingOut), model.Unfiltered(fadingOut)));
    for (int i = 0; i < 2; ++i) {
        const std::vector<std::uint8_t> bypassed = next();
        EXPECT_EQ(stream.Filter(bypassed), bypassed);
        model.Remember(bypassed);
    }

    // Switched on, the delay lines start again from the latest input, not from where they
    // stopped, and the filtered sound fades in over one buffer.
    stream.Eq.SetEnabled(true);
    const std::vector<std::uint8_t> fadingIn = next();
    model.Redesign(taps);
    EXPECT_EQ(stream.Filter(fadingIn),
              model.Crossfaded(model.Unfiltered(fadingIn), model.Run(fadingIn)));
    std::vector<std::uint8_t> last = next();
    const std::vector<std::uint8_t> lastOut = stream.Filter(last);
    model.Process(last);
    EXPECT_EQ(lastOut, last);
}

TEST(EqualizerStreamTest, ThreadedStreamGivesTheSameOutputAsUnthreaded) {
    EqualizerStream threaded(true);
    EqualizerStream direct;
    std::vector<std::vector<std::uint8_t>> buffers;
    std::mt19937 random(17);
    for (int i = 0; i < 24; ++i)
        buffers.push_back(RandomSamples(random, 441 + std::size_t(i % 3), 2, 16));
    for (EqualizerStream* stream : {&threaded, &direct}) {
        stream->Configure(WindowFrequencies, Voice, TWindowType::wtBartlett);
        stream->Start(44100, 2, 16);
        for (const auto& buffer : buffers)
            stream->Send(buffer);
    }
    ASSERT_TRUE(threaded.Sink.WaitForEntries(buffers.size() + 1));
    ASSERT_EQ(threaded.Sink.Buffers().size(), buffers.size());
    ASSERT_EQ(direct.Sink.Buffers().size(), buffers.size());
    EXPECT_NE(threaded.Sink.Entries().back().Thread, std::this_thread::get_id());
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        EXPECT_EQ(threaded.Received(i), direct.Received(i)) << "buffer " << i;
        EXPECT_NE(direct.Received(i), buffers[i]) << "buffer " << i;
    }
}

// ---- the band collection ----

TEST(EqualizerChannels, AddDoublesTheLastFrequencyAndAssignCopies) {
    TGraphicEqualizer eq;
    for (int i = 0; i < 10; ++i)
        eq.Channels().Add();
    ASSERT_EQ(eq.Channels().Count(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(eq.Channels().Items(i).Frequency(), Octaves[std::size_t(i)]);
    EXPECT_EQ(eq.Channels().Items(0).Coefficient(), 1.0);
    EXPECT_TRUE(eq.Channels().Items(0).Enabled());

    eq.Channels().Items(9).SetFrequency(100);
    eq.Channels().Delete(0);
    EXPECT_EQ(eq.Channels().Add().Frequency(), 200.0);
    eq.Channels().Items(2).SetCoefficient(0.3);
    eq.Channels().Items(4).SetEnabled(false);

    TGraphicEqualizer copy;
    copy.Channels().Add();
    copy.SetChannels(eq.Channels());
    ASSERT_EQ(copy.Channels().Count(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(copy.Channels().Items(i).Frequency(), eq.Channels().Items(i).Frequency());
        EXPECT_EQ(copy.Channels().Items(i).Coefficient(), eq.Channels().Items(i).Coefficient());
        EXPECT_EQ(copy.Channels().Items(i).Enabled(), eq.Channels().Items(i).Enabled());
    }
    eq.Channels().Clear();
    EXPECT_EQ(eq.Channels().Count(), 0);
    EXPECT_EQ(eq.Channels().Add().Frequency(), 31.25);
}
