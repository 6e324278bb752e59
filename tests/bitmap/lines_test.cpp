#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/blend.h"
#include "bitmap/low_level.h"

namespace {

struct TPlot {
    std::int64_t X, Y;
    int Weight; // 256 = a whole-pixel blend (aliased), else the coverage weight
};

// The lines walked step by step from their start point, without any clipping: the pixels and
// weights every clipped drawing must reproduce inside its clip rectangle.
std::vector<TPlot> Walk(bool Smooth, std::int64_t X1, std::int64_t Y1, std::int64_t X2, std::int64_t Y2, bool DrawLast)
{
    std::vector<TPlot> out;
    const std::int64_t sx = X2 < X1 ? -1 : 1, sy = Y2 < Y1 ? -1 : 1;
    std::int64_t ex = (X2 - X1) * sx, ey = (Y2 - Y1) * sy;
    if (!DrawLast)
        --(ex > ey ? ex : ey);
    if (ex <= 0 || ey <= 0)
        return out;
    if (Smooth && ex == ey)
        return Walk(false, X1, Y1, X1 + sx * ex, Y1 + sy * ey, DrawLast);
    const bool steep = ex < ey;
    const std::int64_t a = steep ? ey : ex, b = steep ? ex : ey;
    auto at = [&](std::int64_t k, std::int64_t minor, int weight) {
        return steep ? TPlot{X1 + sx * minor, Y1 + sy * k, weight} : TPlot{X1 + sx * k, Y1 + sy * minor, weight};
    };
    std::int64_t e = 2 * b - a, n = 0;
    const std::uint16_t g = static_cast<std::uint16_t>((b << 16) / a);
    std::uint16_t acc = 0;
    for (std::int64_t k = 0; k <= a; ++k) {
        if (!Smooth) {
            out.push_back(at(k, n, 256));
            if (e < 0) {
                e += 2 * b;
            } else {
                ++n;
                e += 2 * b - 2 * a;
            }
            continue;
        }
        out.push_back(at(k, n, GammaTable[255 - (acc >> 8)]));
        out.push_back(at(k, n + 1, GammaTable[acc >> 8]));
        const std::uint16_t old = acc;
        acc = static_cast<std::uint16_t>(acc + g);
        if (acc <= old)
            ++n;
    }
    return out;
}
std::vector<TPlot> WalkBlended(std::int64_t X1, std::int64_t Y1, std::int64_t X2, std::int64_t Y2, bool L)
{
    return Walk(false, X1, Y1, X2, Y2, L);
}
std::vector<TPlot> WalkSmooth(std::int64_t X1, std::int64_t Y1, std::int64_t X2, std::int64_t Y2, bool L)
{
    return Walk(true, X1, Y1, X2, Y2, L);
}

// Applies recorded plots to a bitmap the way the line would, honouring the clip rectangle.
void Apply(TBitmap32& B, const std::vector<TPlot>& Plots, TColor32 Value, std::int64_t OX = 0, std::int64_t OY = 0)
{
    const TRect& c = B.ClipRect();
    for (const TPlot& p : Plots) {
        const std::int64_t x = p.X + OX, y = p.Y + OY;
        if (x < c.Left || x >= c.Right || y < c.Top || y >= c.Bottom)
            continue;
        TColor32& px = *B.PixelPointer(int(x), int(y));
        if (p.Weight == 256)
            BlendColorIntoByMode[B.CombineMode()](Value, px);
        else
            BlendColorIntoScaledByMode[B.CombineMode()](Value, px, TColor32(p.Weight));
    }
    FinishColorOps();
}

void Randomize(TBitmap32& B, int W, int H, std::mt19937& Rng)
{
    B.SetSize(W, H);
    for (int i = 0; i < W * H; ++i)
        B.Bits()[i] = Rng();
}

std::vector<TColor32> Pixels(const TBitmap32& B) { return std::vector<TColor32>(B.Bits(), B.Bits() + B.Width() * B.Height()); }

void CopyPixels(TBitmap32& To, const TBitmap32& From)
{
    To.SetSize(From.Width(), From.Height());
    std::memcpy(To.Bits(), From.Bits(), sizeof(TColor32) * std::size_t(From.Width()) * From.Height());
}

} // namespace

// ------------------------------------------------------------------ worked cases

