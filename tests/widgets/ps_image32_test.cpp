#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../toolkit/fixture.h"
#include "bitmap/low_level.h"
#include "toolkit/forms.h"
#include "toolkit/headless/canvas.h"
#include "widgets/ps_image32.h"

namespace {

// The image control with its protected operations opened up, a settable viewport and a
// count of scale changes.
class TTestImage : public TPSCustomImage32 {
public:
    using TPSCustomImage32::TPSCustomImage32;
    using TPSCustomImage32::RenderBuffer;
    using TPSCustomImage32::PaintControl;
    using TPSCustomImage32::MouseDown;
    using TPSCustomImage32::MouseMove;
    using TPSCustomImage32::MouseUp;
    using TPSCustomImage32::MouseLeave;
    using TPSCustomImage32::CanAutoSize;

    void ScaleChanged() override { ++ScaleChanges; }
    TRect ViewportRect() override { return UseViewport ? Viewport : TPSCustomImage32::ViewportRect(); }

    int ScaleChanges = 0;
    bool UseViewport = false;
    TRect Viewport;
};

constexpr TColor32 Red = 0xFFFF0000u, Blue = 0xFF0000FFu, Green = 0xFF00FF00u, Black = 0xFF000000u;

class ImageTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        Image.reset(new TTestImage(nullptr));
        DisplayHost = TDisplayHost{};
    }
    void TearDown() override
    {
        Image.reset();
        DisplayHost = TDisplayHost{};
        HeadlessTest::TearDown();
    }
    void SetBitmap(int W, int H, TColor32 C = Blue)
    {
        Image->Bitmap()->SetSize(W, H);
        Image->Bitmap()->Clear(C);
    }
    // Paints the control onto a surface of its own size, as a paint message would.
    void PaintNow()
    {
        Surface.SetSize(Image->Width(), Image->Height());
        THeadlessCanvas canvas(Surface);
        Image->PaintControl(canvas);
    }
    TComponentPtr<TTestImage> Image;
    TBitmap32 Surface;
};

TEST_F(ImageTest, StartsWithItsDefaultsAndFiveStages)
{
    EXPECT_EQ(Image->Width(), 192);
    EXPECT_EQ(Image->Height(), 192);
    EXPECT_EQ(Image->BufferMargin(), 40);
    EXPECT_FALSE(Image->BufferIsCurrent());
    EXPECT_EQ(Image->Buffer()->UpdateCount(), 1); // the buffer's bracket stays open
    EXPECT_EQ(Image->Scale(), 1.0f);
    EXPECT_EQ(Image->ScaleMode(), smNormal);
    EXPECT_EQ(Image->BitmapAlign(), baTopLeft);
    EXPECT_EQ(Image->ImageLayers()->ImageTransform(), &Image->Transform());
    EXPECT_EQ(Image->ImageLayers()->Owner(), Image.get());
    const TPaintStages& s = *Image->Stages();
    ASSERT_EQ(s.Count(), 5);
    const TPaintStageItem expected[5] = {{true, true, 3, 0}, {true, false, 6, 0}, {true, true, 4, 0},
                                         {true, false, 7, 0}, {true, true, 5, 0x80000000u}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.Items(i).AtDesignTime, expected[i].AtDesignTime) << i;
        EXPECT_EQ(s.Items(i).AtRunTime, expected[i].AtRunTime) << i;
        EXPECT_EQ(s.Items(i).Kind, expected[i].Kind) << i;
        EXPECT_EQ(s.Items(i).Parameter, expected[i].Parameter) << i;
    }
    EXPECT_THROW(s.Items(5), EListError);

    TPaintStages stages;
    TPaintStageItem& added = stages.Add();
    EXPECT_FALSE(added.AtDesignTime);
    EXPECT_TRUE(added.AtRunTime);
    EXPECT_EQ(added.Kind, 0u);
    added.Kind = 9;
    EXPECT_EQ(stages.Items(0).Kind, 9u); // the record itself
    stages.Clear();
    EXPECT_EQ(stages.Count(), 0);
}

TEST_F(ImageTest, ScaledCentredLayoutAndTruncatedInverseZoom)
{
    SetBitmap(200, 100);
    Image->SetBounds(0, 0, 400, 300);
    Image->SetScaleMode(smScale);
    Image->SetScale(1.5f);
    Image->SetBitmapAlign(baCenter);
    EXPECT_EQ(Image->BitmapRect(), (TRect{50, 75, 350, 225}));
    Image->RefreshCache();
    const TImageTransform& t = Image->Transform();
    EXPECT_EQ(t.ZoomX, 98304);
    EXPECT_EQ(t.ZoomY, 98304);
    EXPECT_EQ(t.InvZoomX, 43690);
    EXPECT_EQ(t.InvZoomY, 43690);
    EXPECT_EQ(t.OriginX, 50);
    EXPECT_EQ(t.OriginY, 75);
    EXPECT_EQ(Image->PointToBitmap(TPoint{200, 150}), (TPoint{99, 49}));
    EXPECT_EQ(Image->PointToBitmap(TPoint{50, 75}), (TPoint{0, 0}));
    // Outside the drawn bitmap nothing is clamped; division truncates toward zero.
    EXPECT_EQ(Image->PointToBitmap(TPoint{0, 0}), (TPoint{-33, -49}));
    EXPECT_EQ(Image->PointToBitmap(TPoint{1000, 75}), (TPoint{633, 0}));
}

