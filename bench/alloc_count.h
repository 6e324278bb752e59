// The benchmark program's counting allocator: every malloc, calloc, realloc, aligned
// allocation and free of the process (operator new included, and the pixel storage of
// bitmaps, which the headless platform takes with calloc) moves a count of live bytes, and
// the highest count since the last reset is kept.
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
