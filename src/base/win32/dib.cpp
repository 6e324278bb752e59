#include "base/dib.h"

#include <windows.h>

#include <limits>

#include "base/object.h"

TDibStorage CreateDibStorage(int Width, int Height)
{
    TDibStorage s;
    if (Width <= 0 || Height <= 0 ||
        static_cast<unsigned long long>(Width) * static_cast<unsigned long long>(Height) >
            static_cast<unsigned long long>(std::numeric_limits<int>::max() / 4))
        throw Exception("Can't allocate the DIB handle");
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = -Height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        if (section)
            DeleteObject(section);
        throw Exception("Can't allocate the DIB handle");
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        DeleteObject(section);
        throw Exception("Can't create compatible DC");
    }
    if (!SelectObject(dc, section)) {
        DeleteDC(dc);
        DeleteObject(section);
        throw Exception("Can't select an object into DC");
    }
    s.Bits = static_cast<std::uint32_t*>(bits);
    s.Handle = section;
    s.DC = dc;
    return s;
}

void DestroyDibStorage(TDibStorage& Storage)
{
    if (Storage.DC)
        DeleteDC(static_cast<HDC>(Storage.DC));
    if (Storage.Handle)
        DeleteObject(static_cast<HBITMAP>(Storage.Handle));
    Storage = TDibStorage{};
}
