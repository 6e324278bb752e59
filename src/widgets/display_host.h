// How the paint box reaches the host's display-pixels callback. The host code fills
// DisplayHost at each start call; while it is empty, run-time painting draws nothing.
#pragma once
#include <cstdint>

#include "host/pi_filter.h"

struct TDisplayHost {
    DisplayPixelsProc DisplayPixels = nullptr;
    // The mode every pixel map says: RGB, which is what the previews hold.
    std::int32_t ImageMode = 0;
};

// Module-wide, written on the host's thread at each start call.
extern TDisplayHost DisplayHost;
