#include "entry/about_box.h"

#include "toolkit/stdctrls.h"

const char* const AboutText =
    "Vesper Filters for Photoshop version 1.0\r\n"
    "\r\n"
    "Copyright (c) 2004-2026 Vesper Software Works\r\n"
    "All rights reserved.\r\n"
    "\r\n"
    "http://www.vesperworks.example\r\n"
    "\r\n"
    "Developed with GNU C++ (MinGW-w64)\r\n"
    "Host API conversion by Vesper Works";

TPSAboutBox::TPSAboutBox(TComponent* AOwner) : TForm(AOwner) {}

void TPSAboutBox::ShowText(const std::string& Text)
{
    SetPosition(poScreenCenter);
    Font().SetName("Arial");
    Font().SetSize(8);
    SetBorderWidth(12);
    SetBorderStyle(bsDialog);
    SetWindowStyle(WindowStyle() & AboutBoxStyleMask);

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
