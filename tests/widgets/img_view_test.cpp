#include <string>

#include "gauge_fixture.h"
#include "toolkit/stdctrls.h"
#include "widgets/img_view32.h"

namespace {

class ImgViewTest : public BarTest {
protected:
    // A view whose viewport is 300 x 200 (bars 20 pixels thick).
    TPSImgView32* AddView()
    {
        Form->SetBounds(0, 0, 400, 300);
        auto* v = Add<TPSImgView32>(0, 0, 320, 220);
        v->ScrollBars()->SetSize(20);
        v->SetBounds(0, 0, 320, 220);
        return v;
    }
};

TEST_F(ImgViewTest, BarsLaidOutAlongTheEdges)
{
    auto* v = Add<TPSImgView32>(0, 0, 300, 200);
    // Without a size of their own the bars are as thick as the system's scroll bars.
    EXPECT_EQ(v->ViewportRect(), (TRect{0, 0, 283, 183}));
    headless::SetHorzScrollBarHeight(24);
    EXPECT_EQ(v->ViewportRect(), (TRect{0, 0, 276, 176}));
    v->LayoutBars();
    EXPECT_EQ(v->HorzBar()->BoundsRect(), (TRect{0, 176, 276, 200}));
    EXPECT_EQ(v->VertBar()->BoundsRect(), (TRect{276, 0, 300, 176}));
    v->ScrollBars()->SetSize(20);
    EXPECT_EQ(v->ScrollBars()->Size(), 20);
    EXPECT_EQ(v->ViewportRect(), (TRect{0, 0, 280, 180}));
    EXPECT_EQ(v->HorzBar()->BoundsRect(), (TRect{0, 180, 280, 200}));
    EXPECT_EQ(v->VertBar()->BoundsRect(), (TRect{280, 0, 300, 180}));
    EXPECT_EQ(v->GripRect(), (TRect{280, 180, 300, 200}));
    EXPECT_EQ(v->VertBar()->Kind(), sbVertical);
    EXPECT_EQ(v->HorzBar()->BorderStyle(), bsNone);
    EXPECT_EQ(v->ScaleMode(), smScale);
    EXPECT_EQ(v->BitmapAlign(), baCustom);
}

TEST_F(ImgViewTest, SmallImageStaysInTheMiddle)
{
    auto* v = AddView();
    v->Bitmap()->SetSize(200, 100);
    EXPECT_FLOAT_EQ(v->OffsetX(), 50);
    EXPECT_FLOAT_EQ(v->OffsetY(), 50);
    v->HorzBar()->SetPosition(30); // the bars have nothing to scroll
    v->SyncOffsets();
    EXPECT_FLOAT_EQ(v->OffsetX(), 50);
    v->Bitmap()->SetSize(207, 100);
    EXPECT_FLOAT_EQ(v->OffsetX(), 46.5f);
    EXPECT_EQ(v->BitmapRect().Left, 46); // ties to even
}

TEST_F(ImgViewTest, LargeImageCentredAfterLoading)
{
    auto* v = AddView();
    v->Bitmap()->SetSize(600, 400);
    v->Loaded();
    EXPECT_FLOAT_EQ(v->HorzBar()->Position(), 150);
    EXPECT_FLOAT_EQ(v->VertBar()->Position(), 100);
    EXPECT_EQ(v->BitmapRect().Left, -150);
    EXPECT_EQ(v->BitmapRect().Top, -100);
    EXPECT_EQ(v->HorzBar()->Range(), 600);
    v->SetScale(2.0f);
    EXPECT_EQ(v->HorzBar()->Range(), 1200);
    v->CenterOn(0, 0);
    EXPECT_FLOAT_EQ(v->HorzBar()->Position(), 0);
    EXPECT_FLOAT_EQ(v->OffsetY(), 0);
}

TEST_F(ImgViewTest, UncentredImageFollowsTheBars)
{
    auto* v = AddView();
    v->SetCentered(false);
    EXPECT_FALSE(v->HorzBar()->Centered());
    v->Bitmap()->SetSize(100, 50);
    EXPECT_FLOAT_EQ(v->OffsetX(), 0);
    EXPECT_FLOAT_EQ(v->OffsetY(), 0);
    v->Bitmap()->SetSize(900, 500);
    v->HorzBar()->SetPosition(120);
    v->VertBar()->SetPosition(40);
    v->SyncOffsets();
    EXPECT_FLOAT_EQ(v->OffsetX(), -120);
    EXPECT_FLOAT_EQ(v->OffsetY(), -40);
}

TEST_F(ImgViewTest, DraggingABarScrollsButCentringDoesNot)
{
    auto* v = AddView();
    int scrolls = 0;
    v->OnScroll = [&](TObject* s) { EXPECT_EQ(s, v); ++scrolls; };
    v->Bitmap()->SetSize(600, 400); // horizontal track 20..280: handle 130 pixels long at 65
    EXPECT_EQ(scrolls, 0);
    TCustomRangeBar* h = v->HorzBar();
    ASSERT_EQ(h->HandleRect(), (TRect{85, 0, 215, 20}));
    headless::PostMouseDown(h, 150, 10);
    headless::PostMouseMove(h, 160, 10);
    headless::PostMouseUp(h, 160, 10);
    Run();
    const float moved = 150 + 600.0f * 10 / 260; // range per track pixel
    EXPECT_FLOAT_EQ(h->Position(), moved);
    EXPECT_EQ(scrolls, 1);
    EXPECT_FLOAT_EQ(v->OffsetX(), -moved);
    EXPECT_EQ(v->BitmapRect().Left, -173);
    v->CenterOn(300, 200);
    EXPECT_EQ(scrolls, 1);
    EXPECT_FLOAT_EQ(v->OffsetX(), -150);
}

TEST_F(ImgViewTest, ScrollGroupSetsBothBars)
{
    auto* v = AddView();
    v->ScrollBars()->SetIncrement(24);
    EXPECT_EQ(v->HorzBar()->Increment(), 24);
    EXPECT_EQ(v->VertBar()->Increment(), 24);
    v->ScrollBars()->SetStyle(rbsMac);
    EXPECT_EQ(v->VertBar()->Style(), rbsMac);
    TIVScrollProperties other(*v);
    try {
        v->SetScrollBars(&other);
        FAIL() << "a whole group was assigned";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot assign a TIVScrollProperties to a TIVScrollProperties");
    }
}

TEST_F(ImgViewTest, SizeGripRules)
{
    auto* v = AddView();
    v->SetSizeGrip(sgNone);
    EXPECT_FALSE(v->GripShown());
    v->SetSizeGrip(sgAlways);
    EXPECT_TRUE(v->GripShown());
    v->SetSizeGrip(sgAuto);
    EXPECT_FALSE(v->GripShown()); // not aligned to the client
    v->SetAlign(alClient);
    EXPECT_TRUE(v->GripShown());
}

TEST_F(ImgViewTest, CornerPressIsAnImagePressWithoutGrip)
{
    auto* v = AddView();
    v->SetSizeGrip(sgNone);
    int downs = 0;
    v->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer*) { ++downs; };
    headless::PostClick(v, 310, 210);
    headless::PostPaint(v);
    headless::PostCall([&] { v->SetSizeGrip(sgAlways); });
    headless::PostClick(v, 310, 210); // now it belongs to the form's sizing
    headless::PostMouseMove(v, 312, 212);
    headless::PostCall([&] { EXPECT_EQ(Screen->Cursor(), crSizeNWSE); });
    Run();
    EXPECT_EQ(downs, 1);
    const TBitmap32* s = headless::Surface(v);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(THeadlessCanvas::FromColor32(s->PixelAt(305, 205)), 0xF0F0F0); // button face
}

