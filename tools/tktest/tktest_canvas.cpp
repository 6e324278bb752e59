// The GDI canvas on a device-independent section, read back through the section's bits so
// the checks do not trust the canvas they test; and the theme services.
#include <cmath>
#include <vector>

#include "tktest.h"
#include "base/dib.h"
#include "toolkit/win32/gdi_canvas.h"
#include "toolkit/win32/themes.h"

namespace tk {
namespace {

class TSurface {
public:
    TSurface(int W, int H) : Width(W), Height(H), S(CreateDibStorage(W, H)), Canvas(S.DC) { Clear(0xFFFFFF); }
    ~TSurface() { DestroyDibStorage(S); }
    // The section holds 0x00RRGGBB; toolkit colours are 0x00BBGGRR.
    TColor At(int X, int Y) const
    {
        std::uint32_t p = S.Bits[Y * Width + X] & 0xFFFFFF;
        return static_cast<TColor>(((p & 0xFF) << 16) | (p & 0xFF00) | (p >> 16));
    }
    void Clear(std::uint32_t Rgb)
    {
        GdiFlush();
        for (int i = 0; i < Width * Height; ++i)
            S.Bits[i] = Rgb;
    }
    std::vector<std::uint32_t> Snapshot() const
    {
        GdiFlush();
        return std::vector<std::uint32_t>(S.Bits, S.Bits + Width * Height);
    }
    int Count(TColor C) const
    {
        GdiFlush();
        int n = 0;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                n += At(x, y) == C;
        return n;
    }
    int Width, Height;
    TDibStorage S;
    TGdiCanvas Canvas;
};

constexpr TColor White = 0xFFFFFF;

TColor Sys(int Index) { return static_cast<TColor>(GetSysColor(Index) & 0xFFFFFF); }

} // namespace

void CanvasChecks()
{
    Section("GDI canvas");
    {
        TSurface s(16, 16);
        s.Canvas.Brush.Color = clRed;
        s.Canvas.FillRect(TRect{2, 3, 6, 8});
        GdiFlush();
        CHECK_EQ(s.At(2, 3), clRed);
        CHECK_EQ(s.At(5, 7), clRed);
        CHECK_EQ(s.At(6, 7), White); // right and bottom are exclusive
        CHECK_EQ(s.At(5, 8), White);
        CHECK_EQ(s.Count(clRed), 4 * 5);
        CHECK_EQ(s.Canvas.Pixel(2, 3), clRed);
        CHECK_EQ(s.Canvas.Pixel(-1, 0), -1);
        CHECK_EQ(s.Canvas.Pixel(16, 0), -1);
        s.Canvas.SetPixel(9, 9, 0x123456);
        GdiFlush();
        CHECK_EQ(s.At(9, 9), 0x123456);
        // An inverted rectangle and a clear brush draw nothing.
        s.Canvas.FillRect(TRect{10, 10, 8, 12});
        s.Canvas.Brush.Style = bsClear;
        s.Canvas.FillRect(TRect{0, 0, 16, 16});
        CHECK_EQ(s.Count(clRed), 20);
    }
    {
        TSurface s(16, 16);
        s.Canvas.Brush.Color = clBlue;
        s.Canvas.FrameRect(TRect{1, 1, 7, 5});
        CHECK_EQ(s.Count(clBlue), 2 * 6 + 2 * 2);
        CHECK_EQ(s.At(1, 1), clBlue);
        CHECK_EQ(s.At(6, 4), clBlue);
        CHECK_EQ(s.At(3, 3), White);
    }
    {
        // Pattern: set bits in the brush colour, bit 7 leftmost, rows top-down, repeating
        // every 8 pixels from the surface origin.
        TSurface s(16, 16);
        const std::uint8_t rows[8] = {0x80, 0x01, 0, 0, 0, 0, 0, 0xFF};
        s.Canvas.Brush.Color = clRed;
        s.Canvas.Brush.SetPattern(rows, clGreen);
        s.Canvas.FillRect(TRect{0, 0, 16, 16});
        GdiFlush();
        CHECK_EQ(s.At(0, 0), clRed);
        CHECK_EQ(s.At(1, 0), clGreen);
        CHECK_EQ(s.At(8, 0), clRed);
        CHECK_EQ(s.At(7, 1), clRed);
        CHECK_EQ(s.At(0, 1), clGreen);
        CHECK_EQ(s.At(3, 7), clRed);
        CHECK_EQ(s.At(3, 15), clRed);
        CHECK_EQ(s.Count(clRed), 4 * (1 + 1 + 8));
    }
    {
        TSurface s(16, 16);
        s.Canvas.Pen.Color = clBlue;
        s.Canvas.MoveTo(0, 5);
        s.Canvas.LineTo(10, 5);
        CHECK_EQ(s.Count(clBlue), 10); // the end point is left out
        CHECK_EQ(s.At(10, 5), White);
        CHECK(s.Canvas.PenPos == (TPoint{10, 5}));
        s.Canvas.Polyline({{0, 0}, {0, 4}, {3, 4}});
        CHECK_EQ(s.Count(clBlue), 10 + 4 + 3);
        CHECK(s.Canvas.PenPos == (TPoint{3, 4}));
        s.Canvas.Pen.Style = psClear;
        s.Canvas.LineTo(15, 15);
        CHECK_EQ(s.Count(clBlue), 17);
        CHECK(s.Canvas.PenPos == (TPoint{15, 15}));
    }
    {
        // A five-pointed star drawn in one stroke: the even-odd rule leaves its centre open.
        TSurface s(64, 64);
        std::vector<TPoint> star;
        for (int k : {0, 2, 4, 1, 3}) {
            double a = -3.14159265358979 / 2 + k * 2 * 3.14159265358979 / 5;
            star.push_back(TPoint{32 + static_cast<int>(std::lround(28 * std::cos(a))),
                                  32 + static_cast<int>(std::lround(28 * std::sin(a)))});
        }
        s.Canvas.Brush.Color = clRed;
        s.Canvas.Pen.Style = psClear;
        s.Canvas.Polygon(star);
        GdiFlush();
        CHECK_EQ(s.At(32, 33), White);
        CHECK_EQ(s.At(32, 12), clRed);
        CHECK_EQ(s.At(2, 2), White);
        s.Canvas.Pen.Style = psSolid;
        s.Canvas.Pen.Color = clBlue;
        s.Canvas.Brush.Style = bsClear;
        s.Canvas.Polygon({{40, 40}, {60, 40}, {60, 60}});
        GdiFlush();
        CHECK_EQ(s.At(50, 40), clBlue); // outlined ...
        CHECK_EQ(s.At(58, 45), White);  // ... not filled
    }
    {
        TSurface s(16, 16);
        TRect r{0, 0, 10, 10};
        s.Canvas.DrawEdge(r, EdgeRaised, SideRect | SideAdjust);
        GdiFlush();
        CHECK(r == (TRect{2, 2, 8, 8}));
        CHECK_EQ(s.At(0, 0), Sys(COLOR_3DLIGHT));
        CHECK_EQ(s.At(9, 9), Sys(COLOR_3DDKSHADOW));
        CHECK_EQ(s.At(1, 1), Sys(COLOR_BTNHIGHLIGHT));
        CHECK_EQ(s.At(8, 8), Sys(COLOR_BTNSHADOW));
        TRect keep{0, 0, 10, 10};
        s.Canvas.DrawEdge(keep, EdgeSunken, SideLeft);
        CHECK(keep == (TRect{0, 0, 10, 10})); // no adjustment asked for
    }
    {
        TSurface s(20, 20);
        auto before = s.Snapshot();
        s.Canvas.DrawFocusRect(TRect{2, 2, 12, 9});
        auto once = s.Snapshot();
        CHECK(once != before);
        CHECK_EQ(s.At(5, 5), White); // the inside is left alone
        s.Canvas.DrawFocusRect(TRect{2, 2, 12, 9});
        CHECK(s.Snapshot() == before); // drawn twice, it is gone
    }
    {
        TSurface s(16, 16);
        TSize one = s.Canvas.TextExtent("Hello");
        TSize two = s.Canvas.TextExtent("HelloHello");
        CHECK(one.cx > 0 && one.cy > 0);
        CHECK_EQ(two.cy, one.cy);
        CHECK(two.cx > one.cx);
        s.Canvas.Font.SetHeight(-20);
        CHECK(s.Canvas.TextExtent("Hello").cy > one.cy);
    }
    {
        TSurface s(32, 32);
        s.Canvas.Font.SetColor(clBlack);
        s.Canvas.Font.SetHeight(-16);
        s.Canvas.Brush.Style = bsClear;
        s.Canvas.TextOut(2, 2, "W");
        CHECK(s.Count(White) < 32 * 32);
        CHECK_EQ(s.At(31, 31), White); // transparent: no box behind the glyph
    }
}

void ThemeChecks()
{
    Section("theme services and frame controls");
    {
        TSurface s(17, 17);
        auto before = s.Snapshot();
        CHECK(s.Canvas.TryDrawFrameControl(TRect{0, 0, 17, 17}, FrameScroll, FrameScrollSizeGrip));
        CHECK(s.Snapshot() != before);
    }
    TThemeServices& t = TThemeServices::Instance();
    std::printf("theme library %s, themes %s\n", t.Available() ? "loaded" : "absent",
                t.Active() ? "active" : "off");
    CHECK(t.Available() || !t.Active());
    {
        TSurface s(17, 17);
        auto before = s.Snapshot();
        bool drawn = t.DrawElement(nullptr, s.Canvas, "SCROLLBAR", 10, 1, TRect{0, 0, 17, 17});
        if (!t.Active())
            CHECK(!drawn);
        if (drawn)
            CHECK(s.Snapshot() != before);
        else
            CHECK(s.Snapshot() == before); // nothing drawn when it says so
        CHECK(!t.DrawElement(nullptr, s.Canvas, "SCROLLBAR", 10, 1, TRect{5, 5, 5, 9})); // empty
    }
    bool was = t.Available();
    t.Unload();
    CHECK(!t.Available());
    CHECK_EQ(TThemeServices::Instance().Available(), was); // loaded again on next use
}
} // namespace tk
