// The colour word and the small value types shared by the bitmap core.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

using TColor32 = std::uint32_t; // alpha 24-31, red 16-23, green 8-15, blue 0-7
using TArrayOfColor32 = std::vector<TColor32>;
using TArrayOfByte = std::vector<std::uint8_t>;

enum TDrawMode : std::uint8_t { dmOpaque = 0, dmBlend = 1, dmCustom = 2 };
enum TCombineMode : std::uint8_t { cmBlend = 0, cmMerge = 1 };
enum TStretchFilter : std::uint8_t {
    sfNearest = 0, sfDraft = 1, sfLinear = 2, sfCosine = 3, sfSpline = 4, sfLanczos = 5, sfMitchell = 6
};

// Per-pixel combiner of dmCustom: F is the source colour, B the destination, M the master alpha.
using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;

constexpr TColor32 AlphaOf(TColor32 c) { return c >> 24; }
constexpr TColor32 RedOf(TColor32 c) { return (c >> 16) & 0xFF; }
constexpr TColor32 GreenOf(TColor32 c) { return (c >> 8) & 0xFF; }
constexpr TColor32 BlueOf(TColor32 c) { return c & 0xFF; }
