// The base of every native peer: one window (or a small group of them) per
// control of the layer. Standard controls are subclassed so that their
// mouse and keyboard input reaches the peer; forms and panels have window
// classes of their own that route the notifications of their children to
// the children's peers. Internal to the Win32 toolkit; one file per control
// family holds the peers themselves.
#pragma once

#include "toolkits/Guard.h"
#include "toolkits/win32/Win32Peers.h"
#include "toolkits/win32/Win32Toolkit.h"

#include "platform/win32/WinApi.h"
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace ui::win32 {

using ui::Prop;

inline constexpr char kFormClass[] = "QuillanForm";
inline constexpr char kContainerClass[] = "QuillanContainer";
inline constexpr char kPeerProp[] = "QuillanPeer";
inline constexpr char kOldProcProp[] = "QuillanOldProc";

inline int g_nextControlId = 100;

class WinPeer;

inline WinPeer* PeerOf(HWND h) {
  return h != nullptr ? static_cast<WinPeer*>(GetPropA(h, kPeerProp)) : nullptr;
}

inline Win32Application* App() { return dynamic_cast<Win32Application*>(ui::Application()); }

using ui::Guard;

inline int LowSigned(LPARAM lp) { return static_cast<short>(static_cast<WORD>(static_cast<DWORD_PTR>(lp) & 0xFFFF)); }
inline int HighSigned(LPARAM lp) {
  return static_cast<short>(static_cast<WORD>((static_cast<DWORD_PTR>(lp) >> 16) & 0xFFFF));
}
inline WORD HighWord(WPARAM wp) { return static_cast<WORD>((wp >> 16) & 0xFFFF); }

inline std::string WindowText(HWND h) {
  const int length = GetWindowTextLengthA(h);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int n = GetWindowTextA(h, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(0, n)));
  return text;
}

inline void SetTextIfDifferent(HWND h, const std::string& text) {
  if (WindowText(h) != text) SetWindowTextA(h, text.c_str());
}

inline ui::TShiftState ShiftFrom(WPARAM wp) {
  ui::TShiftState s;
  s.bits = static_cast<unsigned>(wp & 0xFFFF);
  return s;
}

inline HCURSOR CursorFor(ui::TCursor c) {
  switch (c) {
    case ui::TCursor::crHourGlass: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));  // IDC_WAIT
    case ui::TCursor::crHandPoint: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
    case ui::TCursor::crArrow: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));      // IDC_ARROW
    case ui::TCursor::crDefault: break;
  }
  return nullptr;
}

LRESULT CALLBACK SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK ContainerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

class FormPeer;

class WinPeer : public ui::ControlPeer {
 public:
  WinPeer(ui::TControl& control, Win32Application& app) : control_(control), app_(app) {}
  ~WinPeer() override { DestroyNative(); }
  WinPeer(const WinPeer&) = delete;
  WinPeer& operator=(const WinPeer&) = delete;

  void Changed(Prop what, int index) final {
    if (hwnd_ == nullptr) return;
    const bool was = syncing_;
    syncing_ = true;
    Apply(what, index);
    syncing_ = was;
  }

  HWND Hwnd() const { return hwnd_; }
  ui::TControl& Control() const { return control_; }

  // Builds the native window(s) and mirrors the whole state into them.
  void Build() {
    const bool was = syncing_;
    syncing_ = true;
    CreateNative();
    SyncAll();
    syncing_ = was;
  }

