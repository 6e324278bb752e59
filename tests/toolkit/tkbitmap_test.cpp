// Toolkit bitmaps, icons and pictures, and their exchange with TBitmap32.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap/bitmap32.h"
#include "bitmap/low_level.h"
#include "fixture.h"
#include "toolkit/tkbitmap.h"

namespace {

using TkBitmapTest = HeadlessTest;

std::uint32_t Le(const std::vector<std::uint8_t>& B, std::size_t At, int Bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < Bytes; ++i)
        v |= static_cast<std::uint32_t>(B[At + i]) << (8 * i);
    return v;
}

// Distinct colour per position, so a mixed-up row or column shows.
TColor Probe(int X, int Y) { return static_cast<TColor>(((X * 37 + 11) & 0xFF) | ((Y * 53 + 7) & 0xFF) << 8 | ((X + Y) * 29 & 0xFF) << 16); }

void Paint(TBitmap& B)
{
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            B.Canvas()->SetPixel(x, y, Probe(x, y));
}

std::vector<std::uint8_t> Saved(TBitmap& B)
{
    TMemoryStream s;
    B.SaveToStream(s);
    return s.Bytes();
}

// A graphic that is neither bitmap nor icon: a filled left half.
class THalfGraphic : public TGraphic {
public:
    VP_CLASS_NAME(THalfGraphic)
    int Width() const override { return 4; }
    int Height() const override { return 2; }
    void Draw(TCanvas& Canvas, const TRect& R) override
    {
        Canvas.Brush.Color = clRed;
        Canvas.FillRect(TRect{R.Left, R.Top, R.Left + (R.Right - R.Left) / 2, R.Bottom});
    }
};

} // namespace

TEST_F(TkBitmapTest, RowsRunBottomUpAndArePadded)
{
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(3, 4);
    Paint(b);
    EXPECT_EQ(b.ScanLine(3), b.Store().Bits);
    const auto* r0 = static_cast<std::uint8_t*>(b.ScanLine(0));
    const auto* r1 = static_cast<std::uint8_t*>(b.ScanLine(1));
    EXPECT_EQ(r0 - r1, 12); // 9 bytes padded to 12
    for (int x = 0; x < 3; ++x) {
        const std::uint32_t rgb = static_cast<std::uint32_t>(Probe(x, 0));
        EXPECT_EQ(r0[3 * x], (rgb >> 16) & 0xFF); // blue first
        EXPECT_EQ(r0[3 * x + 1], (rgb >> 8) & 0xFF);
        EXPECT_EQ(r0[3 * x + 2], rgb & 0xFF);
    }
    EXPECT_THROW(b.ScanLine(4), EInvalidOperation);
    EXPECT_THROW(b.ScanLine(-1), EInvalidOperation);
}

TEST_F(TkBitmapTest, ResizeAndFormatChangesKeepPixels)
{
    TBitmap b;
    b.SetPixelFormat(pf32bit);
    b.SetSize(3, 3);
    Paint(b);
    b.SetWidth(5);
    b.SetHeight(2);
    ASSERT_EQ(b.Width(), 5);
    ASSERT_EQ(b.Height(), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(b.Canvas()->Pixel(x, y), Probe(x, y));
        EXPECT_EQ(b.Canvas()->Pixel(4, y), 0);
    }
    b.SetPixelFormat(pf24bit);
    EXPECT_EQ(b.BitsPerPixel(), 24);
    EXPECT_EQ(b.Canvas()->Pixel(2, 1), Probe(2, 1));
    b.SetSize(0, 0);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Canvas()->Pixel(0, 0), -1);
}

