#pragma once

#include "WaitFor.h"
#include "platform/hid/SimHidBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <thread>

inline TSimDeviceDescription DescriptionOf(int vendor, int product, const char* name = "Device") {
    TSimDeviceDescription description;
    description.VendorID = std::uint16_t(vendor);
    description.ProductID = std::uint16_t(product);
    description.Product = QString::fromLatin1(name);
    return description;
}

inline QByteArray Report(std::initializer_list<int> bytes) {
    QByteArray r;
    for (int b : bytes)
        r.append(char(b));
    return r;
}
