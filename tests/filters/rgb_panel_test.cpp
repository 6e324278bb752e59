#include <gtest/gtest.h>

#include <string>

#include "../toolkit/fixture.h"
#include "bitmap/bitmap32.h"
#include "bitmap/blend.h"
#include "filters/ps_rgb_panel.h"
#include "toolkit/formloader.h"
#include "toolkit/forms.h"

namespace {

class TTestPanel : public TPSRGBPanel {
public:
    using TPSRGBPanel::TPSRGBPanel;
    using TPSRGBPanel::RenderBuffer;
    // Sizes the buffer to the control and composes it, as a paint would before display.
    void Render()
    {
        FitBuffer();
        RenderBuffer();
    }
    TColor32 Px(int X, int Y) const { return Buffer()->PixelAt(X, Y); }
};

constexpr TColor32 Black = 0xFF000000u, White = 0xFFFFFFFFu;

int Ch(TColor32 C, int Shift) { return static_cast<int>((C >> Shift) & 0xFF); }
TColor32 Rgb(int R, int G, int B) { return (TColor32(R) << 16) | (TColor32(G) << 8) | TColor32(B); }

// The two weightings of the blend sets, written out per channel: W weighs X against Y.
int PlainWeigh(int X, int Y, int W) { return ((X * W + 128) >> 8) + ((Y * (255 - W) + 128) >> 8); }
int VectorWeigh(int X, int Y, int W)
{
    const int t = Y * 256 + (X - Y) * W + 128;
    return t >> 8; // t is never negative here
}

// F laid over B by F's alpha, as the installed set does it (plain: alpha 255 copies, 0 keeps).
TColor32 ExpectedBlend(TColor32 F, TColor32 B, TColorSet Set)
{
    const int a = Ch(F, 24);
    if (Set == TColorSet::Plain) {
        if (a == 255)
            return F;
        if (a == 0)
            return B;
    }
    TColor32 r = 0;
    for (int s = 0; s < 32; s += 8) {
        const int v = Set == TColorSet::Plain ? PlainWeigh(Ch(F, s), Ch(B, s), a) : VectorWeigh(Ch(F, s), Ch(B, s), a);
        r |= TColor32(v & 0xFF) << s;
    }
    return r;
}

class RGBPanelTest : public HeadlessTest, public ::testing::WithParamInterface<TColorSet> {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        InstallColorOps(GetParam());
        Panel.reset(new TTestPanel(nullptr));
    }
    void TearDown() override
    {
        Panel.reset();
        InitColorOps();
        HeadlessTest::TearDown();
    }
    TComponentPtr<TTestPanel> Panel;
};

// Tests that need one arithmetic set only.
class RGBPanelPlainTest : public RGBPanelTest {};

TEST(RGBPanelHue, WorkedValuesAtMidLightness)
{
    const struct {
        int Hue;
        TColor32 Expected;
    } cases[] = {{0, Rgb(189, 65, 65)},   {43, Rgb(187, 189, 65)},  {85, Rgb(65, 189, 65)},
                 {128, Rgb(65, 187, 189)}, {170, Rgb(65, 65, 189)}, {213, Rgb(189, 65, 187)}};
    for (const auto& c : cases)
        EXPECT_EQ(TPSRGBPanel::HueColor(static_cast<std::uint8_t>(c.Hue), 127, 127), c.Expected) << "hue " << c.Hue;
    EXPECT_EQ(TPSRGBPanel::HueColor(0, 255, 127), Rgb(253, 1, 1));
    EXPECT_EQ(TPSRGBPanel::HueColor(85, 255, 127), Rgb(1, 253, 1));
    EXPECT_EQ(TPSRGBPanel::HueColor(170, 255, 127), Rgb(1, 1, 253));
}

TEST(RGBPanelHue, GreyWithoutSaturationAndUpperLightnessBranch)
{
    EXPECT_EQ(TPSRGBPanel::HueColor(0, 0, 127), Rgb(127, 127, 127));
    EXPECT_EQ(TPSRGBPanel::HueColor(200, 0, 30), Rgb(30, 30, 30));
    // L = 200, S = 100: V = 200 + 100 - 78 - 1 = 221, M = 179.
    EXPECT_EQ(TPSRGBPanel::HueColor(0, 100, 200), Rgb(221, 179, 179));
    // Alpha is always 0.
    EXPECT_EQ(TPSRGBPanel::HueColor(128, 255, 255) >> 24, 0u);
}

