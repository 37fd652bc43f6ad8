// The base peer of the Qt toolkit (internal to the toolkit and its tests):
// geometry, texts, hints, focus, mouse reports and popup menus shared by
// every control. Each kind's peer is in the file named for it.
#pragma once

#include <QAccessible>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "toolkits/Guard.h"
#include "ui/Controls.h"

namespace ui::qt {

using ui::Guard;

class QtPeer;

// The screens' available geometries, in Qt's device-independent pixels
// (the layer's own, QT_SCALE_FACTOR and the screens' scales divided out).
std::vector<ui::TRect> ScreenWorkAreas();

// Reports mouse moves, context menus and double clicks of the widgets that
// make up one control.
class PeerEventFilter : public QObject {
 public:
  explicit PeerEventFilter(QtPeer& peer) : peer_(peer) {}
  bool eventFilter(QObject* watched, QEvent* event) override;
  void Watch(QWidget* widget, bool reportDblClick);

 private:
  QtPeer& peer_;
};

class QtPeer : public ui::ControlPeer {
 public:
  QtPeer(ui::TControl& control, QWidget* widget);
  ~QtPeer() override;
  QtPeer(const QtPeer&) = delete;
  QtPeer& operator=(const QtPeer&) = delete;

  void Changed(ui::Prop what, int index) override;
  // Applies the control's whole state; called once after creation.
  void SyncAll();

  ui::TControl& Control() const { return control_; }
  QWidget* Widget() const { return widget_; }
  // The widget whose coordinates are the control's client coordinates.
  virtual QWidget* ClientWidget() const { return widget_; }
  // Watches a widget (the main one or a part of it) for user input.
  void Watch(QWidget* widget, bool reportDblClick);
  // Shows the control's popup menu, if it has one; true when shown.
  bool ShowPopupMenu(const QPoint& globalPos);
  // A label's text that describes the control to screen readers in place of
  // its hint; empty: the hint does again.
  void SetDescribingText(const QString& text);

 protected:
  virtual void ApplyBounds();
  virtual void ApplyText() {}
  virtual void ApplyKind(ui::Prop /*what*/, int /*index*/) {}
  virtual void SyncKind() {}
  // Boxes and lists without a caption take their accessible name (and
  // description) from the hint.
  virtual bool NamedByHint() const { return false; }
  virtual void ApplyAccessibleName(const QString& name, const QString& description);

 private:
  ui::TControl& control_;
  QPointer<QWidget> widget_;
  QString describing_;
  PeerEventFilter filter_{*this};
};

// A hint's leading phrase, before an example in brackets or a " - " note:
// "Enter the base path (e.g., ...) - double-click ..." -> "Enter the base path".
QString NameFromHint(const QString& hint);

// Shows a widget to screen readers as a status line (or another `role`)
// named by `text`. A change renames it; readers do not speak it unprompted.
void SetStatusText(QWidget* widget, const QString& text,
                   QAccessible::Role role = QAccessible::StatusBar);
// Has screen readers speak `text` now, from the status line `widget` (one
// SetStatusText made), even when it equals what the line already shows.
void AnnounceStatus(QWidget* widget, const QString& text);

// A screen reader's object with no widget and no children of its own (an
// entry of a list, an announcement), read-only.
class LeafAccessible : public QAccessibleInterface {
 public:
  QObject* object() const override { return nullptr; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}
};

// The control's Qt peer; nullptr when it has none.
QtPeer* PeerOf(const ui::TControl& c);

// One maker per control kind a window shows, each in the file named for it.
std::unique_ptr<QtPeer> NewFormPeer(ui::TCustomForm& control);
std::unique_ptr<QtPeer> NewPanelPeer(ui::TPanel& control, QWidget* parent);
std::unique_ptr<QtPeer> NewLabelPeer(ui::TLabel& control, QWidget* parent);
std::unique_ptr<QtPeer> NewButtonPeer(ui::TBitBtn& control, QWidget* parent);
std::unique_ptr<QtPeer> NewCheckBoxPeer(ui::TCheckBox& control, QWidget* parent);
std::unique_ptr<QtPeer> NewComboPeer(ui::TComboBox& control, QWidget* parent);
std::unique_ptr<QtPeer> NewCheckListPeer(ui::TCheckListBox& control, QWidget* parent);
std::unique_ptr<QtPeer> NewStatusBarPeer(ui::TStatusBar& control, QWidget* parent);

}  // namespace ui::qt
