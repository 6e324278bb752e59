// The preview on a form, as the platform paints it: what a paint reaches, what it hands the
// host's display callback, how much buffer it keeps, and that a partial repaint shows exactly
// what a whole one would.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "../toolkit/fixture.h"
#include "base/headless/dib_accounting.h"
#include "toolkit/application.h"
#include "bitmap/low_level.h"
#include "toolkit/forms.h"
#include "toolkit/headless/canvas.h"
#include "widgets/display_host.h"
#include "widgets/img_view32.h"
#include "widgets/ps_image32.h"
#include "widgets/range_bars.h"

namespace {

struct TShown {
    VRect Src;
    std::int32_t Row, Col;
};
std::vector<TShown> Shown;

// A host's display side: draws what it is given into the device context (the headless
// surface), clipped like any drawing on it, and records the call.
OSErr VP_CDECL ShowOnSurface(const PSPixelMap* Source, const VRect* Src, std::int32_t DstRow, std::int32_t DstCol,
                             void* Context)
{
    Shown.push_back(TShown{*Src, DstRow, DstCol});
    auto* surface = static_cast<TBitmap32*>(Context);
    const auto* base = static_cast<const TColor32*>(Source->baseAddr);
    const int perRow = Source->rowBytes / 4;
    const TRect& clip = surface->ClipRect();
    for (int y = Src->top; y < Src->bottom; ++y)
        for (int x = Src->left; x < Src->right; ++x) {
            const int sx = DstCol + x - Src->left, sy = DstRow + y - Src->top;
            if (sx >= clip.Left && sy >= clip.Top && sx < clip.Right && sy < clip.Bottom)
                surface->SetPixelAt(sx, sy, base[y * perRow + x]);
        }
    return 0;
}

// A paint message of the control's whole area onto Surface, as an unclipped window gets it.
void PaintOn(TControl& Control, TBitmap32& Surface)
{
    Surface.SetSize(Control.Width(), Control.Height());
    THeadlessCanvas canvas(Surface);
    TControlMessage m;
    m.Kind = TMessageKind::Paint;
    m.Canvas = &canvas;
    Control.Dispatch(m);
}

void CopyPixels(const TBitmap32& From, TBitmap32& To)
{
    To.SetSize(From.Width(), From.Height());
    for (int y = 0; y < From.Height(); ++y)
        for (int x = 0; x < From.Width(); ++x)
            To.SetPixelAt(x, y, From.PixelAt(x, y));
}

long long ShownPixels()
{
    long long n = 0;
    for (const TShown& s : Shown)
        n += static_cast<long long>(s.Src.right - s.Src.left) * (s.Src.bottom - s.Src.top);
    return n;
}

// A picture whose every pixel differs from its neighbours, so a misplaced copy shows.
void FillPattern(TBitmap32& B, int W, int H, std::uint32_t Seed)
{
    B.SetSize(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            B.SetPixelAt(x, y, 0xFF000000u | ((x * 37 + y * 101 + Seed) * 2654435761u >> 8));
}

class PreviewPaintTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        Shown.clear();
        DisplayHost = TDisplayHost{};
        DisplayHost.DisplayPixels = &ShowOnSurface;
        Form.reset(CreateFormOf<TForm>(nullptr));
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(0, 0, 320, 240);
        Form->Show();
    }
    void TearDown() override
    {
        Form.reset();
        DisplayHost = TDisplayHost{};
        HeadlessTest::TearDown();
    }
    template <class C>
    C* Add(int L, int T, int W, int H)
    {
        auto* c = new C(Form.get());
        c->SetParent(Form.get());
        c->SetBounds(L, T, W, H);
        return c;
    }
    // The image control of the line dialog: silver, centred, scale 1, over a blended layer
    // that covers the bitmap exactly (as the mask layer does).
    TPSImage32* AddPreview(int W, int H, int BitmapW, int BitmapH)
    {
        auto* image = Add<TPSImage32>(0, 0, W, H);
        image->SetColor(clSilver);
        image->SetBitmapAlign(baCenter);
        image->SetScaleMode(smScale);
        FillPattern(*image->Bitmap(), BitmapW, BitmapH, 1);
        auto* mask = image->ImageLayers()->Add<TBitmapLayer>();
        mask->Bitmap()->SetSize(BitmapW, BitmapH);
        mask->Bitmap()->Clear(0x60A0A0A0u);
        mask->Bitmap()->SetDrawMode(dmBlend);
        mask->Bitmap()->SetStretchFilter(sfLinear);
        mask->SetBitmapRelative(true);
        mask->SetArea(TFloatRect{0, 0, float(BitmapW), float(BitmapH)});
        return image;
    }
    // The surface pixels within R (control coordinates) equal Reference's, shifted by the
    // reference's own origin.
    static ::testing::AssertionResult SameOnScreen(const TBitmap32& Surface, const TBitmap32& Reference,
                                                   const TRect& R)
    {
        for (int y = R.Top; y < R.Bottom; ++y)
            for (int x = R.Left; x < R.Right; ++x)
                if (Surface.PixelAt(x, y) != Reference.PixelAt(x, y))
                    return ::testing::AssertionFailure()
                           << "(" << x << ", " << y << ") shows " << std::hex << Surface.PixelAt(x, y)
                           << " where the whole picture has " << Reference.PixelAt(x, y);
        return ::testing::AssertionSuccess();
    }
    TComponentPtr<TForm> Form;
};

