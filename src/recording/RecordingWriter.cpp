#include "recording/RecordingWriter.h"

#include "audio/NamedThread.h"
#include "recording/RecordingSamples.h"

#include <algorithm>
#include <cstring>

class TRecordingWriter::TThread : public TNamedThread {
public:
    explicit TThread(TRecordingWriter& owner)
        : TNamedThread("Recorder.Writer", TThreadPriority::tpNormal), FOwner(owner) {}

protected:
    void Execute() override {
        for (;;) {
            FOwner.FWake.acquire();
            // Read before writing: a stop seen here still gets every slot published before it.
            const bool stopping = FOwner.FStopping.load(std::memory_order_acquire);
            FOwner.WriteQueued();
            if (stopping)
                return;
        }
    }

private:
    TRecordingWriter& FOwner;
};

TRecordingWriter::TRecordingWriter(std::unique_ptr<IRecordingFile> file,
                                   const TRecordingFormat& format, TLimits limits)
    : FFile(std::move(file)), FFormat(format),
      FFrameBytes(std::size_t(format.Channels) * (format.ContainerBits / 8)),
      FSlotBytes(FFrameBytes * std::max<std::uint32_t>(limits.SlotFrames, 1)),
      FSlots(std::max<std::size_t>(limits.Slots, 1)) {
    for (TSlot& slot : FSlots)
        slot.Data.resize(FSlotBytes);
    FSamples.resize(FSlotBytes / std::max<std::size_t>(format.ContainerBits / 8, 1));
    FThread = std::make_unique<TThread>(*this);
    FThread->Start();
}

TRecordingWriter::~TRecordingWriter() {
    Finish();
}

bool TRecordingWriter::Push(const std::uint8_t* data, std::size_t bytes) {
    if (FFrameBytes == 0)
        return false;
    bytes -= bytes % FFrameBytes;
    if (bytes == 0)
        return true;
    const std::size_t needed = (bytes + FSlotBytes - 1) / FSlotBytes;
    const std::uint64_t head = FHead.load(std::memory_order_relaxed);
    const std::uint64_t tail = FTail.load(std::memory_order_acquire);
    if (head - tail + needed > FSlots.size()) {
        FDropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    for (std::size_t i = 0; i < needed; ++i) {
        TSlot& slot = FSlots[(head + i) % FSlots.size()];
        const std::size_t offset = i * FSlotBytes;
        slot.Bytes = std::min(FSlotBytes, bytes - offset);
        std::memcpy(slot.Data.data(), data + offset, slot.Bytes);
    }
    FHead.store(head + needed, std::memory_order_release);
    FWake.release();
    return true;
}

void TRecordingWriter::WriteQueued() {
    std::uint64_t tail = FTail.load(std::memory_order_relaxed);
    const std::uint64_t head = FHead.load(std::memory_order_acquire);
    for (; tail != head; ++tail) {
        const TSlot& slot = FSlots[tail % FSlots.size()];
        if (!FFailed.load(std::memory_order_relaxed)) {
            const std::size_t samples = slot.Bytes / (FFormat.ContainerBits / 8);
            ConvertToFlacSamples(slot.Data.data(), samples, FFormat.ContainerBits, FSamples.data());
            const std::string error = FFile->Write(FSamples.data(), slot.Bytes / FFrameBytes);
            if (!error.empty())
                Fail(error);
        }
        FTail.store(tail + 1, std::memory_order_release);
    }
}

void TRecordingWriter::Fail(const std::string& error) {
    {
        std::lock_guard lock(FErrorLock);
        if (!FError.empty())
            return;
        FError = error;
    }
    FFailed.store(true, std::memory_order_relaxed);
    if (OnError)
        OnError(error);
}

std::string TRecordingWriter::Finish() {
    std::lock_guard finishing(FFinishLock);
    if (!FFinished) {
        FFinished = true;
        FStopping.store(true, std::memory_order_release);
        FWake.release();
        FThread->WaitFor();
        // The thread has ended: the file is this thread's now.
        const std::string error = FFile->Close();
        if (!error.empty()) {
            std::lock_guard lock(FErrorLock);
            if (FError.empty())
                FError = error;
        }
    }
    return Error();
}

std::uint64_t TRecordingWriter::Frames() const {
    return FFile->Frames();
}

std::string TRecordingWriter::Error() const {
    std::lock_guard lock(FErrorLock);
    return FError;
}
