#include "ctl/Engine.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <future>
#include <map>
#include <system_error>

#include "app/Unit1.h"
#include "ctl/NameIndex.h"
#include "lib/D_Util.h"
#include "toolkits/memory/MemoryApplication.h"

namespace ctl {

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::InvalidPath: return "invalid-path";
    case Outcome::NotInstalled: return "not-installed";
    case Outcome::Installation: return "installation";
  }
  return "";
}

const char* PlaceText(Place place) {
  switch (place) {
    case Place::None: return "none";
    case Place::Active: return "active";
    case Place::Inactive: return "inactive";
    case Place::Both: return "both";
  }
  return "";
}

const char* StateText(const Places& places) {
  if (places[0] == Place::Both) return "both";
  Place common = Place::None;
  for (const Place p : places) {
    if (p == Place::None) continue;
    if (p == Place::Both || (common != Place::None && p != common)) return "split";
    common = p;
  }
  return common == Place::None ? "missing" : PlaceText(common);
}

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
    default: return "signal " + std::to_string(signal);
  }
}

bool Holds(const Places& places, Wanted wanted) {
  const Place want = wanted == Wanted::Active ? Place::Active : Place::Inactive;
  return places[0] == want &&
         std::all_of(places.begin(), places.end(), [want](Place p) { return p == Place::None || p == want; });
}

namespace {

Place Combine(bool active, bool inactive) {
  if (active && inactive) return Place::Both;
  if (active) return Place::Active;
  return inactive ? Place::Inactive : Place::None;
}

// Seconds as given: "10", "0.5".
std::string SecondsText(std::chrono::milliseconds wait) {
  std::string text = std::to_string(wait.count() / 1000);
  if (const auto ms = wait.count() % 1000; ms != 0) {
    text += '.' + std::to_string(1000 + ms).substr(1);
    while (text.back() == '0') text.pop_back();
  }
  return text;
}

// Holds the installation lock for the scope, or tells why there is none:
// a run that may change nothing goes on without it and says so; any other
// run without it is refused.
class InstallationLock {
 public:
  InstallationLock(platform::Platform& platform, const std::string& path, bool switching,
                   std::chrono::milliseconds wait, const std::function<void(const std::string&)>& onWait,
                   std::vector<std::string>& notes)
      : platform_(platform) {
    const platform::FolderLock lock = platform.LockFolder(path, wait, [&](int round) {
      if (round == 0 && onWait) onWait(path);
      return StopSignal() == 0;
    });
    using Kind = platform::FolderLock::Kind;
    const std::string what = (lock.where.empty() ? path : lock.where) + (lock.error.empty() ? "" : ": " + lock.error);
    switch (lock.kind) {
      case Kind::Held:
        held_ = true;
        handle_ = lock.handle;
        return;
      case Kind::NoFolder:
        return;  // the check finds no folder: nothing happens there
      case Kind::ReadOnly:
        notes.push_back("not locked: " + path + " is on a read-only file system, where nothing can change");
        return;
      case Kind::NotAllowed:
        if (!switching) {
          notes.push_back("not locked: this user may not take the lock (" + what +
                          "); a run switching snap-ins meanwhile may show up half-way");
          return;
        }
        throw LockError("cannot lock " + path + " to switch snap-ins (" + what +
                            "): switching needs the right to create files there",
                        kExitError);
      case Kind::Busy:
        if (const int signal = StopSignal())
          throw LockError("stopped by " + SignalName(signal) + " while waiting for another run on " + path,
                          kExitSignalBase + signal);
        throw LockError("another run holds the lock on " + path + " (" + what + "); gave up after " +
                            SecondsText(wait) + " s (--wait)",
                        kExitBusy);
      case Kind::Failed:
        break;
    }
    throw LockError("cannot lock " + path + ": " + what, kExitError);
  }
  ~InstallationLock() {
    if (held_) platform_.UnlockFolder(handle_);
  }
  InstallationLock(const InstallationLock&) = delete;
  InstallationLock& operator=(const InstallationLock&) = delete;

