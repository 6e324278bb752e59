#include "filters/line_form.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "bitmap/low_level.h"
#include "bridge/filter_graphic.h"
#include "bridge/mask_layer.h"
#include "filters/ps_rgb_panel.h"
#include "host/host_context.h"
#include "widgets/image_kinds.h"
#include "widgets/range_bars.h"

#ifndef _WIN32
#include "forms/line_form_text.h"
#include "toolkit/resources.h"
#endif

const char* const LineFormResourceName = "TLINEFORM";

TScaleMode LineScaleModeFor(int Item)
{
    switch (Item) {
    case 1: return smResize;
    case 2: return smStretch;
    default: return smScale;
    }
}

TStretchFilter LineStretchFilterFor(bool Interpolated) { return Interpolated ? sfSpline : sfNearest; }

int ScaleBarPositionFor(float Scale)
{
    const double percent = static_cast<double>(Scale) * 100.0;
    // The block lives in host memory; whatever it holds must not make the conversion undefined.
    if (!(percent >= std::numeric_limits<int>::min() && percent <= std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(std::nearbyint(percent));
}

TLineForm::TLineForm(TComponent* AOwner) : TForm(AOwner)
{
    RegisterImageKinds();
    RegisterGaugeBarKind();
    RegisterRGBPanelKind();
#ifndef _WIN32
    // Without platform resources the stored form is compiled in.
    std::string present;
    if (!FindCompiledResource(LineFormResourceName, present))
        RegisterCompiledResource(LineFormResourceName, line_form_text);
#endif

    RegisterField("Image", Image);
    RegisterField("Panel1", Panel1);
    RegisterField("Panel8", Panel8);
    RegisterField("Panel3", Panel3);
    RegisterField("Label1", Label1);
    RegisterField("barSaturation", barSaturation);
    RegisterField("Label4", Label4);
    RegisterField("barOpacity", barOpacity);
    RegisterField("Panel2", Panel2);
    RegisterField("RGBPanel", RGBPanel);
    RegisterField("chkAntialias", chkAntialias);
    RegisterField("Panel4", Panel4);
    RegisterField("Panel5", Panel5);
    RegisterField("Label2", Label2);
    RegisterField("cmbMode", cmbMode);
    RegisterField("Label3", Label3);
    RegisterField("barScale", barScale);
    RegisterField("chkInterpolated", chkInterpolated);
    RegisterField("chkDisplayMask", chkDisplayMask);
    RegisterField("Panel6", Panel6);
    RegisterField("Button2", Button2);
    RegisterField("Button1", Button1);

    auto notify = [this](void (TLineForm::*Handler)(TObject*)) {
        return TNotifyEvent([this, Handler](TObject* Sender) { (this->*Handler)(Sender); });
    };
    RegisterHandler("FormCreate", notify(&TLineForm::FormCreate));
    RegisterHandler("FormDestroy", notify(&TLineForm::FormDestroy));
    RegisterHandler("Button1Click", notify(&TLineForm::Button1Click));
    RegisterHandler("Button2Click", notify(&TLineForm::Button2Click));
    RegisterHandler("barOpacityChange", notify(&TLineForm::barOpacityChange));
    RegisterHandler("barSaturationChange", notify(&TLineForm::barSaturationChange));
    RegisterHandler("chkAntialiasClick", notify(&TLineForm::chkAntialiasClick));
    RegisterHandler("chkInterpolatedCick", notify(&TLineForm::chkInterpolatedCick));
    RegisterHandler("cmbModeChange", notify(&TLineForm::cmbModeChange));
    RegisterHandler("LayerOpacityChange", notify(&TLineForm::LayerOpacityChange));
    RegisterHandler("chkDisplayMaskClick", notify(&TLineForm::chkDisplayMaskClick));
    RegisterHandler("RGBPanel1MouseDown",
                    TMouseEvent([this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
                        RGBPanel1MouseDown(S, B, Sh, X, Y);
                    }));
    RegisterHandlerOf<TImgMouseEvent>(
        "ImageMouseDown", [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y, TCustomLayer* L) {
            ImageMouseDown(S, B, Sh, X, Y, L);
        });
    RegisterHandlerOf<TImgMouseMoveEvent>(
        "ImageMouseMove",
        [this](TObject* S, TShiftState Sh, int X, int Y, TCustomLayer* L) { ImageMouseMove(S, Sh, X, Y, L); });
    RegisterHandlerOf<TImgMouseEvent>(
        "ImageMouseUp", [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y, TCustomLayer* L) {
            ImageMouseUp(S, B, Sh, X, Y, L);
        });

    LoadFromResource(LineFormResourceName);
}

TLineForm::~TLineForm()
{
    // FormDestroy frees it; this covers a destroy handler that never ran.
    delete FFilterGraphic;
    FFilterGraphic = nullptr;
}

void TLineForm::FormCreate(TObject*)
{
    FFilterGraphic = new TPSFilterGraphic(HostContext.FilterRecord);
    TBitmap32* preview = Image->Bitmap();
    preview->Assign(FFilterGraphic);
    FMaskLayer = CreateMaskLayer(*Image, ColorFromSystem(Image->Color()));
    FParameters = CurrentParameterBlock ? LineParametersOf(CurrentParameterBlock) : nullptr;
    if (!FParameters)
        return;
    LineParameters& p = *FParameters;

    Image->SetScale(p.Scale());
    Image->SetScaleMode(LineScaleModeFor(p.ScaleMode));
    preview->SetStretchFilter(LineStretchFilterFor(p.Interpolated != 0));
    preview->PenColor = p.DrawColor();

    // Each bar runs its change handler only when the stored value moves it, so these steps
    // write back into the block only where it differs from the stored form.
    RGBPanel->SetSaturation(p.Saturation);
    barSaturation->SetPosition(p.Saturation);
    barScale->SetPosition(ScaleBarPositionFor(p.Scale()));
    barOpacity->SetPosition(static_cast<int>(p.DrawColor() >> 24));

    chkAntialias->SetChecked(p.Antialiased != 0);
    chkInterpolated->SetChecked(p.Interpolated != 0);
    cmbMode->SetItemIndex(p.ScaleMode);
}

void TLineForm::FormDestroy(TObject*)
{
    delete FFilterGraphic;
    FFilterGraphic = nullptr;
    if (FParameters)
        FParameters->SetDrawColor(Image->Bitmap()->PenColor);
}

void TLineForm::Button1Click(TObject*)
{
    // Without a filter graphic there is no host image to write into; the dialog stays open.
    if (!FFilterGraphic)
        return;
    // A host that serves no output buffer raises here: the toolkit shows the error and the
    // dialog stays open, as nothing was written.
    FFilterGraphic->Assign(Image->Bitmap());
    SetModalResult(mrOk);
}

void TLineForm::Button2Click(TObject*) { SetModalResult(mrCancel); }

void TLineForm::RGBPanel1MouseDown(TObject*, TMouseButton, TShiftState, int X, int Y)
{
    const TBitmap32* buffer = RGBPanel->Buffer();
    const TPoint o = RGBPanel->BufferOrigin();
    const int x = X - o.X, y = Y - o.Y;
    // The press lies on the panel, but its buffer may be smaller before the first paint.
    if (x < 0 || y < 0 || x >= buffer->Width() || y >= buffer->Height())
        return;
    const TColor32 picked = *buffer->PixelPointer(x, y);
    Image->Bitmap()->PenColor =
        (picked & 0x00FFFFFFu) | (static_cast<TColor32>(barOpacity->Position() & 0xFF) << 24);
}

void TLineForm::barOpacityChange(TObject*)
{
    TBitmap32* preview = Image->Bitmap();
    preview->PenColor = WithAlpha(preview->PenColor, barOpacity->Position());
}

void TLineForm::barSaturationChange(TObject*)
{
    RGBPanel->SetSaturation(barSaturation->Position());
    if (FParameters)
        FParameters->Saturation = static_cast<std::uint8_t>(barSaturation->Position() & 0xFF);
}

void TLineForm::chkAntialiasClick(TObject*)
{
    if (FParameters)
        FParameters->Antialiased = chkAntialias->Checked() ? 1 : 0;
}

void TLineForm::chkInterpolatedCick(TObject*)
{
    Image->SetDoubleBuffered(true);
    Image->Bitmap()->SetStretchFilter(LineStretchFilterFor(chkInterpolated->Checked()));
    if (FParameters)
        FParameters->Interpolated = chkInterpolated->Checked() ? 1 : 0;
    Image->Invalidate();
}

void TLineForm::cmbModeChange(TObject*)
{
    const int item = cmbMode->ItemIndex();
    if (item < 0)
        return;
    Image->SetScaleMode(LineScaleModeFor(item));
    if (FParameters)
        FParameters->ScaleMode = static_cast<std::uint8_t>(item);
}

void TLineForm::LayerOpacityChange(TObject*)
{
    Image->SetDoubleBuffered(true);
    const float s = static_cast<float>(barScale->Position()) / 100.0f;
    Image->SetScale(s);
    if (FParameters)
        FParameters->SetScale(s);
}

void TLineForm::chkDisplayMaskClick(TObject*)
{
    if (FMaskLayer)
        FMaskLayer->SetVisible(chkDisplayMask->Checked());
    Image->Invalidate();
}

void TLineForm::DrawTo(int X, int Y)
{
    const TPoint p = Image->PointToBitmap(TPoint{X, Y});
    TBitmap32* preview = Image->Bitmap();
    const TPoint from = preview->PenPos;
    const bool smooth = FParameters ? FParameters->Antialiased != 0 : chkAntialias->Checked();
    if (smooth)
        preview->LineToSmooth(p.X, p.Y);
    else
        preview->LineToBlended(p.X, p.Y);
    if (from == p)
        return; // nothing was drawn
    // The image control does not watch its bitmap: the segment's pixels (with the smooth
    // line's neighbours one pixel across it) are shown again at once. Wide arithmetic: the
    // points may lie anywhere.
    auto lo = [](int a, int b) { return static_cast<int>(std::max<std::int64_t>(std::min(a, b) - 1LL, INT_MIN)); };
    auto hi = [](int a, int b) { return static_cast<int>(std::min<std::int64_t>(std::max(a, b) + 2LL, INT_MAX)); };
    Image->BitmapAreaChanged(TRect{lo(from.X, p.X), lo(from.Y, p.Y), hi(from.X, p.X), hi(from.Y, p.Y)});
}

void TLineForm::ImageMouseDown(TObject*, TMouseButton, TShiftState, int X, int Y, TCustomLayer*)
{
    Image->SetMouseCapture(true);
    const TPoint p = Image->PointToBitmap(TPoint{X, Y});
    Image->Bitmap()->MovePenTo(p.X, p.Y);
    FDrawing = true;
}

void TLineForm::ImageMouseMove(TObject*, TShiftState, int X, int Y, TCustomLayer*)
{
    Image->SetDoubleBuffered(false);
    if (!Image->MouseCapture())
        return;
    DrawTo(X, Y);
}

void TLineForm::ImageMouseUp(TObject*, TMouseButton, TShiftState, int X, int Y, TCustomLayer*)
{
    // The image control lets go of a left-button capture before this runs, so the press
    // is remembered here: a release without a press on the preview draws nothing.
    if (!FDrawing)
        return;
    FDrawing = false;
    DrawTo(X, Y);
    if (Image->MouseCapture())
        Image->SetMouseCapture(false);
}
