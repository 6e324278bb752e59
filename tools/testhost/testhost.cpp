// Test host for the filter modules.
//
//   testhost --list DIR
//       Lists every .8bf in DIR from its property list, without loading it.
//   testhost [--module FILE.8bf] [--entry NAME] [options]
//       Runs a filter: prepare, start, continue while asked, finish; once per --runs
//       (--runs 0 only prepares: the registry, a sample image written with --out).
//       On Windows, --input SCRIPT drives the dialog with posted mouse and key input (see
//       input_script.h), one script per run.
//
// On Windows the module is loaded with LoadLibrary; the native build calls the entry points
// it is linked with, through the same host logic.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bmp_image.h"
#include "handoff_scenario.h"
#include "host/pipl_reader.h"
#include "host_modes.h"
#include "host_session.h"
#include "input_script.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#else
#include "entry/module_entry.h"
#endif

namespace {

struct Args {
    std::string List, Module, Entry, In, Mask, Out;
    int Runs = 1;
    int Width = 64, Height = 48;
    bool About = false, Grey = false, PressEnter = false, Selection = false;
    std::optional<HostMode> Mode;
    // The dialog's first paint of each run draws it whole, then waits for the input script
    // (a dialog that closes on its first paint stays for it).
    bool HoldFirstPaint = false;
    HostOptions Host;
    HandoffScenario Handoff;
    std::optional<int> ExpectResult;
    bool ExpectEmptyRects = false, ExpectReuse = false, ExpectUntouchedAbout = false;
    // Scripted input, one script per run (the last one serves the remaining runs).
    std::vector<std::vector<InputCommand>> Input;
    bool ExpectDrawing = false, ExpectUnchanged = false, ExpectNoDialog = false;
    std::optional<std::pair<int, int>> ExpectPenFromPanel;
};

#ifdef _WIN32
// Watches the windows the module opens on the host's thread: reports each one (class,
// caption, title bar, placement), answers message boxes with OK so that no run hangs on
// one, and with --press-enter sends Enter to other windows.
class WindowWatch {
public:
    WindowWatch(bool PressEnter) : FThread(GetCurrentThreadId()), FPressEnter(PressEnter) {
        FWorker = std::thread([this] { Loop(); });
    }
    ~WindowWatch() {
        FStop = true;
        FWorker.join();
    }
    // The texts of the message boxes answered so far.
    std::vector<std::string> MessageBoxes() {
        std::lock_guard<std::mutex> lock(FMutex);
        return FBoxes;
    }

private:
    void Loop() {
        while (!FStop) {
            EnumThreadWindows(FThread, Visit, reinterpret_cast<LPARAM>(this));
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
    }
    static BOOL CALLBACK Visit(HWND Window, LPARAM Self) {
        auto* self = reinterpret_cast<WindowWatch*>(Self);
        if (!IsWindowVisible(Window) || !self->FSeen.insert(Window).second) return TRUE;
        char cls[64] = {}, caption[256] = {};
        GetClassNameA(Window, cls, sizeof cls);
        GetWindowTextA(Window, caption, sizeof caption);
        if (std::strcmp(cls, "#32770") == 0) {
            const std::string text = MessageBoxText(Window);
            std::printf("message box \"%s\": %s\n", caption, text.c_str());
            {
                std::lock_guard<std::mutex> lock(self->FMutex);
                self->FBoxes.push_back(text);
            }
            PostMessageA(Window, WM_COMMAND, IDOK, 0);
            return TRUE;
        }
        RECT r{};
        GetWindowRect(Window, &r);
        LONG style = GetWindowLongA(Window, GWL_STYLE);
        int dx = (r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
        int dy = (r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
        std::printf("window %s \"%s\": title bar %s, %s, %ld x %ld\n", cls, caption,
                    (style & WS_CAPTION) == WS_CAPTION ? "yes" : "no",
                    std::abs(dx) <= 2 && std::abs(dy) <= 2 ? "centred" : "not centred",
                    r.right - r.left, r.bottom - r.top);
        if (self->FPressEnter) {
            PostMessageA(Window, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageA(Window, WM_KEYUP, VK_RETURN, 0xC01C0001);
        }
        return TRUE;
    }

    // Windows gives the text control the id 0xFFFF; otherwise take the longest static text.
    static std::string MessageBoxText(HWND Box) {
        char text[512] = {};
        if (GetDlgItemTextA(Box, 0xFFFF, text, sizeof text) > 0) return text;
        std::string longest;
        for (HWND c = GetWindow(Box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[32] = {};
            GetClassNameA(c, cls, sizeof cls);
            if (lstrcmpiA(cls, "Static") != 0) continue;
            int n = GetWindowTextA(c, text, sizeof text);
            if (n > static_cast<int>(longest.size())) longest.assign(text, n);
        }
        return longest;
    }

    DWORD FThread;
    bool FPressEnter;
    std::mutex FMutex;
    std::vector<std::string> FBoxes;
    std::atomic<bool> FStop{false};
    std::set<HWND> FSeen;
    std::thread FWorker;
};
#endif

void Usage() {
    std::puts(
        "usage: testhost --list DIR\n"
        "       testhost [--module FILE] [--entry NAME] [--in IMAGE.bmp] [--mask MASK.bmp | --selection]\n"
        "                [--out OUT.bmp] [--size WxH] [--grey] [--mode MODE] [--planes N] [--runs N]\n"
        "                [--pre N] [--post N] [--padding N] [--mask-padding N]\n"
        "                [--unusable-handle-procs] [--advance-state-fails] [--no-advance-state]\n"
        "                [--no-output-buffer]\n"
        "                [--about] [--press-enter]\n"
        "                [--expect-result R] [--expect-empty-rects] [--expect-reuse]\n"
        "                [--expect-untouched-about] [--input SCRIPT]... [--hold-first-paint] [--expect-drawing]\n"
        "                [--expect-unchanged] [--expect-pen-from-panel X,Y] [--expect-no-dialog]\n"
        "       MODE: rgb grey grey-alpha duotone cmyk lab lab-alpha multichannel bitmap indexed hsl hsb");
    std::puts(HandoffScenario::Usage());
}

bool ParseInt(const char* s, int& out) {
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (!s[0] || *end || v < -100000 || v > 100000) return false;
    out = static_cast<int>(v);
    return true;
}

bool Parse(int argc, char** argv, Args& a) {
    for (int i = 1; i < argc; ++i) {
        std::string k = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        auto number = [&](int& into, int lo, int hi) {
            return i + 1 < argc && ParseInt(argv[++i], into) && into >= lo && into <= hi;
        };
        int n = 0;
        bool ok = true;
        if (a.Handoff.Parse(argc, argv, i, ok)) {
        } else if (k == "--list") ok = value(a.List);
        else if (k == "--module") ok = value(a.Module);
        else if (k == "--entry") ok = value(a.Entry);
        else if (k == "--in") ok = value(a.In);
        else if (k == "--mask") ok = value(a.Mask);
        else if (k == "--out") ok = value(a.Out);
        else if (k == "--runs") ok = number(a.Runs, 0, 1000);
        else if (k == "--planes") { ok = number(n, -32768, 32767); a.Host.Planes = n; }
        else if (k == "--pre") ok = number(a.Host.PreDummyPlanes, 0, 8);
        else if (k == "--post") ok = number(a.Host.PostDummyPlanes, 0, 8);
        else if (k == "--padding") ok = number(a.Host.RowPadding, 0, 64);
        else if (k == "--mask-padding") ok = number(a.Host.MaskPadding, 0, 64);
        else if (k == "--unusable-handle-procs") a.Host.UnusableHandleProcs = true;
        else if (k == "--advance-state-fails") a.Host.AdvanceStateFails = true;
        else if (k == "--no-advance-state") a.Host.NoAdvanceState = true;
        else if (k == "--no-output-buffer") a.Host.NoOutputBuffer = true;
        else if (k == "--about") a.About = true;
        else if (k == "--grey") a.Grey = true;
        else if (k == "--mode") {
            std::string m;
            ok = value(m) && (a.Mode = ParseHostMode(m)).has_value();
        }
        else if (k == "--selection") a.Selection = true;
        else if (k == "--press-enter") a.PressEnter = true;
        else if (k == "--hold-first-paint") a.HoldFirstPaint = true;
        else if (k == "--expect-result") { ok = number(n, -32768, 32767); a.ExpectResult = n; }
        else if (k == "--expect-empty-rects") a.ExpectEmptyRects = true;
        else if (k == "--expect-reuse") a.ExpectReuse = true;
        else if (k == "--expect-untouched-about") a.ExpectUntouchedAbout = true;
        else if (k == "--expect-drawing") a.ExpectDrawing = true;
        else if (k == "--expect-unchanged") a.ExpectUnchanged = true;
        else if (k == "--expect-no-dialog") a.ExpectNoDialog = true;
        else if (k == "--expect-pen-from-panel") {
            std::string s;
            int x = 0, y = 0;
            ok = value(s) && std::sscanf(s.c_str(), "%d,%d", &x, &y) == 2;
            a.ExpectPenFromPanel = std::make_pair(x, y);
        } else if (k == "--input") {
            std::string s, error;
            std::vector<InputCommand> script;
            ok = value(s) && ParseInputScript(s, script, error);
            if (!error.empty()) std::fprintf(stderr, "testhost: %s\n", error.c_str());
            a.Input.push_back(std::move(script));
        }
        else if (k == "--size") {
            std::string s;
            ok = value(s) && std::sscanf(s.c_str(), "%dx%d", &a.Width, &a.Height) == 2 &&
                 a.Width > 0 && a.Height > 0 && a.Width <= 32767 && a.Height <= 32767;
        } else ok = false;
        if (!ok) {
            std::fprintf(stderr, "testhost: bad or incomplete argument %s\n", k.c_str());
            return false;
        }
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The property list key this host reads the entry point from.
const char* OwnEntryKey() { return sizeof(void*) == 8 ? "8664" : "wx86"; }

bool ReadModulePipl(const std::string& path, PiplInfo& info, std::string& error) {
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file)) return error = "cannot read file", false;
    PeResource res;
    return FindPeResource(file, "PIPL", 0, res, error) && ParsePipl(res.Bytes, info, error);
}

int List(const std::string& dir) {
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        if (e.is_regular_file() && Lower(e.path().extension().string()) == ".8bf") files.push_back(e.path());
    if (ec) {
        std::fprintf(stderr, "testhost: cannot read folder %s\n", dir.c_str());
        return 2;
    }
    std::sort(files.begin(), files.end());
    int found = 0;
    for (const auto& f : files) {
        PiplInfo info;
        std::string error;
        if (!ReadModulePipl(f.string(), info, error)) {
            std::printf("%s: no property list (%s)\n", f.filename().string().c_str(), error.c_str());
            continue;
        }
        if (info.Kind != "8BFM") continue;
        ++found;
        std::printf("%s: category \"%s\" name \"%s\" entry %s (%s%s)\n", f.filename().string().c_str(),
                    info.Category.c_str(), info.Name.c_str(), info.EntryPoint.c_str(),
                    info.EntryKey.c_str(), info.EntryKey == OwnEntryKey() ? "" : ", not for this host");
    }
    std::printf("%d filter(s)\n", found);
    return 0;
}

void PrintRect(const char* name, const Rect16& r) {
    std::printf(" %s (%d,%d,%d,%d)", name, r.top, r.left, r.bottom, r.right);
}

bool Empty(const Rect16& r) { return !r.top && !r.left && !r.bottom && !r.right; }

bool LoadImage(const Args& a, HostImage& image, std::optional<std::vector<std::uint8_t>>& mask) {
    std::string error;
    if (a.In.empty()) {
        image = MakeTestCard(a.Width, a.Height);
    } else {
        std::vector<std::uint8_t> file;
        if (!ReadWholeFile(a.In, file) || !ReadBmp(file, image, error)) {
            std::fprintf(stderr, "testhost: %s: %s\n", a.In.c_str(), error.empty() ? "cannot read" : error.c_str());
            return false;
        }
    }
    if (a.Grey && image.Channels >= 3) {
        HostImage grey = image;
        grey.Channels = 1;
        grey.Pixels.resize(static_cast<std::size_t>(image.Width) * image.Height);
        for (int y = 0; y < image.Height; ++y)
            for (int x = 0; x < image.Width; ++x) {
                const std::uint8_t* p = image.At(x, y);
                *grey.At(x, y) = static_cast<std::uint8_t>((p[0] * 77 + p[1] * 150 + p[2] * 29 + 128) >> 8);
            }
        image = std::move(grey);
    }
    // The document's planes in the mode asked for, made from the RGB (or grey) image.
    if (a.Mode) image = MakeModeImage(image, *a.Mode);
    if (a.Selection) {
        if (!a.Mask.empty()) {
            std::fprintf(stderr, "testhost: --mask and --selection exclude each other\n");
            return false;
        }
        mask = MakeTestSelection(image.Width, image.Height);
    }
    if (!a.Mask.empty()) {
        std::vector<std::uint8_t> file;
        HostImage m;
        if (!ReadWholeFile(a.Mask, file) || !ReadBmp(file, m, error) || m.Channels != 1) {
            std::fprintf(stderr, "testhost: %s: %s\n", a.Mask.c_str(),
                         error.empty() ? "not an 8-bit mask" : error.c_str());
            return false;
        }
        if (m.Width != image.Width || m.Height != image.Height) {
            std::fprintf(stderr, "testhost: the mask is not the image's size\n");
            return false;
        }
        mask = std::move(m.Pixels);
    }
    return true;
}

}  // namespace

// FNV-1a, 64 bits: enough to tell a changed image from the one handed over without keeping
// a copy of it.
static std::uint64_t Fingerprint(const std::vector<std::uint8_t>& Bytes) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (std::uint8_t b : Bytes) {
        h ^= b;
        h *= 0x100000001B3ull;
    }
    return h;
}

int Main(int argc, char** argv) {
    Args a;
    if (!Parse(argc, argv, a)) {
        Usage();
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (!a.List.empty()) return List(a.List);

    if (a.Entry.empty() && !a.Module.empty()) {
        PiplInfo info;
        std::string error;
        if (!ReadModulePipl(a.Module, info, error)) {
            std::fprintf(stderr, "testhost: %s: %s\n", a.Module.c_str(), error.c_str());
            return 2;
        }
        if (info.EntryKey != OwnEntryKey()) {
            std::fprintf(stderr, "testhost: %s has no %s entry point\n", a.Module.c_str(), OwnEntryKey());
            return 2;
        }
        a.Entry = info.EntryPoint;
    }
    if (a.Entry.empty()) a.Entry = "VesperNoise";

    PluginEntryProc entry = nullptr;
#ifdef _WIN32
    if (a.Module.empty()) {
        std::fprintf(stderr, "testhost: --module is needed\n");
        return 2;
    }
    HMODULE library = LoadLibraryA(a.Module.c_str());
    if (!library) {
        std::fprintf(stderr, "testhost: cannot load %s (error %lu)\n", a.Module.c_str(), GetLastError());
        return 2;
    }
    entry = reinterpret_cast<PluginEntryProc>(reinterpret_cast<void*>(GetProcAddress(library, a.Entry.c_str())));
#else
    const std::map<std::string, PluginEntryProc> linked{{"VesperNoise", VesperNoise},
                                                        {"VesperLine", VesperLine}};
    if (auto it = linked.find(a.Entry); it != linked.end()) entry = it->second;
#endif
    if (!entry) {
        std::fprintf(stderr, "testhost: no entry point %s\n", a.Entry.c_str());
        return 2;
    }

    HostImage image;
    std::optional<std::vector<std::uint8_t>> mask;
    if (!LoadImage(a, image, mask)) return 2;
    if (a.Mode) a.Host.ImageMode = ImageModeOf(*a.Mode);
    else if (image.Channels == 1) a.Host.ImageMode = plugInModeGrayScale;
    // A converted mode's exchange image is the host's own conversion of what it serves; RGB's
    // is the planes as served.
    const std::optional<ExpectedTransfer> expectedTransfer = ExpectedTransferOf(image, a.Host.ImageMode);
    if (expectedTransfer) a.Handoff.SetExpectedImage(&expectedTransfer->Rgba, expectedTransfer->Tolerance);

    // A copy of the image handed over only where the drawing checks need it; a fingerprint
    // tells an unchanged image otherwise, so large images are held once.
    const bool keepOriginal = a.ExpectDrawing || !a.Input.empty();
    const HostImage original = keepOriginal ? image : HostImage{};
    const std::uint64_t fingerprint = Fingerprint(image.Pixels);
    const std::size_t originalBytes = image.Pixels.size();
    std::vector<Stroke> strokes;
    int failures = 0;
    auto expect = [&](bool ok, const std::string& what) {
        if (!ok) {
            ++failures;
            std::printf("FAIL: %s\n", what.c_str());
        }
    };
    {
#ifdef _WIN32
        WindowWatch watch(a.PressEnter);
#endif
        HostSession session(std::move(image), std::move(mask), a.Host);
        if (std::string e = a.Handoff.Prepare(session.Image(), session.Selection()); !e.empty()) {
            std::fprintf(stderr, "testhost: %s\n", e.c_str());
            return 2;
        }
        if (a.About) {
            const std::int16_t sentinel = 0x5A5A;
            std::int16_t r = session.About(entry, sentinel);
            std::printf("about: result word %s (%d)\n", r == sentinel ? "untouched" : "written", r);
            if (a.ExpectUntouchedAbout) expect(r == sentinel, "about wrote the result word");
        }
        std::intptr_t firstSlot = 0;
        int firstNewCalls = 0;
        for (int run = 1; run <= (a.About ? 0 : a.Runs); ++run) {
            const int displayCalls = session.Stats().DisplayCalls;
            const long long displayedPixels = session.Stats().DisplayedPixels;
#ifdef _WIN32
            std::thread input;
            ScriptOutcome drawn;
            if (!a.Input.empty()) {
                const auto& script = a.Input[std::min<std::size_t>(run, a.Input.size()) - 1];
                const DWORD thread = GetCurrentThreadId();
                if (a.HoldFirstPaint) ArmDisplayHold();
                input = std::thread([&, thread] { drawn = RunInputScript(script, thread, original, failures); });
            }
            CallOutcome o;
            {
                std::optional<FirstPaintHold> hold;
                if (a.HoldFirstPaint) hold.emplace();
                o = session.Run(entry);
            }
            if (input.joinable()) input.join();
            if (o.Result == noErr) strokes.insert(strokes.end(), drawn.Strokes.begin(), drawn.Strokes.end());
#else
            if (!a.Input.empty() && run == 1) std::printf("input: scripts drive real windows only; ignored here\n");
            CallOutcome o = session.Run(entry);
#endif
            const CallStats& s = session.Stats();
            std::printf("run %d: result %d", run, o.Result);
            PrintRect("inRect", o.InRect);
            PrintRect("outRect", o.OutRect);
            PrintRect("maskRect", o.MaskRect);
            std::printf(" slot %s", session.DataSlot() ? "set" : "empty");
            if (run == 1) {
                firstSlot = session.DataSlot();
                firstNewCalls = s.NewHandleCalls;
            } else {
                bool kept = session.DataSlot() != 0 && session.DataSlot() == firstSlot;
                std::printf(" %s", kept ? "(parameter block reused)" : "(parameter block changed)");
                if (a.ExpectReuse) {
                    expect(kept, "run " + std::to_string(run) + " did not keep the data slot");
                    expect(s.NewHandleCalls == firstNewCalls,
                           "run " + std::to_string(run) + " allocated a new handle");
                }
            }
            if (auto block = session.SlotBlock()) {
                // The header holds this call's addresses; only the tail is worth showing.
                std::printf(" block %zu bytes, tail", block->size());
                for (std::size_t i = 2 * sizeof(void*); i < block->size(); ++i) std::printf(" %02x", (*block)[i]);
            }
            std::printf("\n");
            std::printf("run %d: displayPixels %d calls, %lld pixels\n", run, s.DisplayCalls - displayCalls,
                        s.DisplayedPixels - displayedPixels);
#ifdef _WIN32
            // Judged with the pen and smoothing the run saved in the line filter's block.
            for (const StrokeCheck& check : drawn.StrokeChecks) {
                auto block = session.SlotBlock();
                const std::size_t tail = 2 * sizeof(void*);
                std::string report = "no line parameters saved";
                bool shown = false;
                if (block && block->size() >= tail + 12) {
                    std::uint32_t pen = 0;
                    for (int i = 0; i < 4; ++i) pen |= std::uint32_t((*block)[tail + 2 + i]) << (8 * i);
                    shown = StrokesShown(original, check, pen, (*block)[tail] != 0, report);
                }
                std::printf("check-strokes %s: %zu stroke(s), %s\n", check.Target.c_str(), check.Strokes.size(),
                            report.c_str());
                expect(shown, "the shot of " + check.Target + " does not show the strokes drawn on it");
            }
#endif
            if (a.ExpectResult) expect(o.Result == *a.ExpectResult, "run " + std::to_string(run) + " result " + std::to_string(o.Result));
            if (a.ExpectEmptyRects)
                expect(Empty(o.InRect) && Empty(o.OutRect) && Empty(o.MaskRect), "rects not emptied");
        }
        const CallStats& s = session.Stats();
        std::printf("host: advanceState %d (errors %d), displayPixels %d (errors %d), handles new %d lock %d dispose %d live %d, forbidden %d, guard damage %d%s\n",
                    s.AdvanceCalls, s.AdvanceErrors, s.DisplayCalls, s.DisplayErrors, s.NewHandleCalls,
                    s.LockHandleCalls, s.DisposeHandleCalls, session.LiveHostHandles(), s.ForbiddenCalls,
                    s.GuardDamage,
                    s.OutOfMemory ? (", out of memory " + std::to_string(s.OutOfMemory)).c_str() : "");
#ifdef _WIN32
        a.Handoff.SetObservedMessageBoxes(watch.MessageBoxes());
#endif
        a.Handoff.SetRuns(a.About ? 0 : a.Runs);
        for (const std::string& f : a.Handoff.Check()) expect(false, f);
        expect(s.ForbiddenCalls == 0, "the module called an unusable handle procedure");
        // A refused image: nothing read, nothing shown, so no dialog was made.
        if (a.ExpectNoDialog)
            expect(s.AdvanceCalls == 0 && s.DisplayCalls == 0, "the module read the image or showed its dialog");
        expect(s.GuardDamage == 0, "the module wrote outside the channels of the output buffer");
        if (a.ExpectReuse && a.Host.UnusableHandleProcs) expect(s.NewHandleCalls == 0, "host handles used");
        if (a.ExpectUnchanged)
            expect(session.Image().Pixels.size() == originalBytes && Fingerprint(session.Image().Pixels) == fingerprint,
                   "the host image changed");
        // The line filter's settings: header, then Antialiased, Interpolated, DrawColor, ...
        auto block = session.SlotBlock();
        const std::size_t tail = 2 * sizeof(void*);
        std::uint32_t pen = 0;
        const bool haveLine = block && block->size() >= tail + 12;
        if (haveLine)
            for (int i = 0; i < 4; ++i) pen |= std::uint32_t((*block)[tail + 2 + i]) << (8 * i);
        if (a.ExpectPenFromPanel) {
            const std::uint32_t want = PanelColourAt(a.ExpectPenFromPanel->first, a.ExpectPenFromPanel->second, 127);
            std::printf("pen %08x, panel at %d,%d %06x\n", static_cast<unsigned>(pen), a.ExpectPenFromPanel->first,
                        a.ExpectPenFromPanel->second, static_cast<unsigned>(want & 0xFFFFFF));
            expect(haveLine && (pen & 0xFFFFFF) == (want & 0xFFFFFF), "the pen is not the panel's colour");
        }
        if (a.ExpectDrawing) {
            std::string report;
            const bool same = haveLine && MatchesDrawing(original, session.Image(), strokes, pen, (*block)[tail] != 0, report);
            std::printf("drawing: %zu stroke(s), %s\n", strokes.size(), report.c_str());
            expect(same && !strokes.empty(), "the output is not the reference drawing");
        }

        if (!a.Out.empty() && session.Image().Channels > 0) {
            std::vector<std::uint8_t> bytes = WriteBmp(session.Image());
            std::ofstream out(a.Out, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                std::fprintf(stderr, "testhost: cannot write %s\n", a.Out.c_str());
                return 2;
            }
            std::printf("wrote %s\n", a.Out.c_str());
        }
    }
#ifdef _WIN32
    FreeLibrary(library);
#endif
    std::printf("%s\n", failures ? "FAILED" : "OK");
    return failures ? 1 : 0;
}

int main(int argc, char** argv) {
    // The host's own allocation failures are errors it reports, never a terminate.
    try {
        return Main(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "testhost: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "testhost: %s\n", e.what());
    }
    std::printf("FAILED\n");
    return 2;
}
