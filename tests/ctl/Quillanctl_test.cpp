// The real quillanctl on temporary installations: each command, --check,
// --json (parsed), every exit status, locks, names in both places, odd names
// and failed moves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <dirent.h>
#include <csignal>
#include <chrono>
#include <unistd.h>

#include "RunProcess.h"
#include "ctl/CommandLine.h"
#include "ctl/Report.h"
#include "ctl/Text.h"
#include "support/TempDir.h"

using ctl::Json;
using quillan_test::ProcessResult;
using quillan_test::RunProcess;
using quillan_test::TempDir;
namespace fs = std::filesystem;

namespace {

// The launcher a check reports missing: the system's own name.
#ifdef _WIN32
const std::string kNativeConsoleOne = "ConsoleOne.exe";
#else
const std::string kNativeConsoleOne = "ConsoleOne";
#endif

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
  EXPECT_EQ(doc["label"].get<std::string>(), dir_.Join("other/bin/" + kNativeConsoleOne) + " not Found");
  EXPECT_FALSE(doc["consoleone_exe"]["found"].get<bool>());
  EXPECT_TRUE(doc["rconj_exe"]["found"].get<bool>());
  EXPECT_EQ(doc["rconj_exe"]["path"].get<std::string>(), dir_.Join("other/RConJ.exe"));
  EXPECT_EQ(doc["snapins"].size(), 0u);
  EXPECT_FALSE(TempDir::Exists(dir_.Join("other/inactive.snapins")));

  const ProcessResult text = Run({"list", dir_.Join("other")});
  EXPECT_EQ(text.exitStatus, ctl::kExitNotInstallation);
  EXPECT_NE(text.out.find(kNativeConsoleOne + " not Found"), std::string::npos) << text.out;
}

#ifndef _WIN32
TEST_F(Quillanctl, LinuxLayoutIsAnInstallationAndWinsOverTheWindowsNames) {
  // ConsoleOne for Linux: bin/ConsoleOne and bin/RConJ, executable scripts.
  dir_.MakeFolder("lx/snapins/Eta");
  dir_.MakeFolder("lx/inactive.snapins/Theta");
  for (const char* name : {"lx/bin/ConsoleOne", "lx/bin/RConJ"}) {
    fs::permissions(dir_.MakeFile(name, "#!/bin/sh\n"), fs::perms::owner_exec, fs::perm_options::add);
  }
  int status = -1;
  Json doc = RunJson({"list", dir_.Join("lx")}, status);
  EXPECT_EQ(status, ctl::kExitOk) << doc.dump(2);
  EXPECT_EQ(doc["outcome"].get<std::string>(), "installation");
  EXPECT_EQ(doc["consoleone_exe"]["path"].get<std::string>(), dir_.Join("lx/bin/ConsoleOne"));
  EXPECT_EQ(doc["rconj_exe"]["path"].get<std::string>(), dir_.Join("lx/bin/RConJ"));
  EXPECT_EQ(Entry(doc, "Eta")["state"].get<std::string>(), "active");
  // Each name in both folders before the next: a Windows RConJ.exe in the
  // base folder does not win over bin/RConJ.
  dir_.MakeFile("lx/RConJ.exe");
  doc = RunJson({"list", dir_.Join("lx")}, status);
  EXPECT_EQ(doc["rconj_exe"]["path"].get<std::string>(), dir_.Join("lx/bin/RConJ"));
  EXPECT_TRUE(doc["rconj_exe"]["found"].get<bool>());
  doc = RunJson({"enable", dir_.Join("lx"), "Theta"}, status);
  EXPECT_EQ(status, ctl::kExitOk) << doc.dump(2);
  EXPECT_TRUE(TempDir::Exists(dir_.Join("lx/snapins/Theta")));

  // The fixture's Windows layout on the same machine is listed too; with
  // both names the native launcher is the one reported.
  doc = RunJson({"list", base_}, status);
  EXPECT_EQ(status, ctl::kExitOk);
  EXPECT_EQ(doc["consoleone_exe"]["path"].get<std::string>(), Folder("bin/ConsoleOne.exe"));
  dir_.MakeFile("c1/bin/ConsoleOne", "#!/bin/sh\n");
  doc = RunJson({"list", base_}, status);
  EXPECT_EQ(doc["consoleone_exe"]["path"].get<std::string>(), Folder("bin/ConsoleOne"));
}
#endif

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

