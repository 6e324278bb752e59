// What the transfer filter must leave behind, worked out from the host's side: the bytes of
// both exchange files for a given host image and selection, and the checks of the stand-in
// editor's report against the files themselves.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bmp_image.h"

using ByteVector = std::vector<std::uint8_t>;

// The image file: 32-bit BMP, bottom row first, the host's planes 0-3 in bytes 0-3 of each
// pixel as read; bytes of planes the image lacks are 0.
ByteVector ExpectedImageFile(const HostImage& Image);
// Bits per pixel of the mask file at a display depth: 24 on a 24-bit display, else 32.
int ExpectedMaskBits(int DisplayDepth);
// The mask file: Width x Height pixels of blue 0, green 0, red = the selection value
// (255 everywhere without a selection), rows bottom-up and padded to 4 bytes.
ByteVector ExpectedMaskFile(int Width, int Height, const std::optional<ByteVector>& Selection, int BitsPerPixel);

// Empty when equal; otherwise where and how the two differ, for a test log.
std::string DescribeDifference(const ByteVector& Actual, const ByteVector& Expected);

// Problems of a stand-in report (ParseReport's map) against the exchange files on disk:
// each section must say "ok" and give the file's own size, checksum and header values.
std::vector<std::string> CheckStandinReport(const std::map<std::string, std::string>& Report,
                                            const ByteVector& ImageFile, const ByteVector& MaskFile,
                                            int Width, int Height, int MaskBits);
