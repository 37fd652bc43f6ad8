#include "toolkits/win32/Win32Peer.h"

#include "toolkits/win32/Win32CheckListAccessible.h"

#include <ole2.h>
#include <oleacc.h>

// The interface ids through __uuidof: MinGW's import library would hand
// IID_IAccessible over as a function stub, not the id.

#include <string>
#include <type_traits>

namespace ui::win32 {

namespace {

BSTR ToBstr(const std::string& ansi) {
  const std::wstring wide = Wide(ansi);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

void SetChild(VARIANT* v, long id) {
  VariantInit(v);
  v->vt = VT_I4;
  v->lVal = id;
}

}  // namespace

#pragma GCC diagnostic push
// Released through IUnknown only; the destructors are protected.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// IUnknown and IDispatch of our objects, the system's object for the window
// (parent, place, focus) and the link to the layer, cut when the window goes.
class AccessibleBase : public IAccessible {
 public:
  explicit AccessibleBase(HWND h) : hwnd_(h) {
    CreateStdAccessibleObject(h, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&std_));
  }
  AccessibleBase(const AccessibleBase&) = delete;
  AccessibleBase& operator=(const AccessibleBase&) = delete;

  virtual void Disconnect() {
    if (std_ != nullptr) std_->Release();
    std_ = nullptr;
  }

  // --- IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(IDispatch)) ||
        IsEqualIID(riid, __uuidof(IAccessible))) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
      Disconnect();
      delete this;
    }
    return static_cast<ULONG>(n);
  }

  // --- IDispatch: clients of MSAA call the methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    if (n == nullptr) return E_POINTER;
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (!Live()) return RPC_E_DISCONNECTED;
    return std_ != nullptr ? std_->get_accParent(parent) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    if (!Live()) return RPC_E_DISCONNECTED;
    *count = Children();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!Live()) return RPC_E_DISCONNECTED;
    // The elements are simple elements of this object, not objects of their own.
    return Element(child) >= 0 ? S_FALSE : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file != nullptr) *file = nullptr;
    if (topic != nullptr) *topic = 0;
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 protected:
  virtual ~AccessibleBase() = default;

  static constexpr int kSelf = -1;
  static constexpr int kInvalid = -2;

  virtual bool Live() const = 0;
  // How many simple elements (child ids 1..n) the object has.
  virtual int Children() const = 0;
  static VARIANT Self() {
    VARIANT v;
    SetChild(&v, CHILDID_SELF);
    return v;
  }
  // 0-based element of a child id, kSelf for the object, kInvalid otherwise.
  int Element(const VARIANT& child) const {
    if (child.vt != VT_I4) return kInvalid;
    if (child.lVal == CHILDID_SELF) return kSelf;
    return child.lVal >= 1 && child.lVal <= Children() ? static_cast<int>(child.lVal - 1) : kInvalid;
  }
  // The object's own text property, as the system's object gives it.
  auto FromStd(HRESULT (STDMETHODCALLTYPE IAccessible::*property)(VARIANT, BSTR*)) {
    return [this, property](BSTR* out) -> HRESULT {
      return std_ != nullptr ? (std_->*property)(Self(), out) : S_FALSE;
    };
  }
  // A text property: an element's from `ofElement` (none when it is null or
  // the text is empty), the object's own from `ofSelf`.
  template <class OfElement, class OfSelf>
  HRESULT Text(const VARIANT& child, BSTR* out, OfElement ofElement, OfSelf ofSelf) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!Live()) return RPC_E_DISCONNECTED;
    const int element = Element(child);
    if (element == kInvalid) return E_INVALIDARG;
    if (element == kSelf) return ofSelf(out);
    std::string text;
    if constexpr (!std::is_same_v<OfElement, std::nullptr_t>) text = ofElement(element);
    if (text.empty()) return S_FALSE;
    *out = ToBstr(text);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  LONG refs_ = 1;
  HWND hwnd_;
  IAccessible* std_ = nullptr;

 public:
  // Texts that only the object itself has.
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Text(child, value, nullptr, FromStd(&IAccessible::get_accValue));
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return Text(child, help, nullptr, FromStd(&IAccessible::get_accHelp));
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return Text(child, keys, nullptr, FromStd(&IAccessible::get_accKeyboardShortcut));
  }
};

