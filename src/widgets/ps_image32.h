// The double-buffered paint box and the image control built on it: the picture is composed
// into a 32-bit back buffer by paint stages and shown through the host's display callback.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "toolkit/controls.h"
#include "toolkit/timers.h"
#include "widgets/display_host.h"
#include "widgets/layers.h"

// A region: the union of its rectangles.
using TRegion = std::vector<TRect>;
// Smallest rectangle holding every non-empty rectangle of the region.
TRect RegionBounds(const TRegion& Region);
// Union of two rectangles; an empty one adds nothing.
TRect UnionRects(const TRect& A, const TRect& B);

class TPSCustomPaintBox32 : public TCustomControl {
public:
    VP_CLASS_NAME(TPSCustomPaintBox32)
    // 192 x 192; the buffer's update bracket is opened here and never closed.
    explicit TPSCustomPaintBox32(TComponent* AOwner);
    ~TPSCustomPaintBox32() override;

    TBitmap32* Buffer() const { return FBuffer; }
    int BufferMargin() const { return FBufferMargin; }
    void SetBufferMargin(int Value) { FBufferMargin = Value; }
    bool BufferIsCurrent() const { return FBufferIsCurrent; }
    // The control pixel the buffer's top-left pixel holds: (0, 0) unless the control's left
    // or top part is hidden by its parents. Buffer pixel (x, y) is control pixel
    // (x + BufferOrigin.X, y + BufferOrigin.Y).
    TPoint BufferOrigin() const { return FBufferOrigin; }

    // The part of the control the picture is made for; base: (0, 0, Width, Height).
    virtual TRect ViewportRect();
    // Sizes and places the buffer over BufferArea, growing by BufferMargin and shrinking
    // only when more than BufferMargin too large. Runs when a paint needs the buffer, so
    // nothing larger than what can show is ever held for a control (the transfer dialog's
    // view is as large as the image, of which its dialog shows a corner).
    void FitBuffer();

    void Invalidate() override;
    // After loading from a stored form.
    void Loaded() override;
    // The erase-background message: answers handled (true) without erasing.
    bool EraseBackground(const TRect& ClipRect) override;

    // Shown in a form designer (design-time stages, raster copy instead of the host).
    bool Designing() const { return FDesigning; }
    void SetDesigning(bool Value) { FDesigning = Value; }

    TNotifyEvent OnGDIOverlay;

protected:
    // Composes the picture; base: marks the buffer current.
    virtual void RenderBuffer();
    // After the buffer was shown; base: raises OnGDIOverlay.
    virtual void PaintOverlay();
    void Paint() override;
    void Resize() override;
    // The part of the control the buffer must hold: the viewport's extent from the
    // control's corner, less what the control's parents hide.
    virtual TRect BufferArea();
    // The clip rectangle of the paint in progress (the platform's update area), in control
    // pixels; the client rectangle outside a paint.
    virtual TRect PaintClipRect();
    // Asks the platform to repaint R (control pixels) without erasing.
    void InvalidateArea(const TRect& R);
    // Shows ClipRect (control pixels) of the buffer through the host's display callback.
    void DisplayBuffer(const TRect& ClipRect);
    // In the form designer: copies ClipRect of the buffer onto the control's canvas.
    void CopyBufferToCanvas(const TRect& ClipRect);

    // The whole picture is stale: the next paint redraws all of the buffer.
    void MarkWholeStale()
    {
        FBufferIsCurrent = false;
        FWholeStale = true;
    }
    // The buffer holds the whole picture again.
    void MarkBufferCurrent()
    {
        FBufferIsCurrent = true;
        FWholeStale = false;
    }
    // R (control pixels) in buffer pixels.
    TRect ToBuffer(TRect R) const;

