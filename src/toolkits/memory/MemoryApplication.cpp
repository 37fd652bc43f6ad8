#include "toolkits/memory/MemoryApplication.h"

namespace ui::memory {

void MemoryApplication::Run() {
  terminated_ = false;
  if (ui::TCustomForm* form = MainForm()) form->Show();
  while (!terminated_ && !pending_.empty()) ProcessMessages();
}

void MemoryApplication::ProcessMessages() {
  ++processCalls_;
  // Only what is queued now; an action queued by an action runs next time,
  // as a toolkit's message loop would deliver it.
  std::size_t n = pending_.size();
  while (n-- > 0 && !pending_.empty()) {
    std::function<void()> action = std::move(pending_.front());
    pending_.pop_front();
    action();
  }
}

int MemoryApplication::MessageBox(const std::string& text, const std::string& caption,
                                  unsigned flags) {
  boxes_.push_back({text, caption, flags});
  if (boxAnswers_.empty()) return ui::IDOK;
  const int answer = boxAnswers_.front();
  boxAnswers_.pop_front();
  return answer;
}

bool MemoryApplication::ExecuteOpenDialog(ui::TOpenDialog& dialog) {
  dialogs_.push_back({dialog.InitialDir, dialog.FileName, dialog.Filter, dialog.DefaultExt});
  if (dialogAnswers_.empty()) return false;
  std::optional<std::string> answer = std::move(dialogAnswers_.front());
  dialogAnswers_.pop_front();
  if (!answer) return false;
  dialog.FileName = *answer;
  return true;
}

void MemoryApplication::FormVisibilityChanged(ui::TCustomForm& form) {
  visibility_.emplace_back(&form, form.Showing());
}

}  // namespace ui::memory
