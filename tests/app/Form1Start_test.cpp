// Creating, showing and closing the main window; the path check.
#include "QuillanFixture.h"

#include <functional>
#include <optional>

#include "lib/D_Ini.h"
#include "lib/Errors.h"

using ui::TAlign;

TEST_F(QuillanTest, WindowIsDeclaredWithEveryControlInPlace) {
  TForm1 window;
  EXPECT_EQ(window.Name(), "Form1");
  EXPECT_EQ(window.Caption(), "Quillan");
  EXPECT_EQ(window.FontName(), "MS Sans Serif");
  EXPECT_EQ(window.FontHeight(), 14);
  EXPECT_EQ(window.Left(), 369);
  EXPECT_EQ(window.Top(), 332);
  EXPECT_EQ(window.Width(), 376);
  EXPECT_EQ(window.Height(), 453);

  struct Expect {
    ui::TControl* c;
    const char* name;
    ui::TControl* parent;
    int l, t, w, h, tab;
  };
  const Expect rows[] = {
      {window.PanelTop, "PanelTop", &window, 0, 0, 368, 113, 0},
      {window.ComboBoxPath, "ComboBoxPath", window.PanelTop, 10, 9, 351, 24, 0},
      {window.Label1, "Label1", window.PanelTop, 172, 39, 189, 16, -1},
      {window.CheckBoxKeepOpen, "CheckBoxKeepOpen", window.PanelTop, 14, 39, 148, 21, 1},
      {window.BitBtnRC, "BitBtnRC", window.PanelTop, 231, 70, 122, 40, 2},
      {window.BitBtnC1, "BitBtnC1", window.PanelTop, 10, 70, 210, 40, 3},
      {window.PanelInfo, "PanelInfo", &window, 0, 113, 368, 28, 1},
      {window.PanelBottom, "PanelBottom", &window, 0, 141, 368, 251, 2},
      {window.CheckListBoxSnapins, "CheckListBoxSnapins", window.PanelBottom, 12, 8, 345, 233, 0},
      {window.StatusBar1, "StatusBar1", &window, 0, 392, 368, 19, -1},
  };
  for (const Expect& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.c->Name(), r.name);
    EXPECT_EQ(r.c->Parent(), r.parent);
    EXPECT_EQ(r.c->Left(), r.l);
    EXPECT_EQ(r.c->Top(), r.t);
    EXPECT_EQ(r.c->Width(), r.w);
    EXPECT_EQ(r.c->Height(), r.h);
    EXPECT_EQ(r.c->TabOrder(), r.tab);
  }
  EXPECT_EQ(window.PanelBottom->Align(), TAlign::alClient);
  EXPECT_EQ(window.StatusBar1->Align(), TAlign::alBottom);
  EXPECT_EQ(window.BitBtnRC->Anchors(), unsigned{ui::akTop | ui::akRight});
  EXPECT_EQ(window.ComboBoxPath->Text(), "");
  EXPECT_EQ(window.Label1->Text(), "_________");
  EXPECT_EQ(window.CheckBoxKeepOpen->Text(), "Keep Quillan Open");
  EXPECT_EQ(window.BitBtnC1->Hint(), "Launch ConsoleOne");
  EXPECT_EQ(window.BitBtnRC->Hint(), "Launch RConJ");
  // The path box's example is a path of this system.
#ifdef _WIN32
  const char* const example = "(e.g., \"C:\\Novell\\ConsoleOne\\1.3\")";
#else
  const char* const example = "(e.g., \"/opt/novell/consoleone/1.3\")";
#endif
  EXPECT_EQ(window.ComboBoxPath->Hint(),
            std::string("Enter the ConsoleOne base path ") + example + " - double-click for file dialog");
  EXPECT_FALSE(window.BitBtnC1->Enabled());
  EXPECT_FALSE(window.BitBtnRC->Enabled());
  EXPECT_TRUE(window.CheckListBoxSnapins->Sorted());
  EXPECT_EQ(window.CheckListBoxSnapins->Columns(), 2);
  EXPECT_EQ(window.CheckListBoxSnapins->PopupMenu(), window.PopupMenu1);
  ASSERT_EQ(window.PopupMenu1->Items().size(), 2u);
  EXPECT_EQ(window.PopupMenu1->Items()[0]->Caption(), "&Check All");
  EXPECT_EQ(window.PopupMenu1->Items()[1]->Caption(), "&Uncheck All");
  EXPECT_EQ(window.StatusBar1->Cursor(), ui::TCursor::crHandPoint);
