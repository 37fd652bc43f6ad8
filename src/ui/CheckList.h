// The check-list box: items with a check mark each, optionally sorted.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class TCheckListBox : public TWinControl {
 public:
  using TWinControl::TWinControl;
  struct Item {
    std::string text;
    bool checked = false;
    bool enabled = true;
  };

  bool Sorted() const { return sorted_; }
  void SetSorted(bool s);
  int Columns() const { return columns_; }
  void SetColumns(int c) { columns_ = c; Notify(Prop::Columns); }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int h) { itemHeight_ = h; Notify(Prop::ItemHeight); }

  int Count() const { return static_cast<int>(items_.size()); }
  const Item& At(int index) const;
  const std::string& ItemText(int index) const { return At(index).text; }
  // Adds an item (unchecked, enabled) at its sorted place (ignoring case;
  // after equal names) or at the end, and returns its index.
  int AddItem(const std::string& text);
  void Clear();
  void DeleteItem(int index);
  // First item, in list order, whose whole text equals `text` ignoring case.
  int IndexOf(const std::string& text) const;
  // Every such item, in list order.
  std::vector<int> IndexesOf(const std::string& text) const;
  // Between BeginUpdate and the matching EndUpdate, AddItem appends and its
  // index stays valid until EndUpdate, which sorts once (items keep their
  // flags; equal names keep their order, as one-by-one insertion gives)
  // and tells the peer once. Adding n names then costs n log n, not n^2.
  void BeginUpdate() { ++updating_; }
  void EndUpdate();
  bool Checked(int index) const { return At(index).checked; }
  void SetChecked(int index, bool checked);
  bool ItemEnabled(int index) const { return At(index).enabled; }
  void SetItemEnabled(int index, bool enabled);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // Item under a point of the client area, counting existing items only; -1.
  int ItemAtPos(int x, int y) const;
  // Rows per column for the current height (at least 1).
  int RowsPerColumn() const;

  // --- user actions ---
  // A click on an item's text: selects it, then OnClick.
  void UserClickItem(int index);
  // A click in an item's check-mark box (or a screen reader's toggle
  // action): selects it, toggles an enabled item's mark, then OnClick
  // (after the toggle). On a disabled item: selects it, OnItemRefused, then
  // OnClick.
  void UserClickCheckBox(int index);
  // Space bar: on the selected enabled item, as a click in its check-mark
  // box (toggle, then OnClick); on a disabled one, OnItemRefused only.
  void UserPressSpace();
  // Keyboard selection change (arrow keys): selects, then OnClick.
  void UserSelect(int index);

  // The tool tip of an item: what OnItemHint gives for it, or the list's
  // hint when that is empty (or there is no handler).
  std::string ItemHint(int index) const;
  // What the pointer shows over an item: its whole text (the list may show
  // it shortened), then what OnItemHint gives on the lines below.
  std::string ItemToolTip(int index) const;
  std::function<std::string(int index)> OnItemHint;
  // The user tried to change the mark of a disabled item.
  std::function<void(int index)> OnItemRefused;

 private:
  // Sorts the items ignoring case, keeping equal names in order and the
  // selection on its item.
  void SortItems();
  void Changed(Prop what, int index = -1) const {
    if (updating_ == 0) Notify(what, index);
  }
  std::vector<Item> items_;
  int updating_ = 0;
  bool unsorted_ = false;  // items appended during an update
  bool sorted_ = false;
  int columns_ = 0;
  int itemHeight_ = 16;
  int itemIndex_ = -1;
};

// Holds a check-list box's update for a scope, however the scope ends.
class TCheckListBoxUpdate {
 public:
  explicit TCheckListBoxUpdate(TCheckListBox& list) : list_(list) { list_.BeginUpdate(); }
  ~TCheckListBoxUpdate() { list_.EndUpdate(); }
  TCheckListBoxUpdate(const TCheckListBoxUpdate&) = delete;
  TCheckListBoxUpdate& operator=(const TCheckListBoxUpdate&) = delete;

 private:
  TCheckListBox& list_;
};

}  // namespace ui
