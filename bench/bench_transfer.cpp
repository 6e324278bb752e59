// The whole transfer of a large RGB image through the native path, as one start call (read,
// noise with the new block's parameters, mask layer, both exchange files under a temporary
// drive root, hand-off, first paint), and its stages, each side by side in the same loop with
// its floor: one fwrite per exchange file of the same bytes (prepared beforehand), or memcpy
// of the host's bytes for the read. Times are the thread's processor time (paired.h), so
// other programs on a shared machine count for neither side.
//
// Counters: ms_per_MP (ours), floor_ms_per_MP, and vs_fwrite or vs_memcpy = our time / the
// floor's time (targets: the whole transfer at most 1.5 x the two fwrites; the read at most
// 2 x memcpy). BM_TransferPeakMemory also reports peak_bytes_per_px: the most the module held
// at once during the start call, pixel storage included (alloc_count.h), per image pixel
// (target: at most 9, the image bitmap, the mask layer's bitmap and the transient byte map),
// with fixed_MB, the peak of a 64 x 64 transfer, and image_bytes_per_px, what lies above it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "alloc_count.h"
#include "base/headless/files.h"
#include "bitmap/bitmap32.h"
#include "bitmap/bmp_writer.h"
#include "bridge/filter_graphic.h"
#include "entry/dispatch.h"
#include "filters/exchange_files.h"
#include "filters/noise.h"
#include "host/parameter_block.h"
#include "paired.h"
#include "toolkit/application.h"
#include "toolkit/headless/headless.h"

namespace {

// A temporary drive root for the run, removed at exit (by the static's own destructor: a
// handler registered while the static is built would run after it is gone).
const std::string& DriveRoot()
{
    struct TempRoot {
        std::string Path;
        ~TempRoot()
        {
            std::error_code ec;
            if (!Path.empty())
                std::filesystem::remove_all(Path, ec);
        }
    };
    static const TempRoot root = [] {
        char tmpl[] = "/tmp/vesper-bench-transfer-XXXXXX";
        const char* made = mkdtemp(tmpl);
        TempRoot r{made ? made : ""};
        SetHeadlessDriveRoot(made ? r.Path : "/tmp");
        return r;
    }();
    return root.Path;
}

// A host as lean as one serving from its own memory: the RGB image lies interleaved in one
// buffer as the module asks for it, the selection in another; advanceState hands out
// pointers and copies nothing, so the times and the memory counted are the module's alone.
class LeanHost {
public:
    LeanHost(int W, int H, bool Selection) : Width(W), Height(H)
    {
        Pixels.resize(static_cast<std::size_t>(W) * H * 3);
        std::uint8_t* p = Pixels.data();
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x, p += 3) {
                p[0] = static_cast<std::uint8_t>(x * 7 + y * 31 + 1);
                p[1] = static_cast<std::uint8_t>(x * 7 + y * 31 + 65);
                p[2] = static_cast<std::uint8_t>(x * 7 + y * 31 + 129);
            }
        std::memset(&Record, 0, sizeof Record);
        Record.imageSize = Point16{static_cast<std::int16_t>(H), static_cast<std::int16_t>(W)};
        Record.planes = 3;
        Record.filterRect = Rect16{0, 0, static_cast<std::int16_t>(H), static_cast<std::int16_t>(W)};
        Record.imageMode = plugInModeRGBColor;
        Record.advanceState = &LeanHost::AdvanceState;
        if (Selection) {
            // Selected on the left, unselected on the right, a vertical ramp in the middle.
            Mask.resize(static_cast<std::size_t>(W) * H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    Mask[static_cast<std::size_t>(y) * W + x] =
                        x < W / 3 ? 255 : x < 2 * W / 3 ? static_cast<std::uint8_t>(y * 255 / H) : 0;
            Record.haveMask = 1;
        }
    }

    // Serves the module's requests from now on.
    void MakeCurrent()
    {
        Current = this;
        HostContext.FilterRecord = &Record;
    }

    // The start call with the editor's folder recorded, so the hand-off starts it.
    bool Transfer(std::intptr_t& Slot)
    {
        MakeCurrent();
        std::int16_t result = -1;
        CurrentBinding = NoiseBinding;
        DispatchSelector(filterSelectorStart, &Record, &Slot, &result);
        return result == noErr && !headless::ShellOpens().empty();
    }

