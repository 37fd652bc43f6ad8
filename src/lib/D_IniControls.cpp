#include "lib/D_IniControls.h"

#include <algorithm>
#include <limits>

#include "base/Errors.h"
#include "lib/TStringList.h"

namespace D_Ini {

using namespace ui;

namespace {

// History indexes are 8-bit, so a stored Count outside 0..255 is cut to it.
constexpr long long kMaxHistoryCount = 255;
// A hand-edited count must not make the restore allocate without bound.
constexpr long long kMaxRestoredLines = 65535;

int ToInt(long long v) {
  return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

TStringList ToList(const std::vector<std::string>& lines) {
  TStringList list;
  for (const std::string& line : lines) list.Add(line);
  return list;
}

std::vector<std::string> FromList(const TStringList& list) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(list.Count()));
  for (const TStringItem& item : list.Items()) lines.push_back(item.Text);
  return lines;
}

void SaveKind(const TIniFile& file, const std::string& s, const std::string& name, TControl& c) {
  const std::string controlSection = s + " " + name;
  if (dynamic_cast<TEdit*>(&c) || dynamic_cast<TLabeledEdit*>(&c)) {
    WriteSettingString(file, s, name, c.Text());
  } else if (auto* combo = dynamic_cast<TComboBox*>(&c)) {
    if (combo->Style() == TComboBoxStyle::csDropDown) {
      SaveComboHistory(file, "History " + name, *combo);
    } else if (combo->Style() == TComboBoxStyle::csDropDownList) {
      WriteSettingString(file, s, name, combo->Text());
    }
  } else if (auto* spin = dynamic_cast<TSpinEdit*>(&c)) {
    WriteSettingInteger(file, s, name, spin->Value());
  } else if (auto* radio = dynamic_cast<TRadioGroup*>(&c)) {
    WriteSettingInteger(file, s, name, radio->ItemIndex());
  } else if (auto* track = dynamic_cast<TTrackBar*>(&c)) {
    WriteSettingInteger(file, s, name, track->Position());
  } else if (auto* check = dynamic_cast<TCheckBox*>(&c)) {
    WriteSettingBool(file, s, name, check->Checked());
  } else if (auto* list = dynamic_cast<TCheckListBox*>(&c)) {
    TIniBatch batch(file);
    file.EraseSection(controlSection);
    for (int i = 0; i < list->Count(); ++i) {
      WriteSettingString(file, controlSection, list->ItemText(i), list->Checked(i) ? "1" : "0");
    }
    batch.Commit();
  } else if (auto* memo = dynamic_cast<TMemo*>(&c)) {
    if (!memo->ReadOnly()) WriteSectionList(file, controlSection, ToList(memo->Lines()), false);
  } else if (auto* values = dynamic_cast<TValueListEditor*>(&c)) {
    WriteSettingInteger(file, s, name + ".Count", values->RowCount());
    WriteSectionList(file, controlSection, ToList(values->Strings()), false);
  } else if (auto* grid = dynamic_cast<TStringGrid*>(&c)) {
    TIniBatch batch(file);
    file.EraseSection(controlSection);
    WriteSettingInteger(file, controlSection, "RowCount", grid->RowCount());
    WriteSettingInteger(file, controlSection, "ColCount", grid->ColCount());
    WriteSettingInteger(file, controlSection, "FixedRows", grid->FixedRows());
    WriteSettingInteger(file, controlSection, "FixedCols", grid->FixedCols());
    for (int col = 0; col < grid->ColCount(); ++col) {
      for (int row = 0; row < grid->RowCount(); ++row) {
        WriteSettingString(file, controlSection,
                           "Cell." + std::to_string(col) + "." + std::to_string(row),
                           grid->Cell(col, row));
      }
    }
    batch.Commit();
  }
}

void RestoreKind(const TIniFile& file, const std::string& s, const std::string& name, TControl& c) {
  const std::string controlSection = s + " " + name;
  if (dynamic_cast<TEdit*>(&c) || dynamic_cast<TLabeledEdit*>(&c)) {
    c.SetText(ReadSettingString(file, s, name, c.Text()));
  } else if (auto* combo = dynamic_cast<TComboBox*>(&c)) {
    const std::string value = file.ReadValue(s, name, combo->Text());
    if (combo->Style() == TComboBoxStyle::csDropDown) {
      RestoreComboHistory(file, "History " + name, value, *combo);
    } else if (combo->Style() == TComboBoxStyle::csDropDownList) {
      combo->SetItemIndex(combo->IndexOfItem(value));
    }
  } else if (auto* check = dynamic_cast<TCheckBox*>(&c)) {
    check->SetChecked(ReadSettingBool(file, s, name, check->Checked()));
  } else if (auto* spin = dynamic_cast<TSpinEdit*>(&c)) {
    spin->SetValue(ToInt(ReadSettingInteger(file, s, name, spin->Value())));
  } else if (auto* track = dynamic_cast<TTrackBar*>(&c)) {
    track->SetPosition(ToInt(ReadSettingInteger(file, s, name, track->Position())));
  } else if (auto* radio = dynamic_cast<TRadioGroup*>(&c)) {
    radio->SetItemIndex(ToInt(ReadSettingInteger(file, s, name, radio->ItemIndex())));
  } else if (auto* memo = dynamic_cast<TMemo*>(&c)) {
    memo->ClearLines();
    TStringList lines;
    ReadSectionList(file, controlSection, lines, false);
    memo->SetLines(FromList(lines));
  } else if (auto* list = dynamic_cast<TCheckListBox*>(&c)) {
    list->Clear();
    {
      TCheckListBoxUpdate update(*list);
      for (const std::string& key : file.ListKeys(controlSection)) list->AddItem(key);
    }
    for (int i = 0; i < list->Count(); ++i) {
      list->SetChecked(i, ReadSettingBool(file, controlSection, list->ItemText(i), list->Checked(i)));
    }
  } else if (auto* values = dynamic_cast<TValueListEditor*>(&c)) {
    values->ClearLines();
    TStringList lines;
    ReadSectionList(file, controlSection, lines, false);
    values->SetStrings(FromList(lines));
    const long long count =
        std::min(ReadSettingInteger(file, s, name + ".Count", 0), kMaxRestoredLines);
    while (values->RowCount() < count) values->AddLine(std::string());
  } else if (auto* grid = dynamic_cast<TStringGrid*>(&c)) {
    grid->SetRowCount(ToInt(ReadSettingInteger(file, controlSection, "RowCount", grid->RowCount())));
    grid->SetColCount(ToInt(ReadSettingInteger(file, controlSection, "ColCount", grid->ColCount())));
    grid->SetFixedRows(
        ToInt(ReadSettingInteger(file, controlSection, "FixedRows", grid->FixedRows())));
    grid->SetFixedCols(
        ToInt(ReadSettingInteger(file, controlSection, "FixedCols", grid->FixedCols())));
    for (int col = 0; col < grid->ColCount(); ++col) {
      for (int row = 0; row < grid->RowCount(); ++row) {
        const std::string key = "Cell." + std::to_string(col) + "." + std::to_string(row);
        grid->SetCell(col, row, ReadSettingString(file, controlSection, key, grid->Cell(col, row)));
      }
    }
  }
}

}  // namespace

