// The base peer: the window procedures that hand messages to the peers,
// the window classes, tool tips and popup menus of every peer, and the
// choice of a peer for each control kind.
#include "toolkits/win32/Win32Peer.h"

#include "toolkits/DataOnly.h"

namespace ui::win32 {

// ------------------------------------------------------ window procedures

LRESULT CALLBACK SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto old = reinterpret_cast<WNDPROC>(GetPropA(h, kOldProcProp));
  if (old == nullptr) return DefWindowProcA(h, msg, wp, lp);
  if (WinPeer* peer = PeerOf(h)) {
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) peer->RelayToTip(h, msg, wp, lp);
    LRESULT result = 0;
    bool handled = false;
    Guard([&] { handled = peer->OnMessage(h, msg, wp, lp, result); });
    if (handled) return result;
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(h, kOldProcProp);
    RemovePropA(h, kPeerProp);
  }
  return CallWindowProcA(old, h, msg, wp, lp);
}

// Forms and containers: route the children's notifications to their peers.
LRESULT CALLBACK ContainerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  WinPeer* self = PeerOf(h);
  LRESULT result = 0;
  switch (msg) {
    case WM_COMMAND:
      if (lp != 0) {
        auto from = reinterpret_cast<HWND>(lp);
        WinPeer* peer = PeerOf(from);
        if (peer == nullptr) peer = self;
        if (peer != nullptr) Guard([&] { peer->OnCommand(from, HighWord(wp)); });
        return 0;
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      WinPeer* peer = header != nullptr ? PeerOf(header->hwndFrom) : nullptr;
      if (peer == nullptr) peer = self;
      bool handled = false;
      if (peer != nullptr && header != nullptr) Guard([&] { handled = peer->OnNotify(*header, result); });
      if (handled) return result;
      break;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (WinPeer* peer = PeerOf(item->hwndItem)) {
        Guard([&] { peer->OnDrawItem(*item); });
        return TRUE;
      }
      break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lp != 0) {
        auto from = reinterpret_cast<HWND>(lp);
        if (WinPeer* peer = PeerOf(from)) {
          Guard([&] { peer->OnScroll(from); });
          return 0;
        }
      }
      break;
    default: break;
  }
  if (self != nullptr) {
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) self->RelayToTip(h, msg, wp, lp);
    bool handled = false;
    Guard([&] { handled = self->OnMessage(h, msg, wp, lp, result); });
    if (handled) return result;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

void RegisterWindowClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&icc);

  HINSTANCE instance = GetModuleHandleA(nullptr);
  HICON icon = LoadIconA(instance, "MAINICON");
  if (icon == nullptr) icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION

  WNDCLASSEXA form{};
  form.cbSize = sizeof form;
  form.style = CS_DBLCLKS;
  form.lpfnWndProc = &ContainerProc;
  form.hInstance = instance;
  form.hIcon = icon;
  form.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  form.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form.lpszClassName = kFormClass;
  RegisterClassExA(&form);

  WNDCLASSEXA container = form;
  container.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  container.hIcon = nullptr;
  container.lpszClassName = kContainerClass;
  RegisterClassExA(&container);
}

std::unique_ptr<ui::ControlPeer> CreateWin32Peer(ui::TControl& control, Win32Application& app) {
  if (DataOnlyKind(control)) return nullptr;
  // A child of a control without a window has nowhere to go.
  if (control.Parent() != nullptr && NativeHandle(*control.Parent()) == 0) return nullptr;
  std::unique_ptr<WinPeer> peer;
  if (auto* form = dynamic_cast<ui::TCustomForm*>(&control)) {
    peer = NewFormPeer(*form, app);
  } else if (auto* list = dynamic_cast<ui::TCheckListBox*>(&control)) {
    peer = NewCheckListPeer(*list, app);
  } else if (auto* combo = dynamic_cast<ui::TComboBox*>(&control)) {
    peer = NewComboPeer(*combo, app);
  } else if (auto* box = dynamic_cast<ui::TCheckBox*>(&control)) {
    peer = NewCheckBoxPeer(*box, app);
  } else if (dynamic_cast<ui::TBitBtn*>(&control) != nullptr) {
    peer = NewButtonPeer(control, app);
  } else if (dynamic_cast<ui::TStatusBar*>(&control) != nullptr) {
    peer = NewStatusBarPeer(control, app);
  } else if (dynamic_cast<ui::TWinControl*>(&control) != nullptr) {
    peer = NewPanelPeer(control, app);
  } else {
    peer = NewLabelPeer(control, app);
  }
  peer->Build();
  return peer;
}

