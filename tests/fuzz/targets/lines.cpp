// Pen and line operations with ends, clip rectangle, colours and combine mode from the input.
// After every operation: nothing outside the clip rectangle has changed; inside it the pixels
// equal those of the same operation clipped only by the bitmap's bounds (a clip never alters
// what a line gives the pixels it keeps, unless it rejects the line whole); a line short
// enough to fit a larger bitmap gives those pixels too, drawn there unclipped; and the SIMD
// and portable runs agree.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "fuzz_support.h"

namespace {

enum TOp { opMove, opLineBlended, opLineSmooth, opDrawBlended, opDrawSmooth, opRowSpan, opColumnSpan, opPixel, opCount };

struct Op {
    TOp Kind = opMove;
    int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    TColor32 Colour = 0;
    bool DrawLast = false;
};

int Coord(FuzzedDataProvider& In, int Extent)
{
    static const int Extremes[] = {INT_MIN, INT_MIN + 1, -32768, 32767, INT_MAX - 1, INT_MAX};
    switch (In.ConsumeIntegralInRange(0, 11)) {
    case 0:
        return Extremes[In.ConsumeIntegralInRange<std::size_t>(0, std::size(Extremes) - 1)];
    case 1:
        return In.ConsumeIntegralInRange(-100000, 100000);
    default:
        return In.ConsumeIntegralInRange(-24, Extent + 24);
    }
}

// The bitmap the operations run on, with its clip rectangle and pen.
struct Canvas {
    TBitmap32 Bmp;
    Canvas(int W, int H, const std::vector<TColor32>& Pixels, TCombineMode Combine)
    {
        Bmp.SetSize(W, H);
        std::memcpy(Bmp.Bits(), Pixels.data(), Pixels.size() * sizeof(TColor32));
        Bmp.SetCombineMode(Combine);
    }
    void Apply(const Op& O)
    {
        switch (O.Kind) {
        case opMove: Bmp.MovePenTo(O.X1, O.Y1); break;
        case opLineBlended: Bmp.PenColor = O.Colour; Bmp.LineToBlended(O.X1, O.Y1); break;
        case opLineSmooth: Bmp.PenColor = O.Colour; Bmp.LineToSmooth(O.X1, O.Y1); break;
        case opDrawBlended: Bmp.DrawLineBlended(O.X1, O.Y1, O.X2, O.Y2, O.Colour, O.DrawLast); break;
        case opDrawSmooth: Bmp.DrawLineSmooth(O.X1, O.Y1, O.X2, O.Y2, O.Colour, O.DrawLast); break;
        case opRowSpan: Bmp.BlendRowSpanClipped(O.X1, O.Y1, O.X2, O.Colour); break;
        case opColumnSpan: Bmp.BlendColumnSpanClipped(O.X1, O.Y1, O.Y2, O.Colour); break;
        case opPixel: Bmp.SetPixelBlended(O.X1, O.Y1, O.Colour); break;
        default: break;
        }
    }
    TColor32 At(int X, int Y) const { return Bmp.PixelAt(X, Y); }
};

// The operation as a line from (X1, Y1) to (X2, Y2) with its DrawLast, when it is one.
bool AsLine(const Op& O, const TPoint& Pen, Op& Line)
{
    Line = O;
    switch (O.Kind) {
    case opLineBlended:
    case opLineSmooth:
        Line.Kind = O.Kind == opLineBlended ? opDrawBlended : opDrawSmooth;
        Line.X2 = O.X1;
        Line.Y2 = O.Y1;
        Line.X1 = Pen.X;
        Line.Y1 = Pen.Y;
        Line.DrawLast = false;
        return true;
    case opDrawBlended:
    case opDrawSmooth:
        return true;
    default:
        return false;
    }
}

// Step 4 of the lines' preamble: a sloped line whose x or y range misses the clip rectangle
// is rejected whole, although its anti-aliased fringe reaches one pixel past the x range (a
// neighbour blended at weight 0 still changes a pixel in merge mode).
bool Rejected(const Op& Line, const TRect& Clip)
{
    if (Line.X1 == Line.X2 || Line.Y1 == Line.Y2)
        return false;
    return std::max(Line.X1, Line.X2) < Clip.Left || std::min(Line.X1, Line.X2) > std::int64_t(Clip.Right) - 1 ||
           std::max(Line.Y1, Line.Y2) < Clip.Top || std::min(Line.Y1, Line.Y2) > std::int64_t(Clip.Bottom) - 1;
}

std::string Name(const Op& O)
{
    static const char* const Names[] = {"MovePenTo", "LineToBlended", "LineToSmooth", "DrawLineBlended",
                                        "DrawLineSmooth", "BlendRowSpanClipped", "BlendColumnSpanClipped",
                                        "SetPixelBlended"};
    return std::string(Names[O.Kind]) + "(" + std::to_string(O.X1) + "," + std::to_string(O.Y1) + "," +
           std::to_string(O.X2) + "," + std::to_string(O.Y2) + (O.DrawLast ? ", last" : "") + ")";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    FuzzedDataProvider in(Data, Size);
    const int w = in.ConsumeIntegralInRange(1, 48);
    const int h = in.ConsumeIntegralInRange(1, 48);
    const TRect clip{Coord(in, w), Coord(in, h), Coord(in, w), Coord(in, h)};
    const TCombineMode combine = in.ConsumeBool() ? cmMerge : cmBlend;
    const bool vector = in.ConsumeBool();
    const int count = in.ConsumeIntegralInRange(1, 12);
    std::vector<Op> ops(static_cast<std::size_t>(count));
    for (Op& o : ops) {
        o.Kind = static_cast<TOp>(in.ConsumeIntegralInRange(0, opCount - 1));
        o.X1 = Coord(in, w);
        o.Y1 = Coord(in, h);
        o.X2 = Coord(in, w);
        o.Y2 = Coord(in, h);
        o.Colour = in.ConsumeIntegral<std::uint32_t>();
        o.DrawLast = in.ConsumeBool();
    }
    std::vector<TColor32> pixels(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = in.remaining_bytes() >= 4 ? in.ConsumeIntegral<std::uint32_t>()
                                              : static_cast<TColor32>((i + 1) * 0x9E3779B1u);

    // Clipped, on the SIMD routines and on the portable ones; clipped only by the bounds.
    const TColorOps& fast = vector ? VectorColorOps() : PlainColorOps();
    const TColorOps& portable = vector ? PortableVectorColorOps() : PlainColorOps();
    Canvas clipped(w, h, pixels, combine), twin(w, h, pixels, combine), whole(w, h, pixels, combine);
    clipped.Bmp.SetClipRect(clip);
    twin.Bmp.SetClipRect(clip);
    const TRect c = clipped.Bmp.ClipRect();
    for (const Op& o : ops) {
        Op line;
        const bool isLine = AsLine(o, whole.Bmp.PenPos, line);
        const std::vector<TColor32> before(whole.Bmp.Bits(), whole.Bmp.Bits() + pixels.size());
        const std::vector<TColor32> clippedBefore(clipped.Bmp.Bits(), clipped.Bmp.Bits() + pixels.size());
        const bool rejected = isLine && Rejected(line, c);
        UseColorOps(fast, vector);
        clipped.Apply(o);
        UseColorOps(portable, vector);
        twin.Apply(o);
        whole.Apply(o);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * w + x;
                const bool inside = x >= c.Left && x < c.Right && y >= c.Top && y < c.Bottom;
                const TColor32 got = clipped.At(x, y);
                const TColor32 expected = !inside ? pixels[i] : rejected ? clippedBefore[i] : whole.At(x, y);
                if (got == twin.At(x, y) && got == expected)
                    continue;
                const std::string where = " at (" + std::to_string(x) + "," + std::to_string(y) + ") after " + Name(o);
                FUZZ_EXPECT(got == twin.At(x, y), "SIMD and portable runs differ" + where);
                FUZZ_EXPECT(!inside, std::string(rejected ? "a rejected line drew" : "the clip changed a kept pixel") +
                                         where);
                FUZZ_EXPECT(inside, "a pixel outside the clip rectangle changed" + where);
            }
        // What a rejection left out inside the clip stays out of the comparisons that follow.
        if (rejected)
            for (int y = c.Top; y < c.Bottom; ++y)
                for (int x = c.Left; x < c.Right; ++x)
                    whole.Bmp.SetPixelAt(x, y, clipped.At(x, y));

        // A line that fits, together with this bitmap, into one of at most 256 x 256 is drawn
        // there whole, shifted so that every coordinate is inside, over the same pixels.
        if (!isLine || Rejected(line, whole.Bmp.BoundsRect()))
            continue;
        const std::int64_t left = std::min<std::int64_t>({0, line.X1, line.X2});
        const std::int64_t top = std::min<std::int64_t>({0, line.Y1, line.Y2});
        const std::int64_t right = std::max<std::int64_t>({w - 1, line.X1, line.X2});
        const std::int64_t bottom = std::max<std::int64_t>({h - 1, line.Y1, line.Y2});
        if (right - left >= 256 || bottom - top >= 256)
            continue;
        const int ox = static_cast<int>(-left), oy = static_cast<int>(-top);
        TBitmap32 big;
        big.SetSize(static_cast<int>(right - left + 1), static_cast<int>(bottom - top + 1));
        big.SetCombineMode(combine);
        big.Clear(0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                big.SetPixelAt(x + ox, y + oy, before[static_cast<std::size_t>(y) * w + x]);
        if (line.Kind == opDrawBlended)
            big.DrawLineBlended(line.X1 + ox, line.Y1 + oy, line.X2 + ox, line.Y2 + oy, line.Colour, line.DrawLast);
        else
            big.DrawLineSmooth(line.X1 + ox, line.Y1 + oy, line.X2 + ox, line.Y2 + oy, line.Colour, line.DrawLast);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                FUZZ_EXPECT(big.PixelAt(x + ox, y + oy) == whole.At(x, y),
                            "the bitmap's bounds changed a pixel the whole line gives at (" + std::to_string(x) + "," +
                                std::to_string(y) + "): " + Name(line));
    }
    return 0;
}