TEST_F(ImageTest, ExtentsOfEveryScaleMode)
{
    SetBitmap(200, 100);
    Image->SetBounds(0, 0, 300, 300);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{200, 100}));
    Image->SetScaleMode(smStretch);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{300, 300}));
    Image->SetScaleMode(smResize);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{300, 150}));
    SetBitmap(100, 200);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{150, 300}));
    Image->SetScaleMode(smScale);
    Image->SetScale(0.25f);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{25, 50}));
    SetBitmap(10, 6);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{2, 2})); // 2.5 and 1.5 round to even

    // The viewport, not the control, bounds stretch and resize.
    Image->UseViewport = true;
    Image->Viewport = TRect{0, 0, 280, 180};
    Image->SetScaleMode(smStretch);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{280, 180}));

    Image->SetBounds(0, 0, 0, 300);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{0, 0}));
    Image->Bitmap()->SetSize(0, 0);
    Image->SetBounds(0, 0, 300, 300);
    EXPECT_EQ(Image->BitmapExtent(), (TSize{0, 0}));
}

TEST_F(ImageTest, AlignmentsMoveTheBitmapRect)
{
    SetBitmap(21, 11);
    Image->SetBounds(0, 0, 100, 50);
    EXPECT_EQ(Image->BitmapRect(), (TRect{0, 0, 21, 11}));
    Image->SetBitmapAlign(baCenter);
    EXPECT_EQ(Image->BitmapRect(), (TRect{39, 19, 60, 30}));
    Image->SetBitmapAlign(baTile);
    EXPECT_EQ(Image->BitmapRect(), (TRect{0, 0, 21, 11}));
    Image->SetBitmapAlign(baCustom);
    Image->SetOffsetX(46.5f); // ties to even
    Image->SetOffsetY(-3.5f);
    EXPECT_EQ(Image->BitmapRect(), (TRect{46, -4, 67, 7}));

    // A bitmap wider than the control centres at a negative offset (div truncates).
    SetBitmap(105, 11);
    Image->SetBitmapAlign(baCenter);
    EXPECT_EQ(Image->BitmapRect().Left, -2);
}

TEST_F(ImageTest, ScaleSetterClampsAndReportsOnlyChanges)
{
    Image->SetScale(0.0f);
    EXPECT_EQ(Image->Scale(), 0.001f);
    EXPECT_EQ(Image->ScaleChanges, 1);
    Image->SetScale(-5.0f);
    EXPECT_EQ(Image->ScaleChanges, 1); // still 0.001: no change
    Image->SetScale(std::nanf(""));
    EXPECT_EQ(Image->Scale(), 0.001f);
    Image->SetScale(2.0f);
    EXPECT_EQ(Image->ScaleChanges, 2);
    Image->SetScaleMode(smScale);
    Image->SetScaleMode(smScale);
    EXPECT_EQ(Image->ScaleChanges, 3);

    int changes = 0;
    Image->OnChange = [&](TObject*) { ++changes; };
    Image->SetBitmapAlign(baTopLeft); // unchanged, yet Changed runs
    Image->SetOffsetX(0.0f);          // unchanged: nothing
    EXPECT_EQ(changes, 1);
}

TEST_F(ImageTest, EmptyBitmapGivesIdentityAndClearsTheWholeBuffer)
{
    Image->SetBounds(0, 0, 30, 20);
    Image->SetColor(clRed);
    EXPECT_EQ(Image->BitmapRect(), (TRect{}));
    Image->Buffer()->SetSize(30, 20);
    Image->Buffer()->Clear(Black);
    Image->RenderBuffer();
    EXPECT_EQ(Image->Transform(), TImageTransform{});
    EXPECT_EQ(Image->Transform(), (TImageTransform{65536, 65536, 0, 0, 65536, 65536}));
    for (int y = 0; y < 20; y += 5)
        for (int x = 0; x < 30; x += 5)
            EXPECT_EQ(Image->Buffer()->PixelAt(x, y), Red);
    EXPECT_TRUE(Image->BufferIsCurrent());
}

