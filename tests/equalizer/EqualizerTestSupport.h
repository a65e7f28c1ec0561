#pragma once

// What the equalizer's tests share: the band tables, a per-sample model of the filter built on
// FirOne alone, random samples and a source-equalizer-sink stream wired as in the main window.

#include "FilterTestSupport.h"
#include "data/EqualizerReference.h"
#include "equalizer/GraphicEqualizer.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace EqualizerTesting {

using namespace SignalPrimitives;

inline const std::vector<double> WindowFrequencies = {80,   170,  310,   600,   1000,
                                                      3000, 6000, 10000, 12000, 14000};
inline const std::vector<double> Octaves = {31.25, 62.5, 125,  250,  500,
                                            1000,  2000, 4000, 8000, 16000};
inline const std::vector<double> Voice = {1.48, 1.36, 1.24, 0.94, 1.0, 1.0, 1.0, 1.24, 1.36, 1.48};

inline std::vector<TEqualizerBand> Bands(const std::vector<double>& frequencies,
                                         const std::vector<double>& gains) {
    std::vector<TEqualizerBand> bands;
    for (std::size_t i = 0; i < frequencies.size(); ++i)
        bands.push_back({frequencies[i], gains[i]});
    return bands;
}

inline std::vector<double> OneHot(std::size_t size, std::size_t index) {
    std::vector<double> gains(size, 0.0);
    gains[index] = 1.0;
    return gains;
}

inline void ExpectTapsNear(const std::vector<double>& actual, const std::vector<double>& expected,
                           const std::string& name) {
    ASSERT_EQ(actual.size(), expected.size()) << name;
    double scale = 0.0;
    for (double tap : expected)
        scale = std::max(scale, std::fabs(tap));
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-12 * scale) << name << " tap " << i;
}

inline void SetBands(TGraphicEqualizer& eq, const std::vector<TReferenceBand>& bands) {
    eq.Channels().Clear();
    for (const TReferenceBand& band : bands) {
        TGraphicEqualizerChannelItem& item = eq.Channels().Add();
        item.SetFrequency(band.Frequency);
        item.SetCoefficient(band.Gain);
        item.SetEnabled(band.Enabled);
    }
}

inline std::vector<TReferenceBand> ReferenceBands(const std::vector<double>& frequencies,
                                                  const std::vector<double>& gains) {
    std::vector<TReferenceBand> bands;
    for (std::size_t i = 0; i < frequencies.size(); ++i)
        bands.push_back({frequencies[i], gains[i], true});
    return bands;
}

inline std::vector<TEqualizerBand> EnabledBands(const TGraphicEqualizer& eq) {
    std::vector<TEqualizerBand> bands;
    for (int i = 0; i < eq.Channels().Count(); ++i)
        if (eq.Channels().Items(i).Enabled())
            bands.push_back(
                {eq.Channels().Items(i).Frequency(), eq.Channels().Items(i).Coefficient()});
    return bands;
}

// ---- a per-sample model of the filter, built on FirOne alone ----

inline unsigned BytesFor(unsigned bits) {
    return (bits + 7) / 8;
}

inline std::int64_t Limit(unsigned bits) {
    return (std::int64_t(1) << (BytesFor(bits) * 8 - 1)) - 1;
}

inline std::int64_t LoadSample(const std::uint8_t* p, unsigned bytes) {
    std::uint64_t raw = 0;
    for (unsigned b = 0; b < bytes; ++b)
        raw |= std::uint64_t(p[b]) << (8 * b);
    if (bytes == 1)
        return std::int64_t(raw);
    const std::uint64_t sign = std::uint64_t(1) << (8 * bytes - 1);
    return std::int64_t(raw ^ sign) - std::int64_t(sign);
}

inline void StoreSample(std::uint8_t* p, unsigned bytes, std::int64_t value) {
    for (unsigned b = 0; b < bytes; ++b)
        p[b] = std::uint8_t(std::uint64_t(value) >> (8 * b));
}

struct FirDeleter {
    void operator()(TFirState* state) const { FirFree(state); }
};
using FirPtr = std::unique_ptr<TFirState, FirDeleter>;

class ReferenceFilter {
public:
    ReferenceFilter(unsigned channels, unsigned bits)
        : FChannels(channels), FBits(bits), FBytes(BytesFor(bits)) {}

