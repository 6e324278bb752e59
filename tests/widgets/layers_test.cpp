#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../toolkit/fixture.h"
#include "bitmap/low_level.h"
#include "toolkit/application.h"
#include "widgets/layers.h"

namespace {

// Records the collection's events in order.
struct TEventLog {
    explicit TEventLog(TLayerCollection& C)
    {
        C.OnChanging = [this](TObject*) { Events.push_back("changing"); };
        C.OnChange = [this](TObject*) { Events.push_back("change"); };
        C.OnGDIUpdate = [this](TObject*) { Events.push_back("gdi"); };
    }
    std::vector<std::string> Take()
    {
        auto e = Events;
        Events.clear();
        return e;
    }
    std::vector<std::string> Events;
};

using Strings = std::vector<std::string>;

class LayersTest : public HeadlessTest {
protected:
    TPositionedLayer* AddAt(float L, float T, float R, float B)
    {
        auto* layer = Layers.Add<TPositionedLayer>();
        layer->SetArea(TFloatRect{L, T, R, B});
        return layer;
    }
    TLayerCollection Layers{nullptr};
};

TEST_F(LayersTest, NewLayersJoinOnTopWithTheirDefaultOptions)
{
    auto* custom = Layers.Add<TCustomLayer>();
    auto* positioned = Layers.Add<TPositionedLayer>();
    auto* bitmap = Layers.Add(&LayerClassOf<TBitmapLayer>);
    EXPECT_EQ(custom->Options(), 0x80000000u);
    EXPECT_EQ(positioned->Options(), 0xA0000000u);
    EXPECT_EQ(bitmap->Options(), 0xA0000000u);
    EXPECT_STREQ(bitmap->ClassName(), "TBitmapLayer");
    EXPECT_EQ(Layers.Count(), 3);
    EXPECT_EQ(custom->Index(), 0);
    EXPECT_EQ(bitmap->Index(), 2);
    EXPECT_EQ(positioned->Area(), (TFloatRect{0, 0, 64, 64}));
    EXPECT_THROW(Layers.Items(3), EListError);
    EXPECT_THROW(Layers.Items(-1), EListError);

    TCustomLayer loose(nullptr);
    EXPECT_EQ(loose.Index(), -1);
    loose.SetIndex(3); // without a collection nothing moves and nothing fails
    EXPECT_EQ(loose.Index(), -1);
}

TEST_F(LayersTest, HitEdgesAndTopmostLayerWins)
{
    auto* low = AddAt(10, 10, 20, 20);
    EXPECT_TRUE(low->HitTest(10, 10));  // left and top edges belong to the area
    EXPECT_TRUE(low->HitTest(19, 19));
    EXPECT_FALSE(low->HitTest(20, 15)); // right edge does not
    EXPECT_FALSE(low->HitTest(15, 20)); // nor bottom
    EXPECT_FALSE(low->HitTest(9, 15));

    auto* high = AddAt(15, 15, 30, 30);
    EXPECT_EQ(Layers.LayerAt(16, 16, LAYER_MOUSE_EVENTS), high);
    EXPECT_EQ(Layers.LayerAt(12, 12, LAYER_MOUSE_EVENTS), low);
    EXPECT_EQ(Layers.LayerAt(40, 40, LAYER_MOUSE_EVENTS), nullptr);

    high->SetOptions(LAYER_VISIBLE); // no longer mouse-sensitive
    EXPECT_EQ(Layers.LayerAt(16, 16, LAYER_MOUSE_EVENTS), low);
    EXPECT_EQ(Layers.LayerAt(16, 16, LAYER_VISIBLE), high);

    // The hit-test event may overrule the shape in both directions.
    low->OnHitTest = [](TObject*, int X, int, bool& Passed) { Passed = X == 100; };
    EXPECT_FALSE(low->HitTest(12, 12));
    EXPECT_TRUE(low->HitTest(100, 0));
    EXPECT_EQ(Layers.LayerAt(100, 0, LAYER_MOUSE_EVENTS), low);
}

TEST_F(LayersTest, FractionalEdgesCompareWithTheIntegerPoint)
{
    auto* layer = AddAt(9.5f, 0, 10.5f, 1);
    EXPECT_FALSE(layer->HitTest(9, 0));
    EXPECT_TRUE(layer->HitTest(10, 0));
    EXPECT_FALSE(layer->HitTest(11, 0));
}

class MouseRouting : public LayersTest {
protected:
    void SetUp() override
    {
        LayersTest::SetUp();
        Layer = AddAt(0, 0, 50, 50);
        Layer->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState, int X, int Y) {
            Log.push_back(Name(S) + " down " + std::to_string(B) + " " + std::to_string(X) + "," + std::to_string(Y));
        };
        Layer->OnMouseMove = [this](TObject* S, TShiftState, int X, int Y) {
            Log.push_back(Name(S) + " move " + std::to_string(X) + "," + std::to_string(Y));
        };
        Layer->OnMouseUp = [this](TObject* S, TMouseButton B, TShiftState, int X, int Y) {
            Log.push_back(Name(S) + " up " + std::to_string(B) + " " + std::to_string(X) + "," + std::to_string(Y));
        };
    }
    std::string Name(TObject* S) { return S == Layer ? "layer" : "other"; }
    TPositionedLayer* Layer = nullptr;
    Strings Log;
};

