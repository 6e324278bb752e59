#include "bridge/image_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/cpu_features.h"
#include "bridge/filter_graphic.h"
#include "fake_image_host.h"
#include "message_of.h"
#include "twin_rows.h"

using fake_image_host::Host;

namespace {

std::uint8_t ByteOf(TColor32 c, int k) { return static_cast<std::uint8_t>(c >> (8 * k)); }

FilterRecord RecordOf(std::int16_t Mode, std::int16_t Planes, std::int16_t LayerPlanes = 0,
                      std::int16_t Transparency = 0)
{
    FilterRecord r;
    std::memset(&r, 0, sizeof r);
    r.imageMode = Mode;
    r.planes = Planes;
    r.inLayerPlanes = LayerPlanes;
    r.inTransparencyMask = Transparency;
    return r;
}

// Lab (host bytes) to sRGB in double precision, unrounded: D50 white, the Bradford-adapted
// matrix, the sRGB curve, clamped to 0..255.
void ReferenceLab(int L, int A, int B, double Out[3])
{
    const double e = 6.0 / 29.0;
    auto inverse = [e](double t) { return t > e ? t * t * t : 3 * e * e * (t - 4.0 / 29.0); };
    const double fy = (L * 100.0 / 255.0 + 16) / 116;
    const double x = 0.96422 * inverse(fy + (A - 128) / 500.0), y = inverse(fy),
                 z = 0.82521 * inverse(fy - (B - 128) / 200.0);
    const double m[3][3] = {{3.1338561, -1.6168667, -0.4906146},
                            {-0.9787684, 1.9161415, 0.0334540},
                            {0.0719453, -0.2289914, 1.4052427}};
    for (int i = 0; i < 3; ++i) {
        const double lin = std::clamp(m[i][0] * x + m[i][1] * y + m[i][2] * z, 0.0, 1.0);
        Out[i] = 255 * (lin <= 0.0031308 ? 12.92 * lin : 1.055 * std::pow(lin, 1 / 2.4) - 0.055);
    }
}

// Reads the fake host's image into a bitmap, as the transfer dialog does.
void Read(Host& H, TBitmap32& Into)
{
    TPSFilterGraphic g(&H.Record);
    g.AssignTo(&Into);
}

// ------------------------------------------------------------------ which planes mean what

TEST(ClassifyHostImage, EachModeAndPlaneCountOfTheTable)
{
    using C = TPlaneConversion;
    struct Case {
        std::int16_t Mode, Planes;
        C Conversion;
        int Alpha;
    };
    const Case cases[] = {
        {plugInModeRGBColor, 3, C::RGB, -1},        {plugInModeRGBColor, 4, C::RGB, 3},
        {plugInModeGrayScale, 1, C::Grey, -1},      {plugInModeGrayScale, 2, C::Grey, 1},
        {plugInModeDuotone, 1, C::Grey, -1},        {plugInModeDuotone, 2, C::Grey, 1},
        {plugInModeCMYKColor, 4, C::CMYK, -1},      {plugInModeLabColor, 3, C::Lab, -1},
        {plugInModeLabColor, 4, C::Lab, 3},         {plugInModeMultichannel, 1, C::FirstPlane, -1},
        {plugInModeMultichannel, 4, C::FirstPlane, -1},
        // What the table does not cover is refused, never guessed.
        {plugInModeRGBColor, 1, C::Refused, -1},    {plugInModeRGBColor, 2, C::Refused, -1},
        {plugInModeGrayScale, 3, C::Refused, -1},   {plugInModeCMYKColor, 3, C::Refused, -1},
        {plugInModeLabColor, 2, C::Refused, -1},    {plugInModeMultichannel, 0, C::Refused, -1},
        {plugInModeRGBColor, 5, C::Refused, -1},    {plugInModeGrayScale, -1, C::Refused, -1},
        {plugInModeBitmap, 1, C::Refused, -1},      {plugInModeIndexedColor, 1, C::Refused, -1},
        {5, 3, C::Refused, -1},                      {6, 3, C::Refused, -1},
        {plugInModeGray16, 1, C::Refused, -1},      {plugInModeRGB48, 3, C::Refused, -1},
        {12, 3, C::Refused, -1},                     {-1, 3, C::Refused, -1},
    };
    for (const Case& c : cases) {
        const THostImageKind k = ClassifyHostImage(RecordOf(c.Mode, c.Planes));
        EXPECT_EQ(k.Conversion, c.Conversion) << "mode " << c.Mode << ", " << c.Planes << " planes";
        EXPECT_EQ(k.AlphaPlane, c.Alpha) << "mode " << c.Mode << ", " << c.Planes << " planes";
    }
}

TEST(ClassifyHostImage, LayerFieldsSayWhichPlaneIsTheTransparency)
{
    // A grey layer with its transparency and a layer mask after it.
    EXPECT_EQ(ClassifyHostImage(RecordOf(plugInModeGrayScale, 3, 1, 1)).AlphaPlane, 1);
    // Two planes, the second a channel of the document rather than the layer's transparency.
    EXPECT_EQ(ClassifyHostImage(RecordOf(plugInModeGrayScale, 2, 1, 0)).AlphaPlane, -1);
    EXPECT_EQ(ClassifyHostImage(RecordOf(plugInModeRGBColor, 4, 3, 0)).AlphaPlane, -1);
    EXPECT_EQ(ClassifyHostImage(RecordOf(plugInModeLabColor, 4, 3, 1)).AlphaPlane, 3);
    // Fields that contradict the mode or the plane count.
    EXPECT_EQ(ClassifyHostImage(RecordOf(plugInModeGrayScale, 2, 2, 0)).Conversion, TPlaneConversion::Refused);
    EXPECT_EQ(ClassifyHostImage(RecordOf(plugInModeRGBColor, 3, 3, 1)).Conversion, TPlaneConversion::Refused);
    EXPECT_EQ(ClassifyHostImage(RecordOf(plugInModeGrayScale, 2, 0, 1)).Conversion, TPlaneConversion::Refused);
    EXPECT_EQ(ClassifyHostImage(RecordOf(plugInModeGrayScale, 3, 1, 2)).Conversion, TPlaneConversion::Refused);
}

TEST(ClassifyHostImage, TheLineFilterTakesRgbOnlyTheTransferEveryConvertibleMode)
{
    EXPECT_TRUE(IsWritableRGBImage(RecordOf(plugInModeRGBColor, 3)));
    EXPECT_TRUE(IsWritableRGBImage(RecordOf(plugInModeRGBColor, 4)));
    for (std::int16_t mode : {plugInModeGrayScale, plugInModeCMYKColor, plugInModeLabColor, plugInModeMultichannel}) {
        const FilterRecord r = RecordOf(mode, mode == plugInModeCMYKColor ? 4 : mode == plugInModeLabColor ? 3 : 1);
        EXPECT_TRUE(IsReadableImage(r)) << mode;
        EXPECT_FALSE(IsWritableRGBImage(r)) << mode;
    }
    EXPECT_FALSE(IsReadableImage(RecordOf(plugInModeIndexedColor, 1)));
}

// ------------------------------------------------------------------ the host read per mode

TEST(ModeRead, GreyAndDuotoneBecomeEqualRgbWithTheirTransparency)
{
    for (std::int16_t mode : {plugInModeGrayScale, plugInModeDuotone}) {
        fake_image_host::Options o;
        o.PreDummy = 1;
        o.PostDummy = 2;
        o.RowPadding = 3;
        Host h(5, 3, 2, o);
        h.Record.imageMode = mode;
        TBitmap32 b;
        Read(h, b);
        ASSERT_EQ(b.Width(), 5);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const TColor32 c = b.Bits()[y * 5 + x];
                const std::uint8_t g = Host::Value(x, y, 0);
                EXPECT_EQ(c, TColor32(g) * 0x010101u | TColor32(Host::Value(x, y, 1)) << 24)
                    << "mode " << mode << " at " << x << "," << y;
            }
        EXPECT_TRUE(h.InputFramingIntact());
    }
}

