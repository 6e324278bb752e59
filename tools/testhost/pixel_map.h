// The host's reading of a pixel map handed to displayPixels: the area asked for as screen
// pixels, and (on Windows) drawing them onto the device context the module passes.
#pragma once
#include <cstdint>
#include <vector>

#include "host/pi_filter.h"

struct ShownPixels {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Bgrx;  // top-down rows of blue, green, red, unused
};

// Reads SrcRect of the map by its own row, column and plane strides: plane 0 is red, 1 green,
// 2 blue; a grey image repeats plane 0. False for what a host refuses: no map or base address,
// a version other than 0, an empty rectangle or one outside the bounds, strides that cannot
// hold the bounds.
bool ReadPixelMap(const PSPixelMap* Source, const VRect* SrcRect, ShownPixels& Out);

#ifdef _WIN32
// Draws the pixels with their top-left corner at (Col, Row) of the device context.
bool DrawShownPixels(void* DeviceContext, std::int32_t Row, std::int32_t Col, const ShownPixels& Pixels);
#endif