// The list itself answers through the system's object for the list box;
// entries 1..n are ours.
class CheckListAccessible final : public AccessibleBase {
 public:
  CheckListAccessible(HWND list, ui::TCheckListBox& layer) : AccessibleBase(list), list_(&layer) {}

  void Disconnect() override {
    list_ = nullptr;
    AccessibleBase::Disconnect();
  }

  // --- IAccessible
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return Text(child, name, [this](int entry) { return list_->ItemText(entry); },
                FromStd(&IAccessible::get_accName));
  }
  // An entry's description is what its tool tip says below the name: a
  // reader that says the name and the description says nothing twice.
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return Text(child, text, [this](int entry) { return list_->ItemHint(entry); }, [this](BSTR* out) -> HRESULT {
      if (list_->Hint().empty()) return S_FALSE;
      *out = ToBstr(list_->Hint());
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    if (!Live()) return RPC_E_DISCONNECTED;
    const int entry = Element(child);
    if (entry == kInvalid) return E_INVALIDARG;
    SetChild(role, entry == kSelf ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_CHECKBUTTON);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    if (!Live()) return RPC_E_DISCONNECTED;
    const int entry = Element(child);
    if (entry == kInvalid) return E_INVALIDARG;
    if (entry == kSelf) {
      if (std_ != nullptr) return std_->get_accState(Self(), state);
      SetChild(state, STATE_SYSTEM_FOCUSABLE);
      return S_OK;
    }
    long bits = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
    const ui::TCheckListBox::Item& item = list_->At(entry);
    if (item.checked) bits |= STATE_SYSTEM_CHECKED;
    if (!item.enabled || !list_->Enabled()) bits |= STATE_SYSTEM_UNAVAILABLE;
    if (entry == list_->ItemIndex()) {
      bits |= STATE_SYSTEM_SELECTED;
      if (GetFocus() == hwnd_) bits |= STATE_SYSTEM_FOCUSED;
    }
    RECT r{};
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!ItemRect(entry, r) || !IntersectRect(&r, &r, &client)) bits |= STATE_SYSTEM_OFFSCREEN;
    SetChild(state, bits);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_POINTER;
    VariantInit(focus);
    if (!Live()) return RPC_E_DISCONNECTED;
    if (GetFocus() != hwnd_) return S_FALSE;
    const int selected = list_->ItemIndex();
    SetChild(focus, selected >= 0 && selected < list_->Count() ? selected + 1 : CHILDID_SELF);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_POINTER;
    VariantInit(selection);
    if (!Live()) return RPC_E_DISCONNECTED;
    const int selected = list_->ItemIndex();
    if (selected < 0 || selected >= list_->Count()) return S_FALSE;
    SetChild(selection, selected + 1);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Text(
        child, action,
        // A locked entry offers its action too: trying it says why it stays.
        [this](int entry) -> std::string {
          if (!list_->Enabled()) return {};
          return list_->Checked(entry) ? "Uncheck" : "Check";
        },
        FromStd(&IAccessible::get_accDefaultAction));
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    if (!Live()) return RPC_E_DISCONNECTED;
    const int entry = Element(child);
    if (entry == kInvalid) return E_INVALIDARG;
    if (entry == kSelf) return std_ != nullptr ? std_->accSelect(flags, Self()) : DISP_E_MEMBERNOTFOUND;
    if ((flags & SELFLAG_TAKEFOCUS) != 0) SetFocus(hwnd_);
    // Selecting is what the arrow keys do; it never switches an entry.
    if ((flags & (SELFLAG_TAKESELECTION | SELFLAG_ADDSELECTION)) != 0 && entry != list_->ItemIndex()) {
      Guard([&] { list_->UserSelect(entry); });
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (!Live()) return RPC_E_DISCONNECTED;
    const int entry = Element(child);
    if (entry == kInvalid) return E_INVALIDARG;
    if (entry == kSelf) {
      return std_ != nullptr ? std_->accLocation(left, top, width, height, Self()) : DISP_E_MEMBERNOTFOUND;
    }
    RECT r{};
    if (!ItemRect(entry, r)) return S_FALSE;
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_POINTER;
    VariantInit(end);
    if (!Live()) return RPC_E_DISCONNECTED;
    const int entry = Element(start);
    if (entry == kInvalid) return E_INVALIDARG;
    const int count = list_->Count();
    int to = kInvalid;
    if (entry == kSelf) {
      if (direction == NAVDIR_FIRSTCHILD) to = 0;
      if (direction == NAVDIR_LASTCHILD) to = count - 1;
      if (direction != NAVDIR_FIRSTCHILD && direction != NAVDIR_LASTCHILD) {
        return std_ != nullptr ? std_->accNavigate(direction, start, end) : S_FALSE;
      }
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
      to = entry + 1;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
      to = entry - 1;
    }
    if (to < 0 || to >= count) return S_FALSE;
    SetChild(end, to + 1);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    if (child == nullptr) return E_POINTER;
    VariantInit(child);
    if (!Live()) return RPC_E_DISCONNECTED;
    POINT p{x, y};
    ScreenToClient(hwnd_, &p);
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!PtInRect(&client, p)) return std_ != nullptr ? std_->accHitTest(x, y, child) : S_FALSE;
    for (int i = 0; i < list_->Count(); ++i) {
      RECT r{};
      if (ItemRect(i, r) && PtInRect(&r, p)) {
        SetChild(child, i + 1);
        return S_OK;
      }
    }
    SetChild(child, CHILDID_SELF);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!Live()) return RPC_E_DISCONNECTED;
    const int entry = Element(child);
    if (entry == kInvalid) return E_INVALIDARG;
    if (entry == kSelf) return std_ != nullptr ? std_->accDoDefaultAction(Self()) : DISP_E_MEMBERNOTFOUND;
    if (!list_->Enabled()) return DISP_E_MEMBERNOTFOUND;
    // Exactly what a click on the entry's check-mark box does, a locked
    // entry's refusal included.
    Guard([&] { list_->UserClickCheckBox(entry); });
    return S_OK;
  }
 private:
  ~CheckListAccessible() override = default;

  bool Live() const override { return list_ != nullptr && IsWindow(hwnd_); }
  int Children() const override { return list_->Count(); }
  bool ItemRect(int entry, RECT& r) const {
    return SendMessageA(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(&r)) != LB_ERR;
  }
  ui::TCheckListBox* list_;
};

