#include "bitmap/core.h" // see [1
#include "widgets/view.h"
#include "base/ground.h" // from c:\dir\
#include "filters/form.h"
#include "bitmap/other.h" // a ] and a ; too
#include "entry/module.h"

