#include "filters/exchange_files.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bitmap/bmp_writer.h"
#include "bitmap/low_level.h"
#include "filters/mask_file_rows.h"
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

    // What the clipped read gives: the pixel inside the clip rectangle (within the bitmap),
    // the outer colour everywhere else; red is 255 - its alpha.
    TRect clip;
    if (!IntersectRects(clip, Mask.ClipRect(), Mask.BoundsRect()) || Mask.IsEmpty())
        clip = TRect{0, 0, 0, 0};
    const auto outside = static_cast<std::uint8_t>(255 - (Mask.OuterColor() >> 24));
    const int left = std::min(clip.Left, Width), right = std::min(clip.Right, Width);

    // Rows gathered into chunks of about 256 KiB (large enough for the file system, small
    // beside any image); the padding bytes and the green and blue bytes stay 0. A chunk
    // row that already holds the outside colour throughout is not written again, so the
    // rows outside the mask cost nothing after the first chunk.
    const std::size_t rowBytes = static_cast<std::size_t>(stride);
    const int rowsPerChunk = static_cast<int>(std::max<std::size_t>(1, (std::size_t(256) << 10) / rowBytes));
    const std::size_t chunkRows = std::min<std::size_t>(static_cast<std::size_t>(rowsPerChunk), static_cast<std::size_t>(Height));
    std::vector<std::uint8_t> chunk(chunkRows * rowBytes);
    std::vector<bool> holdsOutside(chunkRows, false);
    auto fillRed = [bytesPerPixel](std::uint8_t* Row, int From, int To, std::uint8_t Red) {
        for (int x = From; x < To; ++x)
            Row[static_cast<std::size_t>(x) * bytesPerPixel + 2] = Red;
    };
    const TMaskFileRow32 fileRow = MaskFileRow32();
    for (int y = Height - 1; y >= 0;) {
        std::size_t used = 0;
        for (std::size_t n = 0; n < chunkRows && y >= 0; ++n, --y, used += rowBytes) {
            std::uint8_t* p = chunk.data() + used;
            const bool inside = y >= clip.Top && y < clip.Bottom && left < right;
            if (!inside) {
                if (!holdsOutside[n])
                    fillRed(p, 0, Width, outside);
                holdsOutside[n] = true;
                continue;
            }
            holdsOutside[n] = false;
            fillRed(p, 0, left, outside);
            fillRed(p, right, Width, outside);
            const TColor32* src = Mask.RowPointer(y);
            if (bytesPerPixel == 4) {
                fileRow(src + left, p + static_cast<std::size_t>(left) * 4, right - left);
            } else {
                for (int x = left; x < right; ++x)
                    p[static_cast<std::size_t>(x) * bytesPerPixel + 2] = static_cast<std::uint8_t>(255 - (src[x] >> 24));
            }
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
    // An editor started by hand reads whatever pair lies on drive C, so a new image never
    // stands beside an old mask, possibly of another size.
    const int bits = MaskFileBitsPerPixel(Screen->Depth());
    WriteFilesTogether({{ImageExchangeFileName, [&](TStream& s) { Image.SaveAsBmpStream(s); }},
                        {MaskExchangeFileName, [&](TStream& s) { WriteMaskBmp(s, Mask, Width, Height, bits); }}});
}