TEST_F(TkBitmapTest, CanvasDrawingReachesTheRows)
{
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(6, 4);
    b.Canvas()->Brush.Color = clBlue;
    b.Canvas()->FillRect(TRect{1, 1, 3, 3});
    const auto* row1 = static_cast<std::uint8_t*>(b.ScanLine(1));
    EXPECT_EQ(row1[3], 0xFF); // blue byte of (1, 1)
    EXPECT_EQ(row1[4], 0);
    EXPECT_EQ(row1[9], 0);    // (3, 1) untouched
    EXPECT_EQ(b.Canvas()->Pixel(2, 2), clBlue);
    EXPECT_EQ(b.Canvas()->Pixel(0, 0), clBlack);
}

TEST_F(TkBitmapTest, WritesTheBmpLayout)
{
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(5, 3);
    Paint(b);
    const auto f = Saved(b);
    const std::size_t stride = 16; // 15 bytes padded
    ASSERT_EQ(f.size(), 54 + stride * 3);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(Le(f, 2, 4), f.size());
    EXPECT_EQ(Le(f, 10, 4), 54u);
    EXPECT_EQ(Le(f, 14, 4), 40u);
    EXPECT_EQ(Le(f, 18, 4), 5u);
    EXPECT_EQ(Le(f, 22, 4), 3u);
    EXPECT_EQ(Le(f, 26, 2), 1u);
    EXPECT_EQ(Le(f, 28, 2), 24u);
    EXPECT_EQ(Le(f, 34, 4), stride * 3);
    for (int y = 0; y < 3; ++y) {
        const std::size_t row = 54 + stride * static_cast<std::size_t>(2 - y);
        for (int x = 0; x < 5; ++x) {
            const std::uint32_t rgb = static_cast<std::uint32_t>(Probe(x, y));
            EXPECT_EQ(Le(f, row + 3 * x, 3), ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16)) << x << "," << y;
        }
        EXPECT_EQ(f[row + 15], 0) << "padding of row " << y;
    }
    TBitmap empty;
    EXPECT_EQ(Saved(empty).size(), 54u);
}

TEST_F(TkBitmapTest, DeviceBitmapsUseTheScreenDepth)
{
    TBitmap b; // device-dependent by default
    EXPECT_EQ(b.HandleType(), bmDDB);
    b.SetSize(3, 2);
    Paint(b);
    EXPECT_EQ(Le(Saved(b), 28, 2), 32u);

    headless::SetScreenDepth(16);
    TBitmap s;
    s.SetSize(3, 2);
    s.Canvas()->SetPixel(0, 1, 0xFF0000); // blue at bottom-left: the first pixel of the file
    s.Canvas()->SetPixel(1, 1, 0x0000F8); // red, bits 7..3 only
    const auto f = Saved(s);
    EXPECT_EQ(Le(f, 28, 2), 16u);
    ASSERT_EQ(f.size(), 54u + 8 * 2);
    EXPECT_EQ(Le(f, 54, 2), 0x001Fu);
    EXPECT_EQ(Le(f, 56, 2), 0x7C00u);
    // Rows need a device-independent bitmap, which keeps the pixels.
    s.ScanLine(0);
    EXPECT_EQ(s.HandleType(), bmDIB);
    EXPECT_EQ(s.PixelFormat(), pf16bit);
    EXPECT_EQ(s.Canvas()->Pixel(0, 1), 0xFF0000);
}

