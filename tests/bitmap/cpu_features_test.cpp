// The processor test against the compiler's own feature probe.
#include <gtest/gtest.h>

#include "bitmap/cpu_features.h"

namespace {

#if defined(__i386__) || defined(__x86_64__)
TEST(CpuFeatures, AgreesWithTheCompilersProbe)
{
    __builtin_cpu_init();
    EXPECT_EQ(CpuHasFeature(TCpuFeature::MMX), __builtin_cpu_supports("mmx") != 0);
    EXPECT_EQ(CpuHasFeature(TCpuFeature::SSE), __builtin_cpu_supports("sse") != 0);
    EXPECT_EQ(CpuHasFeature(TCpuFeature::SSE2), __builtin_cpu_supports("sse2") != 0);
}
#endif

#if defined(__x86_64__)
TEST(CpuFeatures, SixtyFourBitProcessorsHaveTheBaseline)
{
    EXPECT_TRUE(CpuHasFeature(TCpuFeature::MMX));
    EXPECT_TRUE(CpuHasFeature(TCpuFeature::SSE));
    EXPECT_TRUE(CpuHasFeature(TCpuFeature::SSE2));
}
#endif

#if !defined(__i386__) && !defined(__x86_64__)
TEST(CpuFeatures, NothingOffX86)
{
    for (TCpuFeature f : {TCpuFeature::MMX, TCpuFeature::SSE, TCpuFeature::SSE2, TCpuFeature::AMD3DNow,
                          TCpuFeature::AMD3DNowExt})
        EXPECT_FALSE(CpuHasFeature(f));
}
#endif

} // namespace