// Whatever occupies a target, a plain file included, --check finds the
// conflict the real run meets, with the same status.
TEST_F(Quillanctl, CheckCountsEveryOccupiedTargetAsTheRealRunDoes) {
  struct Case {
    const char* occupant;
    bool folder;
  } cases[] = {{"lib/GroupWise", false}, {"lib/GroupWise", true}, {"snapins/GroupWise", false},
               {"resources/GroupWise", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.occupant) + (c.folder ? " (folder)" : " (file)"));
    fs::remove_all(Folder(""));
    for (const char* f : {"bin", "snapins", "lib", "resources", "inactive.snapins/GroupWise",
                          "inactive.lib/GroupWise", "inactive.resources/GroupWise"}) {
      Make(f);
    }
    dir_.MakeFile("c1/bin/ConsoleOne.exe");
    if (c.folder) {
      Make(c.occupant);
    } else {
      dir_.MakeFile("c1/" + std::string(c.occupant), "in the way");
    }
    int checked = -1;
    Json doc = RunJson({"enable", base_, "GroupWise", "--check"}, checked);
    EXPECT_EQ(checked, ctl::kExitMoveFailed);
    EXPECT_EQ(Entry(doc, "GroupWise")["status"], "failed");
    EXPECT_NE(Entry(doc, "GroupWise")["reason"].get<std::string>().find(Folder(c.occupant)),
              std::string::npos);
    EXPECT_TRUE(Exists("inactive.snapins/GroupWise") && Exists("inactive.lib/GroupWise"));
    int real = -1;
    doc = RunJson({"enable", base_, "GroupWise"}, real);
    EXPECT_EQ(real, checked);
    EXPECT_EQ(Entry(doc, "GroupWise")["status"], "failed");
  }
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

