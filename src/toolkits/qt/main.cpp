// The program on Qt: the Qt application object, then the main block.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include <unistd.h>

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

// Says, in one line, which display could not be opened, and ends the run.
[[noreturn]] void CannotOpenTheDisplay() {
  const QByteArray display = qgetenv("DISPLAY");
  const QByteArray name = !display.isEmpty() ? display : qgetenv("WAYLAND_DISPLAY");
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const QByteArray how =
      platform.isEmpty() || platform == "xcb" ? QByteArray() : " (Qt platform \"" + platform + "\")";
  if (name.isEmpty())
    std::fprintf(stderr, "quillan: cannot open the display: neither DISPLAY nor WAYLAND_DISPLAY is set%s\n",
                 how.constData());
  else
    std::fprintf(stderr, "quillan: cannot open the display \"%s\"%s\n", name.constData(), how.constData());
  std::fflush(stderr);
  _exit(1);
}

// Until the Qt application stands, Qt's platform messages are held back: a
// start without any display ends in one plain line and status 1 instead of
// Qt's plugin list and an abort with a core dump. Once it stands, the held
// messages go out as Qt would have written them.
class StartMessages {
 public:
  StartMessages() { previous_ = qInstallMessageHandler(&StartMessages::Handle); }
  ~StartMessages() { Release(); }
  StartMessages(const StartMessages&) = delete;
  StartMessages& operator=(const StartMessages&) = delete;
  void Release() {
    if (!previous_) return;
    qInstallMessageHandler(previous_);
    for (const Held& m : held_) previous_(m.type, QMessageLogContext(nullptr, 0, nullptr, m.category.constData()), m.text);
    held_.clear();
    previous_ = nullptr;
  }

 private:
  struct Held {
    QtMsgType type;
    QByteArray category;
    QString text;
  };
  static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) CannotOpenTheDisplay();  // before Qt has a platform, its only fatal
    held_.push_back({type, QByteArray(context.category ? context.category : "default"), text});
  }
  static inline QtMessageHandler previous_ = nullptr;
  static inline std::vector<Held> held_;
};

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
  if (qgetenv("QT_QPA_PLATFORM") == "xcb" && !platform::posix::X11DisplayAnswers()) CannotOpenTheDisplay();
#endif
  StartMessages startMessages;
  FontConfigWarmUp fonts;
  // Lets desktops match the window with its menu entry and icon.
  QApplication::setDesktopFileName(QStringLiteral("org.example.quillan"));
  QApplication qt(argc, argv);
  startMessages.Release();
  // Before any widget asks for a font.
  fonts.Join();
  ui::qt::QtApplication app;
  return QuillanMain(app);
}
