// What keeps the window fast with thousands of snap-ins: the check list's
// batched insertion, the listing's names-only fast path and the fixed cost
// of a switch.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <system_error>

#include "QuillanFixture.h"
#include "lib/D_Util.h"

using namespace ui;
using quillan_test::Op;

namespace {

struct CountingPeer : ControlPeer {
  std::vector<std::pair<Prop, int>> log;
  void Changed(Prop what, int index) override { log.emplace_back(what, index); }
};

struct PeerApp : ui::memory::MemoryApplication {
  CountingPeer* last = nullptr;
  std::unique_ptr<ControlPeer> CreatePeer(TControl&) override {
    auto peer = std::make_unique<CountingPeer>();
    last = peer.get();
    return peer;
  }
};

struct Entry {
  std::string text;
  bool checked, enabled;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> EntriesOf(const TCheckListBox& list) {
  std::vector<Entry> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back({list.ItemText(i), list.Checked(i), list.ItemEnabled(i)});
  return out;
}

}  // namespace

TEST(CheckListUpdate, GivesTheOrderFlagsAndSelectionOfOneByOneInsertion) {
  ui::memory::MemoryApplication app;
  TForm form;
  auto* batched = new TCheckListBox(&form);
  auto* single = new TCheckListBox(&form);
  for (TCheckListBox* l : {batched, single}) {
    l->SetSorted(true);
    for (const char* name : {"m", "B"}) l->AddItem(name);
    l->SetItemIndex(l->IndexOf("m"));
  }
  // Names equal but for case, in an order that one-by-one insertion keeps.
  std::vector<std::string> names = {"beta", "Alpha", "BETA", "_x", "alpha", "zeta", "b", "Beta", "m"};
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) names.push_back("n" + std::to_string(rng() % 50) + (i % 3 ? "a" : "A"));

  batched->BeginUpdate();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int index = batched->AddItem(names[i]);
    EXPECT_EQ(batched->ItemText(index), names[i]);
    if (i % 2 == 0) batched->SetChecked(index, true);
    if (i % 5 == 0) batched->SetItemEnabled(index, false);
  }
  // Found while the update lasts, at its provisional place.
  EXPECT_EQ(batched->ItemText(batched->IndexOf("ZETA")), "zeta");
  batched->EndUpdate();

  for (std::size_t i = 0; i < names.size(); ++i) {
    const int index = single->AddItem(names[i]);
    if (i % 2 == 0) single->SetChecked(index, true);
    if (i % 5 == 0) single->SetItemEnabled(index, false);
  }
  EXPECT_EQ(EntriesOf(*batched), EntriesOf(*single));
  EXPECT_EQ(batched->ItemIndex(), single->ItemIndex());
  EXPECT_EQ(batched->ItemText(batched->ItemIndex()), "m");
  EXPECT_EQ(batched->IndexOf("ALPHA"), single->IndexOf("ALPHA"));
}

TEST(CheckListUpdate, TellsThePeerOnceAndOnlyAtTheOutermostEnd) {
  PeerApp app;
  TForm form;
  auto* list = new TCheckListBox(&form);
  list->SetSorted(true);
  form.Realize();
  ASSERT_NE(app.last, nullptr);
  CountingPeer& peer = *app.last;
  peer.log.clear();
  {
    TCheckListBoxUpdate outer(*list);
    list->BeginUpdate();
    list->SetChecked(list->AddItem("b"), true);
    list->AddItem("a");
    list->EndUpdate();
    EXPECT_TRUE(peer.log.empty());
    EXPECT_EQ(list->ItemText(0), "b");  // still appended
  }
  ASSERT_FALSE(peer.log.empty());
  EXPECT_EQ(peer.log.front().first, Prop::ItemsReset);
  EXPECT_EQ(std::count(peer.log.begin(), peer.log.end(), std::make_pair(Prop::ItemsReset, -1)), 1);
  EXPECT_EQ(EntriesOf(*list), (std::vector<Entry>{{"a", false, true}, {"b", true, true}}));
  // Outside an update every insertion is reported at its place again.
  peer.log.clear();
  EXPECT_EQ(list->AddItem("aa"), 1);
  EXPECT_EQ(peer.log, (std::vector<std::pair<Prop, int>>{{Prop::ItemInserted, 1}}));
}