TEST_F(TkBitmapTest, TwentyFourBitSourceBecomesOpaque)
{
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(3, 2);
    Paint(b);
    TBitmap32 d;
    d.Assign(&b);
    ASSERT_EQ(d.Width(), 3);
    ASSERT_EQ(d.Height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(d.PixelAt(x, y), ColorFromSystem(Probe(x, y)));
}

TEST_F(TkBitmapTest, ThirtyTwoBitSourceKeepsItsAlpha)
{
    TBitmap b;
    b.SetPixelFormat(pf32bit);
    b.SetSize(2, 2);
    auto* row = static_cast<std::uint32_t*>(b.ScanLine(1));
    row[0] = 0x12345678;
    row[1] = 0x00ABCDEF;
    TBitmap32 d;
    d.Assign(&b);
    EXPECT_EQ(d.PixelAt(0, 1), 0x12345678u);
    EXPECT_EQ(d.PixelAt(1, 1), 0x00ABCDEFu);
    EXPECT_EQ(d.PixelAt(0, 0), 0u);
}

TEST_F(TkBitmapTest, TransparentColourPixelsGetAlphaZero)
{
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(3, 1);
    const TColor face = SysColor(COLOR_INDEX_BTNFACE);
    b.Canvas()->SetPixel(0, 0, face);
    b.Canvas()->SetPixel(1, 0, 0x102030);
    b.Canvas()->SetPixel(2, 0, face);
    b.Transparent = true;
    b.TransparentColor = face;
    TBitmap32 d;
    d.Assign(&b);
    const TColor32 key = ColorFromSystem(face) & 0xFFFFFF;
    EXPECT_EQ(d.PixelAt(0, 0), key);
    EXPECT_EQ(d.PixelAt(1, 0), ColorFromSystem(0x102030));
    EXPECT_EQ(d.PixelAt(2, 0), key);

    // No colour given: the bottom-left pixel names it.
    b.TransparentColor = clNone;
    b.Canvas()->SetPixel(0, 0, 0x102030);
    d.Assign(&b);
    EXPECT_EQ(d.PixelAt(0, 0) >> 24, 0u);
    EXPECT_EQ(d.PixelAt(1, 0) >> 24, 0u);
    EXPECT_EQ(d.PixelAt(2, 0), ColorFromSystem(face));
}

TEST_F(TkBitmapTest, PictureIconAlphaComesFromTheTwoRenderings)
{
    TPicture p;
    TIcon* icon = p.Icon();
    icon->SetSize(3, 2);
    icon->SetColorAt(0, 0, clRed);
    icon->SetColorAt(1, 0, clWhite); // agrees with the white background only
    icon->SetColorAt(2, 1, 0x00FF00);
    TBitmap32 d;
    d.SetSize(7, 7);
    d.Assign(&p);
    ASSERT_EQ(d.Width(), 3);
    ASSERT_EQ(d.Height(), 2);
    EXPECT_EQ(d.PixelAt(0, 0), 0xFFFF0000u);
    EXPECT_EQ(d.PixelAt(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(d.PixelAt(2, 1), 0xFF00FF00u);
    EXPECT_EQ(d.PixelAt(2, 0), 0x00FFFFFFu); // background: colour of the white rendering
    EXPECT_EQ(d.PixelAt(0, 1), 0x00FFFFFFu);
}

TEST_F(TkBitmapTest, OtherGraphicsAreDrawnAndMadeOpaque)
{
    TIcon icon;
    icon.SetSize(2, 1);
    icon.SetColorAt(1, 0, clBlue);
    TBitmap32 d;
    d.Assign(&icon); // a bare icon is just another graphic
    EXPECT_EQ(d.PixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(d.PixelAt(1, 0), 0xFF0000FFu);

    TPicture p;
    p.SetGraphic(std::make_unique<THalfGraphic>());
    d.Assign(&p);
    ASSERT_EQ(d.Width(), 4);
    EXPECT_EQ(d.PixelAt(1, 1), 0xFFFF0000u);
    EXPECT_EQ(d.PixelAt(2, 1), 0xFF000000u);

    TPicture empty;
    d.Assign(&empty);
    EXPECT_TRUE(d.IsEmpty());
}

TEST_F(TkBitmapTest, PictureHoldingABitmapIsAssignedAsThatBitmap)
{
    TPicture p;
    TBitmap* b = p.Bitmap();
    b->SetPixelFormat(pf24bit);
    b->SetSize(2, 2);
    Paint(*b);
    b->Transparent = true;
    b->TransparentColor = Probe(1, 1);
    TBitmap32 d;
    d.Assign(&p);
    EXPECT_EQ(d.PixelAt(0, 0), ColorFromSystem(Probe(0, 0)));
    EXPECT_EQ(d.PixelAt(1, 1), ColorFromSystem(Probe(1, 1)) & 0xFFFFFF);
}

TEST_F(TkBitmapTest, UnknownObjectsReachTheFallback)
{
    TFont font;
    TBitmap32 d;
    d.SetSize(2, 2);
    try {
        d.Assign(&font);
        FAIL() << "assigned a font";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TFont to a TBitmap32");
    }
    try {
        font.Assign(&d);
        FAIL() << "assigned to a font";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TBitmap32 to a TFont");
    }
}

TEST_F(TkBitmapTest, AssignToMakesAThirtyTwoBitDib)
{
    TBitmap32 s;
    s.SetSize(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            s.SetPixelAt(x, y, 0x01020304u * static_cast<TColor32>(1 + x + 3 * y));
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.Assign(&s);
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    ASSERT_EQ(b.Width(), 3);
    ASSERT_EQ(b.Height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(y))[x], s.PixelAt(x, y));

    TPicture p;
    p.Assign(&s);
    ASSERT_NE(dynamic_cast<TBitmap*>(p.Graphic()), nullptr);
    EXPECT_EQ(p.Width(), 3);
    EXPECT_EQ(static_cast<std::uint32_t*>(p.Bitmap()->ScanLine(1))[2], s.PixelAt(2, 1));

    TBitmap32 empty;
    b.Assign(&empty);
    EXPECT_TRUE(b.Empty());
}

TEST_F(TkBitmapTest, BothWritersGiveTheSameBytes)
{
    for (int w : {1, 2, 3, 5, 7}) {
        for (int h : {1, 4}) {
            // From a TBitmap32 to a toolkit bitmap ...
            TBitmap32 s;
            s.SetSize(w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    s.SetPixelAt(x, y, static_cast<TColor32>(0x9E3779B9u * static_cast<unsigned>(x * 31 + y + 1)));
            TMemoryStream direct;
            s.SaveAsBmpStream(direct);
            TBitmap b;
            b.Assign(&s);
            EXPECT_EQ(Saved(b), direct.Bytes()) << w << "x" << h;
            // ... and from a toolkit bitmap to a TBitmap32.
            TBitmap t;
            t.SetPixelFormat(pf32bit);
            t.SetSize(w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    static_cast<std::uint32_t*>(t.ScanLine(y))[x] = 0x01000193u * static_cast<unsigned>(x + 7 * y + 3);
            TBitmap32 u;
            u.Assign(&t);
            TMemoryStream back;
            u.SaveAsBmpStream(back);
            EXPECT_EQ(back.Bytes(), Saved(t)) << w << "x" << h;
        }
    }
}

TEST_F(TkBitmapTest, GraphicsAndPicturesSizeAMap)
{
    TBitmap32 d;
    TBitmap b;
    b.SetSize(4, 3);
    d.SetSizeFrom(&b);
    EXPECT_EQ(d.Width(), 4);
    EXPECT_EQ(d.Height(), 3);
    TPicture p;
    p.Icon()->SetSize(2, 5);
    d.SetSizeFrom(&p);
    EXPECT_EQ(d.Width(), 2);
    EXPECT_EQ(d.Height(), 5);
    TPicture copy;
    copy.Assign(&p);
    ASSERT_NE(dynamic_cast<TIcon*>(copy.Graphic()), nullptr);
    EXPECT_EQ(copy.Height(), 5);
    EXPECT_NE(copy.Graphic(), p.Graphic());
}

TEST_F(TkBitmapTest, ModuleWideObjects)
{
    TBitmap* pattern = PatternBitmap();
    ASSERT_NE(pattern, nullptr);
    EXPECT_EQ(pattern, PatternBitmap());
    EXPECT_EQ(pattern->Width(), 8);
    EXPECT_EQ(pattern->Height(), 8);
    EXPECT_NE(StockSystemFont(), nullptr);
    EXPECT_FALSE(TBitmap32().FontSelected());
}
