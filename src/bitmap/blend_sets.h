// Internal: the per-set tables and the vector set's single-pixel rules, shared by the
// portable vector file and its SSE2 twin.
#pragma once
#include "bitmap/blend.h"

// Internal linkage on purpose: the SSE2 file is compiled with -msse2, and a shared inline
// copy from it could be the one the linker keeps for processors without SSE2.
namespace vector_rules {
namespace {
// V(X, Y, W) = (Y*256 + (X - Y)*W + 128) shr 8 on all four channels, 0 <= W <= 255.
// Written as (X*W + Y*(256 - W) + 128) shr 8 every term is non-negative and each lane stays
// below 65536, so two channels share one 32-bit multiply without carries between them.
inline TColor32 V(TColor32 X, TColor32 Y, TColor32 W)
{
    constexpr TColor32 kRB = 0x00FF00FF;
    const TColor32 iw = 256 - W;
    TColor32 rb = (((X & kRB) * W + (Y & kRB) * iw + 0x00800080) >> 8) & kRB;
    TColor32 ag = (((X >> 8) & kRB) * W + ((Y >> 8) & kRB) * iw + 0x00800080) & ~kRB;
    return rb | ag;
}
} // namespace
} // namespace vector_rules

// The vector set before any processor-specific entries replace its run operations; the
// reference the SIMD twins are checked against.
const TColorOps& PortableVectorColorOps();

#if defined(VESPER_X86)
// Overwrites the run operations of Ops with their SSE2 twins (call only when the processor
// has SSE2).
void InstallVectorSse2(TColorOps& Ops);
#endif
