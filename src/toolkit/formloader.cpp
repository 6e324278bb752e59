#include "toolkit/formloader.h"

#include <algorithm>
#include <new>

#include "toolkit/forms.h"
#include "toolkit/stdctrls.h"

namespace {

std::map<std::string, std::unique_ptr<TControlKind>>& Kinds()
{
    static std::map<std::string, std::unique_ptr<TControlKind>> kinds;
    return kinds;
}

std::string Lower(const std::string& S)
{
    std::string k = S;
    for (char& c : k)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return k;
}

TControlKind& Add(const std::string& Name, const std::string& Base, TControlKind::TCreateProc Create)
{
    const TControlKind* base = nullptr;
    if (!Base.empty()) {
        auto it = Kinds().find(Lower(Base));
        if (it == Kinds().end())
            throw EFormDescriptionError("Unknown base kind " + Base + " for " + Name);
        base = it->second.get();
    }
    auto& slot = Kinds()[Lower(Name)];
    if (slot) {
        slot = std::make_unique<TControlKind>(Name, base ? base : slot->Base(), std::move(Create));
    } else {
        slot = std::make_unique<TControlKind>(Name, base, std::move(Create));
    }
    return *slot;
}

template <class C>
using P = std::function<void(C&, const TFormProperty&)>;

void RegisterStandardKinds()
{
    TControlKind& control = Add("TControl", "", nullptr);
    control.Property<TControl>("Left", [](TControl& c, const TFormProperty& p) { c.SetLeft(p.AsCoordinate()); })
        .Property<TControl>("Top", [](TControl& c, const TFormProperty& p) { c.SetTop(p.AsCoordinate()); })
        .Property<TControl>("Width", [](TControl& c, const TFormProperty& p) { c.SetWidth(p.AsCoordinate()); })
        .Property<TControl>("Height", [](TControl& c, const TFormProperty& p) { c.SetHeight(p.AsCoordinate()); })
        .Property<TControl>("Bounds", [](TControl& c, const TFormProperty& p) {
            std::vector<int> b = p.AsCoordinates(4);
            c.SetBounds(b[0], b[1], b[2], b[3]);
        })
        .Property<TControl>("ClientWidth", [](TControl& c, const TFormProperty& p) { c.SetClientWidth(p.AsCoordinate()); })
        .Property<TControl>("ClientHeight", [](TControl& c, const TFormProperty& p) { c.SetClientHeight(p.AsCoordinate()); })
        .Property<TControl>("Align", [](TControl& c, const TFormProperty& p) {
            c.SetAlign(static_cast<TAlign>(p.AsEnum({{"alNone", alNone}, {"alTop", alTop}, {"alBottom", alBottom},
                                                    {"alLeft", alLeft}, {"alRight", alRight}, {"alClient", alClient},
                                                    {"alCustom", alCustom}})));
        })
        .Property<TControl>("Visible", [](TControl& c, const TFormProperty& p) { c.SetVisible(p.AsBool()); })
        .Property<TControl>("Enabled", [](TControl& c, const TFormProperty& p) { c.SetEnabled(p.AsBool()); })
        .Property<TControl>("Caption", [](TControl& c, const TFormProperty& p) { c.SetCaption(p.AsString()); })
        .Property<TControl>("Color", [](TControl& c, const TFormProperty& p) { c.SetColor(p.AsColor()); })
        .Property<TControl>("ParentColor", [](TControl& c, const TFormProperty& p) { c.SetParentColor(p.AsBool()); })
        .Property<TControl>("ParentFont", [](TControl& c, const TFormProperty& p) { c.SetParentFont(p.AsBool()); })
        .Property<TControl>("Font.Name", [](TControl& c, const TFormProperty& p) { c.Font().SetName(p.AsString()); })
        .Property<TControl>("Font.Height", [](TControl& c, const TFormProperty& p) { c.Font().SetHeight(p.AsCoordinate()); })
        .Property<TControl>("Font.Size", [](TControl& c, const TFormProperty& p) { c.Font().SetSize(p.AsInt()); })
        .Property<TControl>("Font.Color", [](TControl& c, const TFormProperty& p) { c.Font().SetColor(p.AsColor()); })
        .Property<TControl>("Font.Style", [](TControl& c, const TFormProperty& p) {
            c.Font().SetStyle(p.AsSet({{"fsBold", fsBold}, {"fsItalic", fsItalic}, {"fsUnderline", fsUnderline},
                                       {"fsStrikeOut", fsStrikeOut}}));
        })
        .Property<TControl>("Cursor", [](TControl& c, const TFormProperty& p) { c.SetCursor(p.AsInt()); })
        .Property<TControl>("AutoSize", [](TControl& c, const TFormProperty& p) { c.SetAutoSize(p.AsBool()); })
        .Property<TControl>("Tag", [](TControl& c, const TFormProperty& p) { c.Tag = p.AsInt(); })
        .Event<TControl>("OnClick", &TControl::OnClick)
        .Event<TControl>("OnResize", &TControl::OnResize)
        .Event<TControl>("OnMouseDown", &TControl::OnMouseDown)
        .Event<TControl>("OnMouseUp", &TControl::OnMouseUp)
        .Event<TControl>("OnMouseMove", &TControl::OnMouseMove)
        .Event<TControl>("OnMouseEnter", &TControl::OnMouseEnter)
        .Event<TControl>("OnMouseLeave", &TControl::OnMouseLeave)
        .Property<TControl>("Anchors", [](TControl& c, const TFormProperty& p) {
            c.SetAnchors(p.AsSet({{"akLeft", akLeft}, {"akTop", akTop}, {"akRight", akRight}, {"akBottom", akBottom}}));
        })
        .Property<TControl>("Constraints.MinWidth", [](TControl& c, const TFormProperty& p) {
            TSizeConstraints k = c.Constraints();
            k.MinWidth = p.AsCoordinate();
            c.SetConstraints(k);
        })
        .Property<TControl>("Constraints.MinHeight", [](TControl& c, const TFormProperty& p) {
            TSizeConstraints k = c.Constraints();
            k.MinHeight = p.AsCoordinate();
            c.SetConstraints(k);
        })
        .Property<TControl>("Constraints.MaxWidth", [](TControl& c, const TFormProperty& p) {
            TSizeConstraints k = c.Constraints();
            k.MaxWidth = p.AsCoordinate();
            c.SetConstraints(k);
        })
        .Property<TControl>("Constraints.MaxHeight", [](TControl& c, const TFormProperty& p) {
            TSizeConstraints k = c.Constraints();
            k.MaxHeight = p.AsCoordinate();
            c.SetConstraints(k);
        })
        .Event<TControl>("OnMouseWheel", &TControl::OnMouseWheel)
        .Event<TControl>("OnMouseWheelDown", &TControl::OnMouseWheelDown)
        .Event<TControl>("OnMouseWheelUp", &TControl::OnMouseWheelUp)
        .Event<TControl>("OnDblClick", &TControl::OnDblClick)
        .Event<TControl>("OnCanResize", &TControl::OnCanResize);

    Add("TWinControl", "TControl", nullptr)
        .Property<TWinControl>("BorderWidth", [](TWinControl& c, const TFormProperty& p) { c.SetBorderWidth(p.AsCoordinate()); })
        .Property<TWinControl>("TabStop", [](TWinControl& c, const TFormProperty& p) { c.SetTabStop(p.AsBool()); })
        .Property<TWinControl>("TabOrder", [](TWinControl& c, const TFormProperty& p) { c.SetTabOrder(p.AsInt()); })
        .Property<TWinControl>("DoubleBuffered", [](TWinControl& c, const TFormProperty& p) { c.SetDoubleBuffered(p.AsBool()); })
        .Event<TWinControl>("OnKeyDown", &TWinControl::OnKeyDown)
        .Event<TWinControl>("OnKeyUp", &TWinControl::OnKeyUp)
        .Event<TWinControl>("OnKeyPress", &TWinControl::OnKeyPress)
        .Event<TWinControl>("OnEnter", &TWinControl::OnEnter)
        .Event<TWinControl>("OnExit", &TWinControl::OnExit);

    Add("TCustomControl", "TWinControl", nullptr).Event<TCustomControl>("OnPaint", &TCustomControl::OnPaint);

    Add("TForm", "TWinControl", nullptr)
        .Property<TForm>("Position", [](TForm& f, const TFormProperty& p) {
            f.SetPosition(static_cast<TPosition>(p.AsEnum(
                {{"poDesigned", poDesigned}, {"poDefault", poDefault}, {"poDefaultPosOnly", poDefaultPosOnly},
                 {"poDefaultSizeOnly", poDefaultSizeOnly}, {"poScreenCenter", poScreenCenter},
                 {"poDesktopCenter", poDesktopCenter}, {"poMainFormCenter", poMainFormCenter},
                 {"poOwnerFormCenter", poOwnerFormCenter}})));
        })
        .Property<TForm>("BorderStyle", [](TForm& f, const TFormProperty& p) {
            f.SetBorderStyle(static_cast<TFormBorderStyle>(
                p.AsEnum({{"bsNone", bsNone}, {"bsSingle", bsSingle}, {"bsSizeable", bsSizeable},
                          {"bsDialog", bsDialog}, {"bsToolWindow", bsToolWindow}, {"bsSizeToolWin", bsSizeToolWin}})));
        })
        .Property<TForm>("FormStyle", [](TForm& f, const TFormProperty& p) {
            f.SetFormStyle(static_cast<TFormStyle>(
                p.AsEnum({{"fsNormal", fsNormal}, {"fsMDIChild", fsMDIChild}, {"fsMDIForm", fsMDIForm},
                          {"fsStayOnTop", fsStayOnTop}})));
        })
        .Property<TForm>("PixelsPerInch", [](TForm& f, const TFormProperty& p) { f.SetPixelsPerInch(p.AsInt()); })
        .Property<TForm>("KeyPreview", [](TForm& f, const TFormProperty& p) { f.SetKeyPreview(p.AsBool()); })
        .Event<TForm>("OnCreate", &TForm::OnCreate)
        .Event<TForm>("OnDestroy", &TForm::OnDestroy)
        .Event<TForm>("OnPaint", &TForm::OnPaint)
        .Event<TForm>("OnShow", &TForm::OnShow)
        .Event<TForm>("OnHide", &TForm::OnHide);

    auto bevel = [](const TFormProperty& p) {
        return static_cast<TBevelCut>(
            p.AsEnum({{"bvNone", bvNone}, {"bvLowered", bvLowered}, {"bvRaised", bvRaised}, {"bvSpace", bvSpace}}));
    };
    auto alignment = [](const TFormProperty& p) {
        return static_cast<TAlignment>(
            p.AsEnum({{"taLeftJustify", taLeftJustify}, {"taRightJustify", taRightJustify}, {"taCenter", taCenter}}));
    };
    Add("TPanel", "TCustomControl", [](TComponent* o) { return new TPanel(o); })
        .Property<TPanel>("BevelOuter", [bevel](TPanel& c, const TFormProperty& p) { c.SetBevelOuter(bevel(p)); })
        .Property<TPanel>("BevelInner", [bevel](TPanel& c, const TFormProperty& p) { c.SetBevelInner(bevel(p)); })
        .Property<TPanel>("BevelWidth", [](TPanel& c, const TFormProperty& p) { c.SetBevelWidth(p.AsCoordinate()); })
        .Property<TPanel>("Alignment", [alignment](TPanel& c, const TFormProperty& p) { c.SetAlignment(alignment(p)); });
    Add("TLabel", "TWinControl", [](TComponent* o) { return new TLabel(o); })
        .Property<TLabel>("Alignment", [alignment](TLabel& c, const TFormProperty& p) { c.SetAlignment(alignment(p)); })
        .Property<TLabel>("Layout", [](TLabel& c, const TFormProperty& p) {
            c.SetLayout(static_cast<TTextLayout>(p.AsEnum({{"tlTop", tlTop}, {"tlCenter", tlCenter}, {"tlBottom", tlBottom}})));
        })
        .Property<TLabel>("Transparent", [](TLabel& c, const TFormProperty& p) { c.SetTransparent(p.AsBool()); });
    Add("TButton", "TWinControl", [](TComponent* o) { return new TButton(o); })
        .Property<TButton>("Cancel", [](TButton& c, const TFormProperty& p) { c.SetCancel(p.AsBool()); })
        .Property<TButton>("Default", [](TButton& c, const TFormProperty& p) { c.SetDefault(p.AsBool()); })
        .Property<TButton>("ModalResult", [](TButton& c, const TFormProperty& p) {
            if (p.Values.size() == 1 && p.Values[0].Kind == TFormValue::Integer)
                c.SetModalResult(p.AsInt());
            else
                c.SetModalResult(p.AsEnum({{"mrNone", mrNone}, {"mrOk", mrOk}, {"mrCancel", mrCancel},
                                           {"mrAbort", mrAbort}, {"mrRetry", mrRetry}, {"mrIgnore", mrIgnore},
                                           {"mrYes", mrYes}, {"mrNo", mrNo}}));
        });
    Add("TCheckBox", "TWinControl", [](TComponent* o) { return new TCheckBox(o); })
        .Property<TCheckBox>("Checked", [](TCheckBox& c, const TFormProperty& p) { c.SetChecked(p.AsBool()); })
        .Property<TCheckBox>("Alignment", [alignment](TCheckBox& c, const TFormProperty& p) { c.SetAlignment(alignment(p)); });
    Add("TComboBox", "TWinControl", [](TComponent* o) { return new TComboBox(o); })
        .Property<TComboBox>("Items", [](TComboBox& c, const TFormProperty& p) { c.SetItems(p.AsStrings()); })
        .Property<TComboBox>("ItemIndex", [](TComboBox& c, const TFormProperty& p) {
            int i = p.AsInt();
            if (i < -1 || i >= static_cast<int>(c.Items().size()))
                p.Fail("item index " + std::to_string(i) + " outside the items");
            c.SetItemIndex(i);
        })
        .Property<TComboBox>("Style", [](TComboBox&, const TFormProperty& p) {
            // Only the drop-down list exists here; say so rather than show something else.
            p.AsEnum({{"csDropDownList", 0}});
        })
        .Event<TComboBox>("OnChange", &TComboBox::OnChange);
}

void EnsureStandardKinds()
{
    static bool done = [] {
        RegisterStandardKinds();
        return true;
    }();
    (void)done;
}

struct TPendingEvent {
    TComponent* Target;
    const TControlKind* Kind;
    const TFormProperty* Property;
};

bool IsEventName(const std::string& Name)
{
    return Name.size() > 2 && (Name[0] == 'O' || Name[0] == 'o') && (Name[1] == 'n' || Name[1] == 'N') &&
           Name.find('.') == std::string::npos;
}

// A value the control cannot take (a size too large for its pixels, say) is the
// description's fault like any other bad value, so it is reported with its line and
// property. Running out of memory or system resources, the toolkit's own included, stays
// what it is.
void SetProperty(const TControlKind::TSetter& Set, TComponent& Target, const TFormProperty& P)
{
    try {
        Set(Target, P);
    } catch (const EFormDescriptionError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const EOutOfMemory&) {
        throw;
    } catch (const EOutOfResources&) {
        throw;
    } catch (const std::exception& e) {
        P.Fail(e.what());
    }
}

void ApplyProperties(TComponent& Target, const TControlKind& Kind, const TFormNode& Node,
                     std::vector<TPendingEvent>& Events)
{
    // Client sizes depend on the frame, which the other properties (border style) decide:
    // they go last, once the window exists.
    std::vector<const TFormProperty*> late;
    for (const TFormProperty& p : Node.Properties) {
        if (Kind.FindEvent(p.Name)) {
            Events.push_back({&Target, &Kind, &p});
            continue;
        }
        const TControlKind::TSetter* set = Kind.FindProperty(p.Name);
        if (!set) {
            if (IsEventName(p.Name))
                p.Fail("unknown event " + p.Name);
            p.Fail("unknown property " + p.Name);
        }
        if (SameText(p.Name, "ClientWidth") || SameText(p.Name, "ClientHeight")) {
            late.push_back(&p);
            continue;
        }
        SetProperty(*set, Target, p);
    }
    if (!late.empty())
        if (auto* w = dynamic_cast<TWinControl*>(&Target))
            w->HandleNeeded();
    for (const TFormProperty* p : late)
        SetProperty(*Kind.FindProperty(p->Name), Target, *p);
}

void BuildChildren(TForm& Form, TWinControl& Parent, const TFormNode& Node, std::vector<TPendingEvent>& Events)
{
    for (const TFormNode& child : Node.Children) {
        const TControlKind* kind = FindControlKind(child.Kind);
        if (!kind)
            throw EFormDescriptionError("Line " + std::to_string(child.Line) + ": unknown control kind " + child.Kind +
                                        " (" + child.Name + ")");
        if (!kind->Creator())
            throw EFormDescriptionError("Line " + std::to_string(child.Line) + ": control kind " + child.Kind +
                                        " cannot be created (" + child.Name + ")");
        if (Form.FindComponent(child.Name))
            throw EFormDescriptionError("Line " + std::to_string(child.Line) + ": duplicate component name " + child.Name);
        TControl* c = kind->Creator()(&Form);
        if (!c)
            throw EFormDescriptionError("Line " + std::to_string(child.Line) + ": control kind " + child.Kind +
                                        " created nothing (" + child.Name + ")");
        if (c->Owner() != &Form)
            Form.InsertComponent(c);
        c->SetName(child.Name);
        c->SetParent(&Parent);
        ApplyProperties(*c, *kind, child, Events);
        if (!child.Children.empty()) {
            auto* w = dynamic_cast<TWinControl*>(c);
            if (!w)
                throw EFormDescriptionError("Line " + std::to_string(child.Children[0].Line) + ": " + child.Name +
                                            " cannot hold controls");
            BuildChildren(Form, *w, child, Events);
        }
    }
}

} // namespace