 private:
  platform::Platform& platform_;
  bool held_ = false;
  std::uintptr_t handle_ = 0;
};

// `name` in the folder of `kind` in `state` (0 active, 1 inactive) under
// `base`, which ends in its separator.
std::string PlacePath(const std::string& base, const TForm1::TFolderNames& folders, std::size_t state,
                      std::size_t kind, const std::string& name) {
  return base + folders[state][kind] + D_Util::NativeSeparator() + name;
}

bool HasLetter(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; });
}

std::string FlipCase(std::string name) {
  for (char& c : name)
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') c = static_cast<char>(c ^ 0x20);
  return name;
}

// The library and resource folders' names, and per folder one listed name
// with a letter in it, by which a case-blind folder is told (`probes`, by
// kind and state).
struct SidePlaces {
  NameIndex index;
  std::array<std::array<std::string, 2>, 3> probes;
};

// One listing of each of the four library and resource folders under `base`.
SidePlaces ReadSidePlaces(platform::Platform& platform, const std::string& base,
                          const TForm1::TFolderNames& folders) {
  SidePlaces result;
  NameIndex& side = result.index;
  for (std::size_t kind = 1; kind < 3; ++kind) {
    for (std::size_t state = 0; state < 2; ++state) {
      const Place here = state == 0 ? Place::Active : Place::Inactive;
      const std::string mask = PlacePath(base, folders, state, kind, "*.*");
      platform.ListFolder(mask,
                          platform::faDirectory | platform::faHidden | platform::faSysFile |
                              platform::kListNamesOnly | platform::kListAnyOrder,
                          [&](const platform::FindEntry& e) {
                            if ((e.attributes & platform::faDirectory) == 0) return true;
                            std::string& probe = result.probes[kind][state];
                            if (probe.empty() && HasLetter(e.name)) probe = e.name;
                            Place& p = side.FindOrAdd(e.name).places[kind - 1];
                            p = p == Place::None || p == here ? here : Place::Both;
                            return true;
                          });
    }
  }
  return result;
}

// One request matched against the list: the exact name wins; otherwise the
// whole name ignoring case, which must then name one snap-in.
struct Match {
  int index = -1;
  std::vector<std::string> caseBlind;  // distinct names, when several match
};

}  // namespace

struct Session::Impl {
  explicit Impl(CtlPlatform& p) : platform(p) {}

  CtlPlatform& platform;
  // The toolkit that needs no display; FormCreate's warning box lands here.
  memory_toolkit::MemoryApplication application;
  std::unique_ptr<TForm1> form;
  std::string defaultBase;
  std::chrono::milliseconds lockWait{10000};
  std::function<void(const std::string&)> onLockWait;
  std::vector<std::string> notes;

  // The lock on the folder the check will take for `path`.
  std::unique_ptr<InstallationLock> Lock(const std::string& path, bool switching) {
    return std::make_unique<InstallationLock>(platform, path.empty() ? form->ConsoleOnePath() : path,
                                              switching, lockWait, onLockWait, notes);
  }

  ui::TCheckListBox& List() { return *form->CheckListBoxSnapins; }
  std::string Base() const { return D_Util::IncludeTrailingSeparator(form->ConsoleOnePath()); }
  std::string PlaceOf(int state, std::size_t kind, const std::string& name) const {
    return PlacePath(Base(), form->FolderNames(), static_cast<std::size_t>(state), kind, name);
  }

  Inventory Verify(const std::string& path) {
    form->ComboBoxPath->SetText(path);
    form->VerifyPath(nullptr);
    Inventory inv;
    inv.path = path;
    inv.base = form->ConsoleOnePath();
    inv.label = form->Label1->Caption();
    inv.consoleOneExe = form->ConsoleOneExe();
    inv.rconjExe = form->RConJExe();
    inv.consoleOneRunning = form->ConsoleOneRunning();
    // The three outcomes of the check, told apart as the window shows them.
    if (inv.label == "Invalid path") {
      inv.outcome = Outcome::InvalidPath;
    } else if (!form->BitBtnC1->Enabled()) {
      inv.outcome = Outcome::NotInstalled;
    } else {
      inv.outcome = Outcome::Installation;
      inv.consoleOneFound = true;
    }
    inv.rconjFound = inv.outcome != Outcome::InvalidPath && form->BitBtnRC->Enabled();
    return inv;
  }

