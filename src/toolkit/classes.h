// Components: objects with an owner that frees them, a name and a tag.
#pragma once
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "base/object.h"

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
    VP_CLASS_NAME(TComponent)
    // The owner (may be null) takes the new component into its list and frees it with itself.
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value);
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    // Raises EListError for an index outside 0..ComponentCount-1.
    TComponent* Components(int Index) const;
    // Case-insensitive, like the stored form names; null when absent.
    TComponent* FindComponent(const std::string& AName) const;
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, last first.
    void DestroyComponents();
    bool Destroying() const { return FDestroying; }

    // Runs once a stored form description has set the properties of every component it
    // created and wired their events, for each of them in creation order: settings that
    // depend on one another are settled here.
    virtual void Loaded() {}
    // Runs once the most derived constructor has finished (TForm runs its creation handler
    // here); CreateComponent<T> and the form factories call it.
    virtual void AfterConstruction() {}
    // Runs before the destructors, while the most derived object is still whole (TForm runs
    // its destroy handler here); Free calls it.
    virtual void BeforeDestruction();
    // The way to destroy a component: BeforeDestruction, then delete. Null is allowed.
    static void Free(TComponent* Instance);

    int Tag = 0;

protected:
    // Told when a component this one owns is inserted or removed.
    virtual void Notification(TComponent* AComponent, TOperation Operation);

private:
    TComponent* FOwner = nullptr;
    std::string FName;
    std::vector<TComponent*> FComponents;
    bool FDestroying = false;
};

// Deleter for smart pointers that hold components.
struct TComponentDeleter {
    void operator()(TComponent* C) const { TComponent::Free(C); }
};
template <class T>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;

// new T(args...) followed by AfterConstruction: the toolkit's "virtual constructor".
template <class T, class... Args>
T* CreateComponent(Args&&... args)
{
    T* c = new T(std::forward<Args>(args)...);
    c->AfterConstruction();
    return c;
}

// Compares two names the way component and handler names compare: ASCII case-insensitive.
bool SameText(const std::string& A, const std::string& B);

// Removes leading and trailing blanks and control characters (everything up to ' ').
std::string Trim(const std::string& S);

// An ordered list of strings.
class TStringList : public TPersistent {
public:
    VP_CLASS_NAME(TStringList)
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raise EListError "List index out of bounds (<Index>)" outside 0..Count-1.
    const std::string& Strings(int Index) const;
    void SetStrings(int Index, const std::string& Value);
    const std::string& operator[](int Index) const { return Strings(Index); }
    int Add(const std::string& S);
    void Insert(int Index, const std::string& S); // Index may equal Count
    void Delete(int Index);
    void Clear() { FItems.clear(); }
    // Case-insensitive; -1 when absent.
    int IndexOf(const std::string& S) const;
    // The lines joined, each followed by CR LF; setting splits at CR LF, CR or LF.
    std::string Text() const;
    void SetText(const std::string& Value);
    const std::vector<std::string>& Items() const { return FItems; }
    void Assign(TPersistent* Source) override;

private:
    [[noreturn]] static void IndexError(int Index);
    std::vector<std::string> FItems;
};