TEST_F(Quillanctl, SplitSnapinsAreReportedAndCheckPredictsTheRealRun) {
  Make("inactive.snapins/Split");
  Make("lib/Split");
  Make("resources/Split");
  Make("inactive.lib");
  Make("inactive.resources");
  int status = -1;
  Json doc = RunJson({"list", base_}, status);
  Json split = Entry(doc, "Split");
  EXPECT_EQ(split["state"], "split");
  EXPECT_EQ(split["places"], (Json{{"snapins", "inactive"}, {"lib", "active"}, {"resources", "active"}}));
  ProcessResult text = Run({"list", base_});
  EXPECT_NE(text.out.find("Split  split     (snapins: inactive, lib: active, resources: active)"),
            std::string::npos) << text.out;

  doc = RunJson({"disable", base_, "--check", "Split"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(doc["changed"].get<bool>());
  const Json predicted = Entry(doc, "Split");
  EXPECT_EQ(predicted["status"], "would-change");
  EXPECT_EQ(predicted["before"], "split");
  ASSERT_EQ(predicted["moves"].size(), 2u);
  EXPECT_TRUE(Exists("lib/Split"));

  doc = RunJson({"disable", base_, "Split"}, status);
  EXPECT_EQ(status, 0);
  const Json real = Entry(doc, "Split");
  EXPECT_EQ(real["status"], "changed");
  EXPECT_EQ(real["after"], "inactive");
  EXPECT_TRUE(real["holds"].get<bool>());
  EXPECT_EQ(real["moves"], predicted["moves"]);
  EXPECT_TRUE(Exists("inactive.lib/Split") && Exists("inactive.resources/Split"));

  // A library folder in both places keeps the snap-in from holding: exit 5, said before and after.
  Make("lib/Split");
  doc = RunJson({"disable", base_, "--check", "Split"}, status);
  EXPECT_EQ(status, ctl::kExitMoveFailed);
  EXPECT_EQ(Entry(doc, "Split")["before"], "split");
  doc = RunJson({"disable", base_, "Split"}, status);
  EXPECT_EQ(status, ctl::kExitMoveFailed);
  EXPECT_FALSE(Entry(doc, "Split")["holds"].get<bool>());
  EXPECT_EQ(Entry(doc, "Split")["places"]["lib"], "both");
}

TEST_F(Quillanctl, CheckCreatesNothingAndSaysWhatItWouldCreate) {
  Make("snapins/Alpha");
  int status = -1;
  Json doc = RunJson({"disable", base_, "--check", "Alpha"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(doc["created_folders"].size(), 0u);
  EXPECT_EQ(doc["would_create_folders"],
            (Json{Folder("inactive.snapins"), Folder("inactive.lib"), Folder("inactive.resources")}));
  EXPECT_TRUE(doc["changed"].get<bool>());
  EXPECT_EQ(Entry(doc, "Alpha")["status"], "would-change");
  EXPECT_FALSE(Exists("inactive.snapins") || Exists("inactive.lib") || Exists("inactive.resources"));
  const ProcessResult text = Run({"enable", base_, "--check", "Alpha"});
  EXPECT_NE(text.out.find("[check] would create " + Folder("inactive.lib")), std::string::npos);
  EXPECT_FALSE(Exists("inactive.lib"));
}

TEST_F(Quillanctl, AnExactNameWinsAndACaseBlindOneMustBeUnique) {
  Make("snapins/Foo");
  Make("inactive.snapins/foo");
  Make("snapins/Bar");
  int status = -1;
  Json doc = RunJson({"enable", base_, "foo"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Entry(doc, "foo")["listed_name"], "foo");
  EXPECT_EQ(Entry(doc, "foo")["status"], "changed");
  EXPECT_TRUE(Exists("snapins/foo") && Exists("snapins/Foo"));

  doc = RunJson({"disable", base_, "FOO", "bar"}, status);
  EXPECT_EQ(status, ctl::kExitUnknownSnapin);
  const Json foo = Entry(doc, "FOO");
  EXPECT_EQ(foo["status"], "ambiguous");
  EXPECT_NE(foo["reason"].get<std::string>().find("\"Foo\" \"foo\""), std::string::npos);
  EXPECT_TRUE(Exists("snapins/foo") && Exists("snapins/Foo"));
  EXPECT_EQ(Entry(doc, "bar")["status"], "changed");  // a unique case-blind match still works

  // A required entry locks both.
  Ini("[Required Snapins]\n1=FOO\n");
  doc = RunJson({"list", base_}, status);
  EXPECT_TRUE(Entry(doc, "Foo")["locked"].get<bool>());
  EXPECT_TRUE(Entry(doc, "foo")["locked"].get<bool>());
  EXPECT_FALSE(Entry(doc, "Bar")["locked"].get<bool>());
}

TEST_F(Quillanctl, NamesThatAreNotUtf8HaveAnExactForm) {
  const std::string latin1 = "caf\xE9", utf8 = "caf\xC3\xA9";
  Make("snapins/" + latin1);
  Make("snapins/" + utf8);
  int status = -1;
  Json doc = RunJson({"list", base_}, status);
  ASSERT_EQ(doc["snapins"].size(), 2u);
  EXPECT_FALSE(Entry(doc, utf8).contains("name_hex"));
  const Json other = Entry(doc, "caf\xEF\xBF\xBD");
  EXPECT_EQ(other["name_hex"], "636166e9");

  // The readable text addresses the UTF-8 folder, the hex the other one.
  doc = RunJson({"disable", base_, utf8}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Exists("inactive.snapins/" + utf8) && Exists("snapins/" + latin1));
  doc = RunJson({"disable", base_, "--hex", other["name_hex"].get<std::string>()}, status);
  EXPECT_EQ(status, 0) << doc.dump(2);
  EXPECT_EQ(Entry(doc, "caf\xEF\xBF\xBD")["name_hex"], "636166e9");
  EXPECT_EQ(Entry(doc, "caf\xEF\xBF\xBD")["listed_name_hex"], "636166e9");
  EXPECT_TRUE(Exists("inactive.snapins/" + latin1));
  doc = RunJson({"set", base_, "--hex", "--active=" + ctl::ToHex(utf8)}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Exists("snapins/" + utf8) && Exists("inactive.snapins/" + latin1));
  EXPECT_EQ(Run({"enable", base_, "--hex", "xyz"}).exitStatus, ctl::kExitUsage);
}

TEST_F(Quillanctl, TextOutputEscapesControlsAndPadsByWidth) {
  Make("snapins/X\n  NDSMgmt   inactive");
  Make("snapins/\x1b[2JClear");
  Make("snapins/caf\xC3\xA9");
  Make("snapins/Alpha");
  const ProcessResult text = Run({"list", base_});
  EXPECT_EQ(text.out.find("\n  NDSMgmt"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("X\\n  NDSMgmt   inactive  active"), std::string::npos) << text.out;
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
  EXPECT_NE(text.out.find("\\x1b[2JClear"), std::string::npos);
  // The state column starts at the same display column on every row.
  const std::size_t alpha = text.out.find("  Alpha ");
  const std::size_t cafe = text.out.find("  caf\xC3\xA9 ");
  ASSERT_NE(alpha, std::string::npos);
  ASSERT_NE(cafe, std::string::npos);
  EXPECT_EQ(text.out.find("active", alpha) - alpha, text.out.find("active", cafe) - cafe - 1);
}

TEST_F(Quillanctl, MessagesSayWhatWentWrong) {
  Make("snapins/Alpha");
  Make("inactive.snapins/Alpha2");
  ProcessResult r = Run({"disable", "."});
  EXPECT_EQ(r.exitStatus, ctl::kExitUsage);
  EXPECT_NE(r.err.find("\".\" was taken as BASE"), std::string::npos) << r.err;
  r = Run({"disable", "../bin"});
  EXPECT_NE(r.err.find("\"../bin\" was taken as BASE"), std::string::npos) << r.err;

  r = Run({"disable", base_, ""});
  EXPECT_EQ(r.exitStatus, ctl::kExitUnknownSnapin);
  EXPECT_NE(r.out.find("(the empty name): unknown - the empty name names no snap-in"),
            std::string::npos) << r.out;

  // The system's reason for a failed move.
  Make("lib/Alpha");
  Make("inactive.lib/Alpha");
  r = Run({"disable", base_, "Alpha"});
  EXPECT_EQ(r.exitStatus, ctl::kExitMoveFailed);
  EXPECT_NE(r.out.find("could not move " + Folder("lib/Alpha") + " to " + Folder("inactive.lib/Alpha") +
                       ": File exists"),
            std::string::npos) << r.out;
}

// The entries of a folder, without "." and "..".
std::size_t EntryCount(const std::string& folder) {
  std::size_t n = 0;
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* e = readdir(d)) n += e->d_name[0] != '.' ? 1u : 0u;
    closedir(d);
  }
  return n;
}

// A process that takes BASE's lock as `uid` would (-1: as this user) and
// keeps whatever it got; `took` says whether it got it.
struct Holder {
  pid_t pid = -1;
  bool took = false;
  Holder(const std::string& base, uid_t uid) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid = fork();
    if (pid == 0) {
      // Only async-signal-safe calls in the child of a threaded process.
      char got = 0;
      if (uid == static_cast<uid_t>(-1) || (setgid(65534) == 0 && setuid(uid) == 0)) {
        const std::string file = base + "/.quillan.lock";
        int fd = open(file.c_str(), O_RDWR | O_CREAT, 0600);
        struct flock range {};
        range.l_type = F_WRLCK;
        if (fd >= 0 && fcntl(fd, F_OFD_SETLK, &range) == 0) got = 1;
        // What a reader can do besides: the old lock, a read lock.
        const int dir = open(base.c_str(), O_RDONLY | O_DIRECTORY);
        if (dir >= 0) flock(dir, LOCK_EX | LOCK_NB);
        fd = open(file.c_str(), O_RDONLY);
        range.l_type = F_RDLCK;
        if (fd >= 0) fcntl(fd, F_OFD_SETLK, &range);
      }
      ssize_t ignored = write(ready[1], &got, 1);
      (void)ignored;
      pause();
      _exit(0);
    }
    close(ready[1]);
    char got = 0;
    took = read(ready[0], &got, 1) == 1 && got == 1;
    close(ready[0]);
  }
  ~Holder() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
};

TEST_F(Quillanctl, TheLockOnTheInstallationIsBoundedAndOnlyWritersCanTakeIt) {
  Make("snapins/Alpha");
  Ini("[Paths]\nC1=" + base_ + "\n");
  const std::string lockFile = Folder(".quillan.lock");
  {
    // A stopped holder: the run waits, says so, and gives up with "busy".
    Holder stopped(base_, static_cast<uid_t>(-1));
    ASSERT_TRUE(stopped.took);
    kill(stopped.pid, SIGSTOP);
    struct Case {
      std::vector<std::string> args;
      bool saysWaiting;
    };
    for (const Case& c : std::vector<Case>{{{"disable", base_, "Alpha", "--wait", "0.3"}, true},
                                           {{"disable", "--base", "", "Alpha", "--wait", "0.3"}, true},
                                           {{"list", "--wait", "0"}, false}}) {
      SCOPED_TRACE(c.args[0] + " " + c.args[1]);
      const auto start = std::chrono::steady_clock::now();
      int status = -1;
      const Json doc = RunJson(c.args, status);
      EXPECT_EQ(status, ctl::kExitBusy);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
      EXPECT_NE(doc["error"].get<std::string>().find("another run holds the lock on " + base_),
                std::string::npos) << doc.dump(2);
      EXPECT_EQ(Run(c.args).err.find("quillanctl: waiting for another run on " + base_) != std::string::npos,
                c.saysWaiting);
      EXPECT_TRUE(Exists("snapins/Alpha"));
    }
    // Freed while a run waits: the run goes on.
    ProcessResult r;
    std::thread run([&] { r = Run({"disable", base_ + "/", "Alpha"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(Exists("snapins/Alpha"));
    kill(stopped.pid, SIGKILL);
    run.join();
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(Exists("inactive.snapins/Alpha"));
  }
  // Taken over from the dead holder, and kept as it was: never removed or written.
  EXPECT_TRUE(TempDir::Exists(lockFile));
  EXPECT_EQ(TempDir::ReadFile(lockFile), "");

  if (geteuid() != 0) GTEST_SKIP() << "another user's process needs root";
  // A user who may only read BASE can neither take the lock nor stall a run
  // by the folder's flock or a read lock: the file is not theirs to open.
  fs::permissions(dir_.Path(), fs::perms::others_exec | fs::perms::others_read, fs::perm_options::add);
  Holder nobody(base_, 65534);
  EXPECT_FALSE(nobody.took);
  const ProcessResult r = Run({"enable", base_, "Alpha", "--wait", "0"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(Exists("snapins/Alpha"));
}

// Runs as user nobody through setpriv, as a reader of the installation.
TEST_F(Quillanctl, AReaderListsWithoutTheLockAndSaysSoButCannotSwitch) {
  if (geteuid() != 0 || !TempDir::Exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs root and setpriv";
  Make("snapins/Alpha");
  fs::permissions(dir_.Path(), fs::perms::others_exec | fs::perms::others_read, fs::perm_options::add);
  const auto asNobody = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", exe_});
    return RunProcess("/usr/bin/setpriv", args);
  };
  // Reading makes no lock file.
  ProcessResult r = asNobody({"list", base_});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_NE(r.out.find("Alpha"), std::string::npos);
  EXPECT_EQ(r.err.find("note"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(".quillan.lock"));
  // Once a switch made the lock file, a reader who may not open it says so.
  ASSERT_EQ(Run({"enable", base_, "Alpha"}).exitStatus, 0);
  ASSERT_TRUE(Exists(".quillan.lock"));
  r = asNobody({"list", base_});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_NE(r.err.find("quillanctl: note: cannot tell whether another run is switching snap-ins in " + base_ +
                       " (" + base_ + "/.quillan.lock: Permission denied"),
            std::string::npos)
      << r.err;
  // --check says what the real run meets: no right to move.
  r = asNobody({"disable", base_, "Alpha", "--check"});
  EXPECT_EQ(r.exitStatus, ctl::kExitMoveFailed) << r.out << r.err;
  EXPECT_NE(r.out.find("Permission denied"), std::string::npos) << r.out;
  r = asNobody({"disable", base_, "Alpha", "--json"});
  EXPECT_EQ(r.exitStatus, ctl::kExitError);
  EXPECT_NE(Json::parse(r.out)["error"].get<std::string>().find("cannot lock " + base_ + " to switch"),
            std::string::npos);
  EXPECT_TRUE(Exists("snapins/Alpha"));
}

// A large set stopped by a signal finishes the snap-in in progress with all
// its folders and prints what it did; a reader that goes away (| head) stops
// nothing. Before, 5 of 9 kills left one snap-in split and printed nothing.
TEST_F(Quillanctl, ASignalEndsABigSetBetweenSnapinsAndAClosedOutputStopsNothing) {
  constexpr int kSnapins = 3000;
  std::vector<std::string> names;
  for (int i = 0; i < kSnapins; ++i) {
    names.push_back("S" + std::to_string(i));
    for (const char* kind : {"snapins/", "lib/", "resources/"}) Make(kind + names.back());
  }
  Run({"list", base_});
  // Every snap-in whole in one place; the number of inactive ones.
  const auto inactiveWhole = [&] {
    std::size_t inactive = 0;
    for (const auto& n : names) {
      const bool off = Exists("inactive.snapins/" + n);
      EXPECT_EQ(Exists("inactive.lib/" + n), off) << n;
      EXPECT_EQ(Exists("inactive.resources/" + n), off) << n;
      EXPECT_NE(Exists("snapins/" + n), off) << n;
      inactive += off ? 1u : 0u;
    }
    return inactive;
  };
  struct Case {
    int signal;
    bool json;
  };
  std::vector<std::string> args = {"set", base_, "--inactive"};
  args.insert(args.end(), names.begin(), names.end());
  for (const Case& c : {Case{SIGTERM, true}, Case{SIGINT, false}, Case{SIGHUP, true}, Case{SIGQUIT, true},
                        Case{SIGUSR1, false}}) {
    SCOPED_TRACE(c.signal);
    const std::size_t before = inactiveWhole();
    std::vector<std::string> a = args;
    if (c.json) a.push_back("--json");
    // Signalled once the first snap-in has moved.
    const ProcessResult r = RunProcess(exe_, a, [&](int pid) {
      const auto start = std::chrono::steady_clock::now();
      while (EntryCount(Folder("inactive.snapins")) <= before &&
             std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      kill(pid, c.signal);
    });
    EXPECT_EQ(r.exitStatus, ctl::kExitSignalBase + c.signal) << r.err;
    const std::size_t after = inactiveWhole();
    EXPECT_LT(after, names.size());  // stopped before the end
    std::size_t reported = 0;
    if (c.json) {
      const Json doc = Json::parse(r.out);
      EXPECT_EQ(doc["interrupted"], ctl::SignalName(c.signal));
      for (const Json& e : doc["snapins"]) reported += e["status"] == "changed" ? 1u : 0u;
    } else {
      for (std::size_t at = 0; (at = r.out.find(": changed - ", at)) != std::string::npos; ++at) ++reported;
      EXPECT_NE(r.out.find("stopped by " + ctl::SignalName(c.signal) + " after "), std::string::npos)
          << r.out.substr(r.out.size() - 200);
    }
    EXPECT_EQ(reported, after - before);  // the report tells every move made
  }

  // `| head -1`: the moves all happen and the status is theirs.
  std::vector<std::string> shell = {"-c", "set -o pipefail; \"$0\" \"$@\" | head -1 >/dev/null; echo ${PIPESTATUS[0]}",
                                    exe_};
  shell.insert(shell.end(), args.begin(), args.end());
  const ProcessResult piped = RunProcess("/bin/bash", shell);
  EXPECT_EQ(piped.out, "0\n") << piped.err;
  EXPECT_EQ(inactiveWhole(), names.size());
}

// Runs that overlap on one installation: every answer must describe a state
// that existed. Without the lock some answered "no such snap-in", listed a
// snap-in in both places, or listed too few.
TEST_F(Quillanctl, ConcurrentRunsGiveNoWrongAnswer) {
  const std::vector<std::string> names = {"S0", "S1", "S2", "S3"};
  for (const auto& n : names) {
    Make("snapins/" + n);
    Make("lib/" + n);
    Make("resources/" + n);
  }
  // Longer listings make the runs overlap more.
  constexpr std::size_t kFillers = 300;
  for (std::size_t i = 0; i < kFillers; ++i) Make("snapins/F" + std::to_string(i));
  Run({"list", base_});  // creates the inactive folders once
  constexpr int kRuns = 20;
  std::vector<std::string> wrong[4];
  const auto check = [](std::vector<std::string>& wrongAnswers, const ProcessResult& r,
                        std::size_t snapins) {
    Json doc;
    try {
      doc = Json::parse(r.out);
    } catch (const std::exception&) {
      wrongAnswers.push_back(r.out + r.err);
      return;
    }
    bool ok = r.exitStatus == 0 && doc["snapins"].size() == snapins;
    for (const Json& s : doc["snapins"]) {
      const std::string field = s.contains("status") ? "status" : "state";
      const std::string value = s[field].get<std::string>();
      ok = ok && value != "unknown" && value != "failed" && value != "both" && value != "split";
    }
    if (!ok) wrongAnswers.push_back(doc.dump());
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRuns; ++i)
        check(wrong[t], Run({(i + t) % 2 ? "enable" : "disable", "--json", base_, "S0", "S1"}), 2);
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < kRuns; ++i)
      check(wrong[2], Run({"set", "--json", base_, i % 2 ? "--active" : "--inactive", "S2",
                           i % 2 ? "--inactive" : "--active", "S3"}), 2);
  });
  threads.emplace_back([&] {
    for (int i = 0; i < kRuns; ++i) check(wrong[3], Run({"list", "--json", base_}), 4 + kFillers);
  });
  for (auto& t : threads) t.join();
  for (const auto& w : wrong) EXPECT_TRUE(w.empty()) << w.size() << " wrong, first: " << w.front();
}

}  // namespace
