// The program on Qt: the Qt application object, then the main block.
#include <QApplication>

#include "app/Quillan.h"
#include "toolkits/qt/QtApplication.h"

int main(int argc, char* argv[]) {
  QApplication qt(argc, argv);
  qtk::QtApplication app;
  return QuillanMain(app);
}
