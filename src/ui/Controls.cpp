#include "ui/Controls.h"

#include <algorithm>

#include "lib/Errors.h"

namespace ui {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool AsciiLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(AsciiUpper(x)) < static_cast<unsigned char>(AsciiUpper(y));
  });
}

bool AsciiEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

bool IsAligned(TAlign a) { return a != TAlign::alNone && a != TAlign::alCustom; }

[[noreturn]] void IndexError(int index) {
  throw EQuillanError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(TWinControl* parent) : parent_(parent) {
  if (parent_) parent_->AddChild(this);
}

TControl::~TControl() {
  if (parent_) parent_->RemoveChild(this);
}

TCustomForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::StoreBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (parent_ && !parent_->aligning_) {
    anchorLeft_ = left;
    anchorTop_ = top;
    anchorWidth_ = width;
    anchorHeight_ = height;
    anchorParentWidth_ = parent_->ClientWidth();
    anchorParentHeight_ = parent_->ClientHeight();
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  StoreBounds(left, top, width, height);
  Notify(Prop::Bounds);
  if (parent_ && IsAligned(align_) && !parent_->aligning_) parent_->Realign();
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  Notify(Prop::Align);
  if (parent_) parent_->Realign();
}

void TControl::SetAnchors(TAnchors anchors) {
  anchors_ = anchors;
  Notify(Prop::Anchors);
}

void TControl::SetText(const std::string& text) {
  text_ = text;
  Notify(Prop::Text);
}

void TControl::SetHint(const std::string& hint) {
  hint_ = hint;
  Notify(Prop::Hint);
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Notify(Prop::Enabled);
}

void TControl::SetVisible(bool visible) {
  const bool changed = visible_ != visible;
  visible_ = visible;
  Notify(Prop::Visible);
  if (changed && parent_ && IsAligned(align_)) parent_->Realign();
}

void TControl::SetTabOrder(int order) {
  tabOrder_ = order;
  Notify(Prop::TabOrder);
}

void TControl::SetCursor(TCursor cursor) {
  cursor_ = cursor;
  Notify(Prop::Cursor);
}

void TControl::UserMouseMove(int x, int y, TShiftState shift) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::UserClick() {
  if (enabled_ && OnClick) OnClick(this);
}

void TControl::UserDblClick() {
  if (enabled_ && OnDblClick) OnDblClick(this);
}

void TControl::Realize() {
  TApplication* app = Application();
  if (!app) return;
  if (!realized_) {
    peer_ = app->CreatePeer(*this);
    realized_ = true;
  }
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    for (TControl* child : win->children_) child->Realize();
  }
}

// ------------------------------------------------------------- TWinControl

TWinControl::~TWinControl() {
  if (TCustomForm* form = ParentForm(); form && form != this && form->ActiveControl() == this) {
    form->SetActiveControl(nullptr);
  }
  // Children go first, last-created first, before this control's peer.
  while (!children_.empty()) {
    TControl* child = children_.back();
    children_.pop_back();
    child->parent_ = nullptr;
    delete child;
  }
}

void TWinControl::AddChild(TControl* child) { children_.push_back(child); }

void TWinControl::RemoveChild(TControl* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it != children_.end()) children_.erase(it);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (left == Left() && top == Top() && width == Width() && height == Height()) return;
  const int oldClientWidth = ClientWidth();
  const int oldClientHeight = ClientHeight();
  StoreBounds(left, top, width, height);
  Notify(Prop::Bounds);
  if (ClientWidth() != oldClientWidth || ClientHeight() != oldClientHeight) LayoutChildren();
  if (Parent() && IsAligned(Align()) && !Parent()->aligning_) Parent()->Realign();
}

void TWinControl::LayoutChildren() {
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  const bool wasAligning = aligning_;
  aligning_ = true;
  for (TControl* c : children_) {
    if (IsAligned(c->align_)) continue;
    const TAnchors a = c->anchors_;
    const int dw = cw - c->anchorParentWidth_;
    const int dh = ch - c->anchorParentHeight_;
    int l = c->anchorLeft_, t = c->anchorTop_, w = c->anchorWidth_, h = c->anchorHeight_;
    if (a & akRight) {
      if (a & akLeft) w += dw; else l += dw;
    } else if (!(a & akLeft)) {
      l += dw / 2;
    }
    if (a & akBottom) {
      if (a & akTop) h += dh; else t += dh;
    } else if (!(a & akTop)) {
      t += dh / 2;
    }
    c->SetBounds(l, t, std::max(0, w), std::max(0, h));
  }
  aligning_ = wasAligning;
  Realign();
}

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0) Realign();
}

