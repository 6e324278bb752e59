#include "toolkit/classes.h"

#include <algorithm>
#include <cctype>

bool SameText(const std::string& A, const std::string& B)
{
    if (A.size() != B.size())
        return false;
    for (std::size_t i = 0; i < A.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(A[i])) != std::tolower(static_cast<unsigned char>(B[i])))
            return false;
    return true;
}

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    FDestroying = true;
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

void TComponent::SetName(const std::string& Value) { FName = Value; }

TComponent* TComponent::Components(int Index) const
{
    if (Index < 0 || Index >= ComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FComponents[static_cast<std::size_t>(Index)];
}

TComponent* TComponent::FindComponent(const std::string& AName) const
{
    if (AName.empty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->Name(), AName))
            return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->FOwner == this)
        return;
    if (AComponent->FOwner)
        AComponent->FOwner->RemoveComponent(AComponent);
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it == FComponents.end())
        return;
    FComponents.erase(it);
    AComponent->FOwner = nullptr;
    Notification(AComponent, opRemove);
}

void TComponent::DestroyComponents()
{
    // Each destroyed component takes itself out of the list, so always free the last one.
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        FComponents.pop_back();
        c->FOwner = nullptr;
        Notification(c, opRemove);
        Free(c);
    }
}

void TComponent::BeforeDestruction() { FDestroying = true; }

void TComponent::Free(TComponent* Instance)
{
    if (!Instance)
        return;
    Instance->BeforeDestruction();
    delete Instance;
}

void TComponent::Notification(TComponent*, TOperation) {}

std::string Trim(const std::string& S)
{
    std::size_t b = 0, e = S.size();
    while (b < e && static_cast<unsigned char>(S[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(S[e - 1]) <= ' ')
        --e;
    return S.substr(b, e - b);
}

void TStringList::IndexError(int Index)
{
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

const std::string& TStringList::Strings(int Index) const
{
    if (Index < 0 || Index >= Count())
        IndexError(Index);
    return FItems[static_cast<std::size_t>(Index)];
}

void TStringList::SetStrings(int Index, const std::string& Value)
{
    if (Index < 0 || Index >= Count())
        IndexError(Index);
    FItems[static_cast<std::size_t>(Index)] = Value;
}

int TStringList::Add(const std::string& S)
{
    FItems.push_back(S);
    return Count() - 1;
}

void TStringList::Insert(int Index, const std::string& S)
{
    if (Index < 0 || Index > Count())
        IndexError(Index);
    FItems.insert(FItems.begin() + Index, S);
}

void TStringList::Delete(int Index)
{
    if (Index < 0 || Index >= Count())
        IndexError(Index);
    FItems.erase(FItems.begin() + Index);
}

int TStringList::IndexOf(const std::string& S) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(FItems[static_cast<std::size_t>(i)], S))
            return i;
    return -1;
}

std::string TStringList::Text() const
{
    std::string out;
    for (const std::string& s : FItems)
        out += s + "\r\n";
    return out;
}

void TStringList::SetText(const std::string& Value)
{
    FItems.clear();
    std::string cur;
    for (std::size_t i = 0; i < Value.size(); ++i) {
        char c = Value[i];
        if (c == '\r' || c == '\n') {
            FItems.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < Value.size() && Value[i + 1] == '\n')
                ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        FItems.push_back(cur);
}

void TStringList::Assign(TPersistent* Source)
{
    if (auto* s = dynamic_cast<TStringList*>(Source)) {
        FItems = s->FItems;
        return;
    }
    TPersistent::Assign(Source);
}
