// Scaled transfer against pixman's separable convolution and stb_image_resize on the same
// images. Each benchmark times our transfer (the reported time) and the peers in the same
// iterations, and reports the peers' times and the speed ratios as counters
// (vs_pixman = pixman time / our time; above 1 means we are faster).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bitmap/bitmap32.h"
#include "bitmap/resample.h"
#include "paired.h"

#if defined(HAVE_PIXMAN)
#include <pixman.h>
#endif
#if defined(HAVE_STB_RESIZE)
// Static, so another benchmark file may carry its own copy.
#define STB_IMAGE_RESIZE_STATIC
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STBIR_ASSERT(x) ((void)0)
#include <stb_image_resize.h>
#endif

namespace {

// A smooth image with some noise, the same for every run.
void FillImage(TBitmap32& B, int W, int H)
{
    B.SetSize(W, H);
    std::mt19937 rng(42);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::uint32_t n = rng() & 0x1F1F1F;
            const std::uint32_t r = (x * 255 / W) & 0xFF, g = (y * 255 / H) & 0xFF, b = ((x + y) * 127 / W) & 0xFF;
            B.SetPixelAt(x, y, 0xFF000000u | ((r << 16 | g << 8 | b) ^ n));
        }
}

enum class TPeerKernel { Box, Linear, Spline, Lanczos, Mitchell };

struct TCase {
    TStretchFilter Filter;
    TPeerKernel Peer;
    int SrcSize, DstSize;
};

// Thread processor time, so preemption on a shared machine counts for neither side.
template <typename F>
double Seconds(F&& f)
{
    const double t0 = paired::NowNs();
    f();
    return (paired::NowNs() - t0) * 1e-9;
}

#if defined(HAVE_PIXMAN)
pixman_kernel_t PixmanKernel(TPeerKernel k)
{
    switch (k) {
    case TPeerKernel::Box: return PIXMAN_KERNEL_BOX;
    case TPeerKernel::Linear: return PIXMAN_KERNEL_LINEAR;
    case TPeerKernel::Spline: return PIXMAN_KERNEL_CUBIC;
    case TPeerKernel::Lanczos: return PIXMAN_KERNEL_LANCZOS3;
    case TPeerKernel::Mitchell: return PIXMAN_KERNEL_CUBIC;
    }
    return PIXMAN_KERNEL_LINEAR;
}

double RunPixman(TBitmap32& Src, TBitmap32& Dst, TPeerKernel K)
{
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, Src.Width(), Src.Height(),
                                                 reinterpret_cast<std::uint32_t*>(Src.Bits()), Src.Width() * 4);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, Dst.Width(), Dst.Height(),
                                                 reinterpret_cast<std::uint32_t*>(Dst.Bits()), Dst.Width() * 4);
    const double sx = double(Src.Width()) / Dst.Width(), sy = double(Src.Height()) / Dst.Height();
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
    pixman_image_set_transform(s, &t);
    // Shrinking filters in destination space (sample kernel), enlarging in source space.
    const bool shrink = sx > 1.0;
    const pixman_kernel_t k = PixmanKernel(K);
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy), shrink ? PIXMAN_KERNEL_IMPULSE : k,
        shrink ? PIXMAN_KERNEL_IMPULSE : k, shrink ? k : PIXMAN_KERNEL_IMPULSE, shrink ? k : PIXMAN_KERNEL_IMPULSE,
        shrink ? 1 : 4, shrink ? 1 : 4);
    pixman_image_set_filter(s, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    pixman_image_set_repeat(s, PIXMAN_REPEAT_PAD);
    const double secs = Seconds([&] {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, Dst.Width(), Dst.Height());
    });
    free(params);
    pixman_image_unref(s);
    pixman_image_unref(d);
    return secs;
}
#endif

#if defined(HAVE_STB_RESIZE)
stbir_filter StbFilter(TPeerKernel k)
{
    switch (k) {
    case TPeerKernel::Box: return STBIR_FILTER_BOX;
    case TPeerKernel::Linear: return STBIR_FILTER_TRIANGLE;
    case TPeerKernel::Spline: return STBIR_FILTER_CUBICBSPLINE;
    case TPeerKernel::Lanczos: return STBIR_FILTER_CATMULLROM; // no Lanczos in stb; the sharpest cubic
    case TPeerKernel::Mitchell: return STBIR_FILTER_MITCHELL;
    }
    return STBIR_FILTER_TRIANGLE;
}

double RunStb(TBitmap32& Src, TBitmap32& Dst, TPeerKernel K)
{
    return Seconds([&] {
        stbir_resize_uint8_generic(reinterpret_cast<const unsigned char*>(Src.Bits()), Src.Width(), Src.Height(),
                                   Src.Width() * 4, reinterpret_cast<unsigned char*>(Dst.Bits()), Dst.Width(),
                                   Dst.Height(), Dst.Width() * 4, 4, STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP,
                                   StbFilter(K), STBIR_COLORSPACE_LINEAR, nullptr);
    });
}
#endif

void BM_Resample(benchmark::State& State, TCase C)
{
    static TBitmap32 big, small;
    if (big.IsEmpty()) {
        FillImage(big, 4096, 4096);
        FillImage(small, 512, 512);
    }
    TBitmap32& src = C.SrcSize == 4096 ? big : small;
    TBitmap32 dst, peer;
    dst.SetSize(C.DstSize, C.DstSize);
    peer.SetSize(C.DstSize, C.DstSize);
    double ours = 0, pix = 0, stb = 0;
    for (auto _ : State) {
        const double t = Seconds([&] {
            ScaledTransfer(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), C.Filter, dmOpaque, {});
        });
        State.SetIterationTime(t);
        ours += t;
#if defined(HAVE_PIXMAN)
        pix += RunPixman(src, peer, C.Peer);
#endif
#if defined(HAVE_STB_RESIZE)
        stb += RunStb(src, peer, C.Peer);
#endif
        benchmark::DoNotOptimize(dst.Bits()[0]);
    }
    const double n = double(State.iterations());
    State.counters["ours_ms"] = 1000 * ours / n;
    if (pix > 0) {
        State.counters["pixman_ms"] = 1000 * pix / n;
        State.counters["vs_pixman"] = pix / ours;
    }
    if (stb > 0) {
        State.counters["stb_ms"] = 1000 * stb / n;
        State.counters["vs_stb"] = stb / ours;
    }
}

} // namespace

#define VP_RESAMPLE(Name, F, P, S, D)                                                                   \
    BENCHMARK_CAPTURE(BM_Resample, Name, TCase{F, P, S, D})->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond)

VP_RESAMPLE(shrink_linear, sfLinear, TPeerKernel::Linear, 4096, 1024);
VP_RESAMPLE(shrink_spline, sfSpline, TPeerKernel::Spline, 4096, 1024);
VP_RESAMPLE(shrink_lanczos, sfLanczos, TPeerKernel::Lanczos, 4096, 1024);
VP_RESAMPLE(shrink_mitchell, sfMitchell, TPeerKernel::Mitchell, 4096, 1024);
VP_RESAMPLE(enlarge_linear, sfLinear, TPeerKernel::Linear, 512, 2048);
VP_RESAMPLE(enlarge_spline, sfSpline, TPeerKernel::Spline, 512, 2048);
VP_RESAMPLE(enlarge_lanczos, sfLanczos, TPeerKernel::Lanczos, 512, 2048);
VP_RESAMPLE(enlarge_mitchell, sfMitchell, TPeerKernel::Mitchell, 512, 2048);
VP_RESAMPLE(shrink_draft_vs_box, sfDraft, TPeerKernel::Box, 4096, 1024);
