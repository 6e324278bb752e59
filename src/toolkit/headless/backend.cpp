// The headless back end: windows in memory, a scripted event queue, a virtual clock, an
// in-memory registry, and records of the platform services the program used.
#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <memory>

#include "base/headless/dib_accounting.h"
#include "toolkit/application.h"
#include "toolkit/dpi.h"
#include "toolkit/forms.h"
#include "toolkit/headless/canvas.h"
#include "toolkit/headless/headless.h"
#include "toolkit/resources.h"
#include "toolkit/stdctrls.h"
#include "toolkit/timers.h"

namespace {

class THeadlessWindow;

struct TEvent {
    enum Kind { evMouse, evKey, evSelect, evPaint, evTick, evAdvance, evClose, evCall } Type;
    explicit TEvent(Kind K) : Type(K) {}
    TMessageKind Message = TMessageKind::Paint;
    TControl* Target = nullptr;
    int X = 0, Y = 0, Delta = 0, Index = 0;
    TMouseButton Button = mbLeft;
    TShiftState Shift = 0;
    std::uint16_t Key = 0;
    char Char = 0;
    TTimer* Timer = nullptr;
    unsigned Ms = 0;
    std::function<void()> Fn;
};

struct TRegNode {
    std::string Name;
    std::vector<std::shared_ptr<TRegNode>> Children;
    std::vector<std::pair<std::string, std::string>> Values;
    bool DenyOpen = false;
    bool DenyCreate = false;
    bool DenyWrite = false; // opens for reading only, as machine-wide keys do for a user
};

struct TRegHandle {
    std::shared_ptr<TRegNode> Node;
    std::uint32_t Access = RegKeyAllAccess;
};

struct TTopWindow {
    std::string Title, ClassName;
    std::unique_ptr<int> Identity; // its address is the window handle
    TRect Bounds;
};

struct TState {
    std::deque<TEvent> Queue;
    std::vector<THeadlessWindow*> Windows; // creation order: parents before children
    std::vector<TForm*> ModalStack;
    TWinControl* Capture = nullptr;
    TControl* Pressed = nullptr;
    TControl* Hover = nullptr;
    int Cursor = crDefault;
    std::uint64_t Clock = 0;
    struct TTimerSlot {
        TTimer* Timer;
        std::uint64_t Due;
    };
    std::vector<TTimerSlot> Timers;
    int ScreenW = 1280, ScreenH = 1024, Depth = 32, HorzScrollBar = 17;
    int Dpi = 96;
    headless::TDpiAwarenessSupport AwarenessSupport = headless::TDpiAwarenessSupport::PerMonitorV2;
    std::intptr_t Awareness = headless::DpiContextUnaware;
    std::vector<headless::TMessageBoxCall> Boxes;
    int BoxAnswer = MsgBoxResultOk;
    std::vector<headless::TShellOpenCall> Shell;
    std::intptr_t ShellResult = 42;
    std::vector<headless::TWindowPlacement> Placements;
    std::vector<headless::TFormSizingCall> Sizings;
    TPoint CursorScreen;
    bool SizingUntilRelease = false;
    std::vector<TTopWindow> TopWindows;
    std::map<std::uint32_t, std::shared_ptr<TRegNode>> Roots;
    int OpenKeys = 0;
    int OpenAttempts = 0;
    bool Themes = false;
    std::vector<headless::TThemeElementCall> ThemeCalls;
    std::vector<headless::TFrameControlCall> FrameCalls;
    std::vector<headless::TTextOutCall> TextCalls;
};

TState& S()
{
    static TState state;
    return state;
}

class THeadlessWindow : public IWindowImpl {
public:
    explicit THeadlessWindow(TWinControl& C) : Control(C)
    {
        if (auto* f = dynamic_cast<TForm*>(&C))
            FStyle = WS_STYLE_POPUP | f->BorderStyleBits();
        else
            FStyle = WS_STYLE_CHILD;
        if (C.Visible())
            FStyle |= WS_STYLE_VISIBLE;
        S().Windows.push_back(this);
        SystemInvalidate();
    }
    ~THeadlessWindow() override
    {
        auto& w = S().Windows;
        w.erase(std::remove(w.begin(), w.end(), this), w.end());
    }
    void* Handle() const override { return const_cast<THeadlessWindow*>(this); }
    // The density of the monitor the window shows on (forms).
    int MonitorDpi = S().Dpi;
    void BoundsChanged() override { SystemInvalidate(); }
    void VisibleChanged() override
    {
        if (Control.Visible())
            FStyle |= WS_STYLE_VISIBLE;
        else
            FStyle &= ~WS_STYLE_VISIBLE;
        if (Control.Visible())
            InvalidateTree(Control);
    }
    void EnabledChanged() override {}
    void TextChanged() override { Invalidate(); }
    void StateChanged() override { Invalidate(); }
    void Invalidate() override
    {
        PaintPending = true;
        PendingWhole = true;
    }
    void InvalidateRect(const TRect& R) override
    {
        if (R.Left >= R.Right || R.Top >= R.Bottom)
            return;
        PaintPending = true;
        if (PendingArea.Left >= PendingArea.Right || PendingArea.Top >= PendingArea.Bottom)
            PendingArea = R;
        else
            PendingArea = TRect{std::min(PendingArea.Left, R.Left), std::min(PendingArea.Top, R.Top),
                                std::max(PendingArea.Right, R.Right), std::max(PendingArea.Bottom, R.Bottom)};
    }
    void Update() override
    {
        if (PaintPending && Control.Showing())
            Paint();
    }
    std::uint32_t Style() const override { return FStyle; }
    void SetStyle(std::uint32_t Style) override { FStyle = Style; }
    void SetFocus() override {}
    TRect NonClientInsets() const override
    {
        // The system draws the frame at the density the window is laid out for.
        return FrameInsets(FStyle, Control.Dpi());
    }
    // A frame of 4 pixels (sizeable), 3 (dialog) or 1 (border) and an 18-pixel caption at 96 dpi.
    static TRect FrameInsets(std::uint32_t Style, int Dpi)
    {
        int frame = 0;
        if (Style & WS_STYLE_THICKFRAME)
            frame = 4;
        else if ((Style & WS_STYLE_DLGFRAME) || (Style & DS_STYLE_MODALFRAME))
            frame = 3;
        else if (Style & WS_STYLE_BORDER)
            frame = 1;
        frame = ScaleForDpi(frame, Dpi);
        int caption = (Style & WS_STYLE_CAPTION) == WS_STYLE_CAPTION ? ScaleForDpi(18, Dpi) : 0;
        return TRect{frame, frame + caption, frame, frame};
    }

