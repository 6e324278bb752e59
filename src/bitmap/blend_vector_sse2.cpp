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
//   X*W + Y*(256 - W) + 128,
// which equals Y*256 + (X - Y)*W + 128, has only non-negative terms and stays below 65536,
// so unsigned 16-bit arithmetic is exact; its high byte is the result.
inline __m128i V4(__m128i F, __m128i B, __m128i W)
{
    const __m128i lowBytes = _mm_set1_epi32(0x00FF00FF);
    const __m128i highBytes = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
    const __m128i bias = _mm_set1_epi16(0x80);
    __m128i iw = _mm_sub_epi16(_mm_set1_epi16(256), W);
    __m128i rb = _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(F, lowBytes), W),
                               _mm_mullo_epi16(_mm_and_si128(B, lowBytes), iw));
    __m128i ag = _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(F, 8), W), _mm_mullo_epi16(_mm_srli_epi16(B, 8), iw));
    rb = _mm_srli_epi16(_mm_add_epi16(rb, bias), 8);
    ag = _mm_and_si128(_mm_add_epi16(ag, bias), highBytes);
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

// Four 32-bit lanes, each below 65536, spread over 16-bit lanes: Lo gets lanes 0 and 1, Hi
// lanes 2 and 3, each value in the four 16-bit lanes of its pixel.
inline void Spread(__m128i V32, __m128i& Lo, __m128i& Hi)
{
    __m128i pairs = _mm_or_si128(V32, _mm_slli_epi32(V32, 16));
    Lo = _mm_unpacklo_epi32(pairs, pairs);
    Hi = _mm_unpackhi_epi32(pairs, pairs);
}

// V div 255 for 0 <= V <= 65025 (exact in that range), on 32-bit lanes.
inline __m128i Div255(__m128i V)
{
    const __m128i one = _mm_set1_epi32(1);
    return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(V, one), _mm_srli_epi32(V, 8)), 8);
}

// The merge colours of two pixels in 16-bit lanes, before the result's alpha is set.
inline __m128i MergeHalf(__m128i Fc, __m128i Bc, __m128i Fa, __m128i Ba, __m128i X)
{
    __m128i fp = _mm_srli_epi16(_mm_mullo_epi16(Fc, Fa), 8);
    __m128i bp = _mm_srli_epi16(_mm_mullo_epi16(Bc, Ba), 8);
    __m128i t = _mm_srli_epi16(_mm_mullo_epi16(Fa, bp), 8);
    // S = max(0, B' + F' - T) needs no clamp here: T = (Fa * B') shr 8 never exceeds B'.
    __m128i sum = _mm_sub_epi16(_mm_add_epi16(bp, fp), t);
    // The low 16 bits of S * X shifted down: at most 255, so the saturation has nothing to do.
    return _mm_srli_epi16(_mm_mullo_epi16(sum, X), 8);
}

// The vector merge of four pixels with all its shortcuts: Fa = 0 gives B; Ba = 0 or Fa = 255
// gives F; otherwise Ra = Fa + Ba - (Fa*Ba) div 255, X = 65535 div Ra and the merged colours.
inline __m128i Merge4(__m128i F, __m128i B)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi32(255);
    __m128i fa = _mm_srli_epi32(F, 24), ba = _mm_srli_epi32(B, 24);
    __m128i ra = _mm_sub_epi32(_mm_add_epi32(fa, ba), Div255(_mm_mullo_epi16(fa, ba)));
    // 65535 / Ra in single precision truncates to the integer quotient: for 1 <= Ra <= 255 the
    // quotient is either whole or at least 1/255 away from the next whole number, more than
    // the rounding error near 65535 (half of 1/256). Ra = 0 (both clear) is masked out below.
    __m128i x = _mm_cvttps_epi32(
        _mm_div_ps(_mm_set1_ps(65535.0f), _mm_cvtepi32_ps(_mm_max_epi16(ra, _mm_set1_epi32(1)))));
    __m128i faLo, faHi, baLo, baHi, xLo, xHi;
    Spread(fa, faLo, faHi);
    Spread(ba, baLo, baHi);
    Spread(x, xLo, xHi);
    __m128i lo = MergeHalf(_mm_unpacklo_epi8(F, zero), _mm_unpacklo_epi8(B, zero), faLo, baLo, xLo);
    __m128i hi = MergeHalf(_mm_unpackhi_epi8(F, zero), _mm_unpackhi_epi8(B, zero), faHi, baHi, xHi);
    __m128i r = _mm_or_si128(_mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF)),
                             _mm_slli_epi32(ra, 24));
    __m128i takeF = _mm_or_si128(_mm_cmpeq_epi32(ba, zero), _mm_cmpeq_epi32(fa, full));
    r = _mm_or_si128(_mm_and_si128(takeF, F), _mm_andnot_si128(takeF, r));
    __m128i clear = _mm_cmpeq_epi32(fa, zero);
    return _mm_or_si128(_mm_and_si128(clear, B), _mm_andnot_si128(clear, r));
}

// F with its alpha replaced by (Fa * M) div 255, as the scaled merge forms begin.
inline __m128i ScaleAlpha4(__m128i F, __m128i M32)
{
    __m128i a = Div255(_mm_mullo_epi16(_mm_srli_epi32(F, 24), M32));
    return _mm_or_si128(_mm_and_si128(F, _mm_set1_epi32(0x00FFFFFF)), _mm_slli_epi32(a, 24));
}

// Merges four pixels into Dst, skipping groups that are all clear and copying groups that
// are all opaque.
inline void MergeGroup(__m128i F, TColor32* Dst)
{
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i fa = _mm_and_si128(F, alpha);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(fa, _mm_setzero_si128())) == 0xFFFF)
        return;
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(fa, alpha)) == 0xFFFF)
        Store(Dst, F);
    else
        Store(Dst, Merge4(F, Load(Dst)));
}

// The last 1..3 pixels go through the same code in a padded copy (clear source pixels, which
// leave the padding alone) so the run never reads or writes past its end.
template <class Group>
inline void Tail(const TColor32* Src, TColor32* Dst, int Count, Group&& G)
{
    alignas(16) TColor32 f[4] = {}, b[4] = {};
    for (int k = 0; k < Count; ++k) {
        f[k] = Src[k];
        b[k] = Dst[k];
    }
    G(Load(f), b);
    for (int k = 0; k < Count; ++k)
        Dst[k] = b[k];
}

void MergeRunSse2(const TColor32* Src, TColor32* Dst, int Count)
{
    int i = 0;
    for (; i + 4 <= Count; i += 4)
        MergeGroup(Load(Src + i), Dst + i);
    if (i < Count)
        Tail(Src + i, Dst + i, Count - i, [](__m128i F, TColor32* D) { MergeGroup(F, D); });
}

void MergeRunScaledSse2(const TColor32* Src, TColor32* Dst, int Count, TColor32 M)
{
    const __m128i m = _mm_set1_epi32(static_cast<int>(M));
    int i = 0;
    for (; i + 4 <= Count; i += 4)
        MergeGroup(ScaleAlpha4(Load(Src + i), m), Dst + i);
    if (i < Count)
        Tail(Src + i, Dst + i, Count - i, [m](__m128i F, TColor32* D) { MergeGroup(ScaleAlpha4(F, m), D); });
}

} // namespace

void InstallVectorSse2(TColorOps& Ops)
{
    Ops.BlendRun = BlendRunSse2;
    Ops.BlendRunScaled = BlendRunScaledSse2;
    Ops.MergeRun = MergeRunSse2;
    Ops.MergeRunScaled = MergeRunScaledSse2;
}
