// A small X11 helper for the end-to-end test:
//   xwindow open TITLE   maps a top-level window with that title, prints its
//                        id once it is mapped, and stays until killed
//   xwindow close ID     asks a window to close, as a window manager would
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Open(Display* d, const char* title) {
  const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 20, 20, 300, 60, 1,
                                       BlackPixel(d, DefaultScreen(d)),
                                       WhitePixel(d, DefaultScreen(d)));
  XStoreName(d, w, title);
  const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  XChangeProperty(d, w, netName, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title),
                  static_cast<int>(std::strlen(title)));
  XSelectInput(d, w, StructureNotifyMask);
  XMapWindow(d, w);
  XEvent e;
  do {
    XNextEvent(d, &e);
  } while (e.type != MapNotify);
  std::printf("%lu\n", static_cast<unsigned long>(w));
  std::fflush(stdout);
  for (;;) XNextEvent(d, &e);
}

int Close(Display* d, const char* id) {
  const Window w = static_cast<Window>(std::strtoul(id, nullptr, 0));
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XSync(d, False);
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: xwindow open TITLE | xwindow close ID\n");
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    std::fprintf(stderr, "xwindow: no display\n");
    return 1;
  }
  const std::string cmd = argv[1];
  if (cmd == "open") return Open(d, argv[2]);
  if (cmd == "close") return Close(d, argv[2]);
  std::fprintf(stderr, "xwindow: unknown command %s\n", argv[1]);
  return 2;
}
