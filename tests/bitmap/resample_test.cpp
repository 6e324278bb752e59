#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "bitmap/bitmap32.h"
#include "bitmap/blend.h"
#include "bitmap/low_level.h"
#include "bitmap/resample.h"
#include "base/object.h"

namespace {

const TStretchFilter kAllFilters[] = {sfNearest, sfDraft, sfLinear, sfCosine, sfSpline, sfLanczos, sfMitchell};

void Fill(TBitmap32& B, int W, int H, std::mt19937& Rng)
{
    B.SetSize(W, H);
    for (int i = 0; i < W * H; ++i)
        B.Bits()[i] = Rng();
}

std::vector<TColor32> Pixels(const TBitmap32& B) { return std::vector<TColor32>(B.Bits(), B.Bits() + B.Width() * B.Height()); }

void Transfer(TBitmap32& Dst, const TRect& DstRect, const TRect& Clip, TBitmap32& Src, const TRect& SrcRect,
              TStretchFilter F, TDrawMode Mode = dmOpaque, const TPixelCombineEvent& Cb = {})
{
    ScaledTransfer(&Dst, DstRect, Clip, &Src, SrcRect, F, Mode, Cb);
}

// Restores the start-up choices after a test picks variants or colour sets.
class ResampleTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        InitResampleVariants();
        InitColorOps();
    }
};

bool HaveSse2() { return InstallResampleVariant(TResampleVariant::Sse2); }

} // namespace

// ------------------------------------------------------------------ entry checks

