#include "bridge/mask_rows.h"

#include "bitmap/cpu_features.h"

namespace {
TMaskRowInto32 ChooseMaskRowInto32()
{
#if defined(VESPER_X86)
    if (CpuHasFeature(TCpuFeature::SSE2))
        return MaskRowInto32Sse2;
#endif
    return MaskRowInto32Plain;
}
} // namespace

TMaskRowInto32 MaskRowInto32()
{
    static const TMaskRowInto32 chosen = ChooseMaskRowInto32();
    return chosen;
}

void MaskRowInto32Plain(const std::uint8_t* Selection, TColor32 Colour, TColor32* Row, int Count)
{
    const TColor32 colour = Colour & 0x00FFFFFFu;
    for (int x = 0; x < Count; ++x)
        Row[x] = colour | static_cast<TColor32>(static_cast<std::uint8_t>(~Selection[x])) << 24;
}
