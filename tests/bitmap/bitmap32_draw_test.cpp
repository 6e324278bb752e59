// Fills, spans, frames and raised rectangles of TBitmap32, and their clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>

#include "bitmap/bitmap32.h"
#include "bitmap_fixtures.h"

namespace {
constexpr TColor32 W = 0xFFFFFFFF; // the colour drawn
constexpr TColor32 o = 0;          // untouched
} // namespace

class Bitmap32Draw : public PlainBlendTest {};

TEST_F(Bitmap32Draw, ClearFillsEveryWordAndNotifiesOnlyWhenNotEmpty)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    log.Watch(b);
    b.Clear(0x12345678);
    EXPECT_EQ(log.Count("change"), 0);
    b.SetSize(3, 2);
    log.Events.clear();
    b.Clear(0x12345678);
    EXPECT_EQ(PixelsOf(b), std::vector<TColor32>(6, 0x12345678u));
    EXPECT_EQ(log.Count("change"), 1);
}

TEST_F(Bitmap32Draw, SetAllAlphaReplacesOnlyTheAlphaByteIncludingTheRemainder)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    FillFrom(b, 7, 1, {0x00000001, 0x11000002, 0x22000003, 0x33000004, 0x44000005, 0x55000006, 0xFF000007});
    log.Watch(b);
    b.SetAllAlpha(0x9A);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{0x9A000001, 0x9A000002, 0x9A000003, 0x9A000004, 0x9A000005,
                                                  0x9A000006, 0x9A000007}));
    b.MakeOpaque();
    EXPECT_EQ(b.PixelAt(6, 0), 0xFF000007u);
    EXPECT_EQ(b.PixelAt(0, 0), 0xFF000001u);
    EXPECT_EQ(log.Count("change"), 2);
}

TEST_F(Bitmap32Draw, RowSpanEndsArePutInOrderAndClipped)
{
    TBitmap32 b;
    b.SetSize(12, 2);
    b.SetClipRect(TRect{3, 0, 9, 2});
    b.FillRowSpanClipped(10, 1, 2, W);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, o, o, o, o, o, o, o, o, o, o, o, //
                                                  o, o, o, W, W, W, W, W, W, o, o, o}));
    b.SetClipRect(b.BoundsRect());
    b.FillRowSpanClipped(10, 0, 2, W);
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(b.PixelAt(x, 0), x >= 2 && x <= 10 ? W : o) << x;
}

TEST_F(Bitmap32Draw, ColumnSpanFillsDownTheColumnOnly)
{
    TBitmap32 b;
    b.SetSize(2, 4);
    b.FillColumnSpanClipped(1, 3, 1, W);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, o, o, W, o, W, o, W}));
    b.FillColumnSpanClipped(2, 0, 3, 0x1); // right of the clip rectangle
    b.FillColumnSpanClipped(0, -5, -1, 0x1);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, o, o, W, o, W, o, W}));
}

TEST_F(Bitmap32Draw, BlendSpansBlendEachPixelOnce)
{
    TBitmap32 b;
    FillFrom(b, 3, 3, {0xFF000002, 0xFF000002, 0xFF000002, //
                       0xFF000002, 0xFF000002, 0xFF000002, //
                       0xFF000002, 0xFF000002, 0xFF000002});
    b.BlendRowSpanClipped(5, 0, 1, 0x80FF0000);
    b.BlendColumnSpanClipped(2, -3, 1, 0x80FF0000);
    // Plain blend of 0x80FF0000 over 0xFF000002: alpha 64 + 127, red 128, blue 1.
    constexpr TColor32 B1 = 0xBF800001;
    // Blending B1 once more: alpha 64 + 95, red 128 + 64, blue (1 * 127 + 128) shr 8 = 0.
    constexpr TColor32 B2 = 0x9FC00000;
    constexpr TColor32 G = 0xFF000002;
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{G, B1, B2, G, G, B1, G, G, G}));
    b.BlendRowSpan(2, 2, 1, 0x80FF0000); // reversed unclipped span: nothing
    EXPECT_EQ(b.PixelAt(1, 2), G);
}

TEST_F(Bitmap32Draw, FillRectIsRightAndBottomExclusive)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    b.SetSize(4, 3);
    log.Watch(b);
    b.FillRectClipped(1, 0, 3, 2, W);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, W, W, o, o, W, W, o, o, o, o, o}));
    EXPECT_EQ(log.Count("change"), 1);
    b.FillRectClipped(-10, 2, 100, 100, 0x5);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, W, W, o, o, W, W, o, 5, 5, 5, 5}));
}

