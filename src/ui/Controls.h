// The toolkit layer: the control kinds the window and the control-state walk
// use. Every control holds its own state as plain data, so the layer works
// without any toolkit (that is the memory toolkit). A real toolkit (Qt,
// Win32) attaches a peer to each control: the peer mirrors the state into a
// native widget when Changed() is called, and reports what the user did by
// calling the control's User...() entry points, which update the state and
// raise the events. Setting a property from code never raises an event.
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

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A rectangle of the screen in the layer's pixels.
struct TRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TRect&) const = default;
};

// Where a window belongs so that it lies wholly inside a work area: the
// area it overlaps most (the nearest when it overlaps none), moved into
// it, and shrunk only where it is larger than the area, never below the
// minimum size (then its top left corner is in the area). No areas: as given.
TRect KeepInWorkArea(const TRect& window, const std::vector<TRect>& workAreas, int minWidth, int minHeight);

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

class TBitBtn : public TWinControl {
 public:
  using TWinControl::TWinControl;
  void UserClick() override;  // only while enabled
};

class TCheckBox : public TWinControl {
 public:
  using TWinControl::TWinControl;
  bool Checked() const { return checked_; }
  void SetChecked(bool c);
  void UserClick() override;  // toggles (while enabled), then OnClick

 private:
  bool checked_ = false;
};

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

class TComboBox : public TWinControl {
 public:
  using TWinControl::TWinControl;
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s) { style_ = s; Notify(Prop::Style); }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int h) { itemHeight_ = h; Notify(Prop::ItemHeight); }

  const std::vector<std::string>& Items() const { return items_; }
  int ItemCount() const { return static_cast<int>(items_.size()); }
  void AddItem(const std::string& s);
  void InsertItem(int index, const std::string& s);
  void DeleteItem(int index);
  void ClearItems();
  // First item whose whole text equals `s`, ignoring case; -1 when none.
  int IndexOfItem(const std::string& s) const;
  int ItemIndex() const { return itemIndex_; }
  // Selects an item (its text becomes the box's text); -1 selects none.
  void SetItemIndex(int index);

  TNotifyEvent OnChange;
  // The user changed the edit text (one keystroke at a time).
  void UserEdit(const std::string& newText);
  // The user typed one more character at the end of the text.
  void UserTypeChar(char c) { UserEdit(Text() + c); }
  // The user picked an entry from the drop-down list.
  void UserPick(int index);

 private:
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
  int itemHeight_ = 16;
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

class TCheckListBox : public TWinControl {
 public:
  using TWinControl::TWinControl;
  struct Item {
    std::string text;
    bool checked = false;
    bool enabled = true;
  };

  bool Sorted() const { return sorted_; }
  void SetSorted(bool s);
  int Columns() const { return columns_; }
  void SetColumns(int c) { columns_ = c; Notify(Prop::Columns); }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int h) { itemHeight_ = h; Notify(Prop::ItemHeight); }

  int Count() const { return static_cast<int>(items_.size()); }
  const Item& At(int index) const;
  const std::string& ItemText(int index) const { return At(index).text; }
  // Adds an item (unchecked, enabled) at its sorted place (ignoring case;
  // after equal names) or at the end, and returns its index.
  int AddItem(const std::string& text);
  void Clear();
  void DeleteItem(int index);
  // First item, in list order, whose whole text equals `text` ignoring case.
  int IndexOf(const std::string& text) const;
  // Every such item, in list order.
  std::vector<int> IndexesOf(const std::string& text) const;
  // Between BeginUpdate and the matching EndUpdate, AddItem appends and its
  // index stays valid until EndUpdate, which sorts once (items keep their
  // flags; equal names keep their order, as one-by-one insertion gives)
  // and tells the peer once. Adding n names then costs n log n, not n^2.
  void BeginUpdate() { ++updating_; }
  void EndUpdate();
  bool Checked(int index) const { return At(index).checked; }
  void SetChecked(int index, bool checked);
  bool ItemEnabled(int index) const { return At(index).enabled; }
  void SetItemEnabled(int index, bool enabled);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // Item under a point of the client area, counting existing items only; -1.
  int ItemAtPos(int x, int y) const;
  // Rows per column for the current height (at least 1).
  int RowsPerColumn() const;

  // --- user actions ---
  // A click on an item's text: selects it, then OnClick.
  void UserClickItem(int index);
  // A click in an item's check-mark box: selects it, toggles an enabled
  // item's mark, then OnClick (after the toggle).
  void UserClickCheckBox(int index);
  // Space bar: on the selected enabled item, as a click in its check-mark
  // box (toggle, then OnClick); nothing on a disabled one.
  void UserPressSpace();
  // Keyboard selection change (arrow keys): selects, then OnClick.
  void UserSelect(int index);

  // The tool tip of an item: what OnItemHint gives for it, or the list's
  // hint when that is empty (or there is no handler).
  std::string ItemHint(int index) const;
  std::function<std::string(int index)> OnItemHint;

 private:
  // Sorts the items ignoring case, keeping equal names in order and the
  // selection on its item.
  void SortItems();
  void Changed(Prop what, int index = -1) const {
    if (updating_ == 0) Notify(what, index);
  }
  std::vector<Item> items_;
  int updating_ = 0;
  bool unsorted_ = false;  // items appended during an update
  bool sorted_ = false;
  int columns_ = 0;
  int itemHeight_ = 16;
  int itemIndex_ = -1;
};

