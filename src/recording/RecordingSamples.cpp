#include "recording/RecordingSamples.h"

#include "audio/SampleBytes.h"

#include <cstring>

unsigned FlacBitsFor(unsigned containerBits) {
    switch (containerBits) {
    case 8:
        return 8;
    case 16:
        return 16;
    case 24:
    case 32:
        return 24;
    default:
        return 0;
    }
}

void ConvertToFlacSamples(const std::uint8_t* source, std::size_t count, unsigned containerBits,
                          std::int32_t* target) {
    switch (containerBits) {
    case 8:
        for (std::size_t i = 0; i < count; ++i)
            target[i] = std::int32_t(source[i]) - 128;
        break;
    case 16:
        for (std::size_t i = 0; i < count; ++i) {
            std::int16_t value;
            std::memcpy(&value, source + 2 * i, sizeof value);
            target[i] = value;
        }
        break;
    case 24:
        for (std::size_t i = 0; i < count; ++i)
            target[i] = LoadInt24(source + 3 * i);
        break;
    case 32:
        for (std::size_t i = 0; i < count; ++i) {
            std::int32_t value;
            std::memcpy(&value, source + 4 * i, sizeof value);
            target[i] = value >> 8; // arithmetic on every compiler this builds with (C++20)
        }
        break;
    default:
        break;
    }
}