    static void InvalidateTree(TWinControl& C)
    {
        if (C.HandleAllocated())
            static_cast<THeadlessWindow&>(C.WindowImpl()).SystemInvalidate();
        for (int i = 0; i < C.ControlCount(); ++i)
            if (auto* w = dynamic_cast<TWinControl*>(C.Controls(i)))
                InvalidateTree(*w);
    }

    // What the system itself invalidates (a new, moved, sized or shown window) is erased
    // before it is painted.
    void SystemInvalidate()
    {
        Invalidate();
        EraseNeeded = true;
    }

    // Like the platform: the surface holds what shows of the window (the part its parents
    // leave visible, from the window's corner), the paint reaches only the invalid part of
    // it, the erase-background message comes first when the system asked for it, and a
    // control that does not paint all of its area is first filled with its colour.
    void Paint()
    {
        const TRect area = Forced || PendingWhole ? TRect{0, 0, Control.Width(), Control.Height()} : PendingArea;
        PaintPending = false;
        PendingWhole = false;
        Forced = false;
        PendingArea = TRect{};
        const bool erase = EraseNeeded;
        EraseNeeded = false;
        ++Paints;
        const TRect visible = dynamic_cast<TForm*>(&Control) ? TRect{0, 0, Control.Width(), Control.Height()}
                                                             : Control.VisibleRect();
        {
            headless_dib::TDisplayStorageScope screen; // the system's memory on Windows
            Surface.SetSize(visible.Right, visible.Bottom);
        }
        TRect clip{std::max(area.Left, visible.Left), std::max(area.Top, visible.Top),
                   std::min(area.Right, visible.Right), std::min(area.Bottom, visible.Bottom)};
        if (clip.Left >= clip.Right || clip.Top >= clip.Bottom)
            return;
        LastPaintArea = clip;
        Surface.SetClipRect(clip);
        THeadlessCanvas canvas(Surface);
        if (erase) {
            TControlMessage e;
            e.Kind = TMessageKind::EraseBackground;
            e.Rect = clip;
            Control.Dispatch(e);
        }
        if (!(Control.ControlStyle() & csOpaque)) {
            canvas.Brush.Color = Control.BackgroundColor();
            canvas.FillRect(clip);
            canvas.Brush.Color = clWhite;
        }
        TControlMessage m;
        m.Kind = TMessageKind::Paint;
        m.Canvas = &canvas;
        Control.Dispatch(m);
    }

