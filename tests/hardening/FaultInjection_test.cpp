// Faults of the disk, the settings files and the registry, injected through
// the platform double or made for real: the user sees at most the effect,
// and no folder or settings file is ever lost or left half-written.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "HardeningSupport.h"
#include "QuillanFixture.h"
#include "lib/Errors.h"

namespace fs = std::filesystem;
using platform::RegistryRoot;

namespace {

const char* const kKinds[] = {"snapins", "lib", "resources"};

std::string Lines(std::initializer_list<std::string> lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

class Faults : public QuillanTest {
 protected:
  // Installation "c1" with Tool (inactive) and Keep (active), each with all
  // three folders and a marker file in each.
  void StartWithTools() {
    base = MakeInstallation("c1", {{"Keep"}, {"Tool"}, true, false, false, true});
    for (const char* kind : kKinds) {
      const std::string k = kind;
      tmp.MakeFile("c1/inactive." + k + "/Tool/marker", "Tool " + k);
      tmp.MakeFile("c1/" + k + "/Keep/marker", "Keep " + k);
    }
    WriteMachineIni(Lines({"[Paths]", "C1=" + base}));
    contents = hardening::Contents(base);
    Start();
  }
  bool Active(const std::string& name, const std::string& kind) const {
    return Exists("c1/" + kind + "/" + name) && !Exists("c1/inactive." + kind + "/" + name);
  }
  bool Inactive(const std::string& name, const std::string& kind) const {
    return Exists("c1/inactive." + kind + "/" + name) && !Exists("c1/" + kind + "/" + name);
  }
  void ExpectNothingLost() const { EXPECT_EQ(hardening::Contents(base), contents); }
  std::string UserFile() const { return quillan_test::TempDir::ReadFile(UserIniPath()); }

  std::string base;
  std::multiset<std::string> contents;
};

// --- moves

class RefusedMove : public Faults, public ::testing::WithParamInterface<int> {};

TEST_P(RefusedMove, OtherKindsStillMoveAndTheNextCheckShowsTheDisk) {
  StartWithTools();
  const std::string refused = kKinds[GetParam()];
  os.FailMoveFolderWhen([&](const std::string& p) {
    return Contains(p, "inactive." + refused + Sep() + "Tool");
  });
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Tool");

  for (const char* kind : kKinds) {
    if (kind == refused) {
      EXPECT_TRUE(Inactive("Tool", kind)) << kind;
    } else {
      EXPECT_TRUE(Active("Tool", kind)) << kind;
    }
  }
  EXPECT_TRUE(app.MessageBoxes().empty());
  EXPECT_EQ(f->PanelInfo->Text(), "   Could not move inactive." + refused + Sep() + "Tool to " + refused +
                                      Sep() + "Tool: Injected failure");
  ExpectNothingLost();
  // The mark shows where the snap-in folder is, as the next check does.
  EXPECT_EQ(f->CheckListBoxSnapins->Checked(user.IndexOfItem(*f->CheckListBoxSnapins, "Tool")),
            refused != "snapins");
  f->VerifyPath(nullptr);
  const int tool = user.IndexOfItem(*f->CheckListBoxSnapins, "Tool");
  ASSERT_GE(tool, 0);
  EXPECT_EQ(f->CheckListBoxSnapins->Checked(tool), refused != "snapins");

  // Once the disk lets it, a click brings the split snap-in together.
  os.ClearFailures();
  if (!f->CheckListBoxSnapins->Checked(tool)) {
    user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Tool");
  } else {
    user.ClickItemText(*f->CheckListBoxSnapins, "Tool");
  }
  for (const char* kind : kKinds) EXPECT_TRUE(Active("Tool", kind)) << kind;
  ExpectNothingLost();
}

INSTANTIATE_TEST_SUITE_P(EachKind, RefusedMove, ::testing::Values(0, 1, 2));

TEST_F(Faults, EveryMoveRefusedDuringCheckAllLeavesTheDiskAsItWas) {
  StartWithTools();
  const auto before = hardening::Tree(base);
  os.FailMoveFolderWhen([](const std::string&) { return true; });
  user.UseMenu(*f->CheckListBoxSnapins, "&Uncheck All");
  const std::string said = f->PanelInfo->Text();
  EXPECT_EQ(said.rfind("   Could not move ", 0), 0u) << said;
  EXPECT_NE(said.find(" folders, the first "), std::string::npos) << said;
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  EXPECT_EQ(hardening::Tree(base), before);
  EXPECT_TRUE(app.MessageBoxes().empty());
  // Nothing moved, so no mark changed either way.
  f->VerifyPath(nullptr);
  const std::vector<bool> disk = CheckedStates();
  user.UseMenu(*f->CheckListBoxSnapins, "&Uncheck All");
  EXPECT_EQ(CheckedStates(), disk);
}

TEST_F(Faults, RefusedInactiveFolderCreationIsSilentAndItsMovesFailHarmlessly) {
  base = MakeInstallation("c1", {{"Keep"}, {}, true, false, false, false});
  tmp.MakeFile("c1/lib/Keep/marker", "Keep lib");
  WriteMachineIni(Lines({"[Paths]", "C1=" + base}));
  contents = hardening::Contents(base);
  os.FailCreateDirectoryWhen([](const std::string& p) { return Contains(p, "inactive.lib"); });
  Start();
  EXPECT_TRUE(Exists("c1/inactive.snapins"));
  EXPECT_FALSE(Exists("c1/inactive.lib"));
  EXPECT_TRUE(Exists("c1/inactive.resources"));
  EXPECT_EQ(Items(), std::vector<std::string>{"Keep"});
  EXPECT_TRUE(app.MessageBoxes().empty());

  // Switching off: the library folder has nowhere to go, so nothing of the
  // snap-in moves (it is not left split), and the line tells why.
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Keep");
  EXPECT_TRUE(Active("Keep", "snapins"));
  EXPECT_TRUE(Exists("c1/lib/Keep/marker"));
  EXPECT_EQ(f->PanelInfo->Text(), "   Could not move 2 folders, the first snapins" + Sep() +
                                      "Keep to inactive.snapins" + Sep() +
                                      "Keep: could not create inactive.lib: Injected failure");
  ExpectNothingLost();
}

// --- a snap-in changed by someone else after the list was made

TEST_F(Faults, SnapinRemovedOrRenamedBeforeTheClick) {
  StartWithTools();
  // Someone renames Tool's snap-in folder and deletes Keep's.
  fs::rename(PathOf("c1/inactive.snapins/Tool"), PathOf("c1/inactive.snapins/Tool2"));
  fs::remove_all(PathOf("c1/snapins/Keep"));
  contents = hardening::Contents(base);

  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Tool");
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Keep");
  // Each kind on its own: the folders still there follow the marks.
  EXPECT_TRUE(Exists("c1/inactive.snapins/Tool2/marker"));
  EXPECT_TRUE(Active("Tool", "lib"));
  EXPECT_TRUE(Inactive("Keep", "lib"));
  EXPECT_FALSE(Exists("c1/snapins/Tool"));
  ExpectNothingLost();
  EXPECT_TRUE(app.MessageBoxes().empty());

  f->VerifyPath(nullptr);
  EXPECT_EQ(Items(), std::vector<std::string>{"Tool2"});
}

// A listing that ends early, as when find-next fails half-way.
class ShortListing : public quillan_test::PlatformDouble {
 public:
  int limit = -1;  // entries delivered per listing; -1: all
  bool ListFolder(const std::string& mask, std::uint32_t attributes,
                  const std::function<bool(const platform::FindEntry&)>& onEntry) override {
    int left = limit;
    return PlatformDouble::ListFolder(mask, attributes, [&](const platform::FindEntry& e) {
      if (e.name.empty() || e.name[0] == '.') return onEntry(e);
      if (left == 0) return false;
      if (left > 0) --left;
      return onEntry(e);
    });
  }
};

TEST_F(Faults, ListingThatStopsHalfWayShowsWhatItGotAndMovesNothing) {
  ShortListing shortOs;
  shortOs.UseOnlyFakeRegistry(true);
  shortOs.SetRegistryString(RegistryRoot::CurrentUser,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            "AppData", PathOf("appdata"));
  shortOs.SetExecutablePath(PathOf("exe") + Sep() + "Quillan.exe");
  shortOs.SetTopLevelWindows({});
  quillan_test::ScopedPlatform scope(shortOs);
  shortOs.limit = 1;
  base = MakeInstallation("c1", {{"A", "B", "C"}, {"D", "E"}, true, false, false, true});
  WriteMachineIni(Lines({"[Paths]", "C1=" + base}));
  const auto before = hardening::Tree(base);
  Start();
  EXPECT_EQ(Items(), (std::vector<std::string>{"A", "D"}));
  EXPECT_TRUE(shortOs.Moves().empty());
  EXPECT_EQ(hardening::Tree(base), before);

  shortOs.limit = -1;
  f->VerifyPath(nullptr);
  EXPECT_EQ(Items(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
}

TEST_F(Faults, FolderRemovedWhileTheListingRuns) {
  base = MakeInstallation("c1", {{"A", "B"}, {}, true, false, false, true});
  WriteMachineIni(Lines({"[Paths]", "C1=" + base}));
  Start();
  // The whole snapins folder disappears while the check yields to input.
  // (Windows refuses to remove a folder that is being listed; that is fine too.)
  user.Meanwhile([&] {
    std::error_code ec;
    fs::remove_all(PathOf("c1/snapins"), ec);
  });
  f->VerifyPath(nullptr);
  f->VerifyPath(nullptr);
  EXPECT_TRUE(Items().empty());
  user.UseMenu(*f->CheckListBoxSnapins, "&Uncheck All");
  EXPECT_TRUE(app.MessageBoxes().empty());
}

// --- the per-user file at close

TEST_F(Faults, ReadOnlyUserFileIsLeftAsItWasAndTheUserIsTold) {
  StartWithTools();
  CloseWindow();
  const std::string saved = UserFile();
  ASSERT_FALSE(saved.empty());

  Start();
  user.Click(*f->CheckBoxKeepOpen);  // a change that must be written
  fs::permissions(UserIniPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifdef _WIN32
  if (std::ofstream(UserIniPath(), std::ios::app)) {
    fs::permissions(UserIniPath(), fs::perms::owner_read | fs::perms::owner_write);
    GTEST_SKIP() << "this system lets the user write a read-only file";
  }
#endif
  CloseWindow();
  fs::permissions(UserIniPath(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(UserFile(), saved);
  ASSERT_EQ(app.MessageBoxes().size(), 1U);
  EXPECT_EQ(app.MessageBoxes()[0].text, "Unable to write to " + UserIniPath());
  EXPECT_EQ(hardening::EntriesOf(PathOf("appdata")), std::vector<std::string>{"Quillan.ini"});
}

TEST_F(Faults, WriteRefusedPartWayLeavesTheFileAllAsBefore) {
  StartWithTools();
  CloseWindow();
  const std::string before = UserFile();
  for (int n = 1; n <= 40; ++n) {
    SCOPED_TRACE(n);
    Start();
    // A new placement too, so its writes are among those refused.
    f->UserMoved(f->Left() + 7, f->Top() + 5);
    f->UserResized(f->Width() + 11, f->Height() + 13);
    user.Click(*f->CheckBoxKeepOpen);
    user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Keep");
    os.FailProfileWriteOnCall(n);
    os.FailProfileEraseOnCall(n);
    const std::size_t boxes = app.MessageBoxes().size();
    CloseWindow();
    os.ClearFailures();
    if (app.MessageBoxes().size() == boxes) {
      // The close made fewer than n writes: nothing was refused, all is new.
      EXPECT_GT(n, 8);
      EXPECT_NE(UserFile(), before);
      EXPECT_TRUE(hardening::IniProblems(UserFile()).empty()) << UserFile();
      break;
    }
    // The close is one replacement: a refusal anywhere, even of the
    // placement that is otherwise passed over, leaves every byte as it was.
    EXPECT_EQ(UserFile(), before);
    ASSERT_EQ(app.MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(app.MessageBoxes().back().text, "Unable to write to " + UserIniPath());
    ExpectNothingLost();
  }
}

TEST_F(Faults, MissingUserFolderAtCloseIsNotCreated) {
  StartWithTools();
  fs::remove_all(PathOf("appdata"));
  CloseWindow();
  EXPECT_FALSE(Exists("appdata"));
  ASSERT_EQ(app.MessageBoxes().size(), 1U);
  EXPECT_EQ(app.MessageBoxes()[0].text, "Unable to write to " + UserIniPath());
}

#ifndef _WIN32
// A user without a home folder (no HOME, no passwd entry) has no
// application-data folder: "/Quillan.ini" would be some file of the system's.
TEST_F(Faults, NoHomeFolderMeansNoPerUserFileAndOneMessageAtClose) {
  os.SetRegistryMissing(platform::RegistryRoot::CurrentUser,
                        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData");
  StartWithTools();
  EXPECT_EQ(f->UserSettings(), nullptr);  // so nothing is read from it
  user.Click(*f->CheckBoxKeepOpen);
  CloseWindow();
  EXPECT_EQ(os.Calls(quillan_test::Op::ProfileWrite) + os.Calls(quillan_test::Op::ProfileEraseSection), 0);
  ASSERT_EQ(app.MessageBoxes().size(), 1U);
  EXPECT_NE(app.MessageBoxes()[0].text.find("No per-user settings file"), std::string::npos);
  EXPECT_TRUE(f->ComboBoxPath->Text() == base);  // the window worked all the same
}
#endif

// --- the machine-wide file and the registry

TEST_F(Faults, UnreadableMachineFileGivesTheDefaults) {
  base = MakeInstallation("c1", {{"Req"}, {}, true, false, false, true});
  // A folder where the file should be: nothing can be read from it.
  MakeFolder("exe/Quillan.ini");
  Start();
  EXPECT_EQ(f->ConsoleOnePath(), TForm1::DefaultConsoleOnePath());
  user.TypeText(*f->ComboBoxPath, base);
  EXPECT_EQ(Items(), std::vector<std::string>{"Req"});
  EXPECT_TRUE(f->CheckListBoxSnapins->ItemEnabled(0));
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Req");
  EXPECT_EQ(f->PanelInfo->Text(), "   ");
  EXPECT_TRUE(Exists("c1/inactive.snapins/Req"));
  EXPECT_TRUE(fs::is_directory(PathOf("exe/Quillan.ini")));
}

TEST_F(Faults, AppDataOfTheWrongTypeLeavesTheWindowWorkingAndWritesNothing) {
  os.SetRegistryWrongType(RegistryRoot::CurrentUser,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                          "AppData");
  StartWithTools();
  EXPECT_EQ(f->UserSettings(), nullptr);
  EXPECT_TRUE(app.MessageBoxes().empty());
  user.TypeText(*f->ComboBoxPath, base);
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Tool");
  EXPECT_TRUE(Active("Tool", "snapins"));
  CloseWindow();
  EXPECT_TRUE(hardening::EntriesOf(PathOf("appdata")).empty());
  EXPECT_TRUE(app.MessageBoxes().empty());
}

TEST_F(Faults, ProgramFilesDirOfTheWrongTypeReachesOnlyThePicker) {
  os.SetRegistryWrongType(RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                          "ProgramFilesDir");
  StartWithTools();
  // The fresh history got its first entry only; the check ran all the same.
  EXPECT_EQ(History(), std::vector<std::string>{base});
  EXPECT_EQ(Items(), (std::vector<std::string>{"Keep", "Tool"}));
  try {
    user.DoubleClick(*f->ComboBoxPath);
    ADD_FAILURE() << "no error";
  } catch (const ERegistryError& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'ProgramFilesDir'");
  }
  CloseWindow();
  EXPECT_TRUE(hardening::IniProblems(UserFile()).empty()) << UserFile();
}
