#include <stdexcept>

#include "fixture.h"
#include "toolkit/forms.h"

namespace {

// Counts its destruction so ownership can be observed.
class TProbe : public TComponent {
public:
    TProbe(TComponent* Owner, int& Deaths) : TComponent(Owner), FDeaths(Deaths) {}
    ~TProbe() override { ++FDeaths; }

private:
    int& FDeaths;
};

// A form whose creation handler is wired in the constructor, as loaded forms are.
class TCreatingForm : public TForm {
public:
    explicit TCreatingForm(TComponent* Owner) : TForm(Owner)
    {
        OnCreate = [this](TObject*) {
            Created = true;
            Marker = new TProbe(this, Deaths);
            if (Fail)
                throw EConvertError("Cannot assign a TFoo to a TBar");
            AfterThrow = true;
        };
        OnDestroy = [this](TObject*) { DestroyedWithMarker = Marker != nullptr && ComponentCount() > 0; };
    }
    static inline bool Fail = false;
    bool Created = false;
    bool AfterThrow = false;
    static inline bool DestroyedWithMarker = false;
    static inline int Deaths = 0;
    TProbe* Marker = nullptr;
};

using FormsTest = HeadlessTest;

TEST_F(FormsTest, OwnerFreesOwnedComponentsAndChildLeavesOwner)
{
    int deaths = 0;
    auto* owner = new TComponent(nullptr);
    auto* a = new TProbe(owner, deaths);
    new TProbe(owner, deaths);
    a->SetName("First");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("first"), a);
    TComponent::Free(a); // leaves the owner's list on its own
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(owner->FindComponent("First"), nullptr);
    TComponent::Free(owner);
    EXPECT_EQ(deaths, 2);
    EXPECT_THROW(TComponent(nullptr).Components(0), EListError);
}

TEST_F(FormsTest, ModalLoopRunsScriptUntilModalResultSet)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    int calls = 0;
    headless::PostCall([&] { ++calls; });
    headless::PostCall([&] { ++calls; form->SetModalResult(mrOk); });
    headless::PostCall([&] { ++calls; }); // after the result: stays queued
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(headless::PendingEvents(), 1u);
    EXPECT_FALSE(form->Visible());
    headless::Reset();
}

TEST_F(FormsTest, EmptyScriptPaintsFirstThenEndsAsCancel)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    int paints = 0;
    form->OnPaint = [&](TObject*) { ++paints; };
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_EQ(paints, 1);
}

TEST_F(FormsTest, FirstPaintMaySetTheResult)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->OnPaint = [&](TObject*) { form->SetModalResult(mrOk); };
    headless::PostCall([] {}); // queued events come before the idle paint
    EXPECT_EQ(form->ShowModal(), mrOk);
}

TEST_F(FormsTest, ShowModalResetsAStaleResult)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetModalResult(mrOk);
    headless::PostCall([&] { form->SetModalResult(mrAbort); });
    EXPECT_EQ(form->ShowModal(), mrAbort);
}

TEST_F(FormsTest, CloseThroughWindowSystemCancels)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->OnPaint = [&](TObject*) { form->SetModalResult(mrOk); };
    headless::PostClose(form.get());
    EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(FormsTest, CreationHandlerExceptionIsShownAndCreationGoesOn)
{
    TCreatingForm::Fail = true;
    TCreatingForm::Deaths = 0;
    Application->SetTitle("Vesper Filters");
    TForm* raw = CreateFormOf<TCreatingForm>(nullptr);
    auto* form = static_cast<TCreatingForm*>(raw);
    EXPECT_TRUE(form->Created);
    EXPECT_FALSE(form->AfterThrow);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, "Cannot assign a TFoo to a TBar");
    EXPECT_EQ(headless::MessageBoxes()[0].Caption, "Vesper Filters");
    EXPECT_EQ(headless::MessageBoxes()[0].Flags, MsgBoxOk | MsgBoxIconError);
    // The form is usable after the failed handler.
    form->OnPaint = [&](TObject*) { form->SetModalResult(mrOk); };
    EXPECT_EQ(form->ShowModal(), mrOk);
    TComponent::Free(form);
    EXPECT_TRUE(TCreatingForm::DestroyedWithMarker); // destroy handler ran before the components went
    EXPECT_EQ(TCreatingForm::Deaths, 1);
    TCreatingForm::Fail = false;
}

