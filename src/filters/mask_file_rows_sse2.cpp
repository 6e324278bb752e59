// SSE2 twin of the mask file's row loop, four pixels per register; the row's last pixels go
// through the portable loop. x86 is little-endian, so the file's byte 2 is bits 16..23.
#include <emmintrin.h>

#include "filters/mask_file_rows.h"

void MaskFileRow32Sse2(const TColor32* Mask, std::uint8_t* Out, int Count)
{
    const __m128i red = _mm_set1_epi32(0x00FF0000);
    int x = 0;
    for (; x + 8 <= Count; x += 8) {
        const auto* in = reinterpret_cast<const __m128i*>(Mask + x);
        auto* out = reinterpret_cast<__m128i*>(Out + static_cast<std::ptrdiff_t>(x) * 4);
        // 255 - alpha is the inverted alpha, moved down into the red byte.
        _mm_storeu_si128(out, _mm_andnot_si128(_mm_srli_epi32(_mm_loadu_si128(in), 8), red));
        _mm_storeu_si128(out + 1, _mm_andnot_si128(_mm_srli_epi32(_mm_loadu_si128(in + 1), 8), red));
    }
    MaskFileRow32Plain(Mask + x, Out + static_cast<std::ptrdiff_t>(x) * 4, Count - x);
}
