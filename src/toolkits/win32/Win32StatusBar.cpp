// The status bar: one simple panel.
#include "toolkits/win32/Win32Peer.h"

namespace ui::win32 {

namespace {

// ------------------------------------------------------------- status bar

class StatusBarPeer final : public WinPeer {
 public:
  using WinPeer::WinPeer;
  bool OnNotify(const NMHDR& header, LRESULT& result) override {
    if (header.code == static_cast<UINT>(NM_CLICK)) {
      Guard([&] { control_.UserClick(); });
      result = 0;
      return true;
    }
    return false;
  }

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild(STATUSCLASSNAMEA, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0, "");
    SendMessageA(hwnd_, SB_SIMPLE, TRUE, 0);
  }
  void ApplyText() override {
    SendMessageA(hwnd_, SB_SETTEXTA, 255 /* SB_SIMPLEID */, reinterpret_cast<LPARAM>(control_.Text().c_str()));
  }
  void FocusNative() override {}
};

}  // namespace

std::unique_ptr<WinPeer> NewStatusBarPeer(ui::TControl& control, Win32Application& app) {
  return std::make_unique<StatusBarPeer>(control, app);
}

}  // namespace ui::win32
