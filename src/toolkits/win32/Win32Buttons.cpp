// Push buttons and check boxes.
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

}  // namespace

std::unique_ptr<WinPeer> NewButtonPeer(ui::TControl& control, Win32Application& app) {
  return std::make_unique<ButtonPeer>(control, app);
}

std::unique_ptr<WinPeer> NewCheckBoxPeer(ui::TCheckBox& box, Win32Application& app) {
  return std::make_unique<CheckBoxPeer>(box, app);
}

}  // namespace ui::win32
