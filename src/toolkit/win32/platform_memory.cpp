#include "toolkit/platform_memory.h"

#include <windows.h>

namespace platform_memory {

void* Allocate(std::size_t Size) {
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, Size);
}

void* Lock(void* Handle) {
    return Handle ? GlobalLock(static_cast<HGLOBAL>(Handle)) : nullptr;
}

void Unlock(void* Handle) {
    if (Handle) GlobalUnlock(static_cast<HGLOBAL>(Handle));
}

void Free(void* Handle) {
    if (Handle) GlobalFree(static_cast<HGLOBAL>(Handle));
}

void* HandleOf(const void* Address) {
    return Address ? GlobalHandle(Address) : nullptr;
}

}  // namespace platform_memory
