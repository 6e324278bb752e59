#include <string>

#include "gauge_fixture.h"
#include "toolkit/formloader.h"

namespace {

constexpr TColor32 White = 0xFFFFFFFF;

// Toolkit colour of a bitmap pixel.
TColor At(const TBitmap32& B, int X, int Y) { return THeadlessCanvas::FromColor32(B.PixelAt(X, Y)); }

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::Reset();
        Bitmap.SetSize(9, 9);
        Bitmap.Clear(White);
    }
    void TearDown() override { headless::Reset(); }
    TBitmap32 Bitmap;
    THeadlessCanvas Canvas{Bitmap};
};

TEST_F(DrawingTest, ShiftColorClampsEachChannel)
{
    EXPECT_EQ(ShiftColor(0x10F0FF, 24), 0x28FFFF);
    EXPECT_EQ(ShiftColor(0x101030, -24), 0x000018);
    EXPECT_EQ(ShiftColor(clBtnShadow, 24), 0xB8B8B8); // system colours are looked up
}

TEST_F(DrawingTest, BlendColorsWeighsEachChannel)
{
    EXPECT_EQ(BlendColors(clWhite, clBlack, 255), 0xFEFEFE);
    EXPECT_EQ(BlendColors(clWhite, clBlack, 0), 0x000000);
    EXPECT_EQ(BlendColors(0x0000FF, 0xFF0000, 128), 0x7E007F); // 128 * 255 >> 8, 127 * 255 >> 8
    EXPECT_EQ(BlendColors(clWindowFrame, clBtnShadow, 96), 0x888888);
    try {
        BlendColors(clWhite, clBlack, 256);
        FAIL() << "a weight of 256 was accepted";
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(std::string(e.what()).find("Assertion failure"), std::string::npos) << e.what();
    }
}

TEST_F(DrawingTest, FillWithPatternIsACheckerOrSolid)
{
    FillWithPattern(Canvas, TRect{1, 1, 5, 4}, clRed, clBlue);
    EXPECT_EQ(At(Bitmap, 1, 1), clRed); // x + y even
    EXPECT_EQ(At(Bitmap, 2, 1), clBlue);
    EXPECT_EQ(At(Bitmap, 1, 2), clBlue);
    EXPECT_EQ(At(Bitmap, 4, 3), clBlue);
    EXPECT_EQ(At(Bitmap, 5, 3), clWhite); // right edge is exclusive
    FillWithPattern(Canvas, TRect{0, 6, 9, 9}, clGreen, clGreen);
    EXPECT_EQ(At(Bitmap, 0, 6), clGreen);
    EXPECT_EQ(At(Bitmap, 1, 6), clGreen);
    FillWithPattern(Canvas, TRect{3, 3, 3, 8}, clBlack, clWhite); // empty: nothing
    EXPECT_EQ(At(Bitmap, 3, 5), clWhite);
    EXPECT_EQ(Canvas.Brush.Style, bsSolid); // the caller's brush is given back
}

TEST_F(DrawingTest, EdgeLinesShrinkTheRectangle)
{
    TRect r{0, 0, 6, 5};
    DrawEdgeLines(Canvas, r, 1 | 2, clRed);
    EXPECT_EQ(r, (TRect{1, 1, 6, 5}));
    EXPECT_EQ(At(Bitmap, 5, 0), clRed);
    EXPECT_EQ(At(Bitmap, 0, 4), clRed);
    EXPECT_EQ(At(Bitmap, 5, 4), clWhite);
    TRect s{0, 0, 9, 9};
    DrawEdgeLines(Canvas, s, 4 | 8, clBlue);
    EXPECT_EQ(s, (TRect{0, 0, 8, 8}));
    EXPECT_EQ(At(Bitmap, 8, 0), clBlue);
    EXPECT_EQ(At(Bitmap, 0, 8), clBlue);
    EXPECT_EQ(At(Bitmap, 7, 7), clWhite);
}

