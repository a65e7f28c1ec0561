// libFuzzer target for the report descriptor parser: build with clang and -DORVALEN_FUZZ=ON,
// run build/tests/platform/hid/fuzz_hid_descriptor.
#include "platform/hid/ReportDescriptor.h"

#include <cstdlib>

namespace {

bool LengthInRange(int length) {
    return length >= 0 && length <= 16384;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const THidReportLengths untouched{-1, -2, -3, true};
    THidReportLengths lengths = untouched;
    std::string error;
    // An accepted descriptor must give lengths a hidraw node can carry; a refused one must
    // say why and leave the lengths alone.
    if (ParseReportDescriptor(data, size, lengths, error)) {
        if (!LengthInRange(lengths.Input) || !LengthInRange(lengths.Output) ||
            !LengthInRange(lengths.Feature))
            std::abort();
    } else if (error.empty() || lengths.Input != untouched.Input ||
               lengths.Output != untouched.Output || lengths.Feature != untouched.Feature ||
               lengths.UsesReportIds != untouched.UsesReportIds) {
        std::abort();
    }
    return 0;
}
