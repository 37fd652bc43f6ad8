// The Qt check-list box's model and view (internal to its peer and the
// toolkit's tests).
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <set>
#include <vector>

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
  // The list's width shared out among its columns, or among fewer (down to
  // one) where the longest name needs more room.
  int ColumnWidth() const;
  // An item's name as drawn: with "…" at its end where it does not fit.
  QString ShownName(int item) const;
  void UpdateGrid();
  // After items came or went: the columns' width, and, like the native
  // list, a scroll bar only when the columns overflow.
  void UpdateScrollBar();
  // The selection, or with none the focus frame on the first item, where
  // the first arrow key or space acts.
  void ShowSelection();
  // The model was reset: every name is measured again.
  void reset() override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

 private:
  void Press(QMouseEvent* event);
  void ShowKeyboardPopup();
  // Names that do not fit their column end in "…".
  void ShortenNames();
  // The item the focus frame is on; the first item when it is on none.
  int FramedItem() const;
  // Room for a name in a cell of that width (what the style leaves).
  int NameRoom(int cellWidth) const;
  int NameWidth(int item) const;
  void MeasureNames();
  ui::TCheckListBox& box_;
  CheckListModel model_;
  // Each row's name width, and all of them ordered for the widest.
  std::vector<int> nameWidths_;
  std::multiset<int> widths_;
  QString search_;
  qint64 lastSearchKey_ = 0;
};

}  // namespace ui::qt
