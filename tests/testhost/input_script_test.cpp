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
                                 "  key - escape ;key cmbMode down| shot a.bmp; check-preview Image 0 47|"
                                 "mark-display | check-display 2275 | check-strokes Image",
                                 c, error))
        << error;
    ASSERT_EQ(c.size(), 10u);
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
    EXPECT_EQ(c[7].Verb, "mark-display");
    EXPECT_EQ(c[8].Numbers, (std::vector<int>{2275}));
    EXPECT_EQ(c[9].Verb, "check-strokes");
    EXPECT_EQ(c[9].Target, "Image");
}

TEST(InputScript, WindowListsTakeAFileABaseAndWindowsOfTheirOwnSize)
{
    std::vector<InputCommand> c;
    std::string error;
    ASSERT_TRUE(ParseInputScript("windows a.txt | dpi-change 144 | windows b.txt a.txt ImgView Image", c, error))
        << error;
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].Verb, "windows");
    EXPECT_EQ(c[0].Text, "a.txt");
    EXPECT_TRUE(c[0].Names.empty());
    EXPECT_EQ(c[1].Numbers, (std::vector<int>{144}));
    EXPECT_EQ(c[2].Text, "b.txt");
    EXPECT_EQ(c[2].Names, (std::vector<std::string>{"a.txt", "ImgView", "Image"}));
    // The target stays empty: the file names are no windows to look up.
    EXPECT_EQ(c[2].Target, "");
}

