#include "platform/hid/ReportDescriptor.h"

#include <array>

// What is accepted and what is not. The limits are the kernel's: a hidraw node only exists
// for a descriptor the kernel's HID parser took, so nothing stricter can be needed, and a
// descriptor beyond them would describe reports the node cannot carry.
// - Short items of 0, 1, 2 or 4 data bytes, unsigned little-endian; long items (prefix 0xFE,
//   data size, tag, data) are skipped whole, they describe no report data.
// - Only Report Size, Report Count, Report ID, Push and Pop among the globals, and Input,
//   Output, Feature, Collection and End Collection among the main items, change anything.
//   Every other item, reserved tags and types included, is read past: it cannot change
//   how long a report is.
// - Rejected because the report layout stops making sense: an item cut off by the end; a
//   Report ID of 0 or above 255; a Report Size above 256 bits or a Report Count above 12288;
//   a report longer than 16384 bytes with its report ID byte; Pop with nothing pushed, or
//   Push deeper than 4; End Collection without an open Collection; reports with a report ID
//   and reports without one in the same descriptor (a device that numbers its reports
//   always sends the number first, so an unnumbered report cannot be told apart).
// - Accepted: collections still open at the end. Every report is fully described by then,
//   and a device whose descriptor length is one byte short loses just its last
//   End Collection.
// - A kind exists as soon as one main item of that kind appears, even one of 0 bits (Report
//   Size or Count not set yet): its length is then 1, the report ID byte alone.

namespace {

constexpr std::uint32_t MaxReportSizeBits = 256;
constexpr std::uint32_t MaxReportCount = 12288;
constexpr std::uint32_t MaxReportId = 255;
constexpr std::uint64_t MaxReportBytes = 16384; // the report ID byte included
constexpr std::size_t PushDepth = 4;

constexpr std::uint8_t LongItemPrefix = 0xFE;

enum TItemType : std::uint8_t { MainItem = 0, GlobalItem = 1, LocalItem = 2, LongItem = 4 };

enum TMainTag : std::uint8_t {
    InputTag = 0x8,
    OutputTag = 0x9,
    CollectionTag = 0xA,
    FeatureTag = 0xB,
    EndCollectionTag = 0xC
};

enum TGlobalTag : std::uint8_t {
    ReportSizeTag = 0x7,
    ReportIdTag = 0x8,
    ReportCountTag = 0x9,
    PushTag = 0xA,
    PopTag = 0xB
};

struct TItem {
    std::uint8_t Type = 0;
    std::uint8_t Tag = 0;
    std::uint32_t Value = 0;
    std::size_t Length = 0; // prefix and data
};

// Reads the item that starts at data[pos] (pos < size). False when it runs past the end.
bool ReadItem(const std::uint8_t* data, std::size_t size, std::size_t pos, TItem& item) {
    const std::size_t left = size - pos;
    const std::uint8_t prefix = data[pos];
    if (prefix == LongItemPrefix) {
        if (left < 3)
            return false;
        item.Type = LongItem;
        item.Length = 3 + std::size_t(data[pos + 1]);
        return item.Length <= left;
    }
    static constexpr std::size_t DataBytes[4] = {0, 1, 2, 4};
    const std::size_t count = DataBytes[prefix & 0x3];
    if (1 + count > left)
        return false;
    item.Type = std::uint8_t((prefix >> 2) & 0x3);
    item.Tag = std::uint8_t(prefix >> 4);
    item.Value = 0;
    for (std::size_t i = count; i > 0; --i)
        item.Value = (item.Value << 8) | data[pos + i];
    item.Length = 1 + count;
    return true;
}

// The globals that decide report lengths; the others (usage page, logical ranges, units)
// never do.
struct TGlobalState {
    std::uint32_t ReportSize = 0;
    std::uint32_t ReportCount = 0;
    std::uint32_t ReportId = 0;
};

struct TKindReports {
    std::array<std::uint32_t, MaxReportId + 1> Bits{}; // by report ID
    bool Declared = false;
};

class TDescriptorParser {
public:
    // Null when the item is fine, else why the descriptor is refused.
    const char* Item(const TItem& item) {
        switch (item.Type) {
        case MainItem:
            return Main(item);
        case GlobalItem:
            return Global(item);
        default:
            return nullptr;
        }
    }

