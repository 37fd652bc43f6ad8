// The Qt peers of the toolkit layer, driven as a user would drive them.
#include <QAccessible>
#include <QApplication>
#include <QDebug>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <initializer_list>
#include <string>
#include <vector>

#include "toolkits/qt/QtApplication.h"
#include "toolkits/qt/QtCheckListView.h"
#include "WhenModal.h"
#include "ui/Controls.h"

using namespace ui;

namespace {

// A form with a panel and whatever the test adds, realized on Qt.
struct Window {
  TForm form;
  Window() {
    form.SetName("Form1");
    form.SetBounds(100, 100, 376, 453);
    form.SetCaption("Quillan");
  }
  template <class T>
  T* Add(const char* name, TWinControl* parent, int l, int t, int w, int h) {
    auto* c = new T(parent ? parent : &form);
    c->SetName(name);
    c->SetBounds(l, t, w, h);
    return c;
  }
  void Show() {
    form.Realize();
    form.Show();
    QVERIFY(QTest::qWaitForWindowExposed(ui::qt::WidgetOf(form)));
  }
};

template <class W>
W* Widget(const TControl& c) {
  return dynamic_cast<W*>(ui::qt::WidgetOf(c));
}

// The tool tip the pointer raises over a point of a widget.
QString ToolTipAt(QWidget* widget, const QPoint& at) {
  QToolTip::hideText();
  QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &help);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// The runs of pixel rows holding anything other than the background.
int InkBands(const QImage& image, const QColor& background) {
  int bands = 0;
  bool inked = false;
  for (int y = 2; y < image.height() - 2; ++y) {
    bool row = false;
    for (int x = 4; x < image.width() - 4 && !row; ++x) row = image.pixelColor(x, y) != background;
    if (row && !inked) ++bands;
    inked = row;
  }
  return bands;
}

}  // namespace

class QtToolkitTest : public QObject {
  Q_OBJECT

 private:
  ui::qt::QtApplication* app_ = nullptr;

 private slots:
  void init() { app_ = new ui::qt::QtApplication; }
  void cleanup() {
    delete app_;
    app_ = nullptr;
  }

  void checkListShowsColumnsTopToBottom() {
    Window w;
    auto* list = w.Add<TCheckListBox>("List", nullptr, 12, 8, 345, 233);
    list->SetColumns(2);
    list->SetSorted(true);
    for (int i = 0; i < 20; ++i) list->AddItem("Snapin" + std::to_string(10 + i));
    w.Show();
    auto* view = Widget<ui::qt::CheckListView>(*list);
    QVERIFY(view);
    const int rows = view->RowsPerColumn();
    QCOMPARE(rows, 14);  // every row the height holds, as natively
    QVERIFY(!view->horizontalScrollBar()->isVisible());
    QTRY_VERIFY(view->visualRect(view->model()->index(0, 0)).isValid());
    // What Qt draws and what the hit test answers agree, column by column.
    for (int i = 0; i < 20; ++i) {
      const QRect drawn = view->visualRect(view->model()->index(i, 0));
      const QRect cell = view->ItemRect(i);
      QCOMPARE(drawn.topLeft(), cell.topLeft());
      QCOMPARE(view->ItemAt(drawn.center()), i);
      QCOMPARE(list->ItemAtPos(cell.right() - 1, cell.center().y()), i);
    }
    QVERIFY(view->ItemRect(rows).left() >= view->viewport()->width() / 2);
    // Other heights, scroll bar shown or not: still the same columns.
    for (int height : {100, 157, 233, 400}) {
      list->SetHeight(height);
      for (int i : {0, view->RowsPerColumn() - 1, view->RowsPerColumn(), 19}) {
        if (i >= 20) continue;
        view->scrollTo(view->model()->index(i, 0));
        const QRect drawn = view->visualRect(view->model()->index(i, 0));
        QCOMPARE(view->ItemAt(drawn.center()), i);
      }
    }
    // Below the last item of the second column there is none.
    const QRect last = view->ItemRect(19);
    QCOMPARE(view->ItemAt({last.center().x(), last.bottom() + 3}), -1);
  }

