// Internal: the row loops under CopyPlanes for its most common case, host pixels into the
// 4-byte pixels of a 32-bit bitmap with each channel landing in its own byte. A portable loop
// and its SSE2 twin; the general per-byte loop serves every other layout.
#pragma once
#include <cstdint>

// Copies Columns pixels of one row: the Planes (1..4) channel bytes of source pixel c, at
// Src + c x Stride, go to bytes 0 .. Planes - 1 of the 4-byte destination pixel c; its other
// bytes are kept. Stride is at least Planes. Reads no byte before Src or after the last
// channel byte of the last pixel, writes only the destination pixels.
//
// Cleared says the destination row holds zeros (new bitmap storage): then the loops write
// whole pixels, zero in the bytes no channel names, without reading the destination first.
// The result is the same; fresh storage is spared a read before its first write, which on
// demand-paged memory costs a second page fault per page.
using TRowInto32 = void (*)(const std::uint8_t* Src, int Stride, int Planes, std::uint8_t* Dst, int Columns,
                            bool Cleared);

void CopyRowInto32Plain(const std::uint8_t* Src, int Stride, int Planes, std::uint8_t* Dst, int Columns,
                        bool Cleared);
#if defined(VESPER_X86)
void CopyRowInto32Sse2(const std::uint8_t* Src, int Stride, int Planes, std::uint8_t* Dst, int Columns,
                       bool Cleared);
#endif

// The loop chosen at start-up (SSE2 when the processor has it).
TRowInto32 RowInto32();
