#pragma once

// The byte-level forms of samples that the sound components share: 24-bit little-endian
// samples (three bytes, no padding) and rounding a double to the nearest integer with ties to
// even on the per-sample paths. Pure.

#include <cstdint>

// A signed 24-bit little-endian sample, sign-extended.
inline std::int32_t LoadInt24(const std::uint8_t* p) {
    const std::uint32_t raw =
        std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    return std::int32_t(raw ^ 0x800000u) - 0x800000;
}

// The low 24 bits of value, little-endian.
inline void StoreInt24(std::uint8_t* p, std::int32_t value) {
    p[0] = std::uint8_t(value);
    p[1] = std::uint8_t(value >> 8);
    p[2] = std::uint8_t(value >> 16);
}

// Adding and removing 1.5 * 2^52 leaves a double rounded to an integer in the current rounding
// mode (to nearest, ties to even) without a library call, for any |value| below 2^51; clamped
// sample values are far below that.
inline double RoundToEven(double value) {
    constexpr double magic = 6755399441055744.0;
    return (value + magic) - magic;
}
