#pragma once

#include "WaitFor.h"
#include "platform/hid/SimHidBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <thread>

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
