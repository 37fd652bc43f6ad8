#include "ui/Edits.h"

namespace ui {

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

}  // namespace ui
