// The BMP layout of the exchange files: 14-byte file header, 40-byte information header,
// rows bottom-up, 32 bits per pixel with no padding.
#pragma once
#include <cstdint>

#include "toolkit/streams.h"

// Writes Width x Height top-down colour words as a 32-bit BMP (an empty image gives the
// headers of a 0 x 0 bitmap).
void WriteBmp32(TStream& Stream, const std::uint32_t* Pixels, int Width, int Height);
