// The about box of the transfer filter: centred text in a frame without a title bar.
#pragma once
#include <cstdint>
#include <string>

#include "toolkit/forms.h"

class TLabel;

class TPSAboutBox : public TForm {
public:
    VP_CLASS_NAME(TPSAboutBox)
    using TForm::TForm;
    // Lays the box out around Text and runs it until a press on the text or Enter.
    void ShowText(const std::string& Text);
    // The label holding the text (null before ShowText).
    TLabel* TextLabel() const { return FLabel; }

protected:
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;

private:
    TLabel* FLabel = nullptr;
};

// Title-bar bits a dialog frame carries; the box keeps everything else of its style.
constexpr std::uint32_t AboutStyleMask = 0xFF3FFFFFu;

// The nine lines the host shows for the plug-in.
extern const char* const AboutText;

// Creates an unowned box, shows Text in it and frees it when it closes.
void ShowAboutBox(const std::string& Text);