TEST(RGBPanelHue, ChannelWrapsBy255)
{
    // 255 + 85 wraps to 85, not 84; -85 wraps to 170.
    EXPECT_EQ(TPSRGBPanel::HueChannel(340, 189, 65), TPSRGBPanel::HueChannel(85, 189, 65));
    EXPECT_EQ(TPSRGBPanel::HueChannel(-85, 189, 65), TPSRGBPanel::HueChannel(170, 189, 65));
    // The four segments: rising, top, falling, bottom.
    EXPECT_EQ(TPSRGBPanel::HueChannel(21, 189, 65), 65 + ((124 * 21 * 6) >> 8));
    EXPECT_EQ(TPSRGBPanel::HueChannel(100, 189, 65), 189);
    EXPECT_EQ(TPSRGBPanel::HueChannel(150, 189, 65), 65 + ((124 * 20 * 6) >> 8));
    EXPECT_EQ(TPSRGBPanel::HueChannel(200, 189, 65), 65);
}

TEST_P(RGBPanelTest, ConstructorValues)
{
    EXPECT_STREQ(Panel->ClassName(), "TPSRGBPanel");
    EXPECT_EQ(Panel->BevelContrast(), 50);
    EXPECT_EQ(Panel->BevelSize(), 2);
    EXPECT_EQ(Panel->ColorFrom(), Black);
    EXPECT_EQ(Panel->ColorTo(), White);
    EXPECT_EQ(Panel->Saturation(), 127);
    EXPECT_EQ(Panel->GradType(), gtHorz);
    EXPECT_FALSE(Panel->FlipGradient());
    EXPECT_EQ(Panel->BevelStyle(), TBevelStyle::bsSolid);
    EXPECT_FALSE(Panel->TablesValid());
}

TEST_P(RGBPanelTest, HorizontalGradientAcross256Columns)
{
    Panel->SetBounds(0, 0, 256, 4);
    Panel->SetBevelContrast(0);
    Panel->Render();
    ASSERT_EQ(Panel->Buffer()->Width(), 256);
    EXPECT_EQ(Panel->Px(0, 0), Black);
    for (int i : {1, 64, 128, 200, 254, 255}) {
        // White over black with weight i.
        TColor32 e;
        if (GetParam() == TColorSet::Plain && i == 255) {
            e = White; // the plain combine returns the first colour whole at full weight
        } else if (GetParam() == TColorSet::Plain) {
            const int c = PlainWeigh(255, 0, i), a = PlainWeigh(255, 255, i);
            e = (TColor32(a) << 24) | Rgb(c, c, c);
        } else {
            const int c = VectorWeigh(255, 0, i);
            e = 0xFF000000u | Rgb(c, c, c);
        }
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(Panel->Px(i, y), e) << "column " << i << " row " << y;
    }
}

TEST_P(RGBPanelTest, VerticalGradientFillsRows)
{
    Panel->SetBounds(0, 0, 5, 10);
    Panel->SetGradType(gtVert);
    Panel->SetColorFrom(0xFFFF0000u);
    Panel->SetColorTo(0xFF0000FFu);
    Panel->SetBevelContrast(0);
    Panel->Render();
    EXPECT_EQ(Panel->Px(0, 0), 0xFFFF0000u);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(Panel->Px(x, y), Panel->GradientTable()[y]) << x << "," << y;
    // Towards blue downwards.
    EXPECT_GT(Ch(Panel->Px(0, 9), 0), Ch(Panel->Px(0, 1), 0));
    EXPECT_LT(Ch(Panel->Px(0, 9), 16), Ch(Panel->Px(0, 1), 16));
}

TEST_P(RGBPanelTest, UnsaturatedSpectrumIsGreyInTheMiddleColumn)
{
    Panel->SetBounds(0, 0, 31, 20);
    Panel->SetGradType(gtVertRGB);
    Panel->SetSaturation(0);
    Panel->SetColorFrom(0xFFFF0000u);
    Panel->SetColorTo(0xFF00FF00u);
    Panel->SetBevelContrast(0);
    Panel->Render();
    for (TColor32 c : Panel->GradientTable())
        ASSERT_EQ(c, Rgb(127, 127, 127));
    ASSERT_EQ(Panel->FadeTable().size(), 31u);
    EXPECT_EQ(Panel->FadeTable()[15], 0);
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(Panel->Px(15, y) & 0xFFFFFFu, Rgb(127, 127, 127)) << "row " << y;
    // The edges carry the two wash colours.
    EXPECT_EQ(Panel->Px(0, 5), ExpectedBlend(0xFFFF0000u, Rgb(127, 127, 127), GetParam()));
    EXPECT_EQ(Panel->Px(30, 5), ExpectedBlend((TColor32(254) << 24) | 0x00FF00u, Rgb(127, 127, 127), GetParam()));
}

