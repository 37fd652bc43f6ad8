#include "platform/posix/PosixPlatform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform::posix {

namespace {

// Shell answers (<= 32 means failure), as ShellExecute gives them.
constexpr int kShellFileNotFound = 2;
constexpr int kShellPathNotFound = 3;
constexpr int kShellAccessDenied = 5;
constexpr int kShellOutOfMemory = 8;
constexpr int kShellBadFormat = 11;
constexpr int kShellNoAssociation = 31;
constexpr int kShellStarted = 42;

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return UpperChar(x) == UpperChar(y); });
}

bool GlobMatch(const char* n, const char* p) {
  // Iterative "*"/"?" matching with one backtrack point.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*n != '\0') {
    if (*p == '?' || (*p != '*' && *p != '\0' && UpperChar(*p) == UpperChar(*n))) {
      ++n;
      ++p;
    } else if (*p == '*') {
      star = p++;
      resume = n;
    } else if (star != nullptr) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return std::string();
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::string();
  std::string all = path;
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = all.find(':', start);
    if (end == std::string::npos) end = all.size();
    std::string dir = all.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return std::string();
}

bool LooksLikeAddress(const std::string& text) {
  if (text.rfind("www.", 0) == 0) return true;
  const std::size_t colon = text.find(':');
  return colon != std::string::npos && IsSchemeText(std::string_view(text).substr(0, colon));
}

int ShellErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return kShellFileNotFound;
    case ENOTDIR: return kShellPathNotFound;
    case EACCES:
    case EPERM: return kShellAccessDenied;
    case ENOMEM: return kShellOutOfMemory;
    case ENOEXEC: return kShellBadFormat;
    default: return kShellNoAssociation;
  }
}

// Starts `program` with `args` detached from this process (own session,
// reaped at once through a double fork). Reports an exec failure.
int StartDetached(const std::string& program, const std::vector<std::string>& args,
                  const std::string& folder) {
  std::vector<std::string> owned;
  owned.push_back(program);
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : owned) argv.push_back(a.data());
  argv.push_back(nullptr);
  // A script without "#!" (ENOEXEC) is run by the shell, as execvp does;
  // made before the fork, where allocating is still allowed.
  std::string shell = "/bin/sh";
  std::vector<char*> shellArgv{shell.data()};
  shellArgv.insert(shellArgv.end(), argv.begin(), argv.end());

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return kShellOutOfMemory;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return kShellOutOfMemory;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    ::close(fds[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    int error = 0;
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
      error = errno;
    } else {
      ::execv(argv[0], argv.data());
      error = errno;
      if (error == ENOEXEC) {
        ::execv(shellArgv[0], shellArgv.data());
        error = errno;
      }
    }
    ssize_t ignored = ::write(fds[1], &error, sizeof error);
    (void)ignored;
    ::_exit(127);
  }
  ::close(fds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  do {
    n = ::read(fds[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  ::close(fds[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return kShellOutOfMemory;
  if (n == static_cast<ssize_t>(sizeof error)) return ShellErrorFromErrno(error);
  return kShellStarted;
}

bool SameText(const std::string& a, const char* b) { return EqualsIgnoringCase(a, b); }

}  // namespace

bool MatchesMask(const std::string& name, const std::string& pattern) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (GlobMatch(name.c_str(), pattern.c_str())) return true;
  // "x.*" also takes a name without extension, as on Windows.
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos) {
    return GlobMatch(name.c_str(), pattern.substr(0, pattern.size() - 2).c_str());
  }
  return false;
}

std::vector<std::string> SplitCommandLine(const std::string& parameters) {
  std::vector<std::string> args;
  std::string current;
  bool inWord = false;
  bool quoted = false;
  for (std::size_t i = 0; i < parameters.size();) {
    char c = parameters[i];
    if (c == '\\') {
      std::size_t count = 0;
      while (i < parameters.size() && parameters[i] == '\\') {
        ++count;
        ++i;
      }
      inWord = true;
      if (i < parameters.size() && parameters[i] == '"') {
        current.append(count / 2, '\\');
        if (count % 2 == 1) {
          current += '"';
          ++i;
        }
      } else {
        current.append(count, '\\');
      }
      continue;
    }
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
      ++i;
      continue;
    }
    if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) args.push_back(current);
      current.clear();
      inWord = false;
      ++i;
      continue;
    }
    current += c;
    inWord = true;
    ++i;
  }
  if (inWord) args.push_back(current);
  return args;
}

