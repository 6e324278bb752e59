#include "toolkit/dpi.h"

#include "toolkit/platform.h"

TDpiAwarenessScope::TDpiAwarenessScope() { FActive = plat::EnterPerMonitorDpiAwareness(FPrevious); }

TDpiAwarenessScope::~TDpiAwarenessScope()
{
    if (FActive)
        plat::RestoreDpiAwareness(FPrevious);
}