    const int Width, Height;
    std::vector<std::uint8_t> Pixels, Mask;
    FilterRecord Record;

private:
    static OSErr VP_CDECL AdvanceState()
    {
        FilterRecord& r = Current->Record;
        auto whole = [&](const Rect16& a) {
            return a.top == 0 && a.left == 0 && a.bottom == Current->Height && a.right == Current->Width;
        };
        r.depth = 8;
        r.inData = whole(r.inRect) ? Current->Pixels.data() : nullptr;
        r.inRowBytes = Current->Width * 3;
        r.maskData = whole(r.maskRect) && !Current->Mask.empty() ? Current->Mask.data() : nullptr;
        r.maskRowBytes = Current->Width;
        return noErr;
    }
    static inline LeanHost* Current = nullptr;
};

void InstallEditorRecord()
{
    headless::Reset();
    headless::RegistrySetString(TRegistryRoot::LocalMachine, "SOFTWARE\\Adobe\\Photoshop\\CS2\\PluginPath", "Tarnwick",
                                "C:\\Editor\\");
}

// The bytes of both exchange files for Host's image and selection, to be written with one
// fwrite each.
struct FloorFiles {
    std::vector<std::uint8_t> Image, Mask;
};

FloorFiles FilesOf(const LeanHost& Host)
{
    FloorFiles f;
    const int w = Host.Width, h = Host.Height;
    f.Image.resize(54 + static_cast<std::size_t>(w) * h * 4);
    {
        TMemoryStream s; // both files: 32 bits per pixel, w x h
        WriteBmpHeaders(s, w, h, 32);
        std::memcpy(f.Image.data(), s.Bytes().data(), 54);
    }
    std::uint8_t* out = f.Image.data() + 54;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x, out += 4) {
            const std::uint8_t* p = Host.Pixels.data() + (static_cast<std::size_t>(y) * w + x) * 3;
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
            out[3] = 0;
        }
    f.Mask.resize(54 + static_cast<std::size_t>(w) * h * 4);
    std::memcpy(f.Mask.data(), f.Image.data(), 54);
    out = f.Mask.data() + 54;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x, out += 4) {
            out[0] = out[1] = out[3] = 0;
            out[2] = Host.Mask.empty() ? 255 : Host.Mask[static_cast<std::size_t>(y) * w + x];
        }
    return f;
}

bool Fwrite(const std::vector<std::uint8_t>& Bytes, const std::string& Path)
{
    std::FILE* f = std::fopen(Path.c_str(), "wb");
    if (!f)
        return false;
    const std::size_t n = std::fwrite(Bytes.data(), 1, Bytes.size(), f);
    return std::fclose(f) == 0 && n == Bytes.size();
}

bool FwriteBoth(const FloorFiles& Files)
{
    return Fwrite(Files.Image, PlatformPath(std::string(ImageExchangeFileName) + ".floor")) &&
           Fwrite(Files.Mask, PlatformPath(std::string(MaskExchangeFileName) + ".floor"));
}

// After an untimed pair, runs Ours and Floor alternately, each timed on its own, with Between
// untimed after each pair; sets ms_per_MP, floor_ms_per_MP and RatioName = ours / floor, and
// returns the timed calls' own total in nanoseconds (0 when a call failed).
template <class Ours, class Floor, class Between>
double SideBySide(benchmark::State& State, double Megapixels, const char* RatioName, Ours&& OurCall, Floor&& FloorCall,
                Between&& BetweenCalls)
{
    // One untimed pair first: the first call of a run also pays for what any later call
    // finds ready (the form's resources, the files' first creation).
    if (!OurCall() || !FloorCall()) {
        State.SkipWithError("the warm-up pair failed");
        return 0;
    }
    BetweenCalls();
    double ours = 0, floor = 0;
    for (auto _ : State) {
        const double t0 = paired::NowNs();
        if (!OurCall()) {
            State.SkipWithError("the module's side failed");
            return 0;
        }
        benchmark::ClobberMemory();
        const double t1 = paired::NowNs();
        if (!FloorCall()) {
            State.SkipWithError("the floor's side failed");
            return 0;
        }
        benchmark::ClobberMemory();
        const double t2 = paired::NowNs();
        ours += t1 - t0;
        floor += t2 - t1;
        State.PauseTiming();
        BetweenCalls();
        State.ResumeTiming();
    }
    const double n = static_cast<double>(State.iterations()) * Megapixels;
    State.counters["ms_per_MP"] = ours / n / 1e6;
    State.counters["floor_ms_per_MP"] = floor / n / 1e6;
    State.counters[RatioName] = floor > 0 ? ours / floor : 0;
    return ours;
}

constexpr int Side = 4096;
constexpr double SideMP = Side * double(Side) / 1e6;

LeanHost& SharedHost(bool Selection)
{
    static std::unique_ptr<LeanHost> plain, selected;
    auto& h = Selection ? selected : plain;
    if (!h)
        h = std::make_unique<LeanHost>(Side, Side, Selection);
    return *h;
}

const FloorFiles& SharedFiles(bool Selection)
{
    static std::unique_ptr<FloorFiles> plain, selected;
    auto& f = Selection ? selected : plain;
    if (!f)
        f = std::make_unique<FloorFiles>(FilesOf(SharedHost(Selection)));
    return *f;
}

