#include "core/Installation.h"

#include <algorithm>
#include <initializer_list>

#include "lib/D_Ini.h"
#include "lib/D_Util.h"
#include "lib/D_Win.h"
#include "platform/Platform.h"

namespace core {

const char* const kConsoleOneTitle = "Novell ConsoleOne";
const char* const kConsoleOneWarning = "\"Novell ConsoleOne\" seems to be running - disabling selectors";

namespace {

std::string Sep() { return std::string(1, D_Util::NativeSeparator()); }

// The launchers' folder in an installation, and ConsoleOne's launcher stem.
const std::string kBin = "bin";
const std::string kConsoleOne = "ConsoleOne";

// The launcher's file names, most likely first: on POSIX the native script
// (ConsoleOne for Linux), then the Windows name, so that an installation on
// a mounted Windows share is still recognised.
std::vector<std::string> LauncherNames(const std::string& stem) {
#ifdef _WIN32
  return {stem + ".exe"};
#else
  return {stem, stem + ".exe"};
#endif
}

// The first existing launcher, names before folders; when none exists, the
// native name in the last folder (what the window reports as missing).
std::string FindLauncher(std::initializer_list<std::string> folders, const std::string& stem, bool& found) {
  platform::Platform& os = platform::Platform::Get();
  const std::vector<std::string> names = LauncherNames(stem);
  for (const std::string& name : names) {
    for (const std::string& folder : folders) {
      if (os.FileExists(folder + name)) {
        found = true;
        return folder + name;
      }
    }
  }
  found = false;
  return *(folders.end() - 1) + names.front();
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
}

bool HasLetter(const std::string& name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; });
}

std::string FlipCase(std::string name) {
  for (char& c : name)
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') c = static_cast<char>(c ^ 0x20);
  return name;
}

Place Combine(bool active, bool inactive) {
  if (active && inactive) return Place::Both;
  if (active) return Place::Active;
  return inactive ? Place::Inactive : Place::None;
}

bool Listed(const std::vector<std::string>& sorted, const std::string& name) {
  return std::binary_search(sorted.begin(), sorted.end(), name);
}

// One name of the window's list: from the active listing or the inactive one.
struct Entry {
  std::string name;
  bool active = false;
};

// The names of one folder, sorted by their bytes, with the first listed one
// that has a letter, by which a case-blind folder is told.
struct FolderNamesListed {
  std::vector<std::string> sorted;
  std::string probe;
};

FolderNamesListed ListNames(const std::string& folder) {
  FolderNamesListed result;
  platform::Platform::Get().ListFolder(
      folder + Sep() + "*.*",
      platform::faDirectory | platform::faHidden | platform::faSysFile | platform::kListNamesOnly |
          platform::kListAnyOrder,
      [&result](const platform::FindEntry& e) {
        if ((e.attributes & platform::faDirectory) == 0) return true;
        if (result.probe.empty() && HasLetter(e.name)) result.probe = e.name;
        result.sorted.push_back(e.name);
        return true;
      });
  std::sort(result.sorted.begin(), result.sorted.end());
  return result;
}

// Whether the folder of `kind` in `state` resolves names ignoring case, as
// Windows always does and FAT, exFAT, CIFS or a casefold folder do: a listed
// name (`probe`) is looked up with its case changed, unless that name is
// listed there too. One existence test per folder.
bool CaseBlind(const std::string& base, State state, std::size_t kind, const std::string& probe,
               bool flippedListed) {
#ifdef _WIN32
  (void)base, (void)state, (void)kind, (void)probe, (void)flippedListed;
  return true;
#else
  return !probe.empty() && !flippedListed &&
         platform::Platform::Get().DirectoryExists(PlacePath(base, state, kind, FlipCase(probe)));
#endif
}

// The snap-in folder of `state`, told by its first listed name with a letter.
bool SnapinFolderCaseBlind(const std::string& base, const std::vector<Entry>& entries, State state) {
  const bool active = state == kActive;
  const auto probe = std::find_if(entries.begin(), entries.end(),
                                  [active](const Entry& e) { return e.active == active && HasLetter(e.name); });
  if (probe == entries.end()) return false;
  const std::string flipped = FlipCase(probe->name);
  const bool listed = std::any_of(entries.begin(), entries.end(),
                                  [&](const Entry& e) { return e.active == active && e.name == flipped; });
  return CaseBlind(base, state, kSnapinFolder, probe->name, listed);
}

}  // namespace

