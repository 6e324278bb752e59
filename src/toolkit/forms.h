// Forms: top-level windows run modally, with creation, destroy and paint handlers.
#pragma once
#include <any>
#include <functional>
#include <map>
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
    // Called as a control is destroyed: no form keeps it as its active control.
    static void ControlGone(TWinControl* Control);
    void SetActiveControl(TWinControl* Control);
    bool Showing() const override { return Visible(); }
    TWindowKind WindowKind() const override { return TWindowKind::Form; }
    // The canvas during painting (null outside OnPaint).
    TCanvas* Canvas() const { return FCanvas; }

    // The density the form and its controls are laid out at (96 until scaled).
    int CurrentDpi() const { return FDpi; }
    // Keeps the present geometry of the form and of its controls as their 96-dpi geometry
    // (the loader does this once the description is loaded).
    void TakeDesign();
    // Lays the form and its controls out at Dpi from their 96-dpi geometry: bounds, size
    // limits, fonts and border widths, the client area scaled and the platform's frame at
    // Dpi around it. The form keeps its position; a control that code has placed since the
    // last layout keeps its place. Nothing happens at the present density.
    void ScaleToDpi(int Dpi);
    // Lays out at the density the platform reports for the form.
    void FitDpi();
    // The window went to a monitor of another density: lays out at Dpi and takes the window
    // bounds the platform suggests (screen coordinates).
    void DpiChangedByPlatform(int Dpi, const TRect& Suggested);

    // Dialog keys after the focused control had its key: Escape clicks the cancel button,
    // Enter the default button. Returns true when a button took the key.
    bool DialogKey(std::uint16_t Key, TShiftState Shift);

    // Handlers a stored description may name ("OnClick = Button4Click"). Other handler types
    // (the widgets' own events) go through RegisterHandlerOf<EventType>.
    void RegisterHandler(const std::string& Name, TNotifyEvent Handler) { RegisterHandlerOf<TNotifyEvent>(Name, std::move(Handler)); }
    void RegisterHandler(const std::string& Name, TMouseEvent Handler) { RegisterHandlerOf<TMouseEvent>(Name, std::move(Handler)); }
    void RegisterHandler(const std::string& Name, TMouseMoveEvent Handler) { RegisterHandlerOf<TMouseMoveEvent>(Name, std::move(Handler)); }
    void RegisterHandler(const std::string& Name, TMouseWheelEvent Handler) { RegisterHandlerOf<TMouseWheelEvent>(Name, std::move(Handler)); }
    void RegisterHandler(const std::string& Name, TKeyEvent Handler) { RegisterHandlerOf<TKeyEvent>(Name, std::move(Handler)); }
    void RegisterHandler(const std::string& Name, TKeyPressEvent Handler) { RegisterHandlerOf<TKeyPressEvent>(Name, std::move(Handler)); }
    template <class E>
    void RegisterHandlerOf(const std::string& Name, std::type_identity_t<E> Handler)
    {
        FHandlers[HandlerKey(Name)] = std::any(E(std::move(Handler)));
    }
    // Null when no handler of that name is registered.
    const std::any* FindHandler(const std::string& Name) const;

    // A published field: after loading, Slot points at the component of that name, which
    // must exist and be a T (else EFormDescriptionError).
    template <class T>
    void RegisterField(const std::string& Name, T*& Slot)
    {
        FFields[HandlerKey(Name)] = {Name, [&Slot](TComponent* C) {
                                         Slot = dynamic_cast<T*>(C);
                                         return Slot != nullptr;
                                     }};
    }
    // Builds the controls from a description (see toolkit/formloader.h).
    void LoadFromDescription(const std::string& Text);
    // The same from the raw-data resource Name ("TNOISEFORM").
    void LoadFromResource(const std::string& Name);
    // Fills the registered fields; raises EFormDescriptionError for a missing or mistyped one.
    void BindFields();

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnPaint;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

protected:
    void PaintControl(TCanvas& Canvas) override;
    // A form shown gets its windows.
    void VisibleChanged() override;
    virtual void Paint();
    virtual void DoShow();
    virtual void DoHide();
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Places the form according to Position before it is shown.
    void ApplyPosition();

private:
    friend class TFormAccess;
    static std::string HandlerKey(const std::string& Name);
    struct TField {
        std::string Name;
        std::function<bool(TComponent*)> Bind;
    };
    std::map<std::string, std::any> FHandlers;
    std::map<std::string, TField> FFields;
    int FModalResult = mrNone;
    bool FModal = false;
    bool FShown = false;
    bool FDestroyRun = false;
    TPosition FPosition = poDesigned;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TFormStyle FFormStyle = fsNormal;
    int FPixelsPerInch = 96;
    int FDpi = 96;
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
