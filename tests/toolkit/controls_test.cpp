#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "fixture.h"
#include "toolkit/headless/canvas.h"
#include "toolkit/platform.h"
#include "toolkit/stdctrls.h"
#include "toolkit/timers.h"

namespace {

// A form with a few controls, shown modally by each test.
class ControlsTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        Form.reset(CreateFormOf<TForm>(nullptr));
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(0, 0, 300, 200);
    }
    void TearDown() override
    {
        Form.reset();
        HeadlessTest::TearDown();
    }
    template <class T>
    T* Add(int L, int T_, int W, int H, TWinControl* Parent = nullptr)
    {
        auto* c = new T(Form.get());
        c->SetParent(Parent ? Parent : Form.get());
        c->SetBounds(L, T_, W, H);
        return c;
    }
    void Finish() { headless::PostCall([this] { Form->SetModalResult(mrOk); }); }
    TComponentPtr<TForm> Form;
};

TEST_F(ControlsTest, CheckBoxClicksOnlyOnChange)
{
    auto* box = Add<TCheckBox>(10, 10, 80, 17);
    int clicks = 0;
    box->OnClick = [&](TObject* s) { EXPECT_EQ(s, box); ++clicks; };
    box->SetChecked(false); // unchanged: nothing
    EXPECT_EQ(clicks, 0);
    box->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    box->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    // The user clicks twice (toggles twice), then presses and releases outside the box.
    headless::PostClick(box, 5, 5);
    headless::PostClick(box, 5, 5);
    headless::PostMouseDown(box, 5, 5);
    headless::PostMouseUp(box, 200, 5);
    headless::PostKey(box, VK_KEY_SPACE);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(clicks, 4);
    EXPECT_FALSE(box->Checked()); // true, false, true, then Space made it false
}

TEST_F(ControlsTest, ComboItemIndexFromCodeRunsNoHandler)
{
    auto* combo = Add<TComboBox>(10, 10, 97, 21);
    combo->SetItems({"Nearest", "Linear", "Spline"});
    std::vector<int> changes;
    combo->OnChange = [&](TObject*) { changes.push_back(combo->ItemIndex()); };
    combo->SetItemIndex(2);
    combo->SetItemIndex(7);  // outside: ignored
    combo->SetItemIndex(-2); // outside: ignored
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(combo->Text(), "Spline");
    EXPECT_TRUE(changes.empty());
    headless::PostSelect(combo, 1);
    headless::PostSelect(combo, 1); // the same pick again is still a user pick
    headless::PostSelect(combo, 3); // no such item
    Finish();
    Form->ShowModal();
    EXPECT_EQ(changes, (std::vector<int>{1, 1}));
    combo->SetItems({"One"});
    EXPECT_EQ(combo->ItemIndex(), -1); // the old index no longer exists
}

TEST_F(ControlsTest, ButtonClickNeedsPressAndReleaseInside)
{
    auto* b = Add<TButton>(10, 10, 80, 20);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    headless::PostClick(b, 3, 3);
    headless::PostMouseDown(b, 3, 3);
    headless::PostMouseUp(b, 100, 3); // released outside: no click
    headless::PostMouseDown(Form.get(), 150, 150);
    headless::PostMouseUp(b, 3, 3); // pressed elsewhere: no click
    headless::PostClick(b, 3, 3, mbRight);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, EscapeClicksCancelButtonAndEnterTheDefault)
{
    auto* ok = Add<TButton>(10, 10, 80, 20);
    auto* cancel = Add<TButton>(10, 40, 80, 20);
    auto* edit = Add<TCheckBox>(10, 70, 80, 20);
    cancel->SetCancel(true);
    cancel->OnClick = [&](TObject*) { Form->SetModalResult(mrCancel); };
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    int okClicks = 0;
    ok->OnClick = [&](TObject*) { ++okClicks; };
    edit->SetFocus();
    headless::PostKeyDown(nullptr, 'A'); // an ordinary key reaches no button
    headless::PostKeyDown(nullptr, VK_KEY_RETURN);
    EXPECT_EQ(Form->ShowModal(), mrOk);
    EXPECT_EQ(okClicks, 1);
    headless::PostKeyDown(nullptr, VK_KEY_ESCAPE);
    EXPECT_EQ(Form->ShowModal(), mrCancel);
    EXPECT_EQ(headless::PendingEvents(), 0u);
    // A hidden cancel button does not take Escape.
    cancel->Hide();
    headless::PostKeyDown(nullptr, VK_KEY_ESCAPE);
    headless::PostCall([&] { Form->SetModalResult(mrAbort); });
    EXPECT_EQ(Form->ShowModal(), mrAbort);
}

