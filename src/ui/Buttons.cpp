#include "ui/Buttons.h"

namespace ui {

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

}  // namespace ui
