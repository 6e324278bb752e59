#include "bridge/selection_mask.h"

#include <cstddef>
#include <cstring>

#include "bridge/filter_graphic.h"
#include "bridge/mask_rows.h"
#include "host/host_context.h"

const char* const MaskNotServedMessage = "The host did not supply the selection mask.";

namespace {
// Empties maskRect however the read ends: no request may stay open behind the module.
struct MaskRequest {
    FilterRecord* Record;
    ~MaskRequest() { Record->maskRect = Rect16{0, 0, 0, 0}; }
};
} // namespace

namespace {
// Requests the host's mask over filterRect. When the host serves it, Size(width, height)
// runs once and then Row(y, bytes) for each row (width bytes each, of a row maskRowBytes
// long); returns whether it was served.
template <class SizeFn, class RowFn>
bool ServeSelectionRows(SizeFn&& Size, RowFn&& Row)
{
    FilterRecord* r = HostContext.FilterRecord;
    if (!r || !r->haveMask)
        return false;
    const int width = r->filterRect.right - r->filterRect.left;
    const int height = r->filterRect.bottom - r->filterRect.top;

    MaskRequest request{r};
    r->maskRect = r->filterRect;
    // The host said it has a selection: without the callback, after an error or with no
    // buffer nothing was served, and whatever maskData holds is stale.
    if (!r->advanceState || r->advanceState() != noErr || (!r->maskData && width > 0 && height > 0))
        throw EHostDataError(MaskNotServedMessage);
    if (!r->maskData)
        return false;
    if (!Size(width, height) || width <= 0 || height <= 0)
        return true;
    const auto* rows = static_cast<const std::uint8_t*>(r->maskData);
    for (int y = 0; y < height; ++y)
        Row(y, rows + static_cast<std::ptrdiff_t>(y) * r->maskRowBytes);
    return true;
}
} // namespace

void ReadSelectionMask(TByteMap& Map)
{
    ServeSelectionRows(
        [&](int Width, int Height) {
            Map.SetSize(Width, Height);
            return !Map.IsEmpty();
        },
        [&](int Y, const std::uint8_t* Bytes) {
            std::memcpy(Map.RowPointer(Y), Bytes, static_cast<std::size_t>(Map.Width()));
        });
}

void InvertByteMap(TByteMap& Map)
{
    for (std::uint8_t& v : Map.Bits())
        v = static_cast<std::uint8_t>(~v);
}

void BuildMaskBitmap(TBitmap32& Target, TByteMap& Map, TColor32 Fill)
{
    Target.SetSizeFrom(&Map);
    Target.Clear(Fill);
    Map.WriteToBitmap(&Target, ckAlpha);
}

void ImportSelectionMask(TBitmap32& Target, TColor32 Fill)
{
    // What ReadSelectionMask, InvertByteMap and BuildMaskBitmap leave, in one pass from the
    // host's rows: no byte map of the whole selection, and each pixel written once, never
    // read first (new storage is spared a read before its first write).
    const TColor32 colour = Fill & 0x00FFFFFFu;
    Target.BeginUpdate();
    try {
        const bool served = ServeSelectionRows(
            [&](int Width, int Height) {
                Target.SetSize(Width, Height);
                return !Target.IsEmpty();
            },
            [&, intoRow = MaskRowInto32()](int Y, const std::uint8_t* Bytes) {
                intoRow(Bytes, colour, Target.RowPointer(Y), Target.Width());
            });
        if (!served)
            Target.SetSize(0, 0); // no selection: the map would have stayed 0 x 0
    } catch (...) {
        Target.EndUpdate();
        Target.NotifyChange();
        throw;
    }
    Target.EndUpdate();
    Target.NotifyChange();
}
