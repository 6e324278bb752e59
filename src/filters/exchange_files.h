// The two files the transfer filter leaves for the icon editor: the image as 32-bit pixels
// and the selection mask as a red ramp, both Windows BMP files at fixed paths on drive C.
#pragma once
#include <string>

#include "bitmap/bitmap32.h"
#include "base/streams.h"

extern const char* const ImageExchangeFileName; // "c:\tarnwickstudiorgb_dovrane.bmp"
extern const char* const MaskExchangeFileName;  // "c:\tarnwickstudioa_dovrane.bmp"

// Bits per pixel of the mask file at a display depth: 24 for a 24-bit display, 32 for
// everything else (and for a platform without a display depth).
int MaskFileBitsPerPixel(int ScreenDepth);

// The mask file's bytes: Width x Height pixels (the host image's size), pixel (x, y) red
// = 255 - alpha of Mask.PixelClipped(x, y), green and blue 0, bottom row first, rows
// padded to 4 bytes. BitsPerPixel is 24 or 32 (anything else writes 32).
void WriteMaskBmp(TStream& Stream, const TBitmap32& Mask, int Width, int Height, int BitsPerPixel);

// The image file: Image's colour words as they lie, 32 bits per pixel, bottom row first.
void WriteImageExchangeFile(TBitmap32& Image, const std::string& FileName = ImageExchangeFileName);
// The mask file at the screen's current depth.
void WriteMaskExchangeFile(const TBitmap32& Mask, int Width, int Height,
                           const std::string& FileName = MaskExchangeFileName);

// Both files written together (WriteFilesTogether): both are replaced or neither, and
// rewritten in place a failure empties both. A failure raises the stream's exception
// naming the file.
void WriteExchangeFiles(TBitmap32& Image, const TBitmap32& Mask, int Width, int Height);
