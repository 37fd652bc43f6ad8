// Hooks of the Win32 platform for the Win32 toolkit. Kept free of
// <windows.h>: handles travel as platform::WindowHandle.
#pragma once

#include "platform/Platform.h"

namespace platform::win32 {

// The toolkit's hidden application window, which a second instance finds by
// class and title; OwnApplicationWindow() answers with it.
void SetOwnApplicationWindow(WindowHandle window);

}  // namespace platform::win32
