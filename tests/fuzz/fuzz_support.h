// Shared by the fuzz targets: a failed expectation is a crash libFuzzer records, with the
// reason printed first; and switching between the arithmetic sets of the bitmap core.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bitmap/blend.h"
#include "bitmap/blend_sets.h"
#include "bitmap/resample.h"

[[noreturn]] inline void FuzzFail(const char* File, int Line, const std::string& What)
{
    std::fprintf(stderr, "\n%s:%d: fuzz expectation failed: %s\n", File, Line, What.c_str());
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_EXPECT(cond, what)                                                                                  \
    do {                                                                                                         \
        if (!(cond))                                                                                             \
            FuzzFail(__FILE__, __LINE__, std::string(#cond " -- ") + (what));                                   \
    } while (0)

// Installs Ops into the slots and the CombineMode tables the way the start-up step does
// with its own sets; the portable vector set is not among those, and the SIMD twins are
// checked against it.
inline void UseColorOps(const TColorOps& Ops, bool Vector)
{
    InstallColorOps(Vector ? TColorSet::Vector : TColorSet::Plain);
    ColorOps = Ops;
    BlendColorsByMode[cmBlend] = Ops.BlendColors;
    BlendColorsByMode[cmMerge] = Ops.MergeColors;
    BlendColorIntoByMode[cmBlend] = Ops.BlendColorInto;
    BlendColorIntoByMode[cmMerge] = Ops.MergeColorInto;
    CombineColorsByMode[cmBlend] = Ops.CombineColors;
    CombineColorsByMode[cmMerge] = Ops.CombineMergeColors;
    CombineColorIntoByMode[cmBlend] = Ops.CombineColorInto;
    CombineColorIntoByMode[cmMerge] = Ops.CombineMergeColorInto;
    BlendColorsScaledByMode[cmBlend] = Ops.BlendColorsScaled;
    BlendColorsScaledByMode[cmMerge] = Ops.MergeColorsScaled;
    BlendColorIntoScaledByMode[cmBlend] = Ops.BlendColorIntoScaled;
    BlendColorIntoScaledByMode[cmMerge] = Ops.MergeColorIntoScaled;
    BlendRunByMode[cmBlend] = Ops.BlendRun;
    BlendRunByMode[cmMerge] = Ops.MergeRun;
    BlendRunScaledByMode[cmBlend] = Ops.BlendRunScaled;
    BlendRunScaledByMode[cmMerge] = Ops.MergeRunScaled;
}

// The resampling routines of the portable build of the vector arithmetic: the plain rules
// with the 256-based bilinear mix, which is what the SSE2 variant must reproduce exactly.
inline void UsePortableResample()
{
    InstallResampleVariant(TResampleVariant::Plain);
    BilinearMix = BilinearMix256;
}

inline bool HaveSse2Resample() { return InstallResampleVariant(TResampleVariant::Sse2); }
