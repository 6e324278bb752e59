// Stored form descriptions: any text either parses or fails with "Line N: ..." naming a line
// it has, and a parsed description either builds a form with every kind of control the
// module registers, which then shows and paints, or fails the same way.
#include <algorithm>
#include <cctype>
#include <string>

#include "filters/ps_rgb_panel.h"
#include "fuzz_support.h"
#include "toolkit/application.h"
#include "toolkit/formdesc.h"
#include "toolkit/forms.h"
#include "toolkit/headless/headless.h"
#include "widgets/image_kinds.h"
#include "widgets/range_bars.h"

namespace {

// "Line N: " with N between 1 and the number of lines the text has.
void CheckMessage(const std::string& Message, const std::string& Text, const char* Stage)
{
    const std::size_t lines = static_cast<std::size_t>(std::count(Text.begin(), Text.end(), '\n')) + 1;
    std::size_t n = 0, i = 5;
    bool named = Message.rfind("Line ", 0) == 0;
    for (; named && i < Message.size() && std::isdigit(static_cast<unsigned char>(Message[i])) && n <= lines; ++i)
        n = n * 10 + static_cast<std::size_t>(Message[i] - '0');
    named = named && i > 5 && Message.compare(i, 2, ": ") == 0 && n >= 1 && n <= lines;
    FUZZ_EXPECT(named, std::string(Stage) + " error does not name a line of the text: \"" + Message + "\"");
}

// Sizes from 1024 up to 2^29 are legal and can ask for bitmaps of up to 2 GB each, which
// costs time and memory but tells nothing new; smaller and larger (refused) ones load.
bool Affordable(const TFormNode& Node)
{
    for (const TFormProperty& p : Node.Properties)
        for (const TFormValue& v : p.Values)
            if (v.Kind == TFormValue::Integer && (v.Int > 1024 || v.Int < -1024) && v.Int < (1ll << 29) &&
                v.Int > -(1ll << 29))
                return false;
    return std::all_of(Node.Children.begin(), Node.Children.end(), Affordable);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const bool registered = [] {
        RegisterImageKinds();
        RegisterGaugeBarKind();
        RegisterRGBPanelKind();
        return true;
    }();
    (void)registered;
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    TFormNode root;
    try {
        root = ParseFormDescription(text);
    } catch (const EFormDescriptionError& e) {
        CheckMessage(e.what(), text, "parse");
        return 0;
    }
    if (!Affordable(root))
        return 0;

    headless::Reset();
    Application->OnException = nullptr;
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->RegisterHandler("Click", TNotifyEvent([](TObject*) {}));
    form->RegisterHandler("Down", TMouseEvent([](TObject*, TMouseButton, TShiftState, int, int) {}));
    try {
        form->LoadFromDescription(text);
        // Shown, every control paints once; the headless loop then ends by itself.
        form->ShowModal();
    } catch (const EFormDescriptionError& e) {
        CheckMessage(e.what(), text, "load");
    } catch (const EOutOfResources&) {
        // Storage a value asked for and the platform could not give stays out of memory.
    } catch (const EOutOfMemory&) {
    }
    form.reset();
    headless::Reset();
    return 0;
}