TEST_F(ControlsTest, CaptureRoutesMouseToCapturingControl)
{
    auto* a = Add<TPanel>(0, 0, 100, 100);
    auto* b = Add<TPanel>(150, 0, 100, 100);
    std::vector<std::string> log;
    a->OnMouseMove = [&](TObject*, TShiftState, int X, int Y) { log.push_back("a " + std::to_string(X) + "," + std::to_string(Y)); };
    b->OnMouseMove = [&](TObject*, TShiftState, int X, int Y) { log.push_back("b " + std::to_string(X) + "," + std::to_string(Y)); };
    headless::PostCall([&] {
        a->SetMouseCapture(true);
        EXPECT_TRUE(a->MouseCapture());
        EXPECT_FALSE(b->MouseCapture());
    });
    headless::PostMouseMove(b, 10, 20); // over b, but a holds the capture: a's coordinates
    headless::PostCall([&] { a->SetMouseCapture(false); });
    headless::PostMouseMove(b, 10, 20);
    headless::PostCall([&] {
        b->SetMouseCapture(true);
        a->SetMouseCapture(false); // a has no capture to give up: b keeps it
    });
    headless::PostMouseMove(a, 5, 5);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(log, (std::vector<std::string>{"a 160,20", "b 10,20", "b -145,5"}));
    EXPECT_EQ(plat::CaptureControl(), nullptr); // a modal run leaves no capture behind
}

TEST_F(ControlsTest, DestroyedCapturingControlReleasesCapture)
{
    auto* a = Add<TPanel>(0, 0, 100, 100);
    a->SetMouseCapture(true);
    TComponent::Free(a);
    EXPECT_EQ(plat::CaptureControl(), nullptr);
}

TEST_F(ControlsTest, EnterAndLeaveFollowTheMouse)
{
    auto* a = Add<TPanel>(0, 0, 100, 100);
    auto* inner = Add<TPanel>(10, 10, 20, 20, a);
    std::vector<std::string> log;
    a->OnMouseEnter = [&](TObject*) { log.push_back("enter a"); };
    a->OnMouseLeave = [&](TObject*) { log.push_back("leave a"); };
    inner->OnMouseEnter = [&](TObject*) { log.push_back("enter inner"); };
    inner->OnMouseLeave = [&](TObject*) { log.push_back("leave inner"); };
    headless::PostMouseMove(a, 50, 50);
    headless::PostMouseMove(a, 60, 50);
    headless::PostMouseMove(a, 15, 15);
    headless::PostMouseMove(Form.get(), 250, 150);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(log, (std::vector<std::string>{"enter a", "leave a", "enter inner", "leave inner"}));
}

TEST_F(ControlsTest, WheelGoesToFocusedControlThenParents)
{
    auto* panel = Add<TPanel>(0, 0, 100, 100);
    auto* child = Add<TButton>(10, 10, 50, 20, panel);
    std::vector<std::string> log;
    child->OnMouseWheel = [&](TObject*, TShiftState, int d, TPoint, bool& h) { log.push_back("child " + std::to_string(d)); h = d < 0; };
    panel->OnMouseWheel = [&](TObject*, TShiftState, int d, TPoint, bool& h) { log.push_back("panel " + std::to_string(d)); h = true; };
    child->SetFocus();
    headless::PostMouseWheel(Form.get(), 200, 150, 120);
    headless::PostMouseWheel(Form.get(), 200, 150, -120);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(log, (std::vector<std::string>{"child 120", "panel 120", "child -120"}));
}

TEST_F(ControlsTest, HiddenOrDisabledControlsAreNotHit)
{
    auto* back = Add<TPanel>(0, 0, 100, 100);
    auto* front = Add<TPanel>(0, 0, 100, 100);
    int backDowns = 0, frontDowns = 0;
    back->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++backDowns; };
    front->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++frontDowns; };
    headless::PostClick(front, 5, 5);
    headless::PostCall([&] { front->SetEnabled(false); });
    headless::PostClick(front, 5, 5);
    headless::PostCall([&] { front->SetEnabled(true); front->Hide(); });
    headless::PostClick(front, 5, 5);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(frontDowns, 1);
    EXPECT_EQ(backDowns, 2);
}