#ifdef _WIN32
  EXPECT_EQ(window.OpenDialog->Filter, "ConsoleOne|consoleone.exe|All Files|*.*");
#else
  EXPECT_EQ(window.OpenDialog->Filter, "ConsoleOne|ConsoleOne;ConsoleOne.exe;consoleone.exe|All Files|*.*");
#endif
  EXPECT_EQ(window.PanelInfo->Alignment(), ui::TAlignment::taLeftJustify);

  // Growing the window stretches the path box and the list, moves BitBtnRC.
  window.UserResized(368 + 100, 411 + 50);
  EXPECT_EQ(window.ComboBoxPath->Width(), 451);
  EXPECT_EQ(window.BitBtnRC->Left(), 331);
  EXPECT_EQ(window.CheckBoxKeepOpen->Width(), 148);
  EXPECT_EQ(window.CheckListBoxSnapins->Width(), 445);
  EXPECT_EQ(window.CheckListBoxSnapins->Height(), 283);
  EXPECT_EQ(window.StatusBar1->Top(), 442);
  // Shrinking past zero and back restores the design exactly.
  window.UserResized(20, 20);
  window.UserResized(368, 411);
  EXPECT_EQ(window.ComboBoxPath->Width(), 351);
  EXPECT_EQ(window.BitBtnRC->Left(), 231);
  EXPECT_EQ(window.CheckListBoxSnapins->Height(), 233);
}

TEST_F(QuillanTest, FirstStartWithoutSettingsFillsTwoHistoryEntriesAndVerifies) {
  Start();
  const std::string second = PathOf("programs") + Sep() + "Novell" + Sep() + "ConsoleOne" + Sep() + "1.2";
  EXPECT_EQ(History(), (std::vector<std::string>{TForm1::DefaultConsoleOnePath(), second}));
  EXPECT_EQ(f->ComboBoxPath->Text(), TForm1::DefaultConsoleOnePath());
  EXPECT_EQ(f->Label1->Text(), "Invalid path");
  EXPECT_TRUE(app.MessageBoxes().empty());
}

TEST_F(QuillanTest, MachineWidePathBecomesFirstEntryAndIsListed) {
  const std::string base = MakeInstallation("c1", {{"Zeta", "alpha"}, {"Beta"}, true, false, false, false});
  WriteMachineIni(IniLines({"[Paths]", "C1=" + base}));
  Start();
  EXPECT_EQ(f->ConsoleOnePath(), base);
  EXPECT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[0], base);
  EXPECT_EQ(f->Label1->Text(), "");
  EXPECT_EQ(Items(), (std::vector<std::string>{"alpha", "Beta", "Zeta"}));
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, false, true}));
  EXPECT_TRUE(f->BitBtnC1->Enabled());
  EXPECT_TRUE(f->BitBtnC1->Focused());
  EXPECT_EQ(f->ConsoleOneExe(), base + Sep() + "bin" + Sep() + "ConsoleOne.exe");
  EXPECT_EQ(f->BitBtnC1->Hint(), "Launch ConsoleOne.exe (" + f->ConsoleOneExe() + ")");
  EXPECT_FALSE(f->BitBtnRC->Enabled());
  EXPECT_EQ(f->BitBtnRC->Hint(), "Cannot find \"" + base + Sep() + "bin" + Sep() + NativeName("RConJ") + "\"");
  // The missing inactive folders are created.
  EXPECT_TRUE(Exists("c1/inactive.snapins"));
  EXPECT_TRUE(Exists("c1/inactive.lib"));
  EXPECT_TRUE(Exists("c1/inactive.resources"));
  EXPECT_EQ(f->ActiveSnapins().Count(), 2);
  EXPECT_EQ(f->InactiveSnapins().Count(), 1);

  // Picking a path that is no installation disables the focused start
  // button: the keyboard goes where the result is said and can be mended.
  user.PickEntry(*f->ComboBoxPath, History()[1]);
  EXPECT_EQ(f->Label1->Text(), "Invalid path");
  EXPECT_TRUE(f->ComboBoxPath->Focused());
  EXPECT_EQ(f->PanelInfo->Announced(), "   Invalid path: expected a folder with bin" + Sep() + NativeName("ConsoleOne"));
}

