// The row loops under CopyPlanes against the plain per-byte loop, over random
// layouts: planes, dummy planes, padded rows, bottom-up rows, widths with every tail length.
// Each source buffer ends at the last channel byte of its last row, so the sanitizers see any
// read past what a host must serve.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bridge/filter_graphic.h"
#include "bridge/plane_copy.h"
#include "fake_image_host.h"

namespace {

// CopyPlanes step 3, byte by byte.
void ReferenceCopy(const PlaneLayout& S, const PlaneLayout& D, int Columns, int Rows, ChannelMap Map)
{
    for (int r = 0; r < Rows; ++r) {
        const std::uint8_t* s = S.Data + static_cast<std::ptrdiff_t>(r) * S.RowBytes;
        std::uint8_t* d = D.Data + static_cast<std::ptrdiff_t>(r) * D.RowBytes;
        for (int c = 0; c < Columns; ++c) {
            s += S.PreSkip;
            d += D.PreSkip;
            for (int k = 0; k < S.Planes; ++k)
                d[Map(k)] = s[k];
            s += S.Planes + S.PostSkip;
            d += D.Planes + D.PostSkip;
        }
    }
}

// A buffer of Rows rows of Columns pixels, rows Stride bytes apart (top-down, or bottom-up
// with the first row last), holding exactly the bytes from the first row's start to the
// last row's last channel byte.
struct Buffer {
    std::unique_ptr<std::uint8_t[]> Bytes;
    std::size_t Size = 0;
    PlaneLayout Layout;
};

Buffer MakeBuffer(std::mt19937& Rnd, int Pre, int Planes, int Post, int Padding, int Columns, int Rows, bool BottomUp)
{
    Buffer b;
    const int pixel = Pre + Planes + Post;
    const int stride = Columns * pixel + Padding;
    const std::size_t lastRowEnd = static_cast<std::size_t>(Columns - 1) * pixel + Pre + Planes;
    b.Size = static_cast<std::size_t>(Rows - 1) * stride + lastRowEnd;
    b.Bytes.reset(new std::uint8_t[b.Size]);
    for (std::size_t i = 0; i < b.Size; ++i)
        b.Bytes[i] = static_cast<std::uint8_t>(Rnd());
    // Bottom-up: row 0 is the last in memory, and then it is the one that must end the buffer.
    std::uint8_t* first = BottomUp ? b.Bytes.get() + static_cast<std::size_t>(Rows - 1) * stride : b.Bytes.get();
    b.Layout = PlaneLayout{first, Pre, Planes, Post, BottomUp ? -stride : stride, 8};
    return b;
}

TEST(PlaneCopyRows, EveryLayoutMatchesTheByteLoop)
{
    const std::uint32_t seed = 0x5EED2101u;
    std::mt19937 rnd(seed);
    for (int n = 0; n < 4000; ++n) {
        const int planes = 1 + static_cast<int>(rnd() % 4);
        const int pre = n % 3 == 0 ? 0 : static_cast<int>(rnd() % 3);
        const int post = n % 5 == 0 ? 0 : static_cast<int>(rnd() % 3);
        const int padding = n % 2 == 0 ? 0 : static_cast<int>(rnd() % 7);
        const int columns = 1 + static_cast<int>(rnd() % 70);
        const int rows = 1 + static_cast<int>(rnd() % 3);
        const bool bottomUp = rnd() % 4 == 0;
        const Buffer src = MakeBuffer(rnd, pre, planes, post, padding, columns, rows, bottomUp);
        // Mostly 32-bit bitmap rows (the fast path); now and then another destination.
        const bool bitmap = n % 4 != 3;
        const int dPlanes = bitmap ? 4 : planes + static_cast<int>(rnd() % (5 - planes));
        const int dPre = bitmap ? 0 : static_cast<int>(rnd() % 2), dPost = bitmap ? 0 : static_cast<int>(rnd() % 2);
        const Buffer dstA = MakeBuffer(rnd, dPre, dPlanes, dPost, 0, columns, rows, false);
        Buffer dstB = MakeBuffer(rnd, dPre, dPlanes, dPost, 0, columns, rows, false);
        std::copy(dstA.Bytes.get(), dstA.Bytes.get() + dstA.Size, dstB.Bytes.get());
        const ChannelMap map = n % 7 == 6 && planes <= 4 && dPlanes == 4 ? SwapRedBlueChannelMap : IdentityChannelMap;

        ReferenceCopy(src.Layout, dstA.Layout, columns, rows, map);
        CopyPlanes(src.Layout, dstB.Layout, columns, rows, map);
        ASSERT_TRUE(std::equal(dstA.Bytes.get(), dstA.Bytes.get() + dstA.Size, dstB.Bytes.get()))
            << "seed " << std::hex << seed << std::dec << " case " << n << ": planes " << planes << " pre " << pre
            << " post " << post << " padding " << padding << " columns " << columns << " rows " << rows
            << (bottomUp ? " bottom-up" : "") << " into " << dPre << "/" << dPlanes << "/" << dPost;
    }
}

// The twin against the portable loop, row by row, with the destination's kept bytes random.
TEST(PlaneCopyRows, Sse2TwinMatchesThePortableLoop)
{
#if defined(VESPER_X86)
    if (RowInto32() != CopyRowInto32Sse2)
        GTEST_SKIP() << "no SSE2 here";
    const std::uint32_t seed = 0x5EED2102u;
    std::mt19937 rnd(seed);
    for (int n = 0; n < 20000; ++n) {
        const int planes = 1 + static_cast<int>(rnd() % 4);
        // The twin's own layouts most of the time.
        const int stride = n % 3 == 0 ? 3 : n % 3 == 1 ? 4 : planes + static_cast<int>(rnd() % 4);
        if (stride < planes)
            continue;
        const int columns = 1 + static_cast<int>(rnd() % 40);
        const std::size_t readable = static_cast<std::size_t>(columns - 1) * stride + planes;
        std::unique_ptr<std::uint8_t[]> src(new std::uint8_t[readable]);
        for (std::size_t i = 0; i < readable; ++i)
            src[i] = static_cast<std::uint8_t>(rnd());
        // Every other case into cleared storage, told so: the same bytes must come out.
        const bool cleared = n % 2 == 0;
        std::vector<std::uint8_t> a(static_cast<std::size_t>(columns) * 4);
        if (!cleared)
            for (auto& v : a)
                v = static_cast<std::uint8_t>(rnd());
        std::vector<std::uint8_t> b = a, c = a;
        CopyRowInto32Plain(src.get(), stride, planes, a.data(), columns, false);
        CopyRowInto32Plain(src.get(), stride, planes, c.data(), columns, cleared);
        CopyRowInto32Sse2(src.get(), stride, planes, b.data(), columns, cleared);
        ASSERT_EQ(a, c) << "seed " << std::hex << seed << std::dec << " case " << n << ": stride " << stride
                        << " planes " << planes << " columns " << columns << " (portable, cleared)";
        ASSERT_EQ(a, b) << "seed " << std::hex << seed << std::dec << " case " << n << ": stride " << stride
                        << " planes " << planes << " columns " << columns << (cleared ? " (cleared)" : "");
    }
#else
    GTEST_SKIP() << "no SSE2 twin on this processor family";
#endif
}

TEST(PlaneCopyRows, PortableLoopKeepsTheBytesNoChannelNames)
{
    // Three planes in four-byte pixels with one dummy plane first.
    const std::uint8_t src[] = {0xEE, 1, 2, 3, 0xEE, 4, 5, 6, 0xEE, 7, 8, 9};
    std::vector<std::uint8_t> dst(12, 0x77);
    CopyRowInto32Plain(src + 1, 4, 3, dst.data(), 3, false);
    EXPECT_EQ(dst, (std::vector<std::uint8_t>{1, 2, 3, 0x77, 4, 5, 6, 0x77, 7, 8, 9, 0x77}));
    // One plane, packed, into cleared storage.
    const std::uint8_t grey[] = {10, 20, 30, 40, 50};
    std::vector<std::uint8_t> g(20, 0);
    CopyRowInto32Plain(grey, 1, 1, g.data(), 5, true);
    EXPECT_EQ(g, (std::vector<std::uint8_t>{10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 40, 0, 0, 0, 50, 0, 0, 0}));
}

// A read that resizes the bitmap writes into new, zero-filled storage: the fourth byte of an
// RGB image is 0 there, whatever the old storage held, and the planes are the host's.
TEST(PlaneCopyRows, ReadIntoNewStorageLeavesZeroInTheFourthByte)
{
    for (int planes : {1, 3, 4}) {
        fake_image_host::Host host(37, 5, planes, fake_image_host::Options{1, 2, 3});
        TBitmap32 bmp;
        bmp.SetSize(4, 4);
        bmp.Clear(0xABABABABu);
        TPSFilterGraphic graphic(&host.Record);
        graphic.AssignTo(&bmp);
        ASSERT_EQ(bmp.Width(), 37);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 37; ++x)
                for (int k = 0; k < 4; ++k)
                    // A grey image (one plane) has its grey in all three colour bytes.
                    ASSERT_EQ(static_cast<std::uint8_t>(bmp.PixelAt(x, y) >> (8 * k)),
                              planes == 1 && k < 3 ? fake_image_host::Host::Value(x, y, 0)
                              : k < planes        ? fake_image_host::Host::Value(x, y, k)
                                                  : 0)
                        << planes << " planes, pixel " << x << "," << y << " byte " << k;
    }
}

} // namespace