TEST(ListingNamesOnly, ListsWhatTheFullListingListsWithTheSameTags) {
  quillan_test::TempDir tmp;
  tmp.MakeFolder("d/Alpha");
  tmp.MakeFolder("d/beta");
  tmp.MakeFolder("d/.hidden");
  tmp.MakeFile("d/file.txt", "12345");
  tmp.MakeFolder("target");
  // Where links cannot be made (Wine), the plain entries are still compared.
  std::error_code noLinks;
  std::filesystem::create_directory_symlink(tmp.Join("target"), tmp.Join("d/linked"), noLinks);
  const bool links = !noLinks;
  if (links) {
    std::filesystem::create_symlink(tmp.Join("d/file.txt"), tmp.Join("d/filelink"));
    std::filesystem::create_directory_symlink(tmp.Join("nowhere"), tmp.Join("d/dangling"));
  }
  const std::string mask = tmp.Join("d") + D_Util::NativeSeparator() + "*.*";

  auto names = [](const TStringList& l) {
    std::vector<std::string> out;
    for (const TStringItem& item : l.Items()) out.push_back(item.Text + ":" + std::to_string(item.Tag));
    return out;
  };
  TStringList folders;
  D_Util::ListDirectory(mask, platform::faDirectory, 0, folders, "%s");
  std::vector<std::string> expected = {"Alpha:0", "beta:0"};
  if (links) expected.push_back("linked:0");
  EXPECT_EQ(names(folders), expected);

  // With a tag asked for, each entry is looked at in full: same names.
  TStringList tagged;
  D_Util::ListDirectory(mask, platform::faDirectory, 1, tagged, "%s");
  ASSERT_EQ(tagged.Count(), folders.Count());
  for (int i = 0; i < folders.Count(); ++i) EXPECT_EQ(tagged[i], folders[i]);

  // Files (archive bit) through the fast path and through the full one.
  TStringList files, sized;
  D_Util::ListDirectory(mask, platform::faArchive, 0, files, "%s");
  D_Util::ListDirectory(mask, platform::faArchive, 0, sized, "%s #SIZE#");
  expected = links ? std::vector<std::string>{"dangling:0", "file.txt:0", "filelink:0"}
                   : std::vector<std::string>{"file.txt:0"};
  EXPECT_EQ(names(files), expected);
  ASSERT_EQ(sized.Count(), files.Count());
  EXPECT_EQ(sized[links ? 1 : 0], "file.txt         5");
}

class ScaleTest : public QuillanTest {};

// A switch costs the same few calls with 10 or 2,000 snap-ins listed (is
// anything to move, then under the lock a test of each source and of the
// folder each moving kind goes into; three moves, one lock), and never lists
// a folder again.
TEST_F(ScaleTest, SwitchingOneSnapinCostsAtMostSevenTestsAndThreeMovesWhateverTheCount) {
  for (int n : {10, 2000}) {
    SCOPED_TRACE(n);
    Install layout;
    for (int i = 0; i < n; ++i) (i % 2 ? layout.inactive : layout.active).push_back("s" + std::to_string(i));
    const std::string base = MakeInstallation("c1-" + std::to_string(n), layout);
    for (const char* kind : {"lib", "resources"}) MakeFolder("c1-" + std::to_string(n) + "/" + kind + "/s0");
    WriteMachineIni("[Paths]\nC1=" + base + "\n");
    Start();
    ASSERT_EQ(f->CheckListBoxSnapins->Count(), n);
    const int index = f->CheckListBoxSnapins->IndexOf("s0");
    ASSERT_TRUE(f->CheckListBoxSnapins->Checked(index));
    os.ResetCounts();
    user.ClickItemCheckBox(*f->CheckListBoxSnapins, "s0");
    EXPECT_LE(os.Calls(Op::DirectoryExists) + os.Calls(Op::FileExists), 7);
    EXPECT_EQ(os.Calls(Op::MoveFolder), 3);
    EXPECT_EQ(os.Calls(Op::LockFolder), 1);
    EXPECT_EQ(os.Calls(Op::ListFolder), 0);
    EXPECT_TRUE(Exists("c1-" + std::to_string(n) + "/inactive.resources/s0"));
    form.reset();
    Form1 = nullptr;
  }
}
