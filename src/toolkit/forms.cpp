#include "toolkit/forms.h"

#include <algorithm>
#include <vector>

#include "toolkit/application.h"
#include "toolkit/dpi.h"
#include "toolkit/formloader.h"
#include "toolkit/resources.h"
#include "toolkit/platform.h"

namespace {
// Every live form, so a destroyed control can leave whichever form has it as active control.
std::vector<TForm*>& LiveForms()
{
    static std::vector<TForm*> forms;
    return forms;
}
} // namespace

void TForm::ControlGone(TWinControl* Control)
{
    for (TForm* f : LiveForms())
        if (f->FActiveControl == Control)
            f->FActiveControl = nullptr;
}

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner)
{
    LiveForms().push_back(this);
    SetVisible(false);
    SetBounds(0, 0, 320, 240);
}

TForm::~TForm()
{
    auto& forms = LiveForms();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

void TForm::AfterConstruction()
{
    if (!OnCreate)
        return;
    try {
        OnCreate(this);
    } catch (...) {
        Application->HandleException();
    }
}

void TForm::BeforeDestruction()
{
    TWinControl::BeforeDestruction();
    if (FDestroyRun)
        return;
    FDestroyRun = true;
    if (FShown) {
        FShown = false;
        DoHide();
    }
    if (!OnDestroy)
        return;
    try {
        OnDestroy(this);
    } catch (...) {
        Application->HandleException();
    }
}

int TForm::ShowModal()
{
    if (FModal)
        throw EInvalidOperation("Cannot make a visible window modal");
    FModalResult = mrNone;
    CreateHandles();
    // The window's monitor may be of another density than the one the form was loaded at.
    FitDpi();
    AdjustSize(); // a window created just now may have brought its frame
    ApplyPosition();
    FModal = true;
    FShown = true;
    SetVisible(true);
    DoShow();
    try {
        plat::RunModalLoop(*this);
    } catch (...) {
        FModal = false;
        FShown = false;
        SetVisible(false);
        throw;
    }
    FModal = false;
    FShown = false;
    SetVisible(false);
    DoHide();
    return FModalResult;
}

void TForm::Close()
{
    if (FModal)
        FModalResult = mrCancel;
    else
        Hide();
}

void TForm::SetBorderStyle(TFormBorderStyle Value)
{
    if (Value == FBorderStyle)
        return;
    FBorderStyle = Value;
    if (HandleAllocated()) {
        std::uint32_t keep = WindowStyle() & ~(WS_STYLE_CAPTION | WS_STYLE_THICKFRAME | WS_STYLE_SYSMENU |
                                               WS_STYLE_MINIMIZEBOX | WS_STYLE_MAXIMIZEBOX | DS_STYLE_MODALFRAME);
        SetWindowStyle(keep | BorderStyleBits());
    }
}

std::uint32_t TForm::BorderStyleBits() const
{
    switch (FBorderStyle) {
    case bsNone: return 0;
    case bsSingle: return WS_STYLE_CAPTION | WS_STYLE_SYSMENU | WS_STYLE_MINIMIZEBOX | WS_STYLE_MAXIMIZEBOX;
    case bsSizeable:
        return WS_STYLE_CAPTION | WS_STYLE_THICKFRAME | WS_STYLE_SYSMENU | WS_STYLE_MINIMIZEBOX | WS_STYLE_MAXIMIZEBOX;
    case bsDialog: return WS_STYLE_CAPTION | WS_STYLE_SYSMENU | DS_STYLE_MODALFRAME;
    case bsToolWindow: return WS_STYLE_CAPTION | WS_STYLE_SYSMENU;
    case bsSizeToolWin: return WS_STYLE_CAPTION | WS_STYLE_THICKFRAME | WS_STYLE_SYSMENU;
    }
    return 0;
}

void TForm::SetActiveControl(TWinControl* Control)
{
    if (Control == FActiveControl)
        return;
    TWinControl* old = FActiveControl;
    FActiveControl = Control;
    if (old && old->OnExit)
        old->OnExit(old);
    if (Control && Control->OnEnter)
        Control->OnEnter(Control);
}

bool TForm::DialogKey(std::uint16_t Key, TShiftState)
{
    if (Key != VK_KEY_RETURN && Key != VK_KEY_ESCAPE)
        return false;
    // A focused button takes Enter itself.
    if (Key == VK_KEY_RETURN)
        if (auto* b = dynamic_cast<IDialogButton*>(FActiveControl)) {
            b->ClickByKey();
            return true;
        }
    IDialogButton* found = nullptr;
    // Search the control tree: buttons need not be owned by the form.
    std::vector<TWinControl*> stack{this};
    while (!stack.empty() && !found) {
        TWinControl* w = stack.back();
        stack.pop_back();
        for (int i = w->ControlCount() - 1; i >= 0; --i) {
            TControl* c = w->Controls(i);
            if (auto* b = dynamic_cast<IDialogButton*>(c);
                b && c->Visible() && c->Enabled() && (Key == VK_KEY_RETURN ? b->IsDefault() : b->IsCancel())) {
                found = b;
                break;
            }
            if (auto* cw = dynamic_cast<TWinControl*>(c); cw && cw->Visible())
                stack.push_back(cw);
        }
    }
    if (!found)
        return false;
    found->ClickByKey();
    return true;
}

void TForm::PaintControl(TCanvas& Canvas)
{
    PaintWithCanvas(FCanvas, Canvas, Font(), [this] { Paint(); });
}

void TForm::VisibleChanged()
{
    if (Visible())
        CreateHandles();
    TWinControl::VisibleChanged();
}

void TForm::Paint()
{
    if (OnPaint)
        OnPaint(this);
}

void TForm::DoShow()
{
    if (OnShow)
        OnShow(this);
}

void TForm::DoHide()
{
    if (OnHide)
        OnHide(this);
}

void TForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FActiveControl)
        FActiveControl = nullptr;
}

