// The noise step of the transfer filter: a random colour blended over every pixel.
#pragma once
#include <cstdint>

#include "bitmap/bitmap32.h"

// Next value of the module-wide generator: 0 <= result < N for N > 0, 0 for N = 0. The seed
// advances on every call (seed * 0x08088405 + 1 modulo 2^32; the result is the high word of
// seed * N).
std::uint32_t RandomBelow(std::uint32_t N);

// The generator's seed: 0 when the module is loaded, never taken from the clock.
std::uint32_t RandomSeed();
// Puts the seed back, as a fresh load of the module leaves it (for tests).
void ResetRandomSeed(std::uint32_t Seed = 0);
// Moves the seed on as Count calls of RandomBelow would, in O(log Count).
void SkipRandomDraws(std::uint64_t Count);

// Blends, pixel by pixel in memory order, the colour with alpha Alpha + rnd, byte 0 Red +
// rnd, byte 1 Green + rnd and byte 2 Blue + rnd (each clamped to 0..255, rnd below
// 2 x Variation, drawn in that order) into Bitmap. Byte k of a pixel is the host's plane k,
// so each value reaches the channel it names. Does not notify; an empty bitmap draws no
// random number. A negative Variation counts as 0. Without variation every pixel gets the
// same colour and a clear one changes nothing: the seed then jumps the 4 x pixels draws.
void AddNoise(TBitmap32* Bitmap, int Alpha, int Red, int Green, int Blue, int Variation);
