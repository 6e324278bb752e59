#include "widgets/ps_image32.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <string>

#include "bitmap/low_level.h"
#include "bitmap/resample.h"
#include "toolkit/application.h"

namespace {

// Layout values are kept well inside int so that offsets plus extents cannot overflow.
constexpr double LayoutLimit = 1 << 30;

int RoundLayout(double V)
{
    if (std::isnan(V))
        return 0;
    return RoundHalfEven(std::clamp(V, -LayoutLimit, LayoutLimit));
}

// a * 65536 / b, truncated, saturated to the 32-bit range (extreme zooms stay monotonic).
std::int32_t FixedRatioSaturated(std::int32_t A, std::int32_t B)
{
    const std::int64_t q = static_cast<std::int64_t>(A) * 65536 / B;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(q, INT32_MIN, INT32_MAX));
}

std::int32_t Saturate32(std::int64_t V)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(V, INT32_MIN, INT32_MAX));
}


// Unlocks a bitmap when leaving a scope, also when an exception passes.
struct TLockGuard {
    explicit TLockGuard(TBitmap32& B) : Bitmap(B) { Bitmap.Lock(); }
    ~TLockGuard() { Bitmap.Unlock(); }
    TBitmap32& Bitmap;
};

// 0xAARRGGBB to the toolkit's 0x00BBGGRR.
TColor ToToolkitColor(TColor32 C)
{
    return static_cast<TColor>(((C >> 16) & 0xFF) | (C & 0xFF00) | ((C & 0xFF) << 16));
}

} // namespace

TRect UnionRects(const TRect& A, const TRect& B)
{
    if (RectIsEmpty(A))
        return B;
    if (RectIsEmpty(B))
        return A;
    return TRect{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                 std::max(A.Bottom, B.Bottom)};
}

TRect RegionBounds(const TRegion& Region)
{
    TRect r;
    for (const TRect& part : Region)
        r = UnionRects(r, part);
    return r;
}

// ---------------------------------------------------------------- TPSCustomPaintBox32

TPSCustomPaintBox32::TPSCustomPaintBox32(TComponent* AOwner) : TCustomControl(AOwner), FBuffer(new TBitmap32)
{
    // The buffer never reports changes: it is redrawn and shown by this control alone.
    FBuffer->BeginUpdate();
    // Set directly: the buffer is fitted when a paint first needs it.
    FWidth = 192;
    FHeight = 192;
    // Every pixel is painted from the buffer: the platform must not fill the control first.
    SetControlStyle(csOpaque | csDoubleClicks);
}

TPSCustomPaintBox32::~TPSCustomPaintBox32()
{
    delete FBuffer;
    FBuffer = nullptr;
}

TRect TPSCustomPaintBox32::ToBuffer(TRect R) const
{
    OffsetRectBy(R, -FBufferOrigin.X, -FBufferOrigin.Y);
    return R;
}

TRect TPSCustomPaintBox32::ViewportRect() { return TRect{0, 0, Width(), Height()}; }

TRect TPSCustomPaintBox32::BufferArea()
{
    const TRect vp = ViewportRect();
    const TRect extent{0, 0, std::max(vp.Right - vp.Left, 0), std::max(vp.Bottom - vp.Top, 0)};
    if (!Parent())
        return extent; // nothing hides any of it
    TRect r;
    if (!IntersectRects(r, extent, VisibleRect()) || RectIsEmpty(r))
        return TRect{};
    return r;
}

void TPSCustomPaintBox32::FitBuffer()
{
    const TRect need = BufferArea();
    const int newW = std::max(need.Right - need.Left, 0), newH = std::max(need.Bottom - need.Top, 0);
    const TPoint origin = newW > 0 && newH > 0 ? TPoint{need.Left, need.Top} : FBufferOrigin;
    auto fit = [this](int current, int wanted) {
        if (current < wanted)
            current = wanted + FBufferMargin;
        else if (wanted < current - FBufferMargin)
            current = wanted;
        return std::max(current, 1);
    };
    const int w = fit(FBuffer->Width(), newW), h = fit(FBuffer->Height(), newH);
    if (w == FBuffer->Width() && h == FBuffer->Height() && origin == FBufferOrigin)
        return;
    if (w != FBuffer->Width() || h != FBuffer->Height()) {
        TLockGuard lock(*FBuffer);
        FBuffer->SetSize(w, h);
    }
    FBufferOrigin = origin;
    FBufferReallocated = true;
    MarkWholeStale();
}