TEST_F(ResampleTest, EntryFailuresCarryTheirMessages)
{
    TBitmap32 src, dst, empty;
    src.SetSize(4, 4);
    dst.SetSize(4, 4);
    auto message = [](auto&& f) {
        try {
            f();
        } catch (const ETransformError& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(message([&] { ScaledTransfer(nullptr, {0, 0, 4, 4}, {0, 0, 4, 4}, &src, {0, 0, 4, 4}, sfNearest, dmOpaque, {}); }),
              "Destination bitmap is nil or empty");
    EXPECT_EQ(message([&] { ScaledTransfer(&empty, {0, 0, 4, 4}, {0, 0, 4, 4}, &src, {0, 0, 4, 4}, sfNearest, dmOpaque, {}); }),
              "Destination bitmap is nil or empty");
    EXPECT_EQ(message([&] { ScaledTransfer(&dst, {0, 0, 4, 4}, {0, 0, 4, 4}, nullptr, {0, 0, 4, 4}, sfNearest, dmOpaque, {}); }),
              "Source bitmap is nil or empty");
    EXPECT_EQ(message([&] { ScaledTransfer(&dst, {0, 0, 4, 4}, {0, 0, 4, 4}, &src, {0, 0, 5, 4}, sfNearest, dmOpaque, {}); }),
              "Source rectangle is invalid");
    EXPECT_EQ(message([&] { ScaledTransfer(&dst, {0, 0, 4, 4}, {0, 0, 4, 4}, &src, {-1, 0, 2, 2}, sfLinear, dmOpaque, {}); }),
              "Source rectangle is invalid");
    // An empty source returns before the destination is even looked at.
    EXPECT_EQ(message([&] { ScaledTransfer(nullptr, {0, 0, 4, 4}, {0, 0, 4, 4}, &empty, {0, 0, 4, 4}, sfNearest, dmOpaque, {}); }),
              "no exception");
    // An empty source rectangle is not checked against the source.
    EXPECT_EQ(message([&] { ScaledTransfer(&dst, {0, 0, 4, 4}, {0, 0, 4, 4}, &src, {9, 9, 9, 20}, sfNearest, dmOpaque, {}); }),
              "no exception");
}

TEST_F(ResampleTest, NothingToDrawLeavesTheDestinationAlone)
{
    std::mt19937 rng(7);
    TBitmap32 src, dst;
    Fill(src, 8, 8, rng);
    Fill(dst, 8, 8, rng);
    const auto before = Pixels(dst);
    for (TStretchFilter f : kAllFilters) {
        Transfer(dst, {0, 0, 16, 16}, {8, 0, 20, 8}, src, {0, 0, 8, 8}, f);    // clip right of the bitmap
        Transfer(dst, {0, 0, 16, 16}, {-5, -5, 0, 0}, src, {0, 0, 8, 8}, f);   // clip above-left
        Transfer(dst, {0, 0, 16, 16}, {0, 0, 8, 8}, src, {3, 3, 3, 8}, f);     // empty source rectangle
        Transfer(dst, {4, 4, 2, 2}, {0, 0, 8, 8}, src, {0, 0, 8, 8}, f);       // inverted destination
        src.SetMasterAlpha(0);
        Transfer(dst, {0, 0, 16, 16}, {0, 0, 8, 8}, src, {0, 0, 8, 8}, f, dmBlend);
        src.SetMasterAlpha(255);
    }
    EXPECT_EQ(Pixels(dst), before);
}

// ------------------------------------------------------------------ unscaled copy

TEST_F(ResampleTest, EqualSizesCopyTheClippedAreaWhateverTheFilter)
{
    std::mt19937 rng(11);
    TBitmap32 src;
    Fill(src, 10, 9, rng);
    for (TStretchFilter f : kAllFilters) {
        TBitmap32 dst;
        dst.SetSize(12, 12);
        dst.Clear(0x12345678);
        // Source (2,1)-(8,7) onto destination (5,4)-(11,10), clipped to (6,3)-(9,12).
        Transfer(dst, {5, 4, 11, 10}, {6, 3, 9, 12}, src, {2, 1, 8, 7}, f);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool inside = x >= 6 && x < 9 && y >= 4 && y < 10;
                const TColor32 want = inside ? src.PixelAt(x - 5 + 2, y - 4 + 1) : 0x12345678;
                ASSERT_EQ(dst.PixelAt(x, y), want) << "filter " << int(f) << " at " << x << "," << y;
            }
    }
}

TEST_F(ResampleTest, CustomModeCallsTheHandlerAndFallsBackToOpaqueWithoutOne)
{
    std::mt19937 rng(13);
    TBitmap32 src, a, b;
    Fill(src, 6, 6, rng);
    src.SetMasterAlpha(77);
    Fill(a, 12, 12, rng);
    b.SetSize(12, 12);
    std::memcpy(b.Bits(), a.Bits(), 12 * 12 * 4);
    int calls = 0;
    TPixelCombineEvent xorWithMaster = [&](TColor32 F, TColor32& B, TColor32 M) {
        ++calls;
        B = F ^ B ^ M;
    };
    TBitmap32 opaque;
    opaque.SetSize(12, 12);
    std::memcpy(opaque.Bits(), a.Bits(), 12 * 12 * 4);
    Transfer(opaque, {0, 0, 12, 12}, {0, 0, 12, 12}, src, {0, 0, 6, 6}, sfMitchell, dmOpaque);
    Transfer(b, {0, 0, 12, 12}, {0, 0, 12, 12}, src, {0, 0, 6, 6}, sfMitchell, dmCustom, xorWithMaster);
    EXPECT_EQ(calls, 144);
    for (int i = 0; i < 144; ++i)
        ASSERT_EQ(b.Bits()[i], opaque.Bits()[i] ^ a.Bits()[i] ^ 77u) << i;
    // No handler: the opaque result.
    Transfer(a, {0, 0, 12, 12}, {0, 0, 12, 12}, src, {0, 0, 6, 6}, sfMitchell, dmCustom);
    EXPECT_EQ(Pixels(a), Pixels(opaque));
}

// ------------------------------------------------------------------ scaled paths, worked values

TEST_F(ResampleTest, NearestMapsLeftEdgesAndReusesRows)
{
    TBitmap32 src, dst;
    src.SetSize(3, 2);
    for (int i = 0; i < 6; ++i)
        src.Bits()[i] = 0xFF000000u | TColor32(i + 1);
    dst.SetSize(7, 4);
    Transfer(dst, {0, 0, 7, 4}, {0, 0, 7, 4}, src, {0, 0, 3, 2}, sfNearest);
    // Columns trunc(i * 3/7): 0 0 0 1 1 2 2; rows trunc(j * 2/4): 0 0 1 1.
    const int cols[7] = {0, 0, 0, 1, 1, 2, 2};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(dst.PixelAt(x, y), src.PixelAt(cols[x], y / 2)) << x << "," << y;
    // A one-pixel destination takes the middle of the rectangle.
    TBitmap32 one;
    one.SetSize(1, 1);
    Transfer(one, {0, 0, 1, 1}, {0, 0, 1, 1}, src, {0, 0, 3, 2}, sfNearest);
    EXPECT_EQ(one.PixelAt(0, 0), src.PixelAt(1, 0));
}

TEST_F(ResampleTest, LinearEnlargingTwoByTwoTakesTheBilinearPath)
{
    if (!HaveSse2())
        GTEST_SKIP() << "no SSE2 here";
    TBitmap32 src, dst;
    src.SetSize(2, 2);
    src.SetPixelAt(0, 0, 0x00000000);
    src.SetPixelAt(1, 0, 0x000000C8);
    src.SetPixelAt(0, 1, 0x00000000);
    src.SetPixelAt(1, 1, 0x000000C8);
    dst.SetSize(4, 4);
    Transfer(dst, {0, 0, 4, 4}, {0, 0, 4, 4}, src, {0, 0, 2, 2}, sfLinear);
    // Column weights of the left pixel 256, 192, 64, 0 under the 256-based mix.
    const TColor32 want[4] = {0, 50, 150, 200};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst.PixelAt(x, y), want[x]) << x << "," << y;
    // The kernel path would give 100 (1/2 : 1/2) in column 1 rather than 50.
}

