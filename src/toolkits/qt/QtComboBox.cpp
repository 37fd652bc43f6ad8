// The combo box: an edit with its drop-down list.
#include "toolkits/qt/QtPeer.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <vector>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

// The combo box of a peer; screen readers know it by this class.
class NamedComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
};

// Qt's own interface names a combo box by its text on Linux, so a reader
// would say the path it shows instead of what the box is for. This one
// takes the accessible name when there is one; the rest is as Qt's.
class ComboAccessible : public QAccessibleWidget {
 public:
  explicit ComboAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

  int childCount() const override { return Box()->isEditable() ? 2 : 1; }
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(Box()->view());
    if (index == 1 && Box()->isEditable()) return QAccessible::queryAccessibleInterface(Box()->lineEdit());
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (!child) return -1;
    if (child->object() == Box()->view()) return 0;
    if (Box()->isEditable() && child->object() == Box()->lineEdit()) return 1;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    QLineEdit* line = Box()->isEditable() ? Box()->lineEdit() : nullptr;
    if (line && line->rect().contains(line->mapFromGlobal(QPoint(x, y)))) return child(1);
    return nullptr;
  }
  // The edit line has the keyboard in an editable box (it proxies to the box).
  QAccessibleInterface* focusChild() const override {
    return Box()->isEditable() && Box()->hasFocus() ? child(1) : nullptr;
  }
  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        if (!Box()->accessibleName().isEmpty()) return Box()->accessibleName();
        return Shown();
      case QAccessible::Value: return Shown();
      case QAccessible::Accelerator: return QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText);
      default: return QAccessibleWidget::text(t);
    }
  }
  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  QString localizedActionDescription(const QString& action) const override {
    return actionNames().contains(action) ? QComboBox::tr("Open the combo box selection popup") : QString();
  }
  void doAction(const QString& action) override {
    if (!actionNames().contains(action)) return;
    if (Box()->view()->isVisible())
      Box()->hidePopup();
    else
      Box()->showPopup();
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }
  QString Shown() const { return Box()->isEditable() ? Box()->lineEdit()->text() : Box()->currentText(); }
};

QAccessibleInterface* ComboFactory(const QString&, QObject* object) {
  if (auto* box = dynamic_cast<NamedComboBox*>(object)) return new ComboAccessible(box);
  return nullptr;
}

QComboBox* NewNamedComboBox(QWidget* parent) {
  static const bool installed = (QAccessible::installFactory(ComboFactory), true);
  (void)installed;
  auto* box = new NamedComboBox(parent);
  // Qt may have made its own while the box was still only a QComboBox.
  QAccessibleInterface* made = QAccessible::queryAccessibleInterface(box);
  if (made && !dynamic_cast<ComboAccessible*>(made)) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
  return box;
}

class ComboPeer : public QtPeer {
 public:
  ComboPeer(ui::TComboBox& c, QWidget* parent) : QtPeer(c, NewNamedComboBox(parent)), combo_(c) {
    Box()->setInsertPolicy(QComboBox::NoInsert);
    Box()->setMaxVisibleItems(8);
    QObject::connect(Box(), &QComboBox::activated, Widget(), [this](int index) {
      Guard([this, index] { combo_.UserPick(index); });
      ShowText();
    });
  }

 protected:
  QComboBox* Box() const { return static_cast<QComboBox*>(Widget()); }
  bool NamedByHint() const override { return true; }
  // Readers that look at the edit line hear the same name.
  void ApplyAccessibleName(const QString& name, const QString& description) override {
    QtPeer::ApplyAccessibleName(name, description);
    if (line_) {
      line_->setAccessibleName(name);
      line_->setAccessibleDescription(description);
    }
  }
  void ApplyStyle() {
    const bool editable = combo_.Style() != ui::TComboBoxStyle::csDropDownList;
    if (Box()->isEditable() == editable && (!editable || line_)) return;
    const QSignalBlocker block(Box());
    Box()->setEditable(editable);
    line_ = Box()->lineEdit();
    if (!line_) return;
    // The program keeps its own history; no completion behind its back.
    Box()->setCompleter(nullptr);
    // Qt treats leaving the box or pressing Enter with a listed text as a
    // pick; only a choice from the list (or the arrow keys) is one.
    QObject::disconnect(line_, &QLineEdit::editingFinished, Box(), nullptr);
    QObject::disconnect(line_, &QLineEdit::returnPressed, Box(), nullptr);
    QObject::connect(line_, &QLineEdit::textEdited, Widget(), [this](const QString& t) {
      Guard([this, t] { combo_.UserEdit(FromQ(t)); });
    });
    Watch(line_, true);
    Changed(Prop::Hint, -1);
    ShowText();
  }
  void ShowItems() {
    const QSignalBlocker block(Box());
    Box()->clear();
    QStringList items;
    for (const std::string& s : combo_.Items()) items << ToQ(s);
    Box()->addItems(items);
    ShowText();
  }
  // Qt moves the current item and the edit text as items come and go; put
  // the control's own back.
  void ShowText() {
    const QSignalBlocker block(Box());
    const int index = combo_.ItemIndex();
    if (Box()->currentIndex() != index && index < Box()->count()) Box()->setCurrentIndex(index);
    const QString t = ToQ(combo_.Text());
    if (Box()->isEditable()) {
      if (Box()->currentText() != t) Box()->setEditText(t);
    }
  }
  void ApplyText() override { ShowText(); }
  void ApplyKind(Prop what, int index) override {
    const QSignalBlocker block(Box());
    switch (what) {
      case Prop::Style: ApplyStyle(); break;
      case Prop::ItemInserted:
        if (index >= 0 && index <= Box()->count() && Box()->count() + 1 == combo_.ItemCount())
          Box()->insertItem(index, ToQ(combo_.Items()[static_cast<size_t>(index)]));
        else
          ShowItems();
        ShowText();
        break;
      case Prop::ItemDeleted:
        if (index >= 0 && index < Box()->count() && Box()->count() - 1 == combo_.ItemCount())
          Box()->removeItem(index);
        else
          ShowItems();
        ShowText();
        break;
      case Prop::ItemsReset: ShowItems(); break;
      case Prop::ItemIndex: ShowText(); break;
      default: break;
    }
  }
  void SyncKind() override {
    ApplyStyle();
    ShowItems();
  }

 private:
  ui::TComboBox& combo_;
  QPointer<QLineEdit> line_;
};

}  // namespace

std::unique_ptr<QtPeer> NewComboPeer(ui::TComboBox& control, QWidget* parent) {
  return std::make_unique<ComboPeer>(control, parent);
}

}  // namespace ui::qt
