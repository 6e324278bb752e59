// The host's selection mask: reading it into a byte map, inverting it, and turning it into
// the bitmap a mask layer shows over the image.
#pragma once
#include "bitmap/bitmap32.h"
#include "bitmap/byte_map.h"

extern const char* const MaskNotServedMessage; // "The host did not supply the selection mask."

// Fills Map with the host's mask over filterRect (255 fully selected, 0 not selected),
// through the filter record of HostContext. With no selection or no record the map is left
// as it was. A host that has a selection but serves no mask (no callback, an error, a null
// buffer over a non-empty rectangle) raises EHostDataError (MaskNotServedMessage). maskRect
// is empty again afterwards, also after a failure.
void ReadSelectionMask(TByteMap& Map);

// Replaces every byte v by 255 - v; an empty map is left alone.
void InvertByteMap(TByteMap& Map);

// Sizes Target to Map, fills it with Fill and puts the map into the alpha byte of every pixel.
void BuildMaskBitmap(TBitmap32& Target, TByteMap& Map, TColor32 Fill);

// The mask layer's bitmap for the running call: the inverted selection as alpha over Fill,
// so unselected pixels are opaque Fill and selected ones transparent. 0 x 0 without a
// selection.
void ImportSelectionMask(TBitmap32& Target, TColor32 Fill);
