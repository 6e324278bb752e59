// Copying TBitmap32 in and out: assign, BMP output, the stored "Data" property, SameContentAs.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>

#include "bitmap/bitmap32.h"
#include "bitmap/byte_map.h"
#include "bitmap_fixtures.h"
#include "temp_drive_root.h"

namespace {
std::uint32_t LE32(const std::vector<std::uint8_t>& B, std::size_t At)
{
    return B[At] | B[At + 1] << 8 | B[At + 2] << 16 | static_cast<std::uint32_t>(B[At + 3]) << 24;
}
std::uint16_t LE16(const std::vector<std::uint8_t>& B, std::size_t At)
{
    return static_cast<std::uint16_t>(B[At] | B[At + 1] << 8);
}

std::vector<std::uint8_t> BmpBytes(TBitmap32& Bitmap)
{
    TMemoryStream s;
    Bitmap.SaveAsBmpStream(s);
    return s.Bytes();
}

// A filer that keeps what the object declared, so tests can run its reader and writer.
struct RecordingFiler : TFiler {
    struct Property {
        ReadProc Reader;
        WriteProc Writer;
        bool HasData;
    };
    std::map<std::string, Property> Properties;
    void DefineBinaryProperty(const std::string& Name, ReadProc Reader, WriteProc Writer, bool HasData) override
    {
        Properties[Name] = Property{std::move(Reader), std::move(Writer), HasData};
    }
};

bool DataIsStored(TBitmap32& Bitmap, TPersistent* Ancestor)
{
    RecordingFiler filer;
    filer.Ancestor = Ancestor;
    TPersistent::CallDefineProperties(&Bitmap, &filer);
    EXPECT_EQ(filer.Properties.count("Data"), 1u);
    return filer.Properties["Data"].HasData;
}
} // namespace

TEST(Bitmap32Bmp, ThreeByTwoFileIsSeventyEightBytesBottomRowFirst)
{
    TTempDriveRoot root("bitmap");
    TBitmap32 b;
    FillFrom(b, 3, 2, {0x44332211, 0x88776655, 0xCCBBAA99, //
                       0x04030201, 0x08070605, 0x0C0B0A09});
    b.SaveToFile("c:\\vesper_3x2.bmp");
    const std::vector<std::uint8_t> f = root.Read("c/vesper_3x2.bmp");
    ASSERT_EQ(f.size(), 78u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(LE32(f, 2), 78u);
    EXPECT_EQ(LE32(f, 6), 0u);
    EXPECT_EQ(LE32(f, 10), 54u);
    EXPECT_EQ(LE32(f, 14), 40u);
    EXPECT_EQ(LE32(f, 18), 3u);
    EXPECT_EQ(LE32(f, 22), 2u) << "positive height: bottom row first";
    EXPECT_EQ(LE16(f, 26), 1);
    EXPECT_EQ(LE16(f, 28), 32);
    EXPECT_EQ(LE32(f, 30), 0u);
    EXPECT_EQ(LE32(f, 34), 24u);
    for (std::size_t at : {38u, 42u, 46u, 50u})
        EXPECT_EQ(LE32(f, at), 0u) << at;
    const std::vector<std::uint8_t> pixels(f.begin() + 54, f.end());
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
                                                 0x0C, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA,
                                                 0xBB, 0xCC}));
    EXPECT_FALSE(std::filesystem::exists(root.Path() + "/c/vesper_3x2.bmp.tmp"));
}

