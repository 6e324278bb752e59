// Win32 back end of the toolkit: every windowed control is a real window. Forms and the
// module's own controls use window classes registered here and are painted by the toolkit
// through a GDI canvas; drop-down lists are the system's combo boxes. Input reaches the
// controls through TControl::Dispatch, as the headless back end delivers its script.
#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <map>
#include <vector>

#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/platform.h"
#include "toolkit/resources.h"
#include "toolkit/stdctrls.h"
#include "toolkit/timers.h"
#include "toolkit/win32/gdi_canvas.h"
#include "toolkit/win32/win32.h"

static_assert(DlgWantArrows == DLGC_WANTARROWS && DlgWantTab == DLGC_WANTTAB && DlgWantAllKeys == DLGC_WANTALLKEYS &&
                  DlgWantChars == DLGC_WANTCHARS,
              "the toolkit's dialog codes are the platform's");

const char* const win32::FormClassName = "VesperForm";
const char* const win32::ControlClassName = "VesperControl";

namespace {

const char* const WindowProp = "VesperWindow";
// The component's name as a global atom, so that test programs can find a control's window
// from outside the module (GlobalGetAtomNameA).
const char* const NameProp = "VesperName";
// For the same programs: the font the control's text is drawn in (HFONT) and its kind
// (TWindowKind + 1), read without a message to the control's thread.
const char* const FontProp = "VesperFont";
const char* const KindProp = "VesperKind";
// Extra height of a drop-down list's window: the list that opens below the edit part.
constexpr int DropDownHeight = 200;

class TWin32Window;

struct TBackend {
    bool ClassesRegistered = false;
    std::vector<TWin32Window*> Windows;
    HWND Parking = nullptr;           // parent of child controls that have none yet
    TWinControl* Capture = nullptr;   // capture asked for by the toolkit
    TWinControl* HoverWindow = nullptr;
    TControl* Hover = nullptr;        // HoverWindow itself or one of its windowless children
    int Cursor = crDefault;
    std::map<UINT_PTR, TTimer*> Timers;
    ~TBackend() { win32::UnregisterWindowClasses(); }
};

TBackend& B()
{
    static TBackend backend;
    return backend;
}

LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboProc(HWND, UINT, WPARAM, LPARAM);

TWin32Window* WindowFromHandle(HWND H) { return H ? static_cast<TWin32Window*>(GetPropA(H, WindowProp)) : nullptr; }

// Client offset of a control's children inside its platform client area: border width
// and whatever else the control keeps around its children (bevels).
TPoint InnerOffset(const TWinControl& C)
{
    TPoint inner = C.ClientOrigin();
    TPoint outer = C.TControl::ClientOrigin();
    TRect nc = C.NonClientInsets();
    return TPoint{inner.X - outer.X - nc.Left, inner.Y - outer.Y - nc.Top};
}

TShiftState KeyShift()
{
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0)
        s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        s |= ssAlt;
    return s;
}

TShiftState MouseShift(WPARAM W)
{
    TShiftState s = 0;
    if (W & MK_SHIFT)
        s |= ssShift;
    if (W & MK_CONTROL)
        s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        s |= ssAlt;
    if (W & MK_LBUTTON)
        s |= ssLeft;
    if (W & MK_RBUTTON)
        s |= ssRight;
    if (W & MK_MBUTTON)
        s |= ssMiddle;
    return s;
}

LPCSTR CursorResource(int Id)
{
    switch (Id) {
    case crCross: return IDC_CROSS;
    case crIBeam: return IDC_IBEAM;
    case crSizeNWSE: return IDC_SIZENWSE;
    case crSizeNS: return IDC_SIZENS;
    case crSizeWE: return IDC_SIZEWE;
    case crHandPoint: return IDC_HAND;
    case crSizeAll: return IDC_SIZEALL;
    default: return IDC_ARROW;
    }
}

void ShowCursorId(int Id) { ::SetCursor(LoadCursorA(nullptr, CursorResource(Id))); }

HWND ParkingWindow()
{
    TBackend& b = B();
    if (!b.Parking)
        b.Parking = CreateWindowExA(0, win32::FormClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    static_cast<HINSTANCE>(win32::ModuleInstance()), nullptr);
    return b.Parking;
}

bool IsOwnChild(const TWinControl* Window, const TControl* C)
{
    if (C == Window)
        return true;
    for (int i = 0; i < Window->ControlCount(); ++i)
        if (Window->Controls(i) == C)
            return true;
    return false;
}

// Moves the hover mark to C (inside Window) and tells the old and new control. A windowless
// old control is only told when it is still a child of its window (it may have been freed).
void UpdateHover(TWinControl* Window, TControl* C)
{
    TBackend& b = B();
    if (C == b.Hover)
        return;
    TControl* old = b.Hover;
    TWinControl* oldWindow = b.HoverWindow;
    b.Hover = C;
    b.HoverWindow = C ? Window : nullptr;
    if (old && oldWindow && IsOwnChild(oldWindow, old)) {
        TControlMessage leave;
        leave.Kind = TMessageKind::MouseLeave;
        old->Dispatch(leave);
    }
    if (C && b.Hover == C) {
        TControlMessage enter;
        enter.Kind = TMessageKind::MouseEnter;
        C->Dispatch(enter);
    }
}

