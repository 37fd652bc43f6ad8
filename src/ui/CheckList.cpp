#include "ui/CheckList.h"

#include <algorithm>
#include <numeric>

#include "ui/Text.h"

namespace ui {

using detail::AsciiEqual;
using detail::AsciiLess;
using detail::IndexError;

void TCheckListBox::SetSorted(bool s) {
  const bool resort = s && !sorted_;
  sorted_ = s;
  if (!resort) return;
  SortItems();
  Changed(Prop::ItemsReset);
  Changed(Prop::ItemIndex);
}

void TCheckListBox::SortItems() {
  std::vector<std::size_t> order(items_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return AsciiLess(items_[a].text, items_[b].text); });
  std::vector<Item> sortedItems;
  sortedItems.reserve(items_.size());
  int newIndex = -1;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (static_cast<int>(order[i]) == itemIndex_) newIndex = static_cast<int>(i);
    sortedItems.push_back(std::move(items_[order[i]]));
  }
  items_ = std::move(sortedItems);
  itemIndex_ = newIndex;
}

void TCheckListBox::EndUpdate() {
  if (updating_ == 0 || --updating_ > 0) return;
  if (unsorted_) {
    unsorted_ = false;
    if (sorted_) SortItems();
  }
  Notify(Prop::ItemsReset);
  Notify(Prop::ItemIndex);
}

const TCheckListBox::Item& TCheckListBox::At(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return items_[static_cast<std::size_t>(index)];
}

int TCheckListBox::AddItem(const std::string& text) {
  if (updating_ > 0 && sorted_) {
    items_.push_back(Item{text, false, true});
    unsorted_ = true;
    return Count() - 1;
  }
  auto pos = items_.end();
  if (sorted_) {
    pos = std::upper_bound(items_.begin(), items_.end(), text,
                           [](const std::string& t, const Item& item) { return AsciiLess(t, item.text); });
  }
  const int index = static_cast<int>(pos - items_.begin());
  items_.insert(pos, Item{text, false, true});
  if (itemIndex_ >= index) ++itemIndex_;
  Changed(Prop::ItemInserted, index);
  return index;
}

void TCheckListBox::Clear() {
  items_.clear();
  unsorted_ = false;
  itemIndex_ = -1;
  Changed(Prop::ItemsReset);
}

void TCheckListBox::DeleteItem(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  items_.erase(items_.begin() + index);
  if (itemIndex_ == index) {
    itemIndex_ = -1;
  } else if (itemIndex_ > index) {
    --itemIndex_;
  }
  Changed(Prop::ItemDeleted, index);
}

int TCheckListBox::IndexOf(const std::string& text) const {
  if (sorted_ && !unsorted_) {
    auto it = std::lower_bound(items_.begin(), items_.end(), text,
                               [](const Item& item, const std::string& t) { return AsciiLess(item.text, t); });
    return (it != items_.end() && AsciiEqual(it->text, text)) ? static_cast<int>(it - items_.begin()) : -1;
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (AsciiEqual(items_[i].text, text)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<int> TCheckListBox::IndexesOf(const std::string& text) const {
  std::vector<int> found;
  if (sorted_ && !unsorted_) {
    // Sorted ignoring case: the matches follow the first one.
    for (int i = IndexOf(text); i >= 0 && i < Count() && AsciiEqual(At(i).text, text); ++i) {
      found.push_back(i);
    }
    return found;
  }
  for (int i = 0; i < Count(); ++i) {
    if (AsciiEqual(At(i).text, text)) found.push_back(i);
  }
  return found;
}

void TCheckListBox::SetChecked(int index, bool checked) {
  if (index < 0 || index >= Count()) IndexError(index);
  items_[static_cast<std::size_t>(index)].checked = checked;
  Changed(Prop::Checked, index);
}

void TCheckListBox::SetItemEnabled(int index, bool enabled) {
  if (index < 0 || index >= Count()) IndexError(index);
  items_[static_cast<std::size_t>(index)].enabled = enabled;
  Changed(Prop::ItemEnabled, index);
}

void TCheckListBox::SetItemIndex(int index) {
  itemIndex_ = (index >= 0 && index < Count()) ? index : -1;
  Changed(Prop::ItemIndex);
}

int TCheckListBox::RowsPerColumn() const {
  if (itemHeight_ <= 0) return 1;
  return std::max(1, ClientHeight() / itemHeight_);
}

int TCheckListBox::ItemAtPos(int x, int y) const {
  if (ControlPeer* peer = Peer()) {
    if (std::optional<int> answer = peer->ItemAtPos(x, y)) return *answer;
  }
  if (x < 0 || y < 0 || x >= ClientWidth() || itemHeight_ <= 0) return -1;
  const int row = y / itemHeight_;
  int index = row;
  if (columns_ > 0) {
    const int rows = RowsPerColumn();
    const int columnWidth = ClientWidth() / columns_;
    if (row >= rows || columnWidth <= 0) return -1;
    index = (x / columnWidth) * rows + row;
  }
  return index < Count() ? index : -1;
}

void TCheckListBox::UserClickItem(int index) {
  if (!Enabled() || index < 0 || index >= Count()) return;
  SetItemIndex(index);
  if (OnClick) OnClick(this);
}

void TCheckListBox::UserClickCheckBox(int index) {
  if (!Enabled() || index < 0 || index >= Count()) return;
  SetItemIndex(index);
  Item& item = items_[static_cast<std::size_t>(index)];
  if (item.enabled) {
    item.checked = !item.checked;
    Notify(Prop::Checked, index);
  } else if (OnItemRefused) {
    OnItemRefused(index);
  }
  if (OnClick) OnClick(this);
}

void TCheckListBox::UserPressSpace() {
  if (!Enabled() || itemIndex_ < 0 || itemIndex_ >= Count()) return;
  Item& item = items_[static_cast<std::size_t>(itemIndex_)];
  if (!item.enabled) {
    if (OnItemRefused) OnItemRefused(itemIndex_);
    return;
  }
  item.checked = !item.checked;
  Notify(Prop::Checked, itemIndex_);
  // As a click on the check-mark box: a mark never changes unseen by the handler.
  if (OnClick) OnClick(this);
}

void TCheckListBox::UserSelect(int index) {
  if (!Enabled() || index < 0 || index >= Count()) return;
  SetItemIndex(index);
  if (OnClick) OnClick(this);
}

std::string TCheckListBox::ItemHint(int index) const {
  if (index >= 0 && index < Count() && OnItemHint) {
    std::string hint = OnItemHint(index);
    if (!hint.empty()) return hint;
  }
  return Hint();
}

std::string TCheckListBox::ItemToolTip(int index) const {
  if (index < 0 || index >= Count()) return {};
  std::string tip = ItemText(index);
  if (OnItemHint) {
    const std::string more = OnItemHint(index);
    if (!more.empty()) tip += "\n" + more;
  }
  return tip;
}

}  // namespace ui
