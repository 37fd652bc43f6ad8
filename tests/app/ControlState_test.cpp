// Saving and restoring a window's control tree and a combo box's history.
#include <gtest/gtest.h>

#include "lib/D_Ini.h"
#include "lib/D_IniControls.h"
#include "lib/Errors.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"
#include "toolkits/memory/MemoryApplication.h"

using namespace ui;

namespace {

// One control of every kind, nested panels, an unnamed container with named
// children and a splitter between two left-aligned panels.
struct KitchenSink : TForm {
  TPanel* outer = new TPanel(this);
  TPanel* inner = new TPanel(outer);
  TPanel* unnamed = new TPanel(this);
  TPanel* leftA = new TPanel(this);
  TPanel* leftB = new TPanel(this);
  TSplitter* splitter = new TSplitter(this);
  TEdit* edit = new TEdit(inner);
  TLabeledEdit* labeled = new TLabeledEdit(inner);
  TComboBox* history = new TComboBox(inner);
  TComboBox* choice = new TComboBox(inner);
  TComboBox* simple = new TComboBox(inner);
  TSpinEdit* spin = new TSpinEdit(unnamed);
  TRadioGroup* radio = new TRadioGroup(unnamed);
  TTrackBar* track = new TTrackBar(unnamed);
  TCheckBox* check = new TCheckBox(unnamed);
  TCheckListBox* list = new TCheckListBox(outer);
  TMemo* memo = new TMemo(outer);
  TMemo* readOnlyMemo = new TMemo(outer);
  TValueListEditor* values = new TValueListEditor(outer);
  TStringGrid* grid = new TStringGrid(outer);
  TLabel* label = new TLabel(outer);

  KitchenSink() {
    SetName("Sink");
    SetBounds(10, 20, 600, 500);
    outer->SetName("Outer");
    inner->SetName("Inner");
    leftA->SetName("LeftA");
    leftB->SetName("LeftB");
    splitter->SetName("Splitter");
    leftA->SetBounds(0, 0, 120, 100);
    leftA->SetAlign(TAlign::alLeft);
    leftB->SetBounds(0, 0, 80, 100);
    leftB->SetAlign(TAlign::alLeft);
    splitter->SetAlign(TAlign::alLeft);
    edit->SetName("Edit");
    labeled->SetName("Labeled");
    history->SetName("History");
    choice->SetName("Choice");
    choice->SetStyle(TComboBoxStyle::csDropDownList);
    for (const char* c : {"red", "Green", "blue"}) choice->AddItem(c);
    simple->SetName("Simple");
    simple->SetStyle(TComboBoxStyle::csSimple);
    spin->SetName("Spin");
    radio->SetName("Radio");
    radio->SetItems({"one", "two", "three"});
    track->SetName("Track");
    check->SetName("Check");
    list->SetName("List");
    list->SetSorted(true);
    memo->SetName("Memo");
    readOnlyMemo->SetName("ReadOnlyMemo");
    readOnlyMemo->SetReadOnly(true);
    values->SetName("Values");
    grid->SetName("Grid");
    label->SetName("Label");
  }
};

class ControlState : public ::testing::Test {
 protected:
  ui::memory::MemoryApplication app;
  quillan_test::TempDir tmp;
  quillan_test::PlatformDouble os;
  quillan_test::ScopedPlatform scoped{os};
  std::string path = tmp.Join("user.ini");
  D_Ini::TIniFile ini{path};

  std::string Raw(const std::string& section, const std::string& key) const {
    return ini.ReadValue(section, key, "<absent>");
  }
};

void Fill(KitchenSink& s) {
  s.edit->SetText("  padded  ");
  s.labeled->SetText("labeled text");
  s.history->AddItem("older");
  s.history->SetText("newest");
  s.choice->SetItemIndex(1);
  s.spin->SetValue(42);
  s.radio->SetItemIndex(2);
  s.track->SetPosition(7);
  s.check->SetChecked(true);
  s.list->AddItem("Zulu");
  s.list->SetChecked(s.list->AddItem("alpha"), true);
  s.list->AddItem("[Bracketed]");
  s.memo->SetLines({"first", "", "third"});
  s.readOnlyMemo->SetLines({"not saved"});
  s.values->SetStrings({"a=1", "", "b=2", ""});
  s.grid->SetColCount(3);
  s.grid->SetRowCount(2);
  s.grid->SetCell(0, 0, "c00");
  s.grid->SetCell(2, 1, "c21");
}

}  // namespace