std::uint32_t DosDateTime(long long unixSeconds) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm local {};
  if (::localtime_r(&t, &local) == nullptr) return 0;
  int year = local.tm_year + 1900;
  if (year < 1980) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00, the format's first day
  if (year > 2107) year = 2107;
  auto date = static_cast<std::uint32_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) |
                                         local.tm_mday);
  auto time = static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                         (local.tm_sec / 2));
  return date << 16 | time;
}

bool PosixPlatform::FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PosixPlatform::DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {
Result Errno(int error) { return Result::Failed(std::strerror(error)); }
}  // namespace

Result PosixPlatform::CreateDirectory(const std::string& path) {
  if (path.empty()) return Errno(ENOENT);
  return ::mkdir(path.c_str(), 0777) == 0 ? Result::Done() : Errno(errno);
}

int MoveWithoutReplacing(const std::string& source, const std::string& target) {
  struct stat st {};
  if (::lstat(source.c_str(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) {
    // Claim the target with a folder of our own (mkdir fails when anything
    // is there), then rename onto it: a rename onto a folder that is not
    // empty fails, so whatever someone puts into the claim meanwhile stays.
    if (::mkdir(target.c_str(), 0700) != 0) return errno;
    struct stat claim {};
    const bool claimed = ::lstat(target.c_str(), &claim) == 0;
    if (claimed && ::rename(source.c_str(), target.c_str()) == 0) return 0;
    const int error = claimed ? errno : EEXIST;
    // Undo the claim only while it is still ours; rmdir leaves it when
    // someone filled it.
    struct stat now {};
    if (claimed && ::lstat(target.c_str(), &now) == 0 && now.st_dev == claim.st_dev &&
        now.st_ino == claim.st_ino) {
      ::rmdir(target.c_str());
    }
    return error;
  }
  // A link (or anything else that is no folder): a second name that fails
  // when the target exists, then the first name goes. Where the file system
  // has no hard links (FAT, exFAT) the move fails with its reason.
  if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), 0) != 0) return errno;
  struct stat now {};
  // Only our own entry's old name goes; anything put there meanwhile stays.
  if (::lstat(source.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
    ::unlink(source.c_str());
  }
  return 0;
}

Result PosixPlatform::MoveFolder(const std::string& source, const std::string& target) {
  if (source.empty() || target.empty()) return Errno(ENOENT);
  // rename(2) would silently replace an empty target folder: never replace.
  if (::syscall(SYS_renameat2, AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(),
                RENAME_NOREPLACE) == 0) {
    return Result::Done();
  }
  if (errno != EINVAL && errno != ENOSYS) return Errno(errno);
  // The file system cannot refuse by itself (some network and FUSE mounts).
  const int error = MoveWithoutReplacing(source, target);
  return error == 0 ? Result::Done() : Errno(error);
}

