// Software canvas drawing on a 32-bit bitmap: the headless back end's painting surface.
#pragma once
#include "bitmap/bitmap32.h"
#include "toolkit/graphics.h"

// Colours map 0x00BBGGRR -> opaque 0xFFRRGGBB; everything is clipped to the bitmap.
class THeadlessCanvas : public TCanvas {
public:
    VP_CLASS_NAME(THeadlessCanvas)
    explicit THeadlessCanvas(TBitmap32& Target) : FTarget(Target) {}

    void* Handle() const override { return &FTarget; }
    TRect ClipRect() const override { return FTarget.ClipRect(); }
    TBitmap32& Target() const { return FTarget; }
    TColor Pixel(int X, int Y) const override;
    void SetPixel(int X, int Y, TColor Color) override;
    void FillRect(const TRect& R) override;
    void FrameRect(const TRect& R) override;
    void DrawFocusRect(const TRect& R) override;
    void LineTo(int X, int Y) override;
    void Polygon(const std::vector<TPoint>& Points) override;
    void DrawEdge(TRect& R, unsigned Edge, unsigned Flags) override;
    void DrawFrameControl(const TRect& R, unsigned Type, unsigned State) override;
    bool ThemesActive() const override;
    bool DrawThemeElement(const std::string& ClassList, int Part, int State, const TRect& R) override;
    // Text has no glyphs headless: it fills nothing and reports a fixed-pitch extent.
    void TextOut(int X, int Y, const std::string& Text) override;
    TSize TextExtent(const std::string& Text) const override;

    static TColor32 ToColor32(TColor Color);
    static TColor FromColor32(TColor32 Color);

private:
    void Plot(int X, int Y, TColor32 C);
    // The brush colour at (X, Y): solid, or the 8 x 8 pattern aligned to the bitmap origin.
    TColor32 BrushAt(int X, int Y) const;
    TBitmap32& FTarget;
};
