#include "filters/noise.h"

#include <gtest/gtest.h>

#include <vector>

#include "bitmap/blend.h"

namespace {

std::uint8_t ByteOf(TColor32 c, int k) { return static_cast<std::uint8_t>(c >> (8 * k)); }

// A bitmap with a different value in every pixel.
void FillPattern(TBitmap32& bmp, int w, int h)
{
    bmp.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp.SetPixelAt(x, y, 0x80000000u | static_cast<TColor32>(x * 0x010203 + y * 0x302010));
}

std::vector<TColor32> PixelsOf(const TBitmap32& bmp)
{
    return std::vector<TColor32>(bmp.Bits(), bmp.Bits() + bmp.Width() * bmp.Height());
}

class NoiseTest : public ::testing::Test {
protected:
    void SetUp() override { ResetRandomSeed(); }
    void TearDown() override { ResetRandomSeed(); }
};

// Seeds after a fresh load: 1, 0x08088406, 0xDC6DAC1F, 0x33DC589C, ...
TEST_F(NoiseTest, GeneratorFollowsTheLinearCongruentialSequence)
{
    EXPECT_EQ(RandomSeed(), 0u);
    EXPECT_EQ(RandomBelow(0xFFFFFFFFu), 0u); // seed 1
    EXPECT_EQ(RandomSeed(), 1u);
    EXPECT_EQ(RandomBelow(0xFFFFFFFFu), 134775813u); // seed 0x08088406
    EXPECT_EQ(RandomBelow(254), 218u);               // seed 0xDC6DAC1F
    EXPECT_EQ(RandomSeed(), 0xDC6DAC1Fu);
    EXPECT_EQ(RandomBelow(7), 1u); // seed 0x33DC589C
}

TEST_F(NoiseTest, ZeroRangeGivesZeroButStillAdvances)
{
    EXPECT_EQ(RandomBelow(0), 0u);
    EXPECT_EQ(RandomBelow(0), 0u);
    EXPECT_EQ(RandomSeed(), 0x08088406u);
}

TEST_F(NoiseTest, ResultsStayBelowTheBound)
{
    for (std::uint32_t n : {1u, 2u, 3u, 254u, 255u, 65536u, 0x80000001u, 0xFFFFFFFFu}) {
        ResetRandomSeed(n); // a different stretch of the sequence for each bound
        for (int i = 0; i < 2000; ++i)
            ASSERT_LT(RandomBelow(n), n) << "n=" << n;
    }
}

TEST_F(NoiseTest, AllZeroParametersChangeNothingAndDrawFourPerPixel)
{
    TBitmap32 bmp;
    FillPattern(bmp, 7, 5);
    const auto before = PixelsOf(bmp);
    AddNoise(&bmp, 0, 0, 0, 0, 0);
    EXPECT_EQ(PixelsOf(bmp), before);
    const std::uint32_t after = RandomSeed();
    ResetRandomSeed();
    for (int i = 0; i < 4 * 7 * 5; ++i)
        RandomBelow(0);
    EXPECT_EQ(after, RandomSeed());
}

TEST_F(NoiseTest, OpaqueWithoutVariationReplacesEveryPixel)
{
    TBitmap32 bmp;
    FillPattern(bmp, 4, 3);
    AddNoise(&bmp, 255, 0x12, 0x34, 0x56, 0);
    for (TColor32 p : PixelsOf(bmp)) {
        // In memory: Red, Green, Blue, 255 -- the host's byte order.
        EXPECT_EQ(p, 0xFF563412u);
        EXPECT_EQ(ByteOf(p, 0), 0x12);
        EXPECT_EQ(ByteOf(p, 2), 0x56);
    }
}

TEST_F(NoiseTest, FirstColoursAfterAFreshLoadComeFromTheFirstSeeds)
{
    TBitmap32 bmp;
    bmp.SetSize(2, 1);
    AddNoise(&bmp, 255, 0, 0, 0, 127);
    // Pixel 0 from seeds 1 (alpha), 0x08088406, 0xDC6DAC1F, 0x33DC589C; pixel 1 from the next four.
    EXPECT_EQ(bmp.PixelAt(0, 0), 0xFF33DA07u);
    EXPECT_EQ(bmp.PixelAt(1, 0), 0xFF2950AAu);
    EXPECT_EQ(RandomSeed(), 0x296B6D78u);
}

TEST_F(NoiseTest, TranslucentNoiseIsBlendedWithItsOwnAlpha)
{
    TBitmap32 bmp;
    bmp.SetSize(2, 1);
    bmp.Clear(0xFF406080);
    AddNoise(&bmp, 0, 0, 0, 0, 127);
    // Pixel 0's alpha draw is 0: untouched. Pixel 1's colour is 0x452950AA (alpha 69).
    EXPECT_EQ(bmp.PixelAt(0, 0), 0xFF406080u);
    TColor32 expected = 0xFF406080;
    BlendColorInto(0x452950AA, expected);
    FinishColorOps();
    EXPECT_EQ(bmp.PixelAt(1, 0), expected);
    EXPECT_NE(expected, 0xFF406080u);
}

TEST_F(NoiseTest, VariationOneGivesAtMostAFaintBlend)
{
    TBitmap32 bmp;
    FillPattern(bmp, 32, 32);
    const auto before = PixelsOf(bmp);
    AddNoise(&bmp, 0, 0, 0, 0, 1);
    const auto after = PixelsOf(bmp);
    int unchanged = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        unchanged += before[i] == after[i];
        for (int k = 0; k < 3; ++k)
            ASSERT_LE(std::abs(ByteOf(before[i], k) - ByteOf(after[i], k)), 1) << i;
    }
    // Alpha 0 and 1 are about equally likely: some pixels keep their value, others not.
    EXPECT_GT(unchanged, 0);
    EXPECT_LT(unchanged, static_cast<int>(before.size()));
}

