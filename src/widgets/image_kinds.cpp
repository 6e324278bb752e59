#include "widgets/image_kinds.h"

#include "toolkit/formloader.h"
#include "widgets/ps_image32.h"

void RegisterImageKinds()
{
    using C = TPSCustomImage32;
    RegisterControlKind("TPSCustomImage32", "TCustomControl", nullptr)
        .Property<C>("Bitmap.StretchFilter",
                     [](C& c, const TFormProperty& p) {
                         c.Bitmap()->SetStretchFilter(static_cast<TStretchFilter>(
                             p.AsEnum({{"sfNearest", sfNearest}, {"sfDraft", sfDraft}, {"sfLinear", sfLinear},
                                       {"sfCosine", sfCosine}, {"sfSpline", sfSpline}, {"sfLanczos", sfLanczos},
                                       {"sfMitchell", sfMitchell}})));
                     })
        .Property<C>("BitmapAlign",
                     [](C& c, const TFormProperty& p) {
                         c.SetBitmapAlign(static_cast<TBitmapAlign>(p.AsEnum(
                             {{"baTopLeft", baTopLeft}, {"baCenter", baCenter}, {"baTile", baTile}, {"baCustom", baCustom}})));
                     })
        .Property<C>("ScaleMode",
                     [](C& c, const TFormProperty& p) {
                         c.SetScaleMode(static_cast<TScaleMode>(p.AsEnum(
                             {{"smNormal", smNormal}, {"smStretch", smStretch}, {"smScale", smScale}, {"smResize", smResize}})));
                     })
        .Property<C>("Scale", [](C& c, const TFormProperty& p) { c.SetScale(static_cast<float>(p.AsFloat())); })
        .Property<C>("AutoSize", [](C& c, const TFormProperty& p) { c.SetAutoSize(p.AsBool()); })
        .Event<C, TImgMouseEvent>("OnMouseDown", &C::OnMouseDown)
        .Event<C, TImgMouseMoveEvent>("OnMouseMove", &C::OnMouseMove)
        .Event<C, TImgMouseEvent>("OnMouseUp", &C::OnMouseUp)
        .Event<C, TPaintStageEvent>("OnPaintStage", &C::OnPaintStage)
        .Event<C, TNotifyEvent>("OnBitmapResize", &C::OnBitmapResize)
        .Event<C, TNotifyEvent>("OnChange", &C::OnChange)
        .Event<C, TNotifyEvent>("OnInitStages", &C::OnInitStages)
        .Event<C, TNotifyEvent>("OnGDIOverlay", &C::OnGDIOverlay);
    RegisterControlKind("TPSImage32", "TPSCustomImage32", [](TComponent* Owner) { return new TPSImage32(Owner); });
}
