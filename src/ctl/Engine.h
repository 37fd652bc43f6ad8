// quillanctl's work, done by the installation model the window uses too: the
// same check, inventory, locks and switch, and the prediction of a switch as
// that same switch run on a platform that changes nothing.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Installation.h"
#include "ctl/CommandLine.h"
#include "ctl/CtlPlatform.h"

namespace ctl {

using Outcome = core::Outcome;
using Place = core::Place;
using Places = core::Places;  // the snap-in, library and resource folder, in that order
using core::PlaceText;
using core::StateText;

const char* OutcomeText(Outcome outcome);

// True when every folder there is lies in the wanted place only.
bool Holds(const Places& places, Wanted wanted);

struct MoveRecord {
  std::string source;
  std::string target;
  bool succeeded = false;
  std::string error;  // the system's reason when it failed
};

// An inactive folder the check could not create (with --check: would not be
// able to), and the system's reason.
struct FolderFailure {
  std::string path;
  std::string error;
};

struct SnapinState {
  std::string name;   // the folder name
  std::string_view state;  // StateText of `places`
  Places places{};
  bool locked = false;
  std::string_view lock;  // "required", "consoleone-running" or empty
};

// The installation check as the window shows it after verifying a path.
struct Inventory {
  std::string path;  // the text that was verified
  std::string base;  // ConsoleOnePath afterwards
  Outcome outcome = Outcome::NoFolder;
  std::string label;  // the window's status label
  std::string consoleOneExe;
  bool consoleOneFound = false;
  std::string rconjExe;
  bool rconjFound = false;
  bool consoleOneRunning = false;
  std::vector<SnapinState> snapins;  // list only: one entry per name, in list order
  std::vector<std::string> createdFolders;   // the inactive folders the check made
  std::vector<FolderFailure> failedFolders;  // and those it could not make
};

struct SnapinResult {
  std::string requested;  // the name as given
  std::string name;       // the name as listed; empty when unknown
  Wanted wanted = Wanted::Active;
  std::string before;  // state before; empty when unknown
  std::string after;   // state afterwards (with --check: before)
  Places places{};     // where the folders are afterwards (with --check: now)
  bool changed = false;  // something moved (with --check: would move)
  bool holds = false;    // every folder is in the wanted place afterwards
  // "unchanged", "changed", "would-change", "locked", "failed", "unknown", "ambiguous"
  std::string status;
  std::string reason;
  std::vector<MoveRecord> moves;  // with --check: the moves the run would make
  int exitStatus = kExitOk;
};

struct ChangeReport {
  Inventory before;
  std::vector<SnapinResult> results;
  std::vector<std::string> createdFolders;
  std::vector<std::string> wouldCreateFolders;  // --check: what the run would create
  std::vector<FolderFailure> failedFolders;     // could not be (--check: cannot be) created
  std::size_t requested = 0;                    // names asked for; `results` may be fewer
  int interrupted = 0;                          // the signal that stopped the run, or 0
  bool check = false;
  bool changed = false;
  int exitStatus = kExitOk;
  std::string error;  // a usage error found against the list (conflicting requests)
};

// The signal that asked the run to stop, or 0. Set from a signal handler
// (async-signal-safe); the run ends after the snap-in in progress.
int StopSignal();
void SetStopSignal(int signal);
// "SIGTERM", "SIGINT", "SIGHUP", or "signal N".
std::string SignalName(int signal);

// The run could not have the lock on BASE; `exitStatus` says why.
class LockError : public std::runtime_error {
 public:
  LockError(const std::string& message, int exitStatus)
      : std::runtime_error(message), exitStatus_(exitStatus) {}
  int ExitStatus() const { return exitStatus_; }

 private:
  int exitStatus_;
};

class Session {
 public:
  explicit Session(CtlPlatform& platform);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // What the window would warn of at its start (a ConsoleOne window open).
  std::vector<std::string> Warnings() const;
  // The base folder the window starts with.
  std::string DefaultBase() const;
  // How long List and Apply wait for another run's lock on BASE, and what
  // they call (once, with BASE) when they begin to wait.
  void SetLockWait(std::chrono::milliseconds wait, std::function<void(const std::string&)> onWait);
  // Said when a reading run cannot tell whether a switching run is under
  // way (a lock file it may not read).
  const std::vector<std::string>& Notes() const;
  // `list`: checks `base` (nullopt: the default) as the window's path box
  // does, and reads where every snap-in's folders are. Throws LockError
  // while a switching run holds the lock for the whole wait.
  Inventory List(const std::optional<std::string>& base);
  // enable/disable/set. Throws LockError when the lock cannot be had.
  ChangeReport Apply(const Options& options);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ctl
