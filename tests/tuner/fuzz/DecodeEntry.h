#pragma once

// One input report through everything the program does with it before it touches a
// window: the "RD" log line and the status decoding under each band and gate. Shared by the
// libFuzzer target and the randomised gtest, so CI runs the same code under the sanitizers.

#include "tuner/TunerProtocol.h"

#include <cstdint>
#include <cstdlib>

inline void DecodeEntry(const std::uint8_t* bytes, std::size_t size) {
    using namespace TunerProtocol;
    if (size == 0) {
        (void)ReadLine(0, nullptr, 0);
        (void)DecodeStatus(nullptr, 0, {});
        return;
    }
    const std::uint8_t reportID = bytes[0];
    const std::uint8_t* data = bytes + 1;
    const std::size_t count = size - 1;
    if (ReadLine(reportID, data, count).size() != 7 + 3 * qsizetype(count))
        std::abort();
    for (int gates = 0; gates < 8; ++gates) {
        const TStatusInput in{(gates & 1) != 0, (gates & 2) != 0, (gates & 4) != 0};
        const TStatusEffects e = DecodeStatus(data, count, in);
        const int max = in.BandFM ? FMMaxPosition : UKVMaxPosition;
        if (e.SliderPosition && (*e.SliderPosition < 0 || *e.SliderPosition > max))
            std::abort();
        if (e.TuneLevel < 0 || e.TuneLevel > 15 || (e.IsStereo && !in.Stereo))
            std::abort();
        if (e.SetsRDS && e.RDSString.size() != 8)
            std::abort();
        if ((e.Format == TStatusFormat::None) != e.LogLine.isEmpty())
            std::abort();
    }
}
