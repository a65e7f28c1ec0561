#pragma once

// The graphic equalizer: one 41-tap linear-phase FIR filter per channel whose taps are the sum
// of one windowed-sinc filter per enabled band (low-pass, band-passes, high-pass), each scaled
// by its band's gain.
//
// Threads: band and window setters run on the GUI thread; buffers are filtered on the filter's
// worker thread (or the delivering thread without threading). A change never redesigns on the
// GUI thread: it marks a redesign, which the processing thread runs before its next buffer,
// priming the new delay lines with the last 20 input frames.
//
// The filter delays the sound by 20 frames and shapes it, so a cut from filtered to unfiltered
// sound or from one design to another would be heard as a click. Each such change (switching
// Enabled, a redesign while filtered sound is heard) therefore fades from the old sound to the
// new over the first buffer after it, adding no delay. While switched off the history still
// follows the input, so that switching on primes the delay lines with the sound just heard.

#include "equalizer/CommonFilter.h"
#include "equalizer/SignalPrimitives.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

enum class TWindowType { wtRect, wtBartlett, wtBlackman, wtHamming, wtHanning, wtKaiser };

class TGraphicEqualizer;

class TGraphicEqualizerChannelItem {
public:
    explicit TGraphicEqualizerChannelItem(TGraphicEqualizer& owner, double frequency);

    double Coefficient() const;
    void SetCoefficient(double value);
    double Frequency() const;
    void SetFrequency(double value);
    bool Enabled() const;
    void SetEnabled(bool value);

private:
    TGraphicEqualizer& FOwner;
    double FCoefficient = 1.0;
    double FFrequency;
    bool FEnabled = true;
};

// The bands, in the order they were added.
class TGraphicEqualizerChannels {
public:
    explicit TGraphicEqualizerChannels(TGraphicEqualizer& owner) : FOwner(owner) {}

    int Count() const { return int(FItems.size()); }
    TGraphicEqualizerChannelItem& Items(int index) { return *FItems.at(std::size_t(index)); }
    const TGraphicEqualizerChannelItem& Items(int index) const {
        return *FItems.at(std::size_t(index));
    }
    // A new band at twice the last band's frequency (31.25 Hz for the first).
    TGraphicEqualizerChannelItem& Add();
    void Delete(int index);
    void Clear();
    // Copies the other collection's items (frequency, gain, enabled).
    void Assign(const TGraphicEqualizerChannels& other);

private:
    TGraphicEqualizer& FOwner;
    std::vector<std::unique_ptr<TGraphicEqualizerChannelItem>> FItems;
};

struct TEqualizerBand;

struct TFirStateFree {
    void operator()(SignalPrimitives::TFirState* state) const { SignalPrimitives::FirFree(state); }
};
using TFirStates = std::vector<std::unique_ptr<SignalPrimitives::TFirState, TFirStateFree>>;

class TGraphicEqualizer : public TCommonFilter {
public:
    static constexpr int TapCount = 41;

    TGraphicEqualizer();
    ~TGraphicEqualizer() override;

    std::string ClassName() const override { return "TGraphicEqualizer"; }

    TGraphicEqualizerChannels& Channels() { return FChannels; }
    const TGraphicEqualizerChannels& Channels() const { return FChannels; }
    void SetChannels(const TGraphicEqualizerChannels& value) { FChannels.Assign(value); }

    TWindowType WindowType() const;
    void SetWindowType(TWindowType value); // redesigns even when the value is the same
    double Alpha() const;
    void SetAlpha(double value);

    void RequestRedesign();

    // The taps of the current design (empty before the first start), for tests and tools.
    std::vector<double> Taps() const;

protected:
    void StartWave(const TStartWaveOperation& start) override;
    void StopProcessing() override;
    void ProcessBuffer(TAudioBuffer& input, TAudioBuffer& output, bool& send) override;
    void BypassBuffer(TAudioBuffer& input, TAudioBuffer& output, bool& send) override;

private:
    // What the last buffer of the stream carried on, so that the next can fade from it.
    enum class TLastOutput { Nothing, Unfiltered, Filtered };
    friend class TGraphicEqualizerChannelItem;
    friend class TGraphicEqualizerChannels;

    // The states it replaces are freed, or handed to `replaced` when given.
    void RebuildFilters(TFirStates* replaced = nullptr);
    void FreeFilters();

    // Stores a band's field under the processing lock when it changes, then asks for a redesign.
    template <typename T> void ChangeBand(T& field, T value);
    // The enabled bands in collection order.
    std::vector<TEqualizerBand> EnabledBands() const;
    int EnabledBandCount() const;
    void UpdateHistory(const TAudioBuffer& input);
    // Whether the buffer is in the stream's format, so that the channel states fit it.
    bool FitsStream(const TAudioBuffer& buffer) const;
    // Filters n interleaved frames of the stream's format in place through the channel states
    // `to` (null: the input as it is). When `from` names other states (null: the input as it
    // is), the frames move from what those give to what `to` gives.
    void FilterFrames(std::uint8_t* data, std::uint32_t frames, TFirStates* from, TFirStates* to);

    TGraphicEqualizerChannels FChannels;
    TWindowType FWindowType = TWindowType::wtHamming;
    double FAlpha = 1.0;

    // Guards the collection's item list against the processing thread's reads: items may be
    // added or removed on the GUI thread while a stream runs.
    mutable std::mutex FBandsGuard;
    // Guards FTaps for readers outside the processing thread (Taps()).
    mutable std::mutex FTapsGuard;
    std::vector<double> FTaps;
    TFirStates FFilters;
    bool FFiltersReady = false;
    bool FRedesignPending = false;
    TLastOutput FLastOutput = TLastOutput::Nothing;
    TAudioBuffer FHistory;
    std::uint32_t FHistoryPosition = 0;
    // Per-buffer work space of the block filter (grown, never shrunk).
    std::vector<double> FScratch;
    std::vector<double> FFadeFrom;
    std::vector<double> FWork;
};

// The design of the taps from the bands' frequencies and gains (enabled bands only, in
// collection order) at a sample rate; needs at least two bands. Bands end at half the sample
// rate; those that would start at or above it contribute nothing. Pure.
struct TEqualizerBand {
    double Frequency;
    double Coefficient;
};
std::vector<double> DesignResponse(std::vector<TEqualizerBand> bands, double sampleRate,
                                   TWindowType window, double alpha);
