#include "widgets/range_bars.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "toolkit/formloader.h"
#include "toolkit/platform.h"
#include "toolkit/timers.h"

namespace {

// Round to nearest, ties to even, of Num / Den (Den > 0).
int RoundDiv(std::int64_t Num, std::int64_t Den)
{
    std::int64_t q = Num / Den, r = Num % Den;
    if (r < 0) {
        --q;
        r += Den;
    }
    // Now Num = q * Den + r with 0 <= r < Den.
    std::int64_t twice = 2 * r;
    if (twice > Den || (twice == Den && (q & 1)))
        ++q;
    return static_cast<int>(q);
}

int RoundEven(double V) { return static_cast<int>(std::nearbyint(V)); }

bool IsEmpty(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }

TRect Offset(TRect R, int Dx, int Dy) { return TRect{R.Left + Dx, R.Top + Dy, R.Right + Dx, R.Bottom + Dy}; }

// Coordinates along a bar (x when horizontal, y when vertical) and rectangles built from them.
int StartOf(bool Horizontal, const TRect& R) { return Horizontal ? R.Left : R.Top; }
int EndOf(bool Horizontal, const TRect& R) { return Horizontal ? R.Right : R.Bottom; }
int LengthOf(bool Horizontal, const TRect& R) { return EndOf(Horizontal, R) - StartOf(Horizontal, R); }
int Along(bool Horizontal, TPoint P) { return Horizontal ? P.X : P.Y; }
// From Start to End along the bar; across it the extent of Across.
TRect Span(bool Horizontal, const TRect& Across, int Start, int End)
{
    return Horizontal ? TRect{Start, Across.Top, End, Across.Bottom} : TRect{Across.Left, Start, Across.Right, End};
}

void Fill(TCanvas& Canvas, const TRect& R, TColor Color)
{
    if (IsEmpty(R))
        return;
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = Color;
    Canvas.FillRect(R);
}

void Line(TCanvas& Canvas, const std::vector<TPoint>& Points, TColor Color)
{
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Width = 1;
    Canvas.Pen.Color = Color;
    Canvas.Polyline(Points);
}

} // namespace

// ---------------------------------------------------------------- drawing routines

TColor ShiftColor(TColor C, int D)
{
    std::uint32_t rgb = ColorToRGB(C);
    auto ch = [&](int Shift) { return std::clamp(static_cast<int>((rgb >> Shift) & 0xFF) + D, 0, 255) << Shift; };
    return static_cast<TColor>(ch(0) | ch(8) | ch(16));
}

TColor BlendColors(TColor A, TColor B, int W)
{
    if (W >= 256 || W < 0)
        throw EAssertionFailed("Assertion failure", "range_bars", __LINE__);
    std::uint32_t a = ColorToRGB(A), b = ColorToRGB(B);
    auto ch = [&](int Shift) {
        std::uint32_t ca = (a >> Shift) & 0xFF, cb = (b >> Shift) & 0xFF;
        return ((W * ca + (255 - W) * cb) >> 8) << Shift;
    };
    return static_cast<TColor>(ch(0) | ch(8) | ch(16));
}