TEST_F(MouseRouting, LeftPressOnEmptySpaceCapturesNothing)
{
    EXPECT_EQ(Layers.MouseDown(mbLeft, 0, 80, 80), nullptr);
    EXPECT_EQ(Layers.CapturingLayer(), nullptr);
    EXPECT_EQ(Layers.MouseUp(mbLeft, 0, 80, 80), nullptr);
    EXPECT_TRUE(Log.empty());
}

TEST_F(MouseRouting, RightPressWithoutCaptureIsNotDeliveredButReported)
{
    EXPECT_EQ(Layers.MouseDown(mbRight, 0, 10, 10), Layer);
    EXPECT_EQ(Layers.CapturingLayer(), nullptr);
    EXPECT_EQ(Layer->HeldButtons(), 0u);
    // The release reaches the layer found under the point.
    EXPECT_EQ(Layers.MouseUp(mbRight, 0, 10, 10), Layer);
    EXPECT_EQ(Log, (Strings{"layer up 1 10,10"}));
}

TEST_F(MouseRouting, DragOffTheLayerStaysWithItUntilRelease)
{
    EXPECT_EQ(Layers.MouseDown(mbLeft, 0, 10, 10), Layer);
    EXPECT_EQ(Layers.CapturingLayer(), Layer);
    EXPECT_EQ(Layer->HeldButtons(), ButtonBit(mbLeft));
    EXPECT_EQ(Layers.MouseMove(0, 200, 200), Layer);
    EXPECT_EQ(Layers.MouseUp(mbLeft, 0, 210, 200), Layer);
    EXPECT_EQ(Layers.CapturingLayer(), nullptr);
    EXPECT_EQ(Layers.MouseMove(0, 200, 200), nullptr); // nothing under the point any more
    EXPECT_EQ(Log, (Strings{"layer down 0 10,10", "layer move 200,200", "layer up 0 210,200"}));
}

TEST_F(MouseRouting, CaptureLastsWhileAnyButtonIsHeld)
{
    Layers.MouseDown(mbLeft, 0, 10, 10);
    // A right press far away goes to the capturing layer too.
    EXPECT_EQ(Layers.MouseDown(mbRight, 0, 300, 300), Layer);
    EXPECT_EQ(Layer->HeldButtons(), ButtonBit(mbLeft) | ButtonBit(mbRight));
    Layers.MouseUp(mbLeft, 0, 300, 300);
    EXPECT_EQ(Layers.CapturingLayer(), Layer);
    EXPECT_EQ(Layer->HeldButtons(), ButtonBit(mbRight));
    Layers.MouseUp(mbRight, 0, 300, 300);
    EXPECT_EQ(Layers.CapturingLayer(), nullptr);
    EXPECT_EQ(Log.size(), 4u);
}

