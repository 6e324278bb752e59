// Storage, size, clip rectangle, properties, notifications and locking of TBitmap32.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

#include "bitmap/bitmap32.h"
#include "bitmap/byte_map.h"
#include "bitmap_fixtures.h"

TEST(Bitmap32Storage, NewBitmapIsEmptyWithItsInitialProperties)
{
    TBitmap32 b;
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.Bits(), nullptr);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_EQ(b.BitmapInfo().biSize, 40u);
    EXPECT_EQ(b.BitmapInfo().biPlanes, 1);
    EXPECT_EQ(b.BitmapInfo().biBitCount, 32);
    EXPECT_EQ(b.BitmapInfo().biCompression, 0u);
    EXPECT_EQ(b.MasterAlpha(), 255u);
    EXPECT_EQ(b.OuterColor(), 0u);
    EXPECT_EQ(b.PenColor, 0xFFFFFFFFu);
    EXPECT_EQ(b.StippleStep, 1.0f);
    EXPECT_EQ(b.CombineMode(), cmBlend);
    EXPECT_EQ(b.DrawMode(), dmOpaque);
    EXPECT_EQ(b.StretchFilter(), sfNearest);
    EXPECT_FALSE(b.FontSelected());
    EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 0, 0}));
}

TEST(Bitmap32Storage, ZeroOrNegativeSizesGiveAnEmptyBitmap)
{
    for (auto [w, h] : {std::pair{0, 5}, std::pair{-3, 4}, std::pair{5, 0}, std::pair{INT_MIN, 7},
                        std::pair{-1, -1}}) {
        TBitmap32 b;
        b.SetSize(4, 4);
        b.SetSize(w, h);
        EXPECT_TRUE(b.IsEmpty()) << w << " x " << h;
        EXPECT_EQ(b.Bits(), nullptr);
        EXPECT_EQ(b.Width(), 0);
        EXPECT_EQ(b.Height(), 0);
        EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 0, 0}));
    }
}

TEST(Bitmap32Storage, NewStorageIsZeroFilledTopDownAndClipped)
{
    TBitmap32 b;
    EXPECT_TRUE(b.SetSize(3, 2));
    EXPECT_FALSE(b.IsEmpty());
    ASSERT_NE(b.Bits(), nullptr);
    EXPECT_EQ(PixelsOf(b), std::vector<TColor32>(6, 0u));
    EXPECT_EQ(b.BitmapInfo().biWidth, 3);
    EXPECT_EQ(b.BitmapInfo().biHeight, -2);
    EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 3, 2}));
    EXPECT_EQ(b.BoundsRect(), (TRect{0, 0, 3, 2}));
    EXPECT_EQ(b.FixedClipRect(), (TFixedRect{0, 0, 3 << 16, 2 << 16}));
    EXPECT_EQ(b.ClipRect256(), (TRect{0, 0, 768, 512}));
    EXPECT_FALSE(b.Clipping());
    EXPECT_EQ(b.RowPointer(1), b.Bits() + 3);
    EXPECT_EQ(b.PixelPointer(2, 1), b.Bits() + 5);
    b.SetPixelAt(2, 1, 0x11223344);
    EXPECT_EQ(b.Bits()[5], 0x11223344u);
    EXPECT_EQ(b.PixelAt(2, 1), 0x11223344u);
}

TEST(Bitmap32Storage, ResizeDropsOldPixelsAndResetsTheClipRect)
{
    TBitmap32 b;
    b.SetSize(4, 4);
    b.Clear(0xFFABCDEF);
    b.SetClipRect(TRect{1, 1, 3, 9});
    EXPECT_EQ(b.ClipRect(), (TRect{1, 1, 3, 4}));
    EXPECT_EQ(b.ClipRect256(), (TRect{256, 256, 768, 1024}));
    EXPECT_TRUE(b.Clipping());
    b.SetSize(2, 5);
    EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 2, 5}));
    EXPECT_FALSE(b.Clipping());
    EXPECT_EQ(PixelsOf(b), std::vector<TColor32>(10, 0u));
}

TEST(Bitmap32Storage, SetSizeNotifiesChangeThenResizeAndTheHandleChangeFirst)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    log.Watch(b);
    log.WatchHandle(b);
    EXPECT_TRUE(b.SetSize(2, 2));
    EXPECT_EQ(log.Events, (std::vector<std::string>{"handle", "change", "resize"}));
    log.Events.clear();
    EXPECT_FALSE(b.SetSize(2, 2));
    EXPECT_TRUE(log.Events.empty());
    b.ReleaseStorage();
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(log.Events, (std::vector<std::string>{"handle", "change", "resize"}));
    log.Events.clear();
    EXPECT_FALSE(b.SetSize(-4, 0)) << "negative counts as 0, so 0 x 0 is the present size";
    EXPECT_TRUE(log.Events.empty());
}

