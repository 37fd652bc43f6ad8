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

 private:
  TAlignment alignment_ = TAlignment::taCenter;
  bool bevel_ = true;
  bool statusLine_ = false;
};

class TLabel : public TControl {
 public:
  using TControl::TControl;
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
