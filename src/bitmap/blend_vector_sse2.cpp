// SSE2 twins of the vector set's run operations: four pixels per register, with the same
// per-pixel shortcuts and rounding as the single-pixel V form. The last Count mod 4 pixels go
// through the portable rules.
#include <emmintrin.h>

#include "bitmap/blend_sets.h"

namespace {

using vector_rules::V;

inline __m128i Load(const TColor32* P) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(P)); }
inline void Store(TColor32* P, __m128i V) { _mm_storeu_si128(reinterpret_cast<__m128i*>(P), V); }

// Each pixel's alpha in both 16-bit halves of its 32-bit lane.
inline __m128i AlphaPairs(__m128i F)
{
    __m128i ga = _mm_srli_epi16(F, 8); // green in the low half, alpha in the high half
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(ga, _MM_SHUFFLE(3, 3, 1, 1)), _MM_SHUFFLE(3, 3, 1, 1));
}

// V on four pixels with one weight per pixel (W: the weight in both 16-bit halves of the
// pixel's 32-bit lane, at most 256).
// Channels are taken two per 32-bit lane in 16-bit halves: blue and red in the low bytes of
// the halves, green and alpha moved down into them. In each half
//   (Y*256 + 128) + (X - Y)*W
// is formed modulo 2^16, which is harmless: the true value lies in 0..65535, so the wrapped
// sum is that value exactly, and its high byte is the result.
inline __m128i V4(__m128i F, __m128i B, __m128i W)
{
    const __m128i lowBytes = _mm_set1_epi32(0x00FF00FF);
    const __m128i highBytes = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
    const __m128i bias = _mm_set1_epi16(0x80);
    __m128i drb = _mm_sub_epi16(_mm_and_si128(F, lowBytes), _mm_and_si128(B, lowBytes));
    __m128i dag = _mm_sub_epi16(_mm_srli_epi16(F, 8), _mm_srli_epi16(B, 8));
    __m128i yrb = _mm_or_si128(_mm_slli_epi16(B, 8), bias);
    __m128i yag = _mm_or_si128(_mm_and_si128(B, highBytes), bias);
    __m128i rb = _mm_srli_epi16(_mm_add_epi16(yrb, _mm_mullo_epi16(drb, W)), 8);
    __m128i ag = _mm_and_si128(_mm_add_epi16(yag, _mm_mullo_epi16(dag, W)), highBytes);
    return _mm_or_si128(rb, ag);
}

// Blends four pixels whose alphas are not all 255 and not all 0. A clear pixel needs no mask
// of its own: V at weight 0 gives the destination back. An opaque one weighs 256 instead of
// 255: V at 256 is the source itself, the copy the rule asks for (V at 255 is not exact).
inline void BlendGroup(__m128i F, __m128i Opaque, TColor32* Dst)
{
    Store(Dst, V4(F, Load(Dst), _mm_sub_epi16(AlphaPairs(F), Opaque)));
}

void BlendRunSse2(const TColor32* Src, TColor32* Dst, int Count)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int i = 0;
    // Eight pixels per step, with one test for "all opaque" and one for "all clear".
    for (; i + 8 <= Count; i += 8) {
        __m128i f0 = Load(Src + i), f1 = Load(Src + i + 4);
        __m128i fa0 = _mm_and_si128(f0, alpha), fa1 = _mm_and_si128(f1, alpha);
        __m128i opaque0 = _mm_cmpeq_epi32(fa0, alpha), opaque1 = _mm_cmpeq_epi32(fa1, alpha);
        if (_mm_movemask_epi8(_mm_and_si128(opaque0, opaque1)) == 0xFFFF) {
            Store(Dst + i, f0);
            Store(Dst + i + 4, f1);
        } else if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_or_si128(fa0, fa1), zero)) != 0xFFFF) {
            BlendGroup(f0, opaque0, Dst + i);
            BlendGroup(f1, opaque1, Dst + i + 4);
        }
    }
    if (i + 4 <= Count) {
        __m128i f = Load(Src + i);
        __m128i fa = _mm_and_si128(f, alpha);
        __m128i opaque = _mm_cmpeq_epi32(fa, alpha);
        if (_mm_movemask_epi8(opaque) == 0xFFFF)
            Store(Dst + i, f);
        else if (_mm_movemask_epi8(_mm_cmpeq_epi32(fa, zero)) != 0xFFFF)
            BlendGroup(f, opaque, Dst + i);
        i += 4;
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
    const __m128i one = _mm_set1_epi16(1);
    const __m128i master = _mm_set1_epi16(static_cast<short>(M));
    int i = 0;
    for (; i + 4 <= Count; i += 4) {
        __m128i f = Load(Src + i);
        // (Fa + 1) * M <= 256 * 255 fits an unsigned 16-bit half.
        __m128i w = _mm_srli_epi16(_mm_mullo_epi16(_mm_add_epi16(AlphaPairs(f), one), master), 8);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(w, zero)) == 0xFFFF)
            continue;
        Store(Dst + i, V4(f, Load(Dst + i), w));
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
