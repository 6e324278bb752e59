// The scaled transfer: entry checks, the five paths and the per-call choice of pixel writer.
#include "bitmap/resample.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "bitmap/bitmap32.h"
#include "bitmap/blend.h"
#include "bitmap/low_level.h"

namespace {

// How computed colours land on the destination; chosen once per call.
struct TWriteContext {
    TBlendMemEx Blend = nullptr;
    TColor32 Master = 255;
    const TPixelCombineEvent* Custom = nullptr;
};
using TRowWriter = void (*)(const TWriteContext&, const TColor32* C, TColor32* P, int N);

void WriteOpaque(const TWriteContext&, const TColor32* C, TColor32* P, int N) { MoveColorRun(C, P, N); }

void WriteBlended(const TWriteContext& Ctx, const TColor32* C, TColor32* P, int N)
{
    const TBlendMemEx blend = Ctx.Blend;
    for (int i = 0; i < N; ++i)
        blend(C[i], P[i], Ctx.Master);
}

void WriteCustom(const TWriteContext& Ctx, const TColor32* C, TColor32* P, int N)
{
    const TPixelCombineEvent& f = *Ctx.Custom;
    for (int i = 0; i < N; ++i)
        f(C[i], P[i], Ctx.Master);
}

struct FinishOnExit {
    ~FinishOnExit() { FinishColorOps(); }
};

class TTransfer {
public:
    TTransfer(TBitmap32* Dst, const TRect& DstRect, const TRect& Clip, TBitmap32* Src, const TRect& SrcRect,
              TDrawMode Mode, const TPixelCombineEvent* Callback)
        : FDst(Dst), FSrc(Src), FDstRect(DstRect), FClip(Clip), FSrcRect(SrcRect), FMode(Mode)
    {
        FCtx.Master = Src->MasterAlpha();
        FCtx.Custom = Callback;
        FCtx.Blend = BlendColorIntoScaledByMode[Src->CombineMode()];
        FWriter = Mode == dmOpaque ? WriteOpaque : Mode == dmBlend ? WriteBlended : WriteCustom;
        if (Mode != dmOpaque)
            FLine.resize(static_cast<std::size_t>(ClipW()));
    }

    void CopyUnscaled();
    void ScaleNearest();
    void ScaleBilinear();
    void ScaleByKernel(TStretchFilter Filter);
    void ScaleDraft();

private:
    int ClipW() const { return FClip.Right - FClip.Left; }
    int SrcW() const { return FSrcRect.Right - FSrcRect.Left; }
    int SrcH() const { return FSrcRect.Bottom - FSrcRect.Top; }
    int DstW() const { return FDstRect.Right - FDstRect.Left; }
    int DstH() const { return FDstRect.Bottom - FDstRect.Top; }
    TColor32* DstRow(int Y) const { return FDst->PixelPointer(FClip.Left, Y); }
    // Where a path puts the colours of row Y: straight into the destination when opaque.
    TColor32* Target(int Y) { return FMode == dmOpaque ? DstRow(Y) : FLine.data(); }
    void Flush(int Y)
    {
        if (FMode != dmOpaque)
            FWriter(FCtx, FLine.data(), DstRow(Y), ClipW());
    }
    // Line blend of the combine mode, master-alpha form below 255.
    void BlendLine(const TColor32* S, TColor32* D, int N) const
    {
        if (FMode == dmCustom) {
            WriteCustom(FCtx, S, D, N);
        } else if (FCtx.Master < 255) {
            BlendRunScaledByMode[FSrc->CombineMode()](S, D, N, FCtx.Master);
        } else {
            BlendRunByMode[FSrc->CombineMode()](S, D, N);
        }
    }
    static std::vector<TBilinearEntry> BilinearMap(int DstLo, int DstW, int ClipLo, int ClipHi, int SrcLo,
                                                   int SrcHi, int Extent);

