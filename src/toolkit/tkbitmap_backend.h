// Storage and drawing of toolkit bitmaps, implemented once per back end: GDI DIB sections,
// compatible bitmaps and memory device contexts on Windows; plain memory with the same byte
// layout headless.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/graphics.h"

class TBitmap32;

namespace tkb {

struct TStore {
    void* Handle = nullptr;     // HBITMAP; headless the memory block
    void* DC = nullptr;         // memory device context holding Handle
    void* OldObject = nullptr;  // what the DC held before (Windows)
    std::uint8_t* Bits = nullptr; // lowest-addressed row (the bottom one); null for a DDB on Windows
    int Width = 0, Height = 0;
    int BitsPerPixel = 0;       // of the memory rows; for a DDB the screen depth
    bool Device = false;
};

inline int RowBytes(int Width, int BitsPerPixel)
{
    return static_cast<int>((static_cast<std::int64_t>(Width) * BitsPerPixel + 31) / 32 * 4);
}

// Depth the screen's format is written and read with: 16, 24 or 32.
int DeviceBitsPerPixel();
// Both sizes > 0. Device: screen format (BitsPerPixel ignored); else a bottom-up DIB of 16,
// 24 or 32 bits. Raises EOutOfResources "Out of system resources" on failure.
TStore CreateStore(int Width, int Height, int BitsPerPixel, bool Device);
void DestroyStore(TStore& Store);
// Block copy of the top-left Width x Height pixels.
void CopyStore(const TStore& Source, TStore& Dest, int Width, int Height);
// Block copy (source copy) of the store into Dest, which has the store's size.
void CopyStoreToBitmap32(const TStore& Source, TBitmap32& Dest);
// Bottom-up rows padded to 4 bytes, BitsPerPixel bits each, for the BMP writer.
std::vector<std::uint8_t> StoreFileRows(const TStore& Store, int BitsPerPixel);
// A canvas that reads *Store at every call, so it follows storage changes.
std::unique_ptr<TCanvas> CreateStoreCanvas(const TStore* Store);
// A temporary canvas on a TBitmap32's pixels.
std::unique_ptr<TCanvas> CreateBitmap32Canvas(TBitmap32& Bitmap);
void* StockSystemFont();

} // namespace tkb