TEST_F(PreviewPaintTest, FirstPaintShowsTheViewportThenAChangeOnlyItsOwnArea)
{
    TPSImage32* image = AddPreview(300, 200, 100, 80); // bitmap at (100, 60, 200, 140)
    headless::FlushPaints();
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(ShownPixels(), 300 * 200);
    EXPECT_EQ(headless::LastPaintArea(image), (TRect{0, 0, 300, 200}));

    // Bitmap pixels (10, 20) .. (14, 22) change: only their place on the control repaints.
    Shown.clear();
    image->Bitmap()->FillRectClipped(10, 20, 15, 23, 0xFF123456u);
    image->BitmapAreaChanged(TRect{10, 20, 15, 23});
    EXPECT_TRUE(headless::PaintPending(image));
    EXPECT_EQ(image->DirtyRect(), (TRect{110, 80, 115, 83}));
    headless::FlushPaints();
    EXPECT_EQ(headless::LastPaintArea(image), (TRect{110, 80, 115, 83}));
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Src.left, 110);
    EXPECT_EQ(Shown[0].Src.top, 80);
    EXPECT_EQ(Shown[0].Src.right, 115);
    EXPECT_EQ(Shown[0].Src.bottom, 83);
    EXPECT_EQ(Shown[0].Col, 110);
    EXPECT_EQ(Shown[0].Row, 80);
    // What shows there is the new colour under the blended layer, as a whole repaint gives.
    const TColor32 changed = headless::Surface(image)->PixelAt(112, 81);
    image->Invalidate();
    headless::FlushPaints();
    EXPECT_EQ(headless::Surface(image)->PixelAt(112, 81), changed);
    EXPECT_NE(changed, 0xFF123456u) << "the layer is over it";
}

TEST_F(PreviewPaintTest, ChangesBeforeAPaintAreShownTogether)
{
    TPSImage32* image = AddPreview(300, 200, 100, 80);
    headless::FlushPaints();
    Shown.clear();
    image->BitmapAreaChanged(TRect{0, 0, 2, 2});
    image->BitmapAreaChanged(TRect{50, 40, 52, 45});
    headless::FlushPaints();
    EXPECT_EQ(headless::LastPaintArea(image), (TRect{100, 60, 152, 105}));
    EXPECT_EQ(ShownPixels(), 52 * 45);
    // Outside the bitmap nothing depends on its pixels.
    Shown.clear();
    image->BitmapAreaChanged(TRect{-20, -20, -10, -10});
    image->BitmapAreaChanged(TRect{100, 0, 120, 10});
    EXPECT_FALSE(headless::PaintPending(image));
    headless::FlushPaints();
    EXPECT_TRUE(Shown.empty());
}

