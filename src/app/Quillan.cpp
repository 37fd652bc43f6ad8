#include "app/Quillan.h"

#include <memory>

#include "app/Unit1.h"
#include "lib/D_SingleInstance.h"
#include "ui/Controls.h"

int QuillanMain(ui::TApplication& app) {
  // A second instance ends before any window of its own exists.
  if (D_SingleInstance::GuardSingleInstance(app)) return 0;
  app.SetTitle("Quillan");
  auto form = std::make_unique<TForm1>();
  Form1 = form.get();
  app.SetMainForm(Form1);
  app.Run();
  app.SetMainForm(nullptr);
  Form1 = nullptr;
  return 0;
}
