// The about box: a small modal box of centred text, built in code, without a title bar.
#pragma once
#include <cstdint>
#include <string>

#include "toolkit/forms.h"

class TLabel;

class TPSAboutBox : public TForm {
public:
    VP_CLASS_NAME(TPSAboutBox)
    explicit TPSAboutBox(TComponent* AOwner);

    // Lays the box out around Text and runs it modally; returns when the box closes.
    void ShowText(const std::string& Text);
    // The label ShowText made (null before).
    TLabel* TextLabel() const { return FLabel; }

protected:
    // Enter closes the box, after the form's own key handling.
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;

private:
    TLabel* FLabel = nullptr;
};

// Window-style mask that removes the border-line and dialog-frame bits, which together make
// the title bar.
constexpr std::uint32_t AboutBoxStyleMask = 0xFF3FFFFFu;

// Creates an about box with no owner, shows Text in it, and destroys it afterwards.
void ShowAboutBox(const std::string& Text);

// The module's about text: nine lines joined by CR LF.
extern const char* const AboutText;