TEST(Bitmap32Bmp, OddWidthsAreNotPaddedAndStreamEqualsFile)
{
    TTempDriveRoot root("bitmap");
    for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{7, 2}}) {
        TBitmap32 b;
        b.SetSize(w, h);
        for (int i = 0; i < w * h; ++i)
            b.Bits()[i] = 0x01010101u * static_cast<TColor32>(i + 1);
        const std::string name = "vesper_" + std::to_string(w) + "x" + std::to_string(h) + ".bmp";
        b.SaveToFile("c:\\" + name);
        const std::vector<std::uint8_t> f = root.Read("c/" + name);
        ASSERT_EQ(f.size(), 54u + 4u * w * h);
        EXPECT_EQ(LE32(f, 34), 4u * w * h);
        // Row h - 1 comes first; within a row the pixels follow without gaps.
        EXPECT_EQ(LE32(f, 54), b.PixelAt(0, h - 1));
        EXPECT_EQ(LE32(f, 54 + 4 * (w - 1)), b.PixelAt(w - 1, h - 1));
        EXPECT_EQ(LE32(f, 54 + 4 * w * (h - 1)), b.PixelAt(0, 0));
        EXPECT_EQ(f, BmpBytes(b));
    }
}

// Tall images go out in several gathered writes of many rows each: the file still holds
// every row once, bottom first, exactly as the memory stream does.
TEST(Bitmap32Bmp, TallImagesKeepEveryRowInOrder)
{
    TTempDriveRoot root("bitmap");
    TBitmap32 b;
    b.SetSize(3, 2600);
    for (int i = 0; i < 3 * 2600; ++i)
        b.Bits()[i] = static_cast<TColor32>(i) * 2654435761u;
    b.SaveToFile("c:\\tall.bmp");
    const std::vector<std::uint8_t> f = root.Read("c/tall.bmp");
    ASSERT_EQ(f.size(), 54u + 4u * 3 * 2600);
    EXPECT_EQ(f, BmpBytes(b));
    for (int y : {0, 1, 1023, 1024, 1576, 2599})
        EXPECT_EQ(LE32(f, 54 + 12 * static_cast<std::size_t>(2599 - y) + 4), b.PixelAt(1, y)) << y;
}

// Gathered runs land after what was written before them and before what follows, in
// order, empty runs included, more runs than the platform takes in one call.
TEST(Streams, FileStreamWritesRunsInOrderBetweenOtherWrites)
{
    TTempDriveRoot root("bitmap");
    std::vector<std::vector<std::uint8_t>> pieces;
    std::vector<TWriteRun> runs;
    std::vector<std::uint8_t> want{'h', 'e', 'a', 'd'};
    for (int i = 0; i < 3000; ++i) {
        pieces.emplace_back(static_cast<std::size_t>(i % 7 == 3 ? 0 : 1 + i % 13), static_cast<std::uint8_t>(i));
        want.insert(want.end(), pieces.back().begin(), pieces.back().end());
    }
    for (const auto& p : pieces)
        runs.push_back(TWriteRun{p.data(), p.size()});
    want.insert(want.end(), {'t', 'a', 'i', 'l'});
    {
        TFileStream out("c:\\runs.bin", TFileStream::fmCreate);
        out.WriteBuffer("head", 4);
        out.WriteRuns(runs.data(), runs.size());
        out.WriteBuffer("tail", 4);
        out.Close();
    }
    EXPECT_EQ(root.Read("c/runs.bin"), want);
    TMemoryStream memory;
    memory.WriteBuffer("head", 4);
    memory.WriteRuns(runs.data(), runs.size());
    memory.WriteBuffer("tail", 4);
    EXPECT_EQ(memory.Bytes(), want);
}

TEST(Bitmap32Bmp, SavingReplacesAnExistingFile)
{
    TTempDriveRoot root("bitmap");
    TBitmap32 b;
    FillFrom(b, 2, 1, {1, 2});
    b.SaveToFile("c:\\again.bmp");
    FillFrom(b, 1, 1, {3});
    b.SaveToFile("c:\\again.bmp");
    const std::vector<std::uint8_t> f = root.Read("c/again.bmp");
    ASSERT_EQ(f.size(), 58u);
    EXPECT_EQ(LE32(f, 54), 3u);
}

