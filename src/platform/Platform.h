// The operating-system services Quillan relies on, behind one interface.
// Callers use Platform::Get(); tests swap in a double with SetInstance().
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// File attribute bits as the find-first/find-next enumeration reports them.
enum Attribute : std::uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
};

// Not an attribute: a ListFolder caller that needs nothing but the names
// and the folder and archive bits adds it to `attributes`. Entries may then
// come without size, time and read-only bit, which spares a status query per
// entry where the listing itself tells folders from files.
constexpr std::uint32_t kListNamesOnly = 0x80000000u;
// Not an attribute either: the caller takes the entries in any order, which
// spares sorting them where the system does not hand them out sorted.
constexpr std::uint32_t kListAnyOrder = 0x40000000u;

struct FindEntry {
  std::string name;               // bare name, no folder
  std::uint32_t attributes = 0;   // Attribute bits
  std::int64_t size = 0;          // real 64-bit size in bytes
  std::uint32_t dosDateTime = 0;  // last write, local time, MS-DOS packed (date high)
};

// Window handles are opaque; 0 is the null handle.
using WindowHandle = std::uintptr_t;

struct TopLevelWindow {
  WindowHandle handle = 0;
  std::string title;
};

enum class RegistryRoot { CurrentUser, LocalMachine };

struct RegistryValue {
  enum class Kind { Missing, String, OtherType };  // Missing: key or value absent
  Kind kind = Kind::Missing;
  std::string text;  // String: as stored, cut at its first zero byte
};

constexpr int SW_SHOWNORMAL_ = 1;

// What a platform operation that can fail answers: whether it worked and,
// when not, the system's own reason ("Read-only file system"), so that the
// reason travels with the result it belongs to.
struct Result {
  bool ok = true;
  std::string error;  // empty when ok, or when the system gave no reason

  static Result Done() { return {}; }
  static Result Failed(std::string why) { return {false, std::move(why)}; }
  explicit operator bool() const { return ok; }
};

// How LockFolder takes the installation lock.
enum class LockMode {
  Switch,  // exclusive; made (once, and kept) when the folder has none yet
  Read,    // shared with other readers, so a switch waits for them; creates nothing
};

// The installation lock of LockFolder, or why there is none.
struct FolderLock {
  enum class Kind {
    Held,      // held through `handle` until UnlockFolder (Read: shared with other readers)
    Free,      // Read: there is no lock file yet (no run ever switched here); nothing is held
    NoFolder,  // the path is no folder: there is nothing to guard
    Busy,      // another run held it for the whole wait, or the wait was given up
    Failed,    // it could not be taken or tested; `error` says why
  };
  Kind kind = Kind::NoFolder;
  std::uintptr_t handle = 0;
  std::string where;  // the lock file
  std::string error;  // the system's reason ("Permission denied", "not a plain file")
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The implementation in force for the process.
  static Platform& Get();
  // Install a double (not owned); nullptr restores the real implementation.
  static void SetInstance(Platform* instance);

  // --- file system ---
  // True only for an existing file; a folder does not count.
  virtual bool FileExists(const std::string& path) = 0;
  // True when the path exists and is a folder; a trailing separator is allowed.
  virtual bool DirectoryExists(const std::string& path) = 0;
  // One level; fails when the parent is missing, the path exists already or
  // the system refuses.
  virtual Result CreateDirectory(const std::string& path) = 0;
  // Renames a folder within a volume. Never replaces an existing target
  // (not even an empty folder), never copies, never deletes.
  virtual Result MoveFolder(const std::string& source, const std::string& target) = 0;
  // Find-first/find-next over a mask (folder + pattern, e.g. "C:\x\*.*").
  // Entries with hidden, system, volume-label or folder attributes are passed
  // over unless that bit is in `attributes`. The callback returns false to
  // stop early. Returns false when the enumeration could not start.
  virtual bool ListFolder(const std::string& mask, std::uint32_t attributes,
                          const std::function<bool(const FindEntry&)>& onEntry) = 0;
  // Short (8.3) form of an existing path; empty text on failure.
  virtual std::string ShortPath(const std::string& path) = 0;
  // Full path of the running executable.
  virtual std::string ExecutablePath() = 0;
  // Fails when the system can tell already that `count` new entries cannot
  // be made in `folder` (a read-only mount, no right to write it, fewer free
  // inodes than that); with `count` 0 only the right to change the folder's
  // entries (a rename) is asked. Succeeds when it may work.
  virtual Result MayCreateIn(const std::string& /*folder*/, std::uint64_t /*count*/ = 1) { return {}; }

  // --- environment and registry ---
  // nullopt when the variable is not set (names ignore case on Windows).
  virtual std::optional<std::string> GetEnvironmentVariable(const std::string& name) = 0;
  virtual RegistryValue ReadRegistryValue(RegistryRoot root, const std::string& keyPath,
                                          const std::string& valueName) = 0;