    TWinControl& Control;
    bool PaintPending = false;
    bool PendingWhole = false;
    TRect PendingArea;
    bool EraseNeeded = false;
    // Set for a paint message posted by a test: the whole window, whatever is invalid.
    bool Forced = false;
    int Paints = 0;
    TRect LastPaintArea;
    TBitmap32 Surface;

private:
    std::uint32_t FStyle = 0;
};

THeadlessWindow* WindowOf(const TWinControl* C)
{
    for (THeadlessWindow* w : S().Windows)
        if (&w->Control == C)
            return w;
    return nullptr;
}

TForm* RunningForm() { return S().ModalStack.empty() ? nullptr : S().ModalStack.back(); }

// The control the platform would route a mouse event at screen point P to.
TControl* HitTest(TPoint P)
{
    TForm* f = RunningForm();
    if (!f)
        return nullptr;
    TPoint o = f->ClientOrigin();
    TPoint c{P.X - o.X, P.Y - o.Y};
    if (c.X < 0 || c.Y < 0 || c.X >= f->ClientWidth() || c.Y >= f->ClientHeight())
        return nullptr;
    return f->ControlAtPos(c);
}

void Send(TControl* C, TControlMessage& M)
{
    if (C)
        C->Dispatch(M);
}

void UpdateHover(TControl* Hit)
{
    TState& s = S();
    if (Hit == s.Hover)
        return;
    TControl* old = s.Hover;
    s.Hover = Hit;
    TControlMessage leave;
    leave.Kind = TMessageKind::MouseLeave;
    Send(old, leave);
    TControlMessage enter;
    enter.Kind = TMessageKind::MouseEnter;
    Send(Hit, enter);
}

void DeliverMouse(const TEvent& E)
{
    TState& s = S();
    TPoint screen = E.Target->ClientToScreen(TPoint{E.X, E.Y});
    s.CursorScreen = screen;
    if (s.SizingUntilRelease) {
        // The system's sizing loop has the mouse until the button comes up.
        if (E.Message == TMessageKind::MouseUp)
            s.SizingUntilRelease = false;
        return;
    }
    TControl* hit = HitTest(screen);
    UpdateHover(hit);
    // Capture first; then a pressed control keeps the mouse until the button is released.
    TControl* to = s.Capture ? s.Capture : (s.Pressed ? s.Pressed : hit);
    if (!to)
        return;
    TPoint local = to->ScreenToClient(screen);
    TControlMessage m;
    m.Kind = E.Message;
    m.Button = E.Button;
    m.Shift = E.Shift;
    m.X = local.X;
    m.Y = local.Y;
    m.WheelDelta = E.Delta;
    if (E.Message == TMessageKind::MouseDown) {
        s.Pressed = to;
        if (auto* w = dynamic_cast<TWinControl*>(to); w && w->TabStop() && w->CanFocus())
            w->SetFocus();
    }
    if (E.Message == TMessageKind::MouseWheel) {
        // The wheel goes to the focused control first, then up through its parents.
        TForm* f = RunningForm();
        TControl* c = f && f->ActiveControl() ? f->ActiveControl() : to;
        DispatchWheel(c, screen, m);
        return;
    }
    to->Dispatch(m);
    if (E.Message == TMessageKind::MouseUp)
        s.Pressed = nullptr;
}

void DeliverKey(const TEvent& E)
{
    TControl* to = E.Target;
    if (!to) {
        TForm* f = RunningForm();
        if (!f)
            return;
        // A focused control that can no longer take the focus has lost it to the form.
        TWinControl* active = f->ActiveControl();
        to = active && active->CanFocus() ? static_cast<TControl*>(active) : f;
    }
    TControlMessage m;
    m.Kind = E.Message;
    m.Key = E.Key;
    m.Shift = E.Shift;
    m.Char = E.Char;
    to->Dispatch(m);
}

void AdvanceClock(unsigned Ms)
{
    TState& s = S();
    std::uint64_t end = s.Clock + Ms;
    for (;;) {
        auto it = std::min_element(s.Timers.begin(), s.Timers.end(),
                                   [](const auto& a, const auto& b) { return a.Due < b.Due; });
        if (it == s.Timers.end() || it->Due > end)
            break;
        TTimer* t = it->Timer;
        s.Clock = it->Due;
        it->Due += std::max(1u, t->Interval());
        t->Tick(); // may stop or restart timers, so the slot is looked up afresh each round
    }
    s.Clock = end;
}

void Deliver(TEvent& E)
{
    switch (E.Type) {
    case TEvent::evMouse: DeliverMouse(E); break;
    case TEvent::evKey: DeliverKey(E); break;
    case TEvent::evSelect: {
        TControlMessage m;
        m.Kind = TMessageKind::Select;
        m.Index = E.Index;
        E.Target->Dispatch(m);
        break;
    }
    case TEvent::evPaint:
        if (auto* w = WindowOf(dynamic_cast<TWinControl*>(E.Target))) {
            w->Forced = true;
            w->Paint();
        }
        break;
    case TEvent::evTick: {
        auto& t = S().Timers;
        if (std::any_of(t.begin(), t.end(), [&](const auto& x) { return x.Timer == E.Timer; }))
            E.Timer->Tick();
        break;
    }
    case TEvent::evAdvance: AdvanceClock(E.Ms); break;
    case TEvent::evClose: {
        TControlMessage m;
        m.Kind = TMessageKind::Close;
        E.Target->Dispatch(m);
        break;
    }
    case TEvent::evCall:
        try {
            E.Fn();
        } catch (...) {
            Application->HandleException();
        }
        break;
    }
}

bool DeliverNext()
{
    TState& s = S();
    if (s.Queue.empty())
        return false;
    TEvent e = std::move(s.Queue.front());
    s.Queue.pop_front();
    Deliver(e);
    return true;
}

bool FlushPaintsOnce()
{
    // Copy: painting may create or destroy windows.
    std::vector<THeadlessWindow*> list = S().Windows;
    bool any = false;
    for (THeadlessWindow* w : list) {
        auto& all = S().Windows;
        if (std::find(all.begin(), all.end(), w) == all.end())
            continue;
        if (w->PaintPending && w->Control.Showing()) {
            w->Paint();
            any = true;
        }
    }
    return any;
}

void Post(TEvent E) { S().Queue.push_back(std::move(E)); }

TEvent MouseEvent(TMessageKind K, TControl* T, int X, int Y, TMouseButton B, TShiftState Sh)
{
    TEvent e(TEvent::evMouse);
    e.Message = K;
    e.Target = T;
    e.X = X;
    e.Y = Y;
    e.Button = B;
    e.Shift = Sh;
    return e;
}

TEvent KeyEvent(TMessageKind K, TWinControl* T, std::uint16_t Key, TShiftState Sh, char C = 0)
{
    TEvent e(TEvent::evKey);
    e.Message = K;
    e.Target = T;
    e.Key = Key;
    e.Shift = Sh;
    e.Char = C;
    return e;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> SplitPath(const std::string& Path)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : Path) {
        if (c == '\\') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        parts.push_back(cur);
    return parts;
}

std::shared_ptr<TRegNode> Root(TRegistryRoot R)
{
    auto& slot = S().Roots[static_cast<std::uint32_t>(R)];
    if (!slot)
        slot = std::make_shared<TRegNode>();
    return slot;
}

std::shared_ptr<TRegNode> Child(const std::shared_ptr<TRegNode>& N, const std::string& Name)
{
    for (auto& c : N->Children)
        if (Lower(c->Name) == Lower(Name))
            return c;
    return nullptr;
}

// The path a view sees: the 32-bit view of the local machine's SOFTWARE tree lies below
// SOFTWARE\Wow6432Node, as under WoW64; other roots have one tree for both views.
std::string InView(TRegistryRoot R, const std::string& Path, std::uint32_t View)
{
    if ((View & RegKeyViewMask) == 0)
        View = RegistryOwnView;
    if (R != TRegistryRoot::LocalMachine || (View & RegKeyViewMask) != RegKeyWow64_32Key)
        return Path;
    const std::vector<std::string> parts = SplitPath(Path);
    if (parts.empty() || Lower(parts[0]) != "software")
        return Path;
    std::string mapped = parts[0] + "\\Wow6432Node";
    for (std::size_t i = 1; i < parts.size(); ++i)
        mapped += "\\" + parts[i];
    return mapped;
}

// Walks (and with Create makes) the path; with Checked honours the keys' rights as the
// platform does for Access: a key that refuses writing opens only without modifying rights,
// and no subkey is made below it.
std::shared_ptr<TRegNode> Walk(TRegistryRoot R, const std::string& Path, bool Create, bool Checked,
                               std::uint32_t Access = RegKeyAllAccess)
{
    std::shared_ptr<TRegNode> n = Root(R);
    for (const std::string& part : SplitPath(InView(R, Path, Access))) {
        std::shared_ptr<TRegNode> c = Child(n, part);
        if (!c) {
            if (!Create || (Checked && (n->DenyCreate || n->DenyOpen || n->DenyWrite)))
                return nullptr;
            c = std::make_shared<TRegNode>();
            c->Name = part;
            n->Children.push_back(c);
        }
        n = c;
    }
    if (Checked && (n->DenyOpen || (n->DenyWrite && (Access & RegKeyModifyingRights) != 0)))
        return nullptr;
    return n;
}

} // namespace