std::uintptr_t NativeHandle(const ui::TControl& control) {
  auto* peer = dynamic_cast<WinPeer*>(control.Peer());
  return peer != nullptr ? reinterpret_cast<std::uintptr_t>(peer->Hwnd()) : 0;
}

namespace {

// Functions of later systems, looked up so that the program still starts
// where they are missing.
template <class F>
F User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  if (dc == nullptr) return 96;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

int WindowDpi(HWND h) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && h != nullptr) {
    const UINT dpi = getDpiForWindow(h);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return ScreenDpi();
}

SIZE FrameSize(int dpi) {
  constexpr DWORD style = WS_OVERLAPPEDWINDOW;
  constexpr DWORD exStyle = WS_EX_CONTROLPARENT;
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
  RECT r{0, 0, 0, 0};
  if (adjustForDpi != nullptr && adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    return SIZE{r.right - r.left, r.bottom - r.top};
  }
  r = RECT{0, 0, 0, 0};
  if (!AdjustWindowRectEx(&r, style, FALSE, exStyle)) return SIZE{MulDiv(8, dpi, 96), MulDiv(42, dpi, 96)};
  // Earlier systems draw every frame at the screen's DPI.
  const int screen = ScreenDpi();
  return SIZE{MulDiv(r.right - r.left, dpi, screen), MulDiv(r.bottom - r.top, dpi, screen)};
}

void RefreshCursor() {
  POINT p;
  if (!GetCursorPos(&p)) return;
  HWND h = WindowFromPoint(p);
  if (h == nullptr || GetWindowThreadProcessId(h, nullptr) != GetCurrentThreadId()) return;
  SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

// ---------------------------------------------------------------- WinPeer

FormPeer* WinPeer::Form() const {
  ui::TCustomForm* form = control_.ParentForm();
  if (form == nullptr) return nullptr;
  return FormPeerOf(form->Peer());
}

int WinPeer::Dpi() const {
  FormPeer* form = Form();
  return form != nullptr ? FormDpi(*form) : 96;
}

HFONT WinPeer::Font() const {
  FormPeer* form = Form();
  return form != nullptr ? FormFont(*form) : nullptr;
}

// Runs from the destructor too, when the control is going away: it must
// not ask the layer anything.
void WinPeer::RemoveTools() {
  HWND tip = tipWindow_;
  if (tip != nullptr && IsWindow(tip)) {
    for (HWND h : tools_) {
      TTTOOLINFOA info{};
      info.cbSize = TTTOOLINFOA_V2_SIZE;
      info.hwnd = GetParent(h);
      info.uId = reinterpret_cast<UINT_PTR>(h);
      SendMessageA(tip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    }
  }
  tools_.clear();
}

void WinPeer::UpdateTool() {
  FormPeer* form = Form();
  // A form shows no tool tip of its own.
  if (form == nullptr || control_.ParentForm() == &control_ || FormTip(*form) == nullptr) return;
  RemoveTools();
  tipWindow_ = FormTip(*form);
  const std::string text = ToolText();
  if (text.empty()) return;
  for (HWND h : HintWindows()) {
    if (h == nullptr) continue;
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = GetParent(h);
    info.uId = reinterpret_cast<UINT_PTR>(h);
    info.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(tipWindow_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    tools_.push_back(h);
  }
}

void WinPeer::RelayToTip(HWND h, UINT msg, WPARAM wp, LPARAM lp) const {
  if (tools_.empty() || tipWindow_ == nullptr) return;
  MSG m{};
  m.hwnd = h;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  m.time = static_cast<DWORD>(GetMessageTime());
  const DWORD pos = GetMessagePos();
  m.pt.x = LowSigned(static_cast<LPARAM>(pos));
  m.pt.y = HighSigned(static_cast<LPARAM>(pos));
  SendMessageA(tipWindow_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
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

}  // namespace ui::win32
