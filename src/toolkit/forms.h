// Forms: top-level windows run modally, with creation, destroy and paint handlers.
#pragma once
#include <string>

#include "toolkit/controls.h"

class TForm;

// Modal results.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
              mrYes = 6, mrNo = 7;

enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
                 poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };

// The form class handed around as a "class reference": creates a form with the given owner,
// its creation handler already run.
using TFormClass = TForm* (*)(TComponent* Owner);

// A form factory for the form class F: new F(Owner), then AfterConstruction.
template <class F>
TForm* CreateFormOf(TComponent* Owner)
{
    return CreateComponent<F>(Owner);
}

class TForm : public TWinControl {
public:
    VP_CLASS_NAME(TForm)
    // An empty form: no controls, hidden. Derived forms build or load their controls in
    // their constructors; OnCreate runs afterwards (AfterConstruction).
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    // Runs OnCreate; an exception from it is shown through Application and creation goes on.
    void AfterConstruction() override;
    // Runs OnDestroy the same way, while the derived form is still whole.
    void BeforeDestruction() override;

    // Shows the form and runs the modal loop until ModalResult is not 0; hides the form and
    // returns the result. ModalResult is reset to 0 first.
    int ShowModal();
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int Value) { FModalResult = Value; }
    bool Modal() const { return FModal; }
    // Closing through the window system: a modal form ends with mrCancel.
    void Close();

    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle Value) { FFormStyle = Value; }
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool Value) { FKeyPreview = Value; }
    // The platform style bits of this border style.
    std::uint32_t BorderStyleBits() const;

    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* Control);
    bool Showing() const override { return Visible(); }
    TWindowKind WindowKind() const override { return TWindowKind::Form; }
    // The canvas during painting (null outside OnPaint).
    TCanvas* Canvas() const { return FCanvas; }

    // Dialog keys after the focused control had its key: Escape clicks the cancel button,
    // Enter the default button. Returns true when a button took the key.
    bool DialogKey(std::uint16_t Key, TShiftState Shift);

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnPaint;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

protected:
    void PaintControl(TCanvas& Canvas) override;
    virtual void Paint();
    virtual void DoShow();
    virtual void DoHide();
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Places the form according to Position before it is shown.
    void ApplyPosition();

private:
    friend class TFormAccess;
    int FModalResult = mrNone;
    bool FModal = false;
    bool FShown = false;
    bool FDestroyRun = false;
    TPosition FPosition = poDesigned;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TFormStyle FFormStyle = fsNormal;
    int FPixelsPerInch = 96;
    bool FKeyPreview = false;
    TWinControl* FActiveControl = nullptr;
    TCanvas* FCanvas = nullptr;
};

// Buttons register here so the form can find its default and cancel buttons.
class IDialogButton {
public:
    virtual ~IDialogButton() = default;
    virtual bool IsDefault() const = 0;
    virtual bool IsCancel() const = 0;
    virtual void ClickByKey() = 0;
};
