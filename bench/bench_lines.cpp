// 10,000 random anti-aliased lines: DrawLineSmooth against cairo stroking the same 1-pixel
// lines one by one on an image surface of the same size (vs_cairo = cairo time / our time),
// both timed in the thread's processor time.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bitmap/bitmap32.h"
#include "paired.h"

#if defined(HAVE_CAIRO)
#include <cairo.h>
#endif

namespace {

struct TLine {
    int X1, Y1, X2, Y2;
    TColor32 Color;
};

std::vector<TLine> RandomLines(int Count, int Size)
{
    std::mt19937 rng(1234);
    std::vector<TLine> lines(static_cast<std::size_t>(Count));
    for (TLine& l : lines)
        l = {int(rng() % Size), int(rng() % Size), int(rng() % Size), int(rng() % Size), TColor32(rng()) | 0x80000000u};
    return lines;
}

void BM_SmoothLines(benchmark::State& State)
{
    constexpr int kSize = 1024;
    const std::vector<TLine> lines = RandomLines(10000, kSize);
    TBitmap32 b;
    b.SetSize(kSize, kSize);
    double ours = 0, peer = 0;
#if defined(HAVE_CAIRO)
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
    cairo_t* cr = cairo_create(surface);
    cairo_set_line_width(cr, 1.0);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
#endif
    for (auto _ : State) {
        b.Clear(0xFF000000);
        double t0 = paired::NowNs();
        for (const TLine& l : lines)
            b.DrawLineSmooth(l.X1, l.Y1, l.X2, l.Y2, l.Color, true);
        const double t = (paired::NowNs() - t0) * 1e-9;
        State.SetIterationTime(t);
        ours += t;
        benchmark::DoNotOptimize(b.Bits()[0]);
#if defined(HAVE_CAIRO)
        t0 = paired::NowNs();
        for (const TLine& l : lines) {
            cairo_set_source_rgba(cr, ((l.Color >> 16) & 0xFF) / 255.0, ((l.Color >> 8) & 0xFF) / 255.0,
                                  (l.Color & 0xFF) / 255.0, (l.Color >> 24) / 255.0);
            // Pixel centres, as our lines address them.
            cairo_move_to(cr, l.X1 + 0.5, l.Y1 + 0.5);
            cairo_line_to(cr, l.X2 + 0.5, l.Y2 + 0.5);
            cairo_stroke(cr);
        }
        cairo_surface_flush(surface);
        peer += (paired::NowNs() - t0) * 1e-9;
#endif
    }
#if defined(HAVE_CAIRO)
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
#endif
    const double n = double(State.iterations());
    State.counters["ours_ms"] = 1000 * ours / n;
    if (peer > 0) {
        State.counters["cairo_ms"] = 1000 * peer / n;
        State.counters["vs_cairo"] = peer / ours;
    }
}

} // namespace

BENCHMARK(BM_SmoothLines)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