TEST_F(QuillanTest, TrailingSeparatorIsDroppedAndTheFolderRemembered) {
  const std::string base = MakeInstallation("c1", {{"A"}, {}, true, true, true, true});
  Start();
  user.TypeText(*f->ComboBoxPath, base + Sep());
  EXPECT_EQ(f->ComboBoxPath->Text(), base);
  EXPECT_EQ(f->ConsoleOnePath(), base);
  EXPECT_EQ(History()[0], base);
  // RConJ in the base folder wins over the one in bin.
  EXPECT_EQ(f->RConJExe(), base + Sep() + "RConJ.exe");
  EXPECT_TRUE(f->BitBtnRC->Enabled());
  EXPECT_EQ(f->BitBtnRC->Hint(), "Launch RConJ.exe (" + base + Sep() + "RConJ.exe)");
}

TEST_F(QuillanTest, TypingKeyByKeyVerifiesEveryIntermediateText) {
  const std::string base = MakeInstallation("c1", {{"A"}, {}, true, false, true, false});
  Start();
  std::vector<std::string> labels;
  std::vector<std::string> paths;
  // Watch every check through the label it leaves.
  f->ComboBoxPath->SetFocus();
  // A screen reader hears a failed check when the outcome changes, not on
  // every key of a path that stays invalid.
  const auto kind = [](const std::string& label) { return label.empty() ? 0 : label == "Invalid path" ? 1 : 2; };
  int expectedAnnouncements = 0;
  const int announcements = f->PanelInfo->Announcements();
  for (std::size_t n = 1; n <= base.size(); ++n) {
    const int before = kind(f->Label1->Text());
    f->ComboBoxPath->UserEdit(base.substr(0, n));
    labels.push_back(f->Label1->Text());
    paths.push_back(f->ConsoleOnePath());
    if (kind(labels.back()) != before && kind(labels.back()) != 0) ++expectedAnnouncements;
  }
  EXPECT_GE(expectedAnnouncements, 2);
  EXPECT_EQ(f->PanelInfo->Announcements() - announcements, expectedAnnouncements);
  EXPECT_EQ(f->PanelInfo->Text(), "   ");  // the last failure said is no longer true
  // The parent folder of the installation is an existing folder without ConsoleOne.
  const std::size_t parentLen = tmp.Path().size();
  EXPECT_EQ(labels[parentLen - 1],
            tmp.Path() + Sep() + "bin" + Sep() + NativeName("ConsoleOne") + " not Found");
  EXPECT_EQ(paths[parentLen - 1], tmp.Path());
  // A trailing separator is accepted: "<tmp>/" is still the parent folder.
  EXPECT_EQ(labels[parentLen], labels[parentLen - 1]);
  EXPECT_EQ(labels[parentLen + 1], "Invalid path");
  EXPECT_FALSE(Exists("inactive.snapins"));  // nothing created outside an installation
  EXPECT_EQ(labels.back(), "");
  EXPECT_TRUE(f->ComboBoxPath->Focused());  // typing never hands the keyboard away
  EXPECT_TRUE(Exists("c1/inactive.lib"));
  EXPECT_EQ(f->RConJExe(), base + Sep() + "bin" + Sep() + "RConJ.exe");
  EXPECT_TRUE(f->BitBtnRC->Enabled());

  // Emptying the box brings back the last verified path.
  user.TypeText(*f->ComboBoxPath, "");
  EXPECT_EQ(f->ComboBoxPath->Text(), base);
  EXPECT_EQ(Items(), (std::vector<std::string>{"A"}));
}

