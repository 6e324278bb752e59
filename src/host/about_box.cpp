#include "host/about_box.h"

#include "toolkit/stdctrls.h"

const char* const AboutText =
    "Vesper filters 1.0 for Tarnwick Studio.\r\n"
    "\r\n"
    "Copyright (c) 2024-2026 Tarnwick Software\r\n"
    "All rights reserved.\r\n"
    "\r\n"
    "https://www.tarnwick.example\r\n"
    "\r\n"
    "Built with MinGW-w64 and C++20\r\n"
    "Host interface conversion by Tarnwick Software";

void TPSAboutBox::ShowText(const std::string& Text)
{
    SetPosition(poScreenCenter);
    Font().SetName("Arial");
    Font().SetSize(8);
    SetBorderWidth(12);
    SetBorderStyle(bsDialog);
    // A dialog frame without its caption: the frame stays, the title bar goes.
    SetWindowStyle(WindowStyle() & AboutStyleMask);
    FLabel = new TLabel(this);
    FLabel->SetParent(this);
    FLabel->SetCaption(Text);
    FLabel->SetAlignment(taCenter);
    FLabel->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { SetModalResult(mrOk); };
    SetAutoSize(true);
    ShowModal();
}

void TPSAboutBox::KeyDown(std::uint16_t& Key, TShiftState Shift)
{
    TForm::KeyDown(Key, Shift);
    if (Key == VK_KEY_RETURN)
        SetModalResult(mrOk);
}

void ShowAboutBox(const std::string& Text)
{
    TComponentPtr<TPSAboutBox> box(CreateComponent<TPSAboutBox>(nullptr));
    box->ShowText(Text);
}
