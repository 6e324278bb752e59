#include "bridge/filter_graphic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/byte_map.h"
#include "fake_image_host.h"
#include "fake_toolkit_bitmap.h"
#include "message_of.h"
#include "toolkit/tkbitmap.h"

using fake_image_host::Host;
using fake_image_host::IsEmpty;
using fake_image_host::SameRect;

namespace {

std::uint8_t ByteOf(TColor32 c, int k) { return static_cast<std::uint8_t>(c >> (8 * k)); }

const std::string Line97 = "Assertion failure (PSGraphics, line 97)";
const std::string Line227 = "Assertion failure (PSGraphics, line 227)";

// ------------------------------------------------------------------ CopyPlanes

TEST(CopyPlanes, KeepsDestinationBytesNoChannelNames)
{
    std::vector<std::uint8_t> src{1, 2, 3, 4, 5, 6};
    std::vector<std::uint8_t> dst(8, 0x99);
    CopyPlanes(PlaneLayout{src.data(), 0, 3, 0, 6, 8}, PlaneLayout{dst.data(), 0, 4, 0, 8, 8}, 2, 1,
               IdentityChannelMap);
    EXPECT_EQ(dst, (std::vector<std::uint8_t>{1, 2, 3, 0x99, 4, 5, 6, 0x99}));
}

TEST(CopyPlanes, SkipsDummyPlanesAroundEachPixel)
{
    // Pre 1, planes 3, post 2: a pixel every six bytes.
    std::vector<std::uint8_t> src{0, 10, 11, 12, 0, 0, 0, 20, 21, 22, 0, 0};
    std::vector<std::uint8_t> dst(6, 0);
    CopyPlanes(PlaneLayout{src.data(), 1, 3, 2, 12, 8}, PlaneLayout{dst.data(), 0, 3, 0, 6, 8}, 2, 1, nullptr);
    EXPECT_EQ(dst, (std::vector<std::uint8_t>{10, 11, 12, 20, 21, 22}));
}

TEST(CopyPlanes, BottomUpRowsAreTakenInTheSameRowOrder)
{
    // Destination rows stored bottom-up: row 0 at the end, negative row distance.
    std::vector<std::uint8_t> src{1, 2, 3, 4}; // two rows of one two-plane pixel
    std::vector<std::uint8_t> dst(4, 0);
    CopyPlanes(PlaneLayout{src.data(), 0, 2, 0, 2, 8}, PlaneLayout{dst.data() + 2, 0, 2, 0, -2, 8}, 1, 2, nullptr);
    EXPECT_EQ(dst, (std::vector<std::uint8_t>{3, 4, 1, 2}));
}

TEST(CopyPlanes, SwapMapPutsChannelsIntoBlueGreenRedOrder)
{
    std::vector<std::uint8_t> src{0x10, 0x20, 0x30, 0x40};
    std::vector<std::uint8_t> dst(4, 0);
    CopyPlanes(PlaneLayout{src.data(), 0, 4, 0, 4, 8}, PlaneLayout{dst.data(), 0, 4, 0, 4, 8}, 1, 1,
               SwapRedBlueChannelMap);
    EXPECT_EQ(dst, (std::vector<std::uint8_t>{0x30, 0x20, 0x10, 0x40}));
    EXPECT_EQ(SwapRedBlueChannelMap(4), 4);
    EXPECT_EQ(SwapRedBlueChannelMap(-1), -1);
}

TEST(CopyPlanes, RefusesMorePlanesOtherDepthsAndBadMaps)
{
    std::vector<std::uint8_t> buf(16, 7);
    const std::vector<std::uint8_t> before = buf;
    PlaneLayout four{buf.data(), 0, 4, 0, 16, 8};
    PlaneLayout three{buf.data(), 0, 3, 1, 16, 8};
    EXPECT_EQ(MessageOf<EAssertionFailed>([&] { CopyPlanes(four, three, 1, 1, nullptr); }), Line97);
    PlaneLayout deep = four;
    deep.Depth = 16;
    EXPECT_EQ(MessageOf<EAssertionFailed>([&] { CopyPlanes(deep, four, 1, 1, nullptr); }), Line97);
    EXPECT_EQ(MessageOf<EAssertionFailed>([&] { CopyPlanes(four, deep, 1, 1, nullptr); }), Line97);
    PlaneLayout backwards = four;
    backwards.PreSkip = -1;
    EXPECT_EQ(MessageOf<EAssertionFailed>([&] { CopyPlanes(backwards, four, 1, 1, nullptr); }), Line97);
    // A map naming a byte beyond the destination's channels.
    auto shifted = [](int k) { return k + 1; };
    EXPECT_EQ(MessageOf<EAssertionFailed>([&] { CopyPlanes(three, three, 1, 1, shifted); }), Line97);
    // Failures are detected before any pixel moves, even with zero rows.
    EXPECT_EQ(MessageOf<EAssertionFailed>([&] { CopyPlanes(four, three, 1, 0, nullptr); }), Line97);
    EXPECT_EQ(buf, before);
}

TEST(CopyPlanes, EmptyCopiesTouchNothing)
{
    std::vector<std::uint8_t> src(16, 1), dst(16, 9);
    PlaneLayout s{src.data(), 0, 4, 0, 16, 8}, d{dst.data(), 0, 4, 0, 16, 8};
    CopyPlanes(s, d, 0, 4, nullptr);
    CopyPlanes(s, d, 4, 0, nullptr);
    CopyPlanes(s, d, -3, 2, nullptr);
    CopyPlanes(s, d, 2, -3, nullptr);
    PlaneLayout none = s;
    none.Planes = 0;
    CopyPlanes(none, d, 4, 1, nullptr);
    none.Planes = -2;
    CopyPlanes(none, d, 4, 1, nullptr);
    PlaneLayout nullSource = s, nullDest = d;
    nullSource.Data = nullptr;
    nullDest.Data = nullptr;
    CopyPlanes(nullSource, d, 4, 1, nullptr);
    CopyPlanes(s, nullDest, 4, 1, nullptr);
    EXPECT_EQ(dst, std::vector<std::uint8_t>(16, 9));
}

std::vector<int> MapCalls;
int RecordingMap(int k)
{
    MapCalls.push_back(k);
    return 2 - k;
}

TEST(CopyPlanes, AsksTheMapOncePerChannelInOrder)
{
    std::vector<std::uint8_t> src(3 * 5, 1), dst(3 * 5, 0);
    MapCalls.clear();
    CopyPlanes(PlaneLayout{src.data(), 0, 3, 0, 15, 8}, PlaneLayout{dst.data(), 0, 3, 0, 15, 8}, 5, 1, RecordingMap);
    EXPECT_EQ(MapCalls, (std::vector<int>{0, 1, 2}));
    MapCalls.clear();
    CopyPlanes(PlaneLayout{src.data(), 0, 3, 0, 15, 8}, PlaneLayout{dst.data(), 0, 3, 0, 15, 8}, 0, 0, RecordingMap);
    EXPECT_EQ(MapCalls, (std::vector<int>{0, 1, 2}));
}

// ------------------------------------------------------------------ reading into TBitmap32

void ExpectPlanesInBytes(Host& host, TBitmap32& bmp, int planes, int left = 0, int top = 0)
{
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x)
            for (int k = 0; k < planes; ++k)
                ASSERT_EQ(ByteOf(bmp.PixelAt(x, y), k), host.At(left + x, top + y, k))
                    << "pixel " << x << "," << y << " plane " << k;
}

