// Push buttons, check boxes, radio groups and track bars.
#include "toolkits/win32/Win32Peer.h"

namespace ui::win32 {

namespace {

class ButtonPeer final : public WinPeer {
 public:
  using WinPeer::WinPeer;
  void OnCommand(HWND /*from*/, WORD code) override {
    if (code == BN_CLICKED && !syncing_) Guard([&] { control_.UserClick(); });
  }

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild("BUTTON", BS_PUSHBUTTON | TabStop(), 0, control_.Text().c_str());
  }
};

class CheckBoxPeer final : public WinPeer {
 public:
  CheckBoxPeer(ui::TCheckBox& box, Win32Application& app) : WinPeer(box, app), box_(box) {}
  void OnCommand(HWND /*from*/, WORD code) override {
    if (code == BN_CLICKED && !syncing_) Guard([&] { box_.UserClick(); });
  }

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild("BUTTON", BS_CHECKBOX | TabStop(), 0, box_.Text().c_str());
  }
  void SyncAll() override {
    WinPeer::SyncAll();
    ApplyCheck();
  }
  void Apply(Prop what, int index) override {
    if (what == Prop::Checked) {
      ApplyCheck();
      return;
    }
    WinPeer::Apply(what, index);
  }

 private:
  void ApplyCheck() {
    SendMessageA(hwnd_, BM_SETCHECK, box_.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  ui::TCheckBox& box_;
};

class RadioGroupPeer final : public WinPeer {
 public:
  RadioGroupPeer(ui::TRadioGroup& group, Win32Application& app) : WinPeer(group, app), group_(group) {}

  void OnCommand(HWND from, WORD code) override {
    if (code != BN_CLICKED || syncing_) return;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
      if (buttons_[i] == from) {
        const int index = static_cast<int>(i);
        Guard([&] { group_.UserSelect(index); });
      }
    }
  }

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild(kContainerClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, "", nullptr, false);
    frame_ = CreateWindowExA(0, "BUTTON", group_.Text().c_str(), WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, 0, 0,
                             hwnd_, nullptr, GetModuleHandleA(nullptr), nullptr);
    Adopt(frame_, true);
    if (HFONT f = Font()) SendMessageA(frame_, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
  }
  void SyncAll() override {
    RebuildButtons();
    WinPeer::SyncAll();
  }
  void ApplyText() override { SetTextIfDifferent(frame_, group_.Text()); }
  void ApplyBounds() override {
    WinPeer::ApplyBounds();
    LayoutButtons();
  }
  void Apply(Prop what, int index) override {
    switch (what) {
      case Prop::ItemsReset: RebuildButtons(); break;
      case Prop::ItemIndex: ApplyChecks(); break;
      default: WinPeer::Apply(what, index); break;
    }
  }
  HWND FocusTarget() const override {
    const int i = group_.ItemIndex();
    if (i >= 0 && static_cast<std::size_t>(i) < buttons_.size()) return buttons_[static_cast<std::size_t>(i)];
    return buttons_.empty() ? hwnd_ : buttons_.front();
  }

 private:
  void RebuildButtons() {
    for (HWND b : buttons_) {
      RemovePropA(b, kPeerProp);
      owned_.erase(std::remove(owned_.begin(), owned_.end(), b), owned_.end());
      DestroyWindow(b);
    }
    buttons_.clear();
    for (std::size_t i = 0; i < group_.Items().size(); ++i) {
      DWORD style = WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON;
      if (i == 0) style |= WS_GROUP | TabStop();
      HWND b = CreateWindowExA(0, "BUTTON", group_.Items()[i].c_str(), style, 0, 0, 0, 0, hwnd_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
      Adopt(b, true);
      if (HFONT f = Font()) SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
      buttons_.push_back(b);
    }
    LayoutButtons();
    ApplyChecks();
  }
  void LayoutButtons() {
    const int w = Px(std::max(0, group_.Width()));
    const int h = Px(std::max(0, group_.Height()));
    SetWindowPos(frame_, HWND_BOTTOM, 0, 0, w, h, SWP_NOACTIVATE);
    if (buttons_.empty()) return;
    const int top = Px(16);
    const int row = std::max(1, (h - top - Px(4)) / static_cast<int>(buttons_.size()));
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
      SetWindowPos(buttons_[i], HWND_TOP, Px(8), top + static_cast<int>(i) * row, std::max(0, w - Px(16)),
                   std::min(row, Px(20)), SWP_NOACTIVATE);
    }
  }
  void ApplyChecks() {
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
      const bool on = static_cast<int>(i) == group_.ItemIndex();
      SendMessageA(buttons_[i], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
  ui::TRadioGroup& group_;
  HWND frame_ = nullptr;
  std::vector<HWND> buttons_;
};

class TrackBarPeer final : public WinPeer {
 public:
  TrackBarPeer(ui::TTrackBar& bar, Win32Application& app) : WinPeer(bar, app), bar_(bar) {}
  void OnScroll(HWND /*from*/) override {
    if (syncing_) return;
    const auto position = static_cast<int>(SendMessageA(hwnd_, TBM_GETPOS, 0, 0));
    if (position != bar_.Position()) Guard([&] { bar_.UserSetPosition(position); });
  }

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild(TRACKBAR_CLASSA, TBS_HORZ | TBS_AUTOTICKS | TabStop(), 0, "");
  }
  void SyncAll() override {
    WinPeer::SyncAll();
    ApplyValue();
  }
  void ApplyText() override {}
  void Apply(Prop what, int index) override {
    if (what == Prop::Value) {
      ApplyValue();
      return;
    }
    WinPeer::Apply(what, index);
  }

 private:
  void ApplyValue() {
    SendMessageA(hwnd_, TBM_SETRANGEMIN, FALSE, bar_.Min());
    SendMessageA(hwnd_, TBM_SETRANGEMAX, FALSE, bar_.Max());
    SendMessageA(hwnd_, TBM_SETPOS, TRUE, bar_.Position());
  }
  ui::TTrackBar& bar_;
};

}  // namespace

std::unique_ptr<WinPeer> NewButtonPeer(ui::TControl& control, Win32Application& app) {
  return std::make_unique<ButtonPeer>(control, app);
}

std::unique_ptr<WinPeer> NewCheckBoxPeer(ui::TCheckBox& box, Win32Application& app) {
  return std::make_unique<CheckBoxPeer>(box, app);
}

std::unique_ptr<WinPeer> NewRadioGroupPeer(ui::TRadioGroup& group, Win32Application& app) {
  return std::make_unique<RadioGroupPeer>(group, app);
}

std::unique_ptr<WinPeer> NewTrackBarPeer(ui::TTrackBar& bar, Win32Application& app) {
  return std::make_unique<TrackBarPeer>(bar, app);
}

}  // namespace ui::win32
