// The scaled transfer with rectangles, clip, filter, draw and combine mode, master alpha and
// pixels from the input. Each case runs twice, once on the SSE2 routines and once on their
// portable rules (for the installed arithmetic set), which must agree to the bit; it raises
// exactly the errors its entry checks name and changes nothing outside the clipped
// destination rectangle.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/low_level.h"
#include "fuzz_support.h"

namespace {

struct Case {
    int SrcW = 0, SrcH = 0, DstW = 0, DstH = 0;
    bool SameBitmap = false;
    TRect DstRect, Clip, SrcRect;
    TStretchFilter Filter = sfNearest;
    TDrawMode Mode = dmOpaque;
    bool Callback = false;
    TCombineMode Combine = cmBlend;
    std::uint8_t Master = 255;
    bool VectorSet = true;
    std::vector<TColor32> SrcPixels, DstPixels;
};

struct Outcome {
    std::string Error; // empty when nothing was raised
    std::vector<TColor32> Dst;
};

int Coord(FuzzedDataProvider& In, int Extent)
{
    static const int Extremes[] = {INT_MIN, INT_MIN + 1, -1000000000, -65536, 65536, 1000000000, INT_MAX - 1, INT_MAX};
    switch (In.ConsumeIntegralInRange(0, 9)) {
    case 0:
        return Extremes[In.ConsumeIntegralInRange<std::size_t>(0, std::size(Extremes) - 1)];
    case 1:
        return In.ConsumeIntegralInRange(-70000, 70000);
    default:
        return In.ConsumeIntegralInRange(-6, Extent + 6);
    }
}

TRect Rect(FuzzedDataProvider& In, int W, int H)
{
    TRect r;
    r.Left = Coord(In, W);
    r.Top = Coord(In, H);
    r.Right = Coord(In, W);
    r.Bottom = Coord(In, H);
    return r;
}

std::vector<TColor32> Pixels(FuzzedDataProvider& In, int Count, std::uint32_t Salt)
{
    std::vector<TColor32> p(static_cast<std::size_t>(Count));
    for (int i = 0; i < Count; ++i) {
        if (In.remaining_bytes() >= 4) {
            p[static_cast<std::size_t>(i)] = In.ConsumeIntegral<std::uint32_t>();
        } else {
            std::uint32_t h = (static_cast<std::uint32_t>(i) + Salt) * 0x9E3779B1u;
            p[static_cast<std::size_t>(i)] = h ^ (h >> 15);
        }
    }
    return p;
}

void Custom(TColor32 F, TColor32& B, TColor32 M) { B = (F ^ (B >> 1)) + M * 0x01010101u; }

Outcome Run(const Case& C, TDrawMode Mode)
{
    TBitmap32 src, dst;
    src.SetSize(C.SrcW, C.SrcH);
    if (!src.IsEmpty())
        std::memcpy(src.Bits(), C.SrcPixels.data(), C.SrcPixels.size() * sizeof(TColor32));
    dst.SetSize(C.DstW, C.DstH);
    if (!dst.IsEmpty())
        std::memcpy(dst.Bits(), C.DstPixels.data(), C.DstPixels.size() * sizeof(TColor32));
    TBitmap32* from = C.SameBitmap ? &dst : &src;
    from->SetCombineMode(C.Combine);
    from->SetMasterAlpha(C.Master);
    const TPixelCombineEvent callback = C.Callback ? TPixelCombineEvent(Custom) : TPixelCombineEvent();
    Outcome o;
    try {
        ScaledTransfer(&dst, C.DstRect, C.Clip, from, C.SrcRect, C.Filter, Mode, callback);
    } catch (const ETransformError& e) {
        o.Error = e.what();
    }
    if (!dst.IsEmpty())
        o.Dst.assign(dst.Bits(), dst.Bits() + C.DstPixels.size());
    return o;
}

// The two builds of the installed arithmetic: SIMD routines, or their portable rules.
Outcome RunOn(const Case& C, bool Sse2, TDrawMode Mode)
{
    if (Sse2) {
        HaveSse2Resample();
        if (C.VectorSet) {
            UseColorOps(VectorColorOps(), true);
        } else {
            UseColorOps(PlainColorOps(), false);
            BilinearMix = BilinearMixCombine; // a processor without the vector set mixes plainly
        }
    } else {
        UsePortableResample();
        if (C.VectorSet) {
            UseColorOps(PortableVectorColorOps(), true);
        } else {
            UseColorOps(PlainColorOps(), false);
            BilinearMix = BilinearMixCombine;
        }
    }
    return Run(C, Mode);
}

std::string Describe(const Case& C)
{
    auto r = [](const TRect& R) {
        return "(" + std::to_string(R.Left) + "," + std::to_string(R.Top) + "," + std::to_string(R.Right) + "," +
               std::to_string(R.Bottom) + ")";
    };
    return "src " + std::to_string(C.SrcW) + "x" + std::to_string(C.SrcH) + " dst " + std::to_string(C.DstW) + "x" +
           std::to_string(C.DstH) + (C.SameBitmap ? " (same bitmap)" : "") + " dstRect " + r(C.DstRect) + " clip " +
           r(C.Clip) + " srcRect " + r(C.SrcRect) + " filter " + std::to_string(C.Filter) + " mode " +
           std::to_string(C.Mode) + " combine " + std::to_string(C.Combine) + " master " + std::to_string(C.Master) +
           (C.VectorSet ? " vector set" : " plain set");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    FuzzedDataProvider in(Data, Size);
    Case c;
    c.SameBitmap = in.ConsumeIntegralInRange(0, 7) == 0;
    c.DstW = in.ConsumeIntegralInRange(0, 40);
    c.DstH = in.ConsumeIntegralInRange(0, 40);
    c.SrcW = c.SameBitmap ? c.DstW : in.ConsumeIntegralInRange(0, 40);
    c.SrcH = c.SameBitmap ? c.DstH : in.ConsumeIntegralInRange(0, 40);
    c.DstRect = Rect(in, c.DstW, c.DstH);
    c.Clip = Rect(in, c.DstW, c.DstH);
    c.SrcRect = Rect(in, c.SrcW, c.SrcH);
    c.Filter = static_cast<TStretchFilter>(in.ConsumeIntegralInRange(0, 6));
    c.Mode = static_cast<TDrawMode>(in.ConsumeIntegralInRange(0, 2));
    c.Callback = in.ConsumeBool();
    c.Combine = in.ConsumeBool() ? cmMerge : cmBlend;
    c.Master = in.ConsumeIntegral<std::uint8_t>();
    c.VectorSet = in.ConsumeBool();
    c.DstPixels = Pixels(in, c.DstW * c.DstH, 1);
    c.SrcPixels = c.SameBitmap ? c.DstPixels : Pixels(in, c.SrcW * c.SrcH, 2);

    const bool sse2 = HaveSse2Resample();
    const Outcome a = RunOn(c, sse2, c.Mode);
    const Outcome b = RunOn(c, false, c.Mode);
    FUZZ_EXPECT(a.Error == b.Error && a.Dst == b.Dst, "SSE2 and portable results differ: " + Describe(c));

    // The entry checks, in their order.
    const bool srcEmpty = c.SrcW == 0 || c.SrcH == 0;
    const bool dstEmpty = c.DstW == 0 || c.DstH == 0;
    const TRect& s = c.SrcRect;
    const bool srcRectEmpty = s.Right <= s.Left || s.Bottom <= s.Top;
    const bool srcRectInside = s.Left >= 0 && s.Top >= 0 && s.Right <= c.SrcW && s.Bottom <= c.SrcH;
    std::string expected;
    if (!srcEmpty && dstEmpty)
        expected = "Destination bitmap is nil or empty";
    else if (!srcEmpty && !srcRectEmpty && !srcRectInside)
        expected = "Source rectangle is invalid";
    FUZZ_EXPECT(a.Error == expected, "raised \"" + a.Error + "\" instead of \"" + expected + "\": " + Describe(c));
    if (dstEmpty)
        return 0;

    // Nothing outside clip, bounds and destination rectangle; nothing at all on the early outs.
    TRect area;
    const bool drawn = a.Error.empty() && !srcEmpty && !srcRectEmpty && !(c.Mode == dmBlend && c.Master == 0) &&
                       IntersectRects(area, c.Clip, TRect{0, 0, c.DstW, c.DstH}) &&
                       IntersectRects(area, area, c.DstRect);
    for (int y = 0; y < c.DstH; ++y)
        for (int x = 0; x < c.DstW; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * c.DstW + x;
            const bool inside = drawn && x >= area.Left && x < area.Right && y >= area.Top && y < area.Bottom;
            FUZZ_EXPECT(inside || a.Dst[i] == c.DstPixels[i],
                        "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") outside the clipped area changed: " +
                            Describe(c));
        }

