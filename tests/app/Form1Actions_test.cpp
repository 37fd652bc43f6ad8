// Switching snap-ins, the information line, the path picker and the launches.
#include <filesystem>
#include <functional>

#include "QuillanFixture.h"

class Form1Actions : public QuillanTest {
 protected:
  // An installation "c1" named by the machine-wide file, window shown.
  void StartWith(const Install& layout, const std::string& extraIni = std::string()) {
    base = MakeInstallation("c1", layout);
    WriteMachineIni(IniLines({"[Paths]", "C1=" + base}) + extraIni);
    Start();
  }
  std::string base;
};

TEST_F(Form1Actions, ClickingTheCheckBoxMovesEveryFolderOfTheSnapinBothWays) {
  StartWith({{}, {"Tool"}, true, false, false, true},
            IniLines({"[Snapin Description]", "Tool=First#CRLF#Second"}));
  MakeFolder("c1/inactive.lib/Tool");
  MakeFolder("c1/inactive.resources/Tool");
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Tool");
  EXPECT_TRUE(Exists("c1/snapins/Tool"));
  EXPECT_TRUE(Exists("c1/lib/Tool"));
  EXPECT_TRUE(Exists("c1/resources/Tool"));
  EXPECT_FALSE(Exists("c1/inactive.snapins/Tool"));
  EXPECT_EQ(f->PanelInfo->Text(), "   First\r\nSecond");
  EXPECT_EQ(app.CursorHistory(), (std::vector<ui::TCursor>{ui::TCursor::crHourGlass, ui::TCursor::crDefault}));

  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Tool");
  EXPECT_TRUE(Exists("c1/inactive.snapins/Tool"));
  EXPECT_TRUE(Exists("c1/inactive.lib/Tool"));
  EXPECT_TRUE(Exists("c1/inactive.resources/Tool"));
  EXPECT_FALSE(Exists("c1/snapins/Tool"));
  // Text clicks where disk and mark agree move nothing.
  const std::size_t moves = os.Moves().size();
  user.ClickItemText(*f->CheckListBoxSnapins, "Tool");
  EXPECT_EQ(os.Moves().size(), moves);
}

TEST_F(Form1Actions, ClickRepairsASplitSnapinAndLeavesOccupiedTargets) {
  StartWith({{"Split", "Busy"}, {}, true, false, false, true});
  MakeFolder("c1/inactive.lib/Split");
  MakeFolder("c1/resources/Split");
  MakeFolder("c1/inactive.resources/Busy");
  MakeFolder("c1/resources/Busy");
  user.ClickItemText(*f->CheckListBoxSnapins, "Split");
  EXPECT_TRUE(Exists("c1/lib/Split"));
  EXPECT_FALSE(Exists("c1/inactive.lib/Split"));
  EXPECT_TRUE(Exists("c1/resources/Split"));
  user.ClickItemText(*f->CheckListBoxSnapins, "Busy");
  EXPECT_TRUE(Exists("c1/inactive.resources/Busy"));
  EXPECT_TRUE(Exists("c1/resources/Busy"));
  // The occupied target is said, with the system's reason.
  const std::string from = "inactive.resources" + Sep() + "Busy";
  const std::string to = "resources" + Sep() + "Busy";
  EXPECT_EQ(f->PanelInfo->Text().rfind("   Could not move " + from + " to " + to + ": ", 0), 0u)
      << f->PanelInfo->Text();
  EXPECT_GT(f->PanelInfo->Text().size(), ("   Could not move " + from + " to " + to + ": ").size());
  EXPECT_TRUE(f->CheckListBoxSnapins->Checked(user.IndexOfItem(*f->CheckListBoxSnapins, "Busy")));
}

