// The BMP writer's pixel rows: bottom row first, each row's words as they lie, whatever the
// size of the chunks the rows are gathered in.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bitmap/bmp_writer.h"

namespace {

std::uint32_t Word(const std::vector<std::uint8_t>& B, std::size_t At)
{
    return B[At] | B[At + 1] << 8 | B[At + 2] << 16 | static_cast<std::uint32_t>(B[At + 3]) << 24;
}

void ExpectBottomUp(int W, int H)
{
    std::vector<std::uint32_t> px(static_cast<std::size_t>(W) * H);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<std::uint32_t>(i * 2654435761u);
    TMemoryStream s;
    WriteBmp32(s, px.data(), W, H);
    const auto& b = s.Bytes();
    ASSERT_EQ(b.size(), 54 + px.size() * 4) << W << " x " << H;
    EXPECT_EQ(Word(b, 2), b.size());
    EXPECT_EQ(Word(b, 18), static_cast<std::uint32_t>(W));
    EXPECT_EQ(Word(b, 22), static_cast<std::uint32_t>(H));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            std::size_t at = 54 + (static_cast<std::size_t>(H - 1 - y) * W + x) * 4;
            ASSERT_EQ(Word(b, at), px[static_cast<std::size_t>(y) * W + x]) << W << " x " << H << " at " << x << "," << y;
        }
}

TEST(BmpRows, SmallImage)
{
    ExpectBottomUp(3, 2);
    ExpectBottomUp(1, 1);
}

TEST(BmpRows, RowsSpanningSeveralChunks)
{
    ExpectBottomUp(300, 2000); // 1200-byte rows: a few chunks of whole rows and a short last one
    ExpectBottomUp(300000, 2); // a row longer than a chunk
}

TEST(BmpRows, EmptyImageHasHeadersOnly)
{
    TMemoryStream s;
    WriteBmp32(s, nullptr, 0, 0);
    EXPECT_EQ(s.Bytes().size(), 54u);
    TMemoryStream t;
    std::uint32_t one = 1;
    WriteBmp32(t, &one, 0, 5); // no columns: no pixel bytes, whatever the height
    EXPECT_EQ(t.Bytes().size(), 54u);
}

} // namespace
