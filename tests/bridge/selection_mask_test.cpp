#include "bridge/selection_mask.h"

#include <gtest/gtest.h>

#include <vector>

#include "bridge/filter_graphic.h"
#include "fake_image_host.h"

using fake_image_host::Host;
using fake_image_host::IsEmpty;
using fake_image_host::SameRect;

namespace {

std::vector<std::uint8_t> BytesOf(TByteMap& map) { return map.Bits(); }

TEST(ReadSelectionMask, TakesOnlyTheFilterWidthOfPaddedRows)
{
    Host host(5, 4, 3, {.MaskPadding = 3});
    host.Record.filterRect = Rect16{1, 1, 3, 4}; // 3 x 2
    host.SetMask({0, 64, 255, 10, 20, 30});
    TByteMap map;
    ReadSelectionMask(map);
    ASSERT_EQ(map.Width(), 3);
    ASSERT_EQ(map.Height(), 2);
    EXPECT_EQ(BytesOf(map), (std::vector<std::uint8_t>{0, 64, 255, 10, 20, 30}));
    ASSERT_EQ(host.Requests.size(), 1u);
    EXPECT_TRUE(SameRect(host.Requests[0].Mask, host.Record.filterRect));
    EXPECT_TRUE(IsEmpty(host.Record.maskRect));
}

TEST(ReadSelectionMask, NoSelectionLeavesTheMapAndAsksNothing)
{
    Host host(3, 3, 3);
    TByteMap map;
    map.SetSize(2, 1);
    map.Bits() = {7, 8};
    ReadSelectionMask(map);
    EXPECT_EQ(map.Width(), 2);
    EXPECT_EQ(BytesOf(map), (std::vector<std::uint8_t>{7, 8}));
    EXPECT_TRUE(host.Requests.empty());
}

// The host said it has a selection; answering with an error, without a buffer or without a
// callback it has not served it. The read fails, the map stays as it was, maskRect is empty.
TEST(ReadSelectionMask, SelectionTheHostDoesNotServeIsAnError)
{
    const auto check = [](Host& host, const char* how) {
        host.SetMask(std::vector<std::uint8_t>(9, 255));
        TByteMap map;
        try {
            ReadSelectionMask(map);
            ADD_FAILURE() << how << ": nothing raised";
        } catch (const EHostDataError& e) {
            EXPECT_STREQ(e.what(), "The host did not supply the selection mask.") << how;
        }
        EXPECT_TRUE(map.IsEmpty()) << how;
        EXPECT_TRUE(IsEmpty(host.Record.maskRect)) << how;
    };
    {
        Host host(3, 3, 3, {.ServeNothing = true});
        check(host, "error answer");
    }
    {
        Host host(3, 3, 3, {.NullBuffers = true});
        check(host, "no buffer");
    }
    {
        Host host(3, 3, 3);
        host.Record.advanceState = nullptr;
        host.Record.maskData = reinterpret_cast<void*>(8); // stale, must not be read
        check(host, "no callback");
    }
    {
        HostContext.FilterRecord = nullptr;
        TByteMap map;
        ReadSelectionMask(map); // no running call: nothing to read
        EXPECT_TRUE(map.IsEmpty());
    }
}

TEST(ReadSelectionMask, InvertedFilterRectangleReadsNothing)
{
    Host host(3, 3, 3);
    host.SetMask({});
    host.Record.filterRect = Rect16{2, 2, 2, 2};
    TByteMap map;
    ReadSelectionMask(map);
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_TRUE(IsEmpty(host.Record.maskRect));
}

TEST(InvertByteMap, FlipsEveryByte)
{
    TByteMap map;
    map.SetSize(4, 1);
    map.Bits() = {0, 64, 200, 255};
    InvertByteMap(map);
    EXPECT_EQ(BytesOf(map), (std::vector<std::uint8_t>{255, 191, 55, 0}));
    TByteMap empty;
    InvertByteMap(empty);
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(ImportSelectionMask, AlphaIsTheInvertedSelectionOverTheFillColour)
{
    Host host(3, 2, 3);
    host.SetMask({255, 64, 0, 255, 128, 1});
    TBitmap32 mask;
    ImportSelectionMask(mask, 0x80123456); // the fill's own alpha is replaced everywhere
    ASSERT_EQ(mask.Width(), 3);
    ASSERT_EQ(mask.Height(), 2);
    const TColor32 expected[6] = {0x00123456, 0xBF123456, 0xFF123456,
                                  0x00123456, 0x7F123456, 0xFE123456};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(mask.PixelAt(i % 3, i / 3), expected[i]) << i;
}

TEST(ImportSelectionMask, FullSelectionIsTransparentEverywhere)
{
    Host host(4, 4, 3);
    host.SetMask(std::vector<std::uint8_t>(16, 255));
    TBitmap32 mask;
    ImportSelectionMask(mask, 0xFFFFFFFF);
    ASSERT_EQ(mask.Width(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(mask.PixelAt(x, y) >> 24, 0u);
}

TEST(ImportSelectionMask, NoSelectionGivesAnEmptyBitmapWhateverTheFill)
{
    for (TColor32 fill : {0x00000000u, 0xFF00FF00u}) {
        Host host(4, 4, 3);
        TBitmap32 mask;
        mask.SetSize(3, 3);
        ImportSelectionMask(mask, fill);
        EXPECT_TRUE(mask.IsEmpty());
        EXPECT_EQ(mask.Width(), 0);
    }
}

} // namespace