TEST_F(Form1Actions, FailedMoveIsSaidAndTheMarkShowsTheDisk) {
  StartWith({{}, {"Tool"}, true, false, false, true},
            IniLines({"[Snapin Description]", "Tool=A tool"}));
  MakeFolder("c1/inactive.lib/Tool");
  auto& list = *f->CheckListBoxSnapins;
  // The snap-in folder stays: the mark goes back, the line says why.
  os.SetInjectedErrorText("Read-only file system");
  os.FailMoveFolderOnCall(1);
  user.ClickItemCheckBox(list, "Tool");
  EXPECT_TRUE(Exists("c1/inactive.snapins/Tool"));
  EXPECT_TRUE(Exists("c1/lib/Tool"));  // the next kind still moved
  EXPECT_FALSE(list.Checked(0));
  EXPECT_EQ(f->PanelInfo->Text(), "   Could not move inactive.snapins" + Sep() + "Tool to snapins" +
                                      Sep() + "Tool: Read-only file system");
  EXPECT_TRUE(app.MessageBoxes().empty());

  // Back on: the snap-in folder moves, the library is there already.
  os.ClearFailures();
  user.ClickItemCheckBox(list, "Tool");
  EXPECT_TRUE(Exists("c1/snapins/Tool"));
  EXPECT_TRUE(list.Checked(0));
  EXPECT_EQ(f->PanelInfo->Text(), "   A tool");  // a move that works shows what it always did

  // Only the library refused: the snap-in moved, so the mark holds.
  os.SetInjectedErrorText("Injected failure");
  os.FailMoveFolderWhen([](const std::string& p) { return p.find("lib") != std::string::npos; });
  user.ClickItemCheckBox(list, "Tool");
  EXPECT_TRUE(Exists("c1/inactive.snapins/Tool"));
  EXPECT_TRUE(Exists("c1/lib/Tool"));
  EXPECT_FALSE(list.Checked(0));
  EXPECT_EQ(f->PanelInfo->Text(), "   Could not move lib" + Sep() + "Tool to inactive.lib" + Sep() +
                                      "Tool: Injected failure");
  os.ClearFailures();

  // What the window shows is what the next check and the per-user file show.
  os.FailMoveFolderOnCall(1);
  user.ClickItemCheckBox(list, "Tool");
  const bool shown = list.Checked(0);
  user.TypeText(*f->ComboBoxPath, base);
  EXPECT_EQ(CheckedStates(), std::vector<bool>{shown});
}

TEST_F(Form1Actions, MenuCommandFailingOnSeveralFoldersCountsThemInOneLine) {
  StartWith({{"A"}, {"B", "C"}, true, false, false, true},
            IniLines({"[Snapin Description]", "C=about C"}));
  os.SetInjectedErrorText("Permission denied");
  os.FailMoveFolderWhen([](const std::string& p) { return p.find("inactive.snapins") != std::string::npos; });
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(f->PanelInfo->Text(), "   Could not move 2 folders, the first inactive.snapins" + Sep() +
                                      "B to snapins" + Sep() + "B: Permission denied");
  EXPECT_TRUE(app.MessageBoxes().empty());
  os.ClearFailures();
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(f->PanelInfo->Text(), "   about C");
}

// An inactive folder that should receive one of a snap-in's folders could
// not be created: nothing of that snap-in moves, so it is never left split,
// and the line says why; other snap-ins still move.
struct MissingPlaceCase {
  const char* refused;             // inactive folder whose creation fails
  std::vector<std::string> kinds;  // Keep's folders, "snapins" first
  std::string why;                 // after "<first folder> to <its target>: "; empty: all move
  friend void PrintTo(const MissingPlaceCase& c, std::ostream* out) { *out << "no " << c.refused; }
};

class MissingPlace : public Form1Actions, public ::testing::WithParamInterface<MissingPlaceCase> {};