void FillWithPattern(TCanvas& Canvas, const TRect& R, TColor C1, TColor C2)
{
    if (IsEmpty(R))
        return;
    TBrush old = Canvas.Brush;
    if (C1 == C2) {
        Canvas.Brush.Style = bsSolid;
        Canvas.Brush.Color = C1;
    } else {
        // Checker: C1 where x + y is even.
        static const std::uint8_t rows[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
        Canvas.Brush.Color = C1;
        Canvas.Brush.SetPattern(rows, C2);
    }
    Canvas.FillRect(R);
    Canvas.Brush = old;
}

void DrawEdgeLines(TCanvas& Canvas, TRect& R, unsigned Sides, TColor Color)
{
    if (Sides & 2) {
        Fill(Canvas, TRect{R.Left, R.Top, R.Right, R.Top + 1}, Color);
        ++R.Top;
    }
    if (Sides & 8) {
        Fill(Canvas, TRect{R.Left, R.Bottom - 1, R.Right, R.Bottom}, Color);
        --R.Bottom;
    }
    if (Sides & 1) {
        Fill(Canvas, TRect{R.Left, R.Top, R.Left + 1, R.Bottom}, Color);
        ++R.Left;
    }
    if (Sides & 4) {
        Fill(Canvas, TRect{R.Right - 1, R.Top, R.Right, R.Bottom}, Color);
        --R.Right;
    }
}

void DrawArrowGlyph(TCanvas& Canvas, const TRect& R, int Direction, TColor Color)
{
    int cx = (R.Left + R.Right - 1) / 2;
    int cy = (R.Top + R.Bottom - 1) / 2;
    int s = 3 * std::min(cx - R.Left, cy - R.Top) / 4 - 1;
    if (s == 0)
        s = 1;
    int d = (Direction == DIR_LEFT || Direction == DIR_UP) ? (s + 1) / 3 : s / 3;
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Width = 1;
    Canvas.Pen.Color = Color;
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = Color;
    switch (Direction) {
    case DIR_UP:
        cy += d;
        Canvas.Polygon({{cx + s, cy}, {cx, cy - s}, {cx - s, cy}});
        break;
    case DIR_DOWN:
        cy -= d;
        Canvas.Polygon({{cx + s, cy}, {cx, cy + s}, {cx - s, cy}});
        break;
    case DIR_LEFT:
        cx += d;
        Canvas.Polygon({{cx, cy + s}, {cx - s, cy}, {cx, cy - s}});
        break;
    default:
        cx -= d;
        Canvas.Polygon({{cx, cy + s}, {cx + s, cy}, {cx, cy - s}});
        break;
    }
}

void DrawBevel(TCanvas& Canvas, TRect& R, TColor Light, TColor Dark, bool Shrink)
{
    TRect start = R;
    int right = R.Right - 1, bottom = R.Bottom - 1;
    Line(Canvas, {{R.Left, bottom}, {R.Left, R.Top}, {right, R.Top}}, Light);
    Line(Canvas, {{right, R.Top}, {right, bottom}, {R.Left, bottom}}, Dark);
    if (Shrink)
        R = TRect{start.Left + 1, start.Top + 1, start.Right - 1, start.Bottom - 1};
    else
        R = start;
}

// ---------------------------------------------------------------- TArrowBar

TArrowBar::TArrowBar(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetColor(clScrollBar);
    SetParentColor(false);
    // Buttons, track and handle cover the whole bar, border included; no double clicks.
    SetControlStyle(csOpaque);
    SetBounds(Left(), Top(), 100, 16);
    FRepeatTimer = new TTimer(this);
    FRepeatTimer->SetOnTimer([this](TObject*) { TimerTick(); });
}

TArrowBar::~TArrowBar()
{
    // The owned timer outlives this part of the object; keep it from calling back.
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer->SetOnTimer(nullptr);
}

template <class T>
void TArrowBar::SetField(T& Field, T Value)
{
    if (Field == Value)
        return;
    Field = Value;
    Invalidate();
}

template <class T>
void TArrowBar::SetLayoutField(T& Field, T Value)
{
    if (Field == Value)
        return;
    Field = Value;
    // The client area or the direction along it changes.
    Resize();
    Invalidate();
}

void TArrowBar::SetBackgnd(TRBBackgnd Value) { SetField(FBackgnd, Value); }
void TArrowBar::SetBorderStyle(TBorderStyle Value) { SetLayoutField(FBorderStyle, Value); }
void TArrowBar::SetButtonSize(int Value) { SetField(FButtonSize, Value); }
void TArrowBar::SetHandleColor(TColor Value) { SetField(FHandleColor, Value); }
void TArrowBar::SetButtonColor(TColor Value) { SetField(FButtonColor, Value); }
void TArrowBar::SetHighLightColor(TColor Value) { SetField(FHighLightColor, Value); }
void TArrowBar::SetShadowColor(TColor Value) { SetField(FShadowColor, Value); }
void TArrowBar::SetBorderColor(TColor Value) { SetField(FBorderColor, Value); }
void TArrowBar::SetKind(TScrollBarKind Value) { SetLayoutField(FKind, Value); }
void TArrowBar::SetShowArrows(bool Value) { SetField(FShowArrows, Value); }
void TArrowBar::SetShowHandleGrip(bool Value) { SetField(FShowHandleGrip, Value); }

void TArrowBar::SetStyle(TRBStyle Value)
{
    FStyle = Value;
    Invalidate();
}

int TArrowBar::ClientWidth() const { return std::max(Width() - 2 * BorderSize(), 0); }
int TArrowBar::ClientHeight() const { return std::max(Height() - 2 * BorderSize(), 0); }

TPoint TArrowBar::ToClient(int X, int Y) const { return TPoint{X - BorderSize(), Y - BorderSize()}; }

TPoint TArrowBar::ClampedCursor() const
{
    return TPoint{std::clamp(FCursorPos.X, 0, std::max(ClientWidth() - 1, 0)),
                  std::clamp(FCursorPos.Y, 0, std::max(ClientHeight() - 1, 0))};
}

int TArrowBar::EffectiveButtonSize() const
{
    if (!FShowArrows)
        return 0;
    int length = ClientLength();
    // ButtonSize and the automatic limit are lengths on a 96-dpi screen.
    int b = FButtonSize != 0 ? Scaled(FButtonSize) : std::min(ClientThickness(), Scaled(32));
    if (length <= 2 * b)
        b = length / 2;
    if (FStyle == rbsMac)
        b -= Scaled(1);
    return b < 2 ? 0 : b;
}

TRect TArrowBar::TrackRect() const
{
    int b = EffectiveButtonSize();
    return Span(Horizontal(), TRect{0, 0, ClientWidth(), ClientHeight()}, b, ClientLength() - b);
}

TRect TArrowBar::HandleRect() const { return TRect{}; }

bool TArrowBar::IsEnabled() const { return Enabled(); }

int TArrowBar::ZoneAt(int X, int Y) const
{
    if (X < 0 || Y < 0 || X >= ClientWidth() || Y >= ClientHeight())
        return ZONE_NONE;
    const bool h = Horizontal();
    int p = Along(h, TPoint{X, Y});
    int length = ClientLength();
    int b = EffectiveButtonSize();
    if (b > 0) {
        if (p < b)
            return ZONE_BUTTON1;
        if (p >= length - b)
            return ZONE_BUTTON2;
    }
    TRect handle = HandleRect();
    if (X >= handle.Left && X < handle.Right && Y >= handle.Top && Y < handle.Bottom)
        return ZONE_HANDLE;
    if (p > 0 && p < StartOf(h, handle))
        return ZONE_TRACK1;
    if (p >= EndOf(h, handle) && p < length - 1)
        return ZONE_TRACK2;
    return ZONE_NONE;
}

TRect TArrowBar::ZoneRect(int Zone) const
{
    const bool horizontal = Horizontal();
    const TRect client{0, 0, ClientWidth(), ClientHeight()};
    const int b = EffectiveButtonSize(), length = ClientLength();
    switch (Zone) {
    case ZONE_BUTTON1:
        return Span(horizontal, client, 0, b);
    case ZONE_BUTTON2:
        return Span(horizontal, client, length - b, length);
    case ZONE_TRACK1:
    case ZONE_TRACK2:
    case ZONE_HANDLE: {
        TRect t = TrackRect();
        TRect h = HandleRect();
        if (!IsEnabled() || IsEmpty(h)) {
            int mx = (t.Left + t.Right) / 2, my = (t.Top + t.Bottom) / 2;
            h = TRect{mx, my, mx, my};
        }
        if (Zone == ZONE_HANDLE)
            return h;
        if (Zone == ZONE_TRACK1)
            return Span(horizontal, t, StartOf(horizontal, t), StartOf(horizontal, h));
        return Span(horizontal, t, EndOf(horizontal, h), EndOf(horizontal, t));
    }
    default:
        return TRect{};
    }
}

void TArrowBar::DoChange()
{
    if (OnChange)
        OnChange(this);
    if (FUserChange && OnUserChange)
        OnUserChange(this);
}

void TArrowBar::StartRepeat()
{
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer->SetInterval(600);
    FTimerMode = TIMER_REPEAT;
    TimerTick(); // the first step happens on the press itself
    FTimerMode = TIMER_FIRST_DELAY;
    FRepeatTimer->SetEnabled(true);
}

void TArrowBar::StartHover()
{
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer->SetInterval(150);
    FTimerMode = TIMER_HOVER;
    FRepeatTimer->SetEnabled(true);
}

void TArrowBar::StopTimer()
{
    FRepeatTimer->SetEnabled(false);
    FHotZone = ZONE_NONE;
    Invalidate();
}

void TArrowBar::TimerTick()
{
    if (FTimerMode == TIMER_FIRST_DELAY) {
        FRepeatTimer->SetInterval(100);
        FTimerMode = TIMER_REPEAT;
    } else if (FTimerMode == TIMER_HOVER) {
        // Where the pointer really is: it may have left without the bar seeing a move.
        const TPoint screen = plat::CursorPos();
        const TPoint p = ToClient(screen.X - TControl::ClientOrigin().X, screen.Y - TControl::ClientOrigin().Y);
        if (p.X < 0 || p.Y < 0 || p.X >= ClientWidth() || p.Y >= ClientHeight()) {
            StopTimer();
            Invalidate();
        }
    }
}

void TArrowBar::AsUserChange(const std::function<void()>& Action)
{
    FUserChange = true;
    try {
        Action();
    } catch (...) {
        FUserChange = false;
        throw;
    }
    FUserChange = false;
}

int TArrowBar::DragDistance() const
{
    return Along(Horizontal(), FCursorPos) - Along(Horizontal(), FDragStart);
}

void TArrowBar::RepeatStep(const std::function<bool(int Sign, bool Large)>& Step)
{
    AsUserChange([&] {
        switch (FDragZone) {
        case ZONE_BUTTON1:
        case ZONE_BUTTON2:
            if (!Step(FDragZone == ZONE_BUTTON1 ? -1 : 1, false))
                StartHover(); // the end is reached
            break;
        case ZONE_TRACK1:
        case ZONE_TRACK2: {
            TPoint c = ClampedCursor();
            int z = ZoneAt(c.X, c.Y);
            bool before = FDragZone == ZONE_TRACK1;
            if (before ? (z == ZONE_BUTTON1 || z == ZONE_TRACK1) : (z == ZONE_TRACK2 || z == ZONE_BUTTON2))
                Step(before ? -1 : 1, true);
            break;
        }
        default: break;
        }
    });
}

void TArrowBar::BarPress(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X + BorderSize(), Y + BorderSize());
    if (Button != mbLeft)
        return;
    SetMouseCapture(true);
    FDragZone = ZoneAt(X, Y);
    Invalidate();
    FDragStart = TPoint{X, Y};
    StartRepeat();
}

void TArrowBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    FCursorPos = ToClient(X, Y);
    BarPress(Button, Shift, FCursorPos.X, FCursorPos.Y);
}

void TArrowBar::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    FCursorPos = ToClient(X, Y);
    if (FDragZone == ZONE_NONE && IsEnabled()) {
        int z = ZoneAt(FCursorPos.X, FCursorPos.Y);
        if (z != FHotZone) {
            FHotZone = z;
            if (z != ZONE_NONE)
                StartHover();
            Invalidate();
        }
    }
}

void TArrowBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseUp(Button, Shift, X, Y);
    FCursorPos = ToClient(X, Y);
    if (Button == mbLeft && MouseCapture())
        SetMouseCapture(false);
    FDragZone = ZONE_NONE;
    Invalidate();
    StartHover();
}

void TArrowBar::MouseLeave()
{
    StopTimer();
    TCustomControl::MouseLeave();
}

void TArrowBar::Paint()
{
    TCanvas& canvas = *Canvas();
    int bs = BorderSize();
    if (bs) {
        TRect w{0, 0, Width(), Height()};
        canvas.DrawEdge(w, EdgeSunkenOuter, SideRect);
    }
    bool e = IsEnabled();
    bool h = Horizontal();
    auto place = [&](int Zone) { return Offset(ZoneRect(Zone), bs, bs); };
    if (FShowArrows) {
        TRect r1 = place(ZONE_BUTTON1), r2 = place(ZONE_BUTTON2);
        if (!IsEmpty(r1))
            DrawButton(canvas, r1, h ? DIR_LEFT : DIR_UP, FDragZone == ZONE_BUTTON1, e, FHotZone == ZONE_BUTTON1);
        if (!IsEmpty(r2))
            DrawButton(canvas, r2, h ? DIR_RIGHT : DIR_DOWN, FDragZone == ZONE_BUTTON2, e, FHotZone == ZONE_BUTTON2);
    }
    TRect t1 = place(ZONE_TRACK1), t2 = place(ZONE_TRACK2);
    if (!IsEmpty(t1))
        DrawTrack(canvas, t1, h ? DIR_LEFT : DIR_UP, FDragZone == ZONE_TRACK1, e, FHotZone == ZONE_TRACK1);
    if (!IsEmpty(t2))
        DrawTrack(canvas, t2, h ? DIR_RIGHT : DIR_DOWN, FDragZone == ZONE_TRACK2, e, FHotZone == ZONE_TRACK2);
    TRect hr = HandleRect();
    if (e && !IsEmpty(hr))
        DrawHandle(canvas, Offset(hr, bs, bs), h, FDragZone == ZONE_HANDLE, FHotZone == ZONE_HANDLE);
}