const FolderNames& Folders() {
  static const FolderNames names = {{{"snapins", "lib", "resources"},
                                     {"inactive.snapins", "inactive.lib", "inactive.resources"}}};
  return names;
}

State Other(State state) { return state == kActive ? kInactive : kActive; }

std::string DefaultBase() {
#ifdef _WIN32
  return "C:\\Novell\\ConsoleOne\\1.2";
#else
  return "/usr/ConsoleOne";
#endif
}

std::string ConfiguredBase(const D_Ini::TIniFile* machine) {
  return machine ? D_Ini::ReadSettingText(*machine, "Paths", "C1", DefaultBase()) : DefaultBase();
}

std::string FolderPath(const std::string& base, State state, std::size_t kind) {
  return D_Util::IncludeTrailingSeparator(base) + Folders()[state][kind];
}

std::string PlacePath(const std::string& base, State state, std::size_t kind, const std::string& name) {
  return FolderPath(base, state, kind) + Sep() + name;
}

std::string Check::Label() const {
  switch (outcome) {
    case Outcome::NoFolder: return "Invalid path";
    case Outcome::NotInstalled: return consoleOneExe + " not Found";
    case Outcome::Installation: return {};
  }
  return {};
}

Check CheckFolder(const std::string& path) {
  Check check;
  check.path = path;
  if (!platform::Platform::Get().DirectoryExists(path)) return check;
  check.base = D_Util::ExcludeTrailingSeparator(path);
  const std::string base = D_Util::IncludeTrailingSeparator(check.base);
  const std::string bin = base + kBin + Sep();
  check.consoleOneExe = FindLauncher({bin}, kConsoleOne, check.consoleOneFound);
  check.rconjExe = FindLauncher({base, bin}, "RConJ", check.rconjFound);
  check.outcome = check.consoleOneFound ? Outcome::Installation : Outcome::NotInstalled;
  return check;
}

std::string ConsoleOneLauncher() { return kBin + Sep() + LauncherNames(kConsoleOne).front(); }

bool IsLauncherName(const std::string& fileName, const std::string& stem) {
  const std::vector<std::string> names = LauncherNames(stem);
  return std::any_of(names.begin(), names.end(),
                     [&fileName](const std::string& name) { return EqualIgnoringCase(fileName, name); });
}

void ListSnapins(const std::string& base, TStringList& active, TStringList& inactive) {
  active.Clear();
  inactive.Clear();
  D_Util::ListDirectory(FolderPath(base, kActive, kSnapinFolder) + Sep() + "*.*", platform::faDirectory, 0, active,
                        "%s");
  D_Util::ListDirectory(FolderPath(base, kInactive, kSnapinFolder) + Sep() + "*.*", platform::faDirectory, 0,
                        inactive, "%s");
}

std::vector<FolderResult> CreateInactiveFolders(const std::string& base) {
  platform::Platform& os = platform::Platform::Get();
  std::vector<FolderResult> results;
  for (std::size_t kind = 0; kind < kKinds; ++kind) {
    FolderResult r;
    r.path = FolderPath(base, kInactive, kind);
    if (!os.DirectoryExists(r.path)) {
      const platform::Result made = os.CreateDirectory(r.path);
      // Another run may have made it meanwhile.
      if (made || os.DirectoryExists(r.path)) {
        r.kind = made ? FolderResult::Kind::Created : FolderResult::Kind::Existed;
      } else {
        r.kind = FolderResult::Kind::Failed;
        r.error = made.error;
      }
    }
    results.push_back(std::move(r));
  }
  return results;
}

bool ConsoleOneWindowOpen() { return D_Win::FindWindowByTitle(kConsoleOneTitle) != 0; }

std::vector<std::string> RequiredSnapins(const D_Ini::TIniFile* machine) {
  std::vector<std::string> names;
  if (!machine) return names;
  TStringList required;
  D_Ini::ReadSectionList(*machine, "Required Snapins", required, false);
  for (const TStringItem& item : required.Items()) names.push_back(item.Text);
  return names;
}

bool IsRequired(const std::string& name, const std::vector<std::string>& required) {
  return std::any_of(required.begin(), required.end(),
                     [&name](const std::string& r) { return EqualIgnoringCase(r, name); });
}