TEST_F(MouseRouting, NoCaptureLayerNeverReceivesAPress)
{
    Layer->SetOptions(Layer->Options() | LAYER_NO_CAPTURE);
    EXPECT_EQ(Layers.MouseDown(mbLeft, 0, 10, 10), Layer);
    EXPECT_EQ(Layers.CapturingLayer(), nullptr);
    EXPECT_EQ(Layers.MouseMove(0, 11, 11), Layer);
    EXPECT_EQ(Log, (Strings{"layer move 11,11"}));
}

TEST_F(MouseRouting, CursorFollowsLayersAndTheOwner)
{
    Layer->SetCursor(crHandPoint);
    Layers.MouseMove(0, 5, 5);
    EXPECT_EQ(Screen->Cursor(), crHandPoint);
    Layers.MouseDown(mbLeft, 0, 5, 5);
    Layers.MouseUp(mbLeft, 0, 5, 5);
    EXPECT_EQ(Screen->Cursor(), crDefault);

    // Moving over no layer shows the owning control's cursor.
    TComponentPtr<TCustomControl> owner(new TCustomControl(nullptr));
    owner->SetCursor(crCross);
    TLayerCollection owned(owner.get());
    owned.MouseMove(0, 5, 5);
    EXPECT_EQ(Screen->Cursor(), crCross);
}

TEST_F(MouseRouting, FreeingTheCapturingLayerReleasesCapture)
{
    Layers.MouseDown(mbLeft, 0, 10, 10);
    TCustomLayer::Free(Layer);
    Layer = nullptr;
    EXPECT_EQ(Layers.CapturingLayer(), nullptr);
    EXPECT_EQ(Layers.Count(), 0);
    EXPECT_EQ(Layers.MouseMove(0, 10, 10), nullptr);
}

TEST_F(LayersTest, IndexSetterClampsAndBracketsVisibleMoves)
{
    auto* a = Layers.Add<TCustomLayer>();
    auto* b = Layers.Add<TCustomLayer>();
    auto* c = Layers.Add<TCustomLayer>();
    TEventLog log(Layers);
    c->SetIndex(-5);
    EXPECT_EQ(c->Index(), 0);
    EXPECT_EQ(a->Index(), 1);
    EXPECT_EQ(b->Index(), 2);
    EXPECT_EQ(log.Take(), (Strings{"changing", "change"}));
    c->SetIndex(Layers.Count() + 3);
    EXPECT_EQ(c->Index(), 2);
    EXPECT_EQ(Layers.Items(0), a);
    EXPECT_EQ(Layers.Items(1), b);
    log.Take();

    c->SetIndex(7); // clamps to where it already is: no bracket
    EXPECT_TRUE(log.Take().empty());

    a->SetVisible(false);
    log.Take();
    a->SetIndex(1); // invisible layers move without a bracket
    EXPECT_EQ(Layers.Items(1), a);
    EXPECT_TRUE(log.Take().empty());
}

TEST_F(LayersTest, HidingRaisesChangingOnlyAndShowingChangeOnly)
{
    auto* layer = Layers.Add<TPositionedLayer>();
    TEventLog log(Layers);
    layer->SetVisible(false);
    EXPECT_EQ(log.Take(), (Strings{"changing"}));
    layer->SetVisible(true);
    EXPECT_EQ(log.Take(), (Strings{"change"}));

    layer->SetArea(TFloatRect{1, 2, 3, 4});
    EXPECT_EQ(log.Take(), (Strings{"changing", "change"}));
    layer->SetArea(TFloatRect{1, 2, 3, 4}); // also for an equal rectangle
    EXPECT_EQ(log.Take(), (Strings{"changing", "change"}));
    layer->SetBitmapRelative(false); // unchanged: nothing
    EXPECT_TRUE(log.Take().empty());

    layer->SetOptions(layer->Options() | LAYER_NO_UPDATE);
    EXPECT_EQ(log.Take(), (Strings{"changing"})); // judged with the old options, then the new
    layer->SetArea(TFloatRect{});
    EXPECT_TRUE(log.Take().empty());
}

