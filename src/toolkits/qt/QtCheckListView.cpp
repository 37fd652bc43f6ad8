// The check-list box's model and view: columns filled top to bottom, the
// marks drawn and hit like the native list's.
#include "toolkits/qt/QtCheckListView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <algorithm>
#include <vector>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

int CheckListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  if (!index.isValid() || row < 0 || row >= box_.Count()) return {};
  switch (role) {
    case Qt::DisplayRole: return ToQ(box_.ItemText(row));
    case Qt::CheckStateRole: return box_.Checked(row) ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole: return ToQ(box_.ItemToolTip(row));
    default: return {};
  }
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
  const int row = index.row();
  if (!index.isValid() || row < 0 || row >= box_.Count()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (box_.ItemEnabled(row)) f |= Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
  return f;
}

void CheckListModel::Inserted(int row) {
  if (row < 0 || row > rows_ || rows_ + 1 != box_.Count()) {
    Reset();
    return;
  }
  beginInsertRows(QModelIndex(), row, row);
  ++rows_;
  endInsertRows();
}

void CheckListModel::Removed(int row) {
  if (row < 0 || row >= rows_ || rows_ - 1 != box_.Count()) {
    Reset();
    return;
  }
  beginRemoveRows(QModelIndex(), row, row);
  --rows_;
  endRemoveRows();
}

void CheckListModel::Reset() {
  beginResetModel();
  rows_ = box_.Count();
  endResetModel();
}

void CheckListModel::ItemChanged(int row) {
  if (rows_ == 0) return;
  if (row < 0 || row >= rows_)
    emit dataChanged(index(0), index(rows_ - 1));
  else
    emit dataChanged(index(row), index(row));
}

namespace {

// Draws each entry's name as the view shortens it.
class EntryDelegate : public QStyledItemDelegate {
 public:
  explicit EntryDelegate(CheckListView* view) : QStyledItemDelegate(view), view_(view) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = view_->ShownName(index.row());
  }

 private:
  CheckListView* view_;
};

}  // namespace

void CheckListView::ShortenNames() {
  setTextElideMode(Qt::ElideMiddle);
  setItemDelegate(new EntryDelegate(this));
}

int CheckListView::NameRoom(int cellWidth) const {
  QStyleOptionViewItem opt;
  initViewItemOption(&opt);
  opt.rect = QRect(0, 0, cellWidth, std::max(1, box_.ItemHeight()));
  opt.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, this);
  // The style keeps this margin on both sides of the text it draws.
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  return std::max(0, text.width() - 2 * margin);
}

int CheckListView::NameWidth(int item) const {
  return fontMetrics().horizontalAdvance(ToQ(box_.ItemText(item)));
}

void CheckListView::MeasureNames() {
  nameWidths_.clear();
  widths_.clear();
  const int count = model_.rowCount();
  nameWidths_.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count && i < box_.Count(); ++i) {
    nameWidths_.push_back(NameWidth(i));
    widths_.insert(nameWidths_.back());
  }
}

int CheckListView::ColumnWidth() const {
  const int columns = box_.Columns();
  const int w = std::max(1, viewport()->width());
  if (columns <= 0) return w;
  const int share = std::max(1, w / columns);
  if (widths_.empty()) return share;
  // The widest name and what a cell needs beside it; fewer columns where
  // it does not fit, so that whole columns fill the list, never a part of
  // one cut at its edge.
  const int needed = std::max(1, *widths_.rbegin() + (share - NameRoom(share)));
  return std::max(1, w / std::clamp(w / needed, 1, columns));
}

QString CheckListView::ShownName(int item) const {
  if (item < 0 || item >= box_.Count()) return {};
  // Cut in the middle: names of one family differ at their ends.
  return fontMetrics().elidedText(ToQ(box_.ItemText(item)), Qt::ElideMiddle,
                                  NameRoom(ColumnWidth()));
}

void CheckListView::rowsInserted(const QModelIndex& parent, int start, int end) {
  QListView::rowsInserted(parent, start, end);
  if (start < 0 || static_cast<size_t>(start) > nameWidths_.size()) return MeasureNames();
  std::vector<int> added;
  for (int i = start; i <= end && i < box_.Count(); ++i) added.push_back(NameWidth(i));
  widths_.insert(added.begin(), added.end());
  nameWidths_.insert(nameWidths_.begin() + start, added.begin(), added.end());
}

void CheckListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
  QListView::rowsAboutToBeRemoved(parent, start, end);
  if (start < 0 || end < start || static_cast<size_t>(end) >= nameWidths_.size())
    return MeasureNames();
  for (int i = start; i <= end; ++i) {
    const auto it = widths_.find(nameWidths_[static_cast<size_t>(i)]);
    if (it != widths_.end()) widths_.erase(it);
  }
  nameWidths_.erase(nameWidths_.begin() + start, nameWidths_.begin() + end + 1);
}

void CheckListView::reset() {
  QListView::reset();
  MeasureNames();
}

void CheckListView::changeEvent(QEvent* event) {
  QListView::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    MeasureNames();
    UpdateGrid();
  }
}

int CheckListView::RowsPerColumn() const {
  const int h = std::max(1, box_.ItemHeight());
  if (box_.Columns() <= 0) return std::max(1, viewport()->height() / h);
  // As QListView wraps its columns: it keeps room for the horizontal scroll
  // bar even while that is hidden, and an item must end above the bottom.
  int bounds = maximumViewportSize().height();
  if (horizontalScrollBarPolicy() == Qt::ScrollBarAsNeeded)
    bounds -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, horizontalScrollBar());
  return std::max(1, (bounds - 1) / h);
}

void CheckListView::UpdateGrid() {
  const bool columns = box_.Columns() > 0;
  setFlow(QListView::TopToBottom);
  setWrapping(columns);
  setVerticalScrollBarPolicy(columns ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  UpdateScrollBar();
}

void CheckListView::UpdateScrollBar() {
  Qt::ScrollBarPolicy policy = Qt::ScrollBarAlwaysOff;
  const int h = std::max(1, box_.ItemHeight());
  if (box_.Columns() > 0) {
    // QListView keeps room for an as-needed bar even while it is hidden,
    // which would cost the columns a row or two; so ask only when needed.
    const int rows = std::max(1, (maximumViewportSize().height() - 1) / h);
    const qint64 columns = (model_.rowCount() + rows - 1) / rows;
    if (columns * ColumnWidth() > viewport()->width()) policy = Qt::ScrollBarAsNeeded;
  }
  if (horizontalScrollBarPolicy() != policy) setHorizontalScrollBarPolicy(policy);
  const QSize grid(ColumnWidth(), h);
  if (gridSize() != grid) setGridSize(grid);
  horizontalScrollBar()->setSingleStep(grid.width());
  verticalScrollBar()->setSingleStep(grid.height());
}

QRect CheckListView::ItemRect(int item) const {
  const int h = std::max(1, box_.ItemHeight());
  if (box_.Columns() > 0) {
    const int rows = RowsPerColumn();
    const int w = ColumnWidth();
    return {(item / rows) * w - horizontalOffset(), (item % rows) * h, w, h};
  }
  return {0, item * h - verticalOffset(), viewport()->width(), h};
}

int CheckListView::ItemAt(const QPoint& pos) const {
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= viewport()->width() ||
      pos.y() >= viewport()->height())
    return -1;
  const int h = std::max(1, box_.ItemHeight());
  int item = -1;
  if (box_.Columns() > 0) {
    const int rows = RowsPerColumn();
    const int row = pos.y() / h;
    if (row >= rows) return -1;
    item = (pos.x() + horizontalOffset()) / ColumnWidth() * rows + row;
  } else {
    item = (pos.y() + verticalOffset()) / h;
  }
  return item < box_.Count() ? item : -1;
}

QRect CheckListView::CheckRect(int item) const {
  QStyleOptionViewItem opt;
  initViewItemOption(&opt);
  opt.rect = ItemRect(item);
  opt.index = model_.index(item);
  opt.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  opt.checkState = box_.Checked(item) ? Qt::Checked : Qt::Unchecked;
  opt.text = ToQ(box_.ItemText(item));
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, this);
}

void CheckListView::ShowSelection() {
  const int i = box_.ItemIndex();
  if (i < 0 || i >= model_.rowCount()) {
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(model_.index(0), QItemSelectionModel::NoUpdate);
    return;
  }
  const QModelIndex index = model_.index(i);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
  if (box_.Columns() <= 0) return;
  // QListView stops a pixel short of a column as wide as the list.
  const QRect cell = ItemRect(i);
  const int past = cell.left() + cell.width() - viewport()->width();
  const int by = cell.left() < 0 ? cell.left() : std::max(0, past);
  if (by != 0) horizontalScrollBar()->setValue(horizontalScrollBar()->value() + by);
}

void CheckListView::Press(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  const int item = ItemAt(pos);
  if (item < 0) return;
  // Like the native list: the strip left of the text, up to the end of the
  // check mark, is the check-mark box.
  const QRect check = CheckRect(item);
  const QRect cell = ItemRect(item);
  const bool inCheck = pos.x() >= cell.left() && pos.x() <= check.right() + 1;
  Guard([this, item, inCheck] {
    if (inCheck)
      box_.UserClickCheckBox(item);
    else
      box_.UserClickItem(item);
  });
}

