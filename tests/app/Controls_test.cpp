// The toolkit layer's own behaviour, as every toolkit relies on it.
#include <gtest/gtest.h>

#include <map>

#include "lib/Errors.h"
#include "toolkits/memory/MemoryApplication.h"

using namespace ui;

namespace {

struct RecordingPeer : ControlPeer {
  std::vector<std::pair<Prop, int>>* log;
  explicit RecordingPeer(std::vector<std::pair<Prop, int>>* l) : log(l) {}
  void Changed(Prop what, int index) override { log->emplace_back(what, index); }
};

// A toolkit that gives every control a peer recording what it is told.
struct PeerApp : ui::memory::MemoryApplication {
  std::vector<std::pair<Prop, int>> log;
  std::vector<std::string> created;
  std::unique_ptr<ControlPeer> CreatePeer(TControl& c) override {
    created.push_back(c.Name());
    return std::make_unique<RecordingPeer>(&log);
  }
};

}  // namespace

TEST(Layer, CheckListKeepsSortedOrderFlagsAndSelection) {
  ui::memory::MemoryApplication app;
  TForm form;
  auto* list = new TCheckListBox(&form);
  list->SetSorted(true);
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  EXPECT_EQ(list->AddItem("beta"), 0);
  list->SetChecked(0, true);
  EXPECT_EQ(list->AddItem("Alpha"), 0);
  EXPECT_EQ(list->AddItem("BETA"), 2);  // after its equal
  EXPECT_EQ(list->AddItem("_x"), 3);    // plain byte order beyond letters
  list->SetItemIndex(1);
  list->SetItemEnabled(1, false);
  EXPECT_EQ(list->AddItem("aaa"), 0);
  EXPECT_EQ(list->ItemIndex(), 2);  // the selection follows its item
  EXPECT_TRUE(list->Checked(2));
  EXPECT_FALSE(list->ItemEnabled(2));
  EXPECT_EQ(list->IndexOf("Beta"), 2);
  EXPECT_EQ(list->IndexOf("gamma"), -1);
  EXPECT_EQ(clicks, 0);  // no setter raises an event

  // A disabled item is selected and clicked, but its mark never toggles.
  list->UserClickCheckBox(2);
  EXPECT_TRUE(list->Checked(2));
  EXPECT_EQ(clicks, 1);
  list->UserClickCheckBox(3);
  EXPECT_TRUE(list->Checked(3));
  EXPECT_EQ(clicks, 2);
  // Space acts as a click on the selected item's mark.
  list->UserPressSpace();
  EXPECT_FALSE(list->Checked(3));
  EXPECT_EQ(clicks, 3);
  list->SetItemIndex(2);  // disabled: nothing at all
  list->UserPressSpace();
  EXPECT_TRUE(list->Checked(2));
  EXPECT_EQ(clicks, 3);
  list->SetItemIndex(3);
  EXPECT_THROW(list->At(9), EQuillanError);
  list->DeleteItem(0);
  EXPECT_EQ(list->ItemIndex(), 2);
  list->Clear();
  EXPECT_EQ(list->ItemIndex(), -1);
}

TEST(Layer, ComboEventsComeFromTheUserOnly) {
  ui::memory::MemoryApplication app;
  TForm form;
  auto* box = new TComboBox(&form);
  std::vector<std::string> seen;
  box->OnChange = [&](TObject*) { seen.push_back(box->Text()); };
  box->SetText("code");
  box->AddItem("one");
  box->AddItem("two");
  box->SetItemIndex(1);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(box->Text(), "two");
  box->InsertItem(0, "zero");
  EXPECT_EQ(box->ItemIndex(), 2);
  box->DeleteItem(2);
  EXPECT_EQ(box->ItemIndex(), -1);
  EXPECT_EQ(box->IndexOfItem("ONE"), 1);
  box->UserPick(0);
  box->UserTypeChar('!');
  EXPECT_EQ(seen, (std::vector<std::string>{"zero", "zero!"}));
  EXPECT_THROW(box->InsertItem(5, "x"), EQuillanError);
}