void TArrowBar::DrawButton(TCanvas& Canvas, TRect R, int Direction, bool Pushed, bool Enabled, bool Hot)
{
    if (FStyle == rbsDefault) {
        if (Canvas.ThemesActive()) {
            static const int base[4] = {9, 1, 13, 5}; // by direction: left, up, right, down
            int state = base[Direction] + (!Enabled ? 3 : Pushed ? 2 : Hot ? 1 : 0);
            if (Canvas.DrawThemeElement("SCROLLBAR", 1, state, R))
                return;
        }
        static const unsigned arrow[4] = {FrameScrollLeft, FrameScrollUp, FrameScrollRight, FrameScrollDown};
        unsigned state = arrow[Direction];
        if (!IsEnabled())
            state |= FrameInactive;
        if (Pushed)
            state |= FramePushed | FrameFlat;
        Canvas.DrawFrameControl(R, FrameScroll, state);
        return;
    }
    // Every side but the one towards the track.
    static const unsigned sides[4] = {1 | 2 | 8, 1 | 2 | 4, 2 | 4 | 8, 1 | 4 | 8};
    DrawEdgeLines(Canvas, R, sides[Direction], Enabled ? FBorderColor : FShadowColor);
    if (!Enabled) {
        Fill(Canvas, R, FButtonColor);
        R = TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
        DrawArrowGlyph(Canvas, Offset(R, 1, 1), Direction, FHighLightColor);
        DrawArrowGlyph(Canvas, R, Direction, FShadowColor);
    } else if (Pushed) {
        Fill(Canvas, R, FButtonColor);
        R = TRect{R.Left + 2, R.Top + 2, R.Right, R.Bottom};
        DrawArrowGlyph(Canvas, R, Direction, FBorderColor);
    } else {
        DrawBevel(Canvas, R, FHighLightColor, FShadowColor, true);
        Fill(Canvas, R, FButtonColor);
        DrawArrowGlyph(Canvas, R, Direction, FBorderColor);
    }
}