TEST_P(MissingPlace, NothingOfTheSnapinMovesAndTheLineSaysWhy) {
  const MissingPlaceCase& c = GetParam();
  const std::string refused = c.refused;
  os.SetInjectedErrorText("No space left on device");
  os.FailCreateDirectoryWhen([refused](const std::string& p) { return p.ends_with(refused); });
  StartWith({{"Keep", "Other"}, {}, true, false, false, false});
  for (const std::string& kind : c.kinds) MakeFolder("c1/" + kind + "/Keep");
  auto& list = *f->CheckListBoxSnapins;
  const int keep = user.IndexOfItem(list, "Keep");
  user.ClickItemCheckBox(list, "Keep");

  const bool moved = c.why.empty();
  for (const std::string& kind : c.kinds) {
    EXPECT_EQ(Exists("c1/" + kind + "/Keep"), !moved) << kind;
    EXPECT_EQ(Exists("c1/inactive." + kind + "/Keep"), moved) << kind;
  }
  EXPECT_EQ(list.Checked(keep), !moved);
  const std::string first = c.kinds[0] + Sep() + "Keep to inactive." + c.kinds[0] + Sep() + "Keep";
  const std::string count =
      c.kinds.size() == 1 ? "" : std::to_string(c.kinds.size()) + " folders, the first ";
  EXPECT_EQ(f->PanelInfo->Text(), moved ? "   " : "   Could not move " + count + first + ": " + c.why);
  EXPECT_TRUE(app.MessageBoxes().empty());
  // Another snap-in is not held back by Keep's missing folder.
  if (refused != "inactive.snapins") {
    user.ClickItemCheckBox(list, "Other");
    EXPECT_TRUE(Exists("c1/inactive.snapins/Other"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachFolder, MissingPlace,
    ::testing::Values(
        MissingPlaceCase{"inactive.lib", {"snapins", "lib"}, "could not create inactive.lib: No space left on device"},
        MissingPlaceCase{"inactive.resources", {"snapins", "lib", "resources"},
                         "could not create inactive.resources: No space left on device"},
        MissingPlaceCase{"inactive.snapins", {"snapins"}, "could not create inactive.snapins: No space left on device"},
        // Not needed by this snap-in: its folders move as always.
        MissingPlaceCase{"inactive.resources", {"snapins", "lib"}, ""}));

// What the check saw can change before the click: a receiving folder
// removed, an active folder that was never there, the lock held by another
// run (quillanctl). Nothing of the snap-in moves, the mark shows the disk,
// and the line says why.
TEST_F(Form1Actions, ASwitchThatCannotBeWholeMovesNothingAndSaysWhy) {
  struct Case {
    const char* what;
    bool active;                      // where Keep's folders are
    std::function<void()> afterCheck;
    std::string said;                 // after the three spaces
  };
  const std::string s = Sep();
  // The lock's case last: the double keeps answering for it.
  const Case cases[] = {
      {"inactive.lib removed", true, [&] { std::filesystem::remove_all(PathOf("c1/inactive.lib")); },
       "Could not move 2 folders, the first snapins" + s + "Keep to inactive.snapins" + s +
           "Keep: no folder inactive.lib"},
      {"no active lib folder", false, [&] { std::filesystem::remove_all(PathOf("c1/lib")); },
       "Could not move 2 folders, the first inactive.snapins" + s + "Keep to snapins" + s + "Keep: no folder lib"},
      {"another run holds the lock", true,
       [&] {
         os.FakeFolderLock({platform::FolderLock::Kind::Busy, 0, PathOf("c1/.quillan.lock"), "held by another run"});
       },
       "Nothing was moved: cannot lock " + PathOf("c1/.quillan.lock") + ": held by another run"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(PathOf("c1"));
    StartWith({c.active ? std::vector<std::string>{"Keep"} : std::vector<std::string>{},
               c.active ? std::vector<std::string>{} : std::vector<std::string>{"Keep"}, true, false, false, true});
    const std::string place = c.active ? "c1/" : "c1/inactive.";
    MakeFolder(place + "lib/Keep");
    c.afterCheck();
    const std::size_t moves = os.Moves().size();
    auto& list = *f->CheckListBoxSnapins;
    user.ClickItemCheckBox(list, "Keep");
    EXPECT_EQ(os.Moves().size(), moves);
    EXPECT_TRUE(Exists(place + "snapins/Keep"));
    EXPECT_TRUE(Exists(place + "lib/Keep"));
    EXPECT_EQ(list.Checked(user.IndexOfItem(list, "Keep")), c.active);
    EXPECT_EQ(f->PanelInfo->Text(), "   " + c.said);
    // Selecting it again moves nothing, so it takes no lock: it neither
    // waits for another run nor complains to a user who may only read.
    const int locks = os.Calls(quillan_test::Op::LockFolder);
    user.ClickItemText(list, "Keep");
    EXPECT_EQ(os.Calls(quillan_test::Op::LockFolder), locks);
    EXPECT_EQ(f->PanelInfo->Text(), "   ");
    form.reset();
    Form1 = nullptr;
  }
}

TEST_F(Form1Actions, SpaceSwitchesLikeAClickOnTheMark) {
  StartWith({{"A"}, {"B"}, true, false, false, true},
            IniLines({"[Required Snapins]", "1=A", "[Snapin Description]", "B=about B"}));
  auto& list = *f->CheckListBoxSnapins;
  // Nothing selected yet: space does nothing, a click acts on nothing.
  user.PressSpace(list);
  f->CheckListBoxSnapinsClick(&list);
  EXPECT_TRUE(os.Moves().empty());
  EXPECT_EQ(f->PanelInfo->Text(), "");
  EXPECT_EQ(app.CursorHistory().back(), ui::TCursor::crDefault);

  user.SelectWithKeyboard(list, "B");  // selecting alone moves nothing
  EXPECT_TRUE(os.Moves().empty());
  user.PressSpace(list);
  EXPECT_TRUE(list.Checked(1));
  EXPECT_TRUE(Exists("c1/snapins/B"));
  EXPECT_EQ(f->PanelInfo->Text(), "   about B");
  user.PressSpace(list);
  EXPECT_FALSE(list.Checked(1));
  EXPECT_TRUE(Exists("c1/inactive.snapins/B"));

  // A required (disabled) entry: space neither toggles nor moves.
  const std::size_t moves = os.Moves().size();
  user.SelectWithKeyboard(list, "A");
  user.PressSpace(list);
  EXPECT_TRUE(list.Checked(0));
  EXPECT_EQ(os.Moves().size(), moves);
  // The per-user file keeps what the disk says.
  CloseWindow();
  EXPECT_EQ(UserValue("Settings Form1 CheckListBoxSnapins", "B"), "0");
  EXPECT_EQ(UserValue("Settings Form1 CheckListBoxSnapins", "A"), "1");
}

TEST_F(Form1Actions, TypingAPathKeepsTheKeyboardInThePathBox) {
  StartWith({{"A"}, {}, true, false, false, true});
  MakeInstallation("srv/c1 test", {{"Spaced"}, {}, true, false, false, true});
  MakeInstallation("srv/c1", {{"Prefix"}, {}, true, false, false, true});
  EXPECT_TRUE(f->BitBtnC1->Focused());  // at start
  // "srv/c1" on the way is an installation; the space must not start it.
  user.TypeText(*f->ComboBoxPath, PathOf("srv/c1 test"));
  EXPECT_TRUE(os.ShellCalls().empty());
  EXPECT_FALSE(app.Terminated());
  EXPECT_EQ(f->ComboBoxPath->Text(), PathOf("srv/c1 test"));
  EXPECT_EQ(Items(), (std::vector<std::string>{"Spaced"}));
  EXPECT_TRUE(f->ComboBoxPath->Focused());
  // A pick from the history hands the keyboard to the start button.
  user.PickEntry(*f->ComboBoxPath, base);
  EXPECT_TRUE(f->BitBtnC1->Focused());
  user.TypeText(*f->ComboBoxPath, PathOf("srv/c1"));
  EXPECT_TRUE(f->ComboBoxPath->Focused());
  // So does the file dialog.
  user.WillChooseFile(base + Sep() + "bin" + Sep() + "ConsoleOne.exe");
  user.DoubleClick(*f->ComboBoxPath);
  EXPECT_EQ(f->ComboBoxPath->Text(), base);
  EXPECT_TRUE(f->BitBtnC1->Focused());
}

TEST_F(Form1Actions, WindowStopsShrinkingWhereEveryControlIsWhole) {
  StartWith({{"A"}, {}, true, false, false, true});
  f->UserResized(100, 60);
  EXPECT_EQ(f->ClientWidth(), 368);
  auto whole = [&](const ui::TControl* c) {
    EXPECT_GT(c->Width(), 0) << c->Name();
    EXPECT_GT(c->Height(), 0) << c->Name();
    EXPECT_LE(c->Left() + c->Width(), c->Parent()->ClientWidth()) << c->Name();
    EXPECT_LE(c->Top() + c->Height(), c->Parent()->ClientHeight()) << c->Name();
  };
  for (const ui::TControl* c : std::vector<const ui::TControl*>{f->ComboBoxPath, f->Label1,
                                f->CheckBoxKeepOpen, f->BitBtnRC, f->BitBtnC1, f->CheckListBoxSnapins}) {
    whole(c);
  }
  // The designed sizes of the captions, and a list of at least six rows.
  EXPECT_EQ(f->BitBtnC1->Width(), 210);
  EXPECT_EQ(f->Label1->Width(), 189);
  EXPECT_GE(f->CheckListBoxSnapins->RowsPerColumn(), 6);
  EXPECT_LE(f->StatusBar1->Top() + f->StatusBar1->Height(), f->ClientHeight());
  EXPECT_GE(f->PanelBottom->Top(), f->PanelInfo->Top() + f->PanelInfo->Height());
  // Growing still works; a restored size below the minimum is raised to it.
  f->UserResized(500, 600);
  EXPECT_EQ(f->CheckListBoxSnapins->Width(), 345 + 132);
  f->SetBounds(0, 0, 10, 10);
  EXPECT_EQ(f->ClientWidth(), 368);
  EXPECT_EQ(f->ClientHeight(), f->MinClientHeight());
}

TEST_F(Form1Actions, MenuCommandsSwitchEveryEnabledItem) {
  StartWith({{"A"}, {"B", "C"}, true, false, false, true},
            IniLines({"[Snapin Description]", "A=about A", "C=about C"}));
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, true, true}));
  EXPECT_TRUE(Exists("c1/snapins/B"));
  EXPECT_TRUE(Exists("c1/snapins/C"));
  EXPECT_EQ(f->PanelInfo->Text(), "   about C");
  EXPECT_TRUE(app.CursorHistory().empty());  // no busy cursor for the menu

  user.UseMenu(*f->CheckListBoxSnapins, "&Uncheck All");
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{false, false, false}));
  EXPECT_TRUE(Exists("c1/inactive.snapins/A"));
  EXPECT_FALSE(Exists("c1/snapins/A"));

  // An empty list: nothing at all.
  user.TypeText(*f->ComboBoxPath, "nowhere");
  const std::size_t moves = os.Moves().size();
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  EXPECT_EQ(os.Moves().size(), moves);
}

