// quillanctl's command line: commands, options and exit statuses.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ctl {

enum ExitStatus : int {
  kExitOk = 0,               // every requested state holds (list: an installation)
  kExitError = 1,            // an unexpected failure
  kExitUsage = 2,            // the command line is wrong
  kExitNotInstallation = 3,  // BASE is no folder, or has no bin/ConsoleOne (or .exe)
  kExitLocked = 4,           // a change was refused: required snap-in, or ConsoleOne running
  kExitMoveFailed = 5,       // a move failed, or a folder is still in the other place
  kExitUnknownSnapin = 6,    // a name matches no snap-in, or several only ignoring case
  kExitBusy = 7,             // another run held the lock on BASE for the whole wait
  kExitSignalBase = 128,     // + the signal's number: stopped by SIGINT, SIGTERM or SIGHUP
};

enum class Command { Help, Version, List, Enable, Disable, Set };

enum class Wanted { Active, Inactive };

struct Request {
  std::string name;  // the folder name's bytes (decoded when given with --hex)
  Wanted wanted = Wanted::Active;
};

struct Options {
  Command command = Command::Help;
  std::optional<std::string> base;  // nullopt: the path the window would start with
  std::vector<Request> requests;    // in command-line order
  bool json = false;
  bool check = false;
  bool hex = false;  // names were given as the hex digits of their bytes
  double wait = 10;  // seconds to wait for another run's lock on BASE; 0: not at all
};

struct ParsedCommandLine {
  Options options;
  std::string error;  // empty when the command line is usable
};

// `args` excludes the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// True when a command-line word can only be a folder path, never a snap-in
// name (a snap-in is a single folder name).
bool LooksLikePath(const std::string& word);

std::string UsageText();
std::string HelpText();
std::string VersionText();

const char* WantedText(Wanted wanted);

}  // namespace ctl
