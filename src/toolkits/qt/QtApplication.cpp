#include "toolkits/qt/QtApplication.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QWidget>
#include <algorithm>

#include "toolkits/qt/QtPeer.h"

namespace ui::qt {

std::unique_ptr<ui::ControlPeer> MakePeer(ui::TControl& c);

QString ToQ(const std::string& s) {
  return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

std::string FromQ(const QString& s) {
  const QByteArray b = s.toLocal8Bit();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

QString TranslateFilter(const std::string& filter) {
  const QStringList parts = ToQ(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    out << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
  }
  return out.join(QStringLiteral(";;"));
}

QFont WindowFont(const std::string& family, int pixelHeight) {
  QFont f;
  f.setFamilies({ToQ(family), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans"),
                 QStringLiteral("Sans Serif")});
  f.setStyleHint(QFont::SansSerif);
  // The height is the line's (cell) height, as with the native font; shrink
  // the glyphs until a line fits, so 16-pixel list rows aren't clipped.
  int px = std::max(1, pixelHeight);
  f.setPixelSize(px);
  while (px > 6 && QFontMetrics(f).height() > pixelHeight) f.setPixelSize(--px);
  return f;
}

QtApplication::QtApplication() {
  // The layer ends the loop when the main form closes.
  QApplication::setQuitOnLastWindowClosed(false);
}

QtApplication::~QtApplication() {
  if (cursorOverridden_) QApplication::restoreOverrideCursor();
}

void QtApplication::Run() {
  if (ui::TCustomForm* form = MainForm()) form->Show();
  if (terminated_) return;
  running_ = true;
  QApplication::exec();
  running_ = false;
}

void QtApplication::ProcessMessages() {
  // Asking the window system costs a poll and the event loop's locks, most
  // of a large listing's time when asked after every entry. Input waits at
  // most this interval, far below what a user notices.
  constexpr qint64 kIntervalNs = 4'000'000;
  if (sinceProcessed_.isValid() && sinceProcessed_.nsecsElapsed() < kIntervalNs) return;
  QCoreApplication::processEvents();
  sinceProcessed_.start();
}

namespace {
QWidget* DialogParent() {
  ui::TCustomForm* form = ui::Application() ? ui::Application()->MainForm() : nullptr;
  QWidget* w = form ? WidgetOf(*form) : nullptr;
  return w && w->isVisible() ? w : nullptr;
}
}  // namespace

void QtApplication::HandleException() noexcept {
  QString text = QStringLiteral("Unexpected failure");
  try {
    throw;
  } catch (const std::exception& e) {
    text = ToQ(e.what());
  } catch (...) {
  }
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"), text);
}

int QtApplication::MessageBox(const std::string& text, const std::string& caption,
                              unsigned flags) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (flags & 0xF0u) {
    case 0x10: icon = QMessageBox::Critical; break;
    case 0x20: icon = QMessageBox::Question; break;
    case 0x30: icon = QMessageBox::Warning; break;
    case 0x40: icon = QMessageBox::Information; break;
    default: break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (flags & 0x0Fu) {
    case 1: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case 3: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case 4: buttons = QMessageBox::Yes | QMessageBox::No; break;
    default: break;
  }
  QMessageBox box(icon, ToQ(caption), ToQ(text), buttons, DialogParent());
  box.setObjectName(QStringLiteral("QuillanMessageBox"));
  switch (box.exec()) {
    case QMessageBox::Cancel: return 2;
    case QMessageBox::Yes: return 6;
    case QMessageBox::No: return 7;
    default: return ui::IDOK;
  }
}

bool QtApplication::ExecuteOpenDialog(ui::TOpenDialog& dialog) {
  QFileDialog dlg(DialogParent(), QString(), ToQ(dialog.InitialDir));
  dlg.setObjectName(QStringLiteral("QuillanOpenDialog"));
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  // No options: a typed name need not exist.
  dlg.setFileMode(QFileDialog::AnyFile);
  if (!dialog.Filter.empty()) dlg.setNameFilter(TranslateFilter(dialog.Filter));
  if (!dialog.DefaultExt.empty()) dlg.setDefaultSuffix(ToQ(dialog.DefaultExt));
  if (!dialog.FileName.empty()) dlg.selectFile(ToQ(dialog.FileName));
  if (dlg.exec() != QDialog::Accepted) return false;
  const QStringList files = dlg.selectedFiles();
  if (files.isEmpty()) return false;
  dialog.FileName = FromQ(QDir::toNativeSeparators(files.first()));
  return true;
}

void QtApplication::Terminate() {
  terminated_ = true;
  // Outside the loop, exit() would make every later modal loop return at once.
  if (running_) QCoreApplication::exit(0);
}

std::unique_ptr<ui::ControlPeer> QtApplication::CreatePeer(ui::TControl& control) {
  return MakePeer(control);
}

void QtApplication::FormVisibilityChanged(ui::TCustomForm& form) {
  QWidget* w = WidgetOf(form);
  if (!w) return;
  if (!form.Showing()) {
    w->hide();
    return;
  }
  UpdateTabOrder(form);
  w->show();
  w->raise();
  w->activateWindow();
  if (ui::TWinControl* active = form.ActiveControl()) {
    if (QWidget* a = WidgetOf(*active)) a->setFocus(Qt::ActiveWindowFocusReason);
  }
}

void QtApplication::BringToFront(const std::string& activationToken) {
  // The window in front is the modal box when one is open.
  QWidget* w = QApplication::activeModalWidget();
  if (w == nullptr) {
    ui::TCustomForm* form = MainForm();
    w = form != nullptr && form->Showing() ? WidgetOf(*form) : nullptr;
  }
  if (w == nullptr) return;
  w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
  w->show();
  w->raise();
  // Qt's Wayland plugin activates the window with the token it finds here
  // and uses it up; it must not reach the programs started later either.
  if (!activationToken.empty()) qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(activationToken));
  w->activateWindow();
  qunsetenv("XDG_ACTIVATION_TOKEN");
  // Where the desktop refuses the focus; activation clears it again.
  QApplication::alert(w);
}

void QtApplication::WatchInput(int descriptor, std::function<void()> onInput) {
  auto notifier = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                   [onInput = std::move(onInput)] { onInput(); });
  watches_.push_back(std::move(notifier));
}

void QtApplication::UpdateTabOrder(ui::TCustomForm& form) {
  std::vector<QWidget*> chain;
  for (ui::TWinControl* c : form.TabChain()) {
    QWidget* w = WidgetOf(*c);
    if (w && (w->focusPolicy() & Qt::TabFocus)) chain.push_back(w);
  }
  for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void QtApplication::CursorChanged() {
  if (Cursor() == ui::TCursor::crDefault) {
    if (cursorOverridden_) QApplication::restoreOverrideCursor();
    cursorOverridden_ = false;
    return;
  }
  const Qt::CursorShape shape = Cursor() == ui::TCursor::crHourGlass ? Qt::WaitCursor
                                : Cursor() == ui::TCursor::crHandPoint ? Qt::PointingHandCursor
                                                                       : Qt::ArrowCursor;
  if (cursorOverridden_)
    QApplication::changeOverrideCursor(shape);
  else
    QApplication::setOverrideCursor(shape);
  cursorOverridden_ = true;
}

std::vector<ui::TRect> QtApplication::WorkAreas() const { return ScreenWorkAreas(); }

}  // namespace ui::qt
