#pragma once

#include "platform/hid/SimHidBackend.h"

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

inline void RunEvents() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

inline TSimDeviceSpec SpecOf(int vendor, int product, const char* name = "Device") {
    TSimDeviceSpec spec;
    spec.VendorID = std::uint16_t(vendor);
    spec.ProductID = std::uint16_t(product);
    spec.Product = QString::fromLatin1(name);
    return spec;
}

inline QByteArray Report(std::initializer_list<int> bytes) {
    QByteArray r;
    for (int b : bytes)
        r.append(char(b));
    return r;
}
