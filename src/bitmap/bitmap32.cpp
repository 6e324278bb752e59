#include "bitmap/bitmap32.h"

#include <cstring>

#include "bitmap/blend.h"
#include "bitmap/low_level.h"

namespace {
// Guards the lock counters of every bitmap (the module-wide lock of the bitmap core).
std::mutex& LockCountGuard()
{
    static std::mutex guard;
    return guard;
}

// Each coordinate times 256; wraps instead of overflowing for bitmaps wider than 2^23.
TRect ScaleRect256(const TRect& R)
{
    auto f = [](int v) { return static_cast<int>(static_cast<std::uint32_t>(v) << 8); };
    return TRect{f(R.Left), f(R.Top), f(R.Right), f(R.Bottom)};
}
} // namespace

// ---------------------------------------------------------------- TThreadPersistent

void TThreadPersistent::NotifyChange()
{
    if (FUpdateCount == 0 && OnChange)
        OnChange(this);
}

void TThreadPersistent::EndUpdate()
{
    if (FUpdateCount <= 0)
        throw EAssertionFailed("Unpaired TThreadPersistent.EndUpdate");
    --FUpdateCount;
}

void TThreadPersistent::Lock()
{
    {
        std::lock_guard<std::mutex> g(LockCountGuard());
        ++FLockCount;
    }
    FLock.lock();
}

void TThreadPersistent::Unlock()
{
    FLock.unlock();
    std::lock_guard<std::mutex> g(LockCountGuard());
    --FLockCount;
}

// ---------------------------------------------------------------- TCustomMap

void TCustomMap::ReallocStorage(int& Width, int& Height, int NewWidth, int NewHeight)
{
    Width = NewWidth;
    Height = NewHeight;
}

void TCustomMap::ReleaseStorage() { SetSize(0, 0); }

bool TCustomMap::IsEmpty() const { return FWidth == 0 || FHeight == 0; }

void TCustomMap::NotifyResize()
{
    if (OnResize)
        OnResize(this);
}

bool TCustomMap::SetSize(int NewWidth, int NewHeight)
{
    if (NewWidth < 0)
        NewWidth = 0;
    if (NewHeight < 0)
        NewHeight = 0;
    if (NewWidth == FWidth && NewHeight == FHeight)
        return false;
    ReallocStorage(FWidth, FHeight, NewWidth, NewHeight);
    NotifyChange();
    NotifyResize();
    return true;
}

// Size queries of toolkit graphics and controls are answered by the toolkit (see
// toolkit/size_source.h); here only maps and null are known.
void TCustomMap::SetSizeFrom(TPersistent* Source)
{
    if (!Source) {
        SetSize(0, 0);
        return;
    }
    if (auto* map = dynamic_cast<TCustomMap*>(Source)) {
        SetSize(map->Width(), map->Height());
        return;
    }
    if (auto* sized = dynamic_cast<ISizeSource*>(Source)) {
        SetSize(sized->SourceWidth(), sized->SourceHeight());
        return;
    }
    throw Exception(std::string("Can't set size from '") + Source->ClassName() + "'");
}

// ---------------------------------------------------------------- TBitmap32

TBitmap32::TBitmap32()
{
    FBitmapInfo = TBitmapInfoHeader{};
    SetCombineMode(cmBlend);
}

TBitmap32::~TBitmap32()
{
    BeginUpdate();
    Lock();
    SetSize(0, 0);
    Unlock();
}

void TBitmap32::ReallocStorage(int& Width, int& Height, int NewWidth, int NewHeight)
{
    struct HandleChangeAtEnd {
        TBitmap32* self;
        ~HandleChangeAtEnd() { self->NotifyHandleChange(); }
    } atEnd{this};
    DestroyDibStorage(FStorage);
    FBits = nullptr;
    Width = 0;
    Height = 0;
    // The clip rectangle follows the (now empty) bounds at once, so a failed allocation
    // cannot leave clipped drawing aimed at the freed pixels.
    ResetClipRect();
    if (NewWidth <= 0 || NewHeight <= 0)
        return;
    // The pixel byte count must fit the signed 32-bit sizes of DIB sections and BMP files.
    if (static_cast<std::uint64_t>(NewWidth) * static_cast<std::uint64_t>(NewHeight) * sizeof(TColor32) >
        static_cast<std::uint64_t>(INT32_MAX))
        throw EOutOfResources("Can't allocate the DIB handle");
    FBitmapInfo.biWidth = NewWidth;
    FBitmapInfo.biHeight = -NewHeight;
    FStorage = CreateDibStorage(NewWidth, NewHeight);
    FBits = FStorage.Bits;
    Width = NewWidth;
    Height = NewHeight;
    ResetClipRect();
}

void TBitmap32::ReleaseStorage() { SetSize(0, 0); }

bool TBitmap32::IsEmpty() const { return FBits == nullptr || FWidth == 0 || FHeight == 0; }

