#include "filters/ps_rgb_panel.h"

#include <algorithm>
#include <cstddef>

#include "bitmap/bitmap32.h"
#include "bitmap/blend.h"
#include "toolkit/formloader.h"

namespace {

constexpr TColor32 Black32 = 0xFF000000u;
constexpr TColor32 White32 = 0xFFFFFFFFu;

TColor32 ReplaceAlpha(TColor32 C, std::uint8_t A) { return (C & 0x00FFFFFFu) | (static_cast<TColor32>(A) << 24); }

bool IsRGBType(TGradType T) { return T == gtVertRGB || T == gtHorzRGB; }

} // namespace

TPSRGBPanel::TPSRGBPanel(TComponent* AOwner) : TPSCustomPaintBox32(AOwner)
{
    // The buffer is exactly the control: every pixel of it is painted from the tables.
    SetBufferMargin(0);
}

void TPSRGBPanel::Changed()
{
    FTablesValid = false;
    Invalidate();
}

void TPSRGBPanel::SetBevelContrast(int Value)
{
    if (Value == FBevelContrast)
        return;
    FBevelContrast = Value;
    Changed();
}

void TPSRGBPanel::SetBevelSize(int Value)
{
    if (Value == FBevelSize)
        return;
    FBevelSize = Value;
    Changed();
}

void TPSRGBPanel::SetColorFrom(TColor32 Value)
{
    if (Value == FColorFrom)
        return;
    FColorFrom = Value;
    Changed();
}

void TPSRGBPanel::SetColorTo(TColor32 Value)
{
    if (Value == FColorTo)
        return;
    FColorTo = Value;
    Changed();
}

void TPSRGBPanel::SetSaturation(int Value)
{
    if (Value == FSaturation)
        return;
    FSaturation = Value;
    Changed();
}

void TPSRGBPanel::SetGradType(TGradType Value)
{
    if (Value == FGradType)
        return;
    FGradType = Value;
    Changed();
}

void TPSRGBPanel::SetFlipGradient(bool Value)
{
    if (Value == FFlipGradient)
        return;
    FFlipGradient = Value;
    Changed();
}

void TPSRGBPanel::SetBevelStyle(TBevelStyle Value)
{
    if (Value == FBevelStyle)
        return;
    FBevelStyle = Value;
    Changed();
}

std::uint8_t TPSRGBPanel::HueChannel(int H, int V, int M)
{
    // The wrap is by 255, not 256: hue 255 and hue 0 give the same channel.
    if (H > 255)
        H -= 255;
    if (H < 0)
        H += 255;
    int r;
    if (6 * H <= 255)
        r = M + (((V - M) * H * 6) >> 8);
    else if (2 * H <= 255)
        r = V;
    else if (3 * H <= 511)
        r = M + (((V - M) * (170 - H) * 6) >> 8);
    else
        r = M;
    return static_cast<std::uint8_t>(r & 0xFF);
}

TColor32 TPSRGBPanel::HueColor(std::uint8_t H, std::uint8_t S, std::uint8_t L)
{
    if (S == 0)
        return (static_cast<TColor32>(L) << 16) | (static_cast<TColor32>(L) << 8) | L;
    const int l = L, s = S;
    const int v = l <= 127 ? (l * (s + 255)) >> 8 : l + s - ((l * s) >> 8) - 1;
    const int m = 2 * l - v;
    const TColor32 r = HueChannel(H + 85, v, m), g = HueChannel(H, v, m), b = HueChannel(H - 85, v, m);
    return (r << 16) | (g << 8) | b;
}

void TPSRGBPanel::BuildTables()
{
    const bool horizontal = FGradType == gtHorz || FGradType == gtHorzRGB;
    const int len = std::max(horizontal ? Width() : Height(), 0);
    const int other = std::max(horizontal ? Height() : Width(), 0);

    FGradientTable.assign(static_cast<std::size_t>(len), 0);
    // 64-bit products: i * 256 must not overflow for any control size.
    const auto step = [len](std::int64_t i) { return static_cast<int>(i * 256 / len); };
    if (!IsRGBType(FGradType)) {
        FFadeTable.clear();
        for (int i = 0; i < len; ++i)
            FGradientTable[i] = CombineColors(FColorTo, FColorFrom, static_cast<TColor32>(step(i)));
        FinishColorOps();
    } else {
        const auto sat = static_cast<std::uint8_t>(FSaturation & 0xFF);
        for (int i = 0; i < len; ++i) {
            const int hue = FFlipGradient ? step(static_cast<std::int64_t>(len) - i) : step(i);
            FGradientTable[i] = HueColor(static_cast<std::uint8_t>(hue & 0xFF), sat, 127);
        }
        // Too thin to wash: no fade table, and rendering shows the plain spectrum.
        FFadeTable.clear();
        const int half = other / 2;
        if (half > 0) {
            FFadeTable.resize(static_cast<std::size_t>(other));
            for (int j = 0; j < other; ++j) {
                const int a = static_cast<int>(255ll * j / half);
                FFadeTable[j] = static_cast<std::uint8_t>(a <= 255 ? 255 - a : a - 256);
            }
        }
    }
    FTablesValid = true;
}

