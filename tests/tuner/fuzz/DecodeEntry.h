#pragma once

// One input report through everything the program does with it before it touches a
// window: the "RD" log line and the status decoding under each band and gate. Shared by the
// libFuzzer target and the randomised gtest, so CI runs the same code under the sanitizers.

#include "platform/system/CodePage.h"
#include "tuner/TunerProtocol.h"

#include <cstdint>
#include <cstdlib>

// The first rule that the decoding of one report (report ID first) breaks, or nullptr when
// every effect stays within its documented range.
inline const char* DecodeViolation(const std::uint8_t* bytes, std::size_t size) {
    using namespace TunerProtocol;
    if (size == 0) {
        if (ReadLine(0, nullptr, 0) != QLatin1String("RD 00  "))
            return "log line of an empty report";
        if (DecodeStatus(nullptr, 0, {}).Format != TStatusFormat::None)
            return "empty report decoded";
        return nullptr;
    }
    const std::uint8_t reportID = bytes[0];
    const std::uint8_t* data = bytes + 1;
    const std::size_t count = size - 1;
    if (ReadLine(reportID, data, count).size() != 7 + 3 * qsizetype(count))
        return "log line length";
    std::uint8_t copy[StatusCopySize] = {}; // the bytes as the decoder reads them
    for (std::size_t i = 0; i < count && i < sizeof copy; ++i)
        copy[i] = data[i];
    for (int gates = 0; gates < 8; ++gates) {
        const TStatusInput in{(gates & 1) != 0, (gates & 2) != 0, (gates & 4) != 0};
        const TStatusEffects e = DecodeStatus(data, count, in);
        const int max = in.BandFM ? FMMaxPosition : UKVMaxPosition;
        const bool channel = e.Format == TStatusFormat::RdaChannel;
        const bool rds = e.Format == TStatusFormat::RdaStatus;
        if (e.Format != StatusFormatOf(data, count))
            return "format";
        if (e.SliderPosition && (*e.SliderPosition < 0 || *e.SliderPosition > max))
            return "slider position outside the band";
        if (e.SliderPosition && !channel && e.Format != TStatusFormat::TeaPll)
            return "slider moved by a report without a frequency";
        const int base = in.BandFM ? 870 : 650;
        if (e.TuneValue.has_value() != channel ||
            (channel && (*e.TuneValue < base || *e.TuneValue > base + 1023)))
            return "tune value";
        if (e.TuneLevel < 0 || e.TuneLevel > 15 || (e.IsStereo && !in.Stereo))
            return "signal level or stereo";
        if (e.SetsSignal != (e.Format != TStatusFormat::None && !channel))
            return "signal set by the wrong format";
        if (e.SetsRDS != rds || (e.RDSEnabled && !in.UseRDS))
            return "RDS flag";
        if (rds) {
            if (e.RDSString.size() != 8)
                return "RDS name length";
            for (int i = 0; i < 8; ++i)
                if (e.RDSString[i] != CodePage::DecodeWindows1251(copy[15 + i]))
                    return "RDS name character";
        }
        if ((e.Format == TStatusFormat::None) != e.LogLine.isEmpty())
            return "log line";
    }
    return nullptr;
}

inline void DecodeEntry(const std::uint8_t* bytes, std::size_t size) {
    if (DecodeViolation(bytes, size) != nullptr)
        std::abort();
}