// ---------------------------------------------------------------- the platform interface

namespace plat {

std::unique_ptr<IWindowImpl> CreateWindowImpl(TWinControl& Control)
{
    return std::make_unique<THeadlessWindow>(Control);
}

void RunModalLoop(TForm& Form)
{
    TState& s = S();
    s.ModalStack.push_back(&Form);
    THeadlessWindow::InvalidateTree(Form);
    try {
        while (Form.ModalResult() == mrNone) {
            if (DeliverNext())
                continue;
            if (FlushPaintsOnce())
                continue;
            // Nothing left to do: a real user would have to close the dialog.
            Form.SetModalResult(mrCancel);
        }
    } catch (...) {
        s.ModalStack.pop_back();
        throw;
    }
    s.ModalStack.pop_back();
    if (s.Capture && s.Capture->ParentForm() == &Form)
        s.Capture = nullptr;
    s.Pressed = nullptr;
    s.Hover = nullptr;
}

void ProcessMessages()
{
    while (DeliverNext()) {
    }
    FlushPaintsOnce();
}

void ControlDestroyed(TWinControl& Control)
{
    TState& s = S();
    if (s.Capture == &Control)
        s.Capture = nullptr;
    if (s.Pressed == &Control)
        s.Pressed = nullptr;
    if (s.Hover == &Control)
        s.Hover = nullptr;
    // Scripted events aimed at a destroyed control are dropped.
    for (auto it = s.Queue.begin(); it != s.Queue.end();)
        if (it->Target == &Control)
            it = s.Queue.erase(it);
        else
            ++it;
}

void SetCapture(TWinControl* Control) { S().Capture = Control; }
void ReleaseCapture() { S().Capture = nullptr; }
TWinControl* CaptureControl() { return S().Capture; }
void SetCursor(int CursorId) { S().Cursor = CursorId; }
int CurrentCursor() { return S().Cursor; }
TPoint CursorPos() { return S().CursorScreen; }

void StartTimer(TTimer& Timer)
{
    TState& s = S();
    StopTimer(Timer);
    s.Timers.push_back({&Timer, s.Clock + std::max(1u, Timer.Interval())});
}

void StopTimer(TTimer& Timer)
{
    auto& t = S().Timers;
    t.erase(std::remove_if(t.begin(), t.end(), [&](const auto& x) { return x.Timer == &Timer; }), t.end());
}

void StartFormSizing(TForm& Form, int HitTest)
{
    TState& s = S();
    s.Sizings.push_back({&Form, HitTest, s.CursorScreen, s.Capture});
    s.SizingUntilRelease = true;
    s.Pressed = nullptr;
}

int ScreenWidth() { return S().ScreenW; }
int ScreenHeight() { return S().ScreenH; }
int ScreenDepth() { return S().Depth; }
int HorzScrollBarHeight() { return S().HorzScrollBar; }

int FormDpi(TForm& Form)
{
    return Form.HandleAllocated() ? static_cast<THeadlessWindow&>(Form.WindowImpl()).MonitorDpi : S().Dpi;
}

TRect FrameInsetsForDpi(TForm& Form, int Dpi)
{
    std::uint32_t style = Form.HandleAllocated() ? Form.WindowImpl().Style()
                                                 : WS_STYLE_POPUP | Form.BorderStyleBits();
    return THeadlessWindow::FrameInsets(style, Dpi);
}

// The scroll bar height set for the test is the 96-dpi one.
int HorzScrollBarHeightForDpi(int Dpi) { return ScaleForDpi(S().HorzScrollBar, Dpi); }

bool EnterPerMonitorDpiAwareness(std::intptr_t& Previous)
{
    TState& s = S();
    if (s.AwarenessSupport == headless::TDpiAwarenessSupport::None)
        return false;
    Previous = s.Awareness;
    s.Awareness = s.AwarenessSupport == headless::TDpiAwarenessSupport::PerMonitorV2
                      ? headless::DpiContextPerMonitorV2
                      : headless::DpiContextPerMonitor;
    return true;
}

void RestoreDpiAwareness(std::intptr_t Previous) { S().Awareness = Previous; }

TSize TextExtent(const TFont& Font, const std::string& Text)
{
    // Fixed pitch: half the character height per character, the height plus 2 per line.
    int h = std::abs(Font.Height());
    int cw = std::max(1, (h + 1) / 2), lh = h + 2;
    int lines = 1, longest = 0, cur = 0;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        char c = Text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
                ++i;
            longest = std::max(longest, cur);
            cur = 0;
            ++lines;
        } else {
            ++cur;
        }
    }
    longest = std::max(longest, cur);
    return TSize{longest * cw, lines * lh};
}