void TArrowBar::DrawTrack(TCanvas& Canvas, TRect R, int Direction, bool Pushed, bool Enabled, bool /*Hot*/)
{
    if (FStyle == rbsDefault) {
        if (Canvas.ThemesActive()) {
            static const int part[4] = {4, 6, 5, 7}; // left, up, right, down
            if (Canvas.DrawThemeElement("SCROLLBAR", part[Direction], Pushed ? 3 : 1, R))
                return;
        }
        if (Pushed)
            Fill(Canvas, R, clWindowFrame);
        else
            FillWithPattern(Canvas, R, clBtnHighlight, Color());
        return;
    }
    // Every side but the one towards the handle.
    static const unsigned sides[4] = {1 | 2 | 8, 1 | 2 | 4, 2 | 4 | 8, 1 | 4 | 8};
    DrawEdgeLines(Canvas, R, sides[Direction], Enabled ? FBorderColor : FShadowColor);
    if (Pushed) {
        Fill(Canvas, R, FBorderColor);
        return;
    }
    if (!Enabled) {
        Fill(Canvas, R, FButtonColor);
        return;
    }
    TColor inner = BlendColors(FBorderColor, BlendColors(FHighLightColor, Color(), 127), 32);
    if (!IsEmpty(R)) {
        switch (Direction) {
        case DIR_LEFT:
        case DIR_UP:
            Fill(Canvas, TRect{R.Left, R.Top, R.Left + 1, R.Bottom}, inner);
            Fill(Canvas, TRect{R.Left, R.Top, R.Right, R.Top + 1}, inner);
            R = TRect{R.Left + 1, R.Top + 1, R.Right, R.Bottom};
            break;
        case DIR_RIGHT:
            Fill(Canvas, TRect{R.Left, R.Top, R.Right, R.Top + 1}, inner);
            ++R.Top;
            break;
        default:
            Fill(Canvas, TRect{R.Left, R.Top, R.Left + 1, R.Bottom}, inner);
            ++R.Left;
            break;
        }
    }
    if (FBackgnd == bgPattern)
        FillWithPattern(Canvas, R, FHighLightColor, Color());
    else
        Fill(Canvas, R, Color());
}

void TArrowBar::DrawHandle(TCanvas& Canvas, TRect R, bool Horizontal, bool Pushed, bool Hot)
{
    if (FStyle == rbsMac) {
        DrawMacHandle(Canvas, R, Horizontal, Pushed);
        return;
    }
    if (Canvas.ThemesActive()) {
        int state = 1 + (!Enabled() ? 3 : Pushed ? 2 : Hot ? 1 : 0);
        if (Canvas.DrawThemeElement("SCROLLBAR", Horizontal ? 2 : 3, state, R)) {
            if (FShowHandleGrip)
                Canvas.DrawThemeElement("SCROLLBAR", Horizontal ? 8 : 9, 0, R);
            return;
        }
    }
    Canvas.DrawEdge(R, EdgeRaised, SideRect | SideAdjust);
    Fill(Canvas, R, clBtnFace);
}

void TArrowBar::DrawMacHandle(TCanvas& Canvas, TRect R, bool Horizontal, bool Pushed)
{
    TColor light = ShiftColor(FHandleColor, 24);
    TColor dark = ShiftColor(FHandleColor, -24);
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = FBorderColor;
    const int line = Scaled(1);
    for (int i = 0; i < line; ++i) {
        Canvas.FrameRect(R);
        R = TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
    }
    if (Pushed)
        DrawBevel(Canvas, R, dark, FHandleColor, true);
    else
        DrawBevel(Canvas, R, light, BlendColors(FBorderColor, FHandleColor, 96), true);
    Fill(Canvas, R, FHandleColor);
    if (!FShowHandleGrip)
        return;
    if (Pushed)
        R = Offset(R, line, line);
    // Ridges two pixels long along the handle, one pixel in from its sides across it (at
    // 96 dpi; all of it scales with the density).
    const TRect across{R.Left + line, R.Top + line, R.Right - line, R.Bottom - line};
    const int m = (StartOf(Horizontal, R) + EndOf(Horizontal, R)) / 2;
    const bool roomy = LengthOf(Horizontal, R) > Scaled(10);
    const int outer1 = m - Scaled(5), outer2 = m + Scaled(4);
    for (int p : {outer1, m - Scaled(2), m + Scaled(1), outer2}) {
        if ((p == outer1 || p == outer2) && !roomy)
            continue;
        TRect ridge = Span(Horizontal, across, p, p + Scaled(2));
        DrawBevel(Canvas, ridge, light, dark, false);
    }
}

