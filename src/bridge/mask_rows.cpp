#include "bridge/mask_rows.h"

#include "bitmap/cpu_features.h"

TMaskRowInto32 MaskRowInto32()
{
#if defined(VESPER_X86)
    static const TMaskRowInto32 chosen = Sse2TwinOr(MaskRowInto32Plain, MaskRowInto32Sse2);
    return chosen;
#else
    return MaskRowInto32Plain;
#endif
}

void MaskRowInto32Plain(const std::uint8_t* Selection, TColor32 Colour, TColor32* Row, int Count)
{
    const TColor32 colour = Colour & 0x00FFFFFFu;
    for (int x = 0; x < Count; ++x)
        Row[x] = colour | static_cast<TColor32>(static_cast<std::uint8_t>(~Selection[x])) << 24;
}
