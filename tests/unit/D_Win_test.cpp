#include "lib/D_Win.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "lib/D_Util.h"
#include "lib/Errors.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"

using namespace D_Win;
using platform::RegistryRoot;
using quillan_test::FakeWindow;
using quillan_test::Op;
using quillan_test::PlatformDouble;
using quillan_test::ScopedPlatform;
using quillan_test::ShellCall;
using quillan_test::TempDir;

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class DWinTest : public ::testing::Test {
 protected:
  DWinTest() : scope(fake) { fake.RecordShellExecute(42); }
  ShellCall Launched(const std::string& commandLine) {
    std::size_t before = fake.ShellCalls().size();
    EXPECT_EQ(LaunchCommand(commandLine), 42);
    EXPECT_EQ(fake.ShellCalls().size(), before + 1);
    return fake.ShellCalls().back();
  }
  std::string Folder(const std::string& path) {
    return path.substr(0, path.find_last_of("\\/") + 1);
  }
  PlatformDouble fake;
  ScopedPlatform scope;
  TempDir dir;
};

TEST_F(DWinTest, RegistryStrings) {
  fake.UseOnlyFakeRegistry(true);
  fake.SetRegistryString(RegistryRoot::CurrentUser, kShellFolders, "AppData", "C:\\Users\\a");
  EXPECT_EQ(ReadShellFolder("AppData"), "C:\\Users\\a");
  EXPECT_EQ(ReadRegistryString(RegistryRoot::CurrentUser, kShellFolders, "Other"), "");
  EXPECT_EQ(GetProgramFilesDir(), "");
  fake.SetRegistryWrongType(RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                            "ProgramFilesDir");
  try {
    GetProgramFilesDir();
    FAIL() << "no error for a value of the wrong type";
  } catch (const ERegistryError& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'ProgramFilesDir'");
  }
}

TEST_F(DWinTest, EnvironmentVariables) {
  fake.SetEnvironment("comspec", "cmd.exe");
  fake.UnsetEnvironment("QUILLAN_NOT_SET");
  EXPECT_EQ(ReadEnvironmentVariable("comspec"), "cmd.exe");
  EXPECT_EQ(ReadEnvironmentVariable("QUILLAN_NOT_SET"), "");
}

TEST_F(DWinTest, FindWindowByTitle) {
  fake.SetTopLevelWindows({{7, "Quillan"},
                           {8, "novell consoleone"},
                           {9, std::string(250, ' ') + "Novell ConsoleOne"},
                           {10, "Novell ConsoleOne - [Tree]"},
                           {11, "Novell ConsoleOne"}});
  EXPECT_EQ(FindWindowByTitle("Novell ConsoleOne"), 10u);  // case matters, 254 characters count
  EXPECT_EQ(FindWindowByTitle("Nothing"), 0u);
  EXPECT_EQ(FindWindowByTitle("Quil"), 7u);
  fake.SetTopLevelWindows({});
  EXPECT_EQ(FindWindowByTitle("Quillan"), 0u);
}

TEST_F(DWinTest, InternalCommands) {
  for (const char* w : {"dir", "Dir", "DIR", "cd", "truename", "ver"}) {
    EXPECT_TRUE(IsInternalShellCommand(w)) << w;
  }
  for (const char* w : {"DIR.EXE", "", "dirx", "start"}) EXPECT_FALSE(IsInternalShellCommand(w)) << w;
}

TEST_F(DWinTest, LaunchWorkedExamples) {
  std::string exe = dir.MakeFile("Program Files/Novell/ConsoleOne/1.2/bin/ConsoleOne.exe");
  std::string app = dir.MakeFile("Tools/app.exe");
  std::string shortExe = dir.MakeFile("PROGRA~1/bin/C1.exe");

  EXPECT_EQ(Launched(shortExe), (ShellCall{shortExe, "", Folder(shortExe), 1}));
  EXPECT_EQ(Launched(exe), (ShellCall{exe, "", Folder(exe), 1}));
  EXPECT_EQ(Launched(app + " -a b"), (ShellCall{app, "-a b", Folder(app), 1}));
  EXPECT_EQ(Launched("https://example.org/x"), (ShellCall{"https://example.org/x", "", "", 1}));

  std::string missing = dir.Join("Program Files/Novell/bin/Missing.exe");
  std::size_t space = missing.find(' ');
  EXPECT_EQ(Launched(missing),
            (ShellCall{missing.substr(0, space), missing.substr(space + 1), "", 1}));

  fake.SetEnvironment("comspec", "C:\\WINDOWS\\system32\\cmd.exe");
  EXPECT_EQ(Launched("dir C:\\"), (ShellCall{"C:\\WINDOWS\\system32\\cmd.exe", "/C dir C:\\", "", 1}));
  EXPECT_EQ(Launched("echo hello"),
            (ShellCall{"C:\\WINDOWS\\system32\\cmd.exe", "/C echo hello", "", 1}));
  fake.UnsetEnvironment("comspec");
  EXPECT_EQ(Launched("echo hello").file, "");
}

