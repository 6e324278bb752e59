// Forms laid out at screen densities other than the 96 dpi their descriptions are made for,
// and the thread's DPI awareness around a dialog.
#include <stdexcept>
#include <string>

#include "fixture.h"
#include "toolkit/dpi.h"
#include "toolkit/forms.h"
#include "toolkit/stdctrls.h"

namespace {

const char* const Description = R"(form DpiForm: TForm
  Caption = "Density"
  BorderStyle = bsDialog
  ClientWidth = 391
  ClientHeight = 143
  Font.Name = "Tahoma"
  Font.Height = -11
  Constraints.MinWidth = 201
  control Side: TPanel
    Bounds = 0, 0, 113, 143
    Align = alLeft
    BevelInner = bvLowered
    BevelOuter = bvNone
    control Head: TPanel
      Bounds = 1, 1, 111, 16
      Align = alTop
      Caption = "Image Properties"
      ParentFont = false
      Font.Name = "Tahoma"
      Font.Height = -11
    end
    control Note: TLabel
      Left = 10
      Top = 24
      Caption = "Scalemode:"
    end
    control Mode: TComboBox
      Bounds = 8, 40, 97, 21
      Constraints.MaxHeight = 21
    end
    control Mask: TCheckBox
      Bounds = 8, 118, 89, 17
      Caption = "Display mask"
    end
  end
  control Corner: TButton
    Bounds = 300, 110, 83, 25
    Anchors = akRight, akBottom
    Caption = "Apply"
  end
  control Wide: TPanel
    Bounds = 120, 7, 171, 33
    BorderWidth = 3
  end
end
)";

struct Geometry {
    TRect Bounds;
    int FontHeight;
};

class DpiTest : public HeadlessTest {
protected:
    TComponentPtr<TForm> Load(int Dpi)
    {
        headless::SetScreenDpi(Dpi);
        TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
        f->LoadFromDescription(Description);
        return f;
    }
    static TControl& C(TForm& F, const char* Name)
    {
        auto* c = dynamic_cast<TControl*>(F.FindComponent(Name));
        if (!c)
            throw std::runtime_error(std::string("no control ") + Name);
        return *c;
    }
    static std::vector<Geometry> Snapshot(TForm& F)
    {
        std::vector<Geometry> all{{F.BoundsRect(), F.Font().Height()}};
        for (int i = 0; i < F.ComponentCount(); ++i)
            if (auto* c = dynamic_cast<TControl*>(F.Components(i)))
                all.push_back({c->BoundsRect(), c->Font().Height()});
        return all;
    }
};

// Each edge within one device pixel of the 96-dpi edge scaled.
::testing::AssertionResult NearScaled(const TRect& Got, const TRect& At96, int Dpi)
{
    const int want[4] = {ScaleForDpi(At96.Left, Dpi), ScaleForDpi(At96.Top, Dpi), ScaleForDpi(At96.Right, Dpi),
                         ScaleForDpi(At96.Bottom, Dpi)};
    const int got[4] = {Got.Left, Got.Top, Got.Right, Got.Bottom};
    for (int i = 0; i < 4; ++i)
        if (std::abs(got[i] - want[i]) > 1)
            return ::testing::AssertionFailure() << "edge " << i << " is " << got[i] << ", scaled " << want[i];
    return ::testing::AssertionSuccess();
}

TEST(DpiScaling, RoundsAsMulDivDoes)
{
    EXPECT_EQ(ScaleForDpi(-11, 96), -11);
    EXPECT_EQ(ScaleForDpi(-11, 120), -14);  // -13.75
    EXPECT_EQ(ScaleForDpi(-11, 144), -17);  // -16.5: halves go away from zero
    EXPECT_EQ(ScaleForDpi(-11, 192), -22);
    EXPECT_EQ(ScaleForDpi(1, 120), 1);      // 1.25
    EXPECT_EQ(ScaleForDpi(1, 144), 2);      // 1.5
    EXPECT_EQ(ScaleForDpi(17, 144), 26);    // 25.5
    EXPECT_EQ(ScaleForDpi(0, 192), 0);
    EXPECT_EQ(ScaleForDpi(-3, 144), -5);    // -4.5
    // No overflow for large lengths at high densities.
    EXPECT_EQ(ScaleForDpi(20000000, 480), 100000000);
}

