// The Win32 toolkit's peers: what the layer says reaches the native
// controls, and what a user does to them reaches the layer as the layer's
// user actions. Needs a display (Xvfb under Wine in CI).
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Unit1.h"
#include "platform/Platform.h"
#include "support/TempDir.h"
#include "toolkits/win32/Win32Peers.h"
#include "toolkits/win32/Win32Toolkit.h"
#include "ui/Controls.h"
// Internal to the toolkit: the DPI it reads from a window.
#include "toolkits/win32/Win32Peer.h"

#include "platform/win32/WinApi.h"

#include <ole2.h>
#include <oleacc.h>

#include "MsaaClient.h"

namespace {

HWND Native(const ui::TControl& c) { return reinterpret_cast<HWND>(ui::win32::NativeHandle(c)); }

LPARAM Point(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

std::vector<std::string> ListTexts(HWND list) {
  std::vector<std::string> texts;
  const auto count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    texts.emplace_back(text);
  }
  return texts;
}

RECT ItemRect(HWND list, int index) {
  RECT r{};
  SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return r;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A user at a modal box or menu, on a second thread while the test's thread
// sits in the box's own message loop: waits up to five seconds for a visible
// window of the class, then acts on it. Joined by the destructor.
class ModalUser {
 public:
  template <typename Act>
  ModalUser(const char* windowClass, Act act)
      : thread_([this, windowClass, act] {
          for (int i = 0; i < 500; ++i) {
            HWND w = FindWindowA(windowClass, nullptr);
            if (w != nullptr && IsWindowVisible(w)) {
              seen_ = true;
              act(w);
              return;
            }
            Sleep(10);
          }
        }) {}
  ~ModalUser() { thread_.join(); }
  ModalUser(const ModalUser&) = delete;
  ModalUser& operator=(const ModalUser&) = delete;
  bool Seen() const { return seen_; }

 private:
  std::atomic<bool> seen_{false};
  std::thread thread_;
};

std::string WindowText(HWND w) {
  char text[512] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

BOOL CALLBACK AddStaticText(HWND child, LPARAM out) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) *reinterpret_cast<std::string*>(out) += WindowText(child) + "\n";
  return TRUE;
}

// The texts of a dialog's static controls, joined by line breaks.
std::string StaticTexts(HWND dialog) {
  std::string all;
  EnumChildWindows(dialog, AddStaticText, reinterpret_cast<LPARAM>(&all));
  return all;
}

BOOL CALLBACK FindOwnedTip(HWND w, LPARAM data) {
  auto& found = *reinterpret_cast<std::pair<HWND, HWND>*>(data);  // owner, tip
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, TOOLTIPS_CLASSA) != 0 || GetWindow(w, GW_OWNER) != found.first) return TRUE;
  found.second = w;
  return FALSE;
}

// What the form's tool-tip window would show over a control's window.
std::string TipOf(HWND control) {
  std::pair<HWND, HWND> found{GetAncestor(control, GA_ROOT), nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindOwnedTip, reinterpret_cast<LPARAM>(&found));
  if (found.second == nullptr) return "(no tool-tip window)";
  char text[256] = {};
  TTTOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V2_SIZE;
  info.hwnd = GetParent(control);
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = text;
  SendMessageA(found.second, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
  return text;
}

// What a screen reader reads of child `id` of a window's MSAA object
// (CHILDID_SELF: the object): "role[ checked][ unavailable]|name|description|action".
std::string Read(HWND h, long id) {
  IAccessible* acc = AccessibleOf(h);
  if (acc == nullptr) return "(no object)";
  VARIANT role;
  VARIANT state;
  BSTR name = nullptr, description = nullptr, action = nullptr;
  acc->get_accRole(Child(id), &role);
  acc->get_accState(Child(id), &state);
  acc->get_accName(Child(id), &name);
  acc->get_accDescription(Child(id), &description);
  acc->get_accDefaultAction(Child(id), &action);
  acc->Release();
  const long r = role.vt == VT_I4 ? role.lVal : 0;
  const long bits = state.vt == VT_I4 ? state.lVal : 0;
  std::string out = r == ROLE_SYSTEM_CHECKBUTTON ? "check button"
                    : r == ROLE_SYSTEM_STATUSBAR ? "status bar"
                    : r == ROLE_SYSTEM_ALERT     ? "alert"
                                                 : std::to_string(r);
  if ((bits & STATE_SYSTEM_CHECKED) != 0) out += " checked";
  if ((bits & STATE_SYSTEM_UNAVAILABLE) != 0) out += " unavailable";
  return out + "|" + Narrow(name) + "|" + Narrow(description) + "|" + Narrow(action);
}

// One kind of event hooked in this process as a screen reader hooks it; the
// child ids it came with for a window, delivered as the thread pumps.
std::vector<std::pair<HWND, LONG>> g_events;
void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD, HWND h, LONG object, LONG child, DWORD, DWORD) {
  if (object == OBJID_CLIENT) g_events.emplace_back(h, child);
}
struct EventHook {
  explicit EventHook(DWORD event)
      : hook(SetWinEventHook(event, event, nullptr, RecordEvent, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT)) {
    g_events.clear();
  }
  ~EventHook() { UnhookWinEvent(hook); }
  std::vector<LONG> Children(HWND h) const {
    Pump();
    std::vector<LONG> ids;
    for (const auto& [w, child] : g_events) {
      if (w == h) ids.push_back(child);
    }
    return ids;
  }
  HWINEVENTHOOK hook;
};

