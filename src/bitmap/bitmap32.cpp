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
    DestroyDibStorage(FStorage);
    FBits = nullptr;
    Width = 0;
    Height = 0;
    struct HandleChangeAtEnd {
        TBitmap32* self;
        ~HandleChangeAtEnd() { self->NotifyHandleChange(); }
    } atEnd{this};
    if (NewWidth > 0 && NewHeight > 0) {
        FBitmapInfo.biWidth = NewWidth;
        FBitmapInfo.biHeight = -NewHeight;
        FStorage = CreateDibStorage(NewWidth, NewHeight);
        FBits = FStorage.Bits;
        Width = NewWidth;
        Height = NewHeight;
    }
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
    FClipRect256 = TRect{FClipRect.Left * 256, FClipRect.Top * 256, FClipRect.Right * 256, FClipRect.Bottom * 256};
    FClipping = false;
}

void TBitmap32::SetClipRect(const TRect& R)
{
    TRect r;
    IntersectRects(r, R, BoundsRect());
    FClipRect = r;
    FFixedClipRect = RectToFixed(FClipRect);
    FClipRect256 = TRect{r.Left * 256, r.Top * 256, r.Right * 256, r.Bottom * 256};
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
    for (int i = X1; i <= X2; ++i, ++p)
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
    for (int y = Y1; y <= Y2; ++y, p += FWidth)
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
    for (int y = Y1; y <= Y2; ++y, p += FWidth)
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

void TBitmap32::FillRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value)
{
    const TRect& c = FClipRect;
    if (X1 >= X2 || Y1 >= Y2 || X2 <= c.Left || X1 >= c.Right || Y2 <= c.Top || Y1 >= c.Bottom)
        return;
    FillRectUnclipped(std::max(X1, c.Left), std::max(Y1, c.Top), std::min(X2, c.Right), std::min(Y2, c.Bottom),
                      Value);
}
