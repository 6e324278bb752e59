#include "handoff_scenario.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "handoff_checks.h"
#include "standin_report.h"

namespace {
const char* const kImageFile = "c:\\tarnwickstudiorgb_dovrane.bmp";
const char* const kMaskFile = "c:\\tarnwickstudioa_dovrane.bmp";
// What --plant-files leaves in both exchange files before the run.
const char* const kPlantedBytes = "exchange file of an earlier run";
// The editor started by the filter leaves soon, so that no run waits on it for long.
const char* const kStartedEditorLifetime = "500";
constexpr unsigned kReportWaitMs = 20000, kNoStartWaitMs = 2000;

// Whether Path holds exactly the planted bytes. Only that many are read: an earlier large run
// may have left files of hundreds of megabytes, more than a 32-bit host can hold beside its image.
bool HoldsPlantedBytes(const std::string& Path)
{
    const std::string planted = kPlantedBytes;
    std::ifstream in(Path, std::ios::binary);
    std::string head(planted.size() + 1, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    return in.gcount() == static_cast<std::streamsize>(planted.size()) && head.compare(0, planted.size(), planted) == 0;
}

std::optional<ByteVector> ReadFile(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return ByteVector((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A file's facts, and its comparison with the expected bytes when they are given.
std::optional<FileComparison> Inspect(const std::string& Path, const ExpectedBytes* Expected, int Tolerance = 0)
{
    if (Expected)
        return CompareFile(Path, *Expected, Tolerance);
    if (auto facts = FactsOfFile(Path))
        return FileComparison{*facts, {}};
    return std::nullopt;
}

void Remove(const std::string& Path)
{
    std::error_code ec;
    std::filesystem::remove(Path, ec);
}

bool Exists(const std::string& Path)
{
    std::error_code ec;
    return std::filesystem::exists(Path, ec);
}

void Sleep(unsigned Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }

// Polls for a complete report (the editor writes it whole, but a reader may still be early).
std::optional<std::map<std::string, std::string>> AwaitReport(const std::string& Path, unsigned Ms)
{
    for (unsigned waited = 0;; waited += 100) {
        if (auto bytes = ReadFile(Path))
            if (auto report = ParseReport(std::string(bytes->begin(), bytes->end())))
                return report;
        if (waited >= Ms)
            return std::nullopt;
        Sleep(100);
    }
}
} // namespace

HandoffScenario::HandoffScenario() = default;
HandoffScenario::~HandoffScenario() = default;

const char* HandoffScenario::Usage()
{
    return "       hand-off: [--reg-clear] [--reg-host-key] [--reg-host-version NAME]\n"
           "                [--reg-editor-dir DIR] [--reg-deny-editor-key] [--reg-view own|other]\n"
           "                [--reg-read-only] [--root-no-create] [--plant-files]\n"
           "                [--editor-running EXE] [--expect-files] [--expect-no-files]\n"
           "                [--wait-report FILE]\n"
           "                [--expect-no-start FILE] [--expect-shell-open FILE]\n"
           "                [--expect-message-box TEXT] [--expect-no-message-box]\n"
           "                [--forbid-message-box TEXT] [--hold-image-ms MS]";
}

bool HandoffScenario::Parse(int argc, char** argv, int& i, bool& Ok)
{
    const std::string k = argv[i];
    auto value = [&](auto& into) {
        if (i + 1 >= argc)
            return Ok = false, true;
        into = std::string(argv[++i]);
        return Ok = true, true;
    };
    auto flag = [&](bool& into) { return into = true, Ok = true, true; };
    if (k == "--reg-clear") return flag(FRegistry.Clear);
    if (k == "--reg-host-key") return flag(FRegistry.BareHostKey);
    if (k == "--reg-host-version") return value(FRegistry.HostVersion);
    if (k == "--reg-editor-dir") return value(FRegistry.EditorDir);
    if (k == "--reg-deny-editor-key") return flag(FRegistry.DenyEditorKey);
    if (k == "--reg-view") {
        std::string view;
        value(view);
        if (view != "own" && view != "other")
            Ok = false;
        FRegistry.OtherView = view == "other";
        return true;
    }
    if (k == "--reg-read-only") return flag(FRegistry.ReadOnly);
    if (k == "--root-no-create") return flag(FRootNoCreate);
    if (k == "--plant-files") return flag(FPlantFiles);
    if (k == "--expect-no-files") return flag(FExpectNoFiles);
    if (k == "--editor-running") return value(FEditorExe);
    if (k == "--expect-files") return flag(FExpectFiles);
    if (k == "--wait-report") return value(FWaitReport);
    if (k == "--expect-no-start") return value(FNoStartReport);
    if (k == "--expect-shell-open") return value(FExpectShellOpen);
    if (k == "--expect-message-box") return value(FExpectMessageBox);
    if (k == "--expect-no-message-box") return flag(FExpectNoMessageBox);
    if (k == "--forbid-message-box") return value(FForbidMessageBox);
    if (k == "--hold-image-ms") {
        std::string ms;
        value(ms);
        char* end = nullptr;
        const unsigned long n = std::strtoul(ms.c_str(), &end, 10);
        if (ms.empty() || *end != '\0' || n > 10000)
            Ok = false;
        FHoldImageMs = static_cast<unsigned>(n);
        return true;
    }
    return false;
}

std::string HandoffScenario::Prepare(const HostImage& Input, const std::optional<std::vector<std::uint8_t>>& Selection)
{
    FInput = &Input;
    FSelection = &Selection;
    if (std::string e = PrepareRegistry(FRegistry); !e.empty())
        return e;
    if (FExpectFiles && FExpectNoFiles)
        return "--expect-files and --expect-no-files exclude each other";
    // Files of an earlier run must not pass for this run's; planted ones stand for them.
    if (FExpectFiles || FExpectNoFiles || FWaitReport || FPlantFiles) {
        for (const char* file : {kImageFile, kMaskFile}) {
            Remove(LocalPath(file) + ".tmp");
            Remove(LocalPath(file) + ".old");
            // Planted before the run already (a file that may not be changed now, say).
            if (FPlantFiles && HoldsPlantedBytes(LocalPath(file)))
                continue;
            Remove(LocalPath(file));
            if (FPlantFiles && !(std::ofstream(LocalPath(file), std::ios::binary) << kPlantedBytes))
                return std::string("cannot plant ") + file;
        }
    }
    if (FRootNoCreate)
        if (std::string e = RefuseNewFilesInDriveRoot(); !e.empty())
            return e;
    for (const auto* report : {&FWaitReport, &FNoStartReport})
        if (*report) {
            Remove(**report);
            SetEnvironment("TARNWICK_STANDIN_REPORT", ModuleVisiblePath(**report));
            SetEnvironment("TARNWICK_STANDIN_EXIT_AFTER_MS", kStartedEditorLifetime);
        }
    if (FEditorExe) {
        const std::string running = "standin_running_report.txt";
        Remove(running);
        std::string error;
        FEditor = StartEditor(*FEditorExe, ModuleVisiblePath(running), error);
        if (!FEditor)
            return error;
        if (EditorWindowCount() != 1)
            return "another window titled \"Tarnwick Studio\" is open already";
    }
    // Last, so that the hold lasts into the start call.
    if (FHoldImageMs) {
        std::string error;
        FHeldImage = HoldFile(kImageFile, *FHoldImageMs, error);
        if (!FHeldImage)
            return error;
    }
    return {};
}

std::vector<std::string> HandoffScenario::Check()
{
    FHeldImage.reset();
    std::vector<std::string> fails;
    const int maskBits = ExpectedMaskBits(DisplayDepth());
    // Where the platform records what the module asked of it, nothing happens later.
    const bool recorded = RecordedShellOpens().has_value();
    // Both files are read once, a piece at a time, and compared as they are read when they
    // are expected: no file and no expected file is held whole.
    const ExpectedBytes expectedImage = [this](const ByteSink& Out) {
        EmitExpectedImageFile(FExpectedImage ? *FExpectedImage : *FInput, Out);
    };
    const ExpectedBytes expectedMask = [this, maskBits](const ByteSink& Out) {
        EmitExpectedMaskFile(FInput->Width, FInput->Height, *FSelection ? &**FSelection : nullptr, maskBits, Out);
    };
    const auto image = Inspect(LocalPath(kImageFile), FExpectFiles ? &expectedImage : nullptr, FTolerance);
    const auto mask = Inspect(LocalPath(kMaskFile), FExpectFiles ? &expectedMask : nullptr);

    if (FExpectFiles) {
        std::printf("exchange files: display depth %d, mask %d bits\n", DisplayDepth(), maskBits);
        if (!image)
            fails.push_back("no image exchange file");
        else if (!image->Difference.empty())
            fails.push_back("image exchange file: " + image->Difference);
        if (!mask)
            fails.push_back("no mask exchange file");
        else if (!mask->Difference.empty())
            fails.push_back("mask exchange file: " + mask->Difference);
        if (image && mask && fails.empty())
            std::printf("exchange files: image %llu bytes, mask %llu bytes, as expected\n",
                        static_cast<unsigned long long>(image->Facts.Bytes),
                        static_cast<unsigned long long>(mask->Facts.Bytes));
    }

    if (FExpectNoFiles) {
        // Nothing written, nothing replaced: planted files keep their bytes, else none exist.
        const std::string planted = kPlantedBytes;
        const ExpectedBytes plantedBytes = [&planted](const ByteSink& Out) {
            Out(reinterpret_cast<const std::uint8_t*>(planted.data()), planted.size());
        };
        for (const char* file : {kImageFile, kMaskFile}) {
            const auto now = CompareFile(LocalPath(file), plantedBytes);
            if (FPlantFiles ? (!now || !now->Difference.empty()) : now.has_value())
                fails.push_back(std::string(file == kImageFile ? "image" : "mask") + " exchange file " +
                                (FPlantFiles ? "replaced or removed" : "written"));
        }
        if (fails.empty())
            std::printf("exchange files: %s\n", FPlantFiles ? "the planted ones untouched" : "none");
    }
    if (FExpectFiles || FExpectNoFiles)
        for (const char* file : {kImageFile, kMaskFile})
            for (const char* left : {".tmp", ".old"})
                if (Exists(LocalPath(file) + left))
                    fails.push_back(std::string("a temporary file was left beside ") + file);

    if (FWaitReport) {
        PlayStartedEditor();
        if (auto report = AwaitReport(*FWaitReport, recorded ? 0 : kReportWaitMs)) {
            std::printf("editor report: image %s, mask %s\n", (*report)["image.status"].c_str(),
                        (*report)["mask.status"].c_str());
            for (auto& p : CheckStandinReport(*report, image ? image->Facts : FileFacts{},
                                              mask ? mask->Facts : FileFacts{}, FInput->Width, FInput->Height,
                                              maskBits))
                fails.push_back(p);
        } else {
            fails.push_back("the editor left no report");
        }
    }
    if (FNoStartReport) {
        if (!recorded)
            Sleep(kNoStartWaitMs);  // a started editor reports within this time
        if (Exists(*FNoStartReport))
            fails.push_back("an editor was started");
        const int expectedWindows = FEditor ? 1 : 0;
        if (EditorWindowCount() != expectedWindows)
            fails.push_back(std::to_string(EditorWindowCount()) + " editor windows instead of " +
                            std::to_string(expectedWindows));
    }
    if (FEditor) {
        if (std::string p = FEditor->CheckBroughtForward(FRuns); !p.empty())
            fails.push_back(p);
        else
            std::printf("editor window brought forward\n");
        // Under Wine b_registry_not_read shows it instead: a look-up there ends in an error box.
        if (auto opens = RecordedRegistryOpens(); opens && *opens != 0)
            fails.push_back("the registry was read although the editor runs");
    }

    if (auto opens = RecordedShellOpens()) {
        for (const auto& o : *opens)
            std::printf("shell: %s\n", o.c_str());
        if (FExpectShellOpen && (opens->size() != 1 || (*opens)[0] != "open " + *FExpectShellOpen))
            fails.push_back("expected one shell open of " + *FExpectShellOpen);
        if (FNoStartReport && !opens->empty())
            fails.push_back("the shell was asked to start a program");
    }
    std::vector<std::string> boxes = RecordedMessageBoxes().value_or(FObservedBoxes);
    if (FExpectMessageBox && (boxes.size() != 1 || boxes[0] != *FExpectMessageBox))
        fails.push_back("expected the one message box \"" + *FExpectMessageBox + "\", saw " +
                        std::to_string(boxes.size()));
    for (const auto& b : boxes)
        if (FForbidMessageBox && b == *FForbidMessageBox)
            fails.push_back("the message box \"" + b + "\" was shown");
    if (FExpectNoMessageBox && !boxes.empty())
        fails.push_back("a message box was shown: " + boxes[0]);
    FEditor.reset();
    return fails;
}
