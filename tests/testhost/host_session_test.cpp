// The test host serves requests the way the module will rely on: these tests play the
// module's part through a scripted entry point.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "bmp_image.h"
#include "host_session.h"

namespace {

std::function<void(FilterRecord*, std::int16_t*)> Script;

void VP_CDECL ScriptedEntry(std::int16_t selector, FilterRecord* r, std::intptr_t*, std::int16_t* result) {
    *result = 0;
    if (selector == filterSelectorStart && Script) Script(r, result);
}

HostImage Card() { return MakeTestCard(5, 4); }

TEST(HostSession, ServesInputWithDummyPlanesAndPadding) {
    HostOptions o;
    o.PreDummyPlanes = 1;
    o.PostDummyPlanes = 2;
    o.RowPadding = 3;
    HostImage image = Card();
    HostSession s(image, std::nullopt, o);
    Script = [&](FilterRecord* r, std::int16_t*) {
        r->inRect = Rect16{1, 2, 3, 5};  // rows 1-2, columns 2-4
        r->inLoPlane = 0;
        r->inHiPlane = 2;
        ASSERT_EQ(r->advanceState(), noErr);
        auto* in = static_cast<std::uint8_t*>(r->inData);
        ASSERT_NE(in, nullptr);
        EXPECT_EQ(r->inPreDummyPlanes, 1);
        EXPECT_EQ(r->inRowBytes, 3 * 6 + 3);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const std::uint8_t* px = in + y * r->inRowBytes + x * 6;
                EXPECT_EQ(px[0], o.DummyPlaneValue);
                EXPECT_EQ(0, std::memcmp(px + 1, image.At(2 + x, 1 + y), 3));
                EXPECT_EQ(px[4], o.DummyPlaneValue);
            }
        r->inRect = Rect16{};
    };
    EXPECT_EQ(s.Run(ScriptedEntry).Result, noErr);
    EXPECT_EQ(s.Stats().AdvanceCalls, 1);
}

TEST(HostSession, OutputIsCommittedAndStrayWritesAreCounted) {
    HostOptions o;
    o.PostDummyPlanes = 1;
    o.RowPadding = 2;
    HostSession s(Card(), std::nullopt, o);
    Script = [&](FilterRecord* r, std::int16_t*) {
        r->outRect = r->filterRect;
        r->outLoPlane = 0;
        r->outHiPlane = 2;
        r->advanceState();
        auto* out = static_cast<std::uint8_t*>(r->outData);
        out[0] = 9;                       // pixel (0,0), plane 0
        out[r->outRowBytes + 4 + 1] = 7;  // pixel (1,1), plane 1
        out[3] = 0;                       // the dummy byte after pixel (0,0): a stray write
        r->outRect = Rect16{};
        r->advanceState();
    };
    s.Run(ScriptedEntry);
    HostImage after = s.Image();
    EXPECT_EQ(after.At(0, 0)[0], 9);
    EXPECT_EQ(after.At(1, 1)[1], 7);
    EXPECT_EQ(s.Stats().GuardDamage, 1);
}

TEST(HostSession, BadRequestsGiveErrorAndNullBuffers) {
    std::vector<std::uint8_t> mask(20, 128);
    HostSession s(Card(), mask, HostOptions{});
    Script = [&](FilterRecord* r, std::int16_t*) {
        for (Rect16 bad : {Rect16{0, 0, 5, 5}, Rect16{-1, 0, 2, 2}, Rect16{2, 2, 1, 3}}) {
            r->inRect = bad;
            r->inHiPlane = 2;
            EXPECT_EQ(r->advanceState(), filterBadParameters);
            const void* inData = r->inData;  // packed field: copy before comparing
            EXPECT_EQ(inData, nullptr);
        }
        r->inRect = Rect16{0, 0, 1, 1};
        r->inHiPlane = 3;  // a plane the image lacks
        EXPECT_EQ(r->advanceState(), filterBadParameters);
        r->inRect = Rect16{};
        r->maskRect = Rect16{0, 1, 2, 3};
        EXPECT_EQ(r->advanceState(), noErr);
        auto* mask = static_cast<const std::uint8_t*>(r->maskData);
        ASSERT_NE(mask, nullptr);
        EXPECT_EQ(mask[r->maskRowBytes + 1], 128);
        r->maskRect = Rect16{};
        EXPECT_EQ(r->displayPixels(nullptr, nullptr, 0, 0, nullptr), filterBadParameters);
    };
    s.Run(ScriptedEntry);
    EXPECT_EQ(s.Stats().AdvanceErrors, 4);
    EXPECT_EQ(s.Stats().DisplayErrors, 1);
}