  const char* LockText(bool locked) const {
    if (!locked) return "";
    return form->ConsoleOneRunning() ? "consoleone-running" : "required";
  }

  // Every listed snap-in with its places: the snap-in folders from the
  // window's list, the others from `side`. Linear in the number of snap-ins.
  void ReadSnapins(Inventory& inv, NameIndex& side) {
    auto& list = List();
    inv.snapins.reserve(static_cast<std::size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i) {
      const std::string& name = list.ItemText(i);
      const Place here = list.Checked(i) ? Place::Active : Place::Inactive;
      // One look-up per name: `side` also tells which names are listed already.
      NameIndex::Entry& entry = side.FindOrAdd(name);
      if (entry.snapin != NameIndex::kNone) {
        // A name in both places is listed twice; it is one snap-in here.
        inv.snapins[entry.snapin].places[0] = Place::Both;
        continue;
      }
      entry.snapin = static_cast<std::uint32_t>(inv.snapins.size());
      SnapinState s;
      s.name = name;
      s.places = {here, entry.places[0], entry.places[1]};
      s.locked = !list.ItemEnabled(i);
      s.lock = LockText(s.locked);
      inv.snapins.push_back(std::move(s));
    }
    for (SnapinState& s : inv.snapins) s.state = StateText(s.places);
  }

  // Whether the folder of `kind` in `state` resolves names ignoring case, as
  // Windows always does and FAT, exFAT, CIFS or a casefold folder do: a
  // listed name (`probe`) is looked up with its case changed, unless that
  // name is listed there too. One existence test per folder.
  bool CaseBlind(std::size_t state, std::size_t kind, const std::string& probe, bool flippedListed) {
#ifdef _WIN32
    (void)state, (void)kind, (void)probe, (void)flippedListed;
    return true;
#else
    return !probe.empty() && !flippedListed && platform.DirectoryExists(PlaceOf(static_cast<int>(state), kind, FlipCase(probe)));
#endif
  }

  // The snap-in folder of `state`, told by its first listed name with a letter.
  bool SnapinFolderCaseBlind(std::size_t state) {
    auto& list = List();
    const bool active = state == 0;
    int probe = 0;
    while (probe < list.Count() && (list.Checked(probe) != active || !HasLetter(list.ItemText(probe)))) ++probe;
    if (probe == list.Count()) return false;
    const std::string flipped = FlipCase(list.ItemText(probe));
    const auto same = list.IndexesOf(flipped);
    const bool listed = std::any_of(same.begin(), same.end(), [&](int i) {
      return list.Checked(i) == active && list.ItemText(i) == flipped;
    });
    return CaseBlind(state, 0, list.ItemText(probe), listed);
  }

  // Both snap-in folders are case-blind: names that differ only in case
  // there name one snap-in, whose folders the file system finds by either.
  bool SnapinFoldersCaseBlind() { return SnapinFolderCaseBlind(0) && SnapinFolderCaseBlind(1); }

  bool AnyCaseBlind(SidePlaces& side) {
    for (std::size_t kind = 1; kind < 3; ++kind) {
      for (std::size_t state = 0; state < 2; ++state) {
        const std::string& probe = side.probes[kind][state];
        if (probe.empty()) continue;
        const Place p = side.index.FindOrAdd(FlipCase(probe)).places[kind - 1];
        const Place here = state == 0 ? Place::Active : Place::Inactive;
        if (CaseBlind(state, kind, probe, p == here || p == Place::Both)) return true;
      }
    }
    return SnapinFolderCaseBlind(0) || SnapinFolderCaseBlind(1);
  }

  // On a case-blind installation: every listed snap-in with its places as
  // the file system resolves them, which is what a switch will find (six
  // existence tests each). Names in one run of equal-ignoring-case items
  // are one snap-in when they are equal, or when the snap-in folders are
  // case-blind; the first of them names it.
  void ReadSnapinsAsResolved(Inventory& inv, bool merge) {
    auto& list = List();
    std::size_t run = 0;  // first entry of the current run
    for (int i = 0; i < list.Count(); ++i) {
      const std::string& name = list.ItemText(i);
      if (i == 0 || D_Util::UpperAscii(list.ItemText(i - 1)) != D_Util::UpperAscii(name)) run = inv.snapins.size();
      const auto same = std::find_if(inv.snapins.begin() + static_cast<std::ptrdiff_t>(run), inv.snapins.end(),
                                     [&](const SnapinState& s) { return merge || s.name == name; });
      if (same != inv.snapins.end()) continue;
      SnapinState s;
      s.name = name;
      s.places = PlacesOf(name);
      s.locked = !list.ItemEnabled(i);
      s.lock = LockText(s.locked);
      s.state = StateText(s.places);
      inv.snapins.push_back(std::move(s));
    }
  }