void TPSRGBPanel::TransientBevel(int X1, int Y1, int X2, int Y2, int Contrast)
{
    if (Contrast == 0 || X2 <= X1 || Y2 <= Y1)
        return;
    TColor32 farColor, nearColor;
    int g;
    if (Contrast > 0) {
        farColor = Black32;
        nearColor = White32;
        g = static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(Contrast) * 256 / 100, 255));
    } else {
        farColor = White32;
        nearColor = Black32;
        g = static_cast<int>(std::min<std::int64_t>(-static_cast<std::int64_t>(Contrast) * 256 / 100, 255));
    }
    TBitmap32& b = *Buffer();
    const TRect& clip = b.ClipRect();
    auto blend = [&](int x, int y, TColor32 c) {
        if (x < clip.Left || y < clip.Top || x >= clip.Right || y >= clip.Bottom)
            return;
        BlendColorIntoScaled(c, *b.PixelPointer(x, y), static_cast<TColor32>(g));
    };
    const int w = std::max(Width(), 1), h = std::max(Height(), 1);
    for (int x = X1; x < X2; ++x) {
        const int l = std::clamp(static_cast<int>(static_cast<std::int64_t>(x) * 255 / w), 0, 255);
        blend(x, Y2 - 1, ReplaceAlpha(farColor, static_cast<std::uint8_t>(l)));
        blend(x, Y1, ReplaceAlpha(nearColor, static_cast<std::uint8_t>(255 - l)));
    }
    for (int y = Y1; y < Y2; ++y) {
        const int k = std::clamp(static_cast<int>(static_cast<std::int64_t>(y) * 255 / h), 0, 255);
        blend(X2 - 1, y, ReplaceAlpha(farColor, static_cast<std::uint8_t>(k)));
        blend(X1, y, ReplaceAlpha(nearColor, static_cast<std::uint8_t>(255 - k)));
    }
    FinishColorOps();
}

TRect TPSRGBPanel::BufferArea()
{
    const TRect vp = ViewportRect();
    return TRect{0, 0, std::max(vp.Right - vp.Left, 0), std::max(vp.Bottom - vp.Top, 0)};
}

void TPSRGBPanel::RenderBuffer()
{
    if (!FTablesValid)
        BuildTables();
    TBitmap32& b = *Buffer();
    // The tables follow the control; never step outside either them or the buffer.
    const int w = std::min(Width(), b.Width()), h = std::min(Height(), b.Height());
    const int len = static_cast<int>(FGradientTable.size());
    const int fades = static_cast<int>(FFadeTable.size());
    b.Lock();
    try {
        switch (FGradType) {
        case gtHorz:
            for (int y = 0; y < h; ++y)
                std::copy_n(FGradientTable.data(), std::min(w, len), b.PixelPointer(0, y));
            break;
        case gtVert:
            for (int y = 0; y < std::min(h, len); ++y)
                std::fill_n(b.PixelPointer(0, y), w, FGradientTable[y]);
            break;
        case gtVertRGB:
            for (int y = 0; y < std::min(h, len); ++y) {
                TColor32* row = b.PixelPointer(0, y);
                for (int x = 0; x < w; ++x) {
                    if (x >= fades) {
                        row[x] = FGradientTable[y];
                        continue;
                    }
                    const TColor32 wash = ReplaceAlpha(x <= Width() / 2 ? FColorFrom : FColorTo, FFadeTable[x]);
                    row[x] = BlendColors(wash, FGradientTable[y]);
                }
            }
            FinishColorOps();
            break;
        case gtHorzRGB:
            for (int y = 0; y < h; ++y) {
                TColor32* row = b.PixelPointer(0, y);
                const bool washed = y < fades;
                const TColor32 wash =
                    washed ? ReplaceAlpha(y <= Height() / 2 ? FColorFrom : FColorTo, FFadeTable[y]) : 0;
                for (int x = 0; x < std::min(w, len); ++x)
                    row[x] = washed ? BlendColors(wash, FGradientTable[x]) : FGradientTable[x];
            }
            FinishColorOps();
            break;
        }

        // BevelSize counts rings of a 96-dpi screen; each ring is a device pixel.
        const int rings = std::min(Scaled(FBevelSize), std::min(Width(), Height()) / 2);
        if (FBevelContrast != 0) {
            for (int k = 0; k < rings; ++k) {
                switch (FBevelStyle) {
                case TBevelStyle::bsSolid: b.RaiseRect(k, k, Width() - k, Height() - k, FBevelContrast); break;
                case TBevelStyle::bsTransient: TransientBevel(k, k, Width() - k, Height() - k, FBevelContrast); break;
                case TBevelStyle::bsFrame: b.FrameRectClipped(k, k, Width() - k, Height() - k, Black32); break;
                }
            }
        }
    } catch (...) {
        b.Unlock();
        throw;
    }
    b.Unlock();
    TPSCustomPaintBox32::RenderBuffer();
}

