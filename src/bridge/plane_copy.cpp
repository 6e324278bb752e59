#include "bridge/plane_copy.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "bitmap/cpu_features.h"

namespace {

std::uint32_t Load32(const std::uint8_t* P)
{
    std::uint32_t v;
    std::memcpy(&v, P, sizeof v);
    return v;
}

void Store32(std::uint8_t* P, std::uint32_t V) { std::memcpy(P, &V, sizeof V); }

} // namespace

TRowInto32 RowInto32()
{
#if defined(VESPER_X86)
    static const TRowInto32 chosen = Sse2TwinOr(CopyRowInto32Plain, CopyRowInto32Sse2);
    return chosen;
#else
    return CopyRowInto32Plain;
#endif
}

void CopyRowInto32Plain(const std::uint8_t* Src, int Stride, int Planes, std::uint8_t* Dst, int Columns,
                        bool Cleared)
{
    if (Columns <= 0 || Planes <= 0)
        return;
    if (Planes == 4 && Stride == 4) {
        std::memcpy(Dst, Src, static_cast<std::size_t>(Columns) * 4);
        return;
    }
    int c = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Whole words while a 4-byte read from the pixel stays within the row's channel bytes;
        // the bytes beyond the channels are masked out and the destination's own kept.
        const std::uint32_t keep = Planes >= 4 ? 0u : ~0u << (8 * Planes);
        const std::int64_t readable = static_cast<std::int64_t>(Columns - 1) * Stride + Planes;
        const int words = readable >= 4 ? static_cast<int>(std::min<std::int64_t>((readable - 4) / Stride + 1, Columns)) : 0;
        if (Cleared) {
            for (; c < words; ++c)
                Store32(Dst + static_cast<std::ptrdiff_t>(c) * 4, Load32(Src + static_cast<std::ptrdiff_t>(c) * Stride) & ~keep);
        } else {
            for (; c < words; ++c) {
                std::uint8_t* d = Dst + static_cast<std::ptrdiff_t>(c) * 4;
                Store32(d, (Load32(d) & keep) | (Load32(Src + static_cast<std::ptrdiff_t>(c) * Stride) & ~keep));
            }
        }
    }
    for (; c < Columns; ++c)
        for (int k = 0; k < Planes; ++k)
            Dst[static_cast<std::ptrdiff_t>(c) * 4 + k] = Src[static_cast<std::ptrdiff_t>(c) * Stride + k];
}