// Hosts that do not serve: a failing callback answers with an error and nulls every buffer,
// even ones an earlier request served; without a callback the record carries none; a host
// without output buffers answers the output request with a null one.
TEST(HostSession, HostsThatServeNothing) {
    HostImage image = Card();
    std::vector<std::uint8_t> selection(static_cast<std::size_t>(image.Width) * image.Height, 255);
    HostOptions failing;
    failing.AdvanceStateFails = true;
    HostSession s(image, selection, failing);
    Script = [&](FilterRecord* r, std::int16_t*) {
        r->inData = r->maskData = reinterpret_cast<void*>(16);  // stale values from before
        r->inRect = r->maskRect = r->filterRect;
        r->inHiPlane = 2;
        EXPECT_EQ(r->advanceState(), memFullErr);
        // The record is packed: its pointers are compared by value, not bound by reference.
        EXPECT_TRUE(r->inData == nullptr);
        EXPECT_TRUE(r->maskData == nullptr);
        r->inRect = r->maskRect = Rect16{};
    };
    EXPECT_EQ(s.Run(ScriptedEntry).Result, noErr);
    EXPECT_EQ(s.Stats().AdvanceErrors, 1);

    HostOptions none;
    none.NoAdvanceState = true;
    HostSession without(image, std::nullopt, none);
    bool sawCallback = true;
    Script = [&](FilterRecord* r, std::int16_t*) { sawCallback = r->advanceState != nullptr; };
    without.Run(ScriptedEntry);
    EXPECT_FALSE(sawCallback);

    HostOptions noOutput;
    noOutput.NoOutputBuffer = true;
    HostSession inputOnly(image, std::nullopt, noOutput);
    Script = [&](FilterRecord* r, std::int16_t*) {
        r->inRect = r->outRect = r->filterRect;
        r->inHiPlane = r->outHiPlane = 2;
        EXPECT_EQ(r->advanceState(), noErr);
        EXPECT_TRUE(r->inData != nullptr);
        EXPECT_TRUE(r->outData == nullptr);
        r->inRect = r->outRect = Rect16{};
    };
    EXPECT_EQ(inputOnly.Run(ScriptedEntry).Result, noErr);
}

TEST(HostSession, UnusableHandleProcsCountAnyCall) {
    HostOptions o;
    o.UnusableHandleProcs = true;
    HostSession s(Card(), std::nullopt, o);
    Script = [&](FilterRecord* r, std::int16_t*) {
        EXPECT_EQ(r->handleProcs->handleProcsVersion, 2);
        EXPECT_EQ(r->handleProcs->newProc(8), nullptr);
    };
    s.Run(ScriptedEntry);
    EXPECT_EQ(s.Stats().ForbiddenCalls, 1);
}

TEST(HostSession, ContinuesWhileRectsStaySetButNotForever) {
    HostSession s(Card(), std::nullopt, HostOptions{});
    Script = [](FilterRecord* r, std::int16_t*) { r->inRect = Rect16{0, 0, 1, 1}; };
    CallOutcome o = s.Run(ScriptedEntry);
    EXPECT_EQ(o.ContinueCalls, 1000);
    EXPECT_EQ(o.InRect.bottom, 1);
}

TEST(BmpImage, RoundTripsRgbAndGrey) {
    HostImage card = MakeTestCard(7, 3);  // odd width: rows need padding
    HostImage back;
    std::string error;
    ASSERT_TRUE(ReadBmp(WriteBmp(card), back, error)) << error;
    EXPECT_EQ(back.Width, 7);
    EXPECT_EQ(back.Channels, 3);
    EXPECT_EQ(back.Pixels, card.Pixels);

    HostImage grey{3, 2, 1, {0, 50, 100, 150, 200, 255}};
    ASSERT_TRUE(ReadBmp(WriteBmp(grey), back, error)) << error;
    EXPECT_EQ(back.Channels, 1);
    EXPECT_EQ(back.Pixels, grey.Pixels);
}

TEST(BmpImage, MalformedFilesAreRefused) {
    std::vector<std::uint8_t> good = WriteBmp(MakeTestCard(4, 4));
    HostImage out;
    std::string error;
    for (std::size_t n : {std::size_t(0), std::size_t(20), std::size_t(60), good.size() - 1}) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(ReadBmp(cut, out, error)) << "cut at " << n;
    }
    std::vector<std::uint8_t> huge = good;
    huge[18] = 0xFF;
    huge[19] = 0xFF;  // width 65535: beyond 16-bit host coordinates
    EXPECT_FALSE(ReadBmp(huge, out, error));
    std::vector<std::uint8_t> rle = good;
    rle[30] = 1;
    EXPECT_FALSE(ReadBmp(rle, out, error));
}

}  // namespace
