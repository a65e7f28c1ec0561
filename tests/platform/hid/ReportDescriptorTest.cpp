#include "platform/hid/ReportDescriptor.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

// "06 00FF 09 01" -> bytes; spaces are only for reading.
TBytes Hex(const std::string& text) {
    TBytes bytes;
    std::string digits;
    for (char c : text) {
        if (c == ' ')
            continue;
        digits += c;
        if (digits.size() == 2) {
            bytes.push_back(std::uint8_t(std::stoul(digits, nullptr, 16)));
            digits.clear();
        }
    }
    return bytes;
}

// What the parser must leave alone when it refuses a descriptor.
const THidReportLengths Untouched{-7, -8, -9, true};

struct TResult {
    bool Ok = false;
    THidReportLengths Lengths = Untouched;
    std::string Error;
};

TResult Parse(const TBytes& bytes) {
    TResult result;
    result.Ok = ParseReportDescriptor(bytes.data(), bytes.size(), result.Lengths, result.Error);
    return result;
}

void ExpectRefusedUntouched(const TResult& r) {
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Error.empty());
    EXPECT_EQ(r.Lengths.Input, Untouched.Input);
    EXPECT_EQ(r.Lengths.Output, Untouched.Output);
    EXPECT_EQ(r.Lengths.Feature, Untouched.Feature);
}

// The tuner's own descriptor: 64-byte input and output reports, no report IDs.
const char* const TunerDescriptor =
    "0600FF 0901 A101 0901 1500 26FF00 9540 7508 8102 0901 1500 26FF00 9540 7508 9102 C0";

} // namespace