TEST_F(ImageTest, EmptyDrawnRectangleKeepsIdentityAndDrawsNoBitmap)
{
    SetBitmap(1, 1, Green);
    Image->SetBounds(0, 0, 20, 20);
    Image->SetColor(clRed);
    Image->SetScaleMode(smScale);
    Image->SetScale(0.001f); // the extent rounds to 0 x 0
    EXPECT_NO_THROW(PaintNow());
    EXPECT_EQ(Image->Transform(), TImageTransform{});
    EXPECT_EQ(Image->Buffer()->PixelAt(0, 0), Red);
    EXPECT_EQ(Image->PointToBitmap(TPoint{5, 7}), (TPoint{5, 7}));
}

TEST_F(ImageTest, FitBufferKeepsAFortyPixelMargin)
{
    Image->UseViewport = true;
    Image->Viewport = TRect{0, 0, 100, 100};
    ASSERT_EQ(Image->Buffer()->Width(), 0);
    Image->FitBuffer();
    EXPECT_EQ(Image->Buffer()->Width(), 140);
    EXPECT_EQ(Image->Buffer()->Height(), 140);
    EXPECT_FALSE(Image->BufferIsCurrent());
    Image->RenderBuffer();
    Image->Viewport = TRect{0, 0, 140, 100};
    Image->FitBuffer();
    EXPECT_EQ(Image->Buffer()->Width(), 140);
    EXPECT_TRUE(Image->BufferIsCurrent()); // reused, still current
    Image->Viewport = TRect{0, 0, 141, 100};
    Image->FitBuffer();
    EXPECT_EQ(Image->Buffer()->Width(), 181);
    EXPECT_EQ(Image->Buffer()->Height(), 140);
    Image->Viewport = TRect{0, 0, 99, 100};
    Image->FitBuffer();
    EXPECT_EQ(Image->Buffer()->Width(), 99);
    EXPECT_EQ(Image->Buffer()->Height(), 140);
    Image->Viewport = TRect{5, 5, 0, 0}; // a negative size counts as 0; the buffer keeps 1 pixel
    Image->FitBuffer();
    EXPECT_EQ(Image->Buffer()->Width(), 1);
    EXPECT_EQ(Image->Buffer()->Height(), 1);
    EXPECT_EQ(Image->Buffer()->LockCount(), 0);
}

TEST_F(ImageTest, TiledBitmapCoversTheBufferInWholeTiles)
{
    SetBitmap(30, 30, Green);
    for (int y = 0; y < 30; ++y)
        Image->Bitmap()->SetPixelAt(0, y, Red); // marks the left edge of every tile
    Image->SetBounds(0, 0, 100, 30);
    Image->SetBitmapAlign(baTile);
    Image->Buffer()->SetSize(100, 30);
    Image->Buffer()->Clear(Black);
    Image->RefreshCache();
    Image->DrawBitmap(Image->Buffer(), 2);
    std::vector<int> starts;
    for (int x = 0; x < 100; ++x)
        if (Image->Buffer()->PixelAt(x, 10) == Red)
            starts.push_back(x);
    EXPECT_EQ(starts, (std::vector<int>{0, 30, 60, 90}));
    EXPECT_EQ(Image->Buffer()->PixelAt(99, 29), Green); // the last tile is cut by the buffer

    // The background stage leaves a tiled opaque bitmap alone.
    Image->Buffer()->Clear(Black);
    Image->ClearBackground(Image->Buffer(), 0);
    EXPECT_EQ(Image->Buffer()->PixelAt(50, 10), Black);
}

TEST_F(ImageTest, RenderedBufferHoldsBackgroundBitmapAndBlendedLayer)
{
    SetBitmap(20, 10, Blue);
    Image->SetBounds(0, 0, 100, 80);
    Image->SetColor(clRed);
    Image->SetBitmapAlign(baCenter); // bitmap at (40, 35, 60, 45)
    auto* layer = Image->ImageLayers()->Add<TBitmapLayer>();
    layer->Bitmap()->SetSize(1, 1);
    layer->Bitmap()->Clear(0x80FFFFFFu);
    layer->Bitmap()->SetDrawMode(dmBlend);
    layer->SetArea(TFloatRect{55, 40, 70, 50}); // half over the bitmap, half over the background
    auto* hidden = Image->ImageLayers()->Add<TBitmapLayer>();
    hidden->Bitmap()->SetSize(1, 1);
    hidden->Bitmap()->Clear(Green);
    hidden->SetArea(TFloatRect{0, 0, 10, 10});
    hidden->SetVisible(false);

    PaintNow();
    const TBitmap32& b = *Image->Buffer();
    EXPECT_TRUE(Image->BufferIsCurrent());
    EXPECT_EQ(b.PixelAt(5, 5), Red); // the hidden layer is not drawn
    EXPECT_EQ(b.PixelAt(39, 40), Red);
    EXPECT_EQ(b.PixelAt(40, 35), Blue);
    EXPECT_EQ(b.PixelAt(54, 44), Blue);
    const TColor32 overBitmap = b.PixelAt(56, 41), overBackground = b.PixelAt(65, 48);
    EXPECT_NEAR(int((overBitmap >> 16) & 0xFF), 128, 1);
    EXPECT_NEAR(int((overBitmap >> 8) & 0xFF), 128, 1);
    EXPECT_EQ(overBitmap & 0xFF, 0xFFu);
    EXPECT_EQ((overBackground >> 16) & 0xFF, 0xFFu);
    EXPECT_NEAR(int((overBackground >> 8) & 0xFF), 128, 1);
    EXPECT_NEAR(int(overBackground & 0xFF), 128, 1);
    EXPECT_EQ(b.PixelAt(70, 48), Red);
}