void TPSCustomPaintBox32::Invalidate()
{
    MarkWholeStale();
    TCustomControl::Invalidate();
}

void TPSCustomPaintBox32::Loaded() { MarkWholeStale(); }

bool TPSCustomPaintBox32::EraseBackground(const TRect&) { return true; }

void TPSCustomPaintBox32::RenderBuffer() { MarkBufferCurrent(); }

void TPSCustomPaintBox32::PaintOverlay()
{
    if (OnGDIOverlay)
        OnGDIOverlay(this);
}

void TPSCustomPaintBox32::Paint()
{
    try {
        FitBuffer();
    } catch (const EOutOfResources& e) {
        return PaintWithoutBuffer(e.what());
    } catch (const EOutOfMemory& e) {
        return PaintWithoutBuffer(e.what());
    } catch (const std::bad_alloc& e) {
        return PaintWithoutBuffer(e.what());
    }
    FBufferFailureSeen = false;
    if (!FBufferIsCurrent)
        RenderBuffer();
    {
        TLockGuard lock(*FBuffer);
        const TRect clip = PaintClipRect();
        if (Designing())
            CopyBufferToCanvas(clip);
        else
            DisplayBuffer(clip);
    }
    PaintOverlay();
}

void TPSCustomPaintBox32::PaintWithoutBuffer(const std::string& Failure)
{
    // Whatever the buffer held is gone; a later buffer is drawn afresh.
    MarkWholeStale();
    if (TCanvas* canvas = Canvas()) {
        canvas->Brush.Style = bsSolid;
        canvas->Brush.Color = Color();
        canvas->FillRect(PaintClipRect());
    }
    if (FBufferFailureSeen)
        return;
    FBufferFailureSeen = true;
    FBufferFailure = Failure;
    // The report waits for the message loop, outside any paint.
    if (!FFailureReport) {
        FFailureReport = new TTimer(this);
        FFailureReport->SetInterval(1);
        FFailureReport->SetEnabled(false);
        FFailureReport->SetOnTimer([this](TObject*) { ReportBufferFailure(); });
    }
    FFailureReport->SetEnabled(true);
}

void TPSCustomPaintBox32::ReportBufferFailure()
{
    FFailureReport->SetEnabled(false);
    Application->ShowException(Exception(FBufferFailure));
}

void TPSCustomPaintBox32::Resize()
{
    // The buffer is fitted by the next paint, to what that paint can show.
    MarkWholeStale();
    TCustomControl::Resize();
}

TRect TPSCustomPaintBox32::PaintClipRect()
{
    if (TCanvas* canvas = Canvas())
        return canvas->ClipRect();
    return ClientRect();
}

void TPSCustomPaintBox32::InvalidateArea(const TRect& R) { TCustomControl::InvalidateRect(R); }

void TPSCustomPaintBox32::DisplayBuffer(const TRect& ClipRect)
{
    if (!DisplayHost.DisplayPixels)
        return;
    const TRect vp = ViewportRect();
    const TPoint o = FBufferOrigin;
    // The clip cut to the viewport's extent, then to the buffer, in buffer pixels: the host
    // reads the buffer there and must stay inside it.
    VRect src{ClipRect.Top - o.Y, ClipRect.Left - o.X, std::min(ClipRect.Bottom, vp.Bottom) - o.Y,
              std::min(ClipRect.Right, vp.Right) - o.X};
    src.top = std::max(src.top, 0);
    src.left = std::max(src.left, 0);
    src.bottom = std::min(src.bottom, FBuffer->Height());
    src.right = std::min(src.right, FBuffer->Width());
    // An empty area has nothing to show; the host is not asked to copy it.
    if (src.bottom <= src.top || src.right <= src.left)
        return;
    PSPixelMap map{}; // fields past version 0 stay 0
    map.version = 0;
    map.bounds = VRect{0, 0, FBuffer->Height(), FBuffer->Width()};
    map.imageMode = DisplayHost.ImageMode;
    map.rowBytes = FBuffer->Width() * 4;
    map.colBytes = 4;
    map.planeBytes = 1;
    map.baseAddr = FBuffer->Bits();
    TCanvas* canvas = Canvas();
    DisplayHost.DisplayPixels(&map, &src, src.top + o.Y - vp.Top, src.left + o.X - vp.Left,
                              canvas ? canvas->Handle() : nullptr);
}