void TBitmap32::NotifyHandleChange()
{
    if (OnHandleChanged)
        OnHandleChanged(this);
}

void TBitmap32::ResetClipRect()
{
    FClipRect = BoundsRect();
    FFixedClipRect = RectToFixed(FClipRect);
    FClipRect256 = ScaleRect256(FClipRect);
    FClipping = false;
}

void TBitmap32::SetClipRect(const TRect& R)
{
    TRect r;
    IntersectRects(r, R, BoundsRect());
    FClipRect = r;
    FFixedClipRect = RectToFixed(FClipRect);
    FClipRect256 = ScaleRect256(r);
    FClipping = !SameRect(FClipRect, BoundsRect());
}

void TBitmap32::SetDrawMode(TDrawMode Value)
{
    if (FDrawMode == Value)
        return;
    FDrawMode = Value;
    NotifyChange();
}

void TBitmap32::SetCombineMode(TCombineMode Value)
{
    FCombineMode = Value;
    NotifyChange();
}

void TBitmap32::SetMasterAlpha(std::uint32_t Value)
{
    if (FMasterAlpha == Value)
        return;
    FMasterAlpha = Value;
    NotifyChange();
}

void TBitmap32::SetStretchFilter(TStretchFilter Value)
{
    if (FStretchFilter == Value)
        return;
    FStretchFilter = Value;
    NotifyChange();
}

// ---------------------------------------------------------------- pixels

TColor32 TBitmap32::PixelClipped(int X, int Y) const
{
    if (X < FClipRect.Left || X >= FClipRect.Right || Y < FClipRect.Top || Y >= FClipRect.Bottom)
        return FOuterColor;
    return PixelAt(X, Y);
}

void TBitmap32::SetPixelBlended(int X, int Y, TColor32 Value)
{
    if (X < FClipRect.Left || X >= FClipRect.Right || Y < FClipRect.Top || Y >= FClipRect.Bottom)
        return;
    BlendColorIntoByMode[FCombineMode](Value, *PixelPointer(X, Y));
    FinishColorOps();
}

void TBitmap32::Clear(TColor32 Color)
{
    if (IsEmpty())
        return;
    FillColorRun(FBits, FWidth * FHeight, Color);
    NotifyChange();
}

void TBitmap32::SetAllAlpha(std::uint8_t Alpha)
{
    const std::size_t n = IsEmpty() ? 0 : static_cast<std::size_t>(FWidth) * FHeight;
    std::uint8_t* p = reinterpret_cast<std::uint8_t*>(FBits);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        p[i * 4 + 3] = Alpha;
        p[i * 4 + 7] = Alpha;
        p[i * 4 + 11] = Alpha;
        p[i * 4 + 15] = Alpha;
    }
    for (; i < n; ++i)
        p[i * 4 + 3] = Alpha;
    NotifyChange();
}

// The unclipped spans trust the caller: every pixel of the span must lie in the bitmap.

void TBitmap32::FillRowSpan(int X1, int Y, int X2, TColor32 Value)
{
    FillColorRun(PixelPointer(X1, Y), X2 - X1 + 1, Value);
}

void TBitmap32::FillRowSpanClipped(int X1, int Y, int X2, TColor32 Value)
{
    if (Y < FClipRect.Top || Y >= FClipRect.Bottom)
        return;
    if (ClipSpan(X1, X2, FClipRect.Left, FClipRect.Right))
        FillRowSpan(X1, Y, X2, Value);
}

void TBitmap32::BlendRowSpan(int X1, int Y, int X2, TColor32 Value)
{
    if (X2 < X1)
        return;
    TBlendMem blend = BlendColorIntoByMode[FCombineMode];
    TColor32* p = PixelPointer(X1, Y);
    for (int n = X2 - X1 + 1; n > 0; --n, ++p)
        blend(Value, *p);
    FinishColorOps();
}

void TBitmap32::BlendRowSpanClipped(int X1, int Y, int X2, TColor32 Value)
{
    if (Y < FClipRect.Top || Y >= FClipRect.Bottom)
        return;
    if (ClipSpan(X1, X2, FClipRect.Left, FClipRect.Right))
        BlendRowSpan(X1, Y, X2, Value);
}

void TBitmap32::FillColumnSpan(int X, int Y1, int Y2, TColor32 Value)
{
    TColor32* p = PixelPointer(X, Y1);
    for (int n = Y2 - Y1 + 1; n > 0; --n, p += FWidth)
        *p = Value;
}

void TBitmap32::FillColumnSpanClipped(int X, int Y1, int Y2, TColor32 Value)
{
    if (X < FClipRect.Left || X >= FClipRect.Right)
        return;
    if (ClipSpan(Y1, Y2, FClipRect.Top, FClipRect.Bottom))
        FillColumnSpan(X, Y1, Y2, Value);
}