TEST(Bitmap32Data, WrittenAsSizeThenPixelsAndReadBack)
{
    TBitmap32 b;
    FillFrom(b, 2, 2, {0xA1B2C3D4, 2, 3, 0xFFFFFFFF});
    RecordingFiler filer;
    TPersistent::CallDefineProperties(&b, &filer);
    ASSERT_TRUE(filer.Properties.count("Data"));
    TMemoryStream s;
    filer.Properties["Data"].Writer(s);
    EXPECT_EQ(s.Bytes(), (std::vector<std::uint8_t>{2, 0, 0, 0, 2, 0, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 0, 0, 3,
                                                    0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));

    EventLog log; // declared before the copy, which notifies it while it is destroyed
    TBitmap32 copy;
    log.Watch(copy);
    RecordingFiler reading;
    TPersistent::CallDefineProperties(&copy, &reading);
    s.SetPosition(0);
    reading.Properties["Data"].Reader(s);
    EXPECT_EQ(copy.Width(), 2);
    EXPECT_EQ(copy.Height(), 2);
    EXPECT_EQ(PixelsOf(copy), PixelsOf(b));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"change", "resize", "change"}));
    EXPECT_TRUE(copy.SameContentAs(&b));
}

TEST(Bitmap32Data, EmptyBitmapWritesOnlyItsSize)
{
    TBitmap32 b;
    TMemoryStream s;
    b.WritePixelData(s);
    EXPECT_EQ(s.Bytes(), std::vector<std::uint8_t>(8, 0));
}

TEST(Bitmap32Data, ReadingNegativeSizesGivesAnEmptyBitmap)
{
    TMemoryStream s;
    const std::uint8_t data[8] = {0xFD, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0}; // -3 x 4
    s.Write(data, 8);
    s.SetPosition(0);
    TBitmap32 b;
    b.SetSize(2, 2);
    b.ReadPixelData(s);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.Width(), 0);
}

TEST(Bitmap32Data, TruncatedPixelsRaiseAndStillNotify)
{
    TMemoryStream s;
    const std::uint8_t data[12] = {2, 0, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4}; // 2 x 1 with one pixel
    s.Write(data, 12);
    s.SetPosition(0);
    EventLog log;
    TBitmap32 b;
    log.Watch(b);
    EXPECT_THROW(b.ReadPixelData(s), EStreamError);
    EXPECT_EQ(log.Count("change"), 2) << "SetSize's change and the closing one";
    EXPECT_EQ(b.Width(), 2);

    TMemoryStream tiny;
    tiny.Write(data, 3);
    tiny.SetPosition(0);
    log.Events.clear();
    EXPECT_THROW(b.ReadPixelData(tiny), EStreamError);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"change"}));
}

TEST(Bitmap32Data, OversizedStoredSizeRaisesAndLeavesTheBitmapEmpty)
{
    TMemoryStream s;
    const std::uint8_t data[8] = {0, 0, 1, 0, 0, 0, 1, 0}; // 65536 x 65536
    s.Write(data, 8);
    s.SetPosition(0);
    TBitmap32 b;
    b.SetSize(2, 2);
    EXPECT_THROW(b.ReadPixelData(s), Exception);
    EXPECT_TRUE(b.IsEmpty());
}

TEST(Bitmap32Data, StoredOnlyWhenItDiffersFromTheAncestorOrHasPixels)
{
    TBitmap32 empty;
    EXPECT_FALSE(DataIsStored(empty, nullptr));
    TBitmap32 b;
    FillFrom(b, 2, 1, {5, 6});
    EXPECT_TRUE(DataIsStored(b, nullptr));
    TBitmap32 same;
    FillFrom(same, 2, 1, {5, 6});
    EXPECT_FALSE(DataIsStored(b, &same));
    TBitmap32 other;
    FillFrom(other, 2, 1, {5, 7});
    EXPECT_TRUE(DataIsStored(b, &other));
    TByteMap notABitmap;
    EXPECT_TRUE(DataIsStored(b, &notABitmap));
    EXPECT_TRUE(DataIsStored(empty, &notABitmap));
    EXPECT_TRUE(DataIsStored(empty, &b));
    EXPECT_FALSE(DataIsStored(empty, &empty));
}

