// Containers and captions: panels, labels, splitters and the status bar.
#pragma once

#include "ui/Control.h"

namespace ui {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TPanel : public TWinControl {
 public:
  using TWinControl::TWinControl;
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; Notify(Prop::Style); }
  bool Bevel() const { return bevel_; }
  void SetBevel(bool b) { bevel_ = b; Notify(Prop::Style); }
  // The caption is a status line: screen readers are told of its changes.
  bool StatusLine() const { return statusLine_; }
  void SetStatusLine(bool s) { statusLine_ = s; Notify(Prop::Style); }
  // Shows `text` and has screen readers speak it now, even when it equals
  // the text shown: a result or refusal the user must hear. Plain SetText
  // (a description under the pointer) is shown, not spoken.
  void Announce(const std::string& text) {
    SetText(text);
    announced_ = text;
    ++announcements_;
    Notify(Prop::Announcement);
  }
  // The last announced text and how many announcements were made.
  const std::string& Announced() const { return announced_; }
  int Announcements() const { return announcements_; }

 private:
  std::string announced_;
  int announcements_ = 0;
  TAlignment alignment_ = TAlignment::taCenter;
  bool bevel_ = true;
  bool statusLine_ = false;
};

// How a label shortens a text wider than itself.
enum class TEllipsis {
  None,    // cut at the edge
  Middle,  // "…" in the middle: a path keeps its start and its file name
};

class TLabel : public TControl {
 public:
  using TControl::TControl;
  // The whole text stays the label's text (and its accessible name); only
  // what is drawn is shortened.
  TEllipsis Ellipsis() const { return ellipsis_; }
  void SetEllipsis(TEllipsis e) { ellipsis_ = e; Notify(Prop::Ellipsis); }
  // The control the label belongs to: while the label has a text (a result
  // shown beside it), screen readers hear it as that control's description.
  TControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TControl* c) { focusControl_ = c; Notify(Prop::Text); }
 private:
  TEllipsis ellipsis_ = TEllipsis::None;
  TControl* focusControl_ = nullptr;
};

class TSplitter : public TControl {
 public:
  using TControl::TControl;
};

class TStatusBar : public TWinControl {
 public:
  using TWinControl::TWinControl;
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool s) { simplePanel_ = s; Notify(Prop::Style); }

 private:
  bool simplePanel_ = true;
};

}  // namespace ui
