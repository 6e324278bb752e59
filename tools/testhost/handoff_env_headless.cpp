// Natively the module runs in this process on the headless back end, so preparing and
// observing the platform is a matter of its test interface.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "handoff_env.h"
#include "standin_report.h"
#include "toolkit/headless/headless.h"
#include "toolkit/platform.h"
#include "base/headless/files.h"
#include "base/streams.h"

namespace {
constexpr TRegistryRoot kMachine = TRegistryRoot::LocalMachine;

class HeadlessEditor : public RunningEditor {
public:
    HeadlessEditor() : FWindow(headless::AddTopWindow(kEditorTitle)) {}
    std::string CheckBroughtForward(int Runs) override
    {
        int moves = 0;
        std::string problem;
        for (const auto& p : headless::WindowPlacements()) {
            if (p.Window != FWindow)
                continue;
            ++moves;
            if (p.InsertAfter != WindowTop || p.X != 0 || p.Y != 0 || p.Cx != 0 || p.Cy != 0 ||
                p.Flags != SwpShowWindow)
                problem = "the editor window was placed at (" + std::to_string(p.X) + "," + std::to_string(p.Y) +
                          ") size " + std::to_string(p.Cx) + "x" + std::to_string(p.Cy) + " flags " +
                          std::to_string(p.Flags) + (p.InsertAfter == WindowTop ? "" : " not at the top");
        }
        if (moves != Runs)
            return "the editor window was placed " + std::to_string(moves) + " times, expected " +
                   std::to_string(Runs);
        return problem;
    }

private:
    void* FWindow;
};
} // namespace

std::string PrepareRegistry(const RegistryPlan& Plan)
{
    // Each run of this process starts with an empty registry, so clearing has nothing to do.
    const std::uint32_t view = Plan.OtherView ? RegistryOtherView : RegistryOwnView;
    const std::string host = kHostKey;
    if (Plan.BareHostKey)
        headless::RegistryAddKey(kMachine, host, view);
    if (Plan.HostVersion.empty())
        return Plan.EditorDir || Plan.DenyEditorKey || Plan.ReadOnly ? "the editor key needs a host version" : "";
    const std::string version = host + "\\" + Plan.HostVersion;
    headless::RegistryAddKey(kMachine, version, view);
    if (Plan.DenyEditorKey && Plan.EditorDir)
        return "an editor key that cannot be opened takes no folder";
    if (Plan.EditorDir)
        headless::RegistrySetString(kMachine, version + "\\PluginPath", "Tarnwick", *Plan.EditorDir, view);
    if (Plan.DenyEditorKey)
        headless::RegistryDenyCreate(kMachine, version, view);
    if (Plan.ReadOnly) {
        // As a user without elevation meets the machine's keys: every one of them read-only.
        std::string key;
        for (const std::string& part : {std::string("SOFTWARE"), std::string("Adobe"), std::string("Photoshop"),
                                        Plan.HostVersion, std::string("PluginPath")}) {
            key += (key.empty() ? "" : "\\") + part;
            if (headless::RegistryKeyExists(kMachine, key, view))
                headless::RegistryDenyWrite(kMachine, key, view);
        }
    }
    return {};
}

std::string RefuseNewFilesInDriveRoot()
{
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    return {};
}

namespace {
struct HeadlessHold : HeldFile {
    explicit HeadlessHold(std::string P) : Path(std::move(P)) {}
    ~HeadlessHold() override { SetHeadlessFileInUse(Path, 0); }
    std::string Path;
};
} // namespace

std::unique_ptr<HeldFile> HoldFile(const std::string& WindowsPath, unsigned, std::string& Error)
{
    if (!PlatformFileExists(PlatformPath(WindowsPath))) {
        Error = "cannot hold " + WindowsPath + ": there is no such file";
        return nullptr;
    }
    // No clock runs here: the hold ends after the replacements of about half a second of
    // the module's retries.
    SetHeadlessFileInUse(WindowsPath, 4);
    std::printf("hold: %s held, a rename is refused\n", WindowsPath.c_str());
    return std::make_unique<HeadlessHold>(WindowsPath);
}

std::string LocalPath(const std::string& WindowsPath) { return PlatformPath(WindowsPath); }
std::string ModuleVisiblePath(const std::string& Path) { return Path; }
void SetEnvironment(const std::string& Name, const std::string& Value) { setenv(Name.c_str(), Value.c_str(), 1); }
int DisplayDepth() { return plat::ScreenDepth(); }

std::unique_ptr<RunningEditor> StartEditor(const std::string&, const std::string&, std::string&)
{
    return std::make_unique<HeadlessEditor>();
}

int EditorWindowCount() { return plat::FindTopWindow(nullptr, kEditorTitle) ? 1 : 0; }

std::optional<std::vector<std::string>> RecordedShellOpens()
{
    std::vector<std::string> opens;
    for (const auto& s : headless::ShellOpens()) {
        std::string line = s.Verb + " " + s.File;
        if (s.Owner || !s.Parameters.empty() || !s.Directory.empty() || s.ShowCmd != SwShowNormal)
            line += " (with owner, parameters, folder or show state)";
        opens.push_back(line);
    }
    return opens;
}

void PlayStartedEditor()
{
    const char* report = std::getenv("TARNWICK_STANDIN_REPORT");
    const std::string exe = "TarnwickStudio.exe";
    if (!report || headless::ShellOpens().size() != 1)
        return;
    const std::string& file = headless::ShellOpens()[0].File;
    if (file.size() < exe.size() || file.compare(file.size() - exe.size(), exe.size(), exe) != 0)
        return;
    StandinOptions defaults;
    std::ofstream(report, std::ios::binary)
        << FormatReport(InspectExchangeFilePath(defaults.ImagePath, PlatformPath(defaults.ImagePath)),
                        InspectExchangeFilePath(defaults.MaskPath, PlatformPath(defaults.MaskPath)));
}

std::optional<int> RecordedRegistryOpens() { return headless::RegistryOpenAttempts(); }

std::optional<std::vector<std::string>> RecordedMessageBoxes()
{
    std::vector<std::string> boxes;
    for (const auto& m : headless::MessageBoxes())
        boxes.push_back(m.Text);
    return boxes;
}
