#include "host/host_context.h"

THostContext HostContext;
void* CurrentParameterBlock = nullptr;

VRect RectToVRect(const TRect& Rect) {
    return VRect{static_cast<std::int32_t>(Rect.Top), static_cast<std::int32_t>(Rect.Left),
                 static_cast<std::int32_t>(Rect.Bottom), static_cast<std::int32_t>(Rect.Right)};
}
