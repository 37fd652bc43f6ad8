#include "ui/Values.h"

#include <algorithm>

namespace ui {

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

}  // namespace ui