TEST_F(Form1Actions, HoveringShowsHintsAndDescriptions) {
  StartWith({{"Described", "Plain"}, {}, true, false, false, true},
            IniLines({"[Snapin Description]", "Described=Does things"}));
  user.HoverAt(*f->CheckBoxKeepOpen, 3, 3);
  EXPECT_EQ(f->PanelInfo->Text(), "   Keep this application open after launching C1?");
  user.HoverOverItem(*f->CheckListBoxSnapins, "Described");
  EXPECT_EQ(f->PanelInfo->Text(), "   Does things");
  user.HoverOverItem(*f->CheckListBoxSnapins, "Plain");
  EXPECT_EQ(f->PanelInfo->Text(), "   Plain");
  // The entry's tool tip: its description, else the list's hint.
  EXPECT_EQ(f->CheckListBoxSnapins->ItemHint(0), "Does things");
  EXPECT_EQ(f->CheckListBoxSnapins->ItemHint(1), f->CheckListBoxSnapins->Hint());
  EXPECT_EQ(f->CheckListBoxSnapins->ItemHint(2), f->CheckListBoxSnapins->Hint());
  // Below the last entry, and in the empty second column.
  user.HoverAt(*f->CheckListBoxSnapins, 5, 3 * 16 + 2);
  EXPECT_EQ(f->PanelInfo->Text(), "   ");
  user.HoverOverItem(*f->CheckListBoxSnapins, "Plain");
  user.HoverAt(*f->CheckListBoxSnapins, f->CheckListBoxSnapins->ClientWidth() - 5, 2);
  EXPECT_EQ(f->PanelInfo->Text(), "   ");
  user.HoverAt(*f->BitBtnC1, 1, 1);
  EXPECT_EQ(f->PanelInfo->Text(), "   " + f->BitBtnC1->Hint());
  user.HoverAt(*f, 1, 1);
  EXPECT_EQ(f->PanelInfo->Text(), "   ");
  // Controls without a handler leave the line alone.
  user.HoverAt(*f->ComboBoxPath, 1, 1);
  EXPECT_EQ(f->PanelInfo->Text(), "   ");
}

