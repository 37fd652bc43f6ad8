#include "ctl/Engine.h"

#include <algorithm>
#include <csignal>
#include <map>
#include <optional>

#include "core/DryRun.h"
#include "core/InstallationLock.h"
#include "lib/D_Ini.h"

namespace ctl {

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::NoFolder: return "invalid-path";
    case Outcome::NotInstalled: return "not-installed";
    case Outcome::Installation: return "installation";
  }
  return "";
}

bool Holds(const Places& places, Wanted wanted) { return core::Holds(places, wanted == Wanted::Active); }

namespace {
volatile std::sig_atomic_t g_stopSignal = 0;
}  // namespace

int StopSignal() { return g_stopSignal; }

void SetStopSignal(int signal) { g_stopSignal = signal; }

std::string SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
#ifdef SIGHUP
    case SIGHUP: return "SIGHUP";
#endif
#ifdef SIGQUIT
    case SIGQUIT: return "SIGQUIT";
#endif
#ifdef SIGUSR1
    case SIGUSR1: return "SIGUSR1";
    case SIGUSR2: return "SIGUSR2";
#endif
    default: return "signal " + std::to_string(signal);
  }
}

namespace {

// Seconds as given: "10", "0.5".
std::string SecondsText(std::chrono::milliseconds wait) {
  std::string text = std::to_string(wait.count() / 1000);
  if (const auto ms = wait.count() % 1000; ms != 0) {
    text += '.' + std::to_string(1000 + ms).substr(1);
    while (text.back() == '0') text.pop_back();
  }
  return text;
}

bool AnyMoved(const std::vector<MoveRecord>& moves) {
  return std::any_of(moves.begin(), moves.end(), [](const MoveRecord& m) { return m.succeeded; });
}

std::string FailedMoveText(const MoveRecord& m, bool check) {
  return (check ? "would not be able to move " : "could not move ") + m.source + " to " + m.target +
         (m.error.empty() ? "" : ": " + m.error);
}

// Why a switch moved nothing, as quillanctl says it.
std::string RefusalText(const core::Refusal& r) {
  if (r.creationFailed) return "cannot create " + r.folder + (r.error.empty() ? "" : ": " + r.error);
  return "no folder " + r.folder;
}

void SplitFolders(const std::vector<core::FolderResult>& folders, std::vector<std::string>& created,
                  std::vector<FolderFailure>& failed) {
  for (const core::FolderResult& f : folders) {
    if (f.kind == core::FolderResult::Kind::Created) created.push_back(f.path);
    if (f.kind == core::FolderResult::Kind::Failed) failed.push_back({f.path, f.error});
  }
}

Inventory FromModel(const core::Inventory& model) {
  Inventory inv;
  inv.path = model.check.path;
  inv.base = model.check.base;
  inv.outcome = model.check.outcome;
  inv.label = model.check.Label();
  inv.consoleOneExe = model.check.consoleOneExe;
  inv.consoleOneFound = model.check.consoleOneFound;
  inv.rconjExe = model.check.rconjExe;
  inv.rconjFound = model.check.rconjFound;
  inv.consoleOneRunning = model.consoleOneRunning;
  SplitFolders(model.folders, inv.createdFolders, inv.failedFolders);
  inv.snapins.reserve(model.snapins.size());
  for (const core::Snapin& s : model.snapins) {
    SnapinState state;
    state.name = s.name;
    state.places = s.places;
    state.state = StateText(s.places);
    state.locked = s.lock != core::Lock::None;
    state.lock = core::LockText(s.lock);
    inv.snapins.push_back(std::move(state));
  }
  return inv;
}

}  // namespace

struct Session::Impl {
  std::unique_ptr<D_Ini::TIniFile> machine;
  std::string defaultBase;
  bool consoleOneRunning = false;
  std::chrono::milliseconds lockWait{10000};
  std::function<void(const std::string&)> onLockWait;
  std::vector<std::string> notes;

  // The path the window would check for `base`: an empty box takes the default.
  std::string PathFor(const std::optional<std::string>& base) const {
    return base && !base->empty() ? *base : defaultBase;
  }

