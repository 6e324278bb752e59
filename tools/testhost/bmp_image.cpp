#include "bmp_image.h"

namespace {
std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}
void Put(std::vector<std::uint8_t>& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
}  // namespace

bool ReadBmp(const std::vector<std::uint8_t>& File, HostImage& Out, std::string& Error) {
    if (File.size() < 54 || File[0] != 'B' || File[1] != 'M') return Error = "not a BMP file", false;
    std::uint32_t offBits = Le(File, 10, 4);
    std::uint32_t infoSize = Le(File, 14, 4);
    if (infoSize < 40 || 14 + std::uint64_t(infoSize) > File.size()) return Error = "unsupported BMP header", false;
    std::int32_t width = static_cast<std::int32_t>(Le(File, 18, 4));
    std::int32_t height = static_cast<std::int32_t>(Le(File, 22, 4));
    std::uint32_t planes = Le(File, 26, 2), bits = Le(File, 28, 2), compression = Le(File, 30, 4);
    std::uint32_t used = Le(File, 46, 4);
    bool topDown = height < 0;
    std::int64_t h = topDown ? -std::int64_t(height) : height;
    // The host's coordinates are 16-bit.
    if (width <= 0 || h <= 0 || width > 32767 || h > 32767 || planes != 1)
        return Error = "BMP size out of range", false;
    if (!(bits == 8 || bits == 24 || bits == 32)) return Error = "only 8, 24 and 32-bit BMP", false;
    if (!(compression == 0 || (compression == 3 && bits == 32))) return Error = "compressed BMP", false;
    if (compression == 3) {
        std::uint64_t masks = infoSize >= 52 ? 14 + 40 : 14 + std::uint64_t(infoSize);
        if (masks + 12 > File.size() || Le(File, masks, 4) != 0xFF0000 ||
            Le(File, masks + 4, 4) != 0xFF00 || Le(File, masks + 8, 4) != 0xFF)
            return Error = "unsupported BMP channel masks", false;
    }
    std::uint64_t stride = ((std::uint64_t(width) * bits + 31) / 32) * 4;
    if (offBits > File.size() || stride * h > File.size() - offBits) return Error = "BMP pixel data truncated", false;

    std::vector<std::uint8_t> grey(256);
    if (bits == 8) {
        std::uint32_t colours = used ? used : 256;
        std::uint64_t pal = 14 + std::uint64_t(infoSize);
        if (colours > 256 || pal + 4ull * colours > offBits) return Error = "BMP palette damaged", false;
        for (std::uint32_t i = 0; i < colours; ++i) {
            // Luma of the palette entry (B, G, R, 0).
            std::uint32_t b = File[pal + 4 * i], g = File[pal + 4 * i + 1], r = File[pal + 4 * i + 2];
            grey[i] = static_cast<std::uint8_t>((r * 77 + g * 150 + b * 29 + 128) >> 8);
        }
    }
    Out.Width = width;
    Out.Height = static_cast<int>(h);
    Out.Channels = bits == 8 ? 1 : 3;
    Out.Pixels.assign(static_cast<std::size_t>(width) * Out.Height * Out.Channels, 0);
    for (int y = 0; y < Out.Height; ++y) {
        std::uint64_t row = offBits + stride * static_cast<std::uint64_t>(topDown ? y : Out.Height - 1 - y);
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = Out.At(x, y);
            if (bits == 8) {
                p[0] = grey[File[row + x]];
            } else {
                std::uint64_t at = row + std::uint64_t(x) * (bits / 8);
                p[0] = File[at + 2];
                p[1] = File[at + 1];
                p[2] = File[at];
            }
        }
    }
    return true;
}

std::vector<std::uint8_t> WriteBmp(const HostImage& Image) {
    const bool grey = Image.Channels < 3;
    const int bits = grey ? 8 : 24;
    const std::uint32_t stride = ((std::uint32_t(Image.Width) * bits + 31) / 32) * 4;
    const std::uint32_t palette = grey ? 1024 : 0;
    const std::uint32_t offBits = 54 + palette;
    const std::uint32_t size = offBits + stride * Image.Height;
    std::vector<std::uint8_t> b;
    b.reserve(size);
    b.push_back('B');
    b.push_back('M');
    Put(b, size, 4);
    Put(b, 0, 4);
    Put(b, offBits, 4);
    Put(b, 40, 4);
    Put(b, Image.Width, 4);
    Put(b, Image.Height, 4);
    Put(b, 1, 2);
    Put(b, bits, 2);
    Put(b, 0, 4);
    Put(b, stride * Image.Height, 4);
    Put(b, 2835, 4);
    Put(b, 2835, 4);
    Put(b, grey ? 256 : 0, 4);
    Put(b, 0, 4);
    if (grey)
        for (int i = 0; i < 256; ++i) Put(b, std::uint32_t(i) * 0x010101u, 4);
    for (int y = Image.Height - 1; y >= 0; --y) {
        std::size_t start = b.size();
        for (int x = 0; x < Image.Width; ++x) {
            const std::uint8_t* p =
                Image.Pixels.data() + (static_cast<std::size_t>(y) * Image.Width + x) * Image.Channels;
            if (grey) {
                b.push_back(Image.Channels ? p[0] : 0);
            } else {
                b.push_back(p[2]);
                b.push_back(p[1]);
                b.push_back(p[0]);
            }
        }
        while (b.size() - start < stride) b.push_back(0);
    }
    return b;
}

HostImage MakeTestCard(int Width, int Height) {
    HostImage img;
    img.Width = Width;
    img.Height = Height;
    img.Channels = 3;
    img.Pixels.resize(static_cast<std::size_t>(Width) * Height * 3);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            std::uint8_t* p = img.At(x, y);
            p[0] = static_cast<std::uint8_t>(x * 255 / (Width > 1 ? Width - 1 : 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (Height > 1 ? Height - 1 : 1));
            p[2] = static_cast<std::uint8_t>(((x / 8) ^ (y / 8)) & 1 ? 200 : 40);
        }
    return img;
}

std::vector<std::uint8_t> MakeTestSelection(int Width, int Height) {
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(Width) * Height);
    const double cx = (Width - 1) / 2.0, cy = (Height - 1) / 2.0;
    const double rx = Width * 0.4 + 1, ry = Height * 0.4 + 1;
    for (int y = 0; y < Height; ++y) {
        const double dy = (y - cy) / ry;
        for (int x = 0; x < Width; ++x) {
            const double dx = (x - cx) / rx;
            // 1 at the edge; the soft band runs from 0.8 to 1.2 of the radius squared.
            const double q = dx * dx + dy * dy;
            const double v = (1.2 - q) / 0.4 * 255.0;
            mask[static_cast<std::size_t>(y) * Width + x] =
                static_cast<std::uint8_t>(v <= 0 ? 0 : v >= 255 ? 255 : static_cast<int>(v));
        }
    }
    return mask;
}
