#include "filters/noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bitmap/blend.h"
#include "filters/noise_kernels.h"

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

// The step as written: four draws per pixel in order, each blended on its own.
void ReferenceNoise(TBitmap32& Bmp, int Alpha, int Red, int Green, int Blue, int Variation)
{
    const std::uint32_t r = Variation > 0 ? 2u * static_cast<std::uint32_t>(Variation) : 0u;
    auto draw = [r](int Base) {
        return static_cast<TColor32>(std::clamp<std::int64_t>(std::int64_t{Base} + RandomBelow(r), 0, 255));
    };
    TColor32* p = Bmp.Bits();
    for (int k = 0; k < Bmp.Width() * Bmp.Height(); ++k) {
        const TColor32 a = draw(Alpha), c0 = draw(Red), c1 = draw(Green), c2 = draw(Blue);
        BlendColorInto(a << 24 | c2 << 16 | c1 << 8 | c0, p[k]);
    }
    FinishColorOps();
}

// The colours the reference draws for Count pixels from Seed, and the seed it leaves.
std::uint32_t ReferenceColours(std::uint32_t Seed, const TNoiseDraws& D, std::vector<TColor32>& Out, int Count)
{
    ResetRandomSeed(Seed);
    auto draw = [&](std::int32_t Base) {
        return static_cast<TColor32>(std::clamp<std::int64_t>(std::int64_t{Base} + RandomBelow(D.Range), 0, 255));
    };
    Out.assign(static_cast<std::size_t>(Count), 0);
    for (int i = 0; i < Count; ++i) {
        const TColor32 a = draw(D.Alpha), c0 = draw(D.Red), c1 = draw(D.Green), c2 = draw(D.Blue);
        Out[static_cast<std::size_t>(i)] = a << 24 | c2 << 16 | c1 << 8 | c0;
    }
    return RandomSeed();
}

