// Real FUSE mounts: bindfs, whose renames cannot refuse to replace, with a
// racer creating at the target while folders move; and exFAT, which
// resolves names ignoring case. Each skips without /dev/fuse or its package.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FuseMount.h"
#include "RunProcess.h"
#include "ctl/Report.h"
#include "platform/posix/PosixPlatform.h"
#include "support/TempDir.h"

using quillan_test::TempDir;
namespace fs = std::filesystem;

namespace {

bool RefusesNoReplaceRename(const std::string& folder) {
  const std::string a = folder + "/.probe-a", b = folder + "/.probe-b";
  ::mkdir(a.c_str(), 0700);
  const long rc = ::syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), 1 /* NOREPLACE */);
  const int error = errno;
  ::rmdir(a.c_str());
  ::rmdir(b.c_str());
  return rc != 0 && (error == EINVAL || error == ENOSYS);
}

// What the racer made at the target, read back from its pipe: the inode of
// the folder or file it created there, and the files it put inside.
struct RacerWork {
  ino_t made = 0;
  std::set<int> files;
};

enum class Racer { EmptyFolder, FillFolder, File };

volatile sig_atomic_t stopRacing = 0;

// A process that, after a random pause, keeps creating at `target` until
// told to stop (SIGUSR1, after which it finishes the step it is in), and
// reports each success on `fd`.
pid_t StartRacer(const std::string& target, Racer kind, unsigned seed, int fd) {
  // Held back until the racer can take it, so an early stop is not fatal.
  sigset_t usr1, previous;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  ::sigprocmask(SIG_BLOCK, &usr1, &previous);
  const pid_t pid = ::fork();
  if (pid != 0) {
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    return pid;
  }
  struct sigaction stop {};
  stop.sa_handler = [](int) { stopRacing = 1; };
  stop.sa_flags = SA_RESTART;
  ::sigaction(SIGUSR1, &stop, nullptr);
  ::sigprocmask(SIG_UNBLOCK, &usr1, nullptr);
  std::minstd_rand rng(seed);
  ::usleep(static_cast<useconds_t>(rng() % 200));
  bool made = false;
  for (int k = 0; stopRacing == 0; ++k) {
    struct stat st {};
    if (!made && kind == Racer::File) {
      const int f = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      if (f >= 0 && ::write(f, "racer", 5) == 5 && ::fstat(f, &st) == 0) made = true;
      if (f >= 0) ::close(f);
    } else if (!made && ::mkdir(target.c_str(), 0755) == 0 && ::lstat(target.c_str(), &st) == 0) {
      made = true;
    }
    if (made && st.st_ino != 0) {
      const long long record[2] = {0, static_cast<long long>(st.st_ino)};
      if (::write(fd, record, sizeof record) != sizeof record) ::_exit(1);
    }
    if (kind == Racer::FillFolder) {
      const std::string file = target + "/r" + std::to_string(k);
      const int f = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      if (f >= 0) {
        ::close(f);
        const long long record[2] = {1, k};
        if (::write(fd, record, sizeof record) != sizeof record) ::_exit(1);
      }
    }
  }
  ::_exit(0);
}

RacerWork StopRacer(pid_t pid, int fd) {
  ::kill(pid, SIGUSR1);
  RacerWork work;
  long long record[2];
  while (::read(fd, record, sizeof record) == sizeof record) {
    if (record[0] == 0) work.made = static_cast<ino_t>(record[1]);
    else work.files.insert(static_cast<int>(record[1]));
  }
  ::close(fd);
  ::waitpid(pid, nullptr, 0);
  return work;
}

}  // namespace

