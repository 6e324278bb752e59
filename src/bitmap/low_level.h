// Low-level run, clamp, colour and rectangle helpers shared by the bitmap core.
#pragma once
#include <cstdint>

#include "bitmap/color32.h"
#include "base/geometry.h"

void FillColorRun(TColor32* Dst, int Count, TColor32 Value);
void MoveColorRun(const TColor32* Src, TColor32* Dst, int Count);
void SwapInts(int& A, int& B);
void OrderPair(int& A, int& B);
bool ClipSpan(int& A, int& B, int Lo, int Hi);
int ClampToByte(int V);
int Constrain(int V, int Lo, int Hi);
int ConstrainUnordered(int V, int B1, int B2);

// Toolkit colour (0x00BBGGRR, negative = system colour index) to a colour word.
TColor32 ColorFromSystem(std::int32_t Value);
TColor32 MakeColor32(int R, int G, int B, int A = 0xFF);
TColor32 MakeGray32(int Intensity, int A = 0xFF);
int IntensityOf(TColor32 Color);
TColor32 WithAlpha(TColor32 Color, int A);
std::int32_t FixedRatio(std::int32_t A, std::int32_t B);

TPoint MakePoint(int X, int Y);
TRect MakeRect(int Left, int Top, int Right, int Bottom);
enum TRectRounding { rrNearest = 0, rrOutside = 1, rrCeil = 2 };
TRect FloatRectToRect(const TFloatRect& R, TRectRounding Mode = rrNearest);
TFixedRect RectToFixed(const TRect& R);
TFloatRect RectToFloat(const TRect& R);
bool IntersectRects(TRect& Dst, const TRect& A, const TRect& B);
bool SameRect(const TRect& A, const TRect& B);
void InflateRectBy(TRect& R, int Dx, int Dy);
void OffsetRectBy(TRect& R, int Dx, int Dy);
bool RectIsEmpty(const TRect& R);
bool PointInRect(const TRect& R, const TPoint& P);

// Gamma table of the bitmap core (built with 0.7 at start-up): entry i = round(255 (i/255)^gamma).
extern std::uint8_t GammaTable[256];
void BuildGammaTable(double Gamma);

// Round to nearest, ties to even (the rounding the whole bitmap core uses).
int RoundHalfEven(double V);
int RoundHalfEven(float V);