  // A message for one of the peer's own windows; true when handled.
  virtual bool OnMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    return CommonMessage(h, msg, wp, lp, result);
  }
  // Notifications that the peer's windows send to their parent.
  virtual void OnCommand(HWND /*from*/, WORD /*code*/) {}
  virtual bool OnNotify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
  virtual void OnDrawItem(const DRAWITEMSTRUCT& /*item*/) {}
  virtual void OnScroll(HWND /*from*/) {}

  // The form's DPI moved: the peer's pixel sizes follow it.
  void Rescale() {
    if (hwnd_ == nullptr) return;
    const bool was = syncing_;
    syncing_ = true;
    DpiChanged();
    syncing_ = was;
  }

  // The DPI the form's window is drawn at; the layer's sizes are pixels at 96.
  virtual int Dpi() const;
  int Px(int layer) const { return MulDiv(layer, Dpi(), 96); }
  int Layer(int px) const { return MulDiv(px, 96, Dpi()); }

  // Relays mouse input to the form's tool tips.
  void RelayToTip(HWND h, UINT msg, WPARAM wp, LPARAM lp) const;

 protected:
  virtual void CreateNative() = 0;
  virtual void DpiChanged() { ApplyBounds(); }
  virtual void SyncAll() {
    ApplyBounds();
    ApplyText();
    UpdateTool();
    EnableWindow(hwnd_, control_.Enabled() ? TRUE : FALSE);
    ReorderSiblings();
  }
  virtual void Apply(Prop what, int /*index*/) {
    switch (what) {
      case Prop::Bounds: ApplyBounds(); break;
      case Prop::Text: ApplyText(); break;
      case Prop::Hint: UpdateTool(); break;
      case Prop::Enabled:
        EnableWindow(hwnd_, control_.Enabled() ? TRUE : FALSE);
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
      case Prop::Visible: ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE); break;
      case Prop::TabOrder: ReorderSiblings(); break;
      case Prop::Focus: FocusNative(); break;
      default: break;
    }
  }
  virtual void ApplyBounds() {
    SetWindowPos(hwnd_, nullptr, Px(control_.Left()), Px(control_.Top()), Px(std::max(0, control_.Width())),
                 Px(std::max(0, control_.Height())), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  virtual void ApplyText() { SetTextIfDifferent(hwnd_, control_.Text()); }
  virtual void FocusNative() {
    HWND root = GetAncestor(hwnd_, GA_ROOT);
    if (root != nullptr && IsWindowVisible(root)) SetFocus(FocusTarget());
  }
  virtual HWND FocusTarget() const { return hwnd_; }
  // Further windows that show the same hint (parts of a compound control).
  virtual std::vector<HWND> HintWindows() const { return {hwnd_}; }
  // What the tool tip says now; a list's entries may each have their own.
  virtual std::string ToolText() const { return control_.Hint(); }

  HWND ParentHwnd() const {
    ui::TWinControl* parent = control_.Parent();
    return parent != nullptr ? reinterpret_cast<HWND>(NativeHandle(*parent)) : nullptr;
  }
  HFONT Font() const;
  FormPeer* Form() const;

  // Creates a child window at the control's place and makes it ours.
  HWND CreateChild(const char* className, DWORD style, DWORD exStyle, const char* text,
                   HWND parent = nullptr, bool subclass = true) {
    if (parent == nullptr) parent = ParentHwnd();
    if (control_.Visible()) style |= WS_VISIBLE;
    const auto id = static_cast<UINT_PTR>(g_nextControlId++);
    HWND h = CreateWindowExA(exStyle, className, text, WS_CHILD | style, Px(control_.Left()),
                             Px(control_.Top()), Px(std::max(0, control_.Width())),
                             Px(std::max(0, control_.Height())), parent, reinterpret_cast<HMENU>(id),
                             GetModuleHandleA(nullptr), nullptr);
    if (h == nullptr) return nullptr;
    Adopt(h, subclass);
    if (HFONT f = Font()) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
    return h;
  }
  // Ties a window to this peer; standard controls also get our procedure.
  void Adopt(HWND h, bool subclass) {
    SetPropA(h, kPeerProp, this);
    owned_.push_back(h);
    if (subclass) {
      auto old = reinterpret_cast<HANDLE>(GetWindowLongPtrA(h, GWLP_WNDPROC));
      SetPropA(h, kOldProcProp, old);
      SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
    }
  }
  void DestroyNative() {
    for (HWND h : owned_) RemovePropA(h, kPeerProp);
    RemoveTools();
    owned_.clear();
    if (hwnd_ != nullptr && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  void Recreate() {
    DestroyNative();
    Build();
  }

  // Input common to every control: pointer movement, the busy or the
  // control's own pointer shape, the popup menu.
  bool CommonMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
      case WM_MOUSEMOVE: {
        POINT p{LowSigned(lp), HighSigned(lp)};
        if (h != hwnd_) MapWindowPoints(h, hwnd_, &p, 1);
        const ui::TShiftState shift = ShiftFrom(wp);
        const int x = Layer(p.x);
        const int y = Layer(p.y);
        Guard([&] { control_.UserMouseMove(x, y, shift); });
        return false;
      }
      case WM_SETCURSOR: {
        if (LOWORD(lp) != HTCLIENT) return false;
        HCURSOR c = nullptr;
        if (app_.Cursor() != ui::TCursor::crDefault) {
          c = CursorFor(app_.Cursor());
        } else if (control_.Cursor() != ui::TCursor::crDefault) {
          c = CursorFor(control_.Cursor());
        }
        if (c == nullptr) return false;
        SetCursor(c);
        result = TRUE;
        return true;
      }
      case WM_CONTEXTMENU:
        if (control_.PopupMenu() != nullptr) {
          ShowPopup(LowSigned(lp), HighSigned(lp));
          result = 0;
          return true;
        }
        return false;
      default: return false;
    }
  }

  void ShowPopup(int x, int y);

  void UpdateTool();
  void RemoveTools();

  // Z order follows the tab order so that Tab walks the controls as the
  // layer numbers them; controls without a tab stop go last.
  void ReorderSiblings() {
    ui::TWinControl* parent = control_.Parent();
    if (parent == nullptr) return;
    std::vector<ui::TControl*> children = parent->Controls();
    std::stable_sort(children.begin(), children.end(), [](ui::TControl* a, ui::TControl* b) {
      const int ka = a->TabOrder() < 0 ? 1 << 30 : a->TabOrder();
      const int kb = b->TabOrder() < 0 ? 1 << 30 : b->TabOrder();
      return ka < kb;
    });
    HWND after = HWND_TOP;
    for (ui::TControl* c : children) {
      // This control's peer is not attached yet while it is being built.
      HWND h = c == &control_ ? hwnd_ : reinterpret_cast<HWND>(NativeHandle(*c));
      if (h == nullptr) continue;
      SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = h;
    }
  }

  DWORD TabStop() const { return control_.TabOrder() >= 0 ? WS_TABSTOP : 0; }

  ui::TControl& control_;
  Win32Application& app_;
  HWND hwnd_ = nullptr;
  std::vector<HWND> owned_;
  std::vector<HWND> tools_;
  HWND tipWindow_ = nullptr;  // the form's tool-tip window holding tools_
  bool syncing_ = false;  // mirroring state: native notifications are ours, not the user's
};

// The DPI of a window: GetDpiForWindow where the system has it (Windows 10
// 1607 on), else the screen's, which is what earlier systems draw at.
int WindowDpi(HWND h);
// Size of a form window's frame (outer less client size) at a DPI.
SIZE FrameSize(int dpi);

inline HWND AsHwnd(std::uintptr_t h) { return reinterpret_cast<HWND>(h); }

// Text of the layer (the system's code page) for the wide functions.
std::wstring Wide(const std::string& ansi);
// `text` as drawn in `width` pixels with the DC's font: whole where it fits,
// else its start and end around a "\u2026" (the start one character longer).
std::wstring MiddleElided(HDC dc, const std::wstring& text, int width);

// The main form's window, owner of the message boxes and dialogs.
HWND MainFormWindow();

// What every peer asks of its form's peer (in Win32Form.cpp).
FormPeer* FormPeerOf(ui::ControlPeer* peer);
int FormDpi(const FormPeer& form);
HFONT FormFont(const FormPeer& form);
HWND FormTip(const FormPeer& form);

// One maker per peer kind, each in the file of its control family.
std::unique_ptr<WinPeer> NewFormPeer(ui::TCustomForm& form, Win32Application& app);
std::unique_ptr<WinPeer> NewPanelPeer(ui::TControl& control, Win32Application& app);
std::unique_ptr<WinPeer> NewLabelPeer(ui::TControl& control, Win32Application& app);
std::unique_ptr<WinPeer> NewButtonPeer(ui::TControl& control, Win32Application& app);
std::unique_ptr<WinPeer> NewCheckBoxPeer(ui::TCheckBox& box, Win32Application& app);
std::unique_ptr<WinPeer> NewComboPeer(ui::TComboBox& combo, Win32Application& app);
std::unique_ptr<WinPeer> NewCheckListPeer(ui::TCheckListBox& list, Win32Application& app);
std::unique_ptr<WinPeer> NewStatusBarPeer(ui::TControl& control, Win32Application& app);

}  // namespace ui::win32
