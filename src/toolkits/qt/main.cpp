// The program on Qt: the Qt application object, then the main block.
#include <QApplication>

#include "app/Quillan.h"
#include "toolkits/qt/QtApplication.h"

int main(int argc, char* argv[]) {
  // The single-instance activation and the search for a ConsoleOne window
  // walk X11's windows; under Wayland, run as an X client where one can.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication qt(argc, argv);
  qtk::QtApplication app;
  return QuillanMain(app);
}
