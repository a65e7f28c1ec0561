#pragma once

// Every audio component owns one TComponentLock. Threads that reach a component (the GUI thread
// for properties, starts and stops; capture and filter threads for pin handlers) all take it.
//
// Rules:
// - The lock is exclusive and recursive per thread; read and write sections do the same thing,
//   the name only states intent.
// - A thread that does not own the lock waits for it, but gives up (the section reports
//   failure) as soon as a stop is pending or held. Callers then do nothing and return their
//   neutral result.
// - A stop section marks the stop pending before it waits, so handlers arriving meanwhile give
//   up instead of queueing behind the stop; this is what lets a stop join a worker thread that
//   would otherwise wait for the lock.
// - An unlock section releases every level the current thread holds and takes them all back
//   when it ends (waiting for the lock even while a stop is pending: the code after it expects
//   to own the lock again).
// - Paired locks (a component lock plus a filter's processing lock) are always taken in that
//   order and given back in the reverse order.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class IComponentLock {
public:
    virtual ~IComponentLock() = default;
    // Read and write sections: true when the lock is now held one level more.
    virtual bool Enter() = 0;
    // As Enter, but gives up after the timeout as well.
    virtual bool EnterWithin(std::chrono::milliseconds timeout) = 0;
    virtual void Leave() = 0;
    // Stop sections: never fail.
    virtual void EnterStop() = 0;
    virtual void LeaveStop() = 0;
    // Unlock sections: the number of levels released (0 when the thread did not own the lock).
    virtual unsigned ReleaseAll() = 0;
    virtual void Retake(unsigned levels) = 0;
    virtual bool OwnedByCurrentThread() const = 0;
    virtual bool StopPending() const = 0;
};

class TComponentLock : public IComponentLock {
public:
    bool Enter() override;
    bool EnterWithin(std::chrono::milliseconds timeout) override;
    void Leave() override;
    void EnterStop() override;
    void LeaveStop() override;
    unsigned ReleaseAll() override;
    void Retake(unsigned levels) override;
    bool OwnedByCurrentThread() const override;
    bool StopPending() const override;

private:
    mutable std::mutex FMutex;
    std::condition_variable FReleased;
    std::thread::id FOwner;
    unsigned FDepth = 0;
    unsigned FStops = 0; // stop sections pending or held, by any thread
};

// Sections are scope guards; test Entered() after constructing a read or write section.
class TReadLockSection {
public:
    explicit TReadLockSection(IComponentLock& lock) : FLock(lock), FEntered(lock.Enter()) {}
    ~TReadLockSection() {
        if (FEntered)
            FLock.Leave();
    }
    TReadLockSection(const TReadLockSection&) = delete;
    TReadLockSection& operator=(const TReadLockSection&) = delete;
    bool Entered() const { return FEntered; }
    explicit operator bool() const { return FEntered; }

private:
    IComponentLock& FLock;
    bool FEntered;
};

class TWriteLockSection : public TReadLockSection {
public:
    using TReadLockSection::TReadLockSection;
};

class TStopLockSection {
public:
    explicit TStopLockSection(IComponentLock& lock) : FLock(lock) { FLock.EnterStop(); }
    ~TStopLockSection() { FLock.LeaveStop(); }
    TStopLockSection(const TStopLockSection&) = delete;
    TStopLockSection& operator=(const TStopLockSection&) = delete;

private:
    IComponentLock& FLock;
};

class TUnlockSection {
public:
    explicit TUnlockSection(IComponentLock* lock)
        : FLock(lock), FLevels(lock ? lock->ReleaseAll() : 0) {}
    ~TUnlockSection() {
        if (FLevels)
            FLock->Retake(FLevels);
    }
    TUnlockSection(const TUnlockSection&) = delete;
    TUnlockSection& operator=(const TUnlockSection&) = delete;

private:
    IComponentLock* FLock;
    unsigned FLevels;
};

// A filter's main lock: the component lock and the processing lock as one. Each section takes
// the component lock first, then the processing lock. A thread that already holds only the
// processing lock (a worker inside a hook) would take them in the inverse order and could
// deadlock with a setter that holds the component lock and waits for processing; it therefore
// waits for the component lock only briefly and otherwise fails like a stopped section.
class TPairedLock : public IComponentLock {
public:
    static constexpr std::chrono::milliseconds InverseOrderWait{20};

    TPairedLock(IComponentLock& first, IComponentLock& second) : FFirst(first), FSecond(second) {}
    bool Enter() override;
    bool EnterWithin(std::chrono::milliseconds timeout) override;
    void Leave() override;
    void EnterStop() override;
    void LeaveStop() override;
    unsigned ReleaseAll() override;
    void Retake(unsigned levels) override;
    bool OwnedByCurrentThread() const override;
    bool StopPending() const override;

private:
    IComponentLock& FFirst;
    IComponentLock& FSecond;
};