int ShowMessageBox(void* Owner, const std::string& Text, const std::string& Caption, unsigned Flags)
{
    S().Boxes.push_back({Owner, Text, Caption, Flags});
    return S().BoxAnswer;
}

void* ActiveWindow()
{
    TForm* f = RunningForm();
    return f && f->HandleAllocated() ? f->Handle() : nullptr;
}

std::intptr_t ShellOpen(void* Owner, const std::string& Verb, const std::string& File,
                        const std::string& Parameters, const std::string& Directory, int ShowCmd)
{
    S().Shell.push_back({Owner, Verb, File, Parameters, Directory, ShowCmd});
    return S().ShellResult;
}

void* FindTopWindow(const char* ClassName, const char* Title)
{
    for (TTopWindow& w : S().TopWindows) {
        if (Title && w.Title != Title)
            continue;
        if (ClassName && w.ClassName != ClassName)
            continue;
        return w.Identity.get();
    }
    return nullptr;
}

bool PlaceWindow(void* Window, void* InsertAfter, int X, int Y, int Cx, int Cy, unsigned Flags)
{
    for (TTopWindow& w : S().TopWindows)
        if (w.Identity.get() == Window) {
            S().Placements.push_back({Window, InsertAfter, X, Y, Cx, Cy, Flags});
            if (!(Flags & SwpNoMove))
                w.Bounds = TRect{X, Y, X + w.Bounds.Width(), Y + w.Bounds.Height()};
            if (!(Flags & SwpNoSize)) {
                w.Bounds.Right = w.Bounds.Left + Cx;
                w.Bounds.Bottom = w.Bounds.Top + Cy;
            }
            return true;
        }
    return false; // not a window
}