void TPSCustomPaintBox32::CopyBufferToCanvas(const TRect& ClipRect)
{
    TCanvas* canvas = Canvas();
    if (!canvas)
        return;
    TRect shown = FBuffer->BoundsRect();
    OffsetRectBy(shown, FBufferOrigin.X, FBufferOrigin.Y);
    TRect r;
    if (!IntersectRects(r, ClipRect, shown))
        return;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            canvas->SetPixel(x, y, ToToolkitColor(FBuffer->PixelAt(x - FBufferOrigin.X, y - FBufferOrigin.Y)));
}

// ---------------------------------------------------------------- TPaintStages

TPaintStageItem& TPaintStages::Add()
{
    FItems.push_back(TPaintStageItem{false, true, 0, 0});
    return FItems.back();
}

TPaintStageItem& TPaintStages::Items(int Index)
{
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[static_cast<std::size_t>(Index)];
}

const TPaintStageItem& TPaintStages::Items(int Index) const
{
    return const_cast<TPaintStages*>(this)->Items(Index);
}

// ---------------------------------------------------------------- TPSCustomImage32

TPSCustomImage32::TPSCustomImage32(TComponent* AOwner)
    : TPSCustomPaintBox32(AOwner), FBitmap(new TBitmap32), FLayers(nullptr), FStages(nullptr)
{
    FBitmap->OnResize = [this](TObject*) { BitmapResized(); };
    FLayers = new TLayerCollection(this);
    FLayers->SetImageTransform(&FTransform);
    // An invisible overlay layer changed: show the current buffer again and repaint the
    // overlays, without recomposing the buffer.
    FLayers->OnGDIUpdate = [this](TObject*) {
        TCustomControl::Invalidate();
        Update();
    };
    FStages = new TPaintStages;
    FScale = 1.0f;
    AddDefaultStages();
}

TPSCustomImage32::~TPSCustomImage32()
{
    BeginUpdate();
    delete FStages;
    FStages = nullptr;
    delete FLayers;
    FLayers = nullptr;
    FBitmap->OnResize = nullptr;
    delete FBitmap;
    FBitmap = nullptr;
}

void TPSCustomImage32::SetBitmap(TBitmap32* Value)
{
    DropCache();
    FBitmap->Assign(Value);
}

void TPSCustomImage32::SetBitmapAlign(TBitmapAlign Value)
{
    DropCache();
    FBitmapAlign = Value;
    Changed();
}

void TPSCustomImage32::SetScaleMode(TScaleMode Value)
{
    if (Value == FScaleMode)
        return;
    DropCache();
    FScaleMode = Value;
    ScaleChanged();
    Changed();
}

void TPSCustomImage32::SetScale(float Value)
{
    // Also catches NaN, which no layout could use.
    if (!(Value >= 0.001f))
        Value = 0.001f;
    if (Value == FScale)
        return;
    DropCache();
    FScale = Value;
    ScaleChanged();
    Changed();
}

void TPSCustomImage32::SetOffsetX(float Value)
{
    if (Value == FOffsetX)
        return;
    DropCache();
    FOffsetX = Value;
    Changed();
}

void TPSCustomImage32::SetOffsetY(float Value)
{
    if (Value == FOffsetY)
        return;
    DropCache();
    FOffsetY = Value;
    Changed();
}