    TBitmap32* FDst;
    TBitmap32* FSrc;
    TRect FDstRect, FClip, FSrcRect;
    TDrawMode FMode;
    TWriteContext FCtx;
    TRowWriter FWriter;
    std::vector<TColor32> FLine;
};

void TTransfer::CopyUnscaled()
{
    const int sx = FSrcRect.Left + FClip.Left - FDstRect.Left;
    const int sy = FSrcRect.Top + FClip.Top - FDstRect.Top;
    const int w = ClipW();
    for (int y = FClip.Top; y < FClip.Bottom; ++y) {
        const TColor32* s = FSrc->PixelPointer(sx, sy + y - FClip.Top);
        TColor32* d = DstRow(y);
        if (FMode == dmOpaque)
            MoveColorRun(s, d, w);
        else
            BlendLine(s, d, w);
    }
}

void TTransfer::ScaleNearest()
{
    const int w = ClipW();
    std::vector<int> xmap(static_cast<std::size_t>(w));
    const float xs = RoundToSingle(static_cast<float>(SrcW()) / static_cast<float>(DstW()));
    for (int k = 0; k < w; ++k) {
        int x;
        if (DstW() < 2) {
            x = (FSrcRect.Left + FSrcRect.Right - 1) / 2;
        } else {
            const float fx = RoundToSingle(static_cast<float>(FSrcRect.Left) +
                                    RoundToSingle(static_cast<float>(FClip.Left + k - FDstRect.Left) * xs));
            x = Constrain(static_cast<int>(fx), FSrcRect.Left, FSrcRect.Right - 1);
        }
        xmap[static_cast<std::size_t>(k)] = x;
    }
    const float ys = RoundToSingle(static_cast<float>(SrcH()) / static_cast<float>(DstH()));
    bool have = false;
    int prevSy = 0;
    TColor32* prevRow = nullptr;
    for (int y = FClip.Top; y < FClip.Bottom; ++y) {
        int sy;
        if (DstH() <= 1) {
            sy = (FSrcRect.Top + FSrcRect.Bottom - 1) / 2;
        } else {
            const float fy =
                RoundToSingle(static_cast<float>(FSrcRect.Top) + RoundToSingle(static_cast<float>(y - FDstRect.Top) * ys));
            sy = Constrain(static_cast<int>(fy), FSrcRect.Top, FSrcRect.Bottom - 1);
        }
        const bool same = have && sy == prevSy;
        TColor32* d = DstRow(y);
        if (FMode == dmOpaque) {
            if (same) {
                MoveColorRun(prevRow, d, w);
            } else {
                const TColor32* s = FSrc->RowPointer(sy);
                for (int k = 0; k < w; ++k)
                    d[k] = s[xmap[static_cast<std::size_t>(k)]];
            }
            prevRow = d;
        } else {
            if (!same) {
                const TColor32* s = FSrc->RowPointer(sy);
                for (int k = 0; k < w; ++k)
                    FLine[static_cast<std::size_t>(k)] = s[xmap[static_cast<std::size_t>(k)]];
            }
            BlendLine(FLine.data(), d, w);
        }
        have = true;
        prevSy = sy;
    }
}

std::vector<TBilinearEntry> TTransfer::BilinearMap(int DstLo, int DstW, int ClipLo, int ClipHi, int SrcLo,
                                                   int SrcHi, int Extent)
{
    std::vector<TBilinearEntry> map;
    map.reserve(static_cast<std::size_t>(ClipHi - ClipLo));
    const int srcW = SrcHi - SrcLo;
    const float scale = RoundToSingle(static_cast<float>(srcW) / static_cast<float>(DstW));
    const float hi = static_cast<float>(Extent - 1);
    for (int i = ClipLo; i < ClipHi; ++i) {
        float t = RoundToSingle(RoundToSingle(static_cast<float>(SrcLo) - 0.5f) +
                         RoundToSingle(RoundToSingle(static_cast<float>(i - DstLo) + 0.5f) * scale));
        t = std::clamp(t, 0.0f, hi);
        const float fl = std::floor(t);
        const std::uint32_t w = static_cast<std::uint32_t>(256 - RoundHalfEven(RoundToSingle(t - fl) * 256.0f));
        map.push_back(TBilinearEntry{static_cast<std::int32_t>(fl), w * 65536 + w});
    }
    // The last source pixel of the rectangle is taken whole from the pair to its left.
    for (auto it = map.rbegin(); it != map.rend() && it->SourceIndex >= SrcHi - 1; ++it) {
        it->SourceIndex = SrcHi - 2;
        it->Weight = 0;
    }
    return map;
}

void TTransfer::ScaleBilinear()
{
    const auto xmap = BilinearMap(FDstRect.Left, DstW(), FClip.Left, FClip.Right, FSrcRect.Left, FSrcRect.Right,
                                  FSrc->Width());
    const auto ymap = BilinearMap(FDstRect.Top, DstH(), FClip.Top, FClip.Bottom, FSrcRect.Top, FSrcRect.Bottom,
                                  FSrc->Height());
    const TBilinearMixRow mix = BilinearMix;
    for (int y = FClip.Top; y < FClip.Bottom; ++y) {
        const TBilinearEntry& e = ymap[static_cast<std::size_t>(y - FClip.Top)];
        mix(FSrc->RowPointer(e.SourceIndex), FSrc->RowPointer(e.SourceIndex + 1), xmap.data(), ClipW(), e.Weight,
            Target(y));
        Flush(y);
    }
}

void TTransfer::ScaleByKernel(TStretchFilter Filter)
{
    const TTapTable cols = BuildTapTable(FDstRect.Left, FDstRect.Right, FClip.Left, FClip.Right, FSrcRect.Left,
                                         FSrcRect.Right, Filter);
    const TTapTable rows = BuildTapTable(FDstRect.Top, FDstRect.Bottom, FClip.Top, FClip.Bottom, FSrcRect.Top,
                                         FSrcRect.Bottom, Filter);
    if (cols.empty() || rows.empty())
        return;
    int spanLo = INT_MAX, spanHi = INT_MIN;
    std::size_t tapCount = 0;
    for (const TTapList& l : cols) {
        for (const TTap& t : l) {
            spanLo = std::min(spanLo, t.SourceIndex);
            spanHi = std::max(spanHi, t.SourceIndex);
        }
        tapCount += l.size();
    }
    const int span = spanHi - spanLo + 1;
    // The column lists flattened: offsets into one index/weight array, indices relative to
    // the span and pre-multiplied by the four channels.
    std::vector<std::int32_t> colStart(cols.size() + 1), colIndex, colWeight;
    colIndex.reserve(tapCount);
    colWeight.reserve(tapCount);
    for (std::size_t c = 0; c < cols.size(); ++c) {
        colStart[c] = static_cast<std::int32_t>(colIndex.size());
        for (const TTap& t : cols[c]) {
            colIndex.push_back(4 * (t.SourceIndex - spanLo));
            colWeight.push_back(t.Weight);
        }
    }
    colStart[cols.size()] = static_cast<std::int32_t>(colIndex.size());

    std::vector<std::int32_t> acc(4 * static_cast<std::size_t>(span));
    std::vector<const TColor32*> rowPtr;
    std::vector<std::int32_t> rowWeight;
    const bool clampSums = Filter == sfLanczos || Filter == sfMitchell;
    const TKernelColumns columns = KernelColumns;
    const TKernelRow row = KernelRow;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const TTapList& rl = rows[r];
        rowPtr.clear();
        rowWeight.clear();
        for (const TTap& t : rl) {
            rowPtr.push_back(FSrc->PixelPointer(spanLo, t.SourceIndex));
            rowWeight.push_back(t.Weight);
        }
        columns(rowPtr.data(), rowWeight.data(), static_cast<int>(rl.size()), span, acc.data());
        const int y = FClip.Top + static_cast<int>(r);
        row(acc.data(), colStart.data(), colIndex.data(), colWeight.data(), static_cast<int>(cols.size()), clampSums,
            Target(y));
        Flush(y);
    }
}

