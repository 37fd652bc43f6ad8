// What a user does, expressed on the layer's controls: tests read as "type
// this path, click that check box, close" instead of widget plumbing.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "toolkits/memory/MemoryApplication.h"
#include "ui/Controls.h"

namespace ui::memory {

class MemoryUser {
 public:
  explicit MemoryUser(MemoryApplication& app) : app_(app) {}

  // Puts the focus in the box, selects the whole text and types `text` over
  // it, one key at a time: the first key replaces the selection, every
  // further key appends while the box keeps the focus.
  // An empty text deletes the selection.
  void TypeText(ui::TComboBox& box, const std::string& text) const;
  void TypeText(ui::TCustomEdit& edit, const std::string& text) const;
  // Picks the history entry with exactly this text from the drop-down list.
  void PickEntry(ui::TComboBox& box, const std::string& entry) const;
  void Click(ui::TControl& control) const { control.UserClick(); }
  void DoubleClick(ui::TControl& control) const { control.UserDblClick(); }

  // Check-list box; `occurrence` counts items of equal text from 0.
  int IndexOfItem(const ui::TCheckListBox& list, const std::string& text, int occurrence = 0) const;
  void ClickItemText(ui::TCheckListBox& list, const std::string& text, int occurrence = 0) const;
  void ClickItemCheckBox(ui::TCheckListBox& list, const std::string& text, int occurrence = 0) const;
  void SelectWithKeyboard(ui::TCheckListBox& list, const std::string& text) const;
  void PressSpace(ui::TCheckListBox& list) const { list.UserPressSpace(); }
  // A point inside the item's cell, in the list's client coordinates.
  std::pair<int, int> PointOfItem(const ui::TCheckListBox& list, int index) const;
  void HoverOverItem(ui::TCheckListBox& list, const std::string& text) const;

  void HoverAt(ui::TControl& control, int x, int y) const { control.UserMouseMove(x, y); }
  // Opens the control's popup menu and clicks the item with this caption.
  void UseMenu(ui::TControl& control, const std::string& caption) const;

  // The next open-file dialog: confirm a file, or cancel.
  void WillChooseFile(const std::string& path) const { app_.QueueOpenDialogResult(path); }
  void WillCancelDialog() const { app_.QueueOpenDialogResult(std::nullopt); }
  // Something done while the program processes pending input.
  void Meanwhile(std::function<void()> action) const { app_.QueueUserAction(std::move(action)); }

  void CloseWindow(ui::TCustomForm& form) const { form.UserClose(); }

 private:
  MemoryApplication& app_;
};

}  // namespace ui::memory