void TPSCustomImage32::RefreshCache()
{
    if (FCacheIsCurrent)
        return;
    FBitmapRectCache = BitmapRect();
    const TRect& r = FBitmapRectCache;
    const int rw = r.Right - r.Left, rh = r.Bottom - r.Top;
    if (FBitmap->IsEmpty() || rw <= 0 || rh <= 0) {
        // Nothing is drawn, so there is no mapping to compute.
        FTransform = TImageTransform{};
    } else {
        const int bw = FBitmap->Width(), bh = FBitmap->Height();
        FTransform.OriginX = r.Left;
        FTransform.OriginY = r.Top;
        FTransform.ZoomX = FixedRatioSaturated(rw, bw);
        FTransform.ZoomY = FixedRatioSaturated(rh, bh);
        FTransform.InvZoomX = FixedRatioSaturated(bw, rw);
        FTransform.InvZoomY = FixedRatioSaturated(bh, rh);
    }
    FCacheIsCurrent = true;
}

TPoint TPSCustomImage32::PointToBitmap(TPoint P)
{
    RefreshCache();
    // Wide products: a far point at a small zoom must not wrap around.
    const std::int64_t x = (std::int64_t(P.X) - FTransform.OriginX) * FTransform.InvZoomX / 65536;
    const std::int64_t y = (std::int64_t(P.Y) - FTransform.OriginY) * FTransform.InvZoomY / 65536;
    return TPoint{Saturate32(x), Saturate32(y)};
}

void TPSCustomImage32::AutoSizeExtent(int& W, int& H) const
{
    W = FBitmap->Width();
    H = FBitmap->Height();
    if (FScaleMode == smScale) {
        W = RoundLayout(double(W) * FScale);
        H = RoundLayout(double(H) * FScale);
    }
}

void TPSCustomImage32::BitmapResized()
{
    if (AutoSize()) {
        int w, h;
        AutoSizeExtent(w, h);
        if (w > 0 && h > 0)
            SetBounds(Left(), Top(), w, h);
    }
    if (FUpdateCount != 0 && OnBitmapResize)
        OnBitmapResize(this);
    DropCache();
    Invalidate();
}

bool TPSCustomImage32::CanAutoSize(int& NewWidth, int& NewHeight)
{
    DropCache();
    int w, h;
    AutoSizeExtent(w, h);
    if (!(Designing() && (w <= 0 || h <= 0))) {
        const TAlign a = Align();
        if (a == alNone || a == alLeft || a == alRight)
            NewWidth = w;
        if (a == alNone || a == alTop || a == alBottom)
            NewHeight = h;
    }
    return true;
}

void TPSCustomImage32::InitStages()
{
    if (OnInitStages)
        OnInitStages(this);
}

void TPSCustomImage32::ScaleChanged() {}

void TPSCustomImage32::AddDefaultStages()
{
    auto add = [this](bool design, bool run, std::uint32_t kind, std::uint32_t parameter) {
        TPaintStageItem& s = FStages->Add();
        s.AtDesignTime = design;
        s.AtRunTime = run;
        s.Kind = kind;
        s.Parameter = parameter;
    };
    add(true, true, STAGE_CLEAR_BACKGROUND, 0);
    add(true, false, STAGE_CONTROL_FRAME, 0);
    add(true, true, STAGE_DRAW_BITMAP, 0);
    add(true, false, STAGE_BITMAP_FRAME, 0);
    add(true, true, STAGE_DRAW_LAYERS, LAYER_VISIBLE);
}

void TPSCustomImage32::BeginUpdate() { ++FUpdateCount; }

void TPSCustomImage32::EndUpdate()
{
    --FUpdateCount;
    if (FUpdateCount < 0)
        throw EAssertionFailed("Unpaired EndUpdate call");
}

void TPSCustomImage32::ChangedRect(const TRect& R)
{
    if (FUpdateCount != 0)
        return;
    AddDirty(R);
    DropCache();
    InvalidateArea(R);
    if (OnChange)
        OnChange(this);
}

void TPSCustomImage32::ChangedRegion(const TRegion& Region)
{
    if (FUpdateCount != 0)
        return;
    AddDirty(RegionBounds(Region));
    DropCache();
    for (const TRect& part : Region)
        InvalidateArea(part);
    if (OnChange)
        OnChange(this);
}