  // The installation lock for the scope of the run, or why the run cannot
  // go on: a reading run that cannot tell goes on and says so.
  std::unique_ptr<core::InstallationLock> Lock(const std::string& path, platform::LockMode mode) {
    auto lock = std::make_unique<core::InstallationLock>(path, mode, lockWait, [this, &path](int round) {
      if (round == 0 && onLockWait) onLockWait(path);
      return StopSignal() == 0;
    });
    using Kind = platform::FolderLock::Kind;
    switch (lock->Kind()) {
      case Kind::Held:
      case Kind::Free:
      case Kind::NoFolder:
        return lock;
      case Kind::Busy:
        if (const int signal = StopSignal())
          throw LockError("stopped by " + SignalName(signal) + " while waiting for another run on " + path,
                          kExitSignalBase + signal);
        throw LockError("another run holds the lock on " + path + " (" + lock->Reason() + "); gave up after " +
                            SecondsText(lockWait) + " s (--wait)",
                        kExitBusy);
      case Kind::Failed:
        break;
    }
    if (mode == platform::LockMode::Read) {
      notes.push_back("cannot tell whether another run is switching snap-ins in " + path + " (" + lock->Reason() +
                      "); what is read may show a switch half-way");
      return lock;
    }
    throw LockError("cannot lock " + path + " to switch snap-ins (" + lock->Reason() + ")", kExitError);
  }

  // The inventory as reported: a path that is no folder leaves the base as
  // it was, the one the window starts with.
  Inventory Report(const core::Inventory& model) const {
    Inventory inv = FromModel(model);
    if (inv.base.empty()) inv.base = defaultBase;
    return inv;
  }

  core::Inventory Read(const std::string& path) {
    return core::ReadInventory(path, core::RequiredSnapins(machine.get()), consoleOneRunning);
  }
};

Session::Session(CtlPlatform& /*platform*/) : impl_(std::make_unique<Impl>()) {
  Impl& s = *impl_;
  s.consoleOneRunning = core::ConsoleOneWindowOpen();
  try {
    s.machine = D_Ini::OpenSettingsFile(false);
  } catch (...) {
    // Without the file the defaults serve, as in the window.
  }
  s.defaultBase = core::ConfiguredBase(s.machine.get());
}

Session::~Session() = default;

std::vector<std::string> Session::Warnings() const {
  if (!impl_->consoleOneRunning) return {};
  return {core::kConsoleOneWarning};
}

std::string Session::DefaultBase() const { return impl_->defaultBase; }

void Session::SetLockWait(std::chrono::milliseconds wait, std::function<void(const std::string&)> onWait) {
  impl_->lockWait = wait;
  impl_->onLockWait = std::move(onWait);
}

const std::vector<std::string>& Session::Notes() const { return impl_->notes; }

Inventory Session::List(const std::optional<std::string>& base) {
  Impl& s = *impl_;
  const std::string path = s.PathFor(base);
  // Held from the check to the last look at the disk, so that every answer
  // describes a state that existed.
  const auto lock = s.Lock(path, platform::LockMode::Read);
  return s.Report(s.Read(path));
}

