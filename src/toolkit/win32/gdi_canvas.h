// The Windows canvas: every drawing call goes to a GDI device context, with the pen, brush
// and font realised as GDI objects for the length of the call.
#pragma once
#include "toolkit/graphics.h"

// Frame-control kinds and states, with the values of the platform's frame-control drawing.
enum : unsigned {
    FrameCaption = 1, FrameMenu = 2, FrameButton = 4,
    FrameButtonCheck = 0x0, FrameButtonPush = 0x10, FrameChecked = 0x400
};

class TGdiCanvas : public TCanvas {
public:
    VP_CLASS_NAME(TGdiCanvas)
    // Draws on Dc (an HDC), which stays owned by the caller.
    explicit TGdiCanvas(void* Dc) : FDc(Dc) {}

    void* Handle() const override { return FDc; }
    // The device context's clip box: the update area while painting.
    TRect ClipRect() const override;
    // -1 outside the surface or the clip region.
    TColor Pixel(int X, int Y) const override;
    void SetPixel(int X, int Y, TColor Color) override;
    void FillRect(const TRect& R) override;
    void FrameRect(const TRect& R) override;
    void DrawFocusRect(const TRect& R) override;
    void LineTo(int X, int Y) override;
    void Polyline(const std::vector<TPoint>& Points) override;
    void Polygon(const std::vector<TPoint>& Points) override;
    void DrawEdge(TRect& R, unsigned Edge, unsigned Flags) override;
    // With a clear brush the text is drawn transparently, otherwise on the brush colour.
    void TextOut(int X, int Y, const std::string& Text) override;
    TSize TextExtent(const std::string& Text) const override;
    // The platform's frame controls (scroll arrows, size grip, buttons): Kind and State
    // take the Frame* values above.
    void DrawFrameControl(const TRect& R, unsigned Kind, unsigned State) override;
    // The same, telling whether the platform drew it.
    bool TryDrawFrameControl(const TRect& R, unsigned Kind, unsigned State);

private:
    void* FDc;
};

namespace win32 {
// A GDI font for Font, cached for the process (the cache is released at unload).
void* FontHandle(const TFont& Font);
} // namespace win32
