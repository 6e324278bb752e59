// Composing the image control's back buffer: a whole preview (background, a 1024 x 768
// bitmap fitted into 640 x 480 with linear filtering, optionally a blended mask layer over
// all of it) against the redraw of one 64 x 64 changed area. The partial redraw should cost a
// small fraction of the whole, with or without the layer: every stage keeps to the changed
// area.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "toolkit/forms.h"
#include "toolkit/headless/headless.h"
#include "widgets/display_host.h"
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
    State.SetLabel(State.range(0) ? "64 x 64 dirty, blended layer" : "64 x 64 dirty");
}
BENCHMARK(BM_ComposeChangedArea)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

// ---------------------------------------------------------------- the line preview
//
// One mouse move on the line dialog's preview: a 24-megapixel image (6000 x 4000, spline
// filter, a blended full-size mask layer over it) in a 443 x 486 preview on a form, at scale
// 1 centred and fitted into the window. A move draws one smooth 24-pixel segment into the
// image, invalidates what the preview must show again and repaints it, through a display
// callback that copies what it is given the way a host does. Arg 0: scale 1, arg 1: fit.
// "WholeRepaint" repaints the whole preview for each segment (the only way a stroke showed
// before the dialog invalidated what it draws); "ChangedArea" invalidates the segment's area
// as the dialog does and repaints only that.

namespace {

constexpr int LineImageW = 6000, LineImageH = 4000, PreviewW = 443, PreviewH = 486;

// The host's side: every call copies its rows, as a host copies them onto the screen.
std::vector<TColor32> HostScreen;
long long ShownPixels = 0;

OSErr VP_CDECL CopyingDisplayPixels(const PSPixelMap* Source, const VRect* Src, std::int32_t, std::int32_t, void*)
{
    const auto* base = static_cast<const TColor32*>(Source->baseAddr);
    const int perRow = Source->rowBytes / 4, w = Src->right - Src->left;
    HostScreen.resize(static_cast<std::size_t>(PreviewW) * PreviewH);
    for (int y = Src->top; y < Src->bottom; ++y)
        std::copy_n(base + static_cast<std::size_t>(y) * perRow + Src->left, std::min(w, PreviewW),
                    HostScreen.begin() + static_cast<std::size_t>(y % PreviewH) * PreviewW);
    ShownPixels += static_cast<long long>(w) * (Src->bottom - Src->top);
    return 0;
}

struct TLinePreview {
    TComponentPtr<TForm> Form;
    TPSImage32* Image = nullptr;

    explicit TLinePreview(bool Fit)
    {
        headless::Reset();
        DisplayHost.DisplayPixels = &CopyingDisplayPixels;
        Form.reset(CreateFormOf<TForm>(nullptr));
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(0, 0, PreviewW, PreviewH);
        Image = new TPSImage32(Form.get());
        Image->SetParent(Form.get());
        Image->SetBounds(0, 0, PreviewW, PreviewH);
        Image->SetColor(clSilver);
        TBitmap32& b = *Image->Bitmap();
        b.SetSize(LineImageW, LineImageH);
        for (int y = 0; y < LineImageH; ++y) {
            TColor32* row = b.RowPointer(y);
            for (int x = 0; x < LineImageW; ++x)
                row[x] = 0xFF000000u | static_cast<TColor32>(x * 131 + y * 7);
        }
        b.SetStretchFilter(sfSpline);
        b.PenColor = 0xFF000000u;
        Image->SetBitmapAlign(baCenter);
        Image->SetScaleMode(Fit ? smResize : smScale);
        auto* mask = Image->ImageLayers()->Add<TBitmapLayer>();
        mask->Bitmap()->SetSize(LineImageW, LineImageH);
        mask->Bitmap()->Clear(0x00C0C0C0u);
        mask->Bitmap()->SetDrawMode(dmBlend);
        mask->Bitmap()->SetStretchFilter(sfLinear);
        mask->SetBitmapRelative(true);
        mask->SetArea(TFloatRect{0, 0, float(LineImageW), float(LineImageH)});
        Form->Show();
        headless::FlushPaints(); // the first full paint
    }
    ~TLinePreview()
    {
        Form.reset();
        DisplayHost = TDisplayHost{};
        headless::Reset();
    }
    // The preview point of step K of a zig-zag around the middle of the preview.
    static TPoint At(int K) { return TPoint{PreviewW / 2 - 12 + (K % 2) * 24, PreviewH / 2 + (K % 7) * 3}; }
};

void BM_LinePreviewMoveWholeRepaint(benchmark::State& State)
{
    TLinePreview preview(State.range(0) != 0);
    TPSImage32& image = *preview.Image;
    int k = 0;
    TPoint p = image.PointToBitmap(TLinePreview::At(k));
    image.Bitmap()->MovePenTo(p.X, p.Y);
    ShownPixels = 0;
    for (auto _ : State) {
        p = image.PointToBitmap(TLinePreview::At(++k));
        image.Bitmap()->LineToSmooth(p.X, p.Y);
        image.Invalidate();
        headless::FlushPaints();
    }
    State.counters["shown_px_per_move"] =
        benchmark::Counter(static_cast<double>(ShownPixels) / static_cast<double>(State.iterations()));
    State.SetLabel(State.range(0) ? "24 MP fitted, whole preview repainted" : "24 MP at scale 1, whole preview repainted");
}
BENCHMARK(BM_LinePreviewMoveWholeRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_LinePreviewMoveChangedArea(benchmark::State& State)
{
    TLinePreview preview(State.range(0) != 0);
    TPSImage32& image = *preview.Image;
    int k = 0;
    TPoint p = image.PointToBitmap(TLinePreview::At(k));
    image.Bitmap()->MovePenTo(p.X, p.Y);
    ShownPixels = 0;
    for (auto _ : State) {
        const TPoint from = p;
        p = image.PointToBitmap(TLinePreview::At(++k));
        image.Bitmap()->LineToSmooth(p.X, p.Y);
        image.BitmapAreaChanged(TRect{std::min(from.X, p.X) - 1, std::min(from.Y, p.Y) - 1, std::max(from.X, p.X) + 2,
                                      std::max(from.Y, p.Y) + 2});
        headless::FlushPaints();
    }
    State.counters["shown_px_per_move"] =
        benchmark::Counter(static_cast<double>(ShownPixels) / static_cast<double>(State.iterations()));
    State.SetLabel(State.range(0) ? "24 MP fitted, the segment's area repainted"
                                  : "24 MP at scale 1, the segment's area repainted");
}
BENCHMARK(BM_LinePreviewMoveChangedArea)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
