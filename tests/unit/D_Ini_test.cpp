#include "lib/D_Ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lib/D_Util.h"
#include "lib/Errors.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"

using namespace D_Ini;
using platform::RegistryRoot;
using quillan_test::Op;
using quillan_test::PlatformDouble;
using quillan_test::ScopedPlatform;
using quillan_test::TempDir;

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class DIniTest : public ::testing::Test {
 protected:
  DIniTest() : scope(fake), path(dir.Join("Quillan.ini")), file(path) {}
  void Given(const std::string& content) { TempDir::WriteFile(path, content); }
  std::string Content() const { return TempDir::ReadFile(path); }
  // The content with CRLF read as LF: kernel32 rewrites a file with CRLF.
  std::string Lines() const {
    std::string text = Content();
    std::erase(text, '\r');
    return text;
  }
  // Counts the writes that one call makes.
  template <typename F>
  int WritesOf(F f) {
    int before = fake.Calls(Op::ProfileWrite);
    f();
    return fake.Calls(Op::ProfileWrite) - before;
  }

  PlatformDouble fake;
  ScopedPlatform scope;
  TempDir dir;
  std::string path;
  TIniFile file;
};

TEST_F(DIniTest, SettingsFilePaths) {
  fake.UseOnlyFakeRegistry(true);
  fake.SetExecutablePath("C:\\My.Tools\\App");
  EXPECT_EQ(SettingsFilePath(false), "C:\\My.Tools\\App.ini");
#ifdef _WIN32
  EXPECT_EQ(SettingsFilePath(true), "\\App.ini");
#else
  // No application-data folder (no home): no per-user file at all.
  EXPECT_EQ(SettingsFilePath(true), "");
#endif
  fake.SetRegistryString(RegistryRoot::CurrentUser, kShellFolders, "AppData", "C:\\Users\\u\\AppData\\");
  fake.SetExecutablePath("C:\\Tools\\Quillan.exe");
  EXPECT_EQ(SettingsFilePath(true), "C:\\Users\\u\\AppData\\Quillan.ini");
  EXPECT_EQ(OpenSettingsFile(false)->FileName(), "C:\\Tools\\Quillan.ini");
  fake.SetRegistryWrongType(RegistryRoot::CurrentUser, kShellFolders, "AppData");
  EXPECT_THROW(OpenSettingsFile(true), ERegistryError);
  EXPECT_NO_THROW(OpenSettingsFile(false));
}

TEST_F(DIniTest, InstalledProgramsKeepTheirFileInTheSystemConfigurationFolder) {
  EXPECT_EQ(SystemSettingsPath("/usr/bin/quillan.ini"), "/etc/quillan.ini");
  EXPECT_EQ(SystemSettingsPath("/bin/quillan.ini"), "/etc/quillan.ini");
  EXPECT_EQ(SystemSettingsPath("/usr/local/bin/quillan.ini"), "/usr/local/etc/quillan.ini");
  EXPECT_EQ(SystemSettingsPath("/opt/q/bin/App.ini"), "/opt/q/etc/App.ini");
  // Only a folder named exactly "bin" makes an installation prefix.
  EXPECT_EQ(SystemSettingsPath("/opt/q/sbin/quillan.ini"), "");
  EXPECT_EQ(SystemSettingsPath("/opt/bin2/quillan.ini"), "");
  EXPECT_EQ(SystemSettingsPath("/home/u/tools/quillan.ini"), "");
  EXPECT_EQ(SystemSettingsPath("quillan.ini"), "");
  EXPECT_EQ(SystemSettingsPath("C:\\Tools\\bin\\Quillan.ini"), "");
}

#ifndef _WIN32
TEST_F(DIniTest, TheFileBesideTheProgramWinsOverTheInstalledOne) {
  fake.UseOnlyFakeRegistry(true);
  fake.SetRegistryString(RegistryRoot::CurrentUser, kShellFolders, "AppData", dir.Join("home"));
  fake.SetExecutablePath(dir.Join("usr/bin/quillan"));
  const std::string beside = dir.Join("usr/bin/quillan.ini");
  const std::string installed = dir.Join("usr/etc/quillan.ini");
  // Neither file: the one beside, as before (reads give the defaults).
  EXPECT_EQ(SettingsFilePath(false), beside);
  dir.MakeFile("usr/etc/quillan.ini", "[Paths]\nC1=/etc-file\n");
  EXPECT_EQ(SettingsFilePath(false), installed);
  EXPECT_EQ(ReadSettingText(*OpenSettingsFile(false), "Paths", "C1", ""), "/etc-file");
  // The per-user file keeps the program's own file name and folder.
  EXPECT_EQ(SettingsFilePath(true), dir.Join("home/quillan.ini"));
  dir.MakeFile("usr/bin/quillan.ini", "[Paths]\nC1=/beside\n");
  EXPECT_EQ(SettingsFilePath(false), beside);
  // A folder in the file's place beside the program is no file.
  std::filesystem::remove(beside);
  std::filesystem::create_directory(beside);
  EXPECT_EQ(SettingsFilePath(false), installed);
}
#endif