TEST_F(DWinTest, LaunchOddCommandLines) {
  // Runs of blanks inside a path: the whole path is a candidate.
  for (const char* name : {"a  b/x.exe", "a   b  c/x.exe"}) {
    std::string path = dir.MakeFile(name);
    EXPECT_EQ(Launched(path), (ShellCall{path, "", Folder(path), 1}));
    EXPECT_EQ(Launched(path + "  -x"), (ShellCall{path, " -x", Folder(path), 1}));
  }
  std::string twoSpaces = dir.Join("a  b/x.exe");
  EXPECT_EQ(Launched(" " + twoSpaces), (ShellCall{"", twoSpaces, "", 1}));
  std::string missing = dir.Join("m  n/x.exe");
  std::size_t space = missing.find(' ');
  EXPECT_EQ(Launched(missing), (ShellCall{missing.substr(0, space), missing.substr(space + 1), "", 1}));
  std::string plain = dir.MakeFile("p q.exe");
  EXPECT_EQ(Launched("\"" + plain + "\" -x"),
            (ShellCall{"\"" + plain.substr(0, plain.find(' ')), "q.exe\" -x", "", 1}));
}

TEST_F(DWinTest, LaunchTakesTheLongestExistingCandidate) {
  // A file planted at the first word must not stand in for the real program.
  std::string exe = dir.MakeFile("Program Files/Novell/ConsoleOne.exe");
  std::string planted = dir.MakeFile("Program");
  ASSERT_EQ(exe.rfind(planted + " Files", 0), 0U);
  EXPECT_EQ(Launched(exe), (ShellCall{exe, "", Folder(exe), 1}));
  EXPECT_EQ(Launched(exe + " -x y"), (ShellCall{exe, "-x y", Folder(exe), 1}));
  // A shorter candidate still wins when nothing longer exists.
  EXPECT_EQ(Launched(planted + " Other.exe"), (ShellCall{planted, "Other.exe", Folder(planted), 1}));
  // A planted file at the part before a run of blanks does not win either,
  // nor does a part that ends in a blank.
  std::string blanks = dir.MakeFile("Program  Files/C1.exe");
  dir.MakeFile("Program ");
  EXPECT_EQ(Launched(blanks + " -x"), (ShellCall{blanks, "-x", Folder(blanks), 1}));
  // Longest first: the search ends at the first part that exists.
  fake.ResetCounts();
  Launched(exe + " a");
  EXPECT_EQ(fake.Calls(Op::FileExists), 2);  // "...exe a", "...exe"
}

TEST_F(DWinTest, AnAddressIsNeverAFile) {
  // "https:" in the current folder could hold a file named like the host.
  fake.ResetCounts();
  EXPECT_EQ(Launched("https://quillan.example.org"), (ShellCall{"https://quillan.example.org", "", "", 1}));
  EXPECT_EQ(Launched("ms-settings+x.y://a b"), (ShellCall{"ms-settings+x.y://a", "b", "", 1}));
  EXPECT_EQ(fake.Calls(Op::FileExists), 0);

  for (const char* address : {"https://x", "HTTP://x", "a1+-.://", "svn+ssh://h/p"}) {
    EXPECT_TRUE(platform::HasUrlScheme(address)) << address;
  }
  // A drive letter, a scheme without "//", a scheme that starts with no letter.
  for (const char* text : {"C://Novell/x", "mailto:a@b", "https:/x", "1ab://x", "+ab://x", "a b://x",
                           "://x", "", "/srv/https://x"}) {
    EXPECT_FALSE(platform::HasUrlScheme(text)) << text;
  }
}

TEST_F(DWinTest, AFolderIsNotAProgram) {
  std::string folder = dir.MakeFolder("tool");
  EXPECT_EQ(Launched(folder + " x"), (ShellCall{folder, "x", "", 1}));
}

}  // namespace