std::string TControlKind::Key(const std::string& S) { return Lower(S); }

TControlKind& TControlKind::Publish(std::initializer_list<const char*> Names)
{
    FPublished.clear();
    for (const char* n : Names)
        FPublished.push_back(Key(n));
    return *this;
}

bool TControlKind::Published(const std::string& K) const
{
    const std::string head = K.substr(0, K.find('.'));
    for (const char* always : {"left", "top", "width", "height", "bounds", "tag"})
        if (head == always)
            return true;
    // The nearest kind with a list decides.
    for (const TControlKind* kind = this; kind; kind = kind->FBase)
        if (!kind->FPublished.empty())
            return std::find(kind->FPublished.begin(), kind->FPublished.end(), head) != kind->FPublished.end();
    return true;
}

const TControlKind::TSetter* TControlKind::FindProperty(const std::string& PropName) const
{
    std::string k = Key(PropName);
    if (!Published(k))
        return nullptr;
    for (const TControlKind* kind = this; kind; kind = kind->FBase) {
        auto it = kind->FSetters.find(k);
        if (it != kind->FSetters.end())
            return &it->second;
    }
    return nullptr;
}

const TControlKind::TBinder* TControlKind::FindEvent(const std::string& EventName) const
{
    std::string k = Key(EventName);
    if (!Published(k))
        return nullptr;
    for (const TControlKind* kind = this; kind; kind = kind->FBase) {
        auto it = kind->FBinders.find(k);
        if (it != kind->FBinders.end())
            return &it->second;
    }
    return nullptr;
}

