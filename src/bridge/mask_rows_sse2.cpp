// SSE2 twin of the selection row loop: sixteen selection bytes, inverted, widen into the top
// byte of sixteen pixels; the row's last pixels go through the portable loop.
#include <emmintrin.h>

#include "bridge/mask_rows.h"

void MaskRowInto32Sse2(const std::uint8_t* Selection, TColor32 Colour, TColor32* Row, int Count)
{
    const __m128i colour = _mm_set1_epi32(static_cast<int>(Colour & 0x00FFFFFFu));
    const __m128i ones = _mm_set1_epi8(-1);
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 16 <= Count; x += 16) {
        const __m128i inverted =
            _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Selection + x)), ones);
        // Each byte to the high half of a 16-bit lane, then to the high half of a 32-bit one.
        const __m128i low = _mm_unpacklo_epi8(zero, inverted), high = _mm_unpackhi_epi8(zero, inverted);
        auto* out = reinterpret_cast<__m128i*>(Row + x);
        _mm_storeu_si128(out, _mm_or_si128(_mm_unpacklo_epi16(zero, low), colour));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_unpackhi_epi16(zero, low), colour));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_unpacklo_epi16(zero, high), colour));
        _mm_storeu_si128(out + 3, _mm_or_si128(_mm_unpackhi_epi16(zero, high), colour));
    }
    MaskRowInto32Plain(Selection + x, Colour, Row + x, Count - x);
}
