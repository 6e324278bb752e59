#include <vector>

#include "gauge_fixture.h"
#include "toolkit/timers.h"

namespace {

// Counts OnChange and OnUserChange of a bar.
struct TChangeLog {
    int Changes = 0, UserChanges = 0;
    void Watch(TArrowBar* Bar)
    {
        Bar->OnChange = [this](TObject*) { ++Changes; };
        Bar->OnUserChange = [this](TObject*) { ++UserChanges; };
    }
};

using GaugeSetters = BarTest;

TEST_F(GaugeSetters, PositionClampsToMinAndMax)
{
    auto* b = Add<TGaugeBar>(0, 0, 100, 16);
    b->SetMin(10);
    b->SetMax(400);
    EXPECT_EQ(b->Position(), 10); // brought into the new range
    b->SetPosition(5);
    EXPECT_EQ(b->Position(), 10);
    b->SetPosition(1000);
    EXPECT_EQ(b->Position(), 400);
    TChangeLog log;
    log.Watch(b);
    b->SetPosition(400); // unchanged: no event
    b->SetPosition(250);
    EXPECT_EQ(log.Changes, 1);
    EXPECT_EQ(log.UserChanges, 0); // made by code
}

TEST_F(GaugeSetters, MinAndMaxNeverMeetOutsideLoading)
{
    auto* b = Add<TGaugeBar>(0, 0, 100, 16);
    b->SetMin(20);
    b->SetMax(20);
    EXPECT_EQ(b->Max(), 21);
    b->SetMax(50);
    b->SetMin(80);
    EXPECT_EQ(b->Min(), 49);
    EXPECT_EQ(b->Position(), 49);
    b->SetSmallChange(0);
    b->SetLargeChange(-3);
    EXPECT_EQ(b->SmallChange(), 1);
    EXPECT_EQ(b->LargeChange(), 1);
    b->SetHandleSize(-4);
    EXPECT_EQ(b->HandleSize(), 0);
}

TEST_F(GaugeSetters, LoadedEqualMinAndMaxKeepTheHandleAtTheStart)
{
    auto* b = Add<TGaugeBar>(0, 0, 100, 16);
    b->SetShowArrows(false);
    b->SetLoading(true);
    b->SetMax(0); // equal to Min: kept while loading
    b->SetLoading(false);
    ASSERT_EQ(b->Max(), b->Min());
    TRect h = b->HandleRect();
    EXPECT_EQ(h.Left, 0);
    EXPECT_EQ(h.Width(), 14); // the client thickness
}

using GaugeGeometry = BarTest;

TEST_F(GaugeGeometry, SliderHandleAtMidPosition)
{
    auto* b = AddSlider(127);
    EXPECT_EQ(b->ClientWidth(), 95);
    EXPECT_EQ(b->ClientHeight(), 10);
    EXPECT_EQ(b->EffectiveHandleSize(), 16);
    EXPECT_EQ(b->HandleRect(), (TRect{39, 0, 55, 10}));
    b->SetPosition(0);
    EXPECT_EQ(b->HandleRect().Left, 0);
    b->SetPosition(255);
    EXPECT_EQ(b->HandleRect().Right, 95);
}

TEST_F(GaugeGeometry, ZonesLeaveTheEndColumnsOut)
{
    auto* b = AddSlider(127);
    EXPECT_EQ(b->ZoneAt(0, 5), ZONE_NONE);
    EXPECT_EQ(b->ZoneAt(1, 5), ZONE_TRACK1);
    EXPECT_EQ(b->ZoneAt(38, 5), ZONE_TRACK1);
    EXPECT_EQ(b->ZoneAt(39, 5), ZONE_HANDLE);
    EXPECT_EQ(b->ZoneAt(54, 9), ZONE_HANDLE);
    EXPECT_EQ(b->ZoneAt(55, 5), ZONE_TRACK2);
    EXPECT_EQ(b->ZoneAt(93, 5), ZONE_TRACK2);
    EXPECT_EQ(b->ZoneAt(94, 5), ZONE_NONE);
    EXPECT_EQ(b->ZoneAt(-1, 5), ZONE_NONE);
    EXPECT_EQ(b->ZoneAt(40, 10), ZONE_NONE);
}

TEST_F(GaugeGeometry, ButtonSizeRules)
{
    auto* b = Add<TGaugeBar>(0, 0, 100, 16); // client 98 x 14
    EXPECT_EQ(b->EffectiveButtonSize(), 14);
    EXPECT_EQ(b->TrackRect(), (TRect{14, 0, 84, 14}));
    EXPECT_EQ(b->ZoneAt(13, 3), ZONE_BUTTON1);
    EXPECT_EQ(b->ZoneAt(84, 3), ZONE_BUTTON2);
    b->SetStyle(rbsMac);
    EXPECT_EQ(b->EffectiveButtonSize(), 13);
    b->SetStyle(rbsDefault);
    b->SetButtonSize(60); // longer than half the bar: half of it
    EXPECT_EQ(b->EffectiveButtonSize(), 49);
    b->SetButtonSize(0);
    b->SetBounds(0, 0, 5, 40); // client 3 x 38: 1 pixel is below the minimum
    EXPECT_EQ(b->EffectiveButtonSize(), 0);
    b->SetKind(sbVertical);
    EXPECT_EQ(b->EffectiveButtonSize(), 3);
    EXPECT_EQ(b->TrackRect(), (TRect{0, 3, 3, 35}));
    b->SetShowArrows(false);
    EXPECT_EQ(b->EffectiveButtonSize(), 0);
}

TEST_F(GaugeGeometry, DisabledBarPaintsTracksAroundTheMiddle)
{
    auto* b = AddSlider(127);
    b->SetEnabled(false);
    EXPECT_EQ(b->ZoneRect(ZONE_HANDLE), (TRect{47, 5, 47, 5}));
    EXPECT_EQ(b->ZoneRect(ZONE_TRACK1), (TRect{0, 0, 47, 10}));
    EXPECT_EQ(b->ZoneRect(ZONE_TRACK2), (TRect{47, 0, 95, 10}));
    b->SetEnabled(true);
    EXPECT_EQ(b->ZoneRect(ZONE_TRACK2), (TRect{55, 0, 95, 10}));
}

using RangeGeometry = BarTest;

TEST_F(RangeGeometry, PositionClampsToRangeLessWindow)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 200, 16);
    b->SetParams(600, 300);
    b->SetPosition(1000);
    EXPECT_FLOAT_EQ(b->Position(), 300);
    b->SetPosition(-5);
    EXPECT_FLOAT_EQ(b->Position(), 0);
    b->SetPosition(120.5f);
    EXPECT_FLOAT_EQ(b->Position(), 120.5f);
    b->SetRange(250); // below the window now
    EXPECT_FLOAT_EQ(b->Position(), 0);
    EXPECT_FALSE(b->IsEnabled());
}

