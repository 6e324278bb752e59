#include "bridge/mask_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "twin_rows.h"

namespace {

TEST(MaskRows, PortableLoopInvertsIntoAlphaOverTheColour)
{
    const std::uint8_t selection[] = {0, 255, 1, 128};
    std::vector<TColor32> row(5, 0xDEADBEEFu);
    // The colour's own alpha plays no part.
    MaskRowInto32Plain(selection, 0x7F112233u, row.data(), 4);
    EXPECT_EQ(row, (std::vector<TColor32>{0xFF112233u, 0x00112233u, 0xFE112233u, 0x7F112233u, 0xDEADBEEFu}));
}

// The twin against the portable loop at every length up to a few registers, from every
// alignment of both rows, with bytes on either side that neither may touch.
TEST(MaskRows, Sse2TwinMatchesThePortableLoop)
{
#if defined(VESPER_X86)
    if (MaskRowInto32() != MaskRowInto32Sse2)
        GTEST_SKIP() << "no SSE2 here";
    const std::uint32_t seed = 0x3A5C0DE5u;
    std::mt19937 rnd(seed);
    for (int n = 0; n < 4000; ++n) {
        const int count = n % 70;
        const int srcOffset = static_cast<int>(rnd() % 16), dstOffset = static_cast<int>(rnd() % 4);
        std::vector<std::uint8_t> selection(static_cast<std::size_t>(srcOffset + count));
        for (auto& b : selection)
            b = static_cast<std::uint8_t>(rnd());
        const TColor32 colour = rnd();
        const TColor32 guard = rnd();
        std::vector<TColor32> a(static_cast<std::size_t>(dstOffset + count + 1), guard), b = a;
        MaskRowInto32Plain(selection.data() + srcOffset, colour, a.data() + dstOffset, count);
        MaskRowInto32Sse2(selection.data() + srcOffset, colour, b.data() + dstOffset, count);
        ASSERT_TRUE(TwinRowAgrees(a, b, guard, TTwinCase{seed, n, count, srcOffset, dstOffset}));
    }
#else
    GTEST_SKIP() << "no SSE2 twin on this processor family";
#endif
}

} // namespace
