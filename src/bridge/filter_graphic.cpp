#include "bridge/filter_graphic.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bridge/image_modes.h"
#include "bridge/plane_copy.h"
#include "toolkit/pixel_rows.h"

const char* const SourceTooSmallMessage = "Source bitmap is smaller than the filter rectangle";
const char* const ImageNotServedMessage = "The host did not supply the image.";
const char* const OutputNotServedMessage = "The host did not supply a buffer for the result.";

namespace {

constexpr Rect16 EmptyRect{0, 0, 0, 0};

[[noreturn]] void FailAt(int Line) { throw EAssertionFailed("Assertion failure", "PSGraphics", Line); }

// Asks the host for the rectangles just set and insists on what it must deliver: a host
// without the callback, one that answers with an error or one that leaves the buffer null
// has served nothing, and reading on would pass a blank image off as the host's.
// Buffer reads the served buffer's address after the request (the record is packed, so its
// fields are read by name, not through a member pointer).
template <class BufferOf>
void Request(FilterRecord* Record, BufferOf Buffer, bool Needed, const char* Message)
{
    if (!Record->advanceState || Record->advanceState() != noErr || (Needed && !Buffer()))
        throw EHostDataError(Message);
}

PlaneLayout InputLayout(const FilterRecord* R)
{
    return PlaneLayout{static_cast<std::uint8_t*>(R->inData), R->inPreDummyPlanes, R->planes,
                       R->inPostDummyPlanes, R->inRowBytes, R->depth};
}

PlaneLayout OutputLayout(const FilterRecord* R)
{
    return PlaneLayout{static_cast<std::uint8_t*>(R->outData), R->outPreDummyPlanes, R->planes,
                       R->outPostDummyPlanes, R->outRowBytes, R->depth};
}

// Row distance of a toolkit bitmap; with fewer than two rows it is never used.
std::int32_t ToolkitRowBytes(IToolkitBitmapRows& Bitmap, int Rows)
{
    if (Rows < 2)
        return 0;
    return static_cast<std::int32_t>(Bitmap.RowAddress(1) - Bitmap.RowAddress(0));
}

int RectWidth(const Rect16& R) { return R.right - R.left; }
int RectHeight(const Rect16& R) { return R.bottom - R.top; }

} // namespace

int IdentityChannelMap(int k) { return k; }

int SwapRedBlueChannelMap(int k)
{
    static constexpr std::array<int, 4> Table{2, 1, 0, 3};
    return k >= 0 && k < static_cast<int>(Table.size()) ? Table[static_cast<std::size_t>(k)] : k;
}