TEST_P(RGBPanelTest, FlipRunsTheHueBackwards)
{
    Panel->SetBounds(0, 0, 8, 256);
    Panel->SetGradType(gtVertRGB);
    Panel->SetBevelContrast(0);
    Panel->Render();
    EXPECT_EQ(Panel->GradientTable()[1], TPSRGBPanel::HueColor(1, 127, 127));
    Panel->SetFlipGradient(true);
    Panel->Render();
    const auto& t = Panel->GradientTable();
    EXPECT_EQ(t[0], TPSRGBPanel::HueColor(0, 127, 127));
    EXPECT_EQ(t[1], TPSRGBPanel::HueColor(255, 127, 127));
    EXPECT_EQ(t[255], TPSRGBPanel::HueColor(1, 127, 127));
    // Column 4 is the middle (no wash): the buffer shows the table itself.
    EXPECT_EQ(Panel->Px(4, 1), TPSRGBPanel::HueColor(255, 127, 127));
}

TEST_P(RGBPanelTest, EqualValuesChangeNothing)
{
    Panel->SetBounds(0, 0, 20, 20);
    Panel->Render();
    ASSERT_TRUE(Panel->TablesValid());
    ASSERT_TRUE(Panel->BufferIsCurrent());
    Panel->SetBevelContrast(50);
    Panel->SetBevelSize(2);
    Panel->SetColorFrom(Black);
    Panel->SetColorTo(White);
    Panel->SetSaturation(127);
    Panel->SetGradType(gtHorz);
    Panel->SetFlipGradient(false);
    Panel->SetBevelStyle(TBevelStyle::bsSolid);
    EXPECT_TRUE(Panel->TablesValid());
    EXPECT_TRUE(Panel->BufferIsCurrent());

    const std::function<void()> changes[] = {
        [&] { Panel->SetBevelContrast(51); },    [&] { Panel->SetBevelSize(3); },
        [&] { Panel->SetColorFrom(0xFF000001u); }, [&] { Panel->SetColorTo(0xFEFFFFFFu); },
        [&] { Panel->SetSaturation(128); },      [&] { Panel->SetGradType(gtVertRGB); },
        [&] { Panel->SetFlipGradient(true); },   [&] { Panel->SetBevelStyle(TBevelStyle::bsFrame); },
    };
    int n = 0;
    for (const auto& change : changes) {
        Panel->Render();
        change();
        EXPECT_FALSE(Panel->TablesValid()) << "change " << n;
        EXPECT_FALSE(Panel->BufferIsCurrent()) << "change " << n;
        ++n;
    }
}

TEST_P(RGBPanelTest, ZeroContrastDrawsNoBevelInAnyStyle)
{
    Panel->SetBounds(0, 0, 16, 12);
    Panel->SetColorFrom(0xFF3070B0u);
    Panel->SetColorTo(0xFFC09010u);
    Panel->SetBevelSize(3);
    for (TBevelStyle s : {TBevelStyle::bsSolid, TBevelStyle::bsTransient, TBevelStyle::bsFrame}) {
        Panel->SetBevelStyle(s);
        Panel->SetBevelContrast(0);
        Panel->Render();
        const auto& t = Panel->GradientTable();
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(Panel->Px(x, y), t[x]) << "style " << int(s) << " at " << x << "," << y;
        // With contrast the edge changes: the comparison above can tell.
        Panel->SetBevelContrast(40);
        Panel->Render();
        EXPECT_NE(Panel->Px(5, 0), t[5]) << "style " << int(s);
    }
}

TEST_P(RGBPanelTest, BevelRingsLimitedToHalfTheSmallerSide)
{
    Panel->SetBounds(0, 0, 40, 9);
    Panel->SetColorFrom(0xFFFF0000u);
    Panel->SetColorTo(0xFF00FF00u);
    Panel->SetBevelStyle(TBevelStyle::bsFrame);
    Panel->SetBevelSize(10);
    Panel->Render();
    // 9 div 2 = 4 rings: rows 0..3 and 5..8 and columns 0..3 and 36..39 are black.
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool ring = y < 4 || y > 4 || x < 4 || x > 35;
            if (ring)
                ASSERT_EQ(Panel->Px(x, y), Black) << x << "," << y;
            else
                ASSERT_EQ(Panel->Px(x, y), Panel->GradientTable()[x]) << x << "," << y;
        }
}