TEST(FilterGraphicRead, RgbIntoBitmap32KeepsPlaneOrderAndLeavesFourthByte)
{
    Host host(5, 3, 3);
    TBitmap32 bmp;
    bmp.SetSize(5, 3);
    bmp.Clear(0xAB000000);
    TPSFilterGraphic graphic(&host.Record);
    graphic.AssignTo(&bmp);
    ASSERT_EQ(bmp.Width(), 5);
    ASSERT_EQ(bmp.Height(), 3);
    ExpectPlanesInBytes(host, bmp, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(ByteOf(bmp.PixelAt(x, y), 3), 0xAB);
}

TEST(FilterGraphicRead, RequestsTheFilterRectangleAndEmptiesItAfterwards)
{
    Host host(6, 4, 3);
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    graphic.AssignTo(&bmp);
    ASSERT_EQ(host.Requests.size(), 1u);
    const auto& req = host.Requests[0];
    EXPECT_TRUE(SameRect(req.In, host.Record.filterRect));
    EXPECT_TRUE(IsEmpty(req.Out));
    EXPECT_EQ(req.InLo, 0);
    EXPECT_EQ(req.InHi, 2);
    EXPECT_EQ(req.Depth, 8);
    EXPECT_TRUE(IsEmpty(host.Record.inRect));
    EXPECT_TRUE(IsEmpty(host.Record.outRect));
}

TEST(FilterGraphicRead, PartialFilterRectangleGivesItsOwnSize)
{
    Host host(8, 6, 3);
    host.Record.filterRect = Rect16{1, 2, 5, 7}; // top, left, bottom, right
    TPSFilterGraphic graphic(&host.Record);
    EXPECT_EQ(graphic.Width(), 8);
    EXPECT_EQ(graphic.Height(), 6);
    TBitmap32 bmp;
    graphic.AssignTo(&bmp);
    ASSERT_EQ(bmp.Width(), 5);
    ASSERT_EQ(bmp.Height(), 4);
    ExpectPlanesInBytes(host, bmp, 3, 2, 1);
}

TEST(FilterGraphicRead, DummyPlanesAndPaddedRowsAreSkipped)
{
    for (int planes : {1, 3, 4}) {
        Host host(7, 5, planes, {.PreDummy = 1, .PostDummy = 2, .RowPadding = 3});
        TPSFilterGraphic graphic(&host.Record);
        TBitmap32 bmp;
        graphic.AssignTo(&bmp);
        SCOPED_TRACE(planes);
        if (planes == 1) {
            // A grey image: its one plane in all three colour bytes.
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(ByteOf(bmp.PixelAt(6, 4), k), host.At(6, 4, 0)) << "byte " << k;
        } else {
            ExpectPlanesInBytes(host, bmp, planes);
        }
        for (int k = std::max(planes, 3); k < 4; ++k)
            EXPECT_EQ(ByteOf(bmp.PixelAt(6, 4), k), 0) << "byte " << k << " of a fresh bitmap";
        EXPECT_TRUE(host.InputFramingIntact());
    }
}

TEST(FilterGraphicRead, Bitmap32AssignReadsFromTheHost)
{
    Host host(4, 4, 4);
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    int changes = 0;
    bmp.OnChange = [&](TObject*) { ++changes; };
    bmp.Assign(&graphic);
    EXPECT_EQ(host.Requests.size(), 1u);
    ExpectPlanesInBytes(host, bmp, 4);
    EXPECT_GE(changes, 1);
}

TEST(FilterGraphicRead, MoreThanFourPlanesIsAConversionError)
{
    Host host(3, 3, 5);
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    EXPECT_EQ(MessageOf<EConvertError>([&] { graphic.AssignTo(&bmp); }),
              "Cannot assign a TPSFilterGraphic to a TBitmap32");
    EXPECT_TRUE(host.Requests.empty());
}

TEST(FilterGraphicRead, OtherDestinationsAreConversionErrors)
{
    Host host(3, 3, 3);
    TPSFilterGraphic graphic(&host.Record);
    TByteMap map;
    EXPECT_EQ(MessageOf<EConvertError>([&] { graphic.AssignTo(&map); }),
              "Cannot assign a TPSFilterGraphic to a TByteMap");
    EXPECT_EQ(MessageOf<EConvertError>([&] { map.Assign(&graphic); }),
              "Cannot assign a TPSFilterGraphic to a TByteMap");
    EXPECT_EQ(MessageOf<EConvertError>([&] { graphic.AssignTo(nullptr); }),
              "Cannot assign a TPSFilterGraphic to a nil");
    TPSFilterGraphic detached(nullptr);
    TBitmap32 bmp;
    EXPECT_EQ(MessageOf<EConvertError>([&] { detached.AssignTo(&bmp); }),
              "Cannot assign a TPSFilterGraphic to a TBitmap32");
    EXPECT_EQ(detached.Width(), 0);
    EXPECT_TRUE(host.Requests.empty());
}

TEST(FilterGraphicRead, SixteenBitDataFailsTheAssertion)
{
    Host host(3, 3, 3, {.DepthAfter = 16});
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    EXPECT_EQ(MessageOf<EAssertionFailed>([&] { graphic.AssignTo(&bmp); }), Line97);
    // A failed read leaves its request for the dispatcher to empty.
    EXPECT_FALSE(IsEmpty(host.Record.inRect));
}

TEST(FilterGraphicRead, EmptyOrInvertedRectanglesReadNothing)
{
    {
        Host host(4, 4, 3);
        host.Record.filterRect = Rect16{3, 3, 1, 1}; // bottom above top
        TPSFilterGraphic graphic(&host.Record);
        TBitmap32 bmp;
        bmp.SetSize(2, 2);
        graphic.AssignTo(&bmp);
        EXPECT_TRUE(bmp.IsEmpty());
        EXPECT_TRUE(IsEmpty(host.Record.inRect));
    }
    {
        // Nothing asked for: a host that serves no buffer for it has failed at nothing.
        Host host(4, 4, 3, {.NullBuffers = true});
        host.Record.filterRect = Rect16{0, 0, 0, 0};
        TPSFilterGraphic graphic(&host.Record);
        TBitmap32 bmp;
        graphic.AssignTo(&bmp);
        EXPECT_TRUE(bmp.IsEmpty());
    }
    {
        // No planes at all is no image of any mode: refused before anything is asked for.
        Host host(4, 4, 0);
        TPSFilterGraphic graphic(&host.Record);
        TBitmap32 bmp;
        EXPECT_EQ(MessageOf<EConvertError>([&] { graphic.AssignTo(&bmp); }),
                  "Cannot assign a TPSFilterGraphic to a TBitmap32");
        EXPECT_TRUE(host.Requests.empty());
    }
}

// A host that answers with an error, offers no callback, or answers without a buffer has not
// served the image: the read fails with the module's message before anything is copied, and
// leaves its request for the dispatcher to empty.
TEST(FilterGraphicRead, HostThatServesNoImageIsAnError)
{
    const auto failingHosts = [](auto Check) {
        {
            Host host(4, 4, 3, {.ServeNothing = true});
            Check(host, "error answer");
        }
        {
            Host host(4, 4, 3, {.NullBuffers = true});
            Check(host, "no buffer");
        }
        {
            Host host(4, 4, 3);
            host.Record.advanceState = nullptr;
            host.Record.inData = reinterpret_cast<void*>(16); // stale, must not be read
            Check(host, "no callback");
        }
    };
    failingHosts([](Host& host, const char* how) {
        TPSFilterGraphic graphic(&host.Record);
        TBitmap32 bmp;
        EXPECT_EQ(MessageOf<EHostDataError>([&] { graphic.AssignTo(&bmp); }), ImageNotServedMessage) << how;
        EXPECT_EQ(bmp.PixelAt(3, 3), 0u) << how;
        EXPECT_FALSE(IsEmpty(host.Record.inRect)) << how;
    });
    failingHosts([](Host& host, const char* how) {
        TPSFilterGraphic graphic(&host.Record);
        TFakeToolkitBitmap bmp;
        EXPECT_EQ(MessageOf<EHostDataError>([&] { graphic.AssignTo(&bmp); }), ImageNotServedMessage) << how;
    });
}

// ------------------------------------------------------------------ reading into a toolkit bitmap

TEST(FilterGraphicRead, ToolkitBitmapGetsBlueGreenRedOrder)
{
    Host host(5, 3, 3, {.PreDummy = 1, .RowPadding = 2});
    TPSFilterGraphic graphic(&host.Record);
    TFakeToolkitBitmap bmp;
    bmp.SetPixelFormatBits(24);
    graphic.AssignTo(&bmp);
    ASSERT_EQ(bmp.PixelFormatBits(), 32);
    ASSERT_EQ(bmp.Width(), 5);
    ASSERT_EQ(bmp.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bmp.Byte(x, y, 0), host.At(x, y, 2));
            EXPECT_EQ(bmp.Byte(x, y, 1), host.At(x, y, 1));
            EXPECT_EQ(bmp.Byte(x, y, 2), host.At(x, y, 0));
            EXPECT_EQ(bmp.Byte(x, y, 3), 0);
        }
    EXPECT_TRUE(IsEmpty(host.Record.inRect));
}

