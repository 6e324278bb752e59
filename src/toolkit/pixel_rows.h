// What code outside the toolkit needs of a toolkit bitmap whose pixel rows it reads and
// writes directly: its pixel format, its size and the address of each row. The toolkit's
// device-independent bitmap implements it (TBitmap); rows may run bottom-up, so the distance between
// two row addresses can be negative.
#pragma once
#include <cstdint>

class IToolkitBitmapRows {
public:
    virtual ~IToolkitBitmapRows() = default;
    // Bits per pixel of the current pixel format (0 when it is the device's own).
    virtual int PixelFormatBits() const = 0;
    virtual void SetPixelFormatBits(int Bits) = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int Value) = 0;
    virtual void SetHeight(int Value) = 0;
    // First byte of row Y, 0 <= Y < Height.
    virtual std::uint8_t* RowAddress(int Y) = 0;
};