bool OpenRegistryKey(TRegistryRoot Root, const std::string& Path, bool CanCreate, std::uint32_t Access,
                     TRegistryKey& Key)
{
    ++S().OpenAttempts;
    std::shared_ptr<TRegNode> n = Walk(Root, Path, CanCreate, true, Access);
    if (!n)
        return false;
    Key = new TRegHandle{n, Access};
    ++S().OpenKeys;
    return true;
}

void CloseRegistryKey(TRegistryKey Key)
{
    if (!Key)
        return;
    delete static_cast<TRegHandle*>(Key);
    --S().OpenKeys;
}

std::vector<std::string> RegistrySubKeyNames(TRegistryKey Key)
{
    std::vector<std::string> names;
    for (auto& c : static_cast<TRegHandle*>(Key)->Node->Children)
        names.push_back(c->Name);
    return names;
}

std::vector<std::string> RegistryValueNames(TRegistryKey Key)
{
    std::vector<std::string> names;
    for (auto& v : static_cast<TRegHandle*>(Key)->Node->Values)
        names.push_back(v.first);
    return names;
}

bool ReadRegistryString(TRegistryKey Key, const std::string& Name, std::string& Value)
{
    for (auto& v : static_cast<TRegHandle*>(Key)->Node->Values)
        if (Lower(v.first) == Lower(Name)) {
            Value = v.second;
            return true;
        }
    return false;
}

bool WriteRegistryString(TRegistryKey Key, const std::string& Name, const std::string& Value)
{
    if (!(static_cast<TRegHandle*>(Key)->Access & RegKeySetValue))
        return false;
    auto& values = static_cast<TRegHandle*>(Key)->Node->Values;
    for (auto& v : values)
        if (Lower(v.first) == Lower(Name)) {
            v.second = Value;
            return true;
        }
    values.emplace_back(Name, Value);
    return true;
}

bool RegistryValueExists(TRegistryKey Key, const std::string& Name)
{
    std::string ignored;
    return ReadRegistryString(Key, Name, ignored);
}

bool FindRawResource(const std::string& Name, std::string& Text) { return FindCompiledResource(Name, Text); }

} // namespace plat

// ---------------------------------------------------------------- the test interface

