// The single-instance guard's window search on a real X server: a second
// start must bring the running window forward and never map one of the
// toolkit's hidden helper windows (a client leader without WM_CLASS).
#include <gtest/gtest.h>

#ifdef QUILLAN_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace {

// A private Xvfb for the test; Display() is empty when none could start.
class PrivateXServer {
 public:
  PrivateXServer() {
    // Xvfb -displayfd picks its number racily when several start at once
    // (seen under ctest -j2: three servers all reporting :0, and a test
    // connecting to another's), so test processes take turns starting one,
    // each holding the lock until its server accepts a connection.
    const int lock = ::open("/tmp/quillan-tests-xvfb.lock", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    for (int attempt = 0; attempt < 5 && display_.empty(); ++attempt) {
      Start();
      if (!display_.empty() && !Answers()) {
        Stop();
        display_.clear();
      }
    }
    if (lock >= 0) ::close(lock);
  }
  ~PrivateXServer() { Stop(); }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;
  const std::string& DisplayName() const { return display_; }

 private:
  void Start() {
    Stop();
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    char buf[16] = {};
    const ssize_t n = pid_ > 0 ? ::read(fds[0], buf, sizeof buf - 1) : -1;
    ::close(fds[0]);
    std::string number;
    for (ssize_t i = 0; i < n && buf[i] >= '0' && buf[i] <= '9'; ++i) number += buf[i];
    if (!number.empty()) display_ = ":" + number;
  }
  // The server accepts a connection within five seconds.
  bool Answers() const {
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (Display* d = XOpenDisplay(display_.c_str())) {
        XCloseDisplay(d);
        return true;
      }
      ::usleep(100000);
    }
    return false;
  }
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

  pid_t pid_ = -1;
  std::string display_;
};

// The platform connects to $DISPLAY; point it at the private server meanwhile.
class ScopedDisplay {
 public:
  explicit ScopedDisplay(const std::string& name) {
    if (const char* old = std::getenv("DISPLAY")) saved_ = old;
    ::setenv("DISPLAY", name.c_str(), 1);
  }
  ~ScopedDisplay() {
    if (saved_) {
      ::setenv("DISPLAY", saved_->c_str(), 1);
    } else {
      ::unsetenv("DISPLAY");
    }
  }
  ScopedDisplay(const ScopedDisplay&) = delete;
  ScopedDisplay& operator=(const ScopedDisplay&) = delete;

 private:
  std::optional<std::string> saved_;
};

bool Mapped(Display* d, Window w) {
  XWindowAttributes a{};
  return XGetWindowAttributes(d, w, &a) != 0 && a.map_state != IsUnmapped;
}

// The server may take a moment to accept connections; nullptr when it never does.
Display* Connect(const PrivateXServer& server) {
  Display* d = nullptr;
  for (int attempt = 0; attempt < 20 && d == nullptr; ++attempt) {
    d = XOpenDisplay(server.DisplayName().c_str());
    if (d == nullptr) ::usleep(100000);
  }
  return d;
}

}  // namespace

TEST(SecondStart, FindsTheRunningWindowAndNeverMapsAHelperWindow) {
  PrivateXServer server;
  if (server.DisplayName().empty()) GTEST_SKIP() << "no Xvfb to start";
  ScopedDisplay display(server.DisplayName());

  Display* d = Connect(server);
  if (d == nullptr) GTEST_SKIP() << "cannot connect to Xvfb " << server.DisplayName();
  const Window root = DefaultRootWindow(d);
  platform::Platform& os = platform::NativePlatform();
  // The running instance has only just started: its toolkit made a hidden
  // 1x1 client leader with the application's name but no WM_CLASS (as Qt
  // does), and its main window does not exist yet.
  const Window leader = XCreateSimpleWindow(d, root, 0, 0, 1, 1, 0, 0, 0);
  XStoreName(d, leader, "quillan");
  XSync(d, False);
  EXPECT_EQ(os.FindWindowEx("TApplication", "Quillan", 0), 0U);

  // Later its main window exists, hidden by its user, and lies below the leader.
  const Window main = XCreateSimpleWindow(d, root, 10, 10, 300, 200, 0, 0, 0);
  XStoreName(d, main, "Quillan");
  XClassHint hint{const_cast<char*>("quillan"), const_cast<char*>("quillan")};
  XSetClassHint(d, main, &hint);
  XLowerWindow(d, main);
  XSync(d, False);
  const platform::WindowHandle found = os.FindWindowEx("TApplication", "Quillan", 0);
  EXPECT_EQ(found, static_cast<platform::WindowHandle>(main));
  if (found != 0) os.ShowWindowNormal(found);
  XSync(d, False);
  EXPECT_TRUE(Mapped(d, main));
  EXPECT_FALSE(Mapped(d, leader));
  // Both still count for the detection of a running console, which looks at
  // every top-level window.
  EXPECT_EQ(os.TopLevelWindows().size(), 2U);

  XCloseDisplay(d);
}