TEST_F(DpiTest, At96DpiTheDescriptionIsLaidOutAsItStands)
{
    auto f = Load(96);
    EXPECT_EQ(f->CurrentDpi(), 96);
    EXPECT_EQ(f->ClientWidth(), 391);
    EXPECT_EQ(f->ClientHeight(), 143);
    EXPECT_EQ(f->Font().Height(), -11);
    EXPECT_EQ(C(*f, "Mode").BoundsRect(), (TRect{8, 40, 105, 61}));
    EXPECT_EQ(C(*f, "Corner").BoundsRect(), (TRect{300, 110, 383, 135}));
    EXPECT_EQ(static_cast<TPanel&>(C(*f, "Side")).BevelExtent(), 1);
    // A form already at the screen's density is left alone.
    const auto before = Snapshot(*f);
    f->FitDpi();
    f->ScaleToDpi(96);
    const auto after = Snapshot(*f);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i].Bounds, after[i].Bounds) << i;
}

TEST_F(DpiTest, LoadedAtHigherDensitiesEverythingScales)
{
    for (int dpi : {120, 144, 192}) {
        SCOPED_TRACE(dpi);
        auto f = Load(dpi);
        EXPECT_EQ(f->CurrentDpi(), dpi);
        EXPECT_EQ(f->ClientWidth(), ScaleForDpi(391, dpi));
        EXPECT_EQ(f->ClientHeight(), ScaleForDpi(143, dpi));
        // The frame is the platform's at this density, around the scaled client area.
        const TRect frame = plat::FrameInsetsForDpi(*f, dpi);
        EXPECT_EQ(f->Width(), ScaleForDpi(391, dpi) + frame.Left + frame.Right);
        EXPECT_EQ(f->Constraints().MinWidth, ScaleForDpi(201, dpi));
        EXPECT_EQ(f->Font().Height(), ScaleForDpi(-11, dpi));
        // Children that follow the form's font and those with their own both grow.
        EXPECT_EQ(C(*f, "Mode").Font().Height(), ScaleForDpi(-11, dpi));
        EXPECT_EQ(C(*f, "Head").Font().Height(), ScaleForDpi(-11, dpi));
        EXPECT_FALSE(C(*f, "Head").ParentFont());
        EXPECT_TRUE(NearScaled(C(*f, "Side").BoundsRect(), TRect{0, 0, 113, 143}, dpi));
        // Aligned inside the bevel, whose width scales too.
        EXPECT_TRUE(NearScaled(C(*f, "Head").BoundsRect(), TRect{0, 0, 111, 16}, dpi));
        EXPECT_TRUE(NearScaled(C(*f, "Mode").BoundsRect(), TRect{8, 40, 105, 61}, dpi));
        EXPECT_TRUE(NearScaled(C(*f, "Mask").BoundsRect(), TRect{8, 118, 97, 135}, dpi));
        // The anchored button keeps its distance to the right and bottom edges, scaled.
        EXPECT_TRUE(NearScaled(C(*f, "Corner").BoundsRect(), TRect{300, 110, 383, 135}, dpi));
        EXPECT_EQ(f->ClientWidth() - C(*f, "Corner").BoundsRect().Right, ScaleForDpi(391 - 383, dpi));
        // Size limits, borders and bevels are lengths too.
        EXPECT_EQ(C(*f, "Mode").Constraints().MaxHeight, ScaleForDpi(21, dpi));
        EXPECT_EQ(static_cast<TWinControl&>(C(*f, "Wide")).BorderWidth(), ScaleForDpi(3, dpi));
        EXPECT_EQ(static_cast<TPanel&>(C(*f, "Side")).BevelExtent(), ScaleForDpi(1, dpi));
        EXPECT_EQ(static_cast<TPanel&>(C(*f, "Side")).BevelWidth(), 1) << "the stored width stays a 96-dpi one";
        // The label sizes itself to its caption in the scaled font: no text is cut.
        auto& note = C(*f, "Note");
        EXPECT_EQ(note.Width(), plat::TextExtent(note.Font(), "Scalemode:").cx);
        EXPECT_TRUE(NearScaled(TRect{note.Left(), note.Top(), note.Left(), note.Top()}, TRect{10, 24, 10, 24}, dpi));
    }
}

