#include "widgets/img_view32.h"

#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/platform.h"

// ---------------------------------------------------------------- TIVScrollProperties

TIVScrollProperties::TIVScrollProperties(TPSCustomImgView32& View) : FView(View)
{
    SetMaster(View.HorzBar());
    SetSlave(View.VertBar());
}

int TIVScrollProperties::Increment() const { return FView.HorzBar()->Increment(); }

void TIVScrollProperties::SetIncrement(int Value)
{
    FView.HorzBar()->SetIncrement(Value);
    FView.VertBar()->SetIncrement(Value);
}

int TIVScrollProperties::Size() const { return FView.BarThickness(); }

void TIVScrollProperties::SetSize(int Value)
{
    FView.SetBarThickness(Value);
    FView.LayoutBars();
}

// ---------------------------------------------------------------- TPSCustomImgView32

TPSCustomImgView32::TPSCustomImgView32(TComponent* AOwner) : TPSCustomImage32(AOwner)
{
    auto makeBar = [this](TScrollBarKind Kind) {
        auto* b = new TCustomRangeBar(this);
        b->SetBorderStyle(bsNone);
        b->SetKind(Kind);
        b->SetCentered(true);
        b->OnUserChange = [this](TObject* Sender) { BarScrolled(Sender); };
        b->SetParent(this);
        return b;
    };
    FHorzBar = makeBar(sbHorizontal);
    FVertBar = makeBar(sbVertical);
    FCentered = true;
    SetScaleMode(smScale);
    SetBitmapAlign(baCustom);
    FScrollBars = new TIVScrollProperties(*this);
    LayoutBars();
}

TPSCustomImgView32::~TPSCustomImgView32()
{
    delete FScrollBars;
    FScrollBars = nullptr;
}

int TPSCustomImgView32::Thickness() const
{
    // BarThickness is a length on a 96-dpi screen; the system's bars are as thick as its
    // metric at the form's density.
    return FBarThickness > 0 ? Scaled(FBarThickness) : plat::HorzScrollBarHeightForDpi(Dpi());
}

TRect TPSCustomImgView32::ViewportRect()
{
    int s = Thickness();
    return TRect{0, 0, Width() - s, Height() - s};
}

TRect TPSCustomImgView32::GripRect() const
{
    int s = Thickness();
    int w = ClientWidth(), h = ClientHeight();
    return TRect{w - s, h - s, w, h};
}

void TPSCustomImgView32::LayoutBars()
{
    if (!FHorzBar || !FVertBar)
        return;
    TRect vp = ViewportRect();
    FHorzBar->SetBounds(vp.Left, vp.Bottom, vp.Right - vp.Left, Height() - vp.Bottom);
    FVertBar->SetBounds(vp.Right, vp.Top, Width() - vp.Right, vp.Bottom - vp.Top);
    FHorzBar->Repaint();
    FVertBar->Repaint();
}

void TPSCustomImgView32::SyncRanges()
{
    TSize e = BitmapExtent();
    FHorzBar->SetRange(e.cx);
    FVertBar->SetRange(e.cy);
}

void TPSCustomImgView32::SyncOffsets()
{
    TSize e = BitmapExtent();
    TRect vp = ViewportRect();
    int vw = vp.Right - vp.Left, vh = vp.Bottom - vp.Top;
    BeginUpdate();
    if (FCentered) {
        SetOffsetX(vw > e.cx ? (vw - e.cx) / 2.0f : -FHorzBar->Position());
        SetOffsetY(vh > e.cy ? (vh - e.cy) / 2.0f : -FVertBar->Position());
    } else {
        SetOffsetX(-FHorzBar->Position());
        SetOffsetY(-FVertBar->Position());
    }
    DropCache();
    EndUpdate();
    Changed();
}

void TPSCustomImgView32::CenterOn(int X, int Y)
{
    FCentering = true;
    try {
        LayoutBars();
        TRect vp = ViewportRect();
        FHorzBar->SetPosition(static_cast<float>(X * static_cast<double>(Scale()) - (vp.Right - vp.Left) / 2.0));
        FVertBar->SetPosition(static_cast<float>(Y * static_cast<double>(Scale()) - (vp.Bottom - vp.Top) / 2.0));
    } catch (...) {
        FCentering = false;
        throw;
    }
    FCentering = false;
    SyncOffsets();
}

void TPSCustomImgView32::SetCentered(bool Value)
{
    DropCache();
    FCentered = Value;
    FHorzBar->SetCentered(Value);
    FVertBar->SetCentered(Value);
    SyncRanges();
    SyncOffsets();
    if (Value)
        CenterOn(Bitmap()->Width() / 2, Bitmap()->Height() / 2);
    else
        CenterOn(0, 0);
}