TEST_F(LayersTest, InvisibleOverlayChangesRaiseGDIUpdateOutsideBrackets)
{
    auto* layer = Layers.Add<TPositionedLayer>();
    layer->SetOptions(LAYER_GDI_OVERLAY);
    TEventLog log(Layers);
    layer->SetArea(TFloatRect{0, 0, 5, 5});
    EXPECT_EQ(log.Take(), (Strings{"gdi"}));
    Layers.BeginUpdate();
    layer->SetArea(TFloatRect{0, 0, 6, 6});
    Layers.EndUpdate();
    EXPECT_EQ(log.Take(), (Strings{"changing", "change"}));

    // A visible layer raises OnChange directly, whatever the bracket depth.
    layer->SetOptions(LAYER_VISIBLE | LAYER_GDI_OVERLAY);
    log.Take();
    Layers.BeginUpdate();
    layer->SetArea(TFloatRect{});
    EXPECT_EQ(log.Take(), (Strings{"changing", "changing", "change"}));
    Layers.EndUpdate();
    EXPECT_EQ(log.Take(), (Strings{"change"}));
}

TEST_F(LayersTest, UpdateBracketsNestAndUnpairedEndUpdateFails)
{
    TEventLog log(Layers);
    Layers.BeginUpdate();
    Layers.BeginUpdate();
    Layers.EndUpdate();
    EXPECT_EQ(log.Take(), (Strings{"changing"}));
    Layers.EndUpdate();
    EXPECT_EQ(log.Take(), (Strings{"change"}));
    try {
        Layers.EndUpdate();
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Unpaired EndUpdate");
    }
    EXPECT_EQ(Layers.UpdateCount(), -1);
    EXPECT_TRUE(log.Take().empty());
}

TEST_F(LayersTest, InsertAndRemoveEachRunInABracket)
{
    TEventLog log(Layers);
    auto* layer = Layers.Add<TCustomLayer>();
    // Joining is bracketed; the options set afterwards make the layer visible: one more change.
    EXPECT_EQ(log.Take(), (Strings{"changing", "change", "change"}));
    TLayerCollection other(nullptr);
    TEventLog otherLog(other);
    layer->SetCollection(&other);
    EXPECT_EQ(log.Take(), (Strings{"changing", "change"}));
    EXPECT_EQ(otherLog.Take(), (Strings{"changing", "change"}));
    EXPECT_EQ(Layers.Count(), 0);
    EXPECT_EQ(other.Items(0), layer);
    EXPECT_EQ(layer->Collection(), &other);
}

TEST_F(LayersTest, BitmapRelativeAreaFollowsTheTransform)
{
    TImageTransform t;
    t.ZoomX = t.ZoomY = 131072;
    t.OriginX = 10;
    t.OriginY = 20;
    Layers.SetImageTransform(&t);
    auto* layer = AddAt(0, 0, 100, 50);
    EXPECT_EQ(layer->ControlArea(), (TFloatRect{0, 0, 100, 50})); // not relative yet
    layer->SetBitmapRelative(true);
    EXPECT_EQ(layer->ControlArea(), (TFloatRect{10, 20, 210, 120}));
    EXPECT_TRUE(layer->HitTest(10, 20));
    EXPECT_FALSE(layer->HitTest(210, 60));
    EXPECT_EQ(layer->Area(), (TFloatRect{0, 0, 100, 50}));

    t.ZoomX = 98304; // 1.5
    layer->SetArea(TFloatRect{1, 0, 3, 1});
    EXPECT_FLOAT_EQ(layer->ControlArea().Left, 11.5f);
    EXPECT_FLOAT_EQ(layer->ControlArea().Right, 14.5f);

    Layers.SetImageTransform(nullptr);
    EXPECT_EQ(layer->ControlArea(), (TFloatRect{1, 0, 3, 1}));
}

