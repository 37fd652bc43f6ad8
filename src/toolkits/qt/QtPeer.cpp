// The base peer (geometry, texts, hints, focus, mouse reports and popup
// menus shared by every control) and the choice of a peer for each kind.
#include "toolkits/qt/QtPeer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QMessageBox>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>
#include <exception>

#include "toolkits/DataOnly.h"
#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

Qt::CursorShape CursorShape(ui::TCursor c) {
  switch (c) {
    case ui::TCursor::crHandPoint: return Qt::PointingHandCursor;
    case ui::TCursor::crHourGlass: return Qt::WaitCursor;
    case ui::TCursor::crArrow:
    case ui::TCursor::crDefault: break;
  }
  return Qt::ArrowCursor;
}

}  // namespace

namespace {

const char* const kStatusText = "quillanStatusText";
const char* const kStatusRole = "quillanStatusRole";

// Something said now, under the line that shows it: Qt 6.4's AT-SPI bridge
// has no announcement, and Orca speaks a notification as it starts showing.
// Each announcement is a new object, so no reader's cache holds an old text.
class AnnouncementAccessible : public LeafAccessible {
 public:
  AnnouncementAccessible(QWidget* line, QString text) : line_(line), text_(std::move(text)) {}
  bool isValid() const override { return !line_.isNull(); }
  QWindow* window() const override { return line_ ? line_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return line_ ? QAccessible::queryAccessibleInterface(line_.data()) : nullptr;
  }
  QAccessible::Role role() const override { return QAccessible::Notification; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? text_ : QString();
  }
  QRect rect() const override {
    return line_ ? QRect(line_->mapToGlobal(QPoint(0, 0)), line_->size()) : QRect();
  }
  QAccessible::State state() const override {
    QAccessible::State st;
    st.invalid = !isValid();
    return st;
  }

 private:
  QPointer<QWidget> line_;
  QString text_;
};

// A status line: named by its text. Its last announcement names it as its
// parent but is not among its children: "read status bar" reads the line
// once, and an announcement the line no longer shows is not read with it.
class StatusAccessible : public QAccessibleWidget {
 public:
  explicit StatusAccessible(QWidget* w)
      : QAccessibleWidget(w, static_cast<QAccessible::Role>(w->property(kStatusRole).toInt())) {}
  ~StatusAccessible() override { Forget(); }
  StatusAccessible(const StatusAccessible&) = delete;
  StatusAccessible& operator=(const StatusAccessible&) = delete;

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return widget()->property(kStatusText).toString().trimmed();
    return QAccessibleWidget::text(t);
  }
  void Say(const QString& text) {
    Forget();
    said_ = QAccessible::registerAccessibleInterface(new AnnouncementAccessible(widget(), text));
    QAccessibleEvent shown(QAccessible::accessibleInterface(said_), QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
  }

 private:
  void Forget() {
    if (said_) QAccessible::deleteAccessibleInterface(said_);
    said_ = 0;
  }
  QAccessible::Id said_ = 0;
};

QAccessibleInterface* StatusFactory(const QString&, QObject* object) {
  auto* w = qobject_cast<QWidget*>(object);
  if (w && w->property(kStatusText).isValid()) return new StatusAccessible(w);
  return nullptr;
}

}  // namespace

void SetStatusText(QWidget* widget, const QString& text, QAccessible::Role role) {
  static const bool installed = (QAccessible::installFactory(StatusFactory), true);
  (void)installed;
  // The properties mark the widget as a status line for the factory, so they
  // are set even for an empty first text: Qt keeps whichever interface it made first.
  widget->setProperty(kStatusRole, static_cast<int>(role));
  const QVariant old = widget->property(kStatusText);
  if (old.isValid() && old.toString() == text) return;
  widget->setProperty(kStatusText, text);
  if (!QAccessible::isActive()) return;
  QAccessibleEvent event(widget, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&event);
}

void AnnounceStatus(QWidget* widget, const QString& text) {
  if (!QAccessible::isActive()) return;
  if (auto* line = dynamic_cast<StatusAccessible*>(QAccessible::queryAccessibleInterface(widget)))
    line->Say(text);
}

QtPeer* PeerOf(const ui::TControl& c) { return dynamic_cast<QtPeer*>(c.Peer()); }

// ---------------------------------------------------------------- QtPeer

void PeerEventFilter::Watch(QWidget* widget, bool reportDblClick) {
  widget->setMouseTracking(true);
  // Moves over a control are its own; they must not reach the parent's
  // handler (the information line keeps its text over the path box).
  widget->setAttribute(Qt::WA_NoMousePropagation, true);
  widget->setProperty("quillanDblClick", reportDblClick);
  widget->installEventFilter(this);
}

bool PeerEventFilter::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget) return false;
  switch (event->type()) {
    case QEvent::MouseMove: {
      const auto* me = static_cast<QMouseEvent*>(event);
      QWidget* client = peer_.ClientWidget();
      const QPoint p = client->mapFromGlobal(me->globalPosition().toPoint());
      Guard([this, p] { peer_.Control().UserMouseMove(p.x(), p.y()); });
      return false;
    }
    case QEvent::ContextMenu: {
      const auto* ce = static_cast<QContextMenuEvent*>(event);
      return peer_.ShowPopupMenu(ce->globalPos());
    }
    case QEvent::MouseButtonDblClick:
      if (widget->property("quillanDblClick").toBool() &&
          static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Guard([this] { peer_.Control().UserDblClick(); });
        return true;
      }
      return false;
    default: return false;
  }
}

