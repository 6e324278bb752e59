// SSE2 twin of the row loop into 4-byte pixels, four pixels per register for the two layouts
// hosts serve most: packed three-byte pixels, and four-byte pixels (four planes, or three with
// one dummy plane before or after). Other layouts and each row's last pixels, where a 16-byte
// read would pass the row's last channel byte, go through the portable loop.
#include <emmintrin.h>

#include "bridge/plane_copy.h"

namespace {
inline __m128i Load(const std::uint8_t* P) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(P)); }
inline void Store(std::uint8_t* P, __m128i V) { _mm_storeu_si128(reinterpret_cast<__m128i*>(P), V); }
} // namespace

void CopyRowInto32Sse2(const std::uint8_t* Src, int Stride, int Planes, std::uint8_t* Dst, int Columns,
                       bool Cleared)
{
    // Nothing to copy, or whole pixels that the portable loop copies at once.
    if (Columns <= 0 || Planes <= 0 || (Planes == 4 && Stride == 4))
        return CopyRowInto32Plain(Src, Stride, Planes, Dst, Columns, Cleared);
    // Bytes from Src up to and including the last pixel's last channel byte.
    const std::int64_t readable = static_cast<std::int64_t>(Columns - 1) * Stride + Planes;
    int c = 0;
    if (Stride == 4) {
        // Each lane holds a pixel's channels in its low bytes, then the next pixel's leading
        // bytes, which the mask drops.
        const __m128i keep = _mm_set1_epi32(static_cast<int>(Planes >= 4 ? 0u : ~0u << (8 * Planes)));
        for (; static_cast<std::int64_t>(c) * 4 + 16 <= readable && c + 4 <= Columns; c += 4) {
            std::uint8_t* d = Dst + static_cast<std::ptrdiff_t>(c) * 4;
            const __m128i channels = _mm_andnot_si128(keep, Load(Src + static_cast<std::ptrdiff_t>(c) * 4));
            Store(d, Cleared ? channels : _mm_or_si128(_mm_and_si128(Load(d), keep), channels));
        }
    } else if (Stride == 3 && Planes == 3) {
        // Twelve bytes of four pixels move to the low three bytes of four lanes: pixel i's
        // bytes shift up by i places.
        const __m128i lane0 = _mm_set_epi32(0, 0, 0, 0x00FFFFFF);
        const __m128i lane1 = _mm_set_epi32(0, 0, 0x00FFFFFF, 0);
        const __m128i lane2 = _mm_set_epi32(0, 0x00FFFFFF, 0, 0);
        const __m128i lane3 = _mm_set_epi32(0x00FFFFFF, 0, 0, 0);
        const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        for (; static_cast<std::int64_t>(c) * 3 + 16 <= readable && c + 4 <= Columns; c += 4) {
            const __m128i x = Load(Src + static_cast<std::ptrdiff_t>(c) * 3);
            const __m128i rgb = _mm_or_si128(
                _mm_or_si128(_mm_and_si128(x, lane0), _mm_and_si128(_mm_slli_si128(x, 1), lane1)),
                _mm_or_si128(_mm_and_si128(_mm_slli_si128(x, 2), lane2), _mm_and_si128(_mm_slli_si128(x, 3), lane3)));
            std::uint8_t* d = Dst + static_cast<std::ptrdiff_t>(c) * 4;
            Store(d, Cleared ? rgb : _mm_or_si128(_mm_and_si128(Load(d), fourth), rgb));
        }
    }
    CopyRowInto32Plain(Src + static_cast<std::ptrdiff_t>(c) * Stride, Stride, Planes, Dst + static_cast<std::ptrdiff_t>(c) * 4,
                       Columns - c, Cleared);
}
