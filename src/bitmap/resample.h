// Scaled transfer between 32-bit bitmaps: unscaled copy, nearest, bilinear, separable kernel
// resampling and the box-averaging draft, with the block average and the bilinear row mix
// chosen once at start-up (plain or SSE2).
#pragma once
#include <cfloat>
#include <cstdint>
#include <vector>

#include "bitmap/color32.h"
#include "base/geometry.h"

class TBitmap32;

// The mappings and kernels are defined in single precision, each operation rounded. x87 code
// keeps intermediates wider; a store through a volatile forces the rounding there.
#if FLT_EVAL_METHOD == 0
inline float RoundToSingle(float V) { return V; }
#else
inline float RoundToSingle(float V)
{
    volatile float r = V;
    return r;
}
#endif

// One source sample's share of a destination column (or row); Weight is 8.8 fixed point.
struct TTap {
    std::int32_t SourceIndex;
    std::int32_t Weight;
};
using TTapList = std::vector<TTap>;
// One list per destination column (or row) of the clipped span, indexed from the clip start.
using TTapTable = std::vector<TTapList>;

// The kernel functions in single precision and their radii, indexed by filter.
float StretchKernel(TStretchFilter Filter, float X);
float StretchKernelRadius(TStretchFilter Filter);

// Contribution lists of one axis. Every list sums to exactly 256.
TTapTable BuildTapTable(int DstLo, int DstHi, int ClipLo, int ClipHi, int SrcLo, int SrcHi,
                        TStretchFilter Filter);

// Bilinear mapping entry: the same 9-bit weight (share of the left or upper pixel) sits in
// both 16-bit halves, so a vector mix loads it with one move.
struct TBilinearEntry {
    std::int32_t SourceIndex;
    std::uint32_t Weight; // w * 65536 + w, 0 <= w <= 256
};

// Mixes Count destination pixels from two source rows (Row0 = y, Row1 = y + 1) with the column
// map XMap and the packed row weight WY; Out receives the colours.
using TBilinearMixRow = void (*)(const TColor32* Row0, const TColor32* Row1, const TBilinearEntry* XMap,
                                 int Count, std::uint32_t WY, TColor32* Out);
// Average of a Dx x Dy block whose top-left pixel is Src; Stride counts pixels per row.
using TBoxAverage = TColor32 (*)(const TColor32* Src, int Stride, int Dx, int Dy);

// Vertical kernel pass over Count columns: Acc[4 * x + c] = sum over the TapCount taps of
// Weights[t] * channel c (blue first) of Rows[t][x].
using TKernelColumns = void (*)(const TColor32* const* Rows, const std::int32_t* Weights, int TapCount,
                                int Count, std::int32_t* Acc);
// Horizontal kernel pass for one destination row: pixel c sums Weight[k] * Acc[Index[k] ..
// Index[k] + 3] for k in [Start[c], Start[c + 1]), keeps bits 16-23 of each channel sum (after
// clamping to 0..0xFF0000 when Clamp) and stores the colour word in Out[c].
using TKernelRow = void (*)(const std::int32_t* Acc, const std::int32_t* Start, const std::int32_t* Index,
                            const std::int32_t* Weight, int Count, bool Clamp, TColor32* Out);

// The routine pointers, chosen once at start-up (the kernel passes follow the same choice).
extern TBilinearMixRow BilinearMix;
extern TBoxAverage BoxAverage;
extern TKernelColumns KernelColumns;
extern TKernelRow KernelRow;

// The rules themselves. The plain mix goes through the installed two-colour combine (weights
// capped at 255); the 256-based mix is the one the vector variant computes.
void BilinearMixCombine(const TColor32* Row0, const TColor32* Row1, const TBilinearEntry* XMap, int Count,
                        std::uint32_t WY, TColor32* Out);
void BilinearMix256(const TColor32* Row0, const TColor32* Row1, const TBilinearEntry* XMap, int Count,
                    std::uint32_t WY, TColor32* Out);
TColor32 BoxAveragePlain(const TColor32* Src, int Stride, int Dx, int Dy);
void KernelColumnsPlain(const TColor32* const* Rows, const std::int32_t* Weights, int TapCount, int Count,
                        std::int32_t* Acc);
void KernelRowPlain(const std::int32_t* Acc, const std::int32_t* Start, const std::int32_t* Index,
                    const std::int32_t* Weight, int Count, bool Clamp, TColor32* Out);
#if defined(VESPER_X86)
void BilinearMix256Sse2(const TColor32* Row0, const TColor32* Row1, const TBilinearEntry* XMap, int Count,
                        std::uint32_t WY, TColor32* Out);
TColor32 BoxAverageSse2(const TColor32* Src, int Stride, int Dx, int Dy);
void KernelColumnsSse2(const TColor32* const* Rows, const std::int32_t* Weights, int TapCount, int Count,
                       std::int32_t* Acc);
void KernelRowSse2(const std::int32_t* Acc, const std::int32_t* Start, const std::int32_t* Index,
                   const std::int32_t* Weight, int Count, bool Clamp, TColor32* Out);
#endif

enum class TResampleVariant { Plain, Sse2 };
// Start-up choice: SSE2 when the processor has it, else plain. Runs once before main.
void InitResampleVariants();
// Installs a variant (tests run both on one machine); false when it is unavailable here.
bool InstallResampleVariant(TResampleVariant Variant);
TResampleVariant ResampleVariant();

// Copies or blends SrcRect of Src into DstRect of Dst, scaled with StretchFilter and limited to
// DstClip. CombineOp decides how computed colours land (opaque, blended with Src's combine mode
// and master alpha, or through CombineCallBack). Raises ETransformError on a missing or empty
// destination, a missing source, or a source rectangle outside the source.
void ScaledTransfer(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TBitmap32* Src,
                    const TRect& SrcRect, TStretchFilter StretchFilter, TDrawMode CombineOp,
                    const TPixelCombineEvent& CombineCallBack);