TEST(ReportDescriptor, Lengths) {
    struct Case {
        const char* name;
        std::string hex;
        int input, output, feature;
        bool ids;
    } cases[] = {
        {"tuner", TunerDescriptor, 65, 65, 0, false},
        // ID 1 input: 3 + 20 bytes over two items beats ID 2's 16; outputs 4 and 7; one
        // feature of 2.
        {"report ids",
         "7508 8501 9503 8102 8502 9510 8102 8501 9504 9102 8503 9507 9102"
         "8502 9502 B102 8501 9514 8102",
         24, 8, 3, true},
        // The inner Report Size 1 / Count 3 must not survive the Pop: 3 + 16 bits.
        {"push pop", "7508 9502 A4 7501 9503 8102 B4 8102", 4, 0, 0, false},
        {"push 4 deep", "A4 A4 A4 7508 A4 9502 8102 B4 B4 B4 B4", 3, 0, 0, false},
        // Read as short items, the long items' data would declare 64 more input bytes.
        {"long items", "7508 9501 FE 04 00 9540 8102 FE 00 12 8102", 2, 0, 0, false},
        // A 4-byte usage page; read as 3 data bytes its last byte would swallow the 75.
        {"usage page 4 bytes", "07 00FF0101 7508 9501 8102", 2, 0, 0, false},
        {"bits round up", "7501 9503 8102 750C 9503 9102 7502 9505 B102", 2, 6, 3, false},
        {"declared but empty", "8102", 1, 0, 0, false},
        {"id only", "8501", 0, 0, 0, true},
        {"reserved items", "F1 00 FC 0C 7508 9501 8102", 2, 0, 0, false},
        {"unclosed collection", "A101 A102 7508 9501 8102 C0", 2, 0, 0, false},
        // The largest report the kernel carries: 16383 bytes + the ID byte.
        {"longest report", "7508 960030 8102 96FF0F 8102", 16384, 0, 0, false},
        {"widest field", "760001 96FF01 9102", 0, 16353, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TResult r = Parse(Hex(c.hex));
        ASSERT_TRUE(r.Ok) << r.Error;
        EXPECT_EQ(r.Lengths.Input, c.input);
        EXPECT_EQ(r.Lengths.Output, c.output);
        EXPECT_EQ(r.Lengths.Feature, c.feature);
        EXPECT_EQ(r.Lengths.UsesReportIds, c.ids);
    }
}

TEST(ReportDescriptor, Refusals) {
    struct Case {
        const char* name;
        std::string hex;
        const char* reason; // a word the error must name
    } cases[] = {
        {"empty", "", "empty"},
        {"short item cut", "7508 95", "cut off"},
        {"4-byte item cut", "27 FF0000", "cut off"},
        {"long item prefix only", "FE 02", "cut off"},
        {"long item data cut", "FE 02 00 01", "cut off"},
        {"report id 0", "8500", "Report ID"},
        {"report id without data", "84", "Report ID"},
        {"report id 256", "860001", "Report ID"},
        {"pop empty", "A4 B4 B4", "Pop"},
        {"push 5 deep", "A4 A4 A4 A4 A4", "Push"},
        {"end collection first", "C0", "End Collection"},
        {"end collection twice", "A101 C0 C0", "End Collection"},
        {"report size 257", "760101", "Report Size"},
        {"report size 4 bytes", "77 FFFFFFFF", "Report Size"},
        {"report count 12289", "960130", "Report Count"},
        {"report 16385 bytes", "7508 960030 8102 960010 8102", "16384"},
        {"report too long per id", "7508 8501 960030 B102 8502 B102 8501 960010 B102", "16384"},
        {"id after unnumbered", "7508 9501 9102 8501 8102", "without"},
        {"unnumbered after pop", "7508 9501 A4 8501 8102 B4 8102", "without"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TResult r = Parse(Hex(c.hex));
        ExpectRefusedUntouched(r);
        EXPECT_NE(r.Error.find(c.reason), std::string::npos) << r.Error;
    }
}

TEST(ReportDescriptor, SizeLimit) {
    TBytes bytes = Hex(TunerDescriptor);
    bytes.resize(MaxReportDescriptorSize, 0x00); // main items of a reserved tag: no reports
    const TResult largest = Parse(bytes);
    ASSERT_TRUE(largest.Ok) << largest.Error;
    EXPECT_EQ(largest.Lengths.Input, 65);

    bytes.push_back(0x00);
    ExpectRefusedUntouched(Parse(bytes));
}

// Every cut inside an item is refused; cuts between items may parse (a shorter descriptor
// is still one) but never crash or read past the cut.
TEST(ReportDescriptor, CutAtEveryByte) {
    const std::vector<std::string> items = {"0600FF", "0901", "A101",       "8501", "7508",
                                            "9540",   "8102", "FE0200AABB", "A4",   "27FFFF0000",
                                            "B4",     "9102", "C0"};
    TBytes whole;
    std::vector<bool> boundary;
    for (const std::string& item : items) {
        const TBytes bytes = Hex(item);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            boundary.push_back(i == 0);
        whole.insert(whole.end(), bytes.begin(), bytes.end());
    }
    ASSERT_TRUE(Parse(whole).Ok);
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        // A copy of exactly the cut length, so that ASan sees any read past it.
        const TResult r = Parse(TBytes(whole.begin(), whole.begin() + long(cut)));
        if (!boundary[cut]) {
            ExpectRefusedUntouched(r);
            EXPECT_NE(r.Error.find("cut off"), std::string::npos) << r.Error;
        }
    }
}

TEST(ReportDescriptor, RandomBytes) {
    std::mt19937 rng(20240611);
    // Prefixes of the items that matter, so that random descriptors get past the first
    // few bytes often enough to reach the deeper rules.
    const std::uint8_t prefixes[] = {0x75, 0x95, 0x85, 0x81, 0x91, 0xB1, 0xA1,
                                     0xC0, 0xA4, 0xB4, 0xFE, 0x96, 0x77};
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        TBytes bytes(1 + rng() % 64);
        for (std::uint8_t& b : bytes)
            b = rng() % 2 ? prefixes[rng() % sizeof prefixes] : std::uint8_t(rng());
        const TResult r = Parse(bytes);
        if (!r.Ok) {
            ExpectRefusedUntouched(r);
            continue;
        }
        ++accepted;
        for (int length : {r.Lengths.Input, r.Lengths.Output, r.Lengths.Feature}) {
            EXPECT_GE(length, 0);
            EXPECT_LE(length, 16384);
        }
    }
    EXPECT_GT(accepted, 0); // the mix must exercise the accepting path too
}
