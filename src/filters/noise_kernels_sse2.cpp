// SSE2 twin of the noise colour loop: sixteen draws (four pixels) per round. Each seed sits
// in the low half of a 64-bit lane, where one unsigned 32 x 32 multiply both advances it
// (the low half of the product) and scales it to the range (the high half): one lane per
// channel, every lane stepping 16 draws at a time. The pixels left over go through the
// portable loop.
#include <emmintrin.h>

#include "filters/noise_kernels.h"

// TSeedJump::Apply is not called here: an inline copy compiled with -msse2 could be the one
// the linker keeps for the rest of the module.

bool NoiseColorsSse2Takes(const TNoiseDraws& Draws)
{
    constexpr std::int32_t limit = 1 << 30;
    auto inside = [](std::int32_t v) { return v >= -limit && v <= limit; };
    return Draws.Range > 0 && Draws.Range <= static_cast<std::uint32_t>(limit) && inside(Draws.Alpha) &&
           inside(Draws.Red) && inside(Draws.Green) && inside(Draws.Blue);
}

std::uint32_t NoiseColorsSse2(std::uint32_t Seed, const TNoiseDraws& Draws, TColor32* Out, int Count)
{
    if (Count <= 0)
        return Seed;
    const int groups = Count / 4;
    if (groups > 0) {
        // Draw n of the block (1-based) has seed s[n]; pixel j uses s[4j + 1 .. 4j + 4].
        std::uint32_t s[17];
        s[0] = Seed;
        const TSeedJump one = SeedJump(1);
        for (int n = 1; n <= 16; ++n)
            s[n] = one.Mul * s[n - 1] + one.Add;
        // Pixel j: Rb holds (red, blue) seeds, Ga (green, alpha), so that the scaled draws
        // interleave to red, green, blue, alpha: the colour word's bytes in memory.
        __m128i rb[4], ga[4];
        for (int j = 0; j < 4; ++j) {
            rb[j] = _mm_set_epi32(0, static_cast<int>(s[4 * j + 4]), 0, static_cast<int>(s[4 * j + 2]));
            ga[j] = _mm_set_epi32(0, static_cast<int>(s[4 * j + 1]), 0, static_cast<int>(s[4 * j + 3]));
        }
        const TSeedJump step = SeedJump(16);
        const __m128i mul = _mm_set1_epi32(static_cast<int>(step.Mul));
        const __m128i add = _mm_set_epi32(0, static_cast<int>(step.Add), 0, static_cast<int>(step.Add));
        const __m128i range = _mm_set1_epi32(static_cast<int>(Draws.Range));
        const __m128i high = _mm_set_epi32(-1, 0, -1, 0);
        const __m128i bases = _mm_set_epi32(Draws.Alpha, Draws.Blue, Draws.Green, Draws.Red);

        auto colour = [&](int j) {
            // High halves of seed x range: red and blue from rb, green and alpha from ga.
            const __m128i r = _mm_srli_epi64(_mm_mul_epu32(rb[j], range), 32);
            const __m128i g = _mm_and_si128(_mm_mul_epu32(ga[j], range), high);
            rb[j] = _mm_add_epi32(_mm_mul_epu32(rb[j], mul), add);
            ga[j] = _mm_add_epi32(_mm_mul_epu32(ga[j], mul), add);
            return _mm_add_epi32(_mm_or_si128(r, g), bases);
        };
        for (int g = 0; g < groups; ++g) {
            const __m128i c0 = colour(0), c1 = colour(1), c2 = colour(2), c3 = colour(3);
            // Signed saturation to 16 bits, then unsigned to 8: together a clamp to 0..255.
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(c0, c1), _mm_packs_epi32(c2, c3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + 4 * g), packed);
        }
        const TSeedJump done = SeedJump(16 * static_cast<std::uint64_t>(groups));
        Seed = done.Mul * Seed + done.Add;
    }
    return NoiseColorsPlain(Seed, Draws, Out + 4 * groups, Count - 4 * groups);
}
