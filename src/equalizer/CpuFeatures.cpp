#include "equalizer/CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>

namespace {

bool AskCpu() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    if (!(c & bit_AVX) || !(c & bit_OSXSAVE))
        return false;
    // XCR0: the system saves the SSE (bit 1) and AVX (bit 2) state.
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 6u) == 6u;
}

} // namespace

bool CpuHasAvx() {
    static const bool has = AskCpu();
    return has;
}
#else
bool CpuHasAvx() {
    return false;
}
#endif
