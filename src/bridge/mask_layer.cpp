#include "bridge/mask_layer.h"

#include "bridge/selection_mask.h"
#include "widgets/ps_image32.h"

TMaskLayer::TMaskLayer(TLayerCollection* ACollection) : TBitmapLayer(ACollection)
{
    Bitmap()->SetDrawMode(dmBlend);
    Bitmap()->SetStretchFilter(sfLinear);
}

TMaskLayer* CreateMaskLayer(TPSCustomImage32& Image, TColor32 Fill)
{
    TMaskLayer* layer = Image.ImageLayers()->Add<TMaskLayer>();
    const TBitmap32& source = *Image.Bitmap();
    layer->SetArea(TFloatRect{0, 0, static_cast<float>(source.Width()), static_cast<float>(source.Height())});
    layer->SetBitmapRelative(true);
    // An exception from the host read leaves the layer in the collection, which frees it.
    ImportSelectionMask(*layer->Bitmap(), Fill);
    return layer;
}
