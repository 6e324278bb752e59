#include "filters/mask_file_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "twin_rows.h"

namespace {

TEST(MaskFileRows, PortableLoopWritesTheRedRampOnly)
{
    const TColor32 mask[] = {0x00FFFFFFu, 0xFF000000u, 0x01ABCDEFu, 0x80123456u};
    std::vector<std::uint8_t> out(17, 0x55);
    MaskFileRow32Plain(mask, out.data(), 4);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 254, 0, 0, 0, 127, 0, 0x55}));
}

// The twin against the portable loop at every length up to a few registers, at every byte
// offset of the output, with guard bytes on either side.
TEST(MaskFileRows, Sse2TwinMatchesThePortableLoop)
{
#if defined(VESPER_X86)
    if (MaskFileRow32() != MaskFileRow32Sse2)
        GTEST_SKIP() << "no SSE2 here";
    const std::uint32_t seed = 0x0DDF11E5u;
    std::mt19937 rnd(seed);
    for (int n = 0; n < 4000; ++n) {
        const int count = n % 40;
        const int srcOffset = static_cast<int>(rnd() % 4), dstOffset = static_cast<int>(rnd() % 16);
        std::vector<TColor32> mask(static_cast<std::size_t>(srcOffset + count));
        for (auto& p : mask)
            p = rnd();
        const auto guard = static_cast<std::uint8_t>(rnd());
        std::vector<std::uint8_t> a(static_cast<std::size_t>(dstOffset + 4 * count + 1), guard), b = a;
        MaskFileRow32Plain(mask.data() + srcOffset, a.data() + dstOffset, count);
        MaskFileRow32Sse2(mask.data() + srcOffset, b.data() + dstOffset, count);
        ASSERT_TRUE(TwinRowAgrees(a, b, guard, TTwinCase{seed, n, count, srcOffset, dstOffset}));
    }
#else
    GTEST_SKIP() << "no SSE2 twin on this processor family";
#endif
}

} // namespace