TEST_F(FormsTest, CreationHandlerWithoutErrorShowsNothing)
{
    TCreatingForm::Fail = false;
    TComponentPtr<TForm> form(CreateFormOf<TCreatingForm>(nullptr));
    EXPECT_TRUE(static_cast<TCreatingForm*>(form.get())->AfterThrow);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(FormsTest, HandlerExceptionInsideLoopIsShownAndLoopContinues)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    std::string seen;
    Application->OnException = [&](const std::exception& e) { seen = e.what(); };
    form->OnPaint = [&](TObject*) { throw std::runtime_error("paint failed"); };
    headless::PostPaint(form.get());
    headless::PostCall([&] { form->SetModalResult(mrOk); });
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(seen, "paint failed");
    EXPECT_TRUE(headless::MessageBoxes().empty()); // OnException replaces the box
}

TEST_F(FormsTest, NonStandardExceptionReportedAsUnknown)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    headless::PostCall([] { throw 42; });
    headless::PostCall([&] { form->SetModalResult(mrOk); });
    form->ShowModal();
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, "Unknown exception");
}

TEST_F(FormsTest, FormClassFactoryCreatesWithOwner)
{
    TFormClass cls = &CreateFormOf<TForm>;
    TComponent owner(nullptr);
    TForm* f = cls(&owner);
    EXPECT_EQ(f->Owner(), &owner);
    EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST_F(FormsTest, ScreenCenterPlacesFormInTheMiddle)
{
    headless::SetScreenSize(1000, 800);
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetBounds(5, 5, 200, 100);
    form->SetPosition(poScreenCenter);
    TPoint at;
    form->OnPaint = [&](TObject*) { at = TPoint{form->Left(), form->Top()}; };
    form->ShowModal();
    EXPECT_EQ(at, (TPoint{400, 350}));
}

} // namespace

namespace {

using FormFrameTest = HeadlessTest;

TEST_F(FormFrameTest, ClientSizeAllowsForTheFrame)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetBorderStyle(bsDialog);
    form->SetClientWidth(391); // before any window exists
    form->SetClientHeight(143);
    EXPECT_EQ(form->ClientWidth(), 391);
    EXPECT_EQ(form->ClientHeight(), 143);
    EXPECT_EQ(form->Width(), 391 + 2 * 3);
    EXPECT_EQ(form->Height(), 143 + 2 * 3 + 18);
}

TEST_F(FormFrameTest, StyleChangeRealignsClientChildren)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetBorderStyle(bsSingle);
    form->SetBounds(0, 0, 200, 100);
    auto* panel = new TWinControl(form.get());
    panel->SetParent(form.get());
    panel->SetAlign(alClient);
    EXPECT_EQ(panel->Height(), 100); // no window yet, so no frame yet
    form->HandleNeeded();
    int captionHeight = form->Height() - form->ClientHeight();
    EXPECT_GT(captionHeight, 18);
    EXPECT_EQ(panel->Height(), form->ClientHeight());
    form->SetWindowStyle(form->WindowStyle() & ~WS_STYLE_CAPTION);
    // The caption's two bits were the single border's whole frame.
    EXPECT_EQ(form->Height() - form->ClientHeight(), 0);
    EXPECT_EQ(panel->Height(), form->ClientHeight()); // followed the larger client area
}

