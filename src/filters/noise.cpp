#include "filters/noise.h"

#include <algorithm>

#include "bitmap/blend.h"

namespace {
std::uint32_t Seed = 0;

// Leaves the blend unit clean on every way out of the pixel loop.
struct ColorOpsFinisher {
    ~ColorOpsFinisher() { FinishColorOps(); }
};
} // namespace

std::uint32_t RandomBelow(std::uint32_t N)
{
    Seed = Seed * 0x08088405u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(Seed) * N) >> 32);
}

std::uint32_t RandomSeed() { return Seed; }
void ResetRandomSeed(std::uint32_t Value) { Seed = Value; }

void AddNoise(TBitmap32* Bitmap, int Alpha, int Red, int Green, int Blue, int Variation)
{
    if (!Bitmap || Bitmap->IsEmpty())
        return;
    const std::size_t count = static_cast<std::size_t>(Bitmap->Width()) * static_cast<std::size_t>(Bitmap->Height());
    const std::uint32_t range = Variation > 0 ? 2u * static_cast<std::uint32_t>(Variation) : 0u;
    auto draw = [range](int Base) {
        // Wide sum: any int base and any range stay exact before clamping.
        return std::clamp<std::int64_t>(std::int64_t{Base} + RandomBelow(range), 0, 255);
    };
    ColorOpsFinisher finish;
    TColor32* pixel = Bitmap->Bits();
    for (std::size_t k = 0; k < count; ++k) {
        // The four draws keep this order so that one seed gives one image.
        const TColor32 a = static_cast<TColor32>(draw(Alpha));
        const TColor32 c0 = static_cast<TColor32>(draw(Red));
        const TColor32 c1 = static_cast<TColor32>(draw(Green));
        const TColor32 c2 = static_cast<TColor32>(draw(Blue));
        BlendColorInto(a << 24 | c2 << 16 | c1 << 8 | c0, pixel[k]);
    }
}
