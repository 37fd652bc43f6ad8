// The status bar and the popup menus.
#include "toolkits/qt/QtPeers.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

#include "toolkits/qt/QtApplication.h"

namespace qtk {

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
      Guarded([this] { bar_.UserClick(); });
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
    SetStatusText(Widget(), ToQ(bar_.Text()));
  }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::Style) Widget()->update();
  }

 private:
  ui::TStatusBar& bar_;
};

}  // namespace

bool QtPeer::ShowPopupMenu(const QPoint& globalPos) {
  ui::TPopupMenu* popup = control_.PopupMenu();
  if (!popup) return false;
  QMenu menu(widget_);
  for (ui::TMenuItem* item : popup->Items()) {
    if (item->Caption() == "-") {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(ToQ(item->Caption()));
    QObject::connect(action, &QAction::triggered, &menu,
                     [item] { Guarded([item] { item->UserClick(); }); });
  }
  menu.exec(globalPos);
  return true;
}

std::unique_ptr<QtPeer> NewStatusBarPeer(ui::TStatusBar& control, QWidget* parent) {
  return std::make_unique<StatusBarPeer>(control, parent);
}

}  // namespace qtk