bool PosixPlatform::ListFolder(const std::string& mask, std::uint32_t attributes,
                               const std::function<bool(const FindEntry&)>& onEntry) {
  std::size_t sep = mask.find_last_of("/\\");
  std::string folder = sep == std::string::npos ? std::string(".") : mask.substr(0, sep);
  std::string pattern = sep == std::string::npos ? mask : mask.substr(sep + 1);
  if (folder.empty()) folder = "/";
  if (pattern.empty()) return false;

  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  const std::unique_ptr<DIR, int (*)(DIR*)> closeDir(dir, ::closedir);
  struct Name {
    std::string text;
    unsigned char type;
    bool operator<(const Name& other) const { return text < other.text; }
  };
  const bool namesOnly = (attributes & kListNamesOnly) != 0;
  const std::uint32_t filtered = faHidden | faSysFile | faVolumeID | faDirectory;
  bool any = false;
  // Hands on an entry the caller asked for; false when the caller says stop.
  const auto offer = [&](const FindEntry& entry) {
    if ((entry.attributes & filtered & ~attributes) != 0) return true;
    any = true;
    return onEntry(entry);
  };
  // A folder or file the file system named the type of, when only names are
  // asked for: nothing to look up.
  const auto typed = [namesOnly](unsigned char type) {
    return namesOnly && (type == DT_DIR || type == DT_REG);
  };
  const auto fromType = [](FindEntry& entry, unsigned char type) {
    entry.attributes = type == DT_DIR ? faDirectory : faArchive;
  };

  std::vector<Name> names;
  if (namesOnly && (attributes & kListAnyOrder) != 0) {
    // Straight from the folder, as the file system hands the names out; an
    // entry whose type the file system does not tell is looked at below.
    FindEntry entry;
    while (const dirent* e = ::readdir(dir)) {
      entry.name = e->d_name;
      if (!MatchesMask(entry.name, pattern)) continue;
      if (!typed(e->d_type)) {
        names.push_back(Name{std::move(entry.name), e->d_type});
        continue;
      }
      fromType(entry, e->d_type);
      if (!offer(entry)) return true;
    }
  } else {
    while (const dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (MatchesMask(name, pattern)) names.push_back(Name{std::move(name), e->d_type});
    }
  }
  // A stable order whatever the file system hands out.
  if ((attributes & kListAnyOrder) == 0) std::sort(names.begin(), names.end());

  // Entries are looked up relative to the open folder: one path step each
  // instead of the whole path, which is most of a large listing's cost.
  const int folderFd = ::dirfd(dir);
  for (const Name& item : names) {
    const std::string& name = item.text;
    FindEntry entry;
    entry.name = name;
    if (typed(item.type)) {
      fromType(entry, item.type);
      if (!offer(entry)) break;
      continue;
    }
    struct stat st {};
    if (::fstatat(folderFd, name.c_str(), &st, 0) != 0 &&
        ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      entry.attributes = faDirectory;
    } else {
      entry.attributes = faArchive;
      entry.size = static_cast<std::int64_t>(st.st_size);
    }
    if ((st.st_mode & S_IWUSR) == 0) entry.attributes |= faReadOnly;
    entry.dosDateTime = DosDateTime(static_cast<long long>(st.st_mtim.tv_sec));
    if (!offer(entry)) break;
  }
  return any;
}

std::string PosixPlatform::ShortPath(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 ? path : std::string();
}

std::string PosixPlatform::ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return std::string();
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

std::optional<std::string> PosixPlatform::GetEnvironmentVariable(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos) return std::nullopt;
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

RegistryValue PosixPlatform::ReadRegistryValue(RegistryRoot root, const std::string& keyPath,
                                               const std::string& valueName) {
  RegistryValue result;
  if (root == RegistryRoot::CurrentUser &&
      SameText(keyPath, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders") &&
      SameText(valueName, "AppData")) {
    std::string folder;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
      folder = xdg;
    } else if (std::string home = HomeFolder(); !home.empty()) {
      folder = home + "/.config";
    }
    if (!folder.empty()) {
      result.kind = RegistryValue::Kind::String;
      result.text = folder;
    }
  } else if (root == RegistryRoot::LocalMachine &&
             SameText(keyPath, "Software\\Microsoft\\Windows\\CurrentVersion") &&
             SameText(valueName, "ProgramFilesDir")) {
    result.kind = RegistryValue::Kind::String;
    result.text = "/opt";
  }
  return result;
}

std::string PosixPlatform::ProfileRead(const std::string& path, const std::string& section,
                                       const std::string& key, const std::string& def) {
  return profiles_.Read(path, section, key, def);
}

std::vector<std::string> PosixPlatform::ProfileListKeys(const std::string& path,
                                                        const std::string& section) {
  return profiles_.ListKeys(path, section);
}

