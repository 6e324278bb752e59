// The line dialog run through the real entry point and host, driven by scripted input that
// reaches its controls the way the platform routes it.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "../toolkit/fixture.h"
#include "bitmap/bitmap32.h"
#include "bridge/filter_graphic.h"
#include "bridge/mask_layer.h"
#include "filters/line_form.h"
#include "filters/ps_rgb_panel.h"
#include "entry/dispatch.h"
#include "entry/module_entry.h"
#include "host/parameter_block.h"
#include "host_session.h"
#include "widgets/range_bars.h"

namespace {

constexpr int W = 64, H = 48;
// A fresh block's tail: anti-aliased, interpolated, opaque black, scale 1.0, Scale mode,
// saturation 127.
const std::vector<std::uint8_t> DefaultTail{0x01, 0x01, 0x00, 0x00, 0x00, 0xFF,
                                            0x00, 0x00, 0x80, 0x3F, 0x00, 0x7F};

using Scenario = std::function<void(TLineForm&)>;

class LineFormTest : public HeadlessTest {
protected:
    LineFormTest() : Original(MakeTestCard(W, H)), Session(Original, std::nullopt, HostOptions{}) {}

    // Runs the filter once; Body runs first thing inside the modal loop and posts the input.
    CallOutcome Run(Scenario Body)
    {
        headless::PostCall([Body] {
            auto* form = dynamic_cast<TLineForm*>(headless::ModalForm());
            ASSERT_NE(form, nullptr) << "the line dialog is not running";
            Body(*form);
        });
        return Session.Run(VesperLine);
    }

    std::vector<std::uint8_t> Tail() const
    {
        auto block = Session.SlotBlock();
        if (!block)
            return {};
        return std::vector<std::uint8_t>(block->begin() + kParameterHeaderSize, block->end());
    }

    // Where the preview shows bitmap pixel (X, Y); the preview is at scale 1 in these tests.
    static TPoint OnPreview(TLineForm& F, int X, int Y)
    {
        const TRect r = F.Image->BitmapRect();
        return TPoint{r.Left + X, r.Top + Y};
    }
    static void Press(TLineForm& F, int X, int Y) { const TPoint p = OnPreview(F, X, Y); headless::PostMouseDown(F.Image, p.X, p.Y); }
    static void Move(TLineForm& F, int X, int Y) { const TPoint p = OnPreview(F, X, Y); headless::PostMouseMove(F.Image, p.X, p.Y, ssLeft); }
    static void Release(TLineForm& F, int X, int Y) { const TPoint p = OnPreview(F, X, Y); headless::PostMouseUp(F.Image, p.X, p.Y); }
    static void ClickApply(TLineForm& F) { headless::PostClick(F.Button1, 5, 5); }
    // The panel is painted before the user can click on it.
    static void PickColour(TLineForm& F, int X, int Y)
    {
        headless::PostPaint(F.RGBPanel);
        headless::PostClick(F.RGBPanel, X, Y);
    }

    // The host's original image as the dialog's preview holds it: plane k in byte k.
    void FillWithOriginal(TBitmap32& b)
    {
        b.SetSize(W, H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const std::uint8_t* p = Original.At(x, y);
                *b.PixelPointer(x, y) = 0xFF000000u | p[0] | (TColor32(p[1]) << 8) | (TColor32(p[2]) << 16);
            }
    }

    // Compares the host's image with Expected (planes 0..2), reporting the first difference.
    ::testing::AssertionResult HostImageIs(const TBitmap32& Expected)
    {
        HostImage now = Session.Image();
        int differing = 0;
        std::string first;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                for (int k = 0; k < 3; ++k) {
                    const int want = static_cast<int>((*Expected.PixelPointer(x, y) >> (8 * k)) & 0xFF);
                    if (now.At(x, y)[k] != want && differing++ == 0)
                        first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") plane " + std::to_string(k) +
                                ": " + std::to_string(now.At(x, y)[k]) + " instead of " + std::to_string(want);
                }
        if (differing == 0)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << differing << " bytes differ, first at " << first;
    }
    ::testing::AssertionResult HostImageUnchanged()
    {
        TBitmap32 original;
        FillWithOriginal(original);
        return HostImageIs(original);
    }

