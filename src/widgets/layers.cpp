#include "widgets/layers.h"

#include <algorithm>
#include <exception>
#include <string>

#include "bitmap/low_level.h"
#include "bitmap/resample.h"
#include "toolkit/application.h"

// ---------------------------------------------------------------- TLayerCollection

namespace {
// Closes a bracket when leaving a scope, also when an exception passes.
struct TUpdateBracket {
    explicit TUpdateBracket(TLayerCollection& C) : Collection(C) { Collection.BeginUpdate(); }
    ~TUpdateBracket() noexcept(false)
    {
        // An exception already in flight wins; the bracket is closed either way.
        if (std::uncaught_exceptions() > Pending) {
            try {
                Collection.EndUpdate();
            } catch (...) {
            }
        } else {
            Collection.EndUpdate();
        }
    }
    TLayerCollection& Collection;
    int Pending = std::uncaught_exceptions();
};
} // namespace

TLayerCollection::TLayerCollection(TPersistent* AOwner) : FOwner(AOwner) {}

TLayerCollection::~TLayerCollection()
{
    // Freeing the layers must not reach handlers of an owner that is going away.
    FUpdateCount = 1;
    try {
        Clear();
    } catch (...) {
        Application->HandleException();
    }
}

TCustomLayer* TLayerCollection::Add(TLayerClass LayerClass)
{
    return LayerClass(this);
}

TCustomLayer* TLayerCollection::Items(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[static_cast<std::size_t>(Index)];
}

void TLayerCollection::Clear()
{
    TUpdateBracket bracket(*this);
    while (!FItems.empty())
        TCustomLayer::Free(FItems.back());
}

void TLayerCollection::BeginUpdate()
{
    if (FUpdateCount == 0)
        RaiseChanging();
    ++FUpdateCount;
}

void TLayerCollection::EndUpdate()
{
    --FUpdateCount;
    if (FUpdateCount == 0)
        RaiseChange();
    if (FUpdateCount < 0)
        throw EAssertionFailed("Unpaired EndUpdate");
}

TCustomLayer* TLayerCollection::LayerAt(int X, int Y, std::uint32_t OptionMask) const
{
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
        TCustomLayer* layer = *it;
        if ((layer->Options() & OptionMask) != 0 && layer->HitTest(X, Y))
            return layer;
    }
    return nullptr;
}

TCustomLayer* TLayerCollection::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomLayer* layer = FCapturingLayer ? FCapturingLayer : LayerAt(X, Y, LAYER_MOUSE_EVENTS);
    if (Button == mbLeft && layer != FCapturingLayer && (!layer || !(layer->Options() & LAYER_NO_CAPTURE)))
        SetCapturingLayer(layer);
    if (FCapturingLayer) {
        FCapturingLayer->FHeldButtons |= ButtonBit(Button);
        FCapturingLayer->MouseDown(Button, Shift, X, Y);
    }
    return layer;
}

TCustomLayer* TLayerCollection::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomLayer* layer = FCapturingLayer ? FCapturingLayer : LayerAt(X, Y, LAYER_MOUSE_EVENTS);
    if (layer)
        layer->MouseMove(Shift, X, Y);
    else if (auto* control = dynamic_cast<TControl*>(FOwner))
        Screen->SetCursor(control->Cursor());
    return layer;
}

TCustomLayer* TLayerCollection::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomLayer* layer = FCapturingLayer ? FCapturingLayer : LayerAt(X, Y, LAYER_MOUSE_EVENTS);
    if (layer) {
        layer->FHeldButtons &= ~ButtonBit(Button);
        layer->MouseUp(Button, Shift, X, Y);
    }
    if (FCapturingLayer && FCapturingLayer->FHeldButtons == 0)
        SetCapturingLayer(nullptr);
    return layer;
}

void TLayerCollection::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TLayerCollection*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
        return;
    }
    // Clearing first would free the very layers that are to be copied.
    if (source == this)
        return;
    TUpdateBracket bracket(*this);
    Clear();
    for (int i = 0; i < source->Count(); ++i) {
        TCustomLayer* from = source->Items(i);
        TCustomLayer* to = Add(from->LayerClass());
        to->Assign(from);
    }
}