Result PosixPlatform::ProfileWrite(const std::string& path, const std::string& section,
                                   const std::string& key, const std::string& value) {
  return Refused(profiles_.Write(path, section, key, value));
}

Result PosixPlatform::ProfileEraseSection(const std::string& path, const std::string& section) {
  return Refused(profiles_.EraseSection(path, section));
}

int PosixPlatform::ShellExecute(const std::string& file, const std::string& parameters,
                                const std::string& folder, int /*showMode*/) {
  if (file.empty()) return kShellFileNotFound;
  // An address goes to the opener as it is: "https://x" also names the
  // file "x" in a folder "https:" here, which must never run.
  const bool address = HasUrlScheme(file);
  std::string program;
  if (!address && file.find('/') == std::string::npos) {
    // Like the Windows shell: the current folder first, then the search path.
    program = IsExecutableFile(file) ? "./" + file : FindInPath(file);
  } else if (!address && IsExecutableFile(file)) {
    program = file;
  }
  if (!program.empty()) {
    if (program[0] != '/') {
      std::string cwd(PATH_MAX, '\0');
      if (::getcwd(cwd.data(), cwd.size()) == nullptr) return kShellPathNotFound;
      cwd.resize(std::strlen(cwd.c_str()));
      program = cwd + "/" + program;
    }
    return StartDetached(program, SplitCommandLine(parameters), folder);
  }
  struct stat st {};
  if (!address && ::stat(file.c_str(), &st) != 0 && !LooksLikeAddress(file)) return kShellFileNotFound;
  std::string opener = FindInPath("xdg-open");
  if (opener.empty()) return kShellNoAssociation;
  return StartDetached(opener, {file}, folder);
}

std::vector<TopLevelWindow> PosixPlatform::TopLevelWindows() {
  std::vector<TopLevelWindow> out;
  for (const X11Window& w : X11TopLevelWindows()) out.push_back({w.handle, w.title});
  return out;
}

namespace {

// Where one user's instances meet: $XDG_RUNTIME_DIR, else a folder of the
// user's own under /tmp. The path of `name` with `suffix` there; empty when
// there is no such folder.
std::string InstancePath(const std::string& name, const char* suffix) {
  std::string folder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) folder = runtime;
  }
  if (folder.empty()) {
    folder = "/tmp/quillan-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    // Refuse a folder that someone else planted there.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
      return std::string();
    }
  }
  std::string file = name;
  std::replace_if(file.begin(), file.end(), [](char c) { return c == '/' || c == '\\' || c == '\0'; },
                  '_');
  return folder + "/" + file + suffix;
}

// An activation token travels as one word of visible ASCII; anything else
// is dropped rather than handed to the window system.
constexpr std::size_t kMaxToken = 4096;
bool ValidToken(const std::string& token) {
  return token.size() <= kMaxToken &&
         std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

constexpr char kRequest[] = "forward";
constexpr char kAnswer[] = "ok\n";

bool SameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

bool Address(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  return true;
}

// Reads until a line end or `limit` bytes, waiting at most `ms` in all.
std::string ReadLine(int fd, std::size_t limit, int ms) {
  std::string line;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (line.size() < limit && line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[512];
    const ssize_t n = ::recv(fd, buf, std::min(sizeof buf, limit - line.size()), 0);
    if (n <= 0) break;
    line.append(buf, static_cast<std::size_t>(n));
  }
  return line;
}

}  // namespace

bool PosixPlatform::CreateNamedMutex(const std::string& name) {
  const std::string path = InstancePath(name, ".lock");
  if (path.empty()) return false;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held;
  }
  mutexFds_.push_back(fd);
  return false;
}

