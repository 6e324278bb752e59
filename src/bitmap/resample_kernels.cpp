// Kernel functions, axis contribution tables and the plain forms of the two variant routines.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "bitmap/blend.h"
#include "bitmap/cpu_features.h"
#include "bitmap/low_level.h"
#include "bitmap/resample.h"

namespace {

constexpr float kPi = 3.14159265358979f;
// Quotient constants held as singles (an x87 expression would keep them wider).
constexpr float kTwoThirds = 2.0f / 3.0f;
constexpr float kSixteenThirds = 16.0f / 3.0f;
constexpr float kThirtyTwoThirds = 32.0f / 3.0f;
constexpr float kMinusSevenThirds = -7.0f / 3.0f;

float LinearKernel(float x)
{
    if (x >= -1.0f && x < 0.0f)
        return RoundToSingle(1.0f + x);
    if (x >= 0.0f && x < 1.0f)
        return RoundToSingle(1.0f - x);
    return 0.0f;
}

float BoxKernel(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }

float CosineKernel(float x)
{
    if (std::fabs(x) < 1.0f) {
        const float px = RoundToSingle(kPi * x);
        return RoundToSingle(RoundToSingle(RoundToSingle(std::cos(px)) + 1.0f) / 2.0f);
    }
    return 0.0f;
}

float SplineKernel(float x)
{
    const float t = std::fabs(x);
    if (t < 1.0f) {
        const float t2 = RoundToSingle(t * t);
        const float t3 = RoundToSingle(t2 * t);
        return RoundToSingle(RoundToSingle(RoundToSingle(0.5f * t3) - t2) + kTwoThirds);
    }
    if (t < 2.0f) {
        const float u = RoundToSingle(2.0f - t);
        const float u3 = RoundToSingle(RoundToSingle(u * u) * u);
        return RoundToSingle(u3 / 6.0f);
    }
    return 0.0f;
}

float Sinc(float u)
{
    if (u == 0.0f)
        return 1.0f;
    const float pu = RoundToSingle(kPi * u);
    return RoundToSingle(RoundToSingle(std::sin(pu)) / pu);
}

float LanczosKernel(float x)
{
    const float t = std::fabs(x);
    if (t < 3.0f)
        return RoundToSingle(Sinc(t) * Sinc(RoundToSingle(t / 3.0f)));
    return 0.0f;
}

float MitchellKernel(float x)
{
    const float t = std::fabs(x);
    const float t2 = RoundToSingle(t * t);
    const float t3 = RoundToSingle(t2 * t);
    if (t < 1.0f)
        return RoundToSingle(RoundToSingle(RoundToSingle(RoundToSingle(7.0f * t3) - RoundToSingle(12.0f * t2)) + kSixteenThirds) / 6.0f);
    if (t < 2.0f) {
        const float a = RoundToSingle(RoundToSingle(kMinusSevenThirds * t3) + RoundToSingle(12.0f * t2));
        return RoundToSingle(RoundToSingle(RoundToSingle(a - RoundToSingle(20.0f * t)) + kThirtyTwoThirds) / 6.0f);
    }
    return 0.0f;
}

struct TKernelEntry {
    float (*Kernel)(float);
    float Radius;
};

// Indexed by TStretchFilter; nearest and draft never reach the resampler.
const TKernelEntry KernelTable[7] = {
    {BoxKernel, 1.0f},     {LinearKernel, 1.0f},  {LinearKernel, 1.0f},  {CosineKernel, 1.0f},
    {SplineKernel, 2.0f},  {LanczosKernel, 3.0f}, {MitchellKernel, 2.0f},
};

const TKernelEntry& RowOf(TStretchFilter f) { return KernelTable[f <= sfMitchell ? f : sfLinear]; }

std::int32_t ClampIndex(std::int64_t j, int Lo, int Hi)
{
    if (j < Lo)
        return Lo;
    if (j > Hi - 1)
        return Hi - 1;
    return static_cast<std::int32_t>(j);
}

} // namespace

float StretchKernel(TStretchFilter Filter, float X) { return RowOf(Filter).Kernel(X); }
float StretchKernelRadius(TStretchFilter Filter) { return RowOf(Filter).Radius; }