TEST_F(ImageTest, BitmapStageRedrawsOnlyTheChangedPart)
{
    SetBitmap(50, 50, Blue);
    Image->SetBounds(0, 0, 60, 60);
    PaintNow();
    Image->Bitmap()->Clear(Green);
    Image->ChangedRect(TRect{10, 10, 20, 20});
    EXPECT_EQ(Image->DirtyRect(), (TRect{10, 10, 20, 20}));
    Image->RenderBuffer();
    EXPECT_EQ(Image->Buffer()->PixelAt(15, 15), Green);
    EXPECT_EQ(Image->Buffer()->PixelAt(25, 15), Blue);
    Image->Invalidate(); // the whole bitmap area
    EXPECT_EQ(Image->DirtyRect(), (TRect{0, 0, 50, 50}));
    Image->RenderBuffer();
    EXPECT_EQ(Image->Buffer()->PixelAt(25, 15), Green);
}

TEST_F(ImageTest, ABufferOfANewSizeIsRedrawnWhole)
{
    SetBitmap(50, 50, Blue);
    Image->SetBounds(0, 0, 60, 60);
    PaintNow();
    Image->ChangedRect(TRect{0, 0, 1, 1});
    PaintNow(); // the dirty area is now that one pixel
    Image->UseViewport = true;
    Image->Viewport = TRect{0, 0, 200, 200}; // the buffer grows without any invalidation
    PaintNow();
    EXPECT_EQ(Image->Buffer()->Width(), 240);
    EXPECT_EQ(Image->Buffer()->PixelAt(45, 45), Blue);
}

TEST_F(ImageTest, ChangeNotificationsCollectTheDirtyArea)
{
    SetBitmap(50, 40);
    Image->SetBounds(0, 0, 100, 100);
    int changes = 0;
    Image->OnChange = [&](TObject*) { ++changes; };
    PaintNow();
    ASSERT_TRUE(Image->BufferIsCurrent());
    Image->ChangedRect(TRect{5, 5, 10, 10});
    Image->ChangedRect(TRect{20, 0, 30, 4});
    EXPECT_EQ(Image->DirtyRect(), (TRect{5, 0, 30, 10}));
    EXPECT_FALSE(Image->BufferIsCurrent());
    EXPECT_FALSE(Image->CacheIsCurrent());
    EXPECT_EQ(changes, 2);

    PaintNow();
    Image->ChangedRegion(TRegion{TRect{60, 60, 70, 70}, TRect{}, TRect{80, 50, 90, 55}});
    EXPECT_EQ(Image->DirtyRect(), (TRect{60, 50, 90, 70}));
    Image->ChangedRegion(TRegion{TRect{0, 0, 1, 1}});
    EXPECT_EQ(Image->DirtyRect(), (TRect{0, 0, 90, 70}));
    EXPECT_EQ(changes, 4);

    Image->BeginUpdate();
    Image->ChangedRect(TRect{0, 0, 99, 99});
    Image->ChangedRegion(TRegion{TRect{0, 0, 99, 99}});
    Image->Changed();
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(Image->DirtyRect(), (TRect{0, 0, 90, 70}));
    Image->Invalidate(); // works whatever the update count
    EXPECT_EQ(Image->DirtyRect(), (TRect{0, 0, 50, 40}));
    Image->EndUpdate();
    try {
        Image->EndUpdate();
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Unpaired EndUpdate call");
    }
    EXPECT_EQ(Image->UpdateCount(), -1);
    Image->BeginUpdate();

    PaintNow();
    Image->Changed();
    EXPECT_EQ(Image->DirtyRect(), (TRect{0, 0, 50, 40}));
    EXPECT_FALSE(Image->BufferIsCurrent());
    EXPECT_EQ(changes, 5);

    EXPECT_TRUE(Image->EraseBackground(TRect{90, 90, 95, 95}));
    EXPECT_EQ(Image->DirtyRect(), (TRect{0, 0, 95, 95}));
}