void TPSCustomImgView32::SetScrollBars(TPersistent* Value) { FScrollBars->Assign(Value); }

void TPSCustomImgView32::SetSizeGrip(TSizeGripStyle Value)
{
    if (Value == FSizeGrip)
        return;
    FSizeGrip = Value;
    Invalidate();
}

bool TPSCustomImgView32::GripShown() const
{
    switch (FSizeGrip) {
    case sgNone: return false;
    case sgAlways: return true;
    default: break;
    }
    if (Align() != alClient)
        return false;
    for (const TWinControl* p = Parent(); ; p = p->Parent()) {
        if (!p)
            return false;
        if (dynamic_cast<const TForm*>(p))
            return true;
        if (p->Align() != alClient)
            return false;
    }
}

void TPSCustomImgView32::DoScroll()
{
    if (OnScroll)
        OnScroll(this);
}

void TPSCustomImgView32::BarScrolled(TObject* Sender)
{
    if (FCentering)
        return;
    if (Sender == FHorzBar || Sender == FVertBar)
        static_cast<TCustomRangeBar*>(Sender)->Repaint();
    SyncOffsets();
    DoScroll();
    Repaint();
}

void TPSCustomImgView32::BitmapResized()
{
    TPSCustomImage32::BitmapResized();
    if (!FHorzBar)
        return; // still constructing
    SyncRanges();
    if (FCentered) {
        CenterOn(Bitmap()->Width() / 2, Bitmap()->Height() / 2);
    } else {
        FHorzBar->SetPosition(0);
        FVertBar->SetPosition(0);
        SyncOffsets();
    }
}

void TPSCustomImgView32::ScaleChanged()
{
    if (!FHorzBar)
        return;
    DropCache();
    SyncRanges();
    SyncOffsets();
    Invalidate();
}

void TPSCustomImgView32::RefitBars()
{
    if (!FHorzBar)
        return;
    LayoutBars();
    // The rest is what a new scale needs, this class's own part of it.
    TPSCustomImgView32::ScaleChanged();
}

void TPSCustomImgView32::Resize()
{
    RefitBars();
    TPSCustomImage32::Resize();
}

void TPSCustomImgView32::DpiChanged(int OldDpi, int NewDpi)
{
    TPSCustomImage32::DpiChanged(OldDpi, NewDpi);
    // The bars take the metric of the new density even when the view keeps its size.
    RefitBars();
}

void TPSCustomImgView32::Loaded()
{
    LayoutBars();
    Invalidate();
    SyncRanges();
    if (FCentered)
        CenterOn(Bitmap()->Width() / 2, Bitmap()->Height() / 2);
    TPSCustomImage32::Loaded();
}

void TPSCustomImgView32::DrawGrip(TCanvas& Canvas, const TRect& R)
{
    if (Canvas.ThemesActive()) {
        Canvas.Brush.Style = bsSolid;
        Canvas.Brush.Color = clBtnFace;
        Canvas.FillRect(R);
        if (Canvas.DrawThemeElement("SCROLLBAR", 10, 1, R))
            return;
    }
    Canvas.DrawFrameControl(R, FrameScroll, FrameScrollSizeGrip);
}

void TPSCustomImgView32::Paint()
{
    if (TCanvas* c = Canvas()) {
        TRect g = GripRect();
        if (GripShown()) {
            DrawGrip(*c, g);
        } else {
            c->Brush.Style = bsSolid;
            c->Brush.Color = clBtnFace;
            c->FillRect(g);
        }
    }
    TPSCustomImage32::Paint();
}

namespace {
bool Inside(const TRect& R, int X, int Y) { return X >= R.Left && X < R.Right && Y >= R.Top && Y < R.Bottom; }
} // namespace

void TPSCustomImgView32::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    auto* form = dynamic_cast<TForm*>(Owner());
    if (form && GripShown() && Inside(GripRect(), X, Y)) {
        // The press belongs to the form's sizing, not to the image. The system's sizing loop
        // needs the mouse: what is queued runs first and nobody may keep the capture.
        Application->ProcessMessages();
        plat::ReleaseCapture();
        plat::StartFormSizing(*form, plat::HitTestBottomRight);
        return;
    }
    TPSCustomImage32::MouseDown(Button, Shift, X, Y);
}

void TPSCustomImgView32::MouseMove(TShiftState Shift, int X, int Y)
{
    TPSCustomImage32::MouseMove(Shift, X, Y);
    if (GripShown() && Inside(GripRect(), X, Y))
        Screen->SetCursor(crSizeNWSE);
}