// The measurement turned into a test: an empty folder, a filled
// folder or a file created at the target while the move runs is never
// replaced; the moved entry is found exactly once.
TEST(FuseMounts, MovesOnBindfsNeverReplaceWhatARacerCreatesAtTheTarget) {
  TempDir dir;
  const std::string under = dir.MakeFolder("under"), mnt = dir.MakeFolder("mnt");
  quillan_test::FuseMount bind({"bindfs", under, mnt}, mnt);
  if (!bind.Mounted()) GTEST_SKIP() << bind.Why();
  if (!RefusesNoReplaceRename(mnt)) GTEST_SKIP() << "bindfs here refuses a replacing rename by itself";

  platform::posix::PosixPlatform p;
  struct Tally {
    int moved = 0, racerFirst = 0;
  };
  std::map<Racer, Tally> tally;
  const int kRuns = 100;
  for (int run = 0; run < kRuns * 3; ++run) {
    const Racer kind = static_cast<Racer>(run % 3);
    SCOPED_TRACE("run " + std::to_string(run));
    const std::string source = mnt + "/s" + std::to_string(run);
    const std::string target = mnt + "/t" + std::to_string(run);
    if (kind == Racer::File) {
      fs::create_directory_symlink("elsewhere", source);
    } else {
      fs::create_directory(source);
      TempDir::WriteFile(source + "/a.jar", "A");
    }
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t racer = StartRacer(target, kind, static_cast<unsigned>(run), fds[1]);
    ASSERT_GT(racer, 0);
    ::close(fds[1]);
    const bool moved = p.MoveFolder(source, target).ok;
    ::usleep(300);
    const RacerWork work = StopRacer(racer, fds[0]);

    struct stat st {};
    ASSERT_EQ(::lstat(target.c_str(), &st), 0);
    if (work.made != 0) {
      // The racer's own folder or file is still the one at the target.
      EXPECT_FALSE(moved);
      EXPECT_EQ(st.st_ino, work.made);
      if (kind == Racer::File) {
        EXPECT_EQ(TempDir::ReadFile(target), "racer");
      }
      ++tally[kind].racerFirst;
    }
    for (const int k : work.files) EXPECT_TRUE(TempDir::Exists(target + "/r" + std::to_string(k))) << k;
    if (moved) {
      ++tally[kind].moved;
      EXPECT_FALSE(fs::exists(fs::symlink_status(source)));
    }
    // The snap-in is where the answer says, once.
    const std::string at = moved ? target : source;
    if (kind == Racer::File) {
      EXPECT_TRUE(fs::is_symlink(at));
    } else {
      EXPECT_EQ(TempDir::ReadFile(at + "/a.jar"), "A");
      if (!moved) {
        EXPECT_FALSE(TempDir::Exists(target + "/a.jar"));
      }
    }
  }
  for (const auto& [kind, t] : tally) {
    std::cout << "racer kind " << static_cast<int>(kind) << ": moved " << t.moved << " of " << kRuns
              << ", racer first " << t.racerFirst << "\n";
  }
}

// exFAT finds "lib/Bar" for "lib/bar" and "inactive.snapins/Foo" for
// "inactive.snapins/FOO": list, --check and the run must tell one story.
TEST(FuseMounts, OnExfatListCheckAndRunAgreeWithTheFileSystemsNames) {
  TempDir dir;
  const std::string mnt = dir.MakeFolder("mnt");
  quillan_test::ExfatMount exfat(dir.Join("exfat.img"), mnt);
  if (!exfat.Mounted()) GTEST_SKIP() << exfat.Why();
  const std::string base = mnt + "/c1";
  for (const char* folder : {"bin", "snapins/Foo", "inactive.snapins/FOO", "snapins/Bar", "lib/bar",
                             "resources/BAR", "snapins/Baz", "inactive.lib/baz"}) {
    fs::create_directories(base + "/" + folder);
  }
  TempDir::WriteFile(base + "/bin/ConsoleOne", "");
  ::setenv("XDG_CONFIG_HOME", dir.MakeFolder("config").c_str(), 1);
  const auto run = [&](std::vector<std::string> args, int expected) {
    args.insert(args.begin() + 1, "--json");
    const quillan_test::ProcessResult r = quillan_test::RunProcess(QUILLANCTL_PATH, args);
    EXPECT_EQ(r.exitStatus, expected) << r.out << r.err;
    return ctl::Json::parse(r.out);
  };

  ctl::Json doc = run({"list", base}, 0);
  std::map<std::string, std::string> states;
  for (const ctl::Json& s : doc["snapins"]) states[s["name"]] = s["state"];
  // One Foo in both places; Bar's library and resources found by the names
  // ConsoleOne would load; Baz split as a switch will find it.
  EXPECT_EQ(states, (std::map<std::string, std::string>{{"Bar", "active"}, {"Baz", "split"}, {"Foo", "both"}}));

  struct Case {
    std::vector<std::string> args;
    std::string status;
    int exit;
  };
  const Case cases[] = {
      {{"enable", base, "FOO", "--check"}, "failed", 5},
      {{"disable", base, "Foo", "--check"}, "failed", 5},
      {{"disable", base, "foo"}, "failed", 5},
      {{"disable", base, "Bar", "--check"}, "would-change", 0},
      {{"disable", base, "bar"}, "changed", 0},
      {{"enable", base, "Baz"}, "changed", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[2]);
    doc = run(c.args, c.exit);
    EXPECT_EQ(doc["snapins"][0]["status"], c.status);
    if (c.status == "failed") {
      EXPECT_EQ(doc["snapins"][0]["listed_name"], "Foo");
    }
  }
  EXPECT_TRUE(fs::is_directory(base + "/inactive.lib/Bar"));
  EXPECT_TRUE(fs::is_directory(base + "/inactive.resources/Bar"));
  EXPECT_TRUE(fs::is_directory(base + "/lib/Baz"));
  doc = run({"list", base}, 0);
  states.clear();
  for (const ctl::Json& s : doc["snapins"]) states[s["name"]] = s["state"];
  EXPECT_EQ(states, (std::map<std::string, std::string>{{"Bar", "inactive"}, {"Baz", "active"}, {"Foo", "both"}}));
}
