// The whole transfer of a large RGB image through the native path, as one start call
// (read, noise with the new block's parameters, both exchange files under a temporary drive
// root, hand-off, first paint), and its parts. The same bytes written with one fwrite per
// file show what the file writing costs beyond the disk itself. Counter s_per_MP: seconds
// per megapixel of the image.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../tests/bridge/fake_image_host.h"
#include "bitmap/bitmap32.h"
#include "bridge/filter_graphic.h"
#include "filters/exchange_files.h"
#include "filters/noise.h"
#include "entry/dispatch.h"
#include "host/parameter_block.h"
#include "toolkit/application.h"
#include "base/headless/files.h"
#include "toolkit/headless/headless.h"

namespace {

constexpr int Side = 4096;

// A temporary drive root for the run, removed at exit.
const std::string& DriveRoot()
{
    static const std::string root = [] {
        char tmpl[] = "/tmp/vesper-bench-transfer-XXXXXX";
        const char* made = mkdtemp(tmpl);
        std::string r = made ? made : "/tmp";
        SetHeadlessDriveRoot(r);
        std::atexit([] { std::error_code ec; std::filesystem::remove_all(DriveRoot(), ec); });
        return r;
    }();
    return root;
}

void SetPerMegapixel(benchmark::State& State, int W, int H)
{
    const double mp = static_cast<double>(W) * H / 1e6;
    State.counters["s_per_MP"] =
        benchmark::Counter(mp, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One host, built once: its image pattern takes a while to compute.
fake_image_host::Host& SharedHost()
{
    static auto host = std::make_unique<fake_image_host::Host>(Side, Side, 3);
    return *host;
}

void InstallEditorRecord()
{
    headless::Reset();
    headless::RegistrySetString(TRegistryRoot::LocalMachine, "SOFTWARE\\Adobe\\Photoshop\\CS2\\PluginPath", "Tarnwick",
                                "C:\\Editor\\");
}

void BM_TransferWhole(benchmark::State& State)
{
    DriveRoot();
    fake_image_host::Host& host = SharedHost();
    InstallEditorRecord();
    std::intptr_t slot = 0;
    for (auto _ : State) {
        std::int16_t result = -1;
        CurrentBinding = NoiseBinding;
        HostContext.FilterRecord = &host.Record;
        DispatchSelector(filterSelectorStart, &host.Record, &slot, &result);
        if (result != noErr || headless::ShellOpens().empty())
            State.SkipWithError("the transfer did not finish");
        State.PauseTiming();
        InstallEditorRecord(); // keeps the records from growing
        State.ResumeTiming();
    }
    if (slot)
        FallbackDisposeHandle(reinterpret_cast<Handle>(slot));
    SetPerMegapixel(State, Side, Side);
}
BENCHMARK(BM_TransferWhole)->Iterations(3)->Unit(benchmark::kMillisecond);

// The host read into the preview bitmap (the host's serving copy included).
void BM_TransferRead(benchmark::State& State)
{
    fake_image_host::Host& host = SharedHost();
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bitmap;
    for (auto _ : State) {
        HostContext.FilterRecord = &host.Record;
        bitmap.Assign(&graphic);
        benchmark::DoNotOptimize(bitmap.Bits());
    }
    SetPerMegapixel(State, Side, Side);
}
BENCHMARK(BM_TransferRead)->Unit(benchmark::kMillisecond);

// The noise step with a new block's zeros: four draws and a blend per pixel, nothing changes.
void BM_TransferNoiseDefaults(benchmark::State& State)
{
    TBitmap32 bitmap;
    bitmap.SetSize(Side, Side);
    bitmap.Clear(0x00336699u);
    for (auto _ : State) {
        AddNoise(&bitmap, 0, 0, 0, 0, 0);
        benchmark::ClobberMemory();
    }
    SetPerMegapixel(State, Side, Side);
}
BENCHMARK(BM_TransferNoiseDefaults)->Unit(benchmark::kMillisecond);

TBitmap32& SharedImage()
{
    static auto image = [] {
        auto b = std::make_unique<TBitmap32>();
        b->SetSize(Side, Side);
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                b->SetPixelAt(x, y, static_cast<TColor32>(x * 7 + y * 31) & 0x00FFFFFFu);
        return b;
    }();
    return *image;
}

void BM_TransferImageFile(benchmark::State& State)
{
    DriveRoot();
    TBitmap32& image = SharedImage();
    for (auto _ : State)
        WriteImageExchangeFile(image);
    SetPerMegapixel(State, Side, Side);
}
BENCHMARK(BM_TransferImageFile)->Iterations(5)->Unit(benchmark::kMillisecond);

// No selection: the mask layer's bitmap is empty and every pixel is pure red.
void BM_TransferMaskFile(benchmark::State& State)
{
    DriveRoot();
    TBitmap32 mask;
    for (auto _ : State)
        WriteMaskExchangeFile(mask, Side, Side);
    SetPerMegapixel(State, Side, Side);
}
BENCHMARK(BM_TransferMaskFile)->Iterations(5)->Unit(benchmark::kMillisecond);

// The same bytes, prepared beforehand, with one fwrite per file.
void FwriteWhole(benchmark::State& State, const std::vector<std::uint8_t>& Bytes, const std::string& Path)
{
    for (auto _ : State) {
        std::FILE* f = std::fopen(Path.c_str(), "wb");
        if (!f) {
            State.SkipWithError("cannot create the file");
            break;
        }
        const std::size_t n = std::fwrite(Bytes.data(), 1, Bytes.size(), f);
        if (std::fclose(f) != 0 || n != Bytes.size())
            State.SkipWithError("short write");
    }
    SetPerMegapixel(State, Side, Side);
}

void BM_FwriteImageBytes(benchmark::State& State)
{
    DriveRoot();
    TMemoryStream s;
    SharedImage().SaveAsBmpStream(s);
    FwriteWhole(State, s.Bytes(), PlatformPath(ImageExchangeFileName));
}
BENCHMARK(BM_FwriteImageBytes)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_FwriteMaskBytes(benchmark::State& State)
{
    DriveRoot();
    TBitmap32 mask;
    TMemoryStream s;
    WriteMaskBmp(s, mask, Side, Side, 32);
    FwriteWhole(State, s.Bytes(), PlatformPath(MaskExchangeFileName));
}
BENCHMARK(BM_FwriteMaskBytes)->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
