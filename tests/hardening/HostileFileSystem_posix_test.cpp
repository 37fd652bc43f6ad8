// The file system as an adversary: symbolic links among the snap-ins, an
// installation on a read-only file system, a full disk under the per-user
// file, and another program rewriting that file behind the engine's back.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HardeningSupport.h"
#include "QuillanFixture.h"
#include "lib/D_Ini.h"
#include "platform/Platform.h"
#include "support/TinyFs.h"

namespace fs = std::filesystem;

namespace {

const char* const kKinds[] = {"snapins", "lib", "resources"};

using quillan_test::TinyFs;

}  // namespace

class HostileFs : public QuillanTest {
 protected:
  std::string UserFile() const { return quillan_test::TempDir::ReadFile(UserIniPath()); }
  void StartAt(const std::string& installation) {
    WriteMachineIni("[Paths]\nC1=" + installation + "\n");
    Start();
  }
};

TEST_F(HostileFs, ALinkedSnapinIsMovedAsALinkAndItsTargetIsNeverEntered) {
  const std::string base = MakeInstallation("c1", {{"Plain"}, {}, true, false, false, true});
  tmp.MakeFile("elsewhere/Real/marker", "real");
  fs::create_directory_symlink(PathOf("elsewhere/Real"), PathOf("c1/snapins/Linked"));
  fs::create_directory_symlink(PathOf("elsewhere/Real"), PathOf("c1/lib/Linked"));
  fs::create_directory_symlink(PathOf("nowhere"), PathOf("c1/snapins/Dangling"));
  fs::create_symlink(PathOf("elsewhere/Real/marker"), PathOf("c1/snapins/FileLink"));
  const auto outside = hardening::Tree(PathOf("elsewhere"));
  StartAt(base);
  // A link to a folder counts as the folder; a dangling link or a link to a
  // file is no snap-in.
  EXPECT_EQ(Items(), (std::vector<std::string>{"Linked", "Plain"}));

  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Linked");
  EXPECT_TRUE(fs::is_symlink(PathOf("c1/inactive.snapins/Linked")));
  EXPECT_TRUE(fs::is_symlink(PathOf("c1/inactive.lib/Linked")));
  EXPECT_EQ(fs::read_symlink(PathOf("c1/inactive.snapins/Linked")), PathOf("elsewhere/Real"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(PathOf("c1/snapins/Linked"))));
  EXPECT_EQ(hardening::Tree(PathOf("elsewhere")), outside);
  EXPECT_TRUE(fs::is_symlink(PathOf("c1/snapins/Dangling")));

  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Linked");
  EXPECT_TRUE(fs::is_symlink(PathOf("c1/snapins/Linked")));
  EXPECT_EQ(hardening::Tree(PathOf("elsewhere")), outside);
}

TEST_F(HostileFs, AMoveNeverReplacesAnEmptyFolderOrALinkAtTheTarget) {
  const std::string base = MakeInstallation("c1", {{"Tool"}, {}, true, false, false, true});
  tmp.MakeFile("c1/snapins/Tool/marker", "tool");
  MakeFolder("c1/inactive.snapins/Tool");  // empty, in the way
  tmp.MakeFile("c1/lib/Tool/marker", "lib");
  fs::create_directory_symlink(PathOf("elsewhere"), PathOf("c1/inactive.lib/Tool"));
  MakeFolder("elsewhere");
  const auto before = hardening::Tree(base);
  StartAt(base);
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Tool", 0);
  EXPECT_EQ(hardening::Tree(base), before);
  EXPECT_TRUE(hardening::EntriesOf(PathOf("elsewhere")).empty());
}

TEST_F(HostileFs, InstallationOnAReadOnlyFileSystem) {
  MakeFolder("ro");
  TinyFs ro(PathOf("ro"), "size=1m");
  if (!ro.Mounted()) GTEST_SKIP() << "cannot mount a file system here: " << std::strerror(errno);
  const std::string base = MakeInstallation("ro/c1", {{"A"}, {"B"}, true, false, false, false});
  ASSERT_TRUE(ro.MakeReadOnly());
  const auto before = hardening::Tree(base);
  StartAt(base);
  EXPECT_EQ(Items(), (std::vector<std::string>{"A", "B"}));
  // Every click "fails" visibly: the mark stays with the disk, the line says
  // why (no lock can be made there, so nothing is tried).
  const std::string refused = "   Nothing was moved: cannot lock " + base + "/.quillan.lock: Read-only file system";
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "A");
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, false}));
  EXPECT_EQ(f->PanelInfo->Text(), refused);
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, false}));
  EXPECT_EQ(f->PanelInfo->Text(), refused);
  EXPECT_EQ(hardening::Tree(base), before);
  EXPECT_FALSE(Exists("ro/c1/inactive.lib"));
  f->VerifyPath(nullptr);
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, false}));  // the disk, as it is
  CloseWindow();
  EXPECT_TRUE(app.MessageBoxes().empty());
  EXPECT_TRUE(hardening::IniProblems(UserFile()).empty());
}