TEST_F(DIniTest, KeyNamesAndSections) {
  EXPECT_EQ(NormalizeKeyName("[Core]"), "Core");
  EXPECT_EQ(NormalizeKeyName("[a]b[c"), "abc");
  EXPECT_EQ(NormalizeKeyName("Co[re]"), "Co[re]");
  EXPECT_EQ(SectionOrDefault(""), "Settings");
  EXPECT_EQ(SectionOrDefault("X"), "X");
  WriteSettingString(file, "", "[Core]", "v");
  EXPECT_EQ(Content().find("[Settings]"), 0u);
  EXPECT_EQ(ReadSettingString(file, "Settings", "Core", ""), "v");
  EXPECT_EQ(ReadSettingString(file, "Settings", "[Core]", ""), "v");
}

TEST_F(DIniTest, TextReads) {
  Given("[S]\nd=first#CRLF#second\nl=first#crlf#second\nq=\" x \"\n");
  EXPECT_EQ(ReadSettingText(file, "S", "d", ""), "first\r\nsecond");
  EXPECT_EQ(ReadSettingText(file, "S", "l", ""), "first#crlf#second");
  EXPECT_EQ(ReadSettingString(file, "S", "d", ""), "first#CRLF#second");
  EXPECT_EQ(ReadSettingString(file, "S", "q", ""), " x ");
  EXPECT_EQ(ReadSettingText(file, "S", "none", "a#CRLF#b"), "a\r\nb");
}

TEST_F(DIniTest, WriteStringComparesFirst) {
  EXPECT_EQ(WritesOf([&] { WriteSettingString(file, "S", "", "v"); }), 0);
  EXPECT_EQ(WritesOf([&] { WriteSettingString(file, "S", "k", ""); }), 0);
  EXPECT_FALSE(TempDir::Exists(path));
  for (const char* stored : {"x", "\"x\""}) {
    Given(std::string("[S]\nk=") + stored + "\n");
    EXPECT_EQ(WritesOf([&] { WriteSettingString(file, "S", "k", "x"); }), 0) << stored;
    EXPECT_EQ(WritesOf([&] { WriteSettingString(file, "S", "k", "\"x\""); }), 0) << stored;
  }
  Given("[S]\nk=x\n");
  EXPECT_EQ(WritesOf([&] { WriteSettingString(file, "S", "k", " x"); }), 1);
  EXPECT_EQ(WritesOf([&] { WriteSettingString(file, "S", "k", ""); }), 1);
  EXPECT_EQ(Lines(), "[S]\nk=\n");
}

TEST_F(DIniTest, Integers) {
  Given("[S]\nh=0x1F\nd=$1F\nbad=12abc\nneg=-5\nbig=99999999999999999999\nmin=-9223372036854775808\n");
  EXPECT_EQ(ReadSettingInteger(file, "S", "h", 7), 31);
  EXPECT_EQ(ReadSettingInteger(file, "S", "d", 7), 31);
  EXPECT_EQ(ReadSettingInteger(file, "S", "bad", 7), 7);
  EXPECT_EQ(ReadSettingInteger(file, "S", "neg", 7), -5);
  EXPECT_EQ(ReadSettingInteger(file, "S", "big", 7), 7);
  EXPECT_EQ(ReadSettingInteger(file, "S", "min", 7), INT64_MIN);
  EXPECT_EQ(ReadSettingInteger(file, "S", "none", 7), 7);
  long long v = 0;
  for (const char* bad : {"", "-", "$", "0x", "1 2", "0x1G", "+-1"}) {
    EXPECT_FALSE(ParseSettingInteger(bad, v)) << bad;
  }
  EXPECT_EQ(WritesOf([&] { WriteSettingInteger(file, "S", "absent", -999666); }), 0);
  EXPECT_EQ(WritesOf([&] { WriteSettingInteger(file, "S", "h", 31); }), 0);
  EXPECT_EQ(WritesOf([&] { WriteSettingInteger(file, "S", "bad", 12); }), 1);
  EXPECT_EQ(ReadSettingString(file, "S", "bad", ""), "12");
  EXPECT_EQ(WritesOf([&] { WriteSettingInteger(file, "S", "new", -3); }), 1);
  EXPECT_EQ(ReadSettingString(file, "S", "new", ""), "-3");
}

