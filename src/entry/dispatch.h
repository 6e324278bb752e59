// Selector dispatch shared by both entry points, and the module-wide state of one call.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>

#include "host/host_context.h"
#include "host/parameter_block.h"
#include "host/pi_filter.h"
#include "toolkit/forms.h"

// A dialog class is a form factory (TFormClass): it creates the filter's dialog with the
// given owner, its creation handler already run. Binding one, e.g.
// CreateFormOf<TNoiseForm>, is all a filter needs to run its dialog.
using TDialogClass = TFormClass;

// Whether a filter can work on the host's image, asked before its dialog is created.
using TImageCheck = bool (*)(const FilterRecord& Record);

struct FilterBinding {
    ParameterInitializer Initializer = nullptr;
    std::size_t BlockSize = 0;
    TDialogClass DialogClass = nullptr;
    // Null takes every image of at most four planes.
    TImageCheck AcceptsImage = nullptr;
};

// The bindings of the two entry points.
extern const FilterBinding NoiseBinding;
extern const FilterBinding LineBinding;

// Module-wide: the binding of the running call, kept as the last call left it.
extern FilterBinding CurrentBinding;

// Host result for the modal results 1 (OK), 2 (Cancel) and 3 (Abort).
inline constexpr std::array<OSErr, 3> ModalResultCodes{noErr, userCanceledErr,
                                                       userCanceledErr};
// Any other modal result counts as a cancel.
OSErr HostResultForModalResult(int ModalResult);

void DispatchSelector(std::int16_t Selector, FilterRecord* Record, std::intptr_t* Data,
                      std::int16_t* Result);
OSErr RunFilterDialog();
// Fills HostContext from the record, and the image controls' display slot with it.
void CacheHostContext(FilterRecord* Record);

// How the about selector shows the about box (the toolkit's TPSAboutBox unless replaced).
using AboutBoxHandler = void (*)(const char* Text);
extern AboutBoxHandler ShowAboutHandler;

// Shows an exception in the toolkit's exception box (Application) and returns the host code
// for it: memFullErr for an allocation failure, filterBadParameters for everything else.
OSErr ReportEntryException(std::exception_ptr E) noexcept;