TEST_F(ImageTest, HidingALayerDoesNotMakeTheBufferStale)
{
    SetBitmap(10, 10);
    auto* layer = Image->ImageLayers()->Add<TPositionedLayer>();
    PaintNow();
    layer->SetVisible(false);
    EXPECT_TRUE(Image->BufferIsCurrent());
    Image->Invalidate();
    EXPECT_FALSE(Image->BufferIsCurrent());
}

TEST_F(ImageTest, StagesRunByKindAndTime)
{
    SetBitmap(10, 10, Blue);
    Image->SetBounds(0, 0, 20, 20);
    Image->SetColor(clRed);
    Image->Buffer()->SetSize(20, 20);
    TPaintStages& s = *Image->Stages();
    s.Clear();
    std::vector<std::uint32_t> custom;
    Image->OnPaintStage = [&](TObject* Sender, TBitmap32* Buffer, const TRect& Clip, std::uint32_t Stage) {
        EXPECT_EQ(Sender, Image.get());
        EXPECT_EQ(Buffer, Image->Buffer());
        EXPECT_EQ(Clip, Image->DirtyRect());
        custom.push_back(Stage);
    };
    s.Add().Kind = STAGE_CLEAR_BUFFER;
    s.Add().Kind = 99; // unknown kinds do nothing
    s.Add().Kind = STAGE_CUSTOM;
    TPaintStageItem& designOnly = s.Add();
    designOnly.Kind = STAGE_CUSTOM;
    designOnly.AtDesignTime = true;
    designOnly.AtRunTime = false;
    Image->Buffer()->Clear(Black);
    Image->RenderBuffer();
    EXPECT_EQ(custom, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(Image->Buffer()->PixelAt(5, 5), Red); // cleared whole, the bitmap not drawn

    custom.clear();
    Image->SetDesigning(true);
    Image->RenderBuffer();
    EXPECT_EQ(custom, (std::vector<std::uint32_t>{3}));
}

TEST_F(ImageTest, FramesAreDottedAndLayersSelectedByTheStageMask)
{
    SetBitmap(10, 10, Blue);
    Image->SetBounds(0, 0, 20, 20);
    Image->SetBitmapAlign(baCenter); // (5, 5, 15, 15)
    Image->Buffer()->SetSize(20, 20);
    Image->Buffer()->Clear(Black);
    Image->RefreshCache();
    Image->DrawControlFrame(Image->Buffer(), 0);
    EXPECT_EQ(Image->Buffer()->PixelAt(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Image->Buffer()->PixelAt(1, 0), Black);
    EXPECT_EQ(Image->Buffer()->PixelAt(19, 19), 0xFFFFFFFFu);
    EXPECT_EQ(Image->Buffer()->PixelAt(2, 2), Black);
    Image->DrawBitmapFrame(Image->Buffer(), 0);
    EXPECT_EQ(Image->Buffer()->PixelAt(5, 5), 0xFFFFFFFFu);
    EXPECT_EQ(Image->Buffer()->PixelAt(14, 6), 0xFFFFFFFFu);
    EXPECT_EQ(Image->Buffer()->PixelAt(15, 6), Black);

    auto* tagged = Image->ImageLayers()->Add<TBitmapLayer>();
    tagged->Bitmap()->SetSize(1, 1);
    tagged->Bitmap()->Clear(Green);
    tagged->SetArea(TFloatRect{0, 10, 2, 12});
    tagged->SetOptions(0x00000100u); // invisible, a bit of its own
    auto* visible = Image->ImageLayers()->Add<TBitmapLayer>();
    visible->Bitmap()->SetSize(1, 1);
    visible->Bitmap()->Clear(Red);
    visible->SetArea(TFloatRect{3, 10, 4, 11});
    TPaintStageItem& stage = Image->Stages()->Add();
    stage.Kind = STAGE_DRAW_LAYERS;
    stage.Parameter = 0x00000100u;
    Image->DrawLayers(Image->Buffer(), static_cast<std::uint32_t>(Image->Stages()->Count() - 1));
    EXPECT_EQ(Image->Buffer()->PixelAt(1, 11), Green);
    EXPECT_EQ(Image->Buffer()->PixelAt(3, 10), Black);
    Image->DrawLayers(Image->Buffer(), 4); // the default stage: visible layers
    EXPECT_EQ(Image->Buffer()->PixelAt(3, 10), Red);
}

TEST_F(ImageTest, BackgroundBandsSurroundAnOpaqueBitmap)
{
    SetBitmap(10, 10, Blue);
    Image->SetBounds(0, 0, 20, 20);
    Image->SetColor(clRed);
    Image->SetBitmapAlign(baCenter);
    Image->Buffer()->SetSize(20, 20);
    Image->Buffer()->Clear(Black);
    Image->RefreshCache();
    Image->ClearBackground(Image->Buffer(), 0);
    EXPECT_EQ(Image->Buffer()->PixelAt(2, 2), Red);
    EXPECT_EQ(Image->Buffer()->PixelAt(17, 10), Red);
    EXPECT_EQ(Image->Buffer()->PixelAt(10, 17), Red);
    EXPECT_EQ(Image->Buffer()->PixelAt(10, 10), Black); // the bitmap's own area is left

    Image->Bitmap()->SetDrawMode(dmBlend); // see-through bitmaps get a cleared buffer
    Image->ClearBackground(Image->Buffer(), 0);
    EXPECT_EQ(Image->Buffer()->PixelAt(10, 10), Red);
}

TEST_F(ImageTest, BitmapResizeRaisesItsEventOnlyInsideABracket)
{
    int resizes = 0;
    Image->OnBitmapResize = [&](TObject*) { ++resizes; };
    Image->Bitmap()->SetSize(10, 10);
    EXPECT_EQ(resizes, 0);
    Image->BeginUpdate();
    Image->Bitmap()->SetSize(20, 10);
    EXPECT_EQ(resizes, 1);
    Image->EndUpdate();

    Image->SetAutoSize(true);
    Image->SetScaleMode(smScale);
    Image->SetScale(2.0f);
    Image->Bitmap()->SetSize(30, 15);
    EXPECT_EQ(Image->Width(), 60);
    EXPECT_EQ(Image->Height(), 30);
    EXPECT_FALSE(Image->BufferIsCurrent());
}

TEST_F(ImageTest, AutoSizeProposesTheBitmapSizeByAlignment)
{
    SetBitmap(30, 20);
    int w = 1, h = 1;
    EXPECT_TRUE(Image->CanAutoSize(w, h));
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 20);
    Image->SetAlign(alTop);
    w = h = 1;
    Image->CanAutoSize(w, h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 20);
    Image->SetAlign(alClient);
    w = h = 1;
    EXPECT_TRUE(Image->CanAutoSize(w, h));
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);

    Image->SetAlign(alNone);
    Image->Bitmap()->SetSize(0, 0);
    Image->SetDesigning(true);
    w = h = 7;
    EXPECT_TRUE(Image->CanAutoSize(w, h)); // no zero size proposed in the designer
    EXPECT_EQ(w, 7);
}

