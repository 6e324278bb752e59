#include "toolkit/controls.h"

#include <algorithm>

#include "bitmap/low_level.h"
#include "toolkit/application.h"
#include "toolkit/dpi.h"
#include "toolkit/forms.h"
#include "toolkit/platform.h"

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner)
{
    FFont.OnChange = [this](TObject*) {
        FParentFont = false;
        if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
            w->WindowImpl().StateChanged();
        FontChanged();
        if (auto* w = dynamic_cast<TWinControl*>(this))
            for (TControl* c : w->FControls)
                c->ParentFontChanged();
    };
}

TControl::~TControl()
{
    if (FParent)
        FParent->RemoveControl(this);
}

void DispatchWheel(TControl* Start, TPoint Screen, TControlMessage& Message)
{
    for (TControl* c = Start; c; c = c->Parent()) {
        TPoint l = c->ScreenToClient(Screen);
        Message.X = l.X;
        Message.Y = l.Y;
        Message.Handled = false;
        c->Dispatch(Message);
        if (Message.Handled)
            break;
    }
}

void TControl::SetParent(TWinControl* AParent)
{
    if (AParent == FParent)
        return;
    if (AParent == this)
        throw EInvalidOperation("A control cannot have itself as its parent");
    if (FParent)
        FParent->RemoveControl(this);
    if (AParent) {
        AParent->InsertControl(this);
        TakeAnchorRules();
        if (FParentColor)
            ParentColorChanged();
        if (FParentFont)
            ParentFontChanged();
    }
}

TForm* TControl::ParentForm() const
{
    const TControl* c = this;
    while (c) {
        if (auto* f = dynamic_cast<const TForm*>(c))
            return const_cast<TForm*>(f);
        c = c->FParent;
    }
    return nullptr;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if ((AWidth != FWidth || AHeight != FHeight) && !CanResize(AWidth, AHeight)) {
        AWidth = FWidth;
        AHeight = FHeight;
    }
    if (FConstraints.MaxWidth > 0)
        AWidth = std::min(AWidth, FConstraints.MaxWidth);
    if (FConstraints.MaxHeight > 0)
        AHeight = std::min(AHeight, FConstraints.MaxHeight);
    AWidth = std::max({AWidth, FConstraints.MinWidth, 0});
    AHeight = std::max({AHeight, FConstraints.MinHeight, 0});
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) {
        if (!FAnchoring)
            TakeAnchorRules();
        return;
    }
    bool resized = AWidth != FWidth || AHeight != FHeight;
    if (FParent)
        FParent->Invalidate(); // the old place needs repainting
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (!FAnchoring)
        TakeAnchorRules();
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        w->WindowImpl().BoundsChanged();
    if (resized)
        Resize();
    if (FParent && FAlign != alNone)
        FParent->Realign();
    if (FParent && FParent->AutoSize())
        FParent->AdjustSize();
    Invalidate();
}

int TControl::Dpi() const
{
    const TForm* f = ParentForm();
    return f ? f->CurrentDpi() : DesignDpi;
}

int TControl::Scaled(int Value) const { return ScaleForDpi(Value, Dpi()); }

void TControl::DpiChanged(int /*OldDpi*/, int /*NewDpi*/) { Invalidate(); }

void TControl::SetClientWidth(int Value)
{
    if (auto* f = dynamic_cast<TForm*>(this))
        f->HandleNeeded();
    SetWidth(FWidth - ClientWidth() + Value);
}

void TControl::SetClientHeight(int Value)
{
    if (auto* f = dynamic_cast<TForm*>(this))
        f->HandleNeeded();
    SetHeight(FHeight - ClientHeight() + Value);
}

TPoint TControl::ClientOrigin() const
{
    if (!FParent)
        return TPoint{FLeft, FTop};
    TPoint p = FParent->ClientOrigin();
    return TPoint{p.X + FLeft, p.Y + FTop};
}

