// Windows toolkit bitmaps: bottom-up DIB sections and screen-compatible bitmaps, each selected
// into its own memory device context, copied with BitBlt, StretchDIBits and GetDIBits.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "bitmap/bitmap32.h"
#include "toolkit/tkbitmap_backend.h"

namespace tkb {
namespace {

COLORREF Rgb(TColor C) { return static_cast<COLORREF>(ColorToRGB(C) & 0xFFFFFF); }

// A canvas on a device context; for a store it rereads the store's context at every call.
class TGdiCanvas : public TCanvas {
public:
    VP_CLASS_NAME(TGdiCanvas)
    explicit TGdiCanvas(const TStore* S) : FStore(S) {}
    explicit TGdiCanvas(HDC DC) : FFixed(DC) {}
    void* Handle() const override { return DC(); }
    TRect ClipRect() const override
    {
        RECT r{};
        if (!DC() || GetClipBox(DC(), &r) == ERROR)
            return TRect{};
        return TRect{r.left, r.top, r.right, r.bottom};
    }
    TColor Pixel(int X, int Y) const override
    {
        const COLORREF c = DC() ? GetPixel(DC(), X, Y) : CLR_INVALID;
        return c == CLR_INVALID ? -1 : static_cast<TColor>(c);
    }
    void SetPixel(int X, int Y, TColor Color) override
    {
        if (DC())
            SetPixelV(DC(), X, Y, Rgb(Color));
    }
    void FillRect(const TRect& R) override
    {
        if (!DC() || Brush.Style == bsClear)
            return;
        HBRUSH b = CreateSolidBrush(Rgb(Brush.Color));
        RECT r{R.Left, R.Top, R.Right, R.Bottom};
        ::FillRect(DC(), &r, b);
        DeleteObject(b);
    }
    void FrameRect(const TRect& R) override
    {
        if (!DC())
            return;
        HBRUSH b = CreateSolidBrush(Rgb(Brush.Color));
        RECT r{R.Left, R.Top, R.Right, R.Bottom};
        ::FrameRect(DC(), &r, b);
        DeleteObject(b);
    }
    void DrawFocusRect(const TRect& R) override
    {
        RECT r{R.Left, R.Top, R.Right, R.Bottom};
        if (DC())
            ::DrawFocusRect(DC(), &r);
    }
    void LineTo(int X, int Y) override
    {
        if (DC()) {
            WithPen([&] {
                MoveToEx(DC(), PenPos.X, PenPos.Y, nullptr);
                ::LineTo(DC(), X, Y);
            });
        }
        PenPos = TPoint{X, Y};
    }
    void Polygon(const std::vector<TPoint>& Points) override
    {
        if (!DC() || Points.empty())
            return;
        std::vector<POINT> p;
        for (const TPoint& q : Points)
            p.push_back(POINT{q.X, q.Y});
        HBRUSH b = Brush.Style == bsClear ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(Rgb(Brush.Color));
        HGDIOBJ oldB = SelectObject(DC(), b);
        SetPolyFillMode(DC(), ALTERNATE);
        WithPen([&] { ::Polygon(DC(), p.data(), static_cast<int>(p.size())); });
        SelectObject(DC(), oldB);
        if (Brush.Style != bsClear)
            DeleteObject(b);
    }
    void DrawEdge(TRect& R, unsigned Edge, unsigned Flags) override
    {
        RECT r{R.Left, R.Top, R.Right, R.Bottom};
        if (DC())
            ::DrawEdge(DC(), &r, Edge, Flags);
        R = TRect{r.left, r.top, r.right, r.bottom};
    }
    void TextOut(int X, int Y, const std::string& Text) override
    {
        if (!DC())
            return;
        SetTextColor(DC(), Rgb(Font.Color()));
        SetBkMode(DC(), Brush.Style == bsClear ? TRANSPARENT : OPAQUE);
        SetBkColor(DC(), Rgb(Brush.Color));
        TextOutA(DC(), X, Y, Text.c_str(), static_cast<int>(Text.size()));
    }
    TSize TextExtent(const std::string& Text) const override
    {
        SIZE s{0, 0};
        if (DC())
            GetTextExtentPoint32A(DC(), Text.c_str(), static_cast<int>(Text.size()), &s);
        return TSize{s.cx, s.cy};
    }

private:
    HDC DC() const { return FStore ? static_cast<HDC>(FStore->DC) : FFixed; }
    template <class F> void WithPen(F Draw)
    {
        HPEN pen = Pen.Style == psClear ? static_cast<HPEN>(GetStockObject(NULL_PEN))
                                        : CreatePen(PS_SOLID, Pen.Width, Rgb(Pen.Color));
        HGDIOBJ old = SelectObject(DC(), pen);
        Draw();
        SelectObject(DC(), old);
        if (Pen.Style != psClear)
            DeleteObject(pen);
    }
    const TStore* FStore = nullptr;
    HDC FFixed = nullptr;
};

void FillInfo(BITMAPINFOHEADER& H, int Width, int Height, int Bits)
{
    std::memset(&H, 0, sizeof H);
    H.biSize = sizeof H;
    H.biWidth = Width;
    H.biHeight = Height; // positive: bottom-up
    H.biPlanes = 1;
    H.biBitCount = static_cast<WORD>(Bits);
    H.biCompression = BI_RGB;
}

[[noreturn]] void Fail() { throw EOutOfResources("Out of system resources"); }

} // namespace

int DeviceBitsPerPixel()
{
    HDC screen = GetDC(nullptr);
    const int d = screen ? GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) : 32;
    if (screen)
        ReleaseDC(nullptr, screen);
    return d == 16 || d == 24 ? d : 32;
}

