#include "SimClock.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace {

constexpr std::int64_t kNanoseconds = 1'000'000'000;
// How long a sleep goes on before it looks for a command again: Reset and Close wait at most
// this long, however long a buffer lasts.
constexpr std::int64_t kStep = 25'000'000; // just over one buffer of 1024 frames at 44.1 kHz

timespec ToTimespec(std::int64_t nanoseconds) {
    return {time_t(nanoseconds / kNanoseconds), long(nanoseconds % kNanoseconds)};
}

} // namespace

std::int64_t TSimClock::Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * kNanoseconds + now.tv_nsec;
}

std::int64_t TSimClock::At(std::uint64_t frames, std::uint32_t sampleRate) const {
    const double rate = double(std::max<std::uint32_t>(sampleRate, 1)) * FRate;
    return FAnchor + std::llround(double(frames) * double(kNanoseconds) / rate);
}

std::uint64_t TSimClock::Elapsed(std::uint32_t sampleRate) const {
    const std::int64_t since = std::max<std::int64_t>(Now() - FAnchor, 0);
    return std::uint64_t(double(since) * double(sampleRate) * FRate / double(kNanoseconds));
}

bool TSimClock::SleepUntil(std::int64_t deadline, const std::atomic<bool>& interrupt) {
    for (;;) {
        if (interrupt.load())
            return false;
        const std::int64_t now = Now();
        if (now >= deadline)
            return true;
        const timespec until = ToTimespec(std::min(deadline, now + kStep));
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
}
