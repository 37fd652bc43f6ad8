// The toolkit without a screen: controls live as data, and what a real
// toolkit would ask the user (message boxes, the open dialog) is answered
// from queues that tests fill.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/Controls.h"

namespace ui::memory {

struct MessageBoxCall {
  std::string text;
  std::string caption;
  unsigned flags = 0;
};

struct OpenDialogCall {
  std::string initialDir;
  std::string fileName;
  std::string filter;
  std::string defaultExt;
};

class MemoryApplication : public ui::TApplication {
 public:
  MemoryApplication() = default;

  // Shows the main form, then runs the pending user actions until none is
  // left or the main form has closed.
  void Run() override;
  // Runs the user actions queued so far (and those they queue), in order.
  void ProcessMessages() override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool ExecuteOpenDialog(ui::TOpenDialog& dialog) override;
  void Terminate() override { terminated_ = true; }
  std::unique_ptr<ui::ControlPeer> CreatePeer(ui::TControl&) override { return nullptr; }
  void FormVisibilityChanged(ui::TCustomForm& form) override;
  std::vector<ui::TRect> WorkAreas() const override { return workAreas_; }
  void BringToFront(const std::string& token) override { broughtToFront_.push_back(token); }
  void WatchInput(int descriptor, std::function<void()> onInput) override {
    watched_.emplace_back(descriptor, std::move(onInput));
  }

  // --- what tests arrange ---
  // The screens' work areas (none: the window stays where it is put).
  void SetWorkAreas(std::vector<ui::TRect> areas) { workAreas_ = std::move(areas); }
  // Something the user does while the program lets pending input run.
  void QueueUserAction(std::function<void()> action) { pending_.push_back(std::move(action)); }
  // The answer of the next message box (IDOK when none is queued).
  void QueueMessageBoxAnswer(int answer) { boxAnswers_.push_back(answer); }
  // The next open dialog confirms this file; nullopt cancels it. With
  // nothing queued a dialog is cancelled.
  void QueueOpenDialogResult(std::optional<std::string> fileName) {
    dialogAnswers_.push_back(std::move(fileName));
  }

  // Input arrived on every watched descriptor; their handlers run.
  void InputArrived() {
    for (auto& [descriptor, onInput] : watched_) onInput();
  }

  // --- what tests observe ---
  std::vector<int> WatchedDescriptors() const {
    std::vector<int> out;
    for (const auto& w : watched_) out.push_back(w.first);
    return out;
  }
  // The tokens of the requests to come forward, in order.
  const std::vector<std::string>& BroughtToFront() const { return broughtToFront_; }
  const std::vector<MessageBoxCall>& MessageBoxes() const { return boxes_; }
  const std::vector<OpenDialogCall>& OpenDialogs() const { return dialogs_; }
  // Every application-wide cursor set, in order.
  const std::vector<ui::TCursor>& CursorHistory() const { return cursors_; }
  bool Terminated() const { return terminated_; }
  int ProcessMessagesCalls() const { return processCalls_; }
  std::size_t PendingUserActions() const { return pending_.size(); }
  // Forms shown or hidden, in order (true: shown).
  const std::vector<std::pair<ui::TCustomForm*, bool>>& VisibilityChanges() const {
    return visibility_;
  }

 protected:
  void CursorChanged() override { cursors_.push_back(Cursor()); }

 private:
  std::vector<ui::TRect> workAreas_;
  std::deque<std::function<void()>> pending_;
  std::deque<int> boxAnswers_;
  std::deque<std::optional<std::string>> dialogAnswers_;
  std::vector<MessageBoxCall> boxes_;
  std::vector<OpenDialogCall> dialogs_;
  std::vector<ui::TCursor> cursors_;
  std::vector<std::pair<ui::TCustomForm*, bool>> visibility_;
  std::vector<std::pair<int, std::function<void()>>> watched_;
  std::vector<std::string> broughtToFront_;
  bool terminated_ = false;
  int processCalls_ = 0;
};

}  // namespace ui::memory
