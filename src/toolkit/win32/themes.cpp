#include "toolkit/win32/themes.h"

#include <windows.h>

#include "toolkit/graphics.h"

namespace {
using TThemeHandle = void*;
using TOpenThemeData = TThemeHandle(WINAPI*)(HWND, LPCWSTR);
using TCloseThemeData = HRESULT(WINAPI*)(TThemeHandle);
using TDrawThemeBackground = HRESULT(WINAPI*)(TThemeHandle, HDC, int, int, const RECT*, const RECT*);
using TIsThemeActive = BOOL(WINAPI*)();

template <class F>
F As(void* P)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(P));
}

void* Entry(HMODULE M, const char* Name)
{
    return reinterpret_cast<void*>(GetProcAddress(M, Name));
}
} // namespace

TThemeServices& TThemeServices::Instance()
{
    static TThemeServices services;
    services.Load();
    return services;
}

// The library stays loaded at unload: freeing a library from inside another's unloading
// risks the loader lock, and the system keeps one copy of it in the process anyway.
TThemeServices::~TThemeServices() = default;

void TThemeServices::Load()
{
    if (FTried)
        return;
    FTried = true;
    HMODULE m = LoadLibraryA("uxtheme.dll");
    if (!m)
        return;
    FOpen = Entry(m, "OpenThemeData");
    FClose = Entry(m, "CloseThemeData");
    FDraw = Entry(m, "DrawThemeBackground");
    FIsActive = Entry(m, "IsThemeActive");
    if (!FOpen || !FClose || !FDraw || !FIsActive) {
        // A partial library is as good as none: every path needs all four.
        FreeLibrary(m);
        FOpen = FClose = FDraw = FIsActive = nullptr;
        return;
    }
    FLibrary = m;
}

void TThemeServices::Unload()
{
    if (FLibrary)
        FreeLibrary(static_cast<HMODULE>(FLibrary));
    FLibrary = FOpen = FClose = FDraw = FIsActive = nullptr;
    FTried = false;
}

bool TThemeServices::Active() const
{
    return FLibrary && As<TIsThemeActive>(FIsActive)() != FALSE;
}

bool TThemeServices::DrawElement(void* Window, TCanvas& Canvas, const std::string& ClassList, int Part,
                                 int State, const TRect& R) const
{
    if (!Active() || R.Right <= R.Left || R.Bottom <= R.Top)
        return false;
    std::wstring name(ClassList.begin(), ClassList.end());
    TThemeHandle theme = As<TOpenThemeData>(FOpen)(static_cast<HWND>(Window), name.c_str());
    if (!theme)
        return false;
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    HRESULT hr = As<TDrawThemeBackground>(FDraw)(theme, static_cast<HDC>(Canvas.Handle()), Part, State, &r, nullptr);
    As<TCloseThemeData>(FClose)(theme);
    return SUCCEEDED(hr);
}
