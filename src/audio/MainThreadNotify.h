#pragma once

// Runs a handler on the GUI thread (the application's thread). A signal from the GUI thread
// itself runs the handler at once unless forced; otherwise signals coalesce: while one is
// pending, further signals add nothing, and the pending mark is cleared just before the handler
// runs, so a signal raised during the handler is not lost.
//
// Destroy the object on the GUI thread; a queued run for an object that is gone does nothing.

#include <atomic>
#include <functional>
#include <memory>

class TMainThreadNotify {
public:
    explicit TMainThreadNotify(std::function<void()> handler);
    ~TMainThreadNotify();
    TMainThreadNotify(const TMainThreadNotify&) = delete;
    TMainThreadNotify& operator=(const TMainThreadNotify&) = delete;

    void Signal(bool force = false);
    bool Pending() const;

    static bool IsMainThread();

private:
    struct TState {
        std::function<void()> FHandler;
        std::atomic<bool> FPending{false};
    };
    std::shared_ptr<TState> FState;
};
