// Pen and line operations of the 32-bit bitmap: an aliased midpoint line and an anti-aliased
// line with gamma-corrected coverage, both clipped to the clip rectangle.
//
// Clipping is computed, not stepped: the state at the first major position inside the clip
// rectangle comes from a closed form, so a line reaching far outside costs no more than the
// part inside. All set-up runs in 64-bit arithmetic, which holds every difference of two 32-bit
// coordinates and every product the entry state needs, so lines of any extent (up to the full
// 32-bit range) are drawn exactly and never write outside the clip rectangle.
#include <algorithm>
#include <cstdint>

#include "bitmap/bitmap32.h"
#include "bitmap/blend.h"
#include "bitmap/low_level.h"

namespace {

// A sloped line after the shared preamble, mirrored so that both steps are positive and
// expressed along its major and minor axes.
struct TLineSetup {
    std::int64_t M1 = 0, N1 = 0;          // start (major, minor), mirrored
    std::int64_t A = 0, B = 0;            // extents after the end-point shortening, A >= B > 0
    std::int64_t MajLo = 0, MajHi = 0;    // clip bounds (inclusive), mirrored, major axis
    std::int64_t MinLo = 0, MinHi = 0;    // and minor axis
    std::int64_t MajStride = 0, MinStride = 0; // pixel index change per mirrored unit step
    int SX = 1, SY = 1;                   // mirroring signs
    std::int64_t EX = 0, EY = 0;          // shortened extents in x and y
};

enum class TPreamble { Done, Sloped };

TPreamble LinePreamble(TBitmap32& Bmp, int X1, int Y1, int X2, int Y2, TColor32 Value, bool DrawLast,
                       TLineSetup& S)
{
    const std::int64_t dx = std::int64_t(X2) - X1;
    const std::int64_t dy = std::int64_t(Y2) - Y1;
    if (dx == 0 || dy == 0) {
        if (dx == 0) {
            if (dy > 0)
                Bmp.BlendColumnSpanClipped(X1, Y1, Y2 - 1, Value);
            else if (dy < 0)
                Bmp.BlendColumnSpanClipped(X1, Y2 + 1, Y1, Value);
        } else if (dx > 0) {
            Bmp.BlendRowSpanClipped(X1, Y1, X2 - 1, Value);
        } else {
            Bmp.BlendRowSpanClipped(X2 + 1, Y1, X1, Value);
        }
        if (DrawLast)
            Bmp.SetPixelBlended(X2, Y2, Value);
        Bmp.NotifyChange();
        return TPreamble::Done;
    }
    const TRect& c = Bmp.ClipRect();
    // An empty clip range is missed by every line.
    if (c.Right <= c.Left || c.Bottom <= c.Top || std::max(X1, X2) < c.Left || std::min(X1, X2) > std::int64_t(c.Right) - 1 || std::max(Y1, Y2) < c.Top ||
        std::min(Y1, Y2) > std::int64_t(c.Bottom) - 1)
        return TPreamble::Done;

    std::int64_t x1 = X1, y1 = Y1;
    std::int64_t xlo = c.Left, xhi = std::int64_t(c.Right) - 1, ylo = c.Top, yhi = std::int64_t(c.Bottom) - 1;
    S.SX = dx < 0 ? -1 : 1;
    S.SY = dy < 0 ? -1 : 1;
    if (S.SX < 0) {
        x1 = -x1;
        std::swap(xlo, xhi);
        xlo = -xlo;
        xhi = -xhi;
    }
    if (S.SY < 0) {
        y1 = -y1;
        std::swap(ylo, yhi);
        ylo = -ylo;
        yhi = -yhi;
    }
    std::int64_t ex = dx < 0 ? -dx : dx;
    std::int64_t ey = dy < 0 ? -dy : dy;
    if (!DrawLast) {
        if (ex > ey)
            --ex;
        else
            --ey;
        if (ex == 0 || ey == 0)
            return TPreamble::Done;
    }
    S.EX = ex;
    S.EY = ey;
    const std::int64_t w = Bmp.Width();
    if (ex >= ey) {
        S.M1 = x1; S.N1 = y1; S.A = ex; S.B = ey;
        S.MajLo = xlo; S.MajHi = xhi; S.MinLo = ylo; S.MinHi = yhi;
        S.MajStride = S.SX; S.MinStride = S.SY * w;
    } else {
        S.M1 = y1; S.N1 = x1; S.A = ey; S.B = ex;
        S.MajLo = ylo; S.MajHi = yhi; S.MinLo = xlo; S.MinHi = xhi;
        S.MajStride = S.SY * w; S.MinStride = S.SX;
    }
    return TPreamble::Sloped;
}

// First and last step (counted from the start point) whose major position is inside the clip;
// false when none is.
bool MajorRange(const TLineSetup& S, std::int64_t& K0, std::int64_t& K1)
{
    K0 = std::max<std::int64_t>(0, S.MajLo - S.M1);
    K1 = std::min<std::int64_t>(S.A, S.MajHi - S.M1);
    return K0 <= K1;
}

} // namespace

