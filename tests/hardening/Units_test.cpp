// Library routines under hostile input: command lines with odd spacing,
// settings files changed behind the engine's back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "HardeningSupport.h"
#include "lib/D_Ini.h"
#include "lib/D_Util.h"
#include "lib/D_Win.h"
#include "platform/Platform.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using quillan_test::PlatformDouble;
using quillan_test::ScopedPlatform;
using quillan_test::ShellCall;
using quillan_test::TempDir;

TEST(LaunchSplit, ParametersAfterADoubleSpaceKeepTheirLeadingBlank) {
  TempDir tmp;
  PlatformDouble os;
  os.RecordShellExecute();
  ScopedPlatform scope(os);
  const std::string exe = tmp.MakeFile("app", "x");
  const std::string folder = D_Util::IncludeTrailingSeparator(tmp.Path());

  D_Win::LaunchCommandLine(exe + "  -x", 1);
  D_Win::LaunchCommandLine(exe + " ", 1);
  D_Win::LaunchCommandLine(exe + "   ", 1);
  ASSERT_EQ(os.ShellCalls().size(), 3U);
  // File, a space and the parameters give the command line back.
  EXPECT_EQ(os.ShellCalls()[0], (ShellCall{exe, " -x", folder, 1}));
  EXPECT_EQ(os.ShellCalls()[1], (ShellCall{exe, "", folder, 1}));
  EXPECT_EQ(os.ShellCalls()[2], (ShellCall{exe, "  ", folder, 1}));
}

TEST(LaunchSplit, APlantedFileNamedLikeTheFirstWordDoesNotWin) {
  TempDir tmp;
  PlatformDouble os;
  os.RecordShellExecute();
  ScopedPlatform scope(os);
  const std::string planted = tmp.MakeFile("Program", "evil");
  const std::string real = tmp.MakeFile("Program Files/Novell/ConsoleOne.exe", "exe");
  D_Win::LaunchCommandLine(real, 1);
  ASSERT_EQ(os.ShellCalls().size(), 1U);
  EXPECT_EQ(os.ShellCalls()[0].file, real);
  EXPECT_EQ(os.ShellCalls()[0].parameters, "");
}

TEST(KeyNames, ABracketAfterLeadingBlanksNeverBecomesASectionHeader) {
  TempDir tmp;
  const D_Ini::TIniFile file(tmp.Join("k.ini"));
  for (int round = 0; round < 3; ++round) {
    file.EraseSection("List");
    D_Ini::WriteSettingBool(file, "List", " [x", round % 2 == 0);
    D_Ini::WriteSettingBool(file, "List", "\t[y]", true);
    D_Ini::WriteSettingBool(file, "List", "z", true);
  }
  EXPECT_EQ(hardening::IniSections(TempDir::ReadFile(file.FileName())),
            std::vector<std::string>{"List"});
  EXPECT_EQ(file.ListKeys("List"), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_TRUE(D_Ini::ReadSettingBool(file, "List", " [x", false));
}