class TWin32Window : public IWindowImpl {
public:
    explicit TWin32Window(TWinControl& C) : Control(C)
    {
        if (!win32::RegisterWindowClasses())
            throw EOutOfResources("Error creating window class");
        FForm = dynamic_cast<TForm*>(&C) != nullptr;
        FCombo = C.WindowKind() == TWindowKind::ComboBox;
        DWORD style, ex = 0;
        HWND parent;
        const char* cls = win32::ControlClassName;
        if (FForm) {
            style = WS_POPUP | WS_CLIPCHILDREN | static_cast<TForm&>(C).BorderStyleBits();
            if (style & DS_STYLE_MODALFRAME)
                ex |= WS_EX_DLGMODALFRAME;
            cls = win32::FormClassName;
            // The window active now (the host's) owns the form, so the form stays above it.
            parent = GetActiveWindow();
        } else {
            style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
            if (C.Visible())
                style |= WS_VISIBLE;
            if (C.TabStop())
                style |= WS_TABSTOP;
            parent = C.Parent() ? static_cast<HWND>(C.Parent()->Handle()) : ParkingWindow();
            if (FCombo) {
                cls = "COMBOBOX";
                style = (style & ~WS_CLIPCHILDREN) | CBS_DROPDOWNLIST | WS_VSCROLL;
            }
        }
        RECT r = TargetRect();
        B().Windows.push_back(this);
        FHwnd = CreateWindowExA(ex, cls, FCombo ? "" : C.Caption().c_str(), style, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, parent, nullptr,
                                static_cast<HINSTANCE>(win32::ModuleInstance()), this);
        if (!FHwnd) {
            Forget();
            throw EOutOfResources("Error creating window");
        }
        if (FCombo) {
            SetPropA(FHwnd, WindowProp, this);
            FOldProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(FHwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ComboProc)));
            SyncCombo();
        }
        if (!C.Enabled())
            EnableWindow(FHwnd, FALSE);
        SetPropA(FHwnd, KindProp, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(C.WindowKind()) + 1));
        SetPropA(FHwnd, FontProp, static_cast<HANDLE>(win32::FontHandle(C.Font())));
        if (!C.Name().empty())
            if (ATOM a = GlobalAddAtomA(C.Name().c_str())) {
                FNameAtom = a;
                SetPropA(FHwnd, NameProp, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(a)));
            }
    }

    ~TWin32Window() override
    {
        Forget();
        if (FHwnd) {
            HWND h = FHwnd;
            Detach();
            DestroyWindow(h);
        }
    }

    // Stops routing messages to the control: it is going away (or the module is).
    void Detach()
    {
        if (!FHwnd)
            return;
        if (FOldProc) {
            SetWindowLongPtrA(FHwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOldProc));
            FOldProc = nullptr;
        }
        RemovePropA(FHwnd, WindowProp);
        RemovePropA(FHwnd, KindProp);
        RemovePropA(FHwnd, FontProp);
        if (FNameAtom) {
            RemovePropA(FHwnd, NameProp);
            GlobalDeleteAtom(FNameAtom);
            FNameAtom = 0;
        }
        FHwnd = nullptr;
    }

    void* Handle() const override { return FHwnd; }
    void BoundsChanged() override { Place(); }
    void VisibleChanged() override
    {
        if (!FHwnd)
            return;
        LoseFocusIfUnfocusable();
        if (FForm)
            ShowWindow(FHwnd, Control.Visible() ? SW_SHOW : SW_HIDE);
        else
            ShowWindow(FHwnd, Control.Visible() ? SW_SHOWNA : SW_HIDE);
    }
    void EnabledChanged() override
    {
        if (!FHwnd)
            return;
        LoseFocusIfUnfocusable();
        EnableWindow(FHwnd, Control.Enabled());
    }
    // A focused control that is hidden or disabled hands the keyboard to its form, rather
    // than leaving it with no window at all.
    void LoseFocusIfUnfocusable()
    {
        HWND focus = GetFocus();
        if (FForm || !focus || Control.CanFocus() || (focus != FHwnd && !IsChild(FHwnd, focus)))
            return;
        TForm* f = Control.ParentForm();
        if (f && f->HandleAllocated())
            ::SetFocus(static_cast<HWND>(f->Handle()));
    }
    void TextChanged() override
    {
        if (!FHwnd)
            return;
        if (!FCombo)
            SetWindowTextA(FHwnd, Control.Caption().c_str());
        Invalidate();
    }
    void StateChanged() override
    {
        if (FHwnd)
            SetPropA(FHwnd, FontProp, static_cast<HANDLE>(win32::FontHandle(Control.Font())));
        if (FCombo)
            SyncCombo();
        Invalidate();
    }
    void Invalidate() override
    {
        if (!FHwnd)
            return;
        PlaceChildren();
        ::InvalidateRect(FHwnd, nullptr, FCombo ? TRUE : FALSE);
    }
    void InvalidateRect(const TRect& R) override
    {
        if (!FHwnd)
            return;
        RECT r{R.Left, R.Top, R.Right, R.Bottom};
        ::InvalidateRect(FHwnd, &r, FCombo ? TRUE : FALSE);
    }
    void Update() override
    {
        if (FHwnd)
            UpdateWindow(FHwnd);
    }
    std::uint32_t Style() const override
    {
        return FHwnd ? static_cast<std::uint32_t>(GetWindowLongA(FHwnd, GWL_STYLE)) : 0;
    }
    void SetStyle(std::uint32_t Style) override
    {
        if (!FHwnd)
            return;
        SetWindowLongA(FHwnd, GWL_STYLE, static_cast<LONG>(Style));
        if (FForm) {
            LONG ex = GetWindowLongA(FHwnd, GWL_EXSTYLE);
            ex = (Style & DS_STYLE_MODALFRAME) ? (ex | WS_EX_DLGMODALFRAME) : (ex & ~WS_EX_DLGMODALFRAME);
            SetWindowLongA(FHwnd, GWL_EXSTYLE, ex);
        }
        // The frame is recomputed only when asked; the client area then changes size.
        SetWindowPos(FHwnd, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Invalidate();
    }
    void SetFocus() override
    {
        if (FHwnd && GetFocus() != FHwnd)
            ::SetFocus(FHwnd);
    }
    TRect NonClientInsets() const override
    {
        if (!FHwnd || !FForm)
            return TRect{};
        RECT w, c;
        POINT o{0, 0};
        if (GetWindowRect(FHwnd, &w) && GetClientRect(FHwnd, &c) && ClientToScreen(FHwnd, &o) && c.right > 0 &&
            c.bottom > 0)
            return TRect{o.x - w.left, o.y - w.top, w.right - (o.x + c.right), w.bottom - (o.y + c.bottom)};
        // Too small to have a client area: what the frame of this style takes.
        RECT a{0, 0, 0, 0};
        AdjustWindowRectEx(&a, static_cast<DWORD>(GetWindowLongA(FHwnd, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongA(FHwnd, GWL_EXSTYLE)));
        return TRect{-a.left, -a.top, a.right, a.bottom};
    }

    // Window rectangle in the parent's client coordinates (the screen's for forms).
    RECT TargetRect() const
    {
        int x = Control.Left(), y = Control.Top();
        if (!FForm && Control.Parent()) {
            TPoint o = InnerOffset(*Control.Parent());
            x += o.X;
            y += o.Y;
        }
        int h = Control.Height() + (FCombo ? DropDownHeight : 0);
        return RECT{x, y, x + Control.Width(), y + h};
    }

    void Place()
    {
        if (!FHwnd)
            return;
        if (!FForm) {
            HWND parent = Control.Parent() && Control.Parent()->HandleAllocated()
                              ? static_cast<HWND>(Control.Parent()->Handle())
                              : nullptr;
            if (parent && GetParent(FHwnd) != parent)
                ::SetParent(FHwnd, parent);
        }
        RECT want = TargetRect(), now;
        GetWindowRect(FHwnd, &now);
        if (!FForm)
            MapWindowPoints(nullptr, GetParent(FHwnd), reinterpret_cast<POINT*>(&now), 2);
        if (EqualRect(&want, &now))
            return;
        FPlacing = true;
        SetWindowPos(FHwnd, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        FPlacing = false;
    }

    // Children follow offsets the toolkit changes without telling them (border width).
    void PlaceChildren()
    {
        for (int i = 0; i < Control.ControlCount(); ++i)
            if (auto* w = dynamic_cast<TWinControl*>(Control.Controls(i)); w && w->HandleAllocated())
                if (auto* impl = dynamic_cast<TWin32Window*>(&w->WindowImpl()))
                    impl->Place();
    }

    void SyncCombo()
    {
        auto* combo = dynamic_cast<TComboBox*>(&Control);
        if (!combo || !FHwnd)
            return;
        SendMessageA(FHwnd, WM_SETFONT, reinterpret_cast<WPARAM>(win32::FontHandle(Control.Font())), FALSE);
        if (combo->Items() != FItems) {
            FItems = combo->Items();
            SendMessageA(FHwnd, CB_RESETCONTENT, 0, 0);
            for (const std::string& s : FItems)
                SendMessageA(FHwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
        }
        if (SendMessageA(FHwnd, CB_GETCURSEL, 0, 0) != combo->ItemIndex())
            SendMessageA(FHwnd, CB_SETCURSEL, static_cast<WPARAM>(combo->ItemIndex()), 0);
    }

    LRESULT Message(UINT M, WPARAM W, LPARAM L);
    LRESULT ComboMessage(UINT M, WPARAM W, LPARAM L);

    TWinControl& Control;
    HWND FHwnd = nullptr;

private:
    void Forget()
    {
        auto& w = B().Windows;
        w.erase(std::remove(w.begin(), w.end(), this), w.end());
    }
    bool Alive(HWND H) const { return IsWindow(H) && WindowFromHandle(H) == this; }
    void Paint();
    void Mouse(TMessageKind Kind, TMouseButton Button, bool Double, WPARAM W, LPARAM L);
    bool Key(TMessageKind Kind, WPARAM W, TShiftState Extra);
    void Wheel(WPARAM W, LPARAM L);
    void FocusReceived();
    bool SetCursorFor(LPARAM L);
    // The control that a point (toolkit client coordinates) addresses: a windowless child
    // under it, else the control itself.
    TControl* Target(TPoint P)
    {
        if (B().Capture)
            return &Control;
        TControl* hit = Control.ControlAtPos(P);
        if (hit && hit != &Control && !dynamic_cast<TWinControl*>(hit))
            return hit;
        return &Control;
    }

    bool FForm = false;
    bool FCombo = false;
    bool FPlacing = false;
    bool FImplicitCapture = false;
    bool FTracking = false;
    WNDPROC FOldProc = nullptr;
    ATOM FNameAtom = 0;
    std::vector<std::string> FItems;
};

void TWin32Window::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(FHwnd, &ps);
    if (!dc)
        return;
    RECT cr;
    GetClientRect(FHwnd, &cr);
    HWND h = FHwnd;
    const TColor back = Control.BackgroundColor();
    // A control that paints all of its area is not filled first: the fill would show as a
    // flash of its colour on every repaint.
    const bool opaque = (Control.ControlStyle() & csOpaque) != 0;
    auto run = [&](HDC target) {
        TGdiCanvas canvas(target);
        if (!opaque) {
            canvas.Brush.Color = back;
            canvas.FillRect(TRect{cr.left, cr.top, cr.right, cr.bottom});
            canvas.Brush.Color = clWhite;
        }
        TControlMessage m;
        m.Kind = TMessageKind::Paint;
        m.Canvas = &canvas;
        Control.Dispatch(m);
    };
    // What this paint can reach: the update area within what shows of the window.
    RECT area{};
    const bool any = GetClipBox(dc, &area) != NULLREGION && IntersectRect(&area, &area, &cr);
    if (Control.DoubleBuffered() && any) {
        // The off-screen copy holds the update area only; drawing keeps client coordinates
        // through the window origin, and patterns keep the phase they have on the window.
        const int w = area.right - area.left, hh = area.bottom - area.top;
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP bmp = mem ? CreateCompatibleBitmap(dc, w, hh) : nullptr;
        if (mem && bmp) {
            HGDIOBJ old = SelectObject(mem, bmp);
            SetWindowOrgEx(mem, area.left, area.top, nullptr);
            SetBrushOrgEx(mem, ((-area.left) % 8 + 8) % 8, ((-area.top) % 8 + 8) % 8, nullptr);
            // What an opaque control leaves undrawn stays as the screen has it.
            if (opaque)
                BitBlt(mem, area.left, area.top, w, hh, dc, area.left, area.top, SRCCOPY);
            run(mem);
            BitBlt(dc, area.left, area.top, w, hh, mem, area.left, area.top, SRCCOPY);
            SelectObject(mem, old);
        } else {
            run(dc);
        }
        if (bmp)
            DeleteObject(bmp);
        if (mem)
            DeleteDC(mem);
    } else {
        run(dc);
    }
    EndPaint(h, &ps);
}

void TWin32Window::Mouse(TMessageKind Kind, TMouseButton Button, bool Double, WPARAM W, LPARAM L)
{
    HWND h = FHwnd;
    TPoint off = InnerOffset(Control);
    TPoint p{GET_X_LPARAM(L) - off.X, GET_Y_LPARAM(L) - off.Y};
    if (Kind == TMessageKind::MouseDown) {
        if (Control.TabStop() && Control.CanFocus())
            Control.SetFocus();
        if (!Alive(h))
            return;
        // A pressed control keeps the mouse until the button is released, as on the platform.
        if (!GetCapture()) {
            ::SetCapture(h);
            FImplicitCapture = true;
        }
    }
    TControl* to = Target(p);
    RECT cr;
    GetClientRect(h, &cr);
    POINT raw{GET_X_LPARAM(L), GET_Y_LPARAM(L)};
    UpdateHover(&Control, PtInRect(&cr, raw) ? to : nullptr);
    if (!Alive(h))
        return;
    if (Kind == TMessageKind::MouseMove && !FTracking) {
        TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, h, 0};
        FTracking = TrackMouseEvent(&t) != FALSE;
    }
    TControlMessage m;
    m.Kind = Kind;
    m.Button = Button;
    m.Shift = MouseShift(W) | (Double ? ssDouble : 0);
    m.X = p.X - (to == &Control ? 0 : to->Left());
    m.Y = p.Y - (to == &Control ? 0 : to->Top());
    to->Dispatch(m);
    if (!Alive(h))
        return;
    if (Kind == TMessageKind::MouseUp && FImplicitCapture && !(W & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
        FImplicitCapture = false;
        if (GetCapture() == h && !B().Capture)
            ::ReleaseCapture();
    }
}

bool TWin32Window::Key(TMessageKind Kind, WPARAM W, TShiftState Extra)
{
    TControlMessage m;
    m.Kind = Kind;
    if (Kind == TMessageKind::Char)
        m.Char = static_cast<char>(W);
    else
        m.Key = static_cast<std::uint16_t>(W);
    m.Shift = KeyShift() | Extra;
    Control.Dispatch(m);
    return Kind != TMessageKind::Char && m.Key == 0;
}

void TWin32Window::Wheel(WPARAM W, LPARAM L)
{
    // The focused control has the wheel first, then its parents in turn.
    TPoint screen{GET_X_LPARAM(L), GET_Y_LPARAM(L)};
    TForm* f = Control.ParentForm();
    TControl* c = f && f->ActiveControl() ? static_cast<TControl*>(f->ActiveControl()) : &Control;
    TControlMessage m;
    m.Kind = TMessageKind::MouseWheel;
    m.WheelDelta = GET_WHEEL_DELTA_WPARAM(W);
    m.Shift = MouseShift(GET_KEYSTATE_WPARAM(W));
    DispatchWheel(c, screen, m);
}

void TWin32Window::FocusReceived()
{
    TForm* f = Control.ParentForm();
    if (f && f != &Control && f->ActiveControl() != &Control)
        f->SetActiveControl(&Control);
}

bool TWin32Window::SetCursorFor(LPARAM L)
{
    if (LOWORD(L) != HTCLIENT)
        return false;
    int id = B().Cursor;
    if (id == crDefault) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(FHwnd, &pt);
        TPoint off = InnerOffset(Control);
        id = Target(TPoint{pt.x - off.X, pt.y - off.Y})->Cursor();
    }
    ShowCursorId(id);
    return true;
}

LRESULT TWin32Window::Message(UINT M, WPARAM W, LPARAM L)
{
    HWND h = FHwnd;
    switch (M) {
    case WM_PAINT: Paint(); return 0;
    case WM_ERASEBKGND: {
        TControlMessage m;
        m.Kind = TMessageKind::EraseBackground;
        RECT r{};
        if (GetClipBox(reinterpret_cast<HDC>(W), &r) != ERROR)
            m.Rect = TRect{r.left, r.top, r.right, r.bottom};
        Control.Dispatch(m);
        if (!Alive(h))
            return 1;
        return m.Handled ? 1 : DefWindowProcA(h, M, W, L);
    }
    case WM_LBUTTONDOWN: Mouse(TMessageKind::MouseDown, mbLeft, false, W, L); return 0;
    case WM_LBUTTONDBLCLK: Mouse(TMessageKind::MouseDown, mbLeft, true, W, L); return 0;
    case WM_RBUTTONDOWN: Mouse(TMessageKind::MouseDown, mbRight, false, W, L); return 0;
    case WM_RBUTTONDBLCLK: Mouse(TMessageKind::MouseDown, mbRight, true, W, L); return 0;
    case WM_MBUTTONDOWN: Mouse(TMessageKind::MouseDown, mbMiddle, false, W, L); return 0;
    case WM_MBUTTONDBLCLK: Mouse(TMessageKind::MouseDown, mbMiddle, true, W, L); return 0;
    case WM_LBUTTONUP: Mouse(TMessageKind::MouseUp, mbLeft, false, W, L); return 0;
    case WM_RBUTTONUP: Mouse(TMessageKind::MouseUp, mbRight, false, W, L); return 0;
    case WM_MBUTTONUP: Mouse(TMessageKind::MouseUp, mbMiddle, false, W, L); return 0;
    case WM_MOUSEMOVE: Mouse(TMessageKind::MouseMove, mbLeft, false, W, L); return 0;
    case WM_MOUSELEAVE:
        FTracking = false;
        if (B().HoverWindow == &Control)
            UpdateHover(&Control, nullptr);
        return 0;
    case WM_MOUSEWHEEL: Wheel(W, L); return 0;
    case WM_KEYDOWN: Key(TMessageKind::KeyDown, W, 0); return 0;
    case WM_KEYUP: Key(TMessageKind::KeyUp, W, 0); return 0;
    case WM_CHAR: Key(TMessageKind::Char, W, 0); return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 and the system menu keys stay the system's unless a control took the key.
        if (Key(TMessageKind::KeyDown, W, ssAlt) || !Alive(h))
            return 0;
        break;
    case WM_SYSKEYUP:
        if (Key(TMessageKind::KeyUp, W, ssAlt) || !Alive(h))
            return 0;
        break;
    case WM_GETDLGCODE: return static_cast<LRESULT>(Control.DialogCode());
    case WM_SETCURSOR:
        if (SetCursorFor(L))
            return TRUE;
        break;
    case WM_SETFOCUS: FocusReceived(); return 0;
    case WM_ACTIVATE:
        if (FForm && LOWORD(W) != WA_INACTIVE) {
            TWinControl* a = static_cast<TForm&>(Control).ActiveControl();
            HWND target = a && a->HandleAllocated() && a->CanFocus() ? static_cast<HWND>(a->Handle()) : h;
            ::SetFocus(target);
            return 0;
        }
        break;
    case WM_CLOSE: {
        TControlMessage m;
        m.Kind = TMessageKind::Close;
        Control.Dispatch(m);
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(W) == CBN_SELCHANGE)
            if (TWin32Window* child = WindowFromHandle(reinterpret_cast<HWND>(L))) {
                TControlMessage m;
                m.Kind = TMessageKind::Select;
                m.Index = static_cast<int>(SendMessageA(child->FHwnd, CB_GETCURSEL, 0, 0));
                child->Control.Dispatch(m);
                return 0;
            }
        break;
    case WM_WINDOWPOSCHANGED:
        // The user moved or sized the form (its frame, or a size grip): the toolkit follows.
        if (FForm && !FPlacing && !IsIconic(h)) {
            RECT r;
            GetWindowRect(h, &r);
            if (r.left != Control.Left() || r.top != Control.Top() || r.right - r.left != Control.Width() ||
                r.bottom - r.top != Control.Height()) {
                FPlacing = true;
                try {
                    Control.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
                } catch (...) {
                    FPlacing = false;
                    throw;
                }
                FPlacing = false;
            }
        }
        break;
    case 0x02E0: // WM_DPICHANGED
        // Another monitor's density: lay out anew for it, in the rectangle the system suggests.
        if (FForm && L) {
            const RECT* r = reinterpret_cast<const RECT*>(L);
            FPlacing = true;
            try {
                static_cast<TForm&>(Control).DpiChangedByPlatform(HIWORD(W), TRect{r->left, r->top, r->right, r->bottom});
            } catch (...) {
                FPlacing = false;
                throw;
            }
            FPlacing = false;
            Place();
            return 0;
        }
        break;
    case WM_GETFONT:
        // The font the toolkit draws the control's text with, for tools that measure it.
        return reinterpret_cast<LRESULT>(win32::FontHandle(Control.Font()));
    case WM_CAPTURECHANGED:
        FImplicitCapture = false;
        if (B().Capture == &Control && reinterpret_cast<HWND>(L) != h)
            B().Capture = nullptr;
        return 0;
    default: break;
    }
    return DefWindowProcA(h, M, W, L);
}

LRESULT TWin32Window::ComboMessage(UINT M, WPARAM W, LPARAM L)
{
    HWND h = FHwnd;
    WNDPROC old = FOldProc;
    switch (M) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // An open list keeps Enter and Escape to close itself.
        if ((W == VK_RETURN || W == VK_ESCAPE) && SendMessageA(h, CB_GETDROPPEDSTATE, 0, 0))
            break;
        if (Key(TMessageKind::KeyDown, W, M == WM_SYSKEYDOWN ? ssAlt : 0) || !Alive(h))
            return 0;
        break;
    case WM_KEYUP:
        if (Key(TMessageKind::KeyUp, W, 0) || !Alive(h))
            return 0;
        break;
    case WM_SETFOCUS: FocusReceived(); break;
    case WM_NCDESTROY: {
        Detach();
        return CallWindowProcA(old, h, M, W, L);
    }
    default: break;
    }
    return CallWindowProcA(old, h, M, W, L);
}