  // Where one snap-in's folders are: six existence tests.
  Places PlacesOf(const std::string& name) {
    Places places{};
    for (std::size_t kind = 0; kind < 3; ++kind)
      places[kind] = Combine(platform.DirectoryExists(PlaceOf(0, kind, name)),
                             platform.DirectoryExists(PlaceOf(1, kind, name)));
    return places;
  }

  Match Resolve(const std::string& name, bool caseBlind) {
    Match m;
    auto& list = List();
    if (caseBlind) {
      // Every match names the one snap-in the file system finds.
      const auto all = list.IndexesOf(name);
      if (!all.empty()) m.index = all.front();
      return m;
    }
    for (const int i : list.IndexesOf(name)) {
      const std::string& text = list.ItemText(i);
      if (text == name) {
        m.index = i;
        m.caseBlind.clear();
        return m;
      }
      if (std::find(m.caseBlind.begin(), m.caseBlind.end(), text) == m.caseBlind.end()) {
        if (m.caseBlind.empty()) m.index = i;
        m.caseBlind.push_back(text);
      }
    }
    if (m.caseBlind.size() > 1) m.index = -1;
    return m;
  }

  // Why the folder that receives `kind` in state `to` is missing; empty
  // when it is there (with --check: when the check would create it).
  std::string MissingFolder(int to, std::size_t kind) {
    const std::string parent = Base() + form->FolderNames()[static_cast<std::size_t>(to)][kind];
    if (platform.DirectoryExists(parent)) return {};
    if (const FolderFailure* f = platform.FailureOf(parent))
      return "cannot create " + parent + (f->error.empty() ? "" : ": " + f->error);
    const auto& wouldCreate = platform.WouldCreateFolders();
    if (std::find(wouldCreate.begin(), wouldCreate.end(), parent) != wouldCreate.end()) return {};
    return "no folder " + parent;
  }

  // The moves a click would make for `name`, each with whether it would
  // succeed: renames never replace, so an occupied target fails.
  std::vector<MoveRecord> PredictMoves(const std::string& name, Wanted wanted) {
    const int to = wanted == Wanted::Active ? 0 : 1;
    std::vector<MoveRecord> moves;
    for (std::size_t kind = 0; kind < 3; ++kind) {
      const std::string source = PlaceOf(1 - to, kind, name);
      if (!platform.DirectoryExists(source)) continue;
      MoveRecord m{source, PlaceOf(to, kind, name), false, {}};
      if (platform.DirectoryExists(m.target) || platform.FileExists(m.target)) {
        m.error = "the target exists";
      } else {
        m.error = MissingFolder(to, kind);
        m.succeeded = m.error.empty();
      }
      moves.push_back(std::move(m));
    }
    return moves;
  }

  // The first folder missing for a move of `name`'s folders: a click then
  // would move some and leave the snap-in split, so none is moved.
  std::string MissingFolderFor(const std::string& name, Wanted wanted) {
    const int to = wanted == Wanted::Active ? 0 : 1;
    for (std::size_t kind = 0; kind < 3; ++kind) {
      if (!platform.DirectoryExists(PlaceOf(1 - to, kind, name))) continue;
      if (std::string missing = MissingFolder(to, kind); !missing.empty()) return missing;
    }
    return {};
  }
};

Session::Session(CtlPlatform& platform) : impl_(std::make_unique<Impl>(platform)) {
  impl_->form = std::make_unique<TForm1>();
  impl_->defaultBase = impl_->form->ConsoleOnePath();
}

Session::~Session() = default;

std::vector<std::string> Session::Warnings() const {
  std::vector<std::string> texts;
  for (const auto& box : impl_->application.MessageBoxes()) texts.push_back(box.text);
  return texts;
}