TPoint TControl::ClientToScreen(TPoint P) const
{
    TPoint o = ClientOrigin();
    return TPoint{P.X + o.X, P.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint P) const
{
    TPoint o = ClientOrigin();
    return TPoint{P.X - o.X, P.Y - o.Y};
}

void TControl::SetAnchors(TAnchors Value)
{
    FAnchors = Value & (akLeft | akTop | akRight | akBottom);
    TakeAnchorRules();
}

void TControl::SetConstraints(const TSizeConstraints& Value)
{
    FConstraints = Value;
    SetBounds(FLeft, FTop, FWidth, FHeight);
}

void TControl::TakeAnchorRules()
{
    FAnchorBounds = BoundsRect();
    FAnchorParentSize = FParent ? TSize{FParent->ClientWidth(), FParent->ClientHeight()} : TSize{-1, -1};
}

TRect TControl::AnchoredBounds(TSize ParentClient) const
{
    TRect r = FAnchorBounds;
    if (FAnchorParentSize.cx < 0)
        return r;
    // One axis: near and far anchors give the edges that keep their distance.
    auto follow = [](int& Lo, int& Hi, int Delta, bool Near, bool Far) {
        if (Near && Far)
            Hi += Delta;
        else if (Far) {
            Lo += Delta;
            Hi += Delta;
        } else if (!Near) {
            Lo += Delta / 2;
            Hi += Delta / 2;
        }
    };
    follow(r.Left, r.Right, ParentClient.cx - FAnchorParentSize.cx, FAnchors & akLeft, FAnchors & akRight);
    follow(r.Top, r.Bottom, ParentClient.cy - FAnchorParentSize.cy, FAnchors & akTop, FAnchors & akBottom);
    return r;
}

void TControl::SetAlign(TAlign Value)
{
    if (Value == FAlign)
        return;
    FAlign = Value;
    if (FParent)
        FParent->Realign();
}

void TControl::SetVisible(bool Value)
{
    if (Value == FVisible)
        return;
    FVisible = Value;
    VisibleChanged();
}

void TControl::VisibleChanged()
{
    if (FParent) {
        FParent->Realign();
        if (FParent->AutoSize())
            FParent->AdjustSize();
        FParent->Invalidate();
    }
}

bool TControl::Showing() const
{
    return FVisible && FParent && FParent->Showing();
}

void TControl::SetEnabled(bool Value)
{
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        w->WindowImpl().EnabledChanged();
    EnabledChanged();
}

void TControl::SetCaption(const std::string& Value)
{
    if (Value == FCaption)
        return;
    FCaption = Value;
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        w->WindowImpl().TextChanged();
    TextChanged();
}

void TControl::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    FParentColor = false;
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        if (w->HandleAllocated())
            w->WindowImpl().StateChanged();
        for (TControl* c : w->FControls)
            if (c->FParentColor)
                c->ParentColorChanged();
    }
    ColorChanged();
}

void TControl::SetParentColor(bool Value)
{
    if (Value == FParentColor)
        return;
    FParentColor = Value;
    if (Value)
        ParentColorChanged();
}

void TControl::ParentColorChanged()
{
    if (!FParentColor || !FParent)
        return;
    SetColor(FParent->Color());
    FParentColor = true;
}

void TControl::SetParentFont(bool Value)
{
    if (Value == FParentFont)
        return;
    FParentFont = Value;
    if (Value)
        ParentFontChanged();
}

void TControl::ParentFontChanged()
{
    if (!FParentFont || !FParent)
        return;
    FFont.Assign(&FParent->Font()); // the change handler clears FParentFont ...
    FParentFont = true;            // ... which still holds: the font is the parent's
    if (auto* w = dynamic_cast<TWinControl*>(this))
        for (TControl* c : w->FControls)
            c->ParentFontChanged();
}

void TControl::SetAutoSize(bool Value)
{
    if (Value == FAutoSize)
        return;
    FAutoSize = Value;
    if (Value)
        AdjustSize();
}

bool TControl::CanAutoSize(int&, int&) { return false; }

void TControl::AdjustSize()
{
    if (!FAutoSize || FAdjustingSize)
        return;
    int w = FWidth, h = FHeight;
    if (!CanAutoSize(w, h))
        return;
    FAdjustingSize = true;
    try {
        SetBounds(FLeft, FTop, w, h);
    } catch (...) {
        FAdjustingSize = false;
        throw;
    }
    FAdjustingSize = false;
}

void TControl::Invalidate()
{
    // A control without a window of its own is painted by its parent.
    if (FParent)
        FParent->Invalidate();
}

void TControl::InvalidateRect(const TRect&)
{
    // Drawn by its parent, which is repainted whole as for Invalidate.
    Invalidate();
}

