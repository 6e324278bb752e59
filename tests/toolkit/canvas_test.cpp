#include <gtest/gtest.h>

#include <string>

#include "toolkit/headless/canvas.h"

namespace {

constexpr TColor32 W = 0xFFFFFFFF, K = 0xFF000000, R = 0xFFFF0000, B = 0xFF0000FF;

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Bitmap.SetSize(8, 6);
        Bitmap.Clear(W);
    }
    // The bitmap as rows of characters: '.' white, '#' black, 'r' red, 'b' blue, '?' other.
    std::string Picture() const
    {
        std::string s;
        for (int y = 0; y < Bitmap.Height(); ++y) {
            for (int x = 0; x < Bitmap.Width(); ++x) {
                TColor32 c = Bitmap.PixelAt(x, y);
                s += c == W ? '.' : c == K ? '#' : c == R ? 'r' : c == B ? 'b' : '?';
            }
            s += '\n';
        }
        return s;
    }
    TBitmap32 Bitmap;
    THeadlessCanvas Canvas{Bitmap};
};

TEST_F(CanvasTest, PixelsConvertBetweenColourWords)
{
    Canvas.SetPixel(1, 2, 0x00332211); // toolkit colour 0x00BBGGRR
    EXPECT_EQ(Bitmap.PixelAt(1, 2), 0xFF112233u);
    EXPECT_EQ(Canvas.Pixel(1, 2), 0x00332211);
    Canvas.SetPixel(-1, 0, clBlack); // outside: ignored
    Canvas.SetPixel(8, 0, clBlack);
    EXPECT_EQ(Canvas.Pixel(8, 0), -1);
    EXPECT_EQ(Canvas.Handle(), &Bitmap);
    // System colours resolve through the platform's table.
    Canvas.SetPixel(0, 0, clBtnFace);
    std::uint32_t face = SystemColorRGB(COLOR_INDEX_BTNFACE);
    EXPECT_EQ(static_cast<std::uint32_t>(Canvas.Pixel(0, 0)), face);
}

TEST_F(CanvasTest, FillRectIsClippedAndExclusive)
{
    Canvas.Brush.Color = clRed;
    Canvas.FillRect(TRect{-2, 4, 3, 9});
    Canvas.Brush.Color = clBlack;
    Canvas.FillRect(TRect{5, 1, 5, 3}); // empty
    Canvas.FillRect(TRect{6, 3, 4, 1}); // inverted: nothing
    Canvas.Brush.Style = bsClear;
    Canvas.FillRect(TRect{0, 0, 8, 6});
    EXPECT_EQ(Picture(), "........\n"
                         "........\n"
                         "........\n"
                         "........\n"
                         "rrr.....\n"
                         "rrr.....\n");
}

TEST_F(CanvasTest, FillRectHonoursTheBitmapClipRect)
{
    Bitmap.SetClipRect(TRect{2, 1, 4, 3});
    Canvas.Brush.Color = clBlack;
    Canvas.FillRect(TRect{0, 0, 8, 6});
    Canvas.SetPixel(0, 0, clBlack);
    EXPECT_EQ(Picture(), "........\n"
                         "..##....\n"
                         "..##....\n"
                         "........\n"
                         "........\n"
                         "........\n");
}

