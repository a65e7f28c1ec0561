#pragma once

// What the capture and output components share around a wave device: the thread that serves
// the device's callbacks, the device state object and the record of one device buffer.
//
// Threads and locks:
// - The device's driver thread only calls Post (through the callback Callback() makes): it
//   appends under the queue lock and signals the semaphore, and never waits for audio work.
// - The wave thread takes one message at a time and hands it to its owner's handler. A
//   handler must not throw; one that does loses that message only.
// - TAudioParams' list lock guards the opened flag, the pacing flag, the generation and the
//   device buffer list. The capture holds it for a whole filled-buffer cycle, the output while
//   it frees or adds a buffer; it is recursive, as the cycle may come back to it.
// - Every open of a device starts a new generation; messages carry the generation of the open
//   that produced them, so a message from an earlier recording that is still queued (or being
//   taken) when the device is opened again never touches the freed buffers of that recording.

#include "audio/AudioBuffer.h"
#include "audio/NamedThread.h"
#include "platform/sound/WaveDevice.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <vector>

struct TWaveThreadMessage {
    TWaveMessage Message = TWaveMessage::Data;
    TWaveHeader* Header = nullptr; // none for Underrun and Failed
    std::uint32_t Code = 0;        // Failed: the result code the device reported
    std::uint64_t Generation = 0;  // the open that produced the message
};

class TWaveThread : public TNamedThread {
public:
    // More messages than this waiting means the thread is stuck; further ones are dropped.
    static constexpr std::ptrdiff_t MaxQueued = 2000;
    using THandler = std::function<void(const TWaveThreadMessage&)>;

    // Runs at the highest priority the system grants. Call Start() to run it.
    TWaveThread(std::string name, THandler handler);
    ~TWaveThread() override; // ends the loop, waits for it, frees what is still queued

    // The callback to give the device for the open of this generation.
    TWaveCallback Callback(std::uint64_t generation);
    // From the driver thread: queue one message (dropped once the thread was told to end).
    void Post(TWaveMessage message, TWaveHeader* header, std::uint64_t generation);
    // Drops every message still queued; the number dropped.
    std::size_t Clear();
    std::size_t QueueLength() const;
    // True while the loop is waiting with nothing queued (tests and diagnostics).
    bool Idle() const;

    void Terminate() override;

protected:
    void Execute() override;

private:
    THandler FHandler;
    mutable std::mutex FQueueLock;
    std::deque<TWaveThreadMessage> FQueue;
    std::atomic<bool> FBusy{false};
    // One token per queued message, plus room for the one that ends the loop.
    std::counting_semaphore<MaxQueued + 1> FSemaphore{0};
};

class TWaveBuffer;

// One device component's device state (IAudioParams).
class TAudioParams {
public:
    using TLock = std::unique_lock<std::recursive_mutex>;
    TAudioParams();
    ~TAudioParams();

    // The list lock. The fields below are read and written under it.
    TLock Lock() { return TLock(FLock); }

    // The device is open and its callbacks are to be served.
    bool Opened() const { return FOpened.load(); }
    void SetOpened(bool value) { FOpened.store(value); }
    // This component paces the stream.
    bool Pacing() const { return FPacing.load(); }
    void SetPacing(bool value) { FPacing.store(value); }
    // The current open; NewGeneration() starts the next one.
    std::uint64_t Generation() const { return FGeneration.load(); }
    std::uint64_t NewGeneration() { return ++FGeneration; }

    // The buffers currently handed to the device, in the order they were handed over.
    std::vector<std::unique_ptr<TWaveBuffer>>& Buffers() { return FBuffers; }
    void Add(std::unique_ptr<TWaveBuffer> buffer);
    // The device buffer a header belongs to, if it is still in the list.
    TWaveBuffer* Find(const TWaveHeader* header) const;
    // Removes and frees it (its audio buffer lives on with whoever else holds it).
    void Remove(TWaveBuffer* buffer);
    void Clear();
    std::size_t Count() const;

private:
    mutable std::recursive_mutex FLock;
    std::atomic<bool> FOpened{false};
    std::atomic<bool> FPacing{false};
    std::atomic<std::uint64_t> FGeneration{0};
    std::vector<std::unique_ptr<TWaveBuffer>> FBuffers;
};

// One buffer at the device: a header whose Data points at the audio buffer's samples and whose
// User points back at this object.
class TWaveBuffer {
public:
    // keepSamples: the device plays the samples (output: they are made private first);
    // otherwise it fills them (capture: only the format header is kept).
    TWaveBuffer(TAudioParams& params, TAudioBuffer buffer, bool keepSamples);
    TWaveBuffer(const TWaveBuffer&) = delete;
    TWaveBuffer& operator=(const TWaveBuffer&) = delete;

    TWaveHeader Header;
    TAudioBuffer Buffer;
    TAudioParams& Params;
};