TEST_F(DIniTest, Bools) {
  Given("[S]\nword=yes\ntwo=2\nzero=0\n");
  EXPECT_TRUE(ReadSettingBool(file, "S", "word", true));
  EXPECT_FALSE(ReadSettingBool(file, "S", "word", false));
  EXPECT_TRUE(ReadSettingBool(file, "S", "two", false));
  EXPECT_FALSE(ReadSettingBool(file, "S", "zero", true));
  EXPECT_EQ(WritesOf([&] { WriteSettingBool(file, "S", "two", true); }), 0);
  EXPECT_EQ(WritesOf([&] { WriteSettingBool(file, "S", "zero", false); }), 0);
  EXPECT_EQ(WritesOf([&] { WriteSettingBool(file, "S", "absent", false); }), 1);
  EXPECT_EQ(ReadSettingString(file, "S", "absent", ""), "0");
}

TEST_F(DIniTest, WriteBoolOverAHandEditedWordKeepsTheState) {
  // "yes" reads as the default; writing "no" over it must really happen,
  // or the next read with default yes brings yes back.
  Given("[S]\nk=yes\n");
  WriteSettingBool(file, "S", "k", false);
  EXPECT_FALSE(ReadSettingBool(file, "S", "k", true));
  Given("[S]\nk=yes\n");
  WriteSettingBool(file, "S", "k", true);
  EXPECT_EQ(ReadSettingString(file, "S", "k", ""), "1");
}

TEST_F(DIniTest, SectionLists) {
  Given("[Required Snapins]\n1=Alpha\n2= Beta \n3=\nA=first\na=second\n");
  TStringList list;
  list.Add("stale");
  ReadSectionList(file, "Required Snapins", list, false);
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list[0], "Alpha");
  EXPECT_EQ(list[1], "Beta");
  EXPECT_EQ(list[2], "");
  EXPECT_EQ(list[3], "first");
  EXPECT_EQ(list[4], "first");  // keys differing only in case read the first
  EXPECT_EQ(list.Tag(0), 0);

  ReadSectionList(file, "Required Snapins", list, true);
  EXPECT_EQ(list.Tag(1), 2);
  EXPECT_EQ(list.Tag(3), 0);  // "A" is no number

  TStringList out;
  out.Add(" padded ");
  out.Add("");
  out.Add("c", 7);
  WriteSectionList(file, "H", out, false);
  WriteSectionList(file, "H", out, false);  // erased and written again, not doubled
  EXPECT_EQ(file.ReadSectionValues("H"), (std::vector<std::string>{"0=padded", "2=c"}));
  WriteSectionList(file, "T", out, true);
  EXPECT_EQ(file.ListKeys("T"), (std::vector<std::string>{"0", "7"}));
  EXPECT_TRUE(file.KeyExists("t", "7"));
  EXPECT_FALSE(file.KeyExists("T", "1"));
}

TEST_F(DIniTest, RefusedWritesRaiseWithThePath) {
  Given("[S]\nk=1\n");
  fake.FailProfileWriteWhen([&](const std::string& p) { return p == path; });
  try {
    WriteSettingString(file, "S", "k", "2");
    FAIL() << "no error";
  } catch (const ESettingsWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
  fake.FailProfileEraseOnCall(1);
  EXPECT_THROW(file.EraseSection("S"), ESettingsWriteError);
  EXPECT_EQ(Content(), "[S]\nk=1\n");
  // And for real: a missing folder.
  TIniFile nowhere(dir.Join("missing/Quillan.ini"));
  fake.ClearFailures();
  EXPECT_THROW(WriteSettingString(nowhere, "S", "k", "v"), ESettingsWriteError);
  EXPECT_EQ(ReadSettingString(nowhere, "S", "k", "d"), "d");
}

TEST_F(DIniTest, MissingMachineFileGivesDefaults) {
  TIniFile missing(dir.Join("none.ini"));
  EXPECT_EQ(ReadSettingText(missing, "Paths", "C1", "C:\\Novell\\ConsoleOne\\1.2"),
            "C:\\Novell\\ConsoleOne\\1.2");
  TStringList list;
  ReadSectionList(missing, "Required Snapins", list, false);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(ReadSettingText(missing, "Snapin Description", "x", ""), "");
}

}  // namespace