TRect TControl::VisibleRect() const
{
    // Screen coordinates of the control's own area, cut by each parent's client area in turn.
    const TPoint o = TControl::ClientOrigin();
    TRect r{o.X, o.Y, o.X + FWidth, o.Y + FHeight};
    for (const TWinControl* p = FParent; p; p = p->Parent()) {
        const TPoint c = p->ClientOrigin();
        const TRect client{c.X, c.Y, c.X + p->ClientWidth(), c.Y + p->ClientHeight()};
        if (!IntersectRects(r, r, client) || RectIsEmpty(r))
            return TRect{};
    }
    OffsetRectBy(r, -o.X, -o.Y);
    return r;
}

void TControl::Update()
{
    if (FParent)
        FParent->Update();
}

void TControl::SetMouseCapture(bool Value)
{
    auto* w = dynamic_cast<TWinControl*>(this);
    if (!w)
        return;
    if (Value)
        plat::SetCapture(w);
    else if (plat::CaptureControl() == w)
        plat::ReleaseCapture();
}

bool TControl::MouseCapture() const { return plat::CaptureControl() == this; }

void TControl::Dispatch(TControlMessage& M)
{
    try {
        switch (M.Kind) {
        case TMessageKind::MouseDown:
            if ((M.Shift & ssDouble) && M.Button == mbLeft && (FControlStyle & csDoubleClicks))
                DblClick();
            MouseDown(M.Button, M.Shift, M.X, M.Y);
            break;
        case TMessageKind::MouseUp: MouseUp(M.Button, M.Shift, M.X, M.Y); break;
        case TMessageKind::MouseMove: MouseMove(M.Shift, M.X, M.Y); break;
        case TMessageKind::MouseEnter: MouseEnter(); break;
        case TMessageKind::MouseLeave: MouseLeave(); break;
        case TMessageKind::MouseWheel:
            M.Handled = DoMouseWheel(M.Shift, M.WheelDelta, TPoint{M.X, M.Y});
            break;
        case TMessageKind::KeyDown: {
            std::uint16_t key = M.Key;
            TForm* form = ParentForm();
            if (form && form != this && form->KeyPreview())
                static_cast<TWinControl*>(form)->KeyDown(key, M.Shift);
            if (key)
                KeyDown(key, M.Shift);
            if (key && form && form->DialogKey(key, M.Shift))
                key = 0;
            M.Key = key;
            break;
        }
        case TMessageKind::KeyUp: {
            std::uint16_t key = M.Key;
            KeyUp(key, M.Shift);
            M.Key = key;
            break;
        }
        case TMessageKind::Char: KeyPress(M.Char); break;
        case TMessageKind::Paint:
            if (M.Canvas)
                PaintControl(*M.Canvas);
            break;
        case TMessageKind::EraseBackground:
            if (auto* w = dynamic_cast<TWinControl*>(this))
                M.Handled = w->EraseBackground(M.Rect);
            break;
        case TMessageKind::Click: Click(); break;
        case TMessageKind::Select: UserSelect(M.Index); break;
        case TMessageKind::Close:
            if (auto* f = dynamic_cast<TForm*>(this))
                f->Close();
            break;
        case TMessageKind::Resize: Resize(); break;
        }
    } catch (...) {
        Application->HandleException();
    }
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

bool TControl::CanResize(int& NewWidth, int& NewHeight)
{
    bool resize = true;
    if (OnCanResize)
        OnCanResize(this, NewWidth, NewHeight, resize);
    return resize;
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y)
{
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TControl::MouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos)
{
    bool handled = false;
    if (OnMouseWheel)
        OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
    if (!handled && WheelDelta < 0 && OnMouseWheelDown)
        OnMouseWheelDown(this, Shift, MousePos, handled);
    else if (!handled && WheelDelta > 0 && OnMouseWheelUp)
        OnMouseWheelUp(this, Shift, MousePos, handled);
    return handled;
}

void TControl::KeyDown(std::uint16_t&, TShiftState) {}
void TControl::KeyUp(std::uint16_t&, TShiftState) {}
void TControl::KeyPress(char&) {}
void TControl::PaintControl(TCanvas&) {}

void TControl::Resize()
{
    if (OnResize)
        OnResize(this);
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl()
{
    FTearingDown = true;
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        RemoveControl(c);
        TComponent::Free(c);
    }
    TForm::ControlGone(this);
    plat::ControlDestroyed(*this);
    FImpl.reset();
}

TControl* TWinControl::Controls(int Index) const
{
    if (Index < 0 || Index >= ControlCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FControls[static_cast<std::size_t>(Index)];
}

void TWinControl::InsertControl(TControl* AControl)
{
    if (!AControl || AControl->FParent == this)
        return;
    FControls.push_back(AControl);
    AControl->FParent = this;
    if (HandleAllocated())
        if (auto* w = dynamic_cast<TWinControl*>(AControl))
            w->CreateHandles();
    if (AControl->Align() != alNone)
        Realign();
    if (AutoSize())
        AdjustSize();
    Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl)
{
    auto it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it == FControls.end())
        return;
    FControls.erase(it);
    AControl->FParent = nullptr;
    if (TForm* f = ParentForm(); f && f->ActiveControl() == AControl)
        f->SetActiveControl(nullptr);
    if (!FTearingDown && !Destroying()) {
        Realign();
        if (AutoSize())
            AdjustSize();
        Invalidate();
    }
}

TControl* TWinControl::ControlAtPos(TPoint P)
{
    // Later children lie on top, so search from the end.
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!c->Visible() || !c->Enabled())
            continue;
        if (P.X < c->Left() || P.Y < c->Top() || P.X >= c->Left() + c->Width() || P.Y >= c->Top() + c->Height())
            continue;
        if (auto* w = dynamic_cast<TWinControl*>(c)) {
            TPoint o = w->ClientOrigin(), mine = ClientOrigin();
            return w->ControlAtPos(TPoint{P.X + mine.X - o.X, P.Y + mine.Y - o.Y});
        }
        return c;
    }
    return this;
}

