// The Qt check-list box's model and view (internal to its peer and the
// toolkit's tests).
#pragma once

#include <QAbstractListModel>
#include <QListView>

#include "toolkits/qt/QtPeer.h"

namespace ui::qt {

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
  // Screen readers: entries came and went, or entry `item` (-1: all) changed
  // its mark (Prop::Checked) or its lock (Prop::ItemEnabled).
  void AccessibleReset();
  void AccessibleItemChanged(int item, ui::Prop what);
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

}  // namespace ui::qt