TEST(InputScript, RefusesMalformedCommands)
{
    for (const char* bad : {"jump 1", "click Image 4", "click Image a 4", "drag Image 1,2", "drag Image 1,2 3",
                            "key - space", "wait -1", "shot", "wait 20000", "check-strokes",
                            "check-strokes Image 3", "mark-display 1", "check-display", "check-display -1",
                            "windows", "dpi-change", "dpi-change 20", "dpi-change 144 2", "dpi-change high"}) {
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

// A preview's client area as a shot shows it: silver around the image, which is centred.
HostImage ClientShowing(const TBitmap32& Picture, int W, int H)
{
    HostImage client = Grey(W, H, 0xC0);
    const int ox = (W - Picture.Width()) / 2, oy = (H - Picture.Height()) / 2;
    for (int y = 0; y < Picture.Height(); ++y)
        for (int x = 0; x < Picture.Width(); ++x)
            if (x + ox >= 0 && y + oy >= 0 && x + ox < W && y + oy < H)
                for (int k = 0; k < 3; ++k)
                    client.At(x + ox, y + oy)[k] = static_cast<std::uint8_t>(Picture.PixelAt(x, y) >> (8 * k));
    return client;
}

TEST(DrawingReference, StrokesShownOnThePreviewWhereverTheImageLies)
{
    HostImage before = MakeTestCard(30, 20);
    Stroke s;
    s.ClientWidth = 50;
    s.ClientHeight = 40; // the image at (10, 10)
    s.Points = {{12, 12}, {30, 25}, {36, 14}};
    StrokeCheck check;
    check.ShownRight = 50;
    check.ShownBottom = 40;
    check.Strokes = {s};
    TBitmap32 drawn;
    DrawReference(before, check.Strokes, 0xFF2040F0u, true, drawn);
    check.Client = ClientShowing(drawn, 50, 40);
    std::string report;
    EXPECT_TRUE(StrokesShown(before, check, 0xFF2040F0u, true, report)) << report;
    EXPECT_NE(report.find("600 pixels shown"), std::string::npos) << report;

    // The strokes not shown yet: the first stroke pixel names the difference.
    TBitmap32 plain;
    DrawReference(before, {}, 0, true, plain);
    check.Client = ClientShowing(plain, 50, 40);
    EXPECT_FALSE(StrokesShown(before, check, 0xFF2040F0u, true, report));
    EXPECT_NE(report.find("image pixel (2, 2) at preview (12, 12)"), std::string::npos) << report;
    // Aliased is another picture.
    check.Client = ClientShowing(drawn, 50, 40);
    EXPECT_FALSE(StrokesShown(before, check, 0xFF2040F0u, false, report));

    // A preview smaller than the image shows its middle; only that is compared.
    Stroke inside;
    inside.ClientWidth = 20;
    inside.ClientHeight = 10; // the image at (-5, -5)
    inside.Points = {{2, 2}, {15, 8}};
    check.Strokes = {inside};
    DrawReference(before, check.Strokes, 0xFF000000u, false, drawn);
    check.Client = ClientShowing(drawn, 20, 10);
    EXPECT_TRUE(StrokesShown(before, check, 0xFF000000u, false, report)) << report;
    EXPECT_NE(report.find("200 pixels shown"), std::string::npos) << report;
    check.Client.At(19, 9)[1] ^= 1;
    EXPECT_FALSE(StrokesShown(before, check, 0xFF000000u, false, report));
    EXPECT_NE(report.find("(24, 14) at preview (19, 9) shows"), std::string::npos) << report;
    // Past the screen's right edge the window shows nothing: those columns are not judged.
    check.ShownRight = 19;
    EXPECT_TRUE(StrokesShown(before, check, 0xFF000000u, false, report)) << report;
    EXPECT_NE(report.find("190 pixels shown"), std::string::npos) << report;
    check.Client = Grey(0, 0, 0);
    check.Client.Channels = 3;
    EXPECT_FALSE(StrokesShown(before, check, 0xFF000000u, false, report));
    EXPECT_EQ(report, "no pixel of the image lies on the preview");
}

// The plain-line judge knows nothing of the bitmap's line routines: the routines' own
// drawing passes it, and drawings a broken routine would make fail it.
HostImage Picture(const TBitmap32& Drawn)
{
    HostImage out = Grey(Drawn.Width(), Drawn.Height(), 0);
    for (int y = 0; y < Drawn.Height(); ++y)
        for (int x = 0; x < Drawn.Width(); ++x)
            for (int k = 0; k < 3; ++k)
                out.At(x, y)[k] = static_cast<std::uint8_t>(Drawn.PixelAt(x, y) >> (8 * k));
    return out;
}

bool Covered(const HostImage& Before, const std::vector<Stroke>& Strokes, std::uint32_t Pen, const HostImage& After,
             std::string& Report)
{
    return StrokesCovered(
        Before, Strokes, Pen, &After,
        [](const void* C, int X, int Y, std::uint8_t* Rgb) {
            HostImage& a = *const_cast<HostImage*>(static_cast<const HostImage*>(C));
            std::copy(a.At(X, Y), a.At(X, Y) + 3, Rgb);
            return true;
        },
        Report);
}

TEST(DrawingReference, PlainLineJudgeCatchesABrokenLineRoutine)
{
    const HostImage before = Grey(40, 30, 200);
    Stroke s;
    s.ClientWidth = 40;
    s.ClientHeight = 30; // the image fills the preview
    s.Points = {{5, 5}, {30, 12}, {25, 26}, {3, 20}, {3, 8}};
    const std::uint32_t pen = 0xFF102030u;
    std::string report;
    for (const bool smooth : {false, true}) {
        SCOPED_TRACE(smooth ? "smooth" : "aliased");
        TBitmap32 drawn;
        DrawReference(before, {s}, pen, smooth, drawn);
        const HostImage good = Picture(drawn);
        EXPECT_TRUE(Covered(before, {s}, pen, good, report)) << report;
        EXPECT_NE(report.find("steps of the segments covered"), std::string::npos) << report;

        // Nothing drawn at all.
        EXPECT_FALSE(Covered(before, {s}, pen, before, report));
        EXPECT_NE(report.find("nothing drawn at or beside image pixel (6, 5)"), std::string::npos) << report;
        // Every fourth column left out of the first segment: a line with gaps.
        HostImage gaps = good;
        for (int x = 8; x < 30; x += 4)
            for (int y = 0; y < 11; ++y)
                std::copy(before.Pixels.begin(), before.Pixels.begin() + 3, gaps.At(x, y));
        EXPECT_FALSE(Covered(before, {s}, pen, gaps, report));
        EXPECT_NE(report.find("nothing drawn"), std::string::npos) << report;
        // The whole drawing two rows too low.
        Stroke low = s;
        for (auto& p : low.Points) p.second += 2;
        TBitmap32 shifted;
        DrawReference(before, {low}, pen, smooth, shifted);
        EXPECT_FALSE(Covered(before, {s}, pen, Picture(shifted), report));
        // Only half of the segments drawn.
        Stroke half = s;
        half.Points.resize(3);
        TBitmap32 part;
        DrawReference(before, {half}, pen, smooth, part);
        EXPECT_FALSE(Covered(before, {s}, pen, Picture(part), report));
        EXPECT_NE(report.find("of the segment (25, 26)-(3, 20)"), std::string::npos) << report;
        // A pixel changed far from every stroke.
        HostImage stray = good;
        stray.At(20, 20)[0] = 0;
        EXPECT_FALSE(Covered(before, {s}, pen, stray, report));
        EXPECT_EQ(report, "image pixel (20, 20) changed, away from every stroke");
    }
    // A pen that cannot show is no pass: there is nothing to judge.
    EXPECT_FALSE(Covered(before, {s}, 0x10102030u, before, report));
    EXPECT_EQ(report, "no step of the strokes could show the pen");
    EXPECT_FALSE(Covered(before, {s}, 0xFFC8C8C8u, before, report)) << "the image's own colour";
    // Points alone (a click) have nothing inside them to judge, and pass unchanged.
    Stroke click = s;
    click.Points = {{7, 7}, {8, 8}};
    EXPECT_TRUE(Covered(before, {click}, pen, before, report)) << report;
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