    // The contribution lists of both axes: one per clipped column (row), each summing to
    // exactly 256 and naming only source pixels of the rectangle.
    if (drawn) {
        const TTapTable axes[] = {
            BuildTapTable(c.DstRect.Left, c.DstRect.Right, area.Left, area.Right, s.Left, s.Right, c.Filter),
            BuildTapTable(c.DstRect.Top, c.DstRect.Bottom, area.Top, area.Bottom, s.Top, s.Bottom, c.Filter)};
        const int clipSpan[] = {area.Right - area.Left, area.Bottom - area.Top};
        const int lo[] = {s.Left, s.Top}, hi[] = {s.Right, s.Bottom};
        for (int a = 0; a < 2; ++a) {
            FUZZ_EXPECT(axes[a].size() == static_cast<std::size_t>(clipSpan[a]), "a tap table not one list per column: " + Describe(c));
            for (const TTapList& list : axes[a]) {
                std::int64_t sum = 0;
                for (const TTap& t : list) {
                    FUZZ_EXPECT(t.SourceIndex >= lo[a] && t.SourceIndex < hi[a], "a tap outside the source rectangle: " + Describe(c));
                    sum += t.Weight;
                }
                FUZZ_EXPECT(sum == 256, "a tap list summing to " + std::to_string(sum) + ": " + Describe(c));
            }
        }
    }

    // A custom draw mode without a handler is the opaque one.
    if (c.Mode == dmCustom && !c.Callback) {
        const Outcome opaque = RunOn(c, sse2, dmOpaque);
        FUZZ_EXPECT(opaque.Dst == a.Dst, "dmCustom without a handler differs from dmOpaque: " + Describe(c));
    }
    return 0;
}
