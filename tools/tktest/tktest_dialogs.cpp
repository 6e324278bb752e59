// Modal dialogs in real windows, driven by posted messages as a user's input arrives: the
// stored test form with a check box, two buttons and a drop-down list; a form with a
// self-drawn probe control; timers; and the about box.
#include <functional>
#include <map>

#include "entry/about_box.h"
#include "tktest.h"
#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/stdctrls.h"
#include "toolkit/timers.h"
#include "toolkit/win32/win32.h"

namespace tk {
namespace {

HWND H(TWinControl* C) { return static_cast<HWND>(C->Handle()); }

void Post(HWND W, UINT M, WPARAM Wp = 0, int X = 0, int Y = 0)
{
    PostMessageA(W, M, Wp, MAKELPARAM(static_cast<WORD>(X), static_cast<WORD>(Y)));
}

void PostClick(HWND W, int X, int Y)
{
    Post(W, WM_LBUTTONDOWN, MK_LBUTTON, X, Y);
    Post(W, WM_LBUTTONUP, 0, X, Y);
}

void PostKey(HWND W, WPARAM Key)
{
    PostMessageA(W, WM_KEYDOWN, Key, 1);
    PostMessageA(W, WM_KEYUP, Key, static_cast<LPARAM>(0xC0000001u));
}

// Where a child window lies in its parent's client area.
RECT ChildRect(HWND W)
{
    RECT r;
    GetWindowRect(W, &r);
    MapWindowPoints(nullptr, GetParent(W), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class TTestForm : public TForm {
public:
    explicit TTestForm(TComponent* Owner) : TForm(Owner)
    {
        RegisterHandler("chkOptionClick", [this](TObject*) { ++OptionClicks; });
        RegisterHandler("btnOkClick", [this](TObject*) {
            ++OkClicks;
            FocusAtOk = GetFocus();
        });
        RegisterHandler("cmbModeChange", [this](TObject*) { ++ModeChanges; });
        RegisterField("chkOption", chkOption);
        RegisterField("btnOk", btnOk);
        RegisterField("btnCancel", btnCancel);
        RegisterField("cmbMode", cmbMode);
        LoadFromResource("TKTESTFORM");
    }
    TCheckBox* chkOption = nullptr;
    TButton* btnOk = nullptr;
    TButton* btnCancel = nullptr;
    TComboBox* cmbMode = nullptr;
    int OptionClicks = 0, OkClicks = 0, ModeChanges = 0;
    HWND FocusAtOk = nullptr;
};

// Runs Form modally with Script run once it shows; a guard ends a dialog the script failed
// to close, so a fault shows up as a failed check rather than a hang.
int Run(TForm& Form, std::function<void()> Script)
{
    Form.OnShow = [&](TObject*) { Script(); };
    TTimer guard(nullptr);
    guard.SetInterval(8000);
    guard.SetOnTimer([&](TObject*) {
        Check(false, std::string("dialog left open: ") + Form.Caption(), __LINE__);
        Form.SetModalResult(mrAbort);
    });
    int r = Form.ShowModal();
    guard.SetEnabled(false);
    return r;
}

// Runs Fn once from the running loop after the messages posted so far (timers come last).
std::map<UINT_PTR, std::function<void()>>& LaterCalls()
{
    static std::map<UINT_PTR, std::function<void()>> calls;
    return calls;
}
VOID CALLBACK LaterTick(HWND, UINT, UINT_PTR Id, DWORD)
{
    KillTimer(nullptr, Id);
    auto it = LaterCalls().find(Id);
    if (it == LaterCalls().end())
        return;
    std::function<void()> fn = std::move(it->second);
    LaterCalls().erase(it);
    fn();
}
void Later(std::function<void()> Fn) { LaterCalls()[SetTimer(nullptr, 0, 10, &LaterTick)] = std::move(Fn); }

struct TOwnerProbe {
    static inline HWND Owner = nullptr, Form = nullptr;
    static inline BOOL Enabled = TRUE;
    static VOID CALLBACK Tick(HWND, UINT, UINT_PTR Id, DWORD)
    {
        KillTimer(nullptr, Id);
        Enabled = IsWindowEnabled(Owner);
        PostMessageA(Form, WM_CLOSE, 0, 0);
    }
};

void StandardControlChecks()
{
    Section("stored dialog: check box and buttons by mouse");
    {
        TComponentPtr<TTestForm> f(CreateComponent<TTestForm>(nullptr));
        int r = Run(*f, [&] {
            PostClick(H(f->chkOption), 5, 5);
            PostClick(H(f->btnOk), 10, 10);
        });
        CHECK_EQ(r, mrOk);
        CHECK(f->chkOption->Checked());
        CHECK_EQ(f->OptionClicks, 1);
        CHECK_EQ(f->OkClicks, 1);
        CHECK(!IsWindowVisible(H(f.get())));
        // Placement of the children inside the border width, and the frame around the client.
        RECT ok = ChildRect(H(f->btnOk));
        CHECK_EQ(ok.left, 6 + 10);
        CHECK_EQ(ok.top, 6 + 40);
        CHECK_EQ(ok.right - ok.left, 75);
        CHECK_EQ(ok.bottom - ok.top, 25);
        RECT w, c;
        GetWindowRect(H(f.get()), &w);
        GetClientRect(H(f.get()), &c);
        CHECK_EQ(w.left, 120);
        CHECK_EQ(w.right - w.left, 320);
        CHECK_EQ(c.right, f->ClientWidth() + 2 * 6);
        CHECK_EQ(c.bottom, f->ClientHeight() + 2 * 6);
        CHECK((GetWindowLongA(H(f.get()), GWL_STYLE) & WS_CAPTION) == WS_CAPTION);
    }
    Section("stored dialog: keys");
    {
        TComponentPtr<TTestForm> f(CreateComponent<TTestForm>(nullptr));
        HWND focus = nullptr;
        int r = Run(*f, [&] {
            focus = GetFocus();
            PostKey(focus ? focus : H(f.get()), VK_RETURN);
        });
        CHECK(focus == H(f.get())); // a shown dialog has the keyboard
        CHECK_EQ(r, mrOk);
        CHECK_EQ(f->OkClicks, 1);
        CHECK(!f->chkOption->Checked());
    }
    {
        // Enter on the focused check box still reaches the default button.
        TComponentPtr<TTestForm> f(CreateComponent<TTestForm>(nullptr));
        int r = Run(*f, [&] {
            PostClick(H(f->chkOption), 5, 5);
            PostKey(H(f->chkOption), VK_RETURN);
        });
        CHECK_EQ(r, mrOk);
        CHECK(f->FocusAtOk == H(f->chkOption));
        CHECK(f->ActiveControl() == f->chkOption);
        CHECK(f->chkOption->Checked());
    }
    {
        // Space toggles the focused check box; Escape is the cancel button's.
        TComponentPtr<TTestForm> f(CreateComponent<TTestForm>(nullptr));
        int r = Run(*f, [&] {
            PostClick(H(f->chkOption), 5, 5);
            PostKey(H(f->chkOption), VK_SPACE);
            PostKey(H(f->chkOption), VK_ESCAPE);
        });
        CHECK_EQ(r, mrCancel);
        CHECK(!f->chkOption->Checked());
        CHECK_EQ(f->OptionClicks, 2);
        CHECK_EQ(f->OkClicks, 0);
    }
    Section("stored dialog: press released outside, closing, owner");
    {
        TComponentPtr<TTestForm> f(CreateComponent<TTestForm>(nullptr));
        HWND owner = CreateWindowExA(0, "STATIC", "tktest owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                     100, nullptr, nullptr, nullptr, nullptr);
        SetActiveWindow(owner);
        TOwnerProbe::Owner = owner;
        TOwnerProbe::Form = H(f.get());
        TOwnerProbe::Enabled = TRUE;
        int r = Run(*f, [&] {
            Post(H(f->btnOk), WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
            Post(H(f->btnOk), WM_LBUTTONUP, 0, -20, -5);
            // Looks at the owner from inside the running loop, then closes the dialog.
            SetTimer(nullptr, 0, 10, &TOwnerProbe::Tick);
        });
        CHECK_EQ(r, mrCancel);
        CHECK_EQ(f->OkClicks, 0);
        CHECK(GetWindow(H(f.get()), GW_OWNER) == owner);
        CHECK(!TOwnerProbe::Enabled);  // disabled while the dialog runs ...
        CHECK(IsWindowEnabled(owner)); // ... and enabled again after
        CHECK(GetCapture() == nullptr);
        DestroyWindow(owner);
    }
    Section("stored dialog: focus leaves a disabled control");
    {
        TComponentPtr<TTestForm> f(CreateComponent<TTestForm>(nullptr));
        HWND focusBefore = nullptr, focusAfter = nullptr;
        int r = Run(*f, [&] {
            PostClick(H(f->chkOption), 5, 5);
            Later([&] {
                focusBefore = GetFocus();
                f->chkOption->SetEnabled(false);
                focusAfter = GetFocus();
                PostKey(focusAfter, VK_RETURN);
            });
        });
        CHECK_EQ(r, mrOk);
        CHECK(focusBefore == H(f->chkOption));
        CHECK(focusAfter == H(f.get()));
        CHECK(!IsWindowEnabled(H(f->chkOption)));
        CHECK_EQ(f->OkClicks, 1);
    }
    Section("stored dialog: drop-down list");
    {
        TComponentPtr<TTestForm> f(CreateComponent<TTestForm>(nullptr));
        LRESULT count = 0, shown = -2, afterCode = -2;
        int changesAfterCode = -1;
        char text[32] = {};
        int r = Run(*f, [&] {
            HWND cb = H(f->cmbMode);
            count = SendMessageA(cb, CB_GETCOUNT, 0, 0);
            shown = SendMessageA(cb, CB_GETCURSEL, 0, 0);
            // The user picks the third item: the list tells its parent.
            SendMessageA(cb, CB_SETCURSEL, 2, 0);
            SendMessageA(GetParent(cb), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(cb), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(cb));
            // Code changes the pick: the list follows, no change event.
            int before = f->ModeChanges;
            f->cmbMode->SetItemIndex(1);
            afterCode = SendMessageA(cb, CB_GETCURSEL, 0, 0);
            changesAfterCode = f->ModeChanges - before;
            f->cmbMode->AddItem("Tile");
            SendMessageA(cb, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(text));
            PostKey(cb, VK_ESCAPE); // the closed list passes Escape to the dialog
        });
        CHECK_EQ(r, mrCancel);
        CHECK_EQ(count, 3);
        CHECK_EQ(shown, 0);
        CHECK_EQ(f->ModeChanges, 1);
        CHECK_EQ(changesAfterCode, 0);
        CHECK_EQ(afterCode, 1);
        CHECK_EQ(f->cmbMode->ItemIndex(), 1);
        CHECK_EQ(std::string(text), "Tile");
    }
}

// A self-drawn control that records what reaches it.
class TProbe : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    int Paints = 0;
    bool HadDc = false;
    TColor ReadBack = -2;
    TPoint Down{-99, -99}, Move{-99, -99};
    bool CapturedOnDown = false, ReleasedOnUp = false;

protected:
    void Paint() override
    {
        ++Paints;
        TCanvas& c = *Canvas();
        DWORD kind = GetObjectType(static_cast<HGDIOBJ>(c.Handle()));
        HadDc = kind == OBJ_DC || kind == OBJ_MEMDC;
        c.Brush.Color = clRed;
        c.FillRect(ClientRect());
        ReadBack = c.Pixel(1, 1);
    }
    void MouseDown(TMouseButton B, TShiftState S, int X, int Y) override
    {
        Down = TPoint{X, Y};
        SetMouseCapture(true);
        CapturedOnDown = GetCapture() == static_cast<HWND>(Handle()) && MouseCapture();
        TCustomControl::MouseDown(B, S, X, Y);
    }
    void MouseMove(TShiftState S, int X, int Y) override
    {
        if (MouseCapture())
            Move = TPoint{X, Y};
        TCustomControl::MouseMove(S, X, Y);
    }
    void MouseUp(TMouseButton B, TShiftState S, int X, int Y) override
    {
        SetMouseCapture(false);
        ReleasedOnUp = GetCapture() == nullptr && !MouseCapture();
        TCustomControl::MouseUp(B, S, X, Y);
    }
};

void CustomControlChecks()
{
    Section("self-drawn control: paint, mouse, capture, wheel, keys");
    TComponentPtr<TForm> f(CreateComponent<TForm>(nullptr));
    f->SetCaption("probe form");
    f->SetBounds(80, 60, 300, 240);
    f->SetBorderWidth(10);
    auto* p = new TProbe(f.get());
    p->SetParent(f.get());
    p->SetBounds(5, 5, 50, 40);
    p->SetTabStop(true);
    p->SetDoubleBuffered(true);
    TPoint formDown{-99, -99};
    int wheel = 0;
    TPoint wheelAt{-99, -99};
    char typed = 0;
    std::uint16_t keyDown = 0;
    bool formPainted = false;
    f->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int X, int Y) { formDown = TPoint{X, Y}; };
    f->OnPaint = [&](TObject*) { formPainted = f->Canvas() != nullptr; };
    p->OnMouseWheel = [&](TObject*, TShiftState, int Delta, TPoint At, bool& Handled) {
        wheel += Delta;
        wheelAt = At;
        Handled = true;
    };
    p->OnKeyPress = [&](TObject*, char& K) { typed = K; };
    p->OnKeyDown = [&](TObject*, std::uint16_t& K, TShiftState) { keyDown = K; };
    TTimer closer(nullptr);
    closer.SetInterval(30);
    closer.SetOnTimer([&](TObject*) {
        if (p->Paints > 0 && formPainted)
            PostMessageA(H(f.get()), WM_CLOSE, 0, 0);
    });
    RECT probeRect{};
    int r = Run(*f, [&] {
        HWND ph = H(p);
        probeRect = ChildRect(ph);
        Post(H(f.get()), WM_LBUTTONDOWN, MK_LBUTTON, 10 + 2, 10 + 100);
        Post(H(f.get()), WM_LBUTTONUP, 0, 10 + 2, 10 + 100);
        Post(ph, WM_LBUTTONDOWN, MK_LBUTTON, 3, 4);
        Post(ph, WM_MOUSEMOVE, MK_LBUTTON, -7, 60);
        Post(ph, WM_LBUTTONUP, 0, -7, 60);
        POINT centre{25, 20};
        ClientToScreen(ph, &centre);
        PostMessageA(H(f.get()), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(centre.x, centre.y));
        PostMessageA(ph, WM_CHAR, 'x', 1);
        PostKey(ph, VK_F5);
    });
    closer.SetEnabled(false);
    CHECK_EQ(r, mrCancel);
    CHECK_EQ(probeRect.left, 15);
    CHECK_EQ(probeRect.top, 15);
    CHECK_EQ(probeRect.right, 65);
    CHECK_EQ(probeRect.bottom, 55);
    CHECK(formDown == (TPoint{2, 100})); // client coordinates inside the border width
    CHECK(p->Down == (TPoint{3, 4}));
    CHECK(p->CapturedOnDown);
    CHECK(p->Move == (TPoint{-7, 60})); // captured: moves outside still arrive
    CHECK(p->ReleasedOnUp);
    CHECK(f->ActiveControl() == p); // the press gave it the focus
    CHECK_EQ(wheel, 120);
    CHECK(wheelAt == (TPoint{25, 20}));
    CHECK_EQ(typed, 'x');
    CHECK_EQ(keyDown, VK_F5);
    CHECK(p->Paints > 0);
    CHECK(p->HadDc);
    CHECK_EQ(p->ReadBack, clRed);
    CHECK(formPainted);
}

void ResizeChecks()
{
    Section("form moved and sized by the system");
    TComponentPtr<TForm> f(CreateComponent<TForm>(nullptr));
    f->SetCaption("sizing form");
    f->SetBounds(50, 40, 300, 200);
    auto* panel = new TPanel(f.get());
    panel->SetParent(f.get());
    panel->SetAlign(alClient);
    auto* bottom = new TPanel(f.get());
    bottom->SetParent(f.get());
    bottom->SetHeight(30);
    bottom->SetAlign(alBottom);
    int resized = 0;
    f->OnResize = [&](TObject*) { ++resized; };
    RECT client{}, panelRect{}, bottomRect{};
    int r = Run(*f, [&] {
        resized = 0;
        // What the user's dragging of the frame or a size grip amounts to.
        SetWindowPos(H(f.get()), nullptr, 70, 60, 360, 250, SWP_NOZORDER | SWP_NOACTIVATE);
        Later([&] {
            GetClientRect(H(f.get()), &client);
            panelRect = ChildRect(H(panel));
            bottomRect = ChildRect(H(bottom));
            PostMessageA(H(f.get()), WM_CLOSE, 0, 0);
        });
    });
    CHECK_EQ(r, mrCancel);
    CHECK_EQ(f->Left(), 70);
    CHECK_EQ(f->Top(), 60);
    CHECK_EQ(f->Width(), 360);
    CHECK_EQ(f->Height(), 250);
    CHECK(resized >= 1);
    CHECK_EQ(f->ClientWidth(), client.right);
    CHECK_EQ(f->ClientHeight(), client.bottom);
    CHECK_EQ(panel->Width(), client.right);
    CHECK_EQ(panelRect.right - panelRect.left, client.right);
    CHECK_EQ(panelRect.bottom, client.bottom - 30);
    CHECK_EQ(bottomRect.top, client.bottom - 30);
    CHECK_EQ(bottomRect.bottom, client.bottom);
}

void TimerChecks()
{
    Section("timers in the modal loop");
    TComponentPtr<TForm> f(CreateComponent<TForm>(nullptr));
    f->SetCaption("timer form");
    auto* t = new TTimer(f.get());
    int ticks = 0;
    t->SetInterval(20);
    t->SetOnTimer([&](TObject*) {
        if (++ticks == 3) {
            t->SetEnabled(false);
            f->SetModalResult(mrRetry);
        }
    });
    CHECK(t->Running());
    DWORD start = GetTickCount();
    int r = Run(*f, [] {});
    DWORD took = GetTickCount() - start;
    CHECK_EQ(r, mrRetry);
    CHECK_EQ(ticks, 3);
    CHECK(took >= 40);
    CHECK(!t->Running());
    Sleep(80);
    Pump();
    CHECK_EQ(ticks, 3); // stopped means stopped
    // A handler that throws is reported and the loop goes on.
    std::string reported;
    auto saved = Application->OnException;
    Application->OnException = [&](const std::exception& E) { reported = E.what(); };
    TComponentPtr<TForm> g(CreateComponent<TForm>(nullptr));
    g->SetCaption("throwing timer form");
    TTimer boom(nullptr);
    int calls = 0;
    boom.SetInterval(15);
    boom.SetOnTimer([&](TObject*) {
        if (++calls == 2)
            g->SetModalResult(mrOk);
        else
            throw EInvalidOperation("tick failed");
    });
    CHECK_EQ(Run(*g, [] {}), mrOk);
    boom.SetEnabled(false);
    Application->OnException = saved;
    CHECK_EQ(reported, "tick failed");
    CHECK_EQ(calls, 2);
}

BOOL CALLBACK FindVisibleForm(HWND W, LPARAM L)
{
    char cls[64] = {};
    GetClassNameA(W, cls, sizeof cls);
    if (IsWindowVisible(W) && std::string(cls) == win32::FormClassName) {
        *reinterpret_cast<HWND*>(L) = W;
        return FALSE;
    }
    return TRUE;
}

// The visible toolkit form of this thread (the about box while it runs).
HWND VisibleForm()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindVisibleForm, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct TAboutDriver {
    static inline bool ByClick = false;
    static inline int Step = 0, Ticks = 0;
    static inline HWND Box = nullptr;
    static VOID CALLBACK Tick(HWND, UINT, UINT_PTR Id, DWORD)
    {
        if (++Ticks > 100) {
            Check(false, "about box still open", __LINE__);
            KillTimer(nullptr, Id);
            PostMessageA(VisibleForm(), WM_CLOSE, 0, 0);
            return;
        }
        if (Step == 0) {
            Box = VisibleForm();
            if (!Box)
                return;
            RECT w, c;
            GetWindowRect(Box, &w);
            GetClientRect(Box, &c);
            POINT o{0, 0};
            ClientToScreen(Box, &o);
            LONG style = GetWindowLongA(Box, GWL_STYLE);
            CHECK_EQ(style & WS_CAPTION, 0);
            CHECK(w.right - w.left > c.right); // a frame ...
            CHECK_EQ(o.y - w.top, o.x - w.left); // ... but no title bar above it
            CHECK_EQ(w.left, (GetSystemMetrics(SM_CXSCREEN) - (w.right - w.left)) / 2);
            CHECK_EQ(w.top, (GetSystemMetrics(SM_CYSCREEN) - (w.bottom - w.top)) / 2);
            HWND label = FindWindowExA(Box, nullptr, win32::ControlClassName, nullptr);
            CHECK(label != nullptr);
            RECT l{};
            if (label)
                l = ChildRect(label);
            CHECK_EQ(l.left, 12);
            CHECK_EQ(l.top, 12);
            CHECK_EQ(c.right, (l.right - l.left) + 24);
            CHECK_EQ(c.bottom, (l.bottom - l.top) + 24);
            CHECK(GetFocus() == Box);
            PostKey(Box, 'A');
            PostKey(Box, VK_ESCAPE);
            Step = 1;
        } else if (Step == 1) {
            CHECK(IsWindowVisible(Box)); // other keys leave it open
            if (ByClick)
                PostClick(FindWindowExA(Box, nullptr, win32::ControlClassName, nullptr), 30, 40);
            else
                PostKey(Box, VK_RETURN);
            Step = 2;
            KillTimer(nullptr, Id);
        }
    }
};

void AboutRun(bool ByClick)
{
    TAboutDriver::ByClick = ByClick;
    TAboutDriver::Step = 0;
    TAboutDriver::Ticks = 0;
    TAboutDriver::Box = nullptr;
    SetTimer(nullptr, 0, 40, &TAboutDriver::Tick);
    ShowAboutBox(AboutText);
    CHECK_EQ(TAboutDriver::Step, 2);
    CHECK(TAboutDriver::Box && !IsWindow(TAboutDriver::Box)); // freed when it closed
}

} // namespace

void DialogChecks()
{
    StandardControlChecks();
    CustomControlChecks();
    ResizeChecks();
    TimerChecks();
}

void AboutBoxChecks()
{
    Section("about box closed by Enter");
    AboutRun(false);
    Section("about box closed by a press on its text");
    AboutRun(true);
}
} // namespace tk