TTapTable BuildTapTable(int DstLo, int DstHi, int ClipLo, int ClipHi, int SrcLo, int SrcHi,
                        TStretchFilter Filter)
{
    TTapTable table;
    const std::int64_t srcW = std::int64_t(SrcHi) - SrcLo;
    const std::int64_t dstW = std::int64_t(DstHi) - DstLo;
    const std::int64_t clipW = std::int64_t(ClipHi) - ClipLo;
    if (srcW <= 0 || clipW <= 0 || dstW <= 0)
        return table;
    table.resize(static_cast<std::size_t>(clipW));
    if (srcW == 1) {
        for (auto& list : table)
            list.push_back(TTap{SrcLo, 256});
        return table;
    }
    const TKernelEntry& row = RowOf(Filter);
    const float scale = RoundToSingle(static_cast<float>(dstW) / static_cast<float>(srcW));
    const float s = RoundToSingle(1.0f / scale);
    const bool shrinking = scale < 1.0f;
    const float reach = shrinking ? RoundToSingle(row.Radius * s) : row.Radius;
    for (std::int64_t i = 0; i < clipW; ++i) {
        TTapList& list = table[static_cast<std::size_t>(i)];
        const float pos = RoundToSingle(static_cast<float>(i + ClipLo - DstLo) + 0.5f);
        const float c = RoundToSingle(RoundToSingle(static_cast<float>(SrcLo) - 0.5f) + RoundToSingle(pos * s));
        const auto first = static_cast<std::int64_t>(std::floor(RoundToSingle(c - reach)));
        const auto last = static_cast<std::int64_t>(std::ceil(RoundToSingle(c + reach)));
        for (std::int64_t j = first; j <= last; ++j) {
            const float d = RoundToSingle(c - static_cast<float>(j));
            int w;
            if (shrinking) {
                const float k = row.Kernel(RoundToSingle(d * scale));
                w = RoundHalfEven(RoundToSingle(RoundToSingle(k * 256.0f) * scale));
            } else {
                w = RoundHalfEven(RoundToSingle(row.Kernel(d) * 256.0f));
            }
            if (w != 0)
                list.push_back(TTap{ClampIndex(j, SrcLo, SrcHi), w});
        }
        if (list.empty()) {
            // Every weight rounded away: the pixel under the centre takes it all.
            list.push_back(TTap{ClampIndex(static_cast<std::int64_t>(std::floor(c)), SrcLo, SrcHi), 256});
            continue;
        }
        std::int32_t sum = 0;
        for (const TTap& t : list)
            sum += t.Weight;
        const std::int32_t diff = sum - 256;
        if (diff != 0)
            list[(list.size() - 1) / 2].Weight -= diff;
    }
    return table;
}

// ---------------------------------------------------------------- plain variant routines

void BilinearMixCombine(const TColor32* Row0, const TColor32* Row1, const TBilinearEntry* XMap, int Count,
                        std::uint32_t WY, TColor32* Out)
{
    const TColor32 b = std::min<std::uint32_t>(WY >> 16, 255);
    const TCombineReg combine = ColorOps.CombineColors;
    for (int i = 0; i < Count; ++i) {
        const int x = XMap[i].SourceIndex;
        const TColor32 a = std::min<std::uint32_t>(XMap[i].Weight >> 16, 255);
        Out[i] = combine(combine(Row0[x], Row0[x + 1], a), combine(Row1[x], Row1[x + 1], a), b);
    }
}

void BilinearMix256(const TColor32* Row0, const TColor32* Row1, const TBilinearEntry* XMap, int Count,
                    std::uint32_t WY, TColor32* Out)
{
    const std::uint32_t wy = WY & 0xFFFF;
    for (int i = 0; i < Count; ++i) {
        const int x = XMap[i].SourceIndex;
        const std::uint32_t w = XMap[i].Weight & 0xFFFF;
        const TColor32 c11 = Row0[x], c12 = Row0[x + 1], c21 = Row1[x], c22 = Row1[x + 1];
        TColor32 r = 0;
        for (int sh = 0; sh < 32; sh += 8) {
            const std::uint32_t top = (((c11 >> sh) & 0xFF) * w + ((c12 >> sh) & 0xFF) * (256 - w)) >> 8;
            const std::uint32_t bottom = (((c21 >> sh) & 0xFF) * w + ((c22 >> sh) & 0xFF) * (256 - w)) >> 8;
            r |= ((top * wy + bottom * (256 - wy)) >> 8) << sh;
        }
        Out[i] = r;
    }
}

