// Peers of the Qt toolkit (internal to the toolkit and its tests), one
// control family per file: QtForm, QtButtons, QtEdits, QtCheckList, QtGrids,
// QtStatusMenus; the base peer and the choice per kind in QtPeers.cpp.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "ui/Controls.h"

namespace qtk {

// Runs a user action; a failure that reaches the toolkit is shown in an
// error box instead of unwinding through Qt's event dispatch.
void Guarded(const std::function<void()>& action);

class QtPeer;

// The screens' available geometries, in Qt's device-independent pixels
// (the layer's own, QT_SCALE_FACTOR and the screens' scales divided out).
std::vector<ui::TRect> ScreenWorkAreas();

// Reports mouse moves, context menus and double clicks of the widgets that
// make up one control.
class PeerEventFilter : public QObject {
 public:
  explicit PeerEventFilter(QtPeer& peer) : peer_(peer) {}
  bool eventFilter(QObject* watched, QEvent* event) override;
  void Watch(QWidget* widget, bool reportDblClick);

 private:
  QtPeer& peer_;
};

class QtPeer : public ui::ControlPeer {
 public:
  QtPeer(ui::TControl& control, QWidget* widget);
  ~QtPeer() override;
  QtPeer(const QtPeer&) = delete;
  QtPeer& operator=(const QtPeer&) = delete;

  void Changed(ui::Prop what, int index) override;
  // Applies the control's whole state; called once after creation.
  void SyncAll();

  ui::TControl& Control() const { return control_; }
  QWidget* Widget() const { return widget_; }
  // The widget whose coordinates are the control's client coordinates.
  virtual QWidget* ClientWidget() const { return widget_; }
  // Watches a widget (the main one or a part of it) for user input.
  void Watch(QWidget* widget, bool reportDblClick);
  // Shows the control's popup menu, if it has one; true when shown.
  bool ShowPopupMenu(const QPoint& globalPos);

 protected:
  virtual void ApplyBounds();
  virtual void ApplyText() {}
  virtual void ApplyKind(ui::Prop /*what*/, int /*index*/) {}
  virtual void SyncKind() {}
  // Boxes and lists without a caption take their accessible name (and
  // description) from the hint.
  virtual bool NamedByHint() const { return false; }
  virtual void ApplyAccessibleName(const QString& name, const QString& description);

 private:
  ui::TControl& control_;
  QPointer<QWidget> widget_;
  PeerEventFilter filter_{*this};
};

// A hint's leading phrase, before an example in brackets or a " - " note:
// "Enter the base path (e.g., ...) - double-click ..." -> "Enter the base path".
QString NameFromHint(const QString& hint);

// Shows a widget to screen readers as a status line named by `text`; a
// change is announced (the name changes, and with it what is read).
void SetStatusText(QWidget* widget, const QString& text);

// The control's Qt peer; nullptr when it has none.
QtPeer* PeerOf(const ui::TControl& c);

// One maker per control kind, each in its family's file.
std::unique_ptr<QtPeer> NewFormPeer(ui::TCustomForm& control);
std::unique_ptr<QtPeer> NewPanelPeer(ui::TPanel& control, QWidget* parent);
std::unique_ptr<QtPeer> NewLabelPeer(ui::TLabel& control, QWidget* parent);
std::unique_ptr<QtPeer> NewSplitterPeer(ui::TSplitter& control, QWidget* parent);
std::unique_ptr<QtPeer> NewButtonPeer(ui::TBitBtn& control, QWidget* parent);
std::unique_ptr<QtPeer> NewCheckBoxPeer(ui::TCheckBox& control, QWidget* parent);
std::unique_ptr<QtPeer> NewRadioGroupPeer(ui::TRadioGroup& control, QWidget* parent);
std::unique_ptr<QtPeer> NewTrackBarPeer(ui::TTrackBar& control, QWidget* parent);
std::unique_ptr<QtPeer> NewEditPeer(ui::TCustomEdit& control, QWidget* parent);
std::unique_ptr<QtPeer> NewMemoPeer(ui::TMemo& control, QWidget* parent);
std::unique_ptr<QtPeer> NewComboPeer(ui::TComboBox& control, QWidget* parent);
std::unique_ptr<QtPeer> NewSpinEditPeer(ui::TSpinEdit& control, QWidget* parent);
std::unique_ptr<QtPeer> NewCheckListPeer(ui::TCheckListBox& control, QWidget* parent);
std::unique_ptr<QtPeer> NewValueListPeer(ui::TValueListEditor& control, QWidget* parent);
std::unique_ptr<QtPeer> NewStringGridPeer(ui::TStringGrid& control, QWidget* parent);
std::unique_ptr<QtPeer> NewStatusBarPeer(ui::TStatusBar& control, QWidget* parent);

// The check-list box's items, read straight from the control.
class CheckListModel : public QAbstractListModel {
 public:
  explicit CheckListModel(ui::TCheckListBox& box) : box_(box), rows_(box.Count()) {}
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void Inserted(int row);
  void Removed(int row);
  void Reset();
  void ItemChanged(int row);  // -1: every item

 private:
  ui::TCheckListBox& box_;
  int rows_;  // the count the views were last told about
};

// The check-list box's view: columns filled top to bottom; marks change only
// through the control, so disabled items stay as they are.
class CheckListView : public QListView {
 public:
  explicit CheckListView(ui::TCheckListBox& box, QWidget* parent);
  CheckListModel& Model() { return model_; }
  ui::TCheckListBox& Box() const { return box_; }
  // Screen readers: entries come and went, or entry `item` (-1: all) changed.
  void AccessibleReset();
  void AccessibleItemChanged(int item);
  // Item under a viewport point, counting existing items only; -1 when none.
  int ItemAt(const QPoint& pos) const;
  // The item's cell in viewport coordinates.
  QRect ItemRect(int item) const;
  // The check-mark box of an item in viewport coordinates.
  QRect CheckRect(int item) const;
  int RowsPerColumn() const;
  void UpdateGrid();
  // Like the native list: a scroll bar only when the columns overflow.
  void UpdateScrollBar();
  void ShowSelection();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void Press(QMouseEvent* event);
  void ShowKeyboardPopup();
  int ColumnWidth() const;
  ui::TCheckListBox& box_;
  CheckListModel model_;
  QString search_;
  qint64 lastSearchKey_ = 0;
};

}  // namespace qtk