TEST_F(ResampleTest, OnePixelWideSourceRepeatsItsColumn)
{
    TBitmap32 src;
    src.SetSize(1, 3);
    src.SetPixelAt(0, 0, 0xFF102030);
    src.SetPixelAt(0, 1, 0xFF405060);
    src.SetPixelAt(0, 2, 0xFF708090);
    for (TStretchFilter f : {sfLinear, sfSpline, sfCosine, sfLanczos}) {
        TBitmap32 dst;
        dst.SetSize(5, 7);
        Transfer(dst, {0, 0, 5, 7}, {0, 0, 5, 7}, src, {0, 0, 1, 3}, f);
        for (int y = 0; y < 7; ++y)
            for (int x = 1; x < 5; ++x)
                EXPECT_EQ(dst.PixelAt(x, y), dst.PixelAt(0, y)) << int(f) << " " << x << "," << y;
        // The rows are still filtered: the top row is darker than the bottom one.
        EXPECT_LT(RedOf(dst.PixelAt(0, 0)), RedOf(dst.PixelAt(0, 6))) << int(f);
        // Equal heights with the linear kernel keep the rows exactly.
        if (f == sfLinear) {
            TBitmap32 same;
            same.SetSize(4, 3);
            Transfer(same, {0, 0, 4, 3}, {0, 0, 4, 3}, src, {0, 0, 1, 3}, f);
            for (int y = 0; y < 3; ++y) {
                EXPECT_EQ(same.PixelAt(3, y), src.PixelAt(0, y));
            }
        }
    }
    // A single pixel fills the whole destination.
    TBitmap32 one, dst;
    one.SetSize(1, 1);
    one.SetPixelAt(0, 0, 0x80FF4020);
    dst.SetSize(6, 4);
    for (TStretchFilter f : kAllFilters) {
        dst.Clear(0);
        Transfer(dst, {0, 0, 6, 4}, {0, 0, 6, 4}, one, {0, 0, 1, 1}, f);
        for (int i = 0; i < 24; ++i) {
            ASSERT_EQ(dst.Bits()[i], 0x80FF4020u) << int(f);
        }
    }
}

TEST_F(ResampleTest, DraftAveragesBlocksAndEnlargesBilinearly)
{
    for (TResampleVariant v : {TResampleVariant::Plain, TResampleVariant::Sse2}) {
        if (!InstallResampleVariant(v))
            continue;
        TBitmap32 src, dst;
        src.SetSize(4, 2);
        const TColor32 px[8] = {0x0A, 0x14, 0xFF, 0xFF, 0x1E, 0x28, 0xFF, 0x00FF0001};
        std::copy(px, px + 8, src.Bits());
        dst.SetSize(2, 1);
        Transfer(dst, {0, 0, 2, 1}, {0, 0, 2, 1}, src, {0, 0, 4, 2}, sfDraft);
        // (10 + 20 + 30 + 40) * (2^24 div 4) >> 24 = 25; the right block: blue 766/4, red 255/4.
        EXPECT_EQ(dst.PixelAt(0, 0), 25u);
        EXPECT_EQ(dst.PixelAt(1, 0), 0x003F00BFu);
        // A 3 x 3 block of white: the truncated reciprocal 2^24 div 9 makes it 254.
        TBitmap32 white, small;
        white.SetSize(6, 6);
        white.Clear(0xFFFFFFFF);
        small.SetSize(2, 2);
        Transfer(small, {0, 0, 2, 2}, {0, 0, 2, 2}, white, {0, 0, 6, 6}, sfDraft);
        EXPECT_EQ(small.PixelAt(1, 1), 0xFEFEFEFEu);
    }
    std::mt19937 rng(5);
    TBitmap32 src, a, b;
    Fill(src, 5, 4, rng);
    a.SetSize(13, 11);
    b.SetSize(13, 11);
    Transfer(a, {0, 0, 13, 11}, {0, 0, 13, 11}, src, {0, 0, 5, 4}, sfDraft);
    Transfer(b, {0, 0, 13, 11}, {0, 0, 13, 11}, src, {0, 0, 5, 4}, sfLinear);
    EXPECT_EQ(Pixels(a), Pixels(b));
}

TEST_F(ResampleTest, HugeBlocksAverageExactly)
{
    // 300 x 300 = 90000 pixels per block: the plain 2^24 reciprocal would lose a whole unit.
    TBitmap32 src, dst;
    src.SetSize(600, 300);
    src.Clear(0xFFFFFFFF);
    for (int y = 0; y < 300; ++y)
        for (int x = 300; x < 600; ++x)
            src.SetPixelAt(x, y, 0x80402010);
    dst.SetSize(2, 1);
    for (TResampleVariant v : {TResampleVariant::Plain, TResampleVariant::Sse2}) {
        if (!InstallResampleVariant(v))
            continue;
        Transfer(dst, {0, 0, 2, 1}, {0, 0, 2, 1}, src, {0, 0, 600, 300}, sfDraft);
        EXPECT_EQ(dst.PixelAt(0, 0), 0xFFFFFFFFu);
        EXPECT_EQ(dst.PixelAt(1, 0), 0x80402010u);
    }
}