TEST_F(ControlsTest, AlignLaysOutTopLeftAndClient)
{
    Form->SetBounds(0, 0, 400, 300);
    auto* top = Add<TPanel>(50, 50, 10, 30);
    auto* left = Add<TPanel>(50, 50, 40, 10);
    auto* client = Add<TPanel>(1, 1, 1, 1);
    auto* top2 = Add<TPanel>(50, 60, 10, 20);
    top->SetAlign(alTop);
    left->SetAlign(alLeft);
    client->SetAlign(alClient);
    top2->SetAlign(alTop);
    EXPECT_EQ(top->BoundsRect(), (TRect{0, 0, 400, 30}));
    EXPECT_EQ(top2->BoundsRect(), (TRect{0, 30, 400, 50}));
    EXPECT_EQ(left->BoundsRect(), (TRect{0, 50, 40, 300}));
    EXPECT_EQ(client->BoundsRect(), (TRect{40, 50, 400, 300}));
    // Hiding a top panel gives its room to the others; resizing the parent follows.
    top->Hide();
    EXPECT_EQ(top2->BoundsRect(), (TRect{0, 0, 400, 20}));
    Form->SetBounds(0, 0, 200, 100);
    EXPECT_EQ(client->BoundsRect(), (TRect{40, 20, 200, 100}));
}

TEST_F(ControlsTest, PanelBevelsAndBorderWidthShrinkTheClientArea)
{
    auto* p = Add<TPanel>(0, 0, 100, 50);
    EXPECT_EQ(p->ClientWidth(), 98); // the raised outer bevel by default
    p->SetBevelInner(bvLowered);
    p->SetBevelWidth(2);
    EXPECT_EQ(p->ClientWidth(), 92);
    p->SetBorderWidth(3);
    EXPECT_EQ(p->ClientHeight(), 50 - 8 - 6);
    auto* c = Add<TPanel>(0, 0, 10, 10, p);
    c->SetAlign(alClient);
    EXPECT_EQ(c->BoundsRect(), (TRect{0, 0, 86, 36}));
    EXPECT_EQ(c->ClientOrigin().X - p->ClientOrigin().X, 1); // c's own bevel
    EXPECT_EQ(p->ClientOrigin().X, Form->ClientOrigin().X + 7);
}

TEST_F(ControlsTest, InvalidateMarksForOnePaint)
{
    auto* p = Add<TPanel>(0, 0, 30, 30);
    int paints = 0;
    p->OnPaint = [&](TObject*) { ++paints; };
    headless::PostCall([&] {
        headless::FlushPaints();
        EXPECT_FALSE(headless::PaintPending(p));
        p->Invalidate();
        p->Invalidate();
        EXPECT_TRUE(headless::PaintPending(p));
    });
    headless::PostCall([&] { headless::FlushPaints(); });
    Finish();
    Form->ShowModal();
    EXPECT_EQ(paints, 2); // once on showing, once for the two invalidations
    EXPECT_EQ(headless::PaintCount(p), 2);
}

// A control that records what its paints reach and the erase requests it is sent.
class TRecordingControl : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    std::vector<TRect> Paints, Erases;
    bool TakeErase = true;

protected:
    void Paint() override { Paints.push_back(Canvas()->ClipRect()); }
    bool EraseBackground(const TRect& R) override
    {
        Erases.push_back(R);
        return TakeErase;
    }
};

