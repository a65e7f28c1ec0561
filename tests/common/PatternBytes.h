#pragma once

#include <QByteArray>
#include <cstdint>

// Deterministic bytes that differ from frame to frame and from one seed to the next: sound
// whose every sample can be checked after a trip through a device.
inline QByteArray PatternBytes(int size, std::uint32_t seed) {
    QByteArray bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return bytes;
}
