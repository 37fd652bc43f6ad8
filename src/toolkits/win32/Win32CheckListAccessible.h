// What screen readers see of an owner-drawn check-list box: the list box's
// own accessible object knows no check marks, so the list answers
// WM_GETOBJECT with one of ours (MSAA), each entry a check button with its
// name, its mark and whether it is locked. Internal to the Win32 toolkit.
#pragma once

#include "ui/Controls.h"

#include "platform/win32/WinApi.h"

namespace ui::win32 {

class CheckListAccessible;

class CheckListAccessibility {
 public:
  CheckListAccessibility() = default;
  ~CheckListAccessibility() { Disconnect(); }
  CheckListAccessibility(const CheckListAccessibility&) = delete;
  CheckListAccessibility& operator=(const CheckListAccessibility&) = delete;

  // Answers WM_GETOBJECT for the list's client area; false for other objects.
  bool OnGetObject(HWND list, ui::TCheckListBox& layer, WPARAM wp, LPARAM lp, LRESULT& result);
  // The list's window goes: clients that still hold the object get errors.
  void Disconnect();

 private:
  CheckListAccessible* object_ = nullptr;
};

// Tells listening clients what changed; entry -1 means the list itself.
void NotifyEntryEvent(HWND list, DWORD event, int entry);

}  // namespace ui::win32
