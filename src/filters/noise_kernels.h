// Internal: the noise colour generators behind AddNoise, a portable loop and its SSE2 twin,
// and the generator's jump ahead. Each pixel takes four consecutive draws of the module's
// generator (alpha, red, green, blue); with draw n's seed known in closed form from the seed
// before it, pixels no longer wait on each other's draws.
#pragma once
#include <cstdint>

#include "bitmap/color32.h"

// seed -> Mul * seed + Add (mod 2^32): the generator's step taken some number of times.
struct TSeedJump {
    std::uint32_t Mul = 1;
    std::uint32_t Add = 0;
    std::uint32_t Apply(std::uint32_t Seed) const { return Mul * Seed + Add; }
};

// The jump of Draws steps (Draws calls of RandomBelow), in O(log Draws).
TSeedJump SeedJump(std::uint64_t Draws);

// The bases and the draw range of one noise run (Range = 2 x Variation, more than 0).
struct TNoiseDraws {
    std::int32_t Alpha = 0, Red = 0, Green = 0, Blue = 0;
    std::uint32_t Range = 0;
};

// Writes the noise colours of Count pixels into Out: pixel i takes draws 4i + 1 .. 4i + 4
// after Seed (alpha, red, green, blue), each Constrain(base + draw, 0, 255), packed alpha <<
// 24 | blue << 16 | green << 8 | red. Returns the seed after the last draw.
using TNoiseColors = std::uint32_t (*)(std::uint32_t Seed, const TNoiseDraws& Draws, TColor32* Out, int Count);

std::uint32_t NoiseColorsPlain(std::uint32_t Seed, const TNoiseDraws& Draws, TColor32* Out, int Count);
#if defined(VESPER_X86)
// The twin works in 32-bit lanes: it takes ranges up to 2^30 and bases within +-2^30, so
// that base + draw cannot overflow (the dialog's bytes lie far inside).
bool NoiseColorsSse2Takes(const TNoiseDraws& Draws);
std::uint32_t NoiseColorsSse2(std::uint32_t Seed, const TNoiseDraws& Draws, TColor32* Out, int Count);
#endif

enum class TNoiseVariant { Plain, Sse2 };
// Start-up choice: SSE2 when the processor has it, else plain. Tests install either; false
// when the variant is unavailable here.
bool InstallNoiseVariant(TNoiseVariant Variant);
TNoiseVariant NoiseVariant();
