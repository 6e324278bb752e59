// The test host's images: interleaved 8-bit planes, top-down, read from and written to BMP.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct HostImage {
    int Width = 0;
    int Height = 0;
    int Channels = 0;  // planes per pixel
    std::vector<std::uint8_t> Pixels;  // Width * Height * Channels, top-down
    std::uint8_t* At(int x, int y) {
        return Pixels.data() + (static_cast<std::size_t>(y) * Width + x) * Channels;
    }
};

// Reads an 8-bit (palette; gives one grey plane), 24-bit or 32-bit BMP (three planes, red
// first). Returns false with Error for anything malformed or larger than a host can address.
bool ReadBmp(const std::vector<std::uint8_t>& File, HostImage& Out, std::string& Error);
// Writes planes 0-2 as a 24-bit BMP, or plane 0 as an 8-bit grey BMP for one or two planes.
std::vector<std::uint8_t> WriteBmp(const HostImage& Image);
// A recognisable RGB test card.
HostImage MakeTestCard(int Width, int Height);
// A selection to go with it, one byte per pixel: an ellipse fully selected (255) inside,
// unselected (0) outside, with a soft edge of partial values between.
std::vector<std::uint8_t> MakeTestSelection(int Width, int Height);
