// The byte map: a width x height array of single bytes, one channel of an image.
#pragma once
#include <cstdint>

#include "bitmap/bitmap32.h"
#include "bitmap/color32.h"

// Which byte of a colour word a byte map reads or writes. Kinds 0..3 move one byte at a
// fixed offset of the pixel; ckAverage and ckIntensity read a grey value and write opaque
// grey pixels. Values above ckIntensity are allowed and write nothing.
enum TChannelKind : std::uint8_t {
    ckRed = 0, ckGreen = 1, ckBlue = 2, ckAlpha = 3, ckAverage = 4, ckIntensity = 5
};

class TByteMap : public TCustomMap {
public:
    VP_CLASS_NAME(TByteMap)
    TByteMap() = default;
    ~TByteMap() override = default;

    // Keeps the existing bytes at their linear positions and zero-fills the added ones.
    // Raises EOutOfMemory (and leaves the map empty, 0 x 0) when the storage cannot be had.
    void ReallocStorage(int& Width, int& Height, int NewWidth, int NewHeight) override;
    // True when the map has no storage (a 0 x 5 map keeps its sizes but is empty).
    bool IsEmpty() const override { return FBits.empty(); }

    const TArrayOfByte& Bits() const { return FBits; }
    TArrayOfByte& Bits() { return FBits; }
    // Unchecked addresses into Bits; the map must not be empty.
    std::uint8_t* ValuePointer(int X, int Y)
    {
        return FBits.data() + X + static_cast<std::ptrdiff_t>(Y) * FWidth;
    }
    std::uint8_t* RowPointer(int Y) { return ValuePointer(0, Y); }

    // Sizes the map to Source and stores the channel Kind of every pixel (Kind above
    // ckIntensity stores nothing). One OnChange at the end, also after a failure.
    void ReadFromBitmap(TBitmap32* Source, TChannelKind Kind);
    // Sizes Target to the map and writes every byte into its pixels as Kind says. The target
    // gets one NotifyChange at the end and, when its size changed, one more NotifyResize.
    void WriteToBitmap(TBitmap32* Target, TChannelKind Kind);

    // A TByteMap is copied; a TBitmap32 is read as ckIntensity; anything else is asked to
    // assign itself to this map.
    void Assign(TPersistent* Source) override;

protected:
    // A TBitmap32 target receives opaque grey pixels (ckAverage).
    void AssignTo(TPersistent* Dest) override;

private:
    void AssignInUpdate(TPersistent* Source);

    TArrayOfByte FBits;
};