TEST_F(DrawingTest, BevelRingLightAboveDarkBelow)
{
    TRect r{0, 0, 5, 5};
    DrawBevel(Canvas, r, clRed, clBlue, true);
    EXPECT_EQ(r, (TRect{1, 1, 4, 4}));
    EXPECT_EQ(At(Bitmap, 0, 0), clRed);
    EXPECT_EQ(At(Bitmap, 0, 4), clRed);  // bottom-left belongs to the light line
    EXPECT_EQ(At(Bitmap, 3, 0), clRed);
    EXPECT_EQ(At(Bitmap, 4, 0), clBlue); // top-right to the dark one
    EXPECT_EQ(At(Bitmap, 4, 4), clBlue);
    EXPECT_EQ(At(Bitmap, 1, 4), clBlue);
    EXPECT_EQ(At(Bitmap, 2, 2), clWhite);
    TRect k{5, 5, 9, 9};
    DrawBevel(Canvas, k, clRed, clBlue, false);
    EXPECT_EQ(k, (TRect{5, 5, 9, 9}));
}

TEST_F(DrawingTest, ArrowGlyphPointsItsWay)
{
    // 9 x 9: centre (4, 4), size 2; pointing up it is shifted one pixel down.
    DrawArrowGlyph(Canvas, TRect{0, 0, 9, 9}, DIR_UP, clRed);
    EXPECT_EQ(At(Bitmap, 4, 3), clRed);
    EXPECT_EQ(At(Bitmap, 2, 5), clRed);
    EXPECT_EQ(At(Bitmap, 6, 5), clRed);
    EXPECT_EQ(At(Bitmap, 4, 2), clWhite);
    EXPECT_EQ(At(Bitmap, 4, 6), clWhite);
    EXPECT_EQ(At(Bitmap, 1, 5), clWhite);
    Bitmap.Clear(White);
    // Pointing right: centre moved left by 2 div 3 = 0.
    DrawArrowGlyph(Canvas, TRect{0, 0, 9, 9}, DIR_RIGHT, clBlue);
    EXPECT_EQ(At(Bitmap, 6, 4), clBlue);
    EXPECT_EQ(At(Bitmap, 4, 2), clBlue);
    EXPECT_EQ(At(Bitmap, 4, 6), clBlue);
    EXPECT_EQ(At(Bitmap, 7, 4), clWhite);
    EXPECT_EQ(At(Bitmap, 3, 4), clWhite);
    Bitmap.Clear(White);
    // A computed size of 0 becomes 1.
    DrawArrowGlyph(Canvas, TRect{0, 0, 5, 5}, DIR_DOWN, clGreen);
    EXPECT_EQ(At(Bitmap, 2, 3), clGreen);
    EXPECT_EQ(At(Bitmap, 1, 2), clGreen);
    EXPECT_EQ(At(Bitmap, 2, 1), clWhite);
    EXPECT_EQ(At(Bitmap, 0, 2), clWhite);
}

// ---- whole bars painted on a bitmap

class BarPaintTest : public BarTest {
protected:
    template <class Bar>
    void Paint(Bar* B)
    {
        Surface.SetSize(B->Width(), B->Height());
        Surface.Clear(White);
        THeadlessCanvas canvas(Surface);
        B->PaintOn(canvas);
    }
    TBitmap32 Surface;
};

constexpr TColor Frame = 0x646464, Shadow = 0xA0A0A0, Track = 0xC8C8C8, Light = 0xB8B8B8, Dark = 0x888888;