    THidReportLengths Lengths() const {
        THidReportLengths lengths;
        lengths.Input = Length(FReports[0]);
        lengths.Output = Length(FReports[1]);
        lengths.Feature = Length(FReports[2]);
        lengths.UsesReportIds = FUsesReportIds;
        return lengths;
    }

private:
    const char* Main(const TItem& item) {
        switch (item.Tag) {
        case InputTag:
            return AddReport(FReports[0]);
        case OutputTag:
            return AddReport(FReports[1]);
        case FeatureTag:
            return AddReport(FReports[2]);
        case CollectionTag:
            ++FCollectionDepth;
            return nullptr;
        case EndCollectionTag:
            if (FCollectionDepth == 0)
                return "End Collection without Collection";
            --FCollectionDepth;
            return nullptr;
        default:
            return nullptr;
        }
    }

    const char* Global(const TItem& item) {
        switch (item.Tag) {
        case ReportSizeTag:
            if (item.Value > MaxReportSizeBits)
                return "Report Size above 256 bits";
            FGlobal.ReportSize = item.Value;
            return nullptr;
        case ReportCountTag:
            if (item.Value > MaxReportCount)
                return "Report Count above 12288";
            FGlobal.ReportCount = item.Value;
            return nullptr;
        case ReportIdTag:
            if (item.Value == 0 || item.Value > MaxReportId)
                return "Report ID outside 1..255";
            if (FUnnumberedReport)
                return "Report ID after a report without one";
            FGlobal.ReportId = item.Value;
            FUsesReportIds = true;
            return nullptr;
        case PushTag:
            if (FStackDepth == PushDepth)
                return "Push nested too deep";
            FStack[FStackDepth++] = FGlobal;
            return nullptr;
        case PopTag:
            if (FStackDepth == 0)
                return "Pop without Push";
            FGlobal = FStack[--FStackDepth];
            return nullptr;
        default:
            return nullptr;
        }
    }

    const char* AddReport(TKindReports& reports) {
        if (FGlobal.ReportId == 0) {
            // Only reachable with report IDs declared through a Pop back to the state
            // before the first Report ID.
            if (FUsesReportIds)
                return "report without Report ID after one with";
            FUnnumberedReport = true;
        }
        // Both factors are capped above, and the sum is capped on every addition, so
        // this cannot overflow.
        const std::uint64_t bits = std::uint64_t(reports.Bits[FGlobal.ReportId]) +
                                   std::uint64_t(FGlobal.ReportSize) * FGlobal.ReportCount;
        if (bits > (MaxReportBytes - 1) * 8)
            return "report longer than 16384 bytes";
        reports.Bits[FGlobal.ReportId] = std::uint32_t(bits);
        reports.Declared = true;
        return nullptr;
    }

    static int Length(const TKindReports& reports) {
        if (!reports.Declared)
            return 0;
        std::uint32_t largest = 0;
        for (std::uint32_t bits : reports.Bits)
            largest = bits > largest ? bits : largest;
        return int((largest + 7) / 8) + 1;
    }

    TGlobalState FGlobal;
    std::array<TGlobalState, PushDepth> FStack{};
    std::size_t FStackDepth = 0;
    std::size_t FCollectionDepth = 0;
    std::array<TKindReports, 3> FReports{}; // input, output, feature
    bool FUsesReportIds = false;
    bool FUnnumberedReport = false; // a main item was declared while the report ID was 0
};

} // namespace

bool ParseReportDescriptor(const std::uint8_t* data, std::size_t size, THidReportLengths& lengths,
                           std::string& error) {
    if (data == nullptr || size == 0) {
        error = "empty report descriptor";
        return false;
    }
    if (size > MaxReportDescriptorSize) {
        error =
            "report descriptor larger than " + std::to_string(MaxReportDescriptorSize) + " bytes";
        return false;
    }
    TDescriptorParser parser;
    TItem item;
    for (std::size_t pos = 0; pos < size; pos += item.Length) {
        const char* reason = ReadItem(data, size, pos, item) ? parser.Item(item) : "item cut off";
        if (reason != nullptr) {
            error = std::string(reason) + " at byte " + std::to_string(pos);
            return false;
        }
    }
    lengths = parser.Lengths();
    return true;
}
