// Forms: the top-level windows, their tab chain, mnemonics and placement.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

// Where a window belongs so that it lies wholly inside a work area: the
// area it overlaps most (the nearest when it overlaps none), moved into
// it, and shrunk only where it is larger than the area, never below the
// minimum size (then its top left corner is in the area). No areas: as given.
TRect KeepInWorkArea(const TRect& window, const std::vector<TRect>& workAreas, int minWidth, int minHeight);

class TCustomForm : public TWinControl {
 public:
  TCustomForm();
  ~TCustomForm() override;

  int ClientWidth() const override;
  int ClientHeight() const override;
  // Never smaller than the minimum client size (plus the frame).
  void SetBounds(int left, int top, int width, int height) override;
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  const std::string& FontName() const { return fontName_; }
  int FontHeight() const { return fontHeight_; }
  void SetFont(const std::string& name, int pixelHeight);
  // The smallest client area the user can size the window to; 0: no limit.
  int MinClientWidth() const { return minClientWidth_; }
  int MinClientHeight() const { return minClientHeight_; }
  void SetMinClientSize(int width, int height);
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* c);
  // Non-visual components owned by the form (menus, dialogs).
  template <class T, class... Args>
  T* AddComponent(Args&&... args) {
    auto p = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = p.get();
    components_.push_back(std::move(p));
    return raw;
  }

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TCloseEvent OnClose;
  // The window became the active one (the user came back to it).
  TNotifyEvent OnActivate;

  // Raises OnShow before the form first appears, then shows it.
  void Show();
  bool Showing() const { return showing_; }
  // Raises OnClose; unless the action becomes caNone the form hides, and a
  // closed main form ends the application. Exceptions from OnClose pass.
  void Close();
  // The user resized the window (client size in pixels, taken no smaller
  // than the minimum).
  void UserResized(int clientWidth, int clientHeight);
  void UserMoved(int left, int top);
  // The toolkit saw the window become active: raises OnActivate.
  void UserActivated();
  // Moves the window wholly into a work area of the screens (a placement
  // restored for a screen no longer there, a scaled display).
  void KeepInWorkArea();
  // The user asked to close the window.
  void UserClose() { Close(); }
  // Alt+key: the tab stops whose caption marks `key` ("&S", letters in any
  // case). A mark no other control carries clicks its control; one that
  // several carry (disabled ones count) only moves the focus to the next
  // enabled one after `focused` (the active control when null), so it never
  // presses a button. False when no enabled control has the mark.
  bool UserMnemonic(char key, const TWinControl* focused = nullptr);
  // The form's tab stops in focus order (nested containers in place).
  std::vector<TWinControl*> TabChain() const;
  // The innermost tab stop that `holds` says holds the focus (a container
  // comes before its controls in the chain); null when none does.
  TWinControl* InnermostTabStop(const std::function<bool(const TWinControl&)>& holds) const;

 private:
  // The application's frame around the client area, or a default one.
  int FrameWidth() const;
  int FrameHeight() const;

  TPosition position_ = TPosition::poDesigned;
  std::string fontName_ = "MS Sans Serif";
  int fontHeight_ = 14;
  int minClientWidth_ = 0;
  int minClientHeight_ = 0;
  TWinControl* activeControl_ = nullptr;
  bool showing_ = false;
  bool shownOnce_ = false;
  std::vector<std::unique_ptr<TComponent>> components_;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

}  // namespace ui
