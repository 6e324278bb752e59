// Toolkit bitmap, icon and picture, and the TBitmap32 assign hooks for them.
#include "toolkit/tkbitmap.h"

#include <algorithm>
#include <cstring>

#include "bitmap/bitmap32.h"
#include "bitmap/bmp_writer.h"
#include "bitmap/low_level.h"

TGraphic::~TGraphic() = default;

// --- TBitmap

TBitmap::TBitmap() { InstallToolkitBitmapHooks(); }

TBitmap::~TBitmap()
{
    FCanvas.reset();
    tkb::DestroyStore(FStore);
}

namespace {
int FormatBits(TPixelFormat F)
{
    switch (F) {
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return tkb::DeviceBitsPerPixel();
    }
}
TPixelFormat FormatOfBits(int Bits) { return Bits == 16 ? pf16bit : Bits == 24 ? pf24bit : pf32bit; }
} // namespace

int TBitmap::BitsPerPixel() const { return FormatBits(FFormat); }

void TBitmap::Rebuild(int NewWidth, int NewHeight, TPixelFormat NewFormat)
{
    NewWidth = std::max(NewWidth, 0);
    NewHeight = std::max(NewHeight, 0);
    tkb::TStore fresh;
    if (NewWidth > 0 && NewHeight > 0) {
        fresh = tkb::CreateStore(NewWidth, NewHeight, FormatBits(NewFormat), NewFormat == pfDevice);
        if (FStore.Handle)
            tkb::CopyStore(FStore, fresh, std::min(NewWidth, FStore.Width), std::min(NewHeight, FStore.Height));
    } else {
        fresh.Width = NewWidth;
        fresh.Height = NewHeight;
    }
    tkb::DestroyStore(FStore);
    FStore = fresh;
    FFormat = NewFormat;
}

void TBitmap::SetSize(int NewWidth, int NewHeight)
{
    if (NewWidth == Width() && NewHeight == Height())
        return;
    Rebuild(NewWidth, NewHeight, FFormat);
}

void TBitmap::SetPixelFormat(TPixelFormat Value)
{
    if (Value != FFormat)
        Rebuild(Width(), Height(), Value);
}

void TBitmap::SetHandleType(TBitmapHandleType Value)
{
    if (Value == HandleType())
        return;
    SetPixelFormat(Value == bmDDB ? pfDevice : FormatOfBits(tkb::DeviceBitsPerPixel()));
}

void* TBitmap::ScanLine(int Y)
{
    if (Y < 0 || Y >= Height() || Width() <= 0)
        throw EInvalidOperation("Scan line index out of range");
    SetHandleType(bmDIB);
    return FStore.Bits + static_cast<std::ptrdiff_t>(Height() - 1 - Y) * tkb::RowBytes(Width(), FStore.BitsPerPixel);
}

TCanvas* TBitmap::Canvas()
{
    if (!FCanvas)
        FCanvas = tkb::CreateStoreCanvas(&FStore);
    return FCanvas.get();
}

TColor TBitmap::ResolvedTransparentColor()
{
    if (TransparentColor != clNone || Empty())
        return TransparentColor;
    return static_cast<TColor>(Canvas()->Pixel(0, Height() - 1) & 0xFFFFFF);
}

int TBitmap::PixelFormatBits() const
{
    switch (FFormat) {
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
    }
}

void TBitmap::SetPixelFormatBits(int Bits)
{
    SetPixelFormat(Bits == 16 ? pf16bit : Bits == 24 ? pf24bit : Bits == 32 ? pf32bit : pfDevice);
}

void TBitmap::Assign(TPersistent* Source)
{
    if (!Source) {
        Rebuild(0, 0, FFormat);
        return;
    }
    if (auto* src = dynamic_cast<TBitmap*>(Source)) {
        if (src == this)
            return;
        Rebuild(0, 0, src->FFormat);
        Rebuild(src->Width(), src->Height(), src->FFormat);
        if (FStore.Handle)
            tkb::CopyStore(src->FStore, FStore, Width(), Height());
        Transparent = src->Transparent;
        TransparentColor = src->TransparentColor;
        return;
    }
    TPersistent::Assign(Source);
}