void TPSCustomImage32::Changed()
{
    if (FUpdateCount != 0)
        return;
    FDirtyRect = BitmapRect();
    Invalidate();
    if (OnChange)
        OnChange(this);
}

void TPSCustomImage32::Invalidate()
{
    MarkWholeStale();
    // The toolkit may invalidate while the control is still being built or torn down.
    if (FBitmap) {
        DropCache();
        FDirtyRect = BitmapRect();
    }
    TCustomControl::Invalidate();
}

void TPSCustomImage32::Loaded()
{
    TPSCustomPaintBox32::Loaded();
    InitStages();
}

bool TPSCustomImage32::EraseBackground(const TRect& ClipRect)
{
    FDirtyRect = UnionRects(FDirtyRect, ClipRect);
    return true;
}

void TPSCustomImage32::RenderBuffer()
{
    RefreshCache();
    // A reallocated buffer holds nothing of the old picture: the bitmap must be drawn whole.
    if (FBufferReallocated) {
        FDirtyRect = UnionRects(FDirtyRect, FBitmapRectCache);
        FBufferReallocated = false;
    }
    // When only changed areas made the buffer stale, every stage keeps to DirtyRect, so the
    // rest of the picture stays as it is (a blended layer is not blended twice there).
    TRect clip = FBuffer->BoundsRect();
    if (!FWholeStale) {
        if (!IntersectRects(clip, clip, ToBuffer(FDirtyRect)))
            clip = TRect{};
    }
    struct TClipGuard {
        TBitmap32& Buffer;
        TLayerCollection& Layers;
        ~TClipGuard()
        {
            Buffer.ResetClipRect();
            Layers.SetBufferOrigin(TPoint{});
        }
    } guard{*FBuffer, *FLayers};
    if (!RectIsEmpty(clip)) {
        FBuffer->SetClipRect(clip);
        FLayers->SetBufferOrigin(FBufferOrigin);
        for (int i = 0; i < FStages->Count(); ++i) {
            const TPaintStageItem stage = FStages->Items(i);
            const bool run = Designing() ? stage.AtDesignTime : stage.AtRunTime;
            if (!run)
                continue;
            const auto n = static_cast<std::uint32_t>(i);
            switch (stage.Kind) {
            case STAGE_CUSTOM: RunCustomStage(FBuffer, n); break;
            case STAGE_CLEAR_BUFFER: ClearBuffer(FBuffer, n); break;
            case STAGE_CLEAR_BACKGROUND: ClearBackground(FBuffer, n); break;
            case STAGE_DRAW_BITMAP: DrawBitmap(FBuffer, n); break;
            case STAGE_DRAW_LAYERS: DrawLayers(FBuffer, n); break;
            case STAGE_CONTROL_FRAME: DrawControlFrame(FBuffer, n); break;
            case STAGE_BITMAP_FRAME: DrawBitmapFrame(FBuffer, n); break;
            default: break;
            }
        }
    }
    MarkBufferCurrent();
}

void TPSCustomImage32::RunCustomStage(TBitmap32* Dest, std::uint32_t StageNum)
{
    if (OnPaintStage)
        OnPaintStage(this, Dest, FDirtyRect, StageNum);
}

// Stage operations draw in control pixels moved by minus BufferOrigin, and keep to the
// destination's clip rectangle.

void TPSCustomImage32::ClearBuffer(TBitmap32* Dest, std::uint32_t)
{
    Dest->FillRectClipped(0, 0, Dest->Width(), Dest->Height(), ColorFromSystem(Color()));
}

void TPSCustomImage32::ClearBackground(TBitmap32* Dest, std::uint32_t)
{
    const TColor32 c = ColorFromSystem(Color());
    if (FBitmap->IsEmpty() || FBitmap->DrawMode() != dmOpaque) {
        Dest->FillRectClipped(0, 0, Dest->Width(), Dest->Height(), c);
        return;
    }
    if (FBitmapAlign == baTile)
        return; // the tiles cover the whole buffer
    TRect r = FBitmapRectCache;
    const int w = Width(), h = Height();
    if (r.Left > 0 || r.Right < w || r.Top > 0 || r.Bottom < h) {
        const int ox = FBufferOrigin.X, oy = FBufferOrigin.Y;
        Dest->FillRectClipped(-ox, -oy, w - ox, r.Top - oy, c);
        Dest->FillRectClipped(-ox, r.Bottom - oy, w - ox, h - oy, c);
        Dest->FillRectClipped(-ox, r.Top - oy, r.Left - ox, r.Bottom - oy, c);
        Dest->FillRectClipped(r.Right - ox, r.Top - oy, w - ox, r.Bottom - oy, c);
    }
}

