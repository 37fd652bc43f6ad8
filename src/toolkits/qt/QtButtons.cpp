// Push buttons and check boxes.
#include "toolkits/qt/QtPeer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QCheckBox>
#include <QPushButton>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

// A push button as on every desktop: Enter and keypad Enter press it when
// it has the focus; its mnemonic goes to the form, which only moves the
// focus when other controls carry the same one.
class PushButton : public QPushButton {
 public:
  PushButton(ui::TBitBtn& b, QWidget* parent) : QPushButton(parent), button_(b) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    const auto mods = e->modifiers() & ~Qt::KeypadModifier;
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
      e->accept();
      if (!e->isAutoRepeat()) click();
      return;
    }
    QPushButton::keyPressEvent(e);
  }
  bool event(QEvent* e) override {
    if (e->type() == QEvent::Shortcut) {
      ui::TCustomForm* form = button_.ParentForm();
      const QString text = ToQ(button_.Caption());
      const qsizetype amp = text.indexOf(QLatin1Char('&'));
      if (form && amp >= 0 && amp + 1 < text.size()) {
        const char key = text.at(amp + 1).toLatin1();
        Guard([form, key] { form->UserMnemonic(key, FocusedControl(*form)); });
        window()->setAttribute(Qt::WA_KeyboardFocusChange);
        return true;
      }
    }
    return QPushButton::event(e);
  }

 private:
  // The innermost tab stop that holds Qt's focus, so the mnemonic moves on
  // from it (a panel holding it comes earlier in the chain).
  static ui::TWinControl* FocusedControl(const ui::TCustomForm& form) {
    QWidget* focus = QApplication::focusWidget();
    return form.InnermostTabStop([focus](const ui::TWinControl& c) {
      QWidget* w = WidgetOf(c);
      return w && focus && (w == focus || w->isAncestorOf(focus));
    });
  }
  ui::TBitBtn& button_;
};

class ButtonPeer : public QtPeer {
 public:
  ButtonPeer(ui::TBitBtn& b, QWidget* parent) : QtPeer(b, new PushButton(b, parent)), button_(b) {
    QObject::connect(static_cast<QPushButton*>(Widget()), &QPushButton::clicked, Widget(),
                     [this] { Guard([this] { button_.UserClick(); }); });
  }

 protected:
  void ApplyText() override { static_cast<QPushButton*>(Widget())->setText(ToQ(button_.Caption())); }

 private:
  ui::TBitBtn& button_;
};

class CheckBoxPeer : public QtPeer {
 public:
  CheckBoxPeer(ui::TCheckBox& c, QWidget* parent) : QtPeer(c, new QCheckBox(parent)), box_(c) {
    // Qt has toggled its box already; the control toggles its own state and
    // the widget is then set to that.
    QObject::connect(Box(), &QCheckBox::clicked, Widget(), [this] {
      Guard([this] { box_.UserClick(); });
      ApplyKind(Prop::Checked, -1);
    });
  }

 protected:
  QCheckBox* Box() const { return static_cast<QCheckBox*>(Widget()); }
  void ApplyText() override { Box()->setText(ToQ(box_.Caption())); }
  void ApplyKind(Prop what, int) override {
    if (what != Prop::Checked) return;
    const QSignalBlocker block(Box());
    Box()->setChecked(box_.Checked());
  }
  void SyncKind() override { ApplyKind(Prop::Checked, -1); }

 private:
  ui::TCheckBox& box_;
};

}  // namespace

std::unique_ptr<QtPeer> NewButtonPeer(ui::TBitBtn& control, QWidget* parent) {
  return std::make_unique<ButtonPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewCheckBoxPeer(ui::TCheckBox& control, QWidget* parent) {
  return std::make_unique<CheckBoxPeer>(control, parent);
}

}  // namespace ui::qt