// Block boundaries of one axis, relative to the source rectangle's start: block k spans
// [Start[k], Start[k] + Size[k]).
struct TDraftAxis {
    std::vector<int> Start, Size;
};

TDraftAxis DraftAxis(int DstLo, int ClipLo, int ClipHi, int SrcW, int DstW)
{
    TDraftAxis axis;
    const float sx = RoundToSingle(static_cast<float>(SrcW) / static_cast<float>(DstW));
    const auto offset = static_cast<std::int64_t>(RoundToSingle(static_cast<float>(ClipLo - DstLo) * sx));
    // 64-bit steps: the 16.16 step of a shrink by 65536 or more does not fit 32 bits.
    const auto step = static_cast<std::uint64_t>(65536.0f * sx);
    const int n = ClipHi - ClipLo;
    axis.Start.resize(static_cast<std::size_t>(n));
    axis.Size.resize(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        std::int64_t a = offset + static_cast<std::int64_t>((std::uint64_t(k) * step) >> 16);
        std::int64_t b = offset + static_cast<std::int64_t>((std::uint64_t(k + 1) * step) >> 16);
        // Single-precision steps could overshoot the rectangle's end by a pixel; stay inside.
        b = std::min<std::int64_t>(b, SrcW);
        a = std::clamp<std::int64_t>(a, 0, b - 1);
        axis.Start[static_cast<std::size_t>(k)] = static_cast<int>(a);
        axis.Size[static_cast<std::size_t>(k)] = static_cast<int>(b - a);
    }
    return axis;
}