namespace {
class TDerivedBitmap32 : public TBitmap32 {
public:
    VP_CLASS_NAME(TDerivedBitmap32)
};
} // namespace

TEST(Bitmap32SameContent, ComparesEmptinessClassAndBytes)
{
    TBitmap32 a, b, empty1, empty2;
    FillFrom(a, 3, 2, {1, 2, 3, 4, 5, 6});
    FillFrom(b, 3, 2, {1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(a.SameContentAs(&b));
    EXPECT_TRUE(empty1.SameContentAs(&empty2));
    EXPECT_FALSE(a.SameContentAs(&empty1));
    EXPECT_FALSE(empty1.SameContentAs(&a));
    EXPECT_FALSE(a.SameContentAs(nullptr));
    TByteMap m;
    m.SetSize(3, 2);
    EXPECT_FALSE(a.SameContentAs(&m));
    TDerivedBitmap32 d;
    FillFrom(d, 3, 2, {1, 2, 3, 4, 5, 6});
    EXPECT_FALSE(a.SameContentAs(&d)) << "another class";
    b.SetPixelAt(2, 1, 7);
    EXPECT_FALSE(a.SameContentAs(&b));
    TBitmap32 turned; // the same six words as 2 x 3
    FillFrom(turned, 2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_FALSE(a.SameContentAs(&turned));
    b.SetPixelAt(2, 1, 6);
    b.SetMasterAlpha(7);
    EXPECT_TRUE(a.SameContentAs(&b)) << "only the pixels count";
}

TEST(Bitmap32Assign, CopiesPixelsAndDrawingPropertiesButNotCombineModeOrEvents)
{
    TBitmap32 src;
    FillFrom(src, 2, 2, {1, 2, 3, 4});
    src.SetDrawMode(dmBlend);
    src.SetMasterAlpha(99);
    src.SetOuterColor(0xFF00FF00);
    src.SetStretchFilter(sfMitchell);
    src.SetCombineMode(cmMerge);
    int srcChanges = 0;
    src.OnChange = [&](TObject*) { ++srcChanges; };

    EventLog log;
    TBitmap32 dst;
    log.Watch(dst);
    dst.Assign(&src);
    EXPECT_EQ(PixelsOf(dst), (std::vector<TColor32>{1, 2, 3, 4}));
    EXPECT_EQ(dst.DrawMode(), dmBlend);
    EXPECT_EQ(dst.MasterAlpha(), 99u);
    EXPECT_EQ(dst.OuterColor(), 0xFF00FF00u);
    EXPECT_EQ(dst.StretchFilter(), sfMitchell);
    EXPECT_EQ(dst.CombineMode(), cmBlend);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"resize", "change"}));
    EXPECT_EQ(dst.UpdateCount(), 0);
    EXPECT_EQ(srcChanges, 0);
    src.SetPixelAt(0, 0, 9);
    EXPECT_EQ(dst.PixelAt(0, 0), 1u) << "the copy has storage of its own";
}

TEST(Bitmap32Assign, NullEmptiesSelfKeepsAndUnknownSourcesRaise)
{
    TBitmap32 b;
    FillFrom(b, 2, 1, {1, 2});
    b.Assign(&b);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{1, 2}));
    TOddThing odd;
    try {
        b.Assign(&odd);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TOddThing to a TBitmap32");
    }
    EXPECT_EQ(b.UpdateCount(), 0) << "the bracket closes after a failure";
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{1, 2}));
    b.Assign(nullptr);
    EXPECT_TRUE(b.IsEmpty());
}

TEST(Bitmap32Assign, AssignToAnUnknownTargetRaises)
{
    TBitmap32 b;
    TOddThing odd;
    try {
        odd.Assign(&b);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TBitmap32 to a TOddThing");
    }
}
