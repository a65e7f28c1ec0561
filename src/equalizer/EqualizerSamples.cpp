#include "equalizer/EqualizerSamples.h"

#include <cstring>

namespace {

template <unsigned Bytes> std::int32_t Load(const std::uint8_t* p) {
    if constexpr (Bytes == 1) {
        return std::int32_t(p[0]);
    } else if constexpr (Bytes == 2) {
        std::int16_t value;
        std::memcpy(&value, p, sizeof value);
        return value;
    } else if constexpr (Bytes == 3) {
        const std::uint32_t raw =
            std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
        return std::int32_t(raw ^ 0x800000u) - 0x800000;
    } else {
        std::int32_t value;
        std::memcpy(&value, p, sizeof value);
        return value;
    }
}

template <unsigned Bytes> void Store(std::uint8_t* p, std::int32_t value) {
    if constexpr (Bytes == 1) {
        p[0] = std::uint8_t(value);
    } else if constexpr (Bytes == 2) {
        const std::int16_t narrow = std::int16_t(value);
        std::memcpy(p, &narrow, sizeof narrow);
    } else if constexpr (Bytes == 3) {
        p[0] = std::uint8_t(value);
        p[1] = std::uint8_t(value >> 8);
        p[2] = std::uint8_t(value >> 16);
    } else {
        std::memcpy(p, &value, sizeof value);
    }
}

// Adding and removing 1.5 * 2^52 rounds a double of magnitude below 2^51 to an integer in the
// default rounding mode: to nearest, ties to even.
inline double RoundToEven(double value) {
    constexpr double magic = 6755399441055744.0;
    return (value + magic) - magic;
}

template <unsigned Bytes>
void ReadAs(const TSampleLayout& layout, const std::uint8_t* source, std::size_t step,
            double* target, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        target[i] = double(Load<Bytes>(source + i * step)) - layout.Offset;
}

template <unsigned Bytes>
void WriteAs(const TSampleLayout& layout, const double* source, std::uint8_t* target,
             std::size_t step, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        double value = source[i] + layout.Offset;
        if (value != value)
            value = layout.Offset; // broken taps give silence, never an undefined conversion
        value = value < layout.Low ? layout.Low : value > layout.High ? layout.High : value;
        Store<Bytes>(target + i * step, std::int32_t(RoundToEven(value)));
    }
}

} // namespace

TSampleLayout SampleLayoutFor(unsigned containerBits) {
    if (containerBits >= 1 && containerBits <= 8)
        return {1, double(EqualizerSilence8), 0.0, 255.0};
    if (containerBits >= 9 && containerBits <= 16)
        return {2, 0.0, -32767.0, 32767.0};
    if (containerBits == 24)
        return {3, 0.0, -8388607.0, 8388607.0};
    if (containerBits == 32)
        return {4, 0.0, -2147483647.0, 2147483647.0};
    return {};
}

void ReadSamples(const TSampleLayout& layout, const std::uint8_t* source, std::size_t step,
                 double* target, std::size_t n) {
    switch (layout.Bytes) {
    case 1:
        return ReadAs<1>(layout, source, step, target, n);
    case 2:
        return ReadAs<2>(layout, source, step, target, n);
    case 3:
        return ReadAs<3>(layout, source, step, target, n);
    case 4:
        return ReadAs<4>(layout, source, step, target, n);
    default:
        return;
    }
}

void WriteSamples(const TSampleLayout& layout, const double* source, std::uint8_t* target,
                  std::size_t step, std::size_t n) {
    switch (layout.Bytes) {
    case 1:
        return WriteAs<1>(layout, source, target, step, n);
    case 2:
        return WriteAs<2>(layout, source, target, step, n);
    case 3:
        return WriteAs<3>(layout, source, target, step, n);
    case 4:
        return WriteAs<4>(layout, source, target, step, n);
    default:
        return;
    }
}
