// The BMP layout of the exchange files: 14-byte file header, 40-byte information header,
// rows bottom-up, 32 bits per pixel with no padding.
#pragma once
#include <cstdint>

#include "base/streams.h"

// Bytes of one stored row: Width pixels of BitsPerPixel, padded to a multiple of 4.
std::uint64_t BmpRowBytes(int Width, int BitsPerPixel);
// Writes the 14-byte file header and the 40-byte information header of an uncompressed
// bitmap without a colour table; returns the pixel bytes that must follow (row bytes x
// Height). Raises EStreamError when they would not fit the format's 32-bit sizes.
std::uint64_t WriteBmpHeaders(TStream& Stream, int Width, int Height, int BitsPerPixel);

// Writes Width x Height top-down colour words as a 32-bit BMP (an empty image gives the
// headers of a 0 x 0 bitmap).
void WriteBmp32(TStream& Stream, const std::uint32_t* Pixels, int Width, int Height);