void TBitmap32::BlendColumnSpan(int X, int Y1, int Y2, TColor32 Value)
{
    if (Y2 < Y1)
        return;
    TBlendMem blend = BlendColorIntoByMode[FCombineMode];
    TColor32* p = PixelPointer(X, Y1);
    for (int n = Y2 - Y1 + 1; n > 0; --n, p += FWidth)
        blend(Value, *p);
    FinishColorOps();
}

void TBitmap32::BlendColumnSpanClipped(int X, int Y1, int Y2, TColor32 Value)
{
    if (X < FClipRect.Left || X >= FClipRect.Right)
        return;
    if (ClipSpan(Y1, Y2, FClipRect.Top, FClipRect.Bottom))
        BlendColumnSpan(X, Y1, Y2, Value);
}

void TBitmap32::FillRectUnclipped(int X1, int Y1, int X2, int Y2, TColor32 Value)
{
    for (int y = Y1; y < Y2; ++y)
        FillColorRun(PixelPointer(X1, y), X2 - X1, Value);
    NotifyChange();
}

bool TBitmap32::MissesClipRect(int X1, int Y1, int X2, int Y2) const
{
    // An empty clip rectangle (as an empty bitmap has) contains nothing to draw on.
    const TRect& c = FClipRect;
    return RectIsEmpty(c) || X1 >= X2 || Y1 >= Y2 || X2 <= c.Left || X1 >= c.Right || Y2 <= c.Top || Y1 >= c.Bottom;
}

void TBitmap32::FillRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value)
{
    if (MissesClipRect(X1, Y1, X2, Y2))
        return;
    const TRect& c = FClipRect;
    FillRectUnclipped(std::max(X1, c.Left), std::max(Y1, c.Top), std::min(X2, c.Right), std::min(Y2, c.Bottom),
                      Value);
}

// Heights and widths are taken in 64 bits: X1 and X2 may be any two ints.
void TBitmap32::FrameRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value)
{
    if (MissesClipRect(X1, Y1, X2, Y2))
        return;
    const std::int64_t w = static_cast<std::int64_t>(X2) - X1;
    const std::int64_t h = static_cast<std::int64_t>(Y2) - Y1;
    FillRowSpanClipped(X1, Y1, X2 - 1, Value);
    if (h > 1)
        FillRowSpanClipped(X1, Y2 - 1, X2 - 1, Value);
    if (h > 2) {
        FillColumnSpanClipped(X1, Y1 + 1, Y2 - 2, Value);
        if (w > 1)
            FillColumnSpanClipped(X2 - 1, Y1 + 1, Y2 - 2, Value);
    }
    NotifyChange();
}

void TBitmap32::RaiseRect(int X1, int Y1, int X2, int Y2, int Contrast)
{
    if (MissesClipRect(X1, Y1, X2, Y2))
        return;
    if (Contrast != 0) {
        // Percent to alpha; 64-bit so that any contrast clamps instead of overflowing, and
        // integer division truncating toward zero as the weights are defined.
        const std::int64_t k = Contrast;
        auto alpha = [](std::int64_t v) { return static_cast<TColor32>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
        TColor32 topLeft, bottomRight;
        if (k > 0) {
            topLeft = 0x00FFFFFFu | alpha(k * 512 / 100) << 24;
            bottomRight = alpha(k * 255 / 100) << 24;
        } else {
            topLeft = alpha(-k * 255 / 100) << 24;
            bottomRight = 0x00FFFFFFu | alpha(-k * 512 / 100) << 24;
        }
        BlendRowSpanClipped(X1, Y1, X2 - 1, topLeft);
        BlendRowSpanClipped(X1, Y2 - 1, X2 - 1, bottomRight);
        // The side columns run between the two rows; a rectangle of two rows or fewer has
        // none (a reversed span would be put in order and reach outside the rectangle).
        if (static_cast<std::int64_t>(Y2) - Y1 > 2) {
            BlendColumnSpanClipped(X1, Y1 + 1, Y2 - 2, topLeft);
            BlendColumnSpanClipped(X2 - 1, Y1 + 1, Y2 - 2, bottomRight);
        }
    }
    NotifyChange();
}

void DrawFocusRectOn(TBitmap32& B, const TRect& R)
{
    if (R.Right <= R.Left || R.Bottom <= R.Top)
        return;
    const TRect& clip = B.ClipRect();
    auto invert = [&](int x, int y) {
        if ((x + y) & 1)
            return;
        if (x < clip.Left || y < clip.Top || x >= clip.Right || y >= clip.Bottom)
            return;
        B.SetPixelAt(x, y, B.PixelAt(x, y) ^ 0x00FFFFFFu);
    };
    for (int x = R.Left; x < R.Right; ++x) {
        invert(x, R.Top);
        if (R.Bottom - 1 != R.Top)
            invert(x, R.Bottom - 1);
    }
    for (int y = R.Top + 1; y < R.Bottom - 1; ++y) {
        invert(R.Left, y);
        if (R.Right - 1 != R.Left)
            invert(R.Right - 1, y);
    }
}
