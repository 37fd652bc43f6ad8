// The combo box: an edit with its drop-down list.
#include "toolkits/win32/Win32Peer.h"

namespace ui::win32 {

namespace {

// Extra height of a drop-down combo's window for its list.
constexpr int kDropDownItems = 8;

// -------------------------------------------------------------- combo box

class ComboPeer final : public WinPeer {
 public:
  ComboPeer(ui::TComboBox& combo, Win32Application& app) : WinPeer(combo, app), combo_(combo) {}

  void OnCommand(HWND /*from*/, WORD code) override {
    if (syncing_) return;
    if (code == CBN_EDITCHANGE) {
      const std::string text = WindowText(hwnd_);
      Guard([&] { combo_.UserEdit(text); });
    } else if (code == CBN_SELCHANGE) {
      const auto index = static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0));
      if (index >= 0) Guard([&] { combo_.UserPick(index); });
    }
  }

  bool OnMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (h == edit_ && msg == WM_LBUTTONDBLCLK) {
      // The edit selects the word first; then the program's handler runs.
      result = CallWindowProcA(reinterpret_cast<WNDPROC>(GetPropA(h, kOldProcProp)), h, msg, wp, lp);
      Guard([&] { combo_.UserDblClick(); });
      return true;
    }
    return CommonMessage(h, msg, wp, lp, result);
  }

 protected:
  void CreateNative() override {
    DWORD style = CBS_AUTOHSCROLL | WS_VSCROLL | TabStop();
    switch (combo_.Style()) {
      case ui::TComboBoxStyle::csSimple: style |= CBS_SIMPLE; break;
      case ui::TComboBoxStyle::csDropDownList: style |= CBS_DROPDOWNLIST; break;
      default: style |= CBS_DROPDOWN; break;
    }
    hwnd_ = CreateChild("COMBOBOX", style, 0, "");
    if (hwnd_ == nullptr) return;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(hwnd_, &info) && info.hwndItem != nullptr && info.hwndItem != hwnd_) {
      edit_ = info.hwndItem;
      Adopt(edit_, true);
    }
  }
  void SyncAll() override {
    ApplyItemHeight();
    RebuildItems();
    WinPeer::SyncAll();
  }
  void Apply(Prop what, int index) override {
    switch (what) {
      case Prop::ItemInserted:
        if (index >= 0 && index < combo_.ItemCount()) {
          SendMessageA(hwnd_, CB_INSERTSTRING, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(combo_.Items()[static_cast<std::size_t>(index)].c_str()));
        }
        ApplyText();
        break;
      case Prop::ItemDeleted:
        SendMessageA(hwnd_, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
        ApplyText();
        break;
      case Prop::ItemsReset: RebuildItems(); break;
      case Prop::ItemIndex:
        SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo_.ItemIndex()), 0);
        ApplyText();
        break;
      case Prop::ItemHeight: ApplyItemHeight(); break;
      case Prop::Style: Recreate(); break;
      default: WinPeer::Apply(what, index); break;
    }
  }
  void ApplyBounds() override {
    // The window's height includes the dropped-down list.
    const int listHeight = combo_.Style() == ui::TComboBoxStyle::csSimple ? 0 : kDropDownItems * combo_.ItemHeight() + 2;
    SetWindowPos(hwnd_, nullptr, Px(combo_.Left()), Px(combo_.Top()), Px(std::max(0, combo_.Width())),
                 Px(std::max(0, combo_.Height()) + listHeight), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void DpiChanged() override {
    ApplyItemHeight();
    ApplyBounds();
  }
  std::vector<HWND> HintWindows() const override {
    std::vector<HWND> windows{hwnd_};
    if (edit_ != nullptr) windows.push_back(edit_);
    return windows;
  }

 private:
  void ApplyItemHeight() {
    SendMessageA(hwnd_, CB_SETITEMHEIGHT, 0, Px(combo_.ItemHeight()));
    // The edit field gets the control's height less the frame.
    if (combo_.Height() > 6) SendMessageA(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Px(combo_.Height() - 6));
  }
  void RebuildItems() {
    SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : combo_.Items()) {
      SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    if (combo_.ItemIndex() >= 0) SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo_.ItemIndex()), 0);
    ApplyText();
  }

  ui::TComboBox& combo_;
  HWND edit_ = nullptr;
};

}  // namespace

std::unique_ptr<WinPeer> NewComboPeer(ui::TComboBox& combo, Win32Application& app) {
  return std::make_unique<ComboPeer>(combo, app);
}

}  // namespace ui::win32
