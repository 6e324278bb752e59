// Vertical bars: the same rules as the horizontal ones with x and y exchanged. Each case
// mirrors a horizontal one so that a mix-up of the axes shows.
#include <vector>

#include "gauge_fixture.h"

namespace {

TColor At(const TBitmap32& B, int X, int Y) { return THeadlessCanvas::FromColor32(B.PixelAt(X, Y)); }

class VerticalBarTest : public BarTest {
protected:
    template <class Bar>
    Bar* AddVertical(int W, int H)
    {
        auto* b = Add<Bar>(0, 0, W, H);
        b->SetKind(sbVertical);
        return b;
    }
};

TEST_F(VerticalBarTest, GaugeZonesRunDownTheBar)
{
    auto* b = AddVertical<TGaugeBar>(16, 100); // client 14 x 98, buttons 14 long
    b->SetPosition(50);
    EXPECT_EQ(b->TrackRect(), (TRect{0, 14, 14, 84}));
    EXPECT_EQ(b->HandleRect(), (TRect{0, 42, 14, 56}));
    EXPECT_EQ(b->ZoneRect(ZONE_BUTTON1), (TRect{0, 0, 14, 14}));
    EXPECT_EQ(b->ZoneRect(ZONE_BUTTON2), (TRect{0, 84, 14, 98}));
    EXPECT_EQ(b->ZoneRect(ZONE_TRACK1), (TRect{0, 14, 14, 42}));
    EXPECT_EQ(b->ZoneRect(ZONE_TRACK2), (TRect{0, 56, 14, 84}));
    EXPECT_EQ(b->ZoneAt(5, 13), ZONE_BUTTON1);
    EXPECT_EQ(b->ZoneAt(5, 14), ZONE_TRACK1);
    EXPECT_EQ(b->ZoneAt(5, 42), ZONE_HANDLE);
    EXPECT_EQ(b->ZoneAt(5, 56), ZONE_TRACK2);
    EXPECT_EQ(b->ZoneAt(5, 84), ZONE_BUTTON2);
    EXPECT_EQ(b->ZoneAt(50, 5), ZONE_NONE); // beyond the 14-pixel width
    b->SetEnabled(false); // the track parts meet in the middle of the track
    EXPECT_EQ(b->ZoneRect(ZONE_HANDLE), (TRect{7, 49, 7, 49}));
    EXPECT_EQ(b->ZoneRect(ZONE_TRACK1), (TRect{0, 14, 14, 49}));
    EXPECT_EQ(b->ZoneRect(ZONE_TRACK2), (TRect{0, 49, 14, 84}));
}

TEST_F(VerticalBarTest, FirstAndLastRowsAreNoZoneWithoutArrows)
{
    auto* b = AddVertical<TGaugeBar>(16, 100);
    b->SetShowArrows(false);
    b->SetPosition(50); // handle 42..56 of 98
    EXPECT_EQ(b->HandleRect(), (TRect{0, 42, 14, 56}));
    EXPECT_EQ(b->ZoneAt(5, 0), ZONE_NONE);
    EXPECT_EQ(b->ZoneAt(5, 1), ZONE_TRACK1);
    EXPECT_EQ(b->ZoneAt(5, 96), ZONE_TRACK2);
    EXPECT_EQ(b->ZoneAt(5, 97), ZONE_NONE);
}

TEST_F(VerticalBarTest, RangeHandleSizeAndPlace)
{
    auto* b = AddVertical<TCustomRangeBar>(16, 200);
    b->SetBorderStyle(bsNone); // track 16..184: 168 long
    b->SetParams(1000, 100);
    b->SetPosition(300);
    EXPECT_EQ(b->HandleRect(), (TRect{0, 66, 16, 83}));
    b->SetParams(10000, 100); // 2 pixels computed: the 17-pixel handle over the shortened track
    b->SetPosition(300);
    EXPECT_EQ(b->HandleRect(), (TRect{0, 21, 16, 38}));
    b->SetBounds(0, 0, 16, 50); // track 16..34: 18 long, still room
    EXPECT_EQ(b->HandleRect().Height(), 17);
    b->SetBounds(0, 0, 16, 49); // 17 long: no handle
    EXPECT_EQ(b->HandleRect(), TRect{});
}

TEST_F(VerticalBarTest, RangeDragFollowsOnlyTheVerticalMotion)
{
    auto* b = AddVertical<TCustomRangeBar>(16, 200);
    b->SetBorderStyle(bsNone);
    b->SetShowArrows(false);
    b->SetParams(1000, 500); // handle 0..100
    headless::PostMouseDown(b, 5, 50);
    headless::PostMouseMove(b, 12, 50);
    headless::PostCall([&] { EXPECT_FLOAT_EQ(b->Position(), 0); });
    headless::PostMouseMove(b, 5, 60);
    headless::PostCall([&] { EXPECT_FLOAT_EQ(b->Position(), 50); });
    headless::PostMouseUp(b, 5, 60);
    Run();
    EXPECT_EQ(b->HandleRect(), (TRect{0, 10, 16, 110}));
}

TEST_F(VerticalBarTest, GaugeDragOfOnePixelMovesAboutThreeSteps)
{
    auto* b = AddSlider<TPaintable<TGaugeBar>>(127, sbVertical); // handle at client y 39..54
    EXPECT_EQ(b->HandleRect(), (TRect{0, 39, 10, 55}));
    headless::PostMouseDown(b, 5, 46);
    headless::PostMouseMove(b, 5, 47);
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 130); });
    headless::PostMouseMove(b, 7, 48);
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 133); });
    headless::PostMouseMove(b, 40, 48); // sideways only
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 133); });
    headless::PostMouseUp(b, 40, 48);
    Run();
}