TEST_F(PreviewPaintTest, UncoveredPartIsShownFromTheBufferWithoutRecomposing)
{
    TPSImage32* image = AddPreview(300, 200, 100, 80);
    int layerPaints = 0;
    image->ImageLayers()->Items(0)->OnPaint = [&](TObject*, TBitmap32*) { ++layerPaints; };
    headless::FlushPaints();
    ASSERT_EQ(layerPaints, 1);
    Shown.clear();
    // The platform asks again for a part of the window (another window moved off it).
    image->InvalidateRect(TRect{250, 150, 290, 190});
    headless::FlushPaints();
    EXPECT_EQ(layerPaints, 1) << "the picture was not composed again";
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Src.left, 250);
    EXPECT_EQ(Shown[0].Src.top, 150);
    EXPECT_EQ(Shown[0].Src.right, 290);
    EXPECT_EQ(Shown[0].Src.bottom, 190);
}

// After a change, whatever the scale and filter, the screen shows what a whole repaint of the
// same picture shows: the area repainted reaches as far as the filter reads.
TEST_F(PreviewPaintTest, PartialRepaintShowsWhatAWholeRepaintWouldAtEveryScaleAndFilter)
{
    const TStretchFilter filters[] = {sfNearest, sfDraft, sfLinear, sfCosine, sfSpline, sfLanczos, sfMitchell};
    const float scales[] = {1.0f, 0.37f, 0.8f, 2.5f, 4.0f};
    std::mt19937 random(20240611);
    for (TStretchFilter f : filters)
        for (float scale : scales) {
            SCOPED_TRACE("filter " + std::to_string(f) + ", scale " + std::to_string(scale));
            Form.reset(CreateFormOf<TForm>(nullptr));
            Form->SetBorderStyle(bsNone);
            Form->SetBounds(0, 0, 320, 240);
            Form->Show();
            TPSImage32* image = AddPreview(300, 200, 90, 70);
            image->Bitmap()->SetStretchFilter(f);
            image->SetScale(scale);
            headless::FlushPaints();
            for (int round = 0; round < 4; ++round) {
                const int x = static_cast<int>(random() % 85), y = static_cast<int>(random() % 65);
                const int w = 1 + static_cast<int>(random() % 5), h = 1 + static_cast<int>(random() % 5);
                image->Bitmap()->FillRectClipped(x, y, x + w, y + h, 0xFF000000u | random());
                image->BitmapAreaChanged(TRect{x, y, x + w, y + h});
                headless::FlushPaints();
            }
            TBitmap32 partial;
            CopyPixels(*headless::Surface(image), partial);
            image->Invalidate();
            headless::FlushPaints();
            // Shrinking with the draft filter averages blocks counted from where the clip
            // starts, so only the other filters must agree pixel for pixel there.
            if (f == sfDraft && scale < 1.0f)
                continue;
            ASSERT_TRUE(SameOnScreen(partial, *headless::Surface(image), TRect{0, 0, 300, 200}));
        }
}

TEST_F(PreviewPaintTest, ABlendedLayerIsNotBlendedTwiceOutsideTheChangedArea)
{
    TPSImage32* image = AddPreview(300, 200, 100, 80);
    headless::FlushPaints();
    TBitmap32 before;
    CopyPixels(*image->Buffer(), before);
    image->ChangedRect(TRect{120, 70, 130, 75});
    headless::FlushPaints();
    // Nothing changed in the bitmap: the buffer is as it was, everywhere.
    for (int y = 0; y < before.Height(); ++y)
        for (int x = 0; x < before.Width(); ++x)
            ASSERT_EQ(image->Buffer()->PixelAt(x, y), before.PixelAt(x, y)) << x << ", " << y;
    EXPECT_EQ(image->Buffer()->ClipRect(), image->Buffer()->BoundsRect()) << "the clip is given back";
}

