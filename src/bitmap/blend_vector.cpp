// The vector arithmetic set: the V-form weighting on all four channels, computed exactly as
// 16-bit lanes would compute it.
#include "bitmap/blend_sets.h"
#include "bitmap/cpu_features.h"

using vector_rules::V;

namespace {

TColor32 CombineReg(TColor32 X, TColor32 Y, TColor32 W) { return V(X, Y, W); }

void CombineMem(TColor32 X, TColor32& Y, TColor32 W)
{
    if (W == 0) return;
    if (W >= 255) { Y = X; return; }
    Y = V(X, Y, W);
}

TColor32 BlendReg(TColor32 F, TColor32 B) { return V(F, B, F >> 24); }

void BlendMem(TColor32 F, TColor32& B)
{
    TColor32 fa = F >> 24;
    if (fa == 0) return;
    if (fa == 255) { B = F; return; }
    B = V(F, B, fa);
}

TColor32 BlendRegEx(TColor32 F, TColor32 B, TColor32 M)
{
    TColor32 w = ((M + 1) * (F >> 24)) >> 8;
    return w == 0 ? B : V(F, B, w);
}

void BlendMemEx(TColor32 F, TColor32& B, TColor32 M)
{
    TColor32 fa = F >> 24;
    if (fa == 0) return;
    TColor32 w = ((M + 1) * fa) >> 8;
    if (w == 0) return;
    B = V(F, B, w);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count)
{
    for (int i = 0; i < Count; ++i) {
        TColor32 f = Src[i], fa = f >> 24;
        if (fa == 0) continue;
        Dst[i] = fa == 255 ? f : V(f, Dst[i], fa);
    }
}

// The run form weighs with (Fa + 1) * M where the single-pixel forms use (M + 1) * Fa.
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M)
{
    for (int i = 0; i < Count; ++i) {
        TColor32 f = Src[i], fa = f >> 24;
        if (fa == 0) continue;
        TColor32 w = ((fa + 1) * M) >> 8;
        if (w == 0) continue;
        Dst[i] = V(f, Dst[i], w);
    }
}

TColor32 MergeReg(TColor32 F, TColor32 B)
{
    TColor32 fa = F >> 24, ba = B >> 24;
    if (fa == 0) return B;
    if (ba == 0) return F;
    if (fa == 255) return F;
    TColor32 ra = fa + ba - (fa * ba) / 255;
    TColor32 x = 65535 / ra;
    TColor32 result = ra << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        TColor32 fc = (F >> shift) & 0xFF, bc = (B >> shift) & 0xFF;
        TColor32 fp = (fc * fa) >> 8, bp = (bc * ba) >> 8;
        TColor32 t = (fa * bp) >> 8;
        int s = static_cast<int>(bp + fp) - static_cast<int>(t);
        if (s < 0) s = 0;
        TColor32 rc = ((static_cast<TColor32>(s) * x) & 0xFFFF) >> 8;
        if (rc > 255) rc = 255;
        result |= rc << shift;
    }
    return result;
}

void MergeMem(TColor32 F, TColor32& B) { B = MergeReg(F, B); }

inline TColor32 ScaleAlpha(TColor32 F, TColor32 M)
{
    return (F & 0x00FFFFFF) | ((((F >> 24) * M) / 255) << 24);
}

TColor32 MergeRegEx(TColor32 F, TColor32 B, TColor32 M) { return MergeReg(ScaleAlpha(F, M), B); }
void MergeMemEx(TColor32 F, TColor32& B, TColor32 M) { B = MergeReg(ScaleAlpha(F, M), B); }

void MergeLine(const TColor32* Src, TColor32* Dst, int Count)
{
    for (int i = 0; i < Count; ++i)
        Dst[i] = MergeReg(Src[i], Dst[i]);
}

void MergeLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M)
{
    for (int i = 0; i < Count; ++i)
        Dst[i] = MergeReg(ScaleAlpha(Src[i], M), Dst[i]);
}

TColor32 CombMergeReg(TColor32 X, TColor32 Y, TColor32 W)
{
    return MergeReg((X & 0x00FFFFFF) | (W << 24), Y);
}

void CombMergeMem(TColor32 X, TColor32& Y, TColor32 W) { Y = CombMergeReg(X, Y, W); }

TColorOps MakeVectorOps()
{
    TColorOps ops = {
        CombineReg, CombineMem, BlendReg, BlendMem, BlendRegEx, BlendMemEx, BlendLine, BlendLineEx,
        CombMergeReg, CombMergeMem, MergeReg, MergeMem, MergeRegEx, MergeMemEx, MergeLine, MergeLineEx,
    };
    return ops;
}

} // namespace

const TColorOps& PortableVectorColorOps()
{
    static const TColorOps ops = MakeVectorOps();
    return ops;
}

const TColorOps& VectorColorOps()
{
    static const TColorOps ops = [] {
        TColorOps o = MakeVectorOps();
#if defined(VESPER_X86)
        if (CpuHasFeature(TCpuFeature::SSE2))
            InstallVectorSse2(o);
#endif
        return o;
    }();
    return ops;
}
