// Building forms from stored descriptions: a registry of control kinds with their property
// setters and events, and the loader that creates, sets and wires a form's controls.
//
// Kinds outside the toolkit (the module's own widgets) register the same way:
//
//   TControlKind& k = RegisterControlKind("TGaugeBar", "TCustomControl",
//                                         [](TComponent* Owner) { return new TGaugeBar(Owner); });
//   k.Property<TGaugeBar>("Max", [](TGaugeBar& b, const TFormProperty& p) { b.SetMax(p.AsInt()); });
//   k.Event<TGaugeBar>("OnUserChange", &TGaugeBar::OnUserChange);
//
// Registration must have happened before the first form that uses the kind is loaded; call
// the registering function from the form's constructor rather than relying on static
// initialisers, which a static library may leave out of the link.
#pragma once
#include <any>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/controls.h"
#include "toolkit/formdesc.h"

class TForm;

class TControlKind {
public:
    using TCreateProc = std::function<TControl*(TComponent* Owner)>;
    using TSetter = std::function<void(TComponent& Target, const TFormProperty& Value)>;
    // Binds a handler (held in std::any) to the event; returns false when its type does not fit.
    using TBinder = std::function<bool(TComponent& Target, const std::any& Handler)>;

    TControlKind(std::string Name, const TControlKind* Base, TCreateProc Create)
        : FName(std::move(Name)), FBase(Base), FCreate(std::move(Create)) {}

    const std::string& Name() const { return FName; }
    const TControlKind* Base() const { return FBase; }
    // Null for abstract kinds (they only lend their properties).
    const TCreateProc& Creator() const { return FCreate; }

    // Property setter for controls of class C (the target is checked to be a C).
    template <class C>
    TControlKind& Property(const std::string& PropName, std::function<void(C&, const TFormProperty&)> Set)
    {
        FSetters[Key(PropName)] = [Set = std::move(Set), PropName](TComponent& T, const TFormProperty& V) {
            Set(Cast<C>(T, V), V);
        };
        return *this;
    }
    // Event stored in a member of C, of handler type E.
    template <class C, class E>
    TControlKind& Event(const std::string& EventName, E C::*Member)
    {
        FBinders[Key(EventName)] = [Member](TComponent& T, const std::any& H) {
            const E* h = std::any_cast<E>(&H);
            C* c = dynamic_cast<C*>(&T);
            if (!h || !c)
                return false;
            c->*Member = *h;
            return true;
        };
        return *this;
    }
    // Event set through a function, for events kept behind a setter.
    template <class C, class E>
    TControlKind& EventSetter(const std::string& EventName, std::function<void(C&, E)> Set)
    {
        FBinders[Key(EventName)] = [Set = std::move(Set)](TComponent& T, const std::any& H) {
            const E* h = std::any_cast<E>(&H);
            C* c = dynamic_cast<C*>(&T);
            if (!h || !c)
                return false;
            Set(*c, *h);
            return true;
        };
        return *this;
    }

    // The names a stored form may give controls of this kind (and of kinds derived from it
    // that publish nothing of their own), inherited setters included: the others are
    // refused as unknown. A dotted name is published with its first part ("Bitmap" takes
    // "Bitmap.StretchFilter"); Left, Top, Width, Height, Bounds and Tag always are. Without
    // a list everything registered on the kind and its bases is published.
    TControlKind& Publish(std::initializer_list<const char*> Names);

    // Searches this kind, then its bases; null when none has it or it is not published.
    const TSetter* FindProperty(const std::string& PropName) const;
    const TBinder* FindEvent(const std::string& EventName) const;

private:
    static std::string Key(const std::string& S);
    template <class C>
    static C& Cast(TComponent& T, const TFormProperty& V)
    {
        C* c = dynamic_cast<C*>(&T);
        if (!c)
            V.Fail(std::string("a ") + T.ClassName() + " cannot take this property");
        return *c;
    }
    std::string FName;
    const TControlKind* FBase;
    TCreateProc FCreate;
    bool Published(const std::string& Key) const;
    std::map<std::string, TSetter> FSetters;
    std::map<std::string, TBinder> FBinders;
    std::vector<std::string> FPublished;
};

// Registers a kind (or returns the one registered under Name, whose creator is replaced).
// Base names an already registered kind or is empty. Raises EFormDescriptionError for an
// unknown base.
TControlKind& RegisterControlKind(const std::string& Name, const std::string& Base,
                                  TControlKind::TCreateProc Create);
// Null when no kind of that name is registered. The toolkit's own kinds are always there:
// TControl, TWinControl, TCustomControl, TForm, TPanel, TLabel, TButton, TCheckBox, TComboBox.
const TControlKind* FindControlKind(const std::string& Name);

// Builds Form's controls from a description: creates each control (owned by the form,
// parented by its block), sets its properties in the order they stand, then wires all
// events to the handlers the form registered and fills the form's registered fields.
// Raises EFormDescriptionError naming the line and the unknown kind, property or handler.
void LoadFormDescription(TForm& Form, const std::string& Text);