TEST_F(ImageTest, LoadedMakesTheBufferStaleAndInitsStages)
{
    int inits = 0;
    Image->OnInitStages = [&](TObject*) { ++inits; };
    PaintNow();
    Image->Loaded();
    EXPECT_FALSE(Image->BufferIsCurrent());
    EXPECT_EQ(inits, 1);
}

// The fake host: records every display call and keeps a copy of the pixels it was shown.
struct TDisplayRecord {
    PSPixelMap Map;
    VRect Src;
    std::int32_t Row, Col;
    void* Context;
    std::vector<TColor32> Pixels;
};
std::vector<TDisplayRecord> DisplayCalls;

OSErr VP_CDECL FakeDisplayPixels(const PSPixelMap* Source, const VRect* SrcRect,
                                                std::int32_t DstRow, std::int32_t DstCol, void* Context)
{
    TDisplayRecord r{*Source, *SrcRect, DstRow, DstCol, Context, {}};
    const auto* base = static_cast<const TColor32*>(Source->baseAddr);
    const int perRow = Source->rowBytes / 4;
    for (int y = SrcRect->top; y < SrcRect->bottom; ++y)
        for (int x = SrcRect->left; x < SrcRect->right; ++x)
            r.Pixels.push_back(base[y * perRow + x]);
    DisplayCalls.push_back(r);
    return 0;
}