// How window managers nest a client: as a root child (none, or one that does
// not reparent), inside a frame (twm, Xwayland's), two or three levels down
// (openbox, KWin), or where only _NET_CLIENT_LIST names it.
TEST(ConsoleOneWindow, IsFoundInsideWindowManagerFrames) {
  PrivateXServer server;
  if (server.DisplayName().empty()) GTEST_SKIP() << "no Xvfb to start";
  ScopedDisplay display(server.DisplayName());
  Display* d = Connect(server);
  if (d == nullptr) GTEST_SKIP() << "cannot connect to Xvfb " << server.DisplayName();
  const Window root = DefaultRootWindow(d);
  const Atom wmState = XInternAtom(d, "WM_STATE", False);
  const Atom clientList = XInternAtom(d, "_NET_CLIENT_LIST", False);
  const auto mark = [&](Window w) {
    const long state[2] = {NormalState, None};
    XChangeProperty(d, w, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(state), 2);
  };
  const struct {
    const char* layout;
    int depth;        // frames between the root and the client
    bool marked;      // the client carries WM_STATE
    bool markedTop;   // the outermost window carries WM_STATE (stops the search)
    bool listed;      // in _NET_CLIENT_LIST
  } cases[] = {
      {"no window manager", 0, false, false, false},
      {"managed in place", 0, true, false, false},
      {"in a frame", 1, true, false, true},
      {"in a frame, no client list", 1, true, false, false},
      {"three levels down", 3, true, false, false},
      {"only in the client list", 1, false, true, true},
  };
  platform::Platform& os = platform::NativePlatform();
  for (const auto& c : cases) {
    Window parent = root;
    std::vector<Window> made;
    for (int level = 0; level < c.depth; ++level) {
      parent = XCreateSimpleWindow(d, parent, 0, 0, 400, 300, 0, 0, 0);
      made.push_back(parent);
    }
    const Window client = XCreateSimpleWindow(d, parent, 0, 0, 300, 200, 0, 0, 0);
    made.push_back(client);
    XStoreName(d, client, "Novell ConsoleOne 1.2");
    if (c.marked) mark(client);
    if (c.markedTop) mark(made.front());
    if (c.listed) {
      const long list[1] = {static_cast<long>(client)};
      XChangeProperty(d, root, clientList, XA_WINDOW, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(list), 1);
    }
    XMapSubwindows(d, made.front());
    XMapWindow(d, made.front());
    XSync(d, False);
    const std::vector<platform::TopLevelWindow> windows = os.TopLevelWindows();
    int hits = 0;
    for (const auto& w : windows) {
      if (w.title.find("Novell ConsoleOne") != std::string::npos) {
        ++hits;
        EXPECT_EQ(w.handle, static_cast<platform::WindowHandle>(client)) << c.layout;
      }
    }
    EXPECT_EQ(hits, 1) << c.layout;
    EXPECT_EQ(windows.size(), c.markedTop ? 2U : 1U) << c.layout;
    XDeleteProperty(d, root, clientList);
    XDestroyWindow(d, made.front());
    XSync(d, False);
  }
  XCloseDisplay(d);
}
#endif
