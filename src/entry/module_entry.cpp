// Exported entry points. Nothing thrown inside may reach the host.
#include "entry/module_entry.h"

#include "entry/about_box.h"
#include "entry/dispatch.h"

extern "C" void VP_CDECL VesperNoise(std::int16_t selector, FilterRecord* record,
                                     std::intptr_t* data, std::int16_t* result) {
    try {
        // The about call passes an about record, not a filter record: record stays unread,
        // and neither the binding nor the result word changes.
        if (selector == filterSelectorAbout) {
            if (ShowAboutHandler) ShowAboutHandler(AboutText);
            return;
        }
        CurrentBinding = NoiseBinding;
        DispatchSelector(selector, record, data, result);
    } catch (...) {
        ReportEntryException(std::current_exception());
    }
}

extern "C" void VP_CDECL VesperLine(std::int16_t selector, FilterRecord* record,
                                    std::intptr_t* data, std::int16_t* result) {
    try {
        CurrentBinding = LineBinding;
        DispatchSelector(selector, record, data, result);
    } catch (...) {
        ReportEntryException(std::current_exception());
    }
}
