#include "audio/MainThreadNotify.h"

#include <QCoreApplication>
#include <QThread>

TMainThreadNotify::TMainThreadNotify(std::function<void()> handler)
    : FState(std::make_shared<TState>()) {
    FState->FHandler = std::move(handler);
}

TMainThreadNotify::~TMainThreadNotify() = default;

bool TMainThreadNotify::IsMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool TMainThreadNotify::Pending() const {
    return FState->FPending.load();
}

void TMainThreadNotify::Signal(bool force) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        // No GUI thread to hand over to (a tool without an application): run here.
        if (FState->FHandler)
            FState->FHandler();
        return;
    }
    if (!force && QThread::currentThread() == app->thread()) {
        if (FState->FHandler)
            FState->FHandler();
        return;
    }
    if (FState->FPending.exchange(true))
        return;
    std::weak_ptr<TState> weak = FState;
    QMetaObject::invokeMethod(
        app,
        [weak] {
            std::shared_ptr<TState> state = weak.lock();
            if (!state)
                return;
            state->FPending.store(false);
            if (state->FHandler)
                state->FHandler();
        },
        Qt::QueuedConnection);
}
