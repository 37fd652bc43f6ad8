// The Win32 toolkit: USER32/COMCTL32 windows behind the toolkit layer.
// Free of <windows.h>; native handles travel as integers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/Controls.h"

namespace ui::win32 {

class Win32Application final : public ui::TApplication {
 public:
  Win32Application();
  ~Win32Application() override;
  Win32Application(const Win32Application&) = delete;
  Win32Application& operator=(const Win32Application&) = delete;

  void Run() override;
  void ProcessMessages() override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool ExecuteOpenDialog(ui::TOpenDialog& dialog) override;
  void Terminate() override;
  int FrameWidth() const override { return frameWidth_; }
  int FrameHeight() const override { return frameHeight_; }
  std::vector<ui::TRect> WorkAreas() const override;
  std::unique_ptr<ui::ControlPeer> CreatePeer(ui::TControl& control) override;
  void FormVisibilityChanged(ui::TCustomForm& form) override;

  // The hidden top-level window of class "TApplication" that carries the
  // title; a second instance finds it and brings this one forward.
  std::uintptr_t Handle() const { return handle_; }
  bool Terminated() const { return terminated_; }
  // An exception escaped an event handler: it must not unwind through the
  // system's frames, so it is shown and the loop goes on.
  void HandleException() noexcept override;

 protected:
  void TitleChanged() override;
  void CursorChanged() override;

 private:
  bool HandleMessage();  // false once the loop should end
  std::uintptr_t handle_ = 0;
  int frameWidth_ = 8;
  int frameHeight_ = 42;
  bool terminated_ = false;
  bool comInitialized_ = false;
};

}  // namespace ui::win32