TEST_F(Bitmap32Draw, FillRectOutsideOrEmptyDoesNothingAndDoesNotNotify)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    b.SetSize(4, 3);
    b.SetClipRect(TRect{0, 0, 2, 3});
    log.Watch(b);
    b.FillRectClipped(2, 0, 4, 3, W); // wholly right of the clip rectangle
    b.FillRectClipped(1, 1, 1, 3, W); // zero width
    b.FillRectClipped(1, 2, 2, 1, W); // upside down
    b.FillRectClipped(0, 3, 2, 5, W); // below
    EXPECT_EQ(PixelsOf(b), std::vector<TColor32>(12, 0u));
    EXPECT_TRUE(log.Events.empty());
}

TEST_F(Bitmap32Draw, FrameOfOnePixelSetsExactlyThatPixel)
{
    TBitmap32 b;
    b.SetSize(3, 3);
    b.FrameRectClipped(1, 1, 2, 2, W);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, o, o, o, W, o, o, o, o}));
}

TEST_F(Bitmap32Draw, FrameDrawsTheBorderOnly)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    b.SetSize(5, 5);
    log.Watch(b);
    b.FrameRectClipped(0, 1, 4, 5, W);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, o, o, o, o, //
                                                  W, W, W, W, o, //
                                                  W, o, o, W, o, //
                                                  W, o, o, W, o, //
                                                  W, W, W, W, o}));
    EXPECT_EQ(log.Count("change"), 1);
    log.Events.clear();
    b.FrameRectClipped(5, 0, 9, 4, W);
    EXPECT_TRUE(log.Events.empty()) << "a frame outside the clip rectangle does not notify";
}

TEST_F(Bitmap32Draw, FramesOfOneColumnAndTwoRows)
{
    TBitmap32 b;
    b.SetSize(3, 4);
    b.FrameRectClipped(1, 0, 2, 4, W); // one column, four rows
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, W, o, o, W, o, o, W, o, o, W, o}));
    b.Clear(0);
    b.FrameRectClipped(0, 1, 3, 3, W); // two rows
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{o, o, o, W, W, W, W, W, W, o, o, o}));
}

TEST_F(Bitmap32Draw, RaiseRectLightensTopLeftAndDarkensBottomRight)
{
    constexpr TColor32 G = 0xFF808080;
    TBitmap32 b;
    b.SetSize(4, 4);
    b.Clear(G);
    b.RaiseRect(0, 0, 4, 4, 50);
    // 50 %: white with alpha 50 * 512 div 100 = 256 -> 255 (copied), black with alpha 127.
    constexpr TColor32 L = 0xFFFFFFFF, D = 0xBF404040;
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{L, L, L, L, //
                                                  L, G, G, D, //
                                                  L, G, G, D, //
                                                  D, D, D, D}));
}

TEST_F(Bitmap32Draw, RaiseRectWithNegativeContrastSinks)
{
    constexpr TColor32 G = 0xFF808080;
    TBitmap32 b;
    b.SetSize(3, 3);
    b.Clear(G);
    b.RaiseRect(0, 0, 3, 3, -30);
    // Black with alpha 30 * 255 div 100 = 76 on top and left, white with alpha 153 below and right.
    constexpr TColor32 D = 0xC95A5A5A, L = 0xC1CBCBCB;
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{D, D, D, D, G, L, L, L, L}));
}

TEST_F(Bitmap32Draw, RaiseRectAlphaTruncatesTowardZero)
{
    TBitmap32 b;
    FillFrom(b, 1, 2, {0xFF000000, 0xFFFFFFFF});
    b.RaiseRect(0, 0, 1, 2, 3);
    // 3 %: white alpha 1536 div 100 = 15 over black: colour 15, alpha 1 + 239.
    EXPECT_EQ(b.PixelAt(0, 0), 0xF00F0F0Fu);
    // Black alpha 765 div 100 = 7 (not 8) over white: every channel (255 * 248 + 128) shr 8 = 247.
    EXPECT_EQ(b.PixelAt(0, 1), 0xF7F7F7F7u);
    FillFrom(b, 1, 2, {0xFF000000, 0xFFFFFFFF});
    b.RaiseRect(0, 0, 1, 2, 25);
    // 25 %: white alpha 12800 div 100 = 128: colour 128, alpha 64 + 127.
    EXPECT_EQ(b.PixelAt(0, 0), 0xBF808080u);
    // Black alpha 6375 div 100 = 63: colour (255 * 192 + 128) shr 8 = 191, alpha 16 + 191.
    EXPECT_EQ(b.PixelAt(0, 1), 0xCFBFBFBFu);
}

