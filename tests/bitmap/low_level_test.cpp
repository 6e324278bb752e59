// The run, clamp, colour and rectangle helpers of the bitmap core.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "bitmap/low_level.h"
#include "base/system_colors.h"

TEST(ColorRuns, FillWritesExactlyCountWords)
{
    std::vector<TColor32> v(6, 7);
    FillColorRun(v.data() + 1, 3, 0xAABBCCDD);
    EXPECT_EQ(v, (std::vector<TColor32>{7, 0xAABBCCDD, 0xAABBCCDD, 0xAABBCCDD, 7, 7}));
    FillColorRun(v.data(), 0, 1);
    FillColorRun(v.data(), -4, 1);
    FillColorRun(v.data(), INT_MIN, 1);
    EXPECT_EQ(v[0], 7u);
}

TEST(ColorRuns, MoveIsOverlapSafeInBothDirections)
{
    std::vector<TColor32> v{1, 2, 3, 4, 5, 6};
    MoveColorRun(v.data(), v.data() + 2, 4);
    EXPECT_EQ(v, (std::vector<TColor32>{1, 2, 1, 2, 3, 4}));
    MoveColorRun(v.data() + 1, v.data(), 5);
    EXPECT_EQ(v, (std::vector<TColor32>{2, 1, 2, 3, 4, 4}));
    MoveColorRun(v.data(), v.data(), 6);
    MoveColorRun(v.data() + 3, v.data(), 0);
    MoveColorRun(v.data() + 3, v.data(), -2);
    EXPECT_EQ(v, (std::vector<TColor32>{2, 1, 2, 3, 4, 4}));
}

TEST(IntHelpers, ClipSpanOrdersThenClipsToHalfOpenRange)
{
    struct Case {
        int A, B, Lo, Hi;
        bool Result;
        int OutA, OutB;
    };
    const Case cases[] = {
        {10, 2, 0, 5, true, 2, 4},
        {-5, 3, 0, 10, true, 0, 3},
        {2, 2, 2, 3, true, 2, 2},
        {7, 9, 0, 5, false, 7, 4},
        {-9, -1, 0, 5, false, 0, -1},
        {INT_MIN, INT_MAX, 0, 7, true, 0, 6},
        {INT_MAX, INT_MIN, 3, 3, false, 3, 2},
        {INT_MIN, INT_MIN, INT_MIN, INT_MIN + 1, true, INT_MIN, INT_MIN},
    };
    for (const Case& c : cases) {
        int a = c.A, b = c.B;
        EXPECT_EQ(ClipSpan(a, b, c.Lo, c.Hi), c.Result) << c.A << " " << c.B << " " << c.Lo << " " << c.Hi;
        EXPECT_EQ(a, c.OutA) << c.A << " " << c.B;
        EXPECT_EQ(b, c.OutB) << c.A << " " << c.B;
    }
    int a = 1, b = 1;
    EXPECT_FALSE(ClipSpan(a, b, 0, INT_MIN)) << "nothing lies below INT_MIN";
}

TEST(IntHelpers, ClampAndConstrain)
{
    EXPECT_EQ(ClampToByte(-1), 0);
    EXPECT_EQ(ClampToByte(INT_MIN), 0);
    EXPECT_EQ(ClampToByte(0), 0);
    EXPECT_EQ(ClampToByte(128), 128);
    EXPECT_EQ(ClampToByte(255), 255);
    EXPECT_EQ(ClampToByte(256), 255);
    EXPECT_EQ(ClampToByte(INT_MAX), 255);

    EXPECT_EQ(Constrain(5, 0, 10), 5);
    EXPECT_EQ(Constrain(-1, 0, 10), 0);
    EXPECT_EQ(Constrain(11, 0, 10), 10);
    // Reversed bounds: lo wins below lo, hi wins otherwise.
    EXPECT_EQ(Constrain(5, 10, 0), 10);
    EXPECT_EQ(Constrain(15, 10, 0), 0);

    EXPECT_EQ(ConstrainUnordered(5, 10, 0), 5);
    EXPECT_EQ(ConstrainUnordered(15, 10, 0), 10);
    EXPECT_EQ(ConstrainUnordered(-3, 10, 0), 0);
    EXPECT_EQ(ConstrainUnordered(-3, 0, 10), 0);
}

TEST(ColorHelpers, ColorFromSystemSwapsRedAndBlueAndResolvesSystemColours)
{
    EXPECT_EQ(ColorFromSystem(0x00336699), 0xFF996633u);
    EXPECT_EQ(ColorFromSystem(0x12336699), 0xFF996633u) << "top byte of a positive value is ignored";
    EXPECT_EQ(ColorFromSystem(clBlack), 0xFF000000u);
    EXPECT_EQ(ColorFromSystem(clWhite), 0xFFFFFFFFu);
    // The headless highlight colour is RGB(51, 153, 255), stored as 0x00FF9933.
    EXPECT_EQ(ColorFromSystem(SysColor(13)), 0xFF3399FFu);
    EXPECT_EQ(ColorFromSystem(static_cast<std::int32_t>(0xFF00010Du)), 0xFF3399FFu) << "index is the low byte";
    EXPECT_EQ(ColorFromSystem(clBtnFace), 0xFFF0F0F0u);
}

