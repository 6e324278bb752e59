// Self-drawn bar controls: the arrow-bar base with buttons, track, handle, press-and-hold
// repeat and hover; the integer slider (gauge bar) and the scroll bar over a range.
//
// The one-pixel border is drawn by the bar itself, not by the platform: mouse messages
// arrive relative to the window's top-left corner and the bar turns them into client
// coordinates (the window shrunk by the border). ZoneAt, ZoneRect, TrackRect and
// HandleRect all speak client coordinates.
#pragma once
#include <cstdint>
#include <functional>

#include "toolkit/controls.h"
#include "toolkit/timers.h"

class TTimer;

enum TRBBackgnd { bgPattern = 0, bgSolid = 1 };
enum TRBStyle { rbsDefault = 0, rbsMac = 1 };
enum TScrollBarKind { sbHorizontal = 0, sbVertical = 1 };

constexpr int ZONE_NONE = 0, ZONE_BUTTON1 = 1, ZONE_TRACK1 = 2, ZONE_HANDLE = 3, ZONE_TRACK2 = 4,
              ZONE_BUTTON2 = 5;
constexpr int DIR_LEFT = 0, DIR_UP = 1, DIR_RIGHT = 2, DIR_DOWN = 3;
constexpr int TIMER_FIRST_DELAY = 1, TIMER_REPEAT = 2, TIMER_HOVER = 3;

// --- drawing routines (colours may name system colours; results are plain colours)
// Adds D to red, green and blue, each clamped to 0..255.
TColor ShiftColor(TColor C, int D);
// Per channel (W * a + (255 - W) * b) shr 8; W of 256 or more raises EAssertionFailed.
TColor BlendColors(TColor A, TColor B, int W);
// Solid C1 when both colours are equal, otherwise the 8 x 8 checker of C1 and C2.
void FillWithPattern(TCanvas& Canvas, const TRect& R, TColor C1, TColor C2);
// Sides: 1 left, 2 top, 4 right, 8 bottom; drawn top, bottom, left, right, each shrinking R.
void DrawEdgeLines(TCanvas& Canvas, TRect& R, unsigned Sides, TColor Color);
// A filled triangle pointing in Direction, centred in R.
void DrawArrowGlyph(TCanvas& Canvas, const TRect& R, int Direction, TColor Color);
// Light along the left and top, Dark along the right and bottom; with Shrink R loses the ring.
void DrawBevel(TCanvas& Canvas, TRect& R, TColor Light, TColor Dark, bool Shrink);

class TArrowBar : public TCustomControl {
public:
    VP_CLASS_NAME(TArrowBar)
    explicit TArrowBar(TComponent* AOwner);
    ~TArrowBar() override;

    TRBBackgnd Backgnd() const { return FBackgnd; }
    void SetBackgnd(TRBBackgnd Value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    int ButtonSize() const { return FButtonSize; }
    void SetButtonSize(int Value);
    TColor HandleColor() const { return FHandleColor; }
    void SetHandleColor(TColor Value);
    TColor ButtonColor() const { return FButtonColor; }
    void SetButtonColor(TColor Value);
    TColor HighLightColor() const { return FHighLightColor; }
    void SetHighLightColor(TColor Value);
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor Value);
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor Value);
    TScrollBarKind Kind() const { return FKind; }
    void SetKind(TScrollBarKind Value);
    bool ShowArrows() const { return FShowArrows; }
    void SetShowArrows(bool Value);
    bool ShowHandleGrip() const { return FShowHandleGrip; }
    void SetShowHandleGrip(bool Value);
    TRBStyle Style() const { return FStyle; }
    void SetStyle(TRBStyle Value);

    // While set, the setters skip the corrections that only make sense once every stored
    // property is in place (a stored Min may arrive before its Max).
    bool Loading() const { return FLoading; }
    void SetLoading(bool Value) { FLoading = Value; }

    // The window shrunk by the border on every side.
    int ClientWidth() const override;
    int ClientHeight() const override;
    // A one-pixel line on a 96-dpi screen, as thick as that at the form's density.
    int BorderSize() const { return FBorderStyle == bsSingle ? Scaled(1) : 0; }

    bool UserChange() const { return FUserChange; }
    int DragZone() const { return FDragZone; }
    int HotZone() const { return FHotZone; }
    int TimerMode() const { return FTimerMode; }
    TTimer* RepeatTimer() const { return FRepeatTimer; }
    TPoint DragStart() const { return FDragStart; }

    int EffectiveButtonSize() const;
    TRect TrackRect() const;
    // Empty (all 0) in the base.
    virtual TRect HandleRect() const;
    virtual bool IsEnabled() const;
    int ZoneAt(int X, int Y) const;
    TRect ZoneRect(int Zone) const;

    TNotifyEvent OnChange;
    TNotifyEvent OnUserChange;

