#pragma once

// Writes a recording on a thread of its own, so that a slow disk never holds up the sound.
//
// The sound thread hands over each buffer with Push: its samples are copied into one of a
// fixed set of slots allocated up front, and the writer thread is woken. Push never waits: when
// every slot is still waiting to be written, the buffer is dropped and counted. The writer
// thread converts the slots in order and writes them to the file; after the first failure it
// reports once (OnError, on the writer thread) and discards the rest, so a full disk ends the
// recording while the sound goes on.
//
// Threads: Push from one thread at a time (the stream's); Finish from another, after the last
// Push. The slots are a single-producer, single-consumer ring on two counters: the producer
// publishes a slot by advancing FHead (release), the writer frees it by advancing FTail.

#include "recording/RecordingFile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <vector>

class TRecordingWriter {
public:
    struct TLimits {
        std::size_t Slots = 64;          // buffers that may wait for the disk
        std::uint32_t SlotFrames = 4096; // frames a slot holds; larger buffers take several
    };

    TRecordingWriter(std::unique_ptr<IRecordingFile> file, const TRecordingFormat& format,
                     TLimits limits);
    TRecordingWriter(std::unique_ptr<IRecordingFile> file, const TRecordingFormat& format)
        : TRecordingWriter(std::move(file), format, TLimits{}) {}
    ~TRecordingWriter();
    TRecordingWriter(const TRecordingWriter&) = delete;
    TRecordingWriter& operator=(const TRecordingWriter&) = delete;

    // Interleaved samples in the stream's format (whole frames; a partial frame at the end is
    // ignored). false when the buffer was dropped for want of room.
    bool Push(const std::uint8_t* data, std::size_t bytes);

    // Writes what is queued, completes the file and ends the thread; the first error or "".
    // Later calls return the same.
    std::string Finish();

    std::uint64_t Dropped() const { return FDropped.load(std::memory_order_relaxed); }
    // The sound frames the completed file holds (0: it was removed); after Finish.
    std::uint64_t Frames() const;
    std::string Error() const;

    // Called once, on the writer thread, with the first error.
    std::function<void(const std::string& error)> OnError;

private:
    class TThread;
    struct TSlot {
        std::vector<std::uint8_t> Data;
        std::size_t Bytes = 0;
    };

    void WriteQueued();
    void Fail(const std::string& error);

    std::unique_ptr<IRecordingFile> FFile;
    const TRecordingFormat FFormat;
    const std::size_t FFrameBytes;
    const std::size_t FSlotBytes;
    std::vector<TSlot> FSlots;
    std::vector<std::int32_t> FSamples; // the writer thread's conversion buffer
    std::atomic<std::uint64_t> FHead{0};
    std::atomic<std::uint64_t> FTail{0};
    std::atomic<std::uint64_t> FDropped{0};
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FFailed{false};
    std::counting_semaphore<> FWake{0};
    mutable std::mutex FErrorLock;
    std::string FError;
    std::mutex FFinishLock;
    bool FFinished = false;
    std::unique_ptr<TThread> FThread;
};
