// The real quillanctl on temporary installations: each command, --check,
// --json (parsed), every exit status, locks, names in both places, odd names
// and failed moves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "RunProcess.h"
#include "ctl/CommandLine.h"
#include "ctl/Json.h"
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
      return Json::Parse(r.out);
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what() << "\nstdout: " << r.out << "\nstderr: " << r.err;
      return Json();
    }
  }

  // The entry of a JSON "snapins" array with the given name.
  static const Json& Entry(const Json& doc, const std::string& name) {
    for (const Json& s : doc["snapins"].AsArray())
      if (s["name"].AsString() == name) return s;
    static const Json none;
    ADD_FAILURE() << "no entry " << name << " in " << doc.Dump(2);
    return none;
  }

  TempDir dir_;
  std::string exe_;
  std::string base_;
};

TEST_F(Quillanctl, ListShowsTheThreeCheckOutcomes) {
  int status = -1;
  Json doc = RunJson({"list", dir_.Join("nowhere")}, status);
  EXPECT_EQ(status, ctl::kExitNotInstallation);
  EXPECT_EQ(doc["outcome"].AsString(), "invalid-path");
  EXPECT_EQ(doc["label"].AsString(), "Invalid path");
  EXPECT_FALSE(doc["ok"].AsBool());

  // A folder without bin/ConsoleOne.exe but with RConJ.exe: no list, nothing created.
  dir_.MakeFile("other/RConJ.exe");
  dir_.MakeFolder("other/snapins/X");
  doc = RunJson({"list", dir_.Join("other")}, status);
  EXPECT_EQ(status, ctl::kExitNotInstallation);
  EXPECT_EQ(doc["outcome"].AsString(), "not-installed");
  EXPECT_EQ(doc["label"].AsString(), dir_.Join("other/bin/" + kNativeConsoleOne) + " not Found");
  EXPECT_FALSE(doc["consoleone_exe"]["found"].AsBool());
  EXPECT_TRUE(doc["rconj_exe"]["found"].AsBool());
  EXPECT_EQ(doc["rconj_exe"]["path"].AsString(), dir_.Join("other/RConJ.exe"));
  EXPECT_EQ(doc["snapins"].Size(), 0u);
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
  EXPECT_EQ(status, ctl::kExitOk) << doc.Dump(2);
  EXPECT_EQ(doc["outcome"].AsString(), "installation");
  EXPECT_EQ(doc["consoleone_exe"]["path"].AsString(), dir_.Join("lx/bin/ConsoleOne"));
  EXPECT_EQ(doc["rconj_exe"]["path"].AsString(), dir_.Join("lx/bin/RConJ"));
  EXPECT_EQ(Entry(doc, "Eta")["state"].AsString(), "active");
  doc = RunJson({"enable", dir_.Join("lx"), "Theta"}, status);
  EXPECT_EQ(status, ctl::kExitOk) << doc.Dump(2);
  EXPECT_TRUE(TempDir::Exists(dir_.Join("lx/snapins/Theta")));

  // The fixture's Windows layout on the same machine is listed too; with
  // both names the native launcher is the one reported.
  doc = RunJson({"list", base_}, status);
  EXPECT_EQ(status, ctl::kExitOk);
  EXPECT_EQ(doc["consoleone_exe"]["path"].AsString(), Folder("bin/ConsoleOne.exe"));
  dir_.MakeFile("c1/bin/ConsoleOne", "#!/bin/sh\n");
  doc = RunJson({"list", base_}, status);
  EXPECT_EQ(doc["consoleone_exe"]["path"].AsString(), Folder("bin/ConsoleOne"));
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
  EXPECT_EQ(doc["outcome"].AsString(), "installation");
  EXPECT_EQ(doc["base"].AsString(), base_);  // the trailing separator is dropped
  EXPECT_TRUE(doc["consoleone_exe"]["found"].AsBool());
  EXPECT_EQ(doc["rconj_exe"]["path"].AsString(), Folder("bin/RConJ.exe"));
  EXPECT_FALSE(doc["consoleone_running"].AsBool());
  ASSERT_EQ(doc["snapins"].Size(), 4u) << doc.Dump(2);
  EXPECT_EQ(Entry(doc, "Alpha")["state"].AsString(), "active");
  EXPECT_FALSE(Entry(doc, "Alpha")["locked"].AsBool());
  EXPECT_TRUE(Entry(doc, "Alpha")["lock"].IsNull());
  EXPECT_EQ(Entry(doc, "Beta")["state"].AsString(), "inactive");
  EXPECT_EQ(Entry(doc, "Dup")["state"].AsString(), "both");
  EXPECT_TRUE(Entry(doc, "Core")["locked"].AsBool());
  EXPECT_EQ(Entry(doc, "Core")["lock"].AsString(), "required");
  // The missing inactive folders are created, once.
  EXPECT_EQ(doc["created_folders"].Size(), 2u);
  EXPECT_TRUE(doc["changed"].AsBool());
  EXPECT_TRUE(Exists("inactive.lib") && Exists("inactive.resources"));

  doc = RunJson({"list", base_}, status);
  EXPECT_EQ(doc["created_folders"].Size(), 0u);
  EXPECT_FALSE(doc["changed"].AsBool());

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
  EXPECT_EQ(doc["base"].AsString(), base_);
  doc = RunJson({"disable", "Alpha"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Exists("inactive.snapins/Alpha"));

  EXPECT_TRUE(fs::is_empty(dir_.Join("config")));
  EXPECT_EQ(TempDir::ReadFile(dir_.Join("opt/quillan.ini")), iniBefore);

  // Without a machine-wide file the window's built-in default applies.
  fs::remove(dir_.Join("opt/quillan.ini"));
  doc = RunJson({"list"}, status);
  EXPECT_EQ(doc["base"].AsString(), "/usr/ConsoleOne");
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
  EXPECT_TRUE(doc["changed"].AsBool());
  const Json& beta = Entry(doc, "beta");
  EXPECT_EQ(beta["listed_name"].AsString(), "Beta");
  EXPECT_EQ(beta["status"].AsString(), "changed");
  EXPECT_EQ(beta["before"].AsString(), "inactive");
  EXPECT_EQ(beta["after"].AsString(), "active");
  EXPECT_TRUE(beta["holds"].AsBool());
  EXPECT_EQ(beta["moves"].Size(), 3u);
  EXPECT_TRUE(Exists("snapins/Beta") && Exists("lib/Beta") && Exists("resources/Beta"));
  EXPECT_FALSE(Exists("inactive.snapins/Beta") || Exists("inactive.lib/Beta"));

  doc = RunJson({"enable", base_, "Beta"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(doc["changed"].AsBool());
  EXPECT_EQ(Entry(doc, "Beta")["status"].AsString(), "unchanged");
  EXPECT_EQ(Entry(doc, "Beta")["moves"].Size(), 0u);

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
  EXPECT_TRUE(doc["check"].AsBool());
  EXPECT_TRUE(doc["changed"].AsBool());
  EXPECT_EQ(Entry(doc, "Alpha")["status"].AsString(), "would-change");
  EXPECT_EQ(Entry(doc, "Alpha")["after"].AsString(), "active");
  EXPECT_TRUE(Exists("snapins/Alpha") && Exists("inactive.snapins/Beta"));

  doc = RunJson({"set", base_, "--inactive", "Alpha", "--active", "Beta"}, status);
  EXPECT_EQ(status, 0);
  doc = RunJson({"set", base_, "--check", "--inactive", "Alpha", "--active", "Beta"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(doc["changed"].AsBool());
  EXPECT_EQ(Entry(doc, "Beta")["status"].AsString(), "unchanged");
}

TEST_F(Quillanctl, RequiredSnapinsAreLocked) {
  Make("snapins/Core");
  Make("inactive.snapins/Old");
  Make("snapins/Free");
  Ini("[Required Snapins]\na=core\nb=Old\n");
  int status = -1;
  Json doc = RunJson({"set", base_, "--inactive", "Core", "Free", "--active", "Old"}, status);
  EXPECT_EQ(status, ctl::kExitLocked);
  EXPECT_FALSE(doc["ok"].AsBool());
  EXPECT_EQ(Entry(doc, "Core")["status"].AsString(), "locked");
  EXPECT_NE(Entry(doc, "Core")["reason"].AsString().find("required"), std::string::npos);
  EXPECT_EQ(Entry(doc, "Old")["status"].AsString(), "locked");
  EXPECT_EQ(Entry(doc, "Free")["status"].AsString(), "changed");  // the others still switch
  EXPECT_TRUE(Exists("snapins/Core") && Exists("inactive.snapins/Old"));
  EXPECT_TRUE(Exists("inactive.snapins/Free"));

  // Asking for the state a locked snap-in is in is no error.
  doc = RunJson({"enable", base_, "Core"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Entry(doc, "Core")["holds"].AsBool());

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
  EXPECT_EQ(Entry(doc, "Dup")["status"].AsString(), "failed");

  doc = RunJson({"disable", base_, "Dup"}, status);
  EXPECT_EQ(status, ctl::kExitMoveFailed);
  const Json& dup = Entry(doc, "Dup");
  EXPECT_EQ(dup["before"].AsString(), "both");
  EXPECT_EQ(dup["after"].AsString(), "both");
  EXPECT_FALSE(dup["holds"].AsBool());
  EXPECT_NE(dup["reason"].AsString().find("both places"), std::string::npos);
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
  // Every name survives the JSON round trip; a byte that is not UTF-8 reads as Latin-1.
  EXPECT_EQ(Entry(doc, "Name With Spaces")["state"].AsString(), "active");
  EXPECT_EQ(Entry(doc, "quote\"d")["state"].AsString(), "active");
  EXPECT_EQ(Entry(doc, "caf\xC3\xA9")["state"].AsString(), "active");
  EXPECT_EQ(Entry(doc, "Latin\xC3\xA9")["state"].AsString(), "active");

  doc = RunJson({"disable", base_, "name with spaces", "A=B;C", "quote\"d", "caf\xC3\xA9",
                 "Latin\xE9", "--", "-dash"},
                status);
  EXPECT_EQ(status, 0) << doc.Dump(2);
  for (const auto& n : names) EXPECT_TRUE(Exists("inactive.snapins/" + n)) << n;

  doc = RunJson({"set", base_, "--active=upper", "--active=-dash"}, status);
  EXPECT_EQ(status, 0) << doc.Dump(2);
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
  const Json& alpha = Entry(doc, "Alpha");
  EXPECT_EQ(alpha["status"].AsString(), "failed");
  EXPECT_TRUE(alpha["changed"].AsBool());
  EXPECT_NE(alpha["reason"].AsString().find(Folder("lib/Alpha")), std::string::npos);
  ASSERT_EQ(alpha["moves"].Size(), 2u);
  EXPECT_FALSE(alpha["moves"][1]["ok"].AsBool());
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
  EXPECT_EQ(Entry(doc, "Gamma")["after"].AsString(), "active");
  EXPECT_FALSE(Entry(doc, "Gamma")["holds"].AsBool());
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
  EXPECT_NE(r.err.find("usage"), std::string::npos);

  int status = -1;
  Json doc = RunJson({"enable"}, status);
  EXPECT_EQ(status, ctl::kExitUsage);
  EXPECT_FALSE(doc["changed"].AsBool());
  EXPECT_FALSE(doc["error"].AsString().empty());

  // The same snap-in asked both ways (names differ in case only): nothing moves.
  doc = RunJson({"set", base_, "--active", "alpha", "--inactive", "ALPHA"}, status);
  EXPECT_EQ(status, ctl::kExitUsage);
  EXPECT_TRUE(Exists("snapins/Alpha"));

  doc = RunJson({"enable", dir_.Join("nowhere"), "Alpha"}, status);
  EXPECT_EQ(status, ctl::kExitNotInstallation);
  EXPECT_EQ(doc["outcome"].AsString(), "invalid-path");

  // Several problems: the highest status wins; the rest of the request still runs.
  doc = RunJson({"disable", base_, "Core", "Missing", "Alpha"}, status);
  EXPECT_EQ(status, ctl::kExitUnknownSnapin);
  EXPECT_EQ(Entry(doc, "Missing")["status"].AsString(), "unknown");
  EXPECT_EQ(Entry(doc, "Core")["status"].AsString(), "locked");
  EXPECT_TRUE(Exists("inactive.snapins/Alpha"));
}

}  // namespace
