#include "bridge/selection_mask.h"

#include <cstring>

#include "bridge/filter_graphic.h"
#include "host/host_context.h"

const char* const MaskNotServedMessage = "The host did not supply the selection mask.";

namespace {
// Empties maskRect however the read ends: no request may stay open behind the module.
struct MaskRequest {
    FilterRecord* Record;
    ~MaskRequest() { Record->maskRect = Rect16{0, 0, 0, 0}; }
};
} // namespace

void ReadSelectionMask(TByteMap& Map)
{
    FilterRecord* r = HostContext.FilterRecord;
    if (!r || !r->haveMask)
        return;
    const int width = r->filterRect.right - r->filterRect.left;
    const int height = r->filterRect.bottom - r->filterRect.top;

    MaskRequest request{r};
    r->maskRect = r->filterRect;
    // The host said it has a selection: without the callback, after an error or with no
    // buffer nothing was served, and whatever maskData holds is stale.
    if (!r->advanceState || r->advanceState() != noErr || (!r->maskData && width > 0 && height > 0))
        throw EHostDataError(MaskNotServedMessage);
    if (!r->maskData)
        return;
    Map.SetSize(width, height);
    if (Map.IsEmpty() || width <= 0 || height <= 0)
        return;
    const auto* rows = static_cast<const std::uint8_t*>(r->maskData);
    for (int y = 0; y < height; ++y)
        std::memcpy(Map.RowPointer(y), rows + static_cast<std::ptrdiff_t>(y) * r->maskRowBytes,
                    static_cast<std::size_t>(width));
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
    TByteMap map;
    ReadSelectionMask(map);
    InvertByteMap(map);
    BuildMaskBitmap(Target, map, Fill);
}
