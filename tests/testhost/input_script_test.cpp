// The test host's input scripts and its drawing reference.
#include <gtest/gtest.h>

#include "bitmap/bitmap32.h"
#include "input_script.h"

namespace {

TEST(InputScript, ParsesEveryCommandWithEitherSeparator)
{
    std::vector<InputCommand> c;
    std::string error;
    ASSERT_TRUE(ParseInputScript("wait 200; click RGBPanel 40 60 | drag Image 1,2 3,4 -5,6;"
                                 "  key - escape ;key cmbMode down| shot a.bmp; check-preview Image 0 47",
                                 c, error))
        << error;
    ASSERT_EQ(c.size(), 7u);
    EXPECT_EQ(c[0].Verb, "wait");
    EXPECT_EQ(c[0].Numbers, (std::vector<int>{200}));
    EXPECT_EQ(c[1].Target, "RGBPanel");
    EXPECT_EQ(c[1].Numbers, (std::vector<int>{40, 60}));
    EXPECT_EQ(c[2].Numbers, (std::vector<int>{1, 2, 3, 4, -5, 6}));
    EXPECT_EQ(c[3].Target, "");
    EXPECT_EQ(c[3].Text, "escape");
    EXPECT_EQ(c[4].Target, "cmbMode");
    EXPECT_EQ(c[5].Text, "a.bmp");
    EXPECT_EQ(c[6].Verb, "check-preview");
}

TEST(InputScript, RefusesMalformedCommands)
{
    for (const char* bad : {"jump 1", "click Image 4", "click Image a 4", "drag Image 1,2", "drag Image 1,2 3",
                            "key - space", "wait -1", "shot", "wait 20000"}) {
        std::vector<InputCommand> c;
        std::string error;
        EXPECT_FALSE(ParseInputScript(bad, c, error)) << bad;
        EXPECT_NE(error.find("bad input command"), std::string::npos) << bad;
    }
}

// Vertical tab and form feed are whitespace to the word split too: a command of nothing else
// is blank and skipped, like one of spaces.
TEST(InputScript, CommandsOfOtherWhitespaceAreBlank)
{
    for (const char* blank : {"\v", "\f", "\v\f \t", ";\v;", "\f|\v"}) {
        std::vector<InputCommand> c;
        std::string error;
        EXPECT_TRUE(ParseInputScript(blank, c, error)) << error;
        EXPECT_TRUE(c.empty());
    }
    std::vector<InputCommand> c;
    std::string error;
    ASSERT_TRUE(ParseInputScript("\vwait\v5\f;\v\f;\fkey\t-\venter\v", c, error)) << error;
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].Verb, "wait");
    EXPECT_EQ(c[0].Numbers, (std::vector<int>{5}));
    EXPECT_EQ(c[1].Verb, "key");
    EXPECT_EQ(c[1].Text, "enter");
    EXPECT_FALSE(ParseInputScript("wait 5;\vjump\f", c, error));
    EXPECT_NE(error.find("bad input command"), std::string::npos);
}

HostImage Grey(int W, int H, std::uint8_t V)
{
    HostImage img;
    img.Width = W;
    img.Height = H;
    img.Channels = 3;
    img.Pixels.assign(static_cast<std::size_t>(W) * H * 3, V);
    return img;
}

TEST(DrawingReference, AcceptsExactlyTheStrokesDrawnFromTheCentredPreview)
{
    const HostImage before = Grey(8, 6, 100);
    // A 20 x 10 preview shows the 8 x 6 image at (6, 2); this stroke is the row y = 1 from
    // x = 1 to 4, the end left out.
    Stroke s;
    s.ClientWidth = 20;
    s.ClientHeight = 10;
    s.Points = {{7, 3}, {10, 3}};
    HostImage after = before;
    for (int x = 1; x <= 3; ++x)
        for (int k = 0; k < 3; ++k)
            after.At(x, 1)[k] = k == 0 ? 255 : 0;  // opaque pen, plane 0 full
    std::string report;
    EXPECT_TRUE(MatchesDrawing(before, after, {s}, 0xFF0000FFu, false, report)) << report;
    EXPECT_NE(report.find("3 pixels drawn"), std::string::npos) << report;

    after.At(4, 1)[0] = 255;  // the end point too: no longer the reference
    EXPECT_FALSE(MatchesDrawing(before, after, {s}, 0xFF0000FFu, false, report));
    EXPECT_NE(report.find("(4, 1) plane 0"), std::string::npos) << report;
    EXPECT_FALSE(MatchesDrawing(before, before, {s}, 0xFF0000FFu, true, report));
    EXPECT_FALSE(MatchesDrawing(before, Grey(8, 5, 100), {s}, 0xFF0000FFu, true, report));
}

TEST(DrawingReference, PanelColourIsTheDialogsPanel)
{
    // The one-pixel frame is black; inside, the spectrum is no grey.
    EXPECT_EQ(PanelColourAt(0, 0, 127) & 0xFFFFFFu, 0u);
    EXPECT_EQ(PanelColourAt(94, 131, 127) & 0xFFFFFFu, 0u);
    const std::uint32_t c = PanelColourAt(47, 30, 127);
    EXPECT_FALSE((c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == ((c >> 16) & 0xFF));
    // Saturation 0 leaves the grey 127 in the middle column.
    EXPECT_EQ(PanelColourAt(47, 60, 0) & 0xFFFFFFu, 0x7F7F7Fu);
}

} // namespace
