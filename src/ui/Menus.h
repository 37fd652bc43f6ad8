// Pop-up menus and their items.
#pragma once

#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class TMenuItem : public TComponent {
 public:
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string c) { caption_ = std::move(c); }
  TNotifyEvent OnClick;
  void UserClick() {
    if (OnClick) OnClick(this);
  }

 private:
  std::string caption_;
};

class TPopupMenu : public TComponent {
 public:
  void Add(TMenuItem* item) { items_.push_back(item); }
  const std::vector<TMenuItem*>& Items() const { return items_; }

 private:
  std::vector<TMenuItem*> items_;  // owned by the form
};

}  // namespace ui
