// Stand-in for the Tarnwick Studio icon editor, for the tests and the main job: a top-level
// window titled "Tarnwick Studio" that reads both exchange files at start, writes what it
// found to a report file, and then either stays (--stay, until closed) or leaves after a
// bounded time. Natively the same program runs without a window.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "standin_report.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "base/streams.h"
#endif

namespace {

std::optional<std::string> Env(const char* Name)
{
    const char* v = std::getenv(Name);
    if (!v || !*v)
        return std::nullopt;
    return std::string(v);
}

std::string ProgramFolder(const char* Argv0)
{
#ifdef _WIN32
    (void)Argv0;
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n < MAX_PATH ? n : 0);
    const std::size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
#else
    std::filesystem::path p(Argv0 ? Argv0 : "");
    return p.has_parent_path() ? p.parent_path().string() + "/" : std::string();
#endif
}

std::string OpenPath(const std::string& Path)
{
#ifdef _WIN32
    return Path;
#else
    return PlatformPath(Path);  // "c:\..." lies under the headless drive root
#endif
}

// Whole or not at all: a reader polling for the report never sees half of it.
bool WriteReport(const std::string& Path, const std::string& Text)
{
    const std::string temp = Path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << Text;
        if (!out.flush())
            return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, Path, ec);
    if (ec)
        std::filesystem::remove(temp, ec);
    return !ec;
}

#ifdef _WIN32
std::string ShownText;

LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L)
{
    switch (Message) {
    case WM_TIMER:
        DestroyWindow(Window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Window, &ps);
        RECT r;
        GetClientRect(Window, &r);
        DrawTextA(dc, ShownText.c_str(), -1, &r, DT_LEFT | DT_TOP);
        EndPaint(Window, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(Window, Message, W, L);
    }
}

int RunWindow(const StandinOptions& Options, const std::string& ReportPath)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "TarnwickStudioStandin";
    if (!RegisterClassA(&wc))
        return 3;
    // Away from (0, 0), so that being moved there by the filter shows.
    HWND window = CreateWindowExA(0, wc.lpszClassName, "Tarnwick Studio", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 160, 120,
                                  360, 220, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 3;
    const ExchangeFileInfo image = InspectExchangeFilePath(Options.ImagePath, OpenPath(Options.ImagePath));
    const ExchangeFileInfo mask = InspectExchangeFilePath(Options.MaskPath, OpenPath(Options.MaskPath));
    ShownText = FormatReport(image, mask);
    const bool written = WriteReport(ReportPath, ShownText);
    InvalidateRect(window, nullptr, TRUE);
    SetTimer(window, 1, StandinLifetimeMs(Options), nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return written ? 0 : 1;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    StandinOptions options;
    std::string error;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    if (!ParseStandinOptions(args, Env, options, error)) {
        std::fprintf(stderr, "TarnwickStudio: %s\n", error.c_str());
        return 2;
    }
    const std::string report =
        options.ReportPath.empty() ? ProgramFolder(argc > 0 ? argv[0] : nullptr) + "TarnwickStudio-report.txt"
                                   : options.ReportPath;
#ifdef _WIN32
    return RunWindow(options, report);
#else
    const ExchangeFileInfo image = InspectExchangeFilePath(options.ImagePath, OpenPath(options.ImagePath));
    const ExchangeFileInfo mask = InspectExchangeFilePath(options.MaskPath, OpenPath(options.MaskPath));
    const std::string text = FormatReport(image, mask);
    std::fputs(text.c_str(), stdout);
    return WriteReport(report, text) ? 0 : 1;
#endif
}