// Holds a check-list box's update for a scope, however the scope ends.
class TCheckListBoxUpdate {
 public:
  explicit TCheckListBoxUpdate(TCheckListBox& list) : list_(list) { list_.BeginUpdate(); }
  ~TCheckListBoxUpdate() { list_.EndUpdate(); }
  TCheckListBoxUpdate(const TCheckListBoxUpdate&) = delete;
  TCheckListBoxUpdate& operator=(const TCheckListBoxUpdate&) = delete;

 private:
  TCheckListBox& list_;
};

class TStatusBar : public TWinControl {
 public:
  using TWinControl::TWinControl;
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool s) { simplePanel_ = s; Notify(Prop::Style); }

 private:
  bool simplePanel_ = true;
};

class TSpinEdit : public TWinControl {
 public:
  using TWinControl::TWinControl;
  int Value() const { return value_; }
  void SetValue(int v);
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  void SetRange(int min, int max);  // min == max means no limit
  void UserSetValue(int v);

 private:
  int value_ = 0, min_ = 0, max_ = 0;
};

class TRadioGroup : public TWinControl {
 public:
  using TWinControl::TWinControl;
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);  // out of range selects none (-1)
  void UserSelect(int index);

 private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

class TTrackBar : public TWinControl {
 public:
  using TWinControl::TWinControl;
  int Position() const { return position_; }
  void SetPosition(int p);  // clamped to Min..Max
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetRange(int min, int max);
  void UserSetPosition(int p);

 private:
  int position_ = 0, min_ = 0, max_ = 10;
};

class TValueListEditor : public TWinControl {
 public:
  using TWinControl::TWinControl;
  // The lines, each "name=value".
  const std::vector<std::string>& Strings() const { return lines_; }
  void SetStrings(std::vector<std::string> lines);
  void AddLine(const std::string& line);
  void ClearLines();
  int RowCount() const { return static_cast<int>(lines_.size()); }

 private:
  std::vector<std::string> lines_;
};

class TStringGrid : public TWinControl {
 public:
  using TWinControl::TWinControl;
  int RowCount() const { return rows_; }
  int ColCount() const { return cols_; }
  int FixedRows() const { return fixedRows_; }
  int FixedCols() const { return fixedCols_; }
  // Throw EQuillanError when the fixed counts would not leave a scrolling
  // row or column, as the grid refuses such a shape.
  void SetRowCount(int n);
  void SetColCount(int n);
  void SetFixedRows(int n);
  void SetFixedCols(int n);
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, const std::string& text);

 private:
  void Resize();
  int rows_ = 5, cols_ = 5, fixedRows_ = 1, fixedCols_ = 1;
  std::vector<std::vector<std::string>> cells_ = std::vector<std::vector<std::string>>(
      5, std::vector<std::string>(5));  // [col][row]
};

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

class TOpenDialog : public TComponent {
 public:
  std::string FileName;
  std::string DefaultExt;
  std::string Filter;  // "Name|pattern|Name|pattern"
  std::string InitialDir;
  // Runs the dialog modally through the application; true when a file was confirmed.
  bool Execute();
};

// The application object, and the toolkit behind it.
class TApplication : public TObject {
 public:
  TApplication();
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& t);
  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* form) { mainForm_ = form; }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c);

  // Shows the main form and dispatches events until it closes.
  virtual void Run() = 0;
  // Lets the toolkit handle pending user input now.
  virtual void ProcessMessages() = 0;
  // Modal message box; flags as MessageBox's MB_* values; returns the button id.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  virtual bool ExecuteOpenDialog(TOpenDialog& dialog) = 0;
  // Ends the event loop (the main form closed).
  virtual void Terminate() = 0;
  // Size that the frame and caption add around a form's client area.
  virtual int FrameWidth() const { return 8; }
  virtual int FrameHeight() const { return 42; }
  // The screens' work areas (without task bars and docks), in the layer's
  // pixels; none when the toolkit cannot tell.
  virtual std::vector<TRect> WorkAreas() const { return {}; }
  // A peer for a control, or nullptr (the control then lives as data only).
  virtual std::unique_ptr<ControlPeer> CreatePeer(TControl& control) = 0;
  // Form shown or hidden (after OnShow has run).
  virtual void FormVisibilityChanged(TCustomForm& /*form*/) {}
  // Another start of the program asked this one to come forward, with its
  // launcher's activation token (empty when none): the visible window comes
  // forward where the desktop allows, and asks for attention otherwise.
  virtual void BringToFront(const std::string& /*activationToken*/) {}
  // Calls `onInput` from the event loop whenever the descriptor has input.
  virtual void WatchInput(int /*descriptor*/, std::function<void()> /*onInput*/) {}

 protected:
  virtual void TitleChanged() {}
  virtual void CursorChanged() {}

 private:
  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  TCursor cursor_ = TCursor::crDefault;
};

// The application object of the process (nullptr before one exists).
TApplication* Application();

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr int IDOK = 1;

}  // namespace ui