protected:
    bool Horizontal() const { return FKind == sbHorizontal; }
    // Length of the client along the bar and across it.
    int ClientLength() const { return Horizontal() ? ClientWidth() : ClientHeight(); }
    int ClientThickness() const { return Horizontal() ? ClientHeight() : ClientWidth(); }
    // The last mouse position seen, in client coordinates (the cursor while the bar has it).
    TPoint CursorPos() const { return FCursorPos; }
    // The cursor clamped into the client rectangle.
    TPoint ClampedCursor() const;

    virtual void DoChange();
    // Rectangles are in canvas (window) coordinates.
    virtual void DrawButton(TCanvas& Canvas, TRect R, int Direction, bool Pushed, bool Enabled, bool Hot);
    virtual void DrawHandle(TCanvas& Canvas, TRect R, bool Horizontal, bool Pushed, bool Hot);
    virtual void DrawTrack(TCanvas& Canvas, TRect R, int Direction, bool Pushed, bool Enabled, bool Hot);
    virtual void TimerTick();

    void StartRepeat();
    void StartHover();
    void StopTimer();

    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseLeave() override;

    // The base part of a press, with client coordinates.
    void BarPress(TMouseButton Button, TShiftState Shift, int X, int Y);
    void SetDragZone(int Zone) { FDragZone = Zone; }
    // Runs Action with UserChange set, so the position changes it makes count as the user's.
    void AsUserChange(const std::function<void()>& Action);
    // How far the cursor has moved along the bar since the press.
    int DragDistance() const;
    // One press-and-hold step for DragZone, as the user's change. Step(Sign, Large) moves the
    // position by one small (button) or large (track) step towards Sign and says whether it
    // moved; a button that no longer moves the position gives way to the hover check, a track
    // stops paging once the handle has reached the cursor.
    void RepeatStep(const std::function<bool(int Sign, bool Large)>& Step);

    float FPositionAtDragStart = 0;

private:
    void DrawMacHandle(TCanvas& Canvas, TRect R, bool Horizontal, bool Pushed);
    // Setters that compare first, then store and repaint (and, for layout fields, resize).
    template <class T>
    void SetField(T& Field, T Value);
    template <class T>
    void SetLayoutField(T& Field, T Value);
    TPoint ToClient(int X, int Y) const;

    TRBBackgnd FBackgnd = bgPattern;
    TBorderStyle FBorderStyle = bsSingle;
    int FButtonSize = 0;
    TColor FHandleColor = clBtnShadow;
    TColor FButtonColor = clBtnFace;
    TColor FHighLightColor = clBtnHighlight;
    TColor FShadowColor = clBtnShadow;
    TColor FBorderColor = clWindowFrame;
    TScrollBarKind FKind = sbHorizontal;
    bool FShowArrows = true;
    bool FShowHandleGrip = true;
    TRBStyle FStyle = rbsDefault;
    bool FLoading = false;
    bool FUserChange = false;
    int FDragZone = ZONE_NONE;
    int FHotZone = ZONE_NONE;
    TTimer* FRepeatTimer = nullptr;
    int FTimerMode = 0;
    TPoint FDragStart;
    TPoint FCursorPos{-1, -1};
};

// A scroll bar over Range units, Window of them visible, with a fractional Position.
class TCustomRangeBar : public TArrowBar {
public:
    VP_CLASS_NAME(TCustomRangeBar)
    explicit TCustomRangeBar(TComponent* AOwner);

    bool Centered() const { return FCentered; }
    void SetCentered(bool Value) { FCentered = Value; }
    int Range() const { return FRange; }
    void SetRange(int Value) { SetParams(Value, FWindow); }
    int Window() const { return FWindow; }
    void SetWindow(int Value) { SetParams(FRange, Value); }
    // Window when above 0, else the bar's length.
    int EffectiveWindow() const { return FEffectiveWindow; }
    int Increment() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = static_cast<std::int16_t>(Value); }
    float Position() const { return FPosition; }
    void SetPosition(float Value);
    // Range and window at once; keeps the view's centre when Centered. Raises no OnChange.
    void SetParams(int NewRange, int NewWindow);

    TRect HandleRect() const override;
    bool IsEnabled() const override;

protected:
    void ClampPosition();
    void TimerTick() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void Resize() override;
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

private:
    // The shortest handle: 17 pixels on a 96-dpi screen.
    int MinHandleLength() const { return Scaled(17); }
    void UpdateEffectiveWindow();
    // Position so that the centre stays at the same fraction of the range.
    void KeepCentre(int OldWindow, int OldRange);

    bool FCentered = false;
    int FRange = 0;
    int FWindow = 0;
    int FEffectiveWindow = 0;
    std::int16_t FIncrement = 8;
    float FPosition = 0;
};

