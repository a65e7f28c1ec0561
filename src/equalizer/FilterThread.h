#pragma once

// The worker thread of a threaded filter and the settings that shape it.
//
// The queue has a lock of its own. The producer (the filter's upstream thread) appends while
// the queue holds Size or fewer operations, so Size + 1 can be pending; when it is fuller, the
// producer either drops the buffer (fmDropData) or waits for room (fmBlock). A stop wakes a
// waiting producer, whose buffer is then dropped: a stop never waits for a blocked producer.

#include "audio/NamedThread.h"
#include "audio/Operations.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

enum class TQueueFullMode { fmBlock, fmDropData };

class TThreadingQueue {
public:
    unsigned Size() const { return FSize.load(); }
    void SetSize(unsigned value) { FSize.store(value); }
    TQueueFullMode FullMode() const { return FFullMode.load(); }
    void SetFullMode(TQueueFullMode value) { FFullMode.store(value); }

private:
    std::atomic<unsigned> FSize{15};
    std::atomic<TQueueFullMode> FFullMode{TQueueFullMode::fmBlock};
};

class TThreading {
public:
    // onPriority applies a new priority to the owner's running thread.
    explicit TThreading(std::function<void(TThreadPriority)> onPriority)
        : FOnPriority(std::move(onPriority)) {}

    // Read when a stream starts; a change during a stream waits for the next start.
    bool Enabled() const { return FEnabled.load(); }
    void SetEnabled(bool value) { FEnabled.store(value); }
    TThreadPriority Priority() const { return FPriority.load(); }
    void SetPriority(TThreadPriority value);
    TThreadingQueue& Queue() { return FQueue; }
    const TThreadingQueue& Queue() const { return FQueue; }

private:
    std::function<void(TThreadPriority)> FOnPriority;
    std::atomic<bool> FEnabled{false};
    std::atomic<TThreadPriority> FPriority{TThreadPriority::tpNormal};
    TThreadingQueue FQueue;
};

class TFilterThread : public TNamedThread {
public:
    using TCallback = std::function<void(const TOperationPtr&)>;

    TFilterThread(std::string name, const TThreading& threading, TCallback callback);
    ~TFilterThread() override;

    // Appends an operation; false when it was dropped (queue full in fmDropData, or stopped).
    bool Enqueue(TOperationPtr operation);
    // Ends the loop, waits for it and discards whatever is still queued.
    void Stop();
    void Terminate() override;

    std::size_t QueueLength() const;
    bool LoopStarted() const { return FLoopStarted.load(); }

protected:
    void Execute() override;

private:
    const TThreading& FThreading;
    TCallback FCallback;
    mutable std::mutex FQueueLock;
    std::condition_variable FWake;
    std::condition_variable FSpace;
    std::deque<TOperationPtr> FQueue;
    bool FStopping = false; // under FQueueLock
    std::atomic<bool> FLoopStarted{false};
};
