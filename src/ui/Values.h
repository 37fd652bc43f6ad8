// Kinds that hold one value: spin edit, radio group, track bar. No window
// shows them; the control-state walk saves and restores them.
#pragma once

#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class TSpinEdit : public TWinControl {
 public:
  using TWinControl::TWinControl;
  int Value() const { return value_; }
  void SetValue(int v);
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  void SetRange(int min, int max);  // min == max means no limit
  void UserSetValue(int v);

 private:
  int value_ = 0, min_ = 0, max_ = 0;
};

class TRadioGroup : public TWinControl {
 public:
  using TWinControl::TWinControl;
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);  // out of range selects none (-1)
  void UserSelect(int index);

 private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

class TTrackBar : public TWinControl {
 public:
  using TWinControl::TWinControl;
  int Position() const { return position_; }
  void SetPosition(int p);  // clamped to Min..Max
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetRange(int min, int max);
  void UserSetPosition(int p);

 private:
  int position_ = 0, min_ = 0, max_ = 10;
};

}  // namespace ui