TEST_F(LayersTest, BitmapLayerDrawsItsBitmapScaledIntoTheRoundedArea)
{
    TBitmap32 buffer;
    buffer.SetSize(20, 4);
    buffer.Clear(0xFF000000u);
    auto* layer = Layers.Add<TBitmapLayer>();
    layer->Bitmap()->SetSize(2, 1);
    layer->Bitmap()->SetPixelAt(0, 0, 0xFFFF0000u);
    layer->Bitmap()->SetPixelAt(1, 0, 0xFF00FF00u);
    layer->SetArea(TFloatRect{2.5f, 1, 11.5f, 3}); // rounds, ties to even, to (2, 1, 12, 3)
    int painted = 0;
    layer->OnPaint = [&](TObject* S, TBitmap32* B) {
        EXPECT_EQ(S, layer);
        EXPECT_EQ(B, &buffer);
        ++painted;
    };
    layer->Render(&buffer);
    EXPECT_EQ(painted, 1);
    EXPECT_EQ(buffer.PixelAt(1, 1), 0xFF000000u);
    EXPECT_EQ(buffer.PixelAt(2, 1), 0xFFFF0000u);
    EXPECT_EQ(buffer.PixelAt(6, 2), 0xFFFF0000u);
    EXPECT_EQ(buffer.PixelAt(7, 2), 0xFF00FF00u);
    EXPECT_EQ(buffer.PixelAt(11, 1), 0xFF00FF00u);
    EXPECT_EQ(buffer.PixelAt(12, 1), 0xFF000000u);
    EXPECT_EQ(buffer.PixelAt(5, 0), 0xFF000000u);
    EXPECT_EQ(buffer.PixelAt(5, 3), 0xFF000000u);

    // The buffer's clip rectangle limits the drawing.
    buffer.Clear(0xFF000000u);
    buffer.SetClipRect(TRect{0, 0, 5, 4});
    layer->Render(&buffer);
    EXPECT_EQ(buffer.PixelAt(4, 1), 0xFFFF0000u);
    EXPECT_EQ(buffer.PixelAt(5, 1), 0xFF000000u);
}

TEST_F(LayersTest, BlendedBitmapLayerMixesWithTheBuffer)
{
    TBitmap32 buffer;
    buffer.SetSize(4, 4);
    buffer.Clear(0xFF0000FFu);
    auto* layer = Layers.Add<TBitmapLayer>();
    layer->Bitmap()->SetSize(1, 1);
    layer->Bitmap()->Clear(0x80FFFFFFu);
    layer->Bitmap()->SetDrawMode(dmBlend);
    layer->SetArea(TFloatRect{0, 0, 2, 2});
    layer->Render(&buffer);
    const TColor32 p = buffer.PixelAt(1, 1);
    EXPECT_NEAR(int((p >> 16) & 0xFF), 128, 1);
    EXPECT_NEAR(int((p >> 8) & 0xFF), 128, 1);
    EXPECT_EQ(p & 0xFF, 0xFFu);
    EXPECT_EQ(buffer.PixelAt(2, 2), 0xFF0000FFu);
}

TEST_F(LayersTest, EmptyLayerBitmapDrawsNothing)
{
    TBitmap32 buffer;
    buffer.SetSize(3, 3);
    buffer.Clear(0xFF123456u);
    auto* layer = Layers.Add<TBitmapLayer>();
    EXPECT_NO_THROW(layer->Render(&buffer));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(buffer.PixelAt(x, y), 0xFF123456u);
}