int PosixPlatform::ListenForwardRequests(const std::string& name) {
  const std::string path = InstancePath(name, ".socket");
  sockaddr_un address{};
  if (!Address(path, address)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  // The file that bind makes takes this mode: no moment open to others.
  ::fchmod(fd, 0600);
  // Whoever holds the name's lock owns the socket's name; one found there
  // is left by an instance that has ended.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 8) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool PosixPlatform::TakeForwardRequest(int listener, std::string& token) {
  for (;;) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return false;  // nothing (more) waiting
    // A request must come from this user, and in a moment: the window's
    // thread reads it.
    std::string line = SameUser(fd) ? ReadLine(fd, sizeof kRequest + kMaxToken + 1, 500) : "";
    const std::size_t end = line.find('\n');
    bool taken = false;
    if (end != std::string::npos && line.compare(0, sizeof kRequest - 1, kRequest) == 0) {
      line.resize(end);
      std::string rest = line.substr(sizeof kRequest - 1);
      if (rest.empty() || rest[0] == ' ') {
        rest = rest.empty() ? rest : rest.substr(1);
        token = ValidToken(rest) ? rest : std::string();
        ::send(fd, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
        taken = true;
      }
    }
    ::close(fd);
    if (taken) return true;
  }
}

bool PosixPlatform::SendForwardRequest(const std::string& name, const std::string& token) {
  const std::string path = InstancePath(name, ".socket");
  sockaddr_un address{};
  struct stat st {};
  if (!Address(path, address) || ::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) ||
      st.st_uid != ::getuid()) {
    return false;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  std::string request = kRequest;
  if (!token.empty() && ValidToken(token)) request += " " + token;
  request += "\n";
  // A full backlog means the instance is not taking requests: no waiting.
  const bool sent =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      SameUser(fd) &&
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size());
  // The instance answers from its event loop; one that hangs is given up.
  const bool answered = sent && ReadLine(fd, sizeof kAnswer, 2000) == kAnswer;
  ::close(fd);
  return answered;
}

