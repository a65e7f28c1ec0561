#pragma once

// The RMS level meter: the captured stream is cut into windows of Period milliseconds, each
// channel of a window passes a DC blocker (so that the offset of 8-bit samples and any bias of
// the sound card do not count) and its root mean square, in sample units, goes to the GUI
// thread. Buffers are queued until a window is complete; a window may span several buffers.
//
// The queue, the windows and the filter states belong to the capture thread (under the
// component lock); see CommonMeter.h for the hand-over.

#include "equalizer/CommonMeter.h"
#include "equalizer/SignalPrimitives.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

// Frames of one window: period * rate / 1000 (integer division), at least 1, at most what the
// signal primitives take.
std::uint32_t MeterWindowFrames(std::uint32_t periodMs, std::uint32_t sampleRate);

// The DC blocker y[n] = x[n-1] - x[n-2] + R y[n-1], R = 1 - 40 pi / rate (a corner near 20 Hz):
// its pole, computed in extended precision and kept in single precision, and its taps in the
// order IirInitAlloc takes them (b0, b1, b2, a0, a1, a2).
float DcBlockerPole(std::uint32_t sampleRate);
std::array<float, 6> DcBlockerTaps(std::uint32_t sampleRate);

// One channel of n samples of a container of 8, 16, 24 or 32 bits into floats: 8-bit samples as
// their unsigned value 0..255, the others as their signed value. The source steps by `step`
// bytes.
void ConvertMeterSamples(const std::uint8_t* source, int step, unsigned containerBits,
                         float* target, int n);

// Filters the block in place (the history carries over in filter), squares it and returns
// sqrt(single-precision sum / n).
double WindowRms(float* block, int n, SignalPrimitives::TIirState& filter);

// Buffers received and not yet measured, in arrival order, and how far the first is read.
class TMeterBufferQueue {
public:
    void Clear();
    void Append(TAudioBuffer buffer);
    // Frames held, counting those of the first buffer already read.
    std::uint64_t Total() const { return FTotal; }
    // More than `frames` frames beyond the read position (strictly).
    bool HoldsMoreThan(std::uint32_t frames) const {
        return FTotal > std::uint64_t(frames) + FReadPosition;
    }
    // Takes `frames` frames from the read position on (HoldsMoreThan(frames) must hold): calls
    // piece(firstFrame, count, offset) for each run of frames within one buffer, offset being
    // the number of frames taken before it. A buffer read to its end leaves the queue.
    template <typename Piece> void Take(std::uint32_t frames, Piece&& piece);

private:
    std::deque<TAudioBuffer> FBuffers;
    std::uint64_t FTotal = 0;
    std::uint32_t FReadPosition = 0;
};

class TVUMeter : public TCommonMeter {
public:
    TVUMeter() = default;
    ~TVUMeter() override;

    std::string ClassName() const override { return "TVUMeter"; }

    // For tests and diagnostics, from the thread that sends the buffers.
    std::uint32_t WindowFrames() const { return FWindow; }
    const TMeterBufferQueue& Queue() const { return FQueue; }

protected:
    void StartMeasure(const TWaveFormatExtensible& format) override;
    void PeriodChanged() override;
    bool MeasureBuffer(const TAudioBuffer& buffer, std::vector<double>& values) override;

private:
    struct TIirDeleter {
        void operator()(SignalPrimitives::TIirState* state) const {
            SignalPrimitives::IirFree(state);
        }
    };
    using TIirHandle = std::unique_ptr<SignalPrimitives::TIirState, TIirDeleter>;

    void AllocateBlocks();
    void Fill(std::uint32_t channels, std::uint32_t bytesPerSample);

    bool FReady = false; // a measurable stream has started
    std::uint32_t FWindow = 1;
    TMeterBufferQueue FQueue;
    std::vector<std::vector<float>> FBlocks;
    std::vector<TIirHandle> FFilters;
};

template <typename Piece> void TMeterBufferQueue::Take(std::uint32_t frames, Piece&& piece) {
    std::uint32_t taken = 0;
    while (taken < frames && !FBuffers.empty()) {
        const TAudioBuffer& first = FBuffers.front();
        const std::uint32_t length = first.FrameCount();
        const std::uint32_t count = std::min(length - FReadPosition, frames - taken);
        piece(first.RawData() + std::size_t(FReadPosition) * first.BlockAlign(), count, taken);
        taken += count;
        FReadPosition += count;
        if (FReadPosition >= length) {
            FTotal -= length;
            FBuffers.pop_front();
            FReadPosition = 0;
        }
    }
}
