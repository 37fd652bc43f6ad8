// The installation model, once for the window and quillanctl: the check of a
// base folder, the inventory, the guard of a switch, and the prediction of a
// switch against the real run on the same layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/DryRun.h"
#include "core/Installation.h"
#include "lib/D_Util.h"
#include "platform/Platform.h"
#include "support/Installation.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using core::Outcome;
using quillan_test::Layout;
using quillan_test::TempDir;

namespace {

std::string Sep() { return std::string(1, D_Util::NativeSeparator()); }

std::string Native(const std::string& stem) {
#ifdef _WIN32
  return stem + ".exe";
#else
  return stem;
#endif
}

class Model : public ::testing::Test {
 protected:
  std::string Base() const { return dir.Join("c1"); }
  std::string In(const std::string& relative) const { return dir.Join("c1/" + relative); }
  void Make(const std::vector<std::string>& relatives) const {
    for (const auto& r : relatives) dir.MakeFolder("c1/" + r);
  }
  // Every path below the base, so that a dry run can be shown to change nothing.
  std::map<std::string, bool> Tree() const {
    std::map<std::string, bool> out;
    for (const auto& e : fs::recursive_directory_iterator(Base())) out[e.path().string()] = e.is_directory();
    return out;
  }

  TempDir dir;
  quillan_test::PlatformDouble os;
  platform::ScopedPlatform scoped{os};
};

TEST_F(Model, TheCheckTellsNoFolderFromNoConsoleOneFromAnInstallation) {
  struct Case {
    const char* what;
    std::function<std::string()> make;  // returns the path to check
    Outcome outcome;
    const char* rconj;  // where RConJ is taken from, relative to the base; empty: not found
  };
  const Case cases[] = {
      {"no such folder", [&] { return dir.Join("none"); }, Outcome::NoFolder, ""},
      {"a file", [&] { return dir.MakeFile("file", "x"); }, Outcome::NoFolder, ""},
      {"an empty folder", [&] { return dir.MakeFolder("empty"); }, Outcome::NotInstalled, ""},
      {"RConJ without ConsoleOne",
       [&] { return quillan_test::MakeInstallation(dir.Join("rc"), {{}, {}, false, true, false, true}); },
       Outcome::NotInstalled, "RConJ"},
      {"both RConJ: the base's wins",
       [&] { return quillan_test::MakeInstallation(dir.Join("both"), {{}, {}, true, true, true, true}); },
       Outcome::Installation, "RConJ"},
      {"RConJ in bin only, a trailing separator",
       [&] { return quillan_test::MakeInstallation(dir.Join("bin"), {{}, {}, true, false, true, true}) + Sep(); },
       Outcome::Installation, "bin/RConJ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.make();
    const core::Check check = core::CheckFolder(path);
    EXPECT_EQ(check.path, path);
    EXPECT_EQ(check.outcome, c.outcome);
    if (c.outcome == Outcome::NoFolder) {
      EXPECT_EQ(check.Label(), "Invalid path");
      EXPECT_TRUE(check.base.empty());
      continue;
    }
    const std::string base = D_Util::ExcludeTrailingSeparator(path);
    EXPECT_EQ(check.base, base);
    // Found: the name the builder gave (.exe); missing: the system's own name.
    const std::string bin = base + Sep() + "bin" + Sep();
    const bool installed = c.outcome == Outcome::Installation;
    const std::string exe = bin + (installed ? "ConsoleOne.exe" : Native("ConsoleOne"));
    EXPECT_EQ(check.consoleOneExe, exe);
    EXPECT_EQ(check.consoleOneFound, installed);
    EXPECT_EQ(check.Label(), installed ? "" : exe + " not Found");
    EXPECT_EQ(check.rconjFound, *c.rconj != '\0');
    EXPECT_EQ(check.rconjExe, *c.rconj ? base + Sep() + D_Util::ReplaceText(c.rconj, "/", Sep(), true, true) + ".exe"
                                       : bin + Native("RConJ"));
  }
}

// Every snap-in once, in the list's order, with where each of its folders is
// and why it is locked; a name in both places is one snap-in there twice.
TEST_F(Model, TheInventoryNamesEveryPlaceOfEverySnapin) {
  quillan_test::MakeInstallation(Base(), {{"On", "Twice", "Split", "bare"}, {"Off", "Twice"}, true, false, false, false});
  Make({"lib/On", "resources/On", "inactive.lib/Off", "inactive.resources/Off", "inactive.lib/Split",
        "lib/OnlyLib", "snapins/.hidden"});
  dir.MakeFile("c1/snapins/a-file", "x");
  struct Row {
    const char* name;
    const char* state;
    core::Places places;
  };
  using P = core::Place;
  // Names equal but for case in byte order ("AB" before "ab").
  std::vector<Row> expected = {
      {"bare", "active", {P::Active, P::None, P::None}},
      {"Off", "inactive", {P::Inactive, P::Inactive, P::Inactive}},
      {"On", "active", {P::Active, P::Active, P::Active}},
      {"Split", "split", {P::Active, P::Inactive, P::None}},
      {"Twice", "both", {P::Both, P::None, P::None}},
  };
#ifndef _WIN32
  // A case-sensitive file system: a name and its case flip are two snap-ins,
  // in either folder.
  Make({"snapins/ab", "snapins/AB", "inactive.snapins/cd", "inactive.snapins/CD"});
  expected.insert(expected.begin(), {{"AB", "active", {P::Active, P::None, P::None}},
                                     {"ab", "active", {P::Active, P::None, P::None}}});
  expected.insert(expected.begin() + 3, {{"CD", "inactive", {P::Inactive, P::None, P::None}},
                                         {"cd", "inactive", {P::Inactive, P::None, P::None}}});
#endif
  for (const bool running : {false, true}) {
    SCOPED_TRACE(running);
    const core::Inventory inv = core::ReadInventory(Base(), {"OFF", "nothing"}, running);
    ASSERT_EQ(inv.check.outcome, Outcome::Installation);
    ASSERT_EQ(inv.snapins.size(), expected.size());
    // Names equal but for case stand in the order the folder lists them.
    std::vector<core::Snapin> listed = inv.snapins;
    for (std::size_t i = 0; i + 1 < listed.size(); ++i) {
      EXPECT_FALSE(core::ListLess(listed[i + 1].name, listed[i].name));
      if (!core::ListLess(listed[i].name, listed[i + 1].name) && listed[i + 1].name < listed[i].name)
        std::swap(listed[i], listed[i + 1]);
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(expected[i].name);
      EXPECT_EQ(listed[i].name, expected[i].name);
      EXPECT_STREQ(core::StateText(listed[i].places), expected[i].state);
      EXPECT_EQ(listed[i].places, expected[i].places);
      const bool required = std::string(expected[i].name) == "Off";
      EXPECT_EQ(listed[i].lock, running    ? core::Lock::ConsoleOneRunning
                                     : required ? core::Lock::Required
                                                : core::Lock::None);
    }
#ifdef _WIN32
    EXPECT_TRUE(inv.caseBlind);
#else
    EXPECT_FALSE(inv.caseBlind);
    // The exact name wins; a name that matches only ignoring case must be one.
    EXPECT_EQ(inv.snapins[*core::FindSnapin(inv, "AB")].name, "AB");
    std::vector<std::string> ambiguous;
    EXPECT_FALSE(core::FindSnapin(inv, "Ab", &ambiguous));
    std::sort(ambiguous.begin(), ambiguous.end());
    EXPECT_EQ(ambiguous, (std::vector<std::string>{"AB", "ab"}));
#endif
    EXPECT_EQ(inv.snapins[*core::FindSnapin(inv, "split")].name, "Split");
    EXPECT_FALSE(core::FindSnapin(inv, "OnlyLib"));
  }
}

// Each case runs the switch twice: first on a platform that changes nothing
// (the prediction, which must leave the disk as it was), then for real; both
// give the same moves, outcomes and places.
TEST_F(Model, APredictionIsTheRealRunAndAMissingReceivingFolderMovesNothing) {
  struct Case {
    const char* what;
    std::vector<std::string> folders;  // below the base
    std::vector<std::string> removed;  // after the check
    bool wantActive;
    const char* refused;  // the receiving folder missing, below the base; empty: none
    const char* after;
    int failedMoves;
  };
  const Case cases[] = {
      {"every kind moves", {"snapins/S", "lib/S", "resources/S"}, {}, false, "", "inactive", 0},
      {"inactive.lib removed after the check", {"snapins/S", "lib/S"}, {"inactive.lib"}, false, "inactive.lib",
       "active", 0},
      {"no active resources folder", {"inactive.snapins/S", "inactive.resources/S"}, {"resources"}, true,
       "resources", "inactive", 0},
      {"a folder not needed may be missing", {"snapins/S", "lib/S"}, {"inactive.resources"}, false, "", "inactive",
       0},
      {"a taken target fails alone", {"snapins/S", "inactive.snapins/S", "lib/S"}, {}, false, "", "both", 1},
      {"already where wanted", {"inactive.snapins/S"}, {}, false, "", "inactive", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Base());
    quillan_test::MakeInstallation(Base(), {});
    Make(c.folders);
    const auto checked = core::CreateInactiveFolders(Base());
    for (const auto& r : c.removed) fs::remove_all(In(r));
    const auto before = Tree();

    core::DryRunPlatform dryOs(&os);
    core::SwitchResult predicted;
    core::Places predictedPlaces{};
    {
      platform::ScopedPlatform dry(dryOs);
      predicted = core::Switch(Base(), "S", c.wantActive, checked);
      predictedPlaces = core::PlacesOf(Base(), "S");
    }
    EXPECT_EQ(Tree(), before);
    const core::SwitchResult real = core::Switch(Base(), "S", c.wantActive, checked);

    for (const core::SwitchResult* r : std::initializer_list<const core::SwitchResult*>{&predicted, &real}) {
      EXPECT_EQ(r->refused.has_value(), *c.refused != '\0');
      if (r->refused) {
        EXPECT_EQ(r->refused->folder, In(c.refused));
        EXPECT_FALSE(r->refused->creationFailed);
        EXPECT_TRUE(r->moves.empty());
      }
      int failed = 0;
      for (const core::Move& m : r->moves) failed += m.ok ? 0 : 1;
      EXPECT_EQ(failed, c.failedMoves);
    }
    ASSERT_EQ(predicted.moves.size(), real.moves.size());
    for (std::size_t i = 0; i < real.moves.size(); ++i) {
      EXPECT_EQ(predicted.moves[i].source, real.moves[i].source);
      EXPECT_EQ(predicted.moves[i].target, real.moves[i].target);
      EXPECT_EQ(predicted.moves[i].ok, real.moves[i].ok);
      EXPECT_EQ(predicted.moves[i].error.empty(), real.moves[i].error.empty());
    }
    EXPECT_EQ(predicted.snapinActive, real.snapinActive);
    EXPECT_EQ(predictedPlaces, core::PlacesOf(Base(), "S"));
    EXPECT_STREQ(core::StateText(core::PlacesOf(Base(), "S")), c.after);
  }
}

// The check could not make inactive.lib: a switch that needs it says why and
// moves nothing, until the folder is there (made by someone meanwhile).
TEST_F(Model, AFolderTheCheckCouldNotMakeIsNamedWithItsReasonUntilItExists) {
  quillan_test::MakeInstallation(Base(), {{"S"}, {}, true, false, false, false});
  Make({"lib/S"});
  os.SetInjectedErrorText("No space left on device");
  os.FailCreateDirectoryWhen([](const std::string& p) { return p.ends_with("inactive.lib"); });
  const auto checked = core::CreateInactiveFolders(Base());
  ASSERT_EQ(checked[1].kind, core::FolderResult::Kind::Failed);
  EXPECT_EQ(checked[1].error, "No space left on device");
  EXPECT_EQ(checked[2].kind, core::FolderResult::Kind::Created);

  const core::SwitchResult refused = core::Switch(Base(), "S", false, checked);
  ASSERT_TRUE(refused.refused);
  EXPECT_TRUE(refused.refused->creationFailed);
  EXPECT_EQ(refused.refused->error, "No space left on device");
  EXPECT_EQ(refused.staying, (std::vector<std::size_t>{0, 1}));
  EXPECT_EQ(refused.snapinActive, true);
  EXPECT_TRUE(fs::exists(In("snapins/S")));

  Make({"inactive.lib"});
  const core::SwitchResult moved = core::Switch(Base(), "S", false, checked);
  EXPECT_TRUE(moved.AllMoved());
  EXPECT_EQ(moved.moves.size(), 2u);
  EXPECT_STREQ(core::StateText(core::PlacesOf(Base(), "S")), "inactive");
}

}  // namespace
