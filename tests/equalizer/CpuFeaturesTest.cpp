#include "equalizer/CpuFeatures.h"

#include <gtest/gtest.h>

// The compiler's own check, which the program avoids for its start-up cost, is the reference.
TEST(CpuFeatures, AvxAsTheCompilerSeesIt) {
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(CpuHasAvx(), bool(__builtin_cpu_supports("avx")));
#else
    EXPECT_FALSE(CpuHasAvx());
#endif
}