TEST_F(QuillanTest, LinuxAndWindowsLayoutsAreListedAndStarted) {
  const std::string win = MakeInstallation("win", {{"W"}, {}, true, true, false, true});
  const std::string lin = MakeInstallation("lin", {{"Eta"}, {"Theta"}, true, false, true, true, true});
  const std::string bin = lin + Sep() + "bin" + Sep();
  WriteMachineIni(IniLines({"[Paths]", "C1=" + lin}));
  Start();
#ifdef _WIN32
  // Windows knows only its own names.
  EXPECT_EQ(f->Label1->Text(), bin + "ConsoleOne.exe not Found");
  EXPECT_TRUE(Items().empty());
#else
  // ConsoleOne for Linux: bin/ConsoleOne, a script.
  EXPECT_EQ(f->Label1->Text(), "");
  EXPECT_EQ(Items(), (std::vector<std::string>{"Eta", "Theta"}));
  EXPECT_EQ(f->ConsoleOneExe(), bin + "ConsoleOne");
  EXPECT_EQ(f->BitBtnC1->Hint(), "Launch ConsoleOne (" + bin + "ConsoleOne)");
  EXPECT_EQ(f->BitBtnRC->Hint(), "Launch RConJ (" + bin + "RConJ)");
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Theta");
  EXPECT_TRUE(Exists("lin/snapins/Theta"));
  user.Click(*f->CheckBoxKeepOpen);
  user.Click(*f->BitBtnC1);
  ASSERT_EQ(os.ShellCalls().size(), 1u);
  EXPECT_EQ(os.ShellCalls()[0].file, bin + "ConsoleOne");
  EXPECT_EQ(os.ShellCalls()[0].folder, bin);
  // With both names present the native one wins.
  tmp.MakeFile("lin/bin/ConsoleOne.exe", "exe");
  user.TypeText(*f->ComboBoxPath, lin);
  EXPECT_EQ(f->ConsoleOneExe(), bin + "ConsoleOne");
#endif
  // A Windows installation (on a mounted share) is still listed and started.
  user.TypeText(*f->ComboBoxPath, win);
  EXPECT_EQ(f->Label1->Text(), "");
  EXPECT_EQ(Items(), (std::vector<std::string>{"W"}));
  EXPECT_EQ(f->ConsoleOneExe(), win + Sep() + "bin" + Sep() + "ConsoleOne.exe");
  EXPECT_EQ(f->BitBtnC1->Hint(), "Launch ConsoleOne.exe (" + f->ConsoleOneExe() + ")");
  EXPECT_EQ(f->BitBtnRC->Hint(), "Launch RConJ.exe (" + win + Sep() + "RConJ.exe)");
}

// Every name is tried in both folders before the next name: on Linux a
// Windows RConJ.exe in the base folder never wins over bin/RConJ.
TEST_F(QuillanTest, RConJIsTheFirstNameFoundInEitherFolder) {
  struct Case {
    std::vector<std::string> files;  // under the base folder
    std::string expected;            // relative; empty: none found
  } cases[] = {
#ifndef _WIN32
      {{"RConJ.exe", "bin/RConJ"}, "bin/RConJ"},
      {{"RConJ", "bin/RConJ"}, "RConJ"},
      {{"bin/RConJ.exe", "bin/RConJ"}, "bin/RConJ"},
      {{"RConJ.exe", "bin/RConJ.exe", "bin/RConJ"}, "bin/RConJ"},
#endif
      {{"RConJ.exe", "bin/RConJ.exe"}, "RConJ.exe"},
      {{"bin/RConJ.exe"}, "bin/RConJ.exe"},
      {{}, ""},
  };
  Start();
  for (const Case& c : cases) {
    const std::string name = "c" + std::to_string(&c - cases);
    SCOPED_TRACE(name);
    const std::string base = MakeInstallation(name, {{"A"}, {}, true, false, false, true});
    for (const std::string& file : c.files) tmp.MakeFile(name + "/" + file, "exe");
    user.TypeText(*f->ComboBoxPath, base);
    const std::string found = c.expected.empty() ? "" : PathOf(name + "/" + c.expected);
    EXPECT_EQ(f->BitBtnRC->Enabled(), !found.empty());
    if (found.empty()) {
      EXPECT_EQ(f->RConJExe(), base + Sep() + "bin" + Sep() + NativeName("RConJ"));
    } else {
      EXPECT_EQ(f->RConJExe(), found);
      EXPECT_EQ(f->BitBtnRC->Hint(), "Launch " + c.expected.substr(c.expected.rfind('/') + 1) + " (" + found + ")");
    }
  }
}

TEST_F(QuillanTest, FolderWithoutConsoleOneButWithRConJ) {
  const std::string base = MakeInstallation("r", {{"A"}, {}, false, true, false, false});
  Start();
  user.TypeText(*f->ComboBoxPath, base);
  const std::string missing = base + Sep() + "bin" + Sep() + NativeName("ConsoleOne") + " not Found";
  EXPECT_EQ(f->Label1->Text(), missing);
  // The label may show it shortened: whole as its tool tip and on the line.
  EXPECT_EQ(f->Label1->Hint(), missing);
  EXPECT_EQ(f->PanelInfo->Text(), "   " + missing + ": expected a folder with bin" + Sep() + NativeName("ConsoleOne"));
  EXPECT_FALSE(f->BitBtnC1->Enabled());
  EXPECT_TRUE(f->BitBtnRC->Enabled());
  EXPECT_TRUE(Items().empty());
  EXPECT_FALSE(Exists("r/inactive.snapins"));
  EXPECT_EQ(History().size(), 2u);  // not an installation: not remembered
}

