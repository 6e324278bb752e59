// Checks of the Win32 back end with real windows: window classes, the GDI canvas, dialogs
// driven by posted messages, the about box, and the platform services.
#include "tktest.h"

#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/win32/win32.h"

namespace tk {
int Checks = 0, Failures = 0;

void Pump()
{
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

namespace {
int StaleCalls = 0;
LRESULT CALLBACK StaleProc(HWND H, UINT M, WPARAM W, LPARAM L)
{
    ++StaleCalls;
    return DefWindowProcA(H, M, W, L);
}

bool ClassRegistered(const char* Name)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    return GetClassInfoExA(static_cast<HINSTANCE>(win32::ModuleInstance()), Name, &wc) != FALSE;
}
} // namespace

void WindowClassChecks()
{
    Section("window classes");
    HINSTANCE inst = static_cast<HINSTANCE>(win32::ModuleInstance());
    CHECK(inst == GetModuleHandleA(nullptr)); // linked into the program itself here
    // What an earlier load of the module would leave behind: the same class name with a
    // window procedure of its own.
    WNDCLASSEXA stale{};
    stale.cbSize = sizeof(stale);
    stale.lpfnWndProc = &StaleProc;
    stale.hInstance = inst;
    stale.lpszClassName = win32::FormClassName;
    CHECK(RegisterClassExA(&stale) != 0);
    CHECK(win32::RegisterWindowClasses());
    {
        TComponentPtr<TForm> f(CreateComponent<TForm>(nullptr));
        HWND h = static_cast<HWND>(f->Handle());
        CHECK(h != nullptr);
        CHECK(reinterpret_cast<WNDPROC>(GetClassLongPtrA(h, GCLP_WNDPROC)) != &StaleProc);
        f->SetCaption("renamed");
        char text[32] = {};
        GetWindowTextA(h, text, sizeof text);
        CHECK_EQ(std::string(text), "renamed");
        StaleCalls = 0;
        SendMessageA(h, WM_NULL, 0, 0);
        CHECK_EQ(StaleCalls, 0);
    }
    // Unloading with a form still alive: its window goes, the form can still be freed.
    TForm* survivor = CreateComponent<TForm>(nullptr);
    HWND sh = static_cast<HWND>(survivor->Handle());
    win32::UnregisterWindowClasses();
    CHECK(!IsWindow(sh));
    CHECK(!ClassRegistered(win32::FormClassName));
    CHECK(!ClassRegistered(win32::ControlClassName));
    TComponent::Free(survivor);
    win32::UnregisterWindowClasses(); // twice is harmless
    CHECK(win32::RegisterWindowClasses());
    CHECK(ClassRegistered(win32::FormClassName));
    CHECK(ClassRegistered(win32::ControlClassName));
}
} // namespace tk

namespace {
DWORD WINAPI Watchdog(LPVOID)
{
    Sleep(120000);
    std::printf("FAIL: tktest did not finish within two minutes\n");
    std::fflush(stdout);
    ExitProcess(3);
}
} // namespace

int main()
{
    CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr);
    // Exceptions in handlers are reported here rather than in boxes nobody would close;
    // the exception box check turns this off for itself.
    Application->OnException = [](const std::exception& E) {
        tk::Check(false, std::string("unexpected exception: ") + E.what(), 0);
    };
    tk::WindowClassChecks();
    tk::CanvasChecks();
    tk::ThemeChecks();
    tk::ServiceChecks();
    tk::DialogChecks();
    tk::AboutBoxChecks();
    win32::UnregisterWindowClasses();
    std::printf("tktest: %d checks, %d failed\n", tk::Checks, tk::Failures);
    return tk::Failures ? 1 : 0;
}
