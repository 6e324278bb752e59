// The host's filter record and entry-point selectors.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/pi_general.h"

// Selectors of the entry point.
constexpr std::int16_t filterSelectorAbout = 0;
constexpr std::int16_t filterSelectorParameters = 1;
constexpr std::int16_t filterSelectorPrepare = 2;
constexpr std::int16_t filterSelectorStart = 3;
constexpr std::int16_t filterSelectorContinue = 4;
constexpr std::int16_t filterSelectorFinish = 5;

struct PSPixelMap;

using AdvanceStateProc = OSErr(VP_CDECL*)();
using DisplayPixelsProc = OSErr(VP_CDECL*)(const PSPixelMap* source, const VRect* srcRect,
                                           std::int32_t dstRow, std::int32_t dstCol,
                                           void* platformContext);
using TestAbortProc = Boolean(VP_CDECL*)();
using ProgressProc = void(VP_CDECL*)(std::int32_t done, std::int32_t total);

// The host packs this record (and only this one) to 4 bytes, so pointers after a 32-bit
// field or a Rect16 carry no padding even on 64-bit.
#pragma pack(push, 4)
struct FilterRecord {
    std::int32_t serial;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;
    Point16 imageSize;
    std::int16_t planes;
    Rect16 filterRect;
    RGBColor background;
    RGBColor foreground;
    std::int32_t maxSpace;
    std::int32_t bufferSpace;
    Rect16 inRect;
    std::int16_t inLoPlane;
    std::int16_t inHiPlane;
    Rect16 outRect;
    std::int16_t outLoPlane;
    std::int16_t outHiPlane;
    void* inData;
    std::int32_t inRowBytes;
    void* outData;
    std::int32_t outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect16 maskRect;
    void* maskData;
    std::int32_t maskRowBytes;
    std::uint8_t backColor[4];
    std::uint8_t foreColor[4];
    std::uint32_t hostSig;
    void* hostProcs;
    std::int16_t imageMode;
    std::int32_t imageHRes;
    std::int32_t imageVRes;
    Point16 floatCoord;
    Point16 wholeSize;
    PlugInMonitor monitor;
    PlatformData* platformData;
    void* bufferProcs;
    void* resourceProcs;
    void* processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    std::int16_t wantLayout;
    std::int16_t filterCase;
    std::int16_t dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    void* getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    std::int16_t inputPadding;
    std::int16_t outputPadding;
    std::int16_t maskPadding;
    Boolean samplingSupport;
    Boolean reservedByte;
    std::int32_t inputRate;
    std::int32_t maskRate;
    void* colorServices;
    std::int16_t inLayerPlanes, inTransparencyMask, inLayerMasks, inInvertedLayerMasks,
        inNonLayerPlanes;
    std::int16_t outLayerPlanes, outTransparencyMask, outLayerMasks, outInvertedLayerMasks,
        outNonLayerPlanes;
    std::int16_t absLayerPlanes, absTransparencyMask, absLayerMasks, absInvertedLayerMasks,
        absNonLayerPlanes;
    std::int16_t inPreDummyPlanes, inPostDummyPlanes, outPreDummyPlanes, outPostDummyPlanes;
    std::int32_t inColumnBytes, inPlaneBytes, outColumnBytes, outPlaneBytes;
    void* imageServicesProcs;
    void* propertyProcs;
    std::int16_t inTileHeight, inTileWidth;
    Point16 inTileOrigin;
    std::int16_t absTileHeight, absTileWidth;
    Point16 absTileOrigin;
    std::int16_t outTileHeight, outTileWidth;
    Point16 outTileOrigin;
    std::int16_t maskTileHeight, maskTileWidth;
    Point16 maskTileOrigin;
    void* descriptorParameters;
    void* errorString;
    void* channelPortProcs;
    void* documentInfo;
    void* sSPBasic;
    void* plugInRef;
    std::int32_t depth;
    std::uint8_t reserved[66];
};
#pragma pack(pop)

namespace filter_record_layout {
// Offsets the host relies on, for 32-bit and 64-bit pointers.
struct Expected {
    std::size_t imageSize, planes, filterRect, inRect, outRect, inData, inRowBytes, outData,
        outRowBytes, haveMask, maskRect, maskData, maskRowBytes, imageMode, platformData,
        displayPixels, handleProcs, advanceState, inPreDummyPlanes, outPostDummyPlanes, depth,
        size;
};
constexpr Expected k32{16, 20, 22, 52, 64, 76, 80, 84, 88, 93, 96, 104, 108, 128, 188,
                       204, 208, 224, 290, 296, 380, 452};
constexpr Expected k64{28, 32, 34, 64, 76, 88, 96, 100, 108, 113, 116, 124, 132, 156, 216,
                       248, 256, 280, 358, 364, 480, 552};
constexpr Expected kThis = sizeof(void*) == 8 ? k64 : k32;
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8);
}  // namespace filter_record_layout

#define VP_CHECK_FR_OFFSET(field) \
    static_assert(offsetof(FilterRecord, field) == filter_record_layout::kThis.field, #field)
VP_CHECK_FR_OFFSET(imageSize);
VP_CHECK_FR_OFFSET(planes);
VP_CHECK_FR_OFFSET(filterRect);
VP_CHECK_FR_OFFSET(inRect);
VP_CHECK_FR_OFFSET(outRect);
VP_CHECK_FR_OFFSET(inData);
VP_CHECK_FR_OFFSET(inRowBytes);
VP_CHECK_FR_OFFSET(outData);
VP_CHECK_FR_OFFSET(outRowBytes);
VP_CHECK_FR_OFFSET(haveMask);
VP_CHECK_FR_OFFSET(maskRect);
VP_CHECK_FR_OFFSET(maskData);
VP_CHECK_FR_OFFSET(maskRowBytes);
VP_CHECK_FR_OFFSET(imageMode);
VP_CHECK_FR_OFFSET(platformData);
VP_CHECK_FR_OFFSET(displayPixels);
VP_CHECK_FR_OFFSET(handleProcs);
VP_CHECK_FR_OFFSET(advanceState);
VP_CHECK_FR_OFFSET(inPreDummyPlanes);
VP_CHECK_FR_OFFSET(outPostDummyPlanes);
VP_CHECK_FR_OFFSET(depth);
#undef VP_CHECK_FR_OFFSET
static_assert(sizeof(FilterRecord) == filter_record_layout::kThis.size);

// The entry point's signature: (selector, filter record, data slot, result word).
using PluginEntryProc = void(VP_CDECL*)(std::int16_t selector, FilterRecord* record,
                                        std::intptr_t* data, std::int16_t* result);
