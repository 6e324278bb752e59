#include "widgets/display_host.h"

TDisplayHost DisplayHost;