void TTransfer::ScaleDraft()
{
    if (DstW() > SrcW() || DstH() > SrcH()) {
        if (SrcW() < 2 || SrcH() < 2)
            ScaleByKernel(sfLinear);
        else
            ScaleBilinear();
        return;
    }
    const TDraftAxis xs = DraftAxis(FDstRect.Left, FClip.Left, FClip.Right, SrcW(), DstW());
    const TDraftAxis ys = DraftAxis(FDstRect.Top, FClip.Top, FClip.Bottom, SrcH(), DstH());
    const TBoxAverage average = BoxAverage;
    const int stride = FSrc->Width();
    const int w = ClipW();
    for (int r = 0; r < FClip.Bottom - FClip.Top; ++r) {
        const int y = FClip.Top + r;
        const TColor32* srcRow = FSrc->PixelPointer(FSrcRect.Left, FSrcRect.Top + ys.Start[static_cast<std::size_t>(r)]);
        const int dy = ys.Size[static_cast<std::size_t>(r)];
        TColor32* out = Target(y);
        for (int k = 0; k < w; ++k)
            out[k] = average(srcRow + xs.Start[static_cast<std::size_t>(k)], stride,
                             xs.Size[static_cast<std::size_t>(k)], dy);
        Flush(y);
    }
}

bool RectInside(const TRect& R, int W, int H) { return R.Left >= 0 && R.Top >= 0 && R.Right <= W && R.Bottom <= H; }

} // namespace

void ScaledTransfer(TBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TBitmap32* Src,
                    const TRect& SrcRect, TStretchFilter StretchFilter, TDrawMode CombineOp,
                    const TPixelCombineEvent& CombineCallBack)
{
    if (Src && Src->IsEmpty())
        return;
    if (!Dst || Dst->IsEmpty())
        throw ETransformError("Destination bitmap is nil or empty");
    if (!Src)
        throw ETransformError("Source bitmap is nil or empty");
    if (SrcRect.Right <= SrcRect.Left || SrcRect.Bottom <= SrcRect.Top)
        return;
    if (!RectInside(SrcRect, Src->Width(), Src->Height()))
        throw ETransformError("Source rectangle is invalid");
    // Sizes that do not fit 32 bits cannot be mapped; nothing is drawn for them.
    if (std::int64_t(DstRect.Right) - DstRect.Left > INT_MAX || std::int64_t(DstRect.Bottom) - DstRect.Top > INT_MAX)
        return;
    TRect clip;
    if (!IntersectRects(clip, DstClip, Dst->BoundsRect()) || !IntersectRects(clip, clip, DstRect))
        return;
    if (clip.Right <= clip.Left || clip.Bottom <= clip.Top)
        return;
    if (CombineOp == dmCustom && !CombineCallBack)
        CombineOp = dmOpaque;
    if (CombineOp == dmBlend && Src->MasterAlpha() == 0)
        return;

    FinishOnExit finish;
    // Reading and writing one bitmap would feed written pixels back into the mix: work from
    // a copy of the source then.
    TBitmap32 copy;
    TBitmap32* source = Src;
    if (Src == Dst) {
        copy.SetSize(Src->Width(), Src->Height());
        std::memcpy(copy.Bits(), Src->Bits(), sizeof(TColor32) * std::size_t(Src->Width()) * Src->Height());
        copy.SetCombineMode(Src->CombineMode());
        copy.SetMasterAlpha(Src->MasterAlpha());
        source = &copy;
    }
    TTransfer t(Dst, DstRect, clip, source, SrcRect, CombineOp, &CombineCallBack);
    const int srcW = SrcRect.Right - SrcRect.Left, srcH = SrcRect.Bottom - SrcRect.Top;
    const int dstW = DstRect.Right - DstRect.Left, dstH = DstRect.Bottom - DstRect.Top;
    if (srcW == dstW && srcH == dstH) {
        t.CopyUnscaled();
        return;
    }
    switch (StretchFilter) {
    case sfNearest:
        t.ScaleNearest();
        break;
    case sfDraft:
        t.ScaleDraft();
        break;
    case sfLinear:
        if (dstW > srcW && dstH > srcH && srcW > 1 && srcH > 1)
            t.ScaleBilinear();
        else
            t.ScaleByKernel(sfLinear);
        break;
    default:
        t.ScaleByKernel(StretchFilter);
        break;
    }
}

void TBitmap32::DrawToBitmap(TBitmap32* Target, const TRect& DestRect)
{
    if (IsEmpty() || !Target || Target->IsEmpty())
        return;
    ScaledTransfer(Target, DestRect, Target->ClipRect(), this, BoundsRect(), FStretchFilter, FDrawMode,
                   OnPixelCombine);
    Target->NotifyChange();
}
