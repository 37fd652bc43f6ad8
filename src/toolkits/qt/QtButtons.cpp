// Push buttons, check boxes, radio groups and track bars.
#include "toolkits/qt/QtPeer.h"

#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

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

class RadioGroupPeer : public QtPeer {
 public:
  RadioGroupPeer(ui::TRadioGroup& r, QWidget* parent)
      : QtPeer(r, new QGroupBox(parent)), radio_(r), buttons_(new QButtonGroup(Widget())) {
    new QVBoxLayout(Widget());
    buttons_->setExclusive(false);
    QObject::connect(buttons_, &QButtonGroup::idClicked, Widget(), [this](int id) {
      Guard([this, id] { radio_.UserSelect(id); });
      ShowIndex();
    });
  }

 protected:
  QGroupBox* Group() const { return static_cast<QGroupBox*>(Widget()); }
  void ShowItems() {
    for (QAbstractButton* b : buttons_->buttons()) {
      buttons_->removeButton(b);
      delete b;
    }
    int id = 0;
    for (const std::string& s : radio_.Items()) {
      auto* b = new QRadioButton(ToQ(s), Widget());
      b->setAutoExclusive(false);
      buttons_->addButton(b, id++);
      Widget()->layout()->addWidget(b);
    }
    ShowIndex();
  }
  void ShowIndex() {
    for (QAbstractButton* b : buttons_->buttons()) {
      const QSignalBlocker block(b);
      b->setChecked(buttons_->id(b) == radio_.ItemIndex());
    }
  }
  void ApplyText() override { Group()->setTitle(ToQ(radio_.Caption())); }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::ItemIndex) ShowIndex();
    if (what == Prop::ItemsReset || what == Prop::ItemInserted || what == Prop::ItemDeleted)
      ShowItems();
  }
  void SyncKind() override { ShowItems(); }

 private:
  ui::TRadioGroup& radio_;
  QButtonGroup* buttons_;
};

class TrackBarPeer : public QtPeer {
 public:
  TrackBarPeer(ui::TTrackBar& t, QWidget* parent)
      : QtPeer(t, new QSlider(Qt::Horizontal, parent)), track_(t) {
    Slider()->setTickPosition(QSlider::TicksBelow);
    QObject::connect(Slider(), &QSlider::valueChanged, Widget(), [this](int v) {
      Guard([this, v] { track_.UserSetPosition(v); });
      Show();
    });
  }

 protected:
  QSlider* Slider() const { return static_cast<QSlider*>(Widget()); }
  void Show() {
    const QSignalBlocker block(Slider());
    Slider()->setRange(track_.Min(), track_.Max());
    Slider()->setValue(track_.Position());
  }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::Value || what == Prop::Counts) Show();
  }
  void SyncKind() override { Show(); }

 private:
  ui::TTrackBar& track_;
};

}  // namespace

std::unique_ptr<QtPeer> NewButtonPeer(ui::TBitBtn& control, QWidget* parent) {
  return std::make_unique<ButtonPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewCheckBoxPeer(ui::TCheckBox& control, QWidget* parent) {
  return std::make_unique<CheckBoxPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewRadioGroupPeer(ui::TRadioGroup& control, QWidget* parent) {
  return std::make_unique<RadioGroupPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewTrackBarPeer(ui::TTrackBar& control, QWidget* parent) {
  return std::make_unique<TrackBarPeer>(control, parent);
}

}  // namespace ui::qt
