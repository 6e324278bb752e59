// Headless pixel storage: what is held. The storage of large bitmaps is mapped from the
// system directly rather than taken from the C library's heap, so a measuring program that
// counts the heap learns of it here.
#pragma once
#include <cstdint>

namespace headless_dib {
// Called with +bytes when storage is mapped and -bytes when it is unmapped; storage taken
// from the heap is not reported here (the heap's own counting sees it). One observer; null
// removes it.
using TStorageObserver = void (*)(std::int64_t Bytes);
void SetStorageObserver(TStorageObserver Observer);
// Bytes of pixel storage alive now, mapped or from the heap.
std::int64_t LiveStorageBytes();
// The headless windows' surfaces stand for the screen, which on Windows the system holds, not
// the module. Storage created while a scope of this kind is open on the thread is mapped
// from the system and not reported to the observer, so a measuring program counts only
// what the module itself holds. LiveStorageBytes still includes it.
class TDisplayStorageScope {
public:
    TDisplayStorageScope();
    ~TDisplayStorageScope();
    TDisplayStorageScope(const TDisplayStorageScope&) = delete;
    TDisplayStorageScope& operator=(const TDisplayStorageScope&) = delete;
};
// For tests of running out of memory: storage that would take more than Bytes at once
// fails as a platform out of memory fails ("Can't allocate the DIB handle"). 0 lifts it.
void SetLargestStorage(std::int64_t Bytes);
} // namespace headless_dib
