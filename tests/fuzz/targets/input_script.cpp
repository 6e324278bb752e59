// The test host's input scripts: any text is a script or an error naming the bad command,
// and every command accepted carries what the runner reads for its verb.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "input_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::string script(reinterpret_cast<const char*>(Data), Size);
    std::vector<InputCommand> commands;
    std::string error;
    if (!ParseInputScript(script, commands, error)) {
        FUZZ_EXPECT(error.rfind("bad input command \"", 0) == 0, "error \"" + error + "\"");
        return 0;
    }
    FUZZ_EXPECT(error.empty(), "an accepted script left an error");
    for (const InputCommand& c : commands) {
        const std::size_t n = c.Numbers.size();
        if (c.Verb == "wait") {
            FUZZ_EXPECT(n == 1 && c.Numbers[0] >= 0 && c.Numbers[0] <= 10000, "wait without its pause");
        } else if (c.Verb == "check-strokes") {
            FUZZ_EXPECT(n == 0 && !c.Target.empty(), "check-strokes without its preview");
        } else if (c.Verb == "mark-display") {
            FUZZ_EXPECT(n == 0 && c.Target.empty(), "mark-display with arguments");
        } else if (c.Verb == "check-display") {
            FUZZ_EXPECT(n == 1 && c.Numbers[0] >= 0, "check-display without its bound");
        } else if (c.Verb == "click" || c.Verb == "check-panel" || c.Verb == "check-preview") {
            FUZZ_EXPECT(n == 2 && !c.Target.empty(), c.Verb + " without target and point");
        } else if (c.Verb == "drag") {
            FUZZ_EXPECT(n >= 4 && n % 2 == 0 && !c.Target.empty(), "drag without target and two points");
        } else if (c.Verb == "key") {
            FUZZ_EXPECT(c.Text == "escape" || c.Text == "enter" || c.Text == "up" || c.Text == "down",
                        "key " + c.Text);
        } else if (c.Verb == "dpi-change") {
            FUZZ_EXPECT(n == 1 && c.Numbers[0] >= 48 && c.Numbers[0] <= 960, "dpi-change without its density");
        } else if (c.Verb == "windows") {
            FUZZ_EXPECT(n == 0 && !c.Text.empty() && c.Target.empty(), "windows without its file");
        } else {
            FUZZ_EXPECT(c.Verb == "shot" && !c.Text.empty(), "verb " + c.Verb);
        }
        if (c.Verb != "windows")
            FUZZ_EXPECT(c.Names.empty(), c.Verb + " with window names");
        for (int v : c.Numbers)
            FUZZ_EXPECT(v >= -100000 && v <= 100000, "number out of range");
    }
    return 0;
}