// The whole transfer of the shared 4096 x 4096 image (Selection: with its selection) against
// Floor, a call that gets the same files and the host's image and selection. Returns the
// timed transfers' total in nanoseconds.
template <class Floor>
double TransferAgainst(benchmark::State& State, const char* RatioName, bool Selection, Floor&& FloorCall,
                     const char* Target)
{
    DriveRoot();
    LeanHost& host = SharedHost(Selection);
    std::intptr_t slot = 0;
    InstallEditorRecord();
    const double ours = SideBySide(
        State, SideMP, RatioName, [&] { return host.Transfer(slot); }, FloorCall,
        InstallEditorRecord); // keeps the records from growing
    if (slot)
        FallbackDisposeHandle(reinterpret_cast<Handle>(slot));
    State.SetLabel(std::string(Selection ? "4096 x 4096 RGB with a selection" : "4096 x 4096 RGB") + Target);
    return ours;
}

// Argument: 1 with a selection, 0 without.
void BM_TransferWhole(benchmark::State& State)
{
    const bool selection = State.range(0) != 0;
    const FloorFiles& files = SharedFiles(selection);
    TransferAgainst(State, "vs_fwrite", selection, [&] { return FwriteBoth(files); }, "; target vs_fwrite <= 1.5");
}
BENCHMARK(BM_TransferWhole)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);

// The same transfer against a floor that also makes and fills, once per pixel, the new
// bitmaps the transfer must hold while it runs (the image bitmap, and with a selection the
// mask layer's), each freed again as the transfer frees them: what is left of the ratio is
// the module's own work, not the system's price for new memory. Counter vs_fwrite_and_bitmaps.
void BM_TransferWholeVsHeldFloor(benchmark::State& State)
{
    const bool selection = State.range(0) != 0;
    const FloorFiles& files = SharedFiles(selection);
    auto fill = [](TBitmap32& Bitmap, TColor32 Value) {
        Bitmap.SetSize(Side, Side);
        std::fill_n(Bitmap.Bits(), static_cast<std::size_t>(Side) * Side, Value);
        benchmark::DoNotOptimize(Bitmap.Bits());
        return !Bitmap.IsEmpty();
    };
    // The floor's own two parts, timed apart (the untimed first call left out): what the
    // bitmaps alone cost beside the writes (held_floor_vs_fwrite) bounds what any transfer
    // holding them can reach against the two fwrites; vs_fwrite_recycled is the transfer
    // against those writes here, where each call finds memory its predecessor freed at once.
    double bitmapsNs = 0, writesNs = 0;
    int floorCalls = 0;
    const double oursNs = TransferAgainst(
        State, "vs_fwrite_and_bitmaps", selection,
        [&] {
            TBitmap32 image, mask;
            const double t0 = paired::NowNs();
            const bool filled = fill(image, 0x00336699u) && (!selection || fill(mask, 0x80FFFFFFu));
            const double t1 = paired::NowNs();
            const bool written = filled && FwriteBoth(files);
            const double t2 = paired::NowNs();
            if (floorCalls++ > 0) {
                bitmapsNs += t1 - t0;
                writesNs += t2 - t1;
            }
            return written;
        },
        "");
    if (writesNs > 0) {
        State.counters["held_floor_vs_fwrite"] = (bitmapsNs + writesNs) / writesNs;
        State.counters["vs_fwrite_recycled"] = oursNs / writesNs;
    }
}
BENCHMARK(BM_TransferWholeVsHeldFloor)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);

// The host read into the preview bitmap against memcpy of the host's bytes.
void BM_TransferRead(benchmark::State& State)
{
    LeanHost& host = SharedHost(false);
    TPSFilterGraphic graphic(&host.Record);
    TBitmap32 bitmap;
    std::vector<std::uint8_t> copy(host.Pixels.size());
    SideBySide(
        State, SideMP, "vs_memcpy",
        [&] {
            host.MakeCurrent();
            bitmap.Assign(&graphic);
            benchmark::DoNotOptimize(bitmap.Bits());
            return !bitmap.IsEmpty();
        },
        [&] {
            std::memcpy(copy.data(), host.Pixels.data(), copy.size());
            return true;
        },
        [] {});
    State.SetLabel("target vs_memcpy <= 2");
}
BENCHMARK(BM_TransferRead)->Unit(benchmark::kMillisecond);

