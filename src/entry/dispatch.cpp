#include "entry/dispatch.h"

#include <new>

#include "bridge/image_modes.h"
#include "entry/about_box.h"
#include "filters/line_form.h"
#include "filters/noise_form.h"
#include "toolkit/application.h"
#include "toolkit/dpi.h"
#include "widgets/display_host.h"

// The transfer converts every mode it can read to RGB; the line filter writes three planes
// back into the host's image, which only an RGB image has room for.
const FilterBinding NoiseBinding{InitNoiseParameters, kNoiseBlockSize, CreateFormOf<TNoiseForm>, IsReadableImage};
const FilterBinding LineBinding{InitLineParameters, kLineBlockSize, CreateFormOf<TLineForm>, IsWritableRGBImage};

FilterBinding CurrentBinding;

namespace {
void ShowModuleAboutBox(const char* Text) { ShowAboutBox(Text); }
}  // namespace

AboutBoxHandler ShowAboutHandler = ShowModuleAboutBox;

namespace {
void EmptyRequestRects(FilterRecord* Record) {
    Record->outRect = Rect16{0, 0, 0, 0};
    Record->inRect = Rect16{0, 0, 0, 0};
}
}  // namespace

OSErr HostResultForModalResult(int ModalResult) {
    if (ModalResult >= 1 && ModalResult <= static_cast<int>(ModalResultCodes.size()))
        return ModalResultCodes[ModalResult - 1];
    return userCanceledErr;
}

OSErr ReportEntryException(std::exception_ptr E) noexcept {
    OSErr code = filterBadParameters;
    try {
        try {
            std::rethrow_exception(E);
        } catch (const std::bad_alloc& e) {
            code = memFullErr;
            Application->ShowException(e);
        } catch (const EOutOfMemory& e) {
            // The toolkit's own allocation failures are out of memory like any other.
            code = memFullErr;
            Application->ShowException(e);
        } catch (const EOutOfResources& e) {
            code = memFullErr;
            Application->ShowException(e);
        } catch (const std::exception& e) {
            Application->ShowException(e);
        } catch (...) {
            Application->ShowException(Exception("Unknown exception"));
        }
    } catch (...) {
        // The report itself failed; the code still goes back to the host.
    }
    return code;
}

void CacheHostContext(FilterRecord* Record) {
    HostContext.FilterRecord = Record;
    HostContext.DisplayPixels = Record ? Record->displayPixels : nullptr;
    HostContext.HandleProcs = Record ? Record->handleProcs : nullptr;
    // The image controls show their buffers through this slot; without it nothing is drawn.
    DisplayHost.DisplayPixels = HostContext.DisplayPixels;
    // The previews hold RGB bytes whatever the document's mode (the host read converts them),
    // so the pixel map says RGB; the record's mode would have the host draw them as CMYK or Lab.
    DisplayHost.ImageMode = plugInModeRGBColor;
}

OSErr RunFilterDialog() {
    OSErr outcome = userCanceledErr;
    FilterRecord* record = HostContext.FilterRecord;
    if (!record) return filterBadParameters;
    if (record->planes > 4) return filterBadMode;
    if (CurrentBinding.AcceptsImage && !CurrentBinding.AcceptsImage(*record)) return filterBadMode;
    if (CurrentBinding.DialogClass) {
        // The dialog's windows take the thread's awareness as they are made; the host's own
        // comes back once the dialog is gone, on every way out.
        TDpiAwarenessScope awareness;
        // Destroyed on every way out, also when the modal run throws.
        TComponentPtr<TForm> dialog(CurrentBinding.DialogClass(nullptr));
        if (dialog) outcome = HostResultForModalResult(dialog->ShowModal());
    }
    // No more image data is wanted.
    EmptyRequestRects(record);
    return outcome;
}

void DispatchSelector(std::int16_t Selector, FilterRecord* Record, std::intptr_t* Data,
                      std::int16_t* Result) {
    auto answer = [Result](OSErr code) {
        if (Result) *Result = code;
    };
    answer(noErr);
    if (Selector != filterSelectorStart) return;
    if (!Record || !Data) {
        answer(filterBadParameters);
        return;
    }
    try {
        CacheHostContext(Record);
        CurrentParameterBlock = AcquireParameterBlock(Result, Record, HostContext.HandleProcs,
                                                      CurrentBinding.Initializer, Data,
                                                      CurrentBinding.BlockSize);
        // The dialogs read their settings without testing the block, so none may run here.
        if (!CurrentParameterBlock) {
            EmptyRequestRects(Record);
            answer(memFullErr);
            return;
        }
        answer(RunFilterDialog());
    } catch (...) {
        OSErr code = ReportEntryException(std::current_exception());
        EmptyRequestRects(Record);
        answer(code);
    }
}
