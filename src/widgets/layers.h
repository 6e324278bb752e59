// Layers drawn over an image control's bitmap into its back buffer, able to take the
// control's mouse input: the collection and the layer classes.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "bitmap/bitmap32.h"
#include "toolkit/controls.h"

// The bitmap-to-control mapping of an image control: 16.16 zooms and inverse zooms, integer
// origin (the control position of the bitmap's top-left corner).
struct TImageTransform {
    std::int32_t ZoomX = 65536;
    std::int32_t ZoomY = 65536;
    std::int32_t OriginX = 0;
    std::int32_t OriginY = 0;
    std::int32_t InvZoomX = 65536;
    std::int32_t InvZoomY = 65536;
    friend bool operator==(const TImageTransform&, const TImageTransform&) = default;
};

// Option bits of a layer; the other bits are stored as written and have no effect.
constexpr std::uint32_t LAYER_VISIBLE = 0x80000000u;
constexpr std::uint32_t LAYER_GDI_OVERLAY = 0x40000000u;
constexpr std::uint32_t LAYER_MOUSE_EVENTS = 0x20000000u;
constexpr std::uint32_t LAYER_NO_UPDATE = 0x10000000u;
constexpr std::uint32_t LAYER_NO_CAPTURE = 0x08000000u;

// Held mouse buttons: left bit 0, right bit 1, middle bit 2.
using TMouseButtons = unsigned;
constexpr TMouseButtons ButtonBit(TMouseButton B) { return 1u << static_cast<unsigned>(B); }

class TCustomLayer;
class TLayerCollection;

// A layer class: builds a layer of one class in the given collection (the virtual
// constructor). LayerClassOf<T> is the class reference of T.
using TLayerClass = TCustomLayer* (*)(TLayerCollection* Collection);
template <class T>
TCustomLayer* LayerClassOf(TLayerCollection* Collection)
{
    return new T(Collection);
}

