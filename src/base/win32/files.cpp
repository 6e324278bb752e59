#include "base/streams.h"

std::string PlatformPath(const std::string& Path) { return Path; }
