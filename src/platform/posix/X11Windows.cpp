// Top-level windows through Xlib, when a display can be opened.
#include "platform/posix/PosixPlatform.h"

#ifdef QUILLAN_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>
#endif

namespace platform::posix {

#ifdef QUILLAN_HAVE_X11

namespace {

// Xlib waits for the server's greeting without a limit, and a dead ssh
// forward accepts the connection and never answers. So the connection is
// made on a second thread, and whoever asked goes on without the display
// after this long; a display that did not answer is not tried again.
constexpr std::chrono::milliseconds kDisplayAnswerLimit{2000};
std::atomic<bool> g_displaySilent{false};
std::atomic<bool> g_silenceReported{false};

struct PendingOpen {
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  Display* display = nullptr;
};

enum class Opened { Display, NoDisplay, Silent };

Opened OpenDisplay(Display*& display) {
  display = nullptr;
  if (g_displaySilent) return Opened::Silent;
  auto pending = std::make_shared<PendingOpen>();
  try {
    std::thread([pending] {
      Display* d = XOpenDisplay(nullptr);
      const std::lock_guard<std::mutex> lock(pending->mutex);
      pending->display = d;  // a late answer stays open until the process ends
      pending->done = true;
      pending->answered.notify_one();
    }).detach();
  } catch (const std::system_error&) {
    display = XOpenDisplay(nullptr);  // no thread to spare: wait as Xlib does
    return display != nullptr ? Opened::Display : Opened::NoDisplay;
  }
  std::unique_lock<std::mutex> lock(pending->mutex);
  if (!pending->answered.wait_for(lock, kDisplayAnswerLimit, [&] { return pending->done; })) {
    g_displaySilent = true;
    return Opened::Silent;
  }
  display = pending->display;
  return display != nullptr ? Opened::Display : Opened::NoDisplay;
}

// Windows may vanish while they are walked; that is no reason to abort.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

class Connection {
 public:
  Connection() {
    if (OpenDisplay(display_) == Opened::Silent && !g_silenceReported.exchange(true)) {
      const char* name = std::getenv("DISPLAY");
      std::fprintf(stderr, "%s: the display \"%s\" does not answer; going on without it\n",
                   program_invocation_short_name, name != nullptr ? name : "");
    }
    if (display_ != nullptr) previous_ = XSetErrorHandler(IgnoreXErrors);
  }
  ~Connection() {
    if (display_ != nullptr) {
      XSync(display_, False);
      XSetErrorHandler(previous_);
      XCloseDisplay(display_);
    }
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  Display* get() const { return display_; }

 private:
  Display* display_ = nullptr;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

// The raw bytes of a property, empty when absent or of another type.
std::string Property(Display* d, Window w, Atom property, Atom type, int format,
                     unsigned long* count = nullptr) {
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string out;
  if (XGetWindowProperty(d, w, property, 0, 1L << 20, False, type, &actualType, &actualFormat,
                         &items, &after, &data) == Success &&
      data != nullptr) {
    if ((type == AnyPropertyType || actualType == type) && actualFormat == format) {
      // Xlib hands 32-bit items as longs.
      std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
      out.assign(reinterpret_cast<const char*>(data), items * unit);
      if (count != nullptr) *count = items;
    }
    XFree(data);
  }
  return out;
}

std::vector<Window> WindowList(Display* d, Atom atom) {
  unsigned long count = 0;
  std::string raw = Property(d, DefaultRootWindow(d), atom, XA_WINDOW, 32, &count);
  std::vector<Window> out(count);
  for (unsigned long i = 0; i < count; ++i) {
    long value = 0;
    raw.copy(reinterpret_cast<char*>(&value), sizeof value, i * sizeof(long));
    out[i] = static_cast<Window>(value);
  }
  return out;
}

std::string Title(Display* d, Window w) {
  Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  std::string title = Property(d, w, netName, utf8, 8);
  if (!title.empty()) return title;
  return Property(d, w, XA_WM_NAME, AnyPropertyType, 8);
}

long Pid(Display* d, Window w) {
  Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
  unsigned long count = 0;
  std::string raw = Property(d, w, pidAtom, XA_CARDINAL, 32, &count);
  long pid = 0;
  if (count >= 1) raw.copy(reinterpret_cast<char*>(&pid), sizeof pid, 0);
  return pid;
}

// A window a window manager would show: not a popup that bypasses it, and
// with a WM_CLASS, which a toolkit's hidden client-leader window lacks.
bool Managed(Display* d, Window w) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(d, w, &attributes) == 0 || attributes.override_redirect) return false;
  XClassHint hint{};
  if (XGetClassHint(d, w, &hint) == 0) return false;
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return true;
}

std::vector<Window> Children(Display* d, Window w) {
  std::vector<Window> out;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(d, w, &root, &parent, &children, &n) != 0 && children != nullptr) {
    out.assign(children, children + n);
    XFree(children);
  }
  return out;
}

bool HasWmState(Display* d, Window w, Atom wmState) {
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const bool has = XGetWindowProperty(d, w, wmState, 0, 0, False, AnyPropertyType, &type, &format,
                                      &items, &after, &data) == Success &&
                   type != None;
  if (data != nullptr) XFree(data);
  return has;
}

// The client window of a root child, as ICCCM tells: the window itself when
// a window manager marked it with WM_STATE, else the first such window below
// it (a frame's client, level by level); the child itself when none is
// marked (no window manager, or a window it does not manage).
Window ClientOf(Display* d, Window top, Atom wmState) {
  if (HasWmState(d, top, wmState)) return top;
  // Managers nest clients one to three levels deep; go no further.
  constexpr int kDepth = 4;
  std::vector<Window> level{top};
  for (int depth = 0; depth < kDepth && !level.empty(); ++depth) {
    std::vector<Window> next;
    for (Window w : level) {
      for (Window child : Children(d, w)) {
        if (HasWmState(d, child, wmState)) return child;
        next.push_back(child);
      }
    }
    level = std::move(next);
  }
  return top;
}

}  // namespace

