// Push buttons and check boxes.
#pragma once

#include "ui/Control.h"

namespace ui {

class TBitBtn : public TWinControl {
 public:
  using TWinControl::TWinControl;
  void UserClick() override;  // only while enabled
};

class TCheckBox : public TWinControl {
 public:
  using TWinControl::TWinControl;
  bool Checked() const { return checked_; }
  void SetChecked(bool c);
  void UserClick() override;  // toggles (while enabled), then OnClick

 private:
  bool checked_ = false;
};

}  // namespace ui
