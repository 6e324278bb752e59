// Composing the image control's back buffer: a whole preview (background, a 1024 x 768
// bitmap fitted into 640 x 480 with linear filtering, optionally a blended mask layer over
// all of it) against the redraw of one 64 x 64 changed area. Without layers the partial
// redraw should cost a small fraction of the whole; a layer is always drawn whole.
#include <benchmark/benchmark.h>

#include "widgets/ps_image32.h"

namespace {

class TBenchImage : public TPSCustomImage32 {
public:
    using TPSCustomImage32::TPSCustomImage32;
    using TPSCustomImage32::RenderBuffer;
};

TComponentPtr<TBenchImage> MakePreview(bool WithLayer)
{
    TComponentPtr<TBenchImage> image(new TBenchImage(nullptr));
    image->SetBounds(0, 0, 640, 480);
    image->Bitmap()->SetSize(1024, 768);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            image->Bitmap()->SetPixelAt(x, y, 0xFF000000u | static_cast<TColor32>(x * 251 + y * 17));
    image->Bitmap()->SetStretchFilter(sfLinear);
    image->SetScaleMode(smResize);
    image->SetBitmapAlign(baCenter);
    if (!WithLayer) {
        image->FitBuffer();
        image->RenderBuffer();
        return image;
    }
    auto* mask = image->ImageLayers()->Add<TBitmapLayer>();
    mask->Bitmap()->SetSize(1024, 768);
    mask->Bitmap()->Clear(0x60FF0000u);
    mask->Bitmap()->SetDrawMode(dmBlend);
    mask->Bitmap()->SetStretchFilter(sfLinear);
    mask->SetBitmapRelative(true);
    mask->SetArea(TFloatRect{0, 0, 1024, 768});
    image->FitBuffer();
    image->RenderBuffer();
    return image;
}

void BM_ComposeWholePreview(benchmark::State& State)
{
    auto image = MakePreview(State.range(0) != 0);
    for (auto _ : State) {
        image->Invalidate();
        image->RenderBuffer();
        benchmark::DoNotOptimize(image->Buffer()->Bits());
    }
    State.SetLabel(State.range(0) ? "640 x 480, fitted bitmap, blended layer" : "640 x 480, fitted bitmap");
}
BENCHMARK(BM_ComposeWholePreview)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ComposeChangedArea(benchmark::State& State)
{
    auto image = MakePreview(State.range(0) != 0);
    for (auto _ : State) {
        image->ChangedRect(TRect{100, 100, 164, 164});
        image->RenderBuffer();
        benchmark::DoNotOptimize(image->Buffer()->Bits());
    }
    State.SetLabel(State.range(0) ? "64 x 64 dirty; the layer is drawn whole" : "64 x 64 dirty");
}
BENCHMARK(BM_ComposeChangedArea)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