TEST(Layer, FormShowsOnceAndClosingTheMainFormEndsTheLoop) {
  ui::memory::MemoryApplication app;
  TForm main;
  TForm other;
  app.SetMainForm(&main);
  int shows = 0;
  main.OnShow = [&](TObject*) {
    ++shows;
    EXPECT_FALSE(main.Showing());  // raised before the form appears
  };
  main.Show();
  main.Show();
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(main.Showing());

  main.OnClose = [](TObject*, TCloseAction& a) { a = TCloseAction::caNone; };
  main.UserClose();
  EXPECT_TRUE(main.Showing());
  EXPECT_FALSE(app.Terminated());
  other.Show();
  other.Close();
  EXPECT_FALSE(app.Terminated());
  main.OnClose = nullptr;
  main.Close();
  EXPECT_FALSE(main.Showing());
  EXPECT_TRUE(app.Terminated());
}

TEST(Layer, AlignmentStacksChildrenAndAnchorsFollowResizes) {
  ui::memory::MemoryApplication app;
  TForm form;
  form.SetBounds(0, 0, 208, 142);  // client 200 x 100
  auto* top = new TPanel(&form);
  top->SetHeight(10);
  top->SetAlign(TAlign::alTop);
  auto* bottom = new TPanel(&form);
  bottom->SetHeight(20);
  bottom->SetAlign(TAlign::alBottom);
  auto* left = new TPanel(&form);
  left->SetWidth(30);
  left->SetAlign(TAlign::alLeft);
  auto* client = new TPanel(&form);
  client->SetAlign(TAlign::alClient);
  auto* right = new TPanel(&form);
  right->SetWidth(40);
  right->SetAlign(TAlign::alRight);
  EXPECT_EQ(bottom->Top(), 80);
  EXPECT_EQ(left->Top(), 10);
  EXPECT_EQ(left->Height(), 70);
  EXPECT_EQ(right->Left(), 160);
  EXPECT_EQ(client->Left(), 30);
  EXPECT_EQ(client->Width(), 130);

  auto* mover = new TPanel(client);
  mover->SetBounds(100, 5, 20, 20);
  mover->SetAnchors(akRight | akBottom);
  auto* centred = new TPanel(client);
  centred->SetBounds(50, 5, 20, 20);
  centred->SetAnchors(0);
  form.UserResized(300, 100);
  EXPECT_EQ(client->Width(), 230);
  EXPECT_EQ(mover->Left(), 200);
  EXPECT_EQ(mover->Top(), 5);
  EXPECT_EQ(centred->Left(), 100);

  left->SetVisible(false);  // hidden aligned children take no room
  EXPECT_EQ(client->Left(), 0);
}

TEST(Layer, PeersAreCreatedTopDownAndToldEveryChange) {
  PeerApp app;
  TForm form;
  form.SetName("F");
  auto* panel = new TPanel(&form);
  panel->SetName("P");
  auto* box = new TCheckBox(panel);
  box->SetName("C");
  form.Realize();
  EXPECT_EQ(app.created, (std::vector<std::string>{"F", "P", "C"}));
  auto* late = new TCheckListBox(panel);
  late->SetName("L");
  late->Realize();
  EXPECT_EQ(app.created.back(), "L");
  app.log.clear();
  box->SetChecked(true);
  late->AddItem("x");
  late->SetItemEnabled(0, false);
  box->SetFocus();
  EXPECT_EQ(app.log, (std::vector<std::pair<Prop, int>>{
                         {Prop::Checked, -1}, {Prop::ItemInserted, 0}, {Prop::ItemEnabled, 0}, {Prop::Focus, -1}}));
  EXPECT_TRUE(box->Focused());
  delete box;  // the form forgets a destroyed active control
  EXPECT_EQ(form.ActiveControl(), nullptr);
  EXPECT_EQ(panel->Controls().size(), 1u);
}

