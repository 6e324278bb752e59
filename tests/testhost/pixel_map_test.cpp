// The host's reading of the pixel maps the module shows: strides, bounds, grey images and the
// maps it refuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pixel_map.h"

namespace {

// A map over Bytes: pixels ColBytes apart, planes PlaneBytes apart, rows RowBytes apart.
PSPixelMap Map(std::vector<std::uint8_t>& Bytes, VRect Bounds, int RowBytes, int ColBytes, int PlaneBytes) {
    PSPixelMap m{};
    m.bounds = Bounds;
    m.imageMode = plugInModeRGBColor;
    m.rowBytes = RowBytes;
    m.colBytes = ColBytes;
    m.planeBytes = PlaneBytes;
    m.baseAddr = Bytes.data();
    return m;
}

TEST(PixelMap, ModulesBufferLayoutShowsPlanesAsRedGreenBlue) {
    // Two rows of two 32-bit pixels, plane k in byte k: the module's buffer.
    std::vector<std::uint8_t> bytes = {0x10, 0x20, 0x30, 0xFF, 0x11, 0x21, 0x31, 0xFF,
                                       0x12, 0x22, 0x32, 0xFF, 0x13, 0x23, 0x33, 0xFF};
    PSPixelMap m = Map(bytes, VRect{0, 0, 2, 2}, 8, 4, 1);
    VRect all{0, 0, 2, 2};
    ShownPixels out;
    ASSERT_TRUE(ReadPixelMap(&m, &all, out));
    EXPECT_EQ(out.Width, 2);
    EXPECT_EQ(out.Height, 2);
    EXPECT_EQ(out.Bgrx, (std::vector<std::uint32_t>{0x102030, 0x112131, 0x122232, 0x132333}));
    VRect last{1, 1, 2, 2};
    ASSERT_TRUE(ReadPixelMap(&m, &last, out));
    EXPECT_EQ(out.Bgrx, (std::vector<std::uint32_t>{0x132333}));
}

TEST(PixelMap, StridesAndBoundsOfTheMapAreHonoured) {
    // Planar layout (planes 6 bytes apart), 3-byte row padding, bounds starting at (10, 20).
    std::vector<std::uint8_t> bytes(2 * 6 * 3, 0);
    const int rowBytes = 3, planeBytes = 6;
    auto put = [&](int Row, int Col, std::uint8_t R, std::uint8_t G, std::uint8_t B) {
        std::size_t at = static_cast<std::size_t>(Row) * rowBytes + Col;
        bytes[at] = R;
        bytes[at + planeBytes] = G;
        bytes[at + 2 * planeBytes] = B;
    };
    put(0, 0, 1, 2, 3);
    put(0, 1, 4, 5, 6);
    put(1, 1, 7, 8, 9);
    PSPixelMap m = Map(bytes, VRect{10, 20, 12, 22}, rowBytes, 1, planeBytes);
    VRect right{10, 21, 12, 22};
    ShownPixels out;
    ASSERT_TRUE(ReadPixelMap(&m, &right, out));
    EXPECT_EQ(out.Width, 1);
    EXPECT_EQ(out.Height, 2);
    EXPECT_EQ(out.Bgrx, (std::vector<std::uint32_t>{0x040506, 0x070809}));
}

TEST(PixelMap, GreyImagesRepeatTheFirstPlane) {
    std::vector<std::uint8_t> bytes = {0x40, 0x99, 0x77, 0xFF};
    PSPixelMap m = Map(bytes, VRect{0, 0, 1, 1}, 4, 4, 1);
    m.imageMode = plugInModeGrayScale;
    VRect all{0, 0, 1, 1};
    ShownPixels out;
    ASSERT_TRUE(ReadPixelMap(&m, &all, out));
    EXPECT_EQ(out.Bgrx, (std::vector<std::uint32_t>{0x404040}));
}

TEST(PixelMap, RefusesWhatCannotBeReadSafely) {
    std::vector<std::uint8_t> bytes(4 * 4 * 3, 0);
    const PSPixelMap good = Map(bytes, VRect{0, 0, 3, 4}, 16, 4, 1);
    const VRect all{0, 0, 3, 4};
    ShownPixels out;
    ASSERT_TRUE(ReadPixelMap(&good, &all, out));
    EXPECT_FALSE(ReadPixelMap(nullptr, &all, out));
    EXPECT_FALSE(ReadPixelMap(&good, nullptr, out));
    for (VRect r : {VRect{-1, 0, 3, 4}, VRect{0, 0, 4, 4}, VRect{0, 0, 3, 5}, VRect{1, 1, 1, 3}, VRect{2, 3, 1, 2}})
        EXPECT_FALSE(ReadPixelMap(&good, &r, out)) << r.top << "," << r.left << "," << r.bottom << "," << r.right;
    PSPixelMap m = good;
    m.version = 1;
    EXPECT_FALSE(ReadPixelMap(&m, &all, out));
    m = good;
    m.baseAddr = nullptr;
    EXPECT_FALSE(ReadPixelMap(&m, &all, out));
    m = good;
    m.rowBytes = 15;  // rows would overlap
    EXPECT_FALSE(ReadPixelMap(&m, &all, out));
    m = good;
    m.colBytes = 0;
    EXPECT_FALSE(ReadPixelMap(&m, &all, out));
    m = good;
    m.planeBytes = 0;
    EXPECT_FALSE(ReadPixelMap(&m, &all, out));
}

}  // namespace