void TForm::ApplyPosition()
{
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
    case poMainFormCenter:
    case poOwnerFormCenter:
        SetBounds((plat::ScreenWidth() - Width()) / 2, (plat::ScreenHeight() - Height()) / 2, Width(), Height());
        break;
    default: break;
    }
}

std::string TForm::HandlerKey(const std::string& Name)
{
    std::string k = Name;
    for (char& c : k)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return k;
}

const std::any* TForm::FindHandler(const std::string& Name) const
{
    auto it = FHandlers.find(HandlerKey(Name));
    return it == FHandlers.end() ? nullptr : &it->second;
}

void TForm::LoadFromDescription(const std::string& Text) { LoadFormDescription(*this, Text); }

void TForm::LoadFromResource(const std::string& Name) { LoadFromDescription(LoadRawResource(Name)); }

void TForm::BindFields()
{
    for (auto& [key, field] : FFields) {
        TComponent* c = FindComponent(field.Name);
        if (!c)
            throw EFormDescriptionError("Field " + field.Name + " of " + ClassName() + " is not in the form description");
        if (!field.Bind(c))
            throw EFormDescriptionError("Field " + field.Name + " of " + ClassName() + " does not fit the " +
                                        c->ClassName() + " of the form description");
    }
}

namespace {

TDesignGeometry GeometryOf(TControl& C)
{
    TDesignGeometry d;
    d.Bounds = C.BoundsRect();
    d.Constraints = C.Constraints();
    d.FontHeight = C.Font().Height();
    if (auto* w = dynamic_cast<TWinControl*>(&C))
        d.BorderWidth = w->BorderWidth();
    d.Applied = d.Bounds;
    return d;
}

TSizeConstraints ScaledConstraints(const TSizeConstraints& K, int Dpi)
{
    return TSizeConstraints{ScaleForDpi(K.MinWidth, Dpi), ScaleForDpi(K.MinHeight, Dpi),
                            ScaleForDpi(K.MaxWidth, Dpi), ScaleForDpi(K.MaxHeight, Dpi)};
}

TRect ScaledRect(const TRect& R, int Dpi)
{
    // Edges scale, not sizes, so that neighbours that touch at 96 dpi still touch.
    return TRect{ScaleForDpi(R.Left, Dpi), ScaleForDpi(R.Top, Dpi), ScaleForDpi(R.Right, Dpi),
                 ScaleForDpi(R.Bottom, Dpi)};
}

void TellDpiChanged(TControl& C, int OldDpi, int NewDpi, void (*Tell)(TControl&, int, int))
{
    Tell(C, OldDpi, NewDpi);
    if (auto* w = dynamic_cast<TWinControl*>(&C))
        for (int i = 0; i < w->ControlCount(); ++i)
            TellDpiChanged(*w->Controls(i), OldDpi, NewDpi, Tell);
}

void RealignTree(TWinControl& W)
{
    W.Realign();
    for (int i = 0; i < W.ControlCount(); ++i)
        if (auto* c = dynamic_cast<TWinControl*>(W.Controls(i)))
            RealignTree(*c);
}

} // namespace