  // Columns share the width, one takes it all for a long name, and longer
  // names are cut in the middle with "…"; drawing, hits, keys and tips agree.
  void checkListColumnsFitTheLongestName_data() {
    QTest::addColumn<QString>("longest");
    QTest::addColumn<int>("count");
    QTest::newRow("short names") << "short" << 20;
    QTest::newRow("one past half the width") << "half" << 20;
    QTest::newRow("60 past the whole width") << "beyond" << 60;
  }
  void checkListColumnsFitTheLongestName() {
    QFETCH(QString, longest);
    QFETCH(int, count);
    Window w;
    auto* list = w.Add<TCheckListBox>("List", nullptr, 12, 8, 345, 233);
    list->SetColumns(2);
    list->OnItemHint = [](int i) { return i == 1 ? std::string("Reports\r\nand more") : std::string(); };
    w.Show();
    auto* view = Widget<ui::qt::CheckListView>(*list);
    const QFontMetrics fm = view->fontMetrics();
    const int width = view->viewport()->width();
    QString name = longest == "beyond" ? "Novell eDirectory reporting and auditing snap-in for ConsoleOne " : "S";
    while (longest == "half" && fm.horizontalAdvance(name) < width / 2) name += "m";
    for (int i = 0; i < count; ++i)
      list->AddItem(((i == 1 || longest == "beyond" ? name : "S") + QString::number(10 + i)).toStdString());
    QTRY_VERIFY(view->visualRect(view->model()->index(0, 0)).isValid());
    const int column = view->ColumnWidth();
    QCOMPARE(column, longest == "short" ? width / 2 : width);
    const int rows = view->RowsPerColumn();
    QTRY_COMPARE(view->horizontalScrollBar()->isVisible(), (count + rows - 1) / rows * column > width);
    for (int i = 0; i < count; ++i) {
      const QString whole = ui::qt::ToQ(list->ItemText(i));
      const QString shown = view->ShownName(i);
      QVERIFY(fm.horizontalAdvance(shown) < column);
      // Cut in the middle, so the end that tells similar names apart stays.
      const qsizetype cut = shown.indexOf(QChar(0x2026));
      QVERIFY2(longest == "beyond" ? cut > 0 && whole.startsWith(shown.left(cut)) && whole.endsWith(shown.mid(cut + 1)) &&
                                         shown.endsWith(QString::number(10 + i))
                                   : shown == whole, qPrintable(shown));
      view->scrollTo(view->model()->index(i, 0));
      const QRect drawn = view->visualRect(view->model()->index(i, 0));
      QCOMPARE(drawn.topLeft(), view->ItemRect(i).topLeft());
      QCOMPARE(list->ItemAtPos(drawn.center().x(), drawn.center().y()), i);
      if (i == 1) QCOMPARE(ToolTipAt(view->viewport(), drawn.center()), whole + "\nReports\r\nand more");
    }
    // Right goes to the next column, scrolled wholly into view.
    list->SetItemIndex(0);
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(list->ItemIndex(), rows);
    QVERIFY(view->viewport()->rect().contains(view->ItemRect(rows)));
  }