    HostImage Original;
    HostSession Session;
};

// ------------------------------------------------------------------ the stored form

TEST_F(LineFormTest, StoredFormBuildsEveryControlWhereItBelongs)
{
    Run([](TLineForm& f) {
        EXPECT_EQ(f.Caption(), "Line Drawing Example");
        EXPECT_EQ(f.Color(), clWhite);
        EXPECT_EQ(f.Image->Parent(), &f);
        EXPECT_EQ(f.Image->Align(), alClient);
        EXPECT_EQ(f.Image->Color(), clSilver);
        EXPECT_EQ(f.Image->BitmapAlign(), baCenter);
        EXPECT_EQ(f.Panel1->Align(), alLeft);
        EXPECT_EQ(f.Panel1->BevelInner(), bvLowered);
        EXPECT_EQ(f.Panel1->BevelOuter(), bvNone);
        // The preview takes what the left column leaves.
        EXPECT_EQ(f.Image->Left(), f.Panel1->Width());
        EXPECT_EQ(f.Image->Width(), f.ClientWidth() - f.Panel1->Width());
        EXPECT_EQ(f.Panel8->Parent(), f.Panel1);
        EXPECT_EQ(f.Panel3->Caption(), "Line Properties");
        EXPECT_EQ(f.Panel5->Caption(), "Image Properties");
        EXPECT_EQ(f.Panel5->Parent(), f.Panel4);
        EXPECT_EQ(f.RGBPanel->Parent(), f.Panel2);
        EXPECT_EQ(f.RGBPanel->GradType(), gtVertRGB);
        EXPECT_EQ(f.RGBPanel->BevelStyle(), TBevelStyle::bsFrame);
        EXPECT_EQ(f.RGBPanel->ColorFrom(), 0xFFFFFFFFu);
        EXPECT_EQ(f.RGBPanel->ColorTo(), 0xFF000000u);
        EXPECT_EQ(f.RGBPanel->BevelSize(), 1);
        EXPECT_EQ(f.RGBPanel->Width(), 95);
        EXPECT_EQ(f.RGBPanel->Height(), 132);
        for (TGaugeBar* bar : {f.barSaturation, f.barOpacity, f.barScale}) {
            EXPECT_EQ(bar->Style(), rbsMac);
            EXPECT_EQ(bar->HandleSize(), 16);
            EXPECT_FALSE(bar->ShowArrows());
            EXPECT_EQ(bar->Width(), 97);
        }
        EXPECT_EQ(f.barScale->Min(), 10);
        EXPECT_EQ(f.barScale->Max(), 400);
        EXPECT_EQ(f.barOpacity->Max(), 255);
        EXPECT_EQ(f.cmbMode->Items(), (std::vector<std::string>{"Scale", "Resize", "Stretch"}));
        EXPECT_TRUE(f.Button2->Cancel());
        EXPECT_EQ(f.Button2->Caption(), "Cancel");
        EXPECT_EQ(f.Button1->Caption(), "Apply");
        EXPECT_EQ(f.Button1->Parent(), f.Panel6);
        EXPECT_TRUE(f.chkDisplayMask->Checked());
        ASSERT_NE(f.MaskLayer(), nullptr);
        EXPECT_TRUE(f.MaskLayer()->Visible());
        EXPECT_EQ(f.Image->Bitmap()->Width(), W);
        EXPECT_EQ(f.Image->Bitmap()->Height(), H);
    });
}

TEST_F(LineFormTest, FreshBlockGivesTheDefaults)
{
    CallOutcome o = Run([](TLineForm& f) {
        EXPECT_EQ(f.Image->Bitmap()->PenColor, 0xFF000000u);
        EXPECT_TRUE(f.chkAntialias->Checked());
        EXPECT_TRUE(f.chkInterpolated->Checked());
        EXPECT_EQ(f.Image->Bitmap()->StretchFilter(), sfSpline);
        EXPECT_EQ(f.Image->Scale(), 1.0f);
        EXPECT_EQ(f.barScale->Position(), 100);
        EXPECT_EQ(f.Image->ScaleMode(), smScale);
        EXPECT_EQ(f.cmbMode->ItemIndex(), 0);
        EXPECT_EQ(f.RGBPanel->Saturation(), 127);
        EXPECT_EQ(f.barSaturation->Position(), 127);
        EXPECT_EQ(f.barOpacity->Position(), 255);
    });
    EXPECT_EQ(o.Result, userCanceledErr);
    EXPECT_EQ(Tail(), DefaultTail);
    EXPECT_TRUE(HostImageUnchanged());
}

TEST_F(LineFormTest, StoredScaleBelowTheBarIsSavedBackAtTheBarsEnd)
{
    Run([](TLineForm& f) { f.Parameters()->SetScale(0.05f); });
    Run([](TLineForm& f) {
        EXPECT_EQ(f.barScale->Position(), 10);
        EXPECT_EQ(f.Image->Scale(), 0.10f);
        EXPECT_EQ(f.Parameters()->Scale(), 0.10f);
    });
    EXPECT_EQ(ScaleBarPositionFor(0.05f), 5);
    EXPECT_EQ(ScaleBarPositionFor(1.5f), 150);
    // Ties go to the even neighbour, as the bar's rounding does.
    EXPECT_EQ(ScaleBarPositionFor(0.125f), 12);
    EXPECT_EQ(ScaleBarPositionFor(std::numeric_limits<float>::quiet_NaN()), std::numeric_limits<int>::min());
    EXPECT_EQ(ScaleBarPositionFor(1e30f), std::numeric_limits<int>::min());
}

TEST_F(LineFormTest, UnknownStoredScaleModeShowsTheFirstMode)
{
    Run([](TLineForm& f) { f.Parameters()->ScaleMode = 9; });
    Run([](TLineForm& f) {
        EXPECT_EQ(f.Image->ScaleMode(), smScale);
        EXPECT_EQ(f.cmbMode->ItemIndex(), 0);
        // Picking a mode stores it again.
        headless::PostSelect(f.cmbMode, 2);
    });
    EXPECT_EQ(Tail()[10], 2);
}

TEST_F(LineFormTest, ThePenIsSavedOnCloseAndItsOpacityMovesTheBarNextTime)
{
    // The block's colour is only written as the dialog goes: whatever the pen is then.
    Run([](TLineForm& f) {
        f.Parameters()->SetDrawColor(0x12345678u);
        f.Image->Bitmap()->PenColor = 0x40112233u;
    });
    EXPECT_EQ(Tail()[2], 0x33);
    EXPECT_EQ(Tail()[5], 0x40);
    Run([](TLineForm& f) {
        EXPECT_EQ(f.barOpacity->Position(), 0x40);
        EXPECT_EQ(f.Image->Bitmap()->PenColor, 0x40112233u);
    });
}

// ------------------------------------------------------------------ colour and opacity

TEST_F(LineFormTest, PanelClickTakesTheColourWithTheBarsOpacity)
{
    Run([](TLineForm& f) {
        f.barOpacity->SetPosition(128);
        PickColour(f, 40, 60);
        headless::PostCall([&f] {
            const TColor32 shown = *f.RGBPanel->Buffer()->PixelPointer(40, 60);
            // A point inside the spectrum: a colour, not the frame or a wash end.
            EXPECT_NE(shown & 0x00FFFFFFu, 0u);
            EXPECT_NE(shown & 0x00FFFFFFu, 0x00FFFFFFu);
            EXPECT_EQ(f.Image->Bitmap()->PenColor, (shown & 0x00FFFFFFu) | 0x80000000u);
            // Moving the bar afterwards changes only the alpha.
            f.barOpacity->SetPosition(200);
            EXPECT_EQ(f.Image->Bitmap()->PenColor, (shown & 0x00FFFFFFu) | 0xC8000000u);
        });
    });
}

TEST_F(LineFormTest, DraggingTheOpacityHandleSetsTheAlpha)
{
    Run([](TLineForm& f) {
        // The handle sits at the right end; 40 pixels to the left are 255 x 40 / 79 steps.
        headless::PostMouseDown(f.barOpacity, 86, 5);
        headless::PostMouseMove(f.barOpacity, 46, 5, ssLeft);
        headless::PostMouseUp(f.barOpacity, 46, 5);
        headless::PostCall([&f] {
            EXPECT_EQ(f.barOpacity->Position(), 126);
            EXPECT_EQ(f.Image->Bitmap()->PenColor, 0x7E000000u);
        });
    });
}

TEST_F(LineFormTest, PanelPressOutsideItsBufferChangesNothing)
{
    Run([](TLineForm& f) {
        const TBitmap32* buffer = f.RGBPanel->Buffer();
        f.RGBPanel1MouseDown(f.RGBPanel, mbLeft, 0, buffer->Width(), 0);
        f.RGBPanel1MouseDown(f.RGBPanel, mbLeft, 0, 0, -1);
        EXPECT_EQ(f.Image->Bitmap()->PenColor, 0xFF000000u);
    });
}

TEST_F(LineFormTest, SaturationBarRecolorsThePanelAndIsStored)
{
    Run([](TLineForm& f) {
        f.barSaturation->SetPosition(30);
        EXPECT_EQ(f.RGBPanel->Saturation(), 30);
        EXPECT_EQ(f.Parameters()->Saturation, 30);
    });
}

// ------------------------------------------------------------------ drawing

TEST_F(LineFormTest, PressAndReleaseAtOnePointDrawNothing)
{
    CallOutcome o = Run([](TLineForm& f) {
        Press(f, 20, 20);
        Release(f, 20, 20);
        headless::PostCall([&f] {
            EXPECT_FALSE(f.Image->MouseCapture());
            EXPECT_EQ(f.Image->Bitmap()->PenPos, (TPoint{20, 20}));
        });
        ClickApply(f);
    });
    EXPECT_EQ(o.Result, noErr);
    EXPECT_TRUE(HostImageUnchanged());
}

TEST_F(LineFormTest, ReleaseWithoutPressDrawsNothing)
{
    CallOutcome o = Run([](TLineForm& f) {
        f.Image->Bitmap()->MovePenTo(0, 0);
        Release(f, 30, 20);
        Move(f, 40, 40);
        ClickApply(f);
    });
    EXPECT_EQ(o.Result, noErr);
    EXPECT_TRUE(HostImageUnchanged());
}

TEST_F(LineFormTest, ApplyWritesThePolylineExactlyAsTheBitmapDrawsIt)
{
    TColor32 pen = 0;
    CallOutcome o = Run([&pen](TLineForm& f) {
        f.barOpacity->SetPosition(180);
        PickColour(f, 40, 30);
        headless::PostCall([&f, &pen] { pen = f.Image->Bitmap()->PenColor; });
        // Starts inside, leaves the bitmap on the right and comes back at the bottom.
        Press(f, 5, 5);
        Move(f, 30, 12);
        Move(f, 80, 20);
        Move(f, 50, 60);
        Release(f, 10, 40);
        ClickApply(f);
    });
    ASSERT_EQ(o.Result, noErr);
    EXPECT_EQ(pen >> 24, 180u);

    TBitmap32 expected;
    FillWithOriginal(expected);
    expected.PenColor = pen;
    expected.MovePenTo(5, 5);
    expected.LineToSmooth(30, 12);
    expected.LineToSmooth(80, 20);
    expected.LineToSmooth(50, 60);
    expected.LineToSmooth(10, 40);
    EXPECT_TRUE(HostImageIs(expected));
    EXPECT_FALSE(HostImageUnchanged());
    EXPECT_EQ(Session.Stats().GuardDamage, 0);
}

// A host that answers the request for its output without a buffer: Apply shows the error,
// does not close the dialog with OK, and the host's image stays as it was.
TEST_F(LineFormTest, ApplyWithoutAnOutputBufferShowsTheErrorAndDoesNotSucceed)
{
    HostOptions options;
    options.NoOutputBuffer = true;
    HostSession session(Original, std::nullopt, options);
    int modalResultAfterApply = -1;
    headless::PostCall([&] {
        auto* f = dynamic_cast<TLineForm*>(headless::ModalForm());
        ASSERT_NE(f, nullptr);
        Press(*f, 5, 5);
        Release(*f, 30, 20);
        ClickApply(*f);
        headless::PostCall([f, &modalResultAfterApply] { modalResultAfterApply = f->ModalResult(); });
    });
    const CallOutcome o = session.Run(VesperLine);
    EXPECT_EQ(modalResultAfterApply, 0) << "Apply did not close the dialog";
    EXPECT_EQ(o.Result, userCanceledErr) << "the dialog ended as the script ran out, not with OK";
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, OutputNotServedMessage);
    EXPECT_EQ(session.Image().Pixels, Original.Pixels);
}