TEST_F(CanvasTest, PatternBrushAlignsToTheOrigin)
{
    const std::uint8_t checker[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    Canvas.Brush.Color = clBlack;
    Canvas.Brush.SetPattern(checker, clRed);
    Canvas.FillRect(TRect{1, 1, 5, 3});
    // Row 1 uses pattern row 0x55, row 2 uses 0xAA; bit 7 is column 0.
    EXPECT_EQ(Picture(), "........\n"
                         ".#r#r...\n"
                         ".r#r#...\n"
                         "........\n"
                         "........\n"
                         "........\n");
}

TEST_F(CanvasTest, FrameRectDrawsOnePixelOutline)
{
    Canvas.Brush.Color = clBlue;
    Canvas.FrameRect(TRect{1, 1, 5, 4});
    EXPECT_EQ(Picture(), "........\n"
                         ".bbbb...\n"
                         ".b..b...\n"
                         ".bbbb...\n"
                         "........\n"
                         "........\n");
}

TEST_F(CanvasTest, LinesLeaveOutTheEndPoint)
{
    Canvas.Pen.Color = clBlack;
    Canvas.MoveTo(0, 0);
    Canvas.LineTo(4, 0);
    Canvas.LineTo(4, 4);
    Canvas.Pen.Color = clRed;
    Canvas.Polyline({{7, 5}, {5, 3}});
    EXPECT_EQ(Canvas.PenPos, (TPoint{5, 3}));
    // (4, 0) is left out by the first line and drawn as the start of the second.
    EXPECT_EQ(Picture(), "#####...\n"
                         "....#...\n"
                         "....#...\n"
                         "....#...\n"
                         "......r.\n"
                         ".......r\n");
}

TEST_F(CanvasTest, ClearPenDrawsNothingButMoves)
{
    Canvas.Pen.Style = psClear;
    Canvas.MoveTo(0, 0);
    Canvas.LineTo(7, 5);
    EXPECT_EQ(Canvas.PenPos, (TPoint{7, 5}));
    EXPECT_EQ(Picture().find_first_not_of(".\n"), std::string::npos);
}

TEST_F(CanvasTest, PolygonFillsInteriorAndOutlines)
{
    Canvas.Brush.Color = clRed;
    Canvas.Pen.Color = clBlack;
    Canvas.Polygon({{1, 1}, {6, 1}, {6, 5}, {1, 5}});
    EXPECT_EQ(Picture(), "........\n"
                         ".######.\n"
                         ".#rrrr#.\n"
                         ".#rrrr#.\n"
                         ".#rrrr#.\n"
                         ".######.\n");
}

TEST_F(CanvasTest, PolygonWithClearPenFillsHalfOpenTriangle)
{
    Canvas.Brush.Color = clBlack;
    Canvas.Pen.Style = psClear;
    Canvas.Polygon({{0, 0}, {4, 0}, {0, 4}});
    // Pixels count when their centre lies inside; centres on the slanted edge do not.
    EXPECT_EQ(Picture(), "###.....\n"
                         "##......\n"
                         "#.......\n"
                         "........\n"
                         "........\n"
                         "........\n");
}

TEST_F(CanvasTest, FocusRectIsDottedAndUndoesItself)
{
    Canvas.DrawFocusRect(TRect{0, 0, 5, 4});
    EXPECT_EQ(Picture(), "#.#.#...\n"
                         "........\n"
                         "#...#...\n"
                         ".#.#....\n"
                         "........\n"
                         "........\n");
    Canvas.DrawFocusRect(TRect{0, 0, 5, 4});
    EXPECT_EQ(Picture().find_first_not_of(".\n"), std::string::npos);
}

TEST_F(CanvasTest, EdgesUseButtonColoursAndAdjust)
{
    Bitmap.Clear(K);
    TRect r{0, 0, 4, 4};
    Canvas.DrawEdge(r, EdgeSunken, SideRect | SideAdjust);
    EXPECT_EQ(r, (TRect{2, 2, 2, 2}));
    auto sys = [](int i) { return THeadlessCanvas::ToColor32(SysColor(i)); };
    EXPECT_EQ(Bitmap.PixelAt(0, 0), sys(COLOR_INDEX_BTNSHADOW));
    EXPECT_EQ(Bitmap.PixelAt(3, 3), sys(COLOR_INDEX_BTNHIGHLIGHT));
    EXPECT_EQ(Bitmap.PixelAt(1, 1), sys(COLOR_INDEX_3DDKSHADOW));
    EXPECT_EQ(Bitmap.PixelAt(2, 2), sys(COLOR_INDEX_3DLIGHT));
    TRect top{0, 5, 8, 6};
    Bitmap.Clear(K);
    Canvas.DrawEdge(top, EdgeRaisedOuter, SideTop);
    EXPECT_EQ(top, (TRect{0, 5, 8, 6})); // no adjust asked for
    EXPECT_EQ(Bitmap.PixelAt(7, 5), sys(COLOR_INDEX_3DLIGHT));
    EXPECT_EQ(Bitmap.PixelAt(0, 4), K);
}

} // namespace
