#include "ui/ComboBox.h"

#include "ui/Text.h"

namespace ui {

using detail::AsciiEqual;
using detail::IndexError;

void TComboBox::AddItem(const std::string& s) {
  items_.push_back(s);
  Notify(Prop::ItemInserted, ItemCount() - 1);
}

void TComboBox::InsertItem(int index, const std::string& s) {
  if (index < 0 || index > ItemCount()) IndexError(index);
  items_.insert(items_.begin() + index, s);
  if (itemIndex_ >= index) ++itemIndex_;
  Notify(Prop::ItemInserted, index);
}

void TComboBox::DeleteItem(int index) {
  if (index < 0 || index >= ItemCount()) IndexError(index);
  items_.erase(items_.begin() + index);
  if (itemIndex_ == index) {
    itemIndex_ = -1;
  } else if (itemIndex_ > index) {
    --itemIndex_;
  }
  Notify(Prop::ItemDeleted, index);
}

void TComboBox::ClearItems() {
  items_.clear();
  itemIndex_ = -1;
  Notify(Prop::ItemsReset);
}

int TComboBox::IndexOfItem(const std::string& s) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (AsciiEqual(items_[i], s)) return static_cast<int>(i);
  }
  return -1;
}

void TComboBox::SetItemIndex(int index) {
  if (index < 0 || index >= ItemCount()) {
    itemIndex_ = -1;
  } else {
    itemIndex_ = index;
    SetText(items_[static_cast<std::size_t>(index)]);
  }
  Notify(Prop::ItemIndex);
}

void TComboBox::UserEdit(const std::string& newText) {
  if (!Enabled()) return;
  itemIndex_ = -1;
  SetText(newText);
  if (OnChange) OnChange(this);
}

void TComboBox::UserPick(int index) {
  if (!Enabled() || index < 0 || index >= ItemCount()) return;
  SetItemIndex(index);
  if (OnChange) OnChange(this);
}

}  // namespace ui