void TPSCustomImage32::DrawBitmap(TBitmap32* Dest, std::uint32_t)
{
    if (FBitmap->IsEmpty() || RectIsEmpty(FBitmapRectCache))
        return;
    TLockGuard lock(*FBitmap);
    const int ox = FBufferOrigin.X, oy = FBufferOrigin.Y;
    if (FBitmapAlign == baTile) {
        // The tiles that reach the buffer, at their places on the control.
        const int tw = FBitmapRectCache.Right, th = FBitmapRectCache.Bottom;
        const int i0 = ox / tw, j0 = oy / th;
        const int nx = (ox + Dest->Width()) / tw, ny = (oy + Dest->Height()) / th;
        for (int j = j0; j <= ny; ++j)
            for (int i = i0; i <= nx; ++i) {
                TRect tile = FBitmapRectCache;
                OffsetRectBy(tile, tw * i - ox, th * j - oy);
                FBitmap->DrawToBitmap(Dest, tile);
            }
        return;
    }
    TRect clip;
    if (!IntersectRects(clip, FBitmapRectCache, FDirtyRect) || RectIsEmpty(clip))
        return;
    ScaledTransfer(Dest, ToBuffer(BitmapRect()), ToBuffer(clip), FBitmap, FBitmap->BoundsRect(),
                   FBitmap->StretchFilter(), FBitmap->DrawMode(), FBitmap->OnPixelCombine);
}

void TPSCustomImage32::DrawLayers(TBitmap32* Dest, std::uint32_t StageNum)
{
    const std::uint32_t mask = FStages->Items(static_cast<int>(StageNum)).Parameter;
    for (int i = 0; i < FLayers->Count(); ++i) {
        TCustomLayer* layer = FLayers->Items(i);
        if (layer->Options() & mask)
            layer->Render(Dest);
    }
}

void TPSCustomImage32::DrawControlFrame(TBitmap32* Dest, std::uint32_t)
{
    DrawFocusRectOn(*Dest, ToBuffer(TRect{0, 0, Width(), Height()}));
}

void TPSCustomImage32::DrawBitmapFrame(TBitmap32* Dest, std::uint32_t)
{
    DrawFocusRectOn(*Dest, ToBuffer(FBitmapRectCache));
}

TRect TPSCustomImage32::BitmapToControl(const TRect& R)
{
    RefreshCache();
    const TRect& drawn = FBitmapRectCache;
    if (FBitmap->IsEmpty() || RectIsEmpty(drawn) || RectIsEmpty(R))
        return TRect{};
    // Tiles show every bitmap pixel many times over.
    if (FBitmapAlign == baTile)
        return TRect{0, 0, Width(), Height()};
    const int bw = FBitmap->Width(), bh = FBitmap->Height();
    const int rw = drawn.Right - drawn.Left, rh = drawn.Bottom - drawn.Top;
    TRect r;
    if (rw == bw && rh == bh) {
        // Drawn at its own size: copied pixel for pixel, whatever the filter.
        r = R;
        OffsetRectBy(r, drawn.Left, drawn.Top);
    } else {
        // A destination pixel reads the source within the filter's radius of its centre
        // (scaled up when shrinking), plus a pixel either way for the rounding of the
        // mapping; nearest and draft reach about one pixel.
        const TStretchFilter f = FBitmap->StretchFilter();
        const double reach = f == sfNearest || f == sfDraft ? 1.0 : StretchKernelRadius(f);
        const double sx = double(rw) / bw, sy = double(rh) / bh;
        const double mx = (reach + 2) * std::max(sx, 1.0) + 2, my = (reach + 2) * std::max(sy, 1.0) + 2;
        r = TRect{RoundLayout(std::floor(drawn.Left + R.Left * sx - mx)),
                  RoundLayout(std::floor(drawn.Top + R.Top * sy - my)),
                  RoundLayout(std::ceil(drawn.Left + R.Right * sx + mx)),
                  RoundLayout(std::ceil(drawn.Top + R.Bottom * sy + my))};
    }
    if (!IntersectRects(r, r, drawn) || RectIsEmpty(r))
        return TRect{};
    return r;
}

