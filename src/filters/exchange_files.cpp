#include "filters/exchange_files.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bitmap/bmp_writer.h"
#include "toolkit/application.h"

const char* const ImageExchangeFileName = "c:\\tarnwickstudiorgb_dovrane.bmp";
const char* const MaskExchangeFileName = "c:\\tarnwickstudioa_dovrane.bmp";

int MaskFileBitsPerPixel(int ScreenDepth) { return ScreenDepth == 24 ? 24 : 32; }

void WriteMaskBmp(TStream& Stream, const TBitmap32& Mask, int Width, int Height, int BitsPerPixel)
{
    if (Width <= 0 || Height <= 0)
        Width = Height = 0;
    const int bytesPerPixel = BitsPerPixel == 24 ? 3 : 4;
    const std::uint64_t stride = BmpRowBytes(Width, bytesPerPixel * 8);
    const std::uint64_t imageSize = WriteBmpHeaders(Stream, Width, Height, bytesPerPixel * 8);
    if (imageSize == 0)
        return;

    // Rows gathered into chunks of about 1 MiB; the padding bytes stay 0.
    const std::size_t rowBytes = static_cast<std::size_t>(stride);
    const int rowsPerChunk = static_cast<int>(std::max<std::size_t>(1, (std::size_t(1) << 20) / rowBytes));
    std::vector<std::uint8_t> chunk(std::min<std::size_t>(static_cast<std::size_t>(rowsPerChunk),
                                                          static_cast<std::size_t>(Height)) * rowBytes);
    for (int y = Height - 1; y >= 0;) {
        std::size_t used = 0;
        for (int n = 0; n < rowsPerChunk && y >= 0; ++n, --y, used += rowBytes) {
            std::uint8_t* p = chunk.data() + used;
            for (int x = 0; x < Width; ++x, p += bytesPerPixel)
                p[2] = static_cast<std::uint8_t>(255 - (Mask.PixelClipped(x, y) >> 24));
        }
        Stream.WriteBuffer(chunk.data(), used);
    }
}

void WriteImageExchangeFile(TBitmap32& Image, const std::string& FileName) { Image.SaveToFile(FileName); }

void WriteMaskExchangeFile(const TBitmap32& Mask, int Width, int Height, const std::string& FileName)
{
    const int bits = MaskFileBitsPerPixel(Screen->Depth());
    WriteFileAtomically(FileName, [&](TStream& s) { WriteMaskBmp(s, Mask, Width, Height, bits); });
}

void WriteExchangeFiles(TBitmap32& Image, const TBitmap32& Mask, int Width, int Height)
{
    WriteImageExchangeFile(Image);
    WriteMaskExchangeFile(Mask, Width, Height);
}
