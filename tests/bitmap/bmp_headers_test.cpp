#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bitmap/bmp_writer.h"

namespace {

std::uint32_t LE32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(BmpHeaders, RowsArePaddedToFourBytesAtEveryDepth)
{
    EXPECT_EQ(BmpRowBytes(1, 24), 4u);
    EXPECT_EQ(BmpRowBytes(3, 24), 12u);
    EXPECT_EQ(BmpRowBytes(5, 24), 16u);
    EXPECT_EQ(BmpRowBytes(3, 16), 8u);
    EXPECT_EQ(BmpRowBytes(7, 32), 28u);
    EXPECT_EQ(BmpRowBytes(9, 1), 4u);
    EXPECT_EQ(BmpRowBytes(0, 24), 0u);
    EXPECT_EQ(BmpRowBytes(-3, 24), 0u);
}

TEST(BmpHeaders, SizesFollowTheRowBytesAndDepth)
{
    TMemoryStream s;
    EXPECT_EQ(WriteBmpHeaders(s, 5, 3, 24), 48u);
    const std::vector<std::uint8_t>& b = s.Bytes();
    ASSERT_EQ(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(LE32(b, 2), 54u + 48u);
    EXPECT_EQ(LE32(b, 10), 54u);
    EXPECT_EQ(LE32(b, 14), 40u);
    EXPECT_EQ(LE32(b, 18), 5u);
    EXPECT_EQ(LE32(b, 22), 3u); // positive: bottom row first
    EXPECT_EQ(b[26] | b[27] << 8, 1);
    EXPECT_EQ(b[28] | b[29] << 8, 24);
    EXPECT_EQ(LE32(b, 30), 0u);
    EXPECT_EQ(LE32(b, 34), 48u);
}

TEST(BmpHeaders, ImagesBeyondTheFormatsSizesAreRefusedBeforeAnyByte)
{
    TMemoryStream s;
    EXPECT_THROW(WriteBmpHeaders(s, 70000, 70000, 32), EStreamError);
    EXPECT_TRUE(s.Bytes().empty());
}

} // namespace