TEST_F(RangeGeometry, WindowFollowsTheBarLengthWhenUnset)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 200, 16);
    EXPECT_EQ(b->EffectiveWindow(), 200);
    b->SetKind(sbVertical);
    EXPECT_EQ(b->EffectiveWindow(), 16);
    b->SetWindow(50);
    EXPECT_EQ(b->EffectiveWindow(), 50);
    b->SetParams(-3, -4);
    EXPECT_EQ(b->Range(), 0);
    EXPECT_EQ(b->Window(), 0);
}

TEST_F(RangeGeometry, ShortTrackHasNoHandle)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 19, 16); // client 17 wide
    b->SetShowArrows(false);
    b->SetParams(1000, 10);
    EXPECT_EQ(b->HandleRect(), TRect{});
    b->SetWidth(20);
    EXPECT_EQ(b->HandleRect().Width(), 17);
}

TEST_F(RangeGeometry, HandleIsNeverShorterThanSeventeen)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 202, 16); // 200-pixel track
    b->SetShowArrows(false);
    b->SetParams(10000, 100);
    EXPECT_EQ(b->HandleRect(), (TRect{0, 0, 17, 14}));
    b->SetPosition(9900);
    EXPECT_EQ(b->HandleRect(), (TRect{183, 0, 200, 14}));
    b->SetPosition(4950); // half way: Round(183 / 2) = 92 (ties to even)
    EXPECT_EQ(b->HandleRect().Left, 92);
    b->SetParams(1000, 500); // long enough to be proportional
    b->SetPosition(250);
    EXPECT_EQ(b->HandleRect(), (TRect{50, 0, 150, 14}));
    b->SetParams(400, 500); // everything visible: the whole track
    EXPECT_EQ(b->HandleRect(), (TRect{0, 0, 200, 14}));
}

