#include "bitmap/cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

#if defined(__i386__) || defined(__x86_64__)
bool HasCpuid()
{
#if defined(__i386__)
    // The identification instruction exists when bit 21 of the flags register can be toggled.
    unsigned long before, after;
    __asm__ volatile(
        "pushfl\n\t"
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl $0x200000, %0\n\t"
        "pushl %0\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %0\n\t"
        "popfl\n\t"
        : "=&r"(after), "=&r"(before)
        :
        : "cc");
    return ((before ^ after) & 0x200000) != 0;
#else
    return true;
#endif
}

// The register state the system saves (XCR0); only asked once the processor reports OSXSAVE.
unsigned long long SavedState()
{
    unsigned lo, hi;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<unsigned long long>(hi) << 32) | lo;
}
#endif

} // namespace

bool CpuHasFeature(TCpuFeature Feature)
{
#if defined(__i386__) || defined(__x86_64__)
    if (!HasCpuid())
        return false;
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    if (((a >> 8) & 0xF) < 5)
        return false;
    switch (Feature) {
    case TCpuFeature::MMX: return (d >> 23) & 1;
    case TCpuFeature::SSE: return (d >> 25) & 1;
    case TCpuFeature::SSE2: return (d >> 26) & 1;
    case TCpuFeature::AMD3DNow:
    case TCpuFeature::AMD3DNowExt: {
        unsigned maxExt = __get_cpuid_max(0x80000000u, nullptr);
        if (maxExt <= 0x80000000u)
            return false;
        __cpuid(0x80000001u, a, b, c, d);
        return Feature == TCpuFeature::AMD3DNow ? ((d >> 31) & 1) : ((d >> 30) & 1);
    }
    case TCpuFeature::AVX512: {
        // A processor that has the instructions under a system that does not save the wide
        // registers (SSE, AVX, mask and both upper halves of the register file) cannot use them.
        if (!((c >> 27) & 1) || (SavedState() & 0xE6) != 0xE6)
            return false;
        if (__get_cpuid_max(0, nullptr) < 7)
            return false;
        __cpuid_count(7, 0, a, b, c, d);
        return ((b >> 16) & 1) && ((b >> 30) & 1);
    }
    }
    return false;
#else
    (void)Feature;
    return false;
#endif
}
