// What a write does to the file system around the settings file: mode and
// group kept, links followed only when the writer owns them, no temporary
// file left by a killed writer.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ProfileEngine.h"
#include "support/TempDir.h"

using profile::ProfileEngine;
using quillan_test::TempDir;

namespace fs = std::filesystem;

namespace {

constexpr uid_t kOtherUser = 65534;  // nobody

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ProfileFiles, PrivateModeAndGroupSurviveAWriteAndABatchedRewrite) {
  TempDir dir;
  ProfileEngine engine;
  const std::string path = dir.MakeFile("quillan.ini", "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(engine.Write(path, "S", "k", "2"));
  EXPECT_EQ(ModeOf(path), 0600u);

  engine.BeginBatch(path);
  ASSERT_TRUE(engine.EraseSection(path, "S"));
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(engine.Write(path, "S", std::to_string(i), "v"));
  ASSERT_TRUE(engine.EndBatch(path, true));
  EXPECT_EQ(ModeOf(path), 0600u);
  EXPECT_EQ(engine.Read(path, "S", "49", ""), "v");

  if (::geteuid() != 0) return;  // another group than one's own needs root here
  ASSERT_EQ(::chown(path.c_str(), 0, kOtherUser), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(engine.Write(path, "S", "k", "3"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_gid, kOtherUser);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ProfileFiles, AUsersOwnDotfileLinkIsWrittenThrough) {
  TempDir dir;
  ProfileEngine engine;
  const std::string real = dir.MakeFile("dotfiles/quillan.ini", "[Mine]\nkeep=1\n");
  dir.MakeFolder("config");
  const std::string link = dir.Join("config/quillan.ini");
  fs::create_symlink("../dotfiles/quillan.ini", link);
  ASSERT_TRUE(engine.Write(link, "S", "k", "v"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(TempDir::ReadFile(real), "[Mine]\nkeep=1\n\n[S]\nk=v\n");
  EXPECT_EQ(Entries(dir.Join("config")), std::vector<std::string>{"quillan.ini"});
}

// Root keeping a user's configuration folder (sudo keeping HOME, su without
// "-"): the user may swap in links and own the folder; root writes nothing
// the user points it at.
TEST(ProfileFiles, AnotherUsersLinkFolderOrFileIsNeverWritten) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make files of another user";
  TempDir dir;
  ProfileEngine engine;
  const std::string precious = dir.MakeFile("etc/passwd", "[Mine]\nroot:x:0:0::/root:/bin/sh\n");
  const std::string folder = dir.MakeFolder("home");
  const std::string file = dir.Join("home/quillan.ini");
  const auto expectRefused = [&](const std::string& what) {
    SCOPED_TRACE(what);
    const std::vector<std::string> before = Entries(folder);
    EXPECT_FALSE(engine.Write(file, "evil::0:0:::", "x", "1"));
    EXPECT_FALSE(engine.EraseSection(file, "Mine"));
    engine.BeginBatch(file);
    EXPECT_FALSE(engine.Write(file, "S", "k", "v"));
    EXPECT_TRUE(engine.EndBatch(file, true));
    EXPECT_EQ(TempDir::ReadFile(precious), "[Mine]\nroot:x:0:0::/root:/bin/sh\n");
    EXPECT_EQ(Entries(folder), before);
  };

  // The user's link to a file of root's, in root's folder.
  fs::create_symlink(precious, file);
  ASSERT_EQ(::lchown(file.c_str(), kOtherUser, kOtherUser), 0);
  expectRefused("another user's link");
  // The same link through a link of the user's own on the way.
  fs::remove(file);
  fs::create_symlink(dir.Join("etc"), dir.Join("home/way"));
  ASSERT_EQ(::lchown(dir.Join("home/way").c_str(), kOtherUser, kOtherUser), 0);
  fs::create_symlink("way/passwd", file);
  expectRefused("another user's link on the way");
  fs::remove(file);
  fs::remove(dir.Join("home/way"));

  // A plain file of the user's, or any file in the user's folder.
  TempDir::WriteFile(file, "[Mine]\nkeep=1\n");
  ASSERT_EQ(::chown(file.c_str(), kOtherUser, kOtherUser), 0);
  expectRefused("another user's file");
  ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
  ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
  expectRefused("another user's folder");
  EXPECT_EQ(TempDir::ReadFile(file), "[Mine]\nkeep=1\n");

  // Root's own link in root's folder is followed.
  ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
  fs::remove(file);
  const std::string target = dir.MakeFile("etc/quillan.ini", "");
  fs::create_symlink(target, file);
  EXPECT_TRUE(engine.Write(file, "S", "k", "v"));
  EXPECT_EQ(TempDir::ReadFile(target), "[S]\nk=v\n");
}

// The same rules for a user who is not root, where root's links are trusted
// on the way but not as the file itself, and where the file system does not
// order data before renames. A child drops to a test user; its answers come
// back through a pipe.
TEST(ProfileFiles, LinkAndOwnerRulesHoldForAnOrdinaryUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make the user's and root's files";
  constexpr uid_t kUser = 4242;
  TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
  const auto own = [](const std::string& path, uid_t uid) {
    ASSERT_EQ(::lchown(path.c_str(), uid, uid), 0) << path;
  };
  // Root's: a folder and a file anyone may write, and a shared file.
  const std::string rootFolder = dir.MakeFolder("shared");
  ASSERT_EQ(::chmod(rootFolder.c_str(), 0777), 0);
  const std::string shared = dir.MakeFile("etc/quillan.ini", "[Root]\nk=1\n");
  ASSERT_EQ(::chmod(shared.c_str(), 0666), 0);
  // The user's: the home folder, and a dotfiles folder with the real file.
  const std::string home = dir.MakeFolder("home");
  dir.MakeFolder("dotfiles");
  for (const std::string& p : {home, dir.Join("dotfiles")}) own(p, kUser);
  // Each case its own file, as every case is written before any is looked at.
  const auto dotfile = [&](const std::string& name) {
    const std::string path = dir.MakeFile("dotfiles/" + name, "[Mine]\nk=1\n");
    own(path, kUser);
    return path;
  };

  struct Case {
    const char* what;
    std::string file;  // written as the user
    std::string target;  // where the data would go
    bool written;
  };
  std::vector<Case> cases;
  const auto link = [&](const std::string& to, const std::string& at, uid_t owner) {
    fs::create_symlink(to, dir.Join(at));
    own(dir.Join(at), owner);
    return dir.Join(at);
  };
  cases.push_back({"the user's own dotfile link", link("../dotfiles/a.ini", "home/a.ini", kUser),
                   dotfile("a.ini"), true});
  const std::string mine = dotfile("b.ini");
  cases.push_back({"root's link as the file", link(mine, "home/b.ini", 0), mine, false});
  link(dir.Join("dotfiles"), "home/way", 0);
  cases.push_back({"root's link on the way", link("way/c.ini", "home/c.ini", kUser), dotfile("c.ini"), true});
  cases.push_back({"root's link to root's file", link(shared, "home/d.ini", 0), shared, false});
  const std::string rootsFile = dir.MakeFile("home/e.ini", "[Root]\nk=1\n");
  ASSERT_EQ(::chmod(rootsFile.c_str(), 0666), 0);
  cases.push_back({"root's file in the user's folder", rootsFile, rootsFile, false});
  const std::string inRoots = dir.MakeFile("shared/f.ini", "[Mine]\nk=1\n");
  own(inRoots, kUser);
  cases.push_back({"the user's file in root's folder", inRoots, inRoots, false});
  const std::string plain = dir.MakeFile("home/g.ini", "[Mine]\nk=1\n");
  own(plain, kUser);
  ASSERT_EQ(::chmod(plain.c_str(), 0600), 0);
  cases.push_back({"the user's own file", plain, plain, true});

  std::vector<std::string> before;
  for (const Case& c : cases) before.push_back(TempDir::ReadFile(c.target));
  int answers[2];
  ASSERT_EQ(::pipe(answers), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(answers[0]);
    if (::setresgid(kUser, kUser, kUser) != 0 || ::setgroups(0, nullptr) != 0 ||
        ::setresuid(kUser, kUser, kUser) != 0)
      ::_exit(2);
    profile::CurrentDiskSteps().renameOrdersData = [](int) { return false; };
    ProfileEngine engine;
    std::string text;
    for (const Case& c : cases) {
      bool ok = engine.Write(c.file, "S", "k", "v");
      engine.BeginBatch(c.file);
      ok = engine.Write(c.file, "T", "k", "v") && ok;
      ok = engine.EndBatch(c.file, true) && ok;
      text += ok ? '1' : '0';
    }
    ::_exit(::write(answers[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 3);
  }
  ::close(answers[1]);
  char got[16] = {};
  const ssize_t n = ::read(answers[0], got, sizeof got);
  ::close(answers[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_EQ(n, static_cast<ssize_t>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    EXPECT_EQ(got[i] == '1', c.written);
    if (c.written) {
      EXPECT_EQ(TempDir::ReadFile(c.target), before[i] + "\n[S]\nk=v\n\n[T]\nk=v\n");
    } else {
      EXPECT_EQ(TempDir::ReadFile(c.target), before[i]);
    }
    EXPECT_EQ(fs::is_symlink(fs::symlink_status(c.file)), c.file != c.target);
  }
  EXPECT_EQ(ModeOf(plain), 0600u);
  EXPECT_EQ(Entries(home), (std::vector<std::string>{"a.ini", "b.ini", "c.ini", "d.ini", "e.ini", "g.ini", "way"}));
}

// Where renames do not order the data, the temporary file is flushed before
// it is renamed over the old one; where they do, the flush is skipped.
TEST(ProfileFiles, TheDataIsFlushedBeforeTheRenameUnlessTheFileSystemOrdersIt) {
  profile::DiskSteps& disk = profile::CurrentDiskSteps();
  const profile::DiskSteps real = disk;
  std::vector<std::string> calls;
  disk.flush = [&](int fd) {
    calls.push_back("flush");
    return real.flush(fd);
  };
  disk.rename = [&](int folder, const char* from, const char* to) {
    calls.push_back(std::string("rename to ") + to);
    return real.rename(folder, from, to);
  };
  TempDir dir;
  const std::string path = dir.MakeFile("quillan.ini", "[S]\nk=1\n");
  for (const bool ordered : {false, true}) {
    SCOPED_TRACE(ordered ? "renames order the data" : "they do not");
    disk.renameOrdersData = [ordered](int) { return ordered; };
    calls.clear();
    ProfileEngine engine;
    ASSERT_TRUE(engine.Write(path, "S", "k", ordered ? "2" : "3"));
    engine.BeginBatch(path);
    ASSERT_TRUE(engine.Write(path, "S", "k", "4"));
    ASSERT_TRUE(engine.Write(path, "S", "j", "5"));
    ASSERT_TRUE(engine.EndBatch(path, true));
    const std::vector<std::string> once =
        ordered ? std::vector<std::string>{"rename to quillan.ini"}
                : std::vector<std::string>{"flush", "rename to quillan.ini"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(calls, twice);
    EXPECT_EQ(TempDir::ReadFile(path), "[S]\nk=4\nj=5\n");
  }
  // A refused flush refuses the write and leaves the file and no temporary.
  disk.renameOrdersData = [](int) { return false; };
  disk.flush = [](int) {
    errno = EIO;
    return -1;
  };
  ProfileEngine engine;
  EXPECT_FALSE(engine.Write(path, "S", "k", "6"));
  disk = real;
  EXPECT_EQ(TempDir::ReadFile(path), "[S]\nk=4\nj=5\n");
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"quillan.ini"});
}

// The real table of file systems behind that choice: ext4, btrfs and tmpfs
// order a file's data before a rename over another file; XFS, NFS and
// anything unknown need the flush. The write's own choice follows the
// table for the folder it writes into.
TEST(ProfileFiles, TheFlushIsSkippedOnlyWhereTheFileSystemOrdersTheData) {
  const std::pair<unsigned long, bool> table[] = {
      {EXT4_SUPER_MAGIC, true},  {BTRFS_SUPER_MAGIC, true}, {TMPFS_MAGIC, true},
      {XFS_SUPER_MAGIC, false},  {NFS_SUPER_MAGIC, false},  {0x65735546UL /* FUSE */, false},
      {0, false},
  };
  for (const auto& [type, ordered] : table) {
    EXPECT_EQ(profile::RenameOrdersDataOn(type), ordered) << std::hex << type;
  }
  const profile::DiskSteps real = profile::CurrentDiskSteps();
  for (const std::string& folder : {std::string(), std::string("/dev/shm")}) {
    TempDir dir;
    const std::string base = folder.empty() ? dir.Path() : folder;
    if (!fs::is_directory(base)) continue;
    const std::string path = base + "/quillan-flush-" + std::to_string(::getpid()) + ".ini";
    TempDir::WriteFile(path, "[S]\nk=1\n");
    struct statfs info {};
    ASSERT_EQ(::statfs(path.c_str(), &info), 0);
    int flushes = 0;
    profile::CurrentDiskSteps().flush = [&](int fd) {
      ++flushes;
      return real.flush(fd);
    };
    ProfileEngine engine;
    EXPECT_TRUE(engine.Write(path, "S", "k", "2"));
    profile::CurrentDiskSteps() = real;
    fs::remove(path);
    const bool ordered = profile::RenameOrdersDataOn(static_cast<unsigned long>(info.f_type));
    EXPECT_EQ(flushes, ordered ? 0 : 1) << base << " type " << std::hex << info.f_type;
  }
}

// A writer killed while it writes its temporary file leaves nothing, or a
// file that the next write recognises as a dead process's and removes.
TEST(ProfileFiles, KilledWritersLeaveNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.MakeFile("quillan.ini", "[S]\nk=1\n");
  // The file size limit kills the writer half-way through that file.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit none{0, 0}, small{4096, 4096};
    ::setrlimit(RLIMIT_CORE, &none);
    ::setrlimit(RLIMIT_FSIZE, &small);
    ProfileEngine engine;
    engine.Write(path, "S", "k", std::string(1 << 16, 'x'));
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_EQ(TempDir::ReadFile(path), "[S]\nk=1\n");
  const int unnamed = ::open(dir.Path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (unnamed >= 0) {
    ::close(unnamed);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"quillan.ini"});
  }

  // Without unnamed files the child left a named one: the next write removes it.
  ProfileEngine engine;
  ASSERT_TRUE(engine.Write(path, "S", "k", "after"));
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"quillan.ini"});
}

}  // namespace