TEST_F(LineFormTest, AntialiasSwitchTakesEffectFromTheNextMove)
{
    CallOutcome o = Run([](TLineForm& f) {
        Press(f, 2, 3);
        Move(f, 40, 10);
        headless::PostKey(f.chkAntialias, VK_KEY_SPACE);
        headless::PostCall([&f] { EXPECT_EQ(f.Parameters()->Antialiased, 0); });
        Move(f, 20, 40);
        Release(f, 60, 30);
        ClickApply(f);
    });
    ASSERT_EQ(o.Result, noErr);
    TBitmap32 expected;
    FillWithOriginal(expected);
    expected.PenColor = 0xFF000000u;
    expected.MovePenTo(2, 3);
    expected.LineToSmooth(40, 10);
    expected.LineToBlended(20, 40);
    expected.LineToBlended(60, 30);
    EXPECT_TRUE(HostImageIs(expected));
    EXPECT_EQ(Tail()[0], 0);
}

TEST_F(LineFormTest, MovesWithoutCaptureDrawNothingAndEndDoubleBuffering)
{
    CallOutcome o = Run([](TLineForm& f) {
        f.Image->SetDoubleBuffered(true);
        Move(f, 10, 10);
        Move(f, 50, 30);
        headless::PostCall([&f] { EXPECT_FALSE(f.Image->DoubleBuffered()); });
        ClickApply(f);
    });
    EXPECT_EQ(o.Result, noErr);
    EXPECT_TRUE(HostImageUnchanged());
}