TEST_F(HostileFs, FullDiskAtCloseKeepsTheOldFileAndLeavesNoTemporaryBehind) {
  TinyFs disk(PathOf("appdata"), "size=64k");
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a file system here: " << std::strerror(errno);
  const std::string base = MakeInstallation("c1", {{"A"}, {}, true, false, false, true});
  StartAt(base);
  CloseWindow();
  const std::string saved = UserFile();
  ASSERT_FALSE(saved.empty());

  // Fill the disk to the last byte.
  {
    std::ofstream filler(PathOf("appdata/filler"), std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }
  {
    std::ofstream filler(PathOf("appdata/filler2"), std::ios::binary);
    while (filler.put('f')) {
    }
  }
  Start();
  user.Click(*f->CheckBoxKeepOpen);
  user.TypeText(*f->ComboBoxPath, PathOf("c1") + Sep());
  CloseWindow();
  EXPECT_EQ(UserFile(), saved);
  ASSERT_EQ(app.MessageBoxes().size(), 1U);
  EXPECT_EQ(app.MessageBoxes()[0].text, "Unable to write to " + UserIniPath());
  EXPECT_EQ(hardening::EntriesOf(PathOf("appdata")),
            (std::vector<std::string>{"Quillan.ini", "filler", "filler2"}));

  // With room again the next close writes the new state.
  fs::remove(PathOf("appdata/filler"));
  Start();
  user.Click(*f->CheckBoxKeepOpen);
  CloseWindow();
  EXPECT_EQ(UserValue("Settings Form1", "CheckBoxKeepOpen"), "1");
  EXPECT_TRUE(hardening::IniProblems(UserFile()).empty());
}

TEST_F(HostileFs, AnotherProgramRewritingTheFileIsSeenEvenWithTheSameSizeAndTime) {
  const std::string path = tmp.MakeFile("other.ini", "[S]\nk=aaaa\n");
  const D_Ini::TIniFile file(path);
  ASSERT_EQ(file.ReadValue("S", "k", ""), "aaaa");
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  // Rewritten in place: same inode, same size, and the old modification time put back.
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(6);
    out << "bbbb";
  }
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(file.ReadValue("S", "k", ""), "bbbb");
  // A write keeps what the other program wrote.
  quillan_test::TempDir::WriteFile(path, "[S]\nk=bbbb\n[Other]\nmine=1\n");
  D_Ini::WriteSettingString(file, "S", "k2", "v");
  EXPECT_EQ(quillan_test::TempDir::ReadFile(path), "[S]\nk=bbbb\nk2=v\n[Other]\nmine=1\n");
}

// Root running the window with a user's configuration folder: the user
// swaps the settings file for a link to a file of root's while it runs.
TEST_F(HostileFs, AnotherUsersLinkSwappedInIsNotWrittenThroughAtClose) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a link of another user";
  const std::string base = MakeInstallation("c1", {{"evil::0:0:::"}, {}, true, false, false, true});
  const std::string precious = tmp.MakeFile("etc/passwd", "root:x:0:0::/root:/bin/sh\n");
  StartAt(base);
  user.Click(*f->CheckBoxKeepOpen);
  fs::remove(UserIniPath());
  fs::create_symlink(precious, UserIniPath());
  ASSERT_EQ(::lchown(UserIniPath().c_str(), 65534, 65534), 0);
  CloseWindow();
  EXPECT_EQ(quillan_test::TempDir::ReadFile(precious), "root:x:0:0::/root:/bin/sh\n");
  EXPECT_TRUE(fs::is_symlink(UserIniPath()));
  ASSERT_EQ(app.MessageBoxes().size(), 1U);
  EXPECT_EQ(app.MessageBoxes()[0].text, "Unable to write to " + UserIniPath());
}

TEST_F(HostileFs, ALinkedUserFileStaysALinkAndAFifoNeverBlocks) {
  const std::string base = MakeInstallation("c1", {{"A"}, {}, true, false, false, true});
  const std::string real = tmp.MakeFile("dotfiles/Quillan.ini", "[Mine]\nkeep=1\n");
  fs::create_symlink(real, UserIniPath());
  StartAt(base);
  CloseWindow();
  EXPECT_TRUE(fs::is_symlink(UserIniPath()));
  EXPECT_EQ(UserValue("Mine", "keep"), "1");
  EXPECT_NE(UserValue("History ComboBoxPath", "0"), "<absent>");

  fs::remove(UserIniPath());
  ASSERT_EQ(::mkfifo(UserIniPath().c_str(), 0600), 0);
  Start();
  CloseWindow();  // reading a pipe would wait forever; it is no settings file
  EXPECT_TRUE(fs::is_fifo(UserIniPath()));
  ASSERT_EQ(app.MessageBoxes().size(), 1U);
  EXPECT_EQ(app.MessageBoxes()[0].text, "Unable to write to " + UserIniPath());
}
