// The application object of the Win32 toolkit: the hidden application
// window and the event loop.
#include "toolkits/win32/Win32Toolkit.h"

#include "platform/win32/WinApi.h"
#include <commdlg.h>
#include <objbase.h>

#include <exception>
#include <vector>

#include "platform/win32/Win32Platform.h"
#include "toolkits/win32/Win32Peer.h"

namespace ui::win32 {

namespace {

constexpr char kApplicationClass[] = "TApplication";

}  // namespace

HWND MainFormWindow() {
  ui::TApplication* app = ui::Application();
  if (app == nullptr || app->MainForm() == nullptr) return nullptr;
  return AsHwnd(NativeHandle(*app->MainForm()));
}

namespace {

// A second instance shows and raises this window: hand that on to the
// main form, which is what the user wants to see.
void BringMainFormForward() {
  HWND form = MainFormWindow();
  if (form == nullptr || !IsWindowVisible(form)) return;
  if (IsIconic(form)) ShowWindow(form, SW_RESTORE);
  SetForegroundWindow(form);
}

LRESULT CALLBACK ApplicationProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SHOWWINDOW:
      if (wp != 0) PostMessageA(h, WM_APP, 0, 0);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) PostMessageA(h, WM_APP, 0, 0);
      break;
    case WM_APP:
      // It only stands in for the main form; it never stays visible itself.
      if (IsWindowVisible(h)) ShowWindow(h, SW_HIDE);
      BringMainFormForward();
      return 0;
    case WM_CLOSE:
      if (HWND form = MainFormWindow()) PostMessageA(form, WM_CLOSE, 0, 0);
      return 0;
    default: break;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

}  // namespace

Win32Application::Win32Application() {
  // A single-threaded apartment, as GUI threads have: screen readers' calls
  // into the window's accessible objects arrive through it.
  comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  RegisterWindowClasses();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = &ApplicationProc;
  cls.hInstance = instance;
  cls.hIcon = LoadIconA(instance, "MAINICON");
  cls.lpszClassName = kApplicationClass;
  RegisterClassExA(&cls);

  // In the layer's units: pixels at 96 DPI.
  const SIZE frame = FrameSize(96);
  frameWidth_ = static_cast<int>(frame.cx);
  frameHeight_ = static_cast<int>(frame.cy);

  // Zero-sized, so that showing it (as a second instance does) shows nothing.
  HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, kApplicationClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           instance, nullptr);
  handle_ = reinterpret_cast<std::uintptr_t>(h);
  platform::win32::SetOwnApplicationWindow(handle_);
}

Win32Application::~Win32Application() {
  platform::win32::SetOwnApplicationWindow(0);
  if (handle_ != 0) DestroyWindow(AsHwnd(handle_));
  if (comInitialized_) CoUninitialize();
}

void Win32Application::TitleChanged() {
  if (handle_ != 0) SetWindowTextA(AsHwnd(handle_), Title().c_str());
}

void Win32Application::CursorChanged() {
  if (Cursor() == ui::TCursor::crHourGlass) {
    ::SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
  } else {
    ::SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
    RefreshCursor();
  }
}

std::unique_ptr<ui::ControlPeer> Win32Application::CreatePeer(ui::TControl& control) {
  return CreateWin32Peer(control, *this);
}

void Win32Application::FormVisibilityChanged(ui::TCustomForm& form) {
  HWND h = AsHwnd(NativeHandle(form));
  if (h == nullptr || !form.Showing()) return;
  SetForegroundWindow(h);
  form.Peer()->Changed(ui::Prop::Focus, -1);
}

namespace {

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM out) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) reinterpret_cast<std::vector<RECT>*>(out)->push_back(info.rcWork);
  return TRUE;
}

// Device pixels to the layer's, rounded towards the inside of an area.
int ToLayer(LONG px, int dpi, bool up) {
  const long long n = static_cast<long long>(px) * 96;
  const long long down = n >= 0 ? n / dpi : -((-n + dpi - 1) / dpi);
  return static_cast<int>(up && down * dpi != n ? down + 1 : down);
}

}  // namespace

std::vector<ui::TRect> Win32Application::WorkAreas() const {
  std::vector<RECT> native;
  EnumDisplayMonitors(nullptr, nullptr, &AddWorkArea, reinterpret_cast<LPARAM>(&native));
  RECT primary;
  if (native.empty() && SystemParametersInfoA(SPI_GETWORKAREA, 0, &primary, 0)) native.push_back(primary);
  // The layer places the window in 96-DPI pixels scaled by the form's DPI
  // (the saved placement stays in those units), so the areas are given so.
  HWND form = MainFormWindow();
  WinPeer* peer = PeerOf(form);
  const int dpi = peer != nullptr ? peer->Dpi() : WindowDpi(form);
  // The frame drawn at this DPI may exceed the scaled 96-DPI one.
  const SIZE frame = FrameSize(dpi);
  const int extraWidth = std::max(0, ToLayer(frame.cx, dpi, true) - frameWidth_);
  const int extraHeight = std::max(0, ToLayer(frame.cy, dpi, true) - frameHeight_);
  std::vector<ui::TRect> areas;
  for (const RECT& r : native) {
    const int left = ToLayer(r.left, dpi, true);
    const int top = ToLayer(r.top, dpi, true);
    areas.push_back({left, top, std::max(0, ToLayer(r.right, dpi, false) - left - extraWidth),
                     std::max(0, ToLayer(r.bottom, dpi, false) - top - extraHeight)});
  }
  return areas;
}

bool Win32Application::HandleMessage() {
  MSG msg;
  const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    terminated_ = true;
    return false;
  }
  if (!PreTranslate(&msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return !terminated_;
}

void Win32Application::Run() {
  if (MainForm() != nullptr) MainForm()->Show();
  while (!terminated_ && HandleMessage()) {
  }
}

void Win32Application::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
      return;
    }
    if (!PreTranslate(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void Win32Application::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void Win32Application::HandleException() noexcept {
  std::string text = "Unknown error";
  try {
    throw;
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
  }
  HWND owner = MainFormWindow();
  if (owner == nullptr || !IsWindowVisible(owner)) owner = AsHwnd(handle_);
  MessageBoxA(owner, text.c_str(), Title().c_str(), MB_OK | MB_ICONERROR);
}

namespace {

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

}  // namespace ui::win32