TEST_F(PreviewPaintTest, StagesThatFillTheBufferKeepToTheChangedArea)
{
    TPSImage32* image = AddPreview(200, 150, 60, 40); // bitmap at (70, 55, 130, 95)
    image->Stages()->Items(0).Kind = STAGE_CLEAR_BUFFER;
    image->Bitmap()->SetDrawMode(dmBlend); // the background stage would clear the whole buffer
    image->Stages()->Add().Kind = STAGE_CLEAR_BACKGROUND;
    image->Stages()->Items(5).AtRunTime = false;
    headless::FlushPaints();
    const TColor32 shownBitmap = image->Buffer()->PixelAt(100, 60);
    image->ChangedRect(TRect{0, 0, 10, 10});
    headless::FlushPaints();
    EXPECT_EQ(image->Buffer()->PixelAt(100, 60), shownBitmap) << "the bitmap outside the change stays";
}

// The transfer dialog's view is as large as the image; its dialog shows a corner of it.
TEST_F(PreviewPaintTest, BufferHoldsOnlyWhatShowsAndIsMadeByThePaint)
{
    auto* view = Add<TPSImgView32>(0, 0, 2400, 1800);
    FillPattern(*view->Bitmap(), 2400 - 17, 1800 - 17, 2);
    view->SetCentered(false);
    EXPECT_EQ(view->Buffer()->Width(), 0) << "no buffer before the first paint";
    headless::FlushPaints();
    EXPECT_LE(view->Buffer()->Width(), 320 + view->BufferMargin());
    EXPECT_LE(view->Buffer()->Height(), 240 + view->BufferMargin());
    EXPECT_GE(view->Buffer()->Width(), 320);
    EXPECT_EQ(headless::Surface(view)->Width(), 320);
    EXPECT_EQ(headless::Surface(view)->Height(), 240);
    EXPECT_EQ(ShownPixels(), 320 * 240);
    // What shows is the bitmap's corner.
    TBitmap32 corner;
    FillPattern(corner, 2400 - 17, 1800 - 17, 2);
    EXPECT_TRUE(SameOnScreen(*headless::Surface(view), corner, TRect{0, 0, 320, 240}));
}

// A buffer the platform cannot give (a 32-bit host after a large image): the paint shows the
// control's colour and opens no box; the failure is reported once, after the paint, however
// often the control is painted, and again only after a paint got its buffer back.
TEST_F(PreviewPaintTest, PaintWithoutItsBufferOpensNoBoxAndReportsOnce)
{
    // Room for the form's and the view's surfaces (the screen), not for the view's buffer
    // of 340 x 240 pixels.
    struct TStorageLimit {
        TStorageLimit() { headless_dib::SetLargestStorage(310000); }
        ~TStorageLimit() { headless_dib::SetLargestStorage(0); }
    };
    auto* view = Add<TPSImage32>(0, 0, 300, 200);
    view->SetColor(clSilver);
    FillPattern(*view->Bitmap(), 300, 200, 3);
    {
        TStorageLimit limit;
        headless::FlushPaints();
        EXPECT_TRUE(headless::MessageBoxes().empty()) << "no box inside the paint";
        EXPECT_TRUE(Shown.empty());
        ASSERT_EQ(headless::Surface(view)->Width(), 300);
        for (const TPoint p : {TPoint{0, 0}, TPoint{150, 100}, TPoint{299, 199}})
            EXPECT_EQ(headless::Surface(view)->PixelAt(p.X, p.Y), ColorFromSystem(clSilver));
        for (int i = 0; i < 3; ++i) {
            view->Invalidate();
            headless::PostAdvanceTime(10);
            Application->ProcessMessages();
        }
        ASSERT_EQ(headless::MessageBoxes().size(), 1u);
        EXPECT_EQ(headless::MessageBoxes()[0].Text, "Can't allocate the DIB handle");
        EXPECT_GE(headless::PaintCount(view), 4);
    }
    // With memory again the picture shows, from a buffer drawn afresh.
    view->Invalidate();
    headless::FlushPaints();
    EXPECT_EQ(ShownPixels(), 300 * 200);
    TBitmap32 picture;
    FillPattern(picture, 300, 200, 3);
    EXPECT_TRUE(SameOnScreen(*headless::Surface(view), picture, TRect{0, 0, 300, 200}));
    // A later failure is a new one, reported once more.
    view->SetBounds(0, 0, 100, 100);
    headless::FlushPaints();
    EXPECT_EQ(view->Buffer()->Width(), 100);
    TStorageLimit limit;
    view->SetBounds(0, 0, 300, 200);
    headless::FlushPaints();
    EXPECT_EQ(headless::MessageBoxes().size(), 1u);
    headless::PostAdvanceTime(10);
    Application->ProcessMessages();
    EXPECT_EQ(headless::MessageBoxes().size(), 2u);
}