// ------------------------------------------------------------------ what the preview shows

// A drawn segment is shown by the next paint, which repaints only the segment's area (with
// the smooth line's neighbours), and shows there what a whole repaint would.
TEST_F(LineFormTest, EachSegmentShowsAtOnceAndRepaintsOnlyItsArea)
{
    long long before = 0;
    CallOutcome o = Run([this, &before](TLineForm& f) {
        headless::PostCall([] { headless::FlushPaints(); }); // the dialog's first paint
        Press(f, 10, 10);
        headless::PostCall([this, &f, &before] {
            EXPECT_FALSE(headless::PaintPending(f.Image)) << "a press draws nothing";
            before = Session.Stats().DisplayedPixels;
        });
        Move(f, 30, 20);
        headless::PostCall([this, &f, &before] {
            ASSERT_TRUE(headless::PaintPending(f.Image));
            headless::FlushPaints();
            const TRect r = f.Image->BitmapRect();
            const TRect segment{r.Left + 9, r.Top + 9, r.Left + 32, r.Top + 22};
            EXPECT_EQ(headless::LastPaintArea(f.Image), segment);
            EXPECT_EQ(Session.Stats().DisplayedPixels - before, 23 * 13);
            // The segment's middle pixel, drawn at full weight in opaque black, shows.
            const TPoint origin = f.Image->BufferOrigin();
            auto shown = [&f, origin](int X, int Y) { return f.Image->Buffer()->PixelAt(X - origin.X, Y - origin.Y); };
            EXPECT_EQ(shown(r.Left + 10, r.Top + 10) & 0xFFFFFFu, 0u);
            std::vector<TColor32> partial;
            for (int y = segment.Top; y < segment.Bottom; ++y)
                for (int x = segment.Left; x < segment.Right; ++x)
                    partial.push_back(shown(x, y));
            f.Image->Invalidate();
            headless::FlushPaints();
            std::size_t i = 0;
            for (int y = segment.Top; y < segment.Bottom; ++y)
                for (int x = segment.Left; x < segment.Right; ++x)
                    ASSERT_EQ(partial[i++], shown(x, y)) << x << ", " << y;
        });
        // Released where the last move left the pen: nothing more is drawn or repainted.
        Release(f, 30, 20);
        headless::PostCall([&f] { EXPECT_FALSE(headless::PaintPending(f.Image)); });
        ClickApply(f);
    });
    EXPECT_EQ(o.Result, noErr);
    TBitmap32 expected;
    FillWithOriginal(expected);
    expected.PenColor = 0xFF000000u;
    expected.MovePenTo(10, 10);
    expected.LineToSmooth(30, 20);
    EXPECT_TRUE(HostImageIs(expected));
}