TEST(FilterGraphicRead, GreyIntoToolkitBitmapFillsOnlyByteTwo)
{
    Host host(4, 2, 1);
    TPSFilterGraphic graphic(&host.Record);
    TFakeToolkitBitmap bmp;
    graphic.AssignTo(&bmp);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(bmp.Byte(x, y, 0), 0);
            EXPECT_EQ(bmp.Byte(x, y, 1), 0);
            EXPECT_EQ(bmp.Byte(x, y, 2), host.At(x, y, 0));
            EXPECT_EQ(bmp.Byte(x, y, 3), 0);
        }
}

TEST(FilterGraphicRead, BottomUpAndTopDownToolkitBitmapsAgreeRowForRow)
{
    Host host(3, 4, 4);
    TPSFilterGraphic graphic(&host.Record);
    TFakeToolkitBitmap up(true), down(false);
    graphic.AssignTo(&up);
    graphic.AssignTo(&down);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x)
            for (int b = 0; b < 4; ++b)
                ASSERT_EQ(up.Byte(x, y, b), down.Byte(x, y, b));
    EXPECT_EQ(up.Byte(1, 0, 3), host.At(1, 0, 3));
    EXPECT_NE(up.RowAddress(0), down.RowAddress(0)); // different storage, same picture
}

TEST(FilterGraphicRead, SingleRowToolkitBitmap)
{
    Host host(3, 1, 3);
    TPSFilterGraphic graphic(&host.Record);
    TFakeToolkitBitmap bmp;
    graphic.AssignTo(&bmp);
    EXPECT_EQ(bmp.Byte(2, 0, 2), host.At(2, 0, 0));
}

