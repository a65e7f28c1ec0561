#include "fuzz/DecodeEntry.h"

#include <array>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

// The fuzz entry over a fixed set of odd and random reports: empty, one byte, each format
// cut at every length, longer than 64 bytes, and random bytes led by each format byte.
TEST(DecodeRobustness, OddAndRandomReportsStayWithinTheDocumentedRanges) {
    std::vector<std::vector<std::uint8_t>> reports = {{}, {0}, {0xFF}};
    for (std::uint8_t format : {0x05, 0x06, 0x52, 0x08, 0x72, 0x00, 0x07}) {
        for (std::size_t length = 1; length <= 70; ++length) {
            std::vector<std::uint8_t> report(length, 0xFF);
            if (length > 1)
                report[1] = format;
            reports.push_back(report);
        }
    }
    std::mt19937 random(20261210);
    for (int i = 0; i < 3000; ++i) {
        std::vector<std::uint8_t> report(random() % 130);
        for (auto& b : report)
            b = std::uint8_t(random());
        if (report.size() > 1 && i % 2 == 0)
            report[1] = std::array<std::uint8_t, 5>{0x05, 0x06, 0x52, 0x08, 0x72}[i % 5];
        reports.push_back(report);
    }
    std::map<TunerProtocol::TStatusFormat, int> formats;
    int broken = 0;
    std::string first;
    for (const auto& report : reports) {
        // Each report in a buffer of its own exact size, so that ASan sees any over-read.
        auto* copy = new std::uint8_t[report.size() + (report.empty() ? 1 : 0)];
        std::copy(report.begin(), report.end(), copy);
        if (const char* violation =
                DecodeViolation(report.empty() ? nullptr : copy, report.size())) {
            if (broken++ == 0)
                first = std::string(violation) + ", report of " + std::to_string(report.size()) +
                        " bytes";
        }
        if (report.size() > 1)
            ++formats[TunerProtocol::StatusFormatOf(copy + 1, report.size() - 1)];
        delete[] copy;
    }
    EXPECT_EQ(broken, 0) << "first: " << first;
    // Every format was really exercised, and so were reports the decoder does not interpret.
    for (auto format :
         {TunerProtocol::TStatusFormat::None, TunerProtocol::TStatusFormat::TeaPll,
          TunerProtocol::TStatusFormat::TeaLevel, TunerProtocol::TStatusFormat::RdaChannel,
          TunerProtocol::TStatusFormat::RdaStatus})
        EXPECT_GT(formats[format], 100) << int(format);
}