LRESULT CALLBACK WindowProc(HWND H, UINT M, WPARAM W, LPARAM L)
{
    if (M == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(L);
        if (auto* self = static_cast<TWin32Window*>(cs->lpCreateParams)) {
            self->FHwnd = H;
            SetPropA(H, WindowProp, self);
        }
    }
    TWin32Window* self = WindowFromHandle(H);
    if (!self)
        return DefWindowProcA(H, M, W, L);
    if (M == WM_NCDESTROY) {
        self->Detach();
        return DefWindowProcA(H, M, W, L);
    }
    // No exception may unwind through the system's frames.
    try {
        return self->Message(M, W, L);
    } catch (...) {
        Application->HandleException();
        return 0;
    }
}

LRESULT CALLBACK ComboProc(HWND H, UINT M, WPARAM W, LPARAM L)
{
    TWin32Window* self = WindowFromHandle(H);
    if (!self)
        return DefWindowProcA(H, M, W, L);
    try {
        return self->ComboMessage(M, W, L);
    } catch (...) {
        Application->HandleException();
        return 0;
    }
}

VOID CALLBACK TimerProc(HWND, UINT, UINT_PTR Id, DWORD)
{
    auto& timers = B().Timers;
    auto it = timers.find(Id);
    if (it == timers.end()) {
        KillTimer(nullptr, Id);
        return;
    }
    try {
        it->second->Tick(); // may stop the timer, so the iterator is not used afterwards
    } catch (...) {
        Application->HandleException();
    }
}

