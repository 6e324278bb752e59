// The module's two exported entry points.
#pragma once
#include <cstdint>

#include "host/pi_filter.h"

extern "C" {
void VP_CDECL VesperNoise(std::int16_t selector, FilterRecord* record, std::intptr_t* data,
                          std::int16_t* result);
void VP_CDECL VesperLine(std::int16_t selector, FilterRecord* record, std::intptr_t* data,
                         std::int16_t* result);
}
