// quillanctl's work, done by the window's own logic: a TForm1 on the memory
// toolkit, checked and clicked as a user would, never shown or closed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ctl/CommandLine.h"
#include "ctl/CtlPlatform.h"

namespace ctl {

enum class Outcome { InvalidPath, NotInstalled, Installation };

const char* OutcomeText(Outcome outcome);

struct SnapinState {
  std::string name;   // the list item's text (the folder name)
  std::string state;  // "active", "inactive" or "both"
  bool locked = false;
  std::string lock;   // "required", "consoleone-running" or empty
};

// The installation check as the window shows it after verifying a path.
struct Inventory {
  std::string path;  // the text that was verified
  std::string base;  // ConsoleOnePath afterwards
  Outcome outcome = Outcome::InvalidPath;
  std::string label;  // the window's status label
  std::string consoleOneExe;
  bool consoleOneFound = false;
  std::string rconjExe;
  bool rconjFound = false;
  bool consoleOneRunning = false;
  std::vector<SnapinState> snapins;  // one entry per name, in list order

  const SnapinState* Find(const std::string& listedName) const;
};

struct SnapinResult {
  std::string requested;  // the name as given
  std::string name;       // the name as listed; empty when unknown
  Wanted wanted = Wanted::Active;
  std::string before;  // state before; empty when unknown
  std::string after;   // state afterwards (with --check: before)
  bool changed = false;  // something moved (with --check: would move)
  bool holds = false;    // the wanted state holds afterwards
  // "unchanged", "changed", "would-change", "locked", "failed", "unknown"
  std::string status;
  std::string reason;
  std::vector<MoveRecord> moves;
  int exitStatus = kExitOk;
};

struct ChangeReport {
  Inventory before;
  std::optional<Inventory> after;  // the check run again after moving
  std::vector<SnapinResult> results;
  std::vector<std::string> createdFolders;
  bool check = false;
  bool changed = false;
  int exitStatus = kExitOk;
  std::string error;  // a usage error found against the list (conflicting requests)
};

class Session {
 public:
  explicit Session(CtlPlatform& platform);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The texts of the message boxes the window raised (its ConsoleOne warning).
  std::vector<std::string> Warnings() const;
  // ConsoleOnePath as the window computed it at creation.
  std::string DefaultBase() const;
  // Verifies `base` (nullopt: the default) exactly as the window's path box does.
  Inventory Check(const std::optional<std::string>& base);
  // enable/disable/set.
  ChangeReport Apply(const Options& options);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ctl