const char* LockText(Lock lock) {
  switch (lock) {
    case Lock::None: return "";
    case Lock::Required: return "required";
    case Lock::ConsoleOneRunning: return "consoleone-running";
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

bool Holds(const Places& places, bool wantActive) {
  const Place want = wantActive ? Place::Active : Place::Inactive;
  return places[0] == want &&
         std::all_of(places.begin(), places.end(), [want](Place p) { return p == Place::None || p == want; });
}

Places PlacesOf(const std::string& base, const std::string& name) {
  platform::Platform& os = platform::Platform::Get();
  Places places{};
  for (std::size_t kind = 0; kind < kKinds; ++kind)
    places[kind] = Combine(os.DirectoryExists(PlacePath(base, kActive, kind, name)),
                           os.DirectoryExists(PlacePath(base, kInactive, kind, name)));
  return places;
}

bool ListLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(UpperAscii(x)) < static_cast<unsigned char>(UpperAscii(y));
  });
}

Inventory ReadInventory(const std::string& path, const std::vector<std::string>& required, bool consoleOneRunning) {
  Inventory inv;
  inv.consoleOneRunning = consoleOneRunning;
  inv.check = CheckFolder(path);
  if (inv.check.outcome != Outcome::Installation) return inv;
  const std::string& base = inv.check.base;
  inv.folders = CreateInactiveFolders(base);

  TStringList active, inactive;
  ListSnapins(base, active, inactive);
  std::vector<Entry> entries;
  entries.reserve(static_cast<std::size_t>(active.Count() + inactive.Count()));
  for (const TStringItem& item : active.Items()) entries.push_back({item.Text, true});
  for (const TStringItem& item : inactive.Items()) entries.push_back({item.Text, false});
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return ListLess(a.name, b.name); });

  // The library and resource folders, by kind - 1 and state.
  std::array<std::array<FolderNamesListed, 2>, 2> side;
  for (std::size_t kind = 1; kind < kKinds; ++kind)
    for (const State state : {kActive, kInactive}) side[kind - 1][state] = ListNames(FolderPath(base, state, kind));

  const auto lockOf = [&](const std::string& name) {
    if (consoleOneRunning) return Lock::ConsoleOneRunning;
    return IsRequired(name, required) ? Lock::Required : Lock::None;
  };
  // Each folder is probed once: a scan of the names and one existence test.
  const bool activeBlind = SnapinFolderCaseBlind(base, entries, kActive);
  const bool inactiveBlind = SnapinFolderCaseBlind(base, entries, kInactive);
  inv.caseBlind = activeBlind && inactiveBlind;
  bool anyCaseBlind = activeBlind || inactiveBlind;
  for (std::size_t kind = 1; kind < kKinds && !anyCaseBlind; ++kind) {
    for (const State state : {kActive, kInactive}) {
      const FolderNamesListed& listed = side[kind - 1][state];
      if (CaseBlind(base, state, kind, listed.probe, Listed(listed.sorted, FlipCase(listed.probe)))) {
        anyCaseBlind = true;
        break;
      }
    }
  }

  inv.snapins.reserve(entries.size());
  if (anyCaseBlind) {
    // The places as the file system resolves each name, which is what a
    // switch will find (six existence tests each). Names in one run of
    // equal-ignoring-case entries are one snap-in when they are equal, or
    // when the snap-in folders are case-blind; the first of them names it.
    std::size_t run = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::string& name = entries[i].name;
      if (i == 0 || !EqualIgnoringCase(entries[i - 1].name, name)) run = inv.snapins.size();
      const auto first = inv.snapins.begin() + static_cast<std::ptrdiff_t>(run);
      if (std::any_of(first, inv.snapins.end(), [&](const Snapin& s) { return inv.caseBlind || s.name == name; }))
        continue;
      inv.snapins.push_back({name, PlacesOf(base, name), lockOf(name)});
    }
    return inv;
  }
  // Case-sensitive folders: the listings say it all.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    // A name in both places is listed twice, next to each other in the run
    // of its equal-ignoring-case names; it is one snap-in here.
    bool merged = false;
    for (std::size_t j = inv.snapins.size(); j-- > 0 && EqualIgnoringCase(inv.snapins[j].name, e.name);) {
      if (inv.snapins[j].name == e.name) {
        inv.snapins[j].places[0] = Place::Both;
        merged = true;
        break;
      }
    }
    if (merged) continue;
    Snapin s{e.name, {}, lockOf(e.name)};
    s.places[0] = e.active ? Place::Active : Place::Inactive;
    for (std::size_t kind = 1; kind < kKinds; ++kind)
      s.places[kind] = Combine(Listed(side[kind - 1][kActive].sorted, e.name), Listed(side[kind - 1][kInactive].sorted, e.name));
    inv.snapins.push_back(std::move(s));
  }
  return inv;
}