void TWinControl::Realign() {
  if (aligning_ || alignDisabled_ > 0) return;
  aligning_ = true;
  int left = 0, top = 0, right = ClientWidth(), bottom = ClientHeight();
  auto each = [&](TAlign kind, auto&& place) {
    for (TControl* c : children_) {
      if (c->align_ == kind && c->visible_) place(c);
    }
  };
  each(TAlign::alTop, [&](TControl* c) {
    c->SetBounds(left, top, std::max(0, right - left), c->height_);
    top += c->height_;
  });
  each(TAlign::alBottom, [&](TControl* c) {
    c->SetBounds(left, bottom - c->height_, std::max(0, right - left), c->height_);
    bottom -= c->height_;
  });
  each(TAlign::alLeft, [&](TControl* c) {
    c->SetBounds(left, top, c->width_, std::max(0, bottom - top));
    left += c->width_;
  });
  each(TAlign::alRight, [&](TControl* c) {
    c->SetBounds(right - c->width_, top, c->width_, std::max(0, bottom - top));
    right -= c->width_;
  });
  each(TAlign::alClient, [&](TControl* c) {
    c->SetBounds(left, top, std::max(0, right - left), std::max(0, bottom - top));
  });
  aligning_ = false;
}

void TWinControl::SetFocus() {
  TCustomForm* form = ParentForm();
  if (form && form != this) {
    form->SetActiveControl(this);
  } else {
    Notify(Prop::Focus);
  }
}

bool TWinControl::Focused() const {
  const TCustomForm* form = ParentForm();
  return form != nullptr && form->ActiveControl() == this;
}

// ------------------------------------------------------------- TCustomForm

TCustomForm::TCustomForm() : TWinControl(nullptr) {}

TCustomForm::~TCustomForm() {
  activeControl_ = nullptr;
  if (TApplication* app = Application(); app && app->MainForm() == this) app->SetMainForm(nullptr);
}

int TCustomForm::FrameWidth() const {
  const TApplication* app = Application();
  return app ? app->FrameWidth() : 8;
}

int TCustomForm::FrameHeight() const {
  const TApplication* app = Application();
  return app ? app->FrameHeight() : 42;
}

int TCustomForm::ClientWidth() const { return std::max(0, Width() - FrameWidth()); }

int TCustomForm::ClientHeight() const { return std::max(0, Height() - FrameHeight()); }

void TCustomForm::SetFont(const std::string& name, int pixelHeight) {
  fontName_ = name;
  fontHeight_ = pixelHeight;
  Notify(Prop::Font);
}

void TCustomForm::SetActiveControl(TWinControl* c) {
  activeControl_ = c;
  if (c && c->Peer()) c->Peer()->Changed(Prop::Focus, -1);
}

namespace {

void CollectTabStops(const TWinControl& container, std::vector<TWinControl*>& chain) {
  std::vector<TWinControl*> kids;
  for (TControl* c : container.Controls()) {
    auto* w = dynamic_cast<TWinControl*>(c);
    if (w && w->TabOrder() >= 0) kids.push_back(w);
  }
  std::stable_sort(kids.begin(), kids.end(), [](const TWinControl* a, const TWinControl* b) {
    return a->TabOrder() < b->TabOrder();
  });
  for (TWinControl* k : kids) {
    chain.push_back(k);
    CollectTabStops(*k, chain);
  }
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The letter after the first single '&' of a caption, lower case; 0: none.
char MnemonicOf(const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') return AsciiLower(caption[i + 1]);
    ++i;  // "&&" is a plain '&'
  }
  return 0;
}

}  // namespace

std::vector<TWinControl*> TCustomForm::TabChain() const {
  std::vector<TWinControl*> chain;
  CollectTabStops(*this, chain);
  return chain;
}

TWinControl* TCustomForm::InnermostTabStop(const std::function<bool(const TWinControl&)>& holds) const {
  TWinControl* found = nullptr;
  for (TWinControl* c : TabChain())
    if (holds(*c)) found = c;
  return found;
}

