// Run blending of both arithmetic sets against pixman's OVER on the same 1024-pixel runs.
//
// Semantics differ: pixman treats a8r8g8b8 as premultiplied (d = s + d * (1 - sa)), our sets
// weigh unpremultiplied colours (d = s * sa + d * (1 - sa)). The source is generated with
// every colour channel at most its alpha, so it is a valid premultiplied image for pixman and
// an ordinary one for us; the work per pixel is comparable, the values are not.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bitmap/blend.h"
#include "paired.h"

#ifdef HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

constexpr int kRun = 1024;
constexpr int kBatch = 16;

// Mix 0: like a soft-edged layer, a quarter clear, a quarter opaque, half in between, at
// random. Mix 1: every pixel translucent, so no shortcut ever applies.
struct RunBuffers {
    std::vector<TColor32> Src, Dst;
    explicit RunBuffers(std::int64_t Mix) : Src(kRun), Dst(kRun)
    {
        std::mt19937 gen(1234);
        for (int i = 0; i < kRun; ++i) {
            std::uint32_t r = gen(), kind = Mix ? 2 : r & 3;
            std::uint32_t a = kind == 0 ? 0 : kind == 1 ? 255 : 1 + (r >> 8) % 254;
            std::uint32_t c = 0;
            for (int k = 0; k < 3; ++k)
                c |= (a ? gen() % (a + 1) : 0) << (8 * k);
            Src[i] = (a << 24) | c;
            Dst[i] = gen() | 0xFF000000u;
        }
    }
};

#ifdef HAVE_PIXMAN
struct PixmanRun {
    pixman_image_t *Src, *Dst, *Mask = nullptr;
    PixmanRun(RunBuffers& B, int Master)
    {
        Src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kRun, 1, B.Src.data(), kRun * 4);
        Dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kRun, 1, B.Dst.data(), kRun * 4);
        if (Master >= 0) {
            pixman_color_t m = {0, 0, 0, static_cast<std::uint16_t>(Master * 257)};
            Mask = pixman_image_create_solid_fill(&m);
        }
    }
    ~PixmanRun()
    {
        pixman_image_unref(Src);
        pixman_image_unref(Dst);
        if (Mask)
            pixman_image_unref(Mask);
    }
    void Over() { pixman_image_composite32(PIXMAN_OP_OVER, Src, Mask, Dst, 0, 0, 0, 0, 0, 0, kRun, 1); }
};
#endif

// Arguments: (set: 0 plain, 1 vector; pixel mix: 0 mixed, 1 all translucent).
const TColorOps& SetOf(const benchmark::State& State)
{
    return State.range(0) ? VectorColorOps() : PlainColorOps();
}

void BothSetsBothMixes(benchmark::internal::Benchmark* B)
{
    B->ArgNames({"vector", "translucent"});
    for (int set : {0, 1})
        for (int mix : {0, 1})
            B->Args({set, mix});
}

void BM_BlendRun(benchmark::State& State)
{
    RunBuffers b(State.range(1));
    const TColorOps& ops = SetOf(State);
    for (auto _ : State) {
        ops.BlendRun(b.Src.data(), b.Dst.data(), kRun);
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(State.iterations() * kRun);
}
BENCHMARK(BM_BlendRun)->Apply(BothSetsBothMixes);

void BM_BlendRunScaled(benchmark::State& State)
{
    RunBuffers b(State.range(1));
    const TColorOps& ops = SetOf(State);
    for (auto _ : State) {
        ops.BlendRunScaled(b.Src.data(), b.Dst.data(), kRun, 200);
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(State.iterations() * kRun);
}
BENCHMARK(BM_BlendRunScaled)->Apply(BothSetsBothMixes);

#ifdef HAVE_PIXMAN
void BM_PixmanOver(benchmark::State& State)
{
    RunBuffers b(State.range(1));
    PixmanRun p(b, State.range(0) ? 200 : -1);
    for (auto _ : State) {
        p.Over();
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(State.iterations() * kRun);
}
BENCHMARK(BM_PixmanOver)->ArgNames({"mask", "translucent"})->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1});

// Ours and pixman alternating on the very same buffers; counters per pixel and the ratio.
void BM_BlendRunVsPixman(benchmark::State& State)
{
    RunBuffers b(State.range(1));
    PixmanRun p(b, -1);
    const TColorOps& ops = SetOf(State);
    RunPaired(State, kRun, kBatch, [&] { ops.BlendRun(b.Src.data(), b.Dst.data(), kRun); }, [&] { p.Over(); });
}
BENCHMARK(BM_BlendRunVsPixman)->Apply(BothSetsBothMixes);

// Master alpha against pixman's OVER through a solid mask of the same alpha.
void BM_BlendRunScaledVsPixman(benchmark::State& State)
{
    RunBuffers b(State.range(1));
    PixmanRun p(b, 200);
    const TColorOps& ops = SetOf(State);
    RunPaired(State, kRun, kBatch, [&] { ops.BlendRunScaled(b.Src.data(), b.Dst.data(), kRun, 200); },
              [&] { p.Over(); });
}
BENCHMARK(BM_BlendRunScaledVsPixman)->Apply(BothSetsBothMixes);
#endif

void BM_MergeRun(benchmark::State& State)
{
    RunBuffers b(State.range(1));
    const TColorOps& ops = SetOf(State);
    for (auto _ : State) {
        ops.MergeRun(b.Src.data(), b.Dst.data(), kRun);
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(State.iterations() * kRun);
}
BENCHMARK(BM_MergeRun)->Apply(BothSetsBothMixes);

} // namespace
