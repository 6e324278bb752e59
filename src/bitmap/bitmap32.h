// The 32-bit bitmap and the two classes it derives from.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "bitmap/color32.h"
#include "base/geometry.h"
#include "base/dib.h"
#include "base/object.h"
#include "base/streams.h"

// Persistent object with a lock, a lock counter and change notification in update brackets.
class TThreadPersistent : public TPersistent {
public:
    VP_CLASS_NAME(TThreadPersistent)
    TThreadPersistent() = default;
    ~TThreadPersistent() override = default;

    virtual void NotifyChange();
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate(); // raises "Unpaired TThreadPersistent.EndUpdate"
    void Lock();
    void Unlock();
    int LockCount() const { return FLockCount; }
    int UpdateCount() const { return FUpdateCount; }

    TNotifyEvent OnChange;

    // Runs Body inside an update bracket, then closes it and notifies the change, also when
    // Body throws (the exception goes on afterwards).
    template <class F>
    void ChangeInUpdate(F Body)
    {
        BeginUpdate();
        try {
            Body();
        } catch (...) {
            EndUpdate();
            NotifyChange();
            throw;
        }
        EndUpdate();
        NotifyChange();
    }

protected:
    std::recursive_mutex FLock;
    int FLockCount = 0;
    int FUpdateCount = 0;
};

// A width x height map of some element type.
class TCustomMap : public TThreadPersistent {
public:
    VP_CLASS_NAME(TCustomMap)
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    virtual void ReallocStorage(int& Width, int& Height, int NewWidth, int NewHeight);
    virtual void ReleaseStorage();
    virtual bool IsEmpty() const;
    virtual void NotifyResize();
    // Negative sizes count as 0; returns false (and does nothing) when the size is unchanged.
    virtual bool SetSize(int NewWidth, int NewHeight);
    // Source: a TCustomMap, a toolkit graphic or control, or null (0 x 0).
    void SetSizeFrom(TPersistent* Source);

    TNotifyEvent OnResize;

protected:
    int FHeight = 0;
    int FWidth = 0;
};

// The 40-byte DIB information header the bitmap keeps beside its storage.
struct TBitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 32;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(TBitmapInfoHeader) == 40);

class TBitmap32 : public TCustomMap {
public:
    VP_CLASS_NAME(TBitmap32)
    TBitmap32();
    ~TBitmap32() override;
    TBitmap32(const TBitmap32&) = delete;
    TBitmap32& operator=(const TBitmap32&) = delete;

    // --- storage
    void ReallocStorage(int& Width, int& Height, int NewWidth, int NewHeight) override;
    void ReleaseStorage() override;
    bool IsEmpty() const override;
    virtual void NotifyHandleChange();
    virtual void ReadPixelData(TStream& Stream);
    virtual void WritePixelData(TStream& Stream);

    TColor32* Bits() const { return FBits; }
    void* Handle() const { return FStorage.Handle; }
    void* DeviceContext() const { return FStorage.DC; }
    const TBitmapInfoHeader& BitmapInfo() const { return FBitmapInfo; }

    // --- pixel access (no locking, no notification)
    TColor32* RowPointer(int Y) const { return FBits + static_cast<std::ptrdiff_t>(Y) * FWidth; }
    TColor32* PixelPointer(int X, int Y) const { return FBits + X + static_cast<std::ptrdiff_t>(Y) * FWidth; }
    TColor32 PixelAt(int X, int Y) const { return *PixelPointer(X, Y); }
    void SetPixelAt(int X, int Y, TColor32 Value) { *PixelPointer(X, Y) = Value; }
    TColor32 PixelClipped(int X, int Y) const;
    void SetPixelBlended(int X, int Y, TColor32 Value);