TEST_F(PreviewPaintTest, HiddenLeftAndTopPartsMoveTheBufferOrigin)
{
    // The same picture twice: shown whole, and on a control whose corner lies off the form.
    TPSImage32 whole(nullptr);
    whole.SetBounds(0, 0, 260, 200);
    TPSImage32* part = Add<TPSImage32>(-70, -50, 260, 200);
    for (TPSImage32* image : {&whole, part}) {
        image->SetColor(clRed);
        image->SetBitmapAlign(baCenter);
        image->SetScaleMode(smScale);
        image->SetScale(1.5f);
        FillPattern(*image->Bitmap(), 100, 60, 3); // drawn at (55, 55, 205, 145)
        auto* layer = image->ImageLayers()->Add<TBitmapLayer>();
        layer->Bitmap()->SetSize(4, 4);
        layer->Bitmap()->Clear(0x8000FF00u);
        layer->Bitmap()->SetDrawMode(dmBlend);
        layer->SetArea(TFloatRect{40, 30, 160, 120}); // control pixels, over bitmap and background
    }
    TBitmap32 surface;
    PaintOn(whole, surface);
    Shown.clear();
    headless::FlushPaints();
    EXPECT_EQ(part->BufferOrigin(), (TPoint{70, 50}));
    EXPECT_LE(part->Buffer()->Width(), 190 + part->BufferMargin());
    EXPECT_LE(part->Buffer()->Height(), 150 + part->BufferMargin());
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Src.left, 0);
    EXPECT_EQ(Shown[0].Src.top, 0);
    EXPECT_EQ(Shown[0].Col, 70);
    EXPECT_EQ(Shown[0].Row, 50);
    EXPECT_EQ(ShownPixels(), 190 * 150);
    EXPECT_TRUE(SameOnScreen(*headless::Surface(part), surface, TRect{70, 50, 260, 200}));
    // A change is redrawn at its place in the moved buffer.
    for (TPSImage32* image : {&whole, part}) {
        image->Bitmap()->FillRectClipped(60, 20, 70, 25, 0xFF0000FFu);
        image->BitmapAreaChanged(TRect{60, 20, 70, 25});
    }
    PaintOn(whole, surface);
    headless::FlushPaints();
    EXPECT_TRUE(SameOnScreen(*headless::Surface(part), surface, TRect{70, 50, 260, 200}));
}

TEST_F(PreviewPaintTest, TilesAndTheirBackgroundFollowTheBufferOrigin)
{
    TPSImage32 whole(nullptr);
    whole.SetBounds(0, 0, 200, 150);
    TPSImage32* part = Add<TPSImage32>(-33, -21, 200, 150);
    for (TPSImage32* image : {&whole, part}) {
        image->SetBitmapAlign(baTile);
        FillPattern(*image->Bitmap(), 23, 17, 4);
    }
    headless::FlushPaints();
    TBitmap32 surface;
    PaintOn(whole, surface);
    EXPECT_EQ(part->BufferOrigin(), (TPoint{33, 21}));
    EXPECT_TRUE(SameOnScreen(*headless::Surface(part), surface, TRect{33, 21, 200, 150}));
    // A tiled bitmap shows a changed pixel everywhere: the whole control repaints.
    EXPECT_EQ(part->BitmapToControl(TRect{0, 0, 1, 1}), (TRect{0, 0, 200, 150}));
}

