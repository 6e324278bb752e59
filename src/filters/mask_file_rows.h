// Internal: the row loop under the 32-bit mask file, the mask layer's pixels into the file's
// red ramp. A portable loop and its SSE2 twin.
#pragma once
#include <cstdint>

#include "bitmap/color32.h"

// Writes Count 4-byte file pixels to Out: blue 0, green 0, red 255 - alpha of Mask[x], and a
// zero fourth byte. Reads exactly Count pixels, writes exactly 4 x Count bytes.
using TMaskFileRow32 = void (*)(const TColor32* Mask, std::uint8_t* Out, int Count);

void MaskFileRow32Plain(const TColor32* Mask, std::uint8_t* Out, int Count);
#if defined(VESPER_X86)
void MaskFileRow32Sse2(const TColor32* Mask, std::uint8_t* Out, int Count);
#endif

// The loop chosen at start-up (SSE2 when the processor has it).
TMaskFileRow32 MaskFileRow32();
