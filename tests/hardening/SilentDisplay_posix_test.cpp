// The real programs against an X display that accepts connections and never
// answers, as a dead ssh forward does: neither may hang.
#if defined(QUILLAN_PATH) && defined(QUILLANCTL_PATH)

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace {

using quillan_test::TempDir;

struct Outcome {
  int status = -1;  // -1: killed at the deadline
  std::string err;
  double seconds = 0;
};

constexpr int kNoPrivateNetwork = 125;

// A display number without a server socket file, so that if the connection
// to the silent socket failed, Xlib's second try would find no real server.
int UnusedDisplay() {
  int n = 90;
  while (TempDir::Exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
         TempDir::Exists("/tmp/.X" + std::to_string(n) + "-lock"))
    ++n;
  return n;
}

// Runs the program on display N in a network namespace of its own, where
// N's abstract socket (the one Xlib tries first) listens and never accepts;
// nobody outside sees that socket. Killed after 20 s.
Outcome RunOnSilentDisplay(std::vector<std::string> argv, const TempDir& tmp, int n) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string v = *e;
    if (v.rfind("DISPLAY=", 0) != 0 && v.rfind("QT_QPA_PLATFORM=", 0) != 0) env.push_back(v);
  }
  env.push_back("DISPLAY=:" + std::to_string(n));
  env.push_back("XDG_CONFIG_HOME=" + tmp.MakeFolder("config"));
  std::vector<char*> envp, args;
  for (std::string& v : env) envp.push_back(v.data());
  for (std::string& a : argv) args.push_back(a.data());
  envp.push_back(nullptr);
  args.push_back(nullptr);
  const std::string errFile = tmp.Join("stderr");
  const std::string socketName = std::string(1, '\0') + "/tmp/.X11-unix/X" + std::to_string(n);

  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketName.data(), socketName.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketName.size());
    const int s = ::unshare(CLONE_NEWNET) == 0 ? ::socket(AF_UNIX, SOCK_STREAM, 0) : -1;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(s, 8) != 0)
      ::_exit(kNoPrivateNetwork);
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  Outcome out;
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      status = -1;
      break;
    }
    ::usleep(20000);
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  out.err = TempDir::ReadFile(errFile);
  return out;
}

TEST(SilentDisplay, TheWindowSaysItCannotOpenTheDisplayAndTheCommandGoesOn) {
  TempDir tmp;
  const int n = UnusedDisplay();
  const std::string display = "\":" + std::to_string(n) + "\"";
  const Outcome window = RunOnSilentDisplay({QUILLAN_PATH}, tmp, n);
  if (window.status == kNoPrivateNetwork) GTEST_SKIP() << "no network namespace of its own here";
  EXPECT_EQ(window.status, 1) << window.err;
  EXPECT_NE(window.err.find("quillan: cannot open the display " + display), std::string::npos) << window.err;
  EXPECT_LT(window.seconds, 10.0);

  const std::string base = tmp.MakeFolder("C1");
  tmp.MakeFile("C1/bin/ConsoleOne.exe", "exe");
  for (const char* f : {"snapins/A", "lib", "resources"}) tmp.MakeFolder(std::string("C1/") + f);
  const Outcome ctl = RunOnSilentDisplay({QUILLANCTL_PATH, "list", base}, tmp, n);
  EXPECT_EQ(ctl.status, 0) << ctl.err;
  const std::string line = "quillanctl: the display " + display + " does not answer";
  const std::size_t at = ctl.err.find(line);
  EXPECT_NE(at, std::string::npos) << ctl.err;
  EXPECT_EQ(ctl.err.find(line, at + 1), std::string::npos) << "said more than once:\n" << ctl.err;
  EXPECT_LT(ctl.seconds, 10.0);
}

// Every way of having no display ends in one plain line and status 1, never
// in Qt's abort with a core dump.
TEST(NoDisplay, EveryWayEndsInOneLineAndStatusOne) {
  TempDir tmp;
  struct Case {
    const char* what;
    std::vector<std::string> set;  // besides a clean DISPLAY/WAYLAND_DISPLAY/QT_QPA_PLATFORM
    const char* says;
  } const cases[] = {
      {"nothing set", {}, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
      {"a Wayland socket that is not there", {"WAYLAND_DISPLAY=quillan-none", "XDG_RUNTIME_DIR=" + tmp.Path()},
       "\"quillan-none\""},
      {"X asked for, no DISPLAY", {"QT_QPA_PLATFORM=xcb"}, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
      {"an unknown platform", {"QT_QPA_PLATFORM=quillan-none"}, "(Qt platform \"quillan-none\")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string v = *e;
      if (v.rfind("DISPLAY=", 0) != 0 && v.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
          v.rfind("QT_QPA_PLATFORM=", 0) != 0 && v.rfind("XDG_RUNTIME_DIR=", 0) != 0)
        env.push_back(v);
    }
    env.insert(env.end(), c.set.begin(), c.set.end());
    env.push_back("XDG_CONFIG_HOME=" + tmp.Join("config"));
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    const std::string errFile = tmp.Join("stderr");
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      ::dup2(::open("/dev/null", O_WRONLY), 1);
      char* argv[] = {const_cast<char*>(QUILLAN_PATH), nullptr};
      ::execve(argv[0], argv, envp.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string err = TempDir::ReadFile(errFile);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << err;
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << err;
    const std::string line = "quillan: cannot open the display";
    const std::size_t at = err.find(line);
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_NE(err.find(c.says, at), std::string::npos) << err;
    EXPECT_EQ(err.find("plugin"), std::string::npos) << "Qt's own message came through:\n" << err;
  }
}

}  // namespace

#endif