TEST_F(Form1Actions, TwoColumnListFindsItemsInTheSecondColumn) {
  std::vector<std::string> names;
  for (int i = 0; i < 20; ++i) names.push_back("S" + std::to_string(100 + i));
  StartWith({names, {}, true, false, false, true});
  auto& list = *f->CheckListBoxSnapins;
  const int rows = list.RowsPerColumn();
  ASSERT_EQ(rows, 233 / 16);
  EXPECT_EQ(list.ItemAtPos(list.ClientWidth() / 2 + 3, 1), rows);
  EXPECT_EQ(list.ItemAtPos(list.ClientWidth() / 2 + 3, (20 - rows) * 16 + 1), -1);
  user.HoverAt(list, list.ClientWidth() / 2 + 3, 16 + 1);
  EXPECT_EQ(f->PanelInfo->Text(), "   " + list.ItemText(rows + 1));
}

TEST_F(Form1Actions, PathPickerAcceptsConsoleOneExeAndDropsOnlyAFinalBinFolder) {
  StartWith({{"A"}, {}, true, false, false, true});
  const std::string programs = PathOf("programs");
  const std::string exe = base + Sep() + "bin" + Sep() + "ConsoleOne.exe";
  user.WillChooseFile(exe);
  user.DoubleClick(*f->ComboBoxPath);
  ASSERT_EQ(app.OpenDialogs().size(), 1u);
  EXPECT_EQ(app.OpenDialogs()[0].initialDir, programs);
  EXPECT_EQ(app.OpenDialogs()[0].fileName, "ConsoleOne");
  EXPECT_EQ(f->ComboBoxPath->Text(), base);
  EXPECT_EQ(f->Label1->Text(), "");

  // An installation below a folder whose name starts with "bin".
  const std::string binaries = MakeInstallation("Binaries/c2", {{"Z"}, {}, true, false, false, true});
  user.WillChooseFile(binaries + Sep() + "BIN" + Sep() + "CONSOLEONE.EXE");
  user.DoubleClick(*f->ComboBoxPath);
  EXPECT_EQ(app.OpenDialogs()[1].initialDir, base + Sep() + "bin" + Sep());
  EXPECT_EQ(f->ComboBoxPath->Text(), binaries);
  EXPECT_EQ(Items(), (std::vector<std::string>{"Z"}));

  // Another file, then a cancel: back to the last verified path.
  user.WillChooseFile(binaries + Sep() + "bin" + Sep() + "RConJ.exe");
  user.DoubleClick(*f->ComboBoxPath);
  EXPECT_EQ(f->ComboBoxPath->Text(), binaries);
  user.WillCancelDialog();
  user.DoubleClick(*f->ComboBoxPath);
  EXPECT_EQ(app.OpenDialogs()[3].initialDir, programs);
  EXPECT_EQ(f->ComboBoxPath->Text(), binaries);
  EXPECT_EQ(Items(), (std::vector<std::string>{"Z"}));
}

