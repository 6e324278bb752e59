#include "bitmap/core.h"
#include "base/ground.h"

#include "widgets/view.h"
