// Both dialogs run through the entry points on screens of 96, 120, 144 and 192 dpi: laid
// out from their stored 96-dpi forms, text that fits, and a preview whose pixels are the
// screen's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "../temp_drive_root.h"
#include "../toolkit/fixture.h"
#include "entry/module_entry.h"
#include "filters/line_form.h"
#include "filters/noise_form.h"
#include "filters/ps_rgb_panel.h"
#include "host_session.h"
#include "toolkit/dpi.h"
#include "toolkit/stdctrls.h"
#include "widgets/img_view32.h"
#include "widgets/range_bars.h"

namespace {

constexpr int W = 64, H = 48;

// What a dialog showed: each control's bounds within its parent's client area, font height
// and the width of its caption in its own font.
struct Shown {
    TRect Bounds;
    int FontHeight = 0;
    int TextWidth = 0;
    bool AutoSized = false;
};
struct Layout {
    int ClientWidth = 0, ClientHeight = 0;
    std::map<std::string, Shown> Controls;
};

Layout LayoutOf(TForm& F)
{
    Layout l{F.ClientWidth(), F.ClientHeight(), {}};
    for (int i = 0; i < F.ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TControl*>(F.Components(i)))
            l.Controls[c->Name()] = {c->BoundsRect(), c->Font().Height(),
                                     c->Caption().empty() ? 0 : plat::TextExtent(c->Font(), c->Caption()).cx,
                                     dynamic_cast<TLabel*>(c) != nullptr};
    return l;
}

bool Near(int Got, int At96, int Dpi) { return std::abs(Got - ScaleForDpi(At96, Dpi)) <= 1; }

class DialogDpiTest : public HeadlessTest {
protected:
    DialogDpiTest() : Session(MakeTestCard(W, H), std::nullopt, HostOptions{}) {}

    // Runs Entry at Dpi; Body runs inside the modal loop with the dialog.
    CallOutcome Run(PluginEntryProc Entry, int Dpi, std::function<void(TForm&)> Body)
    {
        headless::SetScreenDpi(Dpi);
        headless::PostCall([Body] {
            TForm* f = headless::ModalForm();
            ASSERT_NE(f, nullptr);
            Body(*f);
        });
        return Session.Run(Entry);
    }
    Layout Measure(PluginEntryProc Entry, int Dpi)
    {
        Layout l;
        Run(Entry, Dpi, [&l](TForm& f) {
            l = LayoutOf(f);
            f.SetModalResult(mrCancel);
        });
        return l;
    }
    void ExpectScaled(PluginEntryProc Entry)
    {
        const Layout at96 = Measure(Entry, 96);
        ASSERT_FALSE(at96.Controls.empty());
        for (int dpi : {120, 144, 192}) {
            SCOPED_TRACE("dpi " + std::to_string(dpi));
            const Layout l = Measure(Entry, dpi);
            EXPECT_TRUE(Near(l.ClientWidth, at96.ClientWidth, dpi)) << l.ClientWidth;
            EXPECT_TRUE(Near(l.ClientHeight, at96.ClientHeight, dpi)) << l.ClientHeight;
            for (const auto& [name, was] : at96.Controls) {
                // The transfer preview is sized by its dialog to the image: one screen pixel
                // per image pixel at every density.
                if (name == "ImgView")
                    continue;
                const Shown& now = l.Controls.at(name);
                EXPECT_EQ(now.FontHeight, ScaleForDpi(was.FontHeight, dpi)) << name;
                EXPECT_TRUE(Near(now.Bounds.Left, was.Bounds.Left, dpi)) << name;
                EXPECT_TRUE(Near(now.Bounds.Top, was.Bounds.Top, dpi)) << name;
                // A label takes its caption's width in the scaled font, the others scale.
                if (!now.AutoSized) {
                    EXPECT_TRUE(Near(now.Bounds.Width(), was.Bounds.Width(), dpi)) << name;
                    EXPECT_TRUE(Near(now.Bounds.Height(), was.Bounds.Height(), dpi)) << name;
                }
                EXPECT_LE(now.TextWidth, now.Bounds.Width()) << name << " cuts its caption";
            }
        }
    }

    TTempDriveRoot Drive{"dialogdpi"};
    HostSession Session;
};

TEST_F(DialogDpiTest, LineDialogIsItsStoredFormScaled) { ExpectScaled(VesperLine); }

TEST_F(DialogDpiTest, TransferDialogIsItsStoredFormScaled) { ExpectScaled(VesperNoise); }

TEST_F(DialogDpiTest, ScrollBarsAreAsThickAsTheSystemsAtTheDensity)
{
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        Run(VesperNoise, dpi, [dpi](TForm& f) {
            auto* view = dynamic_cast<TPSImgView32*>(f.FindComponent("ImgView"));
            ASSERT_NE(view, nullptr);
            const int metric = plat::HorzScrollBarHeightForDpi(dpi);
            EXPECT_EQ(metric, ScaleForDpi(17, dpi));
            const TRect vp = view->ViewportRect();
            EXPECT_EQ(view->Height() - vp.Bottom, metric);
            EXPECT_EQ(view->Width() - vp.Right, metric);
            // The bars lie along the edges, the metric thick.
            int bars = 0;
            for (int i = 0; i < view->ControlCount(); ++i)
                if (auto* bar = dynamic_cast<TCustomRangeBar*>(view->Controls(i))) {
                    ++bars;
                    EXPECT_EQ(bar->Kind() == sbHorizontal ? bar->Height() : bar->Width(), metric);
                }
            EXPECT_EQ(bars, 2);
        });
    }
}

