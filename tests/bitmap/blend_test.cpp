// Both blending sets: worked values, the shortcut rules, the CombineMode tables, and the run
// operations (SIMD twins included) against the single-pixel rules.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "bitmap/blend.h"
#include "bitmap/blend_sets.h"
#include "bitmap/cpu_features.h"
#include "bitmap/blend_reference.h"

using namespace blendref;

namespace {

// Every test leaves the start-up set installed, whatever it switched to.
class Blend : public ::testing::Test {
protected:
    void SetUp() override { FStartup = MMXActive ? TColorSet::Vector : TColorSet::Plain; }
    void TearDown() override { InstallColorOps(FStartup); }

private:
    TColorSet FStartup = TColorSet::Plain;
};

struct NamedOps {
    const char* Name;
    const TColorOps* Ops;
    const Rules* Expect;
};

// The installed vector set (with its SIMD twins where the processor has them), the portable
// vector set, and the plain set.
std::vector<NamedOps> AllSets()
{
    return {{"vector", &VectorColorOps(), &VectorRules()},
            {"portable vector", &PortableVectorColorOps(), &VectorRules()},
            {"plain", &PlainColorOps(), &PlainRules()}};
}

TEST_F(Blend, WorkedExamplesThroughTheInstalledSlots)
{
    InstallColorOps(TColorSet::Plain);
    EXPECT_FALSE(MMXActive);
    EXPECT_EQ(BlendColors(0x80FF0000u, 0xFF0000FFu), 0xBF80007Fu);
    InstallColorOps(TColorSet::Vector);
    EXPECT_TRUE(MMXActive);
    EXPECT_EQ(BlendColors(0x80FF0000u, 0xFF0000FFu), 0xC0800080u);
}

TEST_F(Blend, PlainShortcuts)
{
    InstallColorOps(TColorSet::Plain);
    const TColor32 x = 0x7F10E0A3u, y = 0x3355AA01u;
    EXPECT_EQ(CombineColors(x, y, 0), y);
    EXPECT_EQ(CombineColors(x, y, 255), x);
    EXPECT_EQ(CombineColors(0xFFFFFFFFu, 0, 128), 0x80808080u); // alpha weighted too

    TColor32 t = y;
    CombineColorInto(x, t, 0);
    EXPECT_EQ(t, y);
    CombineColorInto(x, t, 255);
    EXPECT_EQ(t, x);
    t = 0xFF000000u;
    CombineColorInto(0xFFFFFFFFu, t, 128);
    EXPECT_EQ(t, 0x00808080u); // colours only: alpha 0

    EXPECT_EQ(BlendColors(0xFF010203u, y), 0xFF010203u);
    EXPECT_EQ(BlendColors(0x00010203u, y), y);
    t = y;
    BlendColorInto(0x00FFFFFFu, t);
    EXPECT_EQ(t, y);
    BlendColorInto(0xFF010203u, t);
    EXPECT_EQ(t, 0xFF010203u);

    // W = 255 and a colour with alpha 0, whatever lies below.
    EXPECT_EQ(BlendColorsScaled(0xFF123456u, 0xFFFFFFFFu, 255), 0x00123456u);
    EXPECT_EQ(BlendColorsScaled(0xFF123456u, 0x00000000u, 255), 0x00123456u);
    EXPECT_EQ(BlendColorsScaled(0x00123456u, y, 255), y);          // Fa = 0
    EXPECT_EQ(BlendColorsScaled(0xC8123456u, y, 0), y);            // W = (1 * 200) shr 8 = 0
    t = y;
    BlendColorIntoScaled(0x00FFFFFFu, t, 255);
    EXPECT_EQ(t, y);
    BlendColorIntoScaled(0xC8FFFFFFu, t, 0);
    EXPECT_EQ(t, y);
    BlendColorIntoScaled(0xFF123456u, t, 255);
    EXPECT_EQ(t, 0x00123456u);
}

TEST_F(Blend, VectorShortcutsAndTheirAbsence)
{
    InstallColorOps(TColorSet::Vector);
    const TColor32 x = 0x7F10E0A3u, y = 0x3355AA01u;
    // CombineColors has no shortcuts: V at 255 is not exactly X, at 0 it is exactly Y.
    EXPECT_EQ(CombineColors(0x00000000u, 0xFFFFFFFFu, 255), 0x01010101u);
    EXPECT_EQ(CombineColors(x, y, 0), y);
    TColor32 t = y;
    CombineColorInto(x, t, 0);
    EXPECT_EQ(t, y);
    CombineColorInto(0x00000000u, t, 255);
    EXPECT_EQ(t, 0u);
    t = 0xFF000000u;
    CombineColorInto(0xFFFFFFFFu, t, 128);
    EXPECT_EQ(t, 0xFF808080u); // all four channels

    // BlendColors weighs even an opaque colour.
    EXPECT_EQ(BlendColors(0xFF000000u, 0x00FFFFFFu), 0xFE010101u);
    EXPECT_EQ(BlendColors(0x00FFFFFFu, y), y);
    t = 0x00FFFFFFu;
    BlendColorInto(0xFF000000u, t);
    EXPECT_EQ(t, 0xFF000000u);
    BlendColorInto(0x00FFFFFFu, t);
    EXPECT_EQ(t, 0xFF000000u);

    // The scaled forms keep a weighted alpha.
    EXPECT_EQ(BlendColorsScaled(0xFF123456u, 0x00000000u, 255), 0xFE123456u);
    EXPECT_EQ(BlendColorsScaled(0xC8123456u, y, 0), y);
    t = y;
    BlendColorIntoScaled(0x00FFFFFFu, t, 255);
    EXPECT_EQ(t, y);
    BlendColorIntoScaled(0xC8FFFFFFu, t, 0);
    EXPECT_EQ(t, y);
}

TEST_F(Blend, VectorRunScaledWeighsWithAlphaPlusOne)
{
    // Fa = 128, M = 127: the single-pixel forms use (127 + 1) * 128 shr 8 = 64, the run form
    // (128 + 1) * 127 shr 8 = 63. Five pixels cover a SIMD group and the scalar tail.
    InstallColorOps(TColorSet::Vector);
    EXPECT_EQ(BlendColorsScaled(0x80FFFFFFu, 0, 127), 0x20404040u);
    std::vector<TColor32> src(5, 0x80FFFFFFu), dst(5, 0);
    BlendRunScaled(src.data(), dst.data(), 5, 127);
    for (TColor32 d : dst)
        EXPECT_EQ(d, 0x203F3F3Fu);
}

TEST_F(Blend, RunsApplyThePerPixelShortcuts)
{
    for (TColorSet set : {TColorSet::Plain, TColorSet::Vector}) {
        InstallColorOps(set);
        SCOPED_TRACE(MMXActive ? "vector" : "plain");
        // clear, opaque, half; then four clear (a skipped group) and four opaque.
        std::vector<TColor32> src = {0x00FFFFFFu, 0xFF000000u, 0x80FF0000u, 0, 0, 0, 0,
                                     0xFF102030u, 0xFF102030u, 0xFF102030u, 0xFF102030u};
        std::vector<TColor32> dst(src.size(), 0xFF0000FFu);
        BlendRun(src.data(), dst.data(), static_cast<int>(src.size()));
        EXPECT_EQ(dst[0], 0xFF0000FFu);
        EXPECT_EQ(dst[1], 0xFF000000u);
        EXPECT_EQ(dst[2], MMXActive ? 0xC0800080u : 0xBF80007Fu);
        for (int i = 3; i < 7; ++i)
            EXPECT_EQ(dst[i], 0xFF0000FFu);
        for (int i = 7; i < 11; ++i)
            EXPECT_EQ(dst[i], 0xFF102030u);
    }
}

TEST_F(Blend, MergeWorkedValuesAndShortcuts)
{
    for (TColorSet set : {TColorSet::Plain, TColorSet::Vector}) {
        InstallColorOps(set);
        SCOPED_TRACE(MMXActive ? "vector" : "plain");
        const TColor32 f = 0x80123456u;
        EXPECT_EQ(MergeColors(f, 0x00ABCDEFu), f);                // Ba = 0
        EXPECT_EQ(MergeColors(0x00123456u, 0x80ABCDEFu), 0x80ABCDEFu); // Fa = 0
        EXPECT_EQ(MergeColors(0xFF123456u, 0x80ABCDEFu), 0xFF123456u); // Fa = 255
        // Ra = 128 + 128 - 64 = 192; the colours differ in the two sets' rounding.
        EXPECT_EQ(MergeColors(0x80FF0000u, 0x800000FFu), MMXActive ? 0xC0A90055u : 0xC0A90053u);
        TColor32 b = 0x800000FFu;
        MergeColorInto(0x80FF0000u, b);
        EXPECT_EQ(b, MMXActive ? 0xC0A90055u : 0xC0A90053u);

        // The combine forms merge X with W as its alpha.
        EXPECT_EQ(CombineMergeColors(0x00FF0000u, 0x800000FFu, 128), MMXActive ? 0xC0A90055u : 0xC0A90053u);
        EXPECT_EQ(CombineMergeColors(0xFF123456u, 0x00ABCDEFu, 77), 0x4D123456u);
        b = 0x800000FFu;
        CombineMergeColorInto(0x11FF0000u, b, 128);
        EXPECT_EQ(b, MMXActive ? 0xC0A90055u : 0xC0A90053u);

        // Scaled: F's alpha becomes (Fa * M) div 255 = 64; over Ba = 0 that colour is the result.
        EXPECT_EQ(MergeColorsScaled(f, 0x00ABCDEFu, 128), 0x40123456u);
        EXPECT_EQ(MergeColorsScaled(0xFF123456u, 0x80ABCDEFu, 255), 0xFF123456u);
        EXPECT_EQ(MergeColorsScaled(0x00123456u, 0x80ABCDEFu, 255), 0x80ABCDEFu);
        b = 0x00ABCDEFu;
        MergeColorIntoScaled(f, b, 128);
        EXPECT_EQ(b, 0x40123456u);
    }
    InstallColorOps(TColorSet::Plain);
    EXPECT_EQ(MergeColorsScaled(0xFF123456u, 0x80ABCDEFu, 0), 0x80ABCDEFu); // Fa = 255, M = 0
    // F'a = 0 with a visible B still goes through the merge steps: Ra = Ba, red 127 * 512 shr 8.
    EXPECT_EQ(MergeColorsScaled(0x80123456u, 0x80FF0000u, 0), 0x80FE0000u);
    InstallColorOps(TColorSet::Vector);
    EXPECT_EQ(MergeColorsScaled(0x80123456u, 0x80FF0000u, 0), 0x80FF0000u); // alpha 0 -> B
}

TEST_F(Blend, RunsWithNoPixelsTouchNothing)
{
    for (const NamedOps& s : AllSets()) {
        SCOPED_TRACE(s.Name);
        for (int count : {0, -1, -4, INT_MIN}) {
            // Null buffers: a run that read or wrote anything would fault.
            s.Ops->BlendRun(nullptr, nullptr, count);
            s.Ops->BlendRunScaled(nullptr, nullptr, count, 200);
            s.Ops->MergeRun(nullptr, nullptr, count);
            s.Ops->MergeRunScaled(nullptr, nullptr, count, 200);
            std::vector<TColor32> src(8, 0x80FFFFFFu), dst(8, 0x12345678u);
            s.Ops->BlendRun(src.data(), dst.data(), count);
            s.Ops->BlendRunScaled(src.data(), dst.data(), count, 255);
            s.Ops->MergeRun(src.data(), dst.data(), count);
            s.Ops->MergeRunScaled(src.data(), dst.data(), count, 255);
            EXPECT_EQ(dst, std::vector<TColor32>(8, 0x12345678u));
        }
    }
}

TEST_F(Blend, ModeTablesFollowTheInstalledSet)
{
    for (TColorSet set : {TColorSet::Plain, TColorSet::Vector}) {
        InstallColorOps(set);
        const TColorOps& o = set == TColorSet::Vector ? VectorColorOps() : PlainColorOps();
        EXPECT_EQ(MMXActive, set == TColorSet::Vector);
        EXPECT_EQ(ColorOps.BlendColors, o.BlendColors);
        EXPECT_EQ(ColorOps.MergeRunScaled, o.MergeRunScaled);
        EXPECT_EQ(BlendColorsByMode[cmBlend], o.BlendColors);
        EXPECT_EQ(BlendColorsByMode[cmMerge], o.MergeColors);
        EXPECT_EQ(BlendColorIntoByMode[cmBlend], o.BlendColorInto);
        EXPECT_EQ(BlendColorIntoByMode[cmMerge], o.MergeColorInto);
        EXPECT_EQ(CombineColorsByMode[cmBlend], o.CombineColors);
        EXPECT_EQ(CombineColorsByMode[cmMerge], o.CombineMergeColors);
        EXPECT_EQ(CombineColorIntoByMode[cmBlend], o.CombineColorInto);
        EXPECT_EQ(CombineColorIntoByMode[cmMerge], o.CombineMergeColorInto);
        EXPECT_EQ(BlendColorsScaledByMode[cmBlend], o.BlendColorsScaled);
        EXPECT_EQ(BlendColorsScaledByMode[cmMerge], o.MergeColorsScaled);
        EXPECT_EQ(BlendColorIntoScaledByMode[cmBlend], o.BlendColorIntoScaled);
        EXPECT_EQ(BlendColorIntoScaledByMode[cmMerge], o.MergeColorIntoScaled);
        EXPECT_EQ(BlendRunByMode[cmBlend], o.BlendRun);
        EXPECT_EQ(BlendRunByMode[cmMerge], o.MergeRun);
        EXPECT_EQ(BlendRunScaledByMode[cmBlend], o.BlendRunScaled);
        EXPECT_EQ(BlendRunScaledByMode[cmMerge], o.MergeRunScaled);
    }
    // The two sets really are different tables.
    EXPECT_NE(PlainColorOps().BlendColors, VectorColorOps().BlendColors);
}

TEST_F(Blend, StartUpPicksTheSetFromTheProcessor)
{
    InstallColorOps(CpuHasFeature(TCpuFeature::MMX) ? TColorSet::Plain : TColorSet::Vector);
    InitColorOps();
    EXPECT_EQ(MMXActive, CpuHasFeature(TCpuFeature::MMX));
    EXPECT_EQ(ColorOps.BlendRun, (MMXActive ? VectorColorOps() : PlainColorOps()).BlendRun);
}

TEST(BlendSimd, TwinsReplaceOnlyTheRunsAndOnlyWithSse2)
{
    const TColorOps &fast = VectorColorOps(), &portable = PortableVectorColorOps();
    bool sse2 = CpuHasFeature(TCpuFeature::SSE2);
#if !defined(VESPER_X86)
    sse2 = false;
#endif
    EXPECT_EQ(fast.BlendRun != portable.BlendRun, sse2);
    EXPECT_EQ(fast.BlendRunScaled != portable.BlendRunScaled, sse2);
    EXPECT_EQ(fast.MergeRun != portable.MergeRun, sse2);
    EXPECT_EQ(fast.MergeRunScaled != portable.MergeRunScaled, sse2);
    EXPECT_EQ(fast.CombineColors, portable.CombineColors);
    EXPECT_EQ(fast.BlendColors, portable.BlendColors);
    EXPECT_EQ(fast.BlendColorIntoScaled, portable.BlendColorIntoScaled);
    EXPECT_EQ(fast.MergeColors, portable.MergeColors);
}

// Every weight and every channel pair: V of the vector CombineColors and P of the plain one.
TEST(BlendExhaustive, CombineColorsMatchesItsFormEverywhere)
{
    const TColorOps &vec = VectorColorOps(), &plain = PlainColorOps();
    for (int w = 0; w < 256; ++w)
        for (int x = 0; x < 256; ++x) {
            // Four different channel values per word, so a carry between channels shows.
            const TColor32 X = static_cast<TColor32>(x) * 0x01000001u | static_cast<TColor32>(255 - x) << 8 |
                               static_cast<TColor32>(x ^ 0xA5) << 16;
            for (int y = 0; y < 256; ++y) {
                const TColor32 Y = static_cast<TColor32>(y) | static_cast<TColor32>((y * 7) & 255) << 8 |
                                   static_cast<TColor32>(255 - y) << 16 | static_cast<TColor32>(y ^ 0x3C) << 24;
                TColor32 got = vec.CombineColors(X, Y, w), want = V(X, Y, w);
                if (got != want)
                    FAIL() << std::hex << "vector X=" << X << " Y=" << Y << " W=" << w << " got " << got
                           << " want " << want;
                got = plain.CombineColors(X, Y, w);
                want = PlainRules().Combine(X, Y, w);
                if (got != want)
                    FAIL() << std::hex << "plain X=" << X << " Y=" << Y << " W=" << w << " got " << got
                           << " want " << want;
            }
        }
}

// Every pair of alphas (so every merged alpha and its reciprocal) through the merge runs of
// each set, against the same set's single-pixel merge; the scaled run with every master alpha.
TEST(BlendExhaustive, MergeRunsCoverEveryAlphaPair)
{
    static const TColor32 colours[][2] = {{0x00FF00FFu, 0x0000FF00u}, {0x00123456u, 0x00FEDCBAu}, {0x00FFFFFFu, 0x00FFFFFFu}};
    for (const NamedOps& s : AllSets()) {
        for (const auto& c : colours) {
            std::vector<TColor32> src(256 * 256 + 3), dst(src.size()), want(src.size());
            for (std::size_t i = 0; i < src.size(); ++i) {
                src[i] = c[0] | static_cast<TColor32>(i & 0xFF) << 24;
                dst[i] = c[1] | static_cast<TColor32>((i >> 8) & 0xFF) << 24;
                want[i] = s.Ops->MergeColors(src[i], dst[i]);
            }
            s.Ops->MergeRun(src.data(), dst.data(), static_cast<int>(src.size()));
            for (std::size_t i = 0; i < src.size(); ++i)
                ASSERT_EQ(dst[i], want[i]) << s.Name << std::hex << " F=" << src[i];
        }
        std::vector<TColor32> src(256 * 8 + 1), dst(src.size()), want(src.size());
        for (int m = 0; m < 256; ++m) {
            for (std::size_t i = 0; i < src.size(); ++i) {
                src[i] = 0x00A05010u | static_cast<TColor32>(i & 0xFF) << 24;
                dst[i] = 0x0030C0F0u | static_cast<TColor32>((i * 37) & 0xFF) << 24;
                want[i] = s.Ops->MergeColorsScaled(src[i], dst[i], m);
            }
            s.Ops->MergeRunScaled(src.data(), dst.data(), static_cast<int>(src.size()), m);
            ASSERT_EQ(dst, want) << s.Name << " M=" << m;
        }
    }
}

// Random single-pixel cases of both sets against the rules, weighted towards the edges.
TEST(BlendRandom, SinglePixelOperationsFollowTheRules)
{
    const std::uint32_t seed = 0x5EED0001u;
    ColourSource rnd(seed);
    for (const NamedOps& s : AllSets()) {
        const TColorOps& o = *s.Ops;
        const Rules& r = *s.Expect;
        for (int n = 0; n < 40000; ++n) {
            const TColor32 f = rnd.Colour(), b = rnd.Colour();
            const int w = rnd.Weight();
            auto where = [&] {
                return ::testing::Message() << s.Name << " seed " << std::hex << seed << " case " << std::dec
                                            << n << std::hex << " F=" << f << " B=" << b << " W=" << w;
            };
            ASSERT_EQ(o.CombineColors(f, b, w), r.Combine(f, b, w)) << where();
            TColor32 t = b;
            o.CombineColorInto(f, t, w);
            ASSERT_EQ(t, r.CombineInto(f, b, w)) << where();
            ASSERT_EQ(o.BlendColors(f, b), r.Blend(f, b)) << where();
            t = b;
            o.BlendColorInto(f, t);
            ASSERT_EQ(t, r.BlendInto(f, b)) << where();
            ASSERT_EQ(o.BlendColorsScaled(f, b, w), r.BlendScaled(f, b, w)) << where();
            t = b;
            o.BlendColorIntoScaled(f, t, w);
            ASSERT_EQ(t, r.BlendIntoScaled(f, b, w)) << where();
            // The in-memory merge forms store what the register forms return.
            t = b;
            o.MergeColorInto(f, t);
            ASSERT_EQ(t, o.MergeColors(f, b)) << where();
            t = b;
            o.MergeColorIntoScaled(f, t, w);
            ASSERT_EQ(t, o.MergeColorsScaled(f, b, w)) << where();
            t = b;
            o.CombineMergeColorInto(f, t, w);
            ASSERT_EQ(t, o.CombineMergeColors(f, b, w)) << where();
        }
    }
}

// Runs of random length at every start offset inside a guarded buffer, compared pixel by
// pixel with the single-pixel rules; nothing outside [start, start + count) may change.
TEST(BlendRandom, RunsMatchTheSinglePixelRules)
{
    const std::uint32_t seed = 0x5EED0002u;
    ColourSource rnd(seed);
    constexpr int kGuard = 8;
    constexpr TColor32 kFence = 0xDEADBEEFu;
    constexpr TColor32 kSrcFence = 0x80123456u; // blends visibly over kFence if read past the run
    for (const NamedOps& s : AllSets()) {
        const TColorOps& o = *s.Ops;
        const Rules& r = *s.Expect;
        for (int n = 0; n < 6000; ++n) {
            const int count = rnd.Below(8) == 0 ? static_cast<int>(rnd.Below(1100)) : static_cast<int>(rnd.Below(40));
            const int srcStart = static_cast<int>(rnd.Below(4)), dstStart = static_cast<int>(rnd.Below(4));
            const int kind = static_cast<int>(rnd.Below(4)); // all clear, all opaque, or mixed
            static const int masters[] = {0, 1, 127, 128, 254, 255};
            const int m = rnd.Below(2) ? masters[rnd.Below(6)] : static_cast<int>(rnd.Below(256));
            const int op = static_cast<int>(rnd.Below(4));
            // Source and destination start at independent offsets, so their alignments differ.
            std::vector<TColor32> src(count + 2 * kGuard + 4, kSrcFence), dst(count + 2 * kGuard + 4, kFence);
            TColor32* S = src.data() + kGuard + srcStart;
            TColor32* D = dst.data() + kGuard + dstStart;
            for (int i = 0; i < count; ++i) {
                S[i] = rnd.Colour(kind);
                D[i] = rnd.Colour();
            }
            const std::vector<TColor32> before = dst;
            switch (op) {
            case 0: o.BlendRun(S, D, count); break;
            case 1: o.BlendRunScaled(S, D, count, m); break;
            case 2: o.MergeRun(S, D, count); break;
            default: o.MergeRunScaled(S, D, count, m); break;
            }
            for (int i = 0; i < kGuard + dstStart; ++i)
                ASSERT_EQ(dst[i], kFence) << s.Name << " seed " << seed << " case " << n << " wrote before the run";
            for (std::size_t i = kGuard + dstStart + count; i < dst.size(); ++i)
                ASSERT_EQ(dst[i], kFence) << s.Name << " seed " << seed << " case " << n << " wrote after the run";
            for (int i = 0; i < count; ++i) {
                const TColor32 f = S[i], b = before[kGuard + dstStart + i];
                TColor32 want;
                switch (op) {
                case 0: want = r.RunPixel(f, b); break;
                case 1: want = r.RunScaledPixel(f, b, m); break;
                case 2: want = o.MergeColors(f, b); break;
                default: want = o.MergeColorsScaled(f, b, m); break;
                }
                ASSERT_EQ(D[i], want) << s.Name << " seed " << std::hex << seed << std::dec << " case " << n
                                      << " op " << op << " count " << count << " starts " << srcStart << "/" << dstStart << " pixel " << i
                                      << std::hex << " F=" << f << " B=" << b << " M=" << m;
            }
        }
    }
}

TEST(BlendRandom, InPlaceRunsLeaveTheColoursAlone)
{
    // Blending a run over itself: opaque pixels copy, clear ones skip, V(F, F, W) = F.
    ColourSource rnd(0x5EED0003u);
    std::vector<TColor32> px(37);
    for (auto& p : px)
        p = rnd.Colour();
    // (The plain P form is left out: it does not give its input back, 255 over 255 at 128 is 254.)
    for (const TColorOps* o : {&VectorColorOps(), &PortableVectorColorOps()}) {
        std::vector<TColor32> run = px;
        o->BlendRun(run.data(), run.data(), static_cast<int>(run.size()));
        o->BlendRunScaled(run.data(), run.data(), static_cast<int>(run.size()), 200);
        EXPECT_EQ(run, px);
    }
}

} // namespace
