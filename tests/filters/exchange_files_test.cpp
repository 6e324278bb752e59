#include "filters/exchange_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "../bridge/fake_image_host.h"
#include "bridge/filter_graphic.h"
#include "bridge/selection_mask.h"
#include "base/headless/files.h"
#include "toolkit/headless/headless.h"
#include "temp_drive_root.h"
#include "toolkit/tkbitmap.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::uint32_t LE32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t LE16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }

struct Header {
    std::uint32_t FileSize, Offset, InfoSize, Width, Height, ImageSize;
    std::uint16_t Planes, Bits;
};
Header HeaderOf(const Bytes& b)
{
    return Header{LE32(b, 2), LE32(b, 10), LE32(b, 14), LE32(b, 18), LE32(b, 22), LE32(b, 34), LE16(b, 26), LE16(b, 28)};
}

Bytes MaskBytes(const TBitmap32& mask, int w, int h, int bits)
{
    TMemoryStream s;
    WriteMaskBmp(s, mask, w, h, bits);
    return s.Bytes();
}

// Red byte of mask-file pixel (x, y) in a file of the given depth and size.
std::uint8_t RedAt(const Bytes& file, int bits, int w, int h, int x, int y)
{
    const std::size_t stride = (static_cast<std::size_t>(w) * bits / 8 + 3) / 4 * 4;
    return file.at(54 + static_cast<std::size_t>(h - 1 - y) * stride + static_cast<std::size_t>(x) * bits / 8 + 2);
}

// A fresh drive root for each test, the screen back at 32 bits afterwards.
class ExchangeFilesTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ClearHeadlessFileRules();
        headless::SetScreenDepth(32);
    }
    fs::path ImagePath() const { return Drive.DriveC() / "tarnwickstudiorgb_dovrane.bmp"; }
    fs::path MaskPath() const { return Drive.DriveC() / "tarnwickstudioa_dovrane.bmp"; }
    static Bytes Read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    // Only the expected files, no temporary left behind.
    std::vector<std::string> FilesOnC() const { return Drive.FilesOnC(); }

    TTempDriveRoot Drive{"exchange"};
};

TEST_F(ExchangeFilesTest, ImageFileOfThreeByTwoIs78BytesBottomRowFirst)
{
    TBitmap32 image;
    image.SetSize(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.SetPixelAt(x, y, 0x00302010u + static_cast<TColor32>(y * 0x40 + x) * 0x01000001u);
    WriteImageExchangeFile(image);
    const Bytes file = Read(ImagePath());
    ASSERT_EQ(file.size(), 78u);
    const Header h = HeaderOf(file);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(h.FileSize, 78u);
    EXPECT_EQ(h.Offset, 54u);
    EXPECT_EQ(h.InfoSize, 40u);
    EXPECT_EQ(h.Width, 3u);
    EXPECT_EQ(h.Height, 2u);
    EXPECT_EQ(h.Planes, 1);
    EXPECT_EQ(h.Bits, 32);
    EXPECT_EQ(h.ImageSize, 24u);
    // Odd width, still 12 bytes a row: the first row stored is y = 1, as the words lie.
    EXPECT_EQ(LE32(file, 54), image.PixelAt(0, 1));
    EXPECT_EQ(LE32(file, 54 + 8), image.PixelAt(2, 1));
    EXPECT_EQ(LE32(file, 54 + 12), image.PixelAt(0, 0));
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"tarnwickstudiorgb_dovrane.bmp"}));
}

TEST_F(ExchangeFilesTest, HostPlanesReachTheImageFileInTheirOwnByteOrder)
{
    fake_image_host::Host host(3, 2, 3);
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 image;
    image.Assign(&graphic);
    WriteImageExchangeFile(image);
    const Bytes file = Read(ImagePath());
    ASSERT_EQ(file.size(), 78u);
    // Pixel (0, 1) first: red, green, blue as the host's planes 0, 1, 2; fourth byte 0.
    EXPECT_EQ(file[54], host.At(0, 1, 0));
    EXPECT_EQ(file[55], host.At(0, 1, 1));
    EXPECT_EQ(file[56], host.At(0, 1, 2));
    EXPECT_EQ(file[57], 0);
}