TEST_F(ControlsTest, PartsMadeInvalidArePaintedTogetherAndOnlyThem)
{
    auto* c = Add<TRecordingControl>(20, 10, 100, 80);
    headless::PostCall([&] {
        headless::FlushPaints();
        ASSERT_EQ(c->Paints.size(), 1u);
        EXPECT_EQ(c->Paints[0], (TRect{0, 0, 100, 80}));
        c->InvalidateRect(TRect{10, 10, 20, 20});
        c->InvalidateRect(TRect{50, 5, 60, 12});
        c->InvalidateRect(TRect{30, 30, 30, 40}); // empty: nothing
        headless::FlushPaints();
        ASSERT_EQ(c->Paints.size(), 2u);
        EXPECT_EQ(c->Paints[1], (TRect{10, 5, 60, 20}));
        EXPECT_EQ(headless::LastPaintArea(c), (TRect{10, 5, 60, 20}));
        // A whole invalidation takes the parts along.
        c->InvalidateRect(TRect{0, 0, 5, 5});
        c->Invalidate();
        headless::FlushPaints();
        EXPECT_EQ(c->Paints.back(), (TRect{0, 0, 100, 80}));
        // Past the control's edge nothing is painted.
        c->InvalidateRect(TRect{90, 70, 150, 150});
        headless::FlushPaints();
        EXPECT_EQ(c->Paints.back(), (TRect{90, 70, 100, 80}));
    });
    Finish();
    Form->ShowModal();
}

TEST_F(ControlsTest, ParentsClipWhatAControlShows)
{
    // The panel's bevel takes a pixel on every side: its client area is 98 x 58.
    auto* panel = Add<TPanel>(50, 40, 100, 60);
    auto* inner = Add<TRecordingControl>(-10, 30, 200, 50, panel);
    EXPECT_EQ(inner->VisibleRect(), (TRect{10, 0, 108, 28}));
    auto* beyond = Add<TRecordingControl>(280, 190, 50, 50);
    EXPECT_EQ(beyond->VisibleRect(), (TRect{0, 0, 20, 10}));
    auto* outside = Add<TRecordingControl>(400, 0, 10, 10);
    EXPECT_EQ(outside->VisibleRect(), TRect{});
    TRecordingControl loose(nullptr);
    loose.SetBounds(-5, -5, 30, 20);
    EXPECT_EQ(loose.VisibleRect(), (TRect{0, 0, 30, 20})) << "nothing hides a control without a parent";
    headless::PostCall([&] {
        headless::FlushPaints();
        // What shows, from the control's corner: the surface, and what the paint reached.
        EXPECT_EQ(headless::Surface(inner)->Width(), 108);
        EXPECT_EQ(headless::Surface(inner)->Height(), 28);
        ASSERT_FALSE(inner->Paints.empty());
        EXPECT_EQ(inner->Paints.back(), (TRect{10, 0, 108, 28}));
        EXPECT_TRUE(outside->Paints.empty()) << "nothing of it shows";
    });
    Finish();
    Form->ShowModal();
}

TEST_F(ControlsTest, SystemInvalidationsAskForAnEraseFirstAndNonOpaqueControlsAreFilled)
{
    auto* c = Add<TRecordingControl>(0, 0, 40, 30);
    c->SetColor(clRed);
    headless::PostCall([&] {
        headless::FlushPaints();
        // Shown for the first time: erased, then painted.
        ASSERT_EQ(c->Erases.size(), 1u);
        EXPECT_EQ(c->Erases[0], (TRect{0, 0, 40, 30}));
        EXPECT_EQ(headless::Surface(c)->PixelAt(3, 3), THeadlessCanvas::ToColor32(clRed));
        // The program's own invalidations are not erased.
        c->InvalidateRect(TRect{1, 1, 4, 4});
        c->Invalidate();
        headless::FlushPaints();
        EXPECT_EQ(c->Erases.size(), 1u);
        // Moved by the program, the window is the system's to invalidate again.
        c->SetBounds(2, 0, 40, 30);
        headless::FlushPaints();
        EXPECT_EQ(c->Erases.size(), 2u);
        // An opaque control is painted as it is, its colour never put under it first.
        c->SetControlStyle(csOpaque);
        c->SetColor(clBlue);
        headless::FlushPaints();
        EXPECT_EQ(headless::Surface(c)->PixelAt(3, 3), THeadlessCanvas::ToColor32(clRed));
    });
    Finish();
    Form->ShowModal();
    EXPECT_EQ(c->DialogCode(), DlgWantChars) << "a control wants no arrows, Tab, Enter or Escape";
}