TEST_F(LayersTest, BitmapChangesNotifyTheCollection)
{
    auto* layer = Layers.Add<TBitmapLayer>();
    TEventLog log(Layers);
    layer->Bitmap()->SetSize(5, 5);
    layer->Bitmap()->NotifyChange();
    Strings e = log.Take();
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e.back(), "change");
    TBitmap32 source;
    source.SetSize(2, 3);
    layer->SetBitmap(&source);
    EXPECT_EQ(layer->Bitmap()->Width(), 2);
    EXPECT_EQ(layer->Bitmap()->Height(), 3);
    EXPECT_NE(layer->Bitmap(), &source);
}

TEST_F(LayersTest, AssigningLayersFailsAfterTheFirstNewLayer)
{
    TLayerCollection source(nullptr);
    source.Add<TBitmapLayer>();
    source.Add<TPositionedLayer>();
    Layers.Add<TCustomLayer>();
    Layers.Add<TCustomLayer>();
    TEventLog log(Layers);
    try {
        Layers.Assign(&source);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TBitmapLayer to a TBitmapLayer");
    }
    ASSERT_EQ(Layers.Count(), 1);
    EXPECT_STREQ(Layers.Items(0)->ClassName(), "TBitmapLayer");
    EXPECT_EQ(Layers.UpdateCount(), 0);
    Strings e = log.Take();
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e.front(), "changing");
    EXPECT_EQ(e.back(), "change");

    TLayerCollection empty(nullptr);
    Layers.Assign(&empty); // nothing to copy: just cleared
    EXPECT_EQ(Layers.Count(), 0);
    EXPECT_THROW(Layers.Assign(nullptr), EConvertError);
}

TEST_F(LayersTest, AssigningACollectionToItselfKeepsItsLayers)
{
    Layers.Add<TBitmapLayer>();
    Layers.Assign(&Layers);
    EXPECT_EQ(Layers.Count(), 1);
}

TEST_F(LayersTest, DestroyRaisesOnDestroyFirstAndLeavesTheCollection)
{
    auto* layer = Layers.Add<TBitmapLayer>();
    Layers.Add<TCustomLayer>();
    bool seen = false;
    layer->OnDestroy = [&](TObject* S) {
        seen = true;
        auto* l = static_cast<TBitmapLayer*>(S);
        EXPECT_NE(l->Bitmap(), nullptr); // nothing torn down yet
        EXPECT_EQ(l->Collection(), &Layers);
        EXPECT_EQ(Layers.Count(), 2);
    };
    TEventLog log(Layers);
    TCustomLayer::Free(layer);
    EXPECT_TRUE(seen);
    EXPECT_EQ(Layers.Count(), 1);
    EXPECT_EQ(log.Take(), (Strings{"changing", "change"}));
}

TEST_F(LayersTest, FailingOnDestroyStillFreesTheLayer)
{
    auto* layer = Layers.Add<TCustomLayer>();
    layer->OnDestroy = [](TObject*) { throw Exception("boom"); };
    EXPECT_THROW(TCustomLayer::Free(layer), Exception);
    EXPECT_EQ(Layers.Count(), 0);
}

TEST_F(LayersTest, ClearFreesFromTheTopAndDestroyingRaisesNothing)
{
    Strings order;
    for (const char* name : {"a", "b", "c"})
        Layers.Add<TCustomLayer>()->OnDestroy = [&order, name](TObject*) { order.push_back(name); };
    TEventLog log(Layers);
    Layers.Clear();
    EXPECT_EQ(order, (Strings{"c", "b", "a"}));
    EXPECT_EQ(log.Take(), (Strings{"changing", "change"}));

    Strings events;
    int destroyed = 0;
    {
        TLayerCollection doomed(nullptr);
        doomed.Add<TBitmapLayer>()->OnDestroy = [&](TObject*) { ++destroyed; };
        doomed.OnChanging = [&](TObject*) { events.push_back("changing"); };
        doomed.OnChange = [&](TObject*) { events.push_back("change"); };
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(events.empty());
}

} // namespace
