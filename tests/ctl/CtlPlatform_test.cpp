// The decorator and the engine in process, where the platform double can
// fake a ConsoleOne window and make moves fail.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "ctl/CtlPlatform.h"
#include "ctl/Engine.h"
#include "ctl/Report.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"

using ctl::CtlPlatform;
using quillan_test::PlatformDouble;
using quillan_test::TempDir;

TEST(CtlPlatform, PresentsItselfAsTheWindowProgramBesideIt) {
  EXPECT_EQ(CtlPlatform::WindowProgramPath("/opt/quillan/quillanctl"), "/opt/quillan/quillan");
  EXPECT_EQ(CtlPlatform::WindowProgramPath("C:\\Tools\\quillanctl.exe"), "C:\\Tools\\quillan.exe");
  EXPECT_EQ(CtlPlatform::WindowProgramPath("/a.b/quillanctl"), "/a.b/quillan");
  EXPECT_EQ(CtlPlatform::WindowProgramPath("quillanctl"), "quillan");

  PlatformDouble inner;
  inner.SetExecutablePath("/x/y/quillanctl");
  CtlPlatform p(&inner);
  EXPECT_EQ(p.ExecutablePath(), "/x/y/quillan");
}

TEST(CtlPlatform, RefusesEverySettingsWrite) {
  TempDir dir;
  PlatformDouble inner;
  CtlPlatform p(&inner);
  const std::string ini = dir.Join("quillan.ini");
  EXPECT_FALSE(p.ProfileWrite(ini, "Settings", "k", "v"));
  EXPECT_FALSE(p.ProfileEraseSection(ini, "Settings"));
  EXPECT_FALSE(TempDir::Exists(ini));
  EXPECT_EQ(inner.Calls(quillan_test::Op::ProfileWrite), 0);
  EXPECT_EQ(p.RefusedWrites().size(), 2u);

}

class EngineInProcess : public ::testing::Test {
 protected:
  EngineInProcess() {
    inner_.SetExecutablePath(dir_.Join("quillanctl"));
    dir_.MakeFile("c1/bin/ConsoleOne.exe");
    dir_.MakeFolder("c1/snapins/Alpha");
    dir_.MakeFolder("c1/lib/Alpha");
    dir_.MakeFolder("c1/inactive.snapins/Beta");
    TempDir::WriteFile(dir_.Join("quillan.ini"), "[Paths]\nC1=" + dir_.Join("c1") + "\n");
  }

  ctl::ChangeReport Apply(ctl::Command command, std::vector<ctl::Request> requests,
                          bool check = false) {
    ctl::CtlPlatform p(&inner_);
    ctl::InstalledPlatform installed(p);
    ctl::Session session(p);
    ctl::Options o;
    o.command = command;
    o.requests = std::move(requests);
    o.check = check;
    return session.Apply(o);
  }

  TempDir dir_;
  PlatformDouble inner_;
};

TEST_F(EngineInProcess, ConsoleOneWindowLocksEverySnapin) {
  inner_.SetTopLevelWindows({{7, "Novell ConsoleOne - [tree]"}});
  {
    ctl::CtlPlatform p(&inner_);
    ctl::InstalledPlatform installed(p);
    ctl::Session session(p);
    const ctl::Inventory inv = session.List(std::nullopt);
    EXPECT_EQ(inv.base, dir_.Join("c1"));
    EXPECT_TRUE(inv.consoleOneRunning);
    ASSERT_EQ(inv.snapins.size(), 2u);
    for (const auto& s : inv.snapins) {
      EXPECT_TRUE(s.locked);
      EXPECT_EQ(s.lock, "consoleone-running");
    }
  }
  const auto report = Apply(ctl::Command::Set, {{"Alpha", ctl::Wanted::Inactive},
                                                {"beta", ctl::Wanted::Inactive}});
  EXPECT_EQ(report.exitStatus, ctl::kExitLocked);
  EXPECT_FALSE(report.changed);
  ASSERT_EQ(report.results.size(), 2u);
  EXPECT_EQ(report.results[0].status, "locked");
  EXPECT_NE(report.results[0].reason.find("ConsoleOne is running"), std::string::npos);
  // Already in the wanted state: fine even while locked.
  EXPECT_EQ(report.results[1].status, "unchanged");
  EXPECT_TRUE(report.results[1].holds);
  EXPECT_TRUE(inner_.Moves().empty());
  EXPECT_TRUE(TempDir::Exists(dir_.Join("c1/snapins/Alpha")));
  // The inactive folders are still created, as the window's check does.
  EXPECT_TRUE(TempDir::Exists(dir_.Join("c1/inactive.lib")));

  // A title in another case is not ConsoleOne.
  inner_.SetTopLevelWindows({{7, "novell consoleone"}});
  EXPECT_EQ(Apply(ctl::Command::Disable, {{"Alpha", ctl::Wanted::Inactive}}).exitStatus,
            ctl::kExitOk);
}

