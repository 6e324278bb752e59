// Standard controls: panel, label, button, check box and drop-down list.
#pragma once
#include <string>
#include <vector>

#include "toolkit/forms.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TTextLayout { tlTop, tlCenter, tlBottom };

// Container with optional outer and inner bevels and a centred caption.
class TPanel : public TCustomControl {
public:
    VP_CLASS_NAME(TPanel)
    explicit TPanel(TComponent* AOwner);
    TWindowKind WindowKind() const override { return TWindowKind::Panel; }
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    // Pixels the bevels take on each side (children align inside them). BevelWidth is a
    // width on a 96-dpi screen; the bevels scale with the form's density.
    int BevelExtent() const;
    // What they take on the right and at the bottom: the same at 96 dpi, one less where a
    // scaled width falls between two pixels.
    int BevelTrail() const;
    int ClientWidth() const override;
    int ClientHeight() const override;
    TPoint ClientOrigin() const override;

protected:
    void Paint() override;
    void DpiChanged(int OldDpi, int NewDpi) override;

private:
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    TAlignment FAlignment = taCenter;
};

// Static text; with AutoSize (on by default) it takes the size of its caption.
class TLabel : public TWinControl {
public:
    VP_CLASS_NAME(TLabel)
    explicit TLabel(TComponent* AOwner);
    TWindowKind WindowKind() const override { return TWindowKind::Label; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    // A transparent label shows its parent's colour behind the text.
    TColor BackgroundColor() const override;
    bool CanFocus() const override { return false; }
    // The caption's lines laid out in the client area, as painting places them.
    std::vector<TRect> LineRects() const;

protected:
    bool CanAutoSize(int& NewWidth, int& NewHeight) override;
    void PaintControl(TCanvas& Canvas) override;

private:
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    bool FTransparent = false;
};

// Push button: a click (mouse released over it, Space, or Enter/Escape as the form's
// default/cancel button) runs OnClick and sets the form's ModalResult when it has one.
class TButton : public TWinControl, public IDialogButton {
public:
    VP_CLASS_NAME(TButton)
    explicit TButton(TComponent* AOwner);
    TWindowKind WindowKind() const override { return TWindowKind::Button; }
    bool Cancel() const { return FCancel; }
    void SetCancel(bool Value) { FCancel = Value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int Value) { FModalResult = Value; }
    bool Pressed() const { return FPressed; }

    bool IsDefault() const override { return FDefault; }
    bool IsCancel() const override { return FCancel; }
    void ClickByKey() override { Click(); }
    // Clicks as the user would (also when called from code).
    void Click() override;

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
    void PaintControl(TCanvas& Canvas) override;

private:
    bool FCancel = false;
    bool FDefault = false;
    bool FPressed = false;
    int FModalResult = mrNone;
};

// Check box: OnClick runs whenever Checked changes (by the user or by code), never when it
// is set to the value it has.
class TCheckBox : public TWinControl {
public:
    VP_CLASS_NAME(TCheckBox)
    explicit TCheckBox(TComponent* AOwner);
    TWindowKind WindowKind() const override { return TWindowKind::CheckBox; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { FAlignment = Value; Invalidate(); }

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
    void PaintControl(TCanvas& Canvas) override;
    // The user toggled the box.
    virtual void Toggle() { SetChecked(!FChecked); }

private:
    bool FChecked = false;
    bool FPressed = false;
    TAlignment FAlignment = taRightJustify;
};

// Drop-down list: the user picks one of Items; code setting ItemIndex raises no event.
class TComboBox : public TWinControl {
public:
    VP_CLASS_NAME(TComboBox)
    explicit TComboBox(TComponent* AOwner);
    TWindowKind WindowKind() const override { return TWindowKind::ComboBox; }

    const std::vector<std::string>& Items() const { return FItems; }
    void SetItems(const std::vector<std::string>& Items);
    void AddItem(const std::string& Item);
    void ClearItems();
    int ItemIndex() const { return FItemIndex; }
    // -1 selects nothing; other values outside the list are ignored. No OnChange.
    void SetItemIndex(int Value);
    std::string Text() const;

    TNotifyEvent OnChange;

protected:
    void UserSelect(int Index) override;
    void PaintControl(TCanvas& Canvas) override;
    virtual void Change();

private:
    std::vector<std::string> FItems;
    int FItemIndex = -1;
};
