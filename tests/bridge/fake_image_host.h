// A scripted image host for the bridge tests: it owns an interleaved image and a selection
// mask and serves the module's requests through advanceState the way a host does, with
// dummy planes around each pixel, padded rows and guard bytes around every buffer. Each
// buffer is its own allocation of exactly the served size, so the sanitizers see any read or
// write past it.
#pragma once
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "host/host_context.h"
#include "host/pi_filter.h"

namespace fake_image_host {

constexpr std::uint8_t DummyByte = 0xEE;
constexpr std::uint8_t PaddingByte = 0xDD;
constexpr std::uint8_t MaskPaddingByte = 0x77;

struct Options {
    int PreDummy = 0;
    int PostDummy = 0;
    int RowPadding = 0;
    int MaskPadding = 0;
    std::int32_t DepthAfter = 8;  // what the host leaves in depth after serving
    bool ServeNothing = false;    // answer with an error and leave every buffer null, as a failing host does
    bool NullBuffers = false;     // answer noErr but leave every buffer null
    bool FailMask = false;        // answer a request for the mask with an error and no buffer
};

// What the record held when advanceState was called.
struct Request {
    Rect16 In, Out, Mask;
    std::int16_t InLo, InHi, OutLo, OutHi;
    std::int32_t Depth;
};

inline bool SameRect(const Rect16& a, const Rect16& b)
{
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}
inline bool IsEmpty(const Rect16& r) { return SameRect(r, Rect16{0, 0, 0, 0}); }

class Host {
public:
    // Width x Height pixels of Planes bytes each; byte k of pixel (x, y) is Value(x, y, k).
    Host(int Width, int Height, int Planes, Options O = {}) : Opt(O), W(Width), H(Height), P(Planes)
    {
        Pixels.resize(static_cast<std::size_t>(W) * H * P);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                for (int k = 0; k < P; ++k)
                    Pixels[Index(x, y, k)] = Value(x, y, k);
        std::memset(&Record, 0, sizeof Record);
        Record.imageSize = Point16{static_cast<std::int16_t>(H), static_cast<std::int16_t>(W)};
        Record.planes = static_cast<std::int16_t>(P);
        Record.filterRect = Rect16{0, 0, static_cast<std::int16_t>(H), static_cast<std::int16_t>(W)};
        Record.imageMode = P >= 3 ? plugInModeRGBColor : plugInModeGrayScale;
        // Values a host might leave behind from an earlier call; the module must reset them.
        Record.inRect = Rect16{1, 2, 3, 4};
        Record.outRect = Rect16{5, 6, 7, 8};
        Record.depth = 0;
        Record.advanceState = &Host::AdvanceState;
        Current = this;
        HostContext.FilterRecord = &Record;
    }
    ~Host()
    {
        if (Current == this)
            Current = nullptr;
        if (HostContext.FilterRecord == &Record)
            HostContext.FilterRecord = nullptr;
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // A pattern that differs per pixel and per plane.
    static std::uint8_t Value(int x, int y, int k)
    {
        return static_cast<std::uint8_t>(x * 7 + y * 31 + k * 64 + 1);
    }
    std::uint8_t& At(int x, int y, int k) { return Pixels[Index(x, y, k)]; }

    // Sets a selection over filterRect, one byte per pixel of it.
    void SetMask(std::vector<std::uint8_t> Values)
    {
        MaskValues = std::move(Values);
        Record.haveMask = 1;
    }

    // The output buffer's plane k at filterRect-relative (x, y).
    std::uint8_t Output(int x, int y, int k) const
    {
        return OutBuffer[Guard + static_cast<std::size_t>(y) * OutStride +
                         static_cast<std::size_t>(x) * (Opt.PreDummy + P + Opt.PostDummy) + Opt.PreDummy + k];
    }
    // True when every byte of the output buffer the module may not write is as served:
    // guards, dummy planes and row padding.
    bool OutputFramingIntact() const { return FramingIntact(OutBuffer, OutStride, OutCols, OutRows); }
    bool InputFramingIntact() const { return FramingIntact(InBuffer, InStride, InCols, InRows); }

    FilterRecord Record;
    std::vector<Request> Requests;
    Options Opt;

    static inline Host* Current = nullptr;

private:
    static constexpr std::size_t Guard = 16;
    static constexpr std::uint8_t GuardByte = 0xA5;

    std::size_t Index(int x, int y, int k) const
    {
        return (static_cast<std::size_t>(y) * W + x) * P + k;
    }

    static OSErr VP_CDECL AdvanceState() { return Current->Serve(); }

    OSErr Serve()
    {
        Requests.push_back(Request{Record.inRect, Record.outRect, Record.maskRect, Record.inLoPlane,
                                   Record.inHiPlane, Record.outLoPlane, Record.outHiPlane, Record.depth});
        Record.depth = Opt.DepthAfter;
        Record.inData = Record.outData = Record.maskData = nullptr;
        if (Opt.ServeNothing)
            return -1;
        if (Opt.NullBuffers)
            return 0;
        if (Opt.FailMask && !IsEmpty(Record.maskRect))
            return -1;
        if (!IsEmpty(Record.inRect) && InImage(Record.inRect)) {
            ServeImage(Record.inRect, InBuffer, InStride, InCols, InRows);
            Record.inData = InBuffer.data() + Guard;
            Record.inRowBytes = InStride;
            Record.inPreDummyPlanes = static_cast<std::int16_t>(Opt.PreDummy);
            Record.inPostDummyPlanes = static_cast<std::int16_t>(Opt.PostDummy);
        }
        if (!IsEmpty(Record.outRect) && InImage(Record.outRect)) {
            ServeImage(Record.outRect, OutBuffer, OutStride, OutCols, OutRows);
            Record.outData = OutBuffer.data() + Guard;
            Record.outRowBytes = OutStride;
            Record.outPreDummyPlanes = static_cast<std::int16_t>(Opt.PreDummy);
            Record.outPostDummyPlanes = static_cast<std::int16_t>(Opt.PostDummy);
        }
        if (!IsEmpty(Record.maskRect) && InImage(Record.maskRect) && Record.haveMask) {
            const int cols = Record.maskRect.right - Record.maskRect.left;
            const int rows = Record.maskRect.bottom - Record.maskRect.top;
            const int stride = cols + Opt.MaskPadding;
            MaskBuffer.assign(static_cast<std::size_t>(stride) * rows, MaskPaddingByte);
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < cols; ++x)
                    MaskBuffer[static_cast<std::size_t>(y) * stride + x] =
                        MaskValues[static_cast<std::size_t>(y) * cols + x];
            Record.maskData = MaskBuffer.data();
            Record.maskRowBytes = stride;
        }
        return 0;
    }

