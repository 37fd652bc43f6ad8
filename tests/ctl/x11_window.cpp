// A top-level X11 window with a given title, held open until stdin closes:
// stands in for a running ConsoleOne.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return 3;
  const int screen = DefaultScreen(d);
  const Window w = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, 200, 100, 0,
                                       BlackPixel(d, screen), WhitePixel(d, screen));
  XStoreName(d, w, argv[1]);
  XMapWindow(d, w);
  XSync(d, False);
  std::puts("ready");
  std::fflush(stdout);
  char buffer[64];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
  }
  XDestroyWindow(d, w);
  XCloseDisplay(d);
  return 0;
}
