#include "toolkit/stdctrls.h"

#include "toolkit/platform.h"

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner)
{
    SetBounds(0, 0, 145, 21);
    SetColor(clWindow);
    SetTabStop(true);
}

void TComboBox::SetItems(const std::vector<std::string>& Items)
{
    FItems = Items;
    if (FItemIndex >= static_cast<int>(FItems.size()))
        FItemIndex = -1;
    if (HandleAllocated())
        WindowImpl().StateChanged();
}

void TComboBox::AddItem(const std::string& Item)
{
    FItems.push_back(Item);
    if (HandleAllocated())
        WindowImpl().StateChanged();
}

void TComboBox::ClearItems()
{
    FItems.clear();
    FItemIndex = -1;
    if (HandleAllocated())
        WindowImpl().StateChanged();
}

void TComboBox::SetItemIndex(int Value)
{
    if (Value < -1 || Value >= static_cast<int>(FItems.size()) || Value == FItemIndex)
        return;
    FItemIndex = Value;
    if (HandleAllocated())
        WindowImpl().StateChanged();
    Invalidate();
}

std::string TComboBox::Text() const
{
    return FItemIndex >= 0 ? FItems[static_cast<std::size_t>(FItemIndex)] : std::string();
}

void TComboBox::UserSelect(int Index)
{
    if (Index < 0 || Index >= static_cast<int>(FItems.size()) || !Enabled())
        return;
    // The platform reports a user's pick even when it repeats the current item.
    FItemIndex = Index;
    if (HandleAllocated())
        WindowImpl().StateChanged();
    Invalidate();
    Change();
}

void TComboBox::Change()
{
    if (OnChange)
        OnChange(this);
}