TEST_F(ControlsTest, DoubleClickRaisesItsEventBeforeThePressOnlyWithTheStyle)
{
    auto* c = Add<TRecordingControl>(0, 0, 40, 30);
    std::vector<std::string> log;
    c->OnDblClick = [&](TObject* s) { EXPECT_EQ(s, c); log.push_back("double"); };
    c->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState sh, int, int) {
        log.push_back(std::string(b == mbLeft ? "left" : "right") + ((sh & ssDouble) ? " twice" : ""));
    };
    headless::PostClick(c, 5, 5);
    headless::PostMouseDown(c, 5, 5, mbLeft, ssDouble);
    headless::PostMouseUp(c, 5, 5);
    headless::PostMouseDown(c, 5, 5, mbRight, ssDouble); // only the left button double-clicks
    headless::PostMouseUp(c, 5, 5, mbRight);
    headless::PostCall([&] { c->SetControlStyle(c->ControlStyle() & ~csDoubleClicks); });
    headless::PostMouseDown(c, 5, 5, mbLeft, ssDouble);
    headless::PostMouseUp(c, 5, 5);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(log, (std::vector<std::string>{"left", "double", "left twice", "right twice", "left twice"}));
}

TEST_F(ControlsTest, WheelNobodyTookGoesToTheUpOrDownEventBeforeTheParent)
{
    auto* c = Add<TRecordingControl>(10, 10, 40, 30);
    std::vector<std::string> log;
    bool takeWheel = false;
    c->OnMouseWheel = [&](TObject*, TShiftState, int d, TPoint, bool& h) {
        log.push_back("wheel " + std::to_string(d));
        h = takeWheel;
    };
    c->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint p, bool& h) {
        log.push_back("down at " + std::to_string(p.X) + "," + std::to_string(p.Y));
        h = true;
    };
    c->OnMouseWheelUp = [&](TObject*, TShiftState, TPoint, bool& h) {
        log.push_back("up");
        h = true;
    };
    Form->OnMouseWheel = [&](TObject*, TShiftState, int, TPoint, bool& h) {
        log.push_back("form");
        h = true;
    };
    headless::PostMouseWheel(c, 7, 8, -120);
    headless::PostMouseWheel(c, 7, 8, 240);
    headless::PostCall([&] { takeWheel = true; });
    headless::PostMouseWheel(c, 7, 8, -120);
    headless::PostCall([&] {
        takeWheel = false;
        c->OnMouseWheelUp = nullptr;
    });
    headless::PostMouseWheel(c, 7, 8, 120);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(log, (std::vector<std::string>{"wheel -120", "down at 7,8", "wheel 240", "up", "wheel -120",
                                             "wheel 120", "form"}));
}

TEST_F(ControlsTest, CanResizeMayChangeOrRefuseANewSize)
{
    auto* c = Add<TRecordingControl>(0, 0, 40, 30);
    int asked = 0;
    c->OnCanResize = [&](TObject*, int& w, int& h, bool& resize) {
        ++asked;
        if (w > 100)
            resize = false;
        h = std::max(h, 20);
    };
    c->SetBounds(5, 5, 60, 10);
    EXPECT_EQ(c->BoundsRect(), (TRect{5, 5, 65, 25}));
    c->SetBounds(8, 9, 200, 50); // refused: only the place changes
    EXPECT_EQ(c->BoundsRect(), (TRect{8, 9, 68, 29}));
    c->SetLeft(0); // no change of size: not asked
    EXPECT_EQ(asked, 2);
}

TEST_F(ControlsTest, AnchoredControlsFollowTheirParentsEdges)
{
    auto* stretch = Add<TPanel>(10, 20, 100, 30);   // left and right: grows with the form
    auto* right = Add<TPanel>(250, 20, 40, 30);     // right only: keeps its distance to it
    auto* bottom = Add<TPanel>(10, 150, 40, 30);    // top and bottom: grows downwards
    auto* loose = Add<TPanel>(100, 100, 20, 20);    // neither: keeps its middle
    auto* plain = Add<TPanel>(5, 5, 10, 10);        // the default: stays
    stretch->SetAnchors(akLeft | akTop | akRight);
    right->SetAnchors(akTop | akRight);
    bottom->SetAnchors(akLeft | akTop | akBottom);
    loose->SetAnchors(0);
    Form->SetBounds(0, 0, 340, 260); // 40 wider, 60 taller
    EXPECT_EQ(stretch->BoundsRect(), (TRect{10, 20, 150, 50}));
    EXPECT_EQ(right->BoundsRect(), (TRect{290, 20, 330, 50}));
    EXPECT_EQ(bottom->BoundsRect(), (TRect{10, 150, 50, 240}));
    EXPECT_EQ(loose->BoundsRect(), (TRect{120, 130, 140, 150}));
    EXPECT_EQ(plain->BoundsRect(), (TRect{5, 5, 15, 15}));
    // Moved by code, a control counts from its new place.
    right->SetLeft(200);
    Form->SetBounds(0, 0, 300, 260);
    EXPECT_EQ(right->Left(), 160);
    EXPECT_EQ(stretch->Width(), 100);
}