    TBitmap32* FBuffer;
    int FBufferMargin = 40;
    bool FBufferIsCurrent = false;
    // Set when FitBuffer gave the buffer a new size or place (its old picture is gone).
    bool FBufferReallocated = false;
    // Set by whatever makes the whole picture stale (Invalidate, a resize, loading, a new
    // buffer); while clear, a stale buffer needs only its DirtyRect redrawn.
    bool FWholeStale = true;
    TPoint FBufferOrigin;

private:
    // A paint whose buffer the platform cannot give (likely in a 32-bit host after a large
    // image) shows the control's colour, and the failure is reported once, after the paint:
    // a box inside it would come back with every paint.
    void PaintWithoutBuffer(const std::string& Failure);
    void ReportBufferFailure();

    bool FDesigning = false;
    TTimer* FFailureReport = nullptr;  // owned as a component
    std::string FBufferFailure;
    // Set from the first paint without a buffer until a paint gets one again.
    bool FBufferFailureSeen = false;
};

// Paint stage kinds.
constexpr std::uint32_t STAGE_CUSTOM = 1;
constexpr std::uint32_t STAGE_CLEAR_BUFFER = 2;
constexpr std::uint32_t STAGE_CLEAR_BACKGROUND = 3;
constexpr std::uint32_t STAGE_DRAW_BITMAP = 4;
constexpr std::uint32_t STAGE_DRAW_LAYERS = 5;
constexpr std::uint32_t STAGE_CONTROL_FRAME = 6;
constexpr std::uint32_t STAGE_BITMAP_FRAME = 7;

struct TPaintStageItem {
    bool AtDesignTime = false;
    bool AtRunTime = true;
    std::uint32_t Kind = 0;
    std::uint32_t Parameter = 0;
};

// Ordered, growable list of stages.
class TPaintStages {
public:
    // Appends (false, true, 0, 0) and returns it to be filled; valid until the next Add.
    TPaintStageItem& Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    // The record itself, writable in place; raises EListError outside 0..Count-1.
    TPaintStageItem& Items(int Index);
    const TPaintStageItem& Items(int Index) const;
    void Clear() { FItems.clear(); }

private:
    std::vector<TPaintStageItem> FItems;
};

enum TBitmapAlign { baTopLeft = 0, baCenter = 1, baTile = 2, baCustom = 3 };
enum TScaleMode { smNormal = 0, smStretch = 1, smScale = 2, smResize = 3 };

using TImgMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                          int Y, TCustomLayer* Layer)>;
using TImgMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y, TCustomLayer* Layer)>;
using TPaintStageEvent = std::function<void(TObject* Sender, TBitmap32* Buffer, const TRect& ClipRect,
                                            std::uint32_t StageNum)>;

class TPSCustomImage32 : public TPSCustomPaintBox32 {
public:
    VP_CLASS_NAME(TPSCustomImage32)
    explicit TPSCustomImage32(TComponent* AOwner);
    ~TPSCustomImage32() override;

    TBitmap32* Bitmap() const { return FBitmap; }
    // The image bitmap takes a copy of Value.
    void SetBitmap(TBitmap32* Value);
    TBitmapAlign BitmapAlign() const { return FBitmapAlign; }
    void SetBitmapAlign(TBitmapAlign Value);
    TScaleMode ScaleMode() const { return FScaleMode; }
    void SetScaleMode(TScaleMode Value);
    float Scale() const { return FScale; }
    // Values below 0.001 become 0.001.
    void SetScale(float Value);
    float OffsetX() const { return FOffsetX; }
    void SetOffsetX(float Value);
    float OffsetY() const { return FOffsetY; }
    void SetOffsetY(float Value);

    TLayerCollection* ImageLayers() const { return FLayers; }
    TPaintStages* Stages() const { return FStages; }
    const TRect& DirtyRect() const { return FDirtyRect; }
    const TRect& BitmapRectCache() const { return FBitmapRectCache; }
    // The cached transform as last computed; call RefreshCache first for a current one.
    const TImageTransform& Transform() const { return FTransform; }
    bool CacheIsCurrent() const { return FCacheIsCurrent; }
    int UpdateCount() const { return FUpdateCount; }

