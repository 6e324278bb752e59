// The filter graphic: the one way pixels travel between the host's image buffers and the
// module's bitmaps, plus the interleaved plane copy underneath it.
#pragma once
#include <cstdint>

#include "host/pi_filter.h"
#include "base/object.h"

// One interleaved pixel buffer: each pixel is PreSkip + Planes + PostSkip bytes.
struct PlaneLayout {
    std::uint8_t* Data = nullptr;  // first byte of the first row
    std::int32_t PreSkip = 0;      // bytes before the channels of each pixel
    std::int32_t Planes = 0;       // channel bytes of each pixel
    std::int32_t PostSkip = 0;     // bytes after the channels of each pixel
    std::int32_t RowBytes = 0;     // start of one row to the next, negative for bottom-up
    std::int32_t Depth = 8;        // bits per channel; only 8 is accepted
};

// Source channel k to the byte offset, within the destination pixel's channel bytes, that
// receives it.
using ChannelMap = int (*)(int k);

// k to k: the 32-bit bitmap keeps the host's plane k in byte k.
int IdentityChannelMap(int k);
// 2, 1, 0, 3: the toolkit bitmap keeps blue, green, red, fourth byte in memory. Channels
// past the table map to themselves.
int SwapRedBlueChannelMap(int k);

// Copies Columns x Rows pixels, source channel k into destination offset Map(k) (a null map
// is the identity). Raises EAssertionFailed "Assertion failure (PSGraphics, line 97)" when
// the source has more planes than the destination, a depth is not 8, a skip is negative or
// the map names a byte outside the destination's channels. Zero or negative sizes, zero
// source planes or a null buffer copy nothing. Destination bytes no offset names are kept.
void CopyPlanes(const PlaneLayout& Source, const PlaneLayout& Destination, int Columns, int Rows,
                ChannelMap Map);

// A host that did not serve what the module asked for: the callback is missing, it answered
// with an error or it left the buffer null.
VP_EXCEPTION(EHostDataError);
extern const char* const ImageNotServedMessage;  // "The host did not supply the image."
extern const char* const OutputNotServedMessage; // "The host did not supply a buffer for the result."

// Reads filterRect of the host image into a bitmap (AssignTo) and writes a bitmap into the
// host's output for filterRect (Assign). A TBitmap32 gets the host's plane k in byte k; a
// toolkit bitmap (IToolkitBitmapRows) gets blue, green, red order. Owns nothing.
class TPSFilterGraphic : public TPersistent {
public:
    VP_CLASS_NAME(TPSFilterGraphic)
    explicit TPSFilterGraphic(FilterRecord* Record) : FFilterRecord(Record) {}

    FilterRecord* Record() const { return FFilterRecord; }
    // The whole image's size (imageSize h and v), not filterRect's.
    int Width() const;
    int Height() const;

    // Requests the input for filterRect, copies it into Dest (a TBitmap32 or a toolkit
    // bitmap) and empties inRect again. A TBitmap32 gets every mode as RGB bytes
    // (image_modes.h); RGB itself, and any mode into a toolkit bitmap, are copied as they lie.
    // Images of more than four planes or of a mode ClassifyHostImage refuses, other
    // destinations and a missing filter record raise EConvertError "Cannot assign a
    // TPSFilterGraphic to a <Dest>"; a host that serves no input raises EHostDataError
    // (ImageNotServedMessage), leaving inRect set.
    void AssignTo(TPersistent* Dest) override;
    // Requests the output for filterRect, writes planes 0..2 of Source (a TBitmap32 or a
    // 32-bit toolkit bitmap) into it and empties outRect again. A source smaller than
    // filterRect raises EInvalidOperation before anything is requested from the host; a host
    // that serves no output buffer raises EHostDataError (OutputNotServedMessage).
    void Assign(TPersistent* Source) override;

private:
    FilterRecord* FFilterRecord;
};

// The message of a source bitmap too small for the filter rectangle.
extern const char* const SourceTooSmallMessage;
