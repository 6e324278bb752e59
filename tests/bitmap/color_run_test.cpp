// FillColorRun and MoveColorRun: exact extents on both sides of the long-run path, nothing
// for empty counts, and overlap-safe moves in both directions.
#include <gtest/gtest.h>

#include <climits>
#include <numeric>
#include <vector>

#include "bitmap/low_level.h"

namespace {

constexpr TColor32 kFence = 0xDEADBEEFu;

TEST(ColorRun, FillWritesExactlyCountWords)
{
    for (int count : {1, 3, 4, 255, 256, 257, 1000, 4099}) {
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

TEST(ColorRun, EmptyCountsTouchNothing)
{
    std::vector<TColor32> a(4, kFence), b(4, 1);
    for (int count : {0, -1, INT_MIN}) {
        FillColorRun(a.data(), count, 0);
        FillColorRun(nullptr, count, 0);
        MoveColorRun(b.data(), a.data(), count);
        MoveColorRun(nullptr, nullptr, count);
    }
    EXPECT_EQ(a, std::vector<TColor32>(4, kFence));
}

TEST(ColorRun, MoveIsOverlapSafeBothWays)
{
    for (int count : {5, 300}) {
        for (int shift : {1, -1, 7, -7}) {
            std::vector<TColor32> buf(count + 20);
            std::iota(buf.begin(), buf.end(), 100u);
            std::vector<TColor32> want = buf;
            const int from = 10, to = 10 + shift;
            for (int i = 0; i < count; ++i)
                want[to + i] = buf[from + i];
            MoveColorRun(buf.data() + from, buf.data() + to, count);
            EXPECT_EQ(buf, want) << "count " << count << " shift " << shift;
        }
    }
}

} // namespace