void TPSCustomImage32::BitmapAreaChanged(const TRect& R)
{
    const TRect r = BitmapToControl(R);
    if (!RectIsEmpty(r))
        ChangedRect(r);
}

TSize TPSCustomImage32::BitmapExtent()
{
    if (FBitmap->IsEmpty() || Width() == 0 || Height() == 0)
        return TSize{0, 0};
    const int bw = FBitmap->Width(), bh = FBitmap->Height();
    const TRect vp = ViewportRect();
    const int vw = vp.Right - vp.Left, vh = vp.Bottom - vp.Top;
    TSize s;
    switch (FScaleMode) {
    case smNormal: s = TSize{bw, bh}; break;
    case smStretch: s = TSize{vw, vh}; break;
    case smScale: s = TSize{RoundLayout(double(bw) * FScale), RoundLayout(double(bh) * FScale)}; break;
    case smResize: {
        const float sx = RoundToSingle(static_cast<float>(double(vw) / bw));
        const float sy = RoundToSingle(static_cast<float>(double(vh) / bh));
        if (sx >= sy)
            s = TSize{RoundLayout(double(bw) * sy), vh};
        else
            s = TSize{vw, RoundLayout(double(bh) * sx)};
        break;
    }
    }
    s.cx = std::max(s.cx, 0);
    s.cy = std::max(s.cy, 0);
    return s;
}

TRect TPSCustomImage32::BitmapRect()
{
    if (FBitmap->IsEmpty())
        return TRect{};
    const TSize e = BitmapExtent();
    TRect r{0, 0, e.cx, e.cy};
    switch (FBitmapAlign) {
    case baCenter: OffsetRectBy(r, (Width() - e.cx) / 2, (Height() - e.cy) / 2); break;
    case baCustom: OffsetRectBy(r, RoundLayout(FOffsetX), RoundLayout(FOffsetY)); break;
    case baTopLeft:
    case baTile: break;
    }
    return r;
}

void TPSCustomImage32::PaintOverlay()
{
    TCanvas* canvas = Canvas();
    if (canvas)
        for (int i = 0; i < FLayers->Count(); ++i) {
            TCustomLayer* layer = FLayers->Items(i);
            if (layer->Options() & LAYER_GDI_OVERLAY)
                layer->PaintOnCanvas(*canvas);
        }
    TPSCustomPaintBox32::PaintOverlay();
}

void TPSCustomImage32::Resize()
{
    DropCache();
    TPSCustomPaintBox32::Resize();
}

void TPSCustomImage32::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TPSCustomPaintBox32::MouseDown(Button, Shift, X, Y);
    if (TabStop() && CanFocus())
        SetFocus();
    TCustomLayer* layer = FLayers->MouseDown(Button, Shift, X, Y);
    if (Button == mbLeft || FLayers->CapturingLayer())
        SetMouseCapture(true);
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y, layer);
}

void TPSCustomImage32::MouseMove(TShiftState Shift, int X, int Y)
{
    TPSCustomPaintBox32::MouseMove(Shift, X, Y);
    TCustomLayer* layer = FLayers->MouseMove(Shift, X, Y);
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y, layer);
}

void TPSCustomImage32::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomLayer* layer = FLayers->MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft && !FLayers->CapturingLayer())
        SetMouseCapture(false);
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y, layer);
}

void TPSCustomImage32::MouseLeave()
{
    if (!FLayers->CapturingLayer())
        Screen->SetCursor(crDefault);
    // The platform's leave handling raises OnMouseLeave.
    TPSCustomPaintBox32::MouseLeave();
}
