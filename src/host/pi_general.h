// Basic types, small records, result codes and callback records of the host's filter
// interface, declared from the published binary layout.
#pragma once
#include <cstddef>
#include <cstdint>

// Every call across the host boundary uses the C calling convention (the caller pops the
// arguments). On x86-64 there is only one convention, so the attribute is left out.
#if defined(__i386__) || defined(_M_IX86)
#define VP_CDECL __attribute__((cdecl))
#else
#define VP_CDECL
#endif

using Boolean = std::uint8_t;
using OSErr = std::int16_t;
using Fixed = std::int32_t;
using Handle = void*;
using Ptr = char*;

// Result codes written to the host's result word.
constexpr OSErr noErr = 0;
constexpr OSErr memFullErr = -108;
constexpr OSErr userCanceledErr = -128;
constexpr OSErr filterBadParameters = -30100;
constexpr OSErr filterBadMode = -30101;

// Image modes of the filter record's imageMode field.
constexpr std::int16_t plugInModeBitmap = 0;
constexpr std::int16_t plugInModeGrayScale = 1;
constexpr std::int16_t plugInModeIndexedColor = 2;
constexpr std::int16_t plugInModeRGBColor = 3;
constexpr std::int16_t plugInModeCMYKColor = 4;
constexpr std::int16_t plugInModeMultichannel = 7;
constexpr std::int16_t plugInModeDuotone = 8;
constexpr std::int16_t plugInModeLabColor = 9;
constexpr std::int16_t plugInModeGray16 = 10;
constexpr std::int16_t plugInModeRGB48 = 11;

struct Point16 {
    std::int16_t v;
    std::int16_t h;
};

// The host's rectangle: note the order top, left, bottom, right.
struct Rect16 {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

struct VRect {
    std::int32_t top;
    std::int32_t left;
    std::int32_t bottom;
    std::int32_t right;
};

struct RGBColor {
    std::uint16_t red;
    std::uint16_t green;
    std::uint16_t blue;
};

struct PlugInMonitor {
    Fixed gamma;
    Fixed redX, redY;
    Fixed greenX, greenY;
    Fixed blueX, blueY;
    Fixed whiteX, whiteY;
    Fixed ambient;
};

struct PlatformData {
    void* hwnd;
};

static_assert(sizeof(Point16) == 4);
static_assert(sizeof(Rect16) == 8);
static_assert(sizeof(VRect) == 16);
static_assert(sizeof(RGBColor) == 6);
static_assert(sizeof(PlugInMonitor) == 40);
static_assert(sizeof(PlatformData) == sizeof(void*));

// Handle callbacks offered by the host.
using NewPIHandleProc = Handle(VP_CDECL*)(std::int32_t size);
using DisposePIHandleProc = void(VP_CDECL*)(Handle h);
using GetPIHandleSizeProc = std::int32_t(VP_CDECL*)(Handle h);
using SetPIHandleSizeProc = OSErr(VP_CDECL*)(Handle h, std::int32_t newSize);
using LockPIHandleProc = Ptr(VP_CDECL*)(Handle h, Boolean moveHigh);
using UnlockPIHandleProc = void(VP_CDECL*)(Handle h);
using RecoverSpaceProc = void(VP_CDECL*)(std::int32_t size);
using DisposeRegularHandlePIHandleProc = void(VP_CDECL*)(Handle h);

constexpr std::int16_t kCurrentHandleProcsVersion = 1;
constexpr std::int16_t kCurrentHandleProcsCount = 8;

struct HandleProcs {
    std::int16_t handleProcsVersion;
    std::int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};
static_assert(offsetof(HandleProcs, newProc) == sizeof(void*));
static_assert(offsetof(HandleProcs, lockProc) == 5 * sizeof(void*));
static_assert(sizeof(HandleProcs) == 9 * sizeof(void*));

// Pixel map handed to the display callback. The module fills version 0 only.
struct PSPixelMap {
    std::int32_t version;
    VRect bounds;
    std::int32_t imageMode;
    std::int32_t rowBytes;
    std::int32_t colBytes;
    std::int32_t planeBytes;
    void* baseAddr;
    // version 1 on
    void* mat;
    void* masks;
    std::int32_t maskPhaseRow;
    std::int32_t maskPhaseCol;
    // version 2 on
    void* pixelOverlays;
    std::uint32_t colorManagementOptions;
};
static_assert(offsetof(PSPixelMap, bounds) == 4);
static_assert(offsetof(PSPixelMap, imageMode) == 20);
static_assert(offsetof(PSPixelMap, planeBytes) == 32);
static_assert(offsetof(PSPixelMap, baseAddr) == (sizeof(void*) == 8 ? 40 : 36));
