// The status bar.
#include "toolkits/qt/QtPeer.h"

#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

// A status bar with one simple panel; a click anywhere on it is a click.
class StatusBarWidget : public QWidget {
 public:
  StatusBarWidget(ui::TStatusBar& bar, QWidget* parent) : QWidget(parent), bar_(bar) {
    setAutoFillBackground(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect panel = rect().adjusted(0, 2, 0, 0);
    qDrawShadePanel(&p, panel, palette(), true, 1);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(panel.adjusted(3, 1, -3, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               ToQ(bar_.Text()));
  }
  void mousePressEvent(QMouseEvent* e) override { e->accept(); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
      Guard([this] { bar_.UserClick(); });
  }

 private:
  ui::TStatusBar& bar_;
};

class StatusBarPeer : public QtPeer {
 public:
  StatusBarPeer(ui::TStatusBar& s, QWidget* parent)
      : QtPeer(s, new StatusBarWidget(s, parent)), bar_(s) {}

 protected:
  void ApplyText() override {
    Widget()->update();
    // The bar shows the web address a click opens; the information line is
    // the window's status line for screen readers.
    SetStatusText(Widget(), ToQ(bar_.Text()), QAccessible::Link);
  }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::Style) Widget()->update();
  }

 private:
  ui::TStatusBar& bar_;
};

}  // namespace

std::unique_ptr<QtPeer> NewStatusBarPeer(ui::TStatusBar& control, QWidget* parent) {
  return std::make_unique<StatusBarPeer>(control, parent);
}

}  // namespace ui::qt
