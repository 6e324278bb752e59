#include "host/parameter_block.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "host/fake_host.h"
#include "toolkit/headless/memory_probe.h"
#include "toolkit/platform_memory.h"

namespace {

class ParameterBlockTest : public ::testing::Test {
protected:
    void SetUp() override { fake_host::Reset(); }
    void TearDown() override { fake_host::Reset(); }
    HandleProcs procs = fake_host::UsableProcs();
    FilterRecord record = fake_host::MakeRecord(&procs);
    std::int16_t result = 0x5555;
    std::intptr_t slot = 0;
};

const unsigned char* Bytes(const void* p) { return static_cast<const unsigned char*>(p); }

TEST(ParameterLayout, BlockSizesFollowPointerWidth) {
    EXPECT_EQ(kNoiseBlockSize, 2 * sizeof(void*) + 5);
    EXPECT_EQ(kLineBlockSize, 2 * sizeof(void*) + 12);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(kNoiseBlockSize, 13u);
        EXPECT_EQ(kLineBlockSize, 20u);
    }
}

TEST(ParameterLayout, LineDefaultsAreTheDocumentedBytes) {
    std::array<unsigned char, kLineBlockSize> block;
    block.fill(0xEE);
    InitLineParameters(block.data());
    const unsigned char expected[12] = {0x01, 0x01, 0x00, 0x00, 0x00, 0xFF,
                                        0x00, 0x00, 0x80, 0x3F, 0x00, 0x7F};
    EXPECT_EQ(0, std::memcmp(block.data() + kParameterHeaderSize, expected, 12));
    for (std::size_t i = 0; i < kParameterHeaderSize; ++i)
        EXPECT_EQ(block[i], 0xEE) << "header byte " << i << " touched";
}

TEST(ParameterLayout, NoiseDefaultsAreZeroAndLeaveHeader) {
    std::array<unsigned char, kNoiseBlockSize + 1> block;
    block.fill(0xEE);
    InitNoiseParameters(block.data());
    for (std::size_t i = 0; i < kParameterHeaderSize; ++i) EXPECT_EQ(block[i], 0xEE);
    for (std::size_t i = kParameterHeaderSize; i < kNoiseBlockSize; ++i) EXPECT_EQ(block[i], 0);
    EXPECT_EQ(block[kNoiseBlockSize], 0xEE) << "wrote past the noise tail";
}

TEST(ParameterLayout, UnalignedFieldsRoundTripAtOddAddresses) {
    alignas(8) unsigned char storage[64] = {};
    for (std::size_t offset = 1; offset < 4; ++offset) {
        void* block = storage + offset;
        LineParameters in{};
        in.Interpolated = 1;
        in.SetDrawColor(0x80112233u);
        in.SetScale(2.5f);
        in.ScaleMode = 3;
        in.Saturation = 200;
        WriteLineParameters(block, in);
        const unsigned char* tail = storage + offset + kParameterHeaderSize;
        // Little-endian colour word at tail+2, float bits at tail+6.
        EXPECT_EQ(tail[2], 0x33);
        EXPECT_EQ(tail[5], 0x80);
        std::uint32_t bits;
        std::memcpy(&bits, tail + 6, 4);
        EXPECT_EQ(bits, 0x40200000u);
        LineParameters out = ReadLineParameters(block);
        EXPECT_EQ(out.Interpolated, 1);
        EXPECT_EQ(out.DrawColor(), 0x80112233u);
        EXPECT_EQ(out.Scale(), 2.5f);
        EXPECT_EQ(out.ScaleMode, 3);
        EXPECT_EQ(out.Saturation, 200);

        // Edited in place, seen by the copying accessor, and the other way round.
        LineParameters* live = LineParametersOf(block);
        EXPECT_EQ(live->Scale(), 2.5f);
        live->SetDrawColor(0x01020304u);
        EXPECT_EQ(ReadLineParameters(block).DrawColor(), 0x01020304u);
        EXPECT_EQ(tail[2], 0x04);

        NoiseParameters n{1, 2, 3, 4, 5};
        WriteNoiseParameters(block, n);
        NoiseParameters back = ReadNoiseParameters(block);
        EXPECT_EQ(back.Alpha, 1);
        EXPECT_EQ(back.Variation, 5);
        EXPECT_EQ(tail[4], 5);
        EXPECT_EQ(NoiseParametersOf(block)->Blue, 4);
    }
}