TEST_F(VerticalBarTest, HeldTrackPagesDownUntilTheHandleReachesTheCursor)
{
    auto* b = AddVertical<TCustomRangeBar>(16, 200);
    b->SetBorderStyle(bsNone);
    b->SetShowArrows(false);
    b->SetParams(2000, 100);
    std::vector<float> seen;
    auto note = [&] { headless::PostCall([&] { seen.push_back(b->Position()); }); };
    headless::PostMouseDown(b, 5, 150);
    note();
    headless::PostAdvanceTime(600);
    note();
    headless::PostAdvanceTime(5000);
    note();
    headless::PostMouseUp(b, 5, 150);
    Run();
    EXPECT_EQ(seen, (std::vector<float>{100, 200, 1400}));
    EXPECT_EQ(b->ZoneAt(5, 150), ZONE_HANDLE);
}

TEST_F(VerticalBarTest, HeldGaugeButtonsStepUpAndDown)
{
    auto* b = AddVertical<TGaugeBar>(16, 100); // buttons at client y 0..13 and 84..97
    b->SetSmallChange(4);
    b->SetPosition(50);
    headless::PostMouseDown(b, 5, 92); // the bottom button
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 54); });
    headless::PostMouseUp(b, 5, 92);
    headless::PostMouseDown(b, 5, 3); // the top one
    headless::PostCall([&] { EXPECT_EQ(b->Position(), 50); });
    headless::PostMouseUp(b, 5, 3);
    Run();
}

TEST_F(VerticalBarTest, MacSliderOnEndPaintsTracksAndRidgesAcross)
{
    auto* b = AddSlider<TPaintable<TGaugeBar>>(127, sbVertical);
    TBitmap32 s;
    s.SetSize(12, 97);
    s.Clear(0xFFFFFFFF);
    THeadlessCanvas canvas(s);
    b->PaintOn(canvas);
    constexpr TColor Frame = 0x646464, Shadow = 0xA0A0A0, Track = 0xC8C8C8, Light = 0xB8B8B8, Dark = 0x888888,
                     Inner = 0xD1D1D1;
    // Handle at client y 39..54 is window 40..55: frame, bevel (light on top), body, ridges.
    EXPECT_EQ(At(s, 5, 40), Frame);
    EXPECT_EQ(At(s, 5, 55), Frame);
    EXPECT_EQ(At(s, 1, 47), Frame);
    EXPECT_EQ(At(s, 10, 47), Frame);
    EXPECT_EQ(At(s, 5, 41), Light);
    EXPECT_EQ(At(s, 5, 54), Dark);
    EXPECT_EQ(At(s, 5, 42), Shadow); // body above the first ridge
    EXPECT_EQ(At(s, 5, 43), Light);  // ridges two rows high at 43, 46, 49, 52
    EXPECT_EQ(At(s, 5, 44), Dark);
    EXPECT_EQ(At(s, 5, 45), Shadow);
    EXPECT_EQ(At(s, 4, 52), Light);
    EXPECT_EQ(At(s, 7, 53), Dark);
    EXPECT_EQ(At(s, 3, 46), Shadow); // ridges start one pixel in from the body's left
    // The track above the handle: lines left, top and right, none towards the handle.
    EXPECT_EQ(At(s, 1, 10), Frame);
    EXPECT_EQ(At(s, 10, 10), Frame);
    EXPECT_EQ(At(s, 5, 1), Frame);
    EXPECT_EQ(At(s, 5, 39), clWhite); // checker, 5 + 39 even
    EXPECT_EQ(At(s, 2, 20), Inner);   // inner line down the left side and along the top
    EXPECT_EQ(At(s, 6, 2), Inner);
    EXPECT_EQ(At(s, 3, 3), clWhite);
    EXPECT_EQ(At(s, 3, 4), Track);
    // The track below the handle: no top line, inner line along its left side only.
    EXPECT_EQ(At(s, 5, 95), Frame);
    EXPECT_EQ(At(s, 5, 56), Track); // 5 + 56 odd
    EXPECT_EQ(At(s, 2, 60), Inner);
    EXPECT_EQ(At(s, 3, 60), Track);
    EXPECT_EQ(At(s, 4, 60), clWhite);
}

} // namespace