// ---------------------------------------------------------------- TCustomRangeBar

TCustomRangeBar::TCustomRangeBar(TComponent* AOwner) : TArrowBar(AOwner) { UpdateEffectiveWindow(); }

void TCustomRangeBar::UpdateEffectiveWindow()
{
    FEffectiveWindow = FWindow > 0 ? FWindow : (Horizontal() ? Width() : Height());
}

bool TCustomRangeBar::IsEnabled() const { return Enabled() && FEffectiveWindow < FRange; }

void TCustomRangeBar::ClampPosition()
{
    if (FPosition > static_cast<float>(FRange - FEffectiveWindow))
        FPosition = static_cast<float>(FRange - FEffectiveWindow);
    if (FPosition < 0)
        FPosition = 0;
}

void TCustomRangeBar::SetPosition(float Value)
{
    if (Value == FPosition)
        return;
    float old = FPosition;
    FPosition = Value;
    ClampPosition();
    if (FPosition != old) {
        Invalidate();
        DoChange();
    }
}

void TCustomRangeBar::KeepCentre(int OldWindow, int OldRange)
{
    if (!FCentered || FEffectiveWindow >= FRange)
        return;
    double f = (OldWindow < OldRange && OldRange != 0) ? (OldWindow * 0.5 + FPosition) / OldRange : 0.5;
    FPosition = static_cast<float>(FRange * f - FEffectiveWindow * 0.5);
}

void TCustomRangeBar::SetParams(int NewRange, int NewWindow)
{
    NewRange = std::max(NewRange, 0);
    NewWindow = std::max(NewWindow, 0);
    if (NewRange == FRange && NewWindow == FEffectiveWindow)
        return;
    int oldWindow = FEffectiveWindow, oldRange = FRange;
    FRange = NewRange;
    FWindow = NewWindow;
    UpdateEffectiveWindow();
    KeepCentre(oldWindow, oldRange);
    ClampPosition();
    Invalidate();
}

void TCustomRangeBar::Resize()
{
    int oldWindow = FEffectiveWindow;
    UpdateEffectiveWindow();
    KeepCentre(oldWindow, FRange);
    ClampPosition();
    TArrowBar::Resize();
}

TRect TCustomRangeBar::HandleRect() const
{
    const bool horizontal = Horizontal();
    TRect t = TrackRect();
    int l = LengthOf(horizontal, t);
    const int least = MinHandleLength();
    if (l <= least)
        return TRect{};
    if (FEffectiveWindow >= FRange)
        return t;
    int s = RoundEven(static_cast<double>(l) * FEffectiveWindow / FRange);
    int offset;
    if (s < least) {
        offset = RoundEven((l - least) * static_cast<double>(FPosition) / (FRange - FEffectiveWindow));
        s = least;
    } else {
        offset = RoundEven(static_cast<double>(FPosition) * l / FRange);
    }
    int start = StartOf(horizontal, t) + offset;
    return Span(horizontal, t, start, start + s);
}

void TCustomRangeBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (FEffectiveWindow >= FRange) {
        SetDragZone(ZONE_NONE);
        return;
    }
    TArrowBar::MouseDown(Button, Shift, X, Y);
    if (DragZone() == ZONE_HANDLE) {
        StartHover();
        FPositionAtDragStart = FPosition;
    }
}

void TCustomRangeBar::MouseMove(TShiftState Shift, int X, int Y)
{
    TArrowBar::MouseMove(Shift, X, Y);
    if (DragZone() != ZONE_HANDLE || FRange <= FEffectiveWindow)
        return;
    int d = DragDistance();
    // The track length: the handle moves over it as the cursor does.
    int l = ClientLength() - 2 * EffectiveButtonSize() - 2 * BorderSize();
    if (l <= 0)
        return;
    float delta;
    const int least = MinHandleLength();
    if (RoundEven(static_cast<double>(l) * FEffectiveWindow / FRange) < least) {
        if (l <= least)
            return;
        delta = static_cast<float>(RoundEven(static_cast<double>(FRange - FEffectiveWindow) * d / (l - least)));
    } else {
        delta = static_cast<float>(static_cast<double>(FRange) * d / l);
    }
    AsUserChange([&] { SetPosition(FPositionAtDragStart + delta); });
}