TWin32Window* ImplOf(TWinControl* C)
{
    return C && C->HandleAllocated() ? dynamic_cast<TWin32Window*>(&C->WindowImpl()) : nullptr;
}

void PumpOnce(MSG& Msg)
{
    TranslateMessage(&Msg);
    DispatchMessageA(&Msg);
}

// The predefined keys are sign-extended 32-bit values, also in 64-bit processes.
HKEY RootHandle(TRegistryRoot Root)
{
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(static_cast<std::uint32_t>(Root))));
}

std::string TrimKeyPath(const std::string& Path)
{
    std::size_t i = 0;
    while (i < Path.size() && Path[i] == '\\')
        ++i;
    return Path.substr(i);
}

} // namespace

// ---------------------------------------------------------------- module and classes

void* win32::ModuleInstance()
{
    static HMODULE module = [] {
        HMODULE m = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCSTR>(&win32::ModuleInstance), &m))
            m = GetModuleHandleA(nullptr);
        return m;
    }();
    return module;
}

bool win32::RegisterWindowClasses()
{
    TBackend& b = B();
    if (b.ClassesRegistered)
        return true;
    HINSTANCE inst = static_cast<HINSTANCE>(ModuleInstance());
    for (const char* name : {FormClassName, ControlClassName}) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &WindowProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = name;
        if (!RegisterClassExA(&wc)) {
            // Left behind by an earlier load of the module: its window procedure may point
            // into code that is gone, so the class is replaced.
            if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
                return false;
            UnregisterClassA(name, inst);
            if (!RegisterClassExA(&wc))
                return false;
        }
    }
    b.ClassesRegistered = true;
    return true;
}

