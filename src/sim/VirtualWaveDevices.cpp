#include "VirtualWaveDevices.h"

#include <algorithm>
#include <pthread.h>

namespace {

// A capture ring of this many buffers absorbs a late buffer; beyond it the sound is lost.
constexpr std::uint64_t kCaptureRingBuffers = 8;

} // namespace

// The shared driver-thread machinery.

TVirtualWaveHandle::TVirtualWaveHandle(const TWaveFormat& format, TWaveCallback callback,
                                       double clockRate)
    : FFormat(format), FClock(clockRate), FCallback(std::move(callback)) {}

TVirtualWaveHandle::~TVirtualWaveHandle() = default;

void TVirtualWaveHandle::Launch(const char* threadName) {
    FThread = std::thread([this, threadName] { Run(threadName); });
}

void TVirtualWaveHandle::Run(const char* threadName) {
    pthread_setname_np(pthread_self(), threadName);
    std::unique_lock lock(FLock);
    while (!FQuit) {
        if (FResetRequested) {
            ServeReset(lock);
            FResetRequested = false;
            FResetDone.notify_all();
        } else if (!Step(lock)) {
            FWake.wait(lock);
        }
    }
}

void TVirtualWaveHandle::Wake() {
    FInterrupt = true;
    FWake.notify_all();
}

bool TVirtualWaveHandle::WaitUntil(std::unique_lock<std::mutex>& lock, std::int64_t deadline) {
    FInterrupt = false;
    lock.unlock();
    const bool reached = TSimClock::SleepUntil(deadline, FInterrupt);
    lock.lock();
    // A command that came while the lock was being taken again counts as well.
    return reached && !FInterrupt;
}

void TVirtualWaveHandle::Call(std::unique_lock<std::mutex>& lock, TWaveMessage message,
                              TWaveHeader* header) {
    lock.unlock();
    if (FCallback)
        FCallback(message, header);
    lock.lock();
}

std::uint64_t TVirtualWaveHandle::Frames(const TWaveHeader* header) const {
    return header->BufferLength / std::max(FFormat.BlockAlign, 1u);
}

std::uint32_t TVirtualWaveHandle::AddBuffer(TWaveHeader* header) {
    if (FClosed)
        return WaveErrorInvalidHandle;
    if (header == nullptr || (header->Data == nullptr && header->BufferLength > 0))
        return WaveErrorInvalidParam;
    std::lock_guard lock(FLock);
    header->BytesRecorded = 0;
    FQueue.push_back(header);
    Wake();
    return WaveNoError;
}

std::uint32_t TVirtualWaveHandle::Reset() {
    if (FClosed)
        return WaveErrorInvalidHandle;
    std::unique_lock lock(FLock);
    FResetRequested = true;
    Wake();
    FResetDone.wait(lock, [this] { return !FResetRequested; });
    return WaveNoError;
}

std::uint32_t TVirtualWaveHandle::Close() {
    if (FClosed)
        return WaveErrorInvalidHandle;
    {
        std::lock_guard lock(FLock);
        FQuit = true;
        Wake();
    }
    FThread.join();
    FClosed = true;
    Closed();
    return WaveNoError;
}

// The line-in.

TVirtualLineIn::TVirtualLineIn(const TWaveFormat& format, TWaveCallback callback,
                               std::shared_ptr<const TVirtualTuner> tuner, double clockRate)
    : TVirtualWaveHandle(format, std::move(callback), clockRate), FTuner(std::move(tuner)),
      FSound(format) {
    Launch("VirtualLineIn");
}

TVirtualLineIn::~TVirtualLineIn() {
    Close();
}

std::uint32_t TVirtualLineIn::Start() {
    if (FClosed)
        return WaveErrorInvalidHandle;
    std::lock_guard lock(FLock);
    if (!FStarted) {
        FStarted = true;
        FFilled = 0;
        FClock.Restart();
        Wake();
    }
    return WaveNoError;
}

std::uint32_t TVirtualLineIn::Pause() {
    return FClosed ? WaveErrorInvalidHandle : WaveErrorNotSupported;
}

void TVirtualLineIn::FillBuffer(std::uint64_t frames, TWaveHeader* header) {
    if (frames > 0)
        FSound.Fill(FTuner ? FTuner->Sound() : TVirtualTunerSound{}, header->Data, frames);
    header->BytesRecorded = std::uint32_t(frames * FFormat.BlockAlign);
}

bool TVirtualLineIn::Step(std::unique_lock<std::mutex>& lock) {
    if (!FStarted || FQueue.empty())
        return false;
    TWaveHeader* header = FQueue.front();
    const std::uint64_t frames = Frames(header);
    const std::uint64_t due = FClock.Elapsed(FFormat.SampleRate);
    if (due > FFilled + kCaptureRingBuffers * std::max<std::uint64_t>(frames, 1)) {
        FSound.Skip(due - FFilled);
        FFilled = due;
    }
    if (!WaitUntil(lock, FClock.At(FFilled + frames, FFormat.SampleRate)))
        return true;
    FQueue.pop_front();
    FFilled += frames;
    lock.unlock();
    FillBuffer(frames, header);
    lock.lock();
    Call(lock, TWaveMessage::Data, header);
    return true;
}

