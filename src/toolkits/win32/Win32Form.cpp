// The form (a top-level window with the tool tips and the font of its
// controls) and its plain children: panels, labels and splitters.
#include "toolkits/win32/Win32Peer.h"

#include "toolkits/win32/Win32CheckListAccessible.h"

namespace ui::win32 {

namespace {

// The widest tool tip, in pixels at 96 DPI; longer lines wrap.
constexpr int kTipWidth = 480;

BOOL CALLBACK SetFontOf(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

// A smallest client area (in pixels) as the smallest window the user can drag.
void LimitTrackSize(HWND h, int clientWidth, int clientHeight, MINMAXINFO& info) {
  RECT r{0, 0, clientWidth, clientHeight};
  if (r.right <= 0 && r.bottom <= 0) return;
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE)));
  info.ptMinTrackSize.x = std::max(info.ptMinTrackSize.x, r.right - r.left);
  info.ptMinTrackSize.y = std::max(info.ptMinTrackSize.y, r.bottom - r.top);
}

}  // namespace

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
  int Dpi() const override { return dpi_; }

  bool OnMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    switch (msg) {
      case WM_CLOSE:
        Guard([&] { form_.UserClose(); });
        result = 0;
        return true;
      case WM_SIZE:
        if (!syncing_ && wp != SIZE_MINIMIZED) {
          const int w = Layer(LOWORD(lp));
          const int hgt = Layer(HIWORD(lp));
          Guard([&] { form_.UserResized(w, hgt); });
        }
        return false;
      case WM_MOVE:
        if (!syncing_ && !IsIconic(hwnd_)) {
          RECT r;
          GetWindowRect(hwnd_, &r);
          Guard([&] { form_.UserMoved(Layer(r.left), Layer(r.top)); });
        }
        return false;
      case WM_DPICHANGED:
        Guard([&] { MoveToDpi(LOWORD(wp), *reinterpret_cast<const RECT*>(lp)); });
        if (tip_ != nullptr) SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, Px(kTipWidth));
        result = 0;
        return true;
      case WM_GETMINMAXINFO:
        LimitTrackSize(h, Px(form_.MinClientWidth()), Px(form_.MinClientHeight()),
                       *reinterpret_cast<MINMAXINFO*>(lp));
        result = 0;
        return true;
      case WM_ACTIVATE:
        // The user is back: the layer looks at the world again.
        if (LOWORD(wp) != WA_INACTIVE) Guard([&] { form_.UserActivated(); });
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
    dpi_ = WindowDpi(nullptr);
    const RECT at = NativeRect();
    int x = at.left;
    int y = at.top;
    if (form_.Position() == ui::TPosition::poDefault || form_.Position() == ui::TPosition::poDefaultPosOnly) {
      x = CW_USEDEFAULT;
      y = CW_USEDEFAULT;
    }
    hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, kFormClass, form_.Text().c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, at.right - at.left, at.bottom - at.top,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (hwnd_ == nullptr) return;
    Adopt(hwnd_, false);
    // The monitor the window landed on decides; the screen's DPI was a guess.
    if (const int dpi = WindowDpi(hwnd_); dpi != dpi_) {
      dpi_ = dpi;
      const RECT want = NativeRect();
      SetWindowPos(hwnd_, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    MakeFont();
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    tip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    // A width makes the tips break at their line breaks (a name, then its description).
    if (tip_ != nullptr) SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, Px(kTipWidth));
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
    const RECT want = NativeRect();
    // Above 96 DPI a layer pixel spans more than one device pixel: what
    // rounding moves by less than half of one is the place the layer has.
    const int slack = Px(1) / 2;
    auto within = [slack](LONG a, LONG b) { return a - b <= slack && b - a <= slack; };
    if (within(r.left, want.left) && within(r.top, want.top) && within(r.right, want.right) &&
        within(r.bottom, want.bottom)) {
      return;
    }
    SetWindowPos(hwnd_, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

 private:
  void MakeFont() {
    if (font_ != nullptr) DeleteObject(font_);
    // A negative height asks for the character height, as the layer means it.
    font_ = CreateFontA(-Px(form_.FontHeight()), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        form_.FontName().c_str());
  }
  void CenterOnScreen() {
    RECT r;
    GetWindowRect(hwnd_, &r);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(hwnd_, &r);
    const bool was = syncing_;
    syncing_ = false;
    Guard([&] { form_.UserMoved(Layer(r.left), Layer(r.top)); });
    syncing_ = was;
  }
  // The window's place and size at its DPI. The layer's width and height
  // hold a frame of 96-DPI size: the client area is what scales, the frame
  // is the one the system draws at this DPI.
  RECT NativeRect() const {
    const SIZE frame = FrameSize(dpi_);
    const int clientWidth = Px(std::max(0, form_.Width() - app_.FrameWidth()));
    const int clientHeight = Px(std::max(0, form_.Height() - app_.FrameHeight()));
    const int left = Px(form_.Left());
    const int top = Px(form_.Top());
    return RECT{left, top, left + clientWidth + frame.cx, top + clientHeight + frame.cy};
  }
  // WM_DPICHANGED: the system's suggested place, our own size at the new
  // DPI, and every control's pixel sizes again.
  void MoveToDpi(int dpi, const RECT& suggested) {
    if (dpi <= 0 || dpi == dpi_) return;
    const bool was = syncing_;
    syncing_ = true;
    dpi_ = dpi;
    const RECT want = NativeRect();
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, want.right - want.left, want.bottom - want.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    MakeFont();
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    EnumChildWindows(hwnd_, &SetFontOf, reinterpret_cast<LPARAM>(font_));
    RescaleChildren(form_);
    syncing_ = was;
    RECT r;
    GetWindowRect(hwnd_, &r);
    Guard([&] { form_.UserMoved(Layer(r.left), Layer(r.top)); });
  }
  static void RescaleChildren(ui::TWinControl& parent) {
    for (ui::TControl* c : parent.Controls()) {
      if (auto* peer = dynamic_cast<WinPeer*>(c->Peer())) peer->Rescale();
      if (auto* container = dynamic_cast<ui::TWinControl*>(c)) RescaleChildren(*container);
    }
  }

  ui::TCustomForm& form_;
  HFONT font_ = nullptr;
  HWND tip_ = nullptr;
  HWND lastFocus_ = nullptr;
  int dpi_ = 96;
};

// What every peer asks of its form's peer.
FormPeer* FormPeerOf(ui::ControlPeer* peer) { return dynamic_cast<FormPeer*>(peer); }
int FormDpi(const FormPeer& form) { return form.Dpi(); }
HFONT FormFont(const FormPeer& form) { return form.FontHandle(); }
HWND FormTip(const FormPeer& form) { return form.Tip(); }

namespace {

// ----------------------------------------------------------- containers

// Panels and other containers: our own class, painting the caption.
class PanelPeer : public WinPeer {
 public:
  using WinPeer::WinPeer;

  bool OnMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    switch (msg) {
      case WM_PAINT: Paint(); result = 0; return true;
      case WM_PRINTCLIENT: {  // drawn into another DC (a print, an animation)
        auto dc = reinterpret_cast<HDC>(wp);
        RECT r;
        GetClientRect(hwnd_, &r);
        if ((lp & PRF_ERASEBKGND) != 0) FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        Draw(dc);
        result = 0;
        return true;
      }
      case WM_SETFONT: font_ = reinterpret_cast<HFONT>(wp); return false;
      case WM_GETOBJECT:
        if (const auto* panel = dynamic_cast<const ui::TPanel*>(&control_); panel != nullptr && panel->StatusLine()) {
          return access_.OnGetObject(hwnd_, *panel, wp, lp, result);
        }
        return false;
      default: return CommonMessage(h, msg, wp, lp, result);
    }
  }

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild(kContainerClass, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, "", nullptr,
                        false);
    font_ = Font();
  }
  // Painted by us; the window's own text is what screen readers read as
  // the panel's name (the information line), and its change is announced.
  void ApplyText() override {
    if (WindowText(hwnd_) != control_.Text()) {
      SetWindowTextA(hwnd_, control_.Text().c_str());
      NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void Apply(Prop what, int index) override {
    if (what == Prop::Style) {
      InvalidateRect(hwnd_, nullptr, TRUE);
      return;
    }
    if (what == Prop::Announcement) {
      NotifyAnnouncement(hwnd_);
      return;
    }
    WinPeer::Apply(what, index);
  }
  void FocusNative() override {}

  void Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    Draw(dc);
    EndPaint(hwnd_, &ps);
  }
  void Draw(HDC dc) {
    RECT r;
    GetClientRect(hwnd_, &r);
    auto* panel = dynamic_cast<ui::TPanel*>(&control_);
    if (panel != nullptr && panel->Bevel()) {
      DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    }
    std::string text = control_.Text();
    if (!text.empty()) {
      HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(control_.Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
      UINT align = DT_CENTER;
      if (panel != nullptr && panel->Alignment() == ui::TAlignment::taLeftJustify) align = DT_LEFT;
      if (panel != nullptr && panel->Alignment() == ui::TAlignment::taRightJustify) align = DT_RIGHT;
      UINT format = align | DT_NOPREFIX | DT_EXPANDTABS;
      if (text.find('\n') == std::string::npos && (panel == nullptr || !panel->StatusLine())) {
        format |= DT_SINGLELINE | DT_VCENTER;
      } else {
        // Lines of their own (a description may hold a line break; a long
        // status wraps at its words), the block centred as a single line is:
        // two lines of a large font lose a little of their leading, not a line.
        format |= DT_WORDBREAK;
        // The blanks that indent the text indent every line of it.
        const std::size_t indent = std::min(text.find_first_not_of(' '), text.size());
        SIZE blanks{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(indent), &blanks);
        r.left += blanks.cx;
        text.erase(0, indent);
        RECT need = r;
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &need, format | DT_CALCRECT);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        const int line = std::max(1, static_cast<int>(metrics.tmHeight));
        const int lines = std::max(1, (static_cast<int>(r.bottom - r.top) + line / 2) / line);
        if (need.bottom - need.top > lines * line) {
          // More lines than the panel shows: one line, cut in the middle
          // (the whole text is its name for screen readers).
          const std::wstring shown = MiddleElided(dc, Wide(text), static_cast<int>(r.right - r.left));
          DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &r, align | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
          if (oldFont != nullptr) SelectObject(dc, oldFont);
          return;
        }
        r.top += ((r.bottom - r.top) - (need.bottom - need.top)) / 2;
      }
      DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
      if (oldFont != nullptr) SelectObject(dc, oldFont);
    }
  }

  HFONT font_ = nullptr;
  Accessibility access_;
};

// --------------------------------------------------------- simple kinds

class LabelPeer final : public WinPeer {
 public:
  using WinPeer::WinPeer;

  // A label shortened in the middle is drawn here; its window keeps the
  // whole text, which screen readers read.
  void OnDrawItem(const DRAWITEMSTRUCT& d) override {
    RECT r = d.rcItem;
    FillRect(d.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = Font() != nullptr ? SelectObject(d.hDC, Font()) : nullptr;
    const std::wstring shown = MiddleElided(d.hDC, Wide(control_.Text()), r.right - r.left);
    SetBkMode(d.hDC, TRANSPARENT);
    SetTextColor(d.hDC, GetSysColor(control_.Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(d.hDC, shown.c_str(), static_cast<int>(shown.size()), &r, DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_TOP);
    if (old != nullptr) SelectObject(d.hDC, old);
  }

 protected:
  void CreateNative() override {
    const std::string text = control_.Text();
    hwnd_ = CreateChild("STATIC", Style(), 0, text.c_str());
  }
  void Apply(Prop what, int index) override {
    // The static control takes its kind at creation only.
    if (what == Prop::Ellipsis) {
      Recreate();
      return;
    }
    WinPeer::Apply(what, index);
  }
  void FocusNative() override {}
  // Labels size themselves to their text, at least to the layer's width, so
  // that a status text longer than the designed space is not cut off; one
  // shortened in the middle keeps the layer's width.
  void ApplyBounds() override {
    int width = Px(std::max(0, control_.Width()));
    const std::string& text = control_.Text();
    if (dynamic_cast<ui::TLabel*>(&control_) != nullptr && !Elided() && !text.empty()) {
      HDC dc = GetDC(hwnd_);
      HGDIOBJ old = SelectObject(dc, Font() != nullptr ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
      SIZE size{};
      GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
      SelectObject(dc, old);
      ReleaseDC(hwnd_, dc);
      width = std::max(width, static_cast<int>(size.cx) + 1);
    }
    SetWindowPos(hwnd_, nullptr, Px(control_.Left()), Px(control_.Top()), width, Px(std::max(0, control_.Height())),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void ApplyText() override {
    ApplyBounds();  // wide enough first, so the new text is not wrapped
    WinPeer::ApplyText();
  }

 private:
  bool Elided() const {
    const auto* label = dynamic_cast<const ui::TLabel*>(&control_);
    return label != nullptr && label->Ellipsis() == ui::TEllipsis::Middle;
  }
  DWORD Style() const {
    if (dynamic_cast<ui::TSplitter*>(&control_) != nullptr) return SS_ETCHEDFRAME;
    return SS_NOTIFY | (Elided() ? static_cast<DWORD>(SS_OWNERDRAW) : static_cast<DWORD>(SS_LEFT));
  }
};

}  // namespace

namespace {

// The innermost tab stop whose window has the focus or holds it, so that a
// mnemonic moves on from it (a panel holding it comes earlier in the chain).
ui::TWinControl* FocusedControl(const ui::TCustomForm& form) {
  HWND focus = GetFocus();
  return form.InnermostTabStop([focus](const ui::TWinControl& c) {
    HWND h = AsHwnd(NativeHandle(c));
    return focus != nullptr && h != nullptr && (h == focus || IsChild(h, focus) != FALSE);
  });
}

// Mnemonics are the layer's, as on every toolkit: one that several controls
// carry (both start buttons are "&Start ...") only moves the focus, one of
// its own clicks its control. False when the key is none of the tab stops'
// (a label's is left to the dialog keyboard).
bool LayerMnemonic(ui::TCustomForm& form, HWND root, const MSG& msg) {
  if (msg.message == WM_CHAR) {
    // A plain letter is a mnemonic only where the focus takes no characters.
    HWND focus = GetFocus();
    if (focus == nullptr || (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) != 0) {
      return false;
    }
  } else if (msg.message != WM_SYSCHAR) {
    return false;
  }
  const char key = static_cast<char>(msg.wParam);
  if (key == 0) return false;
  bool used = false;
  Guard([&] { used = form.UserMnemonic(key, FocusedControl(form)); });
  // The focus is shown from now on, as after any key of the dialog keyboard.
  if (used && IsWindow(root)) SendMessageA(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  return used;
}

// Enter (the keypad's too) presses the focused push button, as Space does;
// the dialog keyboard would look for a default button instead.
bool PressFocusedButton(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) return false;
  HWND focus = GetFocus();
  if (focus == nullptr || !IsWindowEnabled(focus)) return false;
  if ((SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) == 0) return false;
  SendMessageA(focus, BM_CLICK, 0, 0);
  return true;
}

}  // namespace

bool PreTranslate(void* message) {
  auto* msg = static_cast<MSG*>(message);
  if (msg->hwnd == nullptr) return false;
  HWND root = GetAncestor(msg->hwnd, GA_ROOT);
  if (root == nullptr) return false;
  auto* form = dynamic_cast<FormPeer*>(PeerOf(root));
  if (form == nullptr) return false;
  auto* layerForm = dynamic_cast<ui::TCustomForm*>(&form->Control());
  if (layerForm != nullptr && LayerMnemonic(*layerForm, root, *msg)) return true;
  if (PressFocusedButton(*msg)) return true;
  return IsDialogMessageA(root, msg) != FALSE;
}

std::wstring Wide(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(std::max(0, n)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), out.data(), n);
  return out;
}

std::wstring MiddleElided(HDC dc, const std::wstring& text, int width) {
  auto fits = [dc, width](const std::wstring& s) {
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return size.cx <= width;
  };
  if (fits(text)) return text;
  // The start one character longer than the end where they differ: a path
  // keeps its drive and folders, a message its last words.
  auto keep = [&text](std::size_t n) {
    const std::size_t tail = n / 2;
    return text.substr(0, n - tail) + L'\u2026' + text.substr(text.size() - tail);
  };
  std::size_t low = 0;                // fits, or nothing fits at all
  std::size_t high = text.size() - 1;  // keeping more than this is the whole text
  while (low < high) {
    const std::size_t mid = (low + high + 1) / 2;
    if (fits(keep(mid))) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return keep(low);
}

std::unique_ptr<WinPeer> NewFormPeer(ui::TCustomForm& form, Win32Application& app) {
  return std::make_unique<FormPeer>(form, app);
}

std::unique_ptr<WinPeer> NewPanelPeer(ui::TControl& control, Win32Application& app) {
  return std::make_unique<PanelPeer>(control, app);
}

std::unique_ptr<WinPeer> NewLabelPeer(ui::TControl& control, Win32Application& app) {
  return std::make_unique<LabelPeer>(control, app);
}

}  // namespace ui::win32
