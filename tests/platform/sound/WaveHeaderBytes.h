#pragma once

// The 40-byte extensible format header as the audio framework lays it out, built byte by byte
// so that the tests check the layout the device layer reads, not a shared struct.

#include <array>
#include <cstdint>

using TWaveHeaderBytes = std::array<std::uint8_t, 40>;

inline void PutLE(TWaveHeaderBytes& bytes, unsigned offset, std::uint32_t value, unsigned size) {
    for (unsigned i = 0; i < size; ++i)
        bytes[offset + i] = std::uint8_t(value >> (8 * i));
}

inline TWaveHeaderBytes WaveHeader(unsigned channels, std::uint32_t rate, unsigned bits,
                                   unsigned validBits = 0, std::uint32_t mask = 3) {
    TWaveHeaderBytes bytes{};
    const unsigned blockAlign = channels * bits / 8;
    PutLE(bytes, 0, 0xFFFE, 2);
    PutLE(bytes, 2, channels, 2);
    PutLE(bytes, 4, rate, 4);
    PutLE(bytes, 8, blockAlign * rate, 4);
    PutLE(bytes, 12, blockAlign, 2);
    PutLE(bytes, 14, bits, 2);
    PutLE(bytes, 16, 22, 2);
    PutLE(bytes, 18, validBits != 0 ? validBits : bits, 2);
    PutLE(bytes, 20, mask, 4);
    const std::array<std::uint8_t, 16> pcm = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    for (unsigned i = 0; i < pcm.size(); ++i)
        bytes[24 + i] = pcm[i];
    return bytes;
}