std::vector<X11Window> X11TopLevelWindows() {
  std::vector<X11Window> out;
  Connection c;
  Display* d = c.get();
  if (d == nullptr) return out;
  const Atom wmState = XInternAtom(d, "WM_STATE", False);
  // The root's children, bottom to top; under a reparenting window manager
  // they are frames, and the client inside is the window that counts.
  std::vector<Window> windows;
  for (Window child : Children(d, DefaultRootWindow(d))) {
    windows.push_back(ClientOf(d, child, wmState));
  }
  // A manager may also keep clients where no frame search reaches them.
  std::unordered_set<Window> seen(windows.begin(), windows.end());
  std::vector<Window> more;
  for (const char* list : {"_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST"}) {
    for (Window w : WindowList(d, XInternAtom(d, list, False))) {
      if (seen.insert(w).second) more.push_back(w);
    }
  }
  windows.insert(windows.begin(), more.begin(), more.end());
  // The caller wants the top first.
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    out.push_back({static_cast<WindowHandle>(*it), Title(d, *it), Pid(d, *it), Managed(d, *it)});
  }
  return out;
}

bool X11DisplayAnswers() {
  Display* d = nullptr;
  if (OpenDisplay(d) != Opened::Display) return false;
  XCloseDisplay(d);
  return true;
}

void X11MapRaised(WindowHandle window) {
  Connection c;
  if (c.get() == nullptr || window == 0) return;
  XMapRaised(c.get(), static_cast<Window>(window));
  XFlush(c.get());
}

void X11Activate(WindowHandle window) {
  Connection c;
  Display* d = c.get();
  if (d == nullptr || window == 0) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = static_cast<Window>(window);
  e.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = 1;  // a request from an application
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &e);
  XFlush(d);
}

#else

bool X11DisplayAnswers() { return false; }
std::vector<X11Window> X11TopLevelWindows() { return {}; }
void X11MapRaised(WindowHandle) {}
void X11Activate(WindowHandle) {}

#endif

}  // namespace platform::posix