// ------------------------------------------------------------------ writing back

TEST(FilterGraphicWrite, RoundTripLeavesTheFirstThreePlanesUnchanged)
{
    Host host(6, 5, 4, {.PreDummy = 2, .PostDummy = 1, .RowPadding = 5});
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    graphic.AssignTo(&bmp);
    graphic.Assign(&bmp);
    ASSERT_EQ(host.Requests.size(), 2u);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            for (int k = 0; k < 4; ++k)
                ASSERT_EQ(host.Output(x, y, k), host.At(x, y, k));
    EXPECT_TRUE(host.OutputFramingIntact());
}

TEST(FilterGraphicWrite, RequestsTheOutputAndEmptiesItAfterwards)
{
    Host host(4, 3, 3);
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    bmp.SetSize(4, 3);
    graphic.Assign(&bmp);
    ASSERT_EQ(host.Requests.size(), 1u);
    const auto& req = host.Requests[0];
    EXPECT_TRUE(IsEmpty(req.In));
    EXPECT_TRUE(SameRect(req.Out, host.Record.filterRect));
    EXPECT_EQ(req.OutLo, 0);
    EXPECT_EQ(req.OutHi, 2);
    EXPECT_EQ(req.Depth, 8);
    EXPECT_TRUE(IsEmpty(host.Record.inRect));
    EXPECT_TRUE(IsEmpty(host.Record.outRect));
}

