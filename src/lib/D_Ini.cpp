#include "lib/D_Ini.h"

#include <limits>
#include <map>

#include "lib/D_Util.h"
#include "lib/D_Win.h"
#include "base/Errors.h"
#include "platform/Platform.h"

namespace D_Ini {

namespace {
platform::Platform& P() { return platform::Platform::Get(); }

// Open batches by path, and whether a write inside one was refused: a
// caller that carries on past a refused write (placement is optional)
// must not make the batch commit half the changes.
struct OpenBatch {
  int depth = 0;
  bool refused = false;
};
std::map<std::string, OpenBatch>& OpenBatches() {
  static std::map<std::string, OpenBatch> batches;
  return batches;
}

void NoteRefusal(const std::string& path) {
  auto it = OpenBatches().find(path);
  if (it != OpenBatches().end()) it->second.refused = true;
}
}  // namespace

std::string TIniFile::ReadValue(const std::string& section, const std::string& key,
                                const std::string& def) const {
  return P().ProfileRead(path_, section, key, def);
}

std::vector<std::string> TIniFile::ListKeys(const std::string& section) const {
  return P().ProfileListKeys(path_, section);
}

std::vector<std::string> TIniFile::ReadSectionValues(const std::string& section) const {
  std::vector<std::string> lines;
  for (const std::string& key : ListKeys(section)) {
    lines.push_back(key + "=" + ReadValue(section, key, ""));
  }
  return lines;
}

bool TIniFile::KeyExists(const std::string& section, const std::string& key) const {
  const std::string wanted = D_Util::UpperAscii(key);
  for (const std::string& k : ListKeys(section)) {
    if (D_Util::UpperAscii(k) == wanted) return true;
  }
  return false;
}

void TIniFile::WriteValue(const std::string& section, const std::string& key,
                          const std::string& value) const {
  if (const platform::Result written = P().ProfileWrite(path_, section, key, value); !written) {
    NoteRefusal(path_);
    throw ESettingsWriteError(path_, written.error);
  }
}

void TIniFile::EraseSection(const std::string& section) const {
  if (const platform::Result erased = P().ProfileEraseSection(path_, section); !erased) {
    NoteRefusal(path_);
    throw ESettingsWriteError(path_, erased.error);
  }
}

long long TIniFile::ReadInteger(const std::string& section, const std::string& key,
                                long long def) const {
  long long value = 0;
  return ParseSettingInteger(ReadValue(section, key, ""), value) ? value : def;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key,
                            long long value) const {
  WriteValue(section, key, std::to_string(value));
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) const {
  WriteValue(section, key, value ? "1" : "0");
}

TIniBatch::TIniBatch(const TIniFile& file) : path_(file.FileName()) {
  ++OpenBatches()[path_].depth;
  P().ProfileBeginBatch(path_);
}

TIniBatch::~TIniBatch() {
  if (open_) End(false);
}

platform::Result TIniBatch::End(bool commit) {
  open_ = false;
  auto it = OpenBatches().find(path_);
  const bool refused = it != OpenBatches().end() && it->second.refused;
  if (it != OpenBatches().end() && --it->second.depth == 0) OpenBatches().erase(it);
  platform::Result ended = P().ProfileEndBatch(path_, commit && !refused);
  if (refused && ended) ended = platform::Result::Failed({});
  return ended;
}

void TIniBatch::Commit() {
  if (const platform::Result ended = End(true); !ended) throw ESettingsWriteError(path_, ended.error);
}

std::string NormalizeKeyName(const std::string& key) {
  // Keys are trimmed in the file, so " [x" would be written as a section
  // header "[x=..." that no erase of its section removes.
  const std::size_t first = key.find_first_not_of(" \t");
  if (first != std::string::npos && key[first] == '[') return D_Util::RemoveChars(key, "[]");
  return key;
}

std::string SectionOrDefault(const std::string& section) {
  return section.empty() ? std::string("Settings") : section;
}

bool ParseSettingInteger(const std::string& text, long long& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (text.compare(i, 1, "$") == 0) {
    base = 16;
    i += 1;
  } else if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  // Magnitude up to 2^63, so the most negative number is representable.
  const unsigned long long limit =
      static_cast<unsigned long long>(std::numeric_limits<long long>::max()) + (negative ? 1 : 0);
  unsigned long long magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    if (magnitude > (limit - digit) / base) return false;
    magnitude = magnitude * base + digit;
  }
  if (negative) {
    value = magnitude == 0 ? 0 : -static_cast<long long>(magnitude - 1) - 1;
  } else {
    value = static_cast<long long>(magnitude);
  }
  return true;
}

std::string UserSettingsPath(const std::string& fileName) {
  const std::string folder = D_Win::ReadShellFolder("AppData");
#ifndef _WIN32
  // No home folder: "/quillan.ini" would be some other file of the system's.
  if (folder.empty()) return std::string();
#endif
  return D_Util::IncludeTrailingSeparator(folder) + fileName;
}

