// Start-up selection of the arithmetic set and the CombineMode tables.
#include "bitmap/blend.h"

#include "bitmap/cpu_features.h"

TColorOps ColorOps;
bool MMXActive = false;

TBlendReg BlendColorsByMode[2];
TBlendMem BlendColorIntoByMode[2];
TCombineReg CombineColorsByMode[2];
TCombineMem CombineColorIntoByMode[2];
TBlendRegEx BlendColorsScaledByMode[2];
TBlendMemEx BlendColorIntoScaledByMode[2];
TBlendLine BlendRunByMode[2];
TBlendLineEx BlendRunScaledByMode[2];

void InstallColorOps(TColorSet Set)
{
    MMXActive = Set == TColorSet::Vector;
    ColorOps = MMXActive ? VectorColorOps() : PlainColorOps();
    BlendColorsByMode[cmBlend] = ColorOps.BlendColors;
    BlendColorsByMode[cmMerge] = ColorOps.MergeColors;
    BlendColorIntoByMode[cmBlend] = ColorOps.BlendColorInto;
    BlendColorIntoByMode[cmMerge] = ColorOps.MergeColorInto;
    CombineColorsByMode[cmBlend] = ColorOps.CombineColors;
    CombineColorsByMode[cmMerge] = ColorOps.CombineMergeColors;
    CombineColorIntoByMode[cmBlend] = ColorOps.CombineColorInto;
    CombineColorIntoByMode[cmMerge] = ColorOps.CombineMergeColorInto;
    BlendColorsScaledByMode[cmBlend] = ColorOps.BlendColorsScaled;
    BlendColorsScaledByMode[cmMerge] = ColorOps.MergeColorsScaled;
    BlendColorIntoScaledByMode[cmBlend] = ColorOps.BlendColorIntoScaled;
    BlendColorIntoScaledByMode[cmMerge] = ColorOps.MergeColorIntoScaled;
    BlendRunByMode[cmBlend] = ColorOps.BlendRun;
    BlendRunByMode[cmMerge] = ColorOps.MergeRun;
    BlendRunScaledByMode[cmBlend] = ColorOps.BlendRunScaled;
    BlendRunScaledByMode[cmMerge] = ColorOps.MergeRunScaled;
}

void InitColorOps()
{
    InstallColorOps(CpuHasFeature(TCpuFeature::MMX) ? TColorSet::Vector : TColorSet::Plain);
}

// The vector set computes in general-purpose or SSE registers, never in MMX registers, so
// there is no MMX state to leave; callers still call this after every series of slot calls.
void FinishColorOps() {}

namespace {
struct ColorOpsStartup {
    ColorOpsStartup() { InitColorOps(); }
} const startup;
} // namespace