TEST_F(RangeGeometry, CentredBarKeepsTheMiddleAcrossRangeAndSize)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 100, 16);
    b->SetCentered(true);
    b->SetParams(1000, 0);
    EXPECT_FLOAT_EQ(b->Position(), 450); // from an empty range the middle is taken
    TChangeLog log;
    log.Watch(b);
    b->SetRange(2000);
    EXPECT_FLOAT_EQ(b->Position(), 950);
    b->SetWidth(200);
    EXPECT_FLOAT_EQ(b->Position(), 900);
    EXPECT_EQ(log.Changes, 0);
    b->SetCentered(false);
    b->SetRange(1000);
    EXPECT_FLOAT_EQ(b->Position(), 800); // only clamped
}

using BarMouse = BarTest;

TEST_F(BarMouse, DragOfOnePixelMovesAboutThreeSteps)
{
    auto* b = AddSlider(127);
    TChangeLog log;
    log.Watch(b);
    // Client x 45 is window x 46 (the border).
    headless::PostMouseDown(b, 46, 5);
    headless::PostMouseMove(b, 47, 5);
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 130); }); // 127 + 255 / 79, rounded
    headless::PostMouseMove(b, 48, 7);
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 133); });
    headless::PostMouseMove(b, 500, 7); // far beyond the end
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 255); });
    headless::PostMouseMove(b, 46, 5);
    headless::PostMouseUp(b, 46, 5);
    Run();
    EXPECT_EQ(b->Position(), 127);
    EXPECT_EQ(log.Changes, 4);
    EXPECT_EQ(log.UserChanges, 4);
    EXPECT_EQ(b->DragZone(), ZONE_NONE);
}

TEST_F(BarMouse, HeldTrackPagesAtOnceThenAfterDelayThenRepeatedly)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 200, 16);
    b->SetBorderStyle(bsNone);
    b->SetShowArrows(false);
    b->SetParams(2000, 100);
    TChangeLog log;
    log.Watch(b);
    std::vector<float> seen;
    auto note = [&] { headless::PostCall([&] { seen.push_back(b->Position()); }); };
    headless::PostMouseDown(b, 150, 5);
    note();
    headless::PostAdvanceTime(599);
    note();
    headless::PostAdvanceTime(1);
    note();
    headless::PostAdvanceTime(100);
    note();
    headless::PostAdvanceTime(5000); // the handle reaches the cursor and stays
    note();
    headless::PostMouseUp(b, 150, 5);
    Run();
    EXPECT_EQ(seen, (std::vector<float>{100, 100, 200, 300, 1400}));
    EXPECT_EQ(log.UserChanges, 14);
    EXPECT_EQ(log.Changes, 14);
    EXPECT_EQ(b->ZoneAt(150, 5), ZONE_HANDLE);
}

TEST_F(BarMouse, HeldButtonStopsRepeatingAtTheEnd)
{
    auto* b = Add<TGaugeBar>(0, 0, 100, 16); // buttons 14 pixels long
    b->SetMax(3);
    headless::PostMouseDown(b, 92, 5); // client 91: the right button
    headless::PostCall([&] {
        EXPECT_EQ(b->Position(), 1);
        EXPECT_EQ(b->DragZone(), ZONE_BUTTON2);
        EXPECT_EQ(b->TimerMode(), TIMER_FIRST_DELAY);
        EXPECT_EQ(b->RepeatTimer()->Interval(), 600u);
    });
    headless::PostAdvanceTime(600);
    headless::PostCall([&] {
        EXPECT_EQ(b->Position(), 2);
        EXPECT_EQ(b->TimerMode(), TIMER_REPEAT);
        EXPECT_EQ(b->RepeatTimer()->Interval(), 100u);
    });
    headless::PostAdvanceTime(200); // 3, then the end: hover checks instead
    headless::PostCall([&] {
        EXPECT_EQ(b->Position(), 3);
        EXPECT_EQ(b->TimerMode(), TIMER_HOVER);
        EXPECT_EQ(b->RepeatTimer()->Interval(), 150u);
    });
    headless::PostMouseUp(b, 92, 5);
    Run();
    EXPECT_EQ(b->Position(), 3);
}

TEST_F(BarMouse, HoverFollowsTheMouseAndStopsWhenItLeaves)
{
    auto* b = AddSlider(127);
    headless::PostMouseMove(b, 46, 5);
    headless::PostCall([&] {
        EXPECT_EQ(b->HotZone(), ZONE_HANDLE);
        EXPECT_EQ(b->TimerMode(), TIMER_HOVER);
        EXPECT_TRUE(b->RepeatTimer()->Running());
    });
    headless::PostMouseMove(b, 80, 5);
    headless::PostCall([&] { EXPECT_EQ(b->HotZone(), ZONE_TRACK2); });
    headless::PostMouseMove(Form.get(), 300, 150); // off the bar
    headless::PostCall([&] {
        EXPECT_EQ(b->HotZone(), ZONE_NONE);
        EXPECT_FALSE(b->RepeatTimer()->Running());
    });
    Run();
}