namespace {
// CopyPlanes, told whether the destination is new, zero-filled storage (see plane_copy.h).
void CopyPlanesInto(const PlaneLayout& Source, const PlaneLayout& Destination, int Columns, int Rows, ChannelMap Map,
                    bool DestinationCleared)
{
    if (Source.Planes > Destination.Planes || Source.Depth != 8 || Destination.Depth != 8)
        FailAt(97);
    // Negative skips would walk backwards out of the host's rows.
    if (Source.PreSkip < 0 || Source.PostSkip < 0 || Destination.PreSkip < 0 || Destination.PostSkip < 0)
        FailAt(97);
    if (!Map)
        Map = IdentityChannelMap;

    const int channels = std::max(0, Source.Planes);
    std::vector<int> offset(static_cast<std::size_t>(channels));
    for (int k = 0; k < channels; ++k) {
        offset[static_cast<std::size_t>(k)] = Map(k);
        // An offset past the destination's channel bytes would land in the next pixel.
        if (offset[static_cast<std::size_t>(k)] < 0 || offset[static_cast<std::size_t>(k)] >= Destination.Planes)
            FailAt(97);
    }
    if (Columns <= 0 || Rows <= 0 || channels == 0 || !Source.Data || !Destination.Data)
        return;

    // Into 32-bit bitmap pixels with every channel in its own byte (the host read): whole
    // rows at a time.
    const bool identity = [&] {
        for (int k = 0; k < channels; ++k)
            if (offset[static_cast<std::size_t>(k)] != k)
                return false;
        return true;
    }();
    if (identity && Destination.PreSkip == 0 && Destination.Planes == 4 && Destination.PostSkip == 0 &&
        channels <= 4) {
        const TRowInto32 row = RowInto32();
        const int stride = Source.PreSkip + Source.Planes + Source.PostSkip;
        for (int r = 0; r < Rows; ++r)
            row(Source.Data + static_cast<std::ptrdiff_t>(r) * Source.RowBytes + Source.PreSkip, stride, channels,
                Destination.Data + static_cast<std::ptrdiff_t>(r) * Destination.RowBytes, Columns,
                DestinationCleared);
        return;
    }

    const std::ptrdiff_t srcTail = static_cast<std::ptrdiff_t>(Source.Planes) + Source.PostSkip;
    const std::ptrdiff_t dstTail = static_cast<std::ptrdiff_t>(Destination.Planes) + Destination.PostSkip;
    const int* off = offset.data();
    for (int r = 0; r < Rows; ++r) {
        const std::uint8_t* s = Source.Data + static_cast<std::ptrdiff_t>(r) * Source.RowBytes;
        std::uint8_t* d = Destination.Data + static_cast<std::ptrdiff_t>(r) * Destination.RowBytes;
        for (int c = 0; c < Columns; ++c) {
            s += Source.PreSkip;
            d += Destination.PreSkip;
            for (int k = 0; k < channels; ++k)
                d[off[k]] = s[k];
            s += srcTail;
            d += dstTail;
        }
    }
}

// The host read of a mode other than RGB: each row converted to RGB bytes as it is copied, so
// that nothing downstream ever sees the document's own planes.
void ConvertPlanesInto(const PlaneLayout& Source, std::uint8_t* Destination, int DestinationRowBytes, int Columns,
                       int Rows, const THostImageKind& Kind)
{
    if (Source.Depth != 8 || Source.PreSkip < 0 || Source.PostSkip < 0)
        FailAt(97);
    if (Columns <= 0 || Rows <= 0 || !Source.Data || !Destination)
        return;
    const int stride = Source.PreSkip + Source.Planes + Source.PostSkip;
    for (int r = 0; r < Rows; ++r)
        ConvertRowToRGB(Kind, Source.Data + static_cast<std::ptrdiff_t>(r) * Source.RowBytes + Source.PreSkip, stride,
                        Destination + static_cast<std::ptrdiff_t>(r) * DestinationRowBytes, Columns);
}

} // namespace

void CopyPlanes(const PlaneLayout& Source, const PlaneLayout& Destination, int Columns, int Rows,
                ChannelMap Map)
{
    CopyPlanesInto(Source, Destination, Columns, Rows, Map, false);
}

int TPSFilterGraphic::Width() const { return FFilterRecord ? FFilterRecord->imageSize.h : 0; }
int TPSFilterGraphic::Height() const { return FFilterRecord ? FFilterRecord->imageSize.v : 0; }

