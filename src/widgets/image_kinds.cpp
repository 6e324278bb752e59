#include "widgets/image_kinds.h"

#include "toolkit/formloader.h"
#include "widgets/img_view32.h"
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
        .Property<C>("Bitmap.DrawMode",
                     [](C& c, const TFormProperty& p) {
                         c.Bitmap()->SetDrawMode(static_cast<TDrawMode>(
                             p.AsEnum({{"dmOpaque", dmOpaque}, {"dmBlend", dmBlend}, {"dmCustom", dmCustom}})));
                     })
        .Property<C>("Bitmap.CombineMode",
                     [](C& c, const TFormProperty& p) {
                         c.Bitmap()->SetCombineMode(
                             static_cast<TCombineMode>(p.AsEnum({{"cmBlend", cmBlend}, {"cmMerge", cmMerge}})));
                     })
        .Property<C>("Bitmap.MasterAlpha",
                     [](C& c, const TFormProperty& p) { c.Bitmap()->SetMasterAlpha(static_cast<std::uint8_t>(p.AsInt())); })
        .Property<C>("Bitmap.OuterColor",
                     [](C& c, const TFormProperty& p) { c.Bitmap()->SetOuterColor(static_cast<TColor32>(p.AsInt())); })
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
    RegisterControlKind("TPSImage32", "TPSCustomImage32", [](TComponent* Owner) { return new TPSImage32(Owner); })
        .Publish({"Align", "Anchors", "AutoSize", "Bitmap", "BitmapAlign", "Color", "Constraints", "Cursor",
                  "DragCursor", "ParentColor", "ParentShowHint", "PopupMenu", "Scale", "ScaleMode", "ShowHint",
                  "TabOrder", "TabStop", "Visible", "OnBitmapResize", "OnCanResize", "OnClick", "OnChange",
                  "OnDblClick", "OnGDIOverlay", "OnDragDrop", "OnDragOver", "OnEndDrag", "OnInitStages", "OnKeyDown",
                  "OnKeyPress", "OnKeyUp", "OnMouseDown", "OnMouseMove", "OnMouseUp", "OnMouseWheel",
                  "OnMouseWheelDown", "OnMouseWheelUp", "OnPaintStage", "OnResize", "OnStartDrag"});

    using V = TPSCustomImgView32;
    auto style = [](const TFormProperty& p) {
        return static_cast<TRBStyle>(p.AsEnum({{"rbsDefault", rbsDefault}, {"rbsMac", rbsMac}}));
    };
    RegisterControlKind("TPSCustomImgView32", "TPSCustomImage32", nullptr)
        .Property<V>("Centered", [](V& v, const TFormProperty& p) { v.SetCentered(p.AsBool()); })
        .Property<V>("SizeGrip",
                     [](V& v, const TFormProperty& p) {
                         v.SetSizeGrip(static_cast<TSizeGripStyle>(
                             p.AsEnum({{"sgAuto", sgAuto}, {"sgNone", sgNone}, {"sgAlways", sgAlways}})));
                     })
        .Property<V>("ScrollBars.Backgnd",
                     [](V& v, const TFormProperty& p) {
                         v.ScrollBars()->SetBackgnd(
                             static_cast<TRBBackgnd>(p.AsEnum({{"bgPattern", bgPattern}, {"bgSolid", bgSolid}})));
                     })
        .Property<V>("ScrollBars.ButtonSize", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetButtonSize(p.AsCoordinate()); })
        .Property<V>("ScrollBars.Color", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetColor(p.AsColor()); })
        .Property<V>("ScrollBars.HandleColor", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetHandleColor(p.AsColor()); })
        .Property<V>("ScrollBars.ButtonColor", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetButtonColor(p.AsColor()); })
        .Property<V>("ScrollBars.HighLightColor",
                     [](V& v, const TFormProperty& p) { v.ScrollBars()->SetHighLightColor(p.AsColor()); })
        .Property<V>("ScrollBars.ShadowColor", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetShadowColor(p.AsColor()); })
        .Property<V>("ScrollBars.BorderColor", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetBorderColor(p.AsColor()); })
        .Property<V>("ScrollBars.ShowArrows", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetShowArrows(p.AsBool()); })
        .Property<V>("ScrollBars.ShowHandleGrip",
                     [](V& v, const TFormProperty& p) { v.ScrollBars()->SetShowHandleGrip(p.AsBool()); })
        .Property<V>("ScrollBars.Style", [style](V& v, const TFormProperty& p) { v.ScrollBars()->SetStyle(style(p)); })
        .Property<V>("ScrollBars.Size", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetSize(p.AsCoordinate()); })
        .Property<V>("ScrollBars.Increment", [](V& v, const TFormProperty& p) { v.ScrollBars()->SetIncrement(p.AsInt()); })
        .Event<V, TNotifyEvent>("OnScroll", &V::OnScroll);
    // ScaleMode and BitmapAlign are the view's own business: not published.
    RegisterControlKind("TPSImgView32", "TPSCustomImgView32", [](TComponent* Owner) { return new TPSImgView32(Owner); })
        .Publish({"Align", "Anchors", "AutoSize", "Bitmap", "Centered", "Color", "Constraints", "Cursor", "DragCursor",
                  "ParentColor", "ParentShowHint", "PopupMenu", "Scale", "ScrollBars", "ShowHint", "SizeGrip",
                  "TabOrder", "TabStop", "Visible", "OnBitmapResize", "OnCanResize", "OnClick", "OnChange",
                  "OnDblClick", "OnDragDrop", "OnDragOver", "OnEndDrag", "OnGDIOverlay", "OnInitStages", "OnKeyDown",
                  "OnKeyPress", "OnKeyUp", "OnMouseDown", "OnMouseEnter", "OnMouseLeave", "OnMouseMove", "OnMouseUp",
                  "OnMouseWheel", "OnMouseWheelDown", "OnMouseWheelUp", "OnPaintStage", "OnResize", "OnScroll",
                  "OnStartDrag"});
}