TEST_F(LineFormTest, SegmentsOnAScaledPreviewRepaintWhereTheFilterReaches)
{
    CallOutcome o = Run([](TLineForm& f) {
        f.barScale->SetPosition(250); // 2.5 times, spline filter
        headless::PostCall([] { headless::FlushPaints(); });
        const TRect r = f.Image->BitmapRect();
        // Bitmap pixels (10, 10) and (20, 12); the inverse zoom truncates.
        headless::PostMouseDown(f.Image, r.Left + 26, r.Top + 26);
        headless::PostMouseMove(f.Image, r.Left + 51, r.Top + 31, ssLeft);
        headless::PostCall([&f, r] {
            headless::FlushPaints();
            const TRect painted = headless::LastPaintArea(f.Image);
            // Pixels 9 .. 21 by 9 .. 13 at 2.5 times, widened by (2 + 2) x 2.5 + 2 for the
            // spline's reach and the rounding.
            EXPECT_EQ(painted, (TRect{r.Left + 22 - 12, r.Top + 22 - 12, r.Left + 55 + 12, r.Top + 35 + 12}));
            EXPECT_LT((painted.Right - painted.Left) * (painted.Bottom - painted.Top),
                      f.Image->Width() * f.Image->Height() / 10);
        });
        headless::PostMouseUp(f.Image, r.Left + 51, r.Top + 31);
        ClickApply(f);
    });
    EXPECT_EQ(o.Result, noErr);
}