QtPeer::QtPeer(ui::TControl& control, QWidget* widget) : control_(control), widget_(widget) {
  widget->setObjectName(ToQ(control.Name()));
  filter_.Watch(widget, false);
}

QtPeer::~QtPeer() {
  if (widget_) {
    widget_->removeEventFilter(&filter_);
    delete widget_.data();
  }
}

void QtPeer::SetDescribingText(const QString& text) {
  if (text == describing_) return;
  describing_ = text;
  Changed(Prop::Hint, -1);
}

void QtPeer::Watch(QWidget* widget, bool reportDblClick) { filter_.Watch(widget, reportDblClick); }

void QtPeer::ApplyAccessibleName(const QString& name, const QString& description) {
  widget_->setAccessibleName(name);
  widget_->setAccessibleDescription(description);
}

QString NameFromHint(const QString& hint) {
  qsizetype end = hint.size();
  for (const QString& mark : {QStringLiteral(" ("), QStringLiteral(" - ")}) {
    const qsizetype at = hint.indexOf(mark);
    if (at > 0) end = std::min(end, at);
  }
  return hint.left(end).trimmed();
}

void QtPeer::ApplyBounds() {
  widget_->setGeometry(control_.Left(), control_.Top(), std::max(0, control_.Width()),
                       std::max(0, control_.Height()));
}

void QtPeer::Changed(Prop what, int index) {
  if (!widget_) return;
  switch (what) {
    case Prop::Bounds: ApplyBounds(); break;
    case Prop::Text: ApplyText(); break;
    case Prop::Hint:
      widget_->setToolTip(ToQ(control_.Hint()));
      if (NamedByHint())
        ApplyAccessibleName(NameFromHint(ToQ(control_.Hint())),
                            describing_.isEmpty() ? ToQ(control_.Hint()) : describing_);
      break;
    case Prop::Enabled: widget_->setEnabled(control_.Enabled()); break;
    case Prop::Visible:
      if (!widget_->isWindow()) widget_->setVisible(control_.Visible());
      break;
    case Prop::Cursor:
      if (control_.Cursor() == ui::TCursor::crDefault)
        widget_->unsetCursor();
      else
        widget_->setCursor(CursorShape(control_.Cursor()));
      break;
    case Prop::Focus: widget_->setFocus(Qt::OtherFocusReason); break;
    case Prop::TabOrder:
      if (ui::TCustomForm* form = control_.ParentForm()) QtApplication::UpdateTabOrder(*form);
      break;
    case Prop::Align:
    case Prop::Anchors: break;  // the layer lays out; bounds follow
    default: ApplyKind(what, index); break;
  }
}

void QtPeer::SyncAll() {
  SyncKind();
  ApplyText();
  ApplyBounds();
  Changed(Prop::Hint, -1);
  Changed(Prop::Enabled, -1);
  Changed(Prop::Cursor, -1);
  Changed(Prop::Visible, -1);
}
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
                     [item] { Guard([item] { item->UserClick(); }); });
  }
  menu.exec(globalPos);
  return true;
}

// ---------------------------------------------------------- peer factory
std::unique_ptr<ui::ControlPeer> MakePeer(ui::TControl& c) {
  QWidget* parent = nullptr;
  if (c.Parent()) {
    QtPeer* p = PeerOf(*c.Parent());
    if (!p || !p->Widget()) return nullptr;
    parent = p->Widget();
  }
  std::unique_ptr<QtPeer> peer;
  if (auto* form = dynamic_cast<ui::TCustomForm*>(&c))
    peer = NewFormPeer(*form);
  else if (!parent || DataOnlyKind(c))
    return nullptr;
  else if (auto* box = dynamic_cast<ui::TCheckListBox*>(&c))
    peer = NewCheckListPeer(*box, parent);
  else if (auto* combo = dynamic_cast<ui::TComboBox*>(&c))
    peer = NewComboPeer(*combo, parent);
  else if (auto* check = dynamic_cast<ui::TCheckBox*>(&c))
    peer = NewCheckBoxPeer(*check, parent);
  else if (auto* button = dynamic_cast<ui::TBitBtn*>(&c))
    peer = NewButtonPeer(*button, parent);
  else if (auto* panel = dynamic_cast<ui::TPanel*>(&c))
    peer = NewPanelPeer(*panel, parent);
  else if (auto* label = dynamic_cast<ui::TLabel*>(&c))
    peer = NewLabelPeer(*label, parent);
  else if (auto* status = dynamic_cast<ui::TStatusBar*>(&c))
    peer = NewStatusBarPeer(*status, parent);
  else
    peer = std::make_unique<QtPeer>(c, new QWidget(parent));
  peer->SyncAll();
  return peer;
}

QWidget* WidgetOf(const ui::TControl& control) {
  QtPeer* p = PeerOf(control);
  return p ? p->Widget() : nullptr;
}

QWidget* ClientWidgetOf(const ui::TControl& control) {
  QtPeer* p = PeerOf(control);
  return p ? p->ClientWidget() : nullptr;
}

}  // namespace ui::qt
