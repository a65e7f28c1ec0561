#include "equalizer/GraphicEqualizer.h"

#include "equalizer/Crossfade.h"
#include "equalizer/EqualizerSamples.h"
#include "equalizer/FirBlock.h"

#include <cstring>
#include <utility>

// ---- TGraphicEqualizerChannelItem ----

TGraphicEqualizerChannelItem::TGraphicEqualizerChannelItem(TGraphicEqualizer& owner,
                                                           double frequency)
    : FOwner(owner), FFrequency(frequency) {}

double TGraphicEqualizerChannelItem::Coefficient() const {
    return FCoefficient;
}

double TGraphicEqualizerChannelItem::Frequency() const {
    return FFrequency;
}

bool TGraphicEqualizerChannelItem::Enabled() const {
    return FEnabled;
}

void TGraphicEqualizerChannelItem::SetCoefficient(double value) {
    FOwner.ChangeBand(FCoefficient, value);
}

void TGraphicEqualizerChannelItem::SetFrequency(double value) {
    FOwner.ChangeBand(FFrequency, value);
}

void TGraphicEqualizerChannelItem::SetEnabled(bool value) {
    FOwner.ChangeBand(FEnabled, value);
}

// ---- TGraphicEqualizerChannels ----

TGraphicEqualizerChannelItem& TGraphicEqualizerChannels::Add() {
    const double frequency = FItems.empty() ? 31.25 : 2.0 * FItems.back()->Frequency();
    auto item = std::make_unique<TGraphicEqualizerChannelItem>(FOwner, frequency);
    std::lock_guard guard(FOwner.FBandsGuard);
    FItems.push_back(std::move(item));
    return *FItems.back();
}

void TGraphicEqualizerChannels::Delete(int index) {
    std::unique_ptr<TGraphicEqualizerChannelItem> removed;
    std::lock_guard guard(FOwner.FBandsGuard);
    removed = std::move(FItems.at(std::size_t(index)));
    FItems.erase(FItems.begin() + index);
}

void TGraphicEqualizerChannels::Clear() {
    std::vector<std::unique_ptr<TGraphicEqualizerChannelItem>> removed;
    std::lock_guard guard(FOwner.FBandsGuard);
    removed.swap(FItems);
}

void TGraphicEqualizerChannels::Assign(const TGraphicEqualizerChannels& other) {
    if (&other == this)
        return;
    Clear();
    for (int i = 0; i < other.Count(); ++i) {
        const TGraphicEqualizerChannelItem& source = other.Items(i);
        TGraphicEqualizerChannelItem& item = Add();
        item.SetFrequency(source.Frequency());
        item.SetCoefficient(source.Coefficient());
        item.SetEnabled(source.Enabled());
    }
}

// ---- TGraphicEqualizer ----

TGraphicEqualizer::TGraphicEqualizer() : FChannels(*this) {}

TGraphicEqualizer::~TGraphicEqualizer() {
    Shutdown();
}

template <typename T> void TGraphicEqualizer::ChangeBand(T& field, T value) {
    {
        TWriteLockSection section(*ProcessingLock());
        if (!section || field == value)
            return;
        field = value;
    }
    RequestRedesign();
}

TWindowType TGraphicEqualizer::WindowType() const {
    return FWindowType;
}

void TGraphicEqualizer::SetWindowType(TWindowType value) {
    TWriteLockSection section(MainLock());
    if (!section)
        return;
    FWindowType = value;
    RequestRedesign();
}

double TGraphicEqualizer::Alpha() const {
    return FAlpha;
}

void TGraphicEqualizer::SetAlpha(double value) {
    TWriteLockSection section(MainLock());
    if (!section || FAlpha == value)
        return;
    FAlpha = value;
    RequestRedesign();
}

void TGraphicEqualizer::RequestRedesign() {
    TWriteLockSection section(MainLock());
    if (section && FFiltersReady)
        FRedesignPending = true;
}