void win32::UnregisterWindowClasses()
{
    TBackend& b = B();
    for (auto& t : b.Timers)
        KillTimer(nullptr, t.first);
    b.Timers.clear();
    // Route nothing more to the controls, then destroy the windows that are left.
    std::vector<HWND> handles;
    for (TWin32Window* w : b.Windows) {
        if (w->FHwnd)
            handles.push_back(w->FHwnd);
        w->Detach();
    }
    for (HWND h : handles)
        if (IsWindow(h))
            DestroyWindow(h);
    if (b.Parking) {
        DestroyWindow(b.Parking);
        b.Parking = nullptr;
    }
    b.Capture = nullptr;
    b.Hover = nullptr;
    b.HoverWindow = nullptr;
    if (b.ClassesRegistered) {
        HINSTANCE inst = static_cast<HINSTANCE>(ModuleInstance());
        UnregisterClassA(FormClassName, inst);
        UnregisterClassA(ControlClassName, inst);
        b.ClassesRegistered = false;
    }
}

// ---------------------------------------------------------------- the platform interface

namespace plat {

std::unique_ptr<IWindowImpl> CreateWindowImpl(TWinControl& Control) { return std::make_unique<TWin32Window>(Control); }

void RunModalLoop(TForm& Form)
{
    HWND h = static_cast<HWND>(Form.Handle());
    HWND owner = GetWindow(h, GW_OWNER);
    bool disabled = false;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabled = true;
    }
    auto restore = [&] {
        if (B().Capture && B().Capture->ParentForm() == &Form) {
            B().Capture = nullptr;
            ::ReleaseCapture();
        }
        // Enabled again before the form hides, so the owner is activated in its place.
        if (disabled)
            EnableWindow(owner, TRUE);
        if (owner && IsWindow(owner))
            SetActiveWindow(owner);
    };
    try {
        if (!IsWindowVisible(h))
            ShowWindow(h, SW_SHOW);
        SetActiveWindow(h);
        MSG msg;
        while (Form.ModalResult() == mrNone) {
            if (!IsWindow(h)) {
                Form.SetModalResult(mrCancel);
                break;
            }
            BOOL r = GetMessageA(&msg, nullptr, 0, 0);
            if (r == 0) {
                // The program is quitting: end the dialog and leave the quit for the outer loop.
                PostQuitMessage(static_cast<int>(msg.wParam));
                Form.SetModalResult(mrCancel);
                break;
            }
            if (r == -1) {
                Form.SetModalResult(mrCancel);
                break;
            }
            PumpOnce(msg);
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void ProcessMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        PumpOnce(msg);
    }
}

void ControlDestroyed(TWinControl& Control)
{
    TBackend& b = B();
    if (b.Capture == &Control) {
        b.Capture = nullptr;
        ::ReleaseCapture();
    }
    if (b.HoverWindow == &Control) {
        b.HoverWindow = nullptr;
        b.Hover = nullptr;
    }
}

void SetCapture(TWinControl* Control)
{
    TWin32Window* w = ImplOf(Control);
    if (!w || !w->FHwnd) {
        ReleaseCapture();
        return;
    }
    B().Capture = Control;
    if (GetCapture() != w->FHwnd)
        ::SetCapture(w->FHwnd);
}

void ReleaseCapture()
{
    TBackend& b = B();
    TWin32Window* w = ImplOf(b.Capture);
    b.Capture = nullptr;
    if (w && GetCapture() == w->FHwnd)
        ::ReleaseCapture();
}

TWinControl* CaptureControl() { return B().Capture; }

void SetCursor(int CursorId)
{
    B().Cursor = CursorId;
    if (CursorId != crDefault) {
        ShowCursorId(CursorId);
        return;
    }
    // Back to the cursor of whatever window lies under the mouse.
    POINT pt;
    if (!GetCursorPos(&pt))
        return;
    HWND under = WindowFromPoint(pt);
    if (WindowFromHandle(under))
        SendMessageA(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    else
        ShowCursorId(crDefault);
}

int CurrentCursor() { return B().Cursor; }

TPoint CursorPos()
{
    POINT p{};
    GetCursorPos(&p);
    return TPoint{p.x, p.y};
}

void StartTimer(TTimer& Timer)
{
    StopTimer(Timer);
    UINT_PTR id = ::SetTimer(nullptr, 0, std::max(1u, Timer.Interval()), &TimerProc);
    if (!id)
        throw EOutOfResources("Not enough timers available");
    B().Timers[id] = &Timer;
}

void StopTimer(TTimer& Timer)
{
    auto& timers = B().Timers;
    for (auto it = timers.begin(); it != timers.end();) {
        if (it->second == &Timer) {
            KillTimer(nullptr, it->first);
            it = timers.erase(it);
        } else {
            ++it;
        }
    }
}

void StartFormSizing(TForm& Form, int HitTest)
{
    POINT pt{};
    if (!GetCursorPos(&pt))
        return;
    // Whoever holds the capture (also outside the toolkit) would keep the loop from the mouse.
    ::ReleaseCapture();
    // The system's own sizing loop runs inside this call, as after a press on the frame.
    SendMessageA(static_cast<HWND>(Form.Handle()), WM_NCLBUTTONDOWN, static_cast<WPARAM>(HitTest),
                 MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
}

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }
int HorzScrollBarHeight() { return GetSystemMetrics(SM_CYHSCROLL); }

namespace {

// The density calls, looked up at run time: systems before them (and Wine in part) lack some.
struct TDpiCalls {
    using TSetContext = HANDLE(WINAPI*)(HANDLE);
    using TForWindow = UINT(WINAPI*)(HWND);
    using TMetricsForDpi = int(WINAPI*)(int, UINT);
    using TAdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    TSetContext SetThreadContext = nullptr;
    TForWindow DpiForWindow = nullptr;
    TMetricsForDpi MetricsForDpi = nullptr;
    TAdjustForDpi AdjustForDpi = nullptr;
    TDpiCalls()
    {
        HMODULE user = GetModuleHandleA("user32.dll");
        if (!user)
            return;
        SetThreadContext = reinterpret_cast<TSetContext>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetThreadDpiAwarenessContext")));
        DpiForWindow = reinterpret_cast<TForWindow>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
        MetricsForDpi = reinterpret_cast<TMetricsForDpi>(
            reinterpret_cast<void*>(GetProcAddress(user, "GetSystemMetricsForDpi")));
        AdjustForDpi = reinterpret_cast<TAdjustForDpi>(
            reinterpret_cast<void*>(GetProcAddress(user, "AdjustWindowRectExForDpi")));
    }
};

const TDpiCalls& DpiCalls()
{
    static const TDpiCalls calls;
    return calls;
}

int ScreenLogPixels()
{
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc)
        ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

} // namespace

int FormDpi(TForm& Form)
{
    if (Form.HandleAllocated() && DpiCalls().DpiForWindow)
        if (UINT dpi = DpiCalls().DpiForWindow(static_cast<HWND>(Form.Handle())))
            return static_cast<int>(dpi);
    return ScreenLogPixels();
}

TRect FrameInsetsForDpi(TForm& Form, int Dpi)
{
    DWORD style, ex;
    if (Form.HandleAllocated()) {
        HWND h = static_cast<HWND>(Form.Handle());
        style = static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE));
        ex = static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE));
    } else {
        style = WS_POPUP | WS_CLIPCHILDREN | Form.BorderStyleBits();
        ex = (style & DS_STYLE_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0;
    }
    RECT a{0, 0, 0, 0};
    if (!DpiCalls().AdjustForDpi || !DpiCalls().AdjustForDpi(&a, style, FALSE, ex, static_cast<UINT>(Dpi)))
        AdjustWindowRectEx(&a, style, FALSE, ex);
    return TRect{-a.left, -a.top, a.right, a.bottom};
}

