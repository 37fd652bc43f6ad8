#include "lib/D_Win.h"

#include <vector>

#include "lib/D_Util.h"
#include "base/Errors.h"

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

  // The program is the longest leading part of the line that names an
  // existing file: the line up to a run of blanks, or the whole line. Every
  // such part is a candidate, whatever runs of blanks lie between, so a file
  // planted at "/srv/inst" cannot stand in for "/srv/inst  two/C1/...". A
  // part never ends in a blank: Windows drops a trailing blank, and the
  // blank would move from the parameters into the file. An address is never
  // a file, or a folder "https:" in the current folder would run.
  bool found = false;
  if (!platform::HasUrlScheme(commandLine)) {
    for (std::size_t end = commandLine.size(); end > 0 && !found; --end) {
      const bool endsWord =
          commandLine[end - 1] != ' ' && (end == commandLine.size() || commandLine[end] == ' ');
      if (endsWord && p.FileExists(commandLine.substr(0, end))) {
        found = true;
        file = commandLine.substr(0, end);
        parameters = end < commandLine.size() ? commandLine.substr(end + 1) : std::string();
      }
    }
  }

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
