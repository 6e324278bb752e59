#include <string>

#include "gauge_fixture.h"
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
    EXPECT_EQ(v->ViewportRect(), (TRect{0, 0, 300 - DefaultScrollBarHeight, 200 - DefaultScrollBarHeight}));
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

} // namespace
