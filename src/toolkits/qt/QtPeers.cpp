#include "toolkits/qt/QtPeers.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <exception>

#include "toolkits/qt/QtApplication.h"

namespace qtk {

using ui::Prop;

void Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"), ToQ(e.what()));
  } catch (...) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"),
                          QStringLiteral("Unexpected failure"));
  }
}

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

QtPeer* PeerOf(const ui::TControl& c) { return dynamic_cast<QtPeer*>(c.Peer()); }

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

// The form's client area as a top-level window.
class FormWidget : public QWidget {
 public:
  explicit FormWidget(ui::TCustomForm& form) : QWidget(nullptr), form_(form) {
    setAttribute(Qt::WA_QuitOnClose, false);
  }

 protected:
  void closeEvent(QCloseEvent* e) override {
    // The layer decides: it hides the form (and ends the program) itself.
    e->ignore();
    Guarded([this] { form_.UserClose(); });
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    const QSize s = e->size();
    if (s.width() != form_.ClientWidth() || s.height() != form_.ClientHeight())
      Guarded([this, s] { form_.UserResized(s.width(), s.height()); });
  }
  void moveEvent(QMoveEvent* e) override {
    QWidget::moveEvent(e);
    if (!isVisible()) return;
    const QPoint p = pos();  // frame position
    if (p.x() != form_.Left() || p.y() != form_.Top())
      Guarded([this, p] { form_.UserMoved(p.x(), p.y()); });
  }

 private:
  ui::TCustomForm& form_;
};

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
  PanelPeer(ui::TPanel& p, QWidget* parent) : QtPeer(p, new PanelWidget(p, parent)) {}

 protected:
  void ApplyText() override { Widget()->update(); }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::Style) Widget()->update();
  }
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
  }

 private:
  ui::TLabel& label_;
};

class SplitterPeer : public QtPeer {
 public:
  SplitterPeer(ui::TSplitter& s, QWidget* parent) : QtPeer(s, new QWidget(parent)) {
    Widget()->setCursor(Qt::SplitHCursor);
  }
};

