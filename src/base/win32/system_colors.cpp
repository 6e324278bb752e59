#include "base/system_colors.h"

#include <windows.h>

std::uint32_t SystemColorRGB(int Index) { return static_cast<std::uint32_t>(GetSysColor(Index)); }
