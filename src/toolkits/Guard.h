// Every call from a toolkit's event dispatch into the layer goes through
// Guard: an exception must not unwind through the toolkit's frames (Qt's
// event loop, the system's window procedures), so the application shows it
// and the loop goes on.
#pragma once

#include "ui/Application.h"

namespace ui {

template <class F>
void Guard(F&& action) noexcept {
  try {
    action();
  } catch (...) {
    if (TApplication* app = Application()) app->HandleException();
  }
}

}  // namespace ui
