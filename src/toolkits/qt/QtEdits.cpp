// Edit boxes and memos, combo boxes, spin edits.
#include "toolkits/qt/QtPeer.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <climits>
#include <vector>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

class EditPeer : public QtPeer {
 public:
  EditPeer(ui::TCustomEdit& e, QWidget* parent) : QtPeer(e, new QLineEdit(parent)), edit_(e) {
    QObject::connect(Line(), &QLineEdit::textEdited, Widget(), [this](const QString& t) {
      Guard([this, t] { edit_.UserEdit(FromQ(t)); });
    });
  }

 protected:
  QLineEdit* Line() const { return static_cast<QLineEdit*>(Widget()); }
  bool NamedByHint() const override { return true; }
  void ApplyText() override {
    const QString t = ToQ(edit_.Text());
    if (Line()->text() != t) Line()->setText(t);
  }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::ReadOnly) Line()->setReadOnly(edit_.ReadOnly());
  }
  void SyncKind() override { ApplyKind(Prop::ReadOnly, -1); }

 private:
  ui::TCustomEdit& edit_;
};

class MemoPeer : public QtPeer {
 public:
  MemoPeer(ui::TMemo& m, QWidget* parent) : QtPeer(m, new QPlainTextEdit(parent)), memo_(m) {
    Edit()->setLineWrapMode(QPlainTextEdit::NoWrap);
    QObject::connect(Edit(), &QPlainTextEdit::textChanged, Widget(), [this] {
      if (applying_) return;
      const QString t = Edit()->toPlainText();
      std::vector<std::string> lines;
      if (!t.isEmpty())
        for (const QString& l : t.split(QLatin1Char('\n'))) lines.push_back(FromQ(l));
      applying_ = true;
      Guard([this, &lines, &t] {
        // The lines are the memo's state; the text follows them.
        memo_.SetLines(std::move(lines));
        memo_.UserEdit(FromQ(t));
      });
      applying_ = false;
    });
  }

 protected:
  QPlainTextEdit* Edit() const { return static_cast<QPlainTextEdit*>(Widget()); }
  void Show() {
    QStringList lines;
    for (const std::string& l : memo_.Lines()) lines << ToQ(l);
    const QString t = lines.join(QLatin1Char('\n'));
    if (Edit()->toPlainText() == t) return;
    applying_ = true;
    Edit()->setPlainText(t);
    applying_ = false;
  }
  void ApplyText() override { Show(); }
  void ApplyKind(Prop what, int) override {
    switch (what) {
      case Prop::ReadOnly: Edit()->setReadOnly(memo_.ReadOnly()); break;
      case Prop::ItemInserted:
      case Prop::ItemDeleted:
      case Prop::ItemsReset: Show(); break;
      default: break;
    }
  }
  void SyncKind() override {
    Edit()->setReadOnly(memo_.ReadOnly());
    Show();
  }

 private:
  ui::TMemo& memo_;
  bool applying_ = false;
};

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

class SpinEditPeer : public QtPeer {
 public:
  SpinEditPeer(ui::TSpinEdit& s, QWidget* parent) : QtPeer(s, new QSpinBox(parent)), spin_(s) {
    QObject::connect(Spin(), &QSpinBox::valueChanged, Widget(), [this](int v) {
      Guard([this, v] { spin_.UserSetValue(v); });
      Show();
    });
  }

 protected:
  QSpinBox* Spin() const { return static_cast<QSpinBox*>(Widget()); }
  void Show() {
    const QSignalBlocker block(Spin());
    if (spin_.MinValue() == spin_.MaxValue())
      Spin()->setRange(INT_MIN, INT_MAX);
    else
      Spin()->setRange(spin_.MinValue(), spin_.MaxValue());
    Spin()->setValue(spin_.Value());
  }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::Value || what == Prop::Counts) Show();
  }
  void SyncKind() override { Show(); }

 private:
  ui::TSpinEdit& spin_;
};

}  // namespace

std::unique_ptr<QtPeer> NewEditPeer(ui::TCustomEdit& control, QWidget* parent) {
  return std::make_unique<EditPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewMemoPeer(ui::TMemo& control, QWidget* parent) {
  return std::make_unique<MemoPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewComboPeer(ui::TComboBox& control, QWidget* parent) {
  return std::make_unique<ComboPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewSpinEditPeer(ui::TSpinEdit& control, QWidget* parent) {
  return std::make_unique<SpinEditPeer>(control, parent);
}

}  // namespace ui::qt