void TForm::TakeDesign()
{
    TDesignGeometry d = GeometryOf(*this);
    if (HandleAllocated()) {
        d.Client = TSize{ClientWidth(), ClientHeight()};
    } else {
        // The frame comes with the window; the description counts it at 96 dpi.
        const TRect frame = plat::FrameInsetsForDpi(*this, DesignDpi);
        d.Client = TSize{std::max(Width() - frame.Left - frame.Right - 2 * BorderWidth(), 0),
                         std::max(Height() - frame.Top - frame.Bottom - 2 * BorderWidth(), 0)};
    }
    SetDesign(d);
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TControl*>(Components(i)))
            c->SetDesign(GeometryOf(*c));
}

void TForm::ScaleToDpi(int Dpi)
{
    if (Dpi <= 0 || Dpi == FDpi)
        return;
    if (!Design())
        TakeDesign();
    // Which controls code has placed since the last layout, decided before anything moves.
    std::vector<TControl*> laidOut;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TControl*>(Components(i)); c && c->Design())
            if (c->Align() != alNone || c->BoundsRect() == c->Design()->Applied)
                laidOut.push_back(c);
    const int old = FDpi;
    FDpi = Dpi;
    const TDesignGeometry& d = *Design();
    Font().SetHeight(ScaleForDpi(d.FontHeight, Dpi));
    SetBorderWidth(ScaleForDpi(d.BorderWidth, Dpi));
    TellDpiChanged(*this, old, Dpi, [](TControl& C, int O, int N) { C.DpiChanged(O, N); });
    SetConstraints(ScaledConstraints(d.Constraints, Dpi));
    const TRect frame = plat::FrameInsetsForDpi(*this, Dpi);
    SetBounds(Left(), Top(),
              ScaleForDpi(d.Client.cx, Dpi) + frame.Left + frame.Right + 2 * BorderWidth(),
              ScaleForDpi(d.Client.cy, Dpi) + frame.Top + frame.Bottom + 2 * BorderWidth());
    // Creation order puts parents before their children, so each control is placed in a
    // parent that already has its final size.
    for (TControl* c : laidOut) {
        const TDesignGeometry& g = *c->Design();
        c->SetConstraints(ScaledConstraints(g.Constraints, Dpi));
        const TRect r = ScaledRect(g.Bounds, Dpi);
        c->SetBounds(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
        if (!c->ParentFont())
            c->Font().SetHeight(ScaleForDpi(g.FontHeight, Dpi));
        if (auto* w = dynamic_cast<TWinControl*>(c))
            w->SetBorderWidth(ScaleForDpi(g.BorderWidth, Dpi));
        // A control sized by its content (a label's caption) measures it in the new font.
        c->AdjustSize();
    }
    RealignTree(*this);
    for (TControl* c : laidOut) {
        TDesignGeometry g = *c->Design();
        g.Applied = c->BoundsRect();
        c->SetDesign(g);
    }
    Invalidate();
}

void TForm::FitDpi() { ScaleToDpi(plat::FormDpi(*this)); }

void TForm::DpiChangedByPlatform(int Dpi, const TRect& Suggested)
{
    ScaleToDpi(Dpi);
    SetBounds(Suggested.Left, Suggested.Top, Suggested.Right - Suggested.Left, Suggested.Bottom - Suggested.Top);
}