void TBitmap::Draw(TCanvas& Target, const TRect& R)
{
    const int w = R.Right - R.Left, h = R.Bottom - R.Top;
    if (Empty() || w <= 0 || h <= 0)
        return;
    const bool skip = Transparent;
    const TColor key = skip ? static_cast<TColor>(ColorToRGB(ResolvedTransparentColor())) : 0;
    TCanvas& own = *Canvas();
    for (int y = 0; y < h; ++y) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(y) * Height() / h);
        for (int x = 0; x < w; ++x) {
            const TColor c = own.Pixel(static_cast<int>(static_cast<std::int64_t>(x) * Width() / w), sy);
            if (!skip || c != key)
                Target.SetPixel(R.Left + x, R.Top + y, c);
        }
    }
}

void TBitmap::SaveToStream(TStream& Stream)
{
    const int w = Width() > 0 && Height() > 0 ? Width() : 0;
    const int h = w ? Height() : 0;
    const int bits = BitsPerPixel();
    std::vector<std::uint8_t> rows;
    if (w)
        rows = tkb::StoreFileRows(FStore, bits);
    WriteBmpHeaders(Stream, w, h, bits);
    if (!rows.empty())
        Stream.WriteBuffer(rows.data(), rows.size());
}

void TBitmap::SaveToFile(const std::string& FileName)
{
    WriteFileAtomically(FileName, [this](TStream& s) { SaveToStream(s); });
}

// --- TIcon

std::size_t TIcon::Index(int X, int Y) const
{
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
        throw EInvalidOperation("Icon pixel out of range");
    return static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(X);
}

void TIcon::SetSize(int NewWidth, int NewHeight)
{
    FWidth = std::max(NewWidth, 0);
    FHeight = std::max(NewHeight, 0);
    const std::size_t n = static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight);
    FColors.assign(n, clBlack);
    FMask.assign(n, 1);
}

void TIcon::SetColorAt(int X, int Y, TColor Color)
{
    const std::size_t i = Index(X, Y);
    FColors[i] = Color;
    FMask[i] = 0;
}

void TIcon::SetTransparentAt(int X, int Y) { FMask[Index(X, Y)] = 1; }

void TIcon::Assign(TPersistent* Source)
{
    if (auto* src = dynamic_cast<TIcon*>(Source)) {
        FWidth = src->FWidth;
        FHeight = src->FHeight;
        FColors = src->FColors;
        FMask = src->FMask;
        return;
    }
    TPersistent::Assign(Source);
}

void TIcon::Draw(TCanvas& Canvas, const TRect& R)
{
    const int w = R.Right - R.Left, h = R.Bottom - R.Top;
    if (Empty() || w <= 0 || h <= 0)
        return;
    for (int y = 0; y < h; ++y) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(y) * FHeight / h);
        for (int x = 0; x < w; ++x) {
            const std::size_t i = Index(static_cast<int>(static_cast<std::int64_t>(x) * FWidth / w), sy);
            if (!FMask[i])
                Canvas.SetPixel(R.Left + x, R.Top + y, FColors[i]);
        }
    }
}

// --- TPicture

TPicture::TPicture() { InstallToolkitBitmapHooks(); }
TPicture::~TPicture() = default;

TBitmap* TPicture::Bitmap()
{
    if (!dynamic_cast<TBitmap*>(FGraphic.get()))
        FGraphic = std::make_unique<TBitmap>();
    return static_cast<TBitmap*>(FGraphic.get());
}

TIcon* TPicture::Icon()
{
    if (!dynamic_cast<TIcon*>(FGraphic.get()))
        FGraphic = std::make_unique<TIcon>();
    return static_cast<TIcon*>(FGraphic.get());
}

void TPicture::Assign(TPersistent* Source)
{
    if (!Source) {
        FGraphic.reset();
        return;
    }
    if (Source == this)
        return;
    TPersistent* from = Source;
    if (auto* pic = dynamic_cast<TPicture*>(Source)) {
        from = pic->Graphic();
        if (!from) {
            FGraphic.reset();
            return;
        }
    }
    if (dynamic_cast<TBitmap*>(from)) {
        auto b = std::make_unique<TBitmap>();
        b->Assign(from);
        FGraphic = std::move(b);
        return;
    }
    if (dynamic_cast<TIcon*>(from)) {
        auto i = std::make_unique<TIcon>();
        i->Assign(from);
        FGraphic = std::move(i);
        return;
    }
    TPersistent::Assign(from);
}

// --- module-wide objects

TBitmap* PatternBitmap()
{
    static TBitmap* pattern = [] {
        auto* b = new TBitmap; // kept until unload; destroying GDI objects then is pointless
        b->SetPixelFormat(pf32bit);
        b->SetSize(8, 8);
        return b;
    }();
    return pattern;
}

