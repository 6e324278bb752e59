// The transfer's pixel passes on a large image: the host read (plane copy), the noise step
// and the mask file's bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/blend.h"
#include "bridge/filter_graphic.h"
#include "host/host_context.h"
#include "filters/exchange_files.h"
#include "filters/noise.h"
#include "paired.h"

namespace {

// The host read (CopyPlanes from a host buffer into a 32-bit bitmap, as AssignTo does it) side
// by side with memcpy of the same host bytes into a buffer of their size. Arguments: planes,
// dummy planes before and after each pixel, row padding. Counter peer_over_ours: memcpy time
// / our time; the target is at least 0.5 for every layout.
void BM_HostReadVsMemcpy(benchmark::State& State)
{
    constexpr int n = 4096;
    const int planes = static_cast<int>(State.range(0)), pre = static_cast<int>(State.range(1)),
              post = static_cast<int>(State.range(2)), padding = static_cast<int>(State.range(3));
    const int rowBytes = n * (pre + planes + post) + padding;
    const std::size_t bytes = static_cast<std::size_t>(rowBytes) * n;
    std::vector<std::uint8_t> host(bytes), copy(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        host[i] = static_cast<std::uint8_t>(i * 131 + (i >> 12));
    TBitmap32 bmp;
    bmp.SetSize(n, n);
    const PlaneLayout from{host.data(), pre, planes, post, rowBytes, 8};
    const PlaneLayout into{reinterpret_cast<std::uint8_t*>(bmp.Bits()), 0, 4, 0, n * 4, 8};
    RunPaired(State, static_cast<double>(n) * n, 1, [&] { CopyPlanes(from, into, n, n, IdentityChannelMap); },
              [&] { std::memcpy(copy.data(), host.data(), bytes); });
    State.SetLabel("ns per pixel; target peer_over_ours >= 0.5");
}
BENCHMARK(BM_HostReadVsMemcpy)
    ->ArgNames({"planes", "pre", "post", "pad"})
    ->Args({3, 0, 0, 0})
    ->Args({4, 0, 0, 0})
    ->Args({3, 1, 0, 0})
    ->Args({3, 0, 1, 0})
    ->Args({3, 1, 2, 0})
    ->Args({4, 1, 0, 0})
    ->Args({3, 0, 0, 13})
    ->Args({4, 0, 0, 13})
    ->Args({3, 1, 1, 7})
    ->Unit(benchmark::kMillisecond);

// A host serving one interleaved image from its own memory, for the host read alone.
class PlaneHost {
public:
    PlaneHost(int N, int Planes, std::int16_t Mode) : Pixels(static_cast<std::size_t>(N) * N * Planes)
    {
        for (std::size_t i = 0; i < Pixels.size(); ++i)
            Pixels[i] = static_cast<std::uint8_t>(i * 131 + (i >> 12));
        std::memset(&Record, 0, sizeof Record);
        Record.imageSize = Point16{static_cast<std::int16_t>(N), static_cast<std::int16_t>(N)};
        Record.planes = static_cast<std::int16_t>(Planes);
        Record.filterRect = Rect16{0, 0, static_cast<std::int16_t>(N), static_cast<std::int16_t>(N)};
        Record.imageMode = Mode;
        Record.inRowBytes = N * Planes;
        Record.advanceState = &PlaneHost::AdvanceState;
    }
    // filterRect into Into (already of its size, as a re-read finds it).
    void Read(TBitmap32& Into)
    {
        Current = this;
        TPSFilterGraphic(&Record).AssignTo(&Into);
    }

private:
    static OSErr VP_CDECL AdvanceState()
    {
        Current->Record.depth = 8;
        Current->Record.inData = Current->Pixels.data();
        return noErr;
    }
    static inline PlaneHost* Current = nullptr;
    std::vector<std::uint8_t> Pixels;
    FilterRecord Record;
};

// The host read of a document mode the module converts to RGB, side by side with the RGB
// read of the same pixel count (three planes, copied as they lie). Arguments: image mode and
// planes. Counter vs_rgb_read: our time / the RGB read's (targets: grey, duotone and CMYK at
// most 1.3, Lab at most 3).
void BM_ModeReadVsRgbRead(benchmark::State& State)
{
    constexpr int n = 4096;
    PlaneHost mode(n, static_cast<int>(State.range(1)), static_cast<std::int16_t>(State.range(0)));
    PlaneHost rgb(n, 3, plugInModeRGBColor);
    TBitmap32 a, b;
    a.SetSize(n, n);
    b.SetSize(n, n);
    RunPaired(State, static_cast<double>(n) * n, 1, [&] { mode.Read(a); }, [&] { rgb.Read(b); });
    State.counters["vs_rgb_read"] = 1.0 / State.counters["peer_over_ours"].value;
    State.SetLabel("target vs_rgb_read <= 1.3 (grey, duotone, CMYK), <= 3 (Lab)");
}
BENCHMARK(BM_ModeReadVsRgbRead)
    ->ArgNames({"mode", "planes"})
    ->Args({plugInModeGrayScale, 1})
    ->Args({plugInModeGrayScale, 2})
    ->Args({plugInModeDuotone, 1})
    ->Args({plugInModeCMYKColor, 4})
    ->Args({plugInModeMultichannel, 3})
    ->Args({plugInModeLabColor, 3})
    ->Args({plugInModeLabColor, 4})
    ->Unit(benchmark::kMillisecond);

// Translucent noise over every pixel (alpha 128, variation 64) side by side with the per-pixel
// loop it replaces (four draws and one BlendColorInto per pixel). Counter
// peer_over_ours: how many times faster the step is; the target is at least 4.
void BM_NoiseVsPixelLoop(benchmark::State& State)
{
    const int n = static_cast<int>(State.range(0));
    TBitmap32 bmp;
    bmp.SetSize(n, n);
    bmp.Clear(0xFF204060);
    TColor32* p = bmp.Bits();
    const std::size_t count = static_cast<std::size_t>(n) * n;
    // Parameters the compiler cannot see, as the dialog's are.
    int alpha = 128, red = 10, green = 20, blue = 30, variation = 64;
    benchmark::DoNotOptimize(alpha);
    benchmark::DoNotOptimize(red);
    benchmark::DoNotOptimize(green);
    benchmark::DoNotOptimize(blue);
    benchmark::DoNotOptimize(variation);
    RunPaired(State, static_cast<double>(count), 1, [&] { AddNoise(&bmp, alpha, red, green, blue, variation); },
              [&] {
                  // The old loop as it was compiled: the generator inlined into it.
                  std::uint32_t seed = RandomSeed();
                  const std::uint32_t range = 2u * static_cast<std::uint32_t>(variation);
                  auto draw = [&seed, range](int Base) {
                      seed = seed * 0x08088405u + 1u;
                      const auto r = static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * range) >> 32);
                      return static_cast<TColor32>(std::clamp<std::int64_t>(std::int64_t{Base} + r, 0, 255));
                  };
                  for (std::size_t k = 0; k < count; ++k) {
                      const TColor32 a = draw(alpha), c0 = draw(red), c1 = draw(green), c2 = draw(blue);
                      BlendColorInto(a << 24 | c2 << 16 | c1 << 8 | c0, p[k]);
                  }
                  FinishColorOps();
              });
    State.SetLabel("ns per pixel; target peer_over_ours >= 4");
}
BENCHMARK(BM_NoiseVsPixelLoop)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

// The mask file's bytes into memory, mask covering the whole image.
void BM_MaskFileBytes(benchmark::State& State)
{
    const int n = static_cast<int>(State.range(0));
    TBitmap32 mask;
    mask.SetSize(n, n);
    mask.Clear(0x80000000);
    for (auto _ : State) {
        TMemoryStream s;
        WriteMaskBmp(s, mask, n, n, 32);
        benchmark::DoNotOptimize(s.Bytes().data());
    }
    State.SetItemsProcessed(State.iterations() * n * n);
}
BENCHMARK(BM_MaskFileBytes)->Arg(1024)->Unit(benchmark::kMillisecond);

} // namespace