class ButtonPeer : public QtPeer {
 public:
  ButtonPeer(ui::TBitBtn& b, QWidget* parent) : QtPeer(b, new QPushButton(parent)), button_(b) {
    QObject::connect(static_cast<QPushButton*>(Widget()), &QPushButton::clicked, Widget(),
                     [this] { Guarded([this] { button_.UserClick(); }); });
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
      Guarded([this] { box_.UserClick(); });
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

class EditPeer : public QtPeer {
 public:
  EditPeer(ui::TCustomEdit& e, QWidget* parent) : QtPeer(e, new QLineEdit(parent)), edit_(e) {
    QObject::connect(Line(), &QLineEdit::textEdited, Widget(), [this](const QString& t) {
      Guarded([this, t] { edit_.UserEdit(FromQ(t)); });
    });
  }

 protected:
  QLineEdit* Line() const { return static_cast<QLineEdit*>(Widget()); }
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
      Guarded([this, &lines, &t] {
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

class ComboPeer : public QtPeer {
 public:
  ComboPeer(ui::TComboBox& c, QWidget* parent) : QtPeer(c, new QComboBox(parent)), combo_(c) {
    Box()->setInsertPolicy(QComboBox::NoInsert);
    Box()->setMaxVisibleItems(8);
    QObject::connect(Box(), &QComboBox::activated, Widget(), [this](int index) {
      Guarded([this, index] { combo_.UserPick(index); });
      ShowText();
    });
  }

 protected:
  QComboBox* Box() const { return static_cast<QComboBox*>(Widget()); }
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
      Guarded([this, t] { combo_.UserEdit(FromQ(t)); });
    });
    Watch(line_, true);
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
      Guarded([this, v] { spin_.UserSetValue(v); });
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

class RadioGroupPeer : public QtPeer {
 public:
  RadioGroupPeer(ui::TRadioGroup& r, QWidget* parent)
      : QtPeer(r, new QGroupBox(parent)), radio_(r), buttons_(new QButtonGroup(Widget())) {
    new QVBoxLayout(Widget());
    buttons_->setExclusive(false);
    QObject::connect(buttons_, &QButtonGroup::idClicked, Widget(), [this](int id) {
      Guarded([this, id] { radio_.UserSelect(id); });
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
      Guarded([this, v] { track_.UserSetPosition(v); });
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

class ValueListPeer : public QtPeer {
 public:
  ValueListPeer(ui::TValueListEditor& v, QWidget* parent)
      : QtPeer(v, new QTableWidget(parent)), list_(v) {
    Table()->setColumnCount(2);
    Table()->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Value")});
    Table()->horizontalHeader()->setStretchLastSection(true);
    Table()->verticalHeader()->hide();
    Table()->setEditTriggers(QAbstractItemView::NoEditTriggers);
  }

 protected:
  QTableWidget* Table() const { return static_cast<QTableWidget*>(Widget()); }
  void Show() {
    const auto& lines = list_.Strings();
    Table()->setRowCount(static_cast<int>(lines.size()));
    int row = 0;
    for (const std::string& line : lines) {
      const size_t eq = line.find('=');
      const std::string key = line.substr(0, eq);
      const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
      Table()->setItem(row, 0, new QTableWidgetItem(ToQ(key)));
      Table()->setItem(row, 1, new QTableWidgetItem(ToQ(value)));
      ++row;
    }
  }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::ItemsReset || what == Prop::ItemInserted || what == Prop::ItemDeleted ||
        what == Prop::Cells)
      Show();
  }
  void SyncKind() override { Show(); }

 private:
  ui::TValueListEditor& list_;
};

class StringGridPeer : public QtPeer {
 public:
  StringGridPeer(ui::TStringGrid& g, QWidget* parent)
      : QtPeer(g, new QTableWidget(parent)), grid_(g) {
    Table()->horizontalHeader()->hide();
    Table()->verticalHeader()->hide();
    Table()->setEditTriggers(QAbstractItemView::NoEditTriggers);
  }

 protected:
  QTableWidget* Table() const { return static_cast<QTableWidget*>(Widget()); }
  void ShowCell(int col, int row) {
    auto* item = new QTableWidgetItem(ToQ(grid_.Cell(col, row)));
    if (row < grid_.FixedRows() || col < grid_.FixedCols())
      item->setBackground(Table()->palette().button());
    Table()->setItem(row, col, item);
  }
  void Show() {
    Table()->setRowCount(grid_.RowCount());
    Table()->setColumnCount(grid_.ColCount());
    for (int c = 0; c < grid_.ColCount(); ++c)
      for (int r = 0; r < grid_.RowCount(); ++r) ShowCell(c, r);
  }
  void ApplyKind(Prop what, int index) override {
    if (what == Prop::Counts) Show();
    if (what != Prop::Cells) return;
    const int cols = grid_.ColCount();
    if (index < 0 || cols <= 0 || Table()->columnCount() != cols ||
        Table()->rowCount() != grid_.RowCount()) {
      Show();
      return;
    }
    ShowCell(index % cols, index / cols);
  }
  void SyncKind() override { Show(); }

 private:
  ui::TStringGrid& grid_;
};

class StatusBarPeer : public QtPeer {
 public:
  StatusBarPeer(ui::TStatusBar& s, QWidget* parent) : QtPeer(s, new StatusBarWidget(s, parent)) {}

 protected:
  void ApplyText() override { Widget()->update(); }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::Style) Widget()->update();
  }
};

class CheckListPeer : public QtPeer {
 public:
  CheckListPeer(ui::TCheckListBox& box, QWidget* parent)
      : QtPeer(box, new CheckListView(box, parent)) {
    Watch(View()->viewport(), false);
  }
  CheckListView* View() const { return static_cast<CheckListView*>(Widget()); }
  QWidget* ClientWidget() const override { return View()->viewport(); }
  std::optional<int> ItemAtPos(int x, int y) const override { return View()->ItemAt({x, y}); }

 protected:
  void ApplyKind(Prop what, int index) override {
    switch (what) {
      case Prop::ItemInserted:
        View()->Model().Inserted(index);
        View()->UpdateScrollBar();
        break;
      case Prop::ItemDeleted:
        View()->Model().Removed(index);
        View()->UpdateScrollBar();
        break;
      case Prop::ItemsReset:
        View()->Model().Reset();
        View()->UpdateScrollBar();
        break;
      case Prop::Checked:
      case Prop::ItemEnabled: View()->Model().ItemChanged(index); break;
      case Prop::ItemIndex: View()->ShowSelection(); break;
      case Prop::Columns:
      case Prop::ItemHeight: View()->UpdateGrid(); break;
      default: break;
    }
  }
  void SyncKind() override {
    View()->Model().Reset();
    View()->UpdateGrid();
    View()->ShowSelection();
  }
};

}  // namespace

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
      Guarded([this, p] { peer_.Control().UserMouseMove(p.x(), p.y()); });
      return false;
    }
    case QEvent::ContextMenu: {
      const auto* ce = static_cast<QContextMenuEvent*>(event);
      return peer_.ShowPopupMenu(ce->globalPos());
    }
    case QEvent::MouseButtonDblClick:
      if (widget->property("quillanDblClick").toBool() &&
          static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Guarded([this] { peer_.Control().UserDblClick(); });
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

void QtPeer::Watch(QWidget* widget, bool reportDblClick) { filter_.Watch(widget, reportDblClick); }

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

void QtPeer::ApplyBounds() {
  widget_->setGeometry(control_.Left(), control_.Top(), std::max(0, control_.Width()),
                       std::max(0, control_.Height()));
}

void QtPeer::Changed(Prop what, int index) {
  if (!widget_) return;
  switch (what) {
    case Prop::Bounds: ApplyBounds(); break;
    case Prop::Text: ApplyText(); break;
    case Prop::Hint: widget_->setToolTip(ToQ(control_.Hint())); break;
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

// ------------------------------------------------------- check-list box

int CheckListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  if (!index.isValid() || row < 0 || row >= box_.Count()) return {};
  switch (role) {
    case Qt::DisplayRole: return ToQ(box_.ItemText(row));
    case Qt::CheckStateRole: return box_.Checked(row) ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole: return ToQ(box_.Hint());
    default: return {};
  }
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
  const int row = index.row();
  if (!index.isValid() || row < 0 || row >= box_.Count()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (box_.ItemEnabled(row)) f |= Qt::ItemIsEnabled;
  return f;
}

void CheckListModel::Inserted(int row) {
  if (row < 0 || row > rows_ || rows_ + 1 != box_.Count()) {
    Reset();
    return;
  }
  beginInsertRows(QModelIndex(), row, row);
  ++rows_;
  endInsertRows();
}

void CheckListModel::Removed(int row) {
  if (row < 0 || row >= rows_ || rows_ - 1 != box_.Count()) {
    Reset();
    return;
  }
  beginRemoveRows(QModelIndex(), row, row);
  --rows_;
  endRemoveRows();
}

void CheckListModel::Reset() {
  beginResetModel();
  rows_ = box_.Count();
  endResetModel();
}

void CheckListModel::ItemChanged(int row) {
  if (rows_ == 0) return;
  if (row < 0 || row >= rows_)
    emit dataChanged(index(0), index(rows_ - 1));
  else
    emit dataChanged(index(row), index(row));
}

CheckListView::CheckListView(ui::TCheckListBox& box, QWidget* parent)
    : QListView(parent), box_(box), model_(box) {
  setModel(&model_);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setViewMode(QListView::ListMode);
  setMovement(QListView::Static);
  setResizeMode(QListView::Adjust);
  setUniformItemSizes(true);
  // Fixed cells: laying out even 50,000 items at once is cheap arithmetic.
  setLayoutMode(QListView::SinglePass);
  setSpacing(0);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setTextElideMode(Qt::ElideNone);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  UpdateGrid();
}

int CheckListView::ColumnWidth() const {
  const int columns = box_.Columns();
  const int w = viewport()->width();
  return std::max(1, columns > 0 ? w / columns : w);
}

int CheckListView::RowsPerColumn() const {
  const int h = std::max(1, box_.ItemHeight());
  if (box_.Columns() <= 0) return std::max(1, viewport()->height() / h);
  // As QListView wraps its columns: it keeps room for the horizontal scroll
  // bar even while that is hidden, and an item must end above the bottom.
  int bounds = maximumViewportSize().height();
  if (horizontalScrollBarPolicy() == Qt::ScrollBarAsNeeded)
    bounds -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, horizontalScrollBar());
  return std::max(1, (bounds - 1) / h);
}

void CheckListView::UpdateGrid() {
  const bool columns = box_.Columns() > 0;
  setFlow(QListView::TopToBottom);
  setWrapping(columns);
  setVerticalScrollBarPolicy(columns ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  UpdateScrollBar();
  const QSize grid(ColumnWidth(), std::max(1, box_.ItemHeight()));
  if (gridSize() != grid) setGridSize(grid);
  horizontalScrollBar()->setSingleStep(grid.width());
  verticalScrollBar()->setSingleStep(grid.height());
}

void CheckListView::UpdateScrollBar() {
  Qt::ScrollBarPolicy policy = Qt::ScrollBarAlwaysOff;
  if (box_.Columns() > 0) {
    // QListView keeps room for an as-needed bar even while it is hidden,
    // which would cost the columns a row or two; so ask only when needed.
    const int rows = std::max(1, (maximumViewportSize().height() - 1) /
                                     std::max(1, box_.ItemHeight()));
    if (model_.rowCount() > rows * box_.Columns()) policy = Qt::ScrollBarAsNeeded;
  }
  if (horizontalScrollBarPolicy() != policy) setHorizontalScrollBarPolicy(policy);
}

QRect CheckListView::ItemRect(int item) const {
  const int h = std::max(1, box_.ItemHeight());
  if (box_.Columns() > 0) {
    const int rows = RowsPerColumn();
    const int w = ColumnWidth();
    return {(item / rows) * w - horizontalOffset(), (item % rows) * h, w, h};
  }
  return {0, item * h - verticalOffset(), viewport()->width(), h};
}

int CheckListView::ItemAt(const QPoint& pos) const {
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= viewport()->width() ||
      pos.y() >= viewport()->height())
    return -1;
  const int h = std::max(1, box_.ItemHeight());
  int item = -1;
  if (box_.Columns() > 0) {
    const int rows = RowsPerColumn();
    const int row = pos.y() / h;
    if (row >= rows) return -1;
    item = (pos.x() + horizontalOffset()) / ColumnWidth() * rows + row;
  } else {
    item = (pos.y() + verticalOffset()) / h;
  }
  return item < box_.Count() ? item : -1;
}

QRect CheckListView::CheckRect(int item) const {
  QStyleOptionViewItem opt;
  initViewItemOption(&opt);
  opt.rect = ItemRect(item);
  opt.index = model_.index(item);
  opt.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  opt.checkState = box_.Checked(item) ? Qt::Checked : Qt::Unchecked;
  opt.text = ToQ(box_.ItemText(item));
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, this);
}

void CheckListView::ShowSelection() {
  const int i = box_.ItemIndex();
  if (i < 0 || i >= model_.rowCount()) {
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    return;
  }
  const QModelIndex index = model_.index(i);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
}

void CheckListView::Press(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  const int item = ItemAt(pos);
  if (item < 0) return;
  // Like the native list: the strip left of the text, up to the end of the
  // check mark, is the check-mark box.
  const QRect check = CheckRect(item);
  const QRect cell = ItemRect(item);
  const bool inCheck = pos.x() >= cell.left() && pos.x() <= check.right() + 1;
  Guarded([this, item, inCheck] {
    if (inCheck)
      box_.UserClickCheckBox(item);
    else
      box_.UserClickItem(item);
  });
}

void CheckListView::mousePressEvent(QMouseEvent* event) {
  Press(event);
  event->accept();
}

void CheckListView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click came as a press already.
  if (event->button() == Qt::LeftButton) Guarded([this] { box_.UserDblClick(); });
  event->accept();
}

void CheckListView::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void CheckListView::mouseMoveEvent(QMouseEvent* event) {
  // Reported by the peer's event filter; no drag selection here.
  event->accept();
}

void CheckListView::contextMenuEvent(QContextMenuEvent* event) {
  if (auto* peer = PeerOf(box_)) peer->ShowPopupMenu(event->globalPos());
  event->accept();
}

void CheckListView::ShowKeyboardPopup() {
  auto* peer = PeerOf(box_);
  if (peer == nullptr) return;
  // Beside the selected entry, or at the list's corner.
  const int i = box_.ItemIndex();
  const QPoint at = i >= 0 && i < box_.Count() ? ItemRect(i).center() : QPoint(4, 4);
  peer->ShowPopupMenu(viewport()->mapToGlobal(at));
}

void CheckListView::keyPressEvent(QKeyEvent* event) {
  const int count = box_.Count();
  const int current = box_.ItemIndex();
  const int rows = box_.Columns() > 0 ? RowsPerColumn() : 1;
  const int page = box_.Columns() > 0 ? rows : std::max(1, RowsPerColumn() - 1);
  int next = -2;
  switch (event->key()) {
    case Qt::Key_Space:
      Guarded([this] { box_.UserPressSpace(); });
      event->accept();
      return;
    case Qt::Key_F10:
      // Shift+F10 opens the popup menu, as the Menu key does.
      if (event->modifiers() == Qt::ShiftModifier) {
        ShowKeyboardPopup();
        event->accept();
        return;
      }
      break;
    case Qt::Key_Up: next = current - 1; break;
    case Qt::Key_Down: next = current + 1; break;
    case Qt::Key_Left: next = box_.Columns() > 0 ? current - rows : current - 1; break;
    case Qt::Key_Right: next = box_.Columns() > 0 ? current + rows : current + 1; break;
    case Qt::Key_PageUp: next = current - page; break;
    case Qt::Key_PageDown: next = current + page; break;
    case Qt::Key_Home: next = 0; break;
    case Qt::Key_End: next = count - 1; break;
    default: break;
  }
  if (next == -2) {
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint() ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      QListView::keyPressEvent(event);
      return;
    }
    // Typing the beginning of a name selects the next item that starts so.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastSearchKey_ > QApplication::keyboardInputInterval()) search_.clear();
    lastSearchKey_ = now;
    search_ += text;
    const int start = search_.size() == 1 ? current + 1 : std::max(current, 0);
    for (int k = 0; k < count; ++k) {
      const int i = (start + k) % count;
      if (ToQ(box_.ItemText(i)).startsWith(search_, Qt::CaseInsensitive)) {
        next = i;
        break;
      }
    }
    event->accept();
    if (next < 0 || next == current) return;
  }
  event->accept();
  if (count == 0) return;
  next = std::clamp(next, 0, count - 1);
  if (next == current) return;
  Guarded([this, next] { box_.UserSelect(next); });
}

void CheckListView::resizeEvent(QResizeEvent* event) {
  QListView::resizeEvent(event);
  UpdateGrid();
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
    peer = std::make_unique<FormPeer>(*form);
  else if (!parent)
    return nullptr;
  else if (auto* box = dynamic_cast<ui::TCheckListBox*>(&c))
    peer = std::make_unique<CheckListPeer>(*box, parent);
  else if (auto* combo = dynamic_cast<ui::TComboBox*>(&c))
    peer = std::make_unique<ComboPeer>(*combo, parent);
  else if (auto* memo = dynamic_cast<ui::TMemo*>(&c))
    peer = std::make_unique<MemoPeer>(*memo, parent);
  else if (auto* edit = dynamic_cast<ui::TCustomEdit*>(&c))
    peer = std::make_unique<EditPeer>(*edit, parent);
  else if (auto* check = dynamic_cast<ui::TCheckBox*>(&c))
    peer = std::make_unique<CheckBoxPeer>(*check, parent);
  else if (auto* button = dynamic_cast<ui::TBitBtn*>(&c))
    peer = std::make_unique<ButtonPeer>(*button, parent);
  else if (auto* panel = dynamic_cast<ui::TPanel*>(&c))
    peer = std::make_unique<PanelPeer>(*panel, parent);
  else if (auto* label = dynamic_cast<ui::TLabel*>(&c))
    peer = std::make_unique<LabelPeer>(*label, parent);
  else if (auto* status = dynamic_cast<ui::TStatusBar*>(&c))
    peer = std::make_unique<StatusBarPeer>(*status, parent);
  else if (auto* spin = dynamic_cast<ui::TSpinEdit*>(&c))
    peer = std::make_unique<SpinEditPeer>(*spin, parent);
  else if (auto* radio = dynamic_cast<ui::TRadioGroup*>(&c))
    peer = std::make_unique<RadioGroupPeer>(*radio, parent);
  else if (auto* track = dynamic_cast<ui::TTrackBar*>(&c))
    peer = std::make_unique<TrackBarPeer>(*track, parent);
  else if (auto* values = dynamic_cast<ui::TValueListEditor*>(&c))
    peer = std::make_unique<ValueListPeer>(*values, parent);
  else if (auto* grid = dynamic_cast<ui::TStringGrid*>(&c))
    peer = std::make_unique<StringGridPeer>(*grid, parent);
  else if (auto* splitter = dynamic_cast<ui::TSplitter*>(&c))
    peer = std::make_unique<SplitterPeer>(*splitter, parent);
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

}  // namespace qtk
