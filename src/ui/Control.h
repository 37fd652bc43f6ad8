// The toolkit layer's base: controls, containers and the peer interface
// every kind shares. Every control holds its own state as plain data, so the
// layer works without any toolkit (that is the memory toolkit). A real
// toolkit (Qt, Win32) attaches a peer to each control: the peer mirrors the
// state into a native widget when Changed() is called, and reports what the
// user did by calling the control's User...() entry points, which update the
// state and raise the events. Setting a property from code never raises an
// event.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class TObject {
 public:
  virtual ~TObject() = default;
};

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TOpenDialog;
class TApplication;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;

enum class TCursor { crDefault, crArrow, crHourGlass, crHandPoint };

enum class TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// A rectangle of the screen in the layer's pixels.
struct TRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TRect&) const = default;
};

struct TShiftState {
  unsigned bits = 0;
};

using TNotifyEvent = std::function<void(TObject* sender)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

// What a peer is told has changed. `index` names the item where it applies.
enum class Prop {
  Bounds, Align, Anchors, Text, Hint, Enabled, Visible, TabOrder, Cursor, Font, Focus,
  Checked,          // check box state, or check-list item `index`
  ItemEnabled,      // check-list item `index`
  ItemInserted,     // list item inserted at `index`
  ItemDeleted,      // list item at `index` removed
  ItemsReset,       // whole list replaced (cleared or rebuilt)
  ItemIndex,        // selection
  Style, ReadOnly, Value, Columns, ItemHeight,
  Cells,            // grid cell `index` = row * ColCount() + col
  Counts,
  MinSize,          // a form's smallest client size
  Announcement,     // a status line's text is to be spoken now (TPanel::Announce)
  Ellipsis,         // how a label shortens a text that does not fit
};

// A toolkit's native counterpart of one control.
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void Changed(Prop what, int index) = 0;
  // Item under a point in client coordinates, when the toolkit knows better
  // than the layer's geometry (scrolling); nullopt: use the layer's answer.
  virtual std::optional<int> ItemAtPos(int /*x*/, int /*y*/) const { return std::nullopt; }
};

class TComponent : public TObject {
 public:
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

 private:
  std::string name_;
};

class TControl : public TComponent {
 public:
  // Registers the control as the last child of `parent` (which owns it).
  explicit TControl(TWinControl* parent);
  ~TControl() override;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  TWinControl* Parent() const { return parent_; }
  TCustomForm* ParentForm() const;  // the form this control is on (itself for a form)

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Moves and sizes the control; a container re-lays out its children
  // (alignment first, then anchors for the others).
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  // Client size; equals the outer size except for forms.
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors);

  // Caption or text, depending on the kind.
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& text) { SetText(text); }

  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  int TabOrder() const { return tabOrder_; }  // -1: not a tab stop
  void SetTabOrder(int order);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }

  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

  // --- user actions (called by toolkits and by tests acting as a user) ---
  void UserMouseMove(int x, int y, TShiftState shift = {});
  virtual void UserClick();
  void UserDblClick();

  // --- toolkit side ---
  ControlPeer* Peer() const { return peer_.get(); }
  // Creates the peers of this control and its children (top-down) when an
  // application with a toolkit exists. A control added later to a realized
  // parent is realized by calling Realize() on it (or on the parent) once it
  // is fully constructed; a constructor cannot, the kind is not known yet.
  void Realize();
  bool Realized() const { return realized_; }

 protected:
  void Notify(Prop what, int index = -1) const {
    if (peer_) peer_->Changed(what, index);
  }
  // Stores new bounds without re-laying out the parent.
  void StoreBounds(int left, int top, int width, int height);

 private:
  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  TAnchors anchors_ = akLeft | akTop;
  std::string text_;
  std::string hint_;
  bool enabled_ = true;
  bool visible_ = true;
  int tabOrder_ = -1;
  TCursor cursor_ = TCursor::crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  std::unique_ptr<ControlPeer> peer_;
  bool realized_ = false;
  // Bounds and parent client size when the bounds were last set other than
  // by the parent's layout; anchored moves are computed from them, so
  // shrinking and growing the parent again does not drift.
  int anchorLeft_ = 0, anchorTop_ = 0, anchorWidth_ = 0, anchorHeight_ = 0;
  int anchorParentWidth_ = 0, anchorParentHeight_ = 0;
};

class TWinControl : public TControl {
 public:
  using TControl::TControl;
  ~TWinControl() override;

  const std::vector<TControl*>& Controls() const { return children_; }
  void SetBounds(int left, int top, int width, int height) override;
  // Keyboard focus; the form remembers it as its active control.
  void SetFocus();
  bool Focused() const;
  // Lays out the aligned children in the client area.
  void Realign();
  // While building a window, as a form resource loads: children keep their
  // designed bounds until the last EnableAlign lays them out.
  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();

 private:
  friend class TControl;
  // Moves anchored children for the new client size, then realigns.
  void LayoutChildren();
  void AddChild(TControl* child);
  void RemoveChild(TControl* child);
  std::vector<TControl*> children_;  // owned
  bool aligning_ = false;
  int alignDisabled_ = 0;
};

}  // namespace ui