int HorzScrollBarHeightForDpi(int Dpi)
{
    if (DpiCalls().MetricsForDpi)
        if (int h = DpiCalls().MetricsForDpi(SM_CYHSCROLL, static_cast<UINT>(Dpi)); h > 0)
            return h;
    return MulDiv(GetSystemMetrics(SM_CYHSCROLL), Dpi, ScreenLogPixels());
}

bool EnterPerMonitorDpiAwareness(std::intptr_t& Previous)
{
    if (!DpiCalls().SetThreadContext)
        return false;
    // Per-monitor version 2 (-4) where the system takes it, else per-monitor (-3).
    for (std::intptr_t context : {-4, -3})
        if (HANDLE old = DpiCalls().SetThreadContext(reinterpret_cast<HANDLE>(context))) {
            Previous = reinterpret_cast<std::intptr_t>(old);
            return true;
        }
    return false;
}

void RestoreDpiAwareness(std::intptr_t Previous)
{
    if (DpiCalls().SetThreadContext)
        DpiCalls().SetThreadContext(reinterpret_cast<HANDLE>(Previous));
}

int ScreenDepth()
{
    HDC dc = GetDC(nullptr);
    int depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(nullptr, dc);
    return depth;
}

TSize TextExtent(const TFont& Font, const std::string& Text)
{
    // Line by line, as labels lay out their captions: the widest line, the line height
    // times the number of lines.
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(win32::FontHandle(Font)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    int widest = 0, lines = 1;
    std::size_t start = 0;
    auto measure = [&](std::size_t from, std::size_t to) {
        SIZE s{0, 0};
        if (to > from)
            GetTextExtentPoint32A(dc, Text.data() + from, static_cast<int>(to - from), &s);
        widest = std::max(widest, static_cast<int>(s.cx));
    };
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] != '\r' && Text[i] != '\n')
            continue;
        measure(start, i);
        if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
            ++i;
        start = i + 1;
        ++lines;
    }
    measure(start, Text.size());
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return TSize{widest, lines * static_cast<int>(tm.tmHeight)};
}

