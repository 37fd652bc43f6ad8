// Settings files: the settings-file object and the typed operations.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lib/TStringList.h"
#include "platform/Platform.h"

namespace D_Ini {

// Holds nothing but the file's full path; every operation is one platform call.
class TIniFile {
 public:
  explicit TIniFile(std::string path) : path_(std::move(path)) {}
  const std::string& FileName() const { return path_; }

  std::string ReadValue(const std::string& section, const std::string& key,
                        const std::string& def) const;
  std::vector<std::string> ListKeys(const std::string& section) const;
  // One "key=value" line per key, in key order.
  std::vector<std::string> ReadSectionValues(const std::string& section) const;
  bool KeyExists(const std::string& section, const std::string& key) const;
  // Throw ESettingsWriteError when the file system refuses.
  void WriteValue(const std::string& section, const std::string& key,
                  const std::string& value) const;
  void EraseSection(const std::string& section) const;

  long long ReadInteger(const std::string& section, const std::string& key, long long def) const;
  void WriteInteger(const std::string& section, const std::string& key, long long value) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  void WriteBool(const std::string& section, const std::string& key, bool value) const;

 private:
  std::string path_;
};

// Holds the writes to a settings file from construction to Commit, which
// writes them as one replacement: a list section is never left half
// rewritten, and thousands of keys cost one file write. Leaving the scope
// without Commit (a failure) drops them, the file staying as it was; so
// does a Commit after any write inside the batch was refused, even one
// the caller went past. Batches nest; the outermost one writes.
class TIniBatch {
 public:
  explicit TIniBatch(const TIniFile& file);
  ~TIniBatch();
  TIniBatch(const TIniBatch&) = delete;
  TIniBatch& operator=(const TIniBatch&) = delete;
  // Throws ESettingsWriteError when the file system refuses the write.
  void Commit();

 private:
  platform::Result End(bool commit);
  std::string path_;
  bool open_ = true;
};

std::string NormalizeKeyName(const std::string& key);
std::string SectionOrDefault(const std::string& section);
// Parses decimal (optional sign) or hexadecimal ("$", "0x", "0X"); false otherwise.
bool ParseSettingInteger(const std::string& text, long long& value);

// The machine-wide file is the one beside the executable; when there is
// none (outside Windows), the installed one in the system configuration
// folder, if present.
std::string SettingsFilePath(bool perUser);
// Where an installed program keeps its machine-wide file: for
// "<prefix>/bin/name.ini" beside the executable, "<prefix>/etc/name.ini",
// or "/etc/name.ini" when the prefix is "/usr" or "/". Empty when the
// executable is not in a folder named "bin".
std::string SystemSettingsPath(const std::string& besideExecutable);
// The per-user file in the application-data folder; outside Windows empty
// when there is none (no home folder): there is no per-user file then.
std::string UserSettingsPath(const std::string& fileName);
std::unique_ptr<TIniFile> OpenSettingsFile(bool perUser);

std::string ReadSettingText(const TIniFile& file, const std::string& section,
                            const std::string& key, const std::string& def);
std::string ReadSettingString(const TIniFile& file, const std::string& section,
                              const std::string& key, const std::string& def);
long long ReadSettingInteger(const TIniFile& file, const std::string& section,
                             const std::string& key, long long def);
bool ReadSettingBool(const TIniFile& file, const std::string& section, const std::string& key,
                     bool def);
void WriteSettingString(const TIniFile& file, const std::string& section,
                        const std::string& key, const std::string& value);
void WriteSettingInteger(const TIniFile& file, const std::string& section,
                         const std::string& key, long long value);
void WriteSettingBool(const TIniFile& file, const std::string& section, const std::string& key,
                      bool value);
void ReadSectionList(const TIniFile& file, const std::string& section, TStringList& list,
                     bool keysAsTags);
void WriteSectionList(const TIniFile& file, const std::string& section,
                      const TStringList& list, bool tagsAsKeys);

}  // namespace D_Ini