TEST_F(QuillanTest, DotFoldersFilesAndDuplicatesInTheListing) {
  const std::string base = MakeInstallation("c1", {{"Same", ".hidden", "Other"}, {"Same"}, true, false, false, true});
  tmp.MakeFile("c1/snapins/plain.txt", "x");
  Start();
  user.TypeText(*f->ComboBoxPath, base);
  EXPECT_EQ(Items(), (std::vector<std::string>{"Other", "Same", "Same"}));
  // Checked one first: active names are added before inactive ones.
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, true, false}));
  // Either item: every target is occupied, nothing moves.
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Same", 1);
  user.ClickItemText(*f->CheckListBoxSnapins, "Same", 0);
  EXPECT_TRUE(Exists("c1/snapins/Same"));
  EXPECT_TRUE(Exists("c1/inactive.snapins/Same"));
}

TEST_F(QuillanTest, RequiredSnapinsAreLockedInTheStateFound) {
  const std::string base = MakeInstallation("c1", {{"Core", "Extra"}, {"Legacy"}, true, false, false, true});
  WriteMachineIni(IniLines({"[Paths]", "C1=" + base, "[Required Snapins]", "1=core", "2=Legacy",
                            "3=Missing"}));
  Start();
  EXPECT_EQ(Items(), (std::vector<std::string>{"Core", "Extra", "Legacy"}));
  EXPECT_EQ(EnabledStates(), (std::vector<bool>{false, true, false}));
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  EXPECT_TRUE(Exists("c1/inactive.snapins/Legacy"));
  EXPECT_FALSE(f->CheckListBoxSnapins->Checked(2));
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "Core");
  EXPECT_TRUE(f->CheckListBoxSnapins->Checked(0));
  EXPECT_TRUE(Exists("c1/snapins/Core"));
  user.UseMenu(*f->CheckListBoxSnapins, "&Uncheck All");
  EXPECT_TRUE(Exists("c1/snapins/Core"));
  EXPECT_TRUE(Exists("c1/inactive.snapins/Extra"));
}

TEST_F(QuillanTest, ARequiredEntryLocksEveryNameMatchingItIgnoringCase) {
  // Names that differ only in case, and a name in both places.
  const std::string base =
      MakeInstallation("c1", {{"Foo", "Dup", "Free"}, {"foo", "Dup"}, true, false, false, true});
  WriteMachineIni(IniLines({"[Paths]", "C1=" + base, "[Required Snapins]", "1=FOO", "2=dup"}));
  Start();
  EXPECT_EQ(Items(), (std::vector<std::string>{"Dup", "Dup", "Foo", "foo", "Free"}));
  EXPECT_EQ(EnabledStates(), (std::vector<bool>{false, false, false, false, true}));
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  EXPECT_TRUE(Exists("c1/inactive.snapins/foo"));
}

TEST_F(QuillanTest, RunningConsoleOneWarnsOnceAndLocksEverySwitch) {
  os.SetTopLevelWindows({{7, "novell consoleone"}, {8, "Novell ConsoleOne - [NDS]"}});
  const std::string base = MakeInstallation("c1", {{"A"}, {"B"}, true, false, false, false});
  WriteMachineIni(IniLines({"[Paths]", "C1=" + base, "[Snapin Description]", "A=Alpha"}));
  form = std::make_unique<TForm1>();
  // The box comes while the window is created, before it appears.
  EXPECT_EQ(app.MessageBoxes().size(), 1u);
  EXPECT_TRUE(app.VisibilityChanges().empty());
  form.reset();
  Start();
  ASSERT_EQ(app.MessageBoxes().size(), 2u);
  EXPECT_EQ(app.MessageBoxes()[0].text, "\"Novell ConsoleOne\" seems to be running - disabling selectors");
  EXPECT_EQ(app.MessageBoxes()[0].caption, "Warning");
  EXPECT_EQ(app.MessageBoxes()[0].flags, ui::MB_OK | ui::MB_ICONWARNING);
  EXPECT_TRUE(f->ConsoleOneRunning());
  EXPECT_EQ(EnabledStates(), (std::vector<bool>{false, false}));
  EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, false}));
  EXPECT_TRUE(Exists("c1/inactive.lib"));

  user.ClickItemCheckBox(*f->CheckListBoxSnapins, "A");
  user.UseMenu(*f->CheckListBoxSnapins, "&Check All");
  user.UseMenu(*f->CheckListBoxSnapins, "&Uncheck All");
  EXPECT_TRUE(os.Moves().empty());
  EXPECT_EQ(f->PanelInfo->Text(), "   ConsoleOne is running: snap-ins cannot be switched until it is closed");
  // Hovering still shows descriptions of locked entries.
  user.HoverOverItem(*f->CheckListBoxSnapins, "A");
  EXPECT_EQ(f->PanelInfo->Text(), "   Alpha");
}