void TPSFilterGraphic::AssignTo(TPersistent* Dest)
{
    if (!Dest)
        throw EConvertError(std::string("Cannot assign a ") + ClassName() + " to a nil");
    FilterRecord* r = FFilterRecord;
    if (!r)
        return TPersistent::AssignTo(Dest);

    r->outRect = EmptyRect;
    r->inRect = r->filterRect;
    r->inLoPlane = 0;
    r->inHiPlane = static_cast<std::int16_t>(r->planes - 1);
    r->depth = 8;
    const int columns = RectWidth(r->inRect);
    const int rows = RectHeight(r->inRect);
    // A mode whose planes say no colour the module can read is never copied as if it were RGB.
    const THostImageKind kind = ClassifyHostImage(*r);
    const std::int16_t planes = r->planes;
    if (planes > 4 || kind.Conversion == TPlaneConversion::Refused)
        return TPersistent::AssignTo(Dest);

    if (auto* bitmap = dynamic_cast<TBitmap32*>(Dest)) {
        // A new size is new storage, and new storage is zero-filled.
        const bool cleared = bitmap->SetSize(columns, rows);
        const PlaneLayout into{reinterpret_cast<std::uint8_t*>(bitmap->Bits()), 0, 4, 0,
                               bitmap->Width() * 4, 8};
        Request(r, [r] { return r->inData; }, columns > 0 && rows > 0, ImageNotServedMessage);
        const int w = std::min(columns, bitmap->Width()), h = std::min(rows, bitmap->Height());
        if (kind.Conversion == TPlaneConversion::RGB) {
            CopyPlanesInto(InputLayout(r), into, w, h, IdentityChannelMap, cleared);
        } else {
            // The conversion reads the planes it was chosen for, not what the host says now.
            if (r->planes != planes)
                FailAt(97);
            ConvertPlanesInto(InputLayout(r), into.Data, into.RowBytes, w, h, kind);
        }
    } else if (auto* rowsOf = dynamic_cast<IToolkitBitmapRows*>(Dest)) {
        rowsOf->SetPixelFormatBits(32);
        rowsOf->SetWidth(std::max(0, columns));
        rowsOf->SetHeight(std::max(0, rows));
        const int w = std::min(columns, rowsOf->Width());
        const int h = std::min(rows, rowsOf->Height());
        PlaneLayout into{nullptr, 0, 4, 0, 0, 8};
        if (w > 0 && h > 0) {
            into.Data = rowsOf->RowAddress(0);
            into.RowBytes = ToolkitRowBytes(*rowsOf, h);
        }
        Request(r, [r] { return r->inData; }, columns > 0 && rows > 0, ImageNotServedMessage);
        CopyPlanes(InputLayout(r), into, w, h, SwapRedBlueChannelMap);
    } else {
        return TPersistent::AssignTo(Dest);
    }
    r->inRect = EmptyRect;
}

void TPSFilterGraphic::Assign(TPersistent* Source)
{
    FilterRecord* r = FFilterRecord;
    auto* bitmap = dynamic_cast<TBitmap32*>(Source);
    auto* rowsOf = dynamic_cast<IToolkitBitmapRows*>(Source);
    if (!r || (!bitmap && !rowsOf))
        return TPersistent::Assign(Source);

    r->inRect = EmptyRect;
    r->outRect = r->filterRect;
    r->outLoPlane = 0;
    r->outHiPlane = static_cast<std::int16_t>(r->planes - 1);
    r->depth = 8;
    const int columns = RectWidth(r->outRect);
    const int rows = RectHeight(r->outRect);

    int sourceWidth, sourceHeight;
    if (bitmap) {
        sourceWidth = bitmap->Width();
        sourceHeight = bitmap->Height();
    } else {
        if (rowsOf->PixelFormatBits() != 32)
            FailAt(227);
        sourceWidth = rowsOf->Width();
        sourceHeight = rowsOf->Height();
    }
    // Reading past a smaller source would send foreign memory into the host's image.
    const bool anything = columns > 0 && rows > 0;
    if (anything && (sourceWidth < columns || sourceHeight < rows))
        throw EInvalidOperation(SourceTooSmallMessage);

    // Only three channels travel back; a fourth plane keeps what the host's buffer held.
    PlaneLayout from{nullptr, 0, 3, 1, 0, 8};
    if (anything) {
        if (bitmap) {
            from.Data = reinterpret_cast<std::uint8_t*>(bitmap->Bits());
            from.RowBytes = sourceWidth * 4;
        } else {
            from.Data = rowsOf->RowAddress(0);
            from.RowBytes = ToolkitRowBytes(*rowsOf, rows);
        }
    }
    Request(r, [r] { return r->outData; }, anything, OutputNotServedMessage);
    CopyPlanes(from, OutputLayout(r), columns, rows, bitmap ? IdentityChannelMap : SwapRedBlueChannelMap);
    r->outRect = EmptyRect;
}
