// Colour blending: one table of per-pixel operations, filled once at start-up with the plain
// or the vector arithmetic set, and the CombineMode tables built from it.
#pragma once
#include <cstdint>

#include "bitmap/color32.h"

using TCombineReg = TColor32 (*)(TColor32 X, TColor32 Y, TColor32 W);
using TCombineMem = void (*)(TColor32 X, TColor32& Y, TColor32 W);
using TBlendReg = TColor32 (*)(TColor32 F, TColor32 B);
using TBlendMem = void (*)(TColor32 F, TColor32& B);
using TBlendRegEx = TColor32 (*)(TColor32 F, TColor32 B, TColor32 M);
using TBlendMemEx = void (*)(TColor32 F, TColor32& B, TColor32 M);
using TBlendLine = void (*)(const TColor32* Src, TColor32* Dst, int Count);
using TBlendLineEx = void (*)(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

// The operation slots. Each arithmetic set fills every entry.
struct TColorOps {
    TCombineReg CombineColors;
    TCombineMem CombineColorInto;
    TBlendReg BlendColors;
    TBlendMem BlendColorInto;
    TBlendRegEx BlendColorsScaled;
    TBlendMemEx BlendColorIntoScaled;
    TBlendLine BlendRun;
    TBlendLineEx BlendRunScaled;
    TCombineReg CombineMergeColors;
    TCombineMem CombineMergeColorInto;
    TBlendReg MergeColors;
    TBlendMem MergeColorInto;
    TBlendRegEx MergeColorsScaled;
    TBlendMemEx MergeColorIntoScaled;
    TBlendLine MergeRun;
    TBlendLineEx MergeRunScaled;
};

enum class TColorSet { Plain, Vector };

// The installed slots (what every caller uses).
extern TColorOps ColorOps;
extern bool MMXActive;

// Tables indexed by TCombineMode (cmBlend, cmMerge).
extern TBlendReg BlendColorsByMode[2];
extern TBlendMem BlendColorIntoByMode[2];
extern TCombineReg CombineColorsByMode[2];
extern TCombineMem CombineColorIntoByMode[2];
extern TBlendRegEx BlendColorsScaledByMode[2];
extern TBlendMemEx BlendColorIntoScaledByMode[2];
extern TBlendLine BlendRunByMode[2];
extern TBlendLineEx BlendRunScaledByMode[2];

// The two complete sets, as the start-up step would install them.
const TColorOps& PlainColorOps();
const TColorOps& VectorColorOps();

// Start-up: picks the set from the processor test and fills the slots and tables. Runs once
// automatically before main / on module load; calling it again re-installs.
void InitColorOps();
// Installs a chosen set (tests exercise both sets on one machine this way).
void InstallColorOps(TColorSet Set);

// Leaves the vector state after a series of slot calls.
void FinishColorOps();

// Shorthand for the slot calls.
inline TColor32 CombineColors(TColor32 X, TColor32 Y, TColor32 W) { return ColorOps.CombineColors(X, Y, W); }
inline void CombineColorInto(TColor32 X, TColor32& Y, TColor32 W) { ColorOps.CombineColorInto(X, Y, W); }
inline TColor32 BlendColors(TColor32 F, TColor32 B) { return ColorOps.BlendColors(F, B); }
inline void BlendColorInto(TColor32 F, TColor32& B) { ColorOps.BlendColorInto(F, B); }
inline TColor32 BlendColorsScaled(TColor32 F, TColor32 B, TColor32 M) { return ColorOps.BlendColorsScaled(F, B, M); }
inline void BlendColorIntoScaled(TColor32 F, TColor32& B, TColor32 M) { ColorOps.BlendColorIntoScaled(F, B, M); }
inline void BlendRun(const TColor32* S, TColor32* D, int N) { ColorOps.BlendRun(S, D, N); }
inline void BlendRunScaled(const TColor32* S, TColor32* D, int N, TColor32 M) { ColorOps.BlendRunScaled(S, D, N, M); }
inline TColor32 MergeColors(TColor32 F, TColor32 B) { return ColorOps.MergeColors(F, B); }
inline void MergeColorInto(TColor32 F, TColor32& B) { ColorOps.MergeColorInto(F, B); }
inline TColor32 MergeColorsScaled(TColor32 F, TColor32 B, TColor32 M) { return ColorOps.MergeColorsScaled(F, B, M); }
inline void MergeColorIntoScaled(TColor32 F, TColor32& B, TColor32 M) { ColorOps.MergeColorIntoScaled(F, B, M); }
inline void MergeRun(const TColor32* S, TColor32* D, int N) { ColorOps.MergeRun(S, D, N); }
inline void MergeRunScaled(const TColor32* S, TColor32* D, int N, TColor32 M) { ColorOps.MergeRunScaled(S, D, N, M); }
inline TColor32 CombineMergeColors(TColor32 X, TColor32 Y, TColor32 W) { return ColorOps.CombineMergeColors(X, Y, W); }
inline void CombineMergeColorInto(TColor32 X, TColor32& Y, TColor32 W) { ColorOps.CombineMergeColorInto(X, Y, W); }