std::string SystemSettingsPath(const std::string& besideExecutable) {
  const std::size_t slash = besideExecutable.rfind('/');
  if (slash == std::string::npos) return std::string();
  const std::string folder = besideExecutable.substr(0, slash);
  const std::size_t up = folder.rfind('/');
  if (up == std::string::npos || folder.substr(up + 1) != "bin") return std::string();
  const std::string prefix = folder.substr(0, up);
  const std::string etc = prefix.empty() || prefix == "/usr" ? "/etc" : prefix + "/etc";
  return etc + besideExecutable.substr(slash);
}

std::string SettingsFilePath(bool perUser) {
  std::string p = D_Util::ExeFileWithExtension("ini");
#ifndef _WIN32
  // A file beside the program keeps portable use working; an installed
  // /usr/bin/quillan must not expect its configuration in /usr/bin.
  if (!perUser && !P().FileExists(p)) {
    const std::string installed = SystemSettingsPath(p);
    if (!installed.empty() && P().FileExists(installed)) return installed;
  }
#endif
  if (perUser) {
    std::size_t sep = p.find_last_of("\\/:");
    p = UserSettingsPath(sep == std::string::npos ? p : p.substr(sep + 1));
  }
  return p;
}

std::unique_ptr<TIniFile> OpenSettingsFile(bool perUser) {
  return std::make_unique<TIniFile>(SettingsFilePath(perUser));
}

std::string ReadSettingText(const TIniFile& file, const std::string& section,
                            const std::string& key, const std::string& def) {
  return D_Util::ReplaceText(file.ReadValue(section, NormalizeKeyName(key), def), "#CRLF#",
                             "\r\n", true, true);
}

std::string ReadSettingString(const TIniFile& file, const std::string& section,
                              const std::string& key, const std::string& def) {
  return file.ReadValue(section, NormalizeKeyName(key), def);
}

long long ReadSettingInteger(const TIniFile& file, const std::string& section,
                             const std::string& key, long long def) {
  return file.ReadInteger(section, NormalizeKeyName(key), def);
}

bool ReadSettingBool(const TIniFile& file, const std::string& section, const std::string& key,
                     bool def) {
  return file.ReadBool(section, NormalizeKeyName(key), def);
}

void WriteSettingString(const TIniFile& file, const std::string& sectionIn,
                        const std::string& keyIn, const std::string& value) {
  const std::string key = NormalizeKeyName(keyIn);
  const std::string section = SectionOrDefault(sectionIn);
  if (key.empty()) return;
  const std::string current = file.ReadValue(section, key, "");
  // A stored "x" reads back as x: the file already holds the value.
  if (current == value || D_Util::DoubleQuoted(current) == value) return;
  file.WriteValue(section, key, value);
}

void WriteSettingInteger(const TIniFile& file, const std::string& sectionIn,
                         const std::string& keyIn, long long value) {
  const std::string key = NormalizeKeyName(keyIn);
  const std::string section = SectionOrDefault(sectionIn);
  if (key.empty()) return;
  if (file.ReadInteger(section, key, -999666) != value) file.WriteInteger(section, key, value);
}

void WriteSettingBool(const TIniFile& file, const std::string& sectionIn,
                      const std::string& keyIn, bool value) {
  const std::string key = NormalizeKeyName(keyIn);
  const std::string section = SectionOrDefault(sectionIn);
  if (key.empty()) return;
  if (file.KeyExists(section, key)) {
    // A stored word such as "yes" is no number: it differs from any state,
    // so it is overwritten rather than read as the default.
    long long stored = 0;
    if (ParseSettingInteger(file.ReadValue(section, key, ""), stored) && (stored != 0) == value) {
      return;
    }
  }
  file.WriteBool(section, key, value);
}

void ReadSectionList(const TIniFile& file, const std::string& section, TStringList& list,
                     bool keysAsTags) {
  list.Clear();
  for (const std::string& line : file.ReadSectionValues(section)) {
    std::size_t p = line.find('=');
    long long tag = 0;
    if (keysAsTags && p != std::string::npos && p >= 1) {
      long long value = 0;
      if (ParseSettingInteger(line.substr(0, p), value)) tag = value;
    }
    list.Add(p == std::string::npos ? std::string() : line.substr(p + 1), tag);
  }
}

void WriteSectionList(const TIniFile& file, const std::string& section, const TStringList& list,
                      bool tagsAsKeys) {
  TIniBatch batch(file);
  file.EraseSection(section);
  for (int i = 0; i < list.Count(); ++i) {
    const long long key = tagsAsKeys ? list.Tag(i) : i;
    WriteSettingString(file, section, std::to_string(key), list[i]);
  }
  batch.Commit();
}

}  // namespace D_Ini
