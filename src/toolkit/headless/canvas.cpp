#include "toolkit/headless/canvas.h"
#include "toolkit/headless/headless.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "toolkit/platform.h"

TColor32 THeadlessCanvas::ToColor32(TColor Color)
{
    std::uint32_t rgb = ColorToRGB(Color);
    return 0xFF000000u | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

TColor THeadlessCanvas::FromColor32(TColor32 C)
{
    return static_cast<TColor>(((C & 0xFF) << 16) | (C & 0xFF00) | ((C >> 16) & 0xFF));
}

void THeadlessCanvas::Plot(int X, int Y, TColor32 C)
{
    const TRect& clip = FTarget.ClipRect();
    if (X < clip.Left || Y < clip.Top || X >= clip.Right || Y >= clip.Bottom)
        return;
    FTarget.SetPixelAt(X, Y, C);
}

TColor THeadlessCanvas::Pixel(int X, int Y) const
{
    if (X < 0 || Y < 0 || X >= FTarget.Width() || Y >= FTarget.Height())
        return -1; // outside the surface, as the platform reports an invalid colour
    return FromColor32(FTarget.PixelAt(X, Y));
}

void THeadlessCanvas::SetPixel(int X, int Y, TColor Color) { Plot(X, Y, ToColor32(Color)); }

TColor32 THeadlessCanvas::BrushAt(int X, int Y) const
{
    if (Brush.Style != bsPattern)
        return ToColor32(Brush.Color);
    bool set = (Brush.Pattern[Y & 7] >> (7 - (X & 7))) & 1;
    return ToColor32(set ? Brush.Color : Brush.PatternBackground);
}

void THeadlessCanvas::FillRect(const TRect& R)
{
    if (Brush.Style == bsClear)
        return;
    const TRect& clip = FTarget.ClipRect();
    int x1 = std::max(R.Left, clip.Left), y1 = std::max(R.Top, clip.Top);
    int x2 = std::min(R.Right, clip.Right), y2 = std::min(R.Bottom, clip.Bottom);
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            FTarget.SetPixelAt(x, y, BrushAt(x, y));
}

void THeadlessCanvas::FrameRect(const TRect& R)
{
    if (R.Right <= R.Left || R.Bottom <= R.Top)
        return;
    for (int x = R.Left; x < R.Right; ++x) {
        Plot(x, R.Top, BrushAt(x, R.Top));
        Plot(x, R.Bottom - 1, BrushAt(x, R.Bottom - 1));
    }
    for (int y = R.Top + 1; y < R.Bottom - 1; ++y) {
        Plot(R.Left, y, BrushAt(R.Left, y));
        Plot(R.Right - 1, y, BrushAt(R.Right - 1, y));
    }
}

void THeadlessCanvas::DrawFocusRect(const TRect& R) { DrawFocusRectOn(FTarget, R); }

void THeadlessCanvas::LineTo(int X, int Y)
{
    int x0 = PenPos.X, y0 = PenPos.Y;
    PenPos = TPoint{X, Y};
    if (Pen.Style == psClear)
        return;
    TColor32 c = ToColor32(Pen.Color);
    int dx = std::abs(X - x0), sx = x0 < X ? 1 : -1;
    int dy = -std::abs(Y - y0), sy = y0 < Y ? 1 : -1;
    int err = dx + dy;
    // The end point is left out, as the platform's line drawing does.
    while (x0 != X || y0 != Y) {
        Plot(x0, y0, c);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void THeadlessCanvas::Polygon(const std::vector<TPoint>& Points)
{
    if (Points.size() < 2)
        return;
    if (Brush.Style != bsClear && Points.size() >= 3) {
        int ymin = Points[0].Y, ymax = Points[0].Y;
        for (const TPoint& p : Points) {
            ymin = std::min(ymin, p.Y);
            ymax = std::max(ymax, p.Y);
        }
        const TRect& clip = FTarget.ClipRect();
        ymin = std::max(ymin, clip.Top);
        ymax = std::min(ymax, clip.Bottom - 1);
        std::vector<double> xs;
        for (int y = ymin; y <= ymax; ++y) {
            // Sample at the pixel centre row; even-odd crossings give the inside spans.
            double sy = y + 0.5;
            xs.clear();
            for (std::size_t i = 0; i < Points.size(); ++i) {
                const TPoint& a = Points[i];
                const TPoint& b = Points[(i + 1) % Points.size()];
                if ((a.Y <= sy) == (b.Y <= sy))
                    continue;
                xs.push_back(a.X + (sy - a.Y) * (b.X - a.X) / double(b.Y - a.Y));
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
                int x1 = static_cast<int>(std::ceil(xs[k] - 0.5));
                int x2 = static_cast<int>(std::ceil(xs[k + 1] - 0.5));
                for (int x = std::max(x1, clip.Left); x < std::min(x2, clip.Right); ++x)
                    FTarget.SetPixelAt(x, y, BrushAt(x, y));
            }
        }
    }
    if (Pen.Style != psClear) {
        MoveTo(Points.back().X, Points.back().Y);
        for (const TPoint& p : Points)
            LineTo(p.X, p.Y);
    }
}

void THeadlessCanvas::DrawEdge(TRect& R, unsigned Edge, unsigned Flags)
{
    TColor32 light = ToColor32(SysColor(COLOR_INDEX_3DLIGHT));
    TColor32 hilight = ToColor32(SysColor(COLOR_INDEX_BTNHIGHLIGHT));
    TColor32 shadow = ToColor32(SysColor(COLOR_INDEX_BTNSHADOW));
    TColor32 dark = ToColor32(SysColor(COLOR_INDEX_3DDKSHADOW));
    TRect r = R;
    auto ring = [&](TColor32 topLeft, TColor32 bottomRight) {
        if (r.Right <= r.Left || r.Bottom <= r.Top)
            return;
        if (Flags & SideTop)
            for (int x = r.Left; x < r.Right; ++x)
                Plot(x, r.Top, topLeft);
        if (Flags & SideLeft)
            for (int y = r.Top; y < r.Bottom; ++y)
                Plot(r.Left, y, topLeft);
        if (Flags & SideBottom)
            for (int x = r.Left; x < r.Right; ++x)
                Plot(x, r.Bottom - 1, bottomRight);
        if (Flags & SideRight)
            for (int y = r.Top; y < r.Bottom; ++y)
                Plot(r.Right - 1, y, bottomRight);
        if (Flags & SideLeft)
            ++r.Left;
        if (Flags & SideTop)
            ++r.Top;
        if (Flags & SideRight)
            --r.Right;
        if (Flags & SideBottom)
            --r.Bottom;
    };
    if (Edge & EdgeRaisedOuter)
        ring(light, dark);
    else if (Edge & EdgeSunkenOuter)
        ring(shadow, hilight);
    if (Edge & EdgeRaisedInner)
        ring(hilight, shadow);
    else if (Edge & EdgeSunkenInner)
        ring(dark, light);
    if (Flags & SideAdjust)
        R = r;
}

void THeadlessCanvas::TextOut(int X, int Y, const std::string& Text) { headless::RecordTextOut({Text, X, Y, Font.Color()}); }

TSize THeadlessCanvas::TextExtent(const std::string& Text) const { return plat::TextExtent(Font, Text); }

void THeadlessCanvas::DrawFrameControl(const TRect& R, unsigned Type, unsigned State)
{
    headless::RecordFrameControl({R, Type, State});
    TCanvas::DrawFrameControl(R, Type, State);
}

bool THeadlessCanvas::ThemesActive() const { return headless::ThemesActive(); }

bool THeadlessCanvas::DrawThemeElement(const std::string& ClassList, int Part, int State, const TRect& R)
{
    if (!headless::ThemesActive())
        return false;
    headless::RecordThemeElement({ClassList, Part, State, R});
    TBrush old = Brush;
    Brush.Style = bsSolid;
    Brush.Color = clBtnFace;
    FillRect(R);
    Brush = old;
    return true;
}
