// The byte map: storage, channel reads and writes, assignment and notifications.
#include <gtest/gtest.h>

#include <climits>

#include "bitmap/byte_map.h"
#include "bitmap_fixtures.h"

namespace {
std::vector<std::uint8_t> BytesOf(const TByteMap& M) { return M.Bits(); }

void FillBytes(TByteMap& M, int Width, int Height, std::initializer_list<std::uint8_t> Bytes)
{
    M.SetSize(Width, Height);
    std::copy(Bytes.begin(), Bytes.end(), M.Bits().begin());
}
} // namespace

TEST(ByteMapStorage, ResizeKeepsLinearBytesAndZeroFillsTheRest)
{
    TByteMap m;
    EXPECT_TRUE(m.IsEmpty());
    FillBytes(m, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
    m.SetSize(2, 4);
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(*m.ValuePointer(1, 3), 8);
    EXPECT_EQ(m.RowPointer(2), m.Bits().data() + 4);
    m.SetSize(3, 3);
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
    m.SetSize(1, 2);
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{1, 2}));
}

TEST(ByteMapStorage, ZeroWidthKeepsTheSizesButHasNoStorage)
{
    TByteMap m;
    m.SetSize(0, 5);
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_EQ(m.Width(), 0);
    EXPECT_EQ(m.Height(), 5);
    EXPECT_EQ(m.Bits().capacity(), 0u);
    m.SetSize(-2, 3);
    EXPECT_EQ(m.Width(), 0);
    EXPECT_EQ(m.Height(), 3);
    m.SetSize(2, 2);
    EXPECT_FALSE(m.IsEmpty());
    m.ReleaseStorage();
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_EQ(m.Bits().capacity(), 0u);
}

TEST(ByteMapStorage, OversizedRequestsRaiseAndLeaveTheMapEmpty)
{
    EventLog log;
    TByteMap m;
    FillBytes(m, 2, 1, {1, 2});
    log.Watch(m);
    for (auto [w, h] : {std::pair{INT_MAX, INT_MAX}, std::pair{65536, 65536}, std::pair{INT_MAX, 2}}) {
        EXPECT_THROW(m.SetSize(w, h), EOutOfMemory) << w << " x " << h;
        EXPECT_TRUE(m.IsEmpty());
        EXPECT_EQ(m.Width(), 0);
        EXPECT_EQ(m.Height(), 0);
    }
    EXPECT_TRUE(log.Events.empty());
}

TEST(ByteMapStorage, SetSizeNotifiesChangeThenResize)
{
    EventLog log;
    TByteMap m;
    log.Watch(m);
    EXPECT_TRUE(m.SetSize(3, 1));
    EXPECT_FALSE(m.SetSize(3, 1));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"change", "resize"}));
}

TEST(ByteMapRead, EachChannelKindOfAPixel)
{
    TBitmap32 b;
    FillFrom(b, 2, 1, {0xFF010203, 0x80FF00C0});
    TByteMap m;
    const std::pair<TChannelKind, std::vector<std::uint8_t>> cases[] = {
        {ckRed, {0x01, 0xFF}},     {ckGreen, {0x02, 0x00}},   {ckBlue, {0x03, 0xC0}},
        {ckAlpha, {0xFF, 0x80}},   {ckAverage, {2, 149}},    {ckIntensity, {1, 76}},
    };
    for (const auto& [kind, expected] : cases) {
        m.ReadFromBitmap(&b, kind);
        EXPECT_EQ(m.Width(), 2);
        EXPECT_EQ(m.Height(), 1);
        EXPECT_EQ(BytesOf(m), expected) << "kind " << int(kind);
    }
}

TEST(ByteMapRead, NotifiesOnceAfterResizingAndUnknownKindsReadNothing)
{
    TBitmap32 b;
    FillFrom(b, 3, 2, {1, 2, 3, 4, 5, 6});
    EventLog log;
    TByteMap m;
    log.Watch(m);
    m.ReadFromBitmap(&b, ckBlue);
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"resize", "change"}));
    log.Events.clear();
    m.ReadFromBitmap(&b, static_cast<TChannelKind>(6));
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"change"}));
    TBitmap32 empty;
    m.ReadFromBitmap(&empty, ckRed);
    EXPECT_TRUE(m.IsEmpty());
    EXPECT_EQ(m.UpdateCount(), 0);
    EXPECT_THROW(m.ReadFromBitmap(nullptr, ckRed), EInvalidOperation);
}

TEST(ByteMapWrite, AlphaOntoSameSizeKeepsColoursAndDoesNotResize)
{
    EventLog log;
    TBitmap32 b;
    FillFrom(b, 2, 2, {0xFF112233, 0x00445566, 0x80778899, 0x12AABBCC});
    log.Watch(b);
    TByteMap m;
    FillBytes(m, 2, 2, {0x00, 0x7F, 0xFF, 0x01});
    m.WriteToBitmap(&b, ckAlpha);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{0x00112233, 0x7F445566, 0xFF778899, 0x01AABBCC}));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"change"}));
}

