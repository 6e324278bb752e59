// The document modes the test host serves (--mode), made from an RGB image the way an editor
// converts a document, and what the module must hand the editor for each: worked out here
// on the host's side, in double precision, independently of the module's own tables.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "bmp_image.h"

enum class HostMode { RGB, Grey, GreyAlpha, Duotone, CMYK, Lab, LabAlpha, Multichannel, Bitmap, Indexed, HSL, HSB };

// "rgb", "grey", "grey-alpha", "duotone", "cmyk", "lab", "lab-alpha", "multichannel",
// "bitmap", "indexed", "hsl", "hsb".
std::optional<HostMode> ParseHostMode(const std::string& Name);
// The filter record's imageMode for the mode.
std::int16_t ImageModeOf(HostMode Mode);

// The host's planes for Mode from an RGB image (one grey plane counts as R = G = B): grey by
// the luma weights 77, 150, 29 (/256); CMYK as bytes 255 - ink with black = 255 - max(R, G, B)
// and each ink chosen so that C x K / 255 gives the colour back; Lab by sRGB to CIE Lab (D50,
// Bradford); the alpha variants with a transparency plane of a fixed pattern; multichannel
// as three planes, the grey first; the refused modes with one (bitmap, indexed) or three
// (HSL, HSB) planes.
HostImage MakeModeImage(const HostImage& Rgb, HostMode Mode);

// What the image exchange file must hold for the image served in ImageMode: four bytes per
// pixel (red, green, blue, transparency or 0), and how far each colour byte may lie from
// them (1 for Lab, whose reference is the double-precision conversion rounded; else 0).
// Nullopt for RGB (the file holds the planes as served) and for modes the module refuses.
struct ExpectedTransfer {
    HostImage Rgba;
    int Tolerance = 0;
};
std::optional<ExpectedTransfer> ExpectedTransferOf(const HostImage& Served, std::int16_t ImageMode);

// CIE Lab (D50) to sRGB in double precision, 0..255 unrounded and clamped.
void LabToRgbReference(double L, double A, double B, double Rgb[3]);
// sRGB bytes to the host's Lab bytes (L x 255 / 100, a + 128, b + 128, rounded and clamped).
void RgbToLabBytes(const std::uint8_t Rgb[3], std::uint8_t Lab[3]);