// ---- pressing the size grip

class GripPressTest : public ImgViewTest {
protected:
    // A view on the form with the grip shown; counts the presses that reach the image.
    TPSImgView32* AddGrippedView(TSizeGripStyle Style = sgAlways)
    {
        TPSImgView32* v = AddView();
        v->SetSizeGrip(Style);
        v->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer*) { ++ImagePresses; };
        return v;
    }
    int ImagePresses = 0;
};

TEST_F(GripPressTest, PressInTheGripStartsTheFormsSizingAtTheCursor)
{
    auto* v = AddGrippedView();
    ASSERT_EQ(v->GripRect(), (TRect{300, 200, 320, 220}));
    auto* layer = v->ImageLayers()->Add<TPositionedLayer>();
    layer->SetArea(TFloatRect{0, 0, 400, 300}); // covers the corner too
    layer->SetOptions(LAYER_VISIBLE | LAYER_MOUSE_EVENTS);
    int layerPresses = 0;
    layer->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++layerPresses; };
    headless::PostMouseDown(v, 300, 219); // the grip's corner pixels are inside it
    Run();
    ASSERT_EQ(headless::FormSizings().size(), 1u);
    const headless::TFormSizingCall& c = headless::FormSizings()[0];
    EXPECT_EQ(c.Form, Form.get());
    EXPECT_EQ(c.HitTest, 17);
    EXPECT_EQ(c.Cursor, v->ClientToScreen(TPoint{300, 219}));
    EXPECT_EQ(ImagePresses, 0); // the press goes no further
    EXPECT_EQ(layerPresses, 0);
    // The sizing ends with the release; the next press is the image's and its layer's again.
    headless::PostMouseUp(v, 300, 219);
    headless::PostClick(v, 150, 100);
    Run();
    EXPECT_EQ(headless::FormSizings().size(), 1u);
    EXPECT_EQ(ImagePresses, 1);
    EXPECT_EQ(layerPresses, 1);
}

