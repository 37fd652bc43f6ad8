// The program on Qt: the Qt application object, then the main block.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#ifdef QUILLAN_HAVE_X11
#include "platform/posix/PosixPlatform.h"
#endif
#ifdef QUILLAN_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include "app/Quillan.h"
#include "toolkits/qt/QtApplication.h"

namespace {

// Loading the font configuration is a good part of the time to the first
// window, and Qt does it on its first text, after its own set-up. Done on a
// second thread while Qt connects, it is ready when the window needs it;
// Qt then uses the loaded configuration.
class FontConfigWarmUp {
 public:
  FontConfigWarmUp() {
#ifdef QUILLAN_HAVE_FONTCONFIG
    try {
      thread_ = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
      // No thread: Qt loads it itself, later.
    }
#endif
  }
  ~FontConfigWarmUp() { Join(); }
  FontConfigWarmUp(const FontConfigWarmUp&) = delete;
  FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

// --help and --version are answered before Qt starts, so they need no
// display; any other argument goes to Qt as before.
bool AnsweredOption(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quillan %s\n", QUILLAN_VERSION);
      return true;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs("Usage: quillan [--help | --version]\n"
                 "Opens the window that switches the snap-ins of a ConsoleOne installation\n"
                 "on or off and starts ConsoleOne or RConJ; see quillan(1).\n"
                 "  --help       this text\n"
                 "  --version    the version\n",
                 stdout);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (AnsweredOption(argc, argv)) return 0;
  // The single-instance activation and the search for a ConsoleOne window
  // walk X11's windows; under Wayland, run as an X client where one can.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
#ifdef QUILLAN_HAVE_X11
  // Qt aborts the process, core dump and all, when it cannot reach the X
  // server, and waits for ever on one that never answers; find that out
  // first so the user gets a plain message instead.
  if (qgetenv("QT_QPA_PLATFORM") == "xcb" && !platform::posix::X11DisplayAnswers()) {
    std::fprintf(stderr, "quillan: cannot open the display \"%s\"\n",
                 qgetenv("DISPLAY").constData());
    return 1;
  }
#endif
  FontConfigWarmUp fonts;
  // Lets desktops match the window with its menu entry and icon.
  QApplication::setDesktopFileName(QStringLiteral("org.example.quillan"));
  QApplication qt(argc, argv);
  // Before any widget asks for a font.
  fonts.Join();
  ui::qt::QtApplication app;
  return QuillanMain(app);
}
