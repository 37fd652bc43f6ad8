// What screen readers get (MSAA) where the system's own objects fall short:
// the list box knows no check marks, so the check list answers WM_GETOBJECT
// with one of ours, each entry a check button with its name, its mark,
// whether it is locked and its description; a status line is exposed as a
// status bar whose announcements are alerts. Internal to the Win32 toolkit.
#pragma once

#include "ui/Controls.h"

#include "platform/win32/WinApi.h"

namespace ui::win32 {

class AccessibleBase;

// Holds a window's object while clients may hold it too.
class Accessibility {
 public:
  Accessibility() = default;
  ~Accessibility() { Disconnect(); }
  Accessibility(const Accessibility&) = delete;
  Accessibility& operator=(const Accessibility&) = delete;

  // Answers WM_GETOBJECT for the window's client area; false for other objects.
  bool OnGetObject(HWND h, ui::TCheckListBox& list, WPARAM wp, LPARAM lp, LRESULT& result);
  bool OnGetObject(HWND h, const ui::TPanel& statusLine, WPARAM wp, LPARAM lp, LRESULT& result);
  // The window goes: clients that still hold the object get errors.
  void Disconnect();

 private:
  template <class Make>
  bool Answer(WPARAM wp, LPARAM lp, LRESULT& result, Make make);
  AccessibleBase* object_ = nullptr;
};

// Tells listening clients what changed; entry -1 means the list itself.
void NotifyEntryEvent(HWND list, DWORD event, int entry);

// A status line's announcement: an alert that screen readers speak.
void NotifyAnnouncement(HWND statusLine);

}  // namespace ui::win32