TEST_F(ExchangeFilesTest, NoSelectionGivesAPureRedMask)
{
    TBitmap32 mask; // 0 x 0: every position is outside and counts as alpha 0
    for (int bits : {32, 24}) {
        const Bytes file = MaskBytes(mask, 5, 3, bits);
        const std::size_t stride = bits == 32 ? 20 : 16;
        ASSERT_EQ(file.size(), 54 + stride * 3);
        const Header h = HeaderOf(file);
        EXPECT_EQ(h.Bits, bits);
        EXPECT_EQ(h.ImageSize, stride * 3);
        EXPECT_EQ(h.FileSize, file.size());
        for (int y = 0; y < 3; ++y) {
            const std::uint8_t* row = file.data() + 54 + y * stride;
            for (int x = 0; x < 5; ++x) {
                const std::uint8_t* px = row + x * (bits / 8);
                EXPECT_EQ(px[0], 0);
                EXPECT_EQ(px[1], 0);
                EXPECT_EQ(px[2], 255);
                if (bits == 32) {
                    EXPECT_EQ(px[3], 0);
                }
            }
            for (std::size_t pad = 5 * (bits / 8); pad < stride; ++pad)
                EXPECT_EQ(row[pad], 0) << "padding";
        }
    }
}

TEST_F(ExchangeFilesTest, SelectionValuesBecomeTheRedChannel)
{
    fake_image_host::Host host(3, 2, 3);
    const Bytes selection{255, 0, 64, 1, 128, 200};
    host.SetMask(selection);
    TBitmap32 mask;
    ImportSelectionMask(mask, 0xFF808080);
    for (int bits : {32, 24}) {
        const Bytes file = MaskBytes(mask, 3, 2, bits);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(RedAt(file, bits, 3, 2, x, y), selection[y * 3 + x]) << bits << " " << x << "," << y;
    }
}

TEST_F(ExchangeFilesTest, PositionsOutsideTheMaskAreRed)
{
    // The host image is larger than the filter rectangle the mask covers.
    fake_image_host::Host host(4, 3, 3);
    host.Record.filterRect = Rect16{0, 0, 2, 2};
    host.SetMask({0, 10, 20, 30});
    TBitmap32 mask;
    ImportSelectionMask(mask, 0);
    TPSFilterGraphic graphic(&host.Record);
    const Bytes file = MaskBytes(mask, graphic.Width(), graphic.Height(), 32);
    ASSERT_EQ(HeaderOf(file).Width, 4u);
    ASSERT_EQ(HeaderOf(file).Height, 3u);
    EXPECT_EQ(RedAt(file, 32, 4, 3, 0, 0), 0);
    EXPECT_EQ(RedAt(file, 32, 4, 3, 1, 1), 30);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            if (x >= 2 || y >= 2) {
                EXPECT_EQ(RedAt(file, 32, 4, 3, x, y), 255) << x << "," << y;
            }
}

TEST_F(ExchangeFilesTest, EmptyImageGivesHeadersOnly)
{
    TBitmap32 mask;
    for (auto size : {std::pair{0, 4}, std::pair{-2, 3}}) {
        const Bytes file = MaskBytes(mask, size.first, size.second, 32);
        ASSERT_EQ(file.size(), 54u);
        EXPECT_EQ(HeaderOf(file).Width, 0u);
        EXPECT_EQ(HeaderOf(file).FileSize, 54u);
    }
}

TEST_F(ExchangeFilesTest, MaskFileFollowsTheScreenDepth)
{
    EXPECT_EQ(MaskFileBitsPerPixel(32), 32);
    EXPECT_EQ(MaskFileBitsPerPixel(24), 24);
    EXPECT_EQ(MaskFileBitsPerPixel(16), 32);
    TBitmap32 mask;
    headless::SetScreenDepth(24);
    WriteMaskExchangeFile(mask, 3, 2);
    Bytes file = Read(MaskPath());
    EXPECT_EQ(file.size(), 54u + 2 * 12);
    EXPECT_EQ(HeaderOf(file).Bits, 24);
    headless::SetScreenDepth(32);
    WriteMaskExchangeFile(mask, 3, 2);
    file = Read(MaskPath());
    EXPECT_EQ(file.size(), 78u);
    EXPECT_EQ(HeaderOf(file).Bits, 32);
}