namespace headless {

void Reset()
{
    TState& s = S();
    s.Queue.clear();
    s.Capture = nullptr;
    s.Pressed = nullptr;
    s.Hover = nullptr;
    s.Cursor = crDefault;
    s.Themes = false;
    s.ThemeCalls.clear();
    s.FrameCalls.clear();
    s.TextCalls.clear();
    s.Clock = 0;
    s.ScreenW = 1280;
    s.ScreenH = 1024;
    s.Depth = 32;
    s.HorzScrollBar = 17;
    s.Dpi = 96;
    s.AwarenessSupport = TDpiAwarenessSupport::PerMonitorV2;
    s.Awareness = DpiContextUnaware;
    s.Boxes.clear();
    s.BoxAnswer = MsgBoxResultOk;
    s.Shell.clear();
    s.ShellResult = 42;
    s.Placements.clear();
    s.Sizings.clear();
    s.CursorScreen = TPoint{};
    s.SizingUntilRelease = false;
    s.TopWindows.clear();
    s.Roots.clear();
    s.OpenAttempts = 0;
}

void PostMouseDown(TControl* T, int X, int Y, TMouseButton B, TShiftState Sh)
{
    Post(MouseEvent(TMessageKind::MouseDown, T, X, Y, B, Sh));
}
void PostMouseUp(TControl* T, int X, int Y, TMouseButton B, TShiftState Sh)
{
    Post(MouseEvent(TMessageKind::MouseUp, T, X, Y, B, Sh));
}
void PostMouseMove(TControl* T, int X, int Y, TShiftState Sh)
{
    Post(MouseEvent(TMessageKind::MouseMove, T, X, Y, mbLeft, Sh));
}
void PostMouseWheel(TControl* T, int X, int Y, int WheelDelta, TShiftState Sh)
{
    TEvent e = MouseEvent(TMessageKind::MouseWheel, T, X, Y, mbLeft, Sh);
    e.Delta = WheelDelta;
    Post(std::move(e));
}
void PostClick(TControl* T, int X, int Y, TMouseButton B)
{
    PostMouseDown(T, X, Y, B);
    PostMouseUp(T, X, Y, B);
}
void PostKeyDown(TWinControl* T, std::uint16_t Key, TShiftState Sh) { Post(KeyEvent(TMessageKind::KeyDown, T, Key, Sh)); }
void PostKeyUp(TWinControl* T, std::uint16_t Key, TShiftState Sh) { Post(KeyEvent(TMessageKind::KeyUp, T, Key, Sh)); }
void PostChar(TWinControl* T, char C) { Post(KeyEvent(TMessageKind::Char, T, 0, 0, C)); }
void PostKey(TWinControl* T, std::uint16_t Key, TShiftState Sh)
{
    PostKeyDown(T, Key, Sh);
    // The character the platform's key translation makes of a virtual key, if any.
    if (Key == VK_KEY_RETURN || Key == VK_KEY_ESCAPE || Key == VK_KEY_SPACE || Key == 8 || Key == 9 ||
        (Key >= '0' && Key <= '9'))
        PostChar(T, static_cast<char>(Key));
    else if (Key >= 'A' && Key <= 'Z')
        PostChar(T, static_cast<char>(Sh & ssShift ? Key : Key - 'A' + 'a'));
    PostKeyUp(T, Key, Sh);
}
void PostSelect(TComboBox* Combo, int Index)
{
    TEvent e(TEvent::evSelect);
    e.Target = Combo;
    e.Index = Index;
    Post(std::move(e));
}
void PostPaint(TWinControl* T)
{
    TEvent e(TEvent::evPaint);
    e.Target = T;
    Post(std::move(e));
}
void PostTimerTick(TTimer* Timer)
{
    TEvent e(TEvent::evTick);
    e.Timer = Timer;
    Post(std::move(e));
}
void PostAdvanceTime(unsigned Ms)
{
    TEvent e(TEvent::evAdvance);
    e.Ms = Ms;
    Post(std::move(e));
}
void PostClose(TForm* Form)
{
    TEvent e(TEvent::evClose);
    e.Target = Form;
    Post(std::move(e));
}
void PostCall(std::function<void()> Call)
{
    TEvent e(TEvent::evCall);
    e.Fn = std::move(Call);
    Post(std::move(e));
}
std::size_t PendingEvents() { return S().Queue.size(); }
std::uint64_t Now() { return S().Clock; }

bool PaintPending(const TWinControl* C)
{
    THeadlessWindow* w = WindowOf(C);
    return w && w->PaintPending;
}
void FlushPaints() { FlushPaintsOnce(); }
const TBitmap32* Surface(const TWinControl* C)
{
    THeadlessWindow* w = WindowOf(C);
    return w ? &w->Surface : nullptr;
}
int PaintCount(const TWinControl* C)
{
    THeadlessWindow* w = WindowOf(C);
    return w ? w->Paints : 0;
}
TRect LastPaintArea(const TWinControl* C)
{
    THeadlessWindow* w = WindowOf(C);
    return w ? w->LastPaintArea : TRect{};
}
void SetCursorPos(TPoint Screen) { S().CursorScreen = Screen; }
void SetHorzScrollBarHeight(int Pixels) { S().HorzScrollBar = Pixels; }
void SetScreenDpi(int Dpi) { S().Dpi = Dpi; }
int ScreenDpi() { return S().Dpi; }
void PostDpiChange(TForm* Form, int Dpi, TRect Suggested)
{
    PostCall([Form, Dpi, Suggested] {
        if (Form->HandleAllocated())
            static_cast<THeadlessWindow&>(Form->WindowImpl()).MonitorDpi = Dpi;
        Form->DpiChangedByPlatform(Dpi, Suggested);
    });
}
void SetDpiAwarenessSupport(TDpiAwarenessSupport Support) { S().AwarenessSupport = Support; }
std::intptr_t ThreadDpiAwareness() { return S().Awareness; }
void SetThreadDpiAwareness(std::intptr_t Context) { S().Awareness = Context; }

void SetScreenSize(int W, int H)
{
    S().ScreenW = W;
    S().ScreenH = H;
}
void SetScreenDepth(int D) { S().Depth = D; }
TControl* HoverControl() { return S().Hover; }
TForm* ModalForm() { return RunningForm(); }
int LiveWindowCount() { return static_cast<int>(S().Windows.size()); }

const std::vector<TMessageBoxCall>& MessageBoxes() { return S().Boxes; }
const std::vector<TShellOpenCall>& ShellOpens() { return S().Shell; }
const std::vector<TWindowPlacement>& WindowPlacements() { return S().Placements; }
const std::vector<TFormSizingCall>& FormSizings() { return S().Sizings; }
void SetMessageBoxAnswer(int A) { S().BoxAnswer = A; }
void SetShellResult(std::intptr_t R) { S().ShellResult = R; }

void* AddTopWindow(const std::string& Title, const std::string& ClassName)
{
    S().TopWindows.push_back({Title, ClassName, std::make_unique<int>(0), TRect{100, 100, 500, 400}});
    return S().TopWindows.back().Identity.get();
}

void RegistryAddKey(TRegistryRoot R, const std::string& Path, std::uint32_t View) { Walk(R, Path, true, false, View); }
void RegistrySetString(TRegistryRoot R, const std::string& Path, const std::string& Name, const std::string& Value,
                       std::uint32_t View)
{
    TRegHandle h{Walk(R, Path, true, false, View), RegKeyAllAccess};
    plat::WriteRegistryString(&h, Name, Value);
}
void RegistryDenyOpen(TRegistryRoot R, const std::string& Path, std::uint32_t View)
{
    Walk(R, Path, true, false, View)->DenyOpen = true;
}
void RegistryDenyCreate(TRegistryRoot R, const std::string& Path, std::uint32_t View)
{
    Walk(R, Path, true, false, View)->DenyCreate = true;
}
void RegistryDenyWrite(TRegistryRoot R, const std::string& Path, std::uint32_t View)
{
    Walk(R, Path, true, false, View)->DenyWrite = true;
}
bool RegistryKeyExists(TRegistryRoot R, const std::string& Path, std::uint32_t View)
{
    return Walk(R, Path, false, false, View) != nullptr;
}
int OpenRegistryKeyCount() { return S().OpenKeys; }
int RegistryOpenAttempts() { return S().OpenAttempts; }

} // namespace headless

namespace headless {

void SetThemesActive(bool Active) { S().Themes = Active; }
bool ThemesActive() { return S().Themes; }
const std::vector<TThemeElementCall>& ThemeElements() { return S().ThemeCalls; }
const std::vector<TFrameControlCall>& FrameControls() { return S().FrameCalls; }
void RecordThemeElement(const TThemeElementCall& Call) { S().ThemeCalls.push_back(Call); }
void RecordFrameControl(const TFrameControlCall& Call) { S().FrameCalls.push_back(Call); }
const std::vector<TTextOutCall>& TextOuts() { return S().TextCalls; }
void RecordTextOut(const TTextOutCall& Call) { S().TextCalls.push_back(Call); }

} // namespace headless
