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

// What a back end delivers to a control. Mouse positions are in the control's client
// coordinates.
enum class TMessageKind {
    MouseDown, MouseUp, MouseMove, MouseEnter, MouseLeave, MouseWheel,
    KeyDown, KeyUp, Char, Paint, Click, Select, Close, Resize
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
    bool Handled = false;  // MouseWheel: set when a handler took the wheel
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
    // Repaints now when a repaint is pending.
    virtual void Update();
    virtual void Repaint() { Invalidate(); Update(); }

    // Mouse capture: while held, every mouse message goes to this control.
    void SetMouseCapture(bool Value);
    bool MouseCapture() const;
    void SetCapture() { SetMouseCapture(true); }
    void ReleaseCapture() { SetMouseCapture(false); }
    bool HasCapture() const { return MouseCapture(); }

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

protected:
    friend class TWinControl;
    virtual void Click();
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
    void Update() override;
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
