// Points and rectangles: (Left, Top, Right, Bottom), right and bottom exclusive.
#pragma once
#include <cstdint>

struct TPoint {
    int X = 0, Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TFloatRect {
    float Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TFloatRect&, const TFloatRect&) = default;
};

using TFixed = std::int32_t; // 16.16
struct TFixedRect {
    TFixed Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TFixedRect&, const TFixedRect&) = default;
};