TEST_F(Bitmap32Draw, RaiseRectOfOneColumnBlendsBothSideColoursIntoTheMiddle)
{
    TBitmap32 b;
    b.SetSize(1, 3);
    b.Clear(0xFF000000);
    b.RaiseRect(0, 0, 1, 3, 1); // white alpha 5, black alpha 2
    EXPECT_EQ(b.PixelAt(0, 0), 0xF9050505u);
    EXPECT_EQ(b.PixelAt(0, 2), 0xFC000000u);
    // Left then right column over the same pixel: white alpha 5, then black alpha 2.
    EXPECT_EQ(b.PixelAt(0, 1), 0xF6050505u);
}

TEST_F(Bitmap32Draw, RaiseRectZeroContrastOnlyNotifiesAndEmptyDoesNothing)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    b.SetSize(3, 3);
    b.Clear(0xFF808080);
    log.Watch(b);
    b.RaiseRect(0, 0, 3, 3, 0);
    EXPECT_EQ(PixelsOf(b), std::vector<TColor32>(9, 0xFF808080u));
    EXPECT_EQ(log.Count("change"), 1);
    b.RaiseRect(2, 0, 2, 3, 50);
    b.RaiseRect(3, 0, 6, 3, 50);
    b.RaiseRect(0, -4, 3, 0, 50);
    EXPECT_EQ(PixelsOf(b), std::vector<TColor32>(9, 0xFF808080u));
    EXPECT_EQ(log.Count("change"), 1);
}

TEST_F(Bitmap32Draw, RaiseRectOfTwoRowsStaysInsideTheRectangle)
{
    constexpr TColor32 G = 0xFF808080;
    TBitmap32 b;
    b.SetSize(3, 4);
    b.Clear(G);
    b.RaiseRect(0, 1, 3, 3, INT_MAX);
    constexpr TColor32 L = 0xFFFFFFFF, D = 0xFF000000;
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{G, G, G, L, L, L, D, D, D, G, G, G}));
    b.Clear(G);
    b.RaiseRect(0, 1, 3, 2, INT_MIN); // one row: top then bottom edge on the same row
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{G, G, G, L, L, L, G, G, G, G, G, G}));
}

// The clipped operations against a model of which pixels they cover, for coordinates that
// include the extremes of int; a write outside the pixels would also trip the sanitizers.
namespace {
struct Model {
    int Wd, Ht;
    TRect Clip;
    std::vector<TColor32> Px;
    bool InClip(std::int64_t x, std::int64_t y) const
    {
        return x >= Clip.Left && x < Clip.Right && y >= Clip.Top && y < Clip.Bottom;
    }
    void Set(std::int64_t x, std::int64_t y, TColor32 c)
    {
        if (InClip(x, y))
            Px[static_cast<std::size_t>(y * Wd + x)] = c;
    }
    void Row(std::int64_t x1, std::int64_t y, std::int64_t x2, TColor32 c)
    {
        if (x2 < x1)
            std::swap(x1, x2);
        for (std::int64_t x = std::max<std::int64_t>(x1, -1); x <= std::min<std::int64_t>(x2, Wd); ++x)
            Set(x, y, c);
    }
    void Column(std::int64_t x, std::int64_t y1, std::int64_t y2, TColor32 c)
    {
        if (y2 < y1)
            std::swap(y1, y2);
        for (std::int64_t y = std::max<std::int64_t>(y1, -1); y <= std::min<std::int64_t>(y2, Ht); ++y)
            Set(x, y, c);
    }
    void Rect(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, TColor32 c)
    {
        for (std::int64_t y = std::max<std::int64_t>(y1, -1); y < std::min<std::int64_t>(y2, Ht + 1); ++y)
            for (std::int64_t x = std::max<std::int64_t>(x1, -1); x < std::min<std::int64_t>(x2, Wd + 1); ++x)
                Set(x, y, c);
    }
    void Frame(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, TColor32 c)
    {
        for (std::int64_t y = std::max<std::int64_t>(y1, -1); y < std::min<std::int64_t>(y2, Ht + 1); ++y)
            for (std::int64_t x = std::max<std::int64_t>(x1, -1); x < std::min<std::int64_t>(x2, Wd + 1); ++x)
                if (x == x1 || x == x2 - 1 || y == y1 || y == y2 - 1)
                    Set(x, y, c);
    }
    // Opaque edges: top row light, bottom row dark, then the side columns between them.
    void Raise(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, TColor32 lt, TColor32 dk)
    {
        if (x1 >= x2 || y1 >= y2)
            return;
        for (std::int64_t x = std::max<std::int64_t>(x1, -1); x < std::min<std::int64_t>(x2, Wd + 1); ++x)
            Set(x, y1, lt);
        for (std::int64_t x = std::max<std::int64_t>(x1, -1); x < std::min<std::int64_t>(x2, Wd + 1); ++x)
            Set(x, y2 - 1, dk);
        for (std::int64_t y = std::max<std::int64_t>(y1 + 1, -1); y < std::min<std::int64_t>(y2 - 1, Ht + 1); ++y) {
            Set(x1, y, lt);
            Set(x2 - 1, y, dk);
        }
    }
};
} // namespace