TEST(ByteMapWrite, EachKindReplacesItsByteOrWritesOpaqueGrey)
{
    TByteMap m;
    FillBytes(m, 1, 1, {0xAB});
    const std::pair<TChannelKind, TColor32> cases[] = {
        {ckRed, 0x11AB3344}, {ckGreen, 0x1122AB44}, {ckBlue, 0x112233AB},
        {ckAlpha, 0xAB223344}, {ckAverage, 0xFFABABAB}, {ckIntensity, 0xFFABABAB},
        {static_cast<TChannelKind>(6), 0x11223344}, {static_cast<TChannelKind>(255), 0x11223344},
    };
    for (const auto& [kind, expected] : cases) {
        TBitmap32 b;
        FillFrom(b, 1, 1, {0x11223344});
        m.WriteToBitmap(&b, kind);
        EXPECT_EQ(b.PixelAt(0, 0), expected) << "kind " << int(kind);
    }
}

TEST(ByteMapWrite, OntoAnotherSizeResizesAndReportsTheResizeTwice)
{
    TByteMap m;
    FillBytes(m, 3, 1, {10, 20, 30});
    EventLog log;
    TBitmap32 b;
    b.SetSize(1, 1);
    log.Watch(b);
    m.WriteToBitmap(&b, ckGreen);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 1);
    // Fresh storage is zero, so only the written channel shows.
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{0x0A00, 0x1400, 0x1E00}));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"resize", "change", "resize"}));
    EXPECT_EQ(b.UpdateCount(), 0);
}

TEST(ByteMapWrite, EmptyMapLeavesTheBitmapEmptyAndWritesNothing)
{
    TByteMap m;
    EventLog log;
    TBitmap32 b;
    log.Watch(b);
    m.WriteToBitmap(&b, ckAverage);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(log.Events, (std::vector<std::string>{"change"}));
    b.SetSize(2, 2);
    log.Events.clear();
    m.SetSize(0, 4);
    m.WriteToBitmap(&b, ckAverage);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(log.Events, (std::vector<std::string>{"resize", "change", "resize"}));
    EXPECT_THROW(m.WriteToBitmap(nullptr, ckRed), EInvalidOperation);
}

TEST(ByteMapWrite, FailedResizeStillClosesTheTargetsBracket)
{
    TByteMap m;
    // A map the bitmap cannot hold: 23171 x 23171 bytes fit, the 4-byte pixels do not.
    m.SetSize(23171, 23171);
    EventLog log;
    TBitmap32 b;
    b.SetSize(2, 2);
    log.Watch(b);
    EXPECT_THROW(m.WriteToBitmap(&b, ckRed), Exception);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.UpdateCount(), 0);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"change"}));
}

TEST(ByteMapAssign, CopiesMapsAndReadsBitmapsAsIntensity)
{
    TByteMap src;
    FillBytes(src, 2, 2, {9, 8, 7, 6});
    EventLog log;
    TByteMap m;
    log.Watch(m);
    m.Assign(&src);
    EXPECT_EQ(m.Width(), 2);
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{9, 8, 7, 6}));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"resize", "change"}));
    src.Bits()[0] = 1;
    EXPECT_EQ(m.Bits()[0], 9) << "the copy has storage of its own";

    TBitmap32 b;
    FillFrom(b, 1, 2, {0xFF010203, 0xFFFFFFFF});
    m.Assign(&b);
    EXPECT_EQ(m.Width(), 1);
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{1, 255}));

    m.Assign(&m);
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{1, 255}));
}

TEST(ByteMapAssign, UnknownSourcesAndTargetsRaiseTheCannotAssignMessage)
{
    TByteMap m;
    FillBytes(m, 1, 1, {5});
    TOddThing odd;
    try {
        m.Assign(&odd);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TOddThing to a TByteMap");
    }
    EXPECT_EQ(m.UpdateCount(), 0);
    EXPECT_EQ(BytesOf(m), (std::vector<std::uint8_t>{5}));
    try {
        odd.Assign(&m);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TByteMap to a TOddThing");
    }
    EXPECT_THROW(m.Assign(nullptr), EConvertError);
}

TEST(ByteMapAssign, ABitmapAssignedFromAMapGetsOpaqueGrey)
{
    TByteMap m;
    FillBytes(m, 2, 1, {0x00, 0x9C});
    EventLog log;
    TBitmap32 b;
    FillFrom(b, 2, 1, {0x12345678, 0x12345678});
    log.Watch(b);
    b.Assign(&m);
    EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{0xFF000000, 0xFF9C9C9C}));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"change"}));
    EXPECT_EQ(b.UpdateCount(), 0);
}