TEST_F(DpiTest, LayoutComesFromThe96DpiGeometryEveryTime)
{
    auto f = Load(96);
    const auto at96 = Snapshot(*f);
    auto at144 = Load(144);
    const auto fresh144 = Snapshot(*at144);
    // Back and forth between densities: no rounding builds up, and each layout is what a
    // fresh load at that density gives.
    for (int dpi : {120, 144, 192, 120, 144})
        f->ScaleToDpi(dpi);
    auto now = Snapshot(*f);
    ASSERT_EQ(now.size(), fresh144.size());
    for (std::size_t i = 1; i < now.size(); ++i) {
        EXPECT_EQ(now[i].Bounds, fresh144[i].Bounds) << i;
        EXPECT_EQ(now[i].FontHeight, fresh144[i].FontHeight) << i;
    }
    EXPECT_EQ(f->ClientWidth(), at144->ClientWidth());
    EXPECT_EQ(f->ClientHeight(), at144->ClientHeight());
    f->ScaleToDpi(96);
    now = Snapshot(*f);
    for (std::size_t i = 1; i < now.size(); ++i) {
        EXPECT_EQ(now[i].Bounds, at96[i].Bounds) << i;
        EXPECT_EQ(now[i].FontHeight, at96[i].FontHeight) << i;
    }
    EXPECT_EQ(f->ClientWidth(), 391);
}

TEST_F(DpiTest, AControlThatCodePlacedKeepsItsPlace)
{
    auto f = Load(96);
    // Sized by code to what it shows (an image at one device pixel per pixel).
    C(*f, "Wide").SetBounds(120, 7, 64, 48);
    f->ScaleToDpi(144);
    EXPECT_EQ(C(*f, "Wide").BoundsRect(), (TRect{120, 7, 184, 55}));
    EXPECT_TRUE(NearScaled(C(*f, "Mode").BoundsRect(), TRect{8, 40, 105, 61}, 144));
    // A control left where the last layout put it follows the next one.
    f->ScaleToDpi(192);
    EXPECT_TRUE(NearScaled(C(*f, "Mode").BoundsRect(), TRect{8, 40, 105, 61}, 192));
}

TEST_F(DpiTest, ShownOnAMonitorOfAnotherDensityTheFormFollowsIt)
{
    auto f = Load(96);
    f->SetModalResult(mrNone);
    const TRect suggested{200, 150, 200 + 600, 150 + 260};
    headless::PostCall([&f] { f->HandleNeeded(); });
    headless::PostDpiChange(f.get(), 144, suggested);
    headless::PostCall([&] {
        EXPECT_EQ(f->CurrentDpi(), 144);
        EXPECT_EQ(f->Font().Height(), -17);
        // The system's rectangle is taken as it is.
        EXPECT_EQ(f->BoundsRect(), suggested);
        EXPECT_TRUE(NearScaled(C(*f, "Mode").BoundsRect(), TRect{8, 40, 105, 61}, 144));
        EXPECT_EQ(static_cast<TPanel&>(C(*f, "Side")).BevelExtent(), 2);
        f->SetModalResult(mrOk);
    });
    EXPECT_EQ(f->ShowModal(), mrOk);
}