// A status line: a status bar (readers' "read status bar" finds it) whose
// one element is the last announcement, an alert: readers speak an alert
// event's object when its role is alert, and leave a status bar's plain
// name changes (a description under the pointer) unsaid.
class StatusLineAccessible final : public AccessibleBase {
 public:
  StatusLineAccessible(HWND h, const ui::TPanel& panel) : AccessibleBase(h), panel_(&panel) {}

  void Disconnect() override {
    panel_ = nullptr;
    AccessibleBase::Disconnect();
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return Text(child, name, [this](int) { return panel_->Announced(); }, [this](BSTR* out) -> HRESULT {
      *out = ToBstr(panel_->Text());
      return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return Text(child, text, nullptr, FromStd(&IAccessible::get_accDescription));
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Text(child, action, nullptr, FromStd(&IAccessible::get_accDefaultAction));
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    if (!Live()) return RPC_E_DISCONNECTED;
    const int element = Element(child);
    if (element == kInvalid) return E_INVALIDARG;
    SetChild(role, element == kSelf ? ROLE_SYSTEM_STATUSBAR : ROLE_SYSTEM_ALERT);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    if (!Live()) return RPC_E_DISCONNECTED;
    const int element = Element(child);
    if (element == kInvalid) return E_INVALIDARG;
    if (element == kSelf && std_ != nullptr) return std_->get_accState(Self(), state);
    SetChild(state, STATE_SYSTEM_READONLY);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_POINTER;
    VariantInit(focus);
    if (!Live()) return RPC_E_DISCONNECTED;
    return std_ != nullptr ? std_->get_accFocus(focus) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_POINTER;
    VariantInit(selection);
    if (!Live()) return RPC_E_DISCONNECTED;
    return std_ != nullptr ? std_->get_accSelection(selection) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    if (!Live()) return RPC_E_DISCONNECTED;
    const int element = Element(child);
    if (element == kInvalid) return E_INVALIDARG;
    if (element != kSelf || std_ == nullptr) return DISP_E_MEMBERNOTFOUND;
    return std_->accSelect(flags, Self());
  }
  // The announcement takes the whole line.
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (!Live()) return RPC_E_DISCONNECTED;
    if (Element(child) == kInvalid) return E_INVALIDARG;
    return std_ != nullptr ? std_->accLocation(left, top, width, height, Self()) : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_POINTER;
    VariantInit(end);
    if (!Live()) return RPC_E_DISCONNECTED;
    const int element = Element(start);
    if (element == kInvalid) return E_INVALIDARG;
    if (element == kSelf && (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD)) {
      if (Children() == 0) return S_FALSE;
      SetChild(end, 1);
      return S_OK;
    }
    if (element != kSelf) return S_FALSE;
    return std_ != nullptr ? std_->accNavigate(direction, start, end) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    if (child == nullptr) return E_POINTER;
    VariantInit(child);
    if (!Live()) return RPC_E_DISCONNECTED;
    return std_ != nullptr ? std_->accHitTest(x, y, child) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!Live()) return RPC_E_DISCONNECTED;
    const int element = Element(child);
    if (element == kInvalid) return E_INVALIDARG;
    if (element != kSelf || std_ == nullptr) return DISP_E_MEMBERNOTFOUND;
    return std_->accDoDefaultAction(Self());
  }