std::string Session::DefaultBase() const { return impl_->defaultBase; }

void Session::SetLockWait(std::chrono::milliseconds wait, std::function<void(const std::string&)> onWait) {
  impl_->lockWait = wait;
  impl_->onLockWait = std::move(onWait);
}

const std::vector<std::string>& Session::Notes() const { return impl_->notes; }

Inventory Session::List(const std::optional<std::string>& base) {
  Impl& s = *impl_;
  const std::string path = base ? *base : s.defaultBase;
  const auto lock = s.Lock(path, false);
  // The library and resource folders are read on a second thread while the
  // window checks the installation: the base is the one the check will take.
  const std::string predicted = D_Util::IncludeTrailingSeparator(
      D_Util::ExcludeTrailingSeparator(path.empty() ? s.form->ConsoleOnePath() : path));
  const TForm1::TFolderNames folders = s.form->FolderNames();
  const auto read = [&s, predicted, folders] { return ReadSidePlaces(s.platform, predicted, folders); };
  std::future<SidePlaces> side;
  try {
    side = std::async(std::launch::async, read);
  } catch (const std::system_error&) {
    side = std::async(std::launch::deferred, read);  // no thread to be had: read them after
  }
  Inventory inv = s.Verify(path);
  SidePlaces places = side.get();
  if (inv.outcome != Outcome::Installation) return inv;
  if (s.Base() != predicted) places = ReadSidePlaces(s.platform, s.Base(), folders);
  if (s.AnyCaseBlind(places)) {
    s.ReadSnapinsAsResolved(inv, s.SnapinFoldersCaseBlind());
  } else {
    s.ReadSnapins(inv, places.index);
  }
  return inv;
}

namespace {

bool AnyMoved(const std::vector<MoveRecord>& moves) {
  return std::any_of(moves.begin(), moves.end(), [](const MoveRecord& m) { return m.succeeded; });
}

std::string FailedMoveText(const MoveRecord& m, bool check) {
  return (check ? "would not be able to move " : "could not move ") + m.source + " to " +
         m.target + (m.error.empty() ? "" : ": " + m.error);
}

}  // namespace

