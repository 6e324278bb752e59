// The plain arithmetic set: integer weighting two channels per multiply.
#include "bitmap/blend_sets.h"

namespace {

constexpr TColor32 kRB = 0x00FF00FF;

// ((X*W + 128) shr 8) + ((Y*(255-W) + 128) shr 8) for the channels selected by Mask.
inline TColor32 WeighPair(TColor32 X, TColor32 Y, TColor32 W, TColor32 Mask, int Shift)
{
    TColor32 x = (X >> Shift) & kRB, y = (Y >> Shift) & kRB;
    TColor32 a = ((x * W + 0x00800080) >> 8) & kRB;
    TColor32 b = ((y * (255 - W) + 0x00800080) >> 8) & kRB;
    return ((a + b) & Mask) << Shift;
}

inline TColor32 PAll(TColor32 X, TColor32 Y, TColor32 W)
{
    return WeighPair(X, Y, W, kRB, 0) | WeighPair(X, Y, W, kRB, 8);
}

inline TColor32 PColours(TColor32 X, TColor32 Y, TColor32 W)
{
    return WeighPair(X, Y, W, kRB, 0) | WeighPair(X, Y, W, 0x000000FF, 8);
}

TColor32 CombineReg(TColor32 X, TColor32 Y, TColor32 W)
{
    if (W == 0) return Y;
    if (W >= 255) return X;
    return PAll(X, Y, W);
}

void CombineMem(TColor32 X, TColor32& Y, TColor32 W)
{
    if (W == 0) return;
    if (W >= 255) { Y = X; return; }
    Y = PColours(X, Y, W);
}

TColor32 BlendReg(TColor32 F, TColor32 B)
{
    TColor32 fa = F >> 24;
    if (fa == 255) return F;
    if (fa == 0) return B;
    return PAll(F, B, fa);
}

void BlendMem(TColor32 F, TColor32& B)
{
    TColor32 fa = F >> 24;
    if (fa == 0) return;
    if (fa == 255) { B = F; return; }
    B = PAll(F, B, fa);
}

TColor32 BlendRegEx(TColor32 F, TColor32 B, TColor32 M)
{
    TColor32 fa = F >> 24;
    if (fa == 0) return B;
    TColor32 w = ((M + 1) * fa) >> 8;
    if (w == 0) return B;
    return PColours(F, B, w);
}

void BlendMemEx(TColor32 F, TColor32& B, TColor32 M)
{
    TColor32 fa = F >> 24;
    if (fa == 0) return;
    TColor32 w = ((M + 1) * fa) >> 8;
    if (w == 0) return;
    B = PColours(F, B, w);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count)
{
    for (int i = 0; i < Count; ++i) {
        TColor32 f = Src[i], fa = f >> 24;
        if (fa == 0) continue;
        Dst[i] = fa == 255 ? f : PAll(f, Dst[i], fa);
    }
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M)
{
    for (int i = 0; i < Count; ++i)
        BlendMemEx(Src[i], Dst[i], M);
}

// Steps 2-4 of the merge with the foreground alpha Fa (0 < Fa < 255, Ba > 0).
TColor32 MergeCore(TColor32 F, TColor32 B, int Fa)
{
    int Ba = static_cast<int>(B >> 24);
    int Ra = (Fa + Ba - (Fa * Ba) / 255) & 0xFF;
    int Xa = 65536 / Ra;
    TColor32 result = static_cast<TColor32>(Ra) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        int fc = static_cast<int>((F >> shift) & 0xFF);
        int bc = static_cast<int>((B >> shift) & 0xFF);
        int bp = (Ba * bc) >> 8;
        int rc = ((bp + ((Fa * (fc - bp)) >> 8)) * Xa) >> 8; // >> on negatives floors
        result |= static_cast<TColor32>(rc & 0xFF) << shift;
    }
    return result;
}

TColor32 MergeReg(TColor32 F, TColor32 B)
{
    TColor32 fa = F >> 24;
    if (fa == 255) return F;
    if (fa == 0) return B;
    if ((B >> 24) == 0) return F;
    return MergeCore(F, B, static_cast<int>(fa));
}

void MergeMem(TColor32 F, TColor32& B) { B = MergeReg(F, B); }

TColor32 MergeRegEx(TColor32 F, TColor32 B, TColor32 M)
{
    TColor32 fa = F >> 24;
    if (fa == 255) {
        if (M == 255) return F;
        if (M == 0) return B;
    }
    if (fa == 0) return B;
    TColor32 fpa = (M * fa) / 255;
    if (fpa == 255 || (B >> 24) == 0)
        return (F & 0x00FFFFFF) | (fpa << 24);
    return MergeCore(F, B, static_cast<int>(fpa));
}

void MergeMemEx(TColor32 F, TColor32& B, TColor32 M) { B = MergeRegEx(F, B, M); }

void MergeLine(const TColor32* Src, TColor32* Dst, int Count)
{
    for (int i = 0; i < Count; ++i)
        MergeMem(Src[i], Dst[i]);
}

void MergeLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M)
{
    for (int i = 0; i < Count; ++i)
        MergeMemEx(Src[i], Dst[i], M);
}

TColor32 CombMergeReg(TColor32 X, TColor32 Y, TColor32 W)
{
    return MergeReg((X & 0x00FFFFFF) | (W << 24), Y);
}

void CombMergeMem(TColor32 X, TColor32& Y, TColor32 W) { Y = CombMergeReg(X, Y, W); }

} // namespace

const TColorOps& PlainColorOps()
{
    static const TColorOps ops = {
        CombineReg, CombineMem, BlendReg, BlendMem, BlendRegEx, BlendMemEx, BlendLine, BlendLineEx,
        CombMergeReg, CombMergeMem, MergeReg, MergeMem, MergeRegEx, MergeMemEx, MergeLine, MergeLineEx,
    };
    return ops;
}
