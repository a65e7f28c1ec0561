#include "equalizer/FilterThread.h"

void TThreading::SetPriority(TThreadPriority value) {
    FPriority.store(value);
    if (FOnPriority)
        FOnPriority(value);
}

TFilterThread::TFilterThread(std::string name, const TThreading& threading, TCallback callback)
    : TNamedThread(std::move(name), threading.Priority()), FThreading(threading),
      FCallback(std::move(callback)) {}

TFilterThread::~TFilterThread() {
    Stop();
}

bool TFilterThread::Enqueue(TOperationPtr operation) {
    std::unique_lock guard(FQueueLock);
    while (!FStopping && FQueue.size() > FThreading.Queue().Size()) {
        if (FThreading.Queue().FullMode() == TQueueFullMode::fmDropData)
            return false;
        FSpace.wait(guard);
    }
    if (FStopping)
        return false;
    FQueue.push_back(std::move(operation));
    FWake.notify_one();
    return true;
}

void TFilterThread::Terminate() {
    TNamedThread::Terminate();
    std::lock_guard guard(FQueueLock);
    FStopping = true;
    FWake.notify_all();
    FSpace.notify_all();
}

void TFilterThread::Stop() {
    Terminate();
    WaitFor();
    std::deque<TOperationPtr> discarded;
    {
        std::lock_guard guard(FQueueLock);
        discarded.swap(FQueue);
    }
}

std::size_t TFilterThread::QueueLength() const {
    std::lock_guard guard(FQueueLock);
    return FQueue.size();
}

void TFilterThread::Execute() {
    std::unique_lock guard(FQueueLock);
    FLoopStarted.store(true);
    while (!FStopping) {
        FWake.wait(guard, [this] { return FStopping || !FQueue.empty(); });
        while (!FStopping && !FQueue.empty()) {
            TOperationPtr operation = std::move(FQueue.front());
            FQueue.pop_front();
            guard.unlock();
            try {
                FCallback(operation);
            } catch (...) {
                // A failed buffer is lost; the stream and the thread go on.
            }
            operation.reset();
            guard.lock();
            if (FQueue.size() <= FThreading.Queue().Size())
                FSpace.notify_all();
        }
    }
}