TEST_F(ResampleTest, HardEdgesStayInsideTheByteRangeWithNegativeLobes)
{
    TBitmap32 src;
    src.SetSize(8, 1);
    for (int x = 0; x < 8; ++x)
        src.SetPixelAt(x, 0, x < 4 ? 0xFF000000 : 0xFFFFFFFF);
    for (TStretchFilter f : {sfLanczos, sfMitchell}) {
        TBitmap32 dst;
        dst.SetSize(29, 1);
        Transfer(dst, {0, 0, 29, 1}, {0, 0, 29, 1}, src, {0, 0, 8, 1}, f);
        // Without clamping, overshoot past 255 would wrap to near 0 and undershoot to near 255.
        for (int x = 0; x < 29; ++x) {
            const TColor32 c = dst.PixelAt(x, 0);
            if (x < 12) {
                EXPECT_LE(BlueOf(c), 8u) << int(f) << " x " << x;
            }
            if (x > 17) {
                EXPECT_GE(BlueOf(c), 247u) << int(f) << " x " << x;
            }
        }
        EXPECT_EQ(dst.PixelAt(0, 0), 0xFF000000u);
        EXPECT_EQ(dst.PixelAt(28, 0), 0xFFFFFFFFu);
    }
}

// ------------------------------------------------------------------ tap tables

TEST(TapTable, EveryListSumsTo256InOrderAndInside)
{
    std::mt19937 rng(99);
    for (int iter = 0; iter < 3000; ++iter) {
        const TStretchFilter f = kAllFilters[2 + rng() % 5];
        const int srcLo = int(rng() % 50), srcW = 1 + int(rng() % (iter % 3 == 0 ? 400 : 40));
        const int dstLo = int(rng() % 50) - 25, dstW = 1 + int(rng() % (iter % 3 == 1 ? 400 : 40));
        const int clipLo = dstLo + int(rng() % dstW);
        const int clipHi = clipLo + int(rng() % (dstLo + dstW - clipLo + 1));
        const TTapTable t = BuildTapTable(dstLo, dstLo + dstW, clipLo, clipHi, srcLo, srcLo + srcW, f);
        ASSERT_EQ(t.size(), std::size_t(clipHi - clipLo));
        for (const TTapList& l : t) {
            ASSERT_FALSE(l.empty());
            int sum = 0;
            for (std::size_t k = 0; k < l.size(); ++k) {
                sum += l[k].Weight;
                ASSERT_GE(l[k].SourceIndex, srcLo);
                ASSERT_LT(l[k].SourceIndex, srcLo + srcW);
                if (k > 0) {
                    ASSERT_LE(l[k - 1].SourceIndex, l[k].SourceIndex);
                }
            }
            ASSERT_EQ(sum, 256) << "filter " << int(f) << " src " << srcW << " dst " << dstW;
        }
    }
}

TEST(TapTable, RoundingDifferenceLandsOnTheMiddleEntry)
{
    // Enlarging lists: recompute the raw rounded weights and check that only entry (n-1) div 2
    // carries the difference to 256.
    int corrected = 0;
    for (TStretchFilter f : {sfSpline, sfLanczos, sfMitchell, sfCosine})
        for (int srcW = 2; srcW < 9; ++srcW)
            for (int dstW = srcW + 1; dstW < 3 * srcW; ++dstW) {
                const TTapTable t = BuildTapTable(0, dstW, 0, dstW, 0, srcW, f);
                const float radius = StretchKernelRadius(f);
                const float s = 1.0f / (float(dstW) / float(srcW));
                for (int i = 0; i < dstW; ++i) {
                    const float c = -0.5f + (float(i) + 0.5f) * s;
                    std::vector<TTap> raw;
                    for (int j = int(std::floor(c - radius)); j <= int(std::ceil(c + radius)); ++j) {
                        const int w = RoundHalfEven(StretchKernel(f, c - float(j)) * 256.0f);
                        if (w != 0)
                            raw.push_back({std::clamp(j, 0, srcW - 1), w});
                    }
                    int sum = 0;
                    for (const TTap& tap : raw)
                        sum += tap.Weight;
                    const std::size_t mid = (raw.size() - 1) / 2;
                    if (sum != 256)
                        ++corrected;
                    const TTapList& l = t[std::size_t(i)];
                    ASSERT_EQ(l.size(), raw.size());
                    for (std::size_t k = 0; k < raw.size(); ++k) {
                        ASSERT_EQ(l[k].SourceIndex, raw[k].SourceIndex);
                        ASSERT_EQ(l[k].Weight, k == mid ? raw[k].Weight - (sum - 256) : raw[k].Weight)
                            << int(f) << " " << srcW << "->" << dstW << " list " << i << " entry " << k;
                    }
                }
            }
    EXPECT_GT(corrected, 20); // the rule was actually exercised
}