TEST(HandleProcsUsable, RejectsEveryIncompleteOrForeignRecord) {
    HandleProcs good = fake_host::UsableProcs();
    EXPECT_TRUE(HandleProcsUsable(&good));
    EXPECT_FALSE(HandleProcsUsable(nullptr));

    auto with = [&](auto change) {
        HandleProcs p = good;
        change(p);
        return HandleProcsUsable(&p);
    };
    EXPECT_FALSE(with([](HandleProcs& p) { p.handleProcsVersion = 0; }));
    EXPECT_FALSE(with([](HandleProcs& p) { p.handleProcsVersion = 2; }));
    EXPECT_FALSE(with([](HandleProcs& p) { p.handleProcsVersion = -1; }));
    EXPECT_FALSE(with([](HandleProcs& p) { p.numHandleProcs = 6; }));
    EXPECT_TRUE(with([](HandleProcs& p) { p.numHandleProcs = 7; }));
    EXPECT_FALSE(with([](HandleProcs& p) { p.newProc = nullptr; }));
    EXPECT_FALSE(with([](HandleProcs& p) { p.disposeProc = nullptr; }));
    EXPECT_FALSE(with([](HandleProcs& p) { p.getSizeProc = nullptr; }));
    EXPECT_FALSE(with([](HandleProcs& p) { p.setSizeProc = nullptr; }));
    EXPECT_FALSE(with([](HandleProcs& p) { p.lockProc = nullptr; }));
    // The unlock procedure is never used, so its absence does not matter.
    EXPECT_TRUE(with([](HandleProcs& p) { p.unlockProc = nullptr; }));
}

TEST_F(ParameterBlockTest, FirstStartCreatesLockedInitialisedBlockThroughHost) {
    void* block = AcquireParameterBlock(&result, &record, &procs, InitNoiseParameters, &slot,
                                        kNoiseBlockSize);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fake_host::State().New, 1);
    EXPECT_EQ(fake_host::State().LastNewSize, static_cast<std::int32_t>(kNoiseBlockSize));
    EXPECT_EQ(fake_host::State().LastMoveHigh, 1);
    EXPECT_EQ(fake_host::State().Unlock, 0);
    ASSERT_NE(slot, 0);
    auto* h = reinterpret_cast<fake_host::HostHandle*>(slot);
    EXPECT_EQ(block, h->Data);
    ParameterBlockHeader header = ReadParameterHeader(block);
    EXPECT_EQ(header.ResultWord, &result);
    EXPECT_EQ(header.FilterRecord, &record);
    for (std::size_t i = kParameterHeaderSize; i < kNoiseBlockSize; ++i)
        EXPECT_EQ(Bytes(block)[i], 0);
}

TEST_F(ParameterBlockTest, SecondStartKeepsTailAndRefreshesHeader) {
    void* first = AcquireParameterBlock(&result, &record, &procs, InitLineParameters, &slot,
                                        kLineBlockSize);
    ASSERT_NE(first, nullptr);
    LineParameters changed = ReadLineParameters(first);
    changed.Saturation = 9;
    changed.SetDrawColor(0x12345678u);
    WriteLineParameters(first, changed);
    std::intptr_t kept = slot;

    FilterRecord other = fake_host::MakeRecord(&procs);
    std::int16_t otherResult = 77;
    void* second = AcquireParameterBlock(&otherResult, &other, &procs, InitLineParameters,
                                         &slot, kLineBlockSize);
    ASSERT_EQ(second, first);
    EXPECT_EQ(slot, kept);
    EXPECT_EQ(fake_host::State().New, 1);
    EXPECT_EQ(otherResult, 0);
    EXPECT_EQ(ReadLineParameters(second).Saturation, 9);
    EXPECT_EQ(ReadLineParameters(second).DrawColor(), 0x12345678u);
    ParameterBlockHeader header = ReadParameterHeader(second);
    EXPECT_EQ(header.ResultWord, &otherResult);
    EXPECT_EQ(header.FilterRecord, &other);
}

TEST_F(ParameterBlockTest, AllocationFailureLeavesSlotEmpty) {
    fake_host::State().FailNew = true;
    EXPECT_EQ(AcquireParameterBlock(&result, &record, &procs, InitNoiseParameters, &slot,
                                    kNoiseBlockSize),
              nullptr);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(fake_host::State().Lock, 0);
}

TEST_F(ParameterBlockTest, LockFailureAfterCreationDisposesTheNewHandle) {
    fake_host::State().FailLock = true;
    EXPECT_EQ(AcquireParameterBlock(&result, &record, &procs, InitNoiseParameters, &slot,
                                    kNoiseBlockSize),
              nullptr);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(fake_host::State().Dispose, 1);
    EXPECT_TRUE(fake_host::Handles().empty());
}

TEST_F(ParameterBlockTest, LockFailureOfExistingHandleKeepsIt) {
    ASSERT_NE(AcquireParameterBlock(&result, &record, &procs, InitNoiseParameters, &slot,
                                    kNoiseBlockSize),
              nullptr);
    std::intptr_t kept = slot;
    fake_host::State().FailLock = true;
    EXPECT_EQ(AcquireParameterBlock(&result, &record, &procs, InitNoiseParameters, &slot,
                                    kNoiseBlockSize),
              nullptr);
    EXPECT_EQ(slot, kept);
    EXPECT_EQ(fake_host::State().Dispose, 0);
}