TEST(FilterGraphicWrite, OnlyThreeChannelsTravelBack)
{
    Host host(3, 2, 4, {.PostDummy = 1});
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    bmp.SetSize(3, 2);
    bmp.Clear(0x55332211);
    graphic.Assign(&bmp);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(host.Output(x, y, 0), 0x11);
            EXPECT_EQ(host.Output(x, y, 1), 0x22);
            EXPECT_EQ(host.Output(x, y, 2), 0x33);
            EXPECT_EQ(host.Output(x, y, 3), host.At(x, y, 3));
        }
    EXPECT_TRUE(host.OutputFramingIntact());
}

TEST(FilterGraphicWrite, LargerSourceGivesItsTopLeftCorner)
{
    Host host(8, 6, 3);
    host.Record.filterRect = Rect16{2, 1, 4, 4}; // 3 x 2
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    bmp.SetSize(5, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            bmp.SetPixelAt(x, y, static_cast<TColor32>(y * 16 + x));
    graphic.Assign(&bmp);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(host.Output(x, y, 0), y * 16 + x);
}

TEST(FilterGraphicWrite, SmallerSourceIsRefusedBeforeAnyRequest)
{
    for (auto size : {std::pair{3, 4}, std::pair{4, 2}, std::pair{0, 0}}) {
        Host host(4, 3, 3);
        TPSFilterGraphic graphic(&host.Record);
        TBitmap32 bmp;
        bmp.SetSize(size.first, size.second);
        EXPECT_EQ(MessageOf<EInvalidOperation>([&] { graphic.Assign(&bmp); }), SourceTooSmallMessage);
        EXPECT_TRUE(host.Requests.empty());
    }
    Host host(4, 3, 3);
    TPSFilterGraphic graphic(&host.Record);
    TFakeToolkitBitmap small;
    small.SetPixelFormatBits(32);
    small.SetWidth(4);
    small.SetHeight(2);
    EXPECT_EQ(MessageOf<EInvalidOperation>([&] { graphic.Assign(&small); }), SourceTooSmallMessage);
    EXPECT_TRUE(host.Requests.empty());
}

TEST(FilterGraphicWrite, EmptyFilterRectangleWritesNothingAndIsNoError)
{
    Host host(4, 3, 3);
    host.Record.filterRect = Rect16{0, 0, 0, 0};
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    graphic.Assign(&bmp);
    EXPECT_TRUE(IsEmpty(host.Record.outRect));
}

TEST(FilterGraphicWrite, OneOrTwoPlanesCannotBeWrittenBack)
{
    for (int planes : {1, 2}) {
        Host host(2, 2, planes);
        TPSFilterGraphic graphic(&host.Record);
        TBitmap32 bmp;
        bmp.SetSize(2, 2);
        EXPECT_EQ(MessageOf<EAssertionFailed>([&] { graphic.Assign(&bmp); }), Line97);
    }
}

TEST(FilterGraphicWrite, ToolkitSourceMustBe32BitAndIsCheckedBeforeTheRequest)
{
    Host host(3, 2, 3);
    TPSFilterGraphic graphic(&host.Record);
    TFakeToolkitBitmap bmp;
    bmp.SetPixelFormatBits(24);
    bmp.SetWidth(3);
    bmp.SetHeight(2);
    EXPECT_EQ(MessageOf<EAssertionFailed>([&] { graphic.Assign(&bmp); }), Line227);
    EXPECT_TRUE(host.Requests.empty());
}

TEST(FilterGraphicWrite, ToolkitSourceSwapsRedAndBlueBack)
{
    Host host(3, 2, 3, {.RowPadding = 1});
    TPSFilterGraphic graphic(&host.Record);
    TFakeToolkitBitmap bmp;
    bmp.SetPixelFormatBits(32);
    bmp.SetWidth(3);
    bmp.SetHeight(2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            bmp.Byte(x, y, 0) = static_cast<std::uint8_t>(0xB0 + x); // blue
            bmp.Byte(x, y, 1) = static_cast<std::uint8_t>(0x60 + y); // green
            bmp.Byte(x, y, 2) = 0x0E;                                // red
            bmp.Byte(x, y, 3) = 0xFF;
        }
    graphic.Assign(&bmp);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(host.Output(x, y, 0), 0x0E);
            EXPECT_EQ(host.Output(x, y, 1), 0x60 + y);
            EXPECT_EQ(host.Output(x, y, 2), 0xB0 + x);
        }
    EXPECT_TRUE(host.OutputFramingIntact());
}