void TLayerCollection::InsertItem(TCustomLayer* Layer)
{
    TUpdateBracket bracket(*this);
    FItems.push_back(Layer);
    Layer->FCollection = this;
}

void TLayerCollection::RemoveItem(TCustomLayer* Layer)
{
    TUpdateBracket bracket(*this);
    auto it = std::find(FItems.begin(), FItems.end(), Layer);
    if (it != FItems.end())
        FItems.erase(it);
    Layer->FCollection = nullptr;
}

void TLayerCollection::SetCapturingLayer(TCustomLayer* Layer)
{
    if (Layer == FCapturingLayer)
        return;
    if (FCapturingLayer)
        FCapturingLayer->FHeldButtons = 0;
    FCapturingLayer = Layer;
}

void TLayerCollection::RaiseChanging()
{
    if (OnChanging)
        OnChanging(this);
}

void TLayerCollection::RaiseChange()
{
    if (OnChange)
        OnChange(this);
}

void TLayerCollection::RaiseGDIUpdate()
{
    if (OnGDIUpdate)
        OnGDIUpdate(this);
}

// ---------------------------------------------------------------- TCustomLayer

TCustomLayer::TCustomLayer(TLayerCollection* ACollection)
{
    try {
        SetCollection(ACollection);
        SetOptions(LAYER_VISIBLE);
    } catch (...) {
        // No destructor runs for a half-built layer: the list must not keep it.
        if (FCollection) {
            auto& items = FCollection->FItems;
            items.erase(std::remove(items.begin(), items.end(), this), items.end());
            if (FCollection->FCapturingLayer == this)
                FCollection->FCapturingLayer = nullptr;
        }
        throw;
    }
}

TCustomLayer::~TCustomLayer()
{
    // A destructor cannot pass an exception on: handler failures go to the error box.
    try {
        RaiseDestroy();
    } catch (...) {
        Application->HandleException();
    }
    try {
        SetCollection(nullptr);
    } catch (...) {
        Application->HandleException();
    }
    if (FCollection) // a handler failed half-way: never leave a dangling item behind
        FCollection->FItems.erase(std::remove(FCollection->FItems.begin(), FCollection->FItems.end(), this),
                                  FCollection->FItems.end());
}

void TCustomLayer::Free(TCustomLayer* Layer)
{
    if (!Layer)
        return;
    try {
        Layer->RaiseDestroy();
    } catch (...) {
        delete Layer;
        throw;
    }
    delete Layer;
}

void TCustomLayer::RaiseDestroy()
{
    if (FDestroyRaised)
        return;
    FDestroyRaised = true;
    if (OnDestroy)
        OnDestroy(this);
}

void TCustomLayer::SetCollection(TLayerCollection* Value)
{
    if (Value == FCollection)
        return;
    if (FCollection) {
        if (FCollection->FCapturingLayer == this)
            FCollection->SetCapturingLayer(nullptr);
        FCollection->RemoveItem(this);
    }
    if (Value)
        Value->InsertItem(this);
}

