// The layer both dialogs lay over their preview: the unselected parts of the host image
// covered by an opaque colour, the selection left clear.
#pragma once
#include "bitmap/color32.h"
#include "widgets/layers.h"

class TPSCustomImage32;

class TMaskLayer : public TBitmapLayer {
public:
    VP_LAYER_CLASS(TMaskLayer)
    // Blends over the image and follows its zoom with linear filtering.
    explicit TMaskLayer(TLayerCollection* ACollection);
};

// Builds the mask layer of the running call over Image: placed on the image's bitmap
// (bitmap-relative, so it zooms and scrolls with it), its bitmap the inverted selection as
// alpha over Fill. The layer belongs to Image's layer collection. Without a selection its
// bitmap is 0 x 0 and it draws nothing. Call it after the image has been read, so the
// layer's area matches the final bitmap size.
TMaskLayer* CreateMaskLayer(TPSCustomImage32& Image, TColor32 Fill);