TEST_F(ExchangeFilesTest, SecondRunOverwritesBothFiles)
{
    TBitmap32 image, mask;
    image.SetSize(4, 4);
    image.Clear(0x11111111);
    WriteExchangeFiles(image, mask, 4, 4);
    ASSERT_EQ(Read(ImagePath()).size(), 54u + 64);
    ASSERT_EQ(Read(MaskPath()).size(), 54u + 64);

    image.SetSize(2, 1);
    image.Clear(0x22222222);
    mask.SetSize(2, 1);
    mask.Clear(0xFF000000); // unselected everywhere: red 0
    WriteExchangeFiles(image, mask, 2, 1);
    const Bytes img = Read(ImagePath()), msk = Read(MaskPath());
    ASSERT_EQ(img.size(), 62u);
    EXPECT_EQ(LE32(img, 54), 0x22222222u);
    ASSERT_EQ(msk.size(), 62u);
    EXPECT_EQ(msk[56], 0);
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"tarnwickstudioa_dovrane.bmp", "tarnwickstudiorgb_dovrane.bmp"}));
}

TEST_F(ExchangeFilesTest, ImageFailureLeavesTheMaskUnwritten)
{
    // A folder where the image file belongs: the rename onto it fails.
    fs::create_directories(ImagePath() / "occupied");
    TBitmap32 image, mask;
    image.SetSize(2, 2);
    EXPECT_THROW(WriteExchangeFiles(image, mask, 2, 2), Exception);
    EXPECT_FALSE(fs::exists(MaskPath()));
    EXPECT_TRUE(fs::is_directory(ImagePath()));
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"tarnwickstudiorgb_dovrane.bmp"}));
}

TEST_F(ExchangeFilesTest, FailedWriteKeepsTheEarlierFileWhole)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full to fail the writes";
    TBitmap32 image;
    image.SetSize(3, 3);
    image.Clear(0xAAAAAAAA);
    WriteImageExchangeFile(image);
    const Bytes earlier = Read(ImagePath());
    ASSERT_EQ(earlier.size(), 54u + 36);

    // Every write of the next attempt runs out of space.
    const fs::path temp = ImagePath().string() + ".tmp";
    fs::create_symlink("/dev/full", temp);
    image.SetSize(300, 300);
    EXPECT_THROW(WriteImageExchangeFile(image), Exception);
    EXPECT_EQ(Read(ImagePath()), earlier);
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"tarnwickstudiorgb_dovrane.bmp"}));
}

// The root of drive C to a user without elevation: no new files, but the existing ones may
// be rewritten. With both files there they get this run's bytes; without them nothing is
// written and the error names the image file.
TEST_F(ExchangeFilesTest, DriveRootThatRefusesNewFiles)
{
    TBitmap32 image, mask;
    image.SetSize(3, 2);
    image.Clear(0x12345678);
    mask.SetSize(3, 2);
    mask.Clear(0x40000000);
    WriteExchangeFiles(image, mask, 3, 2);
    const Bytes wantImage = Read(ImagePath()), wantMask = Read(MaskPath());
    ASSERT_EQ(wantImage.size(), 78u);

    std::ofstream(ImagePath(), std::ios::binary) << std::string(500, 'o'); // longer than the new ones
    std::ofstream(MaskPath(), std::ios::binary) << "old";
    SetHeadlessFolderRefusesNewFiles("c:\\", true);
    WriteExchangeFiles(image, mask, 3, 2);
    EXPECT_EQ(Read(ImagePath()), wantImage);
    EXPECT_EQ(Read(MaskPath()), wantMask);
    EXPECT_EQ(FilesOnC(), (std::vector<std::string>{"tarnwickstudioa_dovrane.bmp", "tarnwickstudiorgb_dovrane.bmp"}));

    fs::remove(ImagePath());
    fs::remove(MaskPath());
    try {
        WriteExchangeFiles(image, mask, 3, 2);
        ADD_FAILURE() << "nothing raised";
    } catch (const EFCreateError& e) {
        EXPECT_STREQ(e.what(), "Cannot create file \"c:\\tarnwickstudiorgb_dovrane.bmp\"");
    }
    EXPECT_TRUE(FilesOnC().empty());
}

} // namespace