TEST_F(NoiseTest, JumpAheadEqualsDrawingOneByOne)
{
    for (std::uint32_t start : {0u, 1u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
        ResetRandomSeed(start);
        for (std::uint64_t n = 0; n <= 4100; ++n) {
            ASSERT_EQ(SeedJump(n).Apply(start), RandomSeed()) << "start " << start << " after " << n;
            RandomBelow(0);
        }
    }
    // Far jumps compose: 4 x 3 x 10^9 draws as one jump and as three.
    const std::uint64_t far = 12'000'000'000ull;
    EXPECT_EQ(SeedJump(far).Apply(77), SeedJump(far / 3).Apply(SeedJump(far / 3).Apply(SeedJump(far / 3).Apply(77))));
    // The generator's period is 2^32: a jump of 2^32 draws changes nothing.
    EXPECT_EQ(SeedJump(1ull << 32).Apply(0x1234u), 0x1234u);
    EXPECT_NE(SeedJump((1ull << 32) - 1).Apply(0x1234u), 0x1234u);

    ResetRandomSeed(99);
    SkipRandomDraws(1001);
    const std::uint32_t skipped = RandomSeed();
    ResetRandomSeed(99);
    for (int i = 0; i < 1001; ++i)
        RandomBelow(5);
    EXPECT_EQ(skipped, RandomSeed());
}

// Both generators against the draw-by-draw reference, over random seeds, bases, ranges and
// counts (tails of 0..3 pixels and several rounds of the twin included).
TEST_F(NoiseTest, ColourGeneratorsMatchTheReferenceAndEachOther)
{
    const std::uint32_t seed = 0x5EED0315u;
    std::mt19937 rnd(seed);
    std::vector<TNoiseColors> generators{NoiseColorsPlain};
#if defined(VESPER_X86)
    const TNoiseVariant installed = NoiseVariant();
    if (InstallNoiseVariant(TNoiseVariant::Sse2))
        generators.push_back(NoiseColorsSse2);
    InstallNoiseVariant(installed);
#endif
    std::vector<TColor32> want, got;
    for (int n = 0; n < 3000; ++n) {
        TNoiseDraws d;
        const bool bytes = n % 4 != 0; // mostly the dialog's bytes, sometimes far outside them
        auto base = [&] {
            return bytes ? static_cast<std::int32_t>(rnd() % 256) : static_cast<std::int32_t>(rnd() % 2001) - 1000;
        };
        d.Alpha = base();
        d.Red = base();
        d.Green = base();
        d.Blue = base();
        d.Range = bytes ? 2 * (1 + rnd() % 255) : 1 + rnd() % (n % 8 == 0 ? 0xFFFFFFFFu : 100000u);
        const std::uint32_t start = rnd();
        const int count = static_cast<int>(rnd() % 70);
        const std::uint32_t wantSeed = ReferenceColours(start, d, want, count);
        for (std::size_t g = 0; g < generators.size(); ++g) {
#if defined(VESPER_X86)
            if (generators[g] == NoiseColorsSse2 && !NoiseColorsSse2Takes(d))
                continue;
#endif
            got.assign(static_cast<std::size_t>(count) + 1, 0xA5A5A5A5u);
            const std::uint32_t gotSeed = generators[g](start, d, got.data(), count);
            ASSERT_EQ(got.back(), 0xA5A5A5A5u) << "generator " << g << " wrote past the end, seed " << seed;
            got.pop_back();
            ASSERT_EQ(got, want) << "generator " << g << " (0 plain, 1 SSE2) seed " << std::hex << seed << std::dec
                                 << " case " << n << " start " << start << " range " << d.Range << " bases "
                                 << d.Alpha << "," << d.Red << "," << d.Green << "," << d.Blue;
            ASSERT_EQ(gotSeed, wantSeed) << "generator " << g << " seed " << seed << " case " << n;
        }
    }
}

TEST_F(NoiseTest, TheTwinTakesOnlyWhatFitsItsLanes)
{
#if defined(VESPER_X86)
    EXPECT_TRUE(NoiseColorsSse2Takes(TNoiseDraws{255, 255, 255, 255, 510}));
    EXPECT_TRUE(NoiseColorsSse2Takes(TNoiseDraws{-(1 << 30), 0, 0, 1 << 30, 1u << 30}));
    EXPECT_FALSE(NoiseColorsSse2Takes(TNoiseDraws{0, 0, 0, 0, 0}));
    EXPECT_FALSE(NoiseColorsSse2Takes(TNoiseDraws{0, 0, 0, 0, (1u << 30) + 1}));
    EXPECT_FALSE(NoiseColorsSse2Takes(TNoiseDraws{0, (1 << 30) + 1, 0, 0, 2}));
    EXPECT_FALSE(NoiseColorsSse2Takes(TNoiseDraws{0, 0, -(1 << 30) - 1, 0, 2}));
#else
    GTEST_SKIP() << "no SSE2 twin on this processor family";
#endif
}

// The whole step against the reference loop, for each colour set and each generator, on
// bitmaps larger than one block of the run blend; parameters and sizes at random.
TEST_F(NoiseTest, AddNoiseMatchesThePixelByPixelLoop)
{
    const std::uint32_t seed = 0x5EED0316u;
    std::mt19937 rnd(seed);
    const TNoiseVariant installed = NoiseVariant();
    for (TColorSet set : {TColorSet::Plain, TColorSet::Vector}) {
        InstallColorOps(set);
        for (TNoiseVariant v : {TNoiseVariant::Plain, TNoiseVariant::Sse2}) {
            if (!InstallNoiseVariant(v))
                continue;
            for (int n = 0; n < 40; ++n) {
                const int w = 1 + static_cast<int>(rnd() % 60), h = 1 + static_cast<int>(rnd() % 40);
                int p[5];
                for (int& x : p)
                    x = static_cast<int>(rnd() % 256);
                if (n % 5 == 0)
                    p[4] = 0; // one colour for all
                if (n % 10 == 0)
                    p[0] = 0; // and clear: nothing changes
                if (n % 7 == 0)
                    p[1] = -300, p[4] = 1 << 20; // outside the dialog's bytes
                TBitmap32 ours, ref;
                FillPattern(ours, w, h);
                FillPattern(ref, w, h);
                const std::uint32_t start = rnd();
                ResetRandomSeed(start);
                ReferenceNoise(ref, p[0], p[1], p[2], p[3], p[4]);
                const std::uint32_t refSeed = RandomSeed();
                ResetRandomSeed(start);
                AddNoise(&ours, p[0], p[1], p[2], p[3], p[4]);
                ASSERT_EQ(PixelsOf(ours), PixelsOf(ref))
                    << "seed " << std::hex << seed << std::dec << " case " << n << " set " << int(set) << " variant "
                    << int(v) << " size " << w << "x" << h << " params " << p[0] << "," << p[1] << "," << p[2] << ","
                    << p[3] << "," << p[4];
                ASSERT_EQ(RandomSeed(), refSeed) << "seed " << seed << " case " << n;
            }
        }
    }
    InitColorOps();
    InstallNoiseVariant(installed);
}

TEST_F(NoiseTest, ClearColourWithoutVariationOnlyMovesTheSeed)
{
    TBitmap32 bmp;
    FillPattern(bmp, 300, 200);
    const auto before = PixelsOf(bmp);
    ResetRandomSeed(0x600D);
    AddNoise(&bmp, 0, 200, 100, 50, 0); // the colour has alpha 0
    EXPECT_EQ(PixelsOf(bmp), before);
    EXPECT_EQ(RandomSeed(), SeedJump(4 * 300 * 200).Apply(0x600D));
}

} // namespace