// The lock follows ConsoleOne while the window is open: a console started
// later locks every way of switching before anything moves; once it is gone,
// coming back to the window unlocks all but the required entries. Every
// refusal is said, and announced so a screen reader speaks it.
TEST_F(QuillanTest, ConsoleOneLockFollowsItsWindowAndEveryRefusalIsSaid) {
  const std::string base = MakeInstallation("c1", {{"A"}, {"B"}, true, false, false, false});
  WriteMachineIni(IniLines({"[Paths]", "C1=" + base, "[Required Snapins]", "1=A"}));
  Start();
  auto& list = *f->CheckListBoxSnapins;
  EXPECT_EQ(EnabledStates(), (std::vector<bool>{false, true}));
  const std::string required = "   A stays as it is: the machine-wide settings mark it as required";
  const std::string running = "   ConsoleOne is running: snap-ins cannot be switched until it is closed";

  struct Attempt {
    const char* what;
    std::function<void()> act;
  };
  const Attempt onA[] = {
      {"click on the mark", [&] { user.ClickItemCheckBox(list, "A"); }},
      {"space", [&] { user.SelectWithKeyboard(list, "A"); user.PressSpace(list); }},
  };
  for (const Attempt& a : onA) {
    SCOPED_TRACE(a.what);
    const int before = f->PanelInfo->Announcements();
    a.act();
    EXPECT_EQ(f->PanelInfo->Text(), required);
    EXPECT_GT(f->PanelInfo->Announcements(), before);
  }

  os.SetTopLevelWindows({{8, "Novell ConsoleOne - [NDS]"}});
  const Attempt whileRunning[] = {
      {"click on the mark", [&] { user.ClickItemCheckBox(list, "B"); }},
      {"space", [&] { user.SelectWithKeyboard(list, "B"); user.PressSpace(list); }},
      {"Check All", [&] { user.UseMenu(list, "&Check All"); }},
      {"Uncheck All", [&] { user.UseMenu(list, "&Uncheck All"); }},
  };
  for (const Attempt& a : whileRunning) {
    SCOPED_TRACE(a.what);
    f->PanelInfo->SetText("");
    const int before = f->PanelInfo->Announcements();
    a.act();
    EXPECT_EQ(f->PanelInfo->Announcements(), before + 1);  // said once, not once per look
    EXPECT_TRUE(os.Moves().empty());
    EXPECT_EQ(CheckedStates(), (std::vector<bool>{true, false}));  // the marks show the disk
    EXPECT_EQ(EnabledStates(), (std::vector<bool>{false, false}));
    EXPECT_NE(f->PanelInfo->Text().find("ConsoleOne is running"), std::string::npos) << f->PanelInfo->Text();
    EXPECT_EQ(f->PanelInfo->Text(), f->PanelInfo->Announced());
  }
  EXPECT_EQ(f->PanelInfo->Text(), running);

  const std::string closed = "   ConsoleOne was closed: snap-ins can be switched again";
  os.SetTopLevelWindows({});
  f->UserActivated();
  EXPECT_EQ(EnabledStates(), (std::vector<bool>{false, true}));  // the required one stays locked
  EXPECT_EQ(f->PanelInfo->Announced(), closed);
  user.ClickItemCheckBox(list, "B");
  EXPECT_TRUE(Exists("c1/snapins/B"));

  // Closed while the window stayed active: a refused click looks again.
  os.SetTopLevelWindows({{9, "Novell ConsoleOne"}});
  user.UseMenu(list, "&Check All");
  os.SetTopLevelWindows({});
  user.ClickItemCheckBox(list, "B");
  EXPECT_EQ(f->PanelInfo->Announced(), closed);
  EXPECT_EQ(EnabledStates(), (std::vector<bool>{false, true}));
  user.ClickItemCheckBox(list, "B");
  EXPECT_FALSE(Exists("c1/snapins/B"));
  EXPECT_TRUE(app.MessageBoxes().empty());  // later changes go to the line, not to boxes

  // Coming back while ConsoleOne runs locks the list at once.
  os.SetTopLevelWindows({{9, "Novell ConsoleOne"}});
  f->UserActivated();
  EXPECT_EQ(EnabledStates(), (std::vector<bool>{false, false}));
  EXPECT_EQ(f->PanelInfo->Announced(), running);
}