TEST(Lines, PolylineBlendsEachJointOnce)
{
    TBitmap32 b, want;
    b.SetSize(8, 8);
    b.Clear(0xFF000000);
    CopyPixels(want, b);
    b.PenColor = 0x80FFFFFF;
    b.MovePenTo(0, 0);
    b.LineToBlended(4, 0);
    b.LineToBlended(4, 4);
    EXPECT_EQ(b.PenPos, (TPoint{4, 4}));
    for (int x = 0; x < 4; ++x)
        want.SetPixelBlended(x, 0, 0x80FFFFFF);
    for (int y = 0; y < 4; ++y)
        want.SetPixelBlended(4, y, 0x80FFFFFF);
    EXPECT_EQ(Pixels(b), Pixels(want));
    EXPECT_EQ(b.PixelAt(4, 4), 0xFF000000u);
}

TEST(Lines, ShortSmoothSegmentsShrinkToAliasedOnes)
{
    TBitmap32 b;
    b.SetSize(6, 6);
    b.Clear(0xFF000000);
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.PenColor = 0xC0FF8040;
    b.MovePenTo(0, 0);
    b.LineToSmooth(1, 1); // a one-step diagonal draws nothing
    EXPECT_EQ(b.PenPos, (TPoint{1, 1}));
    EXPECT_EQ(changes, 0);
    b.LineToSmooth(1, 1); // zero length
    EXPECT_EQ(changes, 1); // axis-parallel lines reach the drawing stage
    for (int i = 0; i < 36; ++i)
        ASSERT_EQ(b.Bits()[i], 0xFF000000u);

    // (0,0)-(3,2) becomes the diagonal (0,0)-(2,2), then (0,0)-(2,1) in the aliased line.
    b.MovePenTo(0, 0);
    b.LineToSmooth(3, 2);
    EXPECT_EQ(changes, 2);
    TBitmap32 want;
    want.SetSize(6, 6);
    want.Clear(0xFF000000);
    for (TPoint p : {TPoint{0, 0}, TPoint{1, 1}, TPoint{2, 1}})
        want.SetPixelBlended(p.X, p.Y, 0xC0FF8040);
    EXPECT_EQ(Pixels(b), Pixels(want));
}

TEST(Lines, SmoothLineStartsWithFullCoverage)
{
    TBitmap32 b, want;
    b.SetSize(12, 8);
    b.Clear(0xFF202020);
    CopyPixels(want, b);
    b.DrawLineSmooth(0, 0, 10, 5, 0xFFFFFFFF, true);
    // g = 32768: coverage alternates between the full pixel and two half pixels.
    auto blendAt = [&](int x, int y, int w) { BlendColorIntoScaled(0xFFFFFFFF, *want.PixelPointer(x, y), TColor32(w)); };
    for (int x = 0; x <= 10; ++x) {
        const int n = x / 2;
        if (x % 2 == 0) {
            blendAt(x, n, GammaTable[255]);
            blendAt(x, n + 1, GammaTable[0]);
        } else {
            blendAt(x, n, GammaTable[127]);
            blendAt(x, n + 1, GammaTable[128]);
        }
    }
    FinishColorOps();
    EXPECT_EQ(Pixels(b), Pixels(want));
    EXPECT_NE(b.PixelAt(0, 0), 0xFF202020u);
    EXPECT_EQ(b.PixelAt(0, 1), 0xFF202020u); // weight 0
    EXPECT_NE(b.PixelAt(1, 0), 0xFF202020u);
}

TEST(Lines, TransparentPenChangesNothing)
{
    std::mt19937 rng(1);
    for (TCombineMode cm : {cmBlend, cmMerge}) {
        TBitmap32 b;
        Randomize(b, 20, 20, rng);
        b.SetCombineMode(cm);
        const auto before = Pixels(b);
        b.PenColor = 0x00FFFFFF;
        b.MovePenTo(1, 2);
        b.LineToSmooth(17, 9);
        b.LineToBlended(3, 18);
        b.LineToSmooth(3, 1);
        b.DrawLineSmooth(0, 19, 19, 0, 0x00123456, true);
        EXPECT_EQ(Pixels(b), before) << int(cm);
    }
}

