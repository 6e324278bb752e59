// SSE2 twins of the vector set's run operations. Four pixels per step, two per register in
// 16-bit lanes, with the same per-pixel shortcuts and rounding as the single-pixel V form;
// the last Count mod 4 pixels go through the portable rules.
#include <emmintrin.h>

#include "bitmap/blend_sets.h"

namespace {

using vector_rules::V;

inline __m128i Load(const TColor32* P) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(P)); }
inline void Store(TColor32* P, __m128i V) { _mm_storeu_si128(reinterpret_cast<__m128i*>(P), V); }

// Each pixel's alpha lane copied into its four lanes (two pixels in 16-bit lanes).
inline __m128i AlphaLanes(__m128i P16)
{
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(P16, 0xFF), 0xFF);
}

// V on two pixels in 16-bit lanes. The products wrap modulo 2^16, which is harmless: the true
// value before the shift lies in 0..65535, so the wrapped sum is that value exactly.
inline __m128i V16(__m128i X, __m128i Y, __m128i W, __m128i Bias)
{
    __m128i d = _mm_mullo_epi16(_mm_sub_epi16(X, Y), W);
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(Y, 8), d), Bias), 8);
}

void BlendRunSse2(const TColor32* Src, TColor32* Dst, int Count)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i bias = _mm_set1_epi16(128);
    int i = 0;
    for (; i + 4 <= Count; i += 4) {
        __m128i f = Load(Src + i);
        __m128i fa = _mm_and_si128(f, alpha);
        __m128i opaque = _mm_cmpeq_epi32(fa, alpha);
        int opaqueBits = _mm_movemask_epi8(opaque);
        if (opaqueBits == 0xFFFF) {
            Store(Dst + i, f);
            continue;
        }
        // A clear pixel needs no mask of its own: V with weight 0 gives the destination back.
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(fa, zero)) == 0xFFFF)
            continue;
        __m128i b = Load(Dst + i);
        __m128i fl = _mm_unpacklo_epi8(f, zero), fh = _mm_unpackhi_epi8(f, zero);
        __m128i rl = V16(fl, _mm_unpacklo_epi8(b, zero), AlphaLanes(fl), bias);
        __m128i rh = V16(fh, _mm_unpackhi_epi8(b, zero), AlphaLanes(fh), bias);
        __m128i r = _mm_packus_epi16(rl, rh);
        if (opaqueBits != 0) // opaque pixels are copied, not weighted (V at 255 is not exact)
            r = _mm_or_si128(_mm_and_si128(opaque, f), _mm_andnot_si128(opaque, r));
        Store(Dst + i, r);
    }
    for (; i < Count; ++i) {
        TColor32 f = Src[i], fa = f >> 24;
        if (fa == 0)
            continue;
        Dst[i] = fa == 255 ? f : V(f, Dst[i], fa);
    }
}

// Weight ((Fa + 1) * M) shr 8 per pixel. Clear pixels and weight 0 need no mask: both give
// weight 0, and V with weight 0 is the destination itself.
void BlendRunScaledSse2(const TColor32* Src, TColor32* Dst, int Count, TColor32 M)
{
    if (M == 0)
        return; // every weight is 0
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i bias = _mm_set1_epi16(128);
    const __m128i one = _mm_set1_epi16(1);
    const __m128i master = _mm_set1_epi16(static_cast<short>(M));
    int i = 0;
    for (; i + 4 <= Count; i += 4) {
        __m128i f = Load(Src + i);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(f, alpha), zero)) == 0xFFFF)
            continue;
        __m128i fl = _mm_unpacklo_epi8(f, zero), fh = _mm_unpackhi_epi8(f, zero);
        __m128i wl = _mm_srli_epi16(_mm_mullo_epi16(_mm_add_epi16(AlphaLanes(fl), one), master), 8);
        __m128i wh = _mm_srli_epi16(_mm_mullo_epi16(_mm_add_epi16(AlphaLanes(fh), one), master), 8);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(wl, wh), zero)) == 0xFFFF)
            continue;
        __m128i b = Load(Dst + i);
        __m128i rl = V16(fl, _mm_unpacklo_epi8(b, zero), wl, bias);
        __m128i rh = V16(fh, _mm_unpackhi_epi8(b, zero), wh, bias);
        Store(Dst + i, _mm_packus_epi16(rl, rh));
    }
    for (; i < Count; ++i) {
        TColor32 f = Src[i], fa = f >> 24;
        if (fa == 0)
            continue;
        TColor32 w = ((fa + 1) * M) >> 8;
        if (w != 0)
            Dst[i] = V(f, Dst[i], w);
    }
}

} // namespace

void InstallVectorSse2(TColorOps& Ops)
{
    Ops.BlendRun = BlendRunSse2;
    Ops.BlendRunScaled = BlendRunScaledSse2;
}
