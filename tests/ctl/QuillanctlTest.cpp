// The real quillanctl on temporary installations: each command, --check,
// --json (parsed), every exit status, locks, names in both places, odd names
// and failed moves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "RunProcess.h"
#include "ctl/CommandLine.h"
#include "ctl/Report.h"
#include "support/TempDir.h"

using ctl::Json;
using quillan_test::ProcessResult;
using quillan_test::RunProcess;
using quillan_test::TempDir;
namespace fs = std::filesystem;

namespace {

class Quillanctl : public ::testing::Test {
 protected:
  Quillanctl() {
    // A private copy beside its own quillan.ini, and a private per-user folder.
    exe_ = dir_.Join("opt/quillanctl");
    fs::create_directories(dir_.Join("opt"));
    fs::copy_file(QUILLANCTL_PATH, exe_);
    fs::create_directories(dir_.Join("config"));
    setenv("XDG_CONFIG_HOME", dir_.Join("config").c_str(), 1);
    base_ = dir_.Join("c1");
    dir_.MakeFile("c1/bin/ConsoleOne.exe");
    // The active folders of a real installation; the check never creates them.
    dir_.MakeFolder("c1/snapins");
    dir_.MakeFolder("c1/lib");
    dir_.MakeFolder("c1/resources");
  }

  void Ini(const std::string& content) { TempDir::WriteFile(dir_.Join("opt/quillan.ini"), content); }
  std::string Folder(const std::string& relative) const { return dir_.Join("c1/" + relative); }
  bool Exists(const std::string& relative) const { return TempDir::Exists(Folder(relative)); }
  void Make(const std::string& relative) const { dir_.MakeFolder("c1/" + relative); }

  ProcessResult Run(const std::vector<std::string>& args) { return RunProcess(exe_, args); }

  // Runs with --json and parses stdout; the exit status goes to `status`.
  Json RunJson(std::vector<std::string> args, int& status) {
    args.insert(args.begin() + 1, "--json");
    const ProcessResult r = Run(args);
    status = r.exitStatus;
    try {
      return Json::parse(r.out);
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what() << "\nstdout: " << r.out << "\nstderr: " << r.err;
      return Json();
    }
  }

  // The entry of a JSON "snapins" array with the given name.
  static Json Entry(const Json& doc, const std::string& name) {
    for (const Json& s : doc.at("snapins"))
      if (s.at("name") == name) return s;
    ADD_FAILURE() << "no entry " << name << " in " << doc.dump(2);
    return Json::object();
  }