TEST(ModeRead, GreyWithoutTransparencyGivesZeroInTheFourthByte)
{
    Host one(4, 2, 1);
    one.Record.imageMode = plugInModeGrayScale;
    TBitmap32 b;
    b.SetSize(4, 2);
    b.Clear(0xFFFFFFFF);  // a reused bitmap: every byte is written
    TPSFilterGraphic g(&one.Record);
    g.AssignTo(&b);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(b.Bits()[i], TColor32(Host::Value(i % 4, i / 4, 0)) * 0x010101u);

    // The host says the second plane is a channel of its own, not the transparency.
    Host two(4, 2, 2);
    two.Record.imageMode = plugInModeGrayScale;
    two.Record.inLayerPlanes = 1;
    TBitmap32 c;
        Read(two, c);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(ByteOf(c.Bits()[i], 3), 0) << i;
}

TEST(ModeRead, CmykIsEachInkTimesBlackForEveryPair)
{
    // Pixel (x, y): cyan x, magenta 255 - x, yellow x xor 0x5A, black y; so every pair of a
    // colour byte and black occurs, and each channel differs from the others.
    Host h(256, 256, 4);
    h.Record.imageMode = plugInModeCMYKColor;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            h.At(x, y, 0) = static_cast<std::uint8_t>(x);
            h.At(x, y, 1) = static_cast<std::uint8_t>(255 - x);
            h.At(x, y, 2) = static_cast<std::uint8_t>(x ^ 0x5A);
            h.At(x, y, 3) = static_cast<std::uint8_t>(y);
        }
    TBitmap32 b;
        Read(h, b);
    int wrong = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const TColor32 c = b.Bits()[y * 256 + x];
            const int want[4] = {static_cast<int>(std::lround(x * y / 255.0)),
                                 static_cast<int>(std::lround((255 - x) * y / 255.0)),
                                 static_cast<int>(std::lround((x ^ 0x5A) * y / 255.0)), 0};
            for (int k = 0; k < 4; ++k)
                if (ByteOf(c, k) != want[k] && ++wrong <= 5)
                    ADD_FAILURE() << "C, M, Y, K = " << x << ", " << 255 - x << ", " << (x ^ 0x5A) << ", " << y
                                  << ": byte " << k << " is " << int(ByteOf(c, k)) << ", expected " << want[k];
        }
    EXPECT_EQ(wrong, 0);
}

