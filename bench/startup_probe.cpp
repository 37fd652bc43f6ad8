// Starts a program on the X display and reports when its window, found by
// title, is mapped and when it is painted (sampled pixels no longer the black
// of a root window started with -br), then its resident memory once shown.
//
//   quillan_startup_probe TITLE program [args...]
//   -> map_ms=... paint_ms=... rss_kib=...
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

double MsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

std::string Title(Display* d, Window w) {
  char* name = nullptr;
  std::string title;
  if (XFetchName(d, w, &name) != 0 && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

// Most of a 3x3 grid of the window's pixels differ from black.
bool Painted(Display* d, Window w) {
  XWindowAttributes a{};
  if (XGetWindowAttributes(d, w, &a) == 0 || a.map_state != IsViewable) return false;
  int lit = 0;
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      XImage* img = XGetImage(d, w, a.width * i / 4, a.height * j / 4, 1, 1, AllPlanes, ZPixmap);
      if (img == nullptr) return false;
      if (XGetPixel(img, 0, 0) != 0) ++lit;
      XDestroyImage(img);
    }
  }
  return lit >= 5;
}

long ResidentKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

int ErrorHandler(Display*, XErrorEvent*) { return 0; }  // windows may vanish while sampled

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TITLE program [args...]\n", argv[0]);
    return 2;
  }
  const std::string wanted = argv[1];
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    std::fprintf(stderr, "no X display\n");
    return 2;
  }
  XSetErrorHandler(ErrorHandler);
  const Window root = DefaultRootWindow(d);
  XSelectInput(d, root, SubstructureNotifyMask);
  XSync(d, False);

  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  Window target = 0;
  double mapMs = -1, paintMs = -1;
  while (MsSince(t0) < 20000) {
    while (target == 0 && XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == MapNotify && Title(d, e.xmap.window) == wanted) {
        target = e.xmap.window;
        mapMs = MsSince(t0);
      }
    }
    if (target != 0 && Painted(d, target)) {
      paintMs = MsSince(t0);
      break;
    }
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      std::fprintf(stderr, "the program ended before its window was painted\n");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  // Settled: what the shown window keeps resident.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const long rss = ResidentKib(pid);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  XCloseDisplay(d);
  if (paintMs < 0) {
    std::fprintf(stderr, "no painted window titled '%s'\n", wanted.c_str());
    return 1;
  }
  std::printf("map_ms=%.1f paint_ms=%.1f rss_kib=%ld\n", mapMs, paintMs, rss);
  return 0;
}