void TCustomRangeBar::TimerTick()
{
    TArrowBar::TimerTick();
    RepeatStep([this](int Sign, bool Large) {
        float old = FPosition;
        SetPosition(FPosition + static_cast<float>(Sign) * static_cast<float>(Large ? FEffectiveWindow : FIncrement));
        return FPosition != old;
    });
}

bool TCustomRangeBar::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos)
{
    if (TArrowBar::DoMouseWheel(Shift, WheelDelta, MousePos))
        return true;
    SetPosition(static_cast<float>(FPosition + static_cast<double>(WheelDelta) * FIncrement / 120.0));
    return true;
}

// ---------------------------------------------------------------- TCustomGaugeBar

TCustomGaugeBar::TCustomGaugeBar(TComponent* AOwner) : TArrowBar(AOwner) {}

void TCustomGaugeBar::SetHandleSize(int Value)
{
    Value = std::max(Value, 0);
    if (Value == FHandleSize)
        return;
    FHandleSize = Value;
    Invalidate();
}

void TCustomGaugeBar::SetPosition(int Value)
{
    if (Value < FMin)
        Value = FMin;
    if (Value > FMax)
        Value = FMax;
    if (Value == FPosition)
        return;
    FPosition = Value;
    Invalidate();
    DoChange();
}

void TCustomGaugeBar::SetMin(int Value)
{
    if (!Loading() && Value >= FMax)
        Value = FMax - 1;
    if (Value == FMin)
        return;
    FMin = Value;
    SetPosition(FPosition);
    Invalidate();
}

void TCustomGaugeBar::SetMax(int Value)
{
    if (!Loading() && Value <= FMin)
        Value = FMin + 1;
    if (Value == FMax)
        return;
    FMax = Value;
    SetPosition(FPosition);
    Invalidate();
}

int TCustomGaugeBar::EffectiveHandleSize() const
{
    int l = LengthOf(Horizontal(), TrackRect());
    int h = FHandleSize != 0 ? Scaled(FHandleSize) : ClientThickness();
    if (l - h - 1 < 0)
        h = l - 1;
    return std::max(h, 0);
}

TRect TCustomGaugeBar::HandleRect() const
{
    const bool horizontal = Horizontal();
    TRect t = TrackRect();
    int l = LengthOf(horizontal, t);
    int h = EffectiveHandleSize();
    int offset = 0;
    // Max = Min can only come from loading; the handle then sits at the start.
    if (FMax > FMin && l > h)
        offset = std::clamp(RoundDiv(static_cast<std::int64_t>(l - h) * (FPosition - FMin), FMax - FMin), 0, l - h);
    int start = StartOf(horizontal, t) + offset;
    return Span(horizontal, t, start, start + h);
}

void TCustomGaugeBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TArrowBar::MouseDown(Button, Shift, X, Y);
    if (Button == mbLeft && DragZone() == ZONE_HANDLE) {
        StartHover();
        FPositionAtDragStart = static_cast<float>(FPosition);
    }
}

void TCustomGaugeBar::MouseMove(TShiftState Shift, int X, int Y)
{
    TArrowBar::MouseMove(Shift, X, Y);
    if (DragZone() != ZONE_HANDLE)
        return;
    int d = DragDistance();
    int free = LengthOf(Horizontal(), TrackRect()) - EffectiveHandleSize();
    if (free <= 0)
        return; // no room to move the handle
    float delta = static_cast<float>(FMax - FMin) * static_cast<float>(d) / static_cast<float>(free);
    float target = std::nearbyint(FPositionAtDragStart + delta);
    // Keep far drags inside int before the setter clamps.
    target = std::clamp(target, static_cast<float>(FMin) - 1.0f, static_cast<float>(FMax) + 1.0f);
    AsUserChange([&] { SetPosition(static_cast<int>(target)); });
}

void TCustomGaugeBar::TimerTick()
{
    TArrowBar::TimerTick();
    RepeatStep([this](int Sign, bool Large) {
        int old = FPosition;
        SetPosition(FPosition + Sign * (Large ? FLargeChange : FSmallChange));
        return FPosition != old;
    });
}

bool TCustomGaugeBar::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos)
{
    if (TArrowBar::DoMouseWheel(Shift, WheelDelta, MousePos))
        return true;
    SetPosition(static_cast<int>(static_cast<std::int64_t>(WheelDelta) * FSmallChange / 120 + FPosition));
    return true;
}

// ---------------------------------------------------------------- stored forms

