// On Windows (and under Wine) the module uses the real registry, files and windows; the
// host prepares them through the same services. The host runs with the module's bitness,
// so its own registry view is the module's, and --reg-view other writes the other one.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <cstdio>
#include <thread>

#include "handoff_env.h"

namespace {

std::string WinError(const char* What, LONG Code)
{
    return std::string(What) + " failed (error " + std::to_string(Code) + ")";
}

struct Key {
    HKEY H = nullptr;
    ~Key()
    {
        if (H)
            RegCloseKey(H);
    }
};

bool Wait(unsigned Ms, const auto& Done)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (!Done()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

struct FindArgs {
    DWORD Process;
    HWND Found;
    int Count;
};
BOOL CALLBACK CollectEditor(HWND Window, LPARAM Param)
{
    auto* a = reinterpret_cast<FindArgs*>(Param);
    char title[64] = {};
    GetWindowTextA(Window, title, sizeof title);
    if (std::string(title) != kEditorTitle)
        return TRUE;
    ++a->Count;
    DWORD pid = 0;
    GetWindowThreadProcessId(Window, &pid);
    if (pid == a->Process)
        a->Found = Window;
    return TRUE;
}

// A plain window of this process, on a thread of its own (so the host's window watch
// leaves it alone), laid over the editor: the filter must bring the editor above it.
class CoverWindow {
public:
    CoverWindow()
    {
        FThread = std::thread([this] { Loop(); });
        Wait(5000, [this] { return FReady.load(); });
    }
    ~CoverWindow()
    {
        if (FWindow)
            PostMessageA(FWindow, WM_CLOSE, 0, 0);
        FThread.join();
    }
    HWND Window() const { return FWindow; }

private:
    static LRESULT CALLBACK Proc(HWND W, UINT M, WPARAM Wp, LPARAM Lp)
    {
        if (M == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(W, M, Wp, Lp);
    }
    void Loop()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TestHostCover";
        RegisterClassA(&wc);
        FWindow = CreateWindowExA(0, wc.lpszClassName, "test host cover", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                                  500, 400, nullptr, nullptr, wc.hInstance, nullptr);
        FReady = true;
        if (!FWindow)
            return;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    }
    std::thread FThread;
    std::atomic<bool> FReady{false};
    HWND FWindow = nullptr;
};

class Win32Editor : public RunningEditor {
public:
    bool Start(const std::string& Exe, const std::string& ReportPath, std::string& Error)
    {
        std::string cmd(1, '"');
        cmd.append(ModuleVisiblePath(Exe)).append("\" --stay --report \"").append(ReportPath).append(1, '"');
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &FProcess)) {
            Error = WinError("starting the editor", static_cast<LONG>(GetLastError()));
            return false;
        }
        // Up means: its window exists and it has read the files (its report is there).
        const bool up = Wait(15000, [&] {
            FindArgs a{FProcess.dwProcessId, nullptr, 0};
            EnumWindows(CollectEditor, reinterpret_cast<LPARAM>(&a));
            FWindow = a.Found;
            return FWindow && GetFileAttributesA(ReportPath.c_str()) != INVALID_FILE_ATTRIBUTES;
        });
        if (!up) {
            Error = "the editor did not come up within 15 s";
            return false;
        }
        FCover = std::make_unique<CoverWindow>();
        RECT r{};
        GetWindowRect(FWindow, &r);
        if (!FCover->Window() || !AboveInZOrder(FCover->Window(), FWindow) || (r.left == 0 && r.top == 0)) {
            Error = "could not lay a window over the editor away from (0, 0)";
            return false;
        }
        return true;
    }
    ~Win32Editor() override
    {
        FCover.reset();
        if (!FProcess.hProcess)
            return;
        if (FWindow)
            PostMessageA(FWindow, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(FProcess.hProcess, 5000) != WAIT_OBJECT_0)
            TerminateProcess(FProcess.hProcess, 1);
        CloseHandle(FProcess.hThread);
        CloseHandle(FProcess.hProcess);
    }
    std::string CheckBroughtForward(int) override
    {
        if (!IsWindow(FWindow))
            return "the editor window is gone";
        RECT r{};
        GetWindowRect(FWindow, &r);
        std::printf("editor window at (%ld,%ld) size %ld x %ld, %s the cover window\n", r.left, r.top, r.right - r.left,
                    r.bottom - r.top, AboveInZOrder(FWindow, FCover->Window()) ? "above" : "below");
        if (r.left != 0 || r.top != 0)
            return "the editor window was not moved to (0, 0)";
        if (!AboveInZOrder(FWindow, FCover->Window()))
            return "the editor window was not brought to the top";
        return {};
    }

private:
    // True when Upper comes before Lower in the desktop's Z order.
    static bool AboveInZOrder(HWND Upper, HWND Lower)
    {
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            if (w == Upper)
                return true;
            if (w == Lower)
                return false;
        }
        return false;
    }
    PROCESS_INFORMATION FProcess{};
    HWND FWindow = nullptr;
    std::unique_ptr<CoverWindow> FCover;
};

} // namespace