TEST_F(DialogDpiTest, SlidersDrawTheirHandleAndBorderAtTheDensity)
{
    Run(VesperLine, 144, [](TForm& f) {
        auto* bar = dynamic_cast<TGaugeBar*>(f.FindComponent("barSaturation"));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->HandleSize(), 16) << "the stored size stays a 96-dpi one";
        EXPECT_EQ(bar->EffectiveHandleSize(), 24);
        EXPECT_EQ(bar->BorderSize(), 2);
        // 97 x 12 becomes 146 x 18: a client of 142 x 14 inside the two-pixel border.
        EXPECT_EQ(bar->ClientWidth(), bar->Width() - 4);
        const TRect h = bar->HandleRect();
        EXPECT_EQ(h.Right - h.Left, 24);
        EXPECT_EQ(h.Bottom - h.Top, bar->ClientHeight());
        f.SetModalResult(mrCancel);
    });
}

TEST_F(DialogDpiTest, TheColourPanelsFrameIsOneLineOfTheDensity)
{
    for (int dpi : {96, 144}) {
        SCOPED_TRACE(dpi);
        Run(VesperLine, dpi, [dpi](TForm& form) {
            auto& f = static_cast<TLineForm&>(form);
            headless::PostPaint(f.RGBPanel);
            headless::PostCall([&f, dpi] {
                const TBitmap32& b = *f.RGBPanel->Buffer();
                // One ring at 96 dpi, two at 144: the wash starts inside them.
                EXPECT_EQ(b.PixelAt(0, 0), 0xFF000000u);
                EXPECT_EQ(b.PixelAt(1, 1) == 0xFF000000u, dpi == 144);
                EXPECT_NE(b.PixelAt(2, 2), 0xFF000000u);
                const int w = f.RGBPanel->Width();
                EXPECT_EQ(b.PixelAt(w - 2, 5) == 0xFF000000u, dpi == 144);
                f.SetModalResult(mrCancel);
            });
        });
    }
}

TEST_F(DialogDpiTest, TheThreadsAwarenessIsPerMonitorOnlyWhileADialogRuns)
{
    headless::SetThreadDpiAwareness(headless::DpiContextSystemAware);
    std::intptr_t during = 0;
    Run(VesperLine, 144, [&during](TForm& f) {
        during = headless::ThreadDpiAwareness();
        f.SetModalResult(mrCancel);
    });
    EXPECT_EQ(during, headless::DpiContextPerMonitorV2);
    EXPECT_EQ(headless::ThreadDpiAwareness(), headless::DpiContextSystemAware);
    // As under Wine 8, which takes only the first per-monitor context.
    headless::SetDpiAwarenessSupport(headless::TDpiAwarenessSupport::PerMonitor);
    Run(VesperNoise, 120, [&during](TForm&) { during = headless::ThreadDpiAwareness(); });
    EXPECT_EQ(during, headless::DpiContextPerMonitor);
    EXPECT_EQ(headless::ThreadDpiAwareness(), headless::DpiContextSystemAware);
}

// At 144 dpi the preview still shows one image pixel per screen pixel, and a line drawn with
// the mouse lands under the pointer, in the preview and in Apply's result alike.
TEST_F(DialogDpiTest, ALineDrawnAt144DpiLandsUnderThePointer)
{
    TRect shown;
    TColor32 afterDrag = 0, underPointer = 0;
    CallOutcome o = Run(VesperLine, 144, [&](TForm& form) {
        auto& f = static_cast<TLineForm&>(form);
        shown = f.Image->BitmapRect();
        const TPoint a{shown.Left + 5, shown.Top + 5}, b{shown.Left + 50, shown.Top + 30};
        headless::PostMouseDown(f.Image, a.X, a.Y);
        headless::PostMouseMove(f.Image, b.X, b.Y, ssLeft);
        headless::PostMouseUp(f.Image, b.X, b.Y);
        headless::PostCall([&f, &afterDrag, &underPointer, a, b] {
            f.Image->Invalidate();
            headless::FlushPaints();
            // Halfway along the segment, on the screen's surface and in the bitmap.
            const int mx = (a.X + b.X) / 2, my = (a.Y + b.Y) / 2;
            const TPoint p = f.Image->PointToBitmap(TPoint{mx, my});
            afterDrag = f.Image->Bitmap()->PixelAt(p.X, p.Y);
            underPointer = TColor32(f.Image->Bitmap()->PixelAt(mx - f.Image->BitmapRect().Left,
                                                                my - f.Image->BitmapRect().Top));
        });
        headless::PostClick(f.Button1, 5, 5);
    });
    ASSERT_EQ(o.Result, noErr);
    EXPECT_EQ(shown.Right - shown.Left, W);
    EXPECT_EQ(shown.Bottom - shown.Top, H);
    EXPECT_EQ(afterDrag, underPointer);

    // Apply's result is the line from bitmap (5, 5) to (50, 30): where the pointer was.
    HostImage expected = MakeTestCard(W, H);
    TBitmap32 drawn;
    drawn.SetSize(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::uint8_t* p = expected.At(x, y);
            drawn.SetPixelAt(x, y, 0xFF000000u | p[0] | (TColor32(p[1]) << 8) | (TColor32(p[2]) << 16));
        }
    drawn.PenColor = 0xFF000000u;
    drawn.MovePenTo(5, 5);
    drawn.LineToSmooth(50, 30);
    HostImage now = Session.Image();
    int differ = 0, changed = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int k = 0; k < 3; ++k) {
                const int want = static_cast<int>((drawn.PixelAt(x, y) >> (8 * k)) & 0xFF);
                differ += now.At(x, y)[k] != want;
                changed += want != expected.At(x, y)[k];
            }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(changed, 0);
}

} // namespace