TEST(TapTable, KernelValuesMatchTheirDefinitions)
{
    EXPECT_FLOAT_EQ(StretchKernel(sfLinear, -0.25f), 0.75f);
    EXPECT_FLOAT_EQ(StretchKernel(sfLinear, 1.0f), 0.0f);
    EXPECT_FLOAT_EQ(StretchKernel(sfSpline, 0.0f), 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(StretchKernel(sfSpline, 1.0f), 1.0f / 6.0f);
    EXPECT_FLOAT_EQ(StretchKernel(sfMitchell, 0.0f), 16.0f / 18.0f);
    EXPECT_NEAR(StretchKernel(sfMitchell, 1.0f), 1.0f / 18.0f, 1e-6);
    EXPECT_FLOAT_EQ(StretchKernel(sfLanczos, 0.0f), 1.0f);
    EXPECT_NEAR(StretchKernel(sfLanczos, 1.0f), 0.0f, 1e-6);
    EXPECT_NEAR(StretchKernel(sfLanczos, 1.5f), -0.1350949, 1e-5);
    EXPECT_FLOAT_EQ(StretchKernel(sfCosine, 0.5f), 0.5f);
    EXPECT_EQ(StretchKernel(sfLanczos, 3.0f), 0.0f);
    EXPECT_EQ(StretchKernelRadius(sfLanczos), 3.0f);
    EXPECT_EQ(StretchKernelRadius(sfMitchell), 2.0f);
}

TEST(TapTable, HugeShrinkGivesOneFullTapAtTheCentre)
{
    const TTapTable t = BuildTapTable(0, 1, 0, 1, 0, 100000, sfSpline);
    ASSERT_EQ(t.size(), 1u);
    ASSERT_EQ(t[0].size(), 1u);
    EXPECT_EQ(t[0][0].SourceIndex, 49999);
    EXPECT_EQ(t[0][0].Weight, 256);
    EXPECT_TRUE(BuildTapTable(0, 4, 0, 4, 3, 3, sfSpline).empty());
    const TTapTable one = BuildTapTable(0, 4, 1, 3, 7, 8, sfLanczos);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[1][0].SourceIndex, 7);
    EXPECT_EQ(one[1][0].Weight, 256);
}

TEST_F(ResampleTest, HugeShrinkPicksTheCentrePixel)
{
    TBitmap32 src, dst;
    src.SetSize(100000, 1);
    src.Clear(0xFF000000);
    src.SetPixelAt(49999, 0, 0xFF336699);
    dst.SetSize(1, 1);
    for (TStretchFilter f : {sfSpline, sfLanczos, sfMitchell, sfCosine, sfLinear}) {
        dst.Clear(0);
        Transfer(dst, {0, 0, 1, 1}, {0, 0, 1, 1}, src, {0, 0, 100000, 1}, f);
        EXPECT_EQ(dst.PixelAt(0, 0), 0xFF336699u) << int(f);
    }
    // The draft path with a shrink factor above 65536 still reads every source pixel once.
    src.Clear(0xFF204060);
    Transfer(dst, {0, 0, 1, 1}, {0, 0, 1, 1}, src, {0, 0, 100000, 1}, sfDraft);
    EXPECT_EQ(dst.PixelAt(0, 0), 0xFF204060u);
}

// ------------------------------------------------------------------ randomized properties

namespace {

struct TRandomCase {
    int SW, SH, DW, DH;
    TRect SrcRect, DstRect, Clip;
};

TRandomCase RandomCase(std::mt19937& Rng)
{
    TRandomCase c;
    auto pick = [&](int lo, int hi) { return lo + int(Rng() % unsigned(hi - lo + 1)); };
    const bool big = Rng() % 4 == 0;
    c.SW = pick(1, big ? 90 : 20);
    c.SH = pick(1, big ? 90 : 20);
    c.DW = pick(1, 40);
    c.DH = pick(1, 40);
    const int l = pick(0, c.SW - 1), t = pick(0, c.SH - 1);
    c.SrcRect = {l, t, pick(l + 1, c.SW), pick(t + 1, c.SH)};
    const int dl = pick(-10, c.DW), dt = pick(-10, c.DH);
    c.DstRect = {dl, dt, dl + pick(1, 60), dt + pick(1, 60)};
    c.Clip = {pick(-5, c.DW), pick(-5, c.DH), pick(-5, c.DW + 5), pick(-5, c.DH + 5)};
    return c;
}

} // namespace

TEST_F(ResampleTest, ClippedTransferEqualsTheSameAreaOfTheWholeOne)
{
    std::mt19937 rng(2024);
    for (int iter = 0; iter < 600; ++iter) {
        const TRandomCase c = RandomCase(rng);
        TBitmap32 src, whole, clipped;
        Fill(src, c.SW, c.SH, rng);
        Fill(whole, c.DW, c.DH, rng);
        clipped.SetSize(c.DW, c.DH);
        std::memcpy(clipped.Bits(), whole.Bits(), sizeof(TColor32) * c.DW * c.DH);
        const auto before = Pixels(whole);
        const TStretchFilter f = kAllFilters[iter % 7];
        const TDrawMode mode = TDrawMode(iter / 7 % 2); // opaque and blend
        src.SetCombineMode(TCombineMode(iter / 14 % 2));
        src.SetMasterAlpha(iter % 3 == 0 ? 255 : 140);
        Transfer(whole, c.DstRect, whole.BoundsRect(), src, c.SrcRect, f, mode);
        Transfer(clipped, c.DstRect, c.Clip, src, c.SrcRect, f, mode);
        for (int y = 0; y < c.DH; ++y)
            for (int x = 0; x < c.DW; ++x) {
                const bool inside = x >= c.Clip.Left && x < c.Clip.Right && y >= c.Clip.Top && y < c.Clip.Bottom;
                const TColor32 want = inside ? whole.PixelAt(x, y) : before[std::size_t(y * c.DW + x)];
                ASSERT_EQ(clipped.PixelAt(x, y), want)
                    << "iter " << iter << " filter " << int(f) << " at " << x << "," << y;
            }
    }
}