// Every row loop this processor can run, by name.
struct TRowLoop {
    const char* Name;
    void (*Row)(const THostImageKind&, const std::uint8_t*, int, std::uint8_t*, int);
};
std::vector<TRowLoop> RowLoopsHere()
{
    std::vector<TRowLoop> loops{{"portable", ConvertRowToRGBPlain}, {"chosen", ConvertRowToRGB}};
#if defined(VESPER_X86)
    if (CpuHasFeature(TCpuFeature::SSE2))
        loops.push_back({"SSE2", ConvertRowToRGBSse2});
    if (CpuHasFeature(TCpuFeature::AVX512))
        loops.push_back({"AVX-512", ConvertRowToRGBAvx512});
#endif
    return loops;
}

// Every loop, every input: 256 x 256 x 256 Lab triples, each compared with the rounded
// double-precision conversion.
TEST(ModeRead, LabWithinOneOfTheDoublePrecisionConversionForEveryInput)
{
    const std::vector<TRowLoop> loops = RowLoopsHere();
    std::vector<std::uint8_t> src(256 * 3), dst(256 * 4);
    std::vector<int> want(256 * 3);
    const THostImageKind lab{TPlaneConversion::Lab, -1};
    std::vector<int> worst(loops.size(), 0), off(loops.size(), 0);
    for (int L = 0; L < 256; ++L)
        for (int B = 0; B < 256; ++B) {
            for (int A = 0; A < 256; ++A) {
                src[A * 3] = static_cast<std::uint8_t>(L);
                src[A * 3 + 1] = static_cast<std::uint8_t>(A);
                src[A * 3 + 2] = static_cast<std::uint8_t>(B);
                double exact[3];
                ReferenceLab(L, A, B, exact);
                for (int k = 0; k < 3; ++k)
                    want[A * 3 + k] = static_cast<int>(std::lround(exact[k]));
            }
            for (std::size_t v = 0; v < loops.size(); ++v) {
                std::fill(dst.begin(), dst.end(), std::uint8_t{0x5A});
                loops[v].Row(lab, src.data(), 3, dst.data(), 256);
                for (int A = 0; A < 256; ++A) {
                    for (int k = 0; k < 3; ++k) {
                        const int d = std::abs(dst[A * 4 + k] - want[A * 3 + k]);
                        worst[v] = std::max(worst[v], d);
                        if (d > 1 && ++off[v] <= 5)
                            ADD_FAILURE() << loops[v].Name << ": Lab bytes " << L << ", " << A << ", " << B
                                          << ": channel " << k << " is " << int(dst[A * 4 + k]) << ", reference "
                                          << want[A * 3 + k];
                    }
                    if (dst[A * 4 + 3] != 0 && ++off[v] <= 5)
                        ADD_FAILURE() << loops[v].Name << ": fourth byte " << int(dst[A * 4 + 3]);
                }
            }
        }
    for (std::size_t v = 0; v < loops.size(); ++v)
        EXPECT_LE(worst[v], 1) << loops[v].Name;
}

