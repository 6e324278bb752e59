// Bitmap-core throughput against the C library: run fill and move on 4 MiB against
// memset/memmove of the same bytes, and writing a 4096 x 4096 bitmap as a BMP file against
// one fwrite of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/low_level.h"
#include "paired.h"

namespace {

constexpr int kWords = 1 << 20; // 4 MiB of colour words

void BM_FillColorRunVsMemset(benchmark::State& State)
{
    std::vector<TColor32> buf(kWords);
    // memset can only repeat a byte; the fill writes a word of four different bytes.
    RunPaired(State, kWords * 4.0, 4, [&] { FillColorRun(buf.data(), kWords, 0x80402010u); },
              [&] { std::memset(buf.data(), 0x7F, kWords * sizeof(TColor32)); });
    State.SetLabel("ns per byte; target peer_over_ours >= 0.8");
}
BENCHMARK(BM_FillColorRunVsMemset);

void BM_MoveColorRunVsMemmove(benchmark::State& State)
{
    std::vector<TColor32> src(kWords, 0x12345678u), dst(kWords);
    RunPaired(State, kWords * 4.0, 4, [&] { MoveColorRun(src.data(), dst.data(), kWords); },
              [&] { std::memmove(dst.data(), src.data(), kWords * sizeof(TColor32)); });
    State.SetLabel("ns per byte; target peer_over_ours >= 0.8");
}
BENCHMARK(BM_MoveColorRunVsMemmove);

// Overlapping move by one word, the case a plain copy would get wrong.
void BM_MoveColorRunOverlapVsMemmove(benchmark::State& State)
{
    std::vector<TColor32> buf(kWords + 1, 0x12345678u);
    RunPaired(State, kWords * 4.0, 4, [&] { MoveColorRun(buf.data(), buf.data() + 1, kWords); },
              [&] { std::memmove(buf.data() + 1, buf.data(), kWords * sizeof(TColor32)); });
    State.SetLabel("ns per byte; target peer_over_ours >= 0.8");
}
BENCHMARK(BM_MoveColorRunOverlapVsMemmove);

// Argument 0: a memory-backed folder when the system has one, so the disk's write-back does
// not drown the figures; 1: the temporary folder on disk.
std::string ScratchFile(bool OnDisk, const char* Name)
{
    std::error_code ec;
    std::filesystem::path dir = !OnDisk && std::filesystem::is_directory("/dev/shm", ec)
                                    ? std::filesystem::path("/dev/shm")
                                    : std::filesystem::temp_directory_path();
    return (dir / Name).string();
}

void BM_SaveToFileVsFwrite(benchmark::State& State)
{
    constexpr int kSide = 4096;
    TBitmap32 bmp;
    bmp.SetSize(kSide, kSide);
    FillColorRun(bmp.Bits(), kSide * kSide, 0x80402010u);
    const bool onDisk = State.range(0) != 0;
    const std::string ours = ScratchFile(onDisk, "vesper_bench_save.bmp");
    const std::string peer = ScratchFile(onDisk, "vesper_bench_fwrite.bin");
    const std::size_t bytes = static_cast<std::size_t>(kSide) * kSide * 4;
    RunPaired(State, static_cast<double>(bytes), 1, [&] { bmp.SaveToFile(ours); },
              [&] {
                  std::FILE* f = std::fopen(peer.c_str(), "wb");
                  if (!f)
                      return;
                  std::fwrite(bmp.Bits(), 1, bytes, f);
                  std::fclose(f);
              });
    State.SetLabel(onDisk ? "disk; ns per byte; target peer_over_ours >= 0.5"
                          : "memory; ns per byte; target peer_over_ours >= 0.5");
    std::filesystem::remove(ours);
    std::filesystem::remove(peer);
}
BENCHMARK(BM_SaveToFileVsFwrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