void SaveControlState(const TIniFile* file, const std::string& section, TControl& control) {
  if (!file) return;
  std::string s = section;
  if (auto* form = dynamic_cast<TCustomForm*>(&control)) {
    s += " " + form->Name();
    SaveBounds(file, s, form);
  }
  if (!control.Name().empty()) SaveKind(*file, s, control.Name(), control);
  if (auto* win = dynamic_cast<TWinControl*>(&control)) {
    for (TControl* child : win->Controls()) {
      if (dynamic_cast<TWinControl*>(child)) {
        SaveControlState(file, s, *child);
      } else if (auto* splitter = dynamic_cast<TSplitter*>(child)) {
        SaveSplitterNeighbours(*file, s, *splitter);
      }
    }
  }
}

void RestoreControlState(const TIniFile* file, const std::string& section, TControl& control) {
  if (!file) return;
  std::string s = section;
  if (auto* form = dynamic_cast<TCustomForm*>(&control)) {
    s += " " + form->Name();
    RestoreBounds(file, s, form);
  }
  const std::string& name = control.Name();
  if (!name.empty()) {
    control.SetWidth(ToInt(ReadSettingInteger(*file, s, name + ".Width", control.Width())));
    control.SetHeight(ToInt(ReadSettingInteger(*file, s, name + ".Height", control.Height())));
    RestoreKind(*file, s, name, control);
  }
  if (auto* win = dynamic_cast<TWinControl*>(&control)) {
    // A restore may not add or remove children, but copy the list anyway:
    // the walk must not depend on that.
    const std::vector<TControl*> children = win->Controls();
    for (TControl* child : children) {
      if (dynamic_cast<TWinControl*>(child)) RestoreControlState(file, s, *child);
    }
  }
}