void TPSRGBPanel::Resize()
{
    BuildTables();
    TPSCustomPaintBox32::Resize();
}

void RegisterRGBPanelKind()
{
    if (const TControlKind* k = FindControlKind("TPSRGBPanel"); k && k->Creator())
        return;
    TControlKind& k = RegisterControlKind("TPSRGBPanel", "TCustomControl",
                                          [](TComponent* Owner) { return new TPSRGBPanel(Owner); });
    k.Property<TPSRGBPanel>("BevelSize", [](TPSRGBPanel& p, const TFormProperty& v) { p.SetBevelSize(v.AsCoordinate()); })
        .Property<TPSRGBPanel>("BevelContrast",
                               [](TPSRGBPanel& p, const TFormProperty& v) { p.SetBevelContrast(v.AsInt()); })
        // Colour words are stored as their signed 32-bit value (-1 is opaque white).
        .Property<TPSRGBPanel>("ColorFrom",
                               [](TPSRGBPanel& p, const TFormProperty& v) { p.SetColorFrom(static_cast<TColor32>(v.AsInt())); })
        .Property<TPSRGBPanel>("ColorTo",
                               [](TPSRGBPanel& p, const TFormProperty& v) { p.SetColorTo(static_cast<TColor32>(v.AsInt())); })
        .Property<TPSRGBPanel>("Saturation", [](TPSRGBPanel& p, const TFormProperty& v) { p.SetSaturation(v.AsInt()); })
        .Property<TPSRGBPanel>("GradType",
                               [](TPSRGBPanel& p, const TFormProperty& v) {
                                   p.SetGradType(static_cast<TGradType>(v.AsEnum(
                                       {{"gtHorz", gtHorz}, {"gtVert", gtVert}, {"gtVertRGB", gtVertRGB}, {"gtHorzRGB", gtHorzRGB}})));
                               })
        .Property<TPSRGBPanel>("FlipGradient", [](TPSRGBPanel& p, const TFormProperty& v) { p.SetFlipGradient(v.AsBool()); })
        .Property<TPSRGBPanel>("BevelStyle",
                               [](TPSRGBPanel& p, const TFormProperty& v) {
                                   p.SetBevelStyle(static_cast<TBevelStyle>(v.AsEnum(
                                       {{"bsSolid", static_cast<int>(TBevelStyle::bsSolid)},
                                        {"bsTransient", static_cast<int>(TBevelStyle::bsTransient)},
                                        {"bsFrame", static_cast<int>(TBevelStyle::bsFrame)}})));
                               })
        .Event<TPSRGBPanel, TMouseEvent>("OnMouseDown", &TPSRGBPanel::OnMouseDown)
        .Publish({"Align", "Anchors", "BevelContrast", "BevelSize", "ColorFrom", "ColorTo", "Saturation",
                  "Constraints", "GradType", "FlipGradient", "BevelStyle", "Cursor", "ParentShowHint", "PopupMenu",
                  "ShowHint", "Visible", "OnClick", "OnDblClick", "OnDragDrop", "OnDragOver", "OnMouseDown",
                  "OnMouseMove", "OnMouseUp", "OnResize"});
}
