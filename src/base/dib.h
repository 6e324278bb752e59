// Pixel storage for 32-bit bitmaps: a top-down 32-bit device-independent section with a
// memory device context on Windows, plain zero-filled memory headless.
#pragma once
#include <cstdint>

struct TDibStorage {
    std::uint32_t* Bits = nullptr; // Width * Height words, rows top-down, no padding
    void* Handle = nullptr;        // the section (HBITMAP on Windows)
    void* DC = nullptr;            // memory device context holding the section (HDC)
};

// Creates storage for a Width x Height bitmap (both > 0), zero-filled. Raises Exception with
// "Can't allocate the DIB handle", "Can't create compatible DC" or "Can't select an object
// into DC"; nothing is left allocated then. Sizes whose byte count does not fit the address
// space raise "Can't allocate the DIB handle" too.
TDibStorage CreateDibStorage(int Width, int Height);
void DestroyDibStorage(TDibStorage& Storage);
