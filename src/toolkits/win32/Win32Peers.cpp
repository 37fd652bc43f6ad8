// One native window (or a small group of them) per control of the layer.
// Standard controls are subclassed so that their mouse and keyboard input
// reaches the peer; forms and panels have window classes of their own that
// route the notifications of their children to the children's peers.
#include "toolkits/win32/Win32Peers.h"

#include "platform/win32/WinApi.h"
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "toolkits/win32/Win32Toolkit.h"

namespace win32ui {

namespace {

using ui::Prop;

constexpr char kFormClass[] = "QuillanForm";
constexpr char kContainerClass[] = "QuillanContainer";
constexpr char kPeerProp[] = "QuillanPeer";
constexpr char kOldProcProp[] = "QuillanOldProc";
// Width of an entry's check-mark area in the check-list box, box included.
constexpr int kCheckAreaWidth = 15;
constexpr int kCheckBoxSize = 13;
// Extra height of a drop-down combo's window for its list.
constexpr int kDropDownItems = 8;

int g_nextControlId = 100;

class WinPeer;

WinPeer* PeerOf(HWND h) {
  return h != nullptr ? static_cast<WinPeer*>(GetPropA(h, kPeerProp)) : nullptr;
}

Win32Application* App() { return dynamic_cast<Win32Application*>(ui::Application()); }

// Every call from a window procedure into the layer goes through here:
// an exception must not unwind through the system's frames.
template <class F>
void Guard(F&& f) noexcept {
  try {
    f();
  } catch (...) {
    if (Win32Application* app = App()) app->HandleException();
  }
}

int LowSigned(LPARAM lp) { return static_cast<short>(static_cast<WORD>(static_cast<DWORD_PTR>(lp) & 0xFFFF)); }
int HighSigned(LPARAM lp) {
  return static_cast<short>(static_cast<WORD>((static_cast<DWORD_PTR>(lp) >> 16) & 0xFFFF));
}
WORD HighWord(WPARAM wp) { return static_cast<WORD>((wp >> 16) & 0xFFFF); }

std::string WindowText(HWND h) {
  const int length = GetWindowTextLengthA(h);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int n = GetWindowTextA(h, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(0, n)));
  return text;
}

void SetTextIfDifferent(HWND h, const std::string& text) {
  if (WindowText(h) != text) SetWindowTextA(h, text.c_str());
}

ui::TShiftState ShiftFrom(WPARAM wp) {
  ui::TShiftState s;
  s.bits = static_cast<unsigned>(wp & 0xFFFF);
  return s;
}

HCURSOR CursorFor(ui::TCursor c) {
  switch (c) {
    case ui::TCursor::crHourGlass: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));  // IDC_WAIT
    case ui::TCursor::crHandPoint: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
    case ui::TCursor::crArrow: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));      // IDC_ARROW
    case ui::TCursor::crDefault: break;
  }
  return nullptr;
}

LRESULT CALLBACK SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

// The form's smallest client area as the smallest window the user can drag.
void LimitTrackSize(HWND h, const ui::TCustomForm& form, MINMAXINFO& info) {
  RECT r{0, 0, form.MinClientWidth(), form.MinClientHeight()};
  if (r.right <= 0 && r.bottom <= 0) return;
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE)));
  info.ptMinTrackSize.x = std::max(info.ptMinTrackSize.x, r.right - r.left);
  info.ptMinTrackSize.y = std::max(info.ptMinTrackSize.y, r.bottom - r.top);
}