TControlKind& RegisterControlKind(const std::string& Name, const std::string& Base, TControlKind::TCreateProc Create)
{
    EnsureStandardKinds();
    return Add(Name, Base, std::move(Create));
}

const TControlKind* FindControlKind(const std::string& Name)
{
    EnsureStandardKinds();
    auto it = Kinds().find(Lower(Name));
    return it == Kinds().end() ? nullptr : it->second.get();
}

void LoadFormDescription(TForm& Form, const std::string& Text)
{
    TFormNode root = ParseFormDescription(Text);
    // A form class may register its own kind (for its own properties); else it is a TForm.
    const TControlKind* formKind = FindControlKind("TForm");
    const TControlKind* kind = FindControlKind(root.Kind);
    bool isForm = false;
    for (const TControlKind* k = kind; k && !isForm; k = k->Base())
        isForm = k == formKind;
    if (!isForm)
        kind = formKind;
    Form.SetName(root.Name);
    const int before = Form.ComponentCount();
    std::vector<TPendingEvent> events;
    ApplyProperties(Form, *kind, root, events);
    BuildChildren(Form, Form, root, events);
    // Events last, so that setting properties while loading runs no handler.
    for (const TPendingEvent& e : events) {
        const TFormProperty& p = *e.Property;
        const std::string& handler = p.AsName();
        const std::any* h = Form.FindHandler(handler);
        if (!h)
            p.Fail("unknown handler " + handler);
        if (!(*e.Kind->FindEvent(p.Name))(*e.Target, *h))
            p.Fail("handler " + handler + " does not fit event " + p.Name);
    }
    Form.BindFields();
    for (int i = before; i < Form.ComponentCount(); ++i)
        Form.Components(i)->Loaded();
    // The description is of a 96-dpi screen: kept as such, then laid out at the screen's.
    Form.TakeDesign();
    Form.FitDpi();
}
