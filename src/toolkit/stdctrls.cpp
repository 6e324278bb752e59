#include "toolkit/stdctrls.h"

#include <algorithm>

#include "toolkit/platform.h"

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner)
{
    SetBounds(0, 0, 145, 21);
    SetColor(clWindow);
    SetTabStop(true);
}

void TComboBox::SetItems(const std::vector<std::string>& Items)
{
    FItems = Items;
    if (FItemIndex >= static_cast<int>(FItems.size()))
        FItemIndex = -1;
    if (HandleAllocated())
        WindowImpl().StateChanged();
}

void TComboBox::AddItem(const std::string& Item)
{
    FItems.push_back(Item);
    if (HandleAllocated())
        WindowImpl().StateChanged();
}

void TComboBox::ClearItems()
{
    FItems.clear();
    FItemIndex = -1;
    if (HandleAllocated())
        WindowImpl().StateChanged();
}

void TComboBox::SetItemIndex(int Value)
{
    if (Value < -1 || Value >= static_cast<int>(FItems.size()) || Value == FItemIndex)
        return;
    FItemIndex = Value;
    if (HandleAllocated())
        WindowImpl().StateChanged();
    Invalidate();
}

std::string TComboBox::Text() const
{
    return FItemIndex >= 0 ? FItems[static_cast<std::size_t>(FItemIndex)] : std::string();
}

void TComboBox::UserSelect(int Index)
{
    if (Index < 0 || Index >= static_cast<int>(FItems.size()) || !Enabled())
        return;
    // The platform reports a user's pick even when it repeats the current item.
    FItemIndex = Index;
    if (HandleAllocated())
        WindowImpl().StateChanged();
    Invalidate();
    Change();
}

void TComboBox::PaintControl(TCanvas& Canvas)
{
    TRect r = ClientRect();
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = Color();
    Canvas.FillRect(r);
    Canvas.DrawEdge(r, EdgeSunken, SideRect);
    Canvas.TextOut(Scaled(4), Scaled(3), Text());
}

void TComboBox::Change()
{
    if (OnChange)
        OnChange(this);
}

// ---------------------------------------------------------------- TPanel

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut Value)
{
    if (Value == FBevelOuter)
        return;
    FBevelOuter = Value;
    Realign();
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut Value)
{
    if (Value == FBevelInner)
        return;
    FBevelInner = Value;
    Realign();
    Invalidate();
}

void TPanel::SetBevelWidth(int Value)
{
    Value = std::max(Value, 1);
    if (Value == FBevelWidth)
        return;
    FBevelWidth = Value;
    Realign();
    Invalidate();
}

void TPanel::SetAlignment(TAlignment Value)
{
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    Invalidate();
}

int TPanel::BevelExtent() const
{
    return Scaled(((FBevelOuter != bvNone) + (FBevelInner != bvNone)) * FBevelWidth);
}

int TPanel::BevelTrail() const
{
    // Both sides together scale as the panel's width does, so that a child aligned inside
    // stays within a pixel of its 96-dpi size scaled, however deep the nesting.
    const int at96 = ((FBevelOuter != bvNone) + (FBevelInner != bvNone)) * FBevelWidth;
    return Scaled(2 * at96) - BevelExtent();
}

void TPanel::DpiChanged(int OldDpi, int NewDpi)
{
    TCustomControl::DpiChanged(OldDpi, NewDpi);
    Realign(); // the bevels take another width
}

int TPanel::ClientWidth() const { return std::max(TCustomControl::ClientWidth() - BevelExtent() - BevelTrail(), 0); }
int TPanel::ClientHeight() const { return std::max(TCustomControl::ClientHeight() - BevelExtent() - BevelTrail(), 0); }

TPoint TPanel::ClientOrigin() const
{
    TPoint p = TCustomControl::ClientOrigin();
    return TPoint{p.X + BevelExtent(), p.Y + BevelExtent()};
}

void TPanel::Paint()
{
    TCanvas& c = *Canvas();
    TRect r{0, 0, Width(), Height()};
    c.Brush.Style = bsSolid;
    c.Brush.Color = Color();
    c.FillRect(r);
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone)
            return;
        for (int i = 0, n = Scaled(FBevelWidth); i < n; ++i) {
            if (cut == bvSpace) {
                r = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
                continue;
            }
            TColor tl = cut == bvLowered ? clBtnShadow : clBtnHighlight;
            TColor br = cut == bvLowered ? clBtnHighlight : clBtnShadow;
            c.Pen.Color = tl;
            c.Polyline({{r.Left, r.Bottom - 1}, {r.Left, r.Top}, {r.Right, r.Top}});
            c.Pen.Color = br;
            c.Polyline({{r.Right - 1, r.Top + 1}, {r.Right - 1, r.Bottom - 1}, {r.Left, r.Bottom - 1}});
            r = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
        }
    };
    bevel(FBevelOuter);
    bevel(FBevelInner);
    if (!Caption().empty()) {
        TSize s = c.TextExtent(Caption());
        int x = FAlignment == taLeftJustify ? r.Left : FAlignment == taRightJustify ? r.Right - s.cx
                                                                                     : (r.Left + r.Right - s.cx) / 2;
        c.TextOut(x, (r.Top + r.Bottom - s.cy) / 2, Caption());
    }
    TCustomControl::Paint();
}

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(TComponent* AOwner) : TWinControl(AOwner)
{
    SetBounds(0, 0, 65, 17);
    SetAutoSize(true);
}

void TLabel::SetAlignment(TAlignment Value)
{
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    Invalidate();
}

void TLabel::SetLayout(TTextLayout Value)
{
    if (Value == FLayout)
        return;
    FLayout = Value;
    Invalidate();
}