TEST(Bitmap32Storage, OversizedRequestsRaiseAndLeaveTheBitmapEmpty)
{
    for (auto [w, h] : {std::pair{INT_MAX, INT_MAX}, std::pair{65536, 65536}, std::pair{23171, 23171},
                        std::pair{INT_MAX, 1}, std::pair{1, 536870912}}) {
        EventLog log;
        TBitmap32 b;
        b.SetSize(3, 3);
        b.SetClipRect(TRect{1, 1, 2, 2});
            log.Watch(b);
        log.WatchHandle(b);
        try {
            b.SetSize(w, h);
            ADD_FAILURE() << w << " x " << h << " was accepted";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Can't allocate the DIB handle");
        }
        EXPECT_TRUE(b.IsEmpty());
        EXPECT_EQ(b.Bits(), nullptr);
        EXPECT_EQ(b.Width(), 0);
        EXPECT_EQ(b.Height(), 0);
        EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 0, 0}));
        EXPECT_EQ(log.Events, (std::vector<std::string>{"handle"}));
        // With the clip rectangle reset, clipped drawing has nowhere to write.
        b.FillRectClipped(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xFFFFFFFF);
        b.FillRowSpanClipped(INT_MIN, 0, INT_MAX, 0xFFFFFFFF);
        EXPECT_EQ(b.PixelClipped(0, 0), b.OuterColor());
        // The bitmap stays usable.
        EXPECT_TRUE(b.SetSize(2, 1));
        EXPECT_EQ(PixelsOf(b), (std::vector<TColor32>{0, 0}));
    }
}

TEST(Bitmap32Storage, DestructionReleasesStorageWithoutChangeNotification)
{
    EventLog log;
    {
        TBitmap32 b;
        b.SetSize(2, 2);
        log.Watch(b);
        log.WatchHandle(b);
    }
    EXPECT_EQ(log.Events, (std::vector<std::string>{"handle", "resize"}));
}

TEST(Bitmap32Properties, SettersNotifyOnlyOnChangeExceptCombineMode)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    log.Watch(b);
    b.SetDrawMode(dmOpaque);
    b.SetMasterAlpha(255);
    b.SetStretchFilter(sfNearest);
    EXPECT_EQ(log.Count("change"), 0);
    b.SetDrawMode(dmBlend);
    b.SetMasterAlpha(128);
    b.SetStretchFilter(sfLanczos);
    EXPECT_EQ(log.Count("change"), 3);
    EXPECT_EQ(b.DrawMode(), dmBlend);
    EXPECT_EQ(b.MasterAlpha(), 128u);
    EXPECT_EQ(b.StretchFilter(), sfLanczos);
    b.SetCombineMode(cmBlend);
    b.SetCombineMode(cmBlend);
    EXPECT_EQ(log.Count("change"), 5);
    b.SetCombineMode(cmMerge);
    EXPECT_EQ(b.CombineMode(), cmMerge);
    EXPECT_EQ(log.Count("change"), 6);
}

TEST(Bitmap32Updates, NestedBracketsHoldBackChangeUntilTheNextChangeAfterClosing)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    b.SetSize(2, 2);
    log.Watch(b);
    b.BeginUpdate();
    b.BeginUpdate();
    EXPECT_EQ(b.UpdateCount(), 2);
    b.Clear(0xFF000000);
    b.EndUpdate();
    b.Clear(0xFF000001);
    EXPECT_EQ(log.Count("change"), 0);
    b.EndUpdate();
    EXPECT_EQ(b.UpdateCount(), 0);
    EXPECT_EQ(log.Count("change"), 0) << "EndUpdate itself does not notify";
    b.Clear(0xFF000002);
    EXPECT_EQ(log.Count("change"), 1);
    EXPECT_EQ(b.PixelAt(1, 1), 0xFF000002u);
}

TEST(Bitmap32Updates, ResizeInsideABracketStillReportsTheResize)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    log.Watch(b);
    b.BeginUpdate();
    b.SetSize(3, 3);
    b.EndUpdate();
    EXPECT_EQ(log.Events, (std::vector<std::string>{"resize"}));
}

TEST(Bitmap32Updates, UnpairedEndUpdateRaisesAndKeepsTheCount)
{
    TBitmap32 b;
    try {
        b.EndUpdate();
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Unpaired TThreadPersistent.EndUpdate");
    }
    EXPECT_EQ(b.UpdateCount(), 0);
    b.BeginUpdate();
    b.EndUpdate();
    EXPECT_THROW(b.EndUpdate(), EAssertionFailed);
    EXPECT_EQ(b.UpdateCount(), 0);
}