TEST_F(EngineInProcess, AFailedMoveIsReportedAndTheRestStillMoves) {
  // The library folder's move fails; the snap-in folder's succeeds.
  inner_.FailMoveFolderWhen([](const std::string& path) {
    return path.find("lib") != std::string::npos;
  });
  const auto report = Apply(ctl::Command::Disable, {{"Alpha", ctl::Wanted::Inactive}});
  EXPECT_EQ(report.exitStatus, ctl::kExitMoveFailed);
  ASSERT_EQ(report.results.size(), 1u);
  const auto& r = report.results[0];
  EXPECT_EQ(r.status, "failed");
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(r.after, "split");  // the snap-in folder moved, the library did not
  EXPECT_FALSE(r.holds);
  ASSERT_EQ(r.moves.size(), 2u);
  EXPECT_TRUE(r.moves[0].succeeded);
  EXPECT_FALSE(r.moves[1].succeeded);
  EXPECT_NE(r.reason.find("could not move"), std::string::npos);
  EXPECT_NE(r.reason.find(": Injected failure"), std::string::npos) << r.reason;
  EXPECT_EQ(r.moves[1].error, "Injected failure");
  EXPECT_TRUE(TempDir::Exists(dir_.Join("c1/inactive.snapins/Alpha")));
  EXPECT_TRUE(TempDir::Exists(dir_.Join("c1/lib/Alpha")));

  // Every move refused: the snap-in stays where it was.
  inner_.ClearFailures();
  inner_.FailMoveFolderWhen([](const std::string&) { return true; });
  const auto again = Apply(ctl::Command::Enable, {{"Alpha", ctl::Wanted::Active}});
  EXPECT_EQ(again.exitStatus, ctl::kExitMoveFailed);
  EXPECT_FALSE(again.results[0].changed);
  EXPECT_FALSE(again.results[0].holds);
  EXPECT_EQ(again.results[0].after, "split");
}

TEST_F(EngineInProcess, NothingIsWrittenToEitherSettingsFile) {
  const std::string before = TempDir::ReadFile(dir_.Join("quillan.ini"));
  Apply(ctl::Command::Set, {{"Alpha", ctl::Wanted::Inactive}, {"Beta", ctl::Wanted::Active}});
  EXPECT_EQ(inner_.Calls(quillan_test::Op::ProfileWrite), 0);
  EXPECT_EQ(inner_.Calls(quillan_test::Op::ProfileEraseSection), 0);
  EXPECT_EQ(TempDir::ReadFile(dir_.Join("quillan.ini")), before);
}

TEST_F(EngineInProcess, TheLockIsHeldFromTheCheckToTheLastMove) {
  dir_.MakeFolder("c1/resources/Alpha");
  std::vector<std::size_t> heldAtMove;
  inner_.FailMoveFolderWhen([&](const std::string&) {
    heldAtMove.push_back(inner_.HeldFolderLocks().size());
    return false;
  });
  const auto report = Apply(ctl::Command::Disable, {{"Alpha", ctl::Wanted::Inactive}});
  EXPECT_EQ(report.exitStatus, ctl::kExitOk);
  ASSERT_EQ(heldAtMove.size(), 6u);  // the predicate sees source and target of 3 moves
  for (const std::size_t held : heldAtMove) EXPECT_EQ(held, 1u);
  EXPECT_TRUE(inner_.HeldFolderLocks().empty());
  EXPECT_EQ(inner_.Calls(quillan_test::Op::LockFolder), 1);
  EXPECT_EQ(inner_.Calls(quillan_test::Op::UnlockFolder), 1);
}

