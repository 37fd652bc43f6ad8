// The check-list box, an owner-drawn list box.
#include "toolkits/win32/Win32Peer.h"

#include "toolkits/win32/Win32CheckListAccessible.h"

namespace ui::win32 {

namespace {

// Width of an entry's check-mark area in the check-list box, box included.
constexpr int kCheckAreaWidth = 15;
constexpr int kCheckBoxSize = 13;
// Space between an entry's name and the ends of its highlight.
constexpr int kTextMargin = 2;

// ---------------------------------------------------------- check-list box

// An owner-drawn list box: the layer keeps the entries in their order, the
// list box only holds them at the indexes it is told (it never sorts).
class CheckListPeer final : public WinPeer {
 public:
  CheckListPeer(ui::TCheckListBox& list, Win32Application& app) : WinPeer(list, app), list_(list) {}
  ~CheckListPeer() override { access_.Disconnect(); }
  CheckListPeer(const CheckListPeer&) = delete;
  CheckListPeer& operator=(const CheckListPeer&) = delete;

  std::optional<int> ItemAtPos(int x, int y) const override {
    if (hwnd_ == nullptr) return std::nullopt;
    return ItemAt(Px(x), Px(y));
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
          if (x - r.left < Px(kCheckAreaWidth)) {
            Guard([&] { list_.UserClickCheckBox(index); });
          } else {
            Guard([&] { list_.UserClickItem(index); });
          }
        }
        result = 0;
        return true;
      }
      case WM_KEYDOWN:
        // With nothing selected the list box frames an entry, and the arrow
        // keys start from it; so does Space, which the layer ties to a selection.
        if (wp == VK_SPACE) {
          Guard([&] {
            if (list_.ItemIndex() < 0 && list_.Count() > 0) list_.UserSelect(FramedEntry());
            list_.UserPressSpace();
          });
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
      case WM_MOUSEMOVE: {
        // Each entry has its own tip: a new one pops up for an entry that
        // says something else.
        const int index = ItemAt(LowSigned(lp), HighSigned(lp));
        if (index != hovered_) {
          hovered_ = index;
          if (TipOf(index) != shownTip_) {
            UpdateTool();
            RelayToTip(h, msg, wp, lp);
          }
        }
        return CommonMessage(h, msg, wp, lp, result);
      }
      case WM_GETOBJECT: return access_.OnGetObject(hwnd_, list_, wp, lp, result);
      case WM_SETFONT:
        result = CallWindowProcA(reinterpret_cast<WNDPROC>(GetPropA(h, kOldProcProp)), h, msg, wp, lp);
        columnWidth_ = 0;
        ApplyColumnWidth();
        return true;
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

    const int area = Px(kCheckAreaWidth);
    const int size = Px(kCheckBoxSize);
    RECT box;
    box.left = r.left + (area - size) / 2;
    box.top = r.top + (r.bottom - r.top - size) / 2;
    box.right = box.left + size;
    box.bottom = box.top + size;
    UINT state = DFCS_BUTTONCHECK;
    if (item.checked) state |= DFCS_CHECKED;
    if (!enabled) state |= DFCS_INACTIVE;
    DrawFrameControl(dc, &box, DFC_BUTTON, state);

    RECT text = r;
    text.left += area;
    // A selected locked entry: grey text on the face colour, as disabled
    // controls are drawn; grey on the selection colour could not be read.
    if (selected) FillRect(dc, &text, GetSysColorBrush(enabled ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    int color = COLOR_WINDOWTEXT;
    if (!enabled) {
      color = COLOR_GRAYTEXT;
    } else if (selected) {
      color = COLOR_HIGHLIGHTTEXT;
    }
    SetTextColor(dc, GetSysColor(color));
    RECT inner = text;
    inner.left += Px(kTextMargin);
    inner.right -= Px(kTextMargin);
    // Cut in the middle: similar long names differ at their ends.
    const std::wstring shown = MiddleElided(dc, Wide(item.text), std::max(0, static_cast<int>(inner.right - inner.left)));
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &inner, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if ((d.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &text);
  }

 protected:
  void CreateNative() override {
    access_.Disconnect();  // a new window, a new object
    multiColumn_ = list_.Columns() > 0;
    columnWidth_ = 0;
    DWORD style = LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_HSCROLL | TabStop();
    if (multiColumn_) {
      style |= LBS_MULTICOLUMN;
    } else {
      style |= WS_VSCROLL;
    }
    hwnd_ = CreateChild("LISTBOX", style, WS_EX_CLIENTEDGE, "");
  }
  void SyncAll() override {
    SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, Px(std::max(1, list_.ItemHeight())));
    WinPeer::SyncAll();
    Rebuild();
    ApplyColumnWidth();
  }
  void ApplyText() override {}
  // Remembered, so that a move to an entry saying the same keeps the tip up.
  std::string ToolText() const override {
    shownTip_ = TipOf(hovered_);
    return shownTip_;
  }
  // An entry's whole name and description; the list's hint between entries.
  std::string TipOf(int index) const { return index >= 0 ? list_.ItemToolTip(index) : list_.Hint(); }
  // The entries moved: the one under the pointer is known at its next move.
  void ForgetHovered() {
    if (hovered_ < 0) return;
    hovered_ = -1;
    UpdateTool();
  }
  void DpiChanged() override {
    SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, Px(std::max(1, list_.ItemHeight())));
    ApplyBounds();
    ApplyColumnWidth();
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void Apply(Prop what, int index) override {
    switch (what) {
      case Prop::ItemInserted:
        ForgetHovered();
        if (index >= 0 && index < list_.Count()) {
          SendMessageA(hwnd_, LB_INSERTSTRING, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(list_.ItemText(index).c_str()));
        }
        ApplySelection();
        ApplyColumnWidth();
        NotifyEntryEvent(hwnd_, EVENT_OBJECT_REORDER, -1);
        break;
      case Prop::ItemDeleted:
        ForgetHovered();
        SendMessageA(hwnd_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        ApplySelection();
        ApplyColumnWidth();
        NotifyEntryEvent(hwnd_, EVENT_OBJECT_REORDER, -1);
        break;
      case Prop::ItemsReset:
        ForgetHovered();
        Rebuild();
        ApplyColumnWidth();
        NotifyEntryEvent(hwnd_, EVENT_OBJECT_REORDER, -1);
        break;
      case Prop::ItemIndex: ApplySelection(); break;
      case Prop::Checked:
      case Prop::ItemEnabled:
        InvalidateItem(index);
        NotifyEntryEvent(hwnd_, EVENT_OBJECT_STATECHANGE, index);
        break;
      case Prop::ItemHeight:
        SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, Px(std::max(1, list_.ItemHeight())));
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
  int FramedEntry() const {
    const auto caret = static_cast<int>(SendMessageA(hwnd_, LB_GETCARETINDEX, 0, 0));
    return std::clamp(caret, 0, list_.Count() - 1);
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
  // Columns share the list's width, wider (up to the whole width) where
  // the longest name needs it: a name is cut only where no column holds it.
  void ApplyColumnWidth() {
    if (hwnd_ == nullptr || !multiColumn_ || list_.Columns() <= 0) return;
    RECT r{};
    GetClientRect(hwnd_, &r);
    const int client = std::max(1, static_cast<int>(r.right - r.left));
    const int width = std::clamp(EntryWidth(LongestName()), client / list_.Columns(), client);
    if (width == columnWidth_) return;
    columnWidth_ = width;
    SendMessageA(hwnd_, LB_SETCOLUMNWIDTH, static_cast<WPARAM>(std::max(1, width)), 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  // Pixels of the widest name in the list's font.
  int LongestName() const {
    HDC dc = GetDC(hwnd_);
    if (dc == nullptr) return 0;
    HGDIOBJ old = SelectObject(dc, Font() != nullptr ? static_cast<HGDIOBJ>(Font()) : GetStockObject(DEFAULT_GUI_FONT));
    int widest = 0;
    for (int i = 0; i < list_.Count(); ++i) {
      const std::string& name = list_.ItemText(i);
      RECT r{0, 0, 0, 0};
      DrawTextA(dc, name.c_str(), static_cast<int>(name.size()), &r, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
      widest = std::max(widest, static_cast<int>(r.right - r.left));
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return widest;
  }
  // An entry as wide as a name: the check-mark area, the margin before the
  // name and as much after it.
  int EntryWidth(int name) const { return Px(kCheckAreaWidth) + name + 2 * Px(kTextMargin); }

  ui::TCheckListBox& list_;
  Accessibility access_;
  bool multiColumn_ = false;
  int columnWidth_ = 0;            // pixels, as last given to the list box
  int hovered_ = -1;              // the entry under the pointer
  mutable std::string shownTip_;  // what its tool tip was last given
};

}  // namespace

std::unique_ptr<WinPeer> NewCheckListPeer(ui::TCheckListBox& list, Win32Application& app) {
  return std::make_unique<CheckListPeer>(list, app);
}

}  // namespace ui::win32