TColor TLabel::BackgroundColor() const
{
    return FTransparent && Parent() ? Parent()->Color() : Color();
}

void TLabel::SetTransparent(bool Value)
{
    if (Value == FTransparent)
        return;
    FTransparent = Value;
    Invalidate();
}

bool TLabel::CanAutoSize(int& NewWidth, int& NewHeight)
{
    TSize s = plat::TextExtent(Font(), Caption());
    NewWidth = s.cx;
    NewHeight = s.cy;
    return true;
}

std::vector<TRect> TLabel::LineRects() const
{
    std::vector<std::string> lines{""};
    const std::string& t = Caption();
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' || t[i] == '\n') {
            if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n')
                ++i;
            lines.emplace_back();
        } else {
            lines.back() += t[i];
        }
    }
    int total = plat::TextExtent(Font(), t).cy;
    int y = FLayout == tlTop ? 0 : FLayout == tlBottom ? ClientHeight() - total : (ClientHeight() - total) / 2;
    std::vector<TRect> rects;
    for (const std::string& line : lines) {
        TSize s = plat::TextExtent(Font(), line);
        int x = FAlignment == taLeftJustify ? 0 : FAlignment == taRightJustify ? ClientWidth() - s.cx
                                                                                : (ClientWidth() - s.cx) / 2;
        rects.push_back(TRect{x, y, x + s.cx, y + s.cy});
        y += s.cy;
    }
    return rects;
}

void TLabel::PaintControl(TCanvas& Canvas)
{
    Canvas.Font.Assign(&Font());
    if (!FTransparent) {
        Canvas.Brush.Style = bsSolid;
        Canvas.Brush.Color = Color();
        Canvas.FillRect(ClientRect());
    }
    std::vector<TRect> rects = LineRects();
    std::size_t start = 0, n = 0;
    const std::string& t = Caption();
    for (std::size_t i = 0; i <= t.size(); ++i) {
        if (i == t.size() || t[i] == '\r' || t[i] == '\n') {
            if (n < rects.size())
                Canvas.TextOut(rects[n].Left, rects[n].Top, t.substr(start, i - start));
            ++n;
            if (i < t.size() && t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner)
{
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

void TButton::SetDefault(bool Value) { FDefault = Value; }

void TButton::Click()
{
    if (!Enabled())
        return;
    if (FModalResult != mrNone)
        if (TForm* f = ParentForm())
            f->SetModalResult(FModalResult);
    TWinControl::Click();
}

void TButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft) {
        FPressed = true;
        Invalidate();
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    bool wasPressed = FPressed && Button == mbLeft;
    if (Button == mbLeft) {
        FPressed = false;
        Invalidate();
    }
    TWinControl::MouseUp(Button, Shift, X, Y);
    // A press released outside the button is no click.
    if (wasPressed && X >= 0 && Y >= 0 && X < Width() && Y < Height())
        Click();
}

void TButton::KeyDown(std::uint16_t& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    if (Key == VK_KEY_SPACE) {
        Key = 0;
        Click();
    }
}

void TButton::PaintControl(TCanvas& Canvas)
{
    TRect r = ClientRect();
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = clBtnFace;
    Canvas.FillRect(r);
    Canvas.DrawEdge(r, FPressed ? EdgeSunken : EdgeRaised, SideRect);
    if (!Caption().empty()) {
        Canvas.Font.Assign(&Font());
        Canvas.Brush.Style = bsClear;
        const TSize s = Canvas.TextExtent(Caption());
        // A pressed button's face moves by a pixel, its caption with it.
        const int shift = FPressed ? 1 : 0;
        Canvas.TextOut((r.Left + r.Right - s.cx) / 2 + shift, (r.Top + r.Bottom - s.cy) / 2 + shift, Caption());
    }
}

// ---------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner)
{
    SetBounds(0, 0, 97, 17);
    SetTabStop(true);
}

void TCheckBox::SetChecked(bool Value)
{
    if (Value == FChecked)
        return;
    FChecked = Value;
    if (HandleAllocated())
        WindowImpl().StateChanged();
    Invalidate();
    Click();
}

void TCheckBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
        FPressed = true;
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TCheckBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    bool wasPressed = FPressed && Button == mbLeft;
    if (Button == mbLeft)
        FPressed = false;
    TWinControl::MouseUp(Button, Shift, X, Y);
    if (wasPressed && X >= 0 && Y >= 0 && X < Width() && Y < Height())
        Toggle();
}

void TCheckBox::KeyDown(std::uint16_t& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    if (Key == VK_KEY_SPACE) {
        Key = 0;
        Toggle();
    }
}

void TCheckBox::PaintControl(TCanvas& Canvas)
{
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = Color();
    Canvas.FillRect(ClientRect());
    int size = std::min(Scaled(13), Height());
    const int inset = Scaled(3), gap = Scaled(4);
    int top = (Height() - size) / 2;
    int left = FAlignment == taRightJustify ? 0 : Width() - size;
    TRect box{left, top, left + size, top + size};
    Canvas.Brush.Color = clWindow;
    Canvas.FillRect(box);
    Canvas.DrawEdge(box, EdgeSunken, SideRect);
    if (FChecked) {
        Canvas.Pen.Color = clWindowText;
        Canvas.MoveTo(left + inset, top + size / 2);
        Canvas.LineTo(left + size / 2, top + size - gap);
        Canvas.LineTo(left + size - inset, top + inset);
    }
    if (!Caption().empty()) {
        Canvas.Font.Assign(&Font());
        Canvas.Brush.Style = bsClear;
        const TSize s = Canvas.TextExtent(Caption());
        const int x = FAlignment == taRightJustify ? size + gap : Width() - size - gap - s.cx;
        Canvas.TextOut(x, (Height() - s.cy) / 2, Caption());
    }
}
