// The expected exchange files the hand-off tests compare against: worked bytes for tiny
// images, and agreement with the module's own mask writer and the stand-in's reader.
#include "handoff_checks.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bitmap/bitmap32.h"
#include "filters/exchange_files.h"
#include "standin_report.h"
#include "base/streams.h"

namespace {

std::uint32_t Le32(const ByteVector& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

HostImage Image(int w, int h, int channels)
{
    HostImage img;
    img.Width = w;
    img.Height = h;
    img.Channels = channels;
    for (int i = 0; i < w * h * channels; ++i)
        img.Pixels.push_back(static_cast<std::uint8_t>(10 + i));
    return img;
}

FileFacts FactsOf(const ByteVector& b) { return FileFacts{b.size(), Fnv1a32(b)}; }

// A file holding Bytes, removed with the object.
class TempFile {
public:
    explicit TempFile(const ByteVector& Bytes)
    {
        char tmpl[] = "/tmp/vesper-checks-XXXXXX";
        const int fd = mkstemp(tmpl);
        Path = tmpl;
        if (fd >= 0)
            close(fd);
        std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(Bytes.data()),
                                                     static_cast<std::streamsize>(Bytes.size()));
    }
    ~TempFile() { std::remove(Path.c_str()); }
    std::string Path;
};

} // namespace