ChangeReport Session::Apply(const Options& options) {
  Impl& s = *impl_;
  ChangeReport report;
  report.check = options.check;
  s.platform.SetCheckOnly(options.check);
  const std::string path = options.base ? *options.base : s.defaultBase;
  report.requested = options.requests.size();
  // Held from the check to the last look at the disk, so that every answer
  // describes a state that existed.
  const auto lock = s.Lock(path, !options.check);
  report.before = s.Verify(path);
  report.createdFolders = s.platform.CreatedFolders();
  report.wouldCreateFolders = s.platform.WouldCreateFolders();
  report.failedFolders = s.platform.FailedFolders();
  if (report.before.outcome != Outcome::Installation) {
    report.exitStatus = kExitNotInstallation;
    return report;
  }

  auto& list = s.List();
  // Resolve every name first, so that conflicting requests stop the run
  // before anything moves.
  std::vector<Match> matches;
  std::map<std::string, Wanted> wantedByName;
  const bool caseBlind = s.SnapinFoldersCaseBlind();
  for (const Request& r : options.requests) {
    matches.push_back(s.Resolve(r.name, caseBlind));
    if (matches.back().index < 0) continue;
    const std::string& listed = list.ItemText(matches.back().index);
    const auto [it, inserted] = wantedByName.emplace(listed, r.wanted);
    if (!inserted && it->second != r.wanted) {
      report.error = "\"" + listed + "\" is asked to be both active and inactive";
      report.exitStatus = kExitUsage;
      return report;
    }
  }

  // A repeated name is clicked once; the later requests just read the outcome.
  std::map<std::string, std::vector<MoveRecord>> clicked;
  for (std::size_t k = 0; k < options.requests.size(); ++k) {
    // A signal ends the run between two snap-ins, never inside one.
    if ((report.interrupted = StopSignal()) != 0) break;
    const Request& r = options.requests[k];
    const Match& match = matches[k];
    SnapinResult res;
    res.requested = r.name;
    res.wanted = r.wanted;
    if (match.index < 0) {
      res.exitStatus = kExitUnknownSnapin;
      if (match.caseBlind.size() > 1) {
        res.status = "ambiguous";
        res.reason = "matches several snap-ins only ignoring case:";
        for (const auto& n : match.caseBlind) res.reason += " \"" + n + "\"";
        res.reason += "; give the exact name";
      } else {
        res.status = "unknown";
        res.reason = r.name.empty() ? "the empty name names no snap-in" : "no such snap-in";
      }
      report.results.push_back(std::move(res));
      continue;
    }
    const int index = match.index;
    res.name = list.ItemText(index);
    const Places before = s.PlacesOf(res.name);
    res.before = StateText(before);
    res.after = res.before;
    res.places = before;
    const bool holdsBefore = Holds(before, r.wanted);

    if (!list.ItemEnabled(index)) {
      res.holds = holdsBefore;
      const std::string why =
          s.form->ConsoleOneRunning() ? "ConsoleOne is running" : "required snap-in";
      if (holdsBefore) {
        res.status = "unchanged";
        res.reason = "already " + res.before + " (locked: " + why + ")";
      } else {
        res.status = "locked";
        res.reason = why + "; stays " + res.before;
        res.exitStatus = kExitLocked;
      }
    } else if (options.check) {
      res.holds = holdsBefore;
      res.moves = s.PredictMoves(res.name, r.wanted);
      const auto failed = std::find_if(res.moves.begin(), res.moves.end(),
                                       [](const MoveRecord& m) { return !m.succeeded; });
      if (failed != res.moves.end()) {
        res.status = "failed";
        res.reason = res.before == "both"
                         ? "present in both places; a switch would move nothing while the targets exist"
                         : FailedMoveText(*failed, true);
        res.exitStatus = kExitMoveFailed;
        res.changed = AnyMoved(res.moves);
      } else if (res.moves.empty()) {
        res.status = "unchanged";
        res.reason = "already " + res.before;
      } else {
        res.status = "would-change";
        res.reason = res.before + " -> " + WantedText(r.wanted);
        res.changed = true;
      }
    } else if (const std::string missing = s.MissingFolderFor(res.name, r.wanted); !missing.empty()) {
      res.holds = holdsBefore;
      res.status = "failed";
      res.reason = missing + "; nothing of it was moved";
      res.exitStatus = kExitMoveFailed;
    } else {
      if (clicked.count(res.name) == 0) {
        // The moves of a click on the item's check mark.
        const std::size_t firstMove = s.platform.Moves().size();
        list.SetChecked(index, r.wanted == Wanted::Active);
        s.form->CheckListBoxSnapinsSelect(nullptr, index);
        const auto& moves = s.platform.Moves();
        clicked[res.name].assign(moves.begin() + static_cast<std::ptrdiff_t>(firstMove), moves.end());
        res.moves = clicked[res.name];
      }
      // Read the disk again: a move that failed shows up here.
      res.places = s.PlacesOf(res.name);
      res.after = StateText(res.places);
      res.holds = Holds(res.places, r.wanted);
      res.changed = AnyMoved(res.moves);
      const auto failed = std::find_if(res.moves.begin(), res.moves.end(),
                                       [](const MoveRecord& m) { return !m.succeeded; });
      if (res.holds && failed == res.moves.end()) {
        res.status = res.changed ? "changed" : "unchanged";
        res.reason = res.changed ? res.before + " -> " + res.after : "already " + res.after;
      } else {
        res.status = "failed";
        res.exitStatus = kExitMoveFailed;
        if (res.after == "both")
          res.reason = "present in both places; nothing can move while the targets exist";
        else if (failed != res.moves.end())
          res.reason = FailedMoveText(*failed, false);
        else
          res.reason = "still " + res.after;
      }
    }
    report.results.push_back(std::move(res));
  }

  for (const auto& res : report.results) {
    report.changed = report.changed || res.changed;
    report.exitStatus = std::max(report.exitStatus, res.exitStatus);
  }
  report.changed =
      report.changed || !report.createdFolders.empty() || !report.wouldCreateFolders.empty();
  if (report.interrupted != 0) report.exitStatus = kExitSignalBase + report.interrupted;
  return report;
}

}  // namespace ctl
