#pragma once
#include "bitmap/core.h"
#include "base/ground.h"
