#include "filters/mask_file_rows.h"

#include "bitmap/cpu_features.h"

TMaskFileRow32 MaskFileRow32()
{
#if defined(VESPER_X86)
    static const TMaskFileRow32 chosen = Sse2TwinOr(MaskFileRow32Plain, MaskFileRow32Sse2);
    return chosen;
#else
    return MaskFileRow32Plain;
#endif
}

void MaskFileRow32Plain(const TColor32* Mask, std::uint8_t* Out, int Count)
{
    for (int x = 0; x < Count; ++x, Out += 4) {
        Out[0] = Out[1] = Out[3] = 0;
        Out[2] = static_cast<std::uint8_t>(255 - (Mask[x] >> 24));
    }
}