TEST_F(ControlsTest, ConstraintsLimitEveryNewSize)
{
    auto* c = Add<TPanel>(0, 0, 50, 50);
    c->SetConstraints(TSizeConstraints{20, 30, 80, 0});
    EXPECT_EQ(c->Width(), 50);
    c->SetBounds(0, 0, 200, 10);
    EXPECT_EQ(c->Width(), 80);
    EXPECT_EQ(c->Height(), 30);
    c->SetWidth(5);
    EXPECT_EQ(c->Width(), 20);
    c->SetConstraints(TSizeConstraints{40, 0, 0, 0}); // the present size is brought in at once
    EXPECT_EQ(c->Width(), 40);
    c->SetAlign(alClient); // aligning obeys them too
    EXPECT_EQ(c->Width(), 300);
    c->SetConstraints(TSizeConstraints{0, 0, 120, 90});
    EXPECT_EQ(c->BoundsRect(), (TRect{0, 0, 120, 90}));
}

TEST_F(ControlsTest, PanelPaintsItsColourAndBevel)
{
    auto* p = Add<TPanel>(0, 0, 20, 10);
    p->SetColor(clRed);
    headless::PostPaint(p);
    Finish();
    Form->ShowModal();
    const TBitmap32* s = headless::Surface(p);
    ASSERT_EQ(s->Width(), 20);
    EXPECT_EQ(s->PixelAt(10, 5), 0xFFFF0000u);
    TColor32 hi = 0xFF000000u | ((SystemColorRGB(COLOR_INDEX_BTNHIGHLIGHT) & 0xFF) << 16) |
                  (SystemColorRGB(COLOR_INDEX_BTNHIGHLIGHT) & 0xFF00) | (SystemColorRGB(COLOR_INDEX_BTNHIGHLIGHT) >> 16);
    EXPECT_EQ(s->PixelAt(0, 0), hi);
    EXPECT_NE(s->PixelAt(19, 9), hi);
}

TEST_F(ControlsTest, ParentColourAndFontFlowToChildren)
{
    auto* p = Add<TPanel>(0, 0, 100, 100);
    auto* l = Add<TLabel>(0, 0, 10, 10, p);
    l->SetParentColor(true);
    p->SetColor(clBlue);
    EXPECT_EQ(l->Color(), clBlue);
    p->Font().SetName("Tahoma");
    EXPECT_EQ(l->Font().Name(), "Tahoma");
    l->Font().SetHeight(-20); // its own font now
    EXPECT_FALSE(l->ParentFont());
    p->Font().SetName("Arial");
    EXPECT_EQ(l->Font().Name(), "Tahoma");
}

TEST_F(ControlsTest, LabelAutoSizesToItsLines)
{
    auto* l = Add<TLabel>(0, 0, 1, 1);
    l->Font().SetHeight(-11); // 6 pixels a character, 13 a line headless
    l->SetCaption("ab\r\nabcd");
    EXPECT_EQ(l->Width(), 24);
    EXPECT_EQ(l->Height(), 26);
    l->SetAutoSize(false);
    l->SetCaption("abcdefgh");
    EXPECT_EQ(l->Width(), 24);
}

TEST_F(ControlsTest, TimerTicksOnlyWhileRunning)
{
    auto* t = new TTimer(Form.get());
    t->SetInterval(100);
    int ticks = 0;
    t->SetOnTimer([&](TObject*) { ++ticks; });
    EXPECT_TRUE(t->Running());
    headless::PostTimerTick(t);
    headless::PostAdvanceTime(350); // three intervals
    headless::PostCall([&] { t->SetEnabled(false); });
    headless::PostTimerTick(t);
    headless::PostAdvanceTime(1000);
    headless::PostCall([&] {
        t->SetEnabled(true); // counts afresh from now
        t->SetInterval(0);   // and zero stops it again
    });
    headless::PostAdvanceTime(1000);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(ticks, 4);
    EXPECT_FALSE(t->Running());
}