TEST(ModeRead, LabWhiteIsWhiteBlackIsBlackAndTheTransparencyTravels)
{
    Host h(3, 1, 4);
    h.Record.imageMode = plugInModeLabColor;
    const std::uint8_t px[3][4] = {{255, 128, 128, 7}, {0, 128, 128, 200}, {138, 209, 198, 255}};
    for (int x = 0; x < 3; ++x)
        for (int k = 0; k < 4; ++k)
            h.At(x, 0, k) = px[x][k];
    TBitmap32 b;
        Read(h, b);
    EXPECT_EQ(b.Bits()[0], 0x07FFFFFFu);
    EXPECT_EQ(b.Bits()[1], 0xC8000000u);
    // sRGB red in Lab (D50): L 54.3, a +80.8, b +69.9; red comes back in byte 0.
    EXPECT_GE(ByteOf(b.Bits()[2], 0), 250);
    EXPECT_LE(ByteOf(b.Bits()[2], 1), 40);
    EXPECT_LE(ByteOf(b.Bits()[2], 2), 40);
    EXPECT_EQ(ByteOf(b.Bits()[2], 3), 255);
}

TEST(ModeRead, MultichannelShowsItsFirstPlaneAsGrey)
{
    for (int planes = 1; planes <= 4; ++planes) {
        Host h(4, 3, planes);
        h.Record.imageMode = plugInModeMultichannel;
        TBitmap32 b;
        Read(h, b);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(b.Bits()[i], TColor32(Host::Value(i % 4, i / 4, 0)) * 0x010101u) << planes << " planes";
    }
}

#if defined(VESPER_X86)
struct TModeLayout {
    THostImageKind Kind;
    int Stride;
};
using TModeRowFn = void (*)(const THostImageKind&, const std::uint8_t*, int, std::uint8_t*, int);

// Random rows of each layout at every length below MaxCount, converted by the portable loop
// and by Twin: the source ends exactly at the row's last plane read (its colour or its
// transparency, sanitizers see any read past it), guards lie around both destinations. Check
// gets (portable, twin, guard, case, layout) and returns whether to go on.
template <class TCheck>
void ForRandomRows(std::uint32_t Seed, std::initializer_list<TModeLayout> Layouts, int PerLayout, int MaxCount,
                   int MaxSrcOffset, TModeRowFn Twin, TCheck&& Check)
{
    std::mt19937 rnd(Seed);
    int n = 0;
    for (const TModeLayout& l : Layouts) {
        const int colour = l.Kind.Conversion == TPlaneConversion::CMYK  ? 4
                           : l.Kind.Conversion == TPlaneConversion::Lab ? 3
                                                                        : 1;
        const int lastPixel = std::max(colour, l.Kind.AlphaPlane + 1);
        for (int i = 0; i < PerLayout; ++i, ++n) {
            const int count = i % MaxCount;
            const int srcOffset = static_cast<int>(rnd() % static_cast<unsigned>(MaxSrcOffset));
            const int dstOffset = static_cast<int>(rnd() % 4);
            const std::size_t used = count ? static_cast<std::size_t>((count - 1) * l.Stride + lastPixel) : 0;
            std::vector<std::uint8_t> src(static_cast<std::size_t>(srcOffset) + used);
            for (auto& b : src)
                b = static_cast<std::uint8_t>(rnd());
            const TColor32 guard = rnd();
            std::vector<TColor32> a(static_cast<std::size_t>(dstOffset + count + 1), guard), b = a;
            ConvertRowToRGBPlain(l.Kind, src.data() + srcOffset, l.Stride,
                                 reinterpret_cast<std::uint8_t*>(a.data() + dstOffset), count);
            Twin(l.Kind, src.data() + srcOffset, l.Stride, reinterpret_cast<std::uint8_t*>(b.data() + dstOffset),
                 count);
            if (!Check(a, b, guard, TTwinCase{Seed, n, count, srcOffset, dstOffset}, l))
                return;
        }
    }
}
#endif