  // With nothing selected, the focus frame is on the entry the first arrow
  // key selects or space switches, a locked first entry too.
  void checkListKeysStartAtTheFramedEntry_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("firstLocked");
    for (const bool locked : {false, true})
      for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_Space})
        QTest::addRow("key %x, first %s", key, locked ? "locked" : "free") << int(key) << locked;
  }
  void checkListKeysStartAtTheFramedEntry() {
    QFETCH(int, key);
    QFETCH(bool, firstLocked);
    Window w;
    auto* before = w.Add<TBitBtn>("Before", nullptr, 0, 0, 80, 30);
    auto* list = w.Add<TCheckListBox>("List", nullptr, 12, 40, 345, 233);
    std::vector<int> refused;
    list->OnItemRefused = [&](int i) { refused.push_back(i); };
    w.Show();
    // Filled after the window shows, as a checked path fills it.
    for (const char* n : {"a", "b", "c"}) list->AddItem(n);
    list->SetItemEnabled(0, !firstLocked);
    auto* view = Widget<ui::qt::CheckListView>(*list);
    Widget<QWidget>(*before)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
    QCOMPARE(view->currentIndex().row(), 0);
    QTest::keyClick(view, Qt::Key(key));
    QCOMPARE(list->ItemIndex(), 0);
    QCOMPARE(list->Checked(0), key == Qt::Key_Space && !firstLocked);
    QCOMPARE(refused.size(), size_t(key == Qt::Key_Space && firstLocked));
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(list->ItemIndex(), 1);
  }

  // A status line shows line breaks as lines and wraps a long text; a
  // label that shortens in the middle keeps its whole text for its tip and
  // screen readers, and refits to the room beside it.
  void longAndMultiLineTextsStayReadable_data() {
    QTest::addColumn<bool>("statusLine");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    const QString wide = "   /opt/novell/consoleone/1.3/bin/ConsoleOne not Found: expected a folder with bin/ConsoleOne";
    QTest::newRow("CR LF") << true << "   ONE\r\nTWO" << 2;
    QTest::newRow("one line") << true << "   ONE TWO" << 1;
    QTest::newRow("wider than the line") << true << wide << 2;
    QTest::newRow("two lines, the first wider") << true << wide + "\r\nTWO" << 2;
    QTest::newRow("not a status line") << false << "   ONE\r\nTWO" << 1;
  }
  void longAndMultiLineTextsStayReadable() {
    QFETCH(bool, statusLine);
    QFETCH(QString, text);
    QFETCH(int, lines);
    Window w;
    w.form.SetFont("MS Sans Serif", 14);  // the window's
    auto* panel = w.Add<TPanel>("Info", nullptr, 0, 113, 368, 28);
    panel->SetStatusLine(statusLine);
    panel->SetAlignment(TAlignment::taLeftJustify);
    panel->SetText(text.toStdString());
    auto* top = w.Add<TPanel>("Top", nullptr, 0, 0, 368, 100);
    auto* label = w.Add<TLabel>("Label", top, 172, 39, 63, 16);
    label->SetEllipsis(TEllipsis::Middle);
    const std::string whole = "/opt/novell/consoleone/1.2/bin/ConsoleOne not Found";
    label->SetText(whole);
    label->SetHint(whole);
    w.Show();
    QWidget* info = ui::qt::WidgetOf(*panel);
    QCOMPARE(InkBands(info->grab().toImage(), info->palette().color(QPalette::Window)), lines);

    auto* shown = Widget<QLabel>(*label);
    for (const int room : {188, 120, 1000}) {  // up to the panel's edge, less 8
      if (room != 188) top->SetWidth(172 + room + 8);
      if (room == 120) label->SetText(whole + " either");
      QVERIFY(room == 1000 ? shown->width() < room : shown->width() == room);
      const QString full = ui::qt::ToQ(label->Caption());
      const QString expected = shown->fontMetrics().elidedText(full, Qt::ElideMiddle, shown->width());
      QVERIFY2(room == 1000 ? expected == full : expected.contains(QChar(0x2026)) && expected.endsWith(full.right(6)),
               qPrintable(expected));
      QLabel plain(expected, shown->parentWidget());
      plain.setGeometry(shown->geometry());
      plain.setAlignment(shown->alignment());
      QCOMPARE(shown->grab().toImage(), plain.grab().toImage());
      QCOMPARE(QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name), full);
    }
    QCOMPARE(ToolTipAt(shown, {5, 5}), ui::qt::ToQ(whole));
  }

  void checkListSortsIgnoringCaseAndReadsTheControl() {
    Window w;
    auto* list = w.Add<TCheckListBox>("List", nullptr, 0, 0, 300, 200);
    list->SetSorted(true);
    w.Show();
    list->AddItem("beta");
    list->AddItem("Alpha");
    list->AddItem("gamma");
    list->AddItem("ALPHA2");
    auto* view = Widget<QListView>(*list);
    QAbstractItemModel* m = view->model();
    QCOMPARE(m->rowCount(), 4);
    const QStringList expected{"Alpha", "ALPHA2", "beta", "gamma"};
    for (int i = 0; i < 4; ++i) QCOMPARE(m->index(i, 0).data().toString(), expected[i]);
    list->SetChecked(2, true);
    list->SetItemEnabled(3, false);
    QCOMPARE(m->index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(!(m->flags(m->index(3, 0)) & Qt::ItemIsEnabled));
    QVERIFY(m->flags(m->index(2, 0)) & Qt::ItemIsEnabled);
    list->DeleteItem(0);
    QCOMPARE(m->rowCount(), 3);
    QCOMPARE(m->index(0, 0).data().toString(), QString("ALPHA2"));
    list->Clear();
    QCOMPARE(m->rowCount(), 0);
  }

  void checkListClicksToggleOnlyEnabledMarks() {
    Window w;
    auto* list = w.Add<TCheckListBox>("List", nullptr, 12, 8, 345, 233);
    list->SetColumns(2);
    list->SetSorted(true);
    w.Show();
    list->AddItem("a");
    list->AddItem("b");
    list->SetItemEnabled(list->AddItem("c"), false);
    std::vector<std::pair<int, bool>> clicks;  // selected item, its mark, at each click
    list->OnClick = [&](TObject*) { clicks.emplace_back(list->ItemIndex(), list->Checked(list->ItemIndex())); };
    auto* view = Widget<ui::qt::CheckListView>(*list);
    QWidget* vp = view->viewport();

    QTest::mouseClick(vp, Qt::LeftButton, {}, view->CheckRect(1).center());
    QVERIFY(list->Checked(1));
    QCOMPARE(clicks.size(), size_t(1));
    QCOMPARE(clicks.back(), std::make_pair(1, true));  // the event sees the new mark
    QCOMPARE(view->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // On the text: selects and clicks, the mark stays.
    QTest::mouseClick(vp, Qt::LeftButton, {}, view->ItemRect(0).center() + QPoint(40, 0));
    QVERIFY(!list->Checked(0));
    QCOMPARE(list->ItemIndex(), 0);
    QCOMPARE(clicks.size(), size_t(2));
    QVERIFY(view->selectionModel()->isSelected(view->model()->index(0, 0)));

    // A disabled item never toggles, by mouse or by space; it is still selected.
    QTest::mouseClick(vp, Qt::LeftButton, {}, view->CheckRect(2).center());
    QVERIFY(!list->Checked(2));
    QCOMPARE(list->ItemIndex(), 2);
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(!list->Checked(2));

    // Space toggles the selected enabled item, then raises the click event
    // (the disabled one above raised none).
    const size_t before = clicks.size();
    QTest::keyClick(view, Qt::Key_Up);  // keyboard selection: a click event
    QCOMPARE(list->ItemIndex(), 1);
    QCOMPARE(clicks.size(), before + 1);
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(!list->Checked(1));
    QCOMPARE(clicks.size(), before + 2);

    // A double click in the box toggles twice, like two clicks.
    QTest::mouseDClick(vp, Qt::LeftButton, {}, view->CheckRect(0).center());
    QTest::mousePress(vp, Qt::LeftButton, {}, view->CheckRect(0).center());
    QTest::mouseRelease(vp, Qt::LeftButton, {}, view->CheckRect(0).center());
    QVERIFY(list->Checked(0));
  }

  void checkListHoverAndPopupMenu() {
    Window w;
    auto* list = w.Add<TCheckListBox>("List", nullptr, 12, 8, 345, 233);
    list->SetColumns(2);
    auto* menu = w.form.AddComponent<TPopupMenu>();
    TMenuItem* checkAll = w.form.AddComponent<TMenuItem>();
    checkAll->SetCaption("&Check All");
    menu->Add(checkAll);
    list->SetPopupMenu(menu);
    int menuClicks = 0;
    checkAll->OnClick = [&](TObject*) { ++menuClicks; };
    std::vector<int> hovered;
    list->OnMouseMove = [&](TObject* s, TShiftState, int x, int y) {
      hovered.push_back(static_cast<TCheckListBox*>(s)->ItemAtPos(x, y));
    };
    w.Show();
    for (const char* n : {"one", "two", "three"}) list->AddItem(n);
    auto* view = Widget<ui::qt::CheckListView>(*list);
    QTest::mouseMove(view->viewport(), view->ItemRect(2).center());
    QTRY_VERIFY(!hovered.empty());
    QCOMPARE(hovered.back(), 2);
    QTest::mouseMove(view->viewport(), view->ItemRect(1).center() + QPoint(0, 100));
    QTRY_COMPARE(hovered.back(), -1);

    QTimer::singleShot(50, [] {
      auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(popup);
      QCOMPARE(popup->actions().size(), 1);
      QCOMPARE(popup->actions()[0]->text(), QString("&Check All"));
      popup->actions()[0]->trigger();
      popup->close();
    });
    QContextMenuEvent ev(QContextMenuEvent::Mouse, view->ItemRect(0).center(),
                         view->viewport()->mapToGlobal(view->ItemRect(0).center()));
    QApplication::sendEvent(view->viewport(), &ev);
    QCOMPARE(menuClicks, 1);
    QCOMPARE(list->ItemIndex(), -1);  // a right click selects nothing
  }

  void checkListStaysFastWithManyItems() {
    Window w;
    auto* list = w.Add<TCheckListBox>("List", nullptr, 12, 8, 345, 233);
    list->SetColumns(2);
    list->SetSorted(true);
    w.Show();
    QElapsedTimer timer;
    timer.start();
    char name[16];
    for (int i = 0; i < 50000; ++i) {
      std::snprintf(name, sizeof name, "s%06d", i);
      list->AddItem(name);
    }
    QApplication::processEvents();
    auto* view = Widget<ui::qt::CheckListView>(*list);
    view->repaint();
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(view->model()->rowCount(), 50000);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->CheckRect(3).center());
    QVERIFY(list->Checked(3));
    list->Clear();
    QCOMPARE(view->model()->rowCount(), 0);
  }

  void comboReportsEveryKeystrokeAndPickButNotCode() {
    Window w;
    auto* combo = w.Add<TComboBox>("Combo", nullptr, 10, 9, 351, 24);
    std::vector<std::string> changes;
    combo->OnChange = [&](TObject*) { changes.push_back(combo->Text()); };
    int dbl = 0;
    combo->OnDblClick = [&](TObject*) { ++dbl; };
    w.Show();
    auto* box = Widget<QComboBox>(*combo);
    QVERIFY(box->isEditable());
    combo->SetText("/opt");
    combo->AddItem("/first");
    combo->InsertItem(0, "/second");
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->currentText(), QString("/opt"));  // items from code leave the text
    QVERIFY(changes.empty());

    box->lineEdit()->setFocus();
    box->lineEdit()->end(false);
    QTest::keyClicks(box->lineEdit(), "/x");
    QCOMPARE(changes, (std::vector<std::string>{"/opt/", "/opt/x"}));
    QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
    QCOMPARE(changes.back(), std::string("/opt/"));
    QCOMPARE(combo->Text(), std::string("/opt/"));

    // The handler may change the text while the user types; the box follows.
    combo->OnChange = [&](TObject*) {
      changes.push_back(combo->Text());
      if (combo->Text() == "/opt/y") combo->SetText("/opt");
    };
    QTest::keyClicks(box->lineEdit(), "y");
    QCOMPARE(box->currentText(), QString("/opt"));

    changes.clear();
    emit box->activated(1);  // a pick from the drop-down list
    QCOMPARE(changes, (std::vector<std::string>{"/first"}));
    QCOMPARE(box->currentText(), QString("/first"));
    QCOMPARE(combo->ItemIndex(), 1);

    // Leaving the box, or Enter, with a listed text is no pick.
    changes.clear();
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    box->lineEdit()->clearFocus();
    QVERIFY(changes.empty());

    combo->DeleteItem(0);
    QCOMPARE(box->count(), 1);
    QCOMPARE(box->itemText(0), QString("/first"));
    QTest::mouseDClick(box->lineEdit(), Qt::LeftButton);
    QCOMPARE(dbl, 1);
  }

  void simpleKindsMirrorStateAndReportUsers() {
    Window w;
    auto* check = w.Add<TCheckBox>("Check", nullptr, 0, 30, 150, 21);
    check->SetCaption("Keep Quillan Open");
    auto* button = w.Add<TBitBtn>("Button", nullptr, 0, 60, 100, 40);
    button->SetCaption("&Start");
    button->SetHint("Launch it");
    auto* bar = w.Add<TStatusBar>("Bar", nullptr, 0, 392, 368, 19);
    bar->SetAlign(TAlign::alBottom);
    bar->SetText("https://example.org");
    bar->SetCursor(TCursor::crHandPoint);
    int checks = 0, buttons = 0, barClicks = 0;
    check->OnClick = [&](TObject*) { ++checks; };
    button->OnClick = [&](TObject*) { ++buttons; };
    bar->OnClick = [&](TObject*) { ++barClicks; };
    w.Show();

    auto* cb = Widget<QCheckBox>(*check);
    QCOMPARE(cb->text(), QString("Keep Quillan Open"));
    check->SetChecked(true);
    QVERIFY(cb->isChecked());
    QCOMPARE(checks, 0);
    QTest::mouseClick(cb, Qt::LeftButton);
    QVERIFY(!check->Checked());
    QVERIFY(!cb->isChecked());
    QCOMPARE(checks, 1);

    auto* pb = Widget<QPushButton>(*button);
    QCOMPARE(pb->toolTip(), QString("Launch it"));
    QTest::mouseClick(pb, Qt::LeftButton);
    QCOMPARE(buttons, 1);
    button->SetEnabled(false);
    QVERIFY(!pb->isEnabled());
    QTest::mouseClick(pb, Qt::LeftButton);
    QCOMPARE(buttons, 1);

    QWidget* sb = ui::qt::WidgetOf(*bar);
    QCOMPARE(sb->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(sb->geometry(), QRect(0, 392, 368, 19));
    QTest::mouseClick(sb, Qt::LeftButton, {}, QPoint(200, 10));
    QCOMPARE(barClicks, 1);
  }

  // Kinds no window shows get no widget; their state and events are the
  // layer's alone, and a window holding them shows as usual.
  void dataOnlyKindsHaveNoWidgetAndKeepTheirState() {
    Window w;
    auto* edit = w.Add<TEdit>("Edit", nullptr, 0, 0, 100, 20);
    auto* spin = w.Add<TSpinEdit>("Spin", nullptr, 0, 0, 80, 20);
    auto* radio = w.Add<TRadioGroup>("Radio", nullptr, 0, 30, 150, 90);
    auto* track = w.Add<TTrackBar>("Track", nullptr, 0, 130, 150, 30);
    auto* memo = w.Add<TMemo>("Memo", nullptr, 160, 0, 150, 80);
    auto* values = w.Add<TValueListEditor>("Values", nullptr, 160, 90, 200, 100);
    auto* grid = w.Add<TStringGrid>("Grid", nullptr, 160, 200, 200, 100);
    auto* splitter = w.Add<TSplitter>("Splitter", nullptr, 0, 170, 150, 3);
    auto* check = w.Add<TCheckBox>("Check", nullptr, 0, 300, 150, 21);
    int edits = 0;
    edit->OnChange = [&](TObject*) { ++edits; };
    spin->SetRange(0, 50);
    spin->SetValue(70);
    radio->SetItems({"one", "two"});
    radio->SetItemIndex(1);
    track->SetRange(0, 20);
    track->SetPosition(5);
    memo->SetLines({"l1", "l2"});
    values->SetStrings({"k=v", "a=b=c"});
    grid->SetCell(2, 3, "x");
    w.Show();

    for (TControl* c : std::initializer_list<TControl*>{edit, spin, radio, track, memo, values, grid, splitter}) {
      QVERIFY2(c->Peer() == nullptr, c->Name().c_str());
      QVERIFY(ui::qt::WidgetOf(*c) == nullptr);
    }
    QVERIFY(ui::qt::WidgetOf(*check) != nullptr);
    QVERIFY(ui::qt::WidgetOf(w.form)->isVisible());
    QCOMPARE(spin->Value(), 50);
    QCOMPARE(radio->ItemIndex(), 1);
    track->UserSetPosition(6);
    QCOMPARE(track->Position(), 6);
    memo->AddLine("l3");
    QCOMPARE(memo->Lines(), (std::vector<std::string>{"l1", "l2", "l3"}));
    QCOMPARE(values->RowCount(), 2);
    grid->SetColCount(7);
    grid->SetCell(6, 4, "y");
    QCOMPARE(grid->Cell(6, 4), std::string("y"));
    QCOMPARE(grid->Cell(2, 3), std::string("x"));
    edit->UserEdit("ab");
    QCOMPARE(edits, 1);
    QCOMPARE(edit->Text(), std::string("ab"));
  }

  void formLayoutFollowsResizeAndCloseGoesThroughTheLayer() {
    Window w;
    auto* top = w.Add<TPanel>("PanelTop", nullptr, 0, 0, 368, 113);
    top->SetAlign(TAlign::alTop);
    auto* button = w.Add<TBitBtn>("Button", top, 231, 70, 122, 40);
    button->SetAnchors(akTop | akRight);
    auto* fill = w.Add<TPanel>("PanelBottom", nullptr, 0, 113, 368, 298);
    fill->SetAlign(TAlign::alClient);
    auto* list = w.Add<TCheckListBox>("List", fill, 12, 8, 345, 282);
    list->SetAnchors(akLeft | akTop | akRight | akBottom);
    int closes = 0;
    w.form.OnClose = [&](TObject*, TCloseAction&) { ++closes; };
    app_->SetMainForm(&w.form);
    w.Show();
    QWidget* fw = ui::qt::WidgetOf(w.form);
    QCOMPARE(fw->size(), QSize(368, 411));
    QCOMPARE(fw->windowTitle(), QString("Quillan"));
    fw->resize(468, 511);  // the user drags the frame
    QTRY_COMPARE(w.form.ClientWidth(), 468);
    QCOMPARE(w.form.ClientHeight(), 511);
    QCOMPARE(ui::qt::WidgetOf(*button)->geometry(), QRect(331, 70, 122, 40));
    QCOMPARE(ui::qt::WidgetOf(*list)->geometry(), QRect(12, 8, 445, 382));
    w.form.SetBounds(0, 0, 376, 453);  // from code: no feedback
    QCOMPARE(fw->size(), QSize(368, 411));
    QCOMPARE(ui::qt::WidgetOf(*button)->geometry(), QRect(231, 70, 122, 40));

    fw->close();
    QCOMPARE(closes, 1);
    QVERIFY(!fw->isVisible());
    QVERIFY(app_->Terminated());
  }

  void movesStayWithTheControlUnderThePointer() {
    Window w;
    auto* panel = w.Add<TPanel>("Panel", nullptr, 0, 0, 368, 113);
    auto* edit = w.Add<TComboBox>("Path", panel, 10, 9, 200, 24);
    auto* check = w.Add<TCheckBox>("Check", panel, 14, 39, 148, 21);
    std::vector<std::string> moves;
    auto record = [&](TObject* s, TShiftState, int x, int y) {
      moves.push_back(static_cast<TComponent*>(s)->Name() + ":" + std::to_string(x) + "," +
                      std::to_string(y));
    };
    w.form.OnMouseMove = record;
    check->OnMouseMove = record;
    w.Show();
    QTest::mouseMove(ui::qt::WidgetOf(*check), QPoint(5, 6));
    QTRY_VERIFY(!moves.empty());
    QCOMPARE(moves.back(), std::string("Check:5,6"));
    moves.clear();
    QTest::mouseMove(ui::qt::WidgetOf(*edit), QPoint(20, 5));
    QTest::mouseMove(ui::qt::WidgetOf(*panel), QPoint(300, 80));
    QTest::qWait(20);
    QVERIFY(moves.empty());  // neither reaches the form's handler
    QTest::mouseMove(ui::qt::WidgetOf(w.form), QPoint(100, 300));
    QTRY_VERIFY(!moves.empty());
    QCOMPARE(moves.back(), std::string("Form1:100,300"));
    (void)edit;
  }

  void tabOrderFollowsTheLayer() {
    Window w;
    auto* top = w.Add<TPanel>("PanelTop", nullptr, 0, 0, 368, 113);
    top->SetTabOrder(0);
    auto* combo = w.Add<TComboBox>("Combo", top, 10, 9, 351, 24);
    auto* check = w.Add<TCheckBox>("Check", top, 14, 39, 148, 21);
    auto* rc = w.Add<TBitBtn>("RC", top, 231, 70, 122, 40);
    auto* c1 = w.Add<TBitBtn>("C1", top, 10, 70, 210, 40);
    auto* bottom = w.Add<TPanel>("PanelBottom", nullptr, 0, 141, 368, 251);
    bottom->SetTabOrder(2);
    auto* list = w.Add<TCheckListBox>("List", bottom, 12, 8, 345, 233);
    combo->SetTabOrder(0);
    c1->SetTabOrder(3);
    rc->SetTabOrder(2);
    check->SetTabOrder(1);
    list->SetTabOrder(0);
    w.Show();
    QWidget* first = ui::qt::WidgetOf(*combo);
    first->setFocus();
    QTRY_VERIFY(first->hasFocus() || first->focusProxy()->hasFocus());
    for (TControl* c : std::vector<TControl*>{check, rc, c1, list}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), ui::qt::WidgetOf(*c));
    }
  }

  void warningBoxAndFileDialog() {
    QCOMPARE(ui::qt::TranslateFilter("ConsoleOne|consoleone.exe|All Files|*.*"),
             QString("ConsoleOne (consoleone.exe);;All Files (*)"));
    QCOMPARE(ui::qt::TranslateFilter("Texts|*.txt;*.ini"), QString("Texts (*.txt *.ini)"));

    QString seenText, seenTitle;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      seenText = box->text();
      seenTitle = box->windowTitle();
      seenIcon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(app_->MessageBox("\"Novell ConsoleOne\" seems to be running - disabling selectors",
                              "Warning", MB_OK | MB_ICONWARNING),
             IDOK);
    QCOMPARE(seenText, QString("\"Novell ConsoleOne\" seems to be running - disabling selectors"));
    QCOMPARE(seenTitle, QString("Warning"));
    QCOMPARE(seenIcon, QMessageBox::Warning);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("bin"));
    TOpenDialog dialog;
    dialog.FileName = "ConsoleOne";
    dialog.DefaultExt = "exe";
    dialog.Filter = "ConsoleOne|consoleone.exe|All Files|*.*";
    dialog.InitialDir = (dir.path() + "/bin").toStdString();
    QString startDir, filter;
    WhenModal<QFileDialog>([&](QFileDialog* d) {
      startDir = d->directory().absolutePath();
      filter = d->selectedNameFilter();
      // The name as given, completed with the default extension.
      QMetaObject::invokeMethod(d, "accept");
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(startDir, dir.path() + "/bin");
    QCOMPARE(filter, QString("ConsoleOne (consoleone.exe)"));
    QCOMPARE(QString::fromStdString(dialog.FileName), dir.path() + "/bin/ConsoleOne.exe");

    WhenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    QVERIFY(!dialog.Execute());
  }

  void busyCursorIsApplicationWide() {
    app_->SetCursor(TCursor::crHourGlass);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    app_->SetCursor(TCursor::crHourGlass);
    app_->SetCursor(TCursor::crDefault);
    QVERIFY(!QApplication::overrideCursor());
  }
};

QTEST_MAIN(QtToolkitTest)
#include "QtToolkit_test.moc"