// Names the class and hands out its class reference; every layer class declares it.
#define VP_LAYER_CLASS(Name)                                       \
    const char* ClassName() const override { return #Name; }      \
    TLayerClass LayerClass() const override { return &LayerClassOf<Name>; }

using THitTestEvent = std::function<void(TObject* Sender, int X, int Y, bool& Passed)>;
using TPaintLayerEvent = std::function<void(TObject* Sender, TBitmap32* Buffer)>;

class TLayerCollection : public TPersistent {
public:
    VP_CLASS_NAME(TLayerCollection)
    // Owner is the image control that creates the collection (may be null in tests).
    explicit TLayerCollection(TPersistent* AOwner);
    // No event is raised while the layers are freed.
    ~TLayerCollection() override;
    TLayerCollection(const TLayerCollection&) = delete;
    TLayerCollection& operator=(const TLayerCollection&) = delete;

    // Builds a layer of LayerClass in this collection; the layer's constructor inserts it.
    TCustomLayer* Add(TLayerClass LayerClass);
    template <class T>
    T* Add()
    {
        return static_cast<T*>(Add(&LayerClassOf<T>));
    }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EListError outside 0..Count-1.
    TCustomLayer* Items(int Index) const;
    // Frees the layers from the top down inside one update bracket.
    void Clear();

    void BeginUpdate();
    // Raises EAssertionFailed "Unpaired EndUpdate" when no bracket is open.
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Topmost layer whose options share a bit with OptionMask and whose hit test passes.
    TCustomLayer* LayerAt(int X, int Y, std::uint32_t OptionMask) const;

    // Mouse routing in control coordinates; each returns the layer found or captured.
    TCustomLayer* MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    TCustomLayer* MouseMove(TShiftState Shift, int X, int Y);
    TCustomLayer* MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

    // From another collection: clear, then add a layer of each source layer's class and
    // assign the source layer to it (which layers refuse, with the cannot-assign error).
    void Assign(TPersistent* Source) override;

    TPersistent* Owner() const { return FOwner; }
    TImageTransform* ImageTransform() const { return FImageTransform; }
    void SetImageTransform(TImageTransform* Value) { FImageTransform = Value; }
    TCustomLayer* CapturingLayer() const { return FCapturingLayer; }
    // The control pixel that the buffer the layers are painted into holds at its top-left
    // corner: the owner's buffer may cover only the part of the control that shows. Layers
    // paint at their control area moved by minus this; (0, 0) by default.
    TPoint BufferOrigin() const { return FBufferOrigin; }
    void SetBufferOrigin(TPoint Value) { FBufferOrigin = Value; }

    TNotifyEvent OnChanging; // the first update bracket opens
    TNotifyEvent OnChange;   // the last update bracket closes
    TNotifyEvent OnGDIUpdate; // an invisible overlay layer changed outside any bracket

private:
    friend class TCustomLayer;
    void InsertItem(TCustomLayer* Layer);
    void RemoveItem(TCustomLayer* Layer);
    void SetCapturingLayer(TCustomLayer* Layer);
    void RaiseChanging();
    void RaiseChange();
    void RaiseGDIUpdate();

    TPersistent* FOwner;
    std::vector<TCustomLayer*> FItems;
    TImageTransform* FImageTransform = nullptr;
    TCustomLayer* FCapturingLayer = nullptr;
    int FUpdateCount = 0;
    TPoint FBufferOrigin;
};

class TCustomLayer : public TPersistent {
public:
    VP_CLASS_NAME(TCustomLayer)
    // Joins ACollection (null allowed) on top, then sets Options to LAYER_VISIBLE.
    explicit TCustomLayer(TLayerCollection* ACollection);
    // Raises OnDestroy, then leaves the collection (releasing capture first).
    ~TCustomLayer() override;
    TCustomLayer(const TCustomLayer&) = delete;
    TCustomLayer& operator=(const TCustomLayer&) = delete;

    virtual TLayerClass LayerClass() const { return &LayerClassOf<TCustomLayer>; }
    // The way to free a layer: OnDestroy first (its exception passes on, the layer is still
    // freed), then the destructors. Null is allowed.
    static void Free(TCustomLayer* Layer);

    TLayerCollection* Collection() const { return FCollection; }
    void SetCollection(TLayerCollection* Value);
    // Position in the collection, -1 without one.
    int Index() const;
    // Moves the layer to NewIndex, clamped to the list.
    virtual void SetIndex(int NewIndex);

    int Cursor() const { return FCursor; }
    void SetCursor(int Value) { FCursor = static_cast<std::int16_t>(Value); }
    TMouseButtons HeldButtons() const { return FHeldButtons; }
    std::uint32_t Options() const { return FOptions; }
    void SetOptions(std::uint32_t Value);
    bool Visible() const { return (FOptions & LAYER_VISIBLE) != 0; }
    void SetVisible(bool Value);

    // The shape test, possibly overruled by OnHitTest.
    bool HitTest(int X, int Y);
    // Paint, then OnPaint.
    void Render(TBitmap32* Buffer);
    void NotifyChanging();
    void NotifyChanged();

    virtual bool HitTestShape(int X, int Y);
    virtual void PaintOnCanvas(TCanvas& Canvas);

    THitTestEvent OnHitTest;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TPaintLayerEvent OnPaint;
    TNotifyEvent OnDestroy;

protected:
    friend class TLayerCollection;
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Paint(TBitmap32* Buffer);
    // Raises OnDestroy once; destructors of derived classes call it before tearing down.
    void RaiseDestroy();

private:
    TLayerCollection* FCollection = nullptr;
    std::int16_t FCursor = crDefault;
    TMouseButtons FHeldButtons = 0;
    std::uint32_t FOptions = 0;
    bool FDestroyRaised = false;
};

// A layer with a rectangle in control pixels, or in bitmap pixels when BitmapRelative.
class TPositionedLayer : public TCustomLayer {
public:
    VP_LAYER_CLASS(TPositionedLayer)
    explicit TPositionedLayer(TLayerCollection* ACollection);

    const TFloatRect& Area() const { return FArea; }
    // Notifies around StoreArea, also for an equal rectangle.
    void SetArea(const TFloatRect& Value);
    bool BitmapRelative() const { return FBitmapRelative; }
    void SetBitmapRelative(bool Value);
    // The area in control pixels (through the collection's image transform when relative).
    TFloatRect ControlArea() const;

    bool HitTestShape(int X, int Y) override;

protected:
    // Only stores the rectangle.
    virtual void StoreArea(const TFloatRect& Value);

private:
    TFloatRect FArea{0, 0, 64, 64};
    bool FBitmapRelative = false;
};

// A positioned layer that draws its own bitmap scaled into its area.
class TBitmapLayer : public TPositionedLayer {
public:
    VP_LAYER_CLASS(TBitmapLayer)
    explicit TBitmapLayer(TLayerCollection* ACollection);
    ~TBitmapLayer() override;

    TBitmap32* Bitmap() const { return FBitmap; }
    // The layer's bitmap takes a copy of Value.
    void SetBitmap(TBitmap32* Value);

    bool HitTestShape(int X, int Y) override;

protected:
    void Paint(TBitmap32* Buffer) override;

private:
    TBitmap32* FBitmap;
};
