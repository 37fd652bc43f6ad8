// `list` on large installations: the name index, and the JSON document
// written straight into text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ctl/Engine.h"
#include "ctl/Report.h"
#include "ctl/Text.h"

namespace {

ctl::SnapinState Snapin(const std::string& name, ctl::Places places, const char* lock = "") {
  ctl::SnapinState s;
  s.name = name;
  s.places = places;
  s.state = ctl::StateText(places);
  s.lock = lock;
  s.locked = *lock != '\0';
  return s;
}

ctl::Inventory Installation(std::vector<ctl::SnapinState> snapins) {
  ctl::Inventory inv;
  inv.path = "/opt/ConsoleOne/1.2";
  inv.base = inv.path;
  inv.outcome = ctl::Outcome::Installation;
  inv.consoleOneExe = "/opt/ConsoleOne/1.2/bin/ConsoleOne";
  inv.consoleOneFound = true;
  inv.rconjExe = "/opt/ConsoleOne/1.2/RConJ";
  inv.snapins = std::move(snapins);
  return inv;
}

// The text must be the library's own printing of what it says: a reader
// that parses and prints it again gets the same bytes.
void ExpectPrintedAsTheLibraryPrints(const std::string& text) {
  const ctl::Json parsed = ctl::Json::parse(text);
  EXPECT_EQ(ctl::DumpJson(parsed), text);
}

}  // namespace

TEST(ListJson, EveryNameAndPlaceComesOutAsTheLibraryWouldPrintIt) {
  using P = ctl::Place;
  const std::vector<std::string> names = {
      "NDSMgmt", "say \"hi\"", "C:\\Novell", "X\n  NDSMgmt   inactive", "tab\there", "esc\x1b[31m",
      "caf\xC3\xA9", "caf\xE9", "", std::string("nul\0byte", 8), "del\x7F"};
  std::vector<ctl::SnapinState> snapins;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const ctl::Places places = i % 3 == 0   ? ctl::Places{P::Active, P::Active, P::None}
                               : i % 3 == 1 ? ctl::Places{P::Inactive, P::Active, P::Both}
                                            : ctl::Places{P::Both, P::None, P::Inactive};
    snapins.push_back(Snapin(names[i], places, i == 1 ? "required" : i == 2 ? "consoleone-running" : ""));
  }
  const std::string text =
      ctl::InventoryJsonText(Installation(snapins), {"/opt/ConsoleOne/1.2/inactive.lib"}, ctl::kExitOk);
  ExpectPrintedAsTheLibraryPrints(text);

  const ctl::Json j = ctl::Json::parse(text);
  ASSERT_EQ(j["snapins"].size(), names.size());
  // The fields keep their order around the array.
  std::vector<std::string> keys;
  for (const auto& item : j.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"command", "path", "base", "outcome", "label", "consoleone_exe",
                                            "rconj_exe", "consoleone_running", "snapins", "created_folders",
                                            "changed", "ok", "exit_status"}));
  EXPECT_EQ(j["created_folders"][0], "/opt/ConsoleOne/1.2/inactive.lib");
  EXPECT_TRUE(j["changed"]);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const ctl::Json& e = j["snapins"][i];
    SCOPED_TRACE(i);
    const ctl::JsonText name = ctl::ForJson(names[i]);
    EXPECT_EQ(e["name"], name.text);
    EXPECT_EQ(e.contains("name_hex"), !name.exact);
    if (!name.exact) {
      EXPECT_EQ(ctl::FromHex(e["name_hex"].get<std::string>()), names[i]);
    }
    EXPECT_EQ(e["state"], snapins[i].state);
    EXPECT_EQ(e["places"]["lib"], ctl::PlaceText(snapins[i].places[1]));
    EXPECT_EQ(e["places"]["resources"], ctl::PlaceText(snapins[i].places[2]));
    EXPECT_EQ(e["locked"], snapins[i].locked);
    if (snapins[i].lock.empty()) {
      EXPECT_TRUE(e["lock"].is_null());
    } else {
      EXPECT_EQ(e["lock"], std::string(snapins[i].lock));
    }
  }
}

TEST(ListJson, NoSnapinsAndNoInstallationAreWholeDocumentsToo) {
  const std::string empty = ctl::InventoryJsonText(Installation({}), {}, ctl::kExitOk);
  ExpectPrintedAsTheLibraryPrints(empty);
  EXPECT_TRUE(ctl::Json::parse(empty)["snapins"].empty());

  // A path that reads like the array's own line must not be taken for it.
  ctl::Inventory odd = Installation({Snapin("NDSMgmt", {ctl::Place::Active})});
  odd.path = "/opt/x\n  \"snapins\": []";
  odd.outcome = ctl::Outcome::NoFolder;
  odd.label = "Invalid path";
  const std::string text = ctl::InventoryJsonText(odd, {}, ctl::kExitNotInstallation);
  ExpectPrintedAsTheLibraryPrints(text);
  const ctl::Json j = ctl::Json::parse(text);
  EXPECT_EQ(j["path"], odd.path);
  EXPECT_EQ(j["snapins"].size(), 1U);
  EXPECT_FALSE(j["ok"]);
  EXPECT_TRUE(j.contains("error"));
}

