// The form (a top-level window with its icon) and its plain children:
// panels, labels and splitters.
#include "toolkits/qt/QtPeer.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QGuiApplication>
#include <QScreen>
#include <qdrawutil.h>
#include <algorithm>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

// A panel: optional raised bevel and a one-line caption, centred vertically.
class PanelWidget : public QWidget {
 public:
  PanelWidget(ui::TPanel& panel, QWidget* parent) : QWidget(parent), panel_(panel) {
    setAutoFillBackground(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QRect r = rect();
    if (panel_.Bevel()) {
      qDrawShadePanel(&p, r, palette(), false, 1);
      r.adjust(1, 1, -1, -1);
    }
    const std::string& text = panel_.Caption();
    if (text.empty()) return;
    Qt::Alignment align = Qt::AlignVCenter;
    switch (panel_.Alignment()) {
      case ui::TAlignment::taLeftJustify: align |= Qt::AlignLeft; break;
      case ui::TAlignment::taRightJustify: align |= Qt::AlignRight; break;
      case ui::TAlignment::taCenter: align |= Qt::AlignHCenter; break;
    }
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                             QPalette::WindowText));
    p.drawText(r, static_cast<int>(align) | Qt::TextSingleLine, ToQ(text));
  }

 private:
  ui::TPanel& panel_;
};

// The form's client area as a top-level window.
class FormWidget : public QWidget {
 public:
  explicit FormWidget(ui::TCustomForm& form) : QWidget(nullptr), form_(form) {
    setAttribute(Qt::WA_QuitOnClose, false);
  }

 protected:
  void showEvent(QShowEvent* e) override {
    QWidget::showEvent(e);
    // The focused control shows its focus from the start, not after a Tab.
    setAttribute(Qt::WA_KeyboardFocusChange);
  }
  void closeEvent(QCloseEvent* e) override {
    // The layer decides: it hides the form (and ends the program) itself.
    e->ignore();
    Guard([this] { form_.UserClose(); });
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    const QSize s = e->size();
    if (s.width() != form_.ClientWidth() || s.height() != form_.ClientHeight())
      Guard([this, s] { form_.UserResized(s.width(), s.height()); });
  }
  void moveEvent(QMoveEvent* e) override {
    QWidget::moveEvent(e);
    if (!isVisible()) return;
    const QPoint p = pos();  // frame position
    if (p.x() != form_.Left() || p.y() != form_.Top())
      Guard([this, p] { form_.UserMoved(p.x(), p.y()); });
  }

 private:
  ui::TCustomForm& form_;
};

// The window is a frame to screen readers: their "read title" and "read
// status bar" look for one. Qt shows a plain top-level widget as a filler.
QAccessibleInterface* FormFactory(const QString&, QObject* object) {
  if (auto* form = dynamic_cast<FormWidget*>(object)) return new QAccessibleWidget(form, QAccessible::Window);
  return nullptr;
}

QIcon WindowIcon() {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0xb0, 0x20, 0x20));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
  // The "Q" in strokes: text here would load a bold font before the window
  // needs its own, a few milliseconds of start-up.
  p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(7.5, 6.5, 16, 17));
  p.drawLine(QPointF(18.5, 19.5), QPointF(24.5, 26));
  return QIcon(pm);
}

class FormPeer : public QtPeer {
 public:
  explicit FormPeer(ui::TCustomForm& form) : QtPeer(form, new FormWidget(form)), form_(form) {
    Widget()->setWindowIcon(WindowIcon());
    static const bool accessible = (QAccessible::installFactory(FormFactory), true);
    (void)accessible;
  }

 protected:
  void ApplyBounds() override {
    ui::TApplication* app = ui::Application();
    const int fw = app ? app->FrameWidth() : 0;
    const int fh = app ? app->FrameHeight() : 0;
    Widget()->move(form_.Left(), form_.Top());
    Widget()->resize(std::max(0, form_.Width() - fw), std::max(0, form_.Height() - fh));
  }
  void ApplyText() override { Widget()->setWindowTitle(ToQ(form_.Caption())); }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::Font) Widget()->setFont(WindowFont(form_.FontName(), form_.FontHeight()));
    if (what == Prop::MinSize) Widget()->setMinimumSize(form_.MinClientWidth(), form_.MinClientHeight());
  }
  void SyncKind() override {
    ApplyKind(Prop::Font, -1);
    ApplyKind(Prop::MinSize, -1);
  }

 private:
  ui::TCustomForm& form_;
};

class PanelPeer : public QtPeer {
 public:
  PanelPeer(ui::TPanel& p, QWidget* parent) : QtPeer(p, new PanelWidget(p, parent)), panel_(p) {}

 protected:
  void ApplyText() override {
    Widget()->update();
    if (panel_.StatusLine()) SetStatusText(Widget(), ToQ(panel_.Caption()));
  }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::Announcement && panel_.StatusLine())
      AnnounceStatus(Widget(), ToQ(panel_.Announced()).trimmed());
    if (what != Prop::Style) return;
    Widget()->update();
    ApplyText();
  }

 private:
  ui::TPanel& panel_;
};

class LabelPeer : public QtPeer {
 public:
  LabelPeer(ui::TLabel& l, QWidget* parent) : QtPeer(l, new QLabel(parent)), label_(l) {
    Label()->setTextFormat(Qt::PlainText);
    Label()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }

 protected:
  QLabel* Label() const { return static_cast<QLabel*>(Widget()); }
  // A label grows with its text rather than cutting it off.
  void ApplyBounds() override {
    const int textWidth = Label()->fontMetrics().horizontalAdvance(Label()->text());
    Widget()->setGeometry(label_.Left(), label_.Top(), std::max({0, label_.Width(), textWidth}),
                          std::max(0, label_.Height()));
  }
  void ApplyText() override {
    Label()->setText(ToQ(label_.Caption()));
    ApplyBounds();
    // A failed check's result describes the path box the focus goes to.
    if (ui::TControl* described = label_.FocusControl())
      if (QtPeer* peer = PeerOf(*described)) peer->SetDescribingText(ToQ(label_.Caption()).trimmed());
  }

 private:
  ui::TLabel& label_;
};

}  // namespace

std::unique_ptr<QtPeer> NewFormPeer(ui::TCustomForm& control) {
  return std::make_unique<FormPeer>(control);
}

std::unique_ptr<QtPeer> NewPanelPeer(ui::TPanel& control, QWidget* parent) {
  return std::make_unique<PanelPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewLabelPeer(ui::TLabel& control, QWidget* parent) {
  return std::make_unique<LabelPeer>(control, parent);
}

std::vector<ui::TRect> ScreenWorkAreas() {
  std::vector<ui::TRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect r = screen->availableGeometry();
    if (!r.isEmpty()) areas.push_back({r.x(), r.y(), r.width(), r.height()});
  }
  return areas;
}

}  // namespace ui::qt
