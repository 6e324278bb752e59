// What the module makes of each document mode the host hands over: which planes carry colour
// and transparency, and the row conversions that turn them into the RGB bytes the preview,
// the noise step and the exchange files work on (byte 0 red, 1 green, 2 blue, 3 the
// transparency or 0).
#pragma once
#include <cstdint>

#include "host/pi_filter.h"

enum class TPlaneConversion {
    Refused,    // no colour a filter can read, or planes the mode does not explain
    RGB,        // the host's planes as they lie
    Grey,       // R = G = B = the grey (grayscale, duotone)
    CMYK,       // bytes are 255 - ink: R = C x K / 255, G = M x K / 255, B = Y x K / 255
    Lab,        // CIE Lab (D50) to sRGB
    FirstPlane  // multichannel: the first plane as grey
};

struct THostImageKind {
    TPlaneConversion Conversion = TPlaneConversion::Refused;
    int AlphaPlane = -1;  // the transparency plane's index, -1 when there is none
};

// Decides from imageMode, planes and, where the host fills them (not all zero),
// inLayerPlanes and inTransparencyMask. Anything not explained is Refused, never a guess.
THostImageKind ClassifyHostImage(const FilterRecord& Record);

// The transfer filter reads every mode it can convert; the line filter writes three planes
// back and so takes RGB only.
bool IsReadableImage(const FilterRecord& Record);
bool IsWritableRGBImage(const FilterRecord& Record);

// Converts Columns host pixels of one row, each Stride bytes apart starting at Src (dummy
// planes already skipped), into 4-byte pixels at Dst: every destination byte is written.
// Kind must not be Refused or RGB (the plane copy serves RGB as it lies). Reads no byte past
// the last pixel's last plane. The portable loops, their SSE2 twin for the layouts hosts
// serve most (no dummy planes), and the one chosen at start-up.
void ConvertRowToRGBPlain(const THostImageKind& Kind, const std::uint8_t* Src, int Stride, std::uint8_t* Dst,
                          int Columns);
#if defined(VESPER_X86)
void ConvertRowToRGBSse2(const THostImageKind& Kind, const std::uint8_t* Src, int Stride, std::uint8_t* Dst,
                         int Columns);
// Lab without dummy planes in wide registers, everything else through the SSE2 twin. Its Lab
// bytes are computed, not looked up, and may differ by one from the other two's; all three stay
// within one of the exact conversion.
void ConvertRowToRGBAvx512(const THostImageKind& Kind, const std::uint8_t* Src, int Stride, std::uint8_t* Dst,
                           int Columns);
#endif
void ConvertRowToRGB(const THostImageKind& Kind, const std::uint8_t* Src, int Stride, std::uint8_t* Dst,
                     int Columns);