TEST_F(FormFrameTest, AutoSizedFormWrapsChildrenWithFrameAndBorder)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    form->SetBorderStyle(bsNone);
    form->SetBorderWidth(5);
    auto* a = new TWinControl(form.get());
    a->SetParent(form.get());
    a->SetBounds(10, 20, 30, 40);
    form->SetAutoSize(true);
    EXPECT_EQ(form->Width(), 10 + 30 + 2 * 5);
    EXPECT_EQ(form->Height(), 20 + 40 + 2 * 5);
    a->SetWidth(50); // the form follows its child
    EXPECT_EQ(form->Width(), 10 + 50 + 2 * 5);
    form->SetBorderStyle(bsDialog); // the frame joins once the window exists
    form->HandleNeeded();
    form->SetBorderStyle(bsSingle);
    form->SetBorderStyle(bsDialog);
    EXPECT_EQ(form->Width(), 10 + 50 + 2 * 5 + 2 * 3);
}

TEST_F(FormFrameTest, CaptureWrappersAndNestedModalForms)
{
    TComponentPtr<TForm> outer(CreateFormOf<TForm>(nullptr));
    TComponentPtr<TForm> inner(CreateFormOf<TForm>(nullptr));
    std::vector<std::string> log;
    headless::PostCall([&] {
        log.push_back(headless::ModalForm() == outer.get() ? "outer" : "?");
        headless::PostCall([&] {
            log.push_back(headless::ModalForm() == inner.get() ? "inner" : "?");
            inner->SetCapture();
            log.push_back(inner->HasCapture() ? "captured" : "?");
            inner->SetModalResult(mrYes);
        });
        log.push_back(inner->ShowModal() == mrYes ? "inner done" : "?");
        log.push_back(inner->HasCapture() ? "?" : "released");
        log.push_back(headless::ModalForm() == outer.get() ? "outer again" : "?");
        outer->SetModalResult(mrNo);
    });
    EXPECT_EQ(outer->ShowModal(), mrNo);
    EXPECT_EQ(log, (std::vector<std::string>{"outer", "inner", "captured", "inner done", "released", "outer again"}));
    EXPECT_THROW(TComponent(nullptr).Components(-1), EListError);
}

} // namespace

namespace {

using FocusTest = HeadlessTest;

TEST_F(FocusTest, KeysGoToTheFocusedControlOrTheForm)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    auto* panel = new TWinControl(form.get());
    panel->SetParent(form.get());
    auto* field = new TWinControl(form.get());
    field->SetParent(panel);
    std::string log;
    field->OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) { log += "field " + std::to_string(k) + ";"; };
    form->OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) { log += "form " + std::to_string(k) + ";"; };
    field->SetFocus();
    EXPECT_TRUE(field->Focused());
    headless::PostKeyDown(nullptr, 'A');
    headless::PostCall([&] { field->Hide(); }); // focus can no longer stay there
    headless::PostKeyDown(nullptr, 'B');
    headless::PostCall([&] { form->SetKeyPreview(true); field->Show(); });
    headless::PostKeyDown(nullptr, 'C'); // the form previews, then the field
    headless::PostCall([&] { form->SetModalResult(mrOk); });
    form->ShowModal();
    EXPECT_EQ(log, "field 65;form 66;form 67;field 67;");
}

TEST_F(FocusTest, DestroyedFocusedControlLeavesNoDanglingFocus)
{
    TComponentPtr<TForm> form(CreateFormOf<TForm>(nullptr));
    auto* panel = new TWinControl(form.get());
    panel->SetParent(form.get());
    auto* field = new TWinControl(nullptr); // owned by nobody, parented below the panel
    field->SetParent(panel);
    field->SetFocus();
    panel->SetParent(nullptr); // the field is now off the form, but still its active control
    EXPECT_EQ(form->ActiveControl(), field);
    TComponent::Free(panel); // frees the field with it
    EXPECT_EQ(form->ActiveControl(), nullptr);
    headless::PostKeyDown(nullptr, 'A'); // reaches the form, not freed memory
    headless::PostCall([&] { form->SetModalResult(mrOk); });
    EXPECT_EQ(form->ShowModal(), mrOk);
}

} // namespace