TEST(FolderWithoutBin, RemovesOnlyAWholeFinalBinFolder) {
  const std::string s(1, D_Util::NativeSeparator());
  auto p = [&](std::initializer_list<const char*> parts, bool trailing) {
    std::string out;
    for (const char* x : parts) out += (out.empty() ? "" : s) + x;
    return trailing ? out + s : out;
  };
  EXPECT_EQ(TForm1::FolderWithoutBin(p({"D:", "Novell", "ConsoleOne", "1.2", "bin"}, true)),
            p({"D:", "Novell", "ConsoleOne", "1.2"}, false));
  EXPECT_EQ(TForm1::FolderWithoutBin(p({"E:", "Apps", "BIN"}, true)), p({"E:", "Apps"}, false));
  EXPECT_EQ(TForm1::FolderWithoutBin(p({"F:", "Tools"}, true)), p({"F:", "Tools"}, false));
  EXPECT_EQ(TForm1::FolderWithoutBin(p({"C:", "Binaries", "Novell", "1.2", "bin"}, true)),
            p({"C:", "Binaries", "Novell", "1.2"}, false));
  EXPECT_EQ(TForm1::FolderWithoutBin(p({"C:", "Binaries"}, true)), p({"C:", "Binaries"}, false));
  EXPECT_EQ(TForm1::FolderWithoutBin(p({"C:", "mybin"}, true)), p({"C:", "mybin"}, false));
  EXPECT_EQ(TForm1::FolderWithoutBin(""), "");
}