namespace {
// The registry view of this process's word size, and the other one.
constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// Removes the host key and everything below it from one view.
LONG ClearHostKey(REGSAM View)
{
    Key adobe;
    LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Adobe", 0, KEY_ALL_ACCESS | View, &adobe.H);
    if (r == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (r != ERROR_SUCCESS)
        return r;
    r = RegDeleteTreeA(adobe.H, "Photoshop");
    return r == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : r;
}
} // namespace

std::string PrepareRegistry(const RegistryPlan& Plan)
{
    if (Plan.ReadOnly)
        return "--reg-read-only: registry rights are not enforced here; the native host models them";
    if (Plan.Clear)
        for (REGSAM view : {kOwnView, kOtherView})
            if (LONG r = ClearHostKey(view); r != ERROR_SUCCESS)
                return WinError("removing the host key", r);
    const REGSAM view = Plan.OtherView ? kOtherView : kOwnView;
    if (Plan.BareHostKey || !Plan.HostVersion.empty()) {
        Key host;
        LONG r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHostKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS | view, nullptr, &host.H, nullptr);
        if (r != ERROR_SUCCESS)
            return WinError("creating the host key", r);
        if (Plan.HostVersion.empty())
            return {};
        // A volatile version key cannot take the lasting PluginPath key the module creates:
        // the editor key can then be neither opened nor created, as without the rights to it.
        if (Plan.DenyEditorKey && Plan.EditorDir)
            return "an editor key that cannot be opened takes no folder";
        const bool deny = Plan.DenyEditorKey;
        Key version;
        r = RegCreateKeyExA(host.H, Plan.HostVersion.c_str(), 0, nullptr,
                            deny ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr,
                            &version.H, nullptr);
        if (r != ERROR_SUCCESS)
            return WinError("creating the host version key", r);
        if (Plan.EditorDir) {
            Key plugin;
            r = RegCreateKeyExA(version.H, "PluginPath", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view,
                                nullptr, &plugin.H, nullptr);
            if (r != ERROR_SUCCESS)
                return WinError("creating the PluginPath key", r);
            const std::string dir = ModuleVisiblePath(*Plan.EditorDir);
            r = RegSetValueExA(plugin.H, "Tarnwick", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                               static_cast<DWORD>(dir.size() + 1));
            if (r != ERROR_SUCCESS)
                return WinError("writing the Tarnwick value", r);
        }
        // Written to the other view, the version must not show in the own one: a registry
        // with a single view would make the run prove nothing.
        if (Plan.OtherView && Plan.Clear) {
            Key own;
            const std::string path = std::string(kHostKey) + "\\" + Plan.HostVersion;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | kOwnView, &own.H) == ERROR_SUCCESS)
                return "the other registry view is this process's own: the registry has a single view here";
        }
    } else if (Plan.EditorDir || Plan.DenyEditorKey) {
        return "the editor key needs a host version";
    }
    return {};
}

std::string RefuseNewFilesInDriveRoot()
{
    return "--root-no-create: file rights are not enforced here; the native host models them";
}

namespace {
class Win32Hold : public HeldFile {
public:
    Win32Hold(HANDLE File, unsigned Ms) : FFile(File), FTimer([this, Ms] {
        Sleep(Ms);
        Release();
    }) {}
    ~Win32Hold() override
    {
        if (FTimer.joinable())
            FTimer.join();
    }

private:
    void Release()
    {
        CloseHandle(FFile);
        std::printf("hold: released\n");
        std::fflush(stdout);
    }
    HANDLE FFile;
    std::thread FTimer;
};
} // namespace

std::unique_ptr<HeldFile> HoldFile(const std::string& WindowsPath, unsigned Ms, std::string& Error)
{
    // Only reading shared: as an editor that still reads the old file. Neither a rename nor
    // a rewrite in place gets through until the hold ends.
    HANDLE h = CreateFileA(WindowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Error = "cannot hold " + WindowsPath + " (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    // The hold must refuse what the module does with the file, or the run proves nothing.
    const std::string probe = WindowsPath + ".probe";
    if (MoveFileExA(WindowsPath.c_str(), probe.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        MoveFileExA(probe.c_str(), WindowsPath.c_str(), MOVEFILE_REPLACE_EXISTING);
        CloseHandle(h);
        Error = "a file held without delete sharing can still be renamed here";
        return nullptr;
    }
    std::printf("hold: %s held for %u ms, a rename is refused (error %lu)\n", WindowsPath.c_str(), Ms,
                static_cast<unsigned long>(GetLastError()));
    return std::make_unique<Win32Hold>(h, Ms);
}

std::string LocalPath(const std::string& WindowsPath) { return WindowsPath; }

std::string ModuleVisiblePath(const std::string& Path)
{
    // Under Wine a Linux absolute path lies on drive Z.
    if (!Path.empty() && Path[0] == '/') {
        std::string p = "Z:" + Path;
        for (char& c : p)
            if (c == '/')
                c = '\\';
        return p;
    }
    char full[MAX_PATH] = {};
    DWORD n = GetFullPathNameA(Path.c_str(), MAX_PATH, full, nullptr);
    std::string p = n && n < MAX_PATH ? std::string(full, n) : Path;
    // GetFullPathName keeps a trailing separator, which the editor folder needs.
    return p;
}

void SetEnvironment(const std::string& Name, const std::string& Value)
{
    SetEnvironmentVariableA(Name.c_str(), Value.c_str());
}

int DisplayDepth()
{
    HDC dc = GetDC(nullptr);
    const int depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(nullptr, dc);
    return depth;
}

std::unique_ptr<RunningEditor> StartEditor(const std::string& Exe, const std::string& ReportPath, std::string& Error)
{
    auto editor = std::make_unique<Win32Editor>();
    if (!editor->Start(Exe, ReportPath, Error))
        return nullptr;
    return editor;
}

int EditorWindowCount()
{
    FindArgs a{0, nullptr, 0};
    EnumWindows(CollectEditor, reinterpret_cast<LPARAM>(&a));
    return a.Count;
}

std::optional<std::vector<std::string>> RecordedShellOpens() { return std::nullopt; }
void PlayStartedEditor() {}
std::optional<int> RecordedRegistryOpens() { return std::nullopt; }
std::optional<std::vector<std::string>> RecordedMessageBoxes() { return std::nullopt; }