// The SSE2 twin gives the portable loops' bytes for every kind and layout it speeds up (and
// one it leaves alone), at every length up to a few registers.
TEST(ModeRows, Sse2TwinMatchesThePortableLoops)
{
#if defined(VESPER_X86)
    ForRandomRows(0x1AB5C0DEu,
                  {{{TPlaneConversion::Grey, -1}, 1},
                   {{TPlaneConversion::Grey, 1}, 2},
                   {{TPlaneConversion::FirstPlane, -1}, 1},
                   {{TPlaneConversion::CMYK, -1}, 4},
                   {{TPlaneConversion::Grey, 1}, 3},
                   {{TPlaneConversion::Lab, 3}, 4}},
                  400, 70, 16, ConvertRowToRGBSse2,
                  [](const auto& A, const auto& B, TColor32 Guard, const TTwinCase& C, const TModeLayout&) {
                      const auto agrees = TwinRowAgrees(A, B, Guard, C);
                      EXPECT_TRUE(agrees);
                      return bool(agrees);
                  });
#else
    GTEST_SKIP() << "no SSE2 twin on this processor family";
#endif
}

// The AVX-512 twin in each layout it takes and some it passes on, at every length up to a
// few steps of 32 pixels. Lab colour bytes may differ from the portable loop's by one
// (computed, not looked up); the transparency, the guards and every other mode are the same.
TEST(ModeRows, Avx512TwinStaysInItsRowAndWithinOneOfThePortableLoop)
{
#if defined(VESPER_X86)
    if (!CpuHasFeature(TCpuFeature::AVX512))
        GTEST_SKIP() << "this processor has no AVX-512";
    ForRandomRows(
        0x5EC0DE51u,
        {{{TPlaneConversion::Lab, -1}, 3},
         {{TPlaneConversion::Lab, 3}, 4},
         {{TPlaneConversion::Lab, -1}, 4},
         {{TPlaneConversion::Lab, -1}, 5},
         {{TPlaneConversion::CMYK, -1}, 4},
         {{TPlaneConversion::Grey, 1}, 2}},
        300, 75, 64, ConvertRowToRGBAvx512,
        [](const auto& A, const auto& B, TColor32 Guard, const TTwinCase& C, const TModeLayout& L) {
            std::vector<TColor32> near = B;
            if (L.Kind.Conversion == TPlaneConversion::Lab)
                for (int x = 0; x < C.Count; ++x) {
                    const std::size_t at = static_cast<std::size_t>(C.DstOffset + x);
                    for (int k = 0; k < 3; ++k)
                        if (std::abs(int(ByteOf(A[at], k)) - int(ByteOf(B[at], k))) > 1) {
                            ADD_FAILURE() << "case " << C.Case << " pixel " << x << " channel " << k << ": "
                                          << int(ByteOf(B[at], k)) << " against " << int(ByteOf(A[at], k));
                            return false;
                        }
                    near[at] = (B[at] & 0xFF000000u) | (A[at] & 0x00FFFFFFu);
                }
            const auto agrees = TwinRowAgrees(A, near, Guard, C);
            EXPECT_TRUE(agrees);
            return bool(agrees);
        });
#else
    GTEST_SKIP() << "no AVX-512 twin on this processor family";
#endif
}

TEST(ModeRead, RefusedModesAreConversionErrorsAndNothingIsRequested)
{
    for (std::int16_t mode : {plugInModeBitmap, plugInModeIndexedColor, std::int16_t{5}, std::int16_t{6}}) {
        Host h(4, 3, mode == 5 || mode == 6 ? 3 : 1);
        h.Record.imageMode = mode;
        TBitmap32 b;
        TPSFilterGraphic g(&h.Record);
        EXPECT_EQ(MessageOf<EConvertError>([&] { g.AssignTo(&b); }), "Cannot assign a TPSFilterGraphic to a TBitmap32")
            << "mode " << mode;
        EXPECT_TRUE(h.Requests.empty()) << "mode " << mode;
    }
    // RGB with the planes of a grey image is no RGB image either.
    Host two(4, 3, 2);
    two.Record.imageMode = plugInModeRGBColor;
    TBitmap32 b;
    TPSFilterGraphic g(&two.Record);
    EXPECT_EQ(MessageOf<EConvertError>([&] { g.AssignTo(&b); }), "Cannot assign a TPSFilterGraphic to a TBitmap32");
}

} // namespace
