// Visual theme services, loaded at run time: the theme library may be missing (old systems)
// or present with themes switched off; callers then draw the classic frame controls.
#pragma once
#include <string>

#include "base/geometry.h"

class TCanvas;

class TThemeServices {
public:
    // The process-wide instance; the library is loaded on first use.
    static TThemeServices& Instance();
    ~TThemeServices();
    TThemeServices(const TThemeServices&) = delete;
    TThemeServices& operator=(const TThemeServices&) = delete;

    // The theme library and all its entry points were found.
    bool Available() const { return FLibrary != nullptr; }
    // Available and the user runs a visual theme.
    bool Active() const;
    // Draws Part in State of the theme class ClassList (such as "SCROLLBAR") for Window (an
    // HWND, may be null) into R of Canvas. False when themes are not active or the theme
    // has no such class; nothing is drawn then.
    bool DrawElement(void* Window, TCanvas& Canvas, const std::string& ClassList, int Part, int State,
                     const TRect& R) const;
    // Frees the library; the next use loads it again.
    void Unload();

private:
    TThemeServices() = default;
    void Load();
    void* FLibrary = nullptr;
    void* FOpen = nullptr;
    void* FClose = nullptr;
    void* FDraw = nullptr;
    void* FIsActive = nullptr;
    bool FTried = false;
};