BOOL CALLBACK SetFontOf(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

LRESULT CALLBACK ContainerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

class FormPeer;

// ------------------------------------------------------------------ base

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

  // Relays mouse input to the form's tool tips.
  void RelayToTip(HWND h, UINT msg, WPARAM wp, LPARAM lp) const;

 protected:
  virtual void CreateNative() = 0;
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
    SetWindowPos(hwnd_, nullptr, control_.Left(), control_.Top(), std::max(0, control_.Width()),
                 std::max(0, control_.Height()), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  virtual void ApplyText() { SetTextIfDifferent(hwnd_, control_.Text()); }
  virtual void FocusNative() {
    HWND root = GetAncestor(hwnd_, GA_ROOT);
    if (root != nullptr && IsWindowVisible(root)) SetFocus(FocusTarget());
  }
  virtual HWND FocusTarget() const { return hwnd_; }
  // Further windows that show the same hint (parts of a compound control).
  virtual std::vector<HWND> HintWindows() const { return {hwnd_}; }

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
    HWND h = CreateWindowExA(exStyle, className, text, WS_CHILD | style, control_.Left(),
                             control_.Top(), std::max(0, control_.Width()),
                             std::max(0, control_.Height()), parent, reinterpret_cast<HMENU>(id),
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
        Guard([&] { control_.UserMouseMove(p.x, p.y, shift); });
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

  void ShowPopup(int x, int y) {
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

// ------------------------------------------------------------------ form

class FormPeer final : public WinPeer {
 public:
  FormPeer(ui::TCustomForm& form, Win32Application& app) : WinPeer(form, app), form_(form) {}
  ~FormPeer() override {
    if (tip_ != nullptr) DestroyWindow(tip_);
    if (font_ != nullptr) DeleteObject(font_);
  }
  FormPeer(const FormPeer&) = delete;
  FormPeer& operator=(const FormPeer&) = delete;

  HFONT FontHandle() const { return font_; }
  HWND Tip() const { return tip_; }

  bool OnMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    switch (msg) {
      case WM_CLOSE:
        Guard([&] { form_.UserClose(); });
        result = 0;
        return true;
      case WM_SIZE:
        if (!syncing_ && wp != SIZE_MINIMIZED) {
          const int w = LOWORD(lp);
          const int hgt = HIWORD(lp);
          Guard([&] { form_.UserResized(w, hgt); });
        }
        return false;
      case WM_MOVE:
        if (!syncing_ && !IsIconic(hwnd_)) {
          RECT r;
          GetWindowRect(hwnd_, &r);
          Guard([&] { form_.UserMoved(r.left, r.top); });
        }
        return false;
      case WM_GETMINMAXINFO:
        LimitTrackSize(h, form_, *reinterpret_cast<MINMAXINFO*>(lp));
        result = 0;
        return true;
      case WM_ACTIVATE:
        // Give the focus back to the control that had it, as dialogs do.
        if (LOWORD(wp) == WA_INACTIVE) {
          HWND f = GetFocus();
          if (f != nullptr && IsChild(hwnd_, f)) lastFocus_ = f;
        } else if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_)) {
          SetFocus(lastFocus_);
          result = 0;
          return true;
        }
        return false;
      default: return CommonMessage(h, msg, wp, lp, result);
    }
  }

  // Focus for a form just shown: its active control, else the first tab stop.
  void FocusFirst() {
    HWND target = nullptr;
    if (ui::TWinControl* active = form_.ActiveControl()) {
      target = reinterpret_cast<HWND>(NativeHandle(*active));
    }
    if (target == nullptr) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (target != nullptr) SetFocus(target);
  }

 protected:
  void CreateNative() override {
    MakeFont();
    int x = form_.Left();
    int y = form_.Top();
    if (form_.Position() == ui::TPosition::poDefault || form_.Position() == ui::TPosition::poDefaultPosOnly) {
      x = CW_USEDEFAULT;
      y = CW_USEDEFAULT;
    }
    hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, kFormClass, form_.Text().c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, std::max(0, form_.Width()),
                            std::max(0, form_.Height()), nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (hwnd_ == nullptr) return;
    Adopt(hwnd_, false);
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    tip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    if (form_.Position() == ui::TPosition::poScreenCenter) CenterOnScreen();
  }

  void SyncAll() override {
    ApplyText();
    EnableWindow(hwnd_, form_.Enabled() ? TRUE : FALSE);
  }

  void Apply(Prop what, int index) override {
    switch (what) {
      case Prop::Visible:
        ShowWindow(hwnd_, form_.Showing() ? SW_SHOW : SW_HIDE);
        break;
      case Prop::Font:
        MakeFont();
        SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        EnumChildWindows(hwnd_, &SetFontOf, reinterpret_cast<LPARAM>(font_));
        break;
      case Prop::Focus: FocusFirst(); break;
      case Prop::TabOrder: break;
      default: WinPeer::Apply(what, index); break;
    }
  }

  void ApplyBounds() override {
    // A minimised or maximised window keeps its place; the layer's numbers
    // only follow it.
    if (IsIconic(hwnd_) || IsZoomed(hwnd_)) return;
    RECT r;
    GetWindowRect(hwnd_, &r);
    if (r.left == form_.Left() && r.top == form_.Top() && r.right - r.left == form_.Width() &&
        r.bottom - r.top == form_.Height()) {
      return;
    }
    SetWindowPos(hwnd_, nullptr, form_.Left(), form_.Top(), std::max(0, form_.Width()),
                 std::max(0, form_.Height()), SWP_NOZORDER | SWP_NOACTIVATE);
  }

 private:
  void MakeFont() {
    if (font_ != nullptr) DeleteObject(font_);
    // A negative height asks for the character height, as the layer means it.
    font_ = CreateFontA(-form_.FontHeight(), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        form_.FontName().c_str());
  }
  void CenterOnScreen() {
    const int x = (GetSystemMetrics(SM_CXSCREEN) - form_.Width()) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - form_.Height()) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(hwnd_, &r);
    const bool was = syncing_;
    syncing_ = false;
    Guard([&] { form_.UserMoved(r.left, r.top); });
    syncing_ = was;
  }

  ui::TCustomForm& form_;
  HFONT font_ = nullptr;
  HWND tip_ = nullptr;
  HWND lastFocus_ = nullptr;
};