void SaveBounds(const TIniFile* file, const std::string& section, TControl* control) {
  try {
    if (!file || !control) return;
    const std::string& name = control->Name();
    const std::string s = section.empty() ? name : section;
    WriteSettingInteger(*file, s, name + ".Top", control->Top());
    WriteSettingInteger(*file, s, name + ".Left", control->Left());
    WriteSettingInteger(*file, s, name + ".Width", control->Width());
    WriteSettingInteger(*file, s, name + ".Height", control->Height());
  } catch (...) {
    // Placement is a convenience; losing it must not stop anything.
  }
}

void RestoreBounds(const TIniFile* file, const std::string& section, TControl* control) {
  try {
    if (!file || !control) return;
    if (auto* form = dynamic_cast<TForm*>(control);
        form && form->Position() != TPosition::poDesigned) {
      return;
    }
    const std::string& name = control->Name();
    const std::string s = section.empty() ? name : section;
    const int width = ToInt(ReadSettingInteger(*file, s, name + ".Width", 0));
    const int height = ToInt(ReadSettingInteger(*file, s, name + ".Height", 0));
    const int left = ToInt(ReadSettingInteger(*file, s, name + ".Left", 0));
    const int top = ToInt(ReadSettingInteger(*file, s, name + ".Top", 0));
    if (width != 0) control->SetWidth(width);
    if (height != 0) control->SetHeight(height);
    if (left != 0) control->SetLeft(left);
    if (top != 0) control->SetTop(top);
  } catch (...) {
  }
}

void SaveMainFormBounds(const TIniFile* file) {
  TApplication* app = Application();
  SaveBounds(file, "Settings", app ? app->MainForm() : nullptr);
}

void RestoreMainFormBounds(const TIniFile* file) {
  TApplication* app = Application();
  RestoreBounds(file, "Settings", app ? app->MainForm() : nullptr);
}

void SaveSplitterNeighbours(const TIniFile& file, const std::string& section,
                            const TSplitter& splitter) {
  const TWinControl* parent = splitter.Parent();
  if (!parent) return;
  const TAlign align = splitter.Align();
  for (const TControl* child : parent->Controls()) {
    if (!dynamic_cast<const TWinControl*>(child) || child->Align() != align) continue;
    if (align == TAlign::alTop || align == TAlign::alBottom) {
      WriteSettingInteger(file, section, child->Name() + ".Height", child->Height());
    } else if (align == TAlign::alLeft || align == TAlign::alRight) {
      WriteSettingInteger(file, section, child->Name() + ".Width", child->Width());
    }
  }
}

void AddComboHistory(TComboBox& combo, int limit) {
  const std::string text = combo.Text();
  if (text.empty() || combo.IndexOfItem(text) >= 0) return;
  if (limit > 0 && combo.ItemCount() > limit) combo.DeleteItem(limit);
  combo.InsertItem(0, text);
}

void LoadComboHistory(const TIniFile& file, const std::string& section, TComboBox& combo) {
  auto finish = [&] {
    if (combo.Style() == TComboBoxStyle::csDropDownList) {
      combo.SetItemIndex(0);
    } else {
      combo.SetText(file.ReadValue(section, "Current", ""));
    }
  };
  try {
    const long long count =
        std::clamp(ReadSettingInteger(file, section, "Count", kComboHistoryLimit), 0LL,
                   kMaxHistoryCount);
    for (long long i = 0; i <= count; ++i) {
      const std::string s = file.ReadValue(section, std::to_string(i), "");
      if (!s.empty() && combo.IndexOfItem(s) < 0) combo.AddItem(s);
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void RestoreComboHistory(const TIniFile& file, const std::string& section,
                         const std::string& defaultText, TComboBox& combo) {
  LoadComboHistory(file, section, combo);
  if (combo.Text().empty()) combo.SetText(defaultText);
  AddComboHistory(combo, kComboHistoryLimit);
}

void SaveComboHistory(const TIniFile& file, const std::string& section, TComboBox& combo) {
  AddComboHistory(combo, kComboHistoryLimit);
  TIniBatch batch(file);
  file.EraseSection(section);
  WriteSettingString(file, section, "Current", Quoted(combo.Text()));
  const int count = combo.ItemCount();
  WriteSettingInteger(file, section, "Count", count);
  for (int i = 0; i < count; ++i) {
    WriteSettingString(file, section, std::to_string(i),
                       Quoted(combo.Items()[static_cast<std::size_t>(i)]));
  }
  batch.Commit();
}

}  // namespace D_Ini
