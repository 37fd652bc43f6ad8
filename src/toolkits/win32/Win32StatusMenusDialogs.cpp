// The status bar, the popup menus and the dialogs (message box, open file).
#include "toolkits/win32/Win32Window.h"

#include <commdlg.h>

namespace win32ui {

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

// "A|B|C|D" becomes "A\0B\0C\0D\0\0", the form the dialog takes.
std::string FilterList(const std::string& filter) {
  std::string list = filter;
  for (char& c : list) {
    if (c == '|') c = '\0';
  }
  list.push_back('\0');
  list.push_back('\0');
  return list;
}

}  // namespace

std::unique_ptr<WinPeer> NewStatusBarPeer(ui::TControl& control, Win32Application& app) {
  return std::make_unique<StatusBarPeer>(control, app);
}

void WinPeer::ShowPopup(int x, int y) {
  ui::TPopupMenu* menu = control_.PopupMenu();
  if (x == -1 && y == -1) {  // from the keyboard: at the control's corner
    POINT p{0, 0};
    ClientToScreen(hwnd_, &p);
    x = p.x;
    y = p.y;
  }
  HMENU popup = CreatePopupMenu();
  const auto& items = menu->Items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    AppendMenuA(popup, MF_STRING, i + 1, items[i]->Caption().c_str());
  }
  HWND owner = GetAncestor(hwnd_, GA_ROOT);
  const BOOL chosen =
      TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr);
  DestroyMenu(popup);
  if (chosen > 0 && static_cast<std::size_t>(chosen) <= items.size()) {
    ui::TMenuItem* item = items[static_cast<std::size_t>(chosen) - 1];
    Guard([&] { item->UserClick(); });
  }
}

int Win32Application::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  HWND owner = MainFormWindow();
  if (owner == nullptr || !IsWindowVisible(owner)) owner = AsHwnd(handle_);
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

bool Win32Application::ExecuteOpenDialog(ui::TOpenDialog& dialog) {
  std::vector<char> file(MAX_PATH * 4, '\0');
  dialog.FileName.copy(file.data(), std::min(dialog.FileName.size(), file.size() - 1));
  const std::string filter = FilterList(dialog.Filter);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = MainFormWindow();
  ofn.lpstrFilter = dialog.Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = dialog.InitialDir.empty() ? nullptr : dialog.InitialDir.c_str();
  ofn.lpstrDefExt = dialog.DefaultExt.empty() ? nullptr : dialog.DefaultExt.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!GetOpenFileNameA(&ofn)) return false;
  dialog.FileName = file.data();
  return true;
}

}  // namespace win32ui