    // Like a host, serves nothing for areas outside the image.
    bool InImage(const Rect16& r) const
    {
        return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right <= W && r.bottom <= H;
    }

    // Served rows carry dummy planes and padding; the buffer starts and ends with guards.
    void ServeImage(const Rect16& Area, std::vector<std::uint8_t>& Buffer, int& Stride, int& Cols, int& Rows)
    {
        Cols = Area.right - Area.left;
        Rows = Area.bottom - Area.top;
        const int pixelBytes = Opt.PreDummy + P + Opt.PostDummy;
        Stride = Cols * pixelBytes + Opt.RowPadding;
        Buffer.assign(Guard * 2 + static_cast<std::size_t>(Stride) * Rows, GuardByte);
        for (int y = 0; y < Rows; ++y) {
            std::uint8_t* row = Buffer.data() + Guard + static_cast<std::size_t>(y) * Stride;
            std::memset(row, PaddingByte, static_cast<std::size_t>(Stride));
            for (int x = 0; x < Cols; ++x) {
                std::uint8_t* px = row + static_cast<std::size_t>(x) * pixelBytes;
                std::memset(px, DummyByte, static_cast<std::size_t>(pixelBytes));
                for (int k = 0; k < P; ++k)
                    px[Opt.PreDummy + k] = At(Area.left + x, Area.top + y, k);
            }
        }
    }

    bool FramingIntact(const std::vector<std::uint8_t>& Buffer, int Stride, int Cols, int Rows) const
    {
        if (Buffer.empty())
            return true;
        for (std::size_t i = 0; i < Guard; ++i)
            if (Buffer[i] != GuardByte || Buffer[Buffer.size() - 1 - i] != GuardByte)
                return false;
        const int pixelBytes = Opt.PreDummy + P + Opt.PostDummy;
        for (int y = 0; y < Rows; ++y) {
            const std::uint8_t* row = Buffer.data() + Guard + static_cast<std::size_t>(y) * Stride;
            for (int i = Cols * pixelBytes; i < Stride; ++i)
                if (row[i] != PaddingByte)
                    return false;
            for (int x = 0; x < Cols; ++x) {
                const std::uint8_t* px = row + static_cast<std::size_t>(x) * pixelBytes;
                for (int i = 0; i < Opt.PreDummy; ++i)
                    if (px[i] != DummyByte)
                        return false;
                for (int i = 0; i < Opt.PostDummy; ++i)
                    if (px[Opt.PreDummy + P + i] != DummyByte)
                        return false;
            }
        }
        return true;
    }

    int W, H, P;
    std::vector<std::uint8_t> Pixels;
    std::vector<std::uint8_t> MaskValues;
    std::vector<std::uint8_t> InBuffer, OutBuffer, MaskBuffer;
    int InStride = 0, InCols = 0, InRows = 0;
    int OutStride = 0, OutCols = 0, OutRows = 0;
};

} // namespace fake_image_host
