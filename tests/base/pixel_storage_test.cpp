// Headless pixel storage: what a measuring program is told of, and what it is not.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/dib.h"
#include "base/headless/dib_accounting.h"
#include "base/object.h"

namespace {

std::vector<std::int64_t> Reports;
void Record(std::int64_t Bytes) { Reports.push_back(Bytes); }

class PixelStorageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Reports.clear();
        headless_dib::SetStorageObserver(Record);
    }
    void TearDown() override
    {
        headless_dib::SetStorageObserver(nullptr);
        headless_dib::SetLargestStorage(0);
    }
};

TEST_F(PixelStorageTest, LargeStorageIsReportedBothWaysAndComesZeroed)
{
    const std::int64_t before = headless_dib::LiveStorageBytes();
    TDibStorage s = CreateDibStorage(1024, 1100); // past the size that is mapped
    const std::int64_t bytes = 1024 * 1100 * 4;
    EXPECT_EQ(headless_dib::LiveStorageBytes() - before, bytes);
    ASSERT_NE(s.Bits, nullptr);
    EXPECT_EQ(s.Bits[0], 0u);
    EXPECT_EQ(s.Bits[1024 * 1100 - 1], 0u);
    DestroyDibStorage(s);
    EXPECT_EQ(s.Bits, nullptr);
    EXPECT_EQ(headless_dib::LiveStorageBytes(), before);
    EXPECT_EQ(Reports, (std::vector<std::int64_t>{bytes, -bytes}));
}

TEST_F(PixelStorageTest, SmallStorageIsLeftToTheHeapsWatchers)
{
    TDibStorage s = CreateDibStorage(16, 16);
    DestroyDibStorage(s);
    EXPECT_TRUE(Reports.empty());
}

TEST_F(PixelStorageTest, ScreenStorageIsHeldButNeverReported)
{
    const std::int64_t before = headless_dib::LiveStorageBytes();
    TDibStorage small, large;
    {
        headless_dib::TDisplayStorageScope screen;
        small = CreateDibStorage(40, 30);
        large = CreateDibStorage(1024, 1100);
    }
    EXPECT_EQ(headless_dib::LiveStorageBytes() - before, (40 * 30 + 1024 * 1100) * 4);
    small.Bits[40 * 30 - 1] = 7; // usable to its last pixel
    DestroyDibStorage(small);
    DestroyDibStorage(large);
    EXPECT_EQ(headless_dib::LiveStorageBytes(), before);
    EXPECT_TRUE(Reports.empty());
    // The scope has closed: storage is reported again.
    TDibStorage after = CreateDibStorage(1024, 1100);
    DestroyDibStorage(after);
    EXPECT_EQ(Reports.size(), 2u);
}

TEST_F(PixelStorageTest, ALimitRefusesLargerStorageWithTheDibMessage)
{
    headless_dib::SetLargestStorage(1000);
    try {
        CreateDibStorage(16, 16);
        FAIL() << "1024 bytes passed a limit of 1000";
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Can't allocate the DIB handle");
    }
    TDibStorage fits = CreateDibStorage(10, 25);
    EXPECT_NE(fits.Bits, nullptr);
    DestroyDibStorage(fits);
}

} // namespace