void CheckListView::mousePressEvent(QMouseEvent* event) {
  Press(event);
  event->accept();
}

void CheckListView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click came as a press already.
  if (event->button() == Qt::LeftButton) Guard([this] { box_.UserDblClick(); });
  event->accept();
}

void CheckListView::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void CheckListView::mouseMoveEvent(QMouseEvent* event) {
  // Reported by the peer's event filter; no drag selection here.
  event->accept();
}

void CheckListView::contextMenuEvent(QContextMenuEvent* event) {
  if (auto* peer = PeerOf(box_)) peer->ShowPopupMenu(event->globalPos());
  event->accept();
}

void CheckListView::ShowKeyboardPopup() {
  auto* peer = PeerOf(box_);
  if (peer == nullptr) return;
  // Beside the selected entry, or at the list's corner.
  const int i = box_.ItemIndex();
  const QPoint at = i >= 0 && i < box_.Count() ? ItemRect(i).center() : QPoint(4, 4);
  peer->ShowPopupMenu(viewport()->mapToGlobal(at));
}

int CheckListView::FramedItem() const {
  const QModelIndex framed = currentIndex();
  return framed.isValid() && framed.row() < box_.Count() ? framed.row() : 0;
}

void CheckListView::focusInEvent(QFocusEvent* event) {
  // Qt would frame the first enabled item, but the keys start at the first.
  if (box_.ItemIndex() < 0 && model_.rowCount() > 0 && !currentIndex().isValid())
    selectionModel()->setCurrentIndex(model_.index(0), QItemSelectionModel::NoUpdate);
  QListView::focusInEvent(event);
}

void CheckListView::keyPressEvent(QKeyEvent* event) {
  const int count = box_.Count();
  const int current = box_.ItemIndex();
  // Nothing selected: an arrow key or space acts on the framed item, the
  // one the user sees the keyboard on.
  if (current < 0 && count > 0) {
    const int framed = FramedItem();
    switch (event->key()) {
      case Qt::Key_Space:
        Guard([this, framed] { box_.UserClickCheckBox(framed); });
        event->accept();
        return;
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_Left:
      case Qt::Key_Right:
        Guard([this, framed] { box_.UserSelect(framed); });
        event->accept();
        return;
      default: break;
    }
  }
  const int rows = box_.Columns() > 0 ? RowsPerColumn() : 1;
  const int page = box_.Columns() > 0 ? rows : std::max(1, RowsPerColumn() - 1);
  int next = -2;
  switch (event->key()) {
    case Qt::Key_Space:
      Guard([this] { box_.UserPressSpace(); });
      event->accept();
      return;
    case Qt::Key_F10:
      // Shift+F10 opens the popup menu, as the Menu key does.
      if (event->modifiers() == Qt::ShiftModifier) {
        ShowKeyboardPopup();
        event->accept();
        return;
      }
      break;
    case Qt::Key_Up: next = current - 1; break;
    case Qt::Key_Down: next = current + 1; break;
    case Qt::Key_Left: next = box_.Columns() > 0 ? current - rows : current - 1; break;
    case Qt::Key_Right: next = box_.Columns() > 0 ? current + rows : current + 1; break;
    case Qt::Key_PageUp: next = current - page; break;
    case Qt::Key_PageDown: next = current + page; break;
    case Qt::Key_Home: next = 0; break;
    case Qt::Key_End: next = count - 1; break;
    default: break;
  }
  if (next == -2) {
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint() ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      QListView::keyPressEvent(event);
      return;
    }
    // Typing the beginning of a name selects the next item that starts so.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastSearchKey_ > QApplication::keyboardInputInterval()) search_.clear();
    lastSearchKey_ = now;
    search_ += text;
    const int start = search_.size() == 1 ? current + 1 : std::max(current, 0);
    for (int k = 0; k < count; ++k) {
      const int i = (start + k) % count;
      if (ToQ(box_.ItemText(i)).startsWith(search_, Qt::CaseInsensitive)) {
        next = i;
        break;
      }
    }
    event->accept();
    if (next < 0 || next == current) return;
  }
  event->accept();
  if (count == 0) return;
  next = std::clamp(next, 0, count - 1);
  if (next == current) return;
  Guard([this, next] { box_.UserSelect(next); });
}

void CheckListView::resizeEvent(QResizeEvent* event) {
  QListView::resizeEvent(event);
  UpdateGrid();
}

}  // namespace ui::qt