void TBitmap32::MovePenTo(int X, int Y) { PenPos = TPoint{X, Y}; }

void TBitmap32::LineToBlended(int X, int Y)
{
    DrawLineBlended(PenPos.X, PenPos.Y, X, Y, PenColor, false);
    PenPos = TPoint{X, Y};
}

void TBitmap32::LineToSmooth(int X, int Y)
{
    DrawLineSmooth(PenPos.X, PenPos.Y, X, Y, PenColor, false);
    PenPos = TPoint{X, Y};
}

void TBitmap32::DrawLineBlended(int X1, int Y1, int X2, int Y2, TColor32 Value, bool DrawLast)
{
    TLineSetup s;
    if (LinePreamble(*this, X1, Y1, X2, Y2, Value, DrawLast, s) == TPreamble::Done)
        return;
    std::int64_t k0, k1;
    if (MajorRange(s, k0, k1)) {
        const std::int64_t a = s.A, b = s.B;
        // State of the midpoint walk at step k0: the minor offset is floor((2bk + a) / 2a) and
        // the error 2b(k + 1) - a - 2a * offset, split through b * k = q * a + r so that every
        // product stays inside 64 bits.
        const std::uint64_t p = std::uint64_t(b) * std::uint64_t(k0);
        const std::int64_t q = static_cast<std::int64_t>(p / std::uint64_t(a));
        const std::int64_t r = static_cast<std::int64_t>(p % std::uint64_t(a));
        const std::int64_t adv = 2 * r >= a ? 1 : 0;
        std::int64_t n = s.N1 + q + adv;
        std::int64_t e = 2 * b + 2 * r - a - 2 * a * adv;
        // Pixel index of (major, minor), stepped along; only read when the minor is inside.
        std::int64_t idx = (s.M1 + k0) * s.MajStride + n * s.MinStride;
        const TBlendMem blend = BlendColorIntoByMode[FCombineMode];
        for (std::int64_t k = k0; k <= k1; ++k, idx += s.MajStride) {
            if (n > s.MinHi)
                break;
            if (n >= s.MinLo)
                blend(Value, FBits[idx]);
            if (e < 0) {
                e += 2 * b;
            } else {
                ++n;
                idx += s.MinStride;
                e += 2 * b - 2 * a;
            }
        }
        FinishColorOps();
    }
    NotifyChange();
}

void TBitmap32::DrawLineSmooth(int X1, int Y1, int X2, int Y2, TColor32 Value, bool DrawLast)
{
    if (FClipRect.Right <= FClipRect.Left || FClipRect.Bottom <= FClipRect.Top)
        return;
    TLineSetup s;
    if (LinePreamble(*this, X1, Y1, X2, Y2, Value, DrawLast, s) == TPreamble::Done)
        return;
    if (s.A == s.B) {
        // A diagonal has full coverage everywhere: the aliased line draws it.
        DrawLineBlended(X1, Y1, static_cast<int>(X1 + s.SX * s.EX), static_cast<int>(Y1 + s.SY * s.EY), Value,
                        DrawLast);
        return;
    }
    std::int64_t k0, k1;
    if (MajorRange(s, k0, k1)) {
        const std::uint64_t g = (std::uint64_t(s.B) << 16) / std::uint64_t(s.A);
        const std::uint64_t start = std::uint64_t(k0) * g;
        std::uint32_t e = static_cast<std::uint32_t>(start & 0xFFFF);
        std::int64_t n = s.N1 + static_cast<std::int64_t>(start >> 16);
        std::int64_t idx = (s.M1 + k0) * s.MajStride + n * s.MinStride;
        const std::int64_t minStride = s.MinStride;
        const std::uint32_t step = static_cast<std::uint32_t>(g);
        const TBlendMemEx blend = BlendColorIntoScaledByMode[FCombineMode];
        for (std::int64_t k = k0; k <= k1; ++k, idx += s.MajStride) {
            if (n > s.MinHi)
                break;
            const std::uint32_t cov = e >> 8;
            if (n >= s.MinLo && n < s.MinHi) {
                blend(Value, FBits[idx], GammaTable[255 - cov]);
                blend(Value, FBits[idx + minStride], GammaTable[cov]);
            } else if (n >= s.MinLo) {
                blend(Value, FBits[idx], GammaTable[255 - cov]); // the neighbour is past the clip
            } else if (n + 1 == s.MinLo) {
                blend(Value, FBits[idx + minStride], GammaTable[cov]); // only the neighbour is inside
            }
            e += step;
            if (e >= 65536) {
                e -= 65536;
                ++n;
                idx += minStride;
            }
        }
        FinishColorOps();
    }
    NotifyChange();
}