TEST_F(ImageTest, BufferIsShownThroughTheHostsDisplayCallback)
{
    DisplayCalls.clear();
    DisplayHost.DisplayPixels = &FakeDisplayPixels;
    DisplayHost.ImageMode = 3;
    SetBitmap(4, 3, Blue);
    Image->UseViewport = true;
    Image->Viewport = TRect{0, 0, 40, 25};
    Image->SetBounds(0, 0, 50, 30); // fits the buffer to the viewport, with its margin
    Image->SetColor(clRed);
    int overlays = 0;
    Image->OnGDIOverlay = [&](TObject*) { ++overlays; };
    PaintNow();
    ASSERT_EQ(DisplayCalls.size(), 1u);
    const TDisplayRecord& r = DisplayCalls[0];
    const TBitmap32& b = *Image->Buffer();
    EXPECT_EQ(b.Width(), 80);
    EXPECT_EQ(b.Height(), 65);
    EXPECT_EQ(r.Map.version, 0);
    EXPECT_EQ(r.Map.bounds.top, 0);
    EXPECT_EQ(r.Map.bounds.left, 0);
    EXPECT_EQ(r.Map.bounds.bottom, 65);
    EXPECT_EQ(r.Map.bounds.right, 80);
    EXPECT_EQ(r.Map.imageMode, 3);
    EXPECT_EQ(r.Map.rowBytes, 320);
    EXPECT_EQ(r.Map.colBytes, 4);
    EXPECT_EQ(r.Map.planeBytes, 1);
    EXPECT_EQ(r.Map.baseAddr, b.Bits());
    EXPECT_EQ(r.Map.mat, nullptr);
    EXPECT_EQ(r.Map.masks, nullptr);
    EXPECT_EQ(r.Map.maskPhaseRow, 0);
    EXPECT_EQ(r.Map.maskPhaseCol, 0);
    EXPECT_EQ(r.Map.pixelOverlays, nullptr);
    EXPECT_EQ(r.Map.colorManagementOptions, 0u);
    // The clip (the whole control) cut to the viewport.
    EXPECT_EQ(r.Src.top, 0);
    EXPECT_EQ(r.Src.left, 0);
    EXPECT_EQ(r.Src.bottom, 25);
    EXPECT_EQ(r.Src.right, 40);
    EXPECT_EQ(r.Row, 0);
    EXPECT_EQ(r.Col, 0);
    EXPECT_EQ(r.Context, &Surface); // the headless canvas's drawing context
    ASSERT_EQ(r.Pixels.size(), 40u * 25u);
    EXPECT_EQ(r.Pixels[0], Blue);
    EXPECT_EQ(r.Pixels[4], Red);
    EXPECT_EQ(r.Pixels[3 * 40], Red);
    EXPECT_EQ(overlays, 1);

    // A viewport that starts inside the control moves the destination.
    DisplayCalls.clear();
    Image->Viewport = TRect{5, 10, 40, 25};
    PaintNow();
    ASSERT_EQ(DisplayCalls.size(), 1u);
    EXPECT_EQ(DisplayCalls[0].Row, -10);
    EXPECT_EQ(DisplayCalls[0].Col, -5);
    // The buffer shrank to 35 x 15: the host is never sent past its edge.
    EXPECT_EQ(Image->Buffer()->Width(), 35);
    EXPECT_EQ(DisplayCalls[0].Src.bottom, 15);
    EXPECT_EQ(DisplayCalls[0].Src.right, 35);

    // Nothing left to show: the host is not called.
    DisplayCalls.clear();
    Image->Viewport = TRect{0, 0, 0, 0};
    PaintNow();
    EXPECT_TRUE(DisplayCalls.empty());
}

TEST_F(ImageTest, WithoutAHostNothingIsDrawnAndNothingRaised)
{
    SetBitmap(4, 4, Blue);
    Image->SetBounds(0, 0, 10, 10);
    int overlays = 0;
    Image->OnGDIOverlay = [&](TObject*) { ++overlays; };
    Surface.SetSize(10, 10);
    Surface.Clear(0xFF123456u);
    EXPECT_NO_THROW(PaintNow());
    EXPECT_EQ(Surface.PixelAt(0, 0), 0xFF123456u); // nothing was drawn on the control
    EXPECT_TRUE(Image->BufferIsCurrent());
    EXPECT_EQ(overlays, 1);

    Image->SetDesigning(true); // the designer gets a raster copy instead
    Image->Invalidate();
    PaintNow();
    EXPECT_EQ(Surface.PixelAt(1, 1), Blue);
}

TEST_F(ImageTest, FailingLayerLeavesNoLockBehind)
{
    SetBitmap(4, 4, Blue);
    auto* layer = Image->ImageLayers()->Add<TCustomLayer>();
    layer->OnPaint = [](TObject*, TBitmap32*) { throw Exception("layer failed"); };
    EXPECT_THROW(PaintNow(), Exception);
    EXPECT_EQ(Image->Buffer()->LockCount(), 0);
    EXPECT_EQ(Image->Bitmap()->LockCount(), 0);
}

TEST_F(ImageTest, OverlayLayersPaintOnTheCanvasBeforeTheEvent)
{
    struct TOverlay : public TCustomLayer {
        using TCustomLayer::TCustomLayer;
        void PaintOnCanvas(TCanvas& Canvas) override { Canvas.SetPixel(0, 0, clRed); }
    };
    auto* overlay = new TOverlay(Image->ImageLayers());
    overlay->SetOptions(LAYER_GDI_OVERLAY);
    TColor seen = -1;
    Image->OnGDIOverlay = [&](TObject*) { seen = THeadlessCanvas::FromColor32(Surface.PixelAt(0, 0)); };
    PaintNow();
    EXPECT_EQ(seen, clRed);
}

