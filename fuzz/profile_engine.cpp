// The private-profile engine on arbitrary file bytes and arbitrary operation
// sequences: reads stay within their limits, a written value reads back as
// the reading rules make it, and every other key keeps its value, both as
// the engine reads the file and as kernel32's line rules read its bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ScratchFile.h"
#include "platform/ProfileEngine.h"

namespace {

const std::string& g_path = ScratchPath();

const char* const kSections[] = {"Settings", "settings", "History ComboBoxPath", "A", " A ", "B",
                                 "big"};
const char* const kKeys[] = {"Current", "current", "Count", "0", "1", "x", " x", "[k]", "key-101499"};
const std::string kAbsent = "\x01<absent>";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool HasLineBreakOrZero(const std::string& s) {
  static const char kBad[] = {'\r', '\n', '\0'};
  return s.find_first_of(kBad, 0, sizeof kBad) != std::string::npos;
}

// Names whose round trip the file format can carry.
bool CleanSection(const std::string& s) {
  return !Trim(s).empty() && !HasLineBreakOrZero(s) && s.find(']') == std::string::npos;
}
bool CleanKey(const std::string& k) {
  const std::string t = Trim(k);
  return !t.empty() && !HasLineBreakOrZero(k) && k.find('=') == std::string::npos &&
         t[0] != '[' && t[0] != ';';
}

// A line break or zero ends a name or value: what follows never reaches the
// file, so a value cannot plant lines of its own.
std::string CutAtLineBreak(std::string s) {
  static const char kBad[] = {'\r', '\n', '\0'};
  const std::size_t p = s.find_first_of(kBad, 0, sizeof kBad);
  if (p != std::string::npos) s.resize(p);
  return s;
}

// What a read gives back for a written value: trimmed, one pair of matching
// outer quotes removed, at most 2047 characters.
std::string AsRead(const std::string& value) {
  std::string v = Trim(value);
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
    v = v.substr(1, v.size() - 2);
  if (v.size() > profile::kValueBufferSize - 1) v.resize(profile::kValueBufferSize - 1);
  return v;
}

std::string ReadFileBytes() {
  std::string out;
  std::FILE* f = std::fopen(g_path.c_str(), "rb");
  if (f == nullptr) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

// Section names that header lines of the file seem to carry.
void SectionsOfFile(const std::string& bytes, std::set<std::string>& out) {
  std::size_t pos = 0;
  while (pos < bytes.size() && out.size() < 24) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = Trim(bytes.substr(pos, end - pos));
    if (!line.empty() && line[0] == '[') {
      const std::size_t close = line.find(']');
      out.insert(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    }
    pos = end + 1;
  }
}

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

// The names, each with its zero, and a final zero fit the listing buffer.
void CheckListLimit(const std::vector<std::string>& keys) {
  std::size_t bytes = 1;
  for (const auto& k : keys) bytes += k.size() + 1;
  if (bytes > profile::kKeyListBufferSize) std::abort();
}

Snapshot Take(profile::ProfileEngine& engine, const std::set<std::string>& sections) {
  Snapshot snap;
  for (const auto& s : sections) {
    const std::vector<std::string> keys = engine.ListKeys(g_path, s);
    CheckListLimit(keys);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (i >= 32 && i + 32 < keys.size()) continue;  // the ends of a long section will do
      const std::string& k = keys[i];
      const std::string v = engine.Read(g_path, s, k, kAbsent);
      if (v.size() > profile::kValueBufferSize - 1) std::abort();
      snap[{s, k}] = v;
    }
  }
  return snap;
}

bool SameKey(const std::string& a, const std::string& b) {
  return Lower(Trim(a)) == Lower(Trim(b));
}

// Every key of `before` outside the touched section/key still reads the same.
void CheckOthersUntouched(profile::ProfileEngine& engine, const Snapshot& before,
                          const std::string& section, const std::string* key) {
  for (const auto& [sk, value] : before) {
    if (SameKey(sk.first, section) && (key == nullptr || SameKey(sk.second, *key))) continue;
    if (engine.Read(g_path, sk.first, sk.second, kAbsent) != value) std::abort();
  }
}

// The file as kernel32's line rules see it, written independently of the
// engine: CR, LF and CR LF end lines; a header is a "[" line with a "]",
// named up to its last "]"; any other line with "=" is a key (";" too).
// The first section of a name and its first key of a name answer; lines
// above the first header form a section of their own.
using WindowsView = std::map<std::string, std::map<std::string, std::string>>;
const std::string kAboveHeaders = "\x01" "above";

// What a C string API sees of a name or value.
std::string CutAtZero(const std::string& s) { return s.substr(0, s.find('\0')); }

WindowsView ReadAsWindows(const std::string& bytes) {
  WindowsView view;
  std::set<std::string> seen;
  std::map<std::string, std::string>* current = &view[kAboveHeaders];
  std::size_t pos = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = Trim(bytes.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    const std::size_t close = line.rfind(']');
    if (line[0] == '[' && close != std::string::npos) {
      const std::string name = Lower(CutAtZero(Trim(line.substr(1, close - 1))));
      current = seen.insert(name).second ? &view[name] : nullptr;  // a later copy answers nothing
      continue;
    }
    const std::size_t eq = line.find('=');
    if (current == nullptr || eq == std::string::npos) continue;
    current->emplace(Lower(CutAtZero(Trim(line.substr(0, eq)))), CutAtZero(Trim(line.substr(eq + 1))));
  }
  return view;
}

// Every section of `before` but `section` (every key but `key` in it, when
// given) answers the same in `after`.
void CheckWindowsViewKept(const WindowsView& before, const WindowsView& after,
                          const std::string& section, const std::string* key) {
  const std::string touched = Lower(Trim(section));
  for (const auto& [name, keys] : before) {
    if (name == touched && key == nullptr) continue;
    const auto it = after.find(name);
    if (it == after.end()) std::abort();  // a section lost
    for (const auto& [k, v] : keys) {
      if (name == touched && k == Lower(Trim(*key))) continue;
      const auto kt = it->second.find(k);
      if (kt == it->second.end() || kt->second != v) std::abort();
    }
  }
}

std::string PickName(FuzzedDataProvider& in, const char* const* pool, std::size_t poolSize) {
  const std::size_t i = in.ConsumeIntegralInRange<std::size_t>(0, poolSize);
  if (i < poolSize) return pool[i];
  return in.ConsumeRandomLengthString(24);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeScratchFile("profile.ini");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::string initial = in.ConsumeRandomLengthString(3000);
  if (in.ConsumeIntegralInRange<int>(0, 31) == 31) {
    // Rarely, a section whose key names overflow the 16384-byte listing.
    initial += "\n[Big]\n";
    for (int i = 0; i < 1500; ++i) initial += "key-" + std::to_string(100000 + i) + "=v\n";
  }
  WriteScratchFile(initial);

  // A fresh engine per input: nothing cached from earlier inputs.
  profile::ProfileEngine engine;
  std::set<std::string> sections;
  SectionsOfFile(initial, sections);

  for (int op = 0; op < 8 && in.remaining_bytes() > 0; ++op) {
    const int kind = in.ConsumeIntegralInRange<int>(0, 3);
    const std::string section = PickName(in, kSections, std::size(kSections));
    sections.insert(section);
    if (kind == 0 || kind == 1) {  // write a value
      const std::string key = PickName(in, kKeys, std::size(kKeys));
      std::string value = in.ConsumeRandomLengthString(64);
      switch (in.ConsumeIntegralInRange<int>(0, 4)) {  // the shapes the reading rules touch
        case 1: value = "\"" + value + "\""; break;
        case 2: value = "'" + value + "'"; break;
        case 3: value = " \t" + value + "  "; break;
        case 4: value = " \"" + value + "\"\t"; break;
        default: break;
      }
      if (in.ConsumeIntegralInRange<int>(0, 15) == 15) value.append(2100, 'v');  // past the limit
      const Snapshot before = Take(engine, sections);
      const std::string bytesBefore = ReadFileBytes();
      const WindowsView viewBefore = ReadAsWindows(bytesBefore);
      const std::string s = CutAtLineBreak(section), k = CutAtLineBreak(key);
      const bool clean = CleanSection(s) && CleanKey(k);
      const bool ok = engine.Write(g_path, section, key, value);
      if (!ok) {
        if (clean || ReadFileBytes() != bytesBefore) std::abort();  // refused: unchanged
        continue;
      }
      if (clean) {
        if (engine.Read(g_path, s, k, kAbsent) != AsRead(CutAtLineBreak(value))) std::abort();
        CheckOthersUntouched(engine, before, s, &k);
        // Whatever line ends the write left, kernel32 reads it back too.
        const WindowsView viewAfter = ReadAsWindows(ReadFileBytes());
        CheckWindowsViewKept(viewBefore, viewAfter, s, &k);
        const auto it = viewAfter.find(Lower(Trim(s)));
        if (it == viewAfter.end()) std::abort();
        const auto kt = it->second.find(Lower(Trim(k)));
        if (kt == it->second.end() || AsRead(kt->second) != AsRead(CutAtLineBreak(value))) std::abort();
      }
    } else if (kind == 2) {  // erase a section
      const Snapshot before = Take(engine, sections);
      const WindowsView viewBefore = ReadAsWindows(ReadFileBytes());
      const bool ok = engine.EraseSection(g_path, section);
      // Only writes cut names at a line break or zero; an erase takes the name whole.
      if (CleanSection(section)) {
        const std::string& s = section;
        if (!ok) std::abort();
        if (!engine.ListKeys(g_path, s).empty()) std::abort();
        CheckOthersUntouched(engine, before, s, nullptr);
        // Erasing one section never takes another with it.
        CheckWindowsViewKept(viewBefore, ReadAsWindows(ReadFileBytes()), s, nullptr);
      }
    } else {  // read and list within the limits
      const std::string key = PickName(in, kKeys, std::size(kKeys));
      if (engine.Read(g_path, section, key, "").size() > profile::kValueBufferSize - 1)
        std::abort();
      CheckListLimit(engine.ListKeys(g_path, section));
    }
  }
  return 0;
}