TEST_F(ControlState, EveryKindSurvivesASaveAndRestore) {
  {
    KitchenSink saved;
    Fill(saved);
    D_Ini::SaveControlState(&ini, "Settings", saved);
  }
  KitchenSink s;
  s.readOnlyMemo->SetLines({"replaced anyway"});
  D_Ini::RestoreControlState(&ini, "Settings", s);
  EXPECT_EQ(s.Left(), 10);
  EXPECT_EQ(s.Width(), 600);
  EXPECT_EQ(s.edit->Text(), "padded");  // unquoted: outer blanks are lost
  EXPECT_EQ(s.labeled->Text(), "labeled text");
  EXPECT_EQ(s.history->Text(), "newest");
  EXPECT_EQ(s.history->Items(), (std::vector<std::string>{"newest", "older"}));
  EXPECT_EQ(s.choice->ItemIndex(), 1);
  EXPECT_EQ(s.spin->Value(), 42);
  EXPECT_EQ(s.radio->ItemIndex(), 2);
  EXPECT_EQ(s.track->Position(), 7);
  EXPECT_TRUE(s.check->Checked());
  ASSERT_EQ(s.list->Count(), 3);
  EXPECT_EQ(s.list->ItemText(0), "alpha");
  EXPECT_TRUE(s.list->Checked(0));
  EXPECT_EQ(s.list->ItemText(1), "Bracketed");  // key normalisation drops the brackets
  EXPECT_FALSE(s.list->Checked(2));
  EXPECT_EQ(s.memo->Lines(), (std::vector<std::string>{"first", "third"}));
  EXPECT_TRUE(s.readOnlyMemo->Lines().empty());
  EXPECT_EQ(s.values->Strings(), (std::vector<std::string>{"a=1", "b=2", "", ""}));
  EXPECT_EQ(s.grid->ColCount(), 3);
  EXPECT_EQ(s.grid->RowCount(), 2);
  EXPECT_EQ(s.grid->Cell(0, 0), "c00");
  EXPECT_EQ(s.grid->Cell(2, 1), "c21");
}

TEST_F(ControlState, SectionsAndKeysAreNamedAfterTheTree) {
  KitchenSink s;
  Fill(s);
  D_Ini::SaveControlState(&ini, "Settings", s);
  EXPECT_EQ(Raw("Settings Sink", "Sink.Top"), "20");
  EXPECT_EQ(Raw("Settings Sink", "Edit"), "padded");
  EXPECT_EQ(Raw("Settings Sink", "Choice"), "Green");
  EXPECT_EQ(Raw("Settings Sink", "Simple"), "<absent>");
  EXPECT_EQ(Raw("Settings Sink", "Spin"), "42");
  EXPECT_EQ(Raw("Settings Sink", "Check"), "1");
  // The unnamed panel adds no section level; its children are saved.
  EXPECT_EQ(Raw("Settings Sink", "Radio"), "2");
  EXPECT_EQ(Raw("History History", "Current"), "newest");
  EXPECT_EQ(Raw("History History", "Count"), "2");
  EXPECT_EQ(Raw("Settings Sink List", "alpha"), "1");
  EXPECT_EQ(Raw("Settings Sink List", "Zulu"), "0");
  EXPECT_EQ(Raw("Settings Sink Memo", "2"), "third");  // the empty line leaves no key
  EXPECT_EQ(Raw("Settings Sink Memo", "1"), "<absent>");
  EXPECT_EQ(Raw("Settings Sink ReadOnlyMemo", "0"), "<absent>");
  EXPECT_EQ(Raw("Settings Sink", "Values.Count"), "4");
  EXPECT_EQ(Raw("Settings Sink Values", "2"), "b=2");
  EXPECT_EQ(Raw("Settings Sink Grid", "Cell.2.1"), "c21");
  EXPECT_EQ(ini.ListKeys("Settings Sink Grid"),
            (std::vector<std::string>{"RowCount", "ColCount", "FixedRows", "FixedCols", "Cell.0.0",
                                      "Cell.2.1"}));
  // Splitter neighbours: every left-aligned windowed sibling.
  EXPECT_EQ(Raw("Settings Sink", "LeftA.Width"), "120");
  EXPECT_EQ(Raw("Settings Sink", "LeftB.Width"), "80");
  EXPECT_EQ(Raw("Settings Sink", "Outer.Width"), "<absent>");
  EXPECT_EQ(Raw("Settings Sink", "Label"), "<absent>");
}

TEST_F(ControlState, RestoreReadsSizesOfNamedControlsAndRespectsFormPosition) {
  KitchenSink s;
  ini.WriteValue("Settings Sink", "Sink.Left", "0");
  ini.WriteValue("Settings Sink", "Sink.Top", "77");
  ini.WriteValue("Settings Sink", "Edit.Width", "0");
  ini.WriteValue("Settings Sink", "Spin.Height", "33");
  D_Ini::RestoreControlState(&ini, "Settings", s);
  EXPECT_EQ(s.Left(), 10);  // a stored 0 is not applied to the placement
  EXPECT_EQ(s.Top(), 77);
  EXPECT_EQ(s.edit->Width(), 0);  // but the every-control read applies it
  EXPECT_EQ(s.spin->Height(), 33);

  KitchenSink placed;
  placed.SetPosition(TPosition::poScreenCenter);
  ini.WriteValue("Settings Sink", "Sink.Width", "640");
  D_Ini::RestoreControlState(&ini, "Settings", placed);
  EXPECT_EQ(placed.Top(), 20);
  EXPECT_EQ(placed.Width(), 640);
}