TEST(FilterGraphicWrite, OtherSourcesAreConversionErrors)
{
    Host host(3, 3, 3);
    TPSFilterGraphic graphic(&host.Record);
    TByteMap map;
    EXPECT_EQ(MessageOf<EConvertError>([&] { graphic.Assign(&map); }),
              "Cannot assign a TByteMap to a TPSFilterGraphic");
    EXPECT_EQ(MessageOf<EConvertError>([&] { graphic.Assign(nullptr); }),
              "Cannot assign a nil to a TPSFilterGraphic");
    TPSFilterGraphic detached(nullptr);
    TBitmap32 bmp;
    EXPECT_EQ(MessageOf<EConvertError>([&] { detached.Assign(&bmp); }),
              "Cannot assign a TBitmap32 to a TPSFilterGraphic");
    EXPECT_TRUE(host.Requests.empty());
}

// Apply into a host that serves no output buffer must not pass for a written image.
TEST(FilterGraphicWrite, HostThatServesNoOutputIsAnError)
{
    for (const fake_image_host::Options o : {fake_image_host::Options{.ServeNothing = true},
                                             fake_image_host::Options{.NullBuffers = true}}) {
        Host host(3, 3, 3, o);
        TPSFilterGraphic graphic(&host.Record);
        TBitmap32 bmp;
        bmp.SetSize(3, 3);
        EXPECT_EQ(MessageOf<EHostDataError>([&] { graphic.Assign(&bmp); }), OutputNotServedMessage);
        EXPECT_EQ(host.Requests.size(), 1u);
    }
    Host host(3, 3, 3);
    host.Record.advanceState = nullptr;
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bmp;
    bmp.SetSize(3, 3);
    EXPECT_EQ(MessageOf<EHostDataError>([&] { graphic.Assign(&bmp); }), OutputNotServedMessage);
}

} // namespace

