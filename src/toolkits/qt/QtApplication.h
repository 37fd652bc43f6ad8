// The Qt toolkit: the application object and the peers that mirror the
// layer's controls into Qt widgets.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QSocketNotifier>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ui/Controls.h"

class QWidget;

namespace ui::qt {

// Byte strings of the layer <-> Qt strings (the locale's 8-bit encoding).
QString ToQ(const std::string& s);
std::string FromQ(const QString& s);

// "Name|pattern|Name|pattern" -> "Name (pattern);;Name (pattern)".
QString TranslateFilter(const std::string& filter);

// The window font: the named family with fallbacks for systems without it,
// sized so that a line is `pixelHeight` high, as the font height is meant.
QFont WindowFont(const std::string& family, int pixelHeight);

// The ui::TApplication on Qt Widgets. A QApplication must exist first.
class QtApplication : public ui::TApplication {
 public:
  QtApplication();
  ~QtApplication() override;

  void Run() override;
  void ProcessMessages() override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool ExecuteOpenDialog(ui::TOpenDialog& dialog) override;
  void Terminate() override;
  std::unique_ptr<ui::ControlPeer> CreatePeer(ui::TControl& control) override;
  void FormVisibilityChanged(ui::TCustomForm& form) override;
  void BringToFront(const std::string& activationToken) override;
  void WatchInput(int descriptor, std::function<void()> onInput) override;
  std::vector<ui::TRect> WorkAreas() const override;
  // An error box over the active window.
  void HandleException() noexcept override;

  bool Terminated() const { return terminated_; }
  // Rebuilds the keyboard focus chain of a form from the tab orders.
  static void UpdateTabOrder(ui::TCustomForm& form);

 protected:
  void CursorChanged() override;

 private:
  bool terminated_ = false;
  bool running_ = false;
  bool cursorOverridden_ = false;
  QElapsedTimer sinceProcessed_;  // since ProcessMessages last asked
  std::vector<std::unique_ptr<QSocketNotifier>> watches_;
};

// The widget that shows a control (nullptr when it has no Qt peer).
QWidget* WidgetOf(const ui::TControl& control);
// Where the control's client coordinates start (a list's viewport, say).
QWidget* ClientWidgetOf(const ui::TControl& control);

}  // namespace ui::qt
