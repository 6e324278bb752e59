#include "filters/noise.h"

#include <algorithm>
#include <cstddef>

#include "bitmap/blend.h"
#include "bitmap/cpu_features.h"
#include "filters/noise_kernels.h"

namespace {
constexpr std::uint32_t Multiplier = 0x08088405u;

std::uint32_t Seed = 0;

// Noise colours are made a block at a time and blended with the run operation; the block
// lives on the stack, so the step allocates nothing.
constexpr int BlockPixels = 512;

TNoiseColors NoiseColors = NoiseColorsPlain;
TNoiseVariant InstalledNoiseVariant = TNoiseVariant::Plain;

// Leaves the blend unit clean on every way out of the pixel loop.
struct ColorOpsFinisher {
    ~ColorOpsFinisher() { FinishColorOps(); }
};

// Constrain(Base + Draw, 0, 255) with a wide sum, so any int base and any draw stay exact.
std::uint32_t ClampedChannel(std::int32_t Base, std::uint32_t Draw)
{
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(std::int64_t{Base} + Draw, 0, 255));
}

std::uint32_t Scaled(std::uint32_t SeedValue, std::uint32_t Range)
{
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(SeedValue) * Range) >> 32);
}

void InitNoiseVariant()
{
    if (!InstallNoiseVariant(TNoiseVariant::Sse2))
        InstallNoiseVariant(TNoiseVariant::Plain);
}

struct NoiseStartup {
    NoiseStartup() { InitNoiseVariant(); }
} const noiseStartup;
} // namespace

TSeedJump SeedJump(std::uint64_t Draws)
{
    // Square-and-multiply on affine maps: (m, a) twice is (m^2, m*a + a).
    TSeedJump result, power{Multiplier, 1u};
    for (; Draws; Draws >>= 1) {
        if (Draws & 1)
            result = TSeedJump{power.Mul * result.Mul, power.Mul * result.Add + power.Add};
        power = TSeedJump{power.Mul * power.Mul, power.Mul * power.Add + power.Add};
    }
    return result;
}

std::uint32_t NoiseColorsPlain(std::uint32_t SeedValue, const TNoiseDraws& Draws, TColor32* Out, int Count)
{
    // The four draws of a pixel come straight from the seed before it, so only the step from
    // pixel to pixel is a chain.
    static const TSeedJump j1 = SeedJump(1), j2 = SeedJump(2), j3 = SeedJump(3), j4 = SeedJump(4);
    const std::uint32_t range = Draws.Range;
    for (int i = 0; i < Count; ++i) {
        const std::uint32_t sa = j1.Apply(SeedValue), sr = j2.Apply(SeedValue), sg = j3.Apply(SeedValue),
                            sb = j4.Apply(SeedValue);
        const std::uint32_t a = ClampedChannel(Draws.Alpha, Scaled(sa, range));
        const std::uint32_t c0 = ClampedChannel(Draws.Red, Scaled(sr, range));
        const std::uint32_t c1 = ClampedChannel(Draws.Green, Scaled(sg, range));
        const std::uint32_t c2 = ClampedChannel(Draws.Blue, Scaled(sb, range));
        Out[i] = a << 24 | c2 << 16 | c1 << 8 | c0;
        SeedValue = sb;
    }
    return SeedValue;
}

bool InstallNoiseVariant(TNoiseVariant Variant)
{
    if (Variant == TNoiseVariant::Plain) {
        NoiseColors = NoiseColorsPlain;
        InstalledNoiseVariant = Variant;
        return true;
    }
#if defined(VESPER_X86)
    if (!CpuHasFeature(TCpuFeature::SSE2))
        return false;
    NoiseColors = NoiseColorsSse2;
    InstalledNoiseVariant = Variant;
    return true;
#else
    return false;
#endif
}

TNoiseVariant NoiseVariant() { return InstalledNoiseVariant; }

std::uint32_t RandomBelow(std::uint32_t N)
{
    Seed = Seed * Multiplier + 1u;
    return Scaled(Seed, N);
}

std::uint32_t RandomSeed() { return Seed; }
void ResetRandomSeed(std::uint32_t Value) { Seed = Value; }
void SkipRandomDraws(std::uint64_t Count) { Seed = SeedJump(Count).Apply(Seed); }

void AddNoise(TBitmap32* Bitmap, int Alpha, int Red, int Green, int Blue, int Variation)
{
    if (!Bitmap || Bitmap->IsEmpty())
        return;
    const std::size_t count = static_cast<std::size_t>(Bitmap->Width()) * static_cast<std::size_t>(Bitmap->Height());
    const TNoiseDraws draws{Alpha, Red, Green, Blue, Variation > 0 ? 2u * static_cast<std::uint32_t>(Variation) : 0u};
    ColorOpsFinisher finish;
    TColor32* pixel = Bitmap->Bits();
    TColor32 block[BlockPixels];

    if (draws.Range == 0) {
        // Every draw is 0: one colour for every pixel, and the seed only has to end where
        // four draws per pixel leave it.
        const TColor32 colour = ClampedChannel(Alpha, 0) << 24 | ClampedChannel(Blue, 0) << 16 |
                                ClampedChannel(Green, 0) << 8 | ClampedChannel(Red, 0);
        SkipRandomDraws(4 * static_cast<std::uint64_t>(count));
        if (colour >> 24 == 0)
            return; // a clear colour blends to the pixel itself
        std::fill_n(block, BlockPixels, colour);
        for (std::size_t k = 0; k < count; k += BlockPixels)
            BlendRun(block, pixel + k, static_cast<int>(std::min<std::size_t>(BlockPixels, count - k)));
        return;
    }

    TNoiseColors colours = NoiseColors;
#if defined(VESPER_X86)
    if (colours == NoiseColorsSse2 && !NoiseColorsSse2Takes(draws))
        colours = NoiseColorsPlain;
#endif
    // The draws keep their order (alpha, red, green, blue, pixel after pixel), so one seed
    // gives one image whatever the block size.
    for (std::size_t k = 0; k < count; k += BlockPixels) {
        const int n = static_cast<int>(std::min<std::size_t>(BlockPixels, count - k));
        Seed = colours(Seed, draws, block, n);
        BlendRun(block, pixel + k, n);
    }
}
