#include "toolkits/memory/MemoryUser.h"

#include <stdexcept>

namespace ui::memory {

namespace {

// Keys go where the focus is: should a handler move it away while the user
// types, the following keys miss the box (and a space presses a button).
template <class Box>
void TypeInto(Box& box, const std::string& text) {
  box.SetFocus();
  if (text.empty()) {
    box.UserEdit(std::string());
    return;
  }
  box.UserEdit(text.substr(0, 1));
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (!box.Focused()) {
      const ui::TCustomForm* form = box.ParentForm();
      auto* button = dynamic_cast<ui::TBitBtn*>(form ? form->ActiveControl() : nullptr);
      if (button && text[i] == ' ') button->UserClick();
      continue;
    }
    box.UserEdit(box.Text() + text[i]);
  }
}

}  // namespace

void MemoryUser::TypeText(ui::TComboBox& box, const std::string& text) const { TypeInto(box, text); }

void MemoryUser::TypeText(ui::TCustomEdit& edit, const std::string& text) const {
  TypeInto(edit, text);
}

void MemoryUser::PickEntry(ui::TComboBox& box, const std::string& entry) const {
  for (int i = 0; i < box.ItemCount(); ++i) {
    if (box.Items()[static_cast<std::size_t>(i)] == entry) {
      box.UserPick(i);
      return;
    }
  }
  throw std::runtime_error("no history entry " + entry);
}

int MemoryUser::IndexOfItem(const ui::TCheckListBox& list, const std::string& text,
                            int occurrence) const {
  for (int i = 0; i < list.Count(); ++i) {
    if (list.ItemText(i) == text && occurrence-- == 0) return i;
  }
  throw std::runtime_error("no list item " + text);
}

void MemoryUser::ClickItemText(ui::TCheckListBox& list, const std::string& text, int occurrence) const {
  list.UserClickItem(IndexOfItem(list, text, occurrence));
}

void MemoryUser::ClickItemCheckBox(ui::TCheckListBox& list, const std::string& text,
                                   int occurrence) const {
  list.UserClickCheckBox(IndexOfItem(list, text, occurrence));
}

void MemoryUser::SelectWithKeyboard(ui::TCheckListBox& list, const std::string& text) const {
  list.UserSelect(IndexOfItem(list, text));
}

std::pair<int, int> MemoryUser::PointOfItem(const ui::TCheckListBox& list, int index) const {
  const int rows = list.RowsPerColumn();
  const int columns = list.Columns() > 0 ? list.Columns() : 1;
  const int columnWidth = list.ClientWidth() / columns;
  const int col = list.Columns() > 0 ? index / rows : 0;
  const int row = list.Columns() > 0 ? index % rows : index;
  return {col * columnWidth + columnWidth / 2, row * list.ItemHeight() + list.ItemHeight() / 2};
}

void MemoryUser::HoverOverItem(ui::TCheckListBox& list, const std::string& text) const {
  const auto [x, y] = PointOfItem(list, IndexOfItem(list, text));
  list.UserMouseMove(x, y);
}

void MemoryUser::UseMenu(ui::TControl& control, const std::string& caption) const {
  ui::TPopupMenu* menu = control.PopupMenu();
  if (!menu) throw std::runtime_error(control.Name() + " has no popup menu");
  for (ui::TMenuItem* item : menu->Items()) {
    if (item->Caption() == caption) {
      item->UserClick();
      return;
    }
  }
  throw std::runtime_error("no menu item " + caption);
}

}  // namespace ui::memory
