// Controls: the visual component tree, its events, and the window each control gets from the
// back end in use (see toolkit/platform.h).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/geometry.h"
#include "toolkit/classes.h"
#include "toolkit/graphics.h"

class TWinControl;
class TForm;
class IWindowImpl;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
// The parent's edges a control without alignment keeps its distance to when the parent's
// client area changes size; anchored to both or neither edge of a side, it stretches or
// keeps its middle.
using TAnchors = unsigned;
constexpr TAnchors akLeft = 0x1, akTop = 0x2, akRight = 0x4, akBottom = 0x8;
// Limits of a control's size; 0 is no limit.
struct TSizeConstraints {
    int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
    friend bool operator==(const TSizeConstraints&, const TSizeConstraints&) = default;
};
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

using TShiftState = unsigned;
constexpr TShiftState ssShift = 0x01, ssAlt = 0x02, ssCtrl = 0x04, ssLeft = 0x08, ssRight = 0x10,
                      ssMiddle = 0x20, ssDouble = 0x40;

// Virtual key codes used by the toolkit itself.
constexpr std::uint16_t VK_KEY_RETURN = 13, VK_KEY_ESCAPE = 27, VK_KEY_SPACE = 32;

// Cursor identifiers (0 is the default cursor).
constexpr int crDefault = 0, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNWSE = -8,
              crSizeNS = -7, crSizeWE = -9, crHandPoint = -21, crSizeAll = -22;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent = std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseWheelUpDownEvent = std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TCanResizeEvent = std::function<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;

// Control style flags the toolkit acts on.
using TControlStyle = unsigned;
// A double click raises OnDblClick (before the press it also is).
constexpr TControlStyle csDoubleClicks = 0x1;
// The control paints every pixel of its area: the platform does not fill it with the
// control's colour first.
constexpr TControlStyle csOpaque = 0x2;

// The platform's dialog codes: which keys a focused window asks to have rather than leave to
// the dialog's own keyboard handling.
constexpr unsigned DlgWantArrows = 0x1, DlgWantTab = 0x2, DlgWantAllKeys = 0x4, DlgWantChars = 0x80;

// What a back end delivers to a control. Mouse positions are in the control's client
// coordinates.
enum class TMessageKind {
    MouseDown, MouseUp, MouseMove, MouseEnter, MouseLeave, MouseWheel,
    KeyDown, KeyUp, Char, Paint, EraseBackground, Click, Select, Close, Resize
};

struct TControlMessage {
    TMessageKind Kind = TMessageKind::Paint;
    TMouseButton Button = mbLeft;
    TShiftState Shift = 0;
    int X = 0, Y = 0;
    int WheelDelta = 0;
    std::uint16_t Key = 0; // KeyDown/KeyUp; 0 after dispatch when the control consumed it
    char Char = 0;
    int Index = -1;        // Select: the item the user picked
    TCanvas* Canvas = nullptr; // Paint: where to draw (the back end owns it)
    TRect Rect;            // EraseBackground: the area to erase, canvas coordinates
    bool Handled = false;  // MouseWheel, EraseBackground: set when the control took it
};

// A control's geometry as its stored description gave it, on a 96-dpi screen: what layout at
// any other density is computed from, so that no rounding builds up.
struct TDesignGeometry {
    TRect Bounds;
    TSizeConstraints Constraints;
    int FontHeight = 0;
    int BorderWidth = 0;
    TSize Client; // forms: the client area
    // Where the last layout put the control; one that code has placed since keeps its place.
    TRect Applied;
};

class TControl;
// Offers a wheel message at the screen point Screen to Start, then to each of its parents in
// turn (the point in that control's client coordinates) until one handles it.
void DispatchWheel(TControl* Start, TPoint Screen, TControlMessage& Message);

// Base of every visual component: position within the parent, alignment, visibility,
// colour, font and the mouse events.
class TControl : public TComponent {
public:
    VP_CLASS_NAME(TControl)
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    // The form the control sits on, walking up the parents (the control itself if a form).
    TForm* ParentForm() const;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    // Negative sizes count as 0. Realigns the parent and repaints when anything changed.
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return TRect{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    virtual int ClientWidth() const { return FWidth; }
    virtual int ClientHeight() const { return FHeight; }
    // Sizes the control so that its client area gets Value; a form gets its window first,
    // since the frame decides how much room the client area leaves.
    void SetClientWidth(int Value);
    void SetClientHeight(int Value);
    TRect ClientRect() const { return TRect{0, 0, ClientWidth(), ClientHeight()}; }
    // Screen position of the client area's top-left corner.
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(TPoint P) const;
    TPoint ScreenToClient(TPoint P) const;

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors Value);
    const TSizeConstraints& Constraints() const { return FConstraints; }
    // The present size is brought within the new limits at once.
    void SetConstraints(const TSizeConstraints& Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible and every parent up to a shown form visible.
    virtual bool Showing() const;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    int Cursor() const { return FCursor; }
    void SetCursor(int Value) { FCursor = Value; }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);