void* StockSystemFont() { return tkb::StockSystemFont(); }

// --- TBitmap32 hooks

namespace {

void AssignFromBitmap(TBitmap32& Self, TBitmap& Source)
{
    Self.SetSize(Source.Width(), Source.Height());
    if (Self.IsEmpty())
        return;
    tkb::CopyStoreToBitmap32(Source.Store(), Self);
    if (Source.BitsPerPixel() != 32)
        Self.MakeOpaque();
    if (Source.Transparent) {
        const TColor32 key = ColorFromSystem(Source.ResolvedTransparentColor()) & 0x00FFFFFFu;
        TColor32* p = Self.Bits();
        const std::size_t n = static_cast<std::size_t>(Self.Width()) * static_cast<std::size_t>(Self.Height());
        for (std::size_t i = 0; i < n; ++i)
            if ((p[i] & 0x00FFFFFFu) == key)
                p[i] &= 0x00FFFFFFu;
    }
}

void DrawGraphicInto(TBitmap32& Target, TGraphic& Source)
{
    auto canvas = tkb::CreateBitmap32Canvas(Target);
    Source.Draw(*canvas, TRect{0, 0, Target.Width(), Target.Height()});
}

void AssignFromDrawn(TBitmap32& Self, TGraphic& Source)
{
    Self.SetSize(Source.Width(), Source.Height());
    if (Self.IsEmpty())
        return;
    DrawGraphicInto(Self, Source);
    Self.MakeOpaque();
}

// Drawn over white and over blue-less red: a pixel that comes out the same on both belongs
// to the graphic and is opaque, any other shows the background and is transparent.
void AssignFromMasked(TBitmap32& Self, TGraphic& Source)
{
    Self.SetSize(Source.Width(), Source.Height());
    if (Self.IsEmpty())
        return;
    Self.Clear(0xFFFFFFFFu);
    DrawGraphicInto(Self, Source);
    TBitmap32 second;
    second.SetSize(Self.Width(), Self.Height());
    second.Clear(0xFFFF0000u);
    DrawGraphicInto(second, Source);
    TColor32* p = Self.Bits();
    const TColor32* q = second.Bits();
    const std::size_t n = static_cast<std::size_t>(Self.Width()) * static_cast<std::size_t>(Self.Height());
    for (std::size_t i = 0; i < n; ++i) {
        const TColor32 rgb = p[i] & 0x00FFFFFFu;
        p[i] = rgb | (rgb == (q[i] & 0x00FFFFFFu) ? 0xFF000000u : 0u);
    }
}

bool AssignFromToolkit(TBitmap32* Self, TPersistent* Source)
{
    if (auto* bmp = dynamic_cast<TBitmap*>(Source)) {
        AssignFromBitmap(*Self, *bmp);
        return true;
    }
    if (auto* pic = dynamic_cast<TPicture*>(Source)) {
        TGraphic* g = pic->Graphic();
        if (!g)
            Self->SetSize(0, 0);
        else if (auto* b = dynamic_cast<TBitmap*>(g))
            AssignFromBitmap(*Self, *b);
        else if (dynamic_cast<TIcon*>(g))
            AssignFromMasked(*Self, *g);
        else
            AssignFromDrawn(*Self, *g);
        return true;
    }
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        AssignFromDrawn(*Self, *g);
        return true;
    }
    return false;
}

void AssignToBitmap(TBitmap32& Self, TBitmap& Dest)
{
    Dest.SetPixelFormat(pf32bit);
    Dest.SetSize(Self.Width(), Self.Height());
    if (!Self.IsEmpty())
        Self.DrawToDeviceContext(Dest.Canvas()->Handle(), 0, 0);
}

bool AssignToToolkit(TBitmap32* Self, TPersistent* Dest)
{
    if (auto* pic = dynamic_cast<TPicture*>(Dest)) {
        AssignToBitmap(*Self, *pic->Bitmap());
        return true;
    }
    if (auto* bmp = dynamic_cast<TBitmap*>(Dest)) {
        AssignToBitmap(*Self, *bmp);
        return true;
    }
    return false;
}

// Start-up: any program holding a toolkit graphic links this file and so gets the hooks.
[[maybe_unused]] const bool HooksInstalled = (InstallToolkitBitmapHooks(), true);

} // namespace

void InstallToolkitBitmapHooks()
{
    TBitmap32::AssignFromToolkit = &AssignFromToolkit;
    TBitmap32::AssignToToolkit = &AssignToToolkit;
}
