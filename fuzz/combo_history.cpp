// Restoring a path history from arbitrary section content: never more
// entries than keys were read, no two entries equal ignoring case, earlier
// entries kept in place, and what is saved loads back the same.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

#include "ScratchFile.h"
#include "lib/D_IniControls.h"
#include "ui/Controls.h"

namespace {

const std::string& g_path = ScratchPath();
const std::string kSection = "History ComboBoxPath";

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool HasCaseDuplicates(const std::vector<std::string>& items) {
  for (std::size_t i = 0; i < items.size(); ++i)
    for (std::size_t j = i + 1; j < items.size(); ++j)
      if (Upper(items[i]) == Upper(items[j])) return true;
  return false;
}

// What a one-line edit field can hold.
std::string OneLine(std::string s) {
  std::erase_if(s, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeScratchFile("history.ini");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // Entries the box holds before the restore (distinct ignoring case).
  ui::TComboBox combo(nullptr);
  const int pre = in.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < pre; ++i) {
    const std::string s = OneLine(in.ConsumeRandomLengthString(12));
    if (!s.empty() && combo.IndexOfItem(s) < 0) combo.AddItem(s);
  }
  const std::vector<std::string> before = combo.Items();
  const std::string text = OneLine(in.ConsumeRandomLengthString(12));
  combo.SetText(text);
  const bool withCount = in.ConsumeBool();
  std::string content = in.ConsumeRemainingBytesAsString();
  if (withCount) content = "Count=" + content;  // steer towards odd counts
  WriteScratchFile("[Other]\nx=1\n[" + kSection + "]\n" + content + "\n[Last]\ny=2\n");

  const D_Ini::TIniFile file(g_path);
  // Keys that a restore can read at most: "0" to "255", each once.
  std::size_t readable = 0;
  for (int i = 0; i <= 255; ++i)
    if (!file.ReadValue(kSection, std::to_string(i), "").empty()) ++readable;

  D_Ini::LoadComboHistory(file, kSection, combo);
  const std::vector<std::string>& items = combo.Items();
  if (items.size() > before.size() + readable) std::abort();
  if (HasCaseDuplicates(items)) std::abort();
  for (std::size_t i = 0; i < before.size(); ++i)
    if (items[i] != before[i]) std::abort();
  for (std::size_t i = before.size(); i < items.size(); ++i)
    if (items[i].empty() || items[i].size() > 2047) std::abort();

  // A full restore adds the text at most once more, and what it saves loads back.
  D_Ini::AddComboHistory(combo, D_Ini::kComboHistoryLimit);
  if (HasCaseDuplicates(combo.Items())) std::abort();
  const std::vector<std::string> kept = combo.Items();
  D_Ini::SaveComboHistory(file, kSection, combo);
  if (file.ReadValue("Other", "x", "") != "1" || file.ReadValue("Last", "y", "") != "2")
    std::abort();
  // A lone carriage return inside a hand-written value is read as part of it,
  // but no write lets a line break through, so such an entry comes back cut.
  const bool oneLine = std::none_of(kept.begin(), kept.end(), [](const std::string& e) {
    return e.find('\r') != std::string::npos;
  });
  if (kept.size() <= 256 && oneLine) {
    ui::TComboBox again(nullptr);
    D_Ini::LoadComboHistory(file, kSection, again);
    if (again.Items() != kept || again.Text() != combo.Text()) std::abort();
  }
  return 0;
}
