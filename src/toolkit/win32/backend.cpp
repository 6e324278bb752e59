// Win32 back end of the toolkit. Until the real windows arrive, these entries keep the
// Windows builds linking; each one fails loudly or reports "nothing there".
#include <windows.h>

#include "toolkit/forms.h"
#include "toolkit/platform.h"
#include "toolkit/resources.h"
#include "toolkit/timers.h"

namespace {
class TPendingWindow : public IWindowImpl {
public:
    void* Handle() const override { return nullptr; }
    void BoundsChanged() override {}
    void VisibleChanged() override {}
    void EnabledChanged() override {}
    void TextChanged() override {}
    void StateChanged() override {}
    void Invalidate() override {}
    void Update() override {}
    std::uint32_t Style() const override { return FStyle; }
    void SetStyle(std::uint32_t Style) override { FStyle = Style; }
    void SetFocus() override {}
    TRect NonClientInsets() const override { return TRect{}; }

private:
    std::uint32_t FStyle = 0;
};
} // namespace

namespace plat {
std::unique_ptr<IWindowImpl> CreateWindowImpl(TWinControl&) { return std::make_unique<TPendingWindow>(); }
void RunModalLoop(TForm&) { throw EInvalidOperation("Modal forms are not available in this build"); }
void ProcessMessages() {}
void ControlDestroyed(TWinControl&) {}
void SetCapture(TWinControl*) {}
void ReleaseCapture() {}
TWinControl* CaptureControl() { return nullptr; }
void SetCursor(int) {}
int CurrentCursor() { return 0; }
void StartTimer(TTimer&) {}
void StopTimer(TTimer&) {}
int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }
int ScreenDepth()
{
    HDC dc = GetDC(nullptr);
    int depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(nullptr, dc);
    return depth;
}
TSize TextExtent(const TFont& Font, const std::string& Text)
{
    return TSize{static_cast<int>(Text.size()) * 6, -Font.Height() + 2};
}
int ShowMessageBox(void* Owner, const std::string& Text, const std::string& Caption, unsigned Flags)
{
    return MessageBoxA(static_cast<HWND>(Owner), Text.c_str(), Caption.empty() ? nullptr : Caption.c_str(), Flags);
}
std::intptr_t ShellOpen(void*, const std::string&, const std::string&, const std::string&, const std::string&, int)
{
    return 0;
}
void* FindTopWindow(const char* ClassName, const char* Title) { return FindWindowA(ClassName, Title); }
bool PlaceWindow(void* Window, void* InsertAfter, int X, int Y, int Cx, int Cy, unsigned Flags)
{
    return SetWindowPos(static_cast<HWND>(Window), static_cast<HWND>(InsertAfter), X, Y, Cx, Cy, Flags) != 0;
}
bool OpenRegistryKey(TRegistryRoot, const std::string&, bool, TRegistryKey&) { return false; }
void CloseRegistryKey(TRegistryKey) {}
std::vector<std::string> RegistrySubKeyNames(TRegistryKey) { return {}; }
std::vector<std::string> RegistryValueNames(TRegistryKey) { return {}; }
bool ReadRegistryString(TRegistryKey, const std::string&, std::string&) { return false; }
bool WriteRegistryString(TRegistryKey, const std::string&, const std::string&) { return false; }
bool RegistryValueExists(TRegistryKey, const std::string&) { return false; }
bool FindRawResource(const std::string& Name, std::string& Text) { return FindCompiledResource(Name, Text); }
} // namespace plat