TEST(ColorHelpers, MakeGrayIntensityAndWithAlpha)
{
    EXPECT_EQ(MakeColor32(0x112, 0x34, -1, 0x80), 0x801234FFu);
    EXPECT_EQ(MakeColor32(1, 2, 3), 0xFF010203u);
    EXPECT_EQ(MakeGray32(0x1AB, 0x7F), 0x7FABABABu);
    EXPECT_EQ(MakeGray32(9), 0xFF090909u);
    EXPECT_EQ(IntensityOf(0xFF010203), 1); // (61 + 348 + 63) shr 8
    EXPECT_EQ(IntensityOf(0x00FFFFFF), 255);
    EXPECT_EQ(IntensityOf(0xFF00FF00), 173); // 174 * 255 shr 8
    EXPECT_EQ(WithAlpha(0x12345678, -5), 0x00345678u);
    EXPECT_EQ(WithAlpha(0x12345678, 0x42), 0x42345678u);
    EXPECT_EQ(WithAlpha(0x12345678, 300), 0xFF345678u);
    EXPECT_EQ(WithAlpha(0x12345678, INT_MIN), 0x00345678u);
}

TEST(GeometryHelpers, FixedRatioUsesSixtyFourBitIntermediates)
{
    EXPECT_EQ(FixedRatio(1, 2), 32768);
    EXPECT_EQ(FixedRatio(3, 1), 196608);
    EXPECT_EQ(FixedRatio(-1, 3), -21845) << "division truncates toward zero";
    EXPECT_EQ(FixedRatio(40000, 2), 1310720000) << "40000 * 65536 overflows 32 bits";
    EXPECT_EQ(FixedRatio(-40000, 3), -873813333);
}

TEST(GeometryHelpers, FloatRectToRectInItsThreeModes)
{
    EXPECT_EQ(FloatRectToRect(TFloatRect{-1.5f, 0.5f, 2.5f, 3.5f}, rrNearest), (TRect{-2, 0, 2, 4}))
        << "ties go to even";
    EXPECT_EQ(FloatRectToRect(TFloatRect{-0.4f, 1.6f, -2.6f, 7.49f}), (TRect{0, 2, -3, 7}));
    EXPECT_EQ(FloatRectToRect(TFloatRect{-1.5f, -0.5f, 2.5f, 3.2f}, rrOutside), (TRect{-2, -1, 3, 4}));
    EXPECT_EQ(FloatRectToRect(TFloatRect{1.0f, 2.0f, 3.0f, 4.0f}, rrOutside), (TRect{1, 2, 3, 4}));
    EXPECT_EQ(FloatRectToRect(TFloatRect{-1.5f, 0.5f, 2.5f, 3.5f}, rrCeil), (TRect{-1, 1, 3, 4}));
    EXPECT_EQ(FloatRectToRect(TFloatRect{0.5f, 2.5f, -2.5f, 1.5f}, rrCeil), (TRect{1, 3, 1, 3}))
        << "right raised to left, bottom to top";
}

TEST(GeometryHelpers, IntersectRectsKeepsTouchingAndEmptiesDisjoint)
{
    TRect r{9, 9, 9, 9};
    EXPECT_TRUE(IntersectRects(r, TRect{0, 0, 5, 5}, TRect{3, 2, 8, 4}));
    EXPECT_EQ(r, (TRect{3, 2, 5, 4}));
    EXPECT_TRUE(IntersectRects(r, TRect{0, 0, 2, 2}, TRect{2, 0, 4, 2}));
    EXPECT_EQ(r, (TRect{2, 0, 2, 2}));
    r = TRect{9, 9, 9, 9};
    EXPECT_FALSE(IntersectRects(r, TRect{0, 0, 2, 2}, TRect{3, 3, 4, 4}));
    EXPECT_EQ(r, (TRect{0, 0, 0, 0}));
    r = TRect{9, 9, 9, 9};
    EXPECT_FALSE(IntersectRects(r, TRect{0, 0, 5, 2}, TRect{1, 3, 4, 6})) << "apart vertically only";
    EXPECT_EQ(r, (TRect{0, 0, 0, 0}));
}

TEST(GammaTableTest, BuiltWithPointSevenAtStartupAndRebuildable)
{
    EXPECT_EQ(GammaTable[0], 0);
    EXPECT_EQ(GammaTable[255], 255);
    EXPECT_EQ(GammaTable[128], 157); // 255 * (128/255)^0.7 = 157.40
    EXPECT_EQ(GammaTable[64], 97);   // 96.89
    BuildGammaTable(2.0);
    EXPECT_EQ(GammaTable[128], 64); // 64.25
    EXPECT_EQ(GammaTable[255], 255);
    BuildGammaTable(1.0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(GammaTable[i], i);
    BuildGammaTable(0.7);
    EXPECT_EQ(GammaTable[128], 157);
}