 private:
  ~StatusLineAccessible() override = default;

  bool Live() const override { return panel_ != nullptr && IsWindow(hwnd_); }
  int Children() const override { return panel_->Announced().empty() ? 0 : 1; }

  const ui::TPanel* panel_;
};

#pragma GCC diagnostic pop

template <class Make>
bool Accessibility::Answer(WPARAM wp, LPARAM lp, LRESULT& result, Make make) {
  if (static_cast<LONG>(lp) != OBJID_CLIENT) return false;
  if (object_ == nullptr) object_ = make();
  result = LresultFromObject(__uuidof(IAccessible), wp, object_);
  return true;
}

bool Accessibility::OnGetObject(HWND h, ui::TCheckListBox& list, WPARAM wp, LPARAM lp, LRESULT& result) {
  return Answer(wp, lp, result, [&] { return new CheckListAccessible(h, list); });
}

bool Accessibility::OnGetObject(HWND h, const ui::TPanel& statusLine, WPARAM wp, LPARAM lp, LRESULT& result) {
  return Answer(wp, lp, result, [&] { return new StatusLineAccessible(h, statusLine); });
}

void Accessibility::Disconnect() {
  if (object_ == nullptr) return;
  object_->Disconnect();
  object_->Release();
  object_ = nullptr;
}

void NotifyEntryEvent(HWND list, DWORD event, int entry) {
  if (list != nullptr) NotifyWinEvent(event, list, OBJID_CLIENT, entry >= 0 ? entry + 1 : CHILDID_SELF);
}

void NotifyAnnouncement(HWND statusLine) {
  if (statusLine != nullptr) NotifyWinEvent(EVENT_SYSTEM_ALERT, statusLine, OBJID_CLIENT, 1);
}

}  // namespace ui::win32
