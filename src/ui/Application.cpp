#include "ui/Application.h"
#include "ui/Dialogs.h"

namespace ui {

namespace {
TApplication* g_application = nullptr;
}

TApplication* Application() { return g_application; }

TApplication::TApplication() { g_application = this; }

TApplication::~TApplication() {
  if (g_application == this) g_application = nullptr;
}

void TApplication::SetTitle(const std::string& t) {
  title_ = t;
  TitleChanged();
}

void TApplication::SetCursor(TCursor c) {
  cursor_ = c;
  CursorChanged();
}

bool TOpenDialog::Execute() {
  TApplication* app = Application();
  return app != nullptr && app->ExecuteOpenDialog(*this);
}

}  // namespace ui