TEST_F(DpiTest, AFormGoingToAnotherMonitorBeforeItShowsIsLaidOutThere)
{
    headless::SetScreenDpi(96);
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    f->LoadFromDescription("form F: TForm\n  Bounds = 20, 20, 300, 200\n"
                           "  control B: TButton\n    Bounds = 10, 10, 80, 25\n  end\nend\n");
    ASSERT_FALSE(f->HandleAllocated());
    const int client96 = f->ClientWidth() - plat::FrameInsetsForDpi(*f, 96).Left * 2;
    // Its window appears on a 120-dpi monitor: the modal run lays the form out for it.
    headless::SetScreenDpi(120);
    headless::PostCall([&f] { f->SetModalResult(mrOk); });
    f->ShowModal();
    EXPECT_EQ(f->CurrentDpi(), 120);
    EXPECT_EQ(f->ClientWidth(), ScaleForDpi(client96, 120));
    EXPECT_EQ(f->FindComponent("B") ? static_cast<TControl*>(f->FindComponent("B"))->BoundsRect() : TRect{},
              (TRect{13, 13, 113, 44}));
}

TEST_F(DpiTest, SystemMetricsAndFramesFollowTheDensity)
{
    EXPECT_EQ(plat::HorzScrollBarHeightForDpi(96), 17);
    EXPECT_EQ(plat::HorzScrollBarHeightForDpi(144), 26);
    headless::SetHorzScrollBarHeight(16);
    EXPECT_EQ(plat::HorzScrollBarHeightForDpi(192), 32);
    auto f = Load(96);
    const TRect at96 = plat::FrameInsetsForDpi(*f, 96), at192 = plat::FrameInsetsForDpi(*f, 192);
    EXPECT_EQ(at192.Left, 2 * at96.Left);
    EXPECT_EQ(at192.Top, 2 * at96.Top);
}

// ------------------------------------------------------------------ awareness

TEST_F(DpiTest, AwarenessIsPerMonitorWhileTheScopeLivesAndRestoredAfter)
{
    headless::SetThreadDpiAwareness(headless::DpiContextSystemAware);
    {
        TDpiAwarenessScope scope;
        EXPECT_TRUE(scope.Active());
        EXPECT_EQ(headless::ThreadDpiAwareness(), headless::DpiContextPerMonitorV2);
    }
    EXPECT_EQ(headless::ThreadDpiAwareness(), headless::DpiContextSystemAware);
}

TEST_F(DpiTest, WhereVersion2IsRefusedPerMonitorServes)
{
    headless::SetDpiAwarenessSupport(headless::TDpiAwarenessSupport::PerMonitor);
    {
        TDpiAwarenessScope scope;
        EXPECT_TRUE(scope.Active());
        EXPECT_EQ(headless::ThreadDpiAwareness(), headless::DpiContextPerMonitor);
    }
    EXPECT_EQ(headless::ThreadDpiAwareness(), headless::DpiContextUnaware);
}

TEST_F(DpiTest, WithoutTheSwitchNothingChanges)
{
    headless::SetDpiAwarenessSupport(headless::TDpiAwarenessSupport::None);
    headless::SetThreadDpiAwareness(headless::DpiContextUnaware);
    TDpiAwarenessScope scope;
    EXPECT_FALSE(scope.Active());
    EXPECT_EQ(headless::ThreadDpiAwareness(), headless::DpiContextUnaware);
}

TEST_F(DpiTest, AnExceptionLeavingTheScopeRestoresTheAwareness)
{
    headless::SetThreadDpiAwareness(headless::DpiContextUnaware);
    try {
        TDpiAwarenessScope scope;
        throw std::runtime_error("dialog failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(headless::ThreadDpiAwareness(), headless::DpiContextUnaware);
}

} // namespace