TEST_F(ResampleTest, BlendedScaledPathsBlendTheOpaqueColoursPerPixel)
{
    std::mt19937 rng(31);
    for (TColorSet set : {TColorSet::Plain, TColorSet::Vector}) {
        InstallColorOps(set);
        for (int iter = 0; iter < 120; ++iter) {
            TRandomCase c = RandomCase(rng);
            if (iter % 4 == 0) { // unscaled: the line blends of the combine mode
                c.DstRect.Right = c.DstRect.Left + c.SrcRect.Width();
                c.DstRect.Bottom = c.DstRect.Top + c.SrcRect.Height();
            }
            const TStretchFilter f = kAllFilters[iter % 7];
            const TCombineMode cm = TCombineMode(iter / 7 % 2);
            const std::uint32_t ma = iter % 3 == 0 ? 255 : 1 + rng() % 254;
            TBitmap32 src, opaque, blended;
            Fill(src, c.SW, c.SH, rng);
            src.SetCombineMode(cm);
            src.SetMasterAlpha(ma);
            Fill(blended, c.DW, c.DH, rng);
            const auto before = Pixels(blended);
            opaque.SetSize(c.DW, c.DH);
            Transfer(opaque, c.DstRect, c.Clip, src, c.SrcRect, f, dmOpaque);
            Transfer(blended, c.DstRect, c.Clip, src, c.SrcRect, f, dmBlend);
            TRect r;
            IntersectRects(r, c.Clip, blended.BoundsRect());
            IntersectRects(r, r, c.DstRect);
            const bool unscaled = c.SrcRect.Width() == c.DstRect.Width() && c.SrcRect.Height() == c.DstRect.Height();
            const bool lineBlend = unscaled || f == sfNearest;
            for (int y = 0; y < c.DH; ++y)
                for (int x = 0; x < c.DW; ++x) {
                    TColor32 want = before[std::size_t(y * c.DW + x)];
                    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) {
                        const TColor32 s = opaque.PixelAt(x, y);
                        if (lineBlend && ma == 255)
                            BlendRunByMode[cm](&s, &want, 1);
                        else if (lineBlend)
                            BlendRunScaledByMode[cm](&s, &want, 1, ma);
                        else
                            BlendColorIntoScaledByMode[cm](s, want, ma);
                    }
                    ASSERT_EQ(blended.PixelAt(x, y), want) << "iter " << iter << " at " << x << "," << y;
                }
            FinishColorOps();
        }
    }
}

namespace {

// The bilinear rule written out directly: map, then mix by the given form.
std::vector<TBilinearEntry> ReferenceMap(int DstLo, int DstW, int ClipLo, int ClipHi, int SrcLo, int SrcHi, int Extent)
{
    std::vector<TBilinearEntry> m;
    const float scale = float(SrcHi - SrcLo) / float(DstW);
    for (int i = ClipLo; i < ClipHi; ++i) {
        float t = float(SrcLo) - 0.5f + (float(i - DstLo) + 0.5f) * scale;
        t = std::min(std::max(t, 0.0f), float(Extent - 1));
        const int x = int(std::floor(t));
        const unsigned w = unsigned(256 - RoundHalfEven((t - std::floor(t)) * 256.0f));
        m.push_back({x, w * 65537u});
    }
    for (int k = int(m.size()) - 1; k >= 0 && m[std::size_t(k)].SourceIndex == SrcHi - 1; --k)
        m[std::size_t(k)] = {SrcHi - 2, 0};
    return m;
}

TColor32 Mix256(TColor32 a, TColor32 b, TColor32 c, TColor32 d, unsigned wx, unsigned wy)
{
    TColor32 r = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        auto ch = [&](TColor32 v) { return (v >> sh) & 0xFF; };
        const unsigned top = (ch(a) * wx + ch(b) * (256 - wx)) >> 8;
        const unsigned bot = (ch(c) * wx + ch(d) * (256 - wx)) >> 8;
        r |= ((top * wy + bot * (256 - wy)) >> 8) << sh;
    }
    return r;
}

} // namespace

