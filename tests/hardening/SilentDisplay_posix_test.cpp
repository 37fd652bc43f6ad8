// The real programs against an X display that accepts connections and never
// answers, as a dead ssh forward does: neither may hang.
#if defined(QUILLAN_PATH) && defined(QUILLANCTL_PATH)

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
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

using Clock = std::chrono::steady_clock;

struct Outcome {
  int status = -1;  // exit status; -1 killed at the deadline
  std::string err;
  double seconds = 0;
};

// The abstract socket Xlib tries first for display ":0". Made inside a
// network namespace of the child's own, nobody else can see it.
constexpr char kAbstractDisplay0[] = "\0/tmp/.X11-unix/X0";
constexpr int kNoPrivateNetwork = 125;

// Runs the program with DISPLAY=display, stderr collected, killed after 20 s.
// With `privateListener` the child first enters a network namespace of its
// own and listens there on display 0's abstract socket, never accepting.
Outcome RunWithDisplay(const std::vector<std::string>& argv, const std::string& display,
            const std::string& home, bool privateListener) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string v = *e;
    if (v.rfind("DISPLAY=", 0) != 0 && v.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
        v.rfind("XDG_CONFIG_HOME=", 0) != 0)
      env.push_back(v);
  }
  env.push_back("DISPLAY=" + display);
  env.push_back("XDG_CONFIG_HOME=" + home);
  std::vector<char*> envp, args;
  for (std::string& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> owned = argv;
  for (std::string& a : owned) args.push_back(a.data());
  args.push_back(nullptr);

  int err[2];
  if (::pipe(err) != 0) return {};
  const Clock::time_point start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(err[1], 2);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 1);
    ::close(err[0]);
    ::close(err[1]);
    if (privateListener) {
      if (::unshare(CLONE_NEWNET) != 0) ::_exit(kNoPrivateNetwork);
      const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::memcpy(address.sun_path, kAbstractDisplay0, sizeof kAbstractDisplay0 - 1);
      const auto length =
          static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + sizeof kAbstractDisplay0 - 1);
      if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
          ::listen(s, 8) != 0)
        ::_exit(kNoPrivateNetwork);
    }
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ::close(err[1]);
  Outcome out;
  const Clock::time_point deadline = start + std::chrono::seconds(20);
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{err[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
      ::kill(child, SIGKILL);
      break;
    }
    const ssize_t n = ::read(err[0], buffer, sizeof buffer);
    if (n <= 0) break;
    out.err.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(err[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

// A TCP port for display N on the loopback that nobody uses, listening and
// never accepting; the kernel completes the connections all the same.
class SilentTcpDisplay {
 public:
  SilentTcpDisplay() {
    for (int n = 40; n < 100 && display_.empty(); ++n) {
      fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<std::uint16_t>(6000 + n));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::listen(fd_, 8) == 0) {
        display_ = "127.0.0.1:" + std::to_string(n);
      } else {
        ::close(fd_);
        fd_ = -1;
      }
    }
  }
  ~SilentTcpDisplay() {
    if (fd_ >= 0) ::close(fd_);
  }
  SilentTcpDisplay(const SilentTcpDisplay&) = delete;
  SilentTcpDisplay& operator=(const SilentTcpDisplay&) = delete;
  const std::string& Name() const { return display_; }

 private:
  int fd_ = -1;
  std::string display_;
};

class SilentDisplay : public ::testing::TestWithParam<bool> {
 protected:
  SilentDisplay() {
    base = tmp.MakeFolder("C1");
    tmp.MakeFile("C1/bin/ConsoleOne.exe", "exe");
    for (const char* f : {"snapins/A", "lib", "resources"}) tmp.MakeFolder(std::string("C1/") + f);
  }
  // The display's name, or empty (the test skips) where it cannot be made.
  std::string Display() { return GetParam() ? ":0" : tcp.Name(); }
  Outcome RunProgram(const std::vector<std::string>& argv) {
    Outcome o = RunWithDisplay(argv, Display(), tmp.MakeFolder("config"), GetParam());
    if (o.status == kNoPrivateNetwork) skip = true;
    return o;
  }
  quillan_test::TempDir tmp;
  std::string base;
  SilentTcpDisplay tcp;
  bool skip = false;
};

TEST_P(SilentDisplay, TheWindowSaysItCannotOpenTheDisplayAndTheCommandGoesOn) {
  if (Display().empty()) GTEST_SKIP() << "no free loopback port for a display";
  const Outcome window = RunProgram({QUILLAN_PATH});
  if (skip) GTEST_SKIP() << "no network namespace of its own here";
  EXPECT_EQ(window.status, 1) << window.err;
  EXPECT_NE(window.err.find("quillan: cannot open the display \"" + Display() + "\""),
            std::string::npos)
      << window.err;
  EXPECT_LT(window.seconds, 10.0);

  const Outcome ctl = RunProgram({QUILLANCTL_PATH, "list", base});
  EXPECT_EQ(ctl.status, 0) << ctl.err;
  const std::string line = "quillanctl: the display \"" + Display() + "\" does not answer";
  const std::size_t at = ctl.err.find(line);
  EXPECT_NE(at, std::string::npos) << ctl.err;
  EXPECT_EQ(ctl.err.find(line, at + 1), std::string::npos) << "said once:\n" << ctl.err;
  EXPECT_LT(ctl.seconds, 10.0);
}

INSTANTIATE_TEST_SUITE_P(ByTcpAndUnixSocket, SilentDisplay, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return i.param ? std::string("AbstractUnixSocket") : std::string("Tcp");
                         });

}  // namespace

#endif
