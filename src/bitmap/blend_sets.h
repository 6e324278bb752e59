// Internal: the per-set tables and the vector set's single-pixel rules, shared by the
// portable vector file and its SSE2 twin.
#pragma once
#include "bitmap/blend.h"

namespace vector_rules {
// V(X, Y, W) = (Y*256 + (X - Y)*W + 128) shr 8 on all four channels.
inline TColor32 V(TColor32 X, TColor32 Y, TColor32 W)
{
    TColor32 r = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int x = static_cast<int>((X >> shift) & 0xFF), y = static_cast<int>((Y >> shift) & 0xFF);
        int v = (y * 256 + (x - y) * static_cast<int>(W) + 128) >> 8;
        r |= static_cast<TColor32>(v & 0xFF) << shift;
    }
    return r;
}
} // namespace vector_rules

