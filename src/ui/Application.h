// The application object and the toolkit behind it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class TApplication : public TObject {
 public:
  TApplication();
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& t);
  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* form) { mainForm_ = form; }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c);

  // Shows the main form and dispatches events until it closes.
  virtual void Run() = 0;
  // Lets the toolkit handle pending user input now.
  virtual void ProcessMessages() = 0;
  // Modal message box; flags as MessageBox's MB_* values; returns the button id.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  virtual bool ExecuteOpenDialog(TOpenDialog& dialog) = 0;
  // Ends the event loop (the main form closed).
  virtual void Terminate() = 0;
  // Size that the frame and caption add around a form's client area.
  virtual int FrameWidth() const { return 8; }
  virtual int FrameHeight() const { return 42; }
  // The screens' work areas (without task bars and docks), in the layer's
  // pixels; none when the toolkit cannot tell.
  virtual std::vector<TRect> WorkAreas() const { return {}; }
  // A peer for a control, or nullptr (the control then lives as data only).
  virtual std::unique_ptr<ControlPeer> CreatePeer(TControl& control) = 0;
  // Form shown or hidden (after OnShow has run).
  virtual void FormVisibilityChanged(TCustomForm& /*form*/) {}
  // Another start of the program asked this one to come forward, with its
  // launcher's activation token (empty when none): the visible window comes
  // forward where the desktop allows, and asks for attention otherwise.
  virtual void BringToFront(const std::string& /*activationToken*/) {}
  // Calls `onInput` from the event loop whenever the descriptor has input.
  virtual void WatchInput(int /*descriptor*/, std::function<void()> /*onInput*/) {}
  // Called inside a handler of an exception that a user action raised and
  // that must not unwind through the toolkit (see toolkits/Guard.h): shows
  // it. Without a window there is nobody to show it to.
  virtual void HandleException() noexcept {}

 protected:
  virtual void TitleChanged() {}
  virtual void CursorChanged() {}

 private:
  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  TCursor cursor_ = TCursor::crDefault;
};

// The application object of the process (nullptr before one exists).
TApplication* Application();

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr int IDOK = 1;

}  // namespace ui