// ------------------------------------------------------------------ cancel and memory

TEST_F(LineFormTest, CancelKeepsTheImageAndRemembersTheSettings)
{
    TColor32 pen = 0;
    CallOutcome first = Run([&pen](TLineForm& f) {
        f.barOpacity->SetPosition(90);
        PickColour(f, 20, 100);
        headless::PostCall([&f, &pen] {
            pen = f.Image->Bitmap()->PenColor;
            f.barSaturation->SetPosition(200);
            f.barScale->SetPosition(150);
        });
        headless::PostSelect(f.cmbMode, 1);
        Press(f, 1, 1);
        Move(f, 60, 40);
        Release(f, 10, 45);
        headless::PostKey(nullptr, VK_KEY_ESCAPE);
    });
    EXPECT_EQ(first.Result, userCanceledErr);
    EXPECT_TRUE(HostImageUnchanged());
    EXPECT_EQ(pen >> 24, 90u);

    const std::vector<std::uint8_t> tail = Tail();
    ASSERT_EQ(tail.size(), 12u);
    EXPECT_EQ(tail[2] | (tail[3] << 8) | (tail[4] << 16) | (TColor32(tail[5]) << 24), pen);
    EXPECT_EQ(tail[10], 1);   // Resize
    EXPECT_EQ(tail[11], 200); // saturation

    CallOutcome second = Run([pen](TLineForm& f) {
        EXPECT_EQ(f.Image->Bitmap()->PenColor, pen);
        EXPECT_EQ(f.barOpacity->Position(), 90);
        EXPECT_EQ(f.barSaturation->Position(), 200);
        EXPECT_EQ(f.RGBPanel->Saturation(), 200);
        EXPECT_EQ(f.barScale->Position(), 150);
        EXPECT_EQ(f.Image->Scale(), 1.5f);
        EXPECT_EQ(f.cmbMode->ItemIndex(), 1);
        EXPECT_EQ(f.Image->ScaleMode(), smResize);
        headless::PostClick(f.Button2, 5, 5);
    });
    EXPECT_EQ(second.Result, userCanceledErr);
    EXPECT_TRUE(HostImageUnchanged());
}