TEST_F(ImageTest, MousePressesReachLayersAndReportThem)
{
    SetBitmap(10, 10);
    auto* layer = Image->ImageLayers()->Add<TPositionedLayer>();
    layer->SetArea(TFloatRect{0, 0, 10, 10});
    std::vector<std::string> log;
    auto name = [&](TCustomLayer* L) { return std::string(L == layer ? "layer" : L ? "other" : "none"); };
    Image->OnMouseDown = [&](TObject*, TMouseButton B, TShiftState, int X, int Y, TCustomLayer* L) {
        log.push_back("down " + std::to_string(B) + " " + std::to_string(X) + "," + std::to_string(Y) + " " + name(L));
    };
    Image->OnMouseMove = [&](TObject*, TShiftState, int X, int, TCustomLayer* L) {
        log.push_back("move " + std::to_string(X) + " " + name(L));
    };
    Image->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer* L) {
        log.push_back("up " + name(L));
    };
    Image->MouseDown(mbLeft, 0, 5, 5);
    EXPECT_TRUE(Image->MouseCapture());
    EXPECT_EQ(Image->ImageLayers()->CapturingLayer(), layer);
    Image->MouseMove(0, 50, 50);
    Image->MouseUp(mbLeft, 0, 50, 50);
    EXPECT_FALSE(Image->MouseCapture());
    Image->MouseDown(mbRight, 0, 50, 50);
    EXPECT_FALSE(Image->MouseCapture()); // right press on nothing: no capture
    Image->MouseUp(mbRight, 0, 50, 50);
    EXPECT_EQ(log, (std::vector<std::string>{"down 0 5,5 layer", "move 50 layer", "up layer", "down 1 50,50 none",
                                             "up none"}));

    layer->SetCursor(crHandPoint);
    Image->MouseMove(0, 1, 1);
    EXPECT_EQ(Screen->Cursor(), crHandPoint);
    int leaves = 0;
    Image->OnMouseLeave = [&](TObject*) { ++leaves; };
    Image->MouseLeave();
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(leaves, 1);
}

TEST_F(ImageTest, DestructionRaisesNoControlEvents)
{
    int changes = 0, destroyed = 0;
    Image->OnChange = [&](TObject*) { ++changes; };
    Image->ImageLayers()->Add<TBitmapLayer>()->OnDestroy = [&](TObject*) { ++destroyed; };
    Image->Bitmap()->SetSize(5, 5);
    changes = 0;
    Image.reset();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(destroyed, 1);
}

// The whole road: a form shows the control, the paint message composes and shows the buffer.
TEST_F(ImageTest, PaintMessageOnAFormShowsTheBuffer)
{
    DisplayCalls.clear();
    DisplayHost.DisplayPixels = &FakeDisplayPixels;
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 120, 90);
    auto* image = new TPSImage32(form.get());
    image->SetParent(form.get());
    image->SetBounds(10, 10, 60, 40);
    image->SetColor(clRed);
    image->Bitmap()->SetSize(8, 8);
    image->Bitmap()->Clear(Green);
    headless::PostPaint(image);
    headless::PostCall([&] { form->SetModalResult(mrOk); });
    form->ShowModal();
    ASSERT_FALSE(DisplayCalls.empty());
    const TDisplayRecord& r = DisplayCalls.back();
    EXPECT_EQ(r.Src.bottom, 40);
    EXPECT_EQ(r.Src.right, 60);
    EXPECT_EQ(r.Pixels[0], Green);
    EXPECT_EQ(r.Pixels[8], Red);
    EXPECT_EQ(r.Context, headless::Surface(image));
}

} // namespace

namespace {

// An invisible overlay layer that changes repaints the control at once, from the current buffer.
TEST_F(ImageTest, InvisibleOverlayChangeShowsTheBufferAgainAtOnce)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 100, 100);
    auto* image = new TPSImage32(form.get());
    image->SetParent(form.get());
    image->SetBounds(0, 0, 50, 50);
    auto* overlay = image->ImageLayers()->Add<TPositionedLayer>();
    overlay->SetOptions(LAYER_GDI_OVERLAY);
    int overlays = 0;
    image->OnGDIOverlay = [&](TObject*) { ++overlays; };
    headless::PostCall([&] {
        headless::FlushPaints();
        ASSERT_TRUE(image->BufferIsCurrent());
        const int paints = headless::PaintCount(image), before = overlays;
        overlay->SetArea(TFloatRect{1, 1, 5, 5});
        EXPECT_EQ(headless::PaintCount(image), paints + 1);
        EXPECT_EQ(overlays, before + 1);
        EXPECT_TRUE(image->BufferIsCurrent()); // shown again, not recomposed
    });
    headless::PostCall([&] { form->SetModalResult(mrOk); });
    form->ShowModal();
}

} // namespace