bool TCustomForm::UserMnemonic(char key, const TWinControl* focused) {
  if (!focused) focused = activeControl_;
  const char want = AsciiLower(key);
  const std::vector<TWinControl*> chain = TabChain();
  std::vector<std::size_t> marked;  // places in the chain
  for (std::size_t i = 0; i < chain.size(); ++i)
    if (want != 0 && chain[i]->Visible() && MnemonicOf(chain[i]->Caption()) == want)
      marked.push_back(i);
  const auto usable = [&chain](std::size_t i) { return chain[i]->Enabled(); };
  if (std::none_of(marked.begin(), marked.end(), usable)) return false;
  if (marked.size() == 1) {
    TWinControl* c = chain[marked.front()];
    c->SetFocus();
    if (dynamic_cast<TBitBtn*>(c) || dynamic_cast<TCheckBox*>(c)) c->UserClick();
    return true;
  }
  // The first enabled one after the focused control in focus order, wrapping.
  const auto here = std::find(chain.begin(), chain.end(), focused);
  const std::size_t from =
      here == chain.end() ? 0 : static_cast<std::size_t>(here - chain.begin()) + 1;
  auto next = std::find_if(marked.begin(), marked.end(),
                           [&](std::size_t i) { return usable(i) && i >= from; });
  if (next == marked.end()) next = std::find_if(marked.begin(), marked.end(), usable);
  chain[*next]->SetFocus();
  return true;
}

void TCustomForm::Show() {
  if (showing_) return;
  if (!shownOnce_) {
    shownOnce_ = true;
    if (OnShow) OnShow(this);
  }
  showing_ = true;
  Notify(Prop::Visible);
  if (TApplication* app = Application()) app->FormVisibilityChanged(*this);
}

void TCustomForm::Close() {
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  showing_ = false;
  Notify(Prop::Visible);
  TApplication* app = Application();
  if (!app) return;
  app->FormVisibilityChanged(*this);
  if (app->MainForm() == this) app->Terminate();
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
  if (minClientWidth_ > 0) width = std::max(width, minClientWidth_ + FrameWidth());
  if (minClientHeight_ > 0) height = std::max(height, minClientHeight_ + FrameHeight());
  TWinControl::SetBounds(left, top, width, height);
}

void TCustomForm::SetMinClientSize(int width, int height) {
  minClientWidth_ = std::max(0, width);
  minClientHeight_ = std::max(0, height);
  Notify(Prop::MinSize);
  SetBounds(Left(), Top(), Width(), Height());
}

void TCustomForm::UserResized(int clientWidth, int clientHeight) {
  SetBounds(Left(), Top(), clientWidth + FrameWidth(), clientHeight + FrameHeight());
}

void TCustomForm::UserMoved(int left, int top) { SetBounds(left, top, Width(), Height()); }

void TCustomForm::KeepInWorkArea() {
  const TApplication* app = Application();
  if (app == nullptr) return;
  const int minWidth = minClientWidth_ > 0 ? minClientWidth_ + FrameWidth() : 0;
  const int minHeight = minClientHeight_ > 0 ? minClientHeight_ + FrameHeight() : 0;
  const TRect want = ui::KeepInWorkArea({Left(), Top(), Width(), Height()}, app->WorkAreas(), minWidth, minHeight);
  if (want != TRect{Left(), Top(), Width(), Height()}) SetBounds(want.left, want.top, want.width, want.height);
}

TRect KeepInWorkArea(const TRect& window, const std::vector<TRect>& workAreas, int minWidth, int minHeight) {
  if (workAreas.empty()) return window;
  auto overlap = [&](const TRect& a) {
    const long long w = std::min(window.left + window.width, a.left + a.width) - std::max(window.left, a.left);
    const long long h = std::min(window.top + window.height, a.top + a.height) - std::max(window.top, a.top);
    return w > 0 && h > 0 ? w * h : 0;
  };
  // Distance between the centres, for a window that overlaps no area.
  auto distance = [&](const TRect& a) {
    const long long dx = (2LL * a.left + a.width) - (2LL * window.left + window.width);
    const long long dy = (2LL * a.top + a.height) - (2LL * window.top + window.height);
    return dx * dx + dy * dy;
  };
  const TRect* best = &workAreas.front();
  for (const TRect& a : workAreas) {
    const long long o = overlap(a), bo = overlap(*best);
    if (o > bo || (o == bo && bo == 0 && distance(a) < distance(*best))) best = &a;
  }
  const TRect& area = *best;
  TRect r = window;
  r.width = std::max(std::min(r.width, area.width), std::min(r.width, minWidth));
  r.height = std::max(std::min(r.height, area.height), std::min(r.height, minHeight));
  // Right and bottom first: a window larger than the area keeps its top left inside.
  r.left = std::max(std::min(r.left, area.left + area.width - r.width), area.left);
  r.top = std::max(std::min(r.top, area.top + area.height - r.height), area.top);
  return r;
}