TEST_F(QuillanTest, LowerCaseTitleIsNoRunningConsoleOne) {
  os.SetTopLevelWindows({{7, "novell consoleone"}, {8, std::string(250, 'x') + "Novell ConsoleOne"}});
  Start();
  EXPECT_FALSE(f->ConsoleOneRunning());
  EXPECT_TRUE(app.MessageBoxes().empty());
}

TEST_F(QuillanTest, CloseAndRestoreRoundTripOfWindowAndHistory) {
  const std::string a = MakeInstallation("a", {{"X"}, {}, true, false, false, true});
  const std::string b = MakeInstallation("b", {{"Y"}, {}, true, false, false, true});
  Start();
  user.TypeText(*f->ComboBoxPath, a);
  user.TypeText(*f->ComboBoxPath, b);
  user.Click(*f->CheckBoxKeepOpen);
  f->UserMoved(100, 120);
  f->UserResized(500, 400);
  user.TypeText(*f->ComboBoxPath, "not-a-folder");
  CloseWindow();
  EXPECT_TRUE(app.Terminated());
  EXPECT_TRUE(app.MessageBoxes().empty());

  EXPECT_EQ(UserValue("Settings", "Form1.Left"), "100");
  EXPECT_EQ(UserValue("Settings", "Form1.Top"), "120");
  EXPECT_EQ(UserValue("Settings", "Form1.Width"), "508");
  EXPECT_EQ(UserValue("Settings Form1", "Form1.Height"), "442");
  EXPECT_EQ(UserValue("Settings Form1", "CheckBoxKeepOpen"), "1");
  EXPECT_EQ(UserValue("Settings Form1", "PanelTop.Width"), "<absent>");
  EXPECT_EQ(UserValue("Settings Form1 CheckListBoxSnapins", "Y"), "<absent>");  // list empty at close
  const D_Ini::TIniFile raw(UserIniPath());
  EXPECT_EQ(raw.ReadValue("History ComboBoxPath", "Current", ""), "not-a-folder");
  EXPECT_EQ(raw.ReadValue("History ComboBoxPath", "Count", ""), "5");
  EXPECT_EQ(raw.ReadValue("History ComboBoxPath", "0", ""), "not-a-folder");
  EXPECT_EQ(raw.ReadValue("History ComboBoxPath", "1", ""), b);
  EXPECT_EQ(raw.ReadValue("History ComboBoxPath", "2", ""), a);

  // Next start: everything comes back, no default entries are added.
  form.reset();
  Start();
  EXPECT_EQ(f->Left(), 100);
  EXPECT_EQ(f->Width(), 508);
  EXPECT_TRUE(f->CheckBoxKeepOpen->Checked());
  EXPECT_EQ(History().size(), 5u);
  EXPECT_EQ(History()[1], b);
  EXPECT_EQ(f->ComboBoxPath->Text(), "not-a-folder");
  EXPECT_EQ(f->Label1->Text(), "Invalid path");
}

TEST_F(QuillanTest, SnapinEntriesRestoredFromSettingsAreReplacedByTheDisk) {
  const std::string base = MakeInstallation("c1", {{"Real"}, {}, true, false, false, true});
  WriteMachineIni(IniLines({"[Paths]", "C1=" + base}));
  WriteUserIni(IniLines({"[Settings Form1 CheckListBoxSnapins]", "Ghost=1"}));
  Start();
  EXPECT_EQ(Items(), (std::vector<std::string>{"Real"}));
  CloseWindow();
  EXPECT_EQ(UserValue("Settings Form1 CheckListBoxSnapins", "Real"), "1");
  EXPECT_EQ(UserValue("Settings Form1 CheckListBoxSnapins", "Ghost"), "<absent>");
}

TEST_F(QuillanTest, RefusedWriteOnCloseWarnsOnceAndStillCloses) {
  Start();
  user.Click(*f->CheckBoxKeepOpen);
  const std::string userIni = UserIniPath();
  os.FailProfileWriteWhen([userIni](const std::string& p) { return p == userIni; });
  os.FailProfileEraseWhen([userIni](const std::string& p) { return p == userIni; });
  CloseWindow();
  ASSERT_EQ(app.MessageBoxes().size(), 1u);
  EXPECT_EQ(app.MessageBoxes()[0].text, "Unable to write to " + userIni);
  EXPECT_EQ(app.MessageBoxes()[0].flags, ui::MB_OK | ui::MB_ICONWARNING);
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(f->Showing());
}