std::vector<double> TGraphicEqualizer::Taps() const {
    std::lock_guard guard(FTapsGuard);
    return FTaps;
}

std::vector<TEqualizerBand> TGraphicEqualizer::EnabledBands() const {
    std::lock_guard guard(FBandsGuard);
    std::vector<TEqualizerBand> bands;
    for (int i = 0; i < FChannels.Count(); ++i) {
        const TGraphicEqualizerChannelItem& item = FChannels.Items(i);
        if (item.Enabled())
            bands.push_back({item.Frequency(), item.Coefficient()});
    }
    return bands;
}

int TGraphicEqualizer::EnabledBandCount() const {
    std::lock_guard guard(FBandsGuard);
    int count = 0;
    for (int i = 0; i < FChannels.Count(); ++i)
        count += FChannels.Items(i).Enabled() ? 1 : 0;
    return count;
}

void TGraphicEqualizer::StartWave(const TStartWaveOperation& start) {
    TCommonFilter::StartWave(start);
    TWriteLockSection section(MainLock());
    if (!section)
        return;
    // A change that arrived after the last buffer of an earlier stream is part of this design;
    // replaying that stream's history (perhaps of another format) into this one would be wrong.
    FRedesignPending = false;
    FLastOutput = TLastOutput::Nothing;
    RebuildFilters();
}

void TGraphicEqualizer::StopProcessing() {
    TCommonFilter::StopProcessing();
    FreeFilters();
}

void TGraphicEqualizer::FreeFilters() {
    TWriteLockSection section(MainLock());
    if (!section || !FFiltersReady)
        return;
    FFiltersReady = false;
    FFilters.clear();
}

void TGraphicEqualizer::RebuildFilters(TFirStates* replaced) {
    TWriteLockSection section(MainLock());
    if (!section)
        return;
    if (replaced && FFiltersReady)
        *replaced = std::exchange(FFilters, {});
    FreeFilters();

    const std::vector<TEqualizerBand> bands = EnabledBands();
    const TWaveFormatExtensible format = Format();
    std::vector<double> taps =
        bands.size() >= 2
            ? DesignResponse(bands, double(format.nSamplesPerSec), FWindowType, FAlpha)
            : std::vector<double>(std::size_t(TapCount), 1.0);
    {
        std::lock_guard guard(FTapsGuard);
        FTaps = taps;
    }
    FFilters.clear();
    for (unsigned c = 0; c < format.nChannels; ++c)
        FFilters.emplace_back(SignalPrimitives::FirInitAlloc(FTaps.data(), TapCount, nullptr));
    FFiltersReady = true;

    if (FRedesignPending) {
        FRedesignPending = false;
        // The new delay lines start from the most recent input instead of silence; the output
        // of this replay is not wanted.
        if (!FHistory.Empty() && FHistory.Channels() == FFilters.size()) {
            TAudioBuffer replay = FHistory.CreateShared();
            FilterFrames(replay.WritableData(), replay.FrameCount(), &FFilters, &FFilters);
        }
        return;
    }
    const std::uint32_t frames = TapCount / 2;
    FHistory = TAudioBuffer::Create(format.nSamplesPerSec, format.dwChannelMask, frames,
                                    format.nChannels, format.wBitsPerSample);
    std::uint8_t* data = FHistory.OverwriteData();
    std::memset(data, format.wBitsPerSample <= 8 ? EqualizerSilence8 : 0, FHistory.DataSize());
    FHistoryPosition = 0;
}

void TGraphicEqualizer::UpdateHistory(const TAudioBuffer& input) {
    if (FHistory.Empty() || FHistory.BlockAlign() != input.BlockAlign() || input.BlockAlign() == 0)
        return;
    const std::uint32_t size = FHistory.FrameCount();
    const std::size_t align = input.BlockAlign();
    const std::uint32_t frames = input.FrameCount();
    std::uint8_t* history = FHistory.WritableData();
    const std::uint8_t* source = input.RawData();
    if (frames > size) {
        std::memcpy(history, source + (frames - size) * align, size * align);
        FHistoryPosition = size;
        return;
    }
    for (std::uint32_t i = 0; i < frames; ++i) {
        if (FHistoryPosition >= size)
            FHistoryPosition = 0;
        std::memcpy(history + FHistoryPosition * align, source + i * align, align);
        ++FHistoryPosition;
    }
}