void TWinControl::SetBorderWidth(int Value)
{
    Value = std::max(Value, 0);
    if (Value == FBorderWidth)
        return;
    FBorderWidth = Value;
    Realign();
    AdjustSize();
    Invalidate();
}

TRect TWinControl::NonClientInsets() const
{
    return FImpl ? FImpl->NonClientInsets() : TRect{};
}

int TWinControl::ClientWidth() const
{
    TRect n = NonClientInsets();
    return std::max(FWidth - n.Left - n.Right - 2 * FBorderWidth, 0);
}

int TWinControl::ClientHeight() const
{
    TRect n = NonClientInsets();
    return std::max(FHeight - n.Top - n.Bottom - 2 * FBorderWidth, 0);
}

TPoint TWinControl::ClientOrigin() const
{
    TRect n = NonClientInsets();
    TPoint p = TControl::ClientOrigin();
    return TPoint{p.X + n.Left + FBorderWidth, p.Y + n.Top + FBorderWidth};
}

void TWinControl::Realign()
{
    if (FAligning || FTearingDown)
        return;
    FAligning = true;
    try {
        TRect r = ClientRect();
        auto place = [&](TAlign a, auto less) {
            std::vector<TControl*> list;
            for (TControl* c : FControls)
                if (c->Visible() && c->Align() == a)
                    list.push_back(c);
            std::stable_sort(list.begin(), list.end(), less);
            for (TControl* c : list) {
                switch (a) {
                case alTop:
                    c->SetBounds(r.Left, r.Top, r.Width(), c->Height());
                    r.Top += c->Height();
                    break;
                case alBottom:
                    c->SetBounds(r.Left, r.Bottom - c->Height(), r.Width(), c->Height());
                    r.Bottom -= c->Height();
                    break;
                case alLeft:
                    c->SetBounds(r.Left, r.Top, c->Width(), r.Height());
                    r.Left += c->Width();
                    break;
                case alRight:
                    c->SetBounds(r.Right - c->Width(), r.Top, c->Width(), r.Height());
                    r.Right -= c->Width();
                    break;
                case alClient:
                    c->SetBounds(r.Left, r.Top, r.Width(), r.Height());
                    break;
                default: break;
                }
            }
        };
        place(alTop, [](TControl* a, TControl* b) { return a->Top() < b->Top(); });
        place(alBottom, [](TControl* a, TControl* b) { return a->Top() + a->Height() > b->Top() + b->Height(); });
        place(alLeft, [](TControl* a, TControl* b) { return a->Left() < b->Left(); });
        place(alRight, [](TControl* a, TControl* b) { return a->Left() + a->Width() > b->Left() + b->Width(); });
        place(alClient, [](TControl*, TControl*) { return false; });
        // Unaligned children follow the edges they are anchored to.
        const TSize client{ClientWidth(), ClientHeight()};
        for (TControl* c : FControls) {
            if (c->Align() != alNone || c->Anchors() == (akLeft | akTop) || c->FAnchorParentSize.cx < 0)
                continue;
            const TRect b = c->AnchoredBounds(client);
            c->FAnchoring = true;
            try {
                c->SetBounds(b.Left, b.Top, b.Width(), b.Height());
            } catch (...) {
                c->FAnchoring = false;
                throw;
            }
            c->FAnchoring = false;
        }
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
}

void TWinControl::Resize()
{
    Realign();
    TControl::Resize();
}

bool TWinControl::CanAutoSize(int& NewWidth, int& NewHeight)
{
    // Shrinks or grows to the visible children plus the frame and border width.
    int right = 0, bottom = 0;
    bool any = false;
    for (TControl* c : FControls) {
        if (!c->Visible())
            continue;
        any = true;
        right = std::max(right, c->Left() + c->Width());
        bottom = std::max(bottom, c->Top() + c->Height());
    }
    if (!any)
        return false;
    TRect n = NonClientInsets();
    NewWidth = right + n.Left + n.Right + 2 * FBorderWidth;
    NewHeight = bottom + n.Top + n.Bottom + 2 * FBorderWidth;
    return true;
}

bool TWinControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return true;
}

