#include "pixel_map.h"

#include <cstddef>

#ifdef _WIN32
#include <windows.h>
#endif

bool ReadPixelMap(const PSPixelMap* Source, const VRect* SrcRect, ShownPixels& Out) {
    if (!Source || !SrcRect || !Source->baseAddr || Source->version != 0) return false;
    const VRect& b = Source->bounds;
    const VRect& s = *SrcRect;
    if (s.top < b.top || s.left < b.left || s.bottom > b.bottom || s.right > b.right ||
        s.top >= s.bottom || s.left >= s.right || Source->colBytes <= 0 || Source->planeBytes <= 0 ||
        Source->rowBytes < (b.right - b.left) * Source->colBytes)
        return false;
    Out.Width = s.right - s.left;
    Out.Height = s.bottom - s.top;
    Out.Bgrx.assign(static_cast<std::size_t>(Out.Width) * Out.Height, 0);
    const bool grey = Source->imageMode == plugInModeGrayScale;
    const auto* base = static_cast<const std::uint8_t*>(Source->baseAddr);
    for (int y = 0; y < Out.Height; ++y) {
        const std::uint8_t* row = base + static_cast<std::ptrdiff_t>(s.top - b.top + y) * Source->rowBytes;
        for (int x = 0; x < Out.Width; ++x) {
            const std::uint8_t* px = row + static_cast<std::ptrdiff_t>(s.left - b.left + x) * Source->colBytes;
            std::uint32_t r = px[0];
            std::uint32_t g = grey ? r : px[Source->planeBytes];
            std::uint32_t bl = grey ? r : px[2 * Source->planeBytes];
            Out.Bgrx[static_cast<std::size_t>(y) * Out.Width + x] = bl | (g << 8) | (r << 16);
        }
    }
    return true;
}

#ifdef _WIN32
bool DrawShownPixels(void* DeviceContext, std::int32_t Row, std::int32_t Col, const ShownPixels& Pixels) {
    if (!DeviceContext) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Pixels.Width;
    info.bmiHeader.biHeight = -Pixels.Height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return SetDIBitsToDevice(static_cast<HDC>(DeviceContext), Col, Row, Pixels.Width, Pixels.Height, 0, 0, 0,
                             Pixels.Height, Pixels.Bgrx.data(), &info, DIB_RGB_COLORS) != 0;
}
#endif
