// The test host's document modes: the planes it makes from an RGB image, and the RGB it then
// expects the module to hand the editor.
#include "host_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "host/pi_general.h"

namespace {

HostImage Card(int W, int H)
{
    HostImage img;
    img.Width = W;
    img.Height = H;
    img.Channels = 3;
    for (int i = 0; i < W * H; ++i) {
        img.Pixels.push_back(static_cast<std::uint8_t>(i * 37));
        img.Pixels.push_back(static_cast<std::uint8_t>(i * 101 + 5));
        img.Pixels.push_back(static_cast<std::uint8_t>(255 - i * 13));
    }
    return img;
}

} // namespace

TEST(HostModes, NamesAndImageModes)
{
    const std::pair<const char*, std::int16_t> cases[] = {
        {"rgb", 3},  {"grey", 1},         {"grey-alpha", 1}, {"duotone", 8}, {"cmyk", 4}, {"lab", 9},
        {"lab-alpha", 9}, {"multichannel", 7}, {"bitmap", 0}, {"indexed", 2}, {"hsl", 5}, {"hsb", 6}};
    for (auto [name, mode] : cases) {
        const auto m = ParseHostMode(name);
        ASSERT_TRUE(m) << name;
        EXPECT_EQ(ImageModeOf(*m), mode) << name;
    }
    EXPECT_FALSE(ParseHostMode("gray"));
    EXPECT_FALSE(ParseHostMode(""));
}

TEST(HostModes, CmykPlanesGiveTheImageBackExactly)
{
    // Black is 255 - max(R, G, B) and each ink is chosen so that C x K / 255 rounds back.
    const HostImage rgb = Card(64, 4);
    const HostImage cmyk = MakeModeImage(rgb, HostMode::CMYK);
    ASSERT_EQ(cmyk.Channels, 4);
    const auto e = ExpectedTransferOf(cmyk, plugInModeCMYKColor);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Tolerance, 0);
    for (int i = 0; i < 64 * 4; ++i) {
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(e->Rgba.Pixels[i * 4 + k], rgb.Pixels[i * 3 + k]) << "pixel " << i << " byte " << k;
        EXPECT_EQ(e->Rgba.Pixels[i * 4 + 3], 0);
        const auto* s = rgb.Pixels.data() + i * 3;
        EXPECT_EQ(cmyk.Pixels[i * 4 + 3], std::max({s[0], s[1], s[2]}));
    }
}

TEST(HostModes, GreyIsLumaInAllThreeBytesWithTheTransparencyAfter)
{
    const HostImage rgb = Card(5, 3);
    const HostImage g = MakeModeImage(rgb, HostMode::GreyAlpha);
    ASSERT_EQ(g.Channels, 2);
    const auto e = ExpectedTransferOf(g, plugInModeGrayScale);
    ASSERT_TRUE(e);
    for (int i = 0; i < 15; ++i) {
        const auto* s = rgb.Pixels.data() + i * 3;
        const int luma = (s[0] * 77 + s[1] * 150 + s[2] * 29 + 128) >> 8;
        EXPECT_EQ(g.Pixels[i * 2], luma);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(e->Rgba.Pixels[i * 4 + k], luma);
        EXPECT_EQ(e->Rgba.Pixels[i * 4 + 3], g.Pixels[i * 2 + 1]);
    }
    // Multichannel shows its first plane, the grey, whatever the others hold.
    const HostImage m = MakeModeImage(rgb, HostMode::Multichannel);
    const auto em = ExpectedTransferOf(m, plugInModeMultichannel);
    ASSERT_TRUE(em);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(em->Rgba.Pixels[i * 4 + 1], g.Pixels[i * 2]);
}

TEST(HostModes, LabRoundTripAndKnownColours)
{
    auto lab = [](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint8_t in[3] = {r, g, b};
        std::array<int, 3> out{};
        std::uint8_t o[3];
        RgbToLabBytes(in, o);
        for (int k = 0; k < 3; ++k)
            out[k] = o[k];
        return out;
    };
    EXPECT_EQ(lab(255, 255, 255), (std::array<int, 3>{255, 128, 128}));
    EXPECT_EQ(lab(0, 0, 0), (std::array<int, 3>{0, 128, 128}));
    EXPECT_EQ(lab(255, 0, 0), (std::array<int, 3>{138, 209, 198}));  // L 54.3, a 80.8, b 69.9
    EXPECT_EQ(lab(0, 255, 0), (std::array<int, 3>{224, 49, 209}));   // L 87.8, a -79.3, b 81.0
    EXPECT_EQ(lab(0, 0, 255), (std::array<int, 3>{75, 196, 16}));    // L 29.6, a 68.3, b -112.0
    // Back through the reference: within the rounding of the Lab bytes, for colours away from
    // the gamut's edges (where a channel near 0 turns a step of one Lab byte into many).
    HostImage rgb;
    rgb.Width = 27;
    rgb.Height = 1;
    rgb.Channels = 3;
    for (int i = 0; i < 27; ++i)
        for (int v : {i % 3, i / 3 % 3, i / 9})
            rgb.Pixels.push_back(static_cast<std::uint8_t>(64 + 64 * v));
    const HostImage l = MakeModeImage(rgb, HostMode::Lab);
    const auto e = ExpectedTransferOf(l, plugInModeLabColor);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Tolerance, 1);
    for (int i = 0; i < 27; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_LE(std::abs(e->Rgba.Pixels[i * 4 + k] - rgb.Pixels[i * 3 + k]), 2) << "pixel " << i;
}

TEST(HostModes, NothingExpectedForRgbRefusedModesOrUnexplainedPlanes)
{
    const HostImage rgb = Card(4, 2);
    EXPECT_FALSE(ExpectedTransferOf(rgb, plugInModeRGBColor));
    for (HostMode m : {HostMode::Bitmap, HostMode::Indexed, HostMode::HSL, HostMode::HSB}) {
        const HostImage img = MakeModeImage(rgb, m);
        EXPECT_FALSE(ExpectedTransferOf(img, ImageModeOf(m)));
    }
    EXPECT_FALSE(ExpectedTransferOf(rgb, plugInModeCMYKColor)) << "three planes are no CMYK";
    EXPECT_FALSE(ExpectedTransferOf(rgb, plugInModeGrayScale)) << "three planes are no grey";
}
