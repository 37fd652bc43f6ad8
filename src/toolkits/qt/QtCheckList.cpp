// The check-list box's peer and what screen readers see of its entries.
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
#include <algorithm>
#include <vector>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

// The entry a screen reader is told has the focus: the view's current one
// (where the focus frame is), else the control's selection.
int FocusRow(const CheckListView& view) {
  const QModelIndex current = view.currentIndex();
  return current.isValid() ? current.row() : view.Box().ItemIndex();
}

// One entry for screen readers: a check box in the list (Orca says "checked",
// "not checked" and "grayed" for check boxes, not for list items), and a
// toggle that is a click on its check-mark box.
class EntryAccessible : public LeafAccessible, public QAccessibleActionInterface {
 public:
  EntryAccessible(CheckListView* view, int row) : view_(view), row_(row) {}

  bool isValid() const override { return view_ && row_ < view_->Box().Count(); }
  QWindow* window() const override {
    return view_ ? view_->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessible::Role role() const override { return QAccessible::CheckBox; }

  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    if (t == QAccessible::Name) return ToQ(view_->Box().ItemText(row_));
    if (t == QAccessible::Description) {
      // The entry's own description only: the list's hint in its place
      // would repeat the list's name on every arrow key.
      const std::string& hint = view_->Box().ItemHint(row_);
      return hint == view_->Box().Hint() ? QString() : ToQ(hint);
    }
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
    st.focused = view_->hasFocus() && FocusRow(*view_) == row_;
    st.offscreen = rect().isEmpty();
    return st;
  }
  void* interface_cast(QAccessible::InterfaceType t) override {
    return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                             : nullptr;
  }

  // A locked entry keeps its action: the reader's toggle is refused with its
  // reason said, as a click is.
  QStringList actionNames() const override {
    return Usable() ? QStringList{toggleAction()} : QStringList();
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    return name == toggleAction() ? QStringList{QStringLiteral("Space")} : QStringList();
  }
  void doAction(const QString& name) override {
    if (name != toggleAction() || !Usable()) return;
    ui::TCheckListBox& box = view_->Box();
    const int row = row_;
    Guard([&box, row] { box.UserClickCheckBox(row); });
  }

 private:
  // Every entry of a disabled list is out of reach; a locked entry is not.
  bool Usable() const { return isValid() && view_->isEnabled() && view_->Box().Enabled(); }
  bool Switchable() const { return Usable() && view_->Box().ItemEnabled(row_); }
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
    return view_->hasFocus() ? child(FocusRow(*view_)) : nullptr;
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

// Entering the list names its current entry: Qt tells screen readers only
// that the list has the focus, and Orca then says the list and nothing more.
class EntryFocus : public QObject {
 public:
  explicit EntryFocus(CheckListView* view) : QObject(view), view_(view) {
    view->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusIn && QAccessible::isActive())
      // After Qt's own focus event for the list, which comes after this one.
      QMetaObject::invokeMethod(this, [this] { Tell(); }, Qt::QueuedConnection);
    return false;
  }

 private:
  void Tell() {
    const int row = FocusRow(*view_);
    if (!view_->hasFocus() || row < 0 || row >= view_->Box().Count()) return;
    QAccessibleEvent event(view_, QAccessible::Focus);
    event.setChild(row);
    QAccessible::updateAccessibility(&event);
  }
  CheckListView* view_;
};

class CheckListPeer : public QtPeer {
 public:
  CheckListPeer(ui::TCheckListBox& box, QWidget* parent)
      : QtPeer(box, new CheckListView(box, parent)) {
    Watch(View()->viewport(), false);
    new EntryFocus(View());
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
        View()->AccessibleItemChanged(index, what);
        break;
      case Prop::ItemIndex: View()->ShowSelection(); break;
      case Prop::Columns:
      case Prop::ItemHeight: View()->UpdateGrid(); break;
      default: break;
    }
  }
  bool NamedByHint() const override { return true; }
  // The hint after the name describes the list: a reader says the name once.
  void ApplyAccessibleName(const QString& name, const QString& hint) override {
    QString rest = hint.mid(name.size()).trimmed();
    if (rest.startsWith(QLatin1Char('-'))) rest = rest.mid(1).trimmed();
    QtPeer::ApplyAccessibleName(name, rest);
  }
  void SyncKind() override {
    View()->Model().Reset();
    View()->UpdateGrid();
    View()->ShowSelection();
  }
};

}  // namespace

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
  ShortenNames();
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

void CheckListView::AccessibleItemChanged(int item, Prop what) {
  CheckListAccessible* list = ExistingAccessible(this);
  if (!list) return;
  // One state an event: the AT-SPI bridge reports only the first it finds,
  // and a reader speaks the new state only when told which one it is.
  QAccessible::State changed;
  if (what == Prop::Checked)
    changed.checked = true;
  else
    changed.disabled = true;
  for (int i = item < 0 ? 0 : item; i < (item < 0 ? box_.Count() : item + 1); ++i) {
    if (QAccessibleInterface* entry = list->Known(i)) {
      QAccessibleStateChangeEvent event(entry, changed);
      QAccessible::updateAccessibility(&event);
    }
  }
}

std::unique_ptr<QtPeer> NewCheckListPeer(ui::TCheckListBox& control, QWidget* parent) {
  return std::make_unique<CheckListPeer>(control, parent);
}

}  // namespace ui::qt
