#include "equalizer/EqualizerSamples.h"

#include "audio/SampleBytes.h"

#include <cstring>
#include <type_traits>

namespace {

template <unsigned Bytes> std::int32_t Load(const std::uint8_t* p) {
    if constexpr (Bytes == 1) {
        return std::int32_t(p[0]);
    } else if constexpr (Bytes == 2) {
        std::int16_t value;
        std::memcpy(&value, p, sizeof value);
        return value;
    } else if constexpr (Bytes == 3) {
        return LoadInt24(p);
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
        StoreInt24(p, value);
    } else {
        std::memcpy(p, &value, sizeof value);
    }
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

// Calls action with the container's byte count as a compile-time constant; any other count
// does nothing.
template <typename Action> void ForContainer(unsigned bytes, Action&& action) {
    switch (bytes) {
    case 1:
        return action(std::integral_constant<unsigned, 1>{});
    case 2:
        return action(std::integral_constant<unsigned, 2>{});
    case 3:
        return action(std::integral_constant<unsigned, 3>{});
    case 4:
        return action(std::integral_constant<unsigned, 4>{});
    default:
        return;
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
    ForContainer(layout.Bytes, [&](auto bytes) {
        ReadAs<decltype(bytes)::value>(layout, source, step, target, n);
    });
}

void WriteSamples(const TSampleLayout& layout, const double* source, std::uint8_t* target,
                  std::size_t step, std::size_t n) {
    ForContainer(layout.Bytes, [&](auto bytes) {
        WriteAs<decltype(bytes)::value>(layout, source, target, step, n);
    });
}