TEST_F(QuillanTest, EditDuringListingRunsOneMoreCheckAfterwardsWithTheLatestText) {
  const std::string a = MakeInstallation("a", {{"A1", "A2", "A3"}, {"A4"}, true, false, false, true});
  const std::string b = MakeInstallation("b", {{"B1"}, {"B2"}, true, false, false, true});
  Start();
  int nestedChanges = 0;
  f->ComboBoxPath->OnChange = [&](ui::TObject* s) {
    ++nestedChanges;
    f->VerifyPath(s);
  };
  // Two edits arrive while "a" is being listed; only the last text counts.
  user.Meanwhile([&] { f->ComboBoxPath->UserEdit(a + "x"); });
  user.Meanwhile([&] { f->ComboBoxPath->UserEdit(b); });
  f->ComboBoxPath->SetText(a);
  f->VerifyPath(nullptr);
  EXPECT_EQ(nestedChanges, 2);
  EXPECT_EQ(f->ConsoleOnePath(), b);
  EXPECT_EQ(Items(), (std::vector<std::string>{"B1", "B2"}));
  EXPECT_EQ(f->ActiveSnapins().Count(), 1);
  EXPECT_EQ(f->InactiveSnapins().Count(), 1);
  EXPECT_EQ(History()[0], b);
  EXPECT_EQ(History()[1], a);
  // A later edit starts a check of its own again.
  user.TypeText(*f->ComboBoxPath, a);
  EXPECT_EQ(Items().size(), 4u);
}

// Screens as the layer sees them at a scale: a 1280 x 1024 screen with a
// 40-pixel task bar is 853 x 656 at 1.5 and 640 x 492 at 2.
TEST_F(QuillanTest, TheWindowStartsWhollyInsideAWorkArea) {
  using ui::TRect;
  const TRect primary1x{0, 0, 1280, 984}, primary15{0, 0, 853, 656}, primary2x{0, 0, 640, 492};
  const TRect designed{369, 332, 376, 453};
  struct Case {
    const char* what;
    std::vector<TRect> areas;
    std::optional<TRect> saved;  // none: the designed place
    TRect expected;
  } cases[] = {
      {"designed at 1x", {primary1x}, std::nullopt, designed},
      {"designed at 1.5x", {primary15}, std::nullopt, {369, 203, 376, 453}},
      {"designed at 2x", {primary2x}, std::nullopt, {264, 39, 376, 453}},
      {"saved on a screen since removed, 2x", {primary2x}, TRect{1500, 900, 376, 453}, {264, 39, 376, 453}},
      {"saved on the second screen, partly below it",
       {primary1x, {1280, 0, 1280, 1024}}, TRect{2000, 700, 376, 453}, {2000, 571, 376, 453}},
      {"saved on a screen left of the primary",
       {primary1x, {-1280, 0, 1280, 1024}}, TRect{-300, 100, 376, 453}, {-376, 100, 376, 453}},
      {"saved larger than the area", {primary2x}, TRect{100, 100, 900, 700}, {0, 0, 640, 492}},
      {"an area lower than the window", {{0, 0, 640, 400}}, std::nullopt, {264, 0, 376, 400}},
      {"an area lower than the smallest window", {{0, 0, 640, 300}}, std::nullopt, {264, 0, 376, 316}},
      {"no screens known", {}, TRect{3000, 3000, 376, 453}, {3000, 3000, 376, 453}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    app.SetWorkAreas(c.areas);
    const auto placement = [](const TRect& r) {
      return "Form1.Left=" + std::to_string(r.left) + "\r\nForm1.Top=" + std::to_string(r.top) +
             "\r\nForm1.Width=" + std::to_string(r.width) + "\r\nForm1.Height=" + std::to_string(r.height);
    };
    WriteUserIni(c.saved ? IniLines({"[Settings]", placement(*c.saved)}) : std::string());
    form.reset();
    Start();
    EXPECT_EQ((TRect{f->Left(), f->Top(), f->Width(), f->Height()}), c.expected);
    // The next start begins where this one was shown.
    CloseWindow();
    EXPECT_EQ(UserValue("Settings", "Form1.Left"), std::to_string(c.expected.left));
    EXPECT_EQ(UserValue("Settings", "Form1.Height"), std::to_string(c.expected.height));
  }
}