bool TGraphicEqualizer::FitsStream(const TAudioBuffer& buffer) const {
    return buffer.Channels() == FFilters.size() &&
           buffer.ContainerBits() == Format().wBitsPerSample;
}

void TGraphicEqualizer::FilterFrames(std::uint8_t* data, std::uint32_t frames, TFirStates* from,
                                     TFirStates* to) {
    const TWaveFormatExtensible format = Format();
    const TSampleLayout layout = SampleLayoutFor(format.wBitsPerSample);
    if (layout.Bytes == 0 || frames == 0)
        return;
    const std::size_t channels = FFilters.size();
    const bool fade = from != to;
    if (FScratch.size() < frames)
        FScratch.resize(frames);
    if (fade && FFadeFrom.size() < frames)
        FFadeFrom.resize(frames);
    for (std::size_t c = 0; c < channels; ++c) {
        std::uint8_t* first = data + c * layout.Bytes;
        const std::size_t step = channels * layout.Bytes;
        ReadSamples(layout, first, step, FScratch.data(), frames);
        if (fade) {
            std::copy_n(FScratch.data(), frames, FFadeFrom.data());
            if (from)
                FirBlockInPlace(*(*from)[c], FFadeFrom.data(), int(frames), FWork);
        }
        if (to)
            FirBlockInPlace(*(*to)[c], FScratch.data(), int(frames), FWork);
        if (fade)
            CrossfadeInPlace(FFadeFrom.data(), FScratch.data(), frames);
        WriteSamples(layout, FScratch.data(), first, step, frames);
    }
}

void TGraphicEqualizer::ProcessBuffer(TAudioBuffer& input, TAudioBuffer& output, bool&) {
    output.Assign(input);
    if (EnabledBandCount() < 2) {
        FLastOutput = TLastOutput::Nothing; // passed as it is, with no history to fade from
        return;
    }
    if (!FFiltersReady)
        return; // a buffer before any start passes unchanged
    const TLastOutput last = FLastOutput;
    // Coming back from unfiltered sound, the delay lines are primed afresh from the recent
    // input; a design that was heard goes on through this buffer while the new one fades in.
    TFirStates heard;
    if (FRedesignPending || last == TLastOutput::Unfiltered) {
        FRedesignPending = true;
        RebuildFilters(last == TLastOutput::Filtered ? &heard : nullptr);
    }
    UpdateHistory(input);
    if (!FitsStream(input))
        return; // not the stream's format: nothing sensible to filter
    TFirStates* from = &FFilters;
    if (last == TLastOutput::Unfiltered)
        from = nullptr;
    else if (!heard.empty())
        from = &heard;
    FilterFrames(input.WritableData(), input.FrameCount(), from, &FFilters);
    FLastOutput = TLastOutput::Filtered;
    output.Assign(input);
}

void TGraphicEqualizer::BypassBuffer(TAudioBuffer& input, TAudioBuffer& output, bool&) {
    if (!FFiltersReady || EnabledBandCount() < 2)
        return;
    // The history follows the input while switched off, so that switching on primes the delay
    // lines with the sound just heard.
    UpdateHistory(input);
    const bool wasFiltered = FLastOutput == TLastOutput::Filtered;
    FLastOutput = TLastOutput::Unfiltered;
    if (!wasFiltered || !FitsStream(input))
        return;
    // The filter runs through one more buffer while the unfiltered sound fades in.
    FilterFrames(input.WritableData(), input.FrameCount(), &FFilters, nullptr);
    output.Assign(input);
}