  TempDir dir_;
  std::string exe_;
  std::string base_;
};

TEST_F(Quillanctl, ListShowsTheThreeCheckOutcomes) {
  int status = -1;
  Json doc = RunJson({"list", dir_.Join("nowhere")}, status);
  EXPECT_EQ(status, ctl::kExitNotInstallation);
  EXPECT_EQ(doc["outcome"].get<std::string>(), "invalid-path");
  EXPECT_EQ(doc["label"].get<std::string>(), "Invalid path");
  EXPECT_FALSE(doc["ok"].get<bool>());

  // A folder without bin/ConsoleOne.exe but with RConJ.exe: no list, nothing created.
  dir_.MakeFile("other/RConJ.exe");
  dir_.MakeFolder("other/snapins/X");
  doc = RunJson({"list", dir_.Join("other")}, status);
  EXPECT_EQ(status, ctl::kExitNotInstallation);
  EXPECT_EQ(doc["outcome"].get<std::string>(), "not-installed");
  EXPECT_EQ(doc["label"].get<std::string>(), dir_.Join("other/bin/ConsoleOne.exe") + " not Found");
  EXPECT_FALSE(doc["consoleone_exe"]["found"].get<bool>());
  EXPECT_TRUE(doc["rconj_exe"]["found"].get<bool>());
  EXPECT_EQ(doc["rconj_exe"]["path"].get<std::string>(), dir_.Join("other/RConJ.exe"));
  EXPECT_EQ(doc["snapins"].size(), 0u);
  EXPECT_FALSE(TempDir::Exists(dir_.Join("other/inactive.snapins")));

  const ProcessResult text = Run({"list", dir_.Join("other")});
  EXPECT_EQ(text.exitStatus, ctl::kExitNotInstallation);
  EXPECT_NE(text.out.find("ConsoleOne.exe not Found"), std::string::npos) << text.out;
}

TEST_F(Quillanctl, ListShowsEverySnapinWithStateAndLock) {
  Make("snapins/Alpha");
  Make("snapins/Core");
  Make("inactive.snapins/Beta");
  Make("snapins/Dup");
  Make("inactive.snapins/Dup");
  Make("snapins/.hidden");
  Make("lib/OnlyLib");
  dir_.MakeFile("c1/snapins/plain-file");
  dir_.MakeFile("c1/bin/RConJ.exe");
  Ini("[Required Snapins]\n1=CORE\n2=NotInstalled\n");

  int status = -1;
  Json doc = RunJson({"list", base_ + "/"}, status);
  EXPECT_EQ(status, ctl::kExitOk);
  EXPECT_EQ(doc["outcome"].get<std::string>(), "installation");
  EXPECT_EQ(doc["base"].get<std::string>(), base_);  // the trailing separator is dropped
  EXPECT_TRUE(doc["consoleone_exe"]["found"].get<bool>());
  EXPECT_EQ(doc["rconj_exe"]["path"].get<std::string>(), Folder("bin/RConJ.exe"));
  EXPECT_FALSE(doc["consoleone_running"].get<bool>());
  ASSERT_EQ(doc["snapins"].size(), 4u) << doc.dump(2);
  EXPECT_EQ(Entry(doc, "Alpha")["state"].get<std::string>(), "active");
  EXPECT_FALSE(Entry(doc, "Alpha")["locked"].get<bool>());
  EXPECT_TRUE(Entry(doc, "Alpha")["lock"].is_null());
  EXPECT_EQ(Entry(doc, "Beta")["state"].get<std::string>(), "inactive");
  EXPECT_EQ(Entry(doc, "Dup")["state"].get<std::string>(), "both");
  EXPECT_TRUE(Entry(doc, "Core")["locked"].get<bool>());
  EXPECT_EQ(Entry(doc, "Core")["lock"].get<std::string>(), "required");
  // The missing inactive folders are created, once.
  EXPECT_EQ(doc["created_folders"].size(), 2u);
  EXPECT_TRUE(doc["changed"].get<bool>());
  EXPECT_TRUE(Exists("inactive.lib") && Exists("inactive.resources"));

  doc = RunJson({"list", base_}, status);
  EXPECT_EQ(doc["created_folders"].size(), 0u);
  EXPECT_FALSE(doc["changed"].get<bool>());

  const ProcessResult text = Run({"list", base_});
  EXPECT_EQ(text.exitStatus, 0);
  EXPECT_NE(text.out.find("Core   active    required"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Dup    both"), std::string::npos) << text.out;
}

TEST_F(Quillanctl, DefaultBaseIsTheWindowsAndNoSettingsFileIsWritten) {
  Make("snapins/Alpha");
  Ini("[Paths]\nC1=" + base_ + "\n");
  const std::string iniBefore = TempDir::ReadFile(dir_.Join("opt/quillan.ini"));

  int status = -1;
  Json doc = RunJson({"list"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(doc["base"].get<std::string>(), base_);
  doc = RunJson({"disable", "Alpha"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Exists("inactive.snapins/Alpha"));

  EXPECT_TRUE(fs::is_empty(dir_.Join("config")));
  EXPECT_EQ(TempDir::ReadFile(dir_.Join("opt/quillan.ini")), iniBefore);

  // Without a machine-wide file the window's built-in default applies.
  fs::remove(dir_.Join("opt/quillan.ini"));
  doc = RunJson({"list"}, status);
  EXPECT_EQ(doc["base"].get<std::string>(), "/usr/ConsoleOne");
}

TEST_F(Quillanctl, EnableAndDisableMoveAllKindsAndAreIdempotent) {
  Make("inactive.snapins/Beta");
  Make("inactive.lib/Beta");
  Make("inactive.resources/Beta");
  Make("snapins/Alpha");
  Make("resources/Alpha");

  int status = -1;
  Json doc = RunJson({"enable", base_, "beta"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(doc["changed"].get<bool>());
  const Json beta = Entry(doc, "beta");
  EXPECT_EQ(beta["listed_name"].get<std::string>(), "Beta");
  EXPECT_EQ(beta["status"].get<std::string>(), "changed");
  EXPECT_EQ(beta["before"].get<std::string>(), "inactive");
  EXPECT_EQ(beta["after"].get<std::string>(), "active");
  EXPECT_TRUE(beta["holds"].get<bool>());
  EXPECT_EQ(beta["moves"].size(), 3u);
  EXPECT_TRUE(Exists("snapins/Beta") && Exists("lib/Beta") && Exists("resources/Beta"));
  EXPECT_FALSE(Exists("inactive.snapins/Beta") || Exists("inactive.lib/Beta"));

  doc = RunJson({"enable", base_, "Beta"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(doc["changed"].get<bool>());
  EXPECT_EQ(Entry(doc, "Beta")["status"].get<std::string>(), "unchanged");
  EXPECT_EQ(Entry(doc, "Beta")["moves"].size(), 0u);

  ProcessResult text = Run({"disable", base_, "Alpha", "Beta"});
  EXPECT_EQ(text.exitStatus, 0);
  EXPECT_NE(text.out.find("Alpha: changed"), std::string::npos) << text.out;
  EXPECT_TRUE(Exists("inactive.snapins/Alpha") && Exists("inactive.resources/Alpha"));
  EXPECT_TRUE(Exists("inactive.lib/Beta"));
  text = Run({"disable", base_, "Alpha", "Beta"});
  EXPECT_EQ(text.exitStatus, 0);
  EXPECT_NE(text.out.find("Alpha: unchanged"), std::string::npos) << text.out;
}

TEST_F(Quillanctl, CheckReportsWithoutMoving) {
  Make("snapins/Alpha");
  Make("inactive.snapins/Beta");
  int status = -1;
  Json doc = RunJson({"set", base_, "--check", "--inactive", "Alpha", "--active", "Beta"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(doc["check"].get<bool>());
  EXPECT_TRUE(doc["changed"].get<bool>());
  EXPECT_EQ(Entry(doc, "Alpha")["status"].get<std::string>(), "would-change");
  EXPECT_EQ(Entry(doc, "Alpha")["after"].get<std::string>(), "active");
  EXPECT_TRUE(Exists("snapins/Alpha") && Exists("inactive.snapins/Beta"));

  doc = RunJson({"set", base_, "--inactive", "Alpha", "--active", "Beta"}, status);
  EXPECT_EQ(status, 0);
  doc = RunJson({"set", base_, "--check", "--inactive", "Alpha", "--active", "Beta"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(doc["changed"].get<bool>());
  EXPECT_EQ(Entry(doc, "Beta")["status"].get<std::string>(), "unchanged");
}

TEST_F(Quillanctl, RequiredSnapinsAreLocked) {
  Make("snapins/Core");
  Make("inactive.snapins/Old");
  Make("snapins/Free");
  Ini("[Required Snapins]\na=core\nb=Old\n");
  int status = -1;
  Json doc = RunJson({"set", base_, "--inactive", "Core", "Free", "--active", "Old"}, status);
  EXPECT_EQ(status, ctl::kExitLocked);
  EXPECT_FALSE(doc["ok"].get<bool>());
  EXPECT_EQ(Entry(doc, "Core")["status"].get<std::string>(), "locked");
  EXPECT_NE(Entry(doc, "Core")["reason"].get<std::string>().find("required"), std::string::npos);
  EXPECT_EQ(Entry(doc, "Old")["status"].get<std::string>(), "locked");
  EXPECT_EQ(Entry(doc, "Free")["status"].get<std::string>(), "changed");  // the others still switch
  EXPECT_TRUE(Exists("snapins/Core") && Exists("inactive.snapins/Old"));
  EXPECT_TRUE(Exists("inactive.snapins/Free"));

  // Asking for the state a locked snap-in is in is no error.
  doc = RunJson({"enable", base_, "Core"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Entry(doc, "Core")["holds"].get<bool>());

  const ProcessResult text = Run({"disable", base_, "Core"});
  EXPECT_EQ(text.exitStatus, ctl::kExitLocked);
  EXPECT_NE(text.out.find("locked"), std::string::npos);
}

TEST_F(Quillanctl, ANameInBothPlacesIsNotChanged) {
  Make("snapins/Dup");
  Make("inactive.snapins/Dup");
  Make("inactive.lib/Dup");
  int status = -1;
  Json doc = RunJson({"disable", base_, "--check", "Dup"}, status);
  EXPECT_EQ(status, ctl::kExitMoveFailed);
  EXPECT_EQ(Entry(doc, "Dup")["status"].get<std::string>(), "failed");

  doc = RunJson({"disable", base_, "Dup"}, status);
  EXPECT_EQ(status, ctl::kExitMoveFailed);
  const Json dup = Entry(doc, "Dup");
  EXPECT_EQ(dup["before"].get<std::string>(), "both");
  EXPECT_EQ(dup["after"].get<std::string>(), "both");
  EXPECT_FALSE(dup["holds"].get<bool>());
  EXPECT_NE(dup["reason"].get<std::string>().find("both places"), std::string::npos);
  EXPECT_TRUE(Exists("snapins/Dup") && Exists("inactive.snapins/Dup"));
  EXPECT_TRUE(Exists("inactive.lib/Dup"));

  // Enabling makes the click's moves: the library folder, whose target is free, moves.
  doc = RunJson({"enable", base_, "Dup"}, status);
  EXPECT_EQ(status, ctl::kExitMoveFailed);
  EXPECT_TRUE(Exists("lib/Dup"));
  EXPECT_TRUE(Exists("snapins/Dup") && Exists("inactive.snapins/Dup"));
}

TEST_F(Quillanctl, OddNamesAreMatchedAsTheListMatchesThem) {
  const std::vector<std::string> names = {"Name With Spaces", "-dash", "a=b;c", "quote\"d",
                                          "caf\xC3\xA9", "Latin\xE9"};
  for (const auto& n : names) Make("snapins/" + n);
  Make("inactive.snapins/UPPER");

  int status = -1;
  Json doc = RunJson({"list", base_}, status);
  EXPECT_EQ(status, 0);
  // Every name survives the JSON round trip; one that is not UTF-8 comes with its bytes.
  EXPECT_EQ(Entry(doc, "Name With Spaces")["state"].get<std::string>(), "active");
  EXPECT_EQ(Entry(doc, "quote\"d")["state"].get<std::string>(), "active");
  EXPECT_EQ(Entry(doc, "caf\xC3\xA9")["state"].get<std::string>(), "active");
  EXPECT_FALSE(Entry(doc, "caf\xC3\xA9").contains("name_hex"));
  EXPECT_EQ(Entry(doc, "Latin\xEF\xBF\xBD")["name_hex"].get<std::string>(), "4c6174696ee9");

  doc = RunJson({"disable", base_, "name with spaces", "A=B;C", "quote\"d", "caf\xC3\xA9",
                 "Latin\xE9", "--", "-dash"},
                status);
  EXPECT_EQ(status, 0) << doc.dump(2);
  for (const auto& n : names) EXPECT_TRUE(Exists("inactive.snapins/" + n)) << n;

  doc = RunJson({"set", base_, "--active=upper", "--active=-dash"}, status);
  EXPECT_EQ(status, 0) << doc.dump(2);
  EXPECT_TRUE(Exists("snapins/UPPER") && Exists("snapins/-dash"));

  // Only the whole name matches.
  doc = RunJson({"enable", base_, "Name"}, status);
  EXPECT_EQ(status, ctl::kExitUnknownSnapin);
}

TEST_F(Quillanctl, FailedMovesAreReported) {
  Make("snapins/Alpha");
  Make("lib/Alpha");
  Make("inactive.lib/Alpha");  // the library target is occupied
  int status = -1;
  Json doc = RunJson({"disable", base_, "Alpha"}, status);
  EXPECT_EQ(status, ctl::kExitMoveFailed);
  const Json alpha = Entry(doc, "Alpha");
  EXPECT_EQ(alpha["status"].get<std::string>(), "failed");
  EXPECT_TRUE(alpha["changed"].get<bool>());
  EXPECT_NE(alpha["reason"].get<std::string>().find(Folder("lib/Alpha")), std::string::npos);
  ASSERT_EQ(alpha["moves"].size(), 2u);
  EXPECT_FALSE(alpha["moves"][1]["ok"].get<bool>());
  // Nothing was replaced: both library folders are still there.
  EXPECT_TRUE(Exists("lib/Alpha") && Exists("inactive.lib/Alpha"));
  EXPECT_TRUE(Exists("inactive.snapins/Alpha"));

  // A file where the inactive snap-in folder belongs: the move fails and the
  // snap-in stays active.
  TempDir other;
  other.MakeFile("bin/ConsoleOne.exe");
  other.MakeFolder("snapins/Gamma");
  other.MakeFile("inactive.snapins", "not a folder");
  doc = RunJson({"disable", other.Path(), "Gamma"}, status);
  EXPECT_EQ(status, ctl::kExitMoveFailed);
  EXPECT_EQ(Entry(doc, "Gamma")["after"].get<std::string>(), "active");
  EXPECT_FALSE(Entry(doc, "Gamma")["holds"].get<bool>());
  EXPECT_TRUE(TempDir::Exists(other.Join("snapins/Gamma")));
}

TEST_F(Quillanctl, ExitStatusesAndErrors) {
  Make("snapins/Alpha");
  Make("snapins/Core");
  Ini("[Required Snapins]\n1=Core\n");

  ProcessResult r = Run({"--help"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_NE(r.out.find("Exit status"), std::string::npos);
  r = Run({"frobnicate"});
  EXPECT_EQ(r.exitStatus, ctl::kExitUsage);
  EXPECT_NE(r.err.find("Usage:"), std::string::npos);

  int status = -1;
  Json doc = RunJson({"enable"}, status);
  EXPECT_EQ(status, ctl::kExitUsage);
  EXPECT_FALSE(doc["changed"].get<bool>());
  EXPECT_FALSE(doc["error"].get<std::string>().empty());

  // The same snap-in asked both ways (names differ in case only): nothing moves.
  doc = RunJson({"set", base_, "--active", "alpha", "--inactive", "ALPHA"}, status);
  EXPECT_EQ(status, ctl::kExitUsage);
  EXPECT_TRUE(Exists("snapins/Alpha"));

  doc = RunJson({"enable", dir_.Join("nowhere"), "Alpha"}, status);
  EXPECT_EQ(status, ctl::kExitNotInstallation);
  EXPECT_EQ(doc["outcome"].get<std::string>(), "invalid-path");

  // Several problems: the highest status wins; the rest of the request still runs.
  doc = RunJson({"disable", base_, "Core", "Missing", "Alpha"}, status);
  EXPECT_EQ(status, ctl::kExitUnknownSnapin);
  EXPECT_EQ(Entry(doc, "Missing")["status"].get<std::string>(), "unknown");
  EXPECT_EQ(Entry(doc, "Core")["status"].get<std::string>(), "locked");
  EXPECT_TRUE(Exists("inactive.snapins/Alpha"));
}

}  // namespace
