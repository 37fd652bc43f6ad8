// The combo box: an edit with a drop-down list of entries.
#pragma once

#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboBox : public TWinControl {
 public:
  using TWinControl::TWinControl;
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s) { style_ = s; Notify(Prop::Style); }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int h) { itemHeight_ = h; Notify(Prop::ItemHeight); }

  const std::vector<std::string>& Items() const { return items_; }
  int ItemCount() const { return static_cast<int>(items_.size()); }
  void AddItem(const std::string& s);
  void InsertItem(int index, const std::string& s);
  void DeleteItem(int index);
  void ClearItems();
  // First item whose whole text equals `s`, ignoring case; -1 when none.
  int IndexOfItem(const std::string& s) const;
  int ItemIndex() const { return itemIndex_; }
  // Selects an item (its text becomes the box's text); -1 selects none.
  void SetItemIndex(int index);

  TNotifyEvent OnChange;
  // The user changed the edit text (one keystroke at a time).
  void UserEdit(const std::string& newText);
  // The user typed one more character at the end of the text.
  void UserTypeChar(char c) { UserEdit(Text() + c); }
  // The user picked an entry from the drop-down list.
  void UserPick(int index);

 private:
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
  int itemHeight_ = 16;
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

}  // namespace ui
