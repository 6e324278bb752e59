#include "bitmap/low_level.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/system_colors.h"

std::uint8_t GammaTable[256];

void FillColorRun(TColor32* Dst, int Count, TColor32 Value)
{
    if (Count <= 0)
        return;
#if defined(__i386__) || defined(__x86_64__)
    // Long runs: the string store writes whole cache lines without reading them first, which
    // is what makes the C library's memset fast; a loop of vector stores reaches a fraction.
    if (Count >= 256) {
        std::size_t n = static_cast<std::size_t>(Count);
        __asm__ volatile("rep stosl" : "+D"(Dst), "+c"(n) : "a"(Value) : "memory");
        return;
    }
#endif
    std::fill_n(Dst, Count, Value);
}

void MoveColorRun(const TColor32* Src, TColor32* Dst, int Count)
{
    if (Count <= 0 || Src == Dst)
        return;
    std::memmove(Dst, Src, static_cast<std::size_t>(Count) * sizeof(TColor32));
}

void SwapInts(int& A, int& B) { std::swap(A, B); }

void OrderPair(int& A, int& B)
{
    if (B < A)
        std::swap(A, B);
}

bool ClipSpan(int& A, int& B, int Lo, int Hi)
{
    OrderPair(A, B);
    if (A < Lo)
        A = Lo;
    if (B >= Hi) {
        if (Hi == std::numeric_limits<int>::min())
            return false; // no int lies below Hi
        B = Hi - 1;
    }
    return B >= A;
}

int ClampToByte(int V) { return V < 0 ? 0 : (V > 255 ? 255 : V); }

int Constrain(int V, int Lo, int Hi) { return V < Lo ? Lo : std::min(V, Hi); }

int ConstrainUnordered(int V, int B1, int B2)
{
    if (B2 < B1)
        std::swap(B1, B2);
    return Constrain(V, B1, B2);
}

TColor32 ColorFromSystem(std::int32_t Value)
{
    std::uint32_t v = static_cast<std::uint32_t>(Value);
    if (Value < 0)
        v = SystemColorRGB(static_cast<int>(v & 0xFF));
    return 0xFF000000u | ((v & 0xFF) << 16) | (v & 0x0000FF00u) | ((v >> 16) & 0xFF);
}

TColor32 MakeColor32(int R, int G, int B, int A)
{
    return (static_cast<TColor32>(A) << 24) | (static_cast<TColor32>(R & 0xFF) << 16) |
           (static_cast<TColor32>(G & 0xFF) << 8) | static_cast<TColor32>(B & 0xFF);
}

TColor32 MakeGray32(int Intensity, int A)
{
    return (static_cast<TColor32>(A) << 24) | (static_cast<TColor32>(Intensity & 0xFF) * 0x010101u);
}

int IntensityOf(TColor32 Color)
{
    return static_cast<int>((RedOf(Color) * 61 + GreenOf(Color) * 174 + BlueOf(Color) * 21) >> 8);
}

TColor32 WithAlpha(TColor32 Color, int A)
{
    if (A < 0)
        A = 0;
    return (Color & 0x00FFFFFF) | (static_cast<TColor32>(std::min(A, 255)) << 24);
}

std::int32_t FixedRatio(std::int32_t A, std::int32_t B)
{
    return static_cast<std::int32_t>(static_cast<std::int64_t>(A) * 65536 / B);
}

TPoint MakePoint(int X, int Y) { return TPoint{X, Y}; }
TRect MakeRect(int Left, int Top, int Right, int Bottom) { return TRect{Left, Top, Right, Bottom}; }

TRect FloatRectToRect(const TFloatRect& R, TRectRounding Mode)
{
    TRect r;
    switch (Mode) {
    case rrNearest:
        r = {RoundHalfEven(R.Left), RoundHalfEven(R.Top), RoundHalfEven(R.Right), RoundHalfEven(R.Bottom)};
        break;
    case rrOutside:
        r = {static_cast<int>(std::floor(R.Left)), static_cast<int>(std::floor(R.Top)),
             static_cast<int>(std::ceil(R.Right)), static_cast<int>(std::ceil(R.Bottom))};
        break;
    case rrCeil:
        r = {static_cast<int>(std::ceil(R.Left)), static_cast<int>(std::ceil(R.Top)),
             static_cast<int>(std::ceil(R.Right)), static_cast<int>(std::ceil(R.Bottom))};
        if (r.Right < r.Left)
            r.Right = r.Left;
        if (r.Bottom < r.Top)
            r.Bottom = r.Top;
        break;
    }
    return r;
}

TFixedRect RectToFixed(const TRect& R)
{
    auto f = [](int v) { return static_cast<TFixed>(static_cast<std::uint32_t>(v) << 16); };
    return TFixedRect{f(R.Left), f(R.Top), f(R.Right), f(R.Bottom)};
}

TFloatRect RectToFloat(const TRect& R)
{
    return TFloatRect{static_cast<float>(R.Left), static_cast<float>(R.Top), static_cast<float>(R.Right),
                      static_cast<float>(R.Bottom)};
}

bool IntersectRects(TRect& Dst, const TRect& A, const TRect& B)
{
    TRect r{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
            std::min(A.Bottom, B.Bottom)};
    if (r.Right < r.Left || r.Bottom < r.Top) {
        Dst = TRect{};
        return false;
    }
    Dst = r;
    return true;
}

bool SameRect(const TRect& A, const TRect& B) { return A == B; }

void InflateRectBy(TRect& R, int Dx, int Dy)
{
    R.Left -= Dx;
    R.Top -= Dy;
    R.Right += Dx;
    R.Bottom += Dy;
}

void OffsetRectBy(TRect& R, int Dx, int Dy)
{
    R.Left += Dx;
    R.Top += Dy;
    R.Right += Dx;
    R.Bottom += Dy;
}

bool RectIsEmpty(const TRect& R) { return !(R.Left < R.Right && R.Top < R.Bottom); }

bool PointInRect(const TRect& R, const TPoint& P)
{
    return R.Left <= P.X && P.X < R.Right && R.Top <= P.Y && P.Y < R.Bottom;
}

void BuildGammaTable(double Gamma)
{
    for (int i = 0; i < 256; ++i)
        GammaTable[i] = static_cast<std::uint8_t>(RoundHalfEven(255.0 * std::pow(i / 255.0, Gamma)));
}

int RoundHalfEven(double V) { return static_cast<int>(std::nearbyint(V)); }
int RoundHalfEven(float V) { return static_cast<int>(std::nearbyintf(V)); }

namespace {
struct GammaStartup {
    GammaStartup() { BuildGammaTable(0.7); }
} const gammaStartup;
} // namespace
