#include "audio/ComponentLock.h"

#include <chrono>

bool TComponentLock::Enter() {
    const auto self = std::this_thread::get_id();
    std::unique_lock guard(FMutex);
    if (FDepth > 0 && FOwner == self) {
        ++FDepth;
        return true;
    }
    FReleased.wait(guard, [this] { return FStops > 0 || FDepth == 0; });
    if (FStops > 0)
        return false;
    FOwner = self;
    FDepth = 1;
    return true;
}

bool TComponentLock::EnterWithin(std::chrono::milliseconds timeout) {
    const auto self = std::this_thread::get_id();
    std::unique_lock guard(FMutex);
    if (FDepth > 0 && FOwner == self) {
        ++FDepth;
        return true;
    }
    if (!FReleased.wait_for(guard, timeout, [this] { return FStops > 0 || FDepth == 0; }))
        return false;
    if (FStops > 0)
        return false;
    FOwner = self;
    FDepth = 1;
    return true;
}

void TComponentLock::Leave() {
    std::lock_guard guard(FMutex);
    if (FDepth == 0 || FOwner != std::this_thread::get_id())
        return;
    if (--FDepth == 0) {
        FOwner = {};
        FReleased.notify_all();
    }
}

void TComponentLock::EnterStop() {
    const auto self = std::this_thread::get_id();
    std::unique_lock guard(FMutex);
    ++FStops;
    // Waiters must see the stop at once and give up.
    FReleased.notify_all();
    if (FDepth > 0 && FOwner == self) {
        ++FDepth;
        return;
    }
    // The wait is without limit; the slices only keep a stuck stop visible in a debugger.
    while (FDepth != 0)
        FReleased.wait_for(guard, std::chrono::milliseconds(1000));
    FOwner = self;
    FDepth = 1;
}

void TComponentLock::LeaveStop() {
    std::lock_guard guard(FMutex);
    if (FStops > 0)
        --FStops;
    if (FDepth > 0 && FOwner == std::this_thread::get_id() && --FDepth == 0)
        FOwner = {};
    FReleased.notify_all();
}

unsigned TComponentLock::ReleaseAll() {
    std::lock_guard guard(FMutex);
    if (FDepth == 0 || FOwner != std::this_thread::get_id())
        return 0;
    const unsigned levels = FDepth;
    FDepth = 0;
    FOwner = {};
    FReleased.notify_all();
    return levels;
}

void TComponentLock::Retake(unsigned levels) {
    if (levels == 0)
        return;
    std::unique_lock guard(FMutex);
    FReleased.wait(guard, [this] { return FDepth == 0; });
    FOwner = std::this_thread::get_id();
    FDepth = levels;
}

bool TComponentLock::OwnedByCurrentThread() const {
    std::lock_guard guard(FMutex);
    return FDepth > 0 && FOwner == std::this_thread::get_id();
}

bool TComponentLock::StopPending() const {
    std::lock_guard guard(FMutex);
    return FStops > 0;
}

bool TPairedLock::Enter() {
    const bool inverse = FSecond.OwnedByCurrentThread() && !FFirst.OwnedByCurrentThread();
    if (!(inverse ? FFirst.EnterWithin(InverseOrderWait) : FFirst.Enter()))
        return false;
    if (FSecond.Enter())
        return true;
    FFirst.Leave();
    return false;
}

bool TPairedLock::EnterWithin(std::chrono::milliseconds timeout) {
    if (!FFirst.EnterWithin(timeout))
        return false;
    if (FSecond.EnterWithin(timeout))
        return true;
    FFirst.Leave();
    return false;
}

void TPairedLock::Leave() {
    FSecond.Leave();
    FFirst.Leave();
}

void TPairedLock::EnterStop() {
    FFirst.EnterStop();
    FSecond.EnterStop();
}

void TPairedLock::LeaveStop() {
    FSecond.LeaveStop();
    FFirst.LeaveStop();
}

// Levels are packed so that one unlock section can restore both locks, first lock first.
unsigned TPairedLock::ReleaseAll() {
    const unsigned second = FSecond.ReleaseAll();
    const unsigned first = FFirst.ReleaseAll();
    return (first << 16) | (second & 0xFFFF);
}

void TPairedLock::Retake(unsigned levels) {
    FFirst.Retake(levels >> 16);
    FSecond.Retake(levels & 0xFFFF);
}

bool TPairedLock::OwnedByCurrentThread() const {
    return FFirst.OwnedByCurrentThread() && FSecond.OwnedByCurrentThread();
}

bool TPairedLock::StopPending() const {
    return FFirst.StopPending() || FSecond.StopPending();
}