TEST_F(ControlsTest, RestartedTimerCountsFromRestart)
{
    auto* t = new TTimer(Form.get());
    t->SetInterval(100);
    std::vector<std::uint64_t> at;
    t->SetOnTimer([&](TObject*) { at.push_back(headless::Now()); });
    headless::PostAdvanceTime(150);
    headless::PostCall([&] { t->SetInterval(40); });
    headless::PostAdvanceTime(100);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(at, (std::vector<std::uint64_t>{100, 190, 230}));
}

TEST_F(ControlsTest, TimerStoppedInsideItsHandler)
{
    auto* t = new TTimer(Form.get());
    t->SetInterval(10);
    int ticks = 0;
    t->SetOnTimer([&](TObject*) { if (++ticks == 2) t->SetEnabled(false); });
    headless::PostAdvanceTime(100);
    Finish();
    Form->ShowModal();
    EXPECT_EQ(ticks, 2);
}

TEST_F(ControlsTest, ApplicationCursorIsShared)
{
    Screen->SetCursor(crSizeNWSE);
    EXPECT_EQ(plat::CurrentCursor(), crSizeNWSE);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(Screen->Depth(), 32);
}

TEST_F(ControlsTest, DestroyedControlLeavesParentAndScript)
{
    auto* p = Add<TPanel>(0, 0, 30, 30);
    auto* b = Add<TButton>(0, 0, 10, 10, p);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    headless::PostCall([&] { TComponent::Free(p); });
    headless::PostClick(b, 1, 1); // b went with its parent: the events are dropped
    Finish();
    EXPECT_EQ(Form->ControlCount(), 1);
    EXPECT_EQ(Form->ComponentCount(), 2);
    Form->ShowModal();
    EXPECT_EQ(Form->ControlCount(), 0);
    EXPECT_EQ(Form->ComponentCount(), 0);
    EXPECT_EQ(clicks, 0);
}


TEST_F(ControlsTest, RightAndBottomAlignFromTheFarSide)
{
    Form->SetBounds(0, 0, 200, 100);
    auto* right = Add<TPanel>(0, 0, 30, 10);
    auto* bottom = Add<TPanel>(0, 0, 10, 20);
    auto* bottom2 = Add<TPanel>(0, 50, 10, 10);
    right->SetAlign(alRight);
    bottom->SetAlign(alBottom);
    bottom2->SetAlign(alBottom);
    // Bottom panels stack upwards in order of their bottom edges; right takes what is left.
    EXPECT_EQ(bottom->BoundsRect(), (TRect{0, 80, 200, 100}));
    EXPECT_EQ(bottom2->BoundsRect(), (TRect{0, 70, 200, 80}));
    EXPECT_EQ(right->BoundsRect(), (TRect{170, 0, 200, 70}));
}

TEST_F(ControlsTest, ButtonModalResultEndsTheLoopAfterItsHandler)
{
    auto* b = Add<TButton>(0, 0, 50, 20);
    b->SetModalResult(mrRetry);
    int handled = 0;
    b->OnClick = [&](TObject*) { ++handled; };
    headless::PostClick(b, 1, 1);
    EXPECT_EQ(Form->ShowModal(), mrRetry);
    EXPECT_EQ(handled, 1);
    b->SetEnabled(false);
    b->Click(); // a disabled button does nothing
    EXPECT_EQ(handled, 1);
}

TEST_F(ControlsTest, CentredLabelLinesShareTheMiddle)
{
    auto* l = Add<TLabel>(0, 0, 1, 1);
    l->SetCaption("abcd\r\nab\r\n");
    l->SetAlignment(taCenter);
    std::vector<TRect> r = l->LineRects();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], (TRect{0, 0, 24, 13}));
    EXPECT_EQ(r[1], (TRect{6, 13, 18, 26}));
    EXPECT_EQ(r[2].Top, 26); // the empty last line still counts
    l->SetAlignment(taRightJustify);
    EXPECT_EQ(l->LineRects()[1].Left, 12);
}