void TWinControl::SetFocus()
{
    TForm* f = ParentForm();
    if (f && f != this)
        f->SetActiveControl(this);
    if (FImpl)
        FImpl->SetFocus();
}

bool TWinControl::Focused() const
{
    TForm* f = ParentForm();
    return f && f->ActiveControl() == this;
}

IWindowImpl& TWinControl::WindowImpl()
{
    HandleNeeded();
    return *FImpl;
}

void TWinControl::HandleNeeded()
{
    if (FImpl)
        return;
    if (Parent())
        Parent()->HandleNeeded(); // a child window needs its parent's first
    if (FImpl)
        return;
    FImpl = plat::CreateWindowImpl(*this);
    FrameChanged();
}

void TWinControl::FrameChanged()
{
    // The frame the window brought (or a new style) changes the client area.
    TRect n = FImpl ? FImpl->NonClientInsets() : TRect{};
    if (n == TRect{})
        return;
    Realign();
    AdjustSize();
}

void* TWinControl::WindowHandle() const { return FImpl ? FImpl->Handle() : nullptr; }

std::uint32_t TWinControl::WindowStyle() { return WindowImpl().Style(); }

void TWinControl::SetWindowStyle(std::uint32_t Style)
{
    TRect before = NonClientInsets();
    WindowImpl().SetStyle(Style);
    if (!(NonClientInsets() == before)) {
        Realign();
        AdjustSize();
        Invalidate();
    }
}

void TWinControl::CreateHandles()
{
    HandleNeeded();
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c))
            w->CreateHandles();
}

void TWinControl::Invalidate()
{
    if (FImpl)
        FImpl->Invalidate();
}

void TWinControl::InvalidateRect(const TRect& R)
{
    if (FImpl && !RectIsEmpty(R))
        FImpl->InvalidateRect(R);
}

bool TWinControl::EraseBackground(const TRect&) { return true; }

void TWinControl::Update()
{
    if (FImpl)
        FImpl->Update();
}

void TWinControl::VisibleChanged()
{
    if (FImpl)
        FImpl->VisibleChanged();
    TControl::VisibleChanged();
}

void TWinControl::KeyDown(std::uint16_t& Key, TShiftState Shift)
{
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(std::uint16_t& Key, TShiftState Shift)
{
    if (OnKeyUp)
        OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key)
{
    if (OnKeyPress)
        OnKeyPress(this, Key);
}

// ---------------------------------------------------------------- TCustomControl

void TCustomControl::PaintControl(TCanvas& Canvas)
{
    PaintWithCanvas(FCanvas, Canvas, Font(), [this] { Paint(); });
}

void TCustomControl::Paint()
{
    if (OnPaint)
        OnPaint(this);
}