TEST_P(RGBPanelTest, LineDialogPanel)
{
    Panel->SetBounds(0, 0, 95, 132);
    Panel->SetGradType(gtVertRGB);
    Panel->SetColorFrom(White);
    Panel->SetColorTo(Black);
    Panel->SetSaturation(127);
    Panel->SetBevelStyle(TBevelStyle::bsFrame);
    Panel->SetBevelSize(1);
    Panel->Render();
    ASSERT_EQ(Panel->Buffer()->Width(), 95);
    ASSERT_EQ(Panel->Buffer()->Height(), 132);
    for (int x = 0; x < 95; ++x) {
        EXPECT_EQ(Panel->Px(x, 0), Black);
        EXPECT_EQ(Panel->Px(x, 131), Black);
    }
    for (int y = 0; y < 132; ++y) {
        EXPECT_EQ(Panel->Px(0, y), Black);
        EXPECT_EQ(Panel->Px(94, y), Black);
    }
    const auto& fade = Panel->FadeTable();
    ASSERT_EQ(fade.size(), 95u);
    EXPECT_EQ(fade[1], 250);
    EXPECT_EQ(fade[47], 0);
    EXPECT_EQ(fade[93], 248);
    for (int y = 1; y < 131; ++y) {
        const TColor32 hue = TPSRGBPanel::HueColor(static_cast<std::uint8_t>(y * 256 / 132), 127, 127);
        ASSERT_EQ(Panel->GradientTable()[y], hue);
        EXPECT_EQ(Panel->Px(1, y), ExpectedBlend(0xFAFFFFFFu, hue, GetParam())) << "row " << y;
        EXPECT_EQ(Panel->Px(47, y), hue) << "row " << y;
        EXPECT_EQ(Panel->Px(93, y), ExpectedBlend(0xF8000000u, hue, GetParam())) << "row " << y;
    }
    // Nearly white on the left, nearly black on the right.
    EXPECT_GE(Ch(Panel->Px(1, 60), 16), 249);
    EXPECT_LE(Ch(Panel->Px(93, 60), 16), 8);
}

TEST_P(RGBPanelTest, HorizontalSpectrumWashesRows)
{
    Panel->SetBounds(0, 0, 20, 10);
    Panel->SetGradType(gtHorzRGB);
    Panel->SetColorFrom(0xFF102030u);
    Panel->SetColorTo(0xFFE0D0C0u);
    Panel->SetBevelContrast(0);
    Panel->Render();
    const auto& t = Panel->GradientTable();
    ASSERT_EQ(t.size(), 20u);
    ASSERT_EQ(Panel->FadeTable().size(), 10u);
    EXPECT_EQ(Panel->FadeTable()[9], 203); // 255 * 9 div 5 = 459, less 256
    for (int x = 0; x < 20; ++x) {
        EXPECT_EQ(t[x], TPSRGBPanel::HueColor(static_cast<std::uint8_t>(x * 256 / 20), 127, 127));
        EXPECT_EQ(Panel->Px(x, 0), ExpectedBlend(0xFF102030u, t[x], GetParam()));
        EXPECT_EQ(Panel->Px(x, 5), t[x]);
        EXPECT_EQ(Panel->Px(x, 9), ExpectedBlend(0xCBE0D0C0u, t[x], GetParam()));
    }
}

TEST_P(RGBPanelTest, ThinPanelShowsTheBareSpectrum)
{
    Panel->SetBounds(0, 0, 1, 30);
    Panel->SetGradType(gtVertRGB);
    Panel->SetBevelContrast(0);
    Panel->Render();
    EXPECT_TRUE(Panel->FadeTable().empty());
    for (int y = 0; y < 30; ++y)
        EXPECT_EQ(Panel->Px(0, y), Panel->GradientTable()[y]);
    // Empty panels render without touching anything outside the one-pixel buffer.
    Panel->SetBounds(0, 0, 0, 0);
    Panel->Render();
    EXPECT_TRUE(Panel->GradientTable().empty());
    Panel->SetGradType(gtHorz);
    Panel->SetBounds(0, 0, 0, 7);
    Panel->Render();
    EXPECT_TRUE(Panel->GradientTable().empty());
}

TEST_P(RGBPanelTest, ResizeRebuildsTablesAtOnce)
{
    Panel->SetGradType(gtVertRGB);
    EXPECT_FALSE(Panel->TablesValid());
    Panel->SetBounds(0, 0, 12, 40);
    EXPECT_TRUE(Panel->TablesValid());
    EXPECT_EQ(Panel->GradientTable().size(), 40u);
    EXPECT_EQ(Panel->FadeTable().size(), 12u);
    Panel->SetBounds(0, 0, 30, 25);
    EXPECT_EQ(Panel->GradientTable().size(), 25u);
    EXPECT_EQ(Panel->FadeTable().size(), 30u);
    EXPECT_FALSE(Panel->BufferIsCurrent());
}

