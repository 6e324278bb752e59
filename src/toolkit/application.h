// Application-wide services: the title, exception reporting, the message loop; the screen.
#pragma once
// The platform header's ANSI/wide switch would rename the method.
#ifdef MessageBox
#undef MessageBox
#endif
#include <exception>
#include <functional>
#include <string>

#include "toolkit/classes.h"

class TApplication : public TComponent {
public:
    VP_CLASS_NAME(TApplication)
    TApplication();

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value) { FTitle = Value; }

    // Shows E's message in an error box captioned with Title, unless OnException is set,
    // which then receives it instead.
    void ShowException(const std::exception& E);
    // For use in a catch block: reports the exception in flight (std or not) as above.
    void HandleException();
    // A message box with Title as its caption when Caption is empty.
    int MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);
    void ProcessMessages();

    std::function<void(const std::exception& E)> OnException;

private:
    std::string FTitle = "Vesper";
};

class TScreen : public TComponent {
public:
    VP_CLASS_NAME(TScreen)
    TScreen();
    int Width() const;
    int Height() const;
    // Bits per pixel times planes of the display.
    int Depth() const;
    int PixelsPerInch() const { return 96; }
    // The application-wide cursor; crDefault lets each control show its own.
    int Cursor() const;
    void SetCursor(int Value);
};

extern TApplication* const Application;
extern TScreen* const Screen;
