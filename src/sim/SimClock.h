#pragma once

// The virtual sound devices' time: CLOCK_MONOTONIC counted from an anchor. Every deadline is
// the anchor plus a whole number of frames, never the last wake-up plus a period, so the
// errors of single sleeps never add up. A clock may run a known fraction fast (rate 1.001 is
// 0.1 % fast), which lets tests check what a drifting pair of devices does.

#include <atomic>
#include <cstdint>
#include <ctime>

class TSimClock {
public:
    explicit TSimClock(double rate = 1.0) : FRate(rate > 0 ? rate : 1.0) {}

    void Restart() { FAnchor = Now(); }
    // The moment the frame after the first frames frames falls due.
    std::int64_t At(std::uint64_t frames, std::uint32_t sampleRate) const;
    // Frames due by now.
    std::uint64_t Elapsed(std::uint32_t sampleRate) const;

    static std::int64_t Now(); // nanoseconds
    // Sleeps with clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME) until deadline, in steps
    // short enough to notice interrupt soon; false when interrupt was set first.
    static bool SleepUntil(std::int64_t deadline, const std::atomic<bool>& interrupt);

private:
    double FRate;
    std::int64_t FAnchor = Now();
};