TEST_F(EngineInProcess, CheckPredictsTheMovesOfTheRealRunAndCreatesNothing) {
  // Split: the snap-in folder is inactive, its library and resources active.
  dir_.MakeFolder("c1/inactive.snapins/Gamma");
  dir_.MakeFolder("c1/lib/Gamma");
  dir_.MakeFolder("c1/resources/Gamma");
  const auto check = Apply(ctl::Command::Disable, {{"Gamma", ctl::Wanted::Inactive}}, true);
  EXPECT_EQ(inner_.Calls(quillan_test::Op::CreateDirectory), 0);
  EXPECT_FALSE(TempDir::Exists(dir_.Join("c1/inactive.lib")));
  EXPECT_EQ(check.wouldCreateFolders.size(), 2u);
  EXPECT_TRUE(check.createdFolders.empty());
  ASSERT_EQ(check.results.size(), 1u);
  EXPECT_EQ(check.results[0].before, "split");
  EXPECT_EQ(check.results[0].status, "would-change");
  EXPECT_TRUE(check.changed);

  const auto real = Apply(ctl::Command::Disable, {{"Gamma", ctl::Wanted::Inactive}});
  EXPECT_EQ(real.exitStatus, ctl::kExitOk);
  EXPECT_EQ(real.results[0].status, "changed");
  EXPECT_EQ(real.results[0].after, "inactive");
  ASSERT_EQ(real.results[0].moves.size(), check.results[0].moves.size());
  for (std::size_t i = 0; i < real.results[0].moves.size(); ++i) {
    EXPECT_EQ(real.results[0].moves[i].source, check.results[0].moves[i].source);
    EXPECT_EQ(real.results[0].moves[i].target, check.results[0].moves[i].target);
    EXPECT_EQ(real.results[0].moves[i].succeeded, check.results[0].moves[i].succeeded);
  }
}

// A reading run that cannot test the lock goes on and says so; a switch
// without the lock is refused; a busy lock says it waited.
TEST_F(EngineInProcess, EveryLockAnswerEndsAsItShould) {
  using Kind = platform::FolderLock::Kind;
  struct Case {
    Kind kind;
    bool check;
    int thrown;  // the LockError's exit status, 0: the run goes on
    bool noted;
  };
  const Case cases[] = {
      {Kind::NoFolder, false, 0, false},          {Kind::Free, true, 0, false},
      {Kind::Failed, true, 0, true},              {Kind::Failed, false, ctl::kExitError, false},
      {Kind::Busy, false, ctl::kExitBusy, false}, {Kind::Busy, true, ctl::kExitBusy, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind) * 2 + c.check);
    inner_.FakeFolderLock({c.kind, 0, dir_.Join("c1/.quillan.lock"), "Permission denied"});
    ctl::CtlPlatform p(&inner_);
    ctl::InstalledPlatform installed(p);
    ctl::Session session(p);
    int waited = 0;
    session.SetLockWait(std::chrono::milliseconds(1500), [&](const std::string&) { ++waited; });
    ctl::Options o;
    o.command = ctl::Command::Disable;
    o.requests = {{"Alpha", ctl::Wanted::Inactive}};
    o.check = c.check;
    int thrown = 0;
    try {
      session.Apply(o);
    } catch (const ctl::LockError& e) {
      thrown = e.ExitStatus();
      if (c.kind == Kind::Busy) {
        EXPECT_NE(std::string(e.what()).find("gave up after 1.5 s"), std::string::npos);
      }
    }
    EXPECT_EQ(thrown, c.thrown);
    EXPECT_EQ(!session.Notes().empty(), c.noted);
    EXPECT_EQ(waited, c.kind == Kind::Busy ? 1 : 0);
    EXPECT_EQ(TempDir::Exists(dir_.Join("c1/snapins/Alpha")), c.check || thrown != 0);
    if (!TempDir::Exists(dir_.Join("c1/snapins/Alpha")))
      std::filesystem::rename(dir_.Join("c1/inactive.snapins/Alpha"), dir_.Join("c1/snapins/Alpha"));
  }
}