TEST(ExpectedImageFile, ThreeByTwoRgbIsBottomRowFirstWithZeroFourthByte)
{
    const HostImage img = Image(3, 2, 3);  // top row 10..18, bottom row 19..27
    const ByteVector f = ExpectedImageFile(img);
    ASSERT_EQ(f.size(), 78u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(Le32(f, 2), 78u);
    EXPECT_EQ(Le32(f, 10), 54u);
    EXPECT_EQ(Le32(f, 14), 40u);
    EXPECT_EQ(Le32(f, 18), 3u);
    EXPECT_EQ(Le32(f, 22), 2u);
    EXPECT_EQ(f[26] | f[27] << 8, 1);
    EXPECT_EQ(f[28] | f[29] << 8, 32);
    EXPECT_EQ(Le32(f, 30), 0u);
    EXPECT_EQ(Le32(f, 34), 24u);
    for (std::size_t at = 38; at < 54; at += 4)
        EXPECT_EQ(Le32(f, at), 0u) << at;
    // First stored pixel: the bottom-left one, planes in byte order (red in byte 0).
    const ByteVector first(f.begin() + 54, f.begin() + 62);
    EXPECT_EQ(first, (ByteVector{19, 20, 21, 0, 22, 23, 24, 0}));
    const ByteVector last(f.end() - 4, f.end());
    EXPECT_EQ(last, (ByteVector{16, 17, 18, 0}));
}

TEST(ExpectedImageFile, GreyAndFourPlaneImages)
{
    const ByteVector grey = ExpectedImageFile(Image(1, 2, 1));
    EXPECT_EQ(ByteVector(grey.begin() + 54, grey.end()), (ByteVector{11, 0, 0, 0, 10, 0, 0, 0}));
    const ByteVector four = ExpectedImageFile(Image(1, 1, 4));
    EXPECT_EQ(ByteVector(four.begin() + 54, four.end()), (ByteVector{10, 11, 12, 13}));
    // An odd width still has 4 bytes per pixel and no padding.
    EXPECT_EQ(ExpectedImageFile(Image(5, 1, 3)).size(), 54u + 20u);
}

TEST(ExpectedMaskFile, RedIsTheSelectionAndRowsArePadded)
{
    const ByteVector selection{0, 64, 255, 1, 2, 3};  // 3 x 2, top row first
    const ByteVector f = ExpectedMaskFile(3, 2, selection, 24);
    ASSERT_EQ(f.size(), 54u + 2 * 12);
    EXPECT_EQ(f[28], 24);
    EXPECT_EQ(Le32(f, 34), 24u);
    EXPECT_EQ(ByteVector(f.begin() + 54, f.begin() + 66), (ByteVector{0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(ByteVector(f.begin() + 66, f.end()), (ByteVector{0, 0, 0, 0, 0, 64, 0, 0, 255, 0, 0, 0}));

    const ByteVector wide = ExpectedMaskFile(3, 2, std::nullopt, 32);
    ASSERT_EQ(wide.size(), 54u + 24u);
    EXPECT_EQ(wide[28], 32);
    for (std::size_t at = 54; at < wide.size(); at += 4)
        EXPECT_EQ(Le32(wide, at), 0x00FF0000u) << at;  // no selection: pure red
}

TEST(ExpectedMaskFile, DepthFollowsTheDisplay)
{
    EXPECT_EQ(ExpectedMaskBits(24), 24);
    EXPECT_EQ(ExpectedMaskBits(32), 32);
    EXPECT_EQ(ExpectedMaskBits(16), 32);
    EXPECT_EQ(ExpectedMaskBits(0), 32);
}

// The module writes the mask from the layer bitmap (alpha = 255 - selection); what it
// writes must be what the hand-off tests expect, at both depths.
TEST(ExpectedMaskFile, AgreesWithTheModulesWriter)
{
    const int w = 5, h = 3;
    ByteVector selection;
    TBitmap32 layer;
    layer.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t s = static_cast<std::uint8_t>(x * 60 + y * 7);
            selection.push_back(s);
            layer.SetPixelAt(x, y, static_cast<TColor32>(255 - s) << 24 | 0x123456);
        }
    for (int bits : {24, 32}) {
        TMemoryStream written;
        WriteMaskBmp(written, layer, w, h, bits);
        EXPECT_EQ(DescribeDifference(written.Bytes(), ExpectedMaskFile(w, h, selection, bits)), "") << bits;
    }
}

TEST(DescribeDifference, SaysWhereFilesDiffer)
{
    const ByteVector a = ExpectedImageFile(Image(2, 2, 3));
    EXPECT_EQ(DescribeDifference(a, a), "");
    ByteVector header = a;
    header[18] = 9;
    EXPECT_EQ(DescribeDifference(header, a), "byte 18 is 9, expected 2 (header)");
    ByteVector pixel = a;
    pixel[60] ^= 1;
    EXPECT_NE(DescribeDifference(pixel, a).find("byte 60"), std::string::npos);
    EXPECT_NE(DescribeDifference(pixel, a).find("pixels"), std::string::npos);
    ByteVector shorter(a.begin(), a.end() - 4);
    EXPECT_EQ(DescribeDifference(shorter, a), "66 bytes instead of 70");
    EXPECT_NE(DescribeDifference(ByteVector{}, a), "");
}

TEST(CheckStandinReport, AcceptsAReportOfTheSameFiles)
{
    const ByteVector image = ExpectedImageFile(Image(3, 2, 3));
    const ByteVector mask = ExpectedMaskFile(3, 2, std::nullopt, 24);
    // The stand-in's reader takes both expected files as well-formed.
    const auto report = ParseReport(FormatReport(InspectExchangeFile("i", image), InspectExchangeFile("m", mask)));
    ASSERT_TRUE(report);
    EXPECT_TRUE(CheckStandinReport(*report, FactsOf(image), FactsOf(mask), 3, 2, 24).empty());
}

TEST(CheckStandinReport, NamesEveryDisagreement)
{
    const ByteVector image = ExpectedImageFile(Image(3, 2, 3));
    const ByteVector mask = ExpectedMaskFile(3, 2, std::nullopt, 32);
    auto report = *ParseReport(FormatReport(InspectExchangeFile("i", image), InspectExchangeFile("m", mask)));

    // The editor read another mask than the one on disk now.
    ByteVector changed = mask;
    changed.back() ^= 0xFF;
    auto p = CheckStandinReport(report, FactsOf(image), FactsOf(changed), 3, 2, 32);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NE(p[0].find("mask.fnv1a"), std::string::npos);

    // Wrong depth and wrong size both show.
    EXPECT_EQ(CheckStandinReport(report, FactsOf(image), FactsOf(mask), 3, 2, 24).size(), 1u);
    EXPECT_EQ(CheckStandinReport(report, FactsOf(image), FactsOf(mask), 3, 3, 32).size(), 2u);

    ExchangeFileInfo missing;
    missing.Status = "missing";
    report = *ParseReport(FormatReport(InspectExchangeFile("i", image), missing));
    p = CheckStandinReport(report, FactsOf(image), FactsOf(mask), 3, 2, 32);
    EXPECT_EQ(p.size(), 6u);  // status wrong, five values absent
}

// Files are compared with the expected bytes as both are read: the same words as comparing
// whole copies, and the same facts as the stand-in reports.
TEST(CompareFile, AgreesWithComparingWholeCopies)
{
    const HostImage img = Image(300, 7, 3);
    const ByteVector expected = ExpectedImageFile(img);
    const ExpectedBytes emit = [&](const ByteSink& Out) { EmitExpectedImageFile(img, Out); };

    ByteVector header = expected, pixel = expected, longer = expected, shorter = expected, both = expected;
    header[18] ^= 1;
    pixel[4000] ^= 0x80;
    longer.push_back(7);
    shorter.resize(expected.size() - 5);
    both[60] ^= 1;
    both.resize(both.size() - 1);
    for (const ByteVector* file : std::initializer_list<const ByteVector*>{&expected, &header, &pixel, &longer, &shorter, &both}) {
        const TempFile f(*file);
        const auto c = CompareFile(f.Path, emit);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->Difference, DescribeDifference(*file, expected));
        EXPECT_EQ(c->Facts.Bytes, file->size());
        EXPECT_EQ(c->Facts.Fnv1a, Fnv1a32(*file));
        const auto facts = FactsOfFile(f.Path);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->Bytes, file->size());
        EXPECT_EQ(facts->Fnv1a, Fnv1a32(*file));
        EXPECT_EQ(InspectExchangeFilePath("x", f.Path).Checksum, Fnv1a32(*file));
        EXPECT_EQ(InspectExchangeFilePath("x", f.Path).Status, InspectExchangeFile("x", *file).Status);
    }
    EXPECT_FALSE(CompareFile("/nonexistent/vesper/file.bmp", emit).has_value());
    EXPECT_FALSE(FactsOfFile("/nonexistent/vesper/file.bmp").has_value());
    EXPECT_EQ(FileFacts{}.Fnv1a, Fnv1a32(ByteVector{}));
}

TEST(CompareFile, ToleranceCoversColourBytesOnly)
{
    const HostImage img = Image(3, 2, 4);
    const ByteVector expected = ExpectedImageFile(img);
    const ExpectedBytes emit = [&](const ByteSink& Out) { EmitExpectedImageFile(img, Out); };
    auto differenceWith = [&](std::size_t At, int Delta, int Tolerance) {
        ByteVector file = expected;
        file[At] = static_cast<std::uint8_t>(file[At] + Delta);
        const TempFile f(file);
        return CompareFile(f.Path, emit, Tolerance)->Difference;
    };
    EXPECT_EQ(differenceWith(54, 1, 1), "");       // first pixel's first colour byte
    EXPECT_EQ(differenceWith(54 + 6, -1, 1), "");  // second pixel's third
    EXPECT_NE(differenceWith(54, 2, 1), "");
    EXPECT_NE(differenceWith(54 + 7, 1, 1), "") << "the transparency byte is exact";
    EXPECT_NE(differenceWith(18, 1, 1), "") << "the header is exact";
    EXPECT_NE(differenceWith(54, 1, 0), "");
}