    // Marks the control for repainting; the back end sends a paint message later.
    virtual void Invalidate();
    // Marks only R (canvas coordinates of the control) for repainting, without erasing.
    virtual void InvalidateRect(const TRect& R);
    // The part of (0, 0, Width, Height) that its parents' client areas leave visible, in the
    // control's own coordinates; all of it for a control without a parent. Empty when
    // nothing of it can show.
    TRect VisibleRect() const;
    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
    // What the platform fills the control with before it paints (unless csOpaque).
    virtual TColor BackgroundColor() const { return FColor; }
    // Repaints now when a repaint is pending.
    virtual void Update();
    virtual void Repaint() { Invalidate(); Update(); }

    // Mouse capture: while held, every mouse message goes to this control.
    void SetMouseCapture(bool Value);
    bool MouseCapture() const;
    void SetCapture() { SetMouseCapture(true); }
    void ReleaseCapture() { SetMouseCapture(false); }
    bool HasCapture() const { return MouseCapture(); }

    // The density the control lays out at: its form's, 96 without one.
    int Dpi() const;
    // Value, a length on a 96-dpi screen, at the control's density.
    int Scaled(int Value) const;
    // The 96-dpi geometry kept by the form (null for controls built in code).
    const TDesignGeometry* Design() const { return FDesign.get(); }
    void SetDesign(const TDesignGeometry& Value) { FDesign = std::make_unique<TDesignGeometry>(Value); }

    // Entry point of the back ends: turns a message into the matching virtual method and
    // event. Exceptions from handlers are caught and shown through Application.
    void Dispatch(TControlMessage& Message);

