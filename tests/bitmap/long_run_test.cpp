// Paths taken only by long inputs: the string-store fill of long runs, and BMP rows gathered
// into chunks before they are written.
#include <gtest/gtest.h>

#include <vector>

#include "bitmap/bmp_writer.h"
#include "bitmap/low_level.h"

namespace {

constexpr TColor32 kFence = 0xDEADBEEFu;

TEST(LongRuns, FillWritesExactlyCountWordsOnBothSidesOfTheLongPath)
{
    for (int count : {255, 256, 257, 1000, 4099}) {
        for (int start : {0, 1, 3}) {
            std::vector<TColor32> buf(count + 16, kFence);
            FillColorRun(buf.data() + 8 + start, count, 0x80402010u);
            for (int i = 0; i < static_cast<int>(buf.size()); ++i) {
                bool inside = i >= 8 + start && i < 8 + start + count;
                ASSERT_EQ(buf[i], inside ? 0x80402010u : kFence) << "count " << count << " start " << start << " at " << i;
            }
        }
    }
}

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
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            std::size_t at = 54 + (static_cast<std::size_t>(H - 1 - y) * W + x) * 4;
            ASSERT_EQ(Word(b, at), px[static_cast<std::size_t>(y) * W + x]) << W << " x " << H << " at " << x << "," << y;
        }
}

TEST(LongRuns, BmpRowsSpanningSeveralChunksStayBottomUp)
{
    ExpectBottomUp(300, 2000); // 1200-byte rows: several chunks of whole rows and a short last one
    ExpectBottomUp(300000, 2); // rows longer than a chunk
}

} // namespace
