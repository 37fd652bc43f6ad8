#include "lib/D_Win.h"

#include <tuple>
#include <vector>

#include "lib/D_Util.h"
#include "lib/Errors.h"

namespace D_Win {

namespace {

const std::vector<std::string>& InternalCommands() {
  static const std::vector<std::string> words = {"CD",  "COPY", "DEL", "DIR",      "ECHO",
                                                 "MD",  "PATH", "PROMPT", "REM",   "REN",
                                                 "RD",  "SET",  "TRUENAME", "TYPE", "VER"};
  return words;
}

// Everything up to and including the last separator or drive colon.
std::string FolderOf(const std::string& path) {
  std::size_t p = path.find_last_of("\\/:");
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

}  // namespace

std::string ReadRegistryString(RegistryRoot root, const std::string& keyPath,
                               const std::string& valueName) {
  platform::RegistryValue v = platform::Platform::Get().ReadRegistryValue(root, keyPath, valueName);
  switch (v.kind) {
    case platform::RegistryValue::Kind::String: return v.text.substr(0, v.text.find('\0'));
    case platform::RegistryValue::Kind::OtherType: throw ERegistryError(valueName);
    case platform::RegistryValue::Kind::Missing: break;
  }
  return std::string();
}

std::string ReadShellFolder(const std::string& valueName) {
  return ReadRegistryString(RegistryRoot::CurrentUser,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            valueName);
}

std::string GetProgramFilesDir() {
  return ReadRegistryString(RegistryRoot::LocalMachine,
                            "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
}

WindowHandle FindWindowByTitle(const std::string& text) {
  if (text.empty()) return 0;  // an empty text occurs in no title
  for (const platform::TopLevelWindow& w : platform::Platform::Get().TopLevelWindows()) {
    // Only what a 255-character buffer holds counts.
    if (w.title.substr(0, 254).find(text) != std::string::npos) return w.handle;
  }
  return 0;
}

std::string ReadEnvironmentVariable(const std::string& name) {
  return platform::Platform::Get().GetEnvironmentVariable(name).value_or(std::string());
}

bool IsInternalShellCommand(const std::string& word) {
  return D_Util::IsTextInList(word, InternalCommands(), false);
}

int LaunchCommandLine(const std::string& commandLine, int showMode) {
  platform::Platform& p = platform::Platform::Get();
  std::string file, parameters, folder;

  // Grow the program path a word at a time. The longest candidate that names
  // a file wins, so a planted "C:\Program" cannot stand in for
  // "C:\Program Files\...": the growing only ends at an empty word.
  std::string rest = commandLine;
  std::string candidate;
  bool found = false;
  std::string word;
  do {
    std::tie(word, rest) = D_Util::SplitAtFirst(rest, " ");
    candidate = D_Util::JoinWithSeparator(candidate, word, " ");
    // The pass with the empty word tests the same candidate again; it must
    // not take the parameters from there (they would lose their leading blank).
    if (p.FileExists(candidate) && (!word.empty() || !found)) {
      found = true;
      file = candidate;
      parameters = rest;
    }
  } while (!word.empty());

  if (found) {
    folder = FolderOf(file);
  } else {
    auto [first, after] = D_Util::SplitAtFirst(commandLine, " ");
    if (IsInternalShellCommand(first)) {
      file = ReadEnvironmentVariable("comspec");
      parameters = "/C " + commandLine;
    } else {
      file = first;
      parameters = after;
    }
  }
  return p.ShellExecute(file, parameters, folder, showMode);
}

int LaunchCommand(const std::string& commandLine) {
  return LaunchCommandLine(commandLine, platform::SW_SHOWNORMAL_);
}

}  // namespace D_Win
