// The check-list box: a list view over a model that reads the control.
#include "toolkits/qt/QtPeers.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <vector>

#include "toolkits/qt/QtApplication.h"

namespace qtk {

using ui::Prop;

namespace {

// One entry for screen readers: its own checkable, checked and enabled
// states, and a toggle that is a click on its check-mark box.
class EntryAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  EntryAccessible(CheckListView* view, int row) : view_(view), row_(row) {}

  bool isValid() const override { return view_ && row_ < view_->Box().Count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return view_ ? view_->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  void setText(QAccessible::Text, const QString&) override {}

  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    if (t == QAccessible::Name) return ToQ(view_->Box().ItemText(row_));
    if (t == QAccessible::Description) return ToQ(view_->Box().ItemHint(row_));
    return {};
  }
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = view_->ItemRect(row_).intersected(view_->viewport()->rect());
    return r.isEmpty() ? QRect() : QRect(view_->viewport()->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::State state() const override {
    QAccessible::State st;
    if (!isValid()) {
      st.invalid = true;
      return st;
    }
    const ui::TCheckListBox& box = view_->Box();
    st.checkable = true;
    st.checked = box.Checked(row_);
    st.disabled = !Switchable();
    st.selectable = true;
    st.focusable = true;
    st.selected = box.ItemIndex() == row_;
    st.focused = st.selected && view_->hasFocus();
    st.offscreen = rect().isEmpty();
    return st;
  }
  void* interface_cast(QAccessible::InterfaceType t) override {
    return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                             : nullptr;
  }

  QStringList actionNames() const override {
    return Switchable() ? QStringList{toggleAction()} : QStringList();
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    return name == toggleAction() ? QStringList{QStringLiteral("Space")} : QStringList();
  }
  void doAction(const QString& name) override {
    if (name != toggleAction() || !Switchable()) return;
    ui::TCheckListBox& box = view_->Box();
    const int row = row_;
    Guarded([&box, row] { box.UserClickCheckBox(row); });
  }

 private:
  // Locked entries (and every entry of a disabled list) cannot be switched.
  bool Switchable() const {
    return isValid() && view_->isEnabled() && view_->Box().Enabled() &&
           view_->Box().ItemEnabled(row_);
  }
  QPointer<CheckListView> view_;
  int row_;
};

// The list for screen readers: its entries are its children.
class CheckListAccessible : public QAccessibleWidget {
 public:
  explicit CheckListAccessible(CheckListView* view)
      : QAccessibleWidget(view, QAccessible::List), view_(view) {}
  ~CheckListAccessible() override { Reset(); }
  CheckListAccessible(const CheckListAccessible&) = delete;
  CheckListAccessible& operator=(const CheckListAccessible&) = delete;

  int childCount() const override { return view_->Box().Count(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    if (entries_.size() < static_cast<size_t>(childCount()))
      entries_.resize(static_cast<size_t>(childCount()), 0);
    QAccessible::Id& id = entries_[static_cast<size_t>(index)];
    if (id == 0) id = QAccessible::registerAccessibleInterface(new EntryAccessible(view_, index));
    return QAccessible::accessibleInterface(id);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i] != 0 && QAccessible::accessibleInterface(entries_[i]) == child)
        return static_cast<int>(i);
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const int item = view_->ItemAt(view_->viewport()->mapFromGlobal(QPoint(x, y)));
    return item >= 0 ? child(item) : nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    return view_->hasFocus() ? child(view_->Box().ItemIndex()) : nullptr;
  }
  // Entries are known by their place; after a change of places they are new.
  void Reset() {
    for (QAccessible::Id id : entries_)
      if (id != 0) QAccessible::deleteAccessibleInterface(id);
    entries_.clear();
  }
  QAccessibleInterface* Known(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return nullptr;
    const QAccessible::Id id = entries_[static_cast<size_t>(index)];
    return id != 0 ? QAccessible::accessibleInterface(id) : nullptr;
  }

 private:
  CheckListView* view_;
  mutable std::vector<QAccessible::Id> entries_;
};

QAccessibleInterface* CheckListFactory(const QString&, QObject* object) {
  if (auto* view = dynamic_cast<CheckListView*>(object)) return new CheckListAccessible(view);
  return nullptr;
}

// The list's interface when a screen reader has asked for it; no new one.
CheckListAccessible* ExistingAccessible(CheckListView* view) {
  if (!QAccessible::isActive()) return nullptr;
  return dynamic_cast<CheckListAccessible*>(QAccessible::queryAccessibleInterface(view));
}

class CheckListPeer : public QtPeer {
 public:
  CheckListPeer(ui::TCheckListBox& box, QWidget* parent)
      : QtPeer(box, new CheckListView(box, parent)) {
    Watch(View()->viewport(), false);
  }
  CheckListView* View() const { return static_cast<CheckListView*>(Widget()); }
  QWidget* ClientWidget() const override { return View()->viewport(); }
  std::optional<int> ItemAtPos(int x, int y) const override { return View()->ItemAt({x, y}); }