// ------------------------------------------------------------------ the toolkit's own bitmap

TEST(FilterGraphicToolkitBitmap, ReadsIntoAndWritesFromTheRealBitmap)
{
    Host host(5, 3, 3, {.PreDummy = 1, .RowPadding = 3});
    TPSFilterGraphic graphic(&host.Record);
    TBitmap bmp; // starts device-dependent; the read makes it a 32-bit section
    bmp.Assign(&graphic);
    ASSERT_EQ(bmp.PixelFormat(), pf32bit);
    ASSERT_EQ(bmp.Width(), 5);
    ASSERT_EQ(bmp.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::uint8_t* p = static_cast<std::uint8_t*>(bmp.ScanLine(y)) + 4 * x;
            EXPECT_EQ(p[0], host.At(x, y, 2)) << x << "," << y;
            EXPECT_EQ(p[1], host.At(x, y, 1));
            EXPECT_EQ(p[2], host.At(x, y, 0));
        }
    // The canvas sees the same picture: red is the host's first plane.
    EXPECT_EQ(bmp.Canvas()->Pixel(4, 2) & 0xFF, host.At(4, 2, 0));

    static_cast<std::uint8_t*>(bmp.ScanLine(1))[4 * 2 + 2] = 0x5A; // red of (2, 1)
    graphic.Assign(&bmp);
    EXPECT_EQ(host.Output(2, 1, 0), 0x5A);
    EXPECT_EQ(host.Output(2, 1, 1), host.At(2, 1, 1));
    EXPECT_EQ(host.Output(0, 0, 2), host.At(0, 0, 2));
    EXPECT_TRUE(host.OutputFramingIntact());
}

TEST(FilterGraphicToolkitBitmap, RowViewFollowsThePixelFormat)
{
    TBitmap bmp;
    EXPECT_EQ(bmp.PixelFormatBits(), 0);
    bmp.SetPixelFormatBits(24);
    EXPECT_EQ(bmp.PixelFormat(), pf24bit);
    bmp.SetPixelFormatBits(16);
    EXPECT_EQ(bmp.PixelFormatBits(), 16);
    bmp.SetPixelFormatBits(7); // no such format: the device's own
    EXPECT_EQ(bmp.PixelFormat(), pfDevice);
    bmp.SetPixelFormatBits(32);
    bmp.SetSize(3, 2);
    // Bottom-up rows: the second row lies one stride before the first.
    IToolkitBitmapRows& rows = bmp;
    EXPECT_EQ(rows.RowAddress(0) - rows.RowAddress(1), 12);
}
