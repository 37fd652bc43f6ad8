// The yardstick for start-up: a Qt Widgets program that shows one empty
// window of Quillan's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Minimal");
  window.resize(368, 411);
  window.show();
  return QApplication::exec();
}