int ShowMessageBox(void* Owner, const std::string& Text, const std::string& Caption, unsigned Flags)
{
    // A null owner stays null: some boxes must not be tied to any window.
    return MessageBoxA(static_cast<HWND>(Owner), Text.c_str(), Caption.empty() ? nullptr : Caption.c_str(), Flags);
}

void* ActiveWindow() { return GetActiveWindow(); }

std::intptr_t ShellOpen(void* Owner, const std::string& Verb, const std::string& File, const std::string& Parameters,
                        const std::string& Directory, int ShowCmd)
{
    auto opt = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    HINSTANCE r = ShellExecuteA(static_cast<HWND>(Owner), opt(Verb), File.c_str(), opt(Parameters), opt(Directory),
                                ShowCmd);
    return reinterpret_cast<std::intptr_t>(r);
}

void* FindTopWindow(const char* ClassName, const char* Title) { return FindWindowA(ClassName, Title); }

bool PlaceWindow(void* Window, void* InsertAfter, int X, int Y, int Cx, int Cy, unsigned Flags)
{
    if (!Window || !IsWindow(static_cast<HWND>(Window)))
        return false;
    return SetWindowPos(static_cast<HWND>(Window), static_cast<HWND>(InsertAfter), X, Y, Cx, Cy, Flags) != 0;
}

