// Lets native tests see how many fallback memory blocks are alive.
#pragma once
#include <cstddef>

namespace platform_memory {
std::size_t LiveBlockCount();
}