void TVirtualLineIn::ServeReset(std::unique_lock<std::mutex>& lock) {
    std::deque<TWaveHeader*> held;
    held.swap(FQueue);
    std::uint64_t partial = 0;
    if (FStarted && !held.empty()) {
        const std::uint64_t due = FClock.Elapsed(FFormat.SampleRate);
        partial = std::min(due > FFilled ? due - FFilled : 0, Frames(held.front()));
    }
    FStarted = false;
    lock.unlock();
    for (TWaveHeader* header : held) {
        FillBuffer(partial, header);
        partial = 0;
    }
    lock.lock();
    for (TWaveHeader* header : held)
        Call(lock, TWaveMessage::Data, header);
}

// The line-out.

TVirtualLineOut::TVirtualLineOut(const TWaveFormat& format, TWaveCallback callback,
                                 std::shared_ptr<TVirtualOutputShared> shared, double clockRate)
    : TVirtualWaveHandle(format, std::move(callback), clockRate), FShared(std::move(shared)) {
    if (TWavFile* recording = Recording())
        recording->BeginStream(format);
    Launch("VirtualLineOut");
}

TVirtualLineOut::~TVirtualLineOut() {
    Close();
}

TWavFile* TVirtualLineOut::Recording() const {
    return FShared ? FShared->Recording.get() : nullptr;
}

void TVirtualLineOut::Closed() {
    if (TWavFile* recording = Recording())
        recording->EndStream();
    if (FShared)
        FShared->Open = false;
}

std::uint32_t TVirtualLineOut::Start() {
    if (FClosed)
        return WaveErrorInvalidHandle;
    std::lock_guard lock(FLock);
    if (!FPlaying) {
        FPlaying = true;
        Wake();
    }
    return WaveNoError;
}

std::uint32_t TVirtualLineOut::Pause() {
    if (FClosed)
        return WaveErrorInvalidHandle;
    std::lock_guard lock(FLock);
    if (FPlaying) {
        if (FClockRunning && FRingCount > 0) {
            // What of the first buffer has been heard stays heard.
            const std::uint64_t due = FClock.Elapsed(FFormat.SampleRate);
            const std::uint64_t heard = due > FClockFrames ? due - FClockFrames : 0;
            FHeadPlayed = std::min(FHeadPlayed + heard, FRing[FRingHead].Frames);
        }
        FPlaying = false;
        FClockRunning = false;
        Wake();
    }
    return WaveNoError;
}

bool TVirtualLineOut::Step(std::unique_lock<std::mutex>& lock) {
    if (FRingCount < RingBuffers && !FQueue.empty()) {
        TWaveHeader* header = FQueue.front();
        FQueue.pop_front();
        TSlot& slot = FRing[(FRingHead + FRingCount) % RingBuffers];
        ++FRingCount;
        slot.Frames = Frames(header);
        if (Recording())
            slot.Bytes.assign(header->Data, header->Data + slot.Frames * FFormat.BlockAlign);
        Call(lock, TWaveMessage::Done, header);
        return true;
    }
    if (!FPlaying)
        return false;
    if (FRingCount == 0) {
        if (!FClockRunning)
            return false; // nothing has played yet
        FPlaying = false;
        FClockRunning = false;
        Call(lock, TWaveMessage::Underrun, nullptr);
        return true;
    }
    if (!FClockRunning) {
        FClock.Restart();
        FClockFrames = 0;
        FClockRunning = true;
    }
    TSlot& head = FRing[FRingHead];
    const std::uint64_t rest = head.Frames - FHeadPlayed;
    if (!WaitUntil(lock, FClock.At(FClockFrames + rest, FFormat.SampleRate)))
        return true;
    FClockFrames += rest;
    FHeadPlayed = 0;
    FRingHead = (FRingHead + 1) % RingBuffers;
    --FRingCount;
    if (TWavFile* recording = Recording()) {
        // Only this thread refills the slot, so its bytes stay as they are meanwhile.
        lock.unlock();
        recording->Write(head.Bytes.data(), head.Bytes.size());
        lock.lock();
    }
    return true;
}

void TVirtualLineOut::ServeReset(std::unique_lock<std::mutex>& lock) {
    std::deque<TWaveHeader*> held;
    held.swap(FQueue);
    FRingHead = 0;
    FRingCount = 0;
    FHeadPlayed = 0;
    FPlaying = false;
    FClockRunning = false;
    for (TWaveHeader* header : held)
        Call(lock, TWaveMessage::Done, header);
}
