// A small console helper for the smoke test: looks into the running
// Quillan.exe from outside, as another program on the desktop could, and
// tells the test script where to click.
//
//   quillan_probe forms          number of visible main windows titled "Quillan"
//   quillan_probe items          the snap-in list's entries, one per line
//   quillan_probe checkbox N     screen point "x y" of entry N's check-mark box
//   quillan_probe close          asks the window to close, as its close box does
//   quillan_probe entries        the list as a screen reader reads it (MSAA):
//                                "count N", then "name|checked|unavailable"
//   quillan_probe panels         the accessible names of the window's panels
//   quillan_probe toggle N       a screen reader's default action on entry N
//                                (1-based); fails where it is not taken
#include "platform/win32/WinApi.h"

#include <ole2.h>
#include <oleacc.h>

#include "MsaaClient.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kFormClass[] = "QuillanForm";
constexpr char kTitle[] = "Quillan";

HWND FindForm() {
  HWND form = FindWindowExA(nullptr, nullptr, kFormClass, kTitle);
  while (form != nullptr && !IsWindowVisible(form)) form = FindWindowExA(nullptr, form, kFormClass, kTitle);
  return form;
}

BOOL CALLBACK FindListBox(HWND child, LPARAM found) {
  char name[64] = {};
  GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, "ListBox") == 0) {
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
  }
  return TRUE;
}

HWND FindList(HWND form) {
  HWND list = nullptr;
  EnumChildWindows(form, &FindListBox, reinterpret_cast<LPARAM>(&list));
  return list;
}

int PrintEntries(HWND list) {
  IAccessible* acc = AccessibleOf(list);
  if (acc == nullptr) return 2;
  long count = 0;
  acc->get_accChildCount(&count);
  std::printf("count %ld\n", count);
  for (long id = 1; id <= count; ++id) {
    BSTR name = nullptr;
    acc->get_accName(Child(id), &name);
    VARIANT state;
    VariantInit(&state);
    acc->get_accState(Child(id), &state);
    const long bits = state.vt == VT_I4 ? state.lVal : 0;
    std::printf("%s|%s|%s\n", Narrow(name).c_str(), (bits & STATE_SYSTEM_CHECKED) != 0 ? "checked" : "",
                (bits & STATE_SYSTEM_UNAVAILABLE) != 0 ? "unavailable" : "");
  }
  acc->Release();
  return 0;
}

BOOL CALLBACK PrintPanelName(HWND child, LPARAM) {
  char cls[64] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpA(cls, "QuillanContainer") != 0) return TRUE;
  if (IAccessible* acc = AccessibleOf(child)) {
    BSTR name = nullptr;
    acc->get_accName(Child(CHILDID_SELF), &name);
    std::printf("%s\n", Narrow(name).c_str());
    acc->Release();
  }
  return TRUE;
}

int Fail(const char* what) {
  std::fprintf(stderr, "quillan_probe: %s\n", what);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: quillan_probe forms|items|checkbox N|close|entries|panels");
  const std::string command = argv[1];
  if (command == "forms") {
    int count = 0;
    for (HWND w = FindWindowExA(nullptr, nullptr, kFormClass, kTitle); w != nullptr;
         w = FindWindowExA(nullptr, w, kFormClass, kTitle)) {
      if (IsWindowVisible(w)) ++count;
    }
    std::printf("%d\n", count);
    return 0;
  }
  HWND form = FindForm();
  if (form == nullptr) return Fail("no visible Quillan window");
  if (command == "close") {
    PostMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  if (command == "panels") {
    CoInitialize(nullptr);
    EnumChildWindows(form, &PrintPanelName, 0);
    return 0;
  }
  HWND list = FindList(form);
  if (list == nullptr) return Fail("no list box in the window");
  if (command == "items") {
    const auto count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    // Wide across processes: Wine hands the ANSI form back in UTF-16.
    for (int i = 0; i < count; ++i) {
      const auto length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0));
      std::vector<wchar_t> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
      char ansi[1024] = {};
      WideCharToMultiByte(CP_ACP, 0, text.data(), -1, ansi, sizeof ansi, nullptr, nullptr);
      std::printf("%s\n", ansi);
    }
    return 0;
  }
  if (command == "entries") {
    CoInitialize(nullptr);
    return PrintEntries(list) == 0 ? 0 : Fail("no accessible object for the list");
  }
  if (command == "toggle" && argc >= 3) {
    CoInitialize(nullptr);
    IAccessible* acc = AccessibleOf(list);
    if (acc == nullptr) return Fail("no accessible object for the list");
    const HRESULT done = acc->accDoDefaultAction(Child(std::atol(argv[2])));
    acc->Release();
    return done == S_OK ? 0 : Fail("the entry's default action was not taken");
  }
  if (command == "checkbox" && argc >= 3) {
    const int index = std::atoi(argv[2]);
    RECT r{};
    if (SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
      return Fail("no such entry");
    }
    // The check-mark box sits at the entry's left end.
    POINT p{r.left + 7, (r.top + r.bottom) / 2};
    ClientToScreen(list, &p);
    std::printf("%ld %ld\n", static_cast<long>(p.x), static_cast<long>(p.y));
    return 0;
  }
  return Fail("unknown command");
}
