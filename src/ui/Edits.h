// Text edits: single-line, labelled and multi-line.
#pragma once

#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class TCustomEdit : public TWinControl {
 public:
  using TWinControl::TWinControl;
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool r) { readOnly_ = r; Notify(Prop::ReadOnly); }
  TNotifyEvent OnChange;
  // The user replaced the text (one keystroke, a paste): state, then OnChange.
  void UserEdit(const std::string& newText);

 private:
  bool readOnly_ = false;
};

class TEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
};

class TLabeledEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
};

class TMemo : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
  const std::vector<std::string>& Lines() const { return lines_; }
  void SetLines(std::vector<std::string> lines);
  void AddLine(const std::string& line);
  void ClearLines();

 private:
  std::vector<std::string> lines_;
};

}  // namespace ui