    void Start(const std::vector<double>& taps) {
        Reset(taps);
        FHistory.assign(20 * FChannels * FBytes, FBits <= 8 ? 127 : 0);
        FPosition = 0;
    }
    // New delay lines, then the 20 history frames fed through them in position order.
    void Redesign(const std::vector<double>& taps) {
        Reset(taps);
        std::vector<std::uint8_t> replay = FHistory;
        Filter(replay);
    }
    void Process(std::vector<std::uint8_t>& data) {
        Remember(data);
        Filter(data);
    }
    // What the filter gives for the samples before rounding, as Process goes on.
    std::vector<double> Run(const std::vector<std::uint8_t>& data) {
        Remember(data);
        return Outputs(data);
    }
    // The samples as the filter reads them, centred on 0.
    std::vector<double> Unfiltered(const std::vector<std::uint8_t>& data) const {
        std::vector<double> out;
        for (std::size_t i = 0; i * FBytes < data.size(); ++i)
            out.push_back(Input(data, i));
        return out;
    }
    // Samples that went by unfiltered still become the history.
    void Remember(const std::vector<std::uint8_t>& data) {
        const std::size_t frame = FChannels * FBytes;
        const std::size_t frames = data.size() / frame;
        if (frames > 20) {
            std::copy(data.end() - std::ptrdiff_t(20 * frame), data.end(), FHistory.begin());
            FPosition = 20;
        } else {
            for (std::size_t i = 0; i < frames; ++i) {
                if (FPosition == 20)
                    FPosition = 0;
                std::copy_n(data.begin() + std::ptrdiff_t(i * frame), frame,
                            FHistory.begin() + std::ptrdiff_t(FPosition * frame));
                ++FPosition;
            }
        }
    }
    // Samples from filter outputs, clamped and rounded as the equalizer stores them.
    std::vector<std::uint8_t> Store(const std::vector<double>& outputs) const {
        const double centre = FBits <= 8 ? 127.0 : 0.0;
        const double high = FBits <= 8 ? 255.0 : double(Limit(FBits));
        const double low = FBits <= 8 ? 0.0 : -high;
        std::vector<std::uint8_t> data(outputs.size() * FBytes);
        for (std::size_t i = 0; i < outputs.size(); ++i)
            StoreSample(data.data() + i * FBytes, FBytes,
                        std::int64_t(std::nearbyint(std::clamp(outputs[i] + centre, low, high))));
        return data;
    }
    // A linear move over the buffer's frames from one sound to the other, reaching `to` at the
    // last frame.
    std::vector<std::uint8_t> Crossfaded(const std::vector<double>& from,
                                         const std::vector<double>& to) const {
        const std::size_t frames = to.size() / FChannels;
        std::vector<double> mixed(to.size());
        for (std::size_t i = 0; i < to.size(); ++i) {
            const double w = double(i / FChannels + 1) / double(frames);
            mixed[i] = from[i] * (1.0 - w) + to[i] * w;
        }
        return Store(mixed);
    }

private:
    void Reset(const std::vector<double>& taps) {
        FStates.clear();
        for (unsigned c = 0; c < FChannels; ++c)
            FStates.emplace_back(FirInitAlloc(taps.data(), int(taps.size()), nullptr));
    }
    double Input(const std::vector<std::uint8_t>& data, std::size_t i) const {
        return double(LoadSample(data.data() + i * FBytes, FBytes)) - (FBits <= 8 ? 127.0 : 0.0);
    }
    std::vector<double> Outputs(const std::vector<std::uint8_t>& data) {
        std::vector<double> out;
        for (std::size_t i = 0; i * FBytes < data.size(); ++i) {
            double y = 0.0;
            FirOne(Input(data, i), y, *FStates[i % FChannels]);
            out.push_back(y);
        }
        return out;
    }
    void Filter(std::vector<std::uint8_t>& data) { data = Store(Outputs(data)); }

    unsigned FChannels, FBits, FBytes;
    std::vector<FirPtr> FStates;
    std::vector<std::uint8_t> FHistory;
    std::size_t FPosition = 0;
};

// Random samples, mostly within a third of full scale, one in eight at an extreme.
inline std::vector<std::uint8_t> RandomSamples(std::mt19937& random, std::size_t frames,
                                               unsigned channels, unsigned bits) {
    const unsigned bytes = BytesFor(bits);
    const std::int64_t limit = Limit(bits);
    std::uniform_int_distribution<std::int64_t> moderate(-limit / 3, limit / 3);
    std::uniform_int_distribution<int> pick(0, 15);
    std::vector<std::uint8_t> data(frames * channels * bytes);
    for (std::size_t i = 0; i < frames * channels; ++i) {
        const int choice = pick(random);
        std::int64_t value = choice == 0 ? -limit - 1 : choice == 1 ? limit : moderate(random);
        if (bits <= 8)
            value += 128;
        StoreSample(data.data() + i * bytes, bytes, value);
    }
    return data;
}

// A source, the equalizer and a recording sink, wired as in the main window.
class EqualizerStream {
public:
    explicit EqualizerStream(bool threaded = false) {
        Source.Output.Connect(Eq.InputPin());
        Eq.OutputPin().Connect(Sink.Input);
        if (threaded) {
            Eq.Threading().SetEnabled(true);
            Eq.Threading().Queue().SetSize(8);
            Eq.Threading().Queue().SetFullMode(TQueueFullMode::fmBlock);
        }
    }
    void Configure(const std::vector<double>& frequencies, const std::vector<double>& gains,
                   TWindowType window = TWindowType::wtHamming) {
        SetBands(Eq, ReferenceBands(frequencies, gains));
        Eq.SetWindowType(window);
    }
    void Start(std::uint32_t rate, unsigned channels, unsigned bits) {
        FRate = rate;
        FChannels = channels;
        FBits = bits;
        Source.Start(rate, channels, bits);
    }
    void Send(const std::vector<std::uint8_t>& data) {
        const std::uint32_t frames = std::uint32_t(data.size() / (FChannels * BytesFor(FBits)));
        TAudioBuffer buffer = TAudioBuffer::Create(FRate, 0, frames, FChannels, FBits);
        std::copy(data.begin(), data.end(), buffer.OverwriteData());
        Source.Output.SendBuffer(buffer);
    }
    // Sends a buffer and returns what reached the sink (unthreaded streams).
    std::vector<std::uint8_t> Filter(const std::vector<std::uint8_t>& data) {
        Send(data);
        return Received(Sink.Buffers().size() - 1);
    }
    std::vector<std::uint8_t> Received(std::size_t index) const {
        const TAudioBuffer& buffer = *Sink.Buffers().at(index);
        return {buffer.RawData(), buffer.RawData() + buffer.DataSize()};
    }

    TTestSource Source;
    TGraphicEqualizer Eq;
    TTestSink Sink;

private:
    std::uint32_t FRate = 44100;
    unsigned FChannels = 2, FBits = 16;
};

} // namespace EqualizerTesting
