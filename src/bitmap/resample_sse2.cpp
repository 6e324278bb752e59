// SSE2 twins of the resampling routines; each gives exactly the result of its plain rule.
#include <emmintrin.h>

#include <cstring>

#include "bitmap/resample.h"

namespace {

inline __m128i LoadPixel(const TColor32* p) { return _mm_cvtsi32_si128(static_cast<int>(*p)); }

inline __m128i LoadPair(const TColor32* p)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// Lanes 0-3 = w, lanes 4-7 = 256 - w (16-bit).
inline __m128i WeightPair(std::uint32_t w)
{
    const __m128i a = _mm_set1_epi16(static_cast<short>(w));
    const __m128i b = _mm_sub_epi16(_mm_set1_epi16(256), a);
    return _mm_unpacklo_epi64(a, b);
}

// (first * w + second * (256 - w)) >> 8 per channel; pair holds first in lanes 0-3.
inline __m128i MixPair(__m128i pair16, __m128i weights)
{
    const __m128i prod = _mm_mullo_epi16(pair16, weights);
    return _mm_srli_epi16(_mm_add_epi16(prod, _mm_srli_si128(prod, 8)), 8);
}

} // namespace

void BilinearMix256Sse2(const TColor32* Row0, const TColor32* Row1, const TBilinearEntry* XMap, int Count,
                        std::uint32_t WY, TColor32* Out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i wy = WeightPair(WY & 0xFFFF);
    for (int i = 0; i < Count; ++i) {
        const int x = XMap[i].SourceIndex;
        const __m128i wx = WeightPair(XMap[i].Weight & 0xFFFF);
        const __m128i top = MixPair(_mm_unpacklo_epi8(LoadPair(Row0 + x), zero), wx);
        const __m128i bottom = MixPair(_mm_unpacklo_epi8(LoadPair(Row1 + x), zero), wx);
        const __m128i mixed = MixPair(_mm_unpacklo_epi64(top, bottom), wy);
        Out[i] = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(mixed, mixed)));
    }
}

TColor32 BoxAverageSse2(const TColor32* Src, int Stride, int Dx, int Dy)
{
    const std::uint64_t n = std::uint64_t(Dx) * std::uint64_t(Dy);
    if (n > 65536)
        return BoxAveragePlain(Src, Stride, Dx, Dy);
    const __m128i zero = _mm_setzero_si128();
    __m128i acc32 = zero; // blue, green, red, alpha
    for (int y = 0; y < Dy; ++y) {
        const TColor32* p = Src + static_cast<std::ptrdiff_t>(y) * Stride;
        int x = 0;
        while (x + 4 <= Dx) {
            // 16-bit lanes take at most 128 loads of two pixels each (128 * 2 * 255 < 65536).
            __m128i acc16 = zero;
            const int stop = (Dx - x) / 4 > 128 ? x + 4 * 128 : x + ((Dx - x) & ~3);
            for (; x < stop; x += 4) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
                acc16 = _mm_add_epi16(acc16, _mm_unpacklo_epi8(v, zero));
                acc16 = _mm_add_epi16(acc16, _mm_unpackhi_epi8(v, zero));
            }
            acc32 = _mm_add_epi32(acc32, _mm_unpacklo_epi16(acc16, zero));
            acc32 = _mm_add_epi32(acc32, _mm_unpackhi_epi16(acc16, zero));
        }
        for (; x < Dx; ++x)
            acc32 = _mm_add_epi32(acc32, _mm_unpacklo_epi16(_mm_unpacklo_epi8(LoadPixel(p + x), zero), zero));
    }
    alignas(16) std::uint32_t s[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(s), acc32);
    const std::uint32_t f = (1u << 24) / static_cast<std::uint32_t>(n);
    // s * f stays below 255 * 2^24, inside 32 bits.
    return TColor32(((s[3] * f) >> 24) << 24 | ((s[2] * f) >> 24) << 16 | ((s[1] * f) >> 24) << 8 |
                    ((s[0] * f) >> 24));
}