TEST_F(ParameterBlockTest, MissingSlotOrBadSizeAllocatesNothing) {
    EXPECT_EQ(AcquireParameterBlock(&result, &record, &procs, InitNoiseParameters, nullptr,
                                    kNoiseBlockSize),
              nullptr);
    EXPECT_EQ(AcquireParameterBlock(&result, &record, &procs, InitNoiseParameters, &slot, 3),
              nullptr);
    EXPECT_EQ(fake_host::State().New, 0);
    EXPECT_EQ(slot, 0);
}

TEST_F(ParameterBlockTest, NullResultWordIsNotWritten) {
    void* block = AcquireParameterBlock(nullptr, &record, &procs, InitNoiseParameters, &slot,
                                        kNoiseBlockSize);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(ReadParameterHeader(block).ResultWord, nullptr);
}

class FallbackTest : public ParameterBlockTest {};

TEST_F(FallbackTest, UnusableProcsUsePlatformMemory) {
    for (std::int16_t version : {std::int16_t(2), std::int16_t(0)}) {
        fake_host::Reset();
        slot = 0;
        HandleProcs newer = fake_host::UsableProcs();
        newer.handleProcsVersion = version;
        std::size_t before = platform_memory::LiveBlockCount();
        void* block = AcquireParameterBlock(&result, &record, &newer, InitLineParameters,
                                            &slot, kLineBlockSize);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(fake_host::State().New, 0) << "host procs of version " << version << " used";
        EXPECT_EQ(fake_host::State().Lock, 0);
        EXPECT_EQ(platform_memory::LiveBlockCount(), before + 1);
        EXPECT_EQ(ReadLineParameters(block).Saturation, 127);
        // The next start finds the same block again.
        EXPECT_EQ(AcquireParameterBlock(&result, &record, &newer, InitLineParameters, &slot,
                                        kLineBlockSize),
                  block);
        FallbackDisposeHandle(reinterpret_cast<Handle>(slot));
        EXPECT_EQ(platform_memory::LiveBlockCount(), before);
    }
}

TEST_F(FallbackTest, NullProcsAndShortCountAlsoFallBack) {
    HandleProcs shortRecord = fake_host::UsableProcs();
    shortRecord.numHandleProcs = 6;
    for (HandleProcs* p : {static_cast<HandleProcs*>(nullptr), &shortRecord}) {
        slot = 0;
        void* block = AcquireParameterBlock(&result, &record, p, InitNoiseParameters, &slot,
                                            kNoiseBlockSize);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(fake_host::State().New, 0);
        FallbackDisposeHandle(reinterpret_cast<Handle>(slot));
    }
}

TEST(FallbackMemory, NewHandleIsZeroFilledAndStable) {
    Handle h = FallbackNewHandle(40);
    ASSERT_NE(h, nullptr);
    auto* p = static_cast<unsigned char*>(LockHostHandle(nullptr, h, true));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(p[i], 0);
    // The handle's first word names the block.
    void* first;
    std::memcpy(&first, h, sizeof first);
    EXPECT_EQ(first, p);
    EXPECT_EQ(platform_memory::HandleOf(p), h);
    EXPECT_EQ(LockHostHandle(nullptr, h, true), p);
    std::size_t before = platform_memory::LiveBlockCount();
    DisposeHostHandle(nullptr, h);
    EXPECT_EQ(platform_memory::LiveBlockCount(), before - 1);
}

TEST(FallbackMemory, BadRequestsAreHarmless) {
    EXPECT_EQ(FallbackNewHandle(-1), nullptr);
    std::size_t before = platform_memory::LiveBlockCount();
    FallbackDisposeHandle(nullptr);
    int notAHandle = 0;
    EXPECT_EQ(platform_memory::Lock(&notAHandle), nullptr);
    EXPECT_EQ(platform_memory::HandleOf(&notAHandle), nullptr);
    platform_memory::Free(&notAHandle);
    EXPECT_EQ(platform_memory::LiveBlockCount(), before);
}

TEST(FallbackMemory, DisposeFreesEachBlockOnce) {
    // Dispose twice through fresh handles: the count drops by exactly one each time.
    Handle a = FallbackNewHandle(8);
    Handle b = FallbackNewHandle(0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(platform_memory::Lock(b), nullptr);
    std::size_t before = platform_memory::LiveBlockCount();
    FallbackDisposeHandle(a);
    EXPECT_EQ(platform_memory::LiveBlockCount(), before - 1);
    FallbackDisposeHandle(b);
    EXPECT_EQ(platform_memory::LiveBlockCount(), before - 2);
}

}  // namespace
