#include "toolkit/graphics.h"

#include <algorithm>
#include <cstdlib>

std::uint32_t ColorToRGB(TColor Color)
{
    if (Color < 0)
        return SystemColorRGB(Color & 0xFF);
    return static_cast<std::uint32_t>(Color) & 0xFFFFFF;
}

void TFont::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TFont::SetName(const std::string& Value)
{
    if (Value == FName)
        return;
    FName = Value;
    Changed();
}

int TFont::Size() const
{
    // Points from pixels at 96 dpi, rounded: -11 pixels is 8 points.
    int h = std::abs(FHeight);
    return (h * 72 + 48) / 96;
}

void TFont::SetSize(int Points)
{
    SetHeight(-((Points * 96 + 36) / 72));
}

void TFont::SetHeight(int Pixels)
{
    if (Pixels == FHeight)
        return;
    FHeight = Pixels;
    Changed();
}

void TFont::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    Changed();
}

void TFont::SetStyle(unsigned Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    Changed();
}

void TFont::Assign(TPersistent* Source)
{
    if (auto* f = dynamic_cast<TFont*>(Source)) {
        if (f == this)
            return;
        bool same = FName == f->FName && FHeight == f->FHeight && FColor == f->FColor && FStyle == f->FStyle;
        FName = f->FName;
        FHeight = f->FHeight;
        FColor = f->FColor;
        FStyle = f->FStyle;
        if (!same)
            Changed();
        return;
    }
    TPersistent::Assign(Source);
}

void TBrush::SetPattern(const std::uint8_t (&Rows)[8], TColor Background)
{
    for (int i = 0; i < 8; ++i)
        Pattern[i] = Rows[i];
    PatternBackground = Background;
    Style = bsPattern;
}

void TCanvas::Polyline(const std::vector<TPoint>& Points)
{
    if (Points.empty())
        return;
    MoveTo(Points[0].X, Points[0].Y);
    for (std::size_t i = 1; i < Points.size(); ++i)
        LineTo(Points[i].X, Points[i].Y);
}

void TCanvas::Rectangle(const TRect& R)
{
    // Interior with the brush, outline with the pen, as the platform's rectangle does.
    if (Brush.Style != bsClear)
        FillRect(TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1});
    if (Pen.Style != psClear)
        Polyline({{R.Left, R.Top}, {R.Right - 1, R.Top}, {R.Right - 1, R.Bottom - 1}, {R.Left, R.Bottom - 1}, {R.Left, R.Top}});
}

bool TCanvas::DrawThemeElement(const std::string&, int, int, const TRect&) { return false; }

void TCanvas::DrawFrameControl(const TRect& R, unsigned Type, unsigned State)
{
    if (R.Right <= R.Left || R.Bottom <= R.Top)
        return;
    TBrush oldBrush = Brush;
    TPen oldPen = Pen;
    TRect r = R;
    if ((State & FramePushed) && (State & FrameFlat)) {
        Brush.Style = bsSolid;
        Brush.Color = clBtnShadow;
        FrameRect(r);
        r = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
    } else {
        DrawEdge(r, (State & FramePushed) ? EdgeSunken : EdgeRaised, SideRect | SideAdjust);
    }
    Brush.Style = bsSolid;
    Brush.Color = clBtnFace;
    FillRect(r);
    if (Type == FrameScroll && (State & 0xF) <= FrameScrollRight) {
        if (State & FramePushed)
            r = TRect{r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
        int cx = (r.Left + r.Right - 1) / 2, cy = (r.Top + r.Bottom - 1) / 2;
        int s = std::max(std::min(r.Width(), r.Height()) / 4, 1);
        std::vector<TPoint> p;
        switch (State & 0xF) {
        case FrameScrollUp: p = {{cx - s, cy + s / 2}, {cx, cy - s / 2}, {cx + s, cy + s / 2}}; break;
        case FrameScrollDown: p = {{cx - s, cy - s / 2}, {cx, cy + s / 2}, {cx + s, cy - s / 2}}; break;
        case FrameScrollLeft: p = {{cx + s / 2, cy - s}, {cx - s / 2, cy}, {cx + s / 2, cy + s}}; break;
        default: p = {{cx - s / 2, cy - s}, {cx + s / 2, cy}, {cx - s / 2, cy + s}}; break;
        }
        TColor glyph = (State & FrameInactive) ? clBtnShadow : clBtnText;
        Brush.Color = glyph;
        Pen.Color = glyph;
        Pen.Style = psSolid;
        Polygon(p);
    }
    Brush = oldBrush;
    Pen = oldPen;
}