TEST_F(BarPaintTest, MacSliderTracksAndHandle)
{
    auto* b = AddSlider<TPaintable<TGaugeBar>>(127);
    Paint(b);
    // Sunken outer border: shadow above and left, highlight below and right.
    EXPECT_EQ(At(Surface, 0, 5), Shadow);
    EXPECT_EQ(At(Surface, 96, 5), clWhite);
    // Handle at client 39..54 is window 40..55: frame, bevel, body, ridges.
    EXPECT_EQ(At(Surface, 40, 5), Frame);
    EXPECT_EQ(At(Surface, 55, 5), Frame);
    EXPECT_EQ(At(Surface, 47, 1), Frame);
    EXPECT_EQ(At(Surface, 47, 10), Frame);
    EXPECT_EQ(At(Surface, 41, 5), Light);
    EXPECT_EQ(At(Surface, 54, 5), Dark);
    EXPECT_EQ(At(Surface, 42, 5), Shadow); // body before the first ridge
    EXPECT_EQ(At(Surface, 43, 5), Light);  // ridges at 43, 46, 49, 52
    EXPECT_EQ(At(Surface, 44, 5), Dark);
    EXPECT_EQ(At(Surface, 45, 5), Shadow);
    EXPECT_EQ(At(Surface, 52, 4), Light);
    EXPECT_EQ(At(Surface, 53, 7), Dark);
    EXPECT_EQ(At(Surface, 46, 3), Shadow); // ridges start one pixel below the body's top
    // The track before the handle has lines top, bottom and left, none towards the handle.
    EXPECT_EQ(At(Surface, 10, 1), Frame);
    EXPECT_EQ(At(Surface, 10, 10), Frame);
    EXPECT_EQ(At(Surface, 1, 5), Frame);
    EXPECT_EQ(At(Surface, 39, 5), clWhite); // no line towards the handle: checker, 39 + 5 even
    const TColor inner = 0xD1D1D1;       // border over (highlight over track)
    EXPECT_EQ(At(Surface, 2, 6), inner);
    EXPECT_EQ(At(Surface, 20, 2), inner);
    EXPECT_EQ(At(Surface, 3, 3), clWhite); // checker of highlight and track
    EXPECT_EQ(At(Surface, 4, 3), Track);
    // The track after the handle: no left line, inner line along its top only.
    EXPECT_EQ(At(Surface, 95, 5), Frame);
    EXPECT_EQ(At(Surface, 56, 5), (56 + 5) % 2 ? Track : clWhite);
    EXPECT_EQ(At(Surface, 60, 2), inner);
    EXPECT_EQ(At(Surface, 60, 3), (60 + 3) % 2 ? Track : clWhite);
}

TEST_F(BarPaintTest, MacSolidBackgroundAndPressedHandle)
{
    auto* b = AddSlider<TPaintable<TGaugeBar>>(127);
    b->SetBackgnd(bgSolid);
    b->SetShowHandleGrip(false);
    headless::PostMouseDown(b, 46, 5);
    headless::PostCall([&] { Paint(b); });
    headless::PostMouseUp(b, 46, 5);
    Run();
    EXPECT_EQ(At(Surface, 4, 3), Track);
    EXPECT_EQ(At(Surface, 3, 3), Track);
    EXPECT_EQ(At(Surface, 41, 5), Dark);    // pressed: dark over the handle colour
    EXPECT_EQ(At(Surface, 54, 5), Shadow);
    EXPECT_EQ(At(Surface, 44, 5), Shadow);  // no ridges
}

TEST_F(BarPaintTest, DisabledMacBarShowsNoHandle)
{
    auto* b = AddSlider<TPaintable<TGaugeBar>>(127);
    b->SetEnabled(false);
    Paint(b);
    EXPECT_EQ(At(Surface, 47, 1), Shadow); // edge lines in the shadow colour
    EXPECT_EQ(At(Surface, 45, 5), 0xF0F0F0); // button colour fill
    EXPECT_EQ(At(Surface, 50, 5), 0xF0F0F0);
}

TEST_F(BarPaintTest, MacButtonsWithGlyphs)
{
    auto* b = Add<TPaintable<TGaugeBar>>(0, 0, 100, 16);
    b->SetStyle(rbsMac);
    b->SetBorderStyle(bsNone); // buttons 15 pixels: 0..14 and 85..99
    ASSERT_EQ(b->EffectiveButtonSize(), 15);
    Paint(b);
    EXPECT_EQ(At(Surface, 0, 8), Frame);   // left line
    EXPECT_EQ(At(Surface, 7, 0), Frame);   // top line
    EXPECT_EQ(At(Surface, 15, 8), Frame);  // the track's own left line
    EXPECT_EQ(At(Surface, 1, 7), clWhite); // bevel highlight
    EXPECT_EQ(At(Surface, 14, 13), Shadow); // bevel shadow (no right line on this button)
    EXPECT_EQ(At(Surface, 13, 14), Shadow);
    EXPECT_EQ(At(Surface, 13, 13), 0xF0F0F0);
    // Glyph of the left button in the border colour near the middle (7, 7).
    EXPECT_EQ(At(Surface, 6, 7), Frame);
    EXPECT_EQ(At(Surface, 3, 3), 0xF0F0F0); // button face
    // The right button has no left line.
    EXPECT_EQ(At(Surface, 85, 8), clWhite);
    EXPECT_EQ(At(Surface, 99, 8), Frame);
}

