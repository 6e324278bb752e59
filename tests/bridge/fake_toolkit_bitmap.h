// A stand-in for the toolkit's device-independent bitmap: 24- or 32-bit rows, bottom-up
// like a platform DIB (or top-down on request), each row its own padded stride.
#pragma once
#include <cstdint>
#include <vector>

#include "base/object.h"
#include "toolkit/pixel_rows.h"

class TFakeToolkitBitmap : public TPersistent, public IToolkitBitmapRows {
public:
    VP_CLASS_NAME(TBitmap)
    explicit TFakeToolkitBitmap(bool BottomUp = true) : FBottomUp(BottomUp) {}

    int PixelFormatBits() const override { return FBits; }
    void SetPixelFormatBits(int Bits) override
    {
        FBits = Bits;
        ++FormatChanges;
        Realloc();
    }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int Value) override
    {
        FWidth = Value;
        Realloc();
    }
    void SetHeight(int Value) override
    {
        FHeight = Value;
        Realloc();
    }
    std::uint8_t* RowAddress(int Y) override
    {
        const int row = FBottomUp ? FHeight - 1 - Y : Y;
        return FStore.data() + static_cast<std::size_t>(row) * Stride();
    }
    int Stride() const { return (FWidth * (FBits ? FBits : 32) / 8 + 3) / 4 * 4; }
    std::uint8_t& Byte(int X, int Y, int B) { return RowAddress(Y)[X * (FBits / 8) + B]; }

    int FormatChanges = 0;

private:
    void Realloc() { FStore.assign(static_cast<std::size_t>(Stride()) * (FHeight > 0 ? FHeight : 0), 0); }

    bool FBottomUp;
    int FBits = 0;
    int FWidth = 0, FHeight = 0;
    std::vector<std::uint8_t> FStore;
};
