// Processor identification.
#pragma once

// AVX512: the foundation and byte/word instructions, with the system saving their registers.
enum class TCpuFeature { MMX, SSE, SSE2, AMD3DNow, AMD3DNowExt, AVX512 };

// True when the processor reports the feature (always false off x86).
bool CpuHasFeature(TCpuFeature Feature);

// A row loop's SSE2 twin when the processor has SSE2, else its portable version.
template <class Fn>
Fn Sse2TwinOr(Fn Portable, Fn Sse2)
{
    return CpuHasFeature(TCpuFeature::SSE2) ? Sse2 : Portable;
}
