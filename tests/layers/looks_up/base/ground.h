// The ground may use only itself.
#pragma once
#include "base/other.h"
#include "platform/thing.h"