TEST(Bitmap32Lock, LockCountsAndExcludesOtherThreads)
{
    TBitmap32 b;
    b.Lock();
    b.Lock(); // the owner may lock again
    EXPECT_EQ(b.LockCount(), 2);
    std::atomic<bool> entered{false};
    std::thread other([&] {
        b.Lock();
        entered = true;
        b.Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(entered.load()) << "another thread got in while the bitmap was locked";
    b.Unlock();
    EXPECT_FALSE(entered.load());
    b.Unlock();
    other.join();
    EXPECT_TRUE(entered.load());
    EXPECT_EQ(b.LockCount(), 0);
}

namespace {
class TSizedThing : public TPersistent, public ISizeSource {
public:
    VP_CLASS_NAME(TSizedThing)
    int SourceWidth() const override { return 7; }
    int SourceHeight() const override { return 3; }
};
} // namespace

TEST(Bitmap32SetSizeFrom, TakesMapsToolkitSizesAndNullAndRejectsTheRest)
{
    TBitmap32 b;
    TByteMap m;
    m.SetSize(5, 2);
    b.SetSizeFrom(&m);
    EXPECT_EQ(b.Width(), 5);
    EXPECT_EQ(b.Height(), 2);
    TSizedThing sized;
    b.SetSizeFrom(&sized);
    EXPECT_EQ(b.Width(), 7);
    EXPECT_EQ(b.Height(), 3);
    b.SetSizeFrom(nullptr);
    EXPECT_TRUE(b.IsEmpty());
    b.SetSize(2, 2);
    TOddThing odd;
    try {
        b.SetSizeFrom(&odd);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Can't set size from 'TOddThing'");
    }
    EXPECT_EQ(b.Width(), 2) << "a rejected source leaves the size alone";
}

class Bitmap32Pixels : public PlainBlendTest {};

TEST_F(Bitmap32Pixels, ClippedReadsGiveOuterColourAndBlendedWritesStayInside)
{
    EventLog log; // declared first: the bitmaps notify it while they are destroyed
    TBitmap32 b;
    FillFrom(b, 3, 2, {1, 2, 3, 4, 5, 6});
    b.SetOuterColor(0xDEADBEEF);
    EXPECT_EQ(b.PixelClipped(3, 0), 0xDEADBEEFu);
    EXPECT_EQ(b.PixelClipped(0, -1), 0xDEADBEEFu);
    EXPECT_EQ(b.PixelClipped(-1, 1), 0xDEADBEEFu);
    EXPECT_EQ(b.PixelClipped(1, 2), 0xDEADBEEFu);
    EXPECT_EQ(b.PixelClipped(2, 1), 6u);
    b.SetClipRect(TRect{1, 0, 3, 1});
    EXPECT_EQ(b.PixelClipped(0, 0), 0xDEADBEEFu) << "reads outside the clip rectangle, not the bounds";
    EXPECT_EQ(b.PixelClipped(1, 0), 2u);

    const std::vector<TColor32> before = PixelsOf(b);
    log.Watch(b);
    for (auto [x, y] : {std::pair{3, 0}, std::pair{0, -1}, std::pair{0, 0}, std::pair{1, 1},
                        std::pair{INT_MIN, INT_MAX}, std::pair{INT_MAX, 0}})
        b.SetPixelBlended(x, y, 0xFFFFFFFF);
    EXPECT_EQ(PixelsOf(b), before);
    b.SetPixelBlended(1, 0, 0x80FF0000);
    b.SetPixelBlended(2, 0, 0x00FFFFFF);
    // Plain blend of 0x80FF0000 over 0x00000002: alpha 64, red 128, blue 1.
    EXPECT_EQ(b.PixelAt(1, 0), 0x40800001u);
    EXPECT_EQ(b.PixelAt(2, 0), 3u) << "alpha 0 leaves the pixel";
    EXPECT_TRUE(log.Events.empty()) << "pixel writes do not notify";
}

TEST_F(Bitmap32Pixels, MergeModeSelectsTheMergeBlend)
{
    TBitmap32 b;
    FillFrom(b, 1, 1, {0x00123456});
    b.SetCombineMode(cmMerge);
    // Merge over a pixel of alpha 0 gives the foreground unchanged; blend would not.
    b.SetPixelBlended(0, 0, 0x80FF0000);
    EXPECT_EQ(b.PixelAt(0, 0), 0x80FF0000u);
}