// An inactive folder that cannot be made keeps every folder of the snap-ins
// that need it in place, and says why; --check says so where it can know.
TEST_F(EngineInProcess, AnInactiveFolderThatCannotBeMadeMovesNothingOfTheSnapinsThatNeedIt) {
  dir_.MakeFolder("c1/lib/Alpha");
  inner_.FailCreateDirectoryWhen([](const std::string& p) { return p.find("inactive.lib") != std::string::npos; });
  inner_.SetInjectedErrorText("No space left on device");
  const auto report = Apply(ctl::Command::Set, {{"Alpha", ctl::Wanted::Inactive}, {"Beta", ctl::Wanted::Active}});
  EXPECT_EQ(report.exitStatus, ctl::kExitMoveFailed);
  ASSERT_EQ(report.failedFolders.size(), 1u);
  EXPECT_EQ(report.failedFolders[0].error, "No space left on device");
  EXPECT_EQ(report.results[0].status, "failed");
  EXPECT_EQ(report.results[0].reason, "cannot create " + dir_.Join("c1/inactive.lib") +
                                          ": No space left on device; nothing of it was moved");
  EXPECT_TRUE(report.results[0].moves.empty());
  EXPECT_TRUE(TempDir::Exists(dir_.Join("c1/snapins/Alpha")));
  EXPECT_EQ(report.results[1].status, "changed");  // Beta needs no inactive folder

  inner_.ClearFailures();
  std::filesystem::remove_all(dir_.Join("c1/inactive.snapins"));
  inner_.FailMayCreateInWhen([](const std::string&) { return true; });
  inner_.SetInjectedErrorText("Read-only file system");
  const auto check = Apply(ctl::Command::Disable, {{"Alpha", ctl::Wanted::Inactive}}, true);
  EXPECT_EQ(check.exitStatus, ctl::kExitMoveFailed);
  EXPECT_EQ(check.failedFolders.size(), 2u);  // inactive.snapins and inactive.lib
  EXPECT_NE(check.results[0].reason.find("cannot create " + dir_.Join("c1/inactive.snapins") + ": Read-only"),
            std::string::npos) << check.results[0].reason;
}

// No active folder for one of the kinds: the window's very refusal, whole.
TEST_F(EngineInProcess, AMissingActiveFolderMovesNothingOfTheSnapinAsInTheWindow) {
  dir_.MakeFolder("c1/inactive.lib/Beta");
  std::filesystem::remove_all(dir_.Join("c1/lib"));
  for (const bool check : {true, false}) {
    const auto report = Apply(ctl::Command::Enable, {{"Beta", ctl::Wanted::Active}}, check);
    EXPECT_EQ(report.exitStatus, ctl::kExitMoveFailed);
    ASSERT_EQ(report.results.size(), 1u);
    EXPECT_EQ(report.results[0].status, "failed");
    EXPECT_EQ(report.results[0].reason, "no folder " + dir_.Join("c1/lib") + "; nothing of it " +
                                            (check ? "would be moved" : "was moved"));
    EXPECT_TRUE(report.results[0].moves.empty());
    EXPECT_EQ(report.results[0].after, "inactive");
    EXPECT_TRUE(TempDir::Exists(dir_.Join("c1/inactive.snapins/Beta")));
    EXPECT_TRUE(TempDir::Exists(dir_.Join("c1/inactive.lib/Beta")));
  }
}

// A stop asked for during a move lets that snap-in finish, then ends the run.
TEST_F(EngineInProcess, AStopEndsTheRunBetweenTwoSnapins) {
  for (const char* kind : {"lib/", "resources/"}) dir_.MakeFolder(std::string("c1/") + kind + "Alpha");
  inner_.FailMoveFolderWhen([](const std::string&) {
    ctl::SetStopSignal(SIGTERM);
    return false;
  });
  const auto report = Apply(ctl::Command::Set, {{"Alpha", ctl::Wanted::Inactive}, {"Beta", ctl::Wanted::Inactive}});
  ctl::SetStopSignal(0);
  EXPECT_EQ(report.interrupted, SIGTERM);
  EXPECT_EQ(report.exitStatus, ctl::kExitSignalBase + SIGTERM);
  ASSERT_EQ(report.results.size(), 1u);
  EXPECT_EQ(report.results[0].after, "inactive");  // all three folders
  EXPECT_EQ(report.requested, 2u);
  EXPECT_NE(ctl::ChangeText(report).find("stopped by SIGTERM after 1 of 2 names"), std::string::npos);
}
