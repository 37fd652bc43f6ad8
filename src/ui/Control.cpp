#include "ui/Control.h"

#include <algorithm>

#include "ui/Application.h"
#include "ui/Form.h"

namespace ui {

namespace {

bool IsAligned(TAlign a) { return a != TAlign::alNone && a != TAlign::alCustom; }

}  // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(TWinControl* parent) : parent_(parent) {
  if (parent_) parent_->AddChild(this);
}

TControl::~TControl() {
  if (parent_) parent_->RemoveChild(this);
}

TCustomForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::StoreBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (parent_ && !parent_->aligning_) {
    anchorLeft_ = left;
    anchorTop_ = top;
    anchorWidth_ = width;
    anchorHeight_ = height;
    anchorParentWidth_ = parent_->ClientWidth();
    anchorParentHeight_ = parent_->ClientHeight();
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  StoreBounds(left, top, width, height);
  Notify(Prop::Bounds);
  if (parent_ && IsAligned(align_) && !parent_->aligning_) parent_->Realign();
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  Notify(Prop::Align);
  if (parent_) parent_->Realign();
}

void TControl::SetAnchors(TAnchors anchors) {
  anchors_ = anchors;
  Notify(Prop::Anchors);
}

void TControl::SetText(const std::string& text) {
  text_ = text;
  Notify(Prop::Text);
}

void TControl::SetHint(const std::string& hint) {
  hint_ = hint;
  Notify(Prop::Hint);
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Notify(Prop::Enabled);
}

void TControl::SetVisible(bool visible) {
  const bool changed = visible_ != visible;
  visible_ = visible;
  Notify(Prop::Visible);
  if (changed && parent_ && IsAligned(align_)) parent_->Realign();
}

void TControl::SetTabOrder(int order) {
  tabOrder_ = order;
  Notify(Prop::TabOrder);
}

void TControl::SetCursor(TCursor cursor) {
  cursor_ = cursor;
  Notify(Prop::Cursor);
}

void TControl::UserMouseMove(int x, int y, TShiftState shift) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::UserClick() {
  if (enabled_ && OnClick) OnClick(this);
}

void TControl::UserDblClick() {
  if (enabled_ && OnDblClick) OnDblClick(this);
}

void TControl::Realize() {
  TApplication* app = Application();
  if (!app) return;
  if (!realized_) {
    peer_ = app->CreatePeer(*this);
    realized_ = true;
  }
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    for (TControl* child : win->children_) child->Realize();
  }
}

// ------------------------------------------------------------- TWinControl

TWinControl::~TWinControl() {
  if (TCustomForm* form = ParentForm(); form && form != this && form->ActiveControl() == this) {
    form->SetActiveControl(nullptr);
  }
  // Children go first, last-created first, before this control's peer.
  while (!children_.empty()) {
    TControl* child = children_.back();
    children_.pop_back();
    child->parent_ = nullptr;
    delete child;
  }
}

void TWinControl::AddChild(TControl* child) { children_.push_back(child); }

void TWinControl::RemoveChild(TControl* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it != children_.end()) children_.erase(it);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (left == Left() && top == Top() && width == Width() && height == Height()) return;
  const int oldClientWidth = ClientWidth();
  const int oldClientHeight = ClientHeight();
  StoreBounds(left, top, width, height);
  Notify(Prop::Bounds);
  if (ClientWidth() != oldClientWidth || ClientHeight() != oldClientHeight) LayoutChildren();
  if (Parent() && IsAligned(Align()) && !Parent()->aligning_) Parent()->Realign();
}

void TWinControl::LayoutChildren() {
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  const bool wasAligning = aligning_;
  aligning_ = true;
  for (TControl* c : children_) {
    if (IsAligned(c->align_)) continue;
    const TAnchors a = c->anchors_;
    const int dw = cw - c->anchorParentWidth_;
    const int dh = ch - c->anchorParentHeight_;
    int l = c->anchorLeft_, t = c->anchorTop_, w = c->anchorWidth_, h = c->anchorHeight_;
    if (a & akRight) {
      if (a & akLeft) w += dw; else l += dw;
    } else if (!(a & akLeft)) {
      l += dw / 2;
    }
    if (a & akBottom) {
      if (a & akTop) h += dh; else t += dh;
    } else if (!(a & akTop)) {
      t += dh / 2;
    }
    c->SetBounds(l, t, std::max(0, w), std::max(0, h));
  }
  aligning_ = wasAligning;
  Realign();
}

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0) Realign();
}

void TWinControl::Realign() {
  if (aligning_ || alignDisabled_ > 0) return;
  aligning_ = true;
  int left = 0, top = 0, right = ClientWidth(), bottom = ClientHeight();
  auto each = [&](TAlign kind, auto&& place) {
    for (TControl* c : children_) {
      if (c->align_ == kind && c->visible_) place(c);
    }
  };
  each(TAlign::alTop, [&](TControl* c) {
    c->SetBounds(left, top, std::max(0, right - left), c->height_);
    top += c->height_;
  });
  each(TAlign::alBottom, [&](TControl* c) {
    c->SetBounds(left, bottom - c->height_, std::max(0, right - left), c->height_);
    bottom -= c->height_;
  });
  each(TAlign::alLeft, [&](TControl* c) {
    c->SetBounds(left, top, c->width_, std::max(0, bottom - top));
    left += c->width_;
  });
  each(TAlign::alRight, [&](TControl* c) {
    c->SetBounds(right - c->width_, top, c->width_, std::max(0, bottom - top));
    right -= c->width_;
  });
  each(TAlign::alClient, [&](TControl* c) {
    c->SetBounds(left, top, std::max(0, right - left), std::max(0, bottom - top));
  });
  aligning_ = false;
}

void TWinControl::SetFocus() {
  TCustomForm* form = ParentForm();
  if (form && form != this) {
    form->SetActiveControl(this);
  } else {
    Notify(Prop::Focus);
  }
}

bool TWinControl::Focused() const {
  const TCustomForm* form = ParentForm();
  return form != nullptr && form->ActiveControl() == this;
}

}  // namespace ui
