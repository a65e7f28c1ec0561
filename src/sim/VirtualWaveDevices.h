#pragma once

// The virtual line-in and line-out: wave devices that keep real time by their own clock
// (SimClock.h) instead of a sound card's.
//
// Line-in: Start starts its clock; each queued buffer, in order, is filled with the tuner's
// sound when its last frame falls due and handed back (Data, whole buffer). Like a sound
// card's ring, it makes up for a late buffer by filling it at once; when no buffer has been
// there for longer than a ring of 8 buffers, that sound is lost and the stream goes on from
// now. Pause: WaveErrorNotSupported. Reset: stops; every held buffer comes back (Data), the
// one being filled with the sound due so far, the others empty; Start begins again.
//
// Line-out: opens playing. Up to 4 buffers are taken into its ring, each reported Done as it
// is taken (paused or not), so Done is at most four buffers ahead of what is heard. While
// playing, the ring's first buffer plays for its duration, then leaves the ring (and goes to
// the recording); a ring that runs empty while playing sends Underrun (no header) and the
// device waits, paused, for Start. Pause holds the sound where it is (the rest of the buffer
// under way plays after Start). Reset: paused, the ring emptied unplayed, every queued buffer
// handed back (Done). Only one line-out of a system is open at a time (WaveErrorAllocated),
// so that one recording holds one stream.
//
// Both: the callback runs on the device's driver thread, never with the device's lock held;
// Reset returns when every buffer has come back; Close ends the driver thread, after which
// the buffers still held are never touched and every call answers WaveErrorInvalidHandle.
//
// Threads: the controlling thread calls the handle (WaveDevice.h); the driver thread does the
// timed work, every callback and the recording. The lock guards the queue, the ring's
// bookkeeping, the clock and the commands; it is never held across a sleep, a callback or a
// file write. The ring's sample copies and the sound generator belong to the driver thread.

#include "SimClock.h"
#include "StationSound.h"
#include "WavFile.h"
#include "platform/sound/WaveDevice.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// What the line-outs of one system share.
struct TVirtualOutputShared {
    std::atomic<bool> Open = false;
    std::unique_ptr<TWavFile> Recording; // none when not recording
};

class TVirtualWaveHandle : public TWaveHandle {
public:
    ~TVirtualWaveHandle() override;
    std::uint32_t AddBuffer(TWaveHeader* header) override;
    std::uint32_t Reset() override;
    std::uint32_t Close() override;

protected:
    TVirtualWaveHandle(const TWaveFormat& format, TWaveCallback callback, double clockRate);

    // The most derived constructor starts the driver thread, its destructor calls Close.
    void Launch(const char* threadName);
    // Driver thread, lock held: one piece of work; false when there is nothing to do until a
    // command comes. Whoever releases the lock on the way returns true.
    virtual bool Step(std::unique_lock<std::mutex>& lock) = 0;
    // Driver thread, lock held: stop and hand every held buffer back.
    virtual void ServeReset(std::unique_lock<std::mutex>& lock) = 0;
    // Controlling thread, after the driver thread has ended.
    virtual void Closed() {}

    // Controlling thread, lock held: makes the driver thread look at its state again.
    void Wake();
    // Driver thread: sleeps until deadline with the lock released; false when woken first.
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::int64_t deadline);
    // Driver thread: calls the callback with the lock released.
    void Call(std::unique_lock<std::mutex>& lock, TWaveMessage message, TWaveHeader* header);
    std::uint64_t Frames(const TWaveHeader* header) const;

    const TWaveFormat FFormat;
    std::mutex FLock;
    TSimClock FClock;
    std::deque<TWaveHeader*> FQueue;
    bool FClosed = false; // controlling thread only

private:
    void Run(const char* threadName);

    TWaveCallback FCallback;
    std::condition_variable FWake;
    std::condition_variable FResetDone;
    std::atomic<bool> FInterrupt = false;
    bool FQuit = false;
    bool FResetRequested = false;
    std::thread FThread;
};

class TVirtualLineIn final : public TVirtualWaveHandle {
public:
    // clockRate: 1.0 keeps real time; tests may run the clock a known fraction fast.
    TVirtualLineIn(const TWaveFormat& format, TWaveCallback callback,
                   std::shared_ptr<const TVirtualTuner> tuner, double clockRate = 1.0);
    ~TVirtualLineIn() override;

    std::uint32_t Start() override;
    std::uint32_t Pause() override;

private:
    bool Step(std::unique_lock<std::mutex>& lock) override;
    void ServeReset(std::unique_lock<std::mutex>& lock) override;
    void FillBuffer(std::uint64_t frames, TWaveHeader* header);

    const std::shared_ptr<const TVirtualTuner> FTuner;
    TStationSound FSound;      // driver thread
    bool FStarted = false;     // under the lock, like the rest
    std::uint64_t FFilled = 0; // frames since Start handed back or lost
};

class TVirtualLineOut final : public TVirtualWaveHandle {
public:
    static constexpr std::size_t RingBuffers = 4;

    // shared: the system's recording and open flag (none in tests of the device alone).
    TVirtualLineOut(const TWaveFormat& format, TWaveCallback callback,
                    std::shared_ptr<TVirtualOutputShared> shared, double clockRate = 1.0);
    ~TVirtualLineOut() override;

    std::uint32_t Start() override;
    std::uint32_t Pause() override;

private:
    struct TSlot {
        std::uint64_t Frames = 0;
        std::vector<std::uint8_t> Bytes; // a copy, kept only when recording
    };

    bool Step(std::unique_lock<std::mutex>& lock) override;
    void ServeReset(std::unique_lock<std::mutex>& lock) override;
    void Closed() override;
    TWavFile* Recording() const;

    const std::shared_ptr<TVirtualOutputShared> FShared;
    std::array<TSlot, RingBuffers> FRing;
    std::size_t FRingHead = 0;
    std::size_t FRingCount = 0;
    bool FPlaying = true;
    bool FClockRunning = false;     // the clock counts the ring's sound being played
    std::uint64_t FClockFrames = 0; // frames played since the clock started
    std::uint64_t FHeadPlayed = 0;  // of the first buffer, before a pause
};