TEST_F(ControlsTest, OpaqueLabelPaintsItsColourTransparentDoesNot)
{
    auto* l = Add<TLabel>(0, 0, 1, 1);
    l->SetCaption("ab");
    l->SetColor(clBlue);
    headless::PostPaint(l);
    headless::PostCall([&] {
        EXPECT_EQ(headless::Surface(l)->PixelAt(0, 0), 0xFF0000FFu);
        l->SetTransparent(true);
        l->SetColor(clRed);
    });
    headless::PostPaint(l);
    Finish();
    Form->ShowModal();
    // A transparent label shows its parent's colour behind the text; the red never shows.
    EXPECT_EQ(headless::Surface(l)->PixelAt(0, 0), THeadlessCanvas::ToColor32(Form->Color()));
    EXPECT_EQ(headless::PaintCount(l), 2); // the scripted paints took the pending ones along
}

TEST_F(ControlsTest, OwnershipMovesBetweenOwners)
{
    TComponent a(nullptr), b(nullptr);
    auto* c = new TComponent(&a);
    b.InsertComponent(c);
    EXPECT_EQ(c->Owner(), &b);
    EXPECT_EQ(a.ComponentCount(), 0);
    EXPECT_EQ(b.ComponentCount(), 1);
    b.RemoveComponent(c);
    EXPECT_EQ(c->Owner(), nullptr);
    TComponent::Free(c);
    EXPECT_EQ(b.ComponentCount(), 0);
}

TEST_F(ControlsTest, ProcessMessagesRunsQueuedEventsAndPaints)
{
    auto* p = Add<TPanel>(0, 0, 10, 10);
    Form->Show();
    int calls = 0;
    headless::PostCall([&] { ++calls; });
    headless::PostCall([&] { ++calls; });
    Application->ProcessMessages();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(headless::PendingEvents(), 0u);
    EXPECT_FALSE(headless::PaintPending(p));
    EXPECT_GE(headless::PaintCount(p), 1);
}

TEST_F(ControlsTest, KeyScriptSendsCharacterForPrintableKeys)
{
    std::string typed;
    Form->OnKeyPress = [&](TObject*, char& c) { typed += c; };
    int ups = 0;
    Form->OnKeyUp = [&](TObject*, std::uint16_t&, TShiftState) { ++ups; };
    headless::PostKey(nullptr, 'Q');
    headless::PostKey(nullptr, 'Q', ssShift);
    headless::PostKey(nullptr, '7');
    headless::PostKey(nullptr, 0x70); // F1: no character, though 0x70 is a 'p' in ASCII
    headless::PostKey(nullptr, 0x60); // numeric keypad 0: a key code, not a backquote
    Finish();
    Form->ShowModal();
    EXPECT_EQ(typed, "qQ7");
    EXPECT_EQ(ups, 5);
}

} // namespace

TEST_F(ControlsTest, ButtonsAndCheckBoxesShowTheirCaptions)
{
    auto* named = Add<TButton>(0, 0, 80, 22);
    named->SetCaption("Apply");
    auto* plain = Add<TButton>(0, 30, 80, 22);
    auto* box = Add<TCheckBox>(0, 60, 90, 17);
    box->SetCaption("Interpolated");
    box->Font().SetColor(clRed);
    auto* bare = Add<TCheckBox>(0, 80, 90, 17);
    for (TWinControl* c : std::initializer_list<TWinControl*>{named, plain, box, bare})
        headless::PostPaint(c);
    Finish();
    Form->ShowModal();
    std::vector<std::string> texts;
    for (const headless::TTextOutCall& t : headless::TextOuts()) {
        texts.push_back(t.Text);
        if (t.Text == "Apply") {
            // Centred on the face.
            const TSize s = plat::TextExtent(named->Font(), "Apply");
            EXPECT_EQ(t.X, (80 - s.cx) / 2);
            EXPECT_EQ(t.Y, (22 - s.cy) / 2);
        }
        if (t.Text == "Interpolated") {
            // Right of the box, in the control's font colour.
            EXPECT_GT(t.X, 13);
            EXPECT_EQ(t.Color, clRed);
        }
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Apply"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Interpolated"), texts.end());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), ""), 0);
}
