// Internal: the row loop under ImportSelectionMask, the host's selection bytes into the
// mask layer's pixels. A portable loop and its SSE2 twin.
#pragma once
#include <cstdint>

#include "bitmap/color32.h"

// Writes Count pixels: pixel x is Colour's red, green and blue with alpha 255 - Selection[x]
// (Colour's own alpha is ignored). Reads exactly Count bytes, writes exactly Count pixels.
using TMaskRowInto32 = void (*)(const std::uint8_t* Selection, TColor32 Colour, TColor32* Row, int Count);

void MaskRowInto32Plain(const std::uint8_t* Selection, TColor32 Colour, TColor32* Row, int Count);
#if defined(VESPER_X86)
void MaskRowInto32Sse2(const std::uint8_t* Selection, TColor32 Colour, TColor32* Row, int Count);
#endif

// The loop chosen at start-up (SSE2 when the processor has it).
TMaskRowInto32 MaskRowInto32();
