// Headless toolkit bitmaps: bottom-up rows padded to 4 bytes in plain memory, as a DIB lays
// them out; the device-dependent format is the headless screen's depth. The "device
// context" of a store is the store's memory block itself.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "bitmap/bitmap32.h"
#include "toolkit/headless/canvas.h"
#include "toolkit/platform.h"
#include "toolkit/tkbitmap_backend.h"

namespace tkb {
namespace {

// The memory block: this header, then the rows.
struct TSurface {
    int Width, Height, Bits, Stride;
    std::uint8_t* Rows() { return reinterpret_cast<std::uint8_t*>(this + 1); }
    std::uint8_t* At(int X, int Y) { return Rows() + static_cast<std::ptrdiff_t>(Height - 1 - Y) * Stride + X * (Bits / 8); }
    // Colour word 0xAARRGGBB; formats without alpha give alpha 0.
    std::uint32_t Get(int X, int Y)
    {
        std::uint8_t* p = At(X, Y);
        if (Bits == 32) {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
        if (Bits == 24)
            return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
        const unsigned v = p[0] | p[1] << 8; // x RRRRR GGGGG BBBBB
        auto widen = [](unsigned c) { return (c << 3) | (c >> 2); };
        return widen((v >> 10) & 31) << 16 | widen((v >> 5) & 31) << 8 | widen(v & 31);
    }
    void Put(int X, int Y, std::uint32_t C)
    {
        if (X < 0 || Y < 0 || X >= Width || Y >= Height)
            return;
        std::uint8_t* p = At(X, Y);
        if (Bits == 32) {
            std::memcpy(p, &C, 4);
        } else if (Bits == 24) {
            p[0] = static_cast<std::uint8_t>(C);
            p[1] = static_cast<std::uint8_t>(C >> 8);
            p[2] = static_cast<std::uint8_t>(C >> 16);
        } else {
            const unsigned v = ((C >> 19) & 31) << 10 | ((C >> 11) & 31) << 5 | ((C >> 3) & 31);
            p[0] = static_cast<std::uint8_t>(v);
            p[1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
};

TSurface* SurfaceOf(const TStore& S) { return static_cast<TSurface*>(S.Handle); }

// Canvas on a store: pixels directly; the other drawing goes through the software canvas on
// a copy of the pixels, which is then written back.
class TStoreCanvas : public TCanvas {
public:
    VP_CLASS_NAME(TStoreCanvas)
    explicit TStoreCanvas(const TStore* S) : FStore(S) {}
    void* Handle() const override { return FStore->DC; }
    TRect ClipRect() const override
    {
        TSurface* s = SurfaceOf(*FStore);
        return s ? TRect{0, 0, s->Width, s->Height} : TRect{};
    }
    TColor Pixel(int X, int Y) const override
    {
        TSurface* s = SurfaceOf(*FStore);
        if (!s || X < 0 || Y < 0 || X >= s->Width || Y >= s->Height)
            return -1;
        return THeadlessCanvas::FromColor32(s->Get(X, Y));
    }
    void SetPixel(int X, int Y, TColor Color) override
    {
        // GDI leaves the fourth byte of a 32-bit surface 0 when it sets a pixel.
        if (TSurface* s = SurfaceOf(*FStore))
            s->Put(X, Y, THeadlessCanvas::ToColor32(Color) & 0x00FFFFFFu);
    }
    void FillRect(const TRect& R) override { Via([&](TCanvas& c) { c.FillRect(R); }); }
    void FrameRect(const TRect& R) override { Via([&](TCanvas& c) { c.FrameRect(R); }); }
    void DrawFocusRect(const TRect& R) override { Via([&](TCanvas& c) { c.DrawFocusRect(R); }); }
    void MoveTo(int X, int Y) override { PenPos = TPoint{X, Y}; }
    void LineTo(int X, int Y) override { Via([&](TCanvas& c) { c.LineTo(X, Y); }); }
    void Polygon(const std::vector<TPoint>& P) override { Via([&](TCanvas& c) { c.Polygon(P); }); }
    void DrawEdge(TRect& R, unsigned Edge, unsigned Flags) override
    {
        Via([&](TCanvas& c) { c.DrawEdge(R, Edge, Flags); });
    }
    void TextOut(int X, int Y, const std::string& Text) override { Via([&](TCanvas& c) { c.TextOut(X, Y, Text); }); }
    TSize TextExtent(const std::string& Text) const override { return plat::TextExtent(Font, Text); }

private:
    template <class F> void Via(F Op)
    {
        TSurface* s = SurfaceOf(*FStore);
        if (!s)
            return;
        TBitmap32 work;
        work.SetSize(s->Width, s->Height);
        for (int y = 0; y < s->Height; ++y)
            for (int x = 0; x < s->Width; ++x)
                work.SetPixelAt(x, y, s->Get(x, y));
        THeadlessCanvas c(work);
        c.Pen.Color = Pen.Color;
        c.Pen.Width = Pen.Width;
        c.Pen.Style = Pen.Style;
        c.Brush.Color = Brush.Color;
        c.Brush.Style = Brush.Style;
        std::memcpy(c.Brush.Pattern, Brush.Pattern, sizeof Brush.Pattern);
        c.Brush.PatternBackground = Brush.PatternBackground;
        c.Font.Assign(&Font);
        c.PenPos = PenPos;
        Op(c);
        PenPos = c.PenPos;
        for (int y = 0; y < s->Height; ++y)
            for (int x = 0; x < s->Width; ++x)
                s->Put(x, y, work.PixelAt(x, y));
    }
    const TStore* FStore;
};

} // namespace

int DeviceBitsPerPixel()
{
    const int d = plat::ScreenDepth();
    return d == 16 || d == 24 ? d : 32;
}

TStore CreateStore(int Width, int Height, int BitsPerPixel, bool Device)
{
    const int bits = Device ? DeviceBitsPerPixel() : BitsPerPixel;
    if (Width <= 0 || Height <= 0 || (bits != 16 && bits != 24 && bits != 32))
        throw EOutOfResources("Out of system resources");
    const std::uint64_t stride = static_cast<std::uint64_t>(RowBytes(Width, bits));
    const std::uint64_t bytes = stride * static_cast<std::uint64_t>(Height);
    if (Width > std::numeric_limits<int>::max() / 32 || bytes > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw EOutOfResources("Out of system resources");
    void* block = std::calloc(1, sizeof(TSurface) + static_cast<std::size_t>(bytes));
    if (!block)
        throw EOutOfResources("Out of system resources");
    auto* s = static_cast<TSurface*>(block);
    *s = TSurface{Width, Height, bits, static_cast<int>(stride)};
    TStore st;
    st.Handle = st.DC = s;
    st.Bits = s->Rows();
    st.Width = Width;
    st.Height = Height;
    st.BitsPerPixel = bits;
    st.Device = Device;
    return st;
}

void DestroyStore(TStore& Store)
{
    std::free(Store.Handle);
    Store = TStore{};
}

void CopyStore(const TStore& Source, TStore& Dest, int Width, int Height)
{
    TSurface* s = SurfaceOf(Source);
    TSurface* d = SurfaceOf(Dest);
    if (!s || !d)
        return;
    for (int y = 0; y < std::min({Height, s->Height, d->Height}); ++y)
        for (int x = 0; x < std::min({Width, s->Width, d->Width}); ++x)
            d->Put(x, y, s->Get(x, y));
}

void CopyStoreToBitmap32(const TStore& Source, TBitmap32& Dest)
{
    TSurface* s = SurfaceOf(Source);
    if (!s || Dest.IsEmpty())
        return;
    for (int y = 0; y < std::min(s->Height, Dest.Height()); ++y)
        for (int x = 0; x < std::min(s->Width, Dest.Width()); ++x)
            Dest.SetPixelAt(x, y, s->Get(x, y));
}

std::vector<std::uint8_t> StoreFileRows(const TStore& Store, int BitsPerPixel)
{
    TSurface* s = SurfaceOf(Store);
    if (!s)
        return {};
    if (BitsPerPixel == s->Bits)
        return std::vector<std::uint8_t>(s->Rows(), s->Rows() + static_cast<std::size_t>(s->Stride) * s->Height);
    // Another depth: convert through a scratch surface of that depth.
    TStore tmp = CreateStore(s->Width, s->Height, BitsPerPixel, false);
    CopyStore(Store, tmp, s->Width, s->Height);
    auto rows = StoreFileRows(tmp, BitsPerPixel);
    DestroyStore(tmp);
    return rows;
}

std::unique_ptr<TCanvas> CreateStoreCanvas(const TStore* Store) { return std::make_unique<TStoreCanvas>(Store); }

std::unique_ptr<TCanvas> CreateBitmap32Canvas(TBitmap32& Bitmap) { return std::make_unique<THeadlessCanvas>(Bitmap); }

void* StockSystemFont()
{
    static int token;
    return &token;
}

} // namespace tkb

void TBitmap32::DrawToDeviceContext(void* DC, int X, int Y)
{
    auto* s = static_cast<tkb::TSurface*>(DC);
    if (IsEmpty() || !s)
        return;
    for (int y = 0; y < Height(); ++y)
        for (int x = 0; x < Width(); ++x)
            s->Put(X + x, Y + y, PixelAt(x, y));
}
