// The running call's host pointers and parameter block: module-wide state that the entry
// points fill at each start selector and that the dialogs and the bridge read.
#pragma once
#include "base/geometry.h"
#include "host/pi_filter.h"

struct THostContext {
    ::FilterRecord* FilterRecord = nullptr;
    DisplayPixelsProc DisplayPixels = nullptr;
    ::HandleProcs* HandleProcs = nullptr;
};

// Written only on the host's thread, kept as the last call left it.
extern THostContext HostContext;
extern void* CurrentParameterBlock;

// The module's rectangle as the host's 32-bit VRect (top, left, bottom, right).
VRect RectToVRect(const TRect& Rect);