// ------------------------------------------------------------ simple kinds

void TBitBtn::UserClick() {
  if (Enabled() && OnClick) OnClick(this);
}

void TCheckBox::SetChecked(bool c) {
  checked_ = c;
  Notify(Prop::Checked);
}

void TCheckBox::UserClick() {
  if (!Enabled()) return;
  checked_ = !checked_;
  Notify(Prop::Checked);
  if (OnClick) OnClick(this);
}

void TCustomEdit::UserEdit(const std::string& newText) {
  if (!Enabled() || readOnly_) return;
  SetText(newText);
  if (OnChange) OnChange(this);
}

void TMemo::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Notify(Prop::ItemsReset);
}

void TMemo::AddLine(const std::string& line) {
  lines_.push_back(line);
  Notify(Prop::ItemInserted, static_cast<int>(lines_.size()) - 1);
}

void TMemo::ClearLines() {
  lines_.clear();
  Notify(Prop::ItemsReset);
}

// --------------------------------------------------------------- TComboBox

void TComboBox::AddItem(const std::string& s) {
  items_.push_back(s);
  Notify(Prop::ItemInserted, ItemCount() - 1);
}

void TComboBox::InsertItem(int index, const std::string& s) {
  if (index < 0 || index > ItemCount()) IndexError(index);
  items_.insert(items_.begin() + index, s);
  if (itemIndex_ >= index) ++itemIndex_;
  Notify(Prop::ItemInserted, index);
}

void TComboBox::DeleteItem(int index) {
  if (index < 0 || index >= ItemCount()) IndexError(index);
  items_.erase(items_.begin() + index);
  if (itemIndex_ == index) {
    itemIndex_ = -1;
  } else if (itemIndex_ > index) {
    --itemIndex_;
  }
  Notify(Prop::ItemDeleted, index);
}

void TComboBox::ClearItems() {
  items_.clear();
  itemIndex_ = -1;
  Notify(Prop::ItemsReset);
}

int TComboBox::IndexOfItem(const std::string& s) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (AsciiEqual(items_[i], s)) return static_cast<int>(i);
  }
  return -1;
}

void TComboBox::SetItemIndex(int index) {
  if (index < 0 || index >= ItemCount()) {
    itemIndex_ = -1;
  } else {
    itemIndex_ = index;
    SetText(items_[static_cast<std::size_t>(index)]);
  }
  Notify(Prop::ItemIndex);
}

void TComboBox::UserEdit(const std::string& newText) {
  if (!Enabled()) return;
  itemIndex_ = -1;
  SetText(newText);
  if (OnChange) OnChange(this);
}

void TComboBox::UserPick(int index) {
  if (!Enabled() || index < 0 || index >= ItemCount()) return;
  SetItemIndex(index);
  if (OnChange) OnChange(this);
}

// ----------------------------------------------------------- TCheckListBox

void TCheckListBox::SetSorted(bool s) {
  const bool resort = s && !sorted_;
  sorted_ = s;
  if (!resort) return;
  SortItems();
  Changed(Prop::ItemsReset);
  Changed(Prop::ItemIndex);
}

void TCheckListBox::SortItems() {
  std::vector<std::size_t> order(items_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return AsciiLess(items_[a].text, items_[b].text); });
  std::vector<Item> sortedItems;
  sortedItems.reserve(items_.size());
  int newIndex = -1;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (static_cast<int>(order[i]) == itemIndex_) newIndex = static_cast<int>(i);
    sortedItems.push_back(std::move(items_[order[i]]));
  }
  items_ = std::move(sortedItems);
  itemIndex_ = newIndex;
}

void TCheckListBox::EndUpdate() {
  if (updating_ == 0 || --updating_ > 0) return;
  if (unsorted_) {
    unsorted_ = false;
    if (sorted_) SortItems();
  }
  Notify(Prop::ItemsReset);
  Notify(Prop::ItemIndex);
}

const TCheckListBox::Item& TCheckListBox::At(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return items_[static_cast<std::size_t>(index)];
}

