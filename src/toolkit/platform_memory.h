// Movable, zero-filled platform memory blocks addressed by handles (the fallback store of
// the parameter block when the host offers no usable handle callbacks).
//
// A handle points at a cell whose first word holds the block's current address, so the
// block can be reached from the handle alone, as with the host's own handles.
#pragma once
#include <cstddef>

namespace platform_memory {

// Allocates a movable block of Size zero bytes; null on failure.
void* Allocate(std::size_t Size);
// Locks the block and returns its address; null for a null or unknown handle.
void* Lock(void* Handle);
// Releases one lock; nothing for a null or unknown handle.
void Unlock(void* Handle);
// Frees the block; nothing for a null or unknown handle.
void Free(void* Handle);
// The handle of the block that Address lies at the start of; null when there is none.
void* HandleOf(const void* Address);

}  // namespace platform_memory