namespace {

// A lock over the whole of an open file: an open-file-description lock,
// which belongs to the descriptor as flock does and is carried by network
// file systems, where the system has them; a process-wide record lock
// otherwise. Only the file's owner and group may open it at all, so no one
// else can stall a switch with a lock of their own.
int OfdLock(int fd, int command, struct flock& range) {
#ifdef F_OFD_SETLK
  const int ofd = command == F_SETLK ? F_OFD_SETLK : F_OFD_GETLK;
  if (::fcntl(fd, ofd, &range) == 0) return 0;
  if (errno != EINVAL) return errno;
#endif
  return ::fcntl(fd, command, &range) == 0 ? 0 : errno;
}

// 0 when taken, EAGAIN (or EACCES) while another holds it, else the reason.
int TryWriteLock(int fd) {
  struct flock range {};
  range.l_type = F_WRLCK;
  range.l_whence = SEEK_SET;
  return OfdLock(fd, F_SETLK, range);
}

// A shared lock, which a file open for reading allows: readers do not stop
// each other, only a writer. 0 when taken, EAGAIN while a writer holds it.
int TryReadLock(int fd) {
  struct flock range {};
  range.l_type = F_RDLCK;
  range.l_whence = SEEK_SET;
  return OfdLock(fd, F_SETLK, range);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

Result PosixPlatform::MayCreateIn(const std::string& folder, std::uint64_t count) {
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return Errno(errno);
  struct statvfs fs {};
  // Some file systems count no inodes at all (f_files 0); only a count that runs out says no.
  if (count > 0 && ::statvfs(folder.c_str(), &fs) == 0 && fs.f_files != 0 && fs.f_favail < count)
    return Errno(ENOSPC);
  return Result::Done();
}

// The lock file stays once made: removing it on release would let a waiter
// lock a file that no longer has the name while the next run makes a new
// one. A waiter keeps its file open while it waits and, once it holds the
// lock, checks that the name is still that file; when the name was removed
// or replaced meanwhile it starts again on the file now there.
FolderLock PosixPlatform::LockFolder(const std::string& path, LockMode mode, std::chrono::milliseconds wait,
                                     const std::function<bool(int round)>& waiting) {
  FolderLock result;
  if (!DirectoryExists(path)) return result;
  const std::string file = path + (path.back() == '/' ? "" : "/") + ".quillan.lock";
  result.where = file;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  const bool switching = mode == LockMode::Switch;
  int fd = -1;
  struct stat opened {};
  const auto give = [&](FolderLock::Kind kind, std::string error) {
    if (fd >= 0) ::close(fd);
    result.kind = kind;
    result.error = std::move(error);
    return result;
  };
  // Whether the name still stands for the open file.
  const auto stillNamed = [&] {
    struct stat named {};
    return ::lstat(file.c_str(), &named) == 0 && SameFile(opened, named);
  };
  for (int round = 0;; ++round) {
    if (fd < 0) {
      // No O_TRUNC, no link followed, no wait on a FIFO planted at the name.
      const int flags = (switching ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
      fd = switching ? ::open(file.c_str(), flags | O_CREAT | O_EXCL, 0660) : -1;
      if (fd >= 0) {
        // Ours: those of the installation's group may take it too, others may
        // not even read it, so no reader's lock can stall a switch.
        ::fchmod(fd, 0660);
      } else if (!switching || errno == EEXIST) {
        fd = ::open(file.c_str(), flags);
        // Removed meanwhile: make it again.
        if (fd < 0 && errno == ENOENT && switching && std::chrono::steady_clock::now() < deadline) continue;
      }
      if (fd < 0) {
        const int error = errno;
        if (!switching && error == ENOENT) return give(FolderLock::Kind::Free, {});  // no run ever switched here
        if (error == ELOOP || error == EISDIR) return give(FolderLock::Kind::Failed, "not a plain file");
        std::string why = std::strerror(error);
        struct stat other {};
        if (error == EACCES && ::lstat(file.c_str(), &other) == 0)
          why += " (the file is user " + std::to_string(other.st_uid) + "'s)";
        return give(FolderLock::Kind::Failed, why);
      }
      if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) return give(FolderLock::Kind::Failed, "not a plain file");
    }
    const int lockError = switching ? TryWriteLock(fd) : TryReadLock(fd);
    if (lockError != 0 && lockError != EAGAIN && lockError != EACCES)
      return give(FolderLock::Kind::Failed, std::strerror(lockError));
    if (!stillNamed()) {
      // A lock on a file that lost its name guards nothing: take the new one.
      ::close(fd);
      fd = -1;
      if (std::chrono::steady_clock::now() < deadline || round == 0) continue;
    } else if (lockError == 0) {
      result.kind = FolderLock::Kind::Held;
      result.handle = static_cast<std::uintptr_t>(fd) + 1;
      return result;
    }
    if (std::chrono::steady_clock::now() >= deadline || !waiting(round))
      return give(FolderLock::Kind::Busy, "held by another run");
    const auto left = deadline - std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(50)));
  }
}

void PosixPlatform::UnlockFolder(std::uintptr_t lock) {
  // Closing the descriptor releases its lock; the file stays for the next run.
  if (lock != 0) ::close(static_cast<int>(lock - 1));
}

WindowHandle PosixPlatform::FindWindowEx(const std::string& /*className*/,
                                         const std::string& title, WindowHandle after) {
  // X11 has no window classes in the Windows sense: the title decides.
  std::vector<X11Window> windows = X11TopLevelWindows();
  auto it = windows.begin();
  if (after != 0) {
    it = std::find_if(windows.begin(), windows.end(),
                      [after](const X11Window& w) { return w.handle == after; });
    if (it == windows.end()) return 0;
    ++it;
  }
  const long self = static_cast<long>(::getpid());
  for (; it != windows.end(); ++it) {
    // Mapping a toolkit's hidden helper window would show a stray window.
    if (it->pid != self && it->managed && EqualsIgnoringCase(it->title, title)) return it->handle;
  }
  return 0;
}

WindowHandle PosixPlatform::OwnApplicationWindow() { return 0; }

void PosixPlatform::ShowWindowNormal(WindowHandle window) { X11MapRaised(window); }

void PosixPlatform::SetForegroundWindow(WindowHandle window) { X11Activate(window); }

}  // namespace platform::posix

namespace platform {
Platform& NativePlatform() {
  static posix::PosixPlatform instance;
  return instance;
}
}  // namespace platform
