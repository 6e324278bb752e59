#include <new>
#include <string>

#include "fixture.h"
#include "message_of.h"
#include "toolkit/formloader.h"
#include "toolkit/resources.h"
#include "toolkit/stdctrls.h"

namespace {

// Stands for the module's own widgets, registered from outside the toolkit.
using TRangeEvent = std::function<void(TObject* Sender, int Position)>;
class TTestBar : public TCustomControl {
public:
    VP_CLASS_NAME(TTestBar)
    using TCustomControl::TCustomControl;
    int Min = 0, Max = 100, Position = 0;
    double Scale = 1.0;
    TNotifyEvent OnUserChange;
    TRangeEvent OnRange;
    // What the bar saw when loading finished.
    int LoadedCount = 0, PositionWhenLoaded = -1;
    bool EventWiredWhenLoaded = false;
    void Loaded() override
    {
        ++LoadedCount;
        PositionWhenLoaded = Position;
        EventWiredWhenLoaded = static_cast<bool>(OnUserChange);
    }
};

void RegisterTestBar()
{
    RegisterControlKind("TTestBar", "TCustomControl", [](TComponent* o) { return new TTestBar(o); })
        .Property<TTestBar>("Range", [](TTestBar& b, const TFormProperty& p) {
            std::vector<int> r = p.AsInts(2);
            b.Min = r[0];
            b.Max = r[1];
        })
        .Property<TTestBar>("Position", [](TTestBar& b, const TFormProperty& p) { b.Position = p.AsInt(); })
        .Property<TTestBar>("Bitmap.Scale", [](TTestBar& b, const TFormProperty& p) { b.Scale = p.AsFloat(); })
        .Event<TTestBar>("OnUserChange", &TTestBar::OnUserChange)
        .Event<TTestBar>("OnRange", &TTestBar::OnRange);
}

const char* const SampleDescription = R"(# a small dialog
form SampleForm: TSampleForm
  Caption = "Sample \"dialog\""
  BorderStyle = bsDialog
  ClientWidth = 200
  ClientHeight = 120
  Color = clAppWorkSpace
  Font.Name = "Tahoma"
  Font.Height = -11
  OnCreate = FormCreate
  OnPaint = FormPaint
  control Panel1: TPanel
    Bounds = 0, 0, 100, 120
    BevelOuter = bvNone
    Align = alLeft
    control Label1: TLabel
      Left = 8
      Top = 4
      Caption = "Scale:"
    end
    control cmbMode: TComboBox
      Bounds = 8, 20, 80, 21
      Items = "Scale", "Resize",
              "Stretch"
      ItemIndex = 1
      OnChange = cmbModeChange
    end
    control chkMask: TCheckBox
      Bounds = 8, 50, 80, 17
      Caption = "Display mask"
      Checked = true
      OnClick = chkMaskClick
    end
    control Button4: TButton
      Bounds = 8, 80, 80, 20
      Caption = "Apply"
      Cancel = true
      OnClick = Button4Click
    end
  end
  control bar: TTestBar
    Bounds = 110, 10, 80, 12
    Range = 10, 400
    Position = 0x64
    Bitmap.Scale = 1.5
    Color = $FFFFFF
    OnUserChange = barChange
    OnMouseUp = barMouseUp
  end
end
)";

class TSampleForm : public TForm {
public:
    explicit TSampleForm(TComponent* Owner) : TForm(Owner)
    {
        RegisterTestBar();
        RegisterHandler("FormCreate", [this](TObject*) { Log += "create;"; });
        RegisterHandler("FormPaint", [this](TObject*) { SetModalResult(mrOk); });
        RegisterHandler("cmbModeChange", [this](TObject*) { Log += "mode " + std::to_string(cmbMode->ItemIndex()) + ";"; });
        RegisterHandler("chkMaskClick", [this](TObject*) { Log += "mask;"; });
        RegisterHandler("Button4Click", [this](TObject* s) { Log += s == Button4 ? "apply;" : "?;"; });
        RegisterHandler("barChange", [this](TObject*) { Log += "bar;"; });
        RegisterHandler("barMouseUp", [this](TObject*, TMouseButton, TShiftState, int X, int) { Log += "up " + std::to_string(X) + ";"; });
        RegisterField("cmbMode", cmbMode);
        RegisterField("chkMask", chkMask);
        RegisterField("Button4", Button4);
        RegisterField("bar", bar);
        LoadFromResource("TSAMPLEFORM");
    }
    TComboBox* cmbMode = nullptr;
    TCheckBox* chkMask = nullptr;
    TButton* Button4 = nullptr;
    TTestBar* bar = nullptr;
    std::string Log;
};

class FormLoaderTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        RegisterCompiledResource("TSampleForm", SampleDescription);
    }
    // Loads Text into a plain form with a few handlers; returns the error message.
    std::string LoadError(const std::string& Text)
    {
        TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
        f->RegisterHandler("Click", [](TObject*) {});
        f->RegisterHandler("Down", [](TObject*, TMouseButton, TShiftState, int, int) {});
        try {
            f->LoadFromDescription(Text);
        } catch (const EFormDescriptionError& e) {
            return e.what();
        }
        return "no error";
    }
};

TEST_F(FormLoaderTest, BuildsControlsWithPropertiesAndParents)
{
    TComponentPtr<TForm> owner(CreateFormOf<TForm>(nullptr));
    TForm* raw = CreateFormOf<TSampleForm>(owner.get());
    auto* f = static_cast<TSampleForm*>(raw);
    EXPECT_EQ(f->Name(), "SampleForm");
    EXPECT_EQ(f->Caption(), "Sample \"dialog\"");
    EXPECT_EQ(f->BorderStyle(), bsDialog);
    EXPECT_EQ(f->ClientWidth(), 200); // after the frame of the dialog border
    EXPECT_EQ(f->ClientHeight(), 120);
    EXPECT_GT(f->Height(), 120);
    EXPECT_EQ(f->Color(), clAppWorkSpace);
    auto* panel = dynamic_cast<TPanel*>(f->FindComponent("Panel1"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Parent(), f);
    EXPECT_EQ(panel->BevelOuter(), bvNone);
    EXPECT_EQ(panel->Height(), 120); // aligned left over the whole client height
    EXPECT_EQ(f->cmbMode->Parent(), panel);
    EXPECT_EQ(f->cmbMode->Items(), (std::vector<std::string>{"Scale", "Resize", "Stretch"}));
    EXPECT_EQ(f->cmbMode->ItemIndex(), 1);
    EXPECT_TRUE(f->chkMask->Checked());
    EXPECT_TRUE(f->Button4->Cancel());
    auto* label = dynamic_cast<TLabel*>(f->FindComponent("Label1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Font().Name(), "Tahoma"); // inherited from the form
    EXPECT_EQ(label->BoundsRect(), (TRect{8, 4, 8 + 36, 4 + 13}));
    EXPECT_EQ(f->bar->Min, 10);
    EXPECT_EQ(f->bar->Max, 400);
    EXPECT_EQ(f->bar->Position, 100);
    EXPECT_DOUBLE_EQ(f->bar->Scale, 1.5);
    EXPECT_EQ(f->bar->Color(), 0xFFFFFF);
    // Loading set Checked and ItemIndex, but handlers are wired afterwards; only the
    // creation handler ran, after construction.
    EXPECT_EQ(f->Log, "create;");
}

TEST_F(FormLoaderTest, WiredHandlersRunFromTheScript)
{
    TComponentPtr<TForm> form(CreateFormOf<TSampleForm>(nullptr));
    auto* f = static_cast<TSampleForm*>(form.get());
    f->bar->OnPaint = nullptr;
    headless::PostSelect(f->cmbMode, 2);
    headless::PostClick(f->chkMask, 2, 2);
    headless::PostKeyDown(nullptr, VK_KEY_ESCAPE); // the cancel button
    headless::PostClick(f->bar, 7, 3);
    headless::PostCall([f] { f->bar->OnUserChange(f->bar); });
    EXPECT_EQ(f->ShowModal(), mrOk); // FormPaint ends it once the script is done
    EXPECT_EQ(f->Log, "create;mode 2;mask;apply;up 7;bar;");
    EXPECT_FALSE(f->chkMask->Checked());
}

TEST_F(FormLoaderTest, MissingResourceIsReported)
{
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    EXPECT_THROW(f->LoadFromResource("TNOSUCHFORM"), EResNotFound);
    std::string text;
    EXPECT_TRUE(FindCompiledResource("tsampleform", text)); // names ignore case
}

TEST_F(FormLoaderTest, UnknownKindPropertyAndHandlerAreNamed)
{
    EXPECT_EQ(LoadError("form F: TForm\n  control X: TNoSuchThing\n  end\nend\n"),
              "Line 2: unknown control kind TNoSuchThing (X)");
    EXPECT_EQ(LoadError("form F: TForm\n  control P: TPanel\n    Wobble = 3\n  end\nend\n"),
              "Line 3: unknown property Wobble (property Wobble of P: TPanel)");
    EXPECT_EQ(LoadError("form F: TForm\n  control B: TButton\n    OnClick = Button9Click\n  end\nend\n"),
              "Line 3: unknown handler Button9Click (property OnClick of B: TButton)");
    EXPECT_EQ(LoadError("form F: TForm\n  control B: TButton\n    OnChange = Click\n  end\nend\n"),
              "Line 3: unknown event OnChange (property OnChange of B: TButton)");
    EXPECT_EQ(LoadError("form F: TForm\n  control B: TButton\n    OnClick = Down\n  end\nend\n"),
              "Line 3: handler Down does not fit event OnClick (property OnClick of B: TButton)");
    EXPECT_EQ(LoadError("form F: TForm\n  control B: TButton\n    OnMouseDown = Down\n  end\nend\n"), "no error");
    // Abstract kinds lend properties but cannot be created.
    EXPECT_EQ(LoadError("form F: TForm\n  control C: TWinControl\n  end\nend\n"),
              "Line 2: control kind TWinControl cannot be created (C)");
}

TEST_F(FormLoaderTest, BadValuesAreNamed)
{
    EXPECT_EQ(LoadError("form F: TForm\n  Left = \"ten\"\nend\n"),
              "Line 2: expected an integer (property Left of F: TForm)");
    EXPECT_EQ(LoadError("form F: TForm\n  Visible = maybe\nend\n"),
              "Line 2: expected true or false, not maybe (property Visible of F: TForm)");
    EXPECT_EQ(LoadError("form F: TForm\n  Align = alMiddle\nend\n"),
              "Line 2: unknown value alMiddle (property Align of F: TForm)");
    EXPECT_EQ(LoadError("form F: TForm\n  Bounds = 1, 2, 3\nend\n"),
              "Line 2: expected 4 integers (property Bounds of F: TForm)");
    EXPECT_EQ(LoadError("form F: TForm\n  Color = clPurple\nend\n"),
              "Line 2: unknown colour clPurple (property Color of F: TForm)");
    EXPECT_EQ(LoadError("form F: TForm\n  control C: TComboBox\n    Items = \"a\"\n    ItemIndex = 1\n  end\nend\n"),
              "Line 4: item index 1 outside the items (property ItemIndex of C: TComboBox)");
}

// Positions and sizes keep to window coordinates; the frame added to a client width of
// INT_MAX overflowed before.
TEST_F(FormLoaderTest, CoordinatesBeyondSixteenBitsAreNamed)
{
    EXPECT_EQ(LoadError("form F: TForm\n  ClientWidth = 2147483647\nend\n"),
              "Line 2: coordinate out of range (-32768 to 32767) (property ClientWidth of F: TForm)");
    EXPECT_EQ(LoadError("form F: TForm\n  control P: TPanel\n    Bounds = 0, -32769, 5, 5\n  end\nend\n"),
              "Line 3: coordinate out of range (-32768 to 32767) (property Bounds of P: TPanel)");
    EXPECT_EQ(LoadError("form F: TForm\n  Left = 32768\nend\n"),
              "Line 2: coordinate out of range (-32768 to 32767) (property Left of F: TForm)");
    EXPECT_EQ(LoadError("form F: TForm\n  Width = \"wide\"\nend\n"),
              "Line 2: expected an integer (property Width of F: TForm)");
    EXPECT_EQ(LoadError("form F: TForm\n  Left = -32768\n  Top = 32767\n  BorderWidth = 0\nend\n"), "no error");
}

TEST_F(FormLoaderTest, SyntaxErrorsGiveTheLine)
{
    EXPECT_EQ(LoadError("\n\ncontrol X: TPanel\nend\n"), "Line 3: expected 'form'");
    EXPECT_EQ(LoadError("form F: TForm\n  Caption = \"open\nend\n"), "Line 2: unterminated string");
    EXPECT_EQ(LoadError("form F: TForm\n  control P: TPanel\n"), "Line 3: missing 'end' for P");
    EXPECT_EQ(LoadError("form F TForm\nend\n"), "Line 1: expected ':' and a kind after F");
    EXPECT_EQ(LoadError("form F: TForm\n  Caption \"x\"\nend\n"), "Line 2: expected '=' after Caption");
    EXPECT_EQ(LoadError("form F: TForm\n  Left = 1 2\nend\n"), "Line 2: expected the end of the line");
    EXPECT_EQ(LoadError("form F: TForm\nend\nend\n"), "Line 3: text after the form's 'end'");
    EXPECT_EQ(LoadError("form F: TForm\n  Left = 99999999999\nend\n"), "Line 2: number out of range '99999999999'");
    EXPECT_EQ(LoadError("form F: TForm\n  Left = @\nend\n"), "Line 2: unexpected character '@'");
    EXPECT_EQ(LoadError("form F: TForm\n  control A: TPanel\n  end\n  control A: TLabel\n  end\nend\n"),
              "Line 4: duplicate component name A");
    EXPECT_EQ(LoadError("form F: TForm\n  control L: TLabel\n    control B: TButton\n    end\n  end\nend\n"), "no error");
}

TEST_F(FormLoaderTest, ColourWordsKeepTheirBits)
{
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    f->LoadFromDescription("form F: TForm\n  Tag = 0xFF000000\n  Color = -16777216\nend\n");
    EXPECT_EQ(static_cast<std::uint32_t>(f->Tag), 0xFF000000u);
    EXPECT_EQ(f->Color(), static_cast<TColor>(0xFF000000u));
}

TEST_F(FormLoaderTest, FieldsMustExistWithTheirClass)
{
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    TButton* button = nullptr;
    f->RegisterField("Thing", button);
    try {
        f->LoadFromDescription("form F: TForm\n  control Thing: TPanel\n  end\nend\n");
        FAIL();
    } catch (const EFormDescriptionError& e) {
        EXPECT_STREQ(e.what(), "Field Thing of TForm does not fit the TPanel of the form description");
    }
    TComponentPtr<TForm> g(CreateFormOf<TForm>(nullptr));
    TPanel* panel = nullptr;
    g->RegisterField("Missing", panel);
    EXPECT_THROW(g->LoadFromDescription("form F: TForm\nend\n"), EFormDescriptionError);
}

TEST_F(FormLoaderTest, ExternalKindsExtendTheirBase)
{
    RegisterTestBar();
    const TControlKind* k = FindControlKind("ttestbar");
    ASSERT_NE(k, nullptr);
    EXPECT_NE(k->FindProperty("Range"), nullptr);
    EXPECT_NE(k->FindProperty("Align"), nullptr); // from TControl
    EXPECT_NE(k->FindEvent("OnPaint"), nullptr);  // from TCustomControl
    EXPECT_EQ(k->FindProperty("Items"), nullptr); // a combo box's
    EXPECT_THROW(RegisterControlKind("TOrphan", "TNoBase", nullptr), EFormDescriptionError);
    // A handler of the widget's own event type goes through RegisterHandlerOf.
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    int seen = -1;
    f->RegisterHandlerOf<TRangeEvent>("Ranged", [&](TObject*, int p) { seen = p; });
    f->LoadFromDescription("form F: TForm\n  control b: TTestBar\n    OnRange = Ranged\n  end\nend\n");
    auto* bar = dynamic_cast<TTestBar*>(f->FindComponent("b"));
    ASSERT_NE(bar, nullptr);
    bar->OnRange(bar, 5);
    EXPECT_EQ(seen, 5);
}

TEST_F(FormLoaderTest, EveryLoadedControlIsToldOnceAfterPropertiesAndEvents)
{
    RegisterTestBar();
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    f->RegisterHandler("Changed", TNotifyEvent([](TObject*) {}));
    // A control made in code before loading is not the loader's to finish.
    auto* early = new TTestBar(f.get());
    f->LoadFromDescription("form F: TForm\n"
                           "  control a: TTestBar\n    Position = 7\n    OnUserChange = Changed\n  end\n"
                           "  control p: TPanel\n"
                           "    control b: TTestBar\n      Position = 9\n    end\n"
                           "  end\n"
                           "end\n");
    auto* a = dynamic_cast<TTestBar*>(f->FindComponent("a"));
    auto* b = dynamic_cast<TTestBar*>(f->FindComponent("b"));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->LoadedCount, 1);
    EXPECT_EQ(a->PositionWhenLoaded, 7);
    EXPECT_TRUE(a->EventWiredWhenLoaded);
    EXPECT_EQ(b->LoadedCount, 1) << "nested controls too";
    EXPECT_EQ(b->PositionWhenLoaded, 9);
    EXPECT_EQ(early->LoadedCount, 0);
}

// What a control's own setter refuses is reported like any other bad value; running out of
// memory or system resources, the toolkit's own exceptions included, is not turned into a
// description error.
TEST_F(FormLoaderTest, ValuesAControlRefusesAreNamedWithTheirLine)
{
    RegisterControlKind("TFragileBar", "TCustomControl", [](TComponent* o) { return new TTestBar(o); })
        .Property<TTestBar>("Size",
                            [](TTestBar&, const TFormProperty& p) {
                                if (p.AsInt() > 100)
                                    throw EConvertError("Size too large");
                            })
        .Property<TTestBar>("Memory", [](TTestBar&, const TFormProperty&) { throw std::bad_alloc(); })
        .Property<TTestBar>("Storage",
                            [](TTestBar&, const TFormProperty&) { throw EOutOfResources("Can't allocate the DIB handle"); })
        .Property<TTestBar>("Map", [](TTestBar&, const TFormProperty&) { throw EOutOfMemory("Can't allocate a byte map"); });
    EXPECT_EQ(LoadError("form F: TForm\n  control x: TFragileBar\n    Size = 50\n    Size = 101\n  end\nend\n"),
              "Line 4: Size too large (property Size of x: TFragileBar)");
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    EXPECT_THROW(f->LoadFromDescription("form F: TForm\n  control x: TFragileBar\n    Memory = 1\n  end\nend\n"),
                 std::bad_alloc);
    TComponentPtr<TForm> g(CreateFormOf<TForm>(nullptr));
    EXPECT_EQ(MessageOf<EOutOfResources>([&] {
                  g->LoadFromDescription("form F: TForm\n  control x: TFragileBar\n    Storage = 1\n  end\nend\n");
              }),
              "Can't allocate the DIB handle");
    TComponentPtr<TForm> h(CreateFormOf<TForm>(nullptr));
    EXPECT_EQ(MessageOf<EOutOfMemory>([&] {
                  h->LoadFromDescription("form F: TForm\n  control x: TFragileBar\n    Map = 1\n  end\nend\n");
              }),
              "Can't allocate a byte map");
}

TEST_F(FormLoaderTest, PublishedNamesAreAllAStoredFormMayGive)
{
    RegisterTestBar();
    RegisterControlKind("TPublishingBar", "TTestBar", [](TComponent* o) { return new TTestBar(o); })
        .Publish({"Position", "Bitmap", "Color", "OnUserChange"});
    const TControlKind* k = FindControlKind("TPublishingBar");
    ASSERT_NE(k, nullptr);
    EXPECT_NE(k->FindProperty("position"), nullptr);
    EXPECT_NE(k->FindProperty("Bitmap.Scale"), nullptr) << "a published group takes its parts";
    EXPECT_NE(k->FindProperty("Color"), nullptr) << "a base's setter, published here";
    EXPECT_NE(k->FindProperty("Bounds"), nullptr) << "the place always is";
    EXPECT_NE(k->FindEvent("OnUserChange"), nullptr);
    EXPECT_EQ(k->FindProperty("Range"), nullptr) << "registered but not published";
    EXPECT_EQ(k->FindProperty("Align"), nullptr);
    EXPECT_EQ(k->FindEvent("OnPaint"), nullptr);
    EXPECT_NE(FindControlKind("TTestBar")->FindProperty("Range"), nullptr) << "the base keeps its own";
    EXPECT_NE(LoadError("form F: TForm\n  control b: TPublishingBar\n    Range = 1, 2\n  end\nend\n")
                  .find("unknown property Range"),
              std::string::npos);
}

TEST_F(FormLoaderTest, AnchorsConstraintsAndTheNewEventsAreStored)
{
    TComponentPtr<TForm> f(CreateFormOf<TForm>(nullptr));
    int doubles = 0, resizes = 0;
    f->RegisterHandler("Twice", [&](TObject*) { ++doubles; });
    f->RegisterHandlerOf<TCanResizeEvent>("MayResize", [&](TObject*, int&, int&, bool&) { ++resizes; });
    f->RegisterHandlerOf<TMouseWheelUpDownEvent>("WheelDown", [](TObject*, TShiftState, TPoint, bool&) {});
    f->LoadFromDescription("form F: TForm\n  ClientWidth = 300\n  ClientHeight = 200\n"
                           "  control p: TPanel\n    Bounds = 10, 10, 100, 50\n"
                           "    Anchors = akLeft, akTop, akRight\n"
                           "    Constraints.MinWidth = 60\n    Constraints.MaxWidth = 250\n"
                           "    OnDblClick = Twice\n    OnCanResize = MayResize\n    OnMouseWheelDown = WheelDown\n"
                           "  end\nend\n");
    auto* p = dynamic_cast<TPanel*>(f->FindComponent("p"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Anchors(), akLeft | akTop | akRight);
    EXPECT_EQ(p->Constraints(), (TSizeConstraints{60, 0, 250, 0}));
    ASSERT_TRUE(p->OnDblClick);
    ASSERT_TRUE(p->OnCanResize);
    EXPECT_TRUE(p->OnMouseWheelDown);
    p->OnDblClick(p);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(LoadError("form F: TForm\n  Anchors = akLeft, akSide\nend\n").find("akSide") != std::string::npos, true);
}

} // namespace