TEST_F(ResampleTest, BilinearVariantsFollowTheirOwnMixRule)
{
    std::mt19937 rng(77);
    for (TResampleVariant v : {TResampleVariant::Plain, TResampleVariant::Sse2}) {
        if (!InstallResampleVariant(v))
            continue;
        for (int iter = 0; iter < 300; ++iter) {
            TRandomCase c = RandomCase(rng);
            // Enlarge in both directions from at least 2 x 2.
            if (c.SrcRect.Width() < 2)
                c.SrcRect.Right = std::min(c.SW, c.SrcRect.Left + 2), c.SrcRect.Left = c.SrcRect.Right - 2;
            if (c.SrcRect.Height() < 2)
                c.SrcRect.Bottom = std::min(c.SH, c.SrcRect.Top + 2), c.SrcRect.Top = c.SrcRect.Bottom - 2;
            if (c.SrcRect.Left < 0 || c.SrcRect.Top < 0)
                continue;
            c.DstRect.Right = c.DstRect.Left + c.SrcRect.Width() + 1 + int(rng() % 50);
            c.DstRect.Bottom = c.DstRect.Top + c.SrcRect.Height() + 1 + int(rng() % 50);
            TBitmap32 src, dst;
            Fill(src, c.SW, c.SH, rng);
            dst.SetSize(c.DW, c.DH);
            Transfer(dst, c.DstRect, c.Clip, src, c.SrcRect, sfLinear);
            TRect r;
            IntersectRects(r, c.Clip, dst.BoundsRect());
            IntersectRects(r, r, c.DstRect);
            if (r.Right <= r.Left || r.Bottom <= r.Top)
                continue;
            const auto xm = ReferenceMap(c.DstRect.Left, c.DstRect.Width(), r.Left, r.Right, c.SrcRect.Left,
                                         c.SrcRect.Right, c.SW);
            const auto ym = ReferenceMap(c.DstRect.Top, c.DstRect.Height(), r.Top, r.Bottom, c.SrcRect.Top,
                                         c.SrcRect.Bottom, c.SH);
            for (int y = r.Top; y < r.Bottom; ++y)
                for (int x = r.Left; x < r.Right; ++x) {
                    const TBilinearEntry ex = xm[std::size_t(x - r.Left)], ey = ym[std::size_t(y - r.Top)];
                    const TColor32 c11 = src.PixelAt(ex.SourceIndex, ey.SourceIndex);
                    const TColor32 c12 = src.PixelAt(ex.SourceIndex + 1, ey.SourceIndex);
                    const TColor32 c21 = src.PixelAt(ex.SourceIndex, ey.SourceIndex + 1);
                    const TColor32 c22 = src.PixelAt(ex.SourceIndex + 1, ey.SourceIndex + 1);
                    TColor32 want;
                    if (v == TResampleVariant::Sse2) {
                        want = Mix256(c11, c12, c21, c22, ex.Weight & 0xFFFF, ey.Weight & 0xFFFF);
                    } else {
                        const TColor32 a = std::min(ex.Weight >> 16, 255u), b = std::min(ey.Weight >> 16, 255u);
                        want = CombineColors(CombineColors(c11, c12, a), CombineColors(c21, c22, a), b);
                    }
                    ASSERT_EQ(dst.PixelAt(x, y), want) << "iter " << iter << " at " << x << "," << y;
                }
        }
    }
}

TEST_F(ResampleTest, SimdVariantsMatchThePlainRulesExactly)
{
    if (!HaveSse2())
        GTEST_SKIP() << "no SSE2 here";
    std::mt19937 rng(4242);
    // Row mix against the 256-based rule, and block averages against the plain one.
    for (int iter = 0; iter < 2000; ++iter) {
        const int n = 1 + int(rng() % 40);
        std::vector<TColor32> r0(n + 1), r1(n + 1), a(n), b(n);
        for (auto& p : r0)
            p = rng();
        for (auto& p : r1)
            p = rng();
        std::vector<TBilinearEntry> map(n);
        for (auto& e : map) {
            const unsigned w = rng() % 257;
            e = {int(rng() % unsigned(n)), w * 65537u};
        }
        const unsigned wy = rng() % 257;
        BilinearMix256(r0.data(), r1.data(), map.data(), n, wy * 65537u, a.data());
        BilinearMix256Sse2(r0.data(), r1.data(), map.data(), n, wy * 65537u, b.data());
        ASSERT_EQ(a, b) << "iter " << iter;

        const int dx = 1 + int(rng() % (iter % 10 == 0 ? 700 : 20)), dy = 1 + int(rng() % 12);
        std::vector<TColor32> block(std::size_t(dx + 3) * dy);
        for (auto& p : block)
            p = iter % 5 == 0 ? 0xFFFFFFFF : rng();
        ASSERT_EQ(BoxAveragePlain(block.data() + 1, dx + 3, dx, dy), BoxAverageSse2(block.data() + 1, dx + 3, dx, dy))
            << dx << "x" << dy;
    }
    // Whole transfers through draft and every kernel give identical pixels under both variants.
    for (int iter = 0; iter < 400; ++iter) {
        const TRandomCase c = RandomCase(rng);
        const TStretchFilter f = kAllFilters[1 + iter % 6];
        TBitmap32 src, p, s;
        Fill(src, c.SW, c.SH, rng);
        p.SetSize(c.DW, c.DH);
        s.SetSize(c.DW, c.DH);
        const int sw = c.SrcRect.Width(), sh = c.SrcRect.Height(), dw = c.DstRect.Width(), dh = c.DstRect.Height();
        const bool bilinear = (f == sfLinear && dw > sw && dh > sh && sw > 1 && sh > 1) ||
                              (f == sfDraft && (dw > sw || dh > sh) && sw > 1 && sh > 1);
        if (bilinear && !(sw == dw && sh == dh))
            continue; // the bilinear mix differs between the variants by design
        InstallResampleVariant(TResampleVariant::Plain);
        Transfer(p, c.DstRect, c.Clip, src, c.SrcRect, f);
        InstallResampleVariant(TResampleVariant::Sse2);
        Transfer(s, c.DstRect, c.Clip, src, c.SrcRect, f);
        ASSERT_EQ(Pixels(p), Pixels(s)) << "iter " << iter << " filter " << int(f);
    }
}