TEST(Lines, ChangeNotificationOnlyWhenDrawingStarts)
{
    TBitmap32 b;
    b.SetSize(20, 20);
    b.SetClipRect({5, 5, 15, 15});
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.DrawLineBlended(0, 0, 4, 19, 0xFFFFFFFF, true); // left of the clip
    b.DrawLineSmooth(0, 0, 4, 19, 0xFFFFFFFF, true);
    b.DrawLineSmooth(16, 0, 19, 3, 0xFFFFFFFF, true); // above-right
    EXPECT_EQ(changes, 0);
    b.DrawLineBlended(0, 2, 19, 2, 0xFFFFFFFF, true); // axis-parallel, clipped away
    EXPECT_EQ(changes, 1);
    b.DrawLineSmooth(0, 0, 19, 13, 0xFFFFFFFF, false);
    EXPECT_EQ(changes, 2);
    b.DrawLineSmooth(0, 0, 12, 12, 0xFFFFFFFF, false); // handed to the aliased line: once
    EXPECT_EQ(changes, 3);
    b.SetClipRect({5, 5, 5, 15});
    b.DrawLineSmooth(5, 0, 5, 19, 0xFFFFFFFF, true); // smooth lines stop at an empty clip
    EXPECT_EQ(changes, 3);
    b.DrawLineBlended(0, 0, 19, 17, 0xFFFFFFFF, true); // sloped lines miss an empty clip
    EXPECT_EQ(changes, 3);
    b.DrawLineBlended(5, 0, 5, 19, 0xFFFFFFFF, true);
    EXPECT_EQ(changes, 4);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            if (x < 5 || x >= 15 || y < 5 || y >= 15) {
                ASSERT_EQ(b.PixelAt(x, y), 0u) << x << "," << y;
            }
        }
    EXPECT_NE(b.PixelAt(7, 5), 0u); // the (0,0)-(19,13) line did draw inside
}

TEST(Lines, AxisParallelLinesLeaveOutTheirEnd)
{
    TBitmap32 b;
    b.SetSize(10, 10);
    b.DrawLineBlended(7, 2, 2, 2, 0xFFFFFFFF, false);
    b.DrawLineBlended(1, 9, 1, 4, 0xFFFFFFFF, true);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool row = y == 2 && x >= 3 && x <= 7;
            const bool col = x == 1 && y >= 4 && y <= 9;
            ASSERT_EQ(b.PixelAt(x, y), row || col ? 0xFFFFFFFFu : 0u) << x << "," << y;
        }
}

// ------------------------------------------------------------------ clipping

TEST(Lines, ClippedLinesMatchTheWalkedLineInside)
{
    std::mt19937 rng(20261209);
    for (int iter = 0; iter < 4000; ++iter) {
        const int w = 8 + int(rng() % 40), h = 8 + int(rng() % 40);
        TBitmap32 b, want;
        Randomize(b, w, h, rng);
        b.SetCombineMode(TCombineMode(iter % 2));
        const int cl = int(rng() % w), ct = int(rng() % h);
        b.SetClipRect({cl, ct, cl + 1 + int(rng() % (w - cl)), ct + 1 + int(rng() % (h - ct))});
        CopyPixels(want, b);
        want.SetCombineMode(b.CombineMode());
        want.SetClipRect(b.ClipRect());
        // Mostly short lines near the bitmap, some reaching far outside it, and some with
        // extents up to 200000 passing through it.
        const int reach = iter % 5 == 0 ? 3000 : 30;
        auto coord = [&](int size) { return int(rng() % unsigned(size + 2 * reach)) - reach; };
        int x1 = coord(w), y1 = coord(h), x2 = coord(w), y2 = coord(h);
        if (iter % 16 == 3) {
            x1 = int(rng() % 200001) - 100000;
            y1 = int(rng() % 200001) - 100000;
            x2 = w - x1 + int(rng() % 41) - 20;
            y2 = h - y1 + int(rng() % 41) - 20;
        }
        const TColor32 value = rng() | 0x20000000;
        const bool last = rng() % 2;
        if (iter % 2 == 0) {
            b.DrawLineSmooth(x1, y1, x2, y2, value, last);
            if (x1 != x2 && y1 != y2)
                Apply(want, WalkSmooth(x1, y1, x2, y2, last), value);
        } else {
            b.DrawLineBlended(x1, y1, x2, y2, value, last);
            if (x1 != x2 && y1 != y2)
                Apply(want, WalkBlended(x1, y1, x2, y2, last), value);
        }
        if (x1 == x2 || y1 == y2)
            continue; // axis-parallel lines are the spans' business
        ASSERT_EQ(Pixels(b), Pixels(want)) << "iter " << iter << " (" << x1 << "," << y1 << ")-(" << x2 << ","
                                           << y2 << ") last " << last;
    }
}

