// How the paint box reaches the host's display-pixels callback. The host code fills
// DisplayHost at each start call; while it is empty, run-time painting draws nothing.
#pragma once
#include <cstdint>

#if defined(__i386__) || defined(_M_IX86)
#define VP_DISPLAY_CDECL __attribute__((cdecl))
#else
#define VP_DISPLAY_CDECL
#endif

// Same layout as the host's 32-bit VRect: top, left, bottom, right.
struct TDisplayRect {
    std::int32_t top = 0;
    std::int32_t left = 0;
    std::int32_t bottom = 0;
    std::int32_t right = 0;
};

// Same layout as the host's pixel map (version 0 fields, then the later ones, zeroed).
struct TDisplayPixelMap {
    std::int32_t version = 0;
    TDisplayRect bounds;
    std::int32_t imageMode = 0;
    std::int32_t rowBytes = 0;
    std::int32_t colBytes = 0;
    std::int32_t planeBytes = 0;
    void* baseAddr = nullptr;
    void* mat = nullptr;
    void* masks = nullptr;
    std::int32_t maskPhaseRow = 0;
    std::int32_t maskPhaseCol = 0;
    void* pixelOverlays = nullptr;
    std::uint32_t colorManagementOptions = 0;
};

// The host's displayPixels signature, with the pixel map and rectangle types above.
using TDisplayPixelsCall = std::int16_t(VP_DISPLAY_CDECL*)(const TDisplayPixelMap* Source,
                                                          const TDisplayRect* SrcRect,
                                                          std::int32_t DstRow, std::int32_t DstCol,
                                                          void* PlatformContext);

struct TDisplayHost {
    TDisplayPixelsCall DisplayPixels = nullptr;
    // The filter record's imageMode, copied into every pixel map.
    std::int32_t ImageMode = 0;
};

// Module-wide, written on the host's thread at each start call.
extern TDisplayHost DisplayHost;