TEST_F(ResampleTest, TinyAndExtremeScalesStayInBounds)
{
    // Run under the sanitizers: any read outside a source or write outside the clip shows up.
    std::mt19937 rng(8);
    const int sizes[] = {1, 2, 3, 7, 64, 300};
    for (int sw : sizes)
        for (int dw : sizes)
            for (TStretchFilter f : kAllFilters) {
                TBitmap32 src, dst;
                Fill(src, sw, sw == 1 ? 1 : 1 + sw % 5, rng);
                dst.SetSize(dw + 2, 3);
                dst.Clear(0xDEADBEEF);
                Transfer(dst, {1, 1, 1 + dw, 2}, {1, 1, 1 + dw, 2}, src, src.BoundsRect(), f);
                for (int x = 0; x < dw + 2; ++x) {
                    ASSERT_EQ(dst.PixelAt(x, 0), 0xDEADBEEFu);
                    ASSERT_EQ(dst.PixelAt(x, 2), 0xDEADBEEFu);
                }
                ASSERT_EQ(dst.PixelAt(0, 1), 0xDEADBEEFu);
                ASSERT_EQ(dst.PixelAt(dw + 1, 1), 0xDEADBEEFu);
                if (sw == 1 && f != sfDraft) {
                    ASSERT_EQ(dst.PixelAt(1, 1), src.PixelAt(0, 0)) << int(f) << " " << dw;
                }
            }
}

TEST_F(ResampleTest, HugeDestinationRectanglesDrawOnlyTheClip)
{
    std::mt19937 rng(21);
    TBitmap32 src;
    Fill(src, 5, 4, rng);
    const TRect huge[] = {{-1000000000, -7, 1000000000, 9},
                          {-3, -1000000000, 12, 1000000000},
                          {INT_MIN, INT_MIN, INT_MAX, INT_MAX}}; // too wide to map: nothing drawn
    for (const TRect& r : huge)
        for (TStretchFilter f : kAllFilters) {
            TBitmap32 dst;
            dst.SetSize(6, 6);
            dst.Clear(0xDEADBEEF);
            Transfer(dst, r, {1, 1, 5, 5}, src, src.BoundsRect(), f);
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 6; ++x) {
                    const bool inside = x >= 1 && x < 5 && y >= 1 && y < 5;
                    if (!inside || r.Left == INT_MIN) {
                        ASSERT_EQ(dst.PixelAt(x, y), 0xDEADBEEFu) << int(f) << " " << x << "," << y;
                    }
                }
            if (r.Left != INT_MIN) {
                EXPECT_NE(dst.PixelAt(2, 2), 0xDEADBEEFu) << int(f);
            }
        }
}

TEST_F(ResampleTest, SameBitmapAsSourceAndDestinationReadsTheOriginal)
{
    std::mt19937 rng(3);
    for (TStretchFilter f : {sfNearest, sfSpline, sfDraft}) {
        // Scaled (8x8 -> 16x16) and unscaled (shifted by one pixel) overlapping transfers.
        const TRect dsts[2] = {{2, 3, 18, 19}, {1, 1, 17, 17}};
        const TRect srcs[2] = {{0, 0, 8, 8}, {0, 0, 16, 16}};
        for (int k = 0; k < 2; ++k) {
            TBitmap32 a, b, copy;
            Fill(a, 20, 20, rng);
            b.SetSize(20, 20);
            copy.SetSize(20, 20);
            std::memcpy(b.Bits(), a.Bits(), 1600);
            std::memcpy(copy.Bits(), a.Bits(), 1600);
            Transfer(a, dsts[k], {0, 0, 20, 20}, a, srcs[k], f);
            Transfer(b, dsts[k], {0, 0, 20, 20}, copy, srcs[k], f);
            EXPECT_EQ(Pixels(a), Pixels(b)) << int(f) << " case " << k;
        }
    }
}

TEST_F(ResampleTest, DrawToBitmapUsesTheSourceSettingsAndNotifiesTheTarget)
{
    std::mt19937 rng(17);
    TBitmap32 src, target, expect;
    Fill(src, 6, 5, rng);
    src.SetStretchFilter(sfLanczos);
    src.SetDrawMode(dmBlend);
    src.SetMasterAlpha(200);
    src.SetCombineMode(cmMerge);
    Fill(target, 16, 16, rng);
    expect.SetSize(16, 16);
    std::memcpy(expect.Bits(), target.Bits(), 16 * 16 * 4);
    target.SetClipRect({2, 2, 12, 14});
    int notified = 0;
    target.OnChange = [&](TObject*) { ++notified; };
    src.DrawToBitmap(&target, {1, 1, 15, 13});
    EXPECT_EQ(notified, 1);
    ScaledTransfer(&expect, {1, 1, 15, 13}, {2, 2, 12, 14}, &src, {0, 0, 6, 5}, sfLanczos, dmBlend, {});
    EXPECT_EQ(Pixels(target), Pixels(expect));
    // An empty source draws nothing and does not notify.
    TBitmap32 empty;
    empty.DrawToBitmap(&target, {0, 0, 4, 4});
    EXPECT_EQ(notified, 1);
}