// An integer slider between Min and Max.
class TCustomGaugeBar : public TArrowBar {
public:
    VP_CLASS_NAME(TCustomGaugeBar)
    explicit TCustomGaugeBar(TComponent* AOwner);

    int HandleSize() const { return FHandleSize; }
    void SetHandleSize(int Value);
    int LargeChange() const { return FLargeChange; }
    void SetLargeChange(int Value) { FLargeChange = Value < 1 ? 1 : Value; }
    int SmallChange() const { return FSmallChange; }
    void SetSmallChange(int Value) { FSmallChange = Value < 1 ? 1 : Value; }
    int Max() const { return FMax; }
    void SetMax(int Value);
    int Min() const { return FMin; }
    void SetMin(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);

    // HandleSize (a length on a 96-dpi screen) at the form's density, or the client thickness
    // when 0, kept below the track length.
    int EffectiveHandleSize() const;
    TRect HandleRect() const override;

protected:
    void TimerTick() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;

private:
    int FHandleSize = 0;
    int FLargeChange = 1;
    int FSmallChange = 1;
    int FMax = 100;
    int FMin = 0;
    int FPosition = 0;
};

// The slider of the dialogs; stored forms create it by the kind name "TGaugeBar".
class TGaugeBar : public TCustomGaugeBar {
public:
    VP_CLASS_NAME(TGaugeBar)
    using TCustomGaugeBar::TCustomGaugeBar;
};

// Registers "TGaugeBar" with its stored properties and events; safe to call repeatedly.
void RegisterGaugeBarKind();

// Forwards the appearance of a master bar to it and to a slave bar.
class TArrowBarAccess : public TPersistent {
public:
    VP_CLASS_NAME(TArrowBarAccess)
    TArrowBar* Master() const { return FMaster; }
    void SetMaster(TArrowBar* Value) { FMaster = Value; }
    TArrowBar* Slave() const { return FSlave; }
    void SetSlave(TArrowBar* Value) { FSlave = Value; }

    TColor Color() const { return FMaster ? FMaster->Color() : clScrollBar; }
    void SetColor(TColor Value) { Both(&TArrowBar::SetColor, Value); }
    TRBBackgnd Backgnd() const { return FMaster ? FMaster->Backgnd() : bgPattern; }
    void SetBackgnd(TRBBackgnd Value) { Both(&TArrowBar::SetBackgnd, Value); }
    int ButtonSize() const { return FMaster ? FMaster->ButtonSize() : 0; }
    void SetButtonSize(int Value) { Both(&TArrowBar::SetButtonSize, Value); }
    TColor HandleColor() const { return FMaster ? FMaster->HandleColor() : clBtnShadow; }
    void SetHandleColor(TColor Value) { Both(&TArrowBar::SetHandleColor, Value); }
    TColor ButtonColor() const { return FMaster ? FMaster->ButtonColor() : clBtnFace; }
    void SetButtonColor(TColor Value) { Both(&TArrowBar::SetButtonColor, Value); }
    TColor HighLightColor() const { return FMaster ? FMaster->HighLightColor() : clBtnHighlight; }
    void SetHighLightColor(TColor Value) { Both(&TArrowBar::SetHighLightColor, Value); }
    TColor ShadowColor() const { return FMaster ? FMaster->ShadowColor() : clBtnShadow; }
    void SetShadowColor(TColor Value) { Both(&TArrowBar::SetShadowColor, Value); }
    TColor BorderColor() const { return FMaster ? FMaster->BorderColor() : clWindowFrame; }
    void SetBorderColor(TColor Value) { Both(&TArrowBar::SetBorderColor, Value); }
    bool ShowArrows() const { return FMaster ? FMaster->ShowArrows() : true; }
    void SetShowArrows(bool Value) { Both(&TArrowBar::SetShowArrows, Value); }
    bool ShowHandleGrip() const { return FMaster ? FMaster->ShowHandleGrip() : true; }
    void SetShowHandleGrip(bool Value) { Both(&TArrowBar::SetShowHandleGrip, Value); }
    TRBStyle Style() const { return FMaster ? FMaster->Style() : rbsDefault; }
    void SetStyle(TRBStyle Value) { Both(&TArrowBar::SetStyle, Value); }

private:
    template <class Setter, class V>
    void Both(Setter S, V Value)
    {
        if (!FMaster)
            return;
        (FMaster->*S)(Value);
        if (FSlave)
            (FSlave->*S)(Value);
    }
    TArrowBar* FMaster = nullptr;
    TArrowBar* FSlave = nullptr;
};
