#include "HidReadThread.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

struct THidDeviceReadThread::TShared : std::enable_shared_from_this<TShared> {
    std::shared_ptr<THidHandle> Handle;
    int ReportLength = 0;
    int WaitSlice = 100;
    TReport OnReport;
    TError OnError;

    std::mutex Lock;
    std::condition_variable Changed;
    bool StopRequested = false;
    bool Finished = false;
    std::function<void()> Pending; // the hand-over waiting to run on the GUI thread
    bool Served = false;
    bool InDelivery = false; // the GUI thread is running one of our hand-overs
    std::atomic<int> LastCount{0};
    std::atomic<int> LastError{0};
    std::thread Thread;
    // Lives on the GUI thread and receives the queued hand-overs; destroyed there after the
    // reader has ended, which drops any hand-over still queued.
    QObject* Context = new QObject;

    ~TShared() {
        if (Context != nullptr)
            Context->deleteLater();
    }

    // Reader side: queue a call to the GUI thread and wait until it has run. False when
    // the reader is being stopped and must not wait any more.
    bool Deliver(std::function<void()> call) {
        std::unique_lock lock(Lock);
        if (StopRequested)
            return false;
        Pending = std::move(call);
        Served = false;
        QMetaObject::invokeMethod(
            Context, [self = shared_from_this()] { self->ServePending(); }, Qt::QueuedConnection);
        Changed.wait(lock, [&] { return Served; });
        return !StopRequested;
    }

    // GUI side: run the pending hand-over, if any.
    void ServePending() {
        std::unique_lock lock(Lock);
        if (!Pending)
            return;
        auto call = std::move(Pending);
        Pending = nullptr;
        InDelivery = true;
        lock.unlock();
        call();
        lock.lock();
        InDelivery = false;
        Served = true;
        Changed.notify_all();
    }

    void Run() {
        std::vector<std::uint8_t> buffer(size_t(std::max(ReportLength, 1)));
        for (;;) {
            {
                std::lock_guard lock(Lock);
                if (StopRequested)
                    break;
            }
            std::fill(buffer.begin(), buffer.end(), 0);
            std::size_t count = 0;
            int error = 0;
            const THidReadStatus status =
                Handle ? Handle->Read(buffer.data(), buffer.size(), WaitSlice, count, error)
                       : THidReadStatus::Gone;
            if (status == THidReadStatus::Timeout)
                continue;
            if (status == THidReadStatus::Data) {
                LastCount = int(count);
                if (count == 0)
                    continue; // an empty read is not delivered
                QByteArray report(reinterpret_cast<const char*>(buffer.data()), qsizetype(count));
                if (!Deliver([this, report] { OnReport(report); }))
                    break;
                continue;
            }
            LastError = error;
            // A device that has left will never be read again: the reader ends quietly,
            // since its removal is reported on its own, instead of reporting the same error
            // every slice until the removal is processed.
            if (status == THidReadStatus::Gone)
                break;
            if (!Deliver([this, error] { OnError(error); }))
                break;
            std::unique_lock lock(Lock);
            Changed.wait_for(lock, std::chrono::milliseconds(WaitSlice),
                             [&] { return StopRequested; });
        }
        std::lock_guard lock(Lock);
        Finished = true;
        Changed.notify_all();
    }
};

THidDeviceReadThread::THidDeviceReadThread(std::shared_ptr<THidHandle> handle, int reportLength,
                                           int waitSliceMs, TReport onReport, TError onError)
    : FShared(std::make_shared<TShared>()) {
    FShared->Handle = std::move(handle);
    FShared->ReportLength = reportLength;
    FShared->WaitSlice = waitSliceMs;
    FShared->OnReport = std::move(onReport);
    FShared->OnError = std::move(onError);
    FShared->Thread = std::thread([shared = FShared] { shared->Run(); });
}

THidDeviceReadThread::~THidDeviceReadThread() {
    Stop();
}

void THidDeviceReadThread::Stop() {
    if (!FShared || !FShared->Thread.joinable())
        return;
    TShared& s = *FShared;
    std::unique_lock lock(s.Lock);
    s.StopRequested = true;
    s.Changed.notify_all();
    // A read waiting for the device ends now instead of at the end of its slice.
    if (s.Handle)
        s.Handle->CancelRead();
    if (s.InDelivery) {
        // Called from our own hand-over: the reader ends as soon as that call returns.
        lock.unlock();
        s.Thread.detach();
        return;
    }
    for (;;) {
        if (s.Pending) {
            lock.unlock();
            s.ServePending();
            lock.lock();
            continue;
        }
        if (s.Finished)
            break;
        s.Changed.wait(lock);
    }
    lock.unlock();
    s.Thread.join();
    // On the GUI thread, where it lives: deleting it drops a hand-over still queued.
    delete s.Context;
    s.Context = nullptr;
}

int THidDeviceReadThread::LastCount() const {
    return FShared->LastCount;
}

int THidDeviceReadThread::LastError() const {
    return FShared->LastError;
}
