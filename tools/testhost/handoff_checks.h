// What the transfer filter must leave behind, worked out from the host's side: the bytes of
// both exchange files for a given host image and selection, and the checks of the stand-in
// editor's report against the files themselves. The expected bytes are produced a piece at
// a time and files are compared as they are read, so an image of any size is checked
// without holding a whole file in memory.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bmp_image.h"

using ByteVector = std::vector<std::uint8_t>;
// Receives expected bytes in file order, a piece (a header, a row) at a time.
using ByteSink = std::function<void(const std::uint8_t* Data, std::size_t Size)>;
// Produces a whole expected file into a sink.
using ExpectedBytes = std::function<void(const ByteSink& Out)>;

// The image file: 32-bit BMP, bottom row first, the host's planes 0-3 in bytes 0-3 of each
// pixel as read; bytes of planes the image lacks are 0.
void EmitExpectedImageFile(const HostImage& Image, const ByteSink& Out);
ByteVector ExpectedImageFile(const HostImage& Image);
// Bits per pixel of the mask file at a display depth: 24 on a 24-bit display, else 32.
int ExpectedMaskBits(int DisplayDepth);
// The mask file: Width x Height pixels of blue 0, green 0, red = the selection value
// (255 everywhere without a selection), rows bottom-up and padded to 4 bytes.
void EmitExpectedMaskFile(int Width, int Height, const ByteVector* Selection, int BitsPerPixel, const ByteSink& Out);
ByteVector ExpectedMaskFile(int Width, int Height, const std::optional<ByteVector>& Selection, int BitsPerPixel);

// Empty when equal; otherwise where and how the two differ, for a test log.
std::string DescribeDifference(const ByteVector& Actual, const ByteVector& Expected);

// A file's size and FNV-1a checksum (what the stand-in reports of it).
struct FileFacts {
    std::uint64_t Bytes = 0;
    std::uint32_t Fnv1a = 0x811C9DC5u; // the checksum of no bytes
};
// Reads the file at Path in pieces; nullopt when it cannot be opened.
std::optional<FileFacts> FactsOfFile(const std::string& Path);
// Compares the file at Path with Expected as both go along: Difference is empty when they
// are equal, otherwise DescribeDifference's words. Nullopt when the file cannot be opened.
// ColourTolerance lets the colour bytes of a 32-bit image file's pixels (the first three of
// every four after the 54 header bytes) lie that far from the expected ones.
struct FileComparison {
    FileFacts Facts;
    std::string Difference;
};
std::optional<FileComparison> CompareFile(const std::string& Path, const ExpectedBytes& Expected,
                                          int ColourTolerance = 0);

// Problems of a stand-in report (ParseReport's map) against the exchange files on disk:
// each section must say "ok" and give the file's own size, checksum and header values.
std::vector<std::string> CheckStandinReport(const std::map<std::string, std::string>& Report,
                                            const FileFacts& ImageFile, const FileFacts& MaskFile,
                                            int Width, int Height, int MaskBits);