    // --- fills and spans (x1..x2, y1..y2 inclusive unless stated)
    // The unclipped forms (FillRowSpan, BlendRowSpan, FillColumnSpan, BlendColumnSpan,
    // FillRectUnclipped) are caller-checked: every pixel they touch must lie in the bitmap.
    // The clipped forms accept any int coordinates and never write outside ClipRect.
    void Clear(TColor32 Color);
    void SetAllAlpha(std::uint8_t Alpha);
    void MakeOpaque() { SetAllAlpha(255); }
    void FillRowSpan(int X1, int Y, int X2, TColor32 Value);
    void FillRowSpanClipped(int X1, int Y, int X2, TColor32 Value);
    void BlendRowSpan(int X1, int Y, int X2, TColor32 Value);
    void BlendRowSpanClipped(int X1, int Y, int X2, TColor32 Value);
    void FillColumnSpan(int X, int Y1, int Y2, TColor32 Value);
    void FillColumnSpanClipped(int X, int Y1, int Y2, TColor32 Value);
    void BlendColumnSpan(int X, int Y1, int Y2, TColor32 Value);
    void BlendColumnSpanClipped(int X, int Y1, int Y2, TColor32 Value);
    // Rectangles: right and bottom exclusive. RaiseRect's contrast is in percent: positive
    // lightens the top and left edges and darkens the bottom and right ones.
    void FillRectUnclipped(int X1, int Y1, int X2, int Y2, TColor32 Value);
    void FillRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value);
    void FrameRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value);
    void RaiseRect(int X1, int Y1, int X2, int Y2, int Contrast);

    // --- copying in and out
    void Assign(TPersistent* Source) override;
    // Draws this bitmap scaled and blended into Target (see the scaled transfer).
    void DrawToBitmap(TBitmap32* Target, const TRect& DestRect);
    // Stretch-DIB copy (source copy) of the whole bitmap to (X, Y) of a device context;
    // nothing when empty. Headless the context is a toolkit bitmap's canvas handle.
    void DrawToDeviceContext(void* DC, int X, int Y);
    void SaveAsBmpStream(TStream& Stream);
    void SaveToFile(const std::string& FileName);
    bool SameContentAs(TPersistent* Other);

    // --- clip rectangle
    TRect BoundsRect() const { return TRect{0, 0, FWidth, FHeight}; }
    const TRect& ClipRect() const { return FClipRect; }
    // Sets the clip rectangle, limited to the bounds.
    void SetClipRect(const TRect& R);
    void ResetClipRect();
    const TFixedRect& FixedClipRect() const { return FFixedClipRect; }
    const TRect& ClipRect256() const { return FClipRect256; }
    bool Clipping() const { return FClipping; }

    // --- published properties
    TDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TDrawMode Value);
    TCombineMode CombineMode() const { return FCombineMode; }
    void SetCombineMode(TCombineMode Value);
    std::uint32_t MasterAlpha() const { return FMasterAlpha; }
    void SetMasterAlpha(std::uint32_t Value);
    TColor32 OuterColor() const { return FOuterColor; }
    void SetOuterColor(TColor32 Value) { FOuterColor = Value; }
    TStretchFilter StretchFilter() const { return FStretchFilter; }
    void SetStretchFilter(TStretchFilter Value);
    TNotifyEvent OnHandleChanged;
    TPixelCombineEvent OnPixelCombine;

    // --- pen and lines
    TColor32 PenColor = 0xFFFFFFFF;
    TPoint PenPos;
    float StippleStep = 1.0f;
    float StippleCounter = 0.0f;
    TArrayOfColor32 StipplePattern;
    void MovePenTo(int X, int Y);
    void LineToBlended(int X, int Y);
    void LineToSmooth(int X, int Y);
    void DrawLineBlended(int X1, int Y1, int X2, int Y2, TColor32 Value, bool DrawLast);
    void DrawLineSmooth(int X1, int Y1, int X2, int Y2, TColor32 Value, bool DrawLast);

    // Hooks through which the toolkit handles its own bitmaps, pictures and graphics in
    // Assign and AssignTo; they return false for objects they do not know.
    static inline bool (*AssignFromToolkit)(TBitmap32* Self, TPersistent* Source) = nullptr;
    static inline bool (*AssignToToolkit)(TBitmap32* Self, TPersistent* Dest) = nullptr;

    // Always false: nothing here selects the font into the device context.
    bool FontSelected() const { return false; }

protected:
    void AssignTo(TPersistent* Dest) override;
    void DefineProperties(TFiler* Filer) override;

private:
    // True when the rectangle is empty or wholly outside ClipRect.
    bool MissesClipRect(int X1, int Y1, int X2, int Y2) const;
    // The body of Assign, run inside its update bracket.
    void AssignInUpdate(TPersistent* Source);

    TDibStorage FStorage;
    TColor32* FBits = nullptr;
    TBitmapInfoHeader FBitmapInfo;
    TRect FClipRect;
    TFixedRect FFixedClipRect;
    TRect FClipRect256;
    bool FClipping = false;
    TDrawMode FDrawMode = dmOpaque;
    TCombineMode FCombineMode = cmBlend;
    std::uint32_t FMasterAlpha = 255;
    TColor32 FOuterColor = 0;
    TStretchFilter FStretchFilter = sfNearest;
};

// The platform's dotted focus rectangle on a bitmap: every outline pixel of R whose
// coordinates sum to an even number has its colour bits inverted, each once and inside the
// clip rectangle, so drawing twice restores the picture.
void DrawFocusRectOn(TBitmap32& B, const TRect& R);