TEST_F(GripPressTest, PendingMessagesRunAndCaptureIsGivenUpFirst)
{
    auto* v = AddGrippedView();
    headless::PostCall([&] { v->SetMouseCapture(true); });
    headless::PostMouseDown(v, 310, 210);
    std::size_t sizingsWhenQueuedCallRan = 99;
    headless::PostCall([&] { sizingsWhenQueuedCallRan = headless::FormSizings().size(); });
    Run();
    EXPECT_EQ(sizingsWhenQueuedCallRan, 0u);
    ASSERT_EQ(headless::FormSizings().size(), 1u);
    EXPECT_EQ(headless::FormSizings()[0].Capture, nullptr);
    EXPECT_FALSE(v->MouseCapture());
}

TEST_F(GripPressTest, PressOutsideTheGripIsAnImagePress)
{
    auto* v = AddGrippedView();
    headless::PostClick(v, 150, 100);
    headless::PostClick(v, 299, 199); // the viewport's last pixel, next to the grip
    Run();
    EXPECT_TRUE(headless::FormSizings().empty());
    EXPECT_EQ(ImagePresses, 2);
    EXPECT_FALSE(v->MouseCapture()); // each release gave the image's capture back
}

TEST_F(GripPressTest, EachGripStyle)
{
    auto* v = AddGrippedView(sgNone);
    headless::PostClick(v, 310, 210);
    Run();
    EXPECT_TRUE(headless::FormSizings().empty());
    EXPECT_EQ(ImagePresses, 1);

    v->SetSizeGrip(sgAuto); // not aligned to the client: no grip
    headless::PostClick(v, 310, 210);
    Run();
    EXPECT_TRUE(headless::FormSizings().empty());
    EXPECT_EQ(ImagePresses, 2);

    v->SetAlign(alClient); // fills the form: the grip is shown at the new corner
    const TRect g = v->GripRect();
    ASSERT_EQ(g, (TRect{380, 280, 400, 300}));
    headless::PostMouseDown(v, 390, 290);
    Run();
    ASSERT_EQ(headless::FormSizings().size(), 1u);
    EXPECT_EQ(headless::FormSizings()[0].Cursor, v->ClientToScreen(TPoint{390, 290}));
    EXPECT_EQ(ImagePresses, 2);
}

TEST_F(GripPressTest, ViewNotOwnedByAFormKeepsThePress)
{
    Form->SetBounds(0, 0, 400, 300);
    auto* panel = Add<TPanel>(330, 0, 60, 60);
    auto* v = new TPSImgView32(panel); // owned by the panel, shown on the form
    v->SetParent(Form.get());
    v->ScrollBars()->SetSize(20);
    v->SetBounds(0, 0, 320, 220);
    v->SetSizeGrip(sgAlways);
    int presses = 0;
    v->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer*) { ++presses; };
    headless::PostClick(v, 310, 210);
    Run();
    EXPECT_TRUE(headless::FormSizings().empty());
    EXPECT_EQ(presses, 1);
}

} // namespace
