// Processor identification.
#pragma once

enum class TCpuFeature { MMX, SSE, SSE2, AMD3DNow, AMD3DNowExt };

// True when the processor reports the feature (always false off x86).
bool CpuHasFeature(TCpuFeature Feature);
