#include "toolkit/application.h"

#include "toolkit/platform.h"

namespace {
TApplication TheApplication;
TScreen TheScreen;
} // namespace

// Constant-initialised: the pointers are valid before any dynamic initialisation runs.
TApplication* const Application = &TheApplication;
TScreen* const Screen = &TheScreen;

TApplication::TApplication() : TComponent(nullptr) {}

void TApplication::ShowException(const std::exception& E)
{
    if (OnException) {
        OnException(E);
        return;
    }
    plat::ShowMessageBox(plat::ActiveWindow(), E.what(), FTitle, MsgBoxOk | MsgBoxIconError);
}

void TApplication::HandleException()
{
    try {
        throw;
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(Exception("Unknown exception"));
    }
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags)
{
    return plat::ShowMessageBox(plat::ActiveWindow(), Text, Caption.empty() ? FTitle : Caption, Flags);
}

void TApplication::ProcessMessages() { plat::ProcessMessages(); }

TScreen::TScreen() : TComponent(nullptr) {}
int TScreen::Width() const { return plat::ScreenWidth(); }
int TScreen::Height() const { return plat::ScreenHeight(); }
int TScreen::Depth() const { return plat::ScreenDepth(); }
int TScreen::Cursor() const { return plat::CurrentCursor(); }
void TScreen::SetCursor(int Value) { plat::SetCursor(Value); }