TEST(Layer, GridRefusesImpossibleShapes) {
  ui::memory::MemoryApplication app;
  TForm form;
  auto* grid = new TStringGrid(&form);
  EXPECT_THROW(grid->SetFixedRows(5), EQuillanError);
  EXPECT_THROW(grid->SetRowCount(1), EQuillanError);
  EXPECT_THROW(grid->SetColCount(1 << 20), EQuillanError);
  grid->SetFixedCols(0);
  grid->SetColCount(1);
  grid->SetCell(0, 4, "kept");
  grid->SetRowCount(7);
  EXPECT_EQ(grid->Cell(0, 4), "kept");
  EXPECT_EQ(grid->Cell(3, 3), "");
  EXPECT_THROW(grid->SetCell(1, 0, "x"), EQuillanError);
  EXPECT_EQ(grid->RowCount(), 7);
  EXPECT_EQ(grid->ColCount(), 1);
}

TEST(Layer, MnemonicClicksItsOnlyOwnerAndOnlyMovesTheFocusAmongSharers) {
  struct Case {
    char key;
    const char* focusedBefore;  // nullptr: none
    bool handled;
    const char* focusedAfter;   // nullptr: unchanged
    std::vector<std::string> clicks;
  };
  const Case cases[] = {
      {'g', "one", true, "Go", {"Go"}},          // one owner: focus and press
      {'G', nullptr, true, "Go", {"Go"}},        // case does not matter
      {'k', "Go", true, "Keep", {"Keep"}},       // a check box toggles
      {'s', nullptr, true, "one", {}},           // shared: first in tab order
      {'s', "one", true, "two", {}},
      {'s', "two", true, "one", {}},             // wraps past the disabled third
      {'s', "Go", true, "one", {}},
      {'d', "Go", true, "Done", {}},             // a disabled sharer still shares
      {'h', "Go", false, nullptr, {}},           // "&&" is a plain '&'
      {'x', "Go", false, nullptr, {}},           // its only owner is disabled
      {'q', "Go", false, nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.key) + " from " + (c.focusedBefore ? c.focusedBefore : "-"));
    ui::memory::MemoryApplication app;
    TForm form;
    std::vector<std::string> clicks;
    std::map<std::string, TWinControl*> byName;
    const auto add = [&](TWinControl* w, const std::string& name, const std::string& caption,
                         bool enabled) {
      w->SetName(name);
      w->SetCaption(caption);
      w->SetTabOrder(static_cast<int>(byName.size()));
      w->SetEnabled(enabled);
      w->OnClick = [&clicks, name](TObject*) { clicks.push_back(name); };
      byName[name] = w;
    };
    add(new TBitBtn(&form), "Go", "&Go", true);
    add(new TCheckBox(&form), "Keep", "&Keep", true);
    add(new TBitBtn(&form), "one", "&Start one", true);
    add(new TBitBtn(&form), "two", "&Start two", true);
    add(new TBitBtn(&form), "three", "&Start three", false);
    add(new TBitBtn(&form), "Done", "&Done", true);
    add(new TBitBtn(&form), "Dim", "&Dim", false);
    add(new TBitBtn(&form), "Hidden", "Salt &&Hash", true);
    add(new TBitBtn(&form), "Xtra", "&Xtra", false);
    TWinControl* before = c.focusedBefore ? byName.at(c.focusedBefore) : nullptr;
    if (before) before->SetFocus();
    EXPECT_EQ(form.UserMnemonic(c.key, before), c.handled);
    TWinControl* after = c.focusedAfter ? byName.at(c.focusedAfter) : before;
    EXPECT_EQ(form.ActiveControl(), after);
    EXPECT_EQ(clicks, c.clicks);
    if (c.key == 'k') {
      EXPECT_TRUE(static_cast<TCheckBox*>(byName.at("Keep"))->Checked());
    }
  }
}