TEST(Lines, ClippedLineEqualsTheSameAreaOfAnUnclippedOne)
{
    std::mt19937 rng(5);
    for (int iter = 0; iter < 1500; ++iter) {
        // The unclipped line is drawn 100 pixels further right and down on a bitmap that holds
        // it whole; lines only depend on coordinate differences.
        TBitmap32 small, big;
        Randomize(small, 40, 30, rng);
        big.SetSize(240, 230);
        for (int y = 0; y < 30; ++y)
            std::memcpy(big.PixelPointer(100, y + 100), small.RowPointer(y), 40 * 4);
        const auto before = Pixels(small);
        const int cl = int(rng() % 40), ct = int(rng() % 30);
        const TRect clip{cl, ct, cl + 1 + int(rng() % (40 - cl)), ct + 1 + int(rng() % (30 - ct))};
        small.SetClipRect(clip);
        auto c = [&](int size) { return int(rng() % unsigned(size + 160)) - 80; };
        const int x1 = c(40), y1 = c(30), x2 = c(40), y2 = c(30);
        const TColor32 value = rng();
        const bool last = rng() % 3 == 0;
        if (iter % 2) {
            small.DrawLineSmooth(x1, y1, x2, y2, value, last);
            big.DrawLineSmooth(x1 + 100, y1 + 100, x2 + 100, y2 + 100, value, last);
        } else {
            small.DrawLineBlended(x1, y1, x2, y2, value, last);
            big.DrawLineBlended(x1 + 100, y1 + 100, x2 + 100, y2 + 100, value, last);
        }
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
                const TColor32 want = inside ? big.PixelAt(x + 100, y + 100) : before[std::size_t(y * 40 + x)];
                ASSERT_EQ(small.PixelAt(x, y), want) << "iter " << iter << " at " << x << "," << y;
            }
    }
}

TEST(Lines, ExtremeCoordinatesStayInsideTheClip)
{
    std::mt19937 rng(13);
    const int edges[] = {INT_MIN, INT_MIN + 1, -65536, -1, 0, 1, 65536, INT_MAX - 1, INT_MAX};
    for (int iter = 0; iter < 3000; ++iter) {
        auto pick = [&] { return rng() % 2 ? edges[rng() % 9] : int(rng()); };
        const int x1 = pick(), y1 = pick(), x2 = pick(), y2 = pick();
        const bool last = rng() % 2;
        const TColor32 value = rng() | 0xFF000000;
        // Two overlapping clip rectangles on one background: each drawing stays in its own clip,
        // and the two agree on the pixels they share.
        TBitmap32 a, b;
        Randomize(a, 32, 32, rng);
        CopyPixels(b, a);
        const auto before = Pixels(a);
        a.SetClipRect({4, 4, 24, 20});
        b.SetClipRect({10, 8, 28, 28});
        if (iter % 2) {
            a.DrawLineSmooth(x1, y1, x2, y2, value, last);
            b.DrawLineSmooth(x1, y1, x2, y2, value, last);
        } else {
            a.DrawLineBlended(x1, y1, x2, y2, value, last);
            b.DrawLineBlended(x1, y1, x2, y2, value, last);
        }
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const TColor32 old = before[std::size_t(y * 32 + x)];
                const bool inA = x >= 4 && x < 24 && y >= 4 && y < 20;
                const bool inB = x >= 10 && x < 28 && y >= 8 && y < 28;
                if (!inA) {
                    ASSERT_EQ(a.PixelAt(x, y), old) << iter;
                }
                if (!inB) {
                    ASSERT_EQ(b.PixelAt(x, y), old) << iter;
                }
                if (inA && inB) {
                    ASSERT_EQ(a.PixelAt(x, y), b.PixelAt(x, y)) << iter << " at " << x << "," << y;
                }
            }
    }
}

TEST(Lines, FullRangeDiagonalTakesItsFlatStepAtTheMiddle)
{
    // (INT_MIN, INT_MIN)-(INT_MAX, INT_MAX) without its end: the minor extent shrinks by one,
    // so the walk falls one row behind exactly halfway, between x = -1 and x = 0.
    TBitmap32 b;
    b.SetSize(16, 16);
    b.DrawLineBlended(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xFFFFFFFF, false);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(b.PixelAt(x, y), x == y + 1 ? 0xFFFFFFFFu : 0u) << x << "," << y;
    // With its end the line is the exact diagonal.
    TBitmap32 d;
    d.SetSize(16, 16);
    d.DrawLineBlended(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xFFFFFFFF, true);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(d.PixelAt(x, y), x == y ? 0xFFFFFFFFu : 0u) << x << "," << y;
}
