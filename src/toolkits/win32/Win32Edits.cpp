// Edit boxes and memos, combo boxes, spin edits.
#include "toolkits/win32/Win32Peer.h"

namespace ui::win32 {

namespace {

// Extra height of a drop-down combo's window for its list.
constexpr int kDropDownItems = 8;

class EditPeer final : public WinPeer {
 public:
  EditPeer(ui::TCustomEdit& edit, Win32Application& app) : WinPeer(edit, app), edit_(edit) {}
  void OnCommand(HWND /*from*/, WORD code) override {
    if (code != EN_CHANGE || syncing_) return;
    const std::string text = WindowText(hwnd_);
    Guard([&] { edit_.UserEdit(text); });
  }

 protected:
  void CreateNative() override {
    memo_ = dynamic_cast<ui::TMemo*>(&edit_);
    DWORD style = TabStop();
    if (memo_ != nullptr) {
      style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
    } else {
      style |= ES_AUTOHSCROLL;
    }
    hwnd_ = CreateChild("EDIT", style, WS_EX_CLIENTEDGE, "");
  }
  void SyncAll() override {
    WinPeer::SyncAll();
    SendMessageA(hwnd_, EM_SETREADONLY, edit_.ReadOnly() ? TRUE : FALSE, 0);
  }
  void Apply(Prop what, int index) override {
    switch (what) {
      case Prop::ReadOnly: SendMessageA(hwnd_, EM_SETREADONLY, edit_.ReadOnly() ? TRUE : FALSE, 0); break;
      case Prop::ItemsReset:
      case Prop::ItemInserted: ApplyText(); break;
      default: WinPeer::Apply(what, index); break;
    }
  }
  void ApplyText() override {
    if (memo_ == nullptr || memo_->Lines().empty()) {
      SetTextIfDifferent(hwnd_, edit_.Text());
      return;
    }
    std::string joined;
    for (std::size_t i = 0; i < memo_->Lines().size(); ++i) {
      if (i > 0) joined += "\r\n";
      joined += memo_->Lines()[i];
    }
    SetTextIfDifferent(hwnd_, joined);
  }

 private:
  ui::TCustomEdit& edit_;
  ui::TMemo* memo_ = nullptr;
};

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

// -------------------------------------------------------- value controls

class SpinEditPeer final : public WinPeer {
 public:
  SpinEditPeer(ui::TSpinEdit& spin, Win32Application& app) : WinPeer(spin, app), spin_(spin) {}

  void OnCommand(HWND from, WORD code) override {
    if (from != edit_ || code != EN_CHANGE || syncing_) return;
    const std::string text = WindowText(edit_);
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0') return;
    Guard([&] { spin_.UserSetValue(static_cast<int>(v)); });
  }
  bool OnNotify(const NMHDR& header, LRESULT& result) override {
    if (header.hwndFrom != updown_ || header.code != static_cast<UINT>(UDN_DELTAPOS)) return false;
    const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
    const int value = spin_.Value() + change.iDelta;
    Guard([&] { spin_.UserSetValue(value); });
    result = TRUE;  // the layer decides the value; the edit follows it
    return true;
  }

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild(kContainerClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, "", nullptr, false);
    edit_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | TabStop(), 0, 0,
                            0, 0, hwnd_, nullptr, GetModuleHandleA(nullptr), nullptr);
    Adopt(edit_, true);
    updown_ = CreateWindowExA(0, UPDOWN_CLASSA, "", WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS, 0, 0, 0, 0, hwnd_,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    Adopt(updown_, true);
    if (HFONT f = Font()) SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
  }
  void SyncAll() override {
    WinPeer::SyncAll();
    ApplyValue();
  }
  void ApplyText() override {}
  void ApplyBounds() override {
    WinPeer::ApplyBounds();
    const int w = Px(std::max(0, spin_.Width()));
    const int h = Px(std::max(0, spin_.Height()));
    const int arrows = std::min(w, Px(16));
    SetWindowPos(edit_, nullptr, 0, 0, w - arrows, h, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(updown_, nullptr, w - arrows, 0, arrows, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void Apply(Prop what, int index) override {
    if (what == Prop::Value) {
      ApplyValue();
      return;
    }
    WinPeer::Apply(what, index);
  }
  HWND FocusTarget() const override { return edit_; }
  std::vector<HWND> HintWindows() const override { return {edit_, updown_}; }

 private:
  void ApplyValue() {
    const bool limited = spin_.MinValue() != spin_.MaxValue();
    SendMessageA(updown_, UDM_SETRANGE32, static_cast<WPARAM>(limited ? spin_.MinValue() : -0x7FFFFFFF),
                 limited ? spin_.MaxValue() : 0x7FFFFFFF);
    SendMessageA(updown_, UDM_SETPOS32, 0, spin_.Value());
    SetTextIfDifferent(edit_, std::to_string(spin_.Value()));
  }
  ui::TSpinEdit& spin_;
  HWND edit_ = nullptr;
  HWND updown_ = nullptr;
};

}  // namespace

std::unique_ptr<WinPeer> NewEditPeer(ui::TCustomEdit& edit, Win32Application& app) {
  return std::make_unique<EditPeer>(edit, app);
}

std::unique_ptr<WinPeer> NewComboPeer(ui::TComboBox& combo, Win32Application& app) {
  return std::make_unique<ComboPeer>(combo, app);
}

std::unique_ptr<WinPeer> NewSpinEditPeer(ui::TSpinEdit& spin, Win32Application& app) {
  return std::make_unique<SpinEditPeer>(spin, app);
}

}  // namespace ui::win32
