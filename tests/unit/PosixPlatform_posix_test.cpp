// The real POSIX platform in a temporary folder.
#include "platform/posix/PosixPlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utime.h>

#include "support/TempDir.h"

using namespace platform;
using platform::posix::PosixPlatform;
using quillan_test::TempDir;

namespace fs = std::filesystem;

namespace {

// Sets environment variables for a test and puts the old values back.
class ScopedEnv {
 public:
  void Set(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  ~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

std::map<std::string, FindEntry> List(Platform& p, const std::string& mask, std::uint32_t attributes) {
  std::map<std::string, FindEntry> out;
  p.ListFolder(mask, attributes, [&](const FindEntry& e) {
    out[e.name] = e;
    return true;
  });
  return out;
}

bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 250; ++i) {
    std::error_code ec;
    if (fs::exists(path, ec) && fs::file_size(path, ec) > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the writer finish
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

class PosixPlatformTest : public ::testing::Test {
 protected:
  PosixPlatform p;
  TempDir dir;
  ScopedEnv env;
};

TEST_F(PosixPlatformTest, FilesAndFolders) {
  std::string file = dir.MakeFile("f.txt", "x");
  std::string folder = dir.MakeFolder("d");
  EXPECT_TRUE(p.FileExists(file));
  EXPECT_FALSE(p.FileExists(folder));
  EXPECT_FALSE(p.FileExists(dir.Join("none")));
  EXPECT_TRUE(p.DirectoryExists(folder));
  EXPECT_TRUE(p.DirectoryExists(folder + "/"));
  EXPECT_FALSE(p.DirectoryExists(file));
  EXPECT_FALSE(p.FileExists(""));
  EXPECT_TRUE(p.CreateDirectory(dir.Join("new")));
  EXPECT_FALSE(p.CreateDirectory(dir.Join("new")));       // exists already
  EXPECT_FALSE(p.CreateDirectory(dir.Join("a/b/c")));     // one level only
  EXPECT_EQ(p.ShortPath(file), file);
  EXPECT_EQ(p.ShortPath(dir.Join("none")), "");
  EXPECT_EQ(fs::path(p.ExecutablePath()).filename(), "quillan_unit_tests");
}

TEST_F(PosixPlatformTest, MoveNeverReplaces) {
  std::string src = dir.MakeFolder("snapins/Alpha");
  dir.MakeFile("snapins/Alpha/a.jar", "A");
  std::string emptyTarget = dir.MakeFolder("inactive/Alpha");
  const platform::Result replaced = p.MoveFolder(src, emptyTarget);  // rename(2) would replace it
  EXPECT_FALSE(replaced);
  EXPECT_EQ(replaced.error, "File exists");
  EXPECT_EQ(TempDir::ReadFile(dir.Join("snapins/Alpha/a.jar")), "A");
  EXPECT_TRUE(fs::is_empty(emptyTarget));

  std::string fileTarget = dir.MakeFile("inactive/Beta", "B");
  EXPECT_FALSE(p.MoveFolder(src, fileTarget));
  EXPECT_EQ(TempDir::ReadFile(fileTarget), "B");

  fs::remove(emptyTarget);
  EXPECT_TRUE(p.MoveFolder(src, emptyTarget));
  EXPECT_EQ(TempDir::ReadFile(dir.Join("inactive/Alpha/a.jar")), "A");
  EXPECT_FALSE(TempDir::Exists(src));
  EXPECT_EQ(p.MoveFolder(src, dir.Join("x")).error, "No such file or directory");  // source gone
  EXPECT_EQ(p.CreateDirectory(dir.Join("missing/parent")).error, "No such file or directory");

  // A link is moved as a link; its target stays where it is.
  std::string real = dir.MakeFolder("real");
  fs::create_directory_symlink(real, dir.Join("snapins/Link"));
  EXPECT_TRUE(p.MoveFolder(dir.Join("snapins/Link"), dir.Join("inactive/Link")));
  EXPECT_TRUE(fs::is_symlink(dir.Join("inactive/Link")));
  EXPECT_TRUE(fs::is_directory(real));
}

// The move used where the file system cannot refuse a replacing rename,
// tried here on an ordinary one: whatever is at the target stays.
TEST_F(PosixPlatformTest, MoveWithoutReplacingRefusesEveryOccupiedTarget) {
  enum class Source { Folder, Link };
  enum class Target { None, EmptyFolder, Folder, File, Link };
  struct Case {
    Source source;
    Target target;
    int error;  // 0: moved
  };
  const Case cases[] = {
      {Source::Folder, Target::None, 0},          {Source::Folder, Target::EmptyFolder, EEXIST},
      {Source::Folder, Target::Folder, EEXIST},   {Source::Folder, Target::File, EEXIST},
      {Source::Folder, Target::Link, EEXIST},     {Source::Link, Target::None, 0},
      {Source::Link, Target::EmptyFolder, EEXIST}, {Source::Link, Target::File, EEXIST},
      {Source::Link, Target::Link, EEXIST},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    const std::string from = dir.Join("from" + std::to_string(n));
    const std::string to = dir.Join("to" + std::to_string(n++));
    const std::string real = dir.MakeFolder("real");
    if (c.source == Source::Folder) {
      dir.MakeFile(fs::path(from).filename().string() + "/a.jar", "A");
    } else {
      fs::create_directory_symlink(real, from);
    }
    switch (c.target) {
      case Target::None: break;
      case Target::EmptyFolder: fs::create_directory(to); break;
      case Target::Folder: TempDir::WriteFile(dir.MakeFolder(fs::path(to).filename().string()) + "/b", "B"); break;
      case Target::File: TempDir::WriteFile(to, "B"); break;
      case Target::Link: fs::create_symlink("nowhere", to); break;
    }
    const auto before = fs::symlink_status(to).type();
    EXPECT_EQ(posix::MoveWithoutReplacing(from, to), c.error);
    if (c.error == 0) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(from)));
      if (c.source == Source::Folder) {
        EXPECT_EQ(TempDir::ReadFile(to + "/a.jar"), "A");
      } else {
        EXPECT_EQ(fs::read_symlink(to), real);
      }
      continue;
    }
    // Both stay as they were; no claim is left behind.
    EXPECT_EQ(fs::symlink_status(to).type(), before);
    if (c.target == Target::EmptyFolder) {
      EXPECT_TRUE(fs::is_empty(to));
    } else if (c.target == Target::Folder) {
      EXPECT_EQ(TempDir::ReadFile(to + "/b"), "B");
    } else if (c.target == Target::File) {
      EXPECT_EQ(TempDir::ReadFile(to), "B");
    }
    EXPECT_TRUE(c.source == Source::Folder ? fs::is_directory(fs::symlink_status(from))
                                           : fs::is_symlink(from));
  }
  // A missing source leaves no claim at the target.
  EXPECT_EQ(posix::MoveWithoutReplacing(dir.Join("gone"), dir.Join("claim")), ENOENT);
  EXPECT_FALSE(TempDir::Exists(dir.Join("claim")));
}

TEST_F(PosixPlatformTest, ListingAttributesMasksAndHiddenNames) {
  dir.MakeFile("a.txt", std::string(1500, 'x'));
  dir.MakeFile("b.jar", "");
  dir.MakeFile("noext", "");
  dir.MakeFile(".hidden", "");
  dir.MakeFolder("Sub");
  fs::create_directory_symlink(dir.Join("Sub"), dir.Join("LinkToSub"));

  auto all = List(p, dir.Join("*.*"), faDirectory | faArchive);
  EXPECT_EQ(all.count("."), 1u);  // as on Windows; callers skip names that begin with "."
  EXPECT_EQ(all.count(".hidden"), 1u);
  EXPECT_EQ(all.count("noext"), 1u);
  EXPECT_EQ(all["a.txt"].size, 1500);
  EXPECT_EQ(all["a.txt"].attributes & faDirectory, 0u);
  EXPECT_EQ(all["Sub"].attributes & faDirectory, faDirectory);
  EXPECT_EQ(all["LinkToSub"].attributes & faDirectory, faDirectory);

  auto files = List(p, dir.Join("*"), faArchive);
  EXPECT_EQ(files.count("Sub"), 0u);  // folders only when asked for
  EXPECT_EQ(files.count("a.txt"), 1u);

  EXPECT_EQ(List(p, dir.Join("*.TXT"), 0).size(), 1u);  // case ignored as on Windows
  EXPECT_EQ(List(p, dir.Path() + "\\?.jar", 0).size(), 1u);
  EXPECT_EQ(List(p, dir.Join("noext.*"), 0).size(), 1u);
  EXPECT_FALSE(p.ListFolder(dir.Join("none/*.*"), 0, [](const FindEntry&) { return true; }));
  EXPECT_FALSE(p.ListFolder(dir.Join("*.zip"), 0, [](const FindEntry&) { return true; }));

  int seen = 0;
  p.ListFolder(dir.Join("*.*"), faDirectory, [&](const FindEntry&) { return ++seen < 2; });
  EXPECT_EQ(seen, 2);  // the callback stops the walk
}

TEST_F(PosixPlatformTest, LastWriteTimeIsLocalDosTime) {
  env.Set("TZ", std::string("UTC"));
  ::tzset();
  std::string file = dir.MakeFile("t", "");
  utimbuf times{};
  times.modtime = 1700000000;  // 2023-11-14 22:13:20 UTC
  times.actime = times.modtime;
  ASSERT_EQ(::utime(file.c_str(), &times), 0);
  auto entries = List(p, dir.Join("t"), 0);
  const std::uint32_t date = (43u << 9) | (11u << 5) | 14u;
  const std::uint32_t time = (22u << 11) | (13u << 5) | 10u;
  EXPECT_EQ(entries["t"].dosDateTime, date << 16 | time);
  EXPECT_EQ(posix::DosDateTime(0), ((1u << 5) | 1u) << 16);  // before 1980
  env.Set("TZ", std::nullopt);
  ::tzset();
}

TEST_F(PosixPlatformTest, RegistryAndEnvironment) {
  const char* folders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  env.Set("XDG_CONFIG_HOME", std::string("/xdg/config"));
  RegistryValue v = p.ReadRegistryValue(RegistryRoot::CurrentUser, folders, "appdata");
  EXPECT_EQ(v.kind, RegistryValue::Kind::String);
  EXPECT_EQ(v.text, "/xdg/config");
  env.Set("XDG_CONFIG_HOME", std::nullopt);
  env.Set("HOME", std::string("/home/someone"));
  EXPECT_EQ(p.ReadRegistryValue(RegistryRoot::CurrentUser, folders, "AppData").text,
            "/home/someone/.config");
  EXPECT_EQ(p.ReadRegistryValue(RegistryRoot::LocalMachine,
                                "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir")
                .text,
            "/opt");
  EXPECT_EQ(p.ReadRegistryValue(RegistryRoot::LocalMachine, folders, "AppData").kind,
            RegistryValue::Kind::Missing);
  env.Set("QUILLAN_TEST_VAR", std::string("value"));
  EXPECT_EQ(p.GetEnvironmentVariable("QUILLAN_TEST_VAR"), std::optional<std::string>("value"));
  env.Set("QUILLAN_TEST_VAR", std::nullopt);
  EXPECT_EQ(p.GetEnvironmentVariable("QUILLAN_TEST_VAR"), std::nullopt);
}

TEST_F(PosixPlatformTest, CommandLineSplitting) {
  using posix::SplitCommandLine;
  EXPECT_EQ(SplitCommandLine(""), std::vector<std::string>{});
  EXPECT_EQ(SplitCommandLine("  a   b\tc "), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("\"a b\" c\"d e\""), (std::vector<std::string>{"a b", "cd e"}));
  EXPECT_EQ(SplitCommandLine("\"\""), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitCommandLine("a\\\"b c\\\\\"d e\""), (std::vector<std::string>{"a\"b", "c\\d e"}));
  EXPECT_EQ(SplitCommandLine("C:\\path\\ x"), (std::vector<std::string>{"C:\\path\\", "x"}));
}

TEST_F(PosixPlatformTest, MaskMatching) {
  using posix::MatchesMask;
  EXPECT_TRUE(MatchesMask("anything", "*.*"));
  EXPECT_TRUE(MatchesMask("a.b.c", "*.c"));
  EXPECT_TRUE(MatchesMask("ABC", "a?c"));
  EXPECT_FALSE(MatchesMask("abcd", "a?c"));
  EXPECT_TRUE(MatchesMask("aXbXc", "a*b*c"));
  EXPECT_FALSE(MatchesMask("aXbX", "a*b*c"));
  EXPECT_TRUE(MatchesMask("readme", "readme.*"));
}

TEST_F(PosixPlatformTest, ShellStartsAProgramDetachedInItsFolder) {
  std::string out = dir.Join("out.txt");
  std::string script = dir.MakeFile("bin dir/tool.sh",
                                    "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > \"" +
                                        out + ".tmp\" && mv \"" + out + ".tmp\" \"" + out + "\"\n");
  fs::permissions(script, fs::perms::owner_exec, fs::perm_options::add);
  std::string work = dir.MakeFolder("work");
  EXPECT_GT(p.ShellExecute(script, "one \"two three\" a\\\"b", work, 1), 32);
  ASSERT_TRUE(WaitForFile(out));
  EXPECT_EQ(TempDir::ReadFile(out), work + "\n[one]\n[two three]\n[a\"b]\n");

  // An executable script without "#!" (as bin/ConsoleOne may be) runs in the shell.
  std::string plain = dir.MakeFile("c1/bin/ConsoleOne", "echo \"[$1]\" > \"" + out + "2.tmp\" && mv \"" +
                                                           out + "2.tmp\" \"" + out + "2\"\n");
  fs::permissions(plain, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_GT(p.ShellExecute(plain, "x", work, 1), 32);
  ASSERT_TRUE(WaitForFile(out + "2"));
  EXPECT_EQ(TempDir::ReadFile(out + "2"), "[x]\n");
}

TEST_F(PosixPlatformTest, ShellFailuresAnswer32OrLess) {
  EXPECT_LE(p.ShellExecute("", "", "", 1), 32);
  EXPECT_EQ(p.ShellExecute(dir.Join("missing.exe"), "", "", 1), 2);
  std::string broken = dir.MakeFile("broken.sh", "#!/nonexistent/interpreter\n");
  fs::permissions(broken, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_LE(p.ShellExecute(broken, "", "", 1), 32);  // exec failure comes back
  std::string ok = dir.MakeFile("ok.sh", "#!/bin/sh\nexit 0\n");
  fs::permissions(ok, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_LE(p.ShellExecute(ok, "", dir.Join("no such folder"), 1), 32);
  // Documents and addresses need xdg-open; without it nothing is associated.
  env.Set("PATH", dir.MakeFolder("emptybin"));
  EXPECT_EQ(p.ShellExecute(dir.MakeFile("doc.txt", "x"), "", "", 1), 31);
  EXPECT_EQ(p.ShellExecute("https://example.org", "", "", 1), 31);
}

TEST_F(PosixPlatformTest, ShellHandsDocumentsToXdgOpen) {
  std::string log = dir.Join("opened.txt");
  std::string bin = dir.MakeFolder("fakebin");
  std::string opener = dir.MakeFile("fakebin/xdg-open", "#!/bin/sh\necho \"$1\" > \"" + log + "\"\n");
  fs::permissions(opener, fs::perms::owner_exec, fs::perm_options::add);
  env.Set("PATH", bin + ":/usr/bin:/bin");
  EXPECT_GT(p.ShellExecute("https://example.org/page", "", "", 1), 32);
  ASSERT_TRUE(WaitForFile(log));
  EXPECT_EQ(TempDir::ReadFile(log), "https://example.org/page\n");
}

TEST_F(PosixPlatformTest, NamedMutexIsHeldUntilTheProcessEnds) {
  env.Set("XDG_RUNTIME_DIR", dir.Path());
  EXPECT_FALSE(p.CreateNamedMutex("Quillan"));
  PosixPlatform other;  // another holder: the lock is per open file
  EXPECT_TRUE(other.CreateNamedMutex("Quillan"));
  EXPECT_FALSE(other.CreateNamedMutex("Other/Name"));
  EXPECT_TRUE(TempDir::Exists(dir.Join("Quillan.lock")));
}

// A later start's request, sent from a second thread while this one takes it.
std::pair<bool, std::string> RoundTrip(PosixPlatform& first, int listener, const std::string& token) {
  bool answered = false;
  std::thread later([&] { answered = PosixPlatform().SendForwardRequest("Quillan", token); });
  std::string taken = "<none>";
  for (int i = 0; i < 200 && !first.TakeForwardRequest(listener, taken); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  later.join();
  return {answered, taken};
}

TEST_F(PosixPlatformTest, ForwardRequestsReachTheRunningInstanceWithTheirToken) {
  env.Set("XDG_RUNTIME_DIR", dir.Path());
  ASSERT_FALSE(p.CreateNamedMutex("Quillan"));
  const int listener = p.ListenForwardRequests("Quillan");
  ASSERT_GE(listener, 0);
  struct stat st {};
  ASSERT_EQ(::lstat(dir.Join("Quillan.socket").c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const struct {
    std::string sent, taken;
  } cases[] = {
      {"weston-1_a.B/c=", "weston-1_a.B/c="},
      {"", ""},
      {"two words", ""},  // not a token: dropped, the request still counts
      {"line\nbreak", ""},
      {std::string(5000, 'x'), ""},
  };
  for (const auto& c : cases) {
    const auto [answered, taken] = RoundTrip(p, listener, c.sent);
    EXPECT_TRUE(answered) << c.sent.substr(0, 20);
    EXPECT_EQ(taken, c.taken) << c.sent.substr(0, 20);
  }
  std::string token;
  EXPECT_FALSE(p.TakeForwardRequest(listener, token)) << "nothing more is waiting";

  // Something else on the socket is no request, and gets no answer.
  const int raw = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  dir.Join("Quillan.socket").copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::connect(raw, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::send(raw, "hello\n", 6, 0), 6);
  EXPECT_FALSE(p.TakeForwardRequest(listener, token));
  char answer = 0;
  EXPECT_EQ(::recv(raw, &answer, 1, 0), 0);
  ::close(raw);

  // Another user's socket in its place is never spoken to.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(dir.Join("Quillan.socket").c_str(), 65534, 65534), 0);
    std::thread later([&] { EXPECT_FALSE(PosixPlatform().SendForwardRequest("Quillan", "t")); });
    later.join();
    EXPECT_FALSE(p.TakeForwardRequest(listener, token));
  }

  // The instance has ended: its socket is left, and a later start goes on at once.
  ::close(listener);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(PosixPlatform().SendForwardRequest("Quillan", "t"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  // The next instance takes the name over.
  const int next = p.ListenForwardRequests("Quillan");
  ASSERT_GE(next, 0);
  EXPECT_EQ(RoundTrip(p, next, "t2"), std::make_pair(true, std::string("t2")));
  ::close(next);
}

TEST_F(PosixPlatformTest, NoDisplayNoWindows) {
  env.Set("DISPLAY", std::nullopt);
  EXPECT_TRUE(p.TopLevelWindows().empty());
  EXPECT_EQ(p.FindWindowEx("TApplication", "Quillan", 0), 0u);
  EXPECT_EQ(p.OwnApplicationWindow(), 0u);
  p.ShowWindowNormal(1);  // harmless without a display
  p.SetForegroundWindow(1);
}

}  // namespace


