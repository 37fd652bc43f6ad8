// The rules of a ConsoleOne installation, in one place: the check of a base
// folder, its snap-ins and where their folders are, the locks, and the switch
// of one snap-in with each move's outcome. It knows no control: the window
// and quillanctl both ask it. Every file-system call goes through
// platform::Platform::Get(), so a dry run is the same code on a platform that
// only notes what would change (DryRunPlatform).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lib/TStringList.h"

namespace D_Ini {
class TIniFile;
}

namespace core {

// Indexes of FolderNames: [state][kind].
enum State : std::size_t { kActive = 0, kInactive = 1 };
enum Kind : std::size_t { kSnapinFolder = 0, kLibraryFolder = 1, kResourceFolder = 2 };
constexpr std::size_t kKinds = 3;
using FolderNames = std::array<std::array<std::string, kKinds>, 2>;

// "snapins", "lib", "resources" and their "inactive." twins.
const FolderNames& Folders();
State Other(State state);

// The base folder used when the machine-wide file names none.
std::string DefaultBase();
// The base folder the machine-wide file names ("Paths", "C1"), or the default.
std::string ConfiguredBase(const D_Ini::TIniFile* machine);

// `base`/<folder of kind in state> and `base`/<that folder>/`name`, with the
// native separator.
std::string FolderPath(const std::string& base, State state, std::size_t kind);
std::string PlacePath(const std::string& base, State state, std::size_t kind, const std::string& name);

// --- the check of a base folder

enum class Outcome { NoFolder, NotInstalled, Installation };

struct Check {
  std::string path;  // as given
  Outcome outcome = Outcome::NoFolder;
  std::string base;  // the folder without a trailing separator; empty without one
  std::string consoleOneExe;
  bool consoleOneFound = false;
  std::string rconjExe;
  bool rconjFound = false;

  // What the window's label says: "Invalid path", "<exe> not Found", or nothing.
  std::string Label() const;
};

Check CheckFolder(const std::string& path);

// What makes a folder an installation, relative to it: ConsoleOne's launcher
// by its native name ("bin\\ConsoleOne.exe"; "bin/ConsoleOne" on POSIX).
std::string ConsoleOneLauncher();

// Whether a file name is one of the launcher's names ("ConsoleOne.exe", and
// on POSIX also "ConsoleOne"), ignoring ASCII case.
bool IsLauncherName(const std::string& fileName, const std::string& stem);

// The names in the active and the inactive snap-in folder, in listing order.
void ListSnapins(const std::string& base, TStringList& active, TStringList& inactive);

// An inactive folder after the check: there already, made, or not made.
struct FolderResult {
  enum class Kind { Existed, Created, Failed };
  Kind kind = Kind::Existed;
  std::string path;
  std::string error;  // the system's reason when Failed
};
// Makes the inactive folders that are missing (never the active ones).
std::vector<FolderResult> CreateInactiveFolders(const std::string& base);

// --- locks

extern const char* const kConsoleOneTitle;
extern const char* const kConsoleOneWarning;
// Whether a top-level window's title holds "Novell ConsoleOne".
bool ConsoleOneWindowOpen();
// The values of the machine-wide file's "Required Snapins" section.
std::vector<std::string> RequiredSnapins(const D_Ini::TIniFile* machine);
// `name` is among `required`, ignoring the case of a to z.
bool IsRequired(const std::string& name, const std::vector<std::string>& required);

enum class Lock { None, Required, ConsoleOneRunning };
// "required", "consoleone-running", or "" for None.
const char* LockText(Lock lock);

// --- where a snap-in's folders are

enum class Place : std::uint8_t { None, Active, Inactive, Both };
using Places = std::array<Place, kKinds>;
const char* PlaceText(Place place);
// "active"/"inactive" when every folder there is in that place, "both" when
// the snap-in folder is in both, "split" when they disagree otherwise,
// "missing" when there is none.
const char* StateText(const Places& places);
// Every folder there is lies in the wanted place only.
bool Holds(const Places& places, bool wantActive);
// Six existence tests.
Places PlacesOf(const std::string& base, const std::string& name);

// The order of the window's list: names ignoring the case of a to z, equal
// names in the order given (the active listing before the inactive one).
bool ListLess(const std::string& a, const std::string& b);

struct Snapin {
  std::string name;
  Places places{};
  Lock lock = Lock::None;
};

// An installation as quillanctl reports it: one entry per snap-in, in the
// window's list order, each with the place of each of its folders.
struct Inventory {
  Check check;
  bool consoleOneRunning = false;
  std::vector<FolderResult> folders;  // the inactive folders (an installation only)
  std::vector<Snapin> snapins;
  // The snap-in folders resolve names ignoring case (Windows, FAT, exFAT,
  // CIFS, a casefold folder): names that differ only in case are one snap-in.
  bool caseBlind = false;
};

// The check of `path`, then (for an installation) the inactive folders, the
// snap-ins, their places and their locks.
Inventory ReadInventory(const std::string& path, const std::vector<std::string>& required, bool consoleOneRunning);

// The entry of `name`: the exact name, else the one name equal ignoring case
// (on a case-blind installation the first such). nullopt with the distinct
// candidates in `ambiguous` when several match only ignoring case.
std::optional<std::size_t> FindSnapin(const Inventory& inventory, const std::string& name,
                                      std::vector<std::string>* ambiguous = nullptr);

// --- switching one snap-in

struct Move {
  std::string source;  // full paths
  std::string target;
  bool ok = false;
  std::string error;  // the system's reason when it failed
};

// Why nothing of a snap-in moved: a folder that must receive one of its
// kinds is missing.
struct Refusal {
  std::string folder;  // full path of the missing folder
  std::size_t kind = 0;
  State state = kActive;
  bool creationFailed = false;  // the check tried to make it and could not
  std::string error;            // the check's reason then
};

struct SwitchResult {
  std::vector<Move> moves;  // in kind order, each with its outcome
  std::optional<Refusal> refused;
  // The kinds whose source exists, when refused (they stay where they are).
  std::vector<std::size_t> staying;
  // Where the snap-in folder is afterwards, when it is anywhere.
  std::optional<bool> snapinActive;

  bool AllMoved() const;
};

// Whether any of `name`'s folders is not yet in the wanted place (stops at
// the first found).
bool AnyToMove(const std::string& base, const std::string& name, bool wantActive);

// Moves `name`'s folders of every kind to the wanted place, each when its
// source exists. When a folder that must receive one of them is missing,
// nothing moves (the snap-in is never left split); `checked` are the check's
// results for the inactive folders, whose reasons the refusal then carries.
SwitchResult Switch(const std::string& base, const std::string& name, bool wantActive,
                    const std::vector<FolderResult>& checked = {});

}  // namespace core
