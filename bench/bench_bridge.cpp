// The transfer's pixel passes on a large image: the host read (plane copy), the noise step
// and the mask file's bytes.
#include <benchmark/benchmark.h>

#include <vector>

#include "bitmap/bitmap32.h"
#include "bridge/filter_graphic.h"
#include "filters/exchange_files.h"
#include "filters/noise.h"

namespace {

// An interleaved RGB host buffer into a 32-bit bitmap, as AssignTo does it.
void BM_CopyPlanesRgbRead(benchmark::State& State)
{
    const int n = static_cast<int>(State.range(0));
    std::vector<std::uint8_t> host(static_cast<std::size_t>(n) * n * 3, 0x5A);
    TBitmap32 bmp;
    bmp.SetSize(n, n);
    const PlaneLayout from{host.data(), 0, 3, 0, n * 3, 8};
    const PlaneLayout into{reinterpret_cast<std::uint8_t*>(bmp.Bits()), 0, 4, 0, n * 4, 8};
    for (auto _ : State) {
        CopyPlanes(from, into, n, n, IdentityChannelMap);
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(State.iterations() * n * n);
}
BENCHMARK(BM_CopyPlanesRgbRead)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

// Translucent noise over every pixel (alpha 128, variation 64).
void BM_AddNoise(benchmark::State& State)
{
    const int n = static_cast<int>(State.range(0));
    TBitmap32 bmp;
    bmp.SetSize(n, n);
    bmp.Clear(0xFF204060);
    for (auto _ : State) {
        AddNoise(&bmp, 128, 10, 20, 30, 64);
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(State.iterations() * n * n);
}
BENCHMARK(BM_AddNoise)->Arg(1024)->Unit(benchmark::kMillisecond);

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