TEST_F(Form1Actions, StartButtonsLaunchAndCloseUnlessKeptOpen) {
  StartWith({{"A"}, {}, true, false, true, true});
  user.Click(*f->CheckBoxKeepOpen);
  user.Click(*f->BitBtnRC);
  ASSERT_EQ(os.ShellCalls().size(), 1u);
  // The shell gets the short form of the executable (the path itself where
  // there are no short names) and its folder.
  const std::string binFolder = base + Sep() + "bin" + Sep();
  const std::string rconj = D_Util::ToShortPath(binFolder + "RConJ.exe");
  EXPECT_EQ(os.ShellCalls()[0].file, rconj);
  EXPECT_EQ(os.ShellCalls()[0].parameters, "");
  EXPECT_EQ(os.ShellCalls()[0].folder, rconj.substr(0, rconj.rfind(Sep()) + 1));
  EXPECT_EQ(os.ShellCalls()[0].showMode, 1);
  EXPECT_FALSE(app.Terminated());
  EXPECT_EQ(Items(), (std::vector<std::string>{"A"}));

  // The status bar never closes the window.
  user.Click(*f->CheckBoxKeepOpen);
  user.Click(*f->StatusBar1);
  ASSERT_EQ(os.ShellCalls().size(), 2u);
  EXPECT_EQ(os.ShellCalls()[1].file, f->StatusBar1->Text());
  EXPECT_FALSE(app.Terminated());

  user.Click(*f->BitBtnC1);
  ASSERT_EQ(os.ShellCalls().size(), 3u);
  EXPECT_EQ(os.ShellCalls()[2].file, D_Util::ToShortPath(binFolder + "ConsoleOne.exe"));
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(UserValue("Settings Form1", "CheckBoxKeepOpen"), "0");
}

TEST_F(Form1Actions, AltSOnlyMovesTheFocusBetweenTheStartButtons) {
  StartWith({{"A"}, {}, true, false, true, true});
  ASSERT_TRUE(f->BitBtnC1->Focused());
  ASSERT_TRUE(f->BitBtnRC->Enabled());
  // Both captions are "&Start ...": each press goes to the next enabled one,
  // wrapping; once RConJ's button is disabled it still counts as a sharer.
  for (const bool rconj : {true, false}) {
    SCOPED_TRACE(rconj ? "with RConJ" : "RConJ's button disabled");
    f->BitBtnRC->SetEnabled(rconj);
    f->BitBtnC1->SetFocus();
    const std::vector<ui::TWinControl*> expected =
        rconj ? std::vector<ui::TWinControl*>{f->BitBtnRC, f->BitBtnC1, f->BitBtnRC}
              : std::vector<ui::TWinControl*>{f->BitBtnC1, f->BitBtnC1};
    for (ui::TWinControl* next : expected) {
      EXPECT_TRUE(f->UserMnemonic('s'));
      EXPECT_EQ(f->ActiveControl(), next);
    }
    f->CheckListBoxSnapins->SetFocus();
    EXPECT_TRUE(f->UserMnemonic('S'));
    EXPECT_EQ(f->ActiveControl(), rconj ? f->BitBtnRC : f->BitBtnC1);
    EXPECT_FALSE(f->UserMnemonic('k'));  // "Keep Quillan Open" has none
    EXPECT_TRUE(os.ShellCalls().empty());
    EXPECT_FALSE(app.Terminated());
  }
}

TEST_F(Form1Actions, FailedStartStillClosesTheWindow) {
  StartWith({{"A"}, {}, true, false, false, true});
  os.RecordShellExecute(2);
  user.Click(*f->BitBtnC1);
  EXPECT_TRUE(app.Terminated());
  EXPECT_TRUE(app.MessageBoxes().empty());
}