    void DropCache() { FCacheIsCurrent = false; }
    void RefreshCache();
    // Bitmap pixel under control point P; nothing is clamped.
    TPoint PointToBitmap(TPoint P);
    // The control pixels whose drawn colour depends on the bitmap pixels R (bitmap
    // coordinates), as the bitmap is drawn now: R mapped through the transform and widened
    // by the reach of the stretch filter, cut to the drawn bitmap; empty when R does not show.
    TRect BitmapToControl(const TRect& R);
    // The bitmap pixels R were changed (the control does not watch its bitmap): the part of
    // the control that shows them is redrawn and repainted (ChangedRect).
    void BitmapAreaChanged(const TRect& R);

    virtual void BitmapResized();
    virtual void InitStages();
    virtual void ScaleChanged();
    virtual void AddDefaultStages();
    virtual void BeginUpdate();
    virtual void ChangedRect(const TRect& R);
    virtual void ChangedRegion(const TRegion& Region);
    virtual void Changed();
    // Raises EAssertionFailed "Unpaired EndUpdate call" when no bracket is open.
    virtual void EndUpdate();

    // Stage operations, each with (Buffer, StageNum).
    virtual void DrawBitmapFrame(TBitmap32* Dest, std::uint32_t StageNum);
    virtual void ClearBuffer(TBitmap32* Dest, std::uint32_t StageNum);
    virtual void ClearBackground(TBitmap32* Dest, std::uint32_t StageNum);
    virtual void DrawControlFrame(TBitmap32* Dest, std::uint32_t StageNum);
    virtual void RunCustomStage(TBitmap32* Dest, std::uint32_t StageNum);
    virtual void DrawBitmap(TBitmap32* Dest, std::uint32_t StageNum);
    virtual void DrawLayers(TBitmap32* Dest, std::uint32_t StageNum);

    // Where the bitmap is drawn, in control pixels, and its drawn size; computed afresh.
    virtual TRect BitmapRect();
    virtual TSize BitmapExtent();

    void Invalidate() override;
    void Loaded() override;
    bool EraseBackground(const TRect& ClipRect) override;

    TNotifyEvent OnBitmapResize;
    TNotifyEvent OnChange;
    TNotifyEvent OnInitStages;
    TImgMouseEvent OnMouseDown;
    TImgMouseMoveEvent OnMouseMove;
    TImgMouseEvent OnMouseUp;
    TPaintStageEvent OnPaintStage;

protected:
    void RenderBuffer() override;
    void PaintOverlay() override;
    void Resize() override;
    bool CanAutoSize(int& NewWidth, int& NewHeight) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseLeave() override;
    // The auto-size width and height: the bitmap size, scaled when ScaleMode is smScale.
    void AutoSizeExtent(int& W, int& H) const;
    // R joins the area to redraw; a current buffer starts a new one.
    void AddDirty(const TRect& R)
    {
        FDirtyRect = FBufferIsCurrent ? R : UnionRects(FDirtyRect, R);
        FBufferIsCurrent = false;
    }

    TBitmap32* FBitmap;
    TLayerCollection* FLayers;
    TPaintStages* FStages;
    TBitmapAlign FBitmapAlign = baTopLeft;
    TScaleMode FScaleMode = smNormal;
    float FScale = 1.0f;
    float FOffsetX = 0.0f;
    float FOffsetY = 0.0f;
    TRect FDirtyRect;
    TRect FBitmapRectCache;
    TImageTransform FTransform;
    bool FCacheIsCurrent = false;
    int FUpdateCount = 0;
};

// The image control as the line dialog uses it.
class TPSImage32 : public TPSCustomImage32 {
public:
    VP_CLASS_NAME(TPSImage32)
    using TPSCustomImage32::TPSCustomImage32;
};