 protected:
  void ApplyKind(Prop what, int index) override {
    switch (what) {
      case Prop::ItemInserted:
        View()->Model().Inserted(index);
        View()->UpdateScrollBar();
        View()->AccessibleReset();
        break;
      case Prop::ItemDeleted:
        View()->Model().Removed(index);
        View()->UpdateScrollBar();
        View()->AccessibleReset();
        break;
      case Prop::ItemsReset:
        View()->Model().Reset();
        View()->UpdateScrollBar();
        View()->AccessibleReset();
        break;
      case Prop::Checked:
      case Prop::ItemEnabled:
        View()->Model().ItemChanged(index);
        View()->AccessibleItemChanged(index);
        break;
      case Prop::ItemIndex: View()->ShowSelection(); break;
      case Prop::Columns:
      case Prop::ItemHeight: View()->UpdateGrid(); break;
      default: break;
    }
  }
  bool NamedByHint() const override { return true; }
  void SyncKind() override {
    View()->Model().Reset();
    View()->UpdateGrid();
    View()->ShowSelection();
  }
};

}  // namespace

int CheckListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  if (!index.isValid() || row < 0 || row >= box_.Count()) return {};
  switch (role) {
    case Qt::DisplayRole: return ToQ(box_.ItemText(row));
    case Qt::CheckStateRole: return box_.Checked(row) ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole: return ToQ(box_.ItemHint(row));
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

CheckListView::CheckListView(ui::TCheckListBox& box, QWidget* parent)
    : QListView(parent), box_(box), model_(box) {
  setModel(&model_);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setViewMode(QListView::ListMode);
  setMovement(QListView::Static);
  setResizeMode(QListView::Adjust);
  setUniformItemSizes(true);
  // Fixed cells: laying out even 50,000 items at once is cheap arithmetic.
  setLayoutMode(QListView::SinglePass);
  setSpacing(0);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setTextElideMode(Qt::ElideNone);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  UpdateGrid();
  static const bool accessible = (QAccessible::installFactory(CheckListFactory), true);
  (void)accessible;
}

void CheckListView::AccessibleReset() {
  if (CheckListAccessible* list = ExistingAccessible(this)) {
    list->Reset();
    QAccessibleEvent event(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
  }
}

void CheckListView::AccessibleItemChanged(int item) {
  CheckListAccessible* list = ExistingAccessible(this);
  if (!list) return;
  QAccessible::State changed;
  changed.checked = true;
  changed.disabled = true;
  for (int i = item < 0 ? 0 : item; i < (item < 0 ? box_.Count() : item + 1); ++i) {
    if (QAccessibleInterface* entry = list->Known(i)) {
      QAccessibleStateChangeEvent event(entry, changed);
      QAccessible::updateAccessibility(&event);
    }
  }
}

int CheckListView::ColumnWidth() const {
  const int columns = box_.Columns();
  const int w = viewport()->width();
  return std::max(1, columns > 0 ? w / columns : w);
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
  const QSize grid(ColumnWidth(), std::max(1, box_.ItemHeight()));
  if (gridSize() != grid) setGridSize(grid);
  horizontalScrollBar()->setSingleStep(grid.width());
  verticalScrollBar()->setSingleStep(grid.height());
}

void CheckListView::UpdateScrollBar() {
  Qt::ScrollBarPolicy policy = Qt::ScrollBarAlwaysOff;
  if (box_.Columns() > 0) {
    // QListView keeps room for an as-needed bar even while it is hidden,
    // which would cost the columns a row or two; so ask only when needed.
    const int rows = std::max(1, (maximumViewportSize().height() - 1) /
                                     std::max(1, box_.ItemHeight()));
    if (model_.rowCount() > rows * box_.Columns()) policy = Qt::ScrollBarAsNeeded;
  }
  if (horizontalScrollBarPolicy() != policy) setHorizontalScrollBarPolicy(policy);
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
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    return;
  }
  const QModelIndex index = model_.index(i);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
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
  Guarded([this, item, inCheck] {
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
  if (event->button() == Qt::LeftButton) Guarded([this] { box_.UserDblClick(); });
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

void CheckListView::keyPressEvent(QKeyEvent* event) {
  const int count = box_.Count();
  const int current = box_.ItemIndex();
  const int rows = box_.Columns() > 0 ? RowsPerColumn() : 1;
  const int page = box_.Columns() > 0 ? rows : std::max(1, RowsPerColumn() - 1);
  int next = -2;
  switch (event->key()) {
    case Qt::Key_Space:
      Guarded([this] { box_.UserPressSpace(); });
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
  Guarded([this, next] { box_.UserSelect(next); });
}

void CheckListView::resizeEvent(QResizeEvent* event) {
  QListView::resizeEvent(event);
  UpdateGrid();
}

std::unique_ptr<QtPeer> NewCheckListPeer(ui::TCheckListBox& control, QWidget* parent) {
  return std::make_unique<CheckListPeer>(control, parent);
}

}  // namespace qtk
