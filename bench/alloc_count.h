// The benchmark program's counting allocator: every malloc, calloc, realloc, aligned
// allocation and free of the process (operator new included) and the pixel storage of
// bitmaps (taken from the heap when small, mapped from the system when large; see
// base/headless/dib_accounting.h) move a count of live bytes, and the highest count since
// the last reset is kept.
#pragma once
#include <cstdint>

namespace alloc_count {
// Bytes held right now (usable sizes, as the allocator hands them out).
std::int64_t Live();
// The highest Live() since the last ResetPeak().
std::int64_t Peak();
// Starts a new peak from what is held now.
void ResetPeak();
} // namespace alloc_count