TEST_F(NoiseTest, HighBasesClampAt255)
{
    TBitmap32 bmp;
    bmp.SetSize(40, 25);
    AddNoise(&bmp, 255, 250, 250, 250, 10);
    int clamped[3] = {0, 0, 0};
    for (TColor32 p : PixelsOf(bmp)) {
        ASSERT_EQ(ByteOf(p, 3), 255);
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(ByteOf(p, k), 250);
            clamped[k] += ByteOf(p, k) == 255;
        }
    }
    // 15 of the 20 draws reach 255 or more; about three quarters of the pixels clamp.
    for (int k = 0; k < 3; ++k)
        EXPECT_GT(clamped[k], 600) << k;
}

TEST_F(NoiseTest, SameSeedSameImageAndTheSeedCarriesOver)
{
    TBitmap32 a, b, c;
    FillPattern(a, 9, 9);
    FillPattern(b, 9, 9);
    FillPattern(c, 9, 9);
    AddNoise(&a, 40, 10, 20, 30, 50);
    AddNoise(&c, 40, 10, 20, 30, 50); // continues from where a's run left the seed
    ResetRandomSeed();
    AddNoise(&b, 40, 10, 20, 30, 50);
    EXPECT_EQ(PixelsOf(a), PixelsOf(b));
    EXPECT_NE(PixelsOf(a), PixelsOf(c));
}

TEST_F(NoiseTest, EmptyBitmapDrawsNothingAndNoiseNeverNotifies)
{
    TBitmap32 empty;
    AddNoise(&empty, 255, 1, 2, 3, 100);
    AddNoise(nullptr, 255, 1, 2, 3, 100);
    EXPECT_EQ(RandomSeed(), 0u);

    TBitmap32 bmp;
    bmp.SetSize(3, 3);
    int changes = 0;
    bmp.OnChange = [&](TObject*) { ++changes; };
    AddNoise(&bmp, 255, 1, 2, 3, 0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(bmp.PixelAt(2, 2), 0xFF030201u);
}

TEST_F(NoiseTest, NegativeVariationCountsAsNone)
{
    TBitmap32 bmp;
    bmp.SetSize(5, 1);
    AddNoise(&bmp, 255, 9, 8, 7, -20);
    for (TColor32 p : PixelsOf(bmp))
        EXPECT_EQ(p, 0xFF070809u);
}

} // namespace