ChangeReport Session::Apply(const Options& options) {
  Impl& s = *impl_;
  ChangeReport report;
  report.check = options.check;
  const std::string path = s.PathFor(options.base);
  report.requested = options.requests.size();
  const auto lock = s.Lock(path, options.check ? platform::LockMode::Read : platform::LockMode::Switch);
  // --check runs the very same steps on a platform that changes nothing.
  core::DryRunPlatform dryRun(&platform::Platform::Get());
  std::optional<platform::ScopedPlatform> dry;
  if (options.check) dry.emplace(dryRun);

  const core::Inventory model = s.Read(path);
  report.before = s.Report(model);
  if (options.check) {
    report.wouldCreateFolders = std::move(report.before.createdFolders);
    report.before.createdFolders.clear();
  } else {
    report.createdFolders = report.before.createdFolders;
  }
  report.failedFolders = report.before.failedFolders;
  if (model.check.outcome != Outcome::Installation) {
    report.exitStatus = kExitNotInstallation;
    return report;
  }
  const std::string& base = model.check.base;

  // Resolve every name first, so that conflicting requests stop the run
  // before anything moves.
  std::vector<std::optional<std::size_t>> matches;
  std::vector<std::vector<std::string>> ambiguous(options.requests.size());
  std::map<std::string, Wanted> wantedByName;
  for (std::size_t k = 0; k < options.requests.size(); ++k) {
    const Request& r = options.requests[k];
    matches.push_back(core::FindSnapin(model, r.name, &ambiguous[k]));
    if (!matches.back()) continue;
    const std::string& listed = model.snapins[*matches.back()].name;
    const auto [it, inserted] = wantedByName.emplace(listed, r.wanted);
    if (!inserted && it->second != r.wanted) {
      report.error = "\"" + listed + "\" is asked to be both active and inactive";
      report.exitStatus = kExitUsage;
      return report;
    }
  }

  // A repeated name is switched once; the later requests just read the outcome.
  std::map<std::string, std::vector<MoveRecord>> switched;
  for (std::size_t k = 0; k < options.requests.size(); ++k) {
    // A signal ends the run between two snap-ins, never inside one.
    if ((report.interrupted = StopSignal()) != 0) break;
    const Request& r = options.requests[k];
    SnapinResult res;
    res.requested = r.name;
    res.wanted = r.wanted;
    if (!matches[k]) {
      res.exitStatus = kExitUnknownSnapin;
      if (!ambiguous[k].empty()) {
        res.status = "ambiguous";
        res.reason = "matches several snap-ins only ignoring case:";
        for (const auto& n : ambiguous[k]) res.reason += " \"" + n + "\"";
        res.reason += "; give the exact name";
      } else {
        res.status = "unknown";
        res.reason = r.name.empty() ? "the empty name names no snap-in" : "no such snap-in";
      }
      report.results.push_back(std::move(res));
      continue;
    }
    const core::Snapin& snapin = model.snapins[*matches[k]];
    res.name = snapin.name;
    const bool wantActive = r.wanted == Wanted::Active;
    const Places before = core::PlacesOf(base, res.name);
    res.before = StateText(before);
    res.after = res.before;
    res.places = before;
    const bool holdsBefore = core::Holds(before, wantActive);

    if (snapin.lock != core::Lock::None) {
      res.holds = holdsBefore;
      const std::string why = snapin.lock == core::Lock::ConsoleOneRunning ? "ConsoleOne is running" : "required snap-in";
      if (holdsBefore) {
        res.status = "unchanged";
        res.reason = "already " + res.before + " (locked: " + why + ")";
      } else {
        res.status = "locked";
        res.reason = why + "; stays " + res.before;
        res.exitStatus = kExitLocked;
      }
      report.results.push_back(std::move(res));
      continue;
    }

    std::optional<core::Refusal> refused;
    if (switched.count(res.name) == 0) {
      const core::SwitchResult done = core::Switch(base, res.name, wantActive, model.folders);
      refused = done.refused;
      auto& moves = switched[res.name];
      for (const core::Move& m : done.moves) moves.push_back({m.source, m.target, m.ok, m.error});
      res.moves = moves;
    }
    // Read the disk again (with --check: as the switch left it there): a
    // move that failed shows up here.
    res.places = core::PlacesOf(base, res.name);
    res.after = StateText(res.places);
    res.holds = core::Holds(res.places, wantActive);
    res.changed = AnyMoved(res.moves);
    const auto failed =
        std::find_if(res.moves.begin(), res.moves.end(), [](const MoveRecord& m) { return !m.succeeded; });
    if (refused) {
      res.holds = holdsBefore;
      res.status = "failed";
      res.reason = RefusalText(*refused) + "; nothing of it " +
                   (options.check ? "would be moved" : "was moved");
      res.exitStatus = kExitMoveFailed;
    } else if (res.holds && failed == res.moves.end()) {
      const bool moved = !res.moves.empty();
      res.status = !moved ? "unchanged" : options.check ? "would-change" : "changed";
      res.reason = moved ? res.before + " -> " + res.after : "already " + res.after;
    } else {
      res.status = "failed";
      res.exitStatus = kExitMoveFailed;
      if (res.before == "both" || res.after == "both")
        res.reason = options.check ? "present in both places; a switch would move nothing while the targets exist"
                                   : "present in both places; nothing can move while the targets exist";
      else if (failed != res.moves.end())
        res.reason = FailedMoveText(*failed, options.check);
      else
        res.reason = "still " + res.after;
    }
    if (options.check) {
      // Nothing moved: the answer tells where the folders are now.
      res.after = res.before;
      res.places = before;
      res.holds = holdsBefore;
    }
    report.results.push_back(std::move(res));
  }

  for (const auto& res : report.results) {
    report.changed = report.changed || res.changed;
    report.exitStatus = std::max(report.exitStatus, res.exitStatus);
  }
  report.changed = report.changed || !report.createdFolders.empty() || !report.wouldCreateFolders.empty();
  if (report.interrupted != 0) report.exitStatus = kExitSignalBase + report.interrupted;
  return report;
}

}  // namespace ctl
