// Fonts, pens, brushes and the canvas that controls paint on.
#pragma once
// The platform header's ANSI/wide switch would rename the canvas method.
#ifdef TextOut
#undef TextOut
#endif
#include <cstdint>
#include <string>
#include <vector>

#include "base/geometry.h"
#include "base/object.h"
#include "base/system_colors.h"

// Toolkit colour: 0x00BBGGRR; negative values name system colours (clSystemColor | index).
using TColor = std::int32_t;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clRed = 0x0000FF, clGreen = 0x008000, clBlue = 0xFF0000, clGray = 0x808080;
constexpr TColor clWindowText = SysColor(COLOR_INDEX_WINDOWTEXT);
constexpr TColor clBtnText = SysColor(COLOR_INDEX_BTNTEXT);

// Resolves a system colour to its 0x00BBGGRR value; plain colours pass unchanged.
std::uint32_t ColorToRGB(TColor Color);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TPersistent {
public:
    VP_CLASS_NAME(TFont)
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value);
    // Size in points; Height in pixels, negative for the character height (96 dpi).
    int Size() const;
    void SetSize(int Points);
    int Height() const { return FHeight; }
    void SetHeight(int Pixels);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    unsigned Style() const { return FStyle; }
    void SetStyle(unsigned Value);
    void Assign(TPersistent* Source) override;
    TNotifyEvent OnChange;

private:
    void Changed();
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    TColor FColor = clWindowText;
    unsigned FStyle = 0;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum TBrushStyle { bsSolid, bsClear, bsPattern };

class TPen : public TPersistent {
public:
    VP_CLASS_NAME(TPen)
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
};

// A solid colour, nothing, or an 8 x 8 pattern (rows top-down, bit 7 leftmost; a set bit is
// drawn in Color, a clear bit in PatternBackground).
class TBrush : public TPersistent {
public:
    VP_CLASS_NAME(TBrush)
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    std::uint8_t Pattern[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    TColor PatternBackground = clBlack;
    void SetPattern(const std::uint8_t (&Rows)[8], TColor Background);
};

// Edge kinds and sides for DrawEdge, with the values of the platform's edge drawing.
enum : unsigned {
    EdgeRaisedOuter = 0x1, EdgeSunkenOuter = 0x2, EdgeRaisedInner = 0x4, EdgeSunkenInner = 0x8,
    EdgeRaised = 0x5, EdgeSunken = 0xA, EdgeEtched = 0x6, EdgeBump = 0x9,
    SideLeft = 0x1, SideTop = 0x2, SideRight = 0x4, SideBottom = 0x8, SideRect = 0xF,
    SideAdjust = 0x2000
};

// Classic frame controls, with the values of the platform's frame-control drawing: the
// scroll-bar type and its arrow states, plus the state flags.
enum : unsigned {
    FrameScroll = 3,
    FrameScrollUp = 0x0, FrameScrollDown = 0x1, FrameScrollLeft = 0x2, FrameScrollRight = 0x3,
    FrameScrollSizeGrip = 0x8,
    FrameInactive = 0x100, FramePushed = 0x200, FrameFlat = 0x4000
};

struct TSize {
    int cx = 0, cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

// Drawing surface of a control or bitmap. Each back end provides the drawing; the pen, brush
// and font are shared state read at each call.
class TCanvas : public TPersistent {
public:
    VP_CLASS_NAME(TCanvas)
    TPen Pen;
    TBrush Brush;
    TFont Font;
    TPoint PenPos;

    // The platform drawing context: HDC on Windows; headless, the TBitmap32 drawn on.
    virtual void* Handle() const = 0;
    // The area drawing can reach now (a paint's update area, a bitmap's bounds), canvas
    // coordinates.
    virtual TRect ClipRect() const = 0;
    virtual TColor Pixel(int X, int Y) const = 0;
    virtual void SetPixel(int X, int Y, TColor Color) = 0;
    // Fills with Brush (right and bottom exclusive).
    virtual void FillRect(const TRect& R) = 0;
    // One-pixel frame in Brush's colour, as the platform's frame drawing does.
    virtual void FrameRect(const TRect& R) = 0;
    // Dotted rectangle, every second pixel inverted, the platform's focus rectangle.
    virtual void DrawFocusRect(const TRect& R) = 0;
    // Lines in Pen's colour; LineTo leaves out the end point.
    virtual void MoveTo(int X, int Y) { PenPos = TPoint{X, Y}; }
    virtual void LineTo(int X, int Y) = 0;
    virtual void Polyline(const std::vector<TPoint>& Points);
    // Fills the interior with Brush (even-odd rule), then outlines it with Pen.
    virtual void Polygon(const std::vector<TPoint>& Points) = 0;
    virtual void Rectangle(const TRect& R);
    // Three-dimensional edge in button colours; with SideAdjust, R shrinks by the edge.
    virtual void DrawEdge(TRect& R, unsigned Edge, unsigned Flags) = 0;
    // The platform's classic frame control; the base draws a plain look-alike from edges and
    // a triangle for the scroll-bar arrows.
    virtual void DrawFrameControl(const TRect& R, unsigned Type, unsigned State);
    // Visual themes: false where the platform runs none. DrawThemeElement draws Part in State
    // of the theme class ClassList (such as "SCROLLBAR") into R, false when nothing was drawn.
    virtual bool ThemesActive() const { return false; }
    virtual bool DrawThemeElement(const std::string& ClassList, int Part, int State, const TRect& R);
    virtual void TextOut(int X, int Y, const std::string& Text) = 0;
    virtual TSize TextExtent(const std::string& Text) const = 0;
    int TextWidth(const std::string& Text) const { return TextExtent(Text).cx; }
    int TextHeight(const std::string& Text) const { return TextExtent(Text).cy; }
};
