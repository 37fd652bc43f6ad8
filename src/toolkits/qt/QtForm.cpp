// The form (a top-level window with its icon) and its plain children:
// panels, labels and splitters.
#include "toolkits/qt/QtPeer.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <qdrawutil.h>
#include <algorithm>
#include <cmath>
#include <functional>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

// A panel: optional raised bevel and a caption, centred vertically.
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
    if (!panel_.StatusLine()) {
      p.drawText(r, static_cast<int>(align) | Qt::TextSingleLine, ToQ(text));
      return;
    }
    // A status line shows a text's line breaks (CR LF from the settings
    // files) as lines and wraps a long text where the lines fit its height;
    // else each line too wide ends in "…". Every line is indented as far as
    // the text's leading blanks.
    QString shown = ToQ(text);
    qsizetype lead = 0;
    while (lead < shown.size() && shown.at(lead) == QLatin1Char(' ')) ++lead;
    // As much room on the right as the indent on the left: no text ends at the edge.
    const int indent = fontMetrics().horizontalAdvance(shown.left(lead));
    const QRect area = r.adjusted(indent, 0, -indent, 0);
    shown.remove(0, lead);
    shown.replace(QLatin1String("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    int flags = static_cast<int>(align) | Qt::TextWordWrap;
    // The first and last line may lose two pixels of their blank above the
    // capitals and below the descenders (two lines in a 28-pixel line).
    const QFontMetrics fm = fontMetrics();
    const int fitting = std::max(1, (area.height() + 4) / std::max(1, fm.lineSpacing()));
    if (fm.boundingRect(area, flags, shown).height() > fitting * fm.lineSpacing()) {
      flags &= ~Qt::TextWordWrap;
      QStringList lines = shown.split(QLatin1Char('\n'));
      for (QString& line : lines) line = fm.elidedText(line, Qt::ElideRight, area.width());
      shown = lines.join(QLatin1Char('\n'));
    }
    p.drawText(area, flags, shown);
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
  bool event(QEvent* e) override {
    // Coming back to the window: the layer looks at the world again
    // (ConsoleOne may have started or ended meanwhile).
    if (e->type() == QEvent::WindowActivate) Guard([this] { form_.UserActivated(); });
    return QWidget::event(e);
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

// A label whose whole text stays its text (and so what screen readers
// read); with a middle ellipsis only what is drawn is shortened, for the
// width it has now.
class ShorteningLabel : public QLabel {
 public:
  ShorteningLabel(ui::TLabel& label, QWidget* parent) : QLabel(parent), label_(label) {
    if (parent) parent->installEventFilter(this);
  }
  // Called when the width the text needs (the font) or the room beside the
  // label (the parent's width) changes.
  std::function<void()> refit;

 protected:
  void changeEvent(QEvent* e) override {
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange && refit) refit();
  }
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == parent() && e->type() == QEvent::Resize && refit) refit();
    return false;
  }
  void paintEvent(QPaintEvent* e) override {
    if (label_.Ellipsis() != ui::TEllipsis::Middle) {
      QLabel::paintEvent(e);
      return;
    }
    QPainter p(this);
    const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width());
    const int flags = static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())) |
                      (layoutDirection() == Qt::LeftToRight ? Qt::TextForceLeftToRight
                                                            : Qt::TextForceRightToLeft);
    style()->drawItemText(&p, r, flags, palette(), isEnabled(), shown, foregroundRole());
  }

 private:
  ui::TLabel& label_;
};

// Free room right of a label up to its parent's edge.
constexpr int kLabelEdgeMargin = 8;

class LabelPeer : public QtPeer {
 public:
  LabelPeer(ui::TLabel& l, QWidget* parent) : QtPeer(l, new ShorteningLabel(l, parent)), label_(l) {
    Label()->setTextFormat(Qt::PlainText);
    Label()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    static_cast<ShorteningLabel*>(Widget())->refit = [this] { ApplyBounds(); };
  }

 protected:
  QLabel* Label() const { return static_cast<QLabel*>(Widget()); }
  // A label grows with its text rather than cutting it off; one that
  // shortens its text grows only into the free room up to its parent's
  // edge, and shortens what is still too long.
  void ApplyBounds() override {
    // Rounded up: a pixel short and the whole text would be shortened.
    int width = static_cast<int>(
        std::ceil(QFontMetricsF(Label()->font()).horizontalAdvance(Label()->text())));
    if (label_.Ellipsis() == ui::TEllipsis::Middle && label_.Parent())
      width = std::min(width, label_.Parent()->ClientWidth() - label_.Left() - kLabelEdgeMargin);
    Widget()->setGeometry(label_.Left(), label_.Top(), std::max({0, label_.Width(), width}),
                          std::max(0, label_.Height()));
  }
  void ApplyText() override {
    Label()->setText(ToQ(label_.Caption()));
    ApplyBounds();
    // A failed check's result describes the path box the focus goes to.
    if (ui::TControl* described = label_.FocusControl())
      if (QtPeer* peer = PeerOf(*described)) peer->SetDescribingText(ToQ(label_.Caption()).trimmed());
  }
  void ApplyKind(Prop what, int) override {
    if (what != Prop::Ellipsis) return;
    ApplyBounds();
    Widget()->update();
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