TColor32 BoxAveragePlain(const TColor32* Src, int Stride, int Dx, int Dy)
{
    std::uint64_t sb = 0, sg = 0, sr = 0, sa = 0;
    for (int y = 0; y < Dy; ++y) {
        const TColor32* p = Src + static_cast<std::ptrdiff_t>(y) * Stride;
        for (int x = 0; x < Dx; ++x) {
            const TColor32 c = p[x];
            sb += c & 0xFF;
            sg += (c >> 8) & 0xFF;
            sr += (c >> 16) & 0xFF;
            sa += c >> 24;
        }
    }
    const std::uint64_t n = std::uint64_t(Dx) * std::uint64_t(Dy);
    if (n > 65536) {
        // Past 65536 pixels the 2^24 reciprocal loses whole units (and reaches 0 past 2^24
        // pixels); divide exactly instead.
        return TColor32((sa / n) << 24 | (sr / n) << 16 | (sg / n) << 8 | (sb / n));
    }
    const std::uint64_t f = (std::uint64_t(1) << 24) / n;
    return TColor32(((sa * f) >> 24) << 24 | ((sr * f) >> 24) << 16 | ((sg * f) >> 24) << 8 | ((sb * f) >> 24));
}

void KernelColumnsPlain(const TColor32* const* Rows, const std::int32_t* Weights, int TapCount, int Count,
                        std::int32_t* Acc)
{
    std::fill(Acc, Acc + 4 * static_cast<std::ptrdiff_t>(Count), 0);
    for (int t = 0; t < TapCount; ++t) {
        const std::int32_t w = Weights[t];
        const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(Rows[t]);
        for (int i = 0; i < 4 * Count; ++i)
            Acc[i] += w * p[i];
    }
}

void KernelRowPlain(const std::int32_t* Acc, const std::int32_t* Start, const std::int32_t* Index,
                    const std::int32_t* Weight, int Count, bool Clamp, TColor32* Out)
{
    for (int c = 0; c < Count; ++c) {
        std::int32_t s[4] = {0, 0, 0, 0};
        for (std::int32_t k = Start[c]; k < Start[c + 1]; ++k) {
            const std::int32_t w = Weight[k];
            const std::int32_t* p = Acc + Index[k];
            s[0] += w * p[0];
            s[1] += w * p[1];
            s[2] += w * p[2];
            s[3] += w * p[3];
        }
        TColor32 r = 0;
        for (int ch = 0; ch < 4; ++ch) {
            const std::int32_t v = Clamp ? std::clamp(s[ch], 0, 0xFF0000) : s[ch];
            r |= (TColor32(v >> 16) & 0xFF) << (8 * ch);
        }
        Out[c] = r;
    }
}

// ---------------------------------------------------------------- variant selection

TBilinearMixRow BilinearMix = BilinearMixCombine;
TBoxAverage BoxAverage = BoxAveragePlain;
TKernelColumns KernelColumns = KernelColumnsPlain;
TKernelRow KernelRow = KernelRowPlain;

namespace {
TResampleVariant InstalledVariant = TResampleVariant::Plain;
}

bool InstallResampleVariant(TResampleVariant Variant)
{
    if (Variant == TResampleVariant::Plain) {
        BilinearMix = BilinearMixCombine;
        BoxAverage = BoxAveragePlain;
        KernelColumns = KernelColumnsPlain;
        KernelRow = KernelRowPlain;
        InstalledVariant = Variant;
        return true;
    }
#if defined(VESPER_X86)
    if (!CpuHasFeature(TCpuFeature::SSE2))
        return false;
    BilinearMix = BilinearMix256Sse2;
    BoxAverage = BoxAverageSse2;
    KernelColumns = KernelColumnsSse2;
    KernelRow = KernelRowSse2;
    InstalledVariant = Variant;
    return true;
#else
    return false;
#endif
}

TResampleVariant ResampleVariant() { return InstalledVariant; }

void InitResampleVariants()
{
    if (!InstallResampleVariant(TResampleVariant::Sse2))
        InstallResampleVariant(TResampleVariant::Plain);
}

namespace {
struct ResampleStartup {
    ResampleStartup() { InitResampleVariants(); }
} const resampleStartup;
} // namespace