void RegisterGaugeBarKind()
{
    if (const TControlKind* k = FindControlKind("TGaugeBar"); k && k->Creator())
        return;
    TControlKind& k = RegisterControlKind("TGaugeBar", "TCustomControl", [](TComponent* Owner) { return new TGaugeBar(Owner); });
    auto loading = [](TGaugeBar& b, auto Set) {
        b.SetLoading(true);
        try {
            Set();
        } catch (...) {
            b.SetLoading(false);
            throw;
        }
        b.SetLoading(false);
    };
    k.Property<TGaugeBar>("Min", [loading](TGaugeBar& b, const TFormProperty& p) { loading(b, [&] { b.SetMin(p.AsInt()); }); })
        .Property<TGaugeBar>("Max", [loading](TGaugeBar& b, const TFormProperty& p) { loading(b, [&] { b.SetMax(p.AsInt()); }); })
        .Property<TGaugeBar>("Position", [](TGaugeBar& b, const TFormProperty& p) { b.SetPosition(p.AsInt()); })
        .Property<TGaugeBar>("Backgnd", [](TGaugeBar& b, const TFormProperty& p) {
            b.SetBackgnd(static_cast<TRBBackgnd>(p.AsEnum({{"bgPattern", bgPattern}, {"bgSolid", bgSolid}})));
        })
        .Property<TGaugeBar>("BorderStyle", [](TGaugeBar& b, const TFormProperty& p) {
            b.SetBorderStyle(static_cast<TBorderStyle>(p.AsEnum({{"bsNone", bsNone}, {"bsSingle", bsSingle}})));
        })
        .Property<TGaugeBar>("ButtonSize", [](TGaugeBar& b, const TFormProperty& p) { b.SetButtonSize(p.AsCoordinate()); })
        .Property<TGaugeBar>("HandleSize", [](TGaugeBar& b, const TFormProperty& p) { b.SetHandleSize(p.AsCoordinate()); })
        .Property<TGaugeBar>("LargeChange", [](TGaugeBar& b, const TFormProperty& p) { b.SetLargeChange(p.AsInt()); })
        .Property<TGaugeBar>("SmallChange", [](TGaugeBar& b, const TFormProperty& p) { b.SetSmallChange(p.AsInt()); })
        .Property<TGaugeBar>("ShowArrows", [](TGaugeBar& b, const TFormProperty& p) { b.SetShowArrows(p.AsBool()); })
        .Property<TGaugeBar>("ShowHandleGrip", [](TGaugeBar& b, const TFormProperty& p) { b.SetShowHandleGrip(p.AsBool()); })
        .Property<TGaugeBar>("Style", [](TGaugeBar& b, const TFormProperty& p) {
            b.SetStyle(static_cast<TRBStyle>(p.AsEnum({{"rbsDefault", rbsDefault}, {"rbsMac", rbsMac}})));
        })
        .Property<TGaugeBar>("Kind", [](TGaugeBar& b, const TFormProperty& p) {
            b.SetKind(static_cast<TScrollBarKind>(p.AsEnum({{"sbHorizontal", sbHorizontal}, {"sbVertical", sbVertical}})));
        })
        .Property<TGaugeBar>("HandleColor", [](TGaugeBar& b, const TFormProperty& p) { b.SetHandleColor(p.AsColor()); })
        .Property<TGaugeBar>("ButtonColor", [](TGaugeBar& b, const TFormProperty& p) { b.SetButtonColor(p.AsColor()); })
        .Property<TGaugeBar>("HighLightColor", [](TGaugeBar& b, const TFormProperty& p) { b.SetHighLightColor(p.AsColor()); })
        .Property<TGaugeBar>("ShadowColor", [](TGaugeBar& b, const TFormProperty& p) { b.SetShadowColor(p.AsColor()); })
        .Property<TGaugeBar>("BorderColor", [](TGaugeBar& b, const TFormProperty& p) { b.SetBorderColor(p.AsColor()); })
        .Event<TArrowBar>("OnChange", &TGaugeBar::OnChange)
        .Event<TArrowBar>("OnUserChange", &TGaugeBar::OnUserChange)
        // Align, Color, Enabled, Visible and the mouse events are the base kinds' setters.
        .Publish({"Align", "Anchors", "Constraints", "Color", "Backgnd", "BorderStyle", "ButtonSize", "Enabled",
                  "HandleColor", "ButtonColor", "HighLightColor", "ShadowColor", "BorderColor", "HandleSize", "Kind",
                  "LargeChange", "Max", "Min", "ShowArrows", "ShowHandleGrip", "Style", "SmallChange", "Visible",
                  "Position", "OnChange", "OnDragDrop", "OnDragOver", "OnEndDrag", "OnMouseDown", "OnMouseMove",
                  "OnMouseUp", "OnStartDrag", "OnUserChange"});
}