TEST_F(PreviewPaintTest, MappingOfChangedBitmapPixels)
{
    TPSImage32* image = AddPreview(300, 200, 100, 80);
    image->Bitmap()->SetStretchFilter(sfNearest);
    // Scale 1: exactly the pixels' place, whatever the filter.
    EXPECT_EQ(image->BitmapToControl(TRect{0, 0, 1, 1}), (TRect{100, 60, 101, 61}));
    image->Bitmap()->SetStretchFilter(sfLanczos);
    EXPECT_EQ(image->BitmapToControl(TRect{99, 79, 100, 80}), (TRect{199, 139, 200, 140}));
    // Cut to the drawn bitmap.
    EXPECT_EQ(image->BitmapToControl(TRect{-5, -5, 2, 3}), (TRect{100, 60, 102, 63}));
    EXPECT_EQ(image->BitmapToControl(TRect{}), TRect{});
    // Scale 2 with a spline: the filter's radius (2) plus the rounding, times the zoom.
    image->SetScale(2.0f); // bitmap at (50, 20, 250, 180)
    image->Bitmap()->SetStretchFilter(sfSpline);
    const TRect r = image->BitmapToControl(TRect{40, 30, 41, 31});
    EXPECT_EQ(r, (TRect{50 + 80 - 10, 20 + 60 - 10, 50 + 82 + 10, 20 + 62 + 10}));
    // An empty bitmap shows nothing.
    image->Bitmap()->SetSize(0, 0);
    EXPECT_EQ(image->BitmapToControl(TRect{0, 0, 5, 5}), TRect{});
}

// ---------------------------------------------------------------- what the platform fills

class PlainControl : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
};

TEST_F(PreviewPaintTest, ControlsThatPaintTheirWholeAreaAreNotFilledFirst)
{
    TPSImage32* image = AddPreview(100, 80, 100, 80);
    auto* plain = Add<PlainControl>(150, 0, 40, 40);
    plain->SetColor(clRed);
    headless::FlushPaints();
    const TColor32 shown = headless::Surface(image)->PixelAt(30, 30);
    ASSERT_NE(shown, THeadlessCanvas::ToColor32(clSilver));
    // No host to show the buffer: an opaque control draws nothing, and nothing is filled.
    DisplayHost.DisplayPixels = nullptr;
    image->Invalidate();
    plain->Invalidate();
    headless::FlushPaints();
    EXPECT_EQ(headless::Surface(image)->PixelAt(30, 30), shown);
    EXPECT_EQ(headless::Surface(plain)->PixelAt(5, 5), THeadlessCanvas::ToColor32(clRed));
    for (TControl* c : {static_cast<TControl*>(image), static_cast<TControl*>(new TPSImgView32(Form.get())),
                        static_cast<TControl*>(new TGaugeBar(Form.get())),
                        static_cast<TControl*>(new TCustomRangeBar(Form.get()))})
        EXPECT_TRUE(c->ControlStyle() & csOpaque) << c->ClassName();
    EXPECT_FALSE(plain->ControlStyle() & csOpaque);
    EXPECT_TRUE(image->ControlStyle() & csDoubleClicks);
    EXPECT_FALSE(TGaugeBar(nullptr).ControlStyle() & csDoubleClicks);
}

TEST_F(PreviewPaintTest, SystemsEraseRequestWidensTheDirtyAreaAndErasesNothing)
{
    TPSImage32* image = AddPreview(100, 80, 40, 40); // bitmap at (30, 20, 70, 60)
    headless::FlushPaints();
    const TColor32 corner = headless::Surface(image)->PixelAt(2, 2);
    // Shown again, the window is invalidated by the system, which asks for an erase first.
    image->Hide();
    image->Show();
    headless::FlushPaints();
    EXPECT_EQ(image->DirtyRect(), (TRect{0, 0, 100, 80})) << "the bitmap's area and the erased one";
    EXPECT_EQ(headless::Surface(image)->PixelAt(2, 2), corner);
}

} // namespace