// The noise step with a new block's zeros (nothing changes; the seed jumps 4 x P draws),
// beside the two fwrites the whole transfer is measured against.
void BM_TransferNoiseDefaults(benchmark::State& State)
{
    DriveRoot();
    const FloorFiles& files = SharedFiles(false);
    TBitmap32 bitmap;
    bitmap.SetSize(Side, Side);
    bitmap.Clear(0x00336699u);
    SideBySide(
        State, SideMP, "vs_fwrite",
        [&] {
            AddNoise(&bitmap, 0, 0, 0, 0, 0);
            return true;
        },
        [&] { return FwriteBoth(files); }, [] {});
}
BENCHMARK(BM_TransferNoiseDefaults)->Iterations(5)->Unit(benchmark::kMillisecond);

TBitmap32& SharedImage()
{
    static auto image = [] {
        auto b = std::make_unique<TBitmap32>();
        LeanHost& host = SharedHost(false);
        TPSFilterGraphic graphic(&host.Record);
        host.MakeCurrent();
        b->Assign(&graphic);
        return b;
    }();
    return *image;
}

void BM_TransferImageFile(benchmark::State& State)
{
    DriveRoot();
    TBitmap32& image = SharedImage();
    const FloorFiles& files = SharedFiles(false);
    const std::string floorPath = PlatformPath(std::string(ImageExchangeFileName) + ".floor");
    SideBySide(
        State, SideMP, "vs_fwrite",
        [&] {
            WriteImageExchangeFile(image);
            return true;
        },
        [&] { return Fwrite(files.Image, floorPath); }, [] {});
}
BENCHMARK(BM_TransferImageFile)->Iterations(5)->Unit(benchmark::kMillisecond);

// Argument 0: no selection (the mask layer's bitmap is empty, every pixel pure red);
// 1: the mask layer the transfer builds from the selection.
void BM_TransferMaskFile(benchmark::State& State)
{
    DriveRoot();
    const bool selection = State.range(0) != 0;
    const FloorFiles& files = SharedFiles(selection);
    TBitmap32 mask;
    if (selection) {
        const LeanHost& host = SharedHost(true);
        mask.SetSize(Side, Side);
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                mask.SetPixelAt(x, y, static_cast<TColor32>(255 - host.Mask[static_cast<std::size_t>(y) * Side + x]) << 24 |
                                          0x00FFFFFFu);
    }
    const std::string floorPath = PlatformPath(std::string(MaskExchangeFileName) + ".floor");
    SideBySide(
        State, SideMP, "vs_fwrite",
        [&] {
            WriteMaskExchangeFile(mask, Side, Side);
            return true;
        },
        [&] { return Fwrite(files.Mask, floorPath); }, [] {});
}
BENCHMARK(BM_TransferMaskFile)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);

// The whole transfer of a W x H RGB image with a selection, for an image of the given number
// of megapixels: time against the two fwrites, and the most the module held at once.
void BM_TransferPeakMemory(benchmark::State& State)
{
    DriveRoot();
    const int mp = static_cast<int>(State.range(0));
    // 4:3 where it comes out whole, square for 1 and 100 megapixels.
    const int w = mp == 12 ? 4000 : mp == 48 ? 8000 : mp == 100 ? 10000 : 1000 * mp;
    const int h = static_cast<int>(static_cast<long long>(mp) * 1000000 / w);
    std::intptr_t slot = 0;
    // What any transfer holds whatever the image's size (the dialog, its paint surfaces, file
    // buffers): the peak of a 64 x 64 transfer.
    std::int64_t fixed = 0;
    {
        LeanHost tiny(64, 64, true);
        InstallEditorRecord();
        const std::int64_t before = alloc_count::Live();
        alloc_count::ResetPeak();
        tiny.Transfer(slot);
        fixed = alloc_count::Peak() - before;
    }
    auto host = std::make_unique<LeanHost>(w, h, true);
    const FloorFiles files = FilesOf(*host);
    InstallEditorRecord();
    std::int64_t peak = 0;
    SideBySide(
        State, static_cast<double>(w) * h / 1e6, "vs_fwrite",
        [&] {
            const std::int64_t before = alloc_count::Live();
            alloc_count::ResetPeak();
            const bool ok = host->Transfer(slot);
            peak = std::max(peak, alloc_count::Peak() - before);
            return ok;
        },
        [&] { return FwriteBoth(files); }, InstallEditorRecord);
    if (slot)
        FallbackDisposeHandle(reinterpret_cast<Handle>(slot));
    const double pixels = static_cast<double>(w) * h;
    State.counters["peak_bytes_per_px"] = static_cast<double>(peak) / pixels;
    State.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    State.counters["fixed_MB"] = static_cast<double>(fixed) / 1e6;
    State.counters["image_bytes_per_px"] = static_cast<double>(peak - fixed) / pixels;
    State.SetLabel(std::to_string(w) + " x " + std::to_string(h) + " RGB with a selection; target peak_bytes_per_px <= 9");
}
BENCHMARK(BM_TransferPeakMemory)->Arg(1)->Arg(12)->Arg(48)->Arg(100)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace
