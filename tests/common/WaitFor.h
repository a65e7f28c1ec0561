#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <thread>

// Runs the event loop until done() holds or timeoutMs pass; returns done().
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// Lets queued calls and posted events run.
inline void RunEvents() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}
