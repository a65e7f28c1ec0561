#include "audio/WaveThread.h"

#include <algorithm>

TWaveThread::TWaveThread(std::string name, THandler handler)
    : TNamedThread(std::move(name), TThreadPriority::tpHighest), FHandler(std::move(handler)) {}

TWaveThread::~TWaveThread() {
    Terminate();
    WaitFor();
}

TWaveCallback TWaveThread::Callback(std::uint64_t generation) {
    return [this, generation](TWaveMessage message, TWaveHeader* header) {
        Post(message, header, generation);
    };
}

void TWaveThread::Post(TWaveMessage message, TWaveHeader* header, std::uint64_t generation) {
    TWaveThreadMessage item{message, header, 0, generation};
    // A failure's header is the driver's temporary: keep its code, never the pointer.
    if (message == TWaveMessage::Failed || message == TWaveMessage::Underrun) {
        item.Code = header ? header->BytesRecorded : 0;
        item.Header = nullptr;
    }
    {
        std::lock_guard guard(FQueueLock);
        if (Terminated() || std::ptrdiff_t(FQueue.size()) >= MaxQueued)
            return;
        FQueue.push_back(item);
    }
    FSemaphore.release();
}

std::size_t TWaveThread::Clear() {
    std::lock_guard guard(FQueueLock);
    const std::size_t dropped = FQueue.size();
    FQueue.clear();
    // Take back their tokens; one the loop already took finds the queue empty instead.
    for (std::size_t i = 0; i < dropped && FSemaphore.try_acquire(); ++i) {
    }
    return dropped;
}

std::size_t TWaveThread::QueueLength() const {
    std::lock_guard guard(FQueueLock);
    return FQueue.size();
}

bool TWaveThread::Idle() const {
    std::lock_guard guard(FQueueLock);
    return FQueue.empty() && !FBusy.load();
}

void TWaveThread::Terminate() {
    {
        std::lock_guard guard(FQueueLock);
        if (Terminated())
            return;
        TNamedThread::Terminate();
    }
    FSemaphore.release();
}

void TWaveThread::Execute() {
    for (;;) {
        FSemaphore.acquire();
        if (Terminated())
            break;
        TWaveThreadMessage message;
        {
            std::lock_guard guard(FQueueLock);
            if (FQueue.empty())
                continue;
            message = FQueue.front();
            FQueue.pop_front();
            FBusy.store(true);
        }
        if (Terminated())
            break;
        try {
            if (FHandler)
                FHandler(message);
        } catch (...) {
            // Errors are handed to the GUI thread by the handlers; nothing may end this thread.
        }
        FBusy.store(false);
    }
    FBusy.store(false);
}

TAudioParams::TAudioParams() = default;
TAudioParams::~TAudioParams() = default;

void TAudioParams::Add(std::unique_ptr<TWaveBuffer> buffer) {
    FBuffers.push_back(std::move(buffer));
}

TWaveBuffer* TAudioParams::Find(const TWaveHeader* header) const {
    if (!header)
        return nullptr;
    for (const auto& buffer : FBuffers)
        if (&buffer->Header == header)
            return buffer.get();
    return nullptr;
}

void TAudioParams::Remove(TWaveBuffer* buffer) {
    std::erase_if(FBuffers, [buffer](const auto& held) { return held.get() == buffer; });
}

void TAudioParams::Clear() {
    FBuffers.clear();
}

std::size_t TAudioParams::Count() const {
    return FBuffers.size();
}

TWaveBuffer::TWaveBuffer(TAudioParams& params, TAudioBuffer buffer, bool keepSamples)
    : Buffer(std::move(buffer)), Params(params) {
    Header.Data = keepSamples ? Buffer.WritableData() : Buffer.OverwriteData();
    Header.BufferLength = std::uint32_t(Buffer.DataSize());
    Header.BytesRecorded = 0;
    Header.User = this;
}