FormPeer* WinPeer::Form() const {
  ui::TCustomForm* form = control_.ParentForm();
  if (form == nullptr) return nullptr;
  return dynamic_cast<FormPeer*>(form->Peer());
}

HFONT WinPeer::Font() const {
  FormPeer* form = Form();
  return form != nullptr ? form->FontHandle() : nullptr;
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
  if (form == nullptr || form == this || form->Tip() == nullptr) return;
  RemoveTools();
  tipWindow_ = form->Tip();
  if (control_.Hint().empty()) return;
  for (HWND h : HintWindows()) {
    if (h == nullptr) continue;
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = GetParent(h);
    info.uId = reinterpret_cast<UINT_PTR>(h);
    info.lpszText = const_cast<char*>(control_.Hint().c_str());
    SendMessageA(form->Tip(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
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

// ----------------------------------------------------------- containers

// Panels and other containers: our own class, painting the caption.
class PanelPeer : public WinPeer {
 public:
  using WinPeer::WinPeer;

  bool OnMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    switch (msg) {
      case WM_PAINT: Paint(); result = 0; return true;
      case WM_SETFONT: font_ = reinterpret_cast<HFONT>(wp); return false;
      default: return CommonMessage(h, msg, wp, lp, result);
    }
  }

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild(kContainerClass, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, "", nullptr,
                        false);
    font_ = Font();
  }
  void ApplyText() override { InvalidateRect(hwnd_, nullptr, TRUE); }
  void Apply(Prop what, int index) override {
    if (what == Prop::Style) {
      InvalidateRect(hwnd_, nullptr, TRUE);
      return;
    }
    WinPeer::Apply(what, index);
  }
  void FocusNative() override {}

  void Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT r;
    GetClientRect(hwnd_, &r);
    auto* panel = dynamic_cast<ui::TPanel*>(&control_);
    if (panel != nullptr && panel->Bevel()) {
      DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    }
    const std::string& text = control_.Text();
    if (!text.empty()) {
      HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(control_.Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
      UINT align = DT_CENTER;
      if (panel != nullptr && panel->Alignment() == ui::TAlignment::taLeftJustify) align = DT_LEFT;
      if (panel != nullptr && panel->Alignment() == ui::TAlignment::taRightJustify) align = DT_RIGHT;
      DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
                align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_EXPANDTABS);
      if (oldFont != nullptr) SelectObject(dc, oldFont);
    }
    EndPaint(hwnd_, &ps);
  }

  HFONT font_ = nullptr;
};

// --------------------------------------------------------- simple kinds

class LabelPeer final : public WinPeer {
 public:
  using WinPeer::WinPeer;

 protected:
  void CreateNative() override {
    const std::string text = control_.Text();
    const bool splitter = dynamic_cast<ui::TSplitter*>(&control_) != nullptr;
    hwnd_ = CreateChild("STATIC", splitter ? static_cast<DWORD>(SS_ETCHEDFRAME) : static_cast<DWORD>(SS_LEFT | SS_NOTIFY),
                        0, text.c_str());
  }
  void FocusNative() override {}
  // Labels size themselves to their text, at least to the layer's width, so
  // that a status text longer than the designed space is not cut off.
  void ApplyBounds() override {
    int width = std::max(0, control_.Width());
    const std::string& text = control_.Text();
    if (dynamic_cast<ui::TLabel*>(&control_) != nullptr && !text.empty()) {
      HDC dc = GetDC(hwnd_);
      HGDIOBJ old = SelectObject(dc, Font() != nullptr ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
      SIZE size{};
      GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
      SelectObject(dc, old);
      ReleaseDC(hwnd_, dc);
      width = std::max(width, static_cast<int>(size.cx) + 1);
    }
    SetWindowPos(hwnd_, nullptr, control_.Left(), control_.Top(), width, std::max(0, control_.Height()),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void ApplyText() override {
    ApplyBounds();  // wide enough first, so the new text is not wrapped
    WinPeer::ApplyText();
  }
};

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
    SetWindowPos(hwnd_, nullptr, combo_.Left(), combo_.Top(), std::max(0, combo_.Width()),
                 std::max(0, combo_.Height()) + listHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  std::vector<HWND> HintWindows() const override {
    std::vector<HWND> windows{hwnd_};
    if (edit_ != nullptr) windows.push_back(edit_);
    return windows;
  }

 private:
  void ApplyItemHeight() {
    SendMessageA(hwnd_, CB_SETITEMHEIGHT, 0, combo_.ItemHeight());
    // The edit field gets the control's height less the frame.
    if (combo_.Height() > 6) SendMessageA(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), combo_.Height() - 6);
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

// ---------------------------------------------------------- check-list box

// An owner-drawn list box: the layer keeps the entries in their order, the
// list box only holds them at the indexes it is told (it never sorts).
class CheckListPeer final : public WinPeer {
 public:
  CheckListPeer(ui::TCheckListBox& list, Win32Application& app) : WinPeer(list, app), list_(list) {}

  std::optional<int> ItemAtPos(int x, int y) const override {
    if (hwnd_ == nullptr) return std::nullopt;
    return ItemAt(x, y);
  }

  bool OnMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    switch (msg) {
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK: {
        // The clicks are decided here, so that the list box neither sorts,
        // drags nor selects behind the layer's back.
        SetFocus(hwnd_);
        const int x = LowSigned(lp);
        const int y = HighSigned(lp);
        const int index = ItemAt(x, y);
        if (index >= 0) {
          RECT r{};
          SendMessageA(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
          if (x - r.left < kCheckAreaWidth) {
            Guard([&] { list_.UserClickCheckBox(index); });
          } else {
            Guard([&] { list_.UserClickItem(index); });
          }
        }
        result = 0;
        return true;
      }
      case WM_KEYDOWN:
        if (wp == VK_SPACE) {
          Guard([&] { list_.UserPressSpace(); });
          result = 0;
          return true;
        }
        return AfterDefault(h, msg, wp, lp, result);
      case WM_CHAR:
        if (wp == ' ') {
          result = 0;
          return true;
        }
        return AfterDefault(h, msg, wp, lp, result);
      case WM_SIZE: {
        result = CallWindowProcA(reinterpret_cast<WNDPROC>(GetPropA(h, kOldProcProp)), h, msg, wp, lp);
        ApplyColumnWidth();
        return true;
      }
      default: return CommonMessage(h, msg, wp, lp, result);
    }
  }

  void OnDrawItem(const DRAWITEMSTRUCT& d) override {
    HDC dc = d.hDC;
    RECT r = d.rcItem;
    const bool hasItem = d.itemID != static_cast<UINT>(-1) && static_cast<int>(d.itemID) < list_.Count();
    if (!hasItem) {
      FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
      if ((d.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &r);
      return;
    }
    const auto& item = list_.At(static_cast<int>(d.itemID));
    const bool enabled = item.enabled && list_.Enabled();
    const bool selected = (d.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));

    RECT box;
    box.left = r.left + (kCheckAreaWidth - kCheckBoxSize) / 2;
    box.top = r.top + (r.bottom - r.top - kCheckBoxSize) / 2;
    box.right = box.left + kCheckBoxSize;
    box.bottom = box.top + kCheckBoxSize;
    UINT state = DFCS_BUTTONCHECK;
    if (item.checked) state |= DFCS_CHECKED;
    if (!enabled) state |= DFCS_INACTIVE;
    DrawFrameControl(dc, &box, DFC_BUTTON, state);

    RECT text = r;
    text.left += kCheckAreaWidth;
    if (selected) FillRect(dc, &text, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetBkMode(dc, TRANSPARENT);
    int color = COLOR_WINDOWTEXT;
    if (!enabled) {
      color = COLOR_GRAYTEXT;
    } else if (selected) {
      color = COLOR_HIGHLIGHTTEXT;
    }
    SetTextColor(dc, GetSysColor(color));
    RECT inner = text;
    inner.left += 2;
    DrawTextA(dc, item.text.c_str(), static_cast<int>(item.text.size()), &inner,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if ((d.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &text);
  }

 protected:
  void CreateNative() override {
    multiColumn_ = list_.Columns() > 0;
    DWORD style = LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_HSCROLL | TabStop();
    if (multiColumn_) {
      style |= LBS_MULTICOLUMN;
    } else {
      style |= WS_VSCROLL;
    }
    hwnd_ = CreateChild("LISTBOX", style, WS_EX_CLIENTEDGE, "");
  }
  void SyncAll() override {
    SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, std::max(1, list_.ItemHeight()));
    WinPeer::SyncAll();
    Rebuild();
    ApplyColumnWidth();
  }
  void ApplyText() override {}
  void Apply(Prop what, int index) override {
    switch (what) {
      case Prop::ItemInserted:
        if (index >= 0 && index < list_.Count()) {
          SendMessageA(hwnd_, LB_INSERTSTRING, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(list_.ItemText(index).c_str()));
        }
        ApplySelection();
        break;
      case Prop::ItemDeleted:
        SendMessageA(hwnd_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        ApplySelection();
        break;
      case Prop::ItemsReset: Rebuild(); break;
      case Prop::ItemIndex: ApplySelection(); break;
      case Prop::Checked:
      case Prop::ItemEnabled: InvalidateItem(index); break;
      case Prop::ItemHeight:
        SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, std::max(1, list_.ItemHeight()));
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
      case Prop::Columns:
        if ((list_.Columns() > 0) != multiColumn_) {
          Recreate();
        } else {
          ApplyColumnWidth();
        }
        break;
      case Prop::Bounds:
        WinPeer::Apply(what, index);
        ApplyColumnWidth();
        break;
      default: WinPeer::Apply(what, index); break;
    }
  }

 private:
  // The entry under a point of the client area; -1 below the last entry of
  // a column or in an empty column.
  int ItemAt(int x, int y) const {
    const auto answer = static_cast<DWORD>(
        SendMessageA(hwnd_, LB_ITEMFROMPOINT, 0, static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y)))));
    const int index = static_cast<int>(answer & 0xFFFF);
    if ((answer >> 16) != 0 || index < 0 || index >= list_.Count()) return -1;
    RECT r{};
    if (SendMessageA(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
      return -1;
    }
    const POINT p{x, y};
    return PtInRect(&r, p) ? index : -1;
  }
  // Default processing of a key, then the layer learns a new selection.
  bool AfterDefault(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = CallWindowProcA(reinterpret_cast<WNDPROC>(GetPropA(h, kOldProcProp)), h, msg, wp, lp);
    const auto selected = static_cast<int>(SendMessageA(hwnd_, LB_GETCURSEL, 0, 0));
    if (selected >= 0 && selected != list_.ItemIndex()) Guard([&] { list_.UserSelect(selected); });
    return true;
  }
  void Rebuild() {
    SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(hwnd_, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < list_.Count(); ++i) {
      SendMessageA(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list_.ItemText(i).c_str()));
    }
    ApplySelection();
    SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void ApplySelection() {
    SendMessageA(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(list_.ItemIndex()), 0);
  }
  void InvalidateItem(int index) {
    RECT r{};
    if (index < 0 ||
        SendMessageA(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
      InvalidateRect(hwnd_, nullptr, TRUE);
      return;
    }
    InvalidateRect(hwnd_, &r, TRUE);
  }
  void ApplyColumnWidth() {
    if (!multiColumn_ || list_.Columns() <= 0) return;
    RECT r;
    GetClientRect(hwnd_, &r);
    const int width = std::max(1, static_cast<int>(r.right - r.left) / list_.Columns());
    SendMessageA(hwnd_, LB_SETCOLUMNWIDTH, static_cast<WPARAM>(width), 0);
  }

  ui::TCheckListBox& list_;
  bool multiColumn_ = false;
};

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
    const int w = std::max(0, spin_.Width());
    const int h = std::max(0, spin_.Height());
    const int arrows = std::min(w, 16);
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
    const int w = std::max(0, group_.Width());
    const int h = std::max(0, group_.Height());
    SetWindowPos(frame_, HWND_BOTTOM, 0, 0, w, h, SWP_NOACTIVATE);
    if (buttons_.empty()) return;
    const int top = 16;
    const int row = std::max(1, (h - top - 4) / static_cast<int>(buttons_.size()));
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
      SetWindowPos(buttons_[i], HWND_TOP, 8, top + static_cast<int>(i) * row, std::max(0, w - 16), std::min(row, 20),
                   SWP_NOACTIVATE);
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

// Value lists and grids: a report-style list view showing the cells.
class TablePeer final : public WinPeer {
 public:
  using WinPeer::WinPeer;

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild(WC_LISTVIEWA, LVS_REPORT | LVS_SHOWSELALWAYS | TabStop(), WS_EX_CLIENTEDGE, "");
  }
  void SyncAll() override {
    WinPeer::SyncAll();
    Rebuild();
  }
  void ApplyText() override {}
  void Apply(Prop what, int index) override {
    switch (what) {
      case Prop::ItemsReset:
      case Prop::ItemInserted:
      case Prop::Counts:
      case Prop::Cells: Rebuild(); break;
      default: WinPeer::Apply(what, index); break;
    }
  }

 private:
  std::vector<std::vector<std::string>> Rows() const {
    std::vector<std::vector<std::string>> rows;
    if (auto* values = dynamic_cast<ui::TValueListEditor*>(&control_)) {
      for (const std::string& line : values->Strings()) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
          rows.push_back({line, ""});
        } else {
          rows.push_back({line.substr(0, eq), line.substr(eq + 1)});
        }
      }
    } else if (auto* grid = dynamic_cast<ui::TStringGrid*>(&control_)) {
      for (int r = 0; r < grid->RowCount(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < grid->ColCount(); ++c) row.push_back(grid->Cell(c, r));
        rows.push_back(std::move(row));
      }
    }
    return rows;
  }
  void Rebuild() {
    const auto rows = Rows();
    std::size_t columns = 2;
    if (auto* grid = dynamic_cast<ui::TStringGrid*>(&control_)) columns = static_cast<std::size_t>(grid->ColCount());
    SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0);
    while (SendMessageA(hwnd_, LVM_DELETECOLUMN, 0, 0) != 0) {
    }
    for (std::size_t c = 0; c < columns; ++c) {
      LVCOLUMNA column{};
      column.mask = LVCF_WIDTH;
      column.cx = 64;
      SendMessageA(hwnd_, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < rows[r].size() && c < columns; ++c) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.iSubItem = static_cast<int>(c);
        item.pszText = const_cast<char*>(rows[r][c].c_str());
        SendMessageA(hwnd_, c == 0 ? LVM_INSERTITEMA : LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
      }
    }
    SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
};

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

}  // namespace

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
  std::unique_ptr<WinPeer> peer;
  if (auto* form = dynamic_cast<ui::TCustomForm*>(&control)) {
    peer = std::make_unique<FormPeer>(*form, app);
  } else if (auto* list = dynamic_cast<ui::TCheckListBox*>(&control)) {
    peer = std::make_unique<CheckListPeer>(*list, app);
  } else if (auto* combo = dynamic_cast<ui::TComboBox*>(&control)) {
    peer = std::make_unique<ComboPeer>(*combo, app);
  } else if (auto* edit = dynamic_cast<ui::TCustomEdit*>(&control)) {
    peer = std::make_unique<EditPeer>(*edit, app);
  } else if (auto* box = dynamic_cast<ui::TCheckBox*>(&control)) {
    peer = std::make_unique<CheckBoxPeer>(*box, app);
  } else if (dynamic_cast<ui::TBitBtn*>(&control) != nullptr) {
    peer = std::make_unique<ButtonPeer>(control, app);
  } else if (dynamic_cast<ui::TStatusBar*>(&control) != nullptr) {
    peer = std::make_unique<StatusBarPeer>(control, app);
  } else if (auto* spin = dynamic_cast<ui::TSpinEdit*>(&control)) {
    peer = std::make_unique<SpinEditPeer>(*spin, app);
  } else if (auto* group = dynamic_cast<ui::TRadioGroup*>(&control)) {
    peer = std::make_unique<RadioGroupPeer>(*group, app);
  } else if (auto* bar = dynamic_cast<ui::TTrackBar*>(&control)) {
    peer = std::make_unique<TrackBarPeer>(*bar, app);
  } else if (dynamic_cast<ui::TValueListEditor*>(&control) != nullptr ||
             dynamic_cast<ui::TStringGrid*>(&control) != nullptr) {
    peer = std::make_unique<TablePeer>(control, app);
  } else if (dynamic_cast<ui::TWinControl*>(&control) != nullptr) {
    peer = std::make_unique<PanelPeer>(control, app);
  } else {
    peer = std::make_unique<LabelPeer>(control, app);
  }
  peer->Build();
  return peer;
}

std::uintptr_t NativeHandle(const ui::TControl& control) {
  auto* peer = dynamic_cast<WinPeer*>(control.Peer());
  return peer != nullptr ? reinterpret_cast<std::uintptr_t>(peer->Hwnd()) : 0;
}

void RefreshCursor() {
  POINT p;
  if (!GetCursorPos(&p)) return;
  HWND h = WindowFromPoint(p);
  if (h == nullptr || GetWindowThreadProcessId(h, nullptr) != GetCurrentThreadId()) return;
  SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

bool PreTranslate(void* message) {
  auto* msg = static_cast<MSG*>(message);
  if (msg->hwnd == nullptr) return false;
  HWND root = GetAncestor(msg->hwnd, GA_ROOT);
  if (root == nullptr) return false;
  auto* form = dynamic_cast<FormPeer*>(PeerOf(root));
  if (form == nullptr) return false;
  return IsDialogMessageA(root, msg) != FALSE;
}

}  // namespace win32ui