// The pointer can leave without the bar seeing a move (another window took it): the hover
// check looks where the pointer really is.
TEST_F(BarMouse, HoverCheckLooksAtTheRealPointer)
{
    auto* b = AddSlider(127); // at (10, 10) on the form
    headless::PostMouseMove(b, 46, 5);
    headless::PostAdvanceTime(150);
    headless::PostCall([&] {
        EXPECT_TRUE(b->RepeatTimer()->Running()) << "the pointer is still on the bar";
        EXPECT_EQ(b->HotZone(), ZONE_HANDLE);
        headless::SetCursorPos(b->ClientToScreen(TPoint{46, 40})); // below it, no event
    });
    headless::PostAdvanceTime(150);
    headless::PostCall([&] {
        EXPECT_FALSE(b->RepeatTimer()->Running());
        EXPECT_EQ(b->HotZone(), ZONE_NONE);
    });
    // On the border, outside the client area, is outside too.
    headless::PostMouseMove(b, 46, 5);
    headless::PostCall([&] { headless::SetCursorPos(b->ClientToScreen(TPoint{0, 5})); });
    headless::PostAdvanceTime(150);
    headless::PostCall([&] { EXPECT_FALSE(b->RepeatTimer()->Running()); });
    Run();
}

TEST_F(BarMouse, RangeBarIgnoresPressesWhenAllIsVisible)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 200, 16);
    b->SetParams(150, 0);
    int downs = 0;
    b->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    headless::PostMouseDown(b, 100, 5);
    headless::PostCall([&] { EXPECT_EQ(b->DragZone(), ZONE_NONE); });
    headless::PostMouseUp(b, 100, 5);
    Run();
    EXPECT_EQ(downs, 0);
    EXPECT_FLOAT_EQ(b->Position(), 0);
}

TEST_F(BarMouse, RangeHandleDragFollowsTheCursor)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 200, 16);
    b->SetBorderStyle(bsNone);
    b->SetShowArrows(false);
    b->SetParams(1000, 500); // handle 100 pixels long at 0
    TChangeLog log;
    log.Watch(b);
    headless::PostMouseDown(b, 50, 5);
    headless::PostMouseMove(b, 60, 5);
    headless::PostCall([&] { EXPECT_FLOAT_EQ(b->Position(), 50); });
    headless::PostMouseUp(b, 60, 5);
    Run();
    EXPECT_EQ(log.UserChanges, 1);
    EXPECT_EQ(b->HandleRect().Left, 10);
}

TEST_F(BarMouse, RangeHandleDragWithABorderUsesTheShorterTrack)
{
    // 202 wide with a single border: client 200, track 200 - 2 = 198 pixels for the range.
    auto* b = Add<TCustomRangeBar>(0, 0, 202, 16);
    b->SetShowArrows(false);
    b->SetParams(990, 495);
    headless::PostMouseDown(b, 50, 5);
    headless::PostMouseMove(b, 70, 5);
    headless::PostCall([&] { EXPECT_FLOAT_EQ(b->Position(), 100); }); // 990 * 20 / 198
    headless::PostMouseUp(b, 70, 5);
    Run();
}

TEST_F(BarMouse, WheelChangesPositionByCodeOnly)
{
    auto* b = AddSlider(100);
    b->SetSmallChange(5);
    b->SetTabStop(true);
    TChangeLog log;
    log.Watch(b);
    headless::PostClick(b, 2, 5); // focus; a track press pages once
    headless::PostCall([&] {
        b->SetPosition(100);
        log = TChangeLog{};
        log.Watch(b);
    });
    headless::PostMouseWheel(b, 20, 5, 240);
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 110); });
    headless::PostMouseWheel(b, 20, 5, -60); // -300 div 120 = -2, truncated
    Run();
    EXPECT_EQ(b->Position(), 108);
    EXPECT_EQ(log.Changes, 2);
    EXPECT_EQ(log.UserChanges, 0);
}

TEST_F(BarMouse, RangeWheelStepsByIncrement)
{
    auto* b = Add<TCustomRangeBar>(0, 0, 200, 16);
    b->SetParams(1000, 100);
    b->SetIncrement(8);
    b->SetPosition(100);
    headless::PostMouseWheel(b, 50, 5, -60);
    Run();
    EXPECT_FLOAT_EQ(b->Position(), 96);
}

} // namespace
