#include "ui/Form.h"

#include <algorithm>

#include "ui/Application.h"
#include "ui/Buttons.h"

namespace ui {

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

void TCustomForm::UserActivated() {
  if (OnActivate) OnActivate(this);
}

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

}  // namespace ui