TStore CreateStore(int Width, int Height, int BitsPerPixel, bool Device)
{
    TStore st;
    st.Width = Width;
    st.Height = Height;
    st.Device = Device;
    st.BitsPerPixel = Device ? DeviceBitsPerPixel() : BitsPerPixel;
    if (Width <= 0 || Height <= 0 || static_cast<long long>(RowBytes(Width, 32)) * Height > 0x7FFFFFFFLL)
        Fail();
    HBITMAP bmp = nullptr;
    if (Device) {
        HDC screen = GetDC(nullptr);
        bmp = CreateCompatibleBitmap(screen, Width, Height);
        ReleaseDC(nullptr, screen);
    } else {
        BITMAPINFO info{};
        FillInfo(info.bmiHeader, Width, Height, BitsPerPixel);
        void* bits = nullptr;
        bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bmp && !bits) {
            DeleteObject(bmp);
            bmp = nullptr;
        }
        st.Bits = static_cast<std::uint8_t*>(bits);
    }
    if (!bmp)
        Fail();
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        DeleteObject(bmp);
        Fail();
    }
    HGDIOBJ old = SelectObject(dc, bmp);
    if (!old) {
        DeleteDC(dc);
        DeleteObject(bmp);
        Fail();
    }
    st.Handle = bmp;
    st.DC = dc;
    st.OldObject = old;
    // A new compatible bitmap holds undefined pixels; start every store at 0.
    PatBlt(dc, 0, 0, Width, Height, BLACKNESS);
    return st;
}

void DestroyStore(TStore& Store)
{
    if (Store.DC) {
        SelectObject(static_cast<HDC>(Store.DC), static_cast<HGDIOBJ>(Store.OldObject));
        DeleteDC(static_cast<HDC>(Store.DC));
    }
    if (Store.Handle)
        DeleteObject(static_cast<HGDIOBJ>(Store.Handle));
    Store = TStore{};
}

void CopyStore(const TStore& Source, TStore& Dest, int Width, int Height)
{
    if (Source.DC && Dest.DC)
        BitBlt(static_cast<HDC>(Dest.DC), 0, 0, Width, Height, static_cast<HDC>(Source.DC), 0, 0, SRCCOPY);
    GdiFlush();
}

void CopyStoreToBitmap32(const TStore& Source, TBitmap32& Dest)
{
    if (!Source.DC || Dest.IsEmpty())
        return;
    BitBlt(static_cast<HDC>(Dest.DeviceContext()), 0, 0, Dest.Width(), Dest.Height(), static_cast<HDC>(Source.DC), 0, 0,
           SRCCOPY);
    GdiFlush();
}

std::vector<std::uint8_t> StoreFileRows(const TStore& Store, int BitsPerPixel)
{
    if (!Store.Handle)
        return {};
    const std::size_t size = static_cast<std::size_t>(RowBytes(Store.Width, BitsPerPixel)) * Store.Height;
    std::vector<std::uint8_t> rows(size);
    GdiFlush();
    if (Store.Bits && BitsPerPixel == Store.BitsPerPixel) {
        std::memcpy(rows.data(), Store.Bits, size);
        return rows;
    }
    // GetDIBits wants the bitmap out of every device context while it reads.
    HDC dc = static_cast<HDC>(Store.DC);
    SelectObject(dc, static_cast<HGDIOBJ>(Store.OldObject));
    BITMAPINFO info{};
    FillInfo(info.bmiHeader, Store.Width, Store.Height, BitsPerPixel);
    HDC screen = GetDC(nullptr);
    const int got = GetDIBits(screen, static_cast<HBITMAP>(Store.Handle), 0, static_cast<UINT>(Store.Height), rows.data(),
                              &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    SelectObject(dc, static_cast<HGDIOBJ>(Store.Handle));
    if (got != Store.Height)
        throw EStreamError("Can't read the bitmap's pixels");
    return rows;
}

std::unique_ptr<TCanvas> CreateStoreCanvas(const TStore* Store) { return std::make_unique<TGdiCanvas>(Store); }

std::unique_ptr<TCanvas> CreateBitmap32Canvas(TBitmap32& Bitmap)
{
    return std::make_unique<TGdiCanvas>(static_cast<HDC>(Bitmap.DeviceContext()));
}

void* StockSystemFont() { return GetStockObject(SYSTEM_FONT); }

} // namespace tkb

void TBitmap32::DrawToDeviceContext(void* DC, int X, int Y)
{
    if (IsEmpty() || !DC)
        return;
    GdiFlush();
    StretchDIBits(static_cast<HDC>(DC), X, Y, Width(), Height(), 0, 0, Width(), Height(), Bits(),
                  reinterpret_cast<const BITMAPINFO*>(&BitmapInfo()), DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
}
