#include "DeferredStart.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <utility>

void TDeferredStart::Add(std::function<void()> task) {
    FTasks.push_back(std::move(task));
}

void TDeferredStart::RunAfterFirstPaint(QWidget& window) {
    if (!window.isVisible()) {
        FinishSoon();
        return;
    }
    FWindow = &window;
    window.installEventFilter(this);
    QTimer::singleShot(LatestStartMs, this, [this] { Finish(); });
}

bool TDeferredStart::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FWindow && event->type() == QEvent::Paint) {
        FWindow->removeEventFilter(this);
        // The frame reaches the window system when this paint and its siblings' are done.
        FinishSoon();
    }
    return QObject::eventFilter(watched, event);
}

void TDeferredStart::FinishSoon() {
    QTimer::singleShot(0, this, [this] { Finish(); });
}

void TDeferredStart::Finish() {
    // Called again from inside a task (a nested event loop): the outer call runs the rest, in
    // order.
    if (FRunning)
        return;
    FRunning = true;
    struct TDone {
        bool& Running;
        ~TDone() { Running = false; }
    } done{FRunning};
    if (FWindow)
        FWindow->removeEventFilter(this);
    while (!FTasks.empty()) {
        std::function<void()> task = std::move(FTasks.front());
        FTasks.erase(FTasks.begin());
        task();
    }
}
