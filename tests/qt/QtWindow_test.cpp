// The main window on Qt: a user types, clicks, hovers, uses the menu and
// closes, against a temporary installation.
#include <QAccessible>
#include <QApplication>
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "support/Installation.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"
#include "toolkits/qt/QtApplication.h"
#include "toolkits/qt/QtCheckListView.h"
#include "WhenModal.h"

using quillan_test::PlatformDouble;
using quillan_test::ScopedPlatform;
using quillan_test::TempDir;

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Alpha (active, with lib), beta (active, required), Gamma (inactive, with
// resources); the program lies in prog/ beside its machine-wide file.
struct Installation {
  TempDir dir;
  PlatformDouble os;
  ScopedPlatform scoped{os};
  std::string base;

  explicit Installation(std::vector<quillan_test::FakeWindow> windows = {}) {
    // The inactive folders come from the window's check.
    base = quillan_test::MakeInstallation(dir.Join("C1"), {{"Alpha", "beta"}, {"Gamma"}, true, false, true, false});
    dir.MakeFile("C1/snapins/Alpha/a.txt", "a");
    dir.MakeFile("C1/lib/Alpha/l.txt", "l");
    dir.MakeFile("C1/snapins/beta/b.txt", "b");
    dir.MakeFile("C1/inactive.snapins/Gamma/g.txt", "g");
    dir.MakeFile("C1/inactive.resources/Gamma/r.txt", "r");
    dir.MakeFile("prog/quillan.ini", "[Paths]\nC1=" + base +
                                         "\n[Required Snapins]\n1=beta\n"
                                         "[Snapin Description]\nAlpha=The first one\n");
    dir.MakeFolder("config");
    os.SetExecutablePath(dir.Join("prog/quillan"));
    os.SetRegistryString(platform::RegistryRoot::CurrentUser, kShellFolders, "AppData",
                         dir.Join("config"));
    os.RecordShellExecute();
    os.SetTopLevelWindows(std::move(windows));
  }
  bool Has(const std::string& rel) const { return TempDir::Exists(dir.Join(rel)); }
  std::string UserFile() const { return dir.Join("config/quillan.ini"); }
};

}  // namespace

class QtWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ui::qt::QtApplication> app_;
  std::unique_ptr<TForm1> form_;

  // Creates and shows the window as the main block does (without the loop).
  void Start() {
    form_ = std::make_unique<TForm1>();
    Form1 = form_.get();
    app_->SetMainForm(Form1);
    Form1->Show();
    QVERIFY(QTest::qWaitForWindowExposed(ui::qt::WidgetOf(*Form1)));
  }
  ui::qt::CheckListView* List() const {
    return dynamic_cast<ui::qt::CheckListView*>(ui::qt::WidgetOf(*Form1->CheckListBoxSnapins));
  }
  int Row(const char* name) const { return Form1->CheckListBoxSnapins->IndexOf(name); }
  void ClickMark(const char* name) {
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, List()->CheckRect(Row(name)).center());
  }
  QString Info() const { return ui::qt::ToQ(Form1->PanelInfo->Caption()); }

 private slots:
  void init() { app_ = std::make_unique<ui::qt::QtApplication>(); }
  void cleanup() {
    app_->SetMainForm(nullptr);
    form_.reset();
    Form1 = nullptr;
    app_.reset();
  }

  // Also run at QT_SCALE_FACTOR 1.5 and 2, where the screen is smaller than
  // the window in the layer's pixels: designed or restored off the screen,
  // the window opens inside the screen's available area, never below its
  // smallest size (then with its top left corner inside).
  void windowOpensInsideTheScreen_data() {
    QTest::addColumn<QString>("saved");
    QTest::newRow("designed") << QString();
    QTest::newRow("saved off the screen") << QString("[Settings]\nForm1.Left=5000\nForm1.Top=4000\n");
  }
  void windowOpensInsideTheScreen() {
    QFETCH(QString, saved);
    Installation inst;
    if (!saved.isEmpty()) inst.dir.MakeFile("config/quillan.ini", saved.toStdString());
    Start();
    QWidget* w = ui::qt::WidgetOf(*Form1);
    const QRect area = w->screen()->availableGeometry();
    const QRect outer(Form1->Left(), Form1->Top(), Form1->Width(), Form1->Height());
    QVERIFY2(area.contains(w->geometry()), qPrintable(QString("client %1,%2 %3x%4 in %5x%6")
                                                          .arg(w->x()).arg(w->y()).arg(w->width())
                                                          .arg(w->height()).arg(area.width()).arg(area.height())));
    QVERIFY(area.contains(outer.topLeft()));
    if (area.height() >= Form1->MinClientHeight() + app_->FrameHeight()) QVERIFY(area.contains(outer));
    QVERIFY(w->width() >= Form1->MinClientWidth() && w->height() >= Form1->MinClientHeight());
  }

  void windowShowsTheInstallationAsLaidOut() {
    Installation inst;
    Start();
    QWidget* w = ui::qt::WidgetOf(*Form1);
    QCOMPARE(w->windowTitle(), QString("Quillan"));
    QCOMPARE(w->size(), QSize(368, 411));
    QCOMPARE(w->pos(), QPoint(369, 332));
    auto geometry = [](const ui::TControl* c) { return ui::qt::WidgetOf(*c)->geometry(); };
    QCOMPARE(geometry(Form1->PanelTop), QRect(0, 0, 368, 113));
    QCOMPARE(geometry(Form1->ComboBoxPath), QRect(10, 9, 351, 24));
    QCOMPARE(geometry(Form1->BitBtnRC), QRect(231, 70, 122, 40));
    QCOMPARE(geometry(Form1->BitBtnC1), QRect(10, 70, 210, 40));
    QCOMPARE(geometry(Form1->PanelInfo), QRect(0, 113, 368, 28));
    QCOMPARE(geometry(Form1->CheckListBoxSnapins), QRect(12, 8, 345, 233));
    QCOMPARE(geometry(Form1->StatusBar1), QRect(0, 392, 368, 19));
    QCOMPARE(ui::qt::WidgetOf(*Form1->StatusBar1)->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(QFontMetrics(w->font()).height() <= 16);

    auto* combo = dynamic_cast<QComboBox*>(ui::qt::WidgetOf(*Form1->ComboBoxPath));
    QCOMPARE(combo->currentText(), ui::qt::ToQ(inst.base));
    QVERIFY(combo->toolTip().startsWith("Enter the ConsoleOne base path"));
    QCOMPARE(ui::qt::WidgetOf(*Form1->CheckBoxKeepOpen)->toolTip(),
             QString("Keep this application open after launching C1?"));

    QAbstractItemModel* m = List()->model();
    QCOMPARE(m->rowCount(), 3);
    QCOMPARE(m->index(0, 0).data().toString(), QString("Alpha"));
    QCOMPARE(m->index(1, 0).data().toString(), QString("beta"));
    QCOMPARE(m->index(2, 0).data().toString(), QString("Gamma"));
    QCOMPARE(m->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(m->index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(!(m->flags(m->index(1, 0)) & Qt::ItemIsEnabled));  // required: greyed
    QVERIFY(ui::qt::WidgetOf(*Form1->BitBtnC1)->isEnabled());
    QVERIFY(inst.Has("C1/inactive.lib"));

    // The focus order of the layout table.
    QWidget* first = combo;
    first->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), combo);
    for (const ui::TControl* c : std::vector<const ui::TControl*>{
             Form1->CheckBoxKeepOpen, Form1->BitBtnRC, Form1->BitBtnC1, Form1->CheckListBoxSnapins}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), ui::qt::WidgetOf(*c));
    }

    // Anchors: a bigger window widens the path box and the list, moves RConJ.
    w->resize(468, 511);
    QTRY_COMPARE(geometry(Form1->CheckListBoxSnapins), QRect(12, 8, 445, 333));
    QCOMPARE(geometry(Form1->ComboBoxPath), QRect(10, 9, 451, 24));
    QCOMPARE(geometry(Form1->BitBtnRC), QRect(331, 70, 122, 40));
    QCOMPARE(geometry(Form1->StatusBar1), QRect(0, 492, 468, 19));

    // No smaller than the window whose controls are all whole.
    w->resize(120, 90);
    QTRY_COMPARE(w->size(), QSize(368, Form1->MinClientHeight()));
    QCOMPARE(geometry(Form1->BitBtnC1), QRect(10, 70, 210, 40));
    QVERIFY(geometry(Form1->CheckListBoxSnapins).height() >= 4 * 16);
  }

  void clickingACheckMarkMovesTheFolders() {
    Installation inst;
    Start();
    ClickMark("Gamma");
    QVERIFY(Form1->CheckListBoxSnapins->Checked(Row("Gamma")));
    QVERIFY(inst.Has("C1/snapins/Gamma/g.txt"));
    QVERIFY(inst.Has("C1/resources/Gamma/r.txt"));
    QVERIFY(!inst.Has("C1/inactive.snapins/Gamma"));
    QCOMPARE(Info(), QString("   "));  // no description: nothing after the spaces

    ClickMark("Alpha");
    QVERIFY(inst.Has("C1/inactive.snapins/Alpha/a.txt"));
    QVERIFY(inst.Has("C1/inactive.lib/Alpha/l.txt"));
    QCOMPARE(Info(), QString("   The first one"));

    // Required: greyed, the click changes nothing.
    ClickMark("beta");
    QVERIFY(Form1->CheckListBoxSnapins->Checked(Row("beta")));
    QVERIFY(inst.Has("C1/snapins/beta/b.txt"));

    // Space switches as a click on the mark does.
    QWidget* view = List();
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                      List()->ItemRect(Row("Gamma")).center() + QPoint(40, 0));
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(!Form1->CheckListBoxSnapins->Checked(Row("Gamma")));
    QVERIFY(inst.Has("C1/inactive.snapins/Gamma/g.txt"));
    QVERIFY(inst.Has("C1/inactive.resources/Gamma/r.txt"));
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Down);
    QVERIFY(inst.Has("C1/inactive.snapins/Gamma"));
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(inst.Has("C1/snapins/Gamma/g.txt"));
  }

  void failedMoveIsSaidAndTheMarkShowsTheDisk() {
    Installation inst;
    Start();
    inst.os.SetInjectedErrorText("Read-only file system");
    inst.os.FailMoveFolderWhen([](const std::string&) { return true; });
    ClickMark("Gamma");
    QAbstractItemModel* m = List()->model();
    QCOMPARE(m->index(Row("Gamma"), 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(inst.Has("C1/inactive.snapins/Gamma/g.txt"));
    QCOMPARE(Info(), QString("   Could not move 2 folders, the first inactive.snapins/Gamma to "
                             "snapins/Gamma: Read-only file system"));
    QVERIFY(!QApplication::activeModalWidget());
  }

  void typingAPathChecksEveryKeystroke() {
    Installation inst;
    inst.dir.MakeFile("C2/bin/ConsoleOne.exe", "#!/bin/sh\n");
    inst.dir.MakeFile("C2/snapins/Delta/d.txt", "d");
    Start();
    auto* combo = dynamic_cast<QComboBox*>(ui::qt::WidgetOf(*Form1->ComboBoxPath));
    auto* label = dynamic_cast<QLabel*>(ui::qt::WidgetOf(*Form1->Label1));
    QLineEdit* edit = combo->lineEdit();
    edit->setFocus();
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);  // ".../C"
    QCOMPARE(label->text(), QString("Invalid path"));
    QCOMPARE(List()->model()->rowCount(), 0);
    QVERIFY(!ui::qt::WidgetOf(*Form1->BitBtnC1)->isEnabled());
    QTest::keyClicks(edit, "2");
    QCOMPARE(label->text(), QString());
    QCOMPARE(List()->model()->rowCount(), 1);
    QCOMPARE(List()->model()->index(0, 0).data().toString(), QString("Delta"));
    QCOMPARE(combo->currentText(), ui::qt::ToQ(inst.dir.Join("C2")));
    // The verified path went into the history; picking the old one checks it.
    QCOMPARE(combo->itemText(0), ui::qt::ToQ(inst.dir.Join("C2")));
    const int old = combo->findText(ui::qt::ToQ(inst.base));
    QVERIFY(old > 0);
    emit combo->activated(old);
    QCOMPARE(List()->model()->rowCount(), 3);
    // A folder without ConsoleOne: the label says where it looked.
    inst.dir.MakeFolder("Empty");
    edit->selectAll();
    QTest::keyClicks(edit, ui::qt::ToQ(inst.dir.Join("Empty")));
    QCOMPARE(label->text(), ui::qt::ToQ(inst.dir.Join("Empty/bin/ConsoleOne") + " not Found"));
    // Shortened where it is drawn, inside its panel; whole as its tool tip.
    QCOMPARE(label->toolTip(), label->text());
    QVERIFY(label->geometry().right() < ui::qt::WidgetOf(*Form1->PanelTop)->width());
  }

  void typingKeepsTheKeyboardInThePathBox() {
    Installation inst;
    // ConsoleOne for Linux below a name that an installation's name begins.
    inst.dir.MakeFile("C1 test/bin/ConsoleOne", "#!/bin/sh\n");
    inst.dir.MakeFile("C1 test/snapins/Delta/d.txt", "d");
    Start();
    auto* combo = dynamic_cast<QComboBox*>(ui::qt::WidgetOf(*Form1->ComboBoxPath));
    QCOMPARE(QApplication::focusWidget(), ui::qt::WidgetOf(*Form1->BitBtnC1));  // at start
    QLineEdit* edit = combo->lineEdit();
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(combo));  // the edit's proxy
    edit->selectAll();
    // Each key goes where the focus is, as the keyboard's would; ".../C1"
    // on the way is an installation.
    for (const char c : inst.dir.Join("C1 test")) QTest::keyClick(QApplication::focusWidget(), c);
    QCOMPARE(combo->currentText(), ui::qt::ToQ(inst.dir.Join("C1 test")));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(combo));
    QVERIFY(inst.os.ShellCalls().empty());
    QCOMPARE(List()->model()->rowCount(), 1);
    QCOMPARE(ui::qt::WidgetOf(*Form1->BitBtnC1)->toolTip(),
             ui::qt::ToQ("Launch ConsoleOne (" + inst.dir.Join("C1 test/bin/ConsoleOne") + ")"));
    // A pick from the history hands it to Start ConsoleOne.
    emit combo->activated(combo->findText(ui::qt::ToQ(inst.base)));
    QTRY_COMPARE(QApplication::focusWidget(), ui::qt::WidgetOf(*Form1->BitBtnC1));
  }

  void hoveringFillsTheInformationLine() {
    Installation inst;
    Start();
    QTest::mouseMove(List()->viewport(), List()->ItemRect(Row("Alpha")).center());
    QTRY_COMPARE(Info(), QString("   The first one"));
    QTest::mouseMove(List()->viewport(), List()->ItemRect(Row("Gamma")).center());
    QTRY_COMPARE(Info(), QString("   Gamma"));
    QTest::mouseMove(List()->viewport(), List()->ItemRect(Row("Alpha")).center() + QPoint(0, 150));
    QTRY_COMPARE(Info(), QString("   "));
    QTest::mouseMove(ui::qt::WidgetOf(*Form1->CheckBoxKeepOpen), QPoint(5, 5));
    QTRY_COMPARE(Info(), QString("   Keep this application open after launching C1?"));
    // The path box has no handler: the line stays.
    QTest::mouseMove(ui::qt::WidgetOf(*Form1->ComboBoxPath), QPoint(50, 10));
    QTest::qWait(20);
    QCOMPARE(Info(), QString("   Keep this application open after launching C1?"));
    QTest::mouseMove(ui::qt::WidgetOf(*Form1->BitBtnRC), QPoint(5, 5));
    QTRY_COMPARE(Info(), ui::qt::ToQ("   Launch RConJ.exe (" + inst.dir.Join("C1/bin/RConJ.exe") + ")"));
  }

  void popupMenuChecksAndUnchecksAll() {
    Installation inst;
    Start();
    auto run = [this](int action) {
      QTimer::singleShot(50, [action] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup);
        QCOMPARE(popup->actions().size(), 2);
        popup->actions()[action]->trigger();
        popup->close();
      });
      const QPoint at = List()->ItemRect(0).center();
      QContextMenuEvent ev(QContextMenuEvent::Mouse, at, List()->viewport()->mapToGlobal(at));
      QApplication::sendEvent(List()->viewport(), &ev);
    };
    run(1);  // &Uncheck All
    QVERIFY(inst.Has("C1/inactive.snapins/Alpha"));
    QVERIFY(inst.Has("C1/inactive.snapins/Gamma"));
    QVERIFY(inst.Has("C1/snapins/beta"));  // required stays
    run(0);  // &Check All
    QVERIFY(inst.Has("C1/snapins/Alpha/a.txt"));
    QVERIFY(inst.Has("C1/lib/Alpha/l.txt"));
    QVERIFY(inst.Has("C1/snapins/Gamma/g.txt"));

    // Shift+F10 opens the same menu from the keyboard.
    bool opened = false;
    QTimer::singleShot(50, [&opened] {
      auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      opened = popup != nullptr && popup->actions().size() == 2;
      if (popup) {
        popup->actions()[1]->trigger();
        popup->close();
      }
    });
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(opened);
    QVERIFY(inst.Has("C1/inactive.snapins/Gamma"));
  }

  void closingSavesThePerUserSettings() {
    Installation inst;
    Start();
    QTest::mouseClick(ui::qt::WidgetOf(*Form1->CheckBoxKeepOpen), Qt::LeftButton, {}, QPoint(5, 10));
    QVERIFY(Form1->CheckBoxKeepOpen->Checked());
    QVERIFY(!TempDir::Exists(inst.UserFile()));
    ui::qt::WidgetOf(*Form1)->close();
    QVERIFY(!ui::qt::WidgetOf(*Form1)->isVisible());
    QVERIFY(app_->Terminated());
    const std::string saved = TempDir::ReadFile(inst.UserFile());
    QVERIFY(saved.find("[Settings]") != std::string::npos);
    QVERIFY(saved.find("CheckBoxKeepOpen=1") != std::string::npos);
    QVERIFY(saved.find("[History ComboBoxPath]") != std::string::npos);
    QVERIFY(saved.find(inst.base) != std::string::npos);

    // The next start restores the check box.
    cleanup();
    init();
    Start();
    QVERIFY(Form1->CheckBoxKeepOpen->Checked());
  }

  void keyboardPressesTheFocusedButtonAndAltSOnlyMovesTheFocus() {
    Installation inst;
    Start();
    QVERIFY(QTest::qWaitForWindowActive(ui::qt::WidgetOf(*Form1)));
    QWidget* c1 = ui::qt::WidgetOf(*Form1->BitBtnC1);
    QWidget* rc = ui::qt::WidgetOf(*Form1->BitBtnRC);
    QCOMPARE(QApplication::focusWidget(), c1);
    // The focus shows from the start, not only after a first Tab: the style
    // draws the focused button differently once the window has the mark.
    QWidget* w = ui::qt::WidgetOf(*Form1);
    QStyleOptionButton opt;
    opt.initFrom(c1);
    QVERIFY(opt.state & QStyle::State_HasFocus);
    QVERIFY(opt.state & QStyle::State_KeyboardFocusChange);
    const QImage shown = c1->grab().toImage();
    w->setAttribute(Qt::WA_KeyboardFocusChange, false);
    QVERIFY(c1->grab().toImage() != shown);
    w->setAttribute(Qt::WA_KeyboardFocusChange);
    // Both start buttons carry "&Start": Alt+S goes back and forth, wrapping
    // from the list too, and presses neither.
    for (QWidget* next : {rc, c1, rc}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
      QTRY_COMPARE(QApplication::focusWidget(), next);
    }
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), rc);
    QVERIFY(inst.os.ShellCalls().empty());
    QVERIFY(ui::qt::WidgetOf(*Form1)->isVisible());

    // Enter and keypad Enter press the focused button; kept open for the next.
    Form1->CheckBoxKeepOpen->SetChecked(true);
    QTest::keyClick(rc, Qt::Key_Return);
    QTest::keyClick(rc, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(inst.os.ShellCalls().size(), size_t(2));
    for (const auto& call : inst.os.ShellCalls())
      QVERIFY2(call.file.find("RConJ") != std::string::npos, call.file.c_str());
    QVERIFY(!app_->Terminated());
  }

  // Screen readers see entries as check boxes (the events they hear are
  // checked through AT-SPI in the e2e tests: offscreen Qt sends none).
  void entriesAreCheckBoxesAndTheWindowAFrameToScreenReaders() {
    Installation inst;
    Start();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(List());
    QVERIFY(list);
    QCOMPARE(list->childCount(), 3);
    const QString toggle = QAccessibleActionInterface::toggleAction();
    struct Entry {
      const char* name;
      bool checked, locked;
      QString tip;
    };
    // Described by their own descriptions only (not the list's hint again).
    for (const Entry& e : {Entry{"Alpha", true, false, "The first one"}, Entry{"beta", true, true, ""},
                           Entry{"Gamma", false, false, ""}}) {
      QAccessibleInterface* item = list->child(Row(e.name));
      QVERIFY2(item, e.name);
      QCOMPARE(item->role(), QAccessible::CheckBox);
      QCOMPARE(item->text(QAccessible::Name), QString(e.name));
      QCOMPARE(item->text(QAccessible::Description), e.tip);
      const QAccessible::State st = item->state();
      QVERIFY2(st.checkable, e.name);
      QCOMPARE(bool(st.checked), e.checked);
      QCOMPARE(bool(st.disabled), e.locked);
      // Locked entries keep the toggle: the reader's action hears the refusal.
      QVERIFY(item->actionInterface()->actionNames().contains(toggle));
    }
    // The toggle is a click on the box: the folders move; a locked one stays
    // and says why.
    list->child(Row("Gamma"))->actionInterface()->doAction(toggle);
    QVERIFY(inst.Has("C1/snapins/Gamma/g.txt"));
    QVERIFY(inst.Has("C1/resources/Gamma/r.txt"));
    QVERIFY(list->child(Row("Gamma"))->state().checked);
    const int said = Form1->PanelInfo->Announcements();
    list->child(Row("beta"))->actionInterface()->doAction(toggle);
    QVERIFY(inst.Has("C1/snapins/beta/b.txt"));
    QCOMPARE(Form1->PanelInfo->Announcements(), said + 1);
    QVERIFY(Form1->PanelInfo->Announced().find("beta stays as it is") != std::string::npos);

    // The window is a frame; the information line is its one status bar.
    QCOMPARE(QAccessible::queryAccessibleInterface(ui::qt::WidgetOf(*Form1))->role(), QAccessible::Window);
    QCOMPARE(QAccessible::queryAccessibleInterface(ui::qt::WidgetOf(*Form1->PanelInfo))->role(),
             QAccessible::StatusBar);
    QCOMPARE(QAccessible::queryAccessibleInterface(ui::qt::WidgetOf(*Form1->StatusBar1))->role(),
             QAccessible::Link);

    // The path box and its edit line: named and described by the box's
    // hint, not by the path they show.
    auto* combo = dynamic_cast<QComboBox*>(ui::qt::WidgetOf(*Form1->ComboBoxPath));
    const QString pathHint = ui::qt::ToQ(Form1->ComboBoxPath->Hint());
    for (QObject* o : {static_cast<QObject*>(combo), static_cast<QObject*>(combo->lineEdit())}) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
      QVERIFY(a);
      QCOMPARE(a->text(QAccessible::Name), QString("Enter the ConsoleOne base path"));
      QCOMPARE(a->text(QAccessible::Description), pathHint);
    }
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(combo);
    QCOMPARE(box->role(), QAccessible::ComboBox);
    QCOMPARE(box->text(QAccessible::Value), ui::qt::ToQ(inst.base));
    QCOMPARE(box->childCount(), 2);
    QCOMPARE(box->child(1)->object(), static_cast<QObject*>(combo->lineEdit()));
    QCOMPARE(box->indexOfChild(box->child(1)), 1);
    QVERIFY(box->actionInterface());
    QVERIFY(box->actionInterface()->actionNames().contains(QAccessibleActionInterface::showMenuAction()));

    // A failed check describes the box (where the focus goes) by its result;
    // a good one by the hint again.
    QTest::keyClick(combo->lineEdit(), Qt::Key_End);
    QTest::keyClicks(combo->lineEdit(), "x");
    QCOMPARE(ui::qt::ToQ(Form1->Label1->Caption()), QString("Invalid path"));
    QCOMPARE(box->text(QAccessible::Description), QString("Invalid path"));
    QCOMPARE(QAccessible::queryAccessibleInterface(combo->lineEdit())->text(QAccessible::Description),
             QString("Invalid path"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
    QCOMPARE(box->text(QAccessible::Description), pathHint);
  }

  // Coming back to the window, it looks for ConsoleOne again: one started
  // meanwhile locks every entry, its end unlocks all but the required.
  void activatingTheWindowFollowsConsoleOne() {
    Installation inst;
    Start();
    QWidget* w = ui::qt::WidgetOf(*Form1);
    QAbstractItemModel* m = List()->model();
    for (const bool running : {true, false, true}) {
      inst.os.SetTopLevelWindows(running ? std::vector<quillan_test::FakeWindow>{{7, "Novell ConsoleOne 1.2"}}
                                         : std::vector<quillan_test::FakeWindow>{});
      QWidget other;
      other.show();
      other.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&other));
      w->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(w));
      for (const char* name : {"Alpha", "beta", "Gamma"})
        QCOMPARE(bool(m->flags(m->index(Row(name), 0)) & Qt::ItemIsEnabled), !running && name[0] != 'b');
      QVERIFY(Info().contains(running ? "ConsoleOne is running" : "ConsoleOne was closed"));
    }
  }

  void runningConsoleOneWarnsFirstAndLocksTheList() {
    Installation inst({{7, "Novell ConsoleOne 1.2 - [NDS]"}});
    bool windowVisible = true;
    QString text, title;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      windowVisible = Form1 && ui::qt::WidgetOf(*Form1)->isVisible();
      text = box->text();
      title = box->windowTitle();
      box->button(QMessageBox::Ok)->click();
    });
    form_ = std::make_unique<TForm1>();
    Form1 = form_.get();
    QCOMPARE(text, QString("\"Novell ConsoleOne\" seems to be running - disabling selectors"));
    QCOMPARE(title, QString("Warning"));
    QVERIFY(!windowVisible);
    app_->SetMainForm(Form1);
    Form1->Show();
    QVERIFY(QTest::qWaitForWindowExposed(ui::qt::WidgetOf(*Form1)));
    QAbstractItemModel* m = List()->model();
    QCOMPARE(m->rowCount(), 3);
    for (int i = 0; i < 3; ++i) QVERIFY(!(m->flags(m->index(i, 0)) & Qt::ItemIsEnabled));
    ClickMark("Gamma");
    ClickMark("Alpha");
    QVERIFY(inst.Has("C1/inactive.snapins/Gamma"));
    QVERIFY(inst.Has("C1/snapins/Alpha"));
    QVERIFY(inst.os.Moves().empty());
  }
};

QTEST_MAIN(QtWindowTest)
#include "QtWindow_test.moc"
