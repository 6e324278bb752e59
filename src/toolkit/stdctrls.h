// Standard controls: panel, label, button, check box and drop-down list.
#pragma once
#include <string>
#include <vector>

#include "toolkit/forms.h"

// Drop-down list: the user picks one of Items; code setting ItemIndex raises no event.
class TComboBox : public TWinControl {
public:
    VP_CLASS_NAME(TComboBox)
    explicit TComboBox(TComponent* AOwner);
    TWindowKind WindowKind() const override { return TWindowKind::ComboBox; }

    const std::vector<std::string>& Items() const { return FItems; }
    void SetItems(const std::vector<std::string>& Items);
    void AddItem(const std::string& Item);
    void ClearItems();
    int ItemIndex() const { return FItemIndex; }
    // -1 selects nothing; other values outside the list are ignored. No OnChange.
    void SetItemIndex(int Value);
    std::string Text() const;

    TNotifyEvent OnChange;

protected:
    void UserSelect(int Index) override;
    virtual void Change();

private:
    std::vector<std::string> FItems;
    int FItemIndex = -1;
};
