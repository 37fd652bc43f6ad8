// What a write does to the file system around the settings file: mode and
// group kept, links followed only when the writer owns them, no temporary
// file left by a killed writer.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
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