TEST_P(RGBPanelPlainTest, TransientBevelShadesTowardsTheFarEdges)
{
    Panel->SetBounds(0, 0, 10, 10);
    Panel->SetBevelStyle(TBevelStyle::bsTransient);
    Panel->SetBevelSize(1);
    Panel->SetBevelContrast(50); // weight 128
    Panel->Render();
    // Entry 5 is 0xFF808080. Bottom: black at alpha 5 * 255 div 10 = 127, weight
    // (129 * 127) shr 8 = 63 -> 96. Top: white at alpha 128, weight 64 -> 160. Colours only.
    EXPECT_EQ(Panel->GradientTable()[5], 0xFF808080u);
    EXPECT_EQ(Panel->Px(5, 9), Rgb(96, 96, 96));
    EXPECT_EQ(Panel->Px(5, 0), Rgb(160, 160, 160));
    // Interior untouched.
    EXPECT_EQ(Panel->Px(5, 5), 0xFF808080u);
    // The right edge darkens more further down.
    EXPECT_LT(Ch(Panel->Px(9, 8), 0), Ch(Panel->Px(9, 2), 0));

    Panel->SetBevelContrast(-50);
    Panel->Render();
    EXPECT_GT(Ch(Panel->Px(5, 9), 0), 0x80);
    EXPECT_LT(Ch(Panel->Px(5, 0), 0), 0x80);
}

INSTANTIATE_TEST_SUITE_P(Sets, RGBPanelTest, ::testing::Values(TColorSet::Plain, TColorSet::Vector));
INSTANTIATE_TEST_SUITE_P(Sets, RGBPanelPlainTest, ::testing::Values(TColorSet::Plain));

const char* const PanelForm = R"(
form PanelForm: TForm
  control RGBPanel1: TPSRGBPanel
    Bounds = 4, 6, 95, 132
    BevelSize = 1
    BevelContrast = -20
    ColorFrom = -1
    ColorTo = -16777216
    Saturation = 200
    GradType = gtVertRGB
    FlipGradient = true
    BevelStyle = bsFrame
    OnMouseDown = PanelDown
  end
end
)";

class RGBPanelFormTest : public HeadlessTest {};

TEST_F(RGBPanelFormTest, StoredFormBuildsThePanel)
{
    RegisterRGBPanelKind();
    RegisterRGBPanelKind(); // twice is harmless
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    int downX = -1;
    f->RegisterHandler("PanelDown", [&](TObject*, TMouseButton, TShiftState, int X, int) { downX = X; });
    TPSRGBPanel* p = nullptr;
    f->RegisterField("RGBPanel1", p);
    f->LoadFromDescription(PanelForm);
    f->BindFields();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Width(), 95);
    EXPECT_EQ(p->BevelSize(), 1);
    EXPECT_EQ(p->BevelContrast(), -20);
    EXPECT_EQ(p->ColorFrom(), 0xFFFFFFFFu);
    EXPECT_EQ(p->ColorTo(), 0xFF000000u);
    EXPECT_EQ(p->Saturation(), 200);
    EXPECT_EQ(p->GradType(), gtVertRGB);
    EXPECT_TRUE(p->FlipGradient());
    EXPECT_EQ(p->BevelStyle(), TBevelStyle::bsFrame);
    ASSERT_TRUE(p->OnMouseDown);
    p->OnMouseDown(p, mbLeft, TShiftState{}, 17, 3);
    EXPECT_EQ(downX, 17);
}

TEST_F(RGBPanelFormTest, StoredFormsMayGiveOnlyThePublishedNames)
{
    RegisterRGBPanelKind();
    const TControlKind* panel = FindControlKind("TPSRGBPanel");
    ASSERT_NE(panel, nullptr);
    for (const char* name : {"BevelContrast", "GradType", "Cursor", "Visible", "Align", "Anchors", "Constraints.MinHeight"})
        EXPECT_NE(panel->FindProperty(name), nullptr) << name;
    for (const char* name : {"OnClick", "OnDblClick", "OnMouseMove", "OnResize"})
        EXPECT_NE(panel->FindEvent(name), nullptr) << name;
    EXPECT_EQ(panel->FindProperty("Color"), nullptr);
    EXPECT_EQ(panel->FindProperty("TabStop"), nullptr);
    EXPECT_EQ(panel->FindEvent("OnMouseWheel"), nullptr);
    EXPECT_EQ(panel->FindEvent("OnPaint"), nullptr);
}

} // namespace