TEST_F(BarPaintTest, ThemedScrollBarPartsAndStates)
{
    headless::SetThemesActive(true);
    auto* b = Add<TPaintable<TCustomRangeBar>>(0, 0, 200, 16);
    b->SetBorderStyle(bsNone);
    b->SetParams(1000, 100);
    b->SetPosition(300);
    Paint(b);
    auto calls = headless::ThemeElements();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].ClassList, "SCROLLBAR");
    EXPECT_EQ(calls[0].Part, 1);
    EXPECT_EQ(calls[0].State, 9);  // left, normal
    EXPECT_EQ(calls[0].R, (TRect{0, 0, 16, 16}));
    EXPECT_EQ(calls[1].State, 13); // right, normal
    EXPECT_EQ(calls[2].Part, 4);   // lower horizontal track
    EXPECT_EQ(calls[3].Part, 5);
    EXPECT_EQ(calls[4].Part, 2);   // thumb
    EXPECT_EQ(calls[4].State, 1);
    EXPECT_EQ(calls[5].Part, 8);   // gripper
    EXPECT_EQ(calls[5].State, 0);
    // Pressing the left button, hovering nothing.
    headless::PostMouseDown(b, 3, 3);
    headless::PostCall([&] { Paint(b); });
    headless::PostMouseUp(b, 3, 3);
    Run();
    EXPECT_EQ(headless::ThemeElements()[6].State, 11);
    b->SetKind(sbVertical);
    b->SetBounds(0, 0, 16, 200);
    b->SetEnabled(false);
    std::size_t before = headless::ThemeElements().size();
    Paint(b);
    auto& all = headless::ThemeElements();
    ASSERT_EQ(all.size(), before + 4); // no handle when disabled
    EXPECT_EQ(all[before].State, 4);   // up, disabled
    EXPECT_EQ(all[before + 1].State, 8);
    EXPECT_EQ(all[before + 2].Part, 6);
    EXPECT_EQ(all[before + 3].Part, 7);
}

TEST_F(BarPaintTest, ClassicScrollBarUsesFrameControls)
{
    auto* b = Add<TPaintable<TCustomRangeBar>>(0, 0, 200, 16);
    b->SetBorderStyle(bsNone);
    Paint(b); // range 0: not enabled
    auto calls = headless::FrameControls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].Type, 3u);
    EXPECT_EQ(calls[0].State, 2u + 256u);
    EXPECT_EQ(calls[1].State, 3u + 256u);
    b->SetParams(1000, 100);
    headless::PostMouseDown(b, 195, 3);
    headless::PostCall([&] { Paint(b); });
    headless::PostMouseUp(b, 195, 3);
    Run();
    ASSERT_EQ(headless::FrameControls().size(), 4u);
    EXPECT_EQ(headless::FrameControls()[2].State, 2u);
    EXPECT_EQ(headless::FrameControls()[3].State, 3u + 16896u);
    // Unpressed track: checker of highlight and track colour.
    EXPECT_NE(At(Surface, 100, 5), At(Surface, 101, 5));
}

// ---- stored forms