    TNotifyEvent OnClick;
    TNotifyEvent OnResize;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseWheelEvent OnMouseWheel;
    // A wheel turn nobody took through OnMouseWheel: towards the user, or away.
    TMouseWheelUpDownEvent OnMouseWheelDown;
    TMouseWheelUpDownEvent OnMouseWheelUp;
    TNotifyEvent OnDblClick;
    // Asked before every change of size; may change the new size or refuse it.
    TCanResizeEvent OnCanResize;

protected:
    friend class TWinControl;
    friend class TForm;
    // The form now lays out at NewDpi: drop whatever was measured at OldDpi. Base: repaint.
    virtual void DpiChanged(int OldDpi, int NewDpi);
    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseEnter();
    virtual void MouseLeave();
    // Returns true when the wheel was handled.
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    virtual void KeyDown(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyUp(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    // Paints the control on Canvas (the base draws nothing).
    virtual void PaintControl(TCanvas& Canvas);
    // The user picked item Index (drop-down lists).
    virtual void UserSelect(int /*Index*/) {}
    virtual void Resize();
    virtual void ColorChanged() { Invalidate(); }
    virtual void FontChanged() { AdjustSize(); Invalidate(); }
    virtual void TextChanged() { AdjustSize(); Invalidate(); }
    virtual void VisibleChanged();
    virtual void EnabledChanged() { Invalidate(); }
    // Before a change of size: raises OnCanResize; false keeps the present size.
    virtual bool CanResize(int& NewWidth, int& NewHeight);
    // With AutoSize on, the size the control wants; returns false when it has no preference.
    virtual bool CanAutoSize(int& NewWidth, int& NewHeight);
    void AdjustSize();
    // Called when parent colour or font changed, so inheriting children follow.
    void ParentColorChanged();
    void ParentFontChanged();

    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;

private:
    TWinControl* FParent = nullptr;
    TAlign FAlign = alNone;
    TAnchors FAnchors = akLeft | akTop;
    TSizeConstraints FConstraints;
    // The bounds and the parent's client size the anchors are counted from: taken whenever
    // the control is placed otherwise than by its anchors.
    TRect FAnchorBounds;
    TSize FAnchorParentSize{-1, -1};
    bool FAnchoring = false;
    friend class TWinControl;
    void TakeAnchorRules();
    // Where the anchors put the control in a parent client area of the given size.
    TRect AnchoredBounds(TSize ParentClient) const;
    bool FVisible = true;
    bool FEnabled = true;
    std::string FCaption;
    TColor FColor = clBtnFace;
    bool FParentColor = false;
    TFont FFont;
    bool FParentFont = true;
    int FCursor = crDefault;
    bool FAutoSize = false;
    bool FAdjustingSize = false;
    TControlStyle FControlStyle = csDoubleClicks;
    std::unique_ptr<TDesignGeometry> FDesign;
};

// The kinds of platform window a control asks its back end for.
enum class TWindowKind { Form, Panel, Label, Button, CheckBox, ComboBox, Custom };

// A control with its own platform window and child controls.
class TWinControl : public TControl {
public:
    VP_CLASS_NAME(TWinControl)
    explicit TWinControl(TComponent* AOwner);
    // Frees the child controls (they leave their owners' lists) and the window.
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int Index) const; // raises EListError outside the range
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    // The deepest visible, enabled child at P (client coordinates), else this control.
    TControl* ControlAtPos(TPoint P);

    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value);
    int ClientWidth() const override;
    int ClientHeight() const override;
    TPoint ClientOrigin() const override;
    // Lays out the aligned children inside the client area.
    void Realign();

    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool Value) { FDoubleBuffered = Value; }
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value) { FTabStop = Value; }
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int Value) { FTabOrder = Value; }
    virtual bool CanFocus() const;
    void SetFocus();
    bool Focused() const;

    // The platform window: created on first need.
    bool HandleAllocated() const { return FImpl != nullptr; }
    IWindowImpl& WindowImpl();
    void* Handle() { return HandleNeeded(), WindowHandle(); }
    void HandleNeeded();
    // Platform window style bits (GetWindowLong(GWL_STYLE) on Windows); creates the window.
    std::uint32_t WindowStyle();
    void SetWindowStyle(std::uint32_t Style);
    // Creates the windows of this control and of all children.
    void CreateHandles();
    virtual TWindowKind WindowKind() const { return TWindowKind::Custom; }

    void Invalidate() override;
    void InvalidateRect(const TRect& R) override;
    void Update() override;
    // The platform's erase-background message for ClipRect (canvas coordinates); true when
    // the control took it. Base: true, the paint fills the background itself.
    virtual bool EraseBackground(const TRect& ClipRect);
    // The keys the control wants while focused (Dlg* flags). Base: characters only; arrows,
    // Tab, Enter and Escape stay with the dialog.
    virtual unsigned DialogCode() const { return DlgWantChars; }
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // Non-client frame the platform adds around the client area (caption, borders); none
    // before the window exists, so client sizes count the frame only from then on.
    TRect NonClientInsets() const;

protected:
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
    void KeyUp(std::uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void VisibleChanged() override;
    void Resize() override;
    bool CanAutoSize(int& NewWidth, int& NewHeight) override;
    void* WindowHandle() const;
    void FrameChanged();
    // The back end calls these to tell the control about its window's state.
    friend class TControl;

    std::vector<TControl*> FControls;

private:
    std::unique_ptr<IWindowImpl> FImpl;
    int FBorderWidth = 0;
    bool FDoubleBuffered = false;
    bool FTabStop = false;
    int FTabOrder = -1;
    bool FAligning = false;
    bool FTearingDown = false;
};

// Runs Paint with Slot pointing at Canvas, whose font becomes Font; Slot is null again
// afterwards, also when Paint throws, so no canvas outlives its paint.
template <class F>
void PaintWithCanvas(TCanvas*& Slot, TCanvas& Canvas, TFont& Font, F Paint)
{
    struct TReset {
        TCanvas*& Slot;
        ~TReset() { Slot = nullptr; }
    } reset{Slot};
    Slot = &Canvas;
    Canvas.Font.Assign(&Font);
    Paint();
}

// A windowed control that draws itself: Paint draws on Canvas (valid during painting).
class TCustomControl : public TWinControl {
public:
    VP_CLASS_NAME(TCustomControl)
    using TWinControl::TWinControl;
    TCanvas* Canvas() const { return FCanvas; }
    TNotifyEvent OnPaint;

protected:
    virtual void Paint();
    void PaintControl(TCanvas& Canvas) override;

private:
    TCanvas* FCanvas = nullptr;
};