  // --- private-profile (INI) files ---
  // The stored value, or `def`, cut to 2047 characters.
  virtual std::string ProfileRead(const std::string& path, const std::string& section,
                                  const std::string& key, const std::string& def) = 0;
  // Key names of a section in file order, limited like a 16384-byte buffer.
  virtual std::vector<std::string> ProfileListKeys(const std::string& path,
                                                   const std::string& section) = 0;
  // Fails when the write was refused, with why beyond the file system's
  // refusal where there is more to say (another program kept changing the
  // file, or it would grow too large).
  virtual Result ProfileWrite(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& value) = 0;
  virtual Result ProfileEraseSection(const std::string& path, const std::string& section) = 0;
  // Between these calls the writes to one file may be held and made as one
  // replacement at the end, reads seeing them meanwhile. The end fails, the
  // file being unchanged, when that replacement was refused;
  // without `commit` the held writes are dropped. By default every write
  // goes to the file at once.
  virtual void ProfileBeginBatch(const std::string& /*path*/) {}
  virtual Result ProfileEndBatch(const std::string& /*path*/, bool /*commit*/) { return {}; }

  // --- shell and windows ---
  // Starts a program, document or web address. Above 32: started.
  virtual int ShellExecute(const std::string& file, const std::string& parameters,
                           const std::string& folder, int showMode) = 0;
  // Every top-level window, top of the Z order first, with its full title.
  virtual std::vector<TopLevelWindow> TopLevelWindows() = 0;
  // Creates (and owns for the life of the process) a named mutex.
  // Returns true when the name already existed (another instance holds it).
  virtual bool CreateNamedMutex(const std::string& name) = 0;
  // The installation lock of the folder `path`: a lock on the file
  // ".quillan.lock" in it, so that every path, drive letter or machine that
  // reaches the folder meets the same lock. Switch takes it exclusively
  // (making the file when there is none; it is never removed, truncated or
  // followed as a link); Read shares it with other readers and creates
  // nothing. Waits at most `wait`; `waiting` is called before
  // each pause (round 0 first) and ends the wait by returning false.
  // Released by UnlockFolder or when the process ends.
  virtual FolderLock LockFolder(const std::string& /*path*/, LockMode mode, std::chrono::milliseconds /*wait*/,
                                const std::function<bool(int round)>& /*waiting*/) {
    return {mode == LockMode::Switch ? FolderLock::Kind::Held : FolderLock::Kind::Free, 0, {}, {}};
  }
  virtual void UnlockFolder(std::uintptr_t /*lock*/) {}
  // Next top-level window after `after` (0: from the start) with the given
  // class and exact title; 0 when none.
  virtual WindowHandle FindWindowEx(const std::string& className, const std::string& title,
                                    WindowHandle after) = 0;
  // Handle of this process's own application window (0 when it has none).
  virtual WindowHandle OwnApplicationWindow() = 0;
  virtual void ShowWindowNormal(WindowHandle window) = 0;
  virtual void SetForegroundWindow(WindowHandle window) = 0;

  // --- later starts of the program (where no window search reaches the
  // running one, as under Wayland) ---
  // The running instance, once CreateNamedMutex gave it `name`: takes
  // requests to come forward from later starts of the same user. A
  // descriptor for the event loop to watch for input; -1 when none.
  virtual int ListenForwardRequests(const std::string& /*name*/) { return -1; }
  // Reads one request waiting on that descriptor: true, with the token the
  // later start's launcher passed for activating a window (empty when none).
  virtual bool TakeForwardRequest(int /*listener*/, std::string& /*token*/) { return false; }
  // A later start: asks the instance holding `name` to come forward,
  // passing the token. True when that instance took the request.
  virtual bool SendForwardRequest(const std::string& /*name*/, const std::string& /*token*/) {
    return false;
  }
};

// The real implementation for the build's operating system.
Platform& NativePlatform();

// Whether the text begins with a URL scheme and "://" ("https://…"). Such a
// text is an address: it is never looked up as a file, so a folder named
// "https:" in the current folder cannot stand in for the address. One
// letter is a drive ("C://x" is a path), not a scheme.
bool HasUrlScheme(const std::string& text);
// Whether the text could be a URL scheme: two or more letters, digits, "+",
// "-" or ".".
bool IsSchemeText(std::string_view text);

// Installs a platform (not owned) for the scope, restores the one before at its end.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& p) : previous_(&Platform::Get()) { Platform::SetInstance(&p); }
  ~ScopedPlatform() { Platform::SetInstance(previous_ == &NativePlatform() ? nullptr : previous_); }
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform* previous_;
};

}  // namespace platform