class TSliderForm : public TForm {
public:
    explicit TSliderForm(TComponent* Owner) : TForm(Owner)
    {
        RegisterGaugeBarKind();
        RegisterHandler("barChange", [this](TObject*) { ++Changes; });
        RegisterHandler("barUser", [this](TObject*) { ++UserChanges; });
        RegisterHandler("barMouseUp", [this](TObject*, TMouseButton, TShiftState, int X, int) { UpX = X; });
        RegisterField("bar", bar);
        RegisterField("flat", flat);
        LoadFormDescription(*this, R"(form SliderForm: TForm
  BorderStyle = bsNone
  ClientWidth = 200
  ClientHeight = 100
  control bar: TGaugeBar
    Left = 8
    Top = 8
    Width = 97
    Height = 12
    Backgnd = bgPattern
    HandleSize = 16
    Max = 255
    Position = 200
    ShowArrows = false
    ShowHandleGrip = true
    Style = rbsMac
    HandleColor = $0000FF
    OnChange = barChange
    OnUserChange = barUser
    OnMouseUp = barMouseUp
  end
  control flat: TGaugeBar
    Left = 8
    Top = 40
    Width = 12
    Height = 97
    Min = 5
    Max = 5
    Kind = sbVertical
    Backgnd = bgSolid
    Style = rbsDefault
  end
end
)");
    }
    TGaugeBar* bar = nullptr;
    TGaugeBar* flat = nullptr;
    int Changes = 0, UserChanges = 0, UpX = -1;
};

TEST_F(BarTest, StoredSliderTakesItsPropertiesAndEvents)
{
    TComponentPtr<TSliderForm> f(CreateComponent<TSliderForm>(nullptr));
    ASSERT_NE(f->bar, nullptr);
    EXPECT_EQ(f->bar->Max(), 255);
    EXPECT_EQ(f->bar->Position(), 200);
    EXPECT_EQ(f->bar->HandleSize(), 16);
    EXPECT_EQ(f->bar->Style(), rbsMac);
    EXPECT_FALSE(f->bar->ShowArrows());
    EXPECT_EQ(f->bar->HandleColor(), 0x0000FF);
    EXPECT_EQ(f->Changes, 0); // events are wired after the properties
    // Min = Max stays as stored; the handle does not divide by the empty range.
    EXPECT_EQ(f->flat->Min(), 5);
    EXPECT_EQ(f->flat->Max(), 5);
    EXPECT_EQ(f->flat->Kind(), sbVertical);
    EXPECT_EQ(f->flat->HandleRect(), (TRect{0, 10, 10, 20}));
    // The user drags the handle (client 39 + Round(79 * 200 / 255) = 62).
    headless::PostMouseDown(f->bar, 66, 5);
    headless::PostMouseMove(f->bar, 56, 5);
    headless::PostMouseUp(f->bar, 56, 5);
    headless::PostCall([&] { f->SetModalResult(mrOk); });
    f->ShowModal();
    EXPECT_EQ(f->bar->Position(), 168); // 200 - 10 * 255 / 79, rounded
    EXPECT_EQ(f->Changes, 1);
    EXPECT_EQ(f->UserChanges, 1);
    EXPECT_EQ(f->UpX, 56);
}

TEST(ArrowBarAccessTest, ForwardsToMasterThenSlave)
{
    headless::Reset();
    TComponentPtr<TCustomRangeBar> master(new TCustomRangeBar(nullptr));
    TComponentPtr<TCustomRangeBar> slave(new TCustomRangeBar(nullptr));
    TArrowBarAccess access;
    access.SetStyle(rbsMac); // no master: nothing to change
    EXPECT_EQ(access.Style(), rbsDefault);
    access.SetMaster(master.get());
    access.SetHandleColor(clRed);
    EXPECT_EQ(master->HandleColor(), clRed);
    EXPECT_EQ(slave->HandleColor(), clBtnShadow);
    access.SetSlave(slave.get());
    access.SetStyle(rbsMac);
    access.SetShowArrows(false);
    access.SetColor(clGreen);
    EXPECT_EQ(slave->Style(), rbsMac);
    EXPECT_FALSE(slave->ShowArrows());
    EXPECT_EQ(slave->Color(), clGreen);
    EXPECT_EQ(access.Style(), rbsMac);
    EXPECT_EQ(access.Color(), clGreen);
    headless::Reset();
}

} // namespace