static_assert(RegKeyRead == KEY_READ && RegKeyWrite == KEY_WRITE && RegKeyAllAccess == KEY_ALL_ACCESS &&
                  RegKeySetValue == KEY_SET_VALUE && RegKeyCreateSubKey == KEY_CREATE_SUB_KEY &&
                  RegKeyWow64_32Key == KEY_WOW64_32KEY && RegKeyWow64_64Key == KEY_WOW64_64KEY,
              "the toolkit's registry rights are the platform's");

bool OpenRegistryKey(TRegistryRoot Root, const std::string& Path, bool CanCreate, std::uint32_t Access,
                     TRegistryKey& Key)
{
    std::string path = TrimKeyPath(Path);
    HKEY h = nullptr;
    LONG r;
    if (CanCreate)
        r = RegCreateKeyExA(RootHandle(Root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr, &h,
                            nullptr);
    else
        r = RegOpenKeyExA(RootHandle(Root), path.c_str(), 0, Access, &h);
    if (r != ERROR_SUCCESS)
        return false;
    Key = h;
    return true;
}

void CloseRegistryKey(TRegistryKey Key)
{
    if (Key)
        RegCloseKey(static_cast<HKEY>(Key));
}

} // namespace plat

namespace {
// Names of a key's subkeys or of its values, in the registry's enumeration order.
std::vector<std::string> RegistryNames(TRegistryKey Key, bool Values)
{
    std::vector<std::string> names;
    HKEY key = static_cast<HKEY>(Key);
    DWORD longestKey = 0, longestValue = 0;
    if (!Key || RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longestKey, nullptr, nullptr,
                                 &longestValue, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    const DWORD longest = Values ? longestValue : longestKey;
    std::vector<char> buf(longest + 1 < 256 ? 256 : longest + 1);
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(buf.size());
        LONG r = Values ? RegEnumValueA(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr)
                        : RegEnumKeyExA(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA) {
            // A longer name appeared since the query: grow and ask for the same index again.
            buf.resize(buf.size() * 2);
            --i;
            continue;
        }
        if (r != ERROR_SUCCESS)
            break;
        names.emplace_back(buf.data(), len);
    }
    return names;
}
} // namespace

namespace plat {

std::vector<std::string> RegistrySubKeyNames(TRegistryKey Key) { return RegistryNames(Key, false); }

std::vector<std::string> RegistryValueNames(TRegistryKey Key) { return RegistryNames(Key, true); }

bool ReadRegistryString(TRegistryKey Key, const std::string& Name, std::string& Value)
{
    if (!Key)
        return false;
    std::vector<char> buf(256);
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0, size = static_cast<DWORD>(buf.size());
        LONG r = RegQueryValueExA(static_cast<HKEY>(Key), Name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buf.data()), &size);
        if (r == ERROR_MORE_DATA) {
            buf.resize(size + 1);
            continue;
        }
        if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return false;
        // Stored strings need not end with a terminator, and may carry several.
        std::size_t n = std::min<std::size_t>(size, buf.size());
        while (n > 0 && buf[n - 1] == '\0')
            --n;
        Value.assign(buf.data(), n);
        return true;
    }
    return false;
}

bool WriteRegistryString(TRegistryKey Key, const std::string& Name, const std::string& Value)
{
    if (!Key)
        return false;
    return RegSetValueExA(static_cast<HKEY>(Key), Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                          static_cast<DWORD>(Value.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryValueExists(TRegistryKey Key, const std::string& Name)
{
    return Key && RegQueryValueExA(static_cast<HKEY>(Key), Name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                      ERROR_SUCCESS;
}

bool FindRawResource(const std::string& Name, std::string& Text)
{
    HMODULE m = static_cast<HMODULE>(win32::ModuleInstance());
    if (HRSRC r = FindResourceA(m, Name.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */)) {
        HGLOBAL g = LoadResource(m, r);
        const char* p = g ? static_cast<const char*>(LockResource(g)) : nullptr;
        DWORD n = SizeofResource(m, r);
        if (p) {
            // Resource compilers may pad the data with terminators.
            while (n > 0 && p[n - 1] == '\0')
                --n;
            Text.assign(p, n);
            return true;
        }
    }
    // Descriptions registered by the program itself (tests) are found too.
    return FindCompiledResource(Name, Text);
}

} // namespace plat
