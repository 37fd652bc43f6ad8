// The main block shared by every toolkit's entry point.
#pragma once

namespace ui {
class TApplication;
}

// Single-instance guard, title "Quillan", the main window, the event loop.
// Returns the process's exit code.
int QuillanMain(ui::TApplication& app);