namespace {

// The mask file written the toolkit's way: a device bitmap of the screen's format whose
// canvas pixels are set column by column, then saved by the toolkit bitmap.
Bytes MaskBytesThroughToolkitBitmap(const TBitmap32& mask, int w, int h)
{
    TBitmap b;
    b.SetWidth(w);
    b.SetHeight(h);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            b.Canvas()->SetPixel(x, y, static_cast<TColor>(255 - (mask.PixelClipped(x, y) >> 24)));
    TMemoryStream s;
    b.SaveToStream(s);
    return s.Bytes();
}

TEST(MaskFileWriters, DirectWriterMatchesTheToolkitBitmapAtBothDepths)
{
    for (int depth : {32, 24}) {
        headless::SetScreenDepth(depth);
        for (int w : {1, 3, 5, 8}) {
            for (int h : {1, 2, 5}) {
                // A mask smaller than the image, so the clipped read's red 255 shows too.
                TBitmap32 mask;
                mask.SetSize(std::max(1, w - 1), std::max(1, h - 1));
                for (int y = 0; y < mask.Height(); ++y)
                    for (int x = 0; x < mask.Width(); ++x)
                        mask.SetPixelAt(x, y, static_cast<TColor32>((x * 40 + y * 90 + 7) & 0xFF) << 24);
                EXPECT_EQ(MaskBytes(mask, w, h, MaskFileBitsPerPixel(depth)), MaskBytesThroughToolkitBitmap(mask, w, h))
                    << depth << " bits, " << w << "x" << h;
            }
        }
    }
    headless::SetScreenDepth(32);
}

// The mask file's rows against the clipped read pixel by pixel, over images that span several
// chunks of rows: clip rectangles that leave whole rows and columns outside, outer
// colours that are not clear, masks smaller and larger than the image, both depths.
TEST(MaskFileWriters, RowsMatchTheClippedReadAcrossChunks)
{
    const std::uint32_t seed = 0x5EED3301u;
    std::mt19937 rnd(seed);
    for (int n = 0; n < 12; ++n) {
        const int bits = n % 3 == 2 ? 24 : 32;
        const int w = 1500 + static_cast<int>(rnd() % 1600), h = 150 + static_cast<int>(rnd() % 250);
        TBitmap32 mask;
        if (n % 6 != 5) { // one in six: no mask at all
            mask.SetSize(w - 200 + static_cast<int>(rnd() % 400), h - 50 + static_cast<int>(rnd() % 100));
            for (int y = 0; y < mask.Height(); ++y)
                for (int x = 0; x < mask.Width(); ++x)
                    mask.SetPixelAt(x, y, static_cast<TColor32>(rnd()));
            if (n % 2 == 1) {
                const int l = static_cast<int>(rnd() % 300), t = static_cast<int>(rnd() % 100);
                mask.SetClipRect(TRect{l, t, l + static_cast<int>(rnd() % 1500), t + static_cast<int>(rnd() % 200)});
            }
        }
        mask.SetOuterColor(n % 4 == 0 ? 0u : static_cast<TColor32>(rnd()));
        const Bytes file = MaskBytes(mask, w, h, bits);
        const std::size_t stride = (static_cast<std::size_t>(w) * bits / 8 + 3) / 4 * 4;
        ASSERT_EQ(file.size(), 54 + stride * h);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* row = file.data() + 54 + static_cast<std::size_t>(h - 1 - y) * stride;
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* px = row + static_cast<std::size_t>(x) * bits / 8;
                const auto red = static_cast<std::uint8_t>(255 - (mask.PixelClipped(x, y) >> 24));
                ASSERT_TRUE(px[0] == 0 && px[1] == 0 && px[2] == red && (bits == 24 || px[3] == 0))
                    << "seed " << std::hex << seed << std::dec << " case " << n << " pixel " << x << "," << y;
            }
            for (std::size_t i = static_cast<std::size_t>(w) * bits / 8; i < stride; ++i)
                ASSERT_EQ(row[i], 0) << "padding, case " << n << " row " << y;
        }
    }
}

} // namespace