TEST_F(Bitmap32Draw, ClippedOperationsMatchTheModelForAnyIntCoordinates)
{
    const int special[] = {INT_MIN, INT_MIN + 1, INT_MIN + 2, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8,
                           INT_MAX - 2, INT_MAX - 1, INT_MAX};
    std::mt19937 rng(20261209);
    auto coord = [&] {
        std::uniform_int_distribution<int> pick(0, 4);
        if (pick(rng) == 0)
            return std::uniform_int_distribution<int>(INT_MIN, INT_MAX)(rng);
        return special[std::uniform_int_distribution<int>(0, std::size(special) - 1)(rng)];
    };
    const TRect clips[] = {{0, 0, 7, 5}, {1, 1, 6, 4}, {2, 0, 3, 5}, {3, 2, 3, 2}};
    for (int round = 0; round < 6000; ++round) {
        TBitmap32 b;
        b.SetSize(7, 5);
        b.SetClipRect(clips[round % 4]);
        Model m{7, 5, b.ClipRect(), std::vector<TColor32>(35, 0)};
        const int x1 = coord(), y1 = coord(), x2 = coord(), y2 = coord();
        const TColor32 c = 0xFF000000u | static_cast<TColor32>(round + 1);
        switch (round % 7) {
        case 0: b.FillRowSpanClipped(x1, y1 % 7, x2, c); m.Row(x1, y1 % 7, x2, c); break;
        case 1: b.BlendRowSpanClipped(x1, y1 % 7, x2, c); m.Row(x1, y1 % 7, x2, c); break;
        case 2: b.FillColumnSpanClipped(x1 % 9, y1, y2, c); m.Column(x1 % 9, y1, y2, c); break;
        case 3: b.BlendColumnSpanClipped(x1 % 9, y1, y2, c); m.Column(x1 % 9, y1, y2, c); break;
        case 4: b.FillRectClipped(x1, y1, x2, y2, c); m.Rect(x1, y1, x2, y2, c); break;
        case 5: b.FrameRectClipped(x1, y1, x2, y2, c); m.Frame(x1, y1, x2, y2, c); break;
        case 6:
            b.RaiseRect(x1, y1, x2, y2, round % 2 ? INT_MAX : INT_MIN);
            if (round % 2)
                m.Raise(x1, y1, x2, y2, 0xFFFFFFFF, 0xFF000000);
            else
                m.Raise(x1, y1, x2, y2, 0xFF000000, 0xFFFFFFFF);
            break;
        }
        ASSERT_EQ(PixelsOf(b), m.Px) << "round " << round << " (" << x1 << ", " << y1 << ", " << x2 << ", "
                                     << y2 << ")";
    }
}

TEST_F(Bitmap32Draw, EmptyBitmapIgnoresEveryClippedOperation)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    log.Watch(b);
    b.FillRowSpanClipped(INT_MIN, 0, INT_MAX, W);
    b.BlendColumnSpanClipped(0, INT_MIN, INT_MAX, W);
    b.FillRectClipped(INT_MIN, INT_MIN, INT_MAX, INT_MAX, W);
    b.FrameRectClipped(INT_MIN, INT_MIN, INT_MAX, INT_MAX, W);
    b.RaiseRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 100);
    b.SetPixelBlended(0, 0, W);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_TRUE(log.Events.empty());
}
