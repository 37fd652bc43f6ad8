// Native peers of the layer's controls (internal to the Win32 toolkit).
#pragma once

#include <cstdint>
#include <memory>

#include "ui/Controls.h"

namespace ui::win32 {

class Win32Application;

// Registers the window classes of forms and containers once per process.
void RegisterWindowClasses();
std::unique_ptr<ui::ControlPeer> CreateWin32Peer(ui::TControl& control, Win32Application& app);
// Native handle of a realized control; 0 when it has none.
std::uintptr_t NativeHandle(const ui::TControl& control);
// Sets the mouse pointer for the application's busy state or a control's own.
void RefreshCursor();
// Hands a message to the form's dialog navigation (Tab, mnemonics); true when used.
bool PreTranslate(void* msg);

}  // namespace ui::win32