TEST_F(ControlState, MissingFileEmptiesOnlyTheListKinds) {
  KitchenSink s;
  Fill(s);
  D_Ini::RestoreControlState(&ini, "Settings", s);
  EXPECT_EQ(s.list->Count(), 0);
  EXPECT_TRUE(s.memo->Lines().empty());
  EXPECT_TRUE(s.values->Strings().empty());
  // (Windows trims a default's trailing blanks, so the padded edit is not compared.)
  EXPECT_EQ(s.labeled->Text(), "labeled text");
  EXPECT_EQ(s.spin->Value(), 42);
  EXPECT_TRUE(s.check->Checked());
  EXPECT_EQ(s.history->Text(), "newest");
  EXPECT_EQ(s.grid->Cell(2, 1), "c21");
  D_Ini::RestoreControlState(nullptr, "Settings", s);  // no file object: nothing happens
}

TEST_F(ControlState, FailuresEndTheWalkButBoundsSwallowThem) {
  KitchenSink s;
  Fill(s);
  os.FailProfileWriteWhen([](const std::string&) { return true; });
  os.FailProfileEraseWhen([](const std::string&) { return true; });
  EXPECT_NO_THROW(D_Ini::SaveBounds(&ini, "", &s));
  EXPECT_THROW(D_Ini::SaveControlState(&ini, "Settings", s), ESettingsWriteError);
  os.ClearFailures();

  // A grid refusing its stored shape stops the restore there.
  ini.WriteValue("Settings Sink Grid", "FixedRows", "9");
  ini.WriteValue("Settings Sink", "Memo.Width", "5");
  KitchenSink r;
  EXPECT_THROW(D_Ini::RestoreControlState(&ini, "Settings", r), EQuillanError);
  EXPECT_EQ(r.memo->Width(), 5);
  // A hand-made huge shape is refused, not allocated.
  ini.WriteValue("Settings Sink Grid", "FixedRows", "1");
  ini.WriteValue("Settings Sink Grid", "RowCount", "2000000000");
  EXPECT_THROW(D_Ini::RestoreControlState(&ini, "Settings", r), EQuillanError);
}

TEST(ComboHistory, AddKeepsAtMostOneMoreThanTheLimitAndIgnoresCase) {
  ui::memory::MemoryApplication app;
  TForm form;
  auto* box = new TComboBox(&form);
  for (int i = 0; i < 31; ++i) box->AddItem("p" + std::to_string(i));
  box->SetText("P3");
  D_Ini::AddComboHistory(*box, 30);
  EXPECT_EQ(box->ItemCount(), 31);
  EXPECT_EQ(box->Items()[0], "p0");
  box->SetText("new");
  D_Ini::AddComboHistory(*box, 30);
  EXPECT_EQ(box->ItemCount(), 31);
  EXPECT_EQ(box->Items()[0], "new");
  EXPECT_EQ(box->Items()[30], "p29");
  box->SetText("");
  D_Ini::AddComboHistory(*box, 30);
  EXPECT_EQ(box->ItemCount(), 31);
}

TEST_F(ControlState, HistorySectionReadsOneKeyMoreAndKeepsQuotedBlanks) {
  TForm form;
  auto* box = new TComboBox(&form);
  box->SetName("Box");
  ini.WriteValue("History Box", "Count", "2");
  ini.WriteValue("History Box", "0", "\" spaced \"");
  ini.WriteValue("History Box", "1", " unquoted ");
  ini.WriteValue("History Box", "2", "extra");
  ini.WriteValue("History Box", "Current", "\"cur\"");
  D_Ini::LoadComboHistory(ini, "History Box", *box);
  EXPECT_EQ(box->Items(), (std::vector<std::string>{" spaced ", "unquoted", "extra"}));
  EXPECT_EQ(box->Text(), "cur");

  D_Ini::SaveComboHistory(ini, "History Box", *box);
  EXPECT_EQ(Raw("History Box", "Count"), "4");
  const std::string text = quillan_test::TempDir::ReadFile(path);
  EXPECT_NE(text.find("0=\"cur\""), std::string::npos);
  EXPECT_NE(text.find("1=\" spaced \""), std::string::npos);
  auto* again = new TComboBox(&form);
  D_Ini::RestoreComboHistory(ini, "History Box", "fallback", *again);
  EXPECT_EQ(again->Items()[1], " spaced ");
  EXPECT_EQ(again->Text(), "cur");

  // Without Count, keys 0 to 30 are read; an empty Current gets the default.
  ini.EraseSection("History Box");
  ini.WriteValue("History Box", "30", "thirty");
  ini.WriteValue("History Box", "31", "too far");
  auto* third = new TComboBox(&form);
  D_Ini::RestoreComboHistory(ini, "History Box", "fallback", *third);
  EXPECT_EQ(third->Items(), (std::vector<std::string>{"fallback", "thirty"}));
  EXPECT_EQ(third->Text(), "fallback");
}