int TCheckListBox::AddItem(const std::string& text) {
  if (updating_ > 0 && sorted_) {
    items_.push_back(Item{text, false, true});
    unsorted_ = true;
    return Count() - 1;
  }
  auto pos = items_.end();
  if (sorted_) {
    pos = std::upper_bound(items_.begin(), items_.end(), text,
                           [](const std::string& t, const Item& item) { return AsciiLess(t, item.text); });
  }
  const int index = static_cast<int>(pos - items_.begin());
  items_.insert(pos, Item{text, false, true});
  if (itemIndex_ >= index) ++itemIndex_;
  Changed(Prop::ItemInserted, index);
  return index;
}

void TCheckListBox::Clear() {
  items_.clear();
  unsorted_ = false;
  itemIndex_ = -1;
  Changed(Prop::ItemsReset);
}

void TCheckListBox::DeleteItem(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  items_.erase(items_.begin() + index);
  if (itemIndex_ == index) {
    itemIndex_ = -1;
  } else if (itemIndex_ > index) {
    --itemIndex_;
  }
  Changed(Prop::ItemDeleted, index);
}

int TCheckListBox::IndexOf(const std::string& text) const {
  if (sorted_ && !unsorted_) {
    auto it = std::lower_bound(items_.begin(), items_.end(), text,
                               [](const Item& item, const std::string& t) { return AsciiLess(item.text, t); });
    return (it != items_.end() && AsciiEqual(it->text, text)) ? static_cast<int>(it - items_.begin()) : -1;
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (AsciiEqual(items_[i].text, text)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<int> TCheckListBox::IndexesOf(const std::string& text) const {
  std::vector<int> found;
  if (sorted_ && !unsorted_) {
    // Sorted ignoring case: the matches follow the first one.
    for (int i = IndexOf(text); i >= 0 && i < Count() && AsciiEqual(At(i).text, text); ++i) {
      found.push_back(i);
    }
    return found;
  }
  for (int i = 0; i < Count(); ++i) {
    if (AsciiEqual(At(i).text, text)) found.push_back(i);
  }
  return found;
}

void TCheckListBox::SetChecked(int index, bool checked) {
  if (index < 0 || index >= Count()) IndexError(index);
  items_[static_cast<std::size_t>(index)].checked = checked;
  Changed(Prop::Checked, index);
}

void TCheckListBox::SetItemEnabled(int index, bool enabled) {
  if (index < 0 || index >= Count()) IndexError(index);
  items_[static_cast<std::size_t>(index)].enabled = enabled;
  Changed(Prop::ItemEnabled, index);
}

void TCheckListBox::SetItemIndex(int index) {
  itemIndex_ = (index >= 0 && index < Count()) ? index : -1;
  Changed(Prop::ItemIndex);
}

int TCheckListBox::RowsPerColumn() const {
  if (itemHeight_ <= 0) return 1;
  return std::max(1, ClientHeight() / itemHeight_);
}

int TCheckListBox::ItemAtPos(int x, int y) const {
  if (ControlPeer* peer = Peer()) {
    if (std::optional<int> answer = peer->ItemAtPos(x, y)) return *answer;
  }
  if (x < 0 || y < 0 || x >= ClientWidth() || itemHeight_ <= 0) return -1;
  const int row = y / itemHeight_;
  int index = row;
  if (columns_ > 0) {
    const int rows = RowsPerColumn();
    const int columnWidth = ClientWidth() / columns_;
    if (row >= rows || columnWidth <= 0) return -1;
    index = (x / columnWidth) * rows + row;
  }
  return index < Count() ? index : -1;
}

void TCheckListBox::UserClickItem(int index) {
  if (!Enabled() || index < 0 || index >= Count()) return;
  SetItemIndex(index);
  if (OnClick) OnClick(this);
}

void TCheckListBox::UserClickCheckBox(int index) {
  if (!Enabled() || index < 0 || index >= Count()) return;
  SetItemIndex(index);
  Item& item = items_[static_cast<std::size_t>(index)];
  if (item.enabled) {
    item.checked = !item.checked;
    Notify(Prop::Checked, index);
  }
  if (OnClick) OnClick(this);
}

void TCheckListBox::UserPressSpace() {
  if (!Enabled() || itemIndex_ < 0 || itemIndex_ >= Count()) return;
  Item& item = items_[static_cast<std::size_t>(itemIndex_)];
  if (!item.enabled) return;
  item.checked = !item.checked;
  Notify(Prop::Checked, itemIndex_);
  // As a click on the check-mark box: a mark never changes unseen by the handler.
  if (OnClick) OnClick(this);
}

void TCheckListBox::UserSelect(int index) {
  if (!Enabled() || index < 0 || index >= Count()) return;
  SetItemIndex(index);
  if (OnClick) OnClick(this);
}

std::string TCheckListBox::ItemHint(int index) const {
  if (index >= 0 && index < Count() && OnItemHint) {
    std::string hint = OnItemHint(index);
    if (!hint.empty()) return hint;
  }
  return Hint();
}

// ------------------------------------------------------------ value kinds

void TSpinEdit::SetValue(int v) {
  if (min_ != max_) v = std::clamp(v, min_, max_);
  value_ = v;
  Notify(Prop::Value);
}

void TSpinEdit::SetRange(int min, int max) {
  min_ = std::min(min, max);
  max_ = std::max(min, max);
  SetValue(value_);
}

void TSpinEdit::UserSetValue(int v) {
  if (Enabled()) SetValue(v);
}

void TRadioGroup::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  if (itemIndex_ >= static_cast<int>(items_.size())) itemIndex_ = -1;
  Notify(Prop::ItemsReset);
}

void TRadioGroup::SetItemIndex(int index) {
  itemIndex_ = (index >= 0 && index < static_cast<int>(items_.size())) ? index : -1;
  Notify(Prop::ItemIndex);
}

void TRadioGroup::UserSelect(int index) {
  if (!Enabled() || index < 0 || index >= static_cast<int>(items_.size())) return;
  SetItemIndex(index);
  if (OnClick) OnClick(this);
}

void TTrackBar::SetPosition(int p) {
  position_ = std::clamp(p, min_, max_);
  Notify(Prop::Value);
}

void TTrackBar::SetRange(int min, int max) {
  min_ = std::min(min, max);
  max_ = std::max(min, max);
  SetPosition(position_);
}

void TTrackBar::UserSetPosition(int p) {
  if (Enabled()) SetPosition(p);
}

void TValueListEditor::SetStrings(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Notify(Prop::ItemsReset);
}

void TValueListEditor::AddLine(const std::string& line) {
  lines_.push_back(line);
  Notify(Prop::ItemInserted, RowCount() - 1);
}

void TValueListEditor::ClearLines() {
  lines_.clear();
  Notify(Prop::ItemsReset);
}

// ------------------------------------------------------------- TStringGrid

namespace {
// Counts come from settings files too; a hand-edited one must not exhaust memory.
constexpr long long kMaxGridCells = 1LL << 20;
void CheckGridSize(int rows, int cols) {
  if (static_cast<long long>(rows) * cols > kMaxGridCells) throw EQuillanError("Grid too large");
}
}  // namespace

void TStringGrid::SetRowCount(int n) {
  if (n <= fixedRows_) throw EQuillanError("Fixed row count must be less than row count");
  CheckGridSize(n, cols_);
  rows_ = n;
  Resize();
}

void TStringGrid::SetColCount(int n) {
  if (n <= fixedCols_) throw EQuillanError("Fixed column count must be less than column count");
  CheckGridSize(rows_, n);
  cols_ = n;
  Resize();
}

void TStringGrid::SetFixedRows(int n) {
  if (n < 0 || n >= rows_) throw EQuillanError("Fixed row count must be less than row count");
  fixedRows_ = n;
  Notify(Prop::Counts);
}

void TStringGrid::SetFixedCols(int n) {
  if (n < 0 || n >= cols_) throw EQuillanError("Fixed column count must be less than column count");
  fixedCols_ = n;
  Notify(Prop::Counts);
}

void TStringGrid::Resize() {
  cells_.resize(static_cast<std::size_t>(cols_));
  for (auto& column : cells_) column.resize(static_cast<std::size_t>(rows_));
  Notify(Prop::Counts);
}

const std::string& TStringGrid::Cell(int col, int row) const {
  static const std::string empty;
  if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return empty;
  return cells_[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)];
}

void TStringGrid::SetCell(int col, int row, const std::string& text) {
  if (col < 0 || col >= cols_ || row < 0 || row >= rows_) {
    throw EQuillanError("Grid index out of range (" + std::to_string(col) + ", " + std::to_string(row) + ")");
  }
  cells_[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)] = text;
  Notify(Prop::Cells, row * cols_ + col);
}

}  // namespace ui