class Win32Toolkit : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    app_ = new ui::win32::Win32Application();
    CoInitialize(nullptr);  // for the MSAA objects
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }

  void SetUp() override {
    form_ = std::make_unique<ui::TForm>();
    form_->SetBounds(100, 100, 376, 453);
    form_->SetText("Toolkit test");
  }
  void Realize() {
    form_->Realize();
    form_->Show();
    Pump();
  }

  static ui::win32::Win32Application* app_;
  std::unique_ptr<ui::TForm> form_;
};

ui::win32::Win32Application* Win32Toolkit::app_ = nullptr;

TEST_F(Win32Toolkit, ApplicationWindowCarriesTheTitle) {
  app_->SetTitle("Quillan toolkit test");
  const HWND h = reinterpret_cast<HWND>(app_->Handle());
  EXPECT_EQ(FindWindowExA(nullptr, nullptr, "TApplication", "Quillan toolkit test"), h);
  EXPECT_EQ(platform::NativePlatform().OwnApplicationWindow(), app_->Handle());
  EXPECT_FALSE(IsWindowVisible(h));
}

TEST_F(Win32Toolkit, CheckListFollowsTheLayerAndReportsClicks) {
  auto* panel = new ui::TPanel(form_.get());
  panel->SetBounds(0, 0, 368, 300);
  auto* list = new ui::TCheckListBox(panel);
  list->SetBounds(12, 8, 345, 233);
  list->SetColumns(2);
  list->SetSorted(true);
  int clicks = 0;
  list->OnClick = [&](ui::TObject*) { ++clicks; };
  Realize();
  const HWND native = Native(*list);
  ASSERT_NE(native, nullptr);

  // Bounds as the layer computed them, relative to the parent.
  RECT r;
  GetWindowRect(native, &r);
  MapWindowPoints(nullptr, Native(*panel), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 12);
  EXPECT_EQ(r.top, 8);
  EXPECT_EQ(r.right - r.left, 345);
  EXPECT_EQ(r.bottom - r.top, 233);

  // The layer sorts; the list box holds the entries where it is told.
  for (const char* name : {"gamma", "Alpha", "beta", "Delta"}) list->AddItem(name);
  EXPECT_EQ(ListTexts(native), (std::vector<std::string>{"Alpha", "beta", "Delta", "gamma"}));
  list->DeleteItem(2);
  EXPECT_EQ(ListTexts(native), (std::vector<std::string>{"Alpha", "beta", "gamma"}));

  // A click in the check-mark box toggles and then raises the click event.
  const RECT beta = ItemRect(native, 1);
  SendMessageA(native, WM_LBUTTONDOWN, MK_LBUTTON, Point(beta.left + 5, beta.top + 5));
  SendMessageA(native, WM_LBUTTONUP, 0, Point(beta.left + 5, beta.top + 5));
  EXPECT_TRUE(list->Checked(1));
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(SendMessageA(native, LB_GETCURSEL, 0, 0), 1);

  // A click on the text selects only.
  const RECT gamma = ItemRect(native, 2);
  SendMessageA(native, WM_LBUTTONDOWN, MK_LBUTTON, Point(gamma.left + 40, gamma.top + 5));
  EXPECT_FALSE(list->Checked(2));
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(clicks, 2);

  // A disabled entry keeps its mark; the click still counts.
  list->SetItemEnabled(0, false);
  const RECT alpha = ItemRect(native, 0);
  SendMessageA(native, WM_LBUTTONDOWN, MK_LBUTTON, Point(alpha.left + 5, alpha.top + 5));
  EXPECT_FALSE(list->Checked(0));
  EXPECT_EQ(clicks, 3);

  // Arrows select (a click event); space toggles the selected entry and
  // raises the click event, as a click on its check mark does.
  SendMessageA(native, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(clicks, 4);
  SendMessageA(native, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(native, WM_CHAR, ' ', 0);
  EXPECT_FALSE(list->Checked(1));
  EXPECT_EQ(clicks, 5);

  // Entering the list with nothing selected: the first Down, or Space,
  // acts on the entry with the focus frame, not on the one after it.
  for (const WPARAM key : {WPARAM{VK_DOWN}, WPARAM{VK_SPACE}}) {
    SCOPED_TRACE(key == VK_DOWN ? "Down" : "Space");
    list->SetItemIndex(-1);
    SetFocus(native);
    const auto framed = static_cast<int>(SendMessageA(native, LB_GETCARETINDEX, 0, 0));
    const bool mark = list->Checked(framed);
    SendMessageA(native, WM_KEYDOWN, key, 0);
    EXPECT_EQ(list->ItemIndex(), framed);
    EXPECT_EQ(list->Checked(framed), key == VK_SPACE ? !mark : mark);
  }

  // Below the last entry of a column there is no entry.
  EXPECT_EQ(list->ItemAtPos(alpha.left + 20, alpha.top + 2), 0);
  EXPECT_EQ(list->ItemAtPos(alpha.left + 20, gamma.bottom + 20), -1);

  list->Clear();
  EXPECT_TRUE(ListTexts(native).empty());
}

TEST_F(Win32Toolkit, EachEntryTipsItsWholeNameAndDescription) {
  auto* list = new ui::TCheckListBox(form_.get());
  list->SetBounds(12, 8, 345, 233);
  list->SetHint("List of installed Snapins");
  for (const char* name : {"Alpha", "beta", "Gamma"}) list->AddItem(name);
  list->OnItemHint = [list](int index) {
    return list->ItemText(index) == "Gamma" ? std::string("The third one") : std::string();
  };
  Realize();
  const HWND native = Native(*list);
  ASSERT_NE(native, nullptr);
  EXPECT_EQ(TipOf(native), "List of installed Snapins");
  const RECT last = ItemRect(native, 2);
  struct Move {
    const char* where;
    int index;  // -1: below the entries
    const char* tip;
  } moves[] = {
      {"over Gamma", 2, "Gamma\nThe third one"},
      {"over beta, no description", 1, "beta"},
      {"back over Gamma", 2, "Gamma\nThe third one"},
      {"below the entries", -1, "List of installed Snapins"},
  };
  for (const Move& move : moves) {
    SCOPED_TRACE(move.where);
    const RECT r = move.index >= 0 ? ItemRect(native, move.index) : RECT{last.left, last.bottom + 20, 0, 0};
    SendMessageA(native, WM_MOUSEMOVE, 0, Point(r.left + 40, r.top + 3));
    EXPECT_EQ(TipOf(native), move.tip);
  }
  // An entry above Gamma goes while the pointer rests there: the list's
  // hint, until the pointer moves over an entry again.
  SendMessageA(native, WM_MOUSEMOVE, 0, Point(last.left + 40, last.top + 3));
  list->DeleteItem(0);
  EXPECT_EQ(TipOf(native), "List of installed Snapins");
  SendMessageA(native, WM_MOUSEMOVE, 0, Point(last.left + 40, ItemRect(native, 1).top + 3));
  EXPECT_EQ(TipOf(native), "Gamma\nThe third one");
  // The name above its description, each on its own line.
  std::pair<HWND, HWND> found{GetAncestor(native, GA_ROOT), nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindOwnedTip, reinterpret_cast<LPARAM>(&found));
  ASSERT_NE(found.second, nullptr);
  EXPECT_GT(SendMessageA(found.second, TTM_GETMAXTIPWIDTH, 0, 0), 0);
}

TEST_F(Win32Toolkit, CheckListFlowsIntoTheSecondColumn) {
  auto* list = new ui::TCheckListBox(form_.get());
  list->SetBounds(0, 0, 300, 100);
  list->SetColumns(2);
  Realize();
  const HWND native = Native(*list);
  for (int i = 0; i < 12; ++i) list->AddItem("item" + std::to_string(i));
  RECT client;
  GetClientRect(native, &client);
  const RECT first = ItemRect(native, 0);
  EXPECT_EQ(first.right - first.left, (client.right - client.left) / 2);  // two columns share the width
  const int perColumn = static_cast<int>(client.bottom - client.top) / static_cast<int>(first.bottom - first.top);
  ASSERT_LT(perColumn, 12);
  const RECT next = ItemRect(native, perColumn);
  EXPECT_EQ(next.top, first.top);
  EXPECT_EQ(list->ItemAtPos(next.left + 20, next.top + 2), perColumn);

  // A longer name widens the columns as far as it needs, at most to the
  // whole list (a still longer one is cut); they narrow when it goes.
  const int width = static_cast<int>(client.right - client.left);
  for (const std::string& name : {std::string("Directory Services Manager"), std::string(200, 'W')}) {
    SCOPED_TRACE(name);
    list->AddItem(name);
    const auto column = static_cast<int>(ItemRect(native, 0).right - ItemRect(native, 0).left);
    EXPECT_GT(column, width / 2);
    EXPECT_EQ(column == width, name.size() == 200) << column;
    list->DeleteItem(list->IndexOf(name));
  }
  EXPECT_EQ(ItemRect(native, 0).right - ItemRect(native, 0).left, width / 2);
}

// What a screen reader reads of each entry, and its action: a click on the
// check mark, told as a state change of that entry; a locked entry keeps
// its mark and raises the refusal (the window says why).
TEST_F(Win32Toolkit, ScreenReaderReadsEntriesAsCheckButtonsAndActsAsAClick) {
  auto* list = new ui::TCheckListBox(form_.get());
  list->SetBounds(12, 8, 345, 233);
  list->SetHint("Snap-ins");
  for (const char* name : {"Alpha", "Beta", "Gamma"}) list->AddItem(name);
  list->SetChecked(0, true);
  list->SetChecked(1, true);
  list->SetItemEnabled(1, false);
  list->OnItemHint = [](int index) { return index == 0 ? std::string("The first\r\none") : std::string(); };
  std::vector<int> refused;
  list->OnItemRefused = [&](int index) { refused.push_back(index); };
  Realize();
  const HWND native = Native(*list);
  EXPECT_EQ(Read(native, 1), "check button checked|Alpha|The first\r\none|Uncheck");
  EXPECT_EQ(Read(native, 2), "check button checked unavailable|Beta|Snap-ins|Uncheck");
  EXPECT_EQ(Read(native, 3), "check button|Gamma|Snap-ins|Check");

  const EventHook changes(EVENT_OBJECT_STATECHANGE);
  IAccessible* acc = AccessibleOf(native);
  ASSERT_NE(acc, nullptr);
  EXPECT_EQ(acc->accDoDefaultAction(Child(3)), S_OK);
  EXPECT_EQ(acc->accDoDefaultAction(Child(2)), S_OK);
  acc->Release();
  EXPECT_EQ(Read(native, 3), "check button checked|Gamma|Snap-ins|Uncheck");
  EXPECT_TRUE(list->Checked(1));
  EXPECT_EQ(refused, std::vector<int>{1});
  EXPECT_EQ(changes.Children(native), std::vector<LONG>{3});
}

// The information line is a status bar; an announcement is an alert that
// readers speak, even of the text already shown; a plain text change (a
// description under the pointer) makes none.
TEST_F(Win32Toolkit, StatusLineAnnouncesAsAnAlertOnlyWhenAsked) {
  auto* line = new ui::TPanel(form_.get());
  line->SetBounds(0, 113, 368, 28);
  line->SetStatusLine(true);
  Realize();
  const HWND native = Native(*line);
  const EventHook alerts(EVENT_SYSTEM_ALERT);
  line->SetText("   A description under the pointer");
  EXPECT_TRUE(alerts.Children(native).empty());
  line->Announce("   Beta is required");
  line->Announce("   Beta is required");
  EXPECT_EQ(alerts.Children(native), (std::vector<LONG>{1, 1}));
  EXPECT_EQ(Read(native, CHILDID_SELF).rfind("status bar|   Beta is required|", 0), 0U) << Read(native, CHILDID_SELF);
  EXPECT_EQ(Read(native, 1), "alert|   Beta is required||");
}

// How many lines of text a window shows in a font: the rows of its client
// area, drawn into a bitmap, from the first to the last that holds anything
// but the face colour, in lines of the font.
int TextLines(HWND h, HFONT font) {
  RECT r;
  GetClientRect(h, &r);
  HDC screen = GetDC(h);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageA(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
  const COLORREF face = GetPixel(memory, r.right - 1, 0);
  int first = -1;
  int last = -1;
  for (int y = 0; y < r.bottom; ++y) {
    bool ink = false;
    for (int x = 0; x < r.right && !ink; ++x) ink = GetPixel(memory, x, y) != face;
    if (ink && first < 0) first = y;
    if (ink) last = y;
  }
  HGDIOBJ was = SelectObject(memory, font);
  TEXTMETRICA metrics{};
  GetTextMetricsA(memory, &metrics);
  SelectObject(memory, was);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(h, screen);
  if (first < 0 || metrics.tmHeight <= 0) return 0;
  return (last - first + metrics.tmHeight) / metrics.tmHeight;
}

// The information line (28 pixels) shows a line break as one, and wraps a
// status too long for one line; one too long for two is cut to one line.
TEST_F(Win32Toolkit, InformationLineShowsItsLineBreaks) {
  auto* line = new ui::TPanel(form_.get());
  line->SetBounds(0, 113, 368, 28);
  line->SetBevel(false);
  line->SetAlignment(ui::TAlignment::taLeftJustify);
  line->SetStatusLine(true);
  Realize();
  const std::pair<const char*, int> cases[] = {
      {"   One line", 1},
      {"   GroupWise domains, post offices\r\nand gateways", 2},
      {"   Invalid path: expected a folder with bin\\ConsoleOne.exe, not C:\\Novell\\ConsoleOne\\1.3", 2},
      {"   C:\\Novell\\ConsoleOne\\1.3\\bin\\ConsoleOne.exe not Found: expected a folder with bin\\ConsoleOne.exe, "
       "and more words than two lines hold, so many that they need a third and a fourth line", 1},
  };
  for (const auto& [text, lines] : cases) {
    SCOPED_TRACE(text);
    line->SetText(text);
    EXPECT_EQ(TextLines(Native(*line), ui::win32::FormFont(*ui::win32::FormPeerOf(form_->Peer()))), lines);
  }
}

// A label shortened in the middle keeps its size and its whole text (the
// accessible name), shows it whole as its tip, and draws as much of the
// start and end of the text as fits.
TEST_F(Win32Toolkit, LabelElidedInTheMiddleKeepsItsWholeText) {
  auto* label = new ui::TLabel(form_.get());
  label->SetBounds(172, 39, 63, 16);
  label->SetEllipsis(ui::TEllipsis::Middle);
  Realize();
  const std::string whole = "C:\\Novell\\ConsoleOne\\1.3\\bin\\ConsoleOne.exe not Found";
  label->SetText(whole);
  label->SetHint(whole);
  const HWND native = Native(*label);
  RECT r;
  GetWindowRect(native, &r);
  EXPECT_EQ(r.right - r.left, 63);
  EXPECT_EQ(WindowText(native), whole);
  EXPECT_EQ(TipOf(native), whole);

  // Drawn: the start (one character longer) and the end around "…", as
  // many characters as fit.
  HDC dc = GetDC(native);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  auto extent = [dc](const std::wstring& s) {
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return static_cast<int>(size.cx);
  };
  const std::wstring text = ui::win32::Wide(whole);
  auto keep = [&text](std::size_t n) { return text.substr(0, n - n / 2) + L'\u2026' + text.substr(text.size() - n / 2); };
  for (const int width : {0, 12, 63, 150, extent(text) - 1, extent(text)}) {
    SCOPED_TRACE(width);
    const std::wstring shown = ui::win32::MiddleElided(dc, text, width);
    if (extent(text) <= width) {
      EXPECT_EQ(shown, text);
      continue;
    }
    const std::size_t kept = shown.size() - 1;
    EXPECT_EQ(shown, keep(kept));
    EXPECT_TRUE(kept == 0 || extent(shown) <= width);
    EXPECT_GT(extent(keep(kept + 1)), width);
  }
  SelectObject(dc, old);
  ReleaseDC(native, dc);
}

TEST_F(Win32Toolkit, ComboReportsTypingAndPicking) {
  auto* combo = new ui::TComboBox(form_.get());
  combo->SetBounds(10, 9, 351, 24);
  combo->AddItem("C:\\first");
  combo->AddItem("C:\\second");
  std::vector<std::string> changes;
  int doubleClicks = 0;
  combo->OnChange = [&](ui::TObject*) { changes.push_back(combo->Text()); };
  combo->OnDblClick = [&](ui::TObject*) { ++doubleClicks; };
  Realize();
  const HWND native = Native(*combo);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(native, &info));
  const HWND edit = info.hwndItem;

  combo->SetText("set by code");  // raises nothing
  char text[64] = {};
  GetWindowTextA(native, text, sizeof text);
  EXPECT_STREQ(text, "set by code");
  EXPECT_TRUE(changes.empty());

  SendMessageA(edit, EM_SETSEL, 0, -1);
  SendMessageA(edit, WM_CHAR, 'D', 0);  // replaces the selection
  SendMessageA(edit, WM_CHAR, ':', 0);
  EXPECT_EQ(changes, (std::vector<std::string>{"D", "D:"}));
  EXPECT_EQ(combo->Text(), "D:");

  changes.clear();
  SendMessageA(native, CB_SETCURSEL, 1, 0);
  SendMessageA(GetParent(native), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(native), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(native));
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(changes, std::vector<std::string>{"C:\\second"});

  // The layer's history changes reach the drop-down list.
  combo->InsertItem(0, "C:\\newest");
  EXPECT_EQ(SendMessageA(native, CB_GETCOUNT, 0, 0), 3);
  char first[64] = {};
  SendMessageA(native, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
  EXPECT_STREQ(first, "C:\\newest");

  SendMessageA(edit, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(5, 5));
  EXPECT_EQ(doubleClicks, 1);
}

TEST_F(Win32Toolkit, ButtonsAndCheckBoxes) {
  auto* box = new ui::TCheckBox(form_.get());
  box->SetBounds(14, 39, 148, 21);
  box->SetText("Keep Quillan Open");
  auto* button = new ui::TBitBtn(form_.get());
  button->SetBounds(10, 70, 210, 40);
  button->SetText("&Start ConsoleOne");
  int boxClicks = 0;
  int buttonClicks = 0;
  box->OnClick = [&](ui::TObject*) { ++boxClicks; };
  button->OnClick = [&](ui::TObject*) { ++buttonClicks; };
  Realize();

  SendMessageA(Native(*box), BM_CLICK, 0, 0);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(boxClicks, 1);
  EXPECT_EQ(SendMessageA(Native(*box), BM_GETCHECK, 0, 0), BST_CHECKED);
  box->SetChecked(false);  // from code: native follows, no event
  EXPECT_EQ(SendMessageA(Native(*box), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(boxClicks, 1);

  SendMessageA(Native(*button), BM_CLICK, 0, 0);
  EXPECT_EQ(buttonClicks, 1);
  button->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Native(*button)));
  button->SetHint("Launch ConsoleOne");
  char caption[64] = {};
  GetWindowTextA(Native(*button), caption, sizeof caption);
  EXPECT_STREQ(caption, "&Start ConsoleOne");
}

TEST_F(Win32Toolkit, TabWalksTheLayersOrder) {
  auto* panel = new ui::TPanel(form_.get());
  panel->SetBounds(0, 0, 368, 113);
  panel->SetTabOrder(0);
  auto* third = new ui::TBitBtn(panel);
  third->SetTabOrder(2);
  auto* first = new ui::TCheckBox(panel);
  first->SetTabOrder(0);
  auto* second = new ui::TBitBtn(panel);  // created last: its own build orders it
  second->SetTabOrder(1);
  Realize();
  const HWND form = Native(*form_);
  const HWND a = GetNextDlgTabItem(form, nullptr, FALSE);
  EXPECT_EQ(a, Native(*first));
  const HWND b = GetNextDlgTabItem(form, a, FALSE);
  EXPECT_EQ(b, Native(*second));
  EXPECT_EQ(GetNextDlgTabItem(form, b, FALSE), Native(*third));
  third->SetTabOrder(0);
  first->SetTabOrder(3);
  EXPECT_EQ(GetNextDlgTabItem(form, nullptr, FALSE), Native(*third));
}

TEST_F(Win32Toolkit, FormCloseAndResize) {
  auto* top = new ui::TPanel(form_.get());
  top->SetBounds(0, 0, 368, 113);
  top->SetAlign(ui::TAlign::alTop);
  auto* combo = new ui::TComboBox(top);
  combo->SetBounds(10, 9, 351, 24);
  combo->SetAnchors(ui::akLeft | ui::akTop | ui::akRight);
  int closes = 0;
  form_->OnClose = [&](ui::TObject*, ui::TCloseAction& action) {
    ++closes;
    action = ui::TCloseAction::caNone;
  };
  Realize();
  const HWND form = Native(*form_);
  RECT outer;
  GetWindowRect(form, &outer);
  EXPECT_EQ(outer.right - outer.left, 376);
  EXPECT_EQ(outer.bottom - outer.top, 453);

  SendMessageA(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindow(form));
  EXPECT_TRUE(IsWindowVisible(form));

  // The user makes the window wider: anchored controls follow natively.
  SetWindowPos(form, nullptr, 0, 0, 476, 453, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  EXPECT_EQ(form_->Width(), 476);
  EXPECT_EQ(top->Width(), form_->ClientWidth());
  EXPECT_EQ(combo->Width(), 451);
  RECT r;
  GetWindowRect(Native(*combo), &r);
  EXPECT_EQ(r.right - r.left, 451);
}

// The window becoming active (the user comes back to it) reaches the layer.
TEST_F(Win32Toolkit, ActivationReachesTheForm) {
  int activations = 0;
  form_->OnActivate = [&](ui::TObject*) { ++activations; };
  Realize();
  activations = 0;
  for (const int state : {WA_INACTIVE, WA_ACTIVE, WA_INACTIVE, WA_CLICKACTIVE}) {
    SendMessageA(Native(*form_), WM_ACTIVATE, static_cast<WPARAM>(state), 0);
  }
  EXPECT_EQ(activations, 2);
}

TEST_F(Win32Toolkit, WindowStopsAtItsMinimumSize) {
  form_->SetMinClientSize(300, 200);
  Realize();
  const HWND form = Native(*form_);
  RECT least{0, 0, 300, 200};
  AdjustWindowRectEx(&least, static_cast<DWORD>(GetWindowLongA(form, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(form, GWL_EXSTYLE)));
  MINMAXINFO info{};
  SendMessageA(form, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, least.right - least.left);
  EXPECT_EQ(info.ptMinTrackSize.y, least.bottom - least.top);
  // Sizing it smaller stops there, natively and in the layer.
  SetWindowPos(form, nullptr, 0, 0, 60, 40, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
  EXPECT_EQ(form_->ClientWidth(), 300);
  EXPECT_EQ(form_->ClientHeight(), 200);
}

TEST_F(Win32Toolkit, ShiftF10OpensTheListsPopupMenu) {
  auto* list = new ui::TCheckListBox(form_.get());
  list->SetBounds(12, 8, 345, 233);
  auto* menu = form_->AddComponent<ui::TPopupMenu>();
  auto* item = form_->AddComponent<ui::TMenuItem>();
  item->SetCaption("&Check All");
  int clicked = 0;
  item->OnClick = [&](ui::TObject*) { ++clicked; };
  menu->Add(item);
  list->SetPopupMenu(menu);
  Realize();
  const HWND native = Native(*list);
  SetForegroundWindow(Native(*form_));
  SetFocus(native);
  Pump();
  ASSERT_EQ(GetFocus(), native);
  {
    ModalUser user("#32768", [](HWND menuWindow) {
      for (WPARAM key : {WPARAM{VK_DOWN}, WPARAM{VK_RETURN}}) {
        PostMessageA(menuWindow, WM_KEYDOWN, key, 0);
        Sleep(20);
      }
    });
    // Real key strokes: the shift state must be the keyboard's own.
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_SHIFT, VK_F10, VK_F10, VK_SHIFT};
    for (int i = 0; i < 4; ++i) {
      keys[i].type = INPUT_KEYBOARD;
      keys[i].ki.wVk = codes[i];
      keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(SendInput(4, keys, sizeof(INPUT)), 4U);
    for (int i = 0; i < 100 && !user.Seen(); ++i) {
      Pump();
      Sleep(10);
    }
    Pump();
    EXPECT_TRUE(user.Seen());
  }
  Pump();
  EXPECT_EQ(clicked, 1);
}

TEST_F(Win32Toolkit, MainWindowSaysWhatDidNotMoveAndSpaceSwitches) {
  quillan_test::TempDir tmp;
  const std::string base = tmp.MakeFolder("c1");
  tmp.MakeFile("c1/bin/ConsoleOne.exe", "exe");
  // Tool's library is in both places: its move back is refused by the system.
  for (const char* folder : {"snapins/Other", "lib/Tool", "resources", "inactive.snapins/Tool",
                             "inactive.lib/Tool", "inactive.resources"}) {
    tmp.MakeFolder(std::string("c1/") + folder);
  }
  TForm1 window;
  window.Show();
  Pump();
  window.ComboBoxPath->UserEdit(base);
  ui::TCheckListBox& list = *window.CheckListBoxSnapins;
  ASSERT_EQ(list.Count(), 2);
  const HWND native = Native(list);

  const int tool = list.IndexOf("Tool");
  const RECT mark = ItemRect(native, tool);
  SendMessageA(native, WM_LBUTTONDOWN, MK_LBUTTON, Point(mark.left + 5, mark.top + 5));
  SendMessageA(native, WM_LBUTTONUP, 0, Point(mark.left + 5, mark.top + 5));
  EXPECT_TRUE(quillan_test::TempDir::Exists(tmp.Join("c1/snapins/Tool")));
  EXPECT_TRUE(list.Checked(tool));  // the snap-in folder did move
  const std::string said = window.PanelInfo->Text();
  const std::string expected = "   Could not move inactive.lib\\Tool to lib\\Tool: ";
  EXPECT_EQ(said.rfind(expected, 0), 0U) << said;
  EXPECT_GT(said.size(), expected.size()) << "the system's reason is missing";

  // Space on the selected entry switches it at once.
  const int other = list.IndexOf("Other");
  const RECT text = ItemRect(native, other);
  SendMessageA(native, WM_LBUTTONDOWN, MK_LBUTTON, Point(text.left + 40, text.top + 5));
  EXPECT_TRUE(quillan_test::TempDir::Exists(tmp.Join("c1/snapins/Other")));
  SendMessageA(native, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(native, WM_CHAR, ' ', 0);
  EXPECT_FALSE(list.Checked(other));
  EXPECT_TRUE(quillan_test::TempDir::Exists(tmp.Join("c1/inactive.snapins/Other")));
  EXPECT_FALSE(quillan_test::TempDir::Exists(tmp.Join("c1/snapins/Other")));
}

TEST_F(Win32Toolkit, WarningBoxBelongsToTheWindowAndAnswers) {
  Realize();
  app_->SetMainForm(form_.get());
  std::string title;
  std::string text;
  HWND owner = nullptr;
  int answer = 0;
  {
    ModalUser user("#32770", [&](HWND box) {
      title = WindowText(box);
      text = StaticTexts(box);
      owner = GetWindow(box, GW_OWNER);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    answer = app_->MessageBox("\"Novell ConsoleOne\" seems to be running - disabling selectors", "Warning",
                              MB_OK | MB_ICONWARNING);
    EXPECT_TRUE(user.Seen());
  }
  app_->SetMainForm(nullptr);
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(title, "Warning");
  EXPECT_NE(text.find("\"Novell ConsoleOne\" seems to be running - disabling selectors"), std::string::npos)
      << text;
  // Owned by the visible main window, so it stays in front of it.
  EXPECT_EQ(owner, Native(*form_));
}

TEST_F(Win32Toolkit, PopupMenuOffersItsItemsAndRunsTheChosenOne) {
  auto* list = new ui::TCheckListBox(form_.get());
  list->SetBounds(12, 8, 345, 233);
  auto* menu = form_->AddComponent<ui::TPopupMenu>();
  std::vector<std::string> clicked;
  for (const char* caption : {"&Check All", "&Uncheck All"}) {
    auto* item = form_->AddComponent<ui::TMenuItem>();
    item->SetCaption(caption);
    item->OnClick = [&clicked, caption](ui::TObject*) { clicked.emplace_back(caption); };
    menu->Add(item);
  }
  list->SetPopupMenu(menu);
  Realize();
  const HWND native = Native(*list);
  RECT r;
  GetWindowRect(native, &r);

  // The user opens the menu, looks at it and picks the second entry.
  std::vector<std::string> offered;
  {
    ModalUser user("#32768", [&](HWND menuWindow) {
      const auto popup = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
      for (int i = 0; popup != nullptr && i < GetMenuItemCount(popup); ++i) {
        char caption[64] = {};
        GetMenuStringA(popup, static_cast<UINT>(i), caption, sizeof caption, MF_BYPOSITION);
        offered.emplace_back(caption);
      }
      for (WPARAM key : {WPARAM{VK_DOWN}, WPARAM{VK_DOWN}, WPARAM{VK_RETURN}}) {
        PostMessageA(menuWindow, WM_KEYDOWN, key, 0);
        Sleep(20);
      }
    });
    SendMessageA(native, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(native), Point(r.left + 30, r.top + 30));
    EXPECT_TRUE(user.Seen());
  }
  EXPECT_EQ(offered, (std::vector<std::string>{"&Check All", "&Uncheck All"}));
  EXPECT_EQ(clicked, (std::vector<std::string>{"&Uncheck All"}));

  // Escape leaves it without running anything.
  {
    ModalUser user("#32768", [](HWND menuWindow) { PostMessageA(menuWindow, WM_KEYDOWN, WPARAM{VK_ESCAPE}, 0); });
    SendMessageA(native, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(native), Point(r.left + 30, r.top + 30));
    EXPECT_TRUE(user.Seen());
  }
  EXPECT_EQ(clicked.size(), 1U);
}

TEST_F(Win32Toolkit, OpenDialogStartsFromTheNameAndReturnsTheChosenFile) {
  Realize();
  app_->SetMainForm(form_.get());
  ui::TOpenDialog dialog;
  dialog.FileName = "ConsoleOne";
  dialog.DefaultExt = "exe";
  dialog.Filter = "ConsoleOne|consoleone.exe|All Files|*.*";
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string chosen = std::string(windows) + "\\notepad.exe";

  // The file-name box: cmb13 in the Explorer-style dialog, edt1 in older ones.
  auto nameBox = [](HWND dlg) {
    HWND box = GetDlgItem(dlg, 0x47c);
    return box != nullptr ? box : GetDlgItem(dlg, 0x480);
  };
  std::string offered;
  bool confirmed = false;
  {
    ModalUser user("#32770", [&](HWND dlg) {
      offered = WindowText(nameBox(dlg));
      SetWindowTextA(nameBox(dlg), chosen.c_str());
      PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    confirmed = dialog.Execute();
    EXPECT_TRUE(user.Seen());
  }
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(offered, "ConsoleOne");
  EXPECT_EQ(dialog.FileName, chosen);

  // Cancel keeps the name it had.
  {
    ModalUser user("#32770", [](HWND dlg) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); });
    confirmed = dialog.Execute();
    EXPECT_TRUE(user.Seen());
  }
  app_->SetMainForm(nullptr);
  EXPECT_FALSE(confirmed);
  EXPECT_EQ(dialog.FileName, chosen);
}

}  // namespace

// The prefix draws at 96 DPI; a move to a monitor at 192 arrives as
// WM_DPICHANGED. The layer keeps its 96-DPI numbers throughout.
TEST_F(Win32Toolkit, FormRescalesOnADpiChangeAndKeepsTheLayersUnits) {
  auto* panel = new ui::TPanel(form_.get());
  panel->SetBounds(0, 0, 368, 300);
  panel->SetAlign(ui::TAlign::alTop);
  auto* list = new ui::TCheckListBox(panel);
  list->SetBounds(12, 8, 345, 233);
  list->SetAnchors(ui::akLeft | ui::akTop | ui::akRight);
  list->SetColumns(2);
  list->SetItemHeight(16);
  for (const char* name : {"Alpha", "Beta", "Gamma"}) list->AddItem(name);
  Realize();
  const HWND form = Native(*form_);
  const HWND native = Native(*list);
  ASSERT_EQ(ui::win32::WindowDpi(form), 96) << "the test prefix must draw at 96 DPI";
  RECT client96;
  GetClientRect(form, &client96);

  auto childRect = [&] {
    RECT r;
    GetWindowRect(native, &r);
    MapWindowPoints(nullptr, Native(*panel), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  auto fontHeight = [&] {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(native, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
  };
  EXPECT_EQ(fontHeight(), -form_->FontHeight());

  RECT suggested{200, 120, 200 + 752, 120 + 906};
  SendMessageA(form, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  // Twice the client area in the frame the system gives 192 DPI (Wine does
  // not redraw the frame itself for a message sent by hand).
  RECT outer;
  GetWindowRect(form, &outer);
  const SIZE frame192 = ui::win32::FrameSize(192);
  EXPECT_EQ(outer.right - outer.left, 2 * client96.right + frame192.cx);
  EXPECT_EQ(outer.bottom - outer.top, 2 * client96.bottom + frame192.cy);
  EXPECT_EQ(outer.left, 200);
  EXPECT_EQ(outer.top, 120);
  const RECT r = childRect();
  EXPECT_EQ(r.left, 24);
  EXPECT_EQ(r.top, 16);
  EXPECT_EQ(r.right - r.left, 690);
  EXPECT_EQ(r.bottom - r.top, 466);
  EXPECT_EQ(SendMessageA(native, LB_GETITEMHEIGHT, 0, 0), 32);
  EXPECT_EQ(fontHeight(), -2 * form_->FontHeight());
  // The layer's numbers stay as an unaware program would see them.
  EXPECT_EQ(form_->Width(), 376);
  EXPECT_EQ(form_->Height(), 453);
  EXPECT_EQ(form_->Left(), 100);
  EXPECT_EQ(form_->Top(), 60);
  EXPECT_EQ(list->Width(), 345);
  EXPECT_EQ(list->ItemAtPos(20, 16 + 5), 1);

  // A resize by the user at 192 DPI reaches the layer halved.
  RECT client;
  GetClientRect(form, &client);
  SetWindowPos(form, nullptr, 0, 0, outer.right - outer.left - client.right + 2 * (client96.right + 100),
               outer.bottom - outer.top - client.bottom + 2 * client96.bottom, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  EXPECT_EQ(form_->Width(), 476);
  EXPECT_EQ(list->Width(), 445);
  EXPECT_EQ(childRect().right - childRect().left, 890);

  // And back to 96: the pixel sizes are the layer's again.
  suggested = RECT{100, 60, 100 + 476, 60 + 453};
  SendMessageA(form, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  GetWindowRect(form, &outer);
  EXPECT_EQ(outer.right - outer.left, 476);
  EXPECT_EQ(outer.bottom - outer.top, 453);
  EXPECT_EQ(childRect().right - childRect().left, 445);
  EXPECT_EQ(SendMessageA(native, LB_GETITEMHEIGHT, 0, 0), 16);
  EXPECT_EQ(fontHeight(), -form_->FontHeight());
}

TEST_F(Win32Toolkit, SharedMnemonicOnlyMovesTheFocusAndEnterPresses) {
  auto* panel = new ui::TPanel(form_.get());
  panel->SetBounds(0, 0, 368, 113);
  panel->SetTabOrder(0);
  auto* keep = new ui::TCheckBox(panel);
  keep->SetBounds(14, 39, 148, 21);
  keep->SetText("&Keep Quillan Open");
  keep->SetTabOrder(1);
  auto* rc = new ui::TBitBtn(panel);
  rc->SetBounds(231, 70, 122, 40);
  rc->SetText("&Start RConJ");
  rc->SetTabOrder(2);
  auto* c1 = new ui::TBitBtn(panel);
  c1->SetBounds(10, 70, 210, 40);
  c1->SetText("&Start ConsoleOne");
  c1->SetTabOrder(3);
  int c1Clicks = 0;
  int rcClicks = 0;
  int keepClicks = 0;
  keep->OnClick = [&](ui::TObject*) { ++keepClicks; };
  c1->OnClick = [&](ui::TObject*) { ++c1Clicks; };
  rc->OnClick = [&](ui::TObject*) { ++rcClicks; };
  Realize();
  SetForegroundWindow(Native(*form_));

  constexpr WORD kAlt = VK_MENU;
  constexpr WORD kKeypad = 0x8000;  // the keypad's Enter: an extended key
  struct Step {
    const char* what;
    ui::TWinControl* from;
    bool rcEnabled;
    std::vector<WORD> keys;  // pressed in order, released in reverse
    ui::TWinControl* focusAfter;
    int c1, rc, keep;
  } steps[] = {
      {"Alt+S from ConsoleOne", c1, true, {kAlt, 'S'}, rc, 0, 0, 0},
      {"Alt+S from RConJ", rc, true, {kAlt, 'S'}, c1, 0, 0, 0},
      {"S from the check box", keep, true, {'S'}, rc, 0, 0, 0},
      {"Alt+S, RConJ disabled", c1, false, {kAlt, 'S'}, c1, 0, 0, 0},
      {"Alt+K, a mark of its own", c1, true, {kAlt, 'K'}, keep, 0, 0, 1},
      {"Alt+Q, a mark nobody has", rc, true, {kAlt, 'Q'}, rc, 0, 0, 0},
      {"Enter on ConsoleOne", c1, true, {VK_RETURN}, c1, 1, 0, 0},
      {"keypad Enter on RConJ", rc, true, {VK_RETURN | kKeypad}, rc, 0, 1, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    rc->SetEnabled(step.rcEnabled);
    SetFocus(Native(*step.from));
    c1Clicks = rcClicks = keepClicks = 0;
    const bool wasChecked = keep->Checked();
    std::vector<INPUT> input;
    for (std::size_t i = 0; i < 2 * step.keys.size(); ++i) {
      const bool up = i >= step.keys.size();
      const WORD key = step.keys[up ? 2 * step.keys.size() - 1 - i : i];
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      in.ki.wVk = static_cast<WORD>(key & ~kKeypad);
      in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | ((key & kKeypad) != 0 ? KEYEVENTF_EXTENDEDKEY : 0);
      input.push_back(in);
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)), input.size());
    for (int i = 0; i < 20; ++i) {
      app_->ProcessMessages();  // the application's loop, with its dialog keyboard
      Sleep(10);
    }
    EXPECT_EQ(GetFocus(), Native(*step.focusAfter));
    EXPECT_EQ(c1Clicks, step.c1);
    EXPECT_EQ(rcClicks, step.rc);
    EXPECT_EQ(keepClicks, step.keep);
    EXPECT_EQ(keep->Checked(), wasChecked != (step.keep != 0));
  }
}
