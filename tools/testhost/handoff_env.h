// The test host's side of the editor hand-off: the registry prepared before a run, the
// exchange files' paths as this process opens them, the display depth, the editor window
// that can be running before the filter starts, and what the platform recorded. On Windows
// these are real registry keys, files and processes; natively the headless back end's
// in-memory registry, drive root and records, which the linked module uses as well.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

constexpr const char* kHostKey = "SOFTWARE\\Adobe\\Photoshop";
constexpr const char* kEditorTitle = "Tarnwick Studio";

struct RegistryPlan {
    bool Clear = false;          // the host key and everything below it removed first
    bool BareHostKey = false;    // the host key present, without subkeys
    std::string HostVersion;     // HostKey\HostVersion created
    std::optional<std::string> EditorDir;  // HostKey\HostVersion\PluginPath "Tarnwick"
    bool DenyEditorKey = false;  // HostKey\HostVersion\PluginPath can be neither opened nor created
    bool OtherView = false;      // the keys above go to the other word size's view, not the host's own
    bool ReadOnly = false;       // the keys above refuse write access (natively only)
};
// Empty on success, otherwise what failed. Clearing clears both views.
std::string PrepareRegistry(const RegistryPlan& Plan);
// From now on the root of drive C refuses new files but lets existing ones be rewritten
// (natively only). Empty on success, otherwise why not.
std::string RefuseNewFilesInDriveRoot();

// Another program's hold on an existing "c:\..." file: opened sharing only reading (the
// editor reading the old exchange file), so that it can be neither renamed, replaced nor
// rewritten until the hold ends, Ms milliseconds after it began (natively: the headless
// files refuse its first few replacements and openings). Ends, at the latest, when
// destroyed.
class HeldFile {
public:
    virtual ~HeldFile() = default;
};
// Null with Error when the file cannot be held, or a hold here does not refuse a rename.
std::unique_ptr<HeldFile> HoldFile(const std::string& WindowsPath, unsigned Ms, std::string& Error);

// The path under which this process opens a "c:\..." file.
std::string LocalPath(const std::string& WindowsPath);
// A folder or file named on the command line (a Linux path under Wine) as the module and
// the editor must see it.
std::string ModuleVisiblePath(const std::string& Path);
void SetEnvironment(const std::string& Name, const std::string& Value);
int DisplayDepth();

// The editor window present before the run. Stops the editor when destroyed.
class RunningEditor {
public:
    virtual ~RunningEditor() = default;
    // Where the filter must have put it: (0, 0) and above the other windows, once in each of
    // Runs runs where that is recorded. Empty when so.
    virtual std::string CheckBroughtForward(int Runs) = 0;
};
std::unique_ptr<RunningEditor> StartEditor(const std::string& Exe, const std::string& ReportPath, std::string& Error);
// Top-level windows titled "Tarnwick Studio" now.
int EditorWindowCount();

// Shell opens the module asked for, when the platform records them (natively); nullopt on
// Windows, where only the started program tells.
std::optional<std::vector<std::string>> RecordedShellOpens();
// Natively nothing is started by the shell, so the host plays the part of an editor the
// module asked for: it writes the stand-in's report to $TARNWICK_STANDIN_REPORT. A no-op on
// Windows, where the real stand-in runs.
void PlayStartedEditor();
// Registry keys the module tried to open, when the platform counts them (natively).
std::optional<int> RecordedRegistryOpens();
// Message boxes shown during the run, when the platform records them (natively).
std::optional<std::vector<std::string>> RecordedMessageBoxes();