TEST_F(LineFormTest, InterpolationOffShowsNearestAndIsRemembered)
{
    Run([](TLineForm& f) {
        f.Image->SetDoubleBuffered(false);
        headless::PostClick(f.chkInterpolated, 5, 5);
        headless::PostCall([&f] {
            EXPECT_FALSE(f.chkInterpolated->Checked());
            EXPECT_EQ(f.Image->Bitmap()->StretchFilter(), sfNearest);
            EXPECT_TRUE(f.Image->DoubleBuffered());
        });
    });
    EXPECT_EQ(Tail()[1], 0);
    Run([](TLineForm& f) {
        EXPECT_FALSE(f.chkInterpolated->Checked());
        EXPECT_EQ(f.Image->Bitmap()->StretchFilter(), sfNearest);
    });
}

TEST_F(LineFormTest, MaskCheckBoxHidesTheMaskLayer)
{
    Run([](TLineForm& f) {
        headless::PostClick(f.chkDisplayMask, 5, 5);
        headless::PostCall([&f] {
            EXPECT_FALSE(f.MaskLayer()->Visible());
            EXPECT_TRUE(headless::PaintPending(f.Image));
        });
    });
}

TEST_F(LineFormTest, ScaleBarZoomsThePreviewAndTheMouseFollows)
{
    CallOutcome o = Run([](TLineForm& f) {
        f.barScale->SetPosition(200);
        EXPECT_EQ(f.Image->Scale(), 2.0f);
        EXPECT_EQ(f.Parameters()->Scale(), 2.0f);
        headless::PostCall([&f] {
            // At scale 2 each bitmap pixel covers two control pixels.
            const TRect r = f.Image->BitmapRect();
            EXPECT_EQ(r.Right - r.Left, 2 * W);
            headless::PostMouseDown(f.Image, r.Left + 2 * 4, r.Top + 2 * 4);
            headless::PostMouseUp(f.Image, r.Left + 2 * 30 + 1, r.Top + 2 * 4 + 1);
            ClickApply(f);
        });
    });
    ASSERT_EQ(o.Result, noErr);
    TBitmap32 expected;
    FillWithOriginal(expected);
    expected.PenColor = 0xFF000000u;
    expected.MovePenTo(4, 4);
    expected.LineToSmooth(30, 4);
    EXPECT_TRUE(HostImageIs(expected));
}


// ------------------------------------------------------------------ a failed start

class LineFormWithoutHostTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        HostContext.FilterRecord = nullptr;
        CurrentParameterBlock = nullptr;
    }
};

TEST_F(LineFormWithoutHostTest, FailedReadEndsCreationButTheDialogStaysSafe)
{
    TComponentPtr<TForm> form(CreateFormOf<TLineForm>(nullptr));
    auto* f = dynamic_cast<TLineForm*>(form.get());
    ASSERT_NE(f, nullptr);
    // The read failed, was reported, and the settings were never taken.
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_NE(headless::MessageBoxes()[0].Text.find("Cannot assign a TPSFilterGraphic"), std::string::npos);
    EXPECT_EQ(f->Parameters(), nullptr);
    EXPECT_EQ(f->MaskLayer(), nullptr);

    // Every control still works without a block to write into; Apply has nothing to write.
    headless::PostCall([f] {
        f->barSaturation->SetPosition(10);
        f->barScale->SetPosition(50);
        f->barOpacity->SetPosition(20);
    });
    headless::PostClick(f->chkAntialias, 5, 5);
    headless::PostClick(f->chkInterpolated, 5, 5);
    headless::PostClick(f->chkDisplayMask, 5, 5);
    headless::PostSelect(f->cmbMode, 2);
    headless::PostMouseDown(f->Image, 10, 10);
    headless::PostMouseUp(f->Image, 20, 10);
    headless::PostClick(f->Button1, 5, 5);
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_EQ(f->RGBPanel->Saturation(), 10);
    EXPECT_EQ(f->Image->ScaleMode(), smStretch);
    EXPECT_EQ(f->Image->Bitmap()->PenColor >> 24, 20u);
    // Apply's failure was shown; the dialog did not close with OK.
    EXPECT_EQ(headless::MessageBoxes().size(), 2u);
}

} // namespace