std::optional<std::size_t> FindSnapin(const Inventory& inventory, const std::string& name,
                                      std::vector<std::string>* ambiguous) {
  // The entries equal ignoring case stand together in list order.
  const auto& all = inventory.snapins;
  auto it = std::lower_bound(all.begin(), all.end(), name,
                             [](const Snapin& s, const std::string& n) { return ListLess(s.name, n); });
  std::optional<std::size_t> found;
  std::vector<std::string> candidates;
  for (; it != all.end() && EqualIgnoringCase(it->name, name); ++it) {
    const std::size_t index = static_cast<std::size_t>(it - all.begin());
    if (inventory.caseBlind) return index;  // every match names the one snap-in the system finds
    if (it->name == name) return index;
    if (candidates.empty()) found = index;
    if (std::find(candidates.begin(), candidates.end(), it->name) == candidates.end())
      candidates.push_back(it->name);
  }
  if (candidates.size() > 1) {
    if (ambiguous) *ambiguous = candidates;
    return std::nullopt;
  }
  return found;
}

bool SwitchResult::AllMoved() const {
  return !refused && std::all_of(moves.begin(), moves.end(), [](const Move& m) { return m.ok; });
}

bool AnyToMove(const std::string& base, const std::string& name, bool wantActive) {
  platform::Platform& os = platform::Platform::Get();
  const State from = wantActive ? kInactive : kActive;
  for (std::size_t kind = 0; kind < kKinds; ++kind)
    if (os.DirectoryExists(PlacePath(base, from, kind, name))) return true;
  return false;
}

SwitchResult Switch(const std::string& base, const std::string& name, bool wantActive,
                    const std::vector<FolderResult>& checked) {
  platform::Platform& os = platform::Platform::Get();
  const State to = wantActive ? kActive : kInactive;
  const State from = Other(to);
  SwitchResult result;
  std::array<bool, kKinds> sourceThere{};
  for (std::size_t kind = 0; kind < kKinds; ++kind)
    sourceThere[kind] = os.DirectoryExists(PlacePath(base, from, kind, name));

  // A folder missing where one kind must go would fail that move alone and
  // leave the snap-in split: then nothing of it moves.
  for (std::size_t kind = 0; kind < kKinds && !result.refused; ++kind) {
    if (!sourceThere[kind]) continue;
    const std::string receiving = FolderPath(base, to, kind);
    if (os.DirectoryExists(receiving)) continue;
    Refusal r;
    r.folder = receiving;
    r.kind = kind;
    r.state = to;
    for (const FolderResult& f : checked) {
      if (f.path == receiving && f.kind == FolderResult::Kind::Failed) {
        r.creationFailed = true;
        r.error = f.error;
      }
    }
    result.refused = std::move(r);
  }
  if (result.refused) {
    for (std::size_t kind = 0; kind < kKinds; ++kind)
      if (sourceThere[kind]) result.staying.push_back(kind);
    if (sourceThere[kSnapinFolder]) result.snapinActive = !wantActive;
    return result;
  }

  for (std::size_t kind = 0; kind < kKinds; ++kind) {
    Move m{PlacePath(base, from, kind, name), PlacePath(base, to, kind, name), false, {}};
    if (!sourceThere[kind]) {
      if (kind == kSnapinFolder && os.DirectoryExists(m.target)) result.snapinActive = wantActive;
      continue;
    }
    const platform::Result moved = os.MoveFolder(m.source, m.target);
    m.ok = moved.ok;
    m.error = moved.error;
    if (kind == kSnapinFolder) result.snapinActive = moved ? wantActive : !wantActive;
    result.moves.push_back(std::move(m));
  }
  return result;
}

}  // namespace core