int TCustomLayer::Index() const
{
    if (!FCollection)
        return -1;
    auto& items = FCollection->FItems;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCustomLayer::SetIndex(int NewIndex)
{
    const int current = Index();
    if (current < 0 || NewIndex == current)
        return;
    NewIndex = std::clamp(NewIndex, 0, FCollection->Count() - 1);
    if (NewIndex == current)
        return;
    auto move = [&] {
        auto& items = FCollection->FItems;
        items.erase(items.begin() + current);
        items.insert(items.begin() + NewIndex, this);
    };
    if (Visible()) {
        TUpdateBracket bracket(*FCollection);
        move();
    } else {
        move();
    }
}

void TCustomLayer::SetOptions(std::uint32_t Value)
{
    NotifyChanging();
    FOptions = Value;
    NotifyChanged();
}

void TCustomLayer::SetVisible(bool Value)
{
    SetOptions(Value ? (FOptions | LAYER_VISIBLE) : (FOptions & ~LAYER_VISIBLE));
}

bool TCustomLayer::HitTest(int X, int Y)
{
    bool passed = HitTestShape(X, Y);
    if (OnHitTest)
        OnHitTest(this, X, Y, passed);
    return passed;
}

void TCustomLayer::Render(TBitmap32* Buffer)
{
    Paint(Buffer);
    if (OnPaint)
        OnPaint(this, Buffer);
}

void TCustomLayer::NotifyChanging()
{
    if (Visible() && FCollection && !(FOptions & LAYER_NO_UPDATE))
        FCollection->RaiseChanging();
}

void TCustomLayer::NotifyChanged()
{
    if (!FCollection || (FOptions & LAYER_NO_UPDATE))
        return;
    if (Visible())
        FCollection->RaiseChange();
    else if ((FOptions & LAYER_GDI_OVERLAY) && FCollection->UpdateCount() == 0)
        FCollection->RaiseGDIUpdate();
}

bool TCustomLayer::HitTestShape(int, int) { return true; }

void TCustomLayer::PaintOnCanvas(TCanvas&) {}

void TCustomLayer::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TCustomLayer::MouseMove(TShiftState Shift, int X, int Y)
{
    Screen->SetCursor(FCursor);
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
}

void TCustomLayer::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    Screen->SetCursor(crDefault);
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TCustomLayer::Paint(TBitmap32*) {}

// ---------------------------------------------------------------- TPositionedLayer

TPositionedLayer::TPositionedLayer(TLayerCollection* ACollection) : TCustomLayer(ACollection)
{
    SetOptions(LAYER_VISIBLE | LAYER_MOUSE_EVENTS);
}

void TPositionedLayer::SetArea(const TFloatRect& Value)
{
    NotifyChanging();
    StoreArea(Value);
    NotifyChanged();
}

void TPositionedLayer::StoreArea(const TFloatRect& Value) { FArea = Value; }

void TPositionedLayer::SetBitmapRelative(bool Value)
{
    if (Value == FBitmapRelative)
        return;
    NotifyChanging();
    FBitmapRelative = Value;
    NotifyChanged();
}

TFloatRect TPositionedLayer::ControlArea() const
{
    const TImageTransform* t = Collection() ? Collection()->ImageTransform() : nullptr;
    if (!FBitmapRelative || !t)
        return FArea;
    auto mapX = [t](float x) {
        return static_cast<float>(static_cast<long double>(t->ZoomX) * x / 65536.0L + t->OriginX);
    };
    auto mapY = [t](float y) {
        return static_cast<float>(static_cast<long double>(t->ZoomY) * y / 65536.0L + t->OriginY);
    };
    return TFloatRect{mapX(FArea.Left), mapY(FArea.Top), mapX(FArea.Right), mapY(FArea.Bottom)};
}

bool TPositionedLayer::HitTestShape(int X, int Y)
{
    const TFloatRect r = ControlArea();
    const double x = X, y = Y;
    return r.Left <= x && x < r.Right && r.Top <= y && y < r.Bottom;
}

// ---------------------------------------------------------------- TBitmapLayer

TBitmapLayer::TBitmapLayer(TLayerCollection* ACollection) : TPositionedLayer(ACollection), FBitmap(new TBitmap32)
{
    FBitmap->OnChange = [this](TObject*) { NotifyChanged(); };
}

TBitmapLayer::~TBitmapLayer()
{
    try {
        RaiseDestroy();
    } catch (...) {
        Application->HandleException();
    }
    FBitmap->OnChange = nullptr;
    delete FBitmap;
    FBitmap = nullptr;
}

void TBitmapLayer::SetBitmap(TBitmap32* Value) { FBitmap->Assign(Value); }

bool TBitmapLayer::HitTestShape(int X, int Y) { return TPositionedLayer::HitTestShape(X, Y); }

void TBitmapLayer::Paint(TBitmap32* Buffer)
{
    if (FBitmap->IsEmpty())
        return;
    TRect dst = FloatRectToRect(ControlArea(), rrNearest);
    if (Collection()) {
        const TPoint o = Collection()->BufferOrigin();
        OffsetRectBy(dst, -o.X, -o.Y);
    }
    ScaledTransfer(Buffer, dst, Buffer->ClipRect(), FBitmap, FBitmap->BoundsRect(), FBitmap->StretchFilter(),
                   FBitmap->DrawMode(), FBitmap->OnPixelCombine);
}