void KernelColumnsSse2(const TColor32* const* Rows, const std::int32_t* Weights, int TapCount, int Count,
                       std::int32_t* Acc)
{
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    // Four columns at a time, taps in pairs: bytes of the two rows are interleaved so that one
    // multiply-add forms w0 * p0 + w1 * p1 per channel.
    for (; x + 4 <= Count; x += 4) {
        __m128i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
        int t = 0;
        for (; t + 2 <= TapCount; t += 2) {
            const __m128i w = _mm_set1_epi32(static_cast<int>((std::uint32_t(Weights[t + 1]) << 16) |
                                                              (std::uint32_t(Weights[t]) & 0xFFFF)));
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[t] + x));
            const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[t + 1] + x));
            const __m128i lo = _mm_unpacklo_epi8(p, q);
            const __m128i hi = _mm_unpackhi_epi8(p, q);
            a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w));
            a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w));
            a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w));
            a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w));
        }
        if (t < TapCount) {
            const __m128i w = _mm_set1_epi32(static_cast<int>(std::uint32_t(Weights[t]) & 0xFFFF));
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[t] + x));
            const __m128i lo = _mm_unpacklo_epi8(p, zero);
            const __m128i hi = _mm_unpackhi_epi8(p, zero);
            a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi16(lo, zero), w));
            a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi16(lo, zero), w));
            a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi16(hi, zero), w));
            a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi16(hi, zero), w));
        }
        __m128i* out = reinterpret_cast<__m128i*>(Acc + 4 * x);
        _mm_storeu_si128(out, a0);
        _mm_storeu_si128(out + 1, a1);
        _mm_storeu_si128(out + 2, a2);
        _mm_storeu_si128(out + 3, a3);
    }
    if (x < Count) {
        std::memset(Acc + 4 * x, 0, sizeof(std::int32_t) * 4 * (Count - x));
        for (int t = 0; t < TapCount; ++t) {
            const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(Rows[t] + x);
            for (int i = 0; i < 4 * (Count - x); ++i)
                Acc[4 * x + i] += Weights[t] * p[i];
        }
    }
}

void KernelRowSse2(const std::int32_t* Acc, const std::int32_t* Start, const std::int32_t* Index,
                   const std::int32_t* Weight, int Count, bool Clamp, TColor32* Out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi32(0xFF0000);
    const __m128i low8 = _mm_set1_epi32(0xFF);
    for (int c = 0; c < Count; ++c) {
        // Channels 0 and 2 in the 64-bit lanes of one sum, 1 and 3 in the other; only the low
        // 32 bits of each lane matter, and they are exact whatever the signs.
        __m128i s02 = zero, s13 = zero;
        for (std::int32_t k = Start[c]; k < Start[c + 1]; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Acc + Index[k]));
            const __m128i w = _mm_set1_epi32(Weight[k]);
            s02 = _mm_add_epi64(s02, _mm_mul_epu32(v, w));
            s13 = _mm_add_epi64(s13, _mm_mul_epu32(_mm_srli_epi64(v, 32), w));
        }
        __m128i s = _mm_unpacklo_epi32(_mm_shuffle_epi32(s02, _MM_SHUFFLE(3, 1, 2, 0)),
                                       _mm_shuffle_epi32(s13, _MM_SHUFFLE(3, 1, 2, 0)));
        if (Clamp) {
            s = _mm_and_si128(s, _mm_cmpgt_epi32(s, zero));
            const __m128i over = _mm_cmpgt_epi32(s, top);
            s = _mm_or_si128(_mm_andnot_si128(over, s), _mm_and_si128(over, top));
        }
        s = _mm_and_si128(_mm_srai_epi32(s, 16), low8);
        s = _mm_packs_epi32(s, s);
        Out[c] = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(s, s)));
    }
}
