// The program on Qt: the Qt application object, then the main block.
#include <QApplication>
#include <cstdio>

#ifdef QUILLAN_HAVE_X11
#include <X11/Xlib.h>
#endif

#include "app/Quillan.h"
#include "toolkits/qt/QtApplication.h"

namespace {

#ifdef QUILLAN_HAVE_X11
// Qt aborts the process, core dump and all, when it cannot reach the X
// server; find that out first so the user gets a plain message instead.
bool XDisplayReachable() {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return false;
  XCloseDisplay(d);
  return true;
}
#endif

}  // namespace

int main(int argc, char* argv[]) {
  // The single-instance activation and the search for a ConsoleOne window
  // walk X11's windows; under Wayland, run as an X client where one can.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
#ifdef QUILLAN_HAVE_X11
  if (qgetenv("QT_QPA_PLATFORM") == "xcb" && !XDisplayReachable()) {
    std::fprintf(stderr, "quillan: cannot open the display \"%s\"\n",
                 qgetenv("DISPLAY").constData());
    return 1;
  }
#endif
  QApplication qt(argc, argv);
  qtk::QtApplication app;
  return QuillanMain(app);
}
