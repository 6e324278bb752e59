#include "toolkit/win32/gdi_canvas.h"

#include <windows.h>
// The ANSI/wide switch would rename the canvas method.
#undef TextOut

#include <map>
#include <tuple>

namespace {

HDC Dc(void* P) { return static_cast<HDC>(P); }

COLORREF Rgb(TColor C) { return static_cast<COLORREF>(ColorToRGB(C)); }

RECT ToRect(const TRect& R) { return RECT{R.Left, R.Top, R.Right, R.Bottom}; }

// Fonts live until unload: controls keep asking for the same few.
struct TFontCache {
    std::map<std::tuple<std::string, int, unsigned>, HFONT> Fonts;
    ~TFontCache()
    {
        for (auto& f : Fonts)
            DeleteObject(f.second);
    }
};

TFontCache& Fonts()
{
    static TFontCache cache;
    return cache;
}

// Selects a GDI object for the length of one drawing call and deletes it (when owned) after.
class TSelected {
public:
    TSelected(HDC Dc, HGDIOBJ Object, bool Owned) : FDc(Dc), FObject(Object), FOwned(Owned)
    {
        FOld = Object ? SelectObject(Dc, Object) : nullptr;
    }
    ~TSelected()
    {
        if (FOld)
            SelectObject(FDc, FOld);
        if (FOwned && FObject)
            DeleteObject(FObject);
    }
    TSelected(const TSelected&) = delete;
    TSelected& operator=(const TSelected&) = delete;

private:
    HDC FDc;
    HGDIOBJ FObject;
    HGDIOBJ FOld = nullptr;
    bool FOwned;
};

HPEN MakePen(const TPen& Pen)
{
    int style = PS_SOLID;
    switch (Pen.Style) {
    case psSolid: style = PS_SOLID; break;
    case psDash: style = PS_DASH; break;
    case psDot: style = PS_DOT; break;
    case psDashDot: style = PS_DASHDOT; break;
    case psDashDotDot: style = PS_DASHDOTDOT; break;
    case psClear: style = PS_NULL; break;
    }
    // Styled lines exist only one pixel wide in GDI's cosmetic pens.
    int width = style == PS_SOLID ? (Pen.Width < 1 ? 1 : Pen.Width) : 1;
    return CreatePen(style, width, Rgb(Pen.Color));
}

// A brush for Brush; pattern brushes take their two colours from the DC, which the caller
// sets through PrepareBrushColours. Null for a clear brush.
HBRUSH MakeBrush(const TBrush& Brush)
{
    if (Brush.Style == bsClear)
        return nullptr;
    if (Brush.Style == bsSolid)
        return CreateSolidBrush(Rgb(Brush.Color));
    // Monochrome bitmap rows are word aligned; the top bit of each byte is the leftmost pixel.
    WORD rows[8];
    for (int i = 0; i < 8; ++i)
        rows[i] = Brush.Pattern[i];
    HBITMAP mono = CreateBitmap(8, 8, 1, 1, rows);
    if (!mono)
        return CreateSolidBrush(Rgb(Brush.Color));
    HBRUSH b = CreatePatternBrush(mono);
    DeleteObject(mono); // the brush keeps its own copy
    return b;
}

// A monochrome pattern draws its 0 bits in the text colour and its 1 bits in the background
// colour; set bits are the brush colour.
class TBrushColours {
public:
    TBrushColours(HDC Dc, const TBrush& Brush) : FDc(Dc), FActive(Brush.Style == bsPattern)
    {
        if (!FActive)
            return;
        FText = SetTextColor(Dc, Rgb(Brush.PatternBackground));
        FBack = SetBkColor(Dc, Rgb(Brush.Color));
    }
    ~TBrushColours()
    {
        if (!FActive)
            return;
        SetTextColor(FDc, FText);
        SetBkColor(FDc, FBack);
    }
    TBrushColours(const TBrushColours&) = delete;
    TBrushColours& operator=(const TBrushColours&) = delete;

private:
    HDC FDc;
    bool FActive;
    COLORREF FText = 0, FBack = 0;
};

// Fills or frames R with the canvas brush (nothing for a clear brush or an empty R).
void BrushRect(void* DcHandle, const TBrush& Brush, const TRect& R, int(WINAPI* Draw)(HDC, const RECT*, HBRUSH))
{
    if (Brush.Style == bsClear || R.Right <= R.Left || R.Bottom <= R.Top)
        return;
    RECT r = ToRect(R);
    HBRUSH b = MakeBrush(Brush);
    if (!b)
        return;
    TBrushColours colours(Dc(DcHandle), Brush);
    Draw(Dc(DcHandle), &r, b);
    DeleteObject(b);
}

} // namespace

void* win32::FontHandle(const TFont& Font)
{
    auto key = std::make_tuple(Font.Name(), Font.Height(), Font.Style());
    auto& fonts = Fonts().Fonts;
    auto it = fonts.find(key);
    if (it != fonts.end())
        return it->second;
    unsigned st = Font.Style();
    HFONT f = CreateFontA(Font.Height(), 0, 0, 0, (st & fsBold) ? FW_BOLD : FW_NORMAL, (st & fsItalic) != 0,
                          (st & fsUnderline) != 0, (st & fsStrikeOut) != 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Font.Name().c_str());
    if (!f)
        return GetStockObject(DEFAULT_GUI_FONT);
    fonts.emplace(key, f);
    return f;
}

