#include "bitmap/bmp_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
void Put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
} // namespace

std::uint64_t BmpRowBytes(int Width, int BitsPerPixel)
{
    return (static_cast<std::uint64_t>(std::max(Width, 0)) * static_cast<std::uint64_t>(BitsPerPixel) + 31) / 32 * 4;
}

std::uint64_t WriteBmpHeaders(TStream& Stream, int Width, int Height, int BitsPerPixel)
{
    const std::uint64_t imageSize = BmpRowBytes(Width, BitsPerPixel) * static_cast<std::uint64_t>(std::max(Height, 0));
    if (imageSize > 0xFFFFFFFFull - 54)
        throw EStreamError("Bitmap too large for a BMP file");
    std::uint8_t h[54] = {};
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, static_cast<std::uint32_t>(54 + imageSize));
    Put32(h + 10, 54);
    Put32(h + 14, 40);
    Put32(h + 18, static_cast<std::uint32_t>(Width));
    Put32(h + 22, static_cast<std::uint32_t>(Height));
    Put16(h + 26, 1);
    Put16(h + 28, static_cast<std::uint16_t>(BitsPerPixel));
    Put32(h + 34, static_cast<std::uint32_t>(imageSize));
    Stream.WriteBuffer(h, sizeof h);
    return imageSize;
}

void WriteBmp32(TStream& Stream, const std::uint32_t* Pixels, int Width, int Height)
{
    if (Width < 0 || Height < 0 || !Pixels)
        Width = Height = 0;
    WriteBmpHeaders(Stream, Width, Height, 32);
    // Little-endian hosts store the colour words byte for byte as the file wants them, so
    // the rows go out as they lie, bottom first, handed to the stream together (a file
    // stream passes them to the platform without copying them into one buffer).
    const std::size_t rowBytes = static_cast<std::size_t>(Width) * 4;
    if (rowBytes == 0 || Height == 0)
        return;
    constexpr int RowsPerCall = 1024;
    std::vector<TWriteRun> rows;
    rows.reserve(static_cast<std::size_t>(std::min(Height, RowsPerCall)));
    for (int y = Height - 1; y >= 0;) {
        rows.clear();
        for (int n = 0; n < RowsPerCall && y >= 0; ++n, --y)
            rows.push_back(TWriteRun{Pixels + static_cast<std::size_t>(y) * Width, rowBytes});
        Stream.WriteRuns(rows.data(), rows.size());
    }
}