TRect TGdiCanvas::ClipRect() const
{
    RECT r{};
    if (GetClipBox(Dc(FDc), &r) == ERROR)
        return TRect{};
    return TRect{r.left, r.top, r.right, r.bottom};
}

TColor TGdiCanvas::Pixel(int X, int Y) const
{
    COLORREF c = GetPixel(Dc(FDc), X, Y);
    if (c == CLR_INVALID)
        return -1;
    return static_cast<TColor>(c & 0xFFFFFF);
}

void TGdiCanvas::SetPixel(int X, int Y, TColor Color) { SetPixelV(Dc(FDc), X, Y, Rgb(Color)); }

void TGdiCanvas::FillRect(const TRect& R) { BrushRect(FDc, Brush, R, ::FillRect); }

void TGdiCanvas::FrameRect(const TRect& R) { BrushRect(FDc, Brush, R, ::FrameRect); }

void TGdiCanvas::DrawFocusRect(const TRect& R)
{
    if (R.Right <= R.Left || R.Bottom <= R.Top)
        return;
    RECT r = ToRect(R);
    // The focus rectangle XORs with the DC's colours; black and white give a true inversion.
    COLORREF text = SetTextColor(Dc(FDc), RGB(0, 0, 0));
    COLORREF back = SetBkColor(Dc(FDc), RGB(255, 255, 255));
    ::DrawFocusRect(Dc(FDc), &r);
    SetTextColor(Dc(FDc), text);
    SetBkColor(Dc(FDc), back);
}

void TGdiCanvas::LineTo(int X, int Y)
{
    TPoint from = PenPos;
    PenPos = TPoint{X, Y};
    if (Pen.Style == psClear)
        return;
    TSelected pen(Dc(FDc), MakePen(Pen), true);
    MoveToEx(Dc(FDc), from.X, from.Y, nullptr);
    ::LineTo(Dc(FDc), X, Y);
}

void TGdiCanvas::Polyline(const std::vector<TPoint>& Points)
{
    if (Points.empty())
        return;
    PenPos = Points.back();
    if (Pen.Style == psClear || Points.size() < 2)
        return;
    std::vector<POINT> p;
    p.reserve(Points.size());
    for (const TPoint& q : Points)
        p.push_back(POINT{q.X, q.Y});
    TSelected pen(Dc(FDc), MakePen(Pen), true);
    ::Polyline(Dc(FDc), p.data(), static_cast<int>(p.size()));
}

void TGdiCanvas::Polygon(const std::vector<TPoint>& Points)
{
    if (Points.size() < 2)
        return;
    std::vector<POINT> p;
    p.reserve(Points.size());
    for (const TPoint& q : Points)
        p.push_back(POINT{q.X, q.Y});
    HBRUSH brush = MakeBrush(Brush);
    TBrushColours colours(Dc(FDc), Brush);
    TSelected b(Dc(FDc), brush ? static_cast<HGDIOBJ>(brush) : GetStockObject(NULL_BRUSH), brush != nullptr);
    TSelected pen(Dc(FDc), Pen.Style == psClear ? GetStockObject(NULL_PEN) : MakePen(Pen), Pen.Style != psClear);
    int old = SetPolyFillMode(Dc(FDc), ALTERNATE);
    ::Polygon(Dc(FDc), p.data(), static_cast<int>(p.size()));
    SetPolyFillMode(Dc(FDc), old);
}

void TGdiCanvas::DrawEdge(TRect& R, unsigned Edge, unsigned Flags)
{
    RECT r = ToRect(R);
    ::DrawEdge(Dc(FDc), &r, Edge, Flags);
    if (Flags & SideAdjust)
        R = TRect{r.left, r.top, r.right, r.bottom};
}

void TGdiCanvas::TextOut(int X, int Y, const std::string& Text)
{
    TSelected font(Dc(FDc), static_cast<HGDIOBJ>(win32::FontHandle(Font)), false);
    COLORREF text = SetTextColor(Dc(FDc), Rgb(Font.Color()));
    int mode = SetBkMode(Dc(FDc), Brush.Style == bsClear ? TRANSPARENT : OPAQUE);
    COLORREF back = SetBkColor(Dc(FDc), Rgb(Brush.Color));
    ::TextOutA(Dc(FDc), X, Y, Text.data(), static_cast<int>(Text.size()));
    SetBkColor(Dc(FDc), back);
    SetBkMode(Dc(FDc), mode);
    SetTextColor(Dc(FDc), text);
}

TSize TGdiCanvas::TextExtent(const std::string& Text) const
{
    TSelected font(Dc(FDc), static_cast<HGDIOBJ>(win32::FontHandle(Font)), false);
    SIZE s{0, 0};
    if (!GetTextExtentPoint32A(Dc(FDc), Text.data(), static_cast<int>(Text.size()), &s))
        return TSize{};
    return TSize{s.cx, s.cy};
}

void TGdiCanvas::DrawFrameControl(const TRect& R, unsigned Kind, unsigned State)
{
    TryDrawFrameControl(R, Kind, State);
}

bool TGdiCanvas::TryDrawFrameControl(const TRect& R, unsigned Kind, unsigned State)
{
    RECT r = ToRect(R);
    return ::DrawFrameControl(Dc(FDc), &r, Kind, State) != 0;
}
