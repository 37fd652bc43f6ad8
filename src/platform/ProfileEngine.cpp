#include "platform/ProfileEngine.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string_view>
#include <system_error>
#include <unordered_map>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace profile {

namespace {

#ifdef _WIN32
const char* const kNewFileLineEnd = "\r\n";
#else
const char* const kNewFileLineEnd = "\n";
#endif

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Trim(const std::string& s) { return std::string(TrimView(s)); }

// What a C string API would see of the text.
std::string_view CutAtZero(std::string_view s) {
  std::size_t z = s.find('\0');
  return z == std::string_view::npos ? s : s.substr(0, z);
}

// A line break in a name or value would create lines of its own (a value
// could plant keys); Windows reads such a value back up to the break anyway.
std::string CutAtLineBreak(std::string s) {
  std::size_t z = s.find_first_of(std::string("\r\n\0", 3));
  if (z != std::string::npos) s.resize(z);
  return s;
}

std::string_view StripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

struct Stamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t mtimeNs = 0;
  std::int64_t ctimeNs = 0;
  bool operator==(const Stamp&) const = default;
};

enum class Kind { Missing, File, Other };

Kind StatPath(const std::string& path, Stamp& stamp) {
#ifdef _WIN32
  // std::filesystem's file times have whole seconds here, which would miss a
  // change of the same size within a second; kernel32 gives 100-ns times.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return Kind::Missing;
  if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return Kind::Other;
  const auto join = [](DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | static_cast<std::uint64_t>(low);
  };
  stamp = Stamp{};
  stamp.size = join(data.nFileSizeHigh, data.nFileSizeLow);
  const FILETIME& written = data.ftLastWriteTime;
  const FILETIME& created = data.ftCreationTime;
  stamp.mtimeNs = static_cast<std::int64_t>(join(written.dwHighDateTime, written.dwLowDateTime));
  stamp.ctimeNs = static_cast<std::int64_t>(join(created.dwHighDateTime, created.dwLowDateTime));
  // A file put in place by a rename (as every write here does) has another
  // index even when its size and times match the old one's.
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h, &info)) {
      stamp.device = info.dwVolumeSerialNumber;
      stamp.inode = join(info.nFileIndexHigh, info.nFileIndexLow);
    }
    CloseHandle(h);
  }
  return Kind::File;
#else
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? Kind::Missing : Kind::Other;
  if (!S_ISREG(st.st_mode)) return Kind::Other;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return Kind::File;
#endif
}

// Into one buffer of the file's size: a stream copied into a string holds
// the text two or three times over on the way.
bool ReadWhole(const std::string& path, std::string& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data.clear();
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (!ec) data.reserve(static_cast<std::size_t>(size));
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) data.append(chunk, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return false;
  data.shrink_to_fit();
  return true;
}

// A symbolic link is written through, so the link itself survives.
std::string ResolveLinks(const std::string& path) {
  fs::path p(path);
  std::error_code ec;
  for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++depth) {
    fs::path target = fs::read_symlink(p, ec);
    if (ec) break;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  return p.string();
}

#ifndef _WIN32
// ext4 (auto_da_alloc) and btrfs write a file's data before a rename that
// replaces another file commits, so after a crash the old or the new content
// is there, never an empty file. Elsewhere the data is flushed explicitly;
// skipping that flush where it is redundant keeps a write well below a
// millisecond.
bool RenameOrdersData(int fd) {
  struct statfs fsInfo {};
  return ::fstatfs(fd, &fsInfo) == 0 && RenameOrdersDataOn(static_cast<unsigned long>(fsInfo.f_type));
}
#endif

#ifdef _WIN32
// An existing file that a write may replace.
bool WritableFile(const std::string& target, const fs::file_status& st) {
  if (!fs::is_regular_file(st)) return false;
  // A read-only file refuses the write, whoever asks.
  if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) return false;
  std::ofstream probe(target, std::ios::binary | std::ios::app);
  return static_cast<bool>(probe);
}
#endif

std::mt19937_64& Random() {
  static std::mt19937_64 rng{std::random_device{}()};
  return rng;
}

std::string HostTag() {
  static const std::string tag = [] {
    char host[256] = {};
#ifdef _WIN32
    DWORD size = sizeof host - 1;
    GetComputerNameA(host, &size);
#else
    ::gethostname(host, sizeof host - 1);
#endif
    std::uint32_t h = 2166136261u;
    for (const char* c = host; *c != '\0'; ++c) h = (h ^ static_cast<unsigned char>(*c)) * 16777619u;
    std::ostringstream text;
    text << std::hex << h;
    return text.str();
  }();
  return tag;
}

// Temporary names carry the host and the process, so that a later write
// can tell a dead process's leftovers from a running writer's.
std::string TemporaryPrefix(const std::string& fileName) { return "." + fileName + ".tmp." + HostTag() + "."; }

// The process number of a leftover of `fileName` named by this host; 0
// for any other name.
long LeftoverProcess(const std::string& entry, const std::string& fileName) {
  const std::string prefix = TemporaryPrefix(fileName);
  if (entry.compare(0, prefix.size(), prefix) != 0) return 0;
  char* end = nullptr;
  const long pid = std::strtol(entry.c_str() + prefix.size(), &end, 10);
  return pid > 0 && end != nullptr && *end == '.' ? pid : 0;
}

#ifdef _WIN32
// Temporary files of this host whose process has ended.
void RemoveDeadLeftovers(const fs::path& folder, const std::string& fileName) {
  WIN32_FIND_DATAA found{};
  const std::string mask = (folder / (TemporaryPrefix(fileName) + "*")).string();
  HANDLE search = FindFirstFileA(mask.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const long pid = LeftoverProcess(found.cFileName, fileName);
    if (pid == 0 || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process != nullptr) {
      const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
      CloseHandle(process);
      if (!ended) continue;
    } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
      continue;  // there, but not ours to look at
    }
    DeleteFileA((folder / found.cFileName).string().c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}
#endif

#ifndef _WIN32
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& o) noexcept : fd_(o.Release()) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = o.Release();
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

// Path components, without empty ones and ".".
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(pos, slash - pos);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    pos = slash + 1;
  }
  return parts;
}

// Opens the folder a write of `path` goes into and names the entry in it,
// link by link through descriptors, so nobody can swap a link between the
// check and the use. The file's own link is followed only when the
// effective user owns it; a link on the way also when root owns it (root
// is trusted: /home may be its link).
bool OpenWriteTarget(const std::string& path, Fd& folder, std::string& name) {
  if (path.empty()) return false;
  const uid_t me = ::geteuid();
  std::vector<std::string> rest = SplitPath(path);
  std::reverse(rest.begin(), rest.end());  // the next component at the back
  Fd dir(::open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  int links = 0;
  while (dir && !rest.empty()) {
    const std::string part = std::move(rest.back());
    rest.pop_back();
    const bool last = rest.empty();
    Fd entry(::openat(dir.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!entry) {
      if (!last || errno != ENOENT) return false;
    } else if (::fstat(entry.get(), &st) != 0) {
      return false;
    }
    if (entry && S_ISLNK(st.st_mode)) {
      if (++links > 40) return false;
      if (st.st_uid != me && (last || st.st_uid != 0)) return false;
      std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
      const ssize_t n = ::readlinkat(entry.get(), "", target.data(), target.size());
      if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return false;
      target.resize(static_cast<std::size_t>(n));
      std::vector<std::string> parts = SplitPath(target);
      if (parts.empty()) return false;  // "/" is no file
      rest.insert(rest.end(), parts.rbegin(), parts.rend());
      if (target[0] == '/') dir = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
      continue;
    }
    if (last) {
      name = part;
      folder = std::move(dir);
      return name != "..";
    }
    if (!S_ISDIR(st.st_mode)) return false;
    dir = std::move(entry);
  }
  return false;
}

// Only into a folder and over a regular file that the effective user owns
// and may write; a read-only file refuses the write, whoever asks.
bool MayReplace(int folder, const std::string& name) {
  const uid_t me = ::geteuid();
  struct stat st {};
  if (::fstat(folder, &st) != 0 || st.st_uid != me) return false;
  if (::faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) != 0) return false;
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode) && st.st_uid == me && (st.st_mode & S_IWUSR) != 0 &&
         ::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) == 0;
}

// Temporary files of this host whose process has ended: a process killed
// between creating and renaming its temporary file leaves it behind.
void RemoveDeadLeftovers(int folder, const std::string& fileName) {
  Fd listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!listing) return;
  DIR* d = ::fdopendir(listing.get());
  if (d == nullptr) return;
  listing.Release();
  const uid_t me = ::geteuid();
  while (const dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    const long pid = LeftoverProcess(entry, fileName);
    if (pid == 0 || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::fstatat(::dirfd(d), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == me) {
      ::unlinkat(::dirfd(d), entry.c_str(), 0);
    }
  }
  ::closedir(d);
}

std::string NewTemporaryName(const std::string& fileName) { return TemporaryFileName(fileName, ::getpid()); }

// Writes `data` as the file `name` in `folder` by one rename, with the old
// file's mode and owner, if `mayRename` agrees when the data is on the disk.
bool ReplaceIn(int folder, const std::string& name, const std::string& data,
               const std::function<bool()>& mayRename) {
  RemoveDeadLeftovers(folder, name);
  struct stat original {};
  const bool haveOriginal = ::fstatat(folder, name.c_str(), &original, AT_SYMLINK_NOFOLLOW) == 0;
  // Unnamed until complete: a process killed while writing leaves nothing.
  Fd fd(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  const bool unnamed = static_cast<bool>(fd);
  std::string tempName;
  for (int attempt = 0; !fd && attempt < 50; ++attempt) {
    tempName = NewTemporaryName(name);
    fd = Fd(::openat(folder, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd && errno != EEXIST) return false;
  }
  if (!fd) return false;
  bool ok = true;
  if (haveOriginal) {
    ok = ::fchmod(fd.get(), original.st_mode & 07777) == 0;
    // The group may differ from the user's own (a set-group-id folder);
    // keep it when we may, as a plain write into the file would.
    if ((original.st_uid != ::geteuid() || original.st_gid != ::getegid()) &&
        ::fchown(fd.get(), original.st_uid, original.st_gid) != 0) {
    }
  }
  std::size_t done = 0;
  while (ok && done < data.size()) {
    ssize_t n = ::write(fd.get(), data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  const DiskSteps& disk = CurrentDiskSteps();
  ok = ok && (disk.renameOrdersData(fd.get()) || disk.flush(fd.get()) == 0);
  if (ok && unnamed) {
    // A name for the finished file; linking by descriptor needs a
    // capability, the /proc path does not.
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    ok = false;
    for (int attempt = 0; !ok && attempt < 50; ++attempt) {
      tempName = NewTemporaryName(name);
      ok = ::linkat(fd.get(), "", folder, tempName.c_str(), AT_EMPTY_PATH) == 0 ||
           ::linkat(AT_FDCWD, self.c_str(), folder, tempName.c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!ok && errno != EEXIST) break;
    }
    if (!ok) tempName.clear();
  }
  ok = ::close(fd.Release()) == 0 && ok;
  ok = ok && mayRename() && disk.rename(folder, tempName.c_str(), name.c_str()) == 0;
  if (!ok && !tempName.empty()) ::unlinkat(folder, tempName.c_str(), 0);
  return ok;
}
#endif

}  // namespace

#ifndef _WIN32
bool RenameOrdersDataOn(unsigned long type) {
  return type == 0xEF53UL /* ext2/3/4 */ || type == 0x9123683EUL /* btrfs */ ||
         type == 0x01021994UL /* tmpfs: nothing survives a crash anyway */;
}

DiskSteps& CurrentDiskSteps() {
  static DiskSteps steps{RenameOrdersData, [](int fd) { return ::fsync(fd); },
                         [](int folder, const char* from, const char* to) {
                           return ::renameat(folder, from, folder, to);
                         }};
  return steps;
}
#endif

std::string TemporaryFileName(const std::string& fileName, long processId) {
  std::ostringstream name;
  name << TemporaryPrefix(fileName) << processId << "." << std::hex << (Random()() & 0xFFFFFFFFu);
  return name.str();
}

namespace {

// SipHash-1-3 under a key drawn once per process: names chosen to share one
// hash chain (which an unkeyed hash makes easy for anyone who may write a
// settings file or name a snap-in folder) would need the key, which never
// leaves the process. Also the content digest that tells whether a file is
// still the one a batch read.
class SipHash {
 public:
  explicit SipHash(bool upperCase = false) : upper_(upperCase) {
    const Key& k = ProcessKey();
    v0_ = k[0] ^ 0x736f6d6570736575ULL;
    v1_ = k[1] ^ 0x646f72616e646f6dULL;
    v2_ = k[0] ^ 0x6c7967656e657261ULL;
    v3_ = k[1] ^ 0x7465646279746573ULL;
  }
  void Update(std::string_view s) {
    std::size_t i = 0;
    for (; i < s.size() && (length_ & 7) != 0; ++i) Add(s[i]);
    // Whole words at once, bytes in little-endian order as Add puts them.
    for (; i + 8 <= s.size(); i += 8) {
      std::uint64_t m = 0;
      for (int b = 7; b >= 0; --b) m = (m << 8) | Byte(s[i + static_cast<std::size_t>(b)]);
      Compress(m);
      length_ += 8;
    }
    for (; i < s.size(); ++i) Add(s[i]);
  }
  std::uint64_t Final() {
    Compress(word_ | (length_ << 56));
    v2_ ^= 0xff;
    Round();
    Round();
    Round();
    return v0_ ^ v1_ ^ v2_ ^ v3_;
  }

 private:
  using Key = std::array<std::uint64_t, 2>;
  static const Key& ProcessKey() {
    static const Key key = [] {
      std::random_device device;
      Key k{};
      for (std::uint64_t& half : k) half = (static_cast<std::uint64_t>(device()) << 32) ^ device();
      return k;
    }();
    return key;
  }
  static std::uint64_t Rotl(std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }
  std::uint64_t Byte(char c) const { return static_cast<unsigned char>(upper_ ? UpperChar(c) : c); }
  void Add(char c) {
    word_ |= Byte(c) << (8 * (length_ & 7));
    if ((++length_ & 7) == 0) {
      Compress(word_);
      word_ = 0;
    }
  }
  void Round() {
    v0_ += v1_; v1_ = Rotl(v1_, 13); v1_ ^= v0_; v0_ = Rotl(v0_, 32);
    v2_ += v3_; v3_ = Rotl(v3_, 16); v3_ ^= v2_;
    v0_ += v3_; v3_ = Rotl(v3_, 21); v3_ ^= v0_;
    v2_ += v1_; v1_ = Rotl(v1_, 17); v1_ ^= v2_; v2_ = Rotl(v2_, 32);
  }
  void Compress(std::uint64_t m) {
    v3_ ^= m;
    Round();
    v0_ ^= m;
  }
  bool upper_;
  std::uint64_t v0_, v1_, v2_, v3_;
  std::uint64_t word_ = 0, length_ = 0;
};

// Names compared and hashed ignoring ASCII case, without copies.
struct CaseHash {
  std::size_t operator()(std::string_view s) const {
    SipHash h(true);
    h.Update(s);
    return static_cast<std::size_t>(h.Final());
  }
};
struct CaseEqual {
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (UpperChar(a[i]) != UpperChar(b[i])) return false;
    }
    return true;
  }
};

}  // namespace

// The text held once, and offsets into it of 32 bits: a record per section
// and, for a section that was looked into, a table of its key lines. Every
// name and value is taken from the text when asked for, so a file of short
// keys costs its size and a few bytes per key, not three records per line.
struct ProfileEngine::Parsed {
  using Offset = std::uint32_t;
  static constexpr Offset kFree = 0xFFFFFFFFu;

  struct Section {
    Offset begin = 0;        // its header line; above the first header, its first line
    Offset contentNext = 0;  // just after the line end of its last line that is not blank
  };
  // Open addressing with linear probing; a slot holds a section number or
  // a key line's start, or kFree. First occurrences only.
  struct Table {
    std::vector<Offset> slots;
    std::size_t count = 0;
  };
  struct Line {
    std::size_t end = 0, next = 0;  // content up to `end`, line end up to `next`
  };

  std::string data;
  std::vector<Section> sections;
  bool firstHasHeader = true;  // false: sections[0] is the part above the first header
  Table sectionIndex;
  // Per section number, built on the first lookup of one of its keys.
  mutable std::unordered_map<std::uint32_t, Table> keyIndex;
  std::string lineEnd;
  bool hasLines = false;
  Line last;  // the last line, which begins at lastBegin
  std::size_t lastBegin = 0;

  void Parse();
  // Parses the lines from `pos` on (the start of a line after a line end)
  // as the continuation of what is parsed already.
  void ParseFrom(std::size_t pos);
  // Replaces `erase` bytes at `pos` by `insert`: an append to a text that
  // ends with a line end is parsed on its own (and the tables kept), so a
  // section written key by key costs linear time; anything else is parsed
  // again whole. False, nothing changed, when the text would pass the limit.
  bool Edit(std::size_t pos, std::size_t erase, const std::string& insert);
  std::uint64_t wholeParses = 0;  // by Edit

  // The line at `pos`, and in `equals` its first "=" (npos without one):
  // one pass over the line.
  Line LineAt(std::size_t pos, std::size_t* equals = nullptr) const {
    const char* const text = data.data();
    const std::size_t size = data.size();
    std::size_t eq = std::string::npos;
    std::size_t i = pos;
    for (; i < size && text[i] != '\n' && text[i] != '\r'; ++i) {
      if (text[i] == '=' && eq == std::string::npos) eq = i;
    }
    if (equals != nullptr) *equals = eq;
    Line line;
    line.end = i;
    line.next = i == size ? size : i + (text[i] == '\r' && i + 1 < size && text[i + 1] == '\n' ? 2 : 1);
    return line;
  }
  bool HasHeader(std::size_t i) const { return i > 0 || firstHasHeader; }
  std::size_t End(std::size_t i) const { return i + 1 < sections.size() ? sections[i + 1].begin : data.size(); }
  // Where the section's lines after its header begin.
  std::size_t BodyBegin(std::size_t i) const {
    return HasHeader(i) ? LineAt(sections[i].begin).next : sections[i].begin;
  }
  std::string_view SectionName(std::size_t i) const {
    if (!HasHeader(i)) return {};
    const std::string_view all(data);
    std::size_t b = sections[i].begin;
    while (IsBlank(data[b])) ++b;
    const std::size_t close = all.substr(b, LineAt(b).end - b).rfind(']') + b;
    return CutAtZero(TrimView(all.substr(b + 1, close - b - 1)));
  }
  // The key on the line at `begin`; false for a blank line or one without "=".
  // Only this line is searched: a file of lines without "=" must not cost
  // a search to its end for each of them.
  bool KeyAt(std::size_t begin, std::string_view* name, std::size_t* equals, Line* line) const {
    std::size_t eq = 0;
    const Line l = LineAt(begin, &eq);
    if (line != nullptr) *line = l;
    if (eq == std::string::npos) return false;
    if (name != nullptr) *name = CutAtZero(TrimView(std::string_view(data).substr(begin, eq - begin)));
    if (equals != nullptr) *equals = eq;
    return true;
  }
  std::string_view ValueAt(std::size_t begin) const {
    std::size_t eq = 0;
    Line l;
    if (!KeyAt(begin, nullptr, &eq, &l)) return {};
    return CutAtZero(StripQuotes(TrimView(std::string_view(data).substr(eq + 1, l.end - eq - 1))));
  }
  // Calls `onKey` with each key line's start in file order, until it answers false.
  template <typename F>
  void ForEachKey(std::size_t i, F onKey) const {
    const std::size_t end = End(i);
    for (std::size_t pos = BodyBegin(i); pos < end;) {
      Line l;
      if (KeyAt(pos, nullptr, nullptr, &l) && !onKey(pos)) return;
      pos = l.next;
    }
  }

  // The first section of that name; npos when there is none.
  std::size_t Find(const std::string& section) const {
    const std::string_view name = TrimView(section);
    return Lookup(sectionIndex, name, [this](Offset i) { return SectionName(i); });
  }
  // The first key line of that name in section `i`; npos when there is none.
  std::size_t FindKey(std::size_t i, const std::string& key) const {
    const std::string_view name = TrimView(key);
    // A short section is searched line by line: a file of thousands of
    // one-key sections then costs no table (and no cache misses) for each.
    if (End(i) - BodyBegin(i) <= kScanBytes && keyIndex.find(static_cast<std::uint32_t>(i)) == keyIndex.end()) {
      std::size_t found = std::string::npos;
      ForEachKey(i, [&](std::size_t pos) {
        if (!CaseEqual()(KeyName(pos), name)) return true;
        found = pos;
        return false;
      });
      return found;
    }
    Table& keys = KeysOf(i);
    return Lookup(keys, name, [this](Offset pos) { return KeyName(pos); });
  }
  static constexpr std::size_t kScanBytes = 256;
  // A key line's name, read only up to its "=".
  std::string_view KeyName(std::size_t pos) const {
    const std::size_t eq = data.find('=', pos);
    return CutAtZero(TrimView(std::string_view(data).substr(pos, eq - pos)));
  }
  Table& KeysOf(std::size_t i) const;

  template <typename NameOf>
  static std::size_t Lookup(const Table& t, std::string_view name, NameOf nameOf) {
    if (t.slots.empty()) return std::string::npos;
    const std::size_t mask = t.slots.size() - 1;
    for (std::size_t s = CaseHash()(name) & mask;; s = (s + 1) & mask) {
      if (t.slots[s] == kFree) return std::string::npos;
      if (CaseEqual()(nameOf(t.slots[s]), name)) return t.slots[s];
    }
  }
  // Adds `value` under `name` unless the name is there already.
  template <typename NameOf>
  static void Insert(Table& t, Offset value, std::string_view name, NameOf nameOf) {
    if ((t.count + 1) * 10 > t.slots.size() * 7) {
      Table grown;
      grown.slots.assign(std::max<std::size_t>(16, 2 * t.slots.size()), kFree);
      for (const Offset v : t.slots) {
        if (v != kFree) Insert(grown, v, nameOf(v), nameOf);
      }
      t = std::move(grown);
    }
    const std::size_t mask = t.slots.size() - 1;
    for (std::size_t s = CaseHash()(name) & mask;; s = (s + 1) & mask) {
      if (t.slots[s] == kFree) {
        t.slots[s] = value;
        ++t.count;
        return;
      }
      if (CaseEqual()(nameOf(t.slots[s]), name)) return;
    }
  }
  static Table Sized(std::size_t count) {
    Table t;
    std::size_t size = 16;
    while (size * 7 < (count + 1) * 10) size *= 2;
    t.slots.assign(size, kFree);
    return t;
  }
};

ProfileEngine::Parsed::Table& ProfileEngine::Parsed::KeysOf(std::size_t i) const {
  auto it = keyIndex.find(static_cast<std::uint32_t>(i));
  if (it != keyIndex.end()) return it->second;
  // Counted first, so a section of millions of keys gets its table at once.
  std::size_t count = 0;
  ForEachKey(i, [&count](std::size_t) { return ++count, true; });
  Table keys = Sized(count);
  const auto nameOf = [this](Offset pos) { return KeyName(pos); };
  ForEachKey(i, [&](std::size_t pos) {
    Insert(keys, static_cast<Offset>(pos), KeyName(pos), nameOf);
    return true;
  });
  return keyIndex.emplace(static_cast<std::uint32_t>(i), std::move(keys)).first->second;
}

void ProfileEngine::Parsed::Parse() {
  sections.clear();
  sections.shrink_to_fit();
  firstHasHeader = true;
  sectionIndex = Table{};
  keyIndex.clear();
  lineEnd.clear();
  hasLines = false;

  std::size_t pos = 0;
  if (data.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  ParseFrom(pos);
}

void ProfileEngine::Parsed::ParseFrom(std::size_t pos) {
  const std::string_view all(data);
  const auto sectionName = [this](Offset i) { return SectionName(i); };
  const auto keyName = [this](Offset p) { return KeyName(p); };
  // The last section's key table, when it was built, takes the new keys.
  Table* keys = nullptr;
  if (!sections.empty()) {
    auto it = keyIndex.find(static_cast<std::uint32_t>(sections.size() - 1));
    if (it != keyIndex.end()) keys = &it->second;
  }
  // As kernel32 reads: CR, LF and CR LF each end a line, so a file saved
  // with old Mac line ends is read line by line, and a stray CR before a
  // header only makes a blank line.
  while (pos < data.size()) {
    const Line line = LineAt(pos);
    if (lineEnd.empty() && line.next > line.end) lineEnd = data.substr(line.end, line.next - line.end);
    hasLines = true;
    last = line;
    lastBegin = pos;
    std::size_t b = pos;
    while (b < line.end && IsBlank(data[b])) ++b;
    if (b < line.end) {
      // The name runs to the line's last "]"; a "[" line without one is
      // no header (a typo must not move the keys below it elsewhere).
      const bool header = data[b] == '[' && all.substr(b, line.end - b).rfind(']') != std::string_view::npos;
      if (header || sections.empty()) {
        // Lines above the first header form a section without a name, which
        // a read by name reaches as kernel32's does, and no erase removes.
        if (sections.empty()) firstHasHeader = header;
        sections.push_back(Section{static_cast<Offset>(pos), 0});
        Insert(sectionIndex, static_cast<Offset>(sections.size() - 1), SectionName(sections.size() - 1),
               sectionName);
        keys = nullptr;
      }
      sections.back().contentNext = static_cast<Offset>(line.next);
      // No comment syntax: ";k=v" is a key named ";k", as kernel32 has it.
      std::string_view name;
      if (!header && keys != nullptr && KeyAt(pos, &name, nullptr, nullptr)) {
        Insert(*keys, static_cast<Offset>(pos), name, keyName);
      }
    }
    pos = line.next;
  }
  if (lineEnd.empty()) lineEnd = kNewFileLineEnd;
}

bool ProfileEngine::Parsed::Edit(std::size_t pos, std::size_t erase, const std::string& insert) {
  const std::size_t size = data.size() - erase + insert.size();
  if (size > MaxFileSize()) return false;
  // Room by an eighth again: appends stay linear, and while the text moves
  // the old and the new buffer together hold little more than twice it.
  if (data.capacity() < size) data.reserve(std::min(size + size / 8 + 4096, MaxFileSize()));
  // An append after a line end starts a line of its own, unless it would
  // join a CR at the end into one CR LF: parsed on its own then, whatever
  // the file's line ends.
  const bool afterLineEnd = !data.empty() && (data.back() == '\n' || data.back() == '\r');
  if (erase == 0 && pos == data.size() && afterLineEnd && !(data.back() == '\r' && !insert.empty() && insert.front() == '\n')) {
    data.append(insert);
    ParseFrom(pos);
    return true;
  }
  data.replace(pos, erase, insert);
  Parse();
  ++wholeParses;
  return true;
}

struct ProfileEngine::Entry {
  Stamp stamp;
  bool valid = false;
  Parsed parsed;
};

// What a batch read: no file, or the file of that stamp and content.
struct ProfileEngine::FileState {
  bool missing = true;
  Stamp stamp;
  std::uint64_t digest = 0;
};

struct ProfileEngine::Op {
  bool erase = false;
  std::string section, key, value;
};

struct ProfileEngine::Batch {
  std::string path;    // as given
  std::string target;  // links resolved
  int depth = 0;
  bool loaded = false;     // `parsed` holds the file (empty when it is missing)
  bool changed = false;    // and differs from it
  bool tooLarge = false;   // a change would have passed the size limit: nothing is written
  FileState read;          // what `parsed` was loaded from
  std::vector<Op> ops;     // the changes, to make again on a file another program changed
  Parsed parsed;
};

namespace {

const char* const kTooLarge = "the file would reach 4 GiB, more than a settings file may hold";
const char* const kKeptChanging =
    "another program kept changing it, so it was left as that program wrote it";
// How often a batch is made on content that another program changed while
// the batch was being written; a writer that changes the file faster than
// that wins, and the batch is refused.
constexpr int kAttempts = 5;

std::uint64_t Digest(std::string_view data) {
  SipHash h;
  h.Update(data);
  return h.Final();
}

// Whether the file at `path` is still the one read: the same file (device,
// index, size and times) with the same content, read in pieces so that a
// large file is not held twice.
bool StillAsRead(const std::string& path, bool missing, const Stamp& stamp, std::uint64_t digest) {
  Stamp now;
  const Kind kind = StatPath(path, now);
  if (missing) return kind == Kind::Missing;
  if (kind != Kind::File || !(now == stamp)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  SipHash h;
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    h.Update(std::string_view(chunk, static_cast<std::size_t>(in.gcount())));
  }
  return !in.bad() && h.Final() == digest;
}

}  // namespace

std::size_t& MaxFileSize() {
  static std::size_t limit = 0xFFFFFFF0u;
  return limit;
}

ProfileEngine::ProfileEngine() = default;
ProfileEngine::~ProfileEngine() = default;

void ProfileEngine::ClearCache() { cache_.clear(); }

void ProfileEngine::BeginBatch(const std::string& path) {
  std::unique_ptr<Batch>& batch = batches_[path];
  if (!batch) {
    batch = std::make_unique<Batch>();
    batch->path = path;
    batch->target = ResolveLinks(path);
    refusalReason_.clear();
  }
  ++batch->depth;
}

bool ProfileEngine::EndBatch(const std::string& path, bool commit) {
  auto it = batches_.find(path);
  if (it == batches_.end()) return true;
  if (--it->second->depth > 0) return true;
  std::unique_ptr<Batch> batch = std::move(it->second);
  batches_.erase(it);
  if (!commit) return true;
  if (batch->tooLarge) return false;
  for (int attempt = 1; batch->changed; ++attempt) {
    switch (Replace(batch->path, batch->target, batch->parsed.data, batch->read)) {
      case Outcome::Replaced:
        return true;
      case Outcome::Refused:
        return false;
      case Outcome::Changed:
        break;
    }
    if (attempt == kAttempts) {
      refusalReason_ = kKeptChanging;
      return false;
    }
    // Another program changed the file after it was read: the same changes
    // again on its new content. The old text goes first.
    std::vector<Op> ops = std::move(batch->ops);
    auto again = std::make_unique<Batch>();
    again->path = batch->path;
    again->target = batch->target;
    again->depth = 1;
    batch.reset();
    batches_[path] = std::move(again);
    bool ok = true;
    for (const Op& op : ops) ok = ok && Apply(path, op);
    batch = std::move(batches_[path]);
    batches_.erase(path);
    if (!ok) return false;
  }
  return true;
}

bool ProfileEngine::Apply(const std::string& path, const Op& op) {
  return op.erase ? EraseSection(path, op.section) : Write(path, op.section, op.key, op.value);
}

ProfileEngine::Batch* ProfileEngine::BatchFor(const std::string& path) {
  if (batches_.empty()) return nullptr;
  auto it = batches_.find(path);
  if (it != batches_.end()) return it->second.get();
  for (auto& [given, batch] : batches_) {
    if (batch->target == path) return batch.get();
  }
  return nullptr;
}

bool ProfileEngine::LoadBatch(Batch& batch) {
  if (batch.loaded) return true;
  bool missing = false;
  const Parsed* p = Load(batch.target, &missing);
  if (p == nullptr && !missing) return false;  // a folder, or a file that cannot be read
  batch.read = FileState{};
  batch.read.missing = p == nullptr;
  // The cached text becomes the batch's, not a second copy of a large file.
  auto cached = cache_.find(batch.target);
  if (p != nullptr && cached != cache_.end() && &cached->second->parsed == p) {
    batch.read.stamp = cached->second->stamp;
    batch.parsed.data = std::move(cached->second->parsed.data);
    cache_.erase(cached);
  } else {
    batch.parsed.data = p != nullptr ? p->data : std::string();
    StatPath(batch.target, batch.read.stamp);
  }
  batch.read.digest = Digest(batch.parsed.data);
  batch.parsed.Parse();
  batch.loaded = true;
  return true;
}

const ProfileEngine::Parsed* ProfileEngine::Load(const std::string& path, bool* isMissing) {
  if (isMissing != nullptr) *isMissing = false;
  if (const Batch* batch = BatchFor(path); batch != nullptr && batch->loaded) return &batch->parsed;
  Stamp before;
  Kind kind = StatPath(path, before);
  if (kind != Kind::File) {
    cache_.erase(path);
    if (isMissing != nullptr) *isMissing = kind == Kind::Missing;
    return nullptr;
  }
  std::unique_ptr<Entry>& entry = cache_[path];
  if (entry && entry->valid && entry->stamp == before) return &entry->parsed;

  if (!entry) entry = std::make_unique<Entry>();
  entry->valid = false;
  // Too large is known before reading: such a file is never held in memory.
  const bool tooLarge = before.size > MaxFileSize();
  if (tooLarge || !ReadWhole(path, entry->parsed.data) || entry->parsed.data.size() > MaxFileSize()) {
    if (tooLarge || entry->parsed.data.size() > MaxFileSize()) refusalReason_ = kTooLarge;
    cache_.erase(path);
    return nullptr;
  }
  entry->parsed.Parse();
  ++parseCount_;
  Stamp after;
  // A file that changed while it was read is parsed again on the next use.
  entry->valid = StatPath(path, after) == Kind::File && after == before;
  entry->stamp = after;
  return &entry->parsed;
}

std::string ProfileEngine::Read(const std::string& path, const std::string& section,
                                const std::string& key, const std::string& def) {
  // As kernel32: a default loses its trailing spaces (never its first
  // character, nor tabs or leading blanks).
  std::string result = def;
  while (result.size() > 1 && result.back() == ' ') result.pop_back();
  if (const Parsed* p = Load(path, nullptr)) {
    if (const std::size_t s = p->Find(section); s != std::string::npos) {
      if (const std::size_t k = p->FindKey(s, key); k != std::string::npos) result = std::string(p->ValueAt(k));
    }
  }
  if (result.size() > kValueBufferSize - 1) result.resize(kValueBufferSize - 1);
  return result;
}
std::vector<std::string> ProfileEngine::ListKeys(const std::string& path,
                                                 const std::string& section) {
  std::vector<std::string> names;
  const Parsed* p = Load(path, nullptr);
  if (p == nullptr) return names;
  const std::size_t s = p->Find(section);
  if (s == std::string::npos) return names;
  // Each name with its zero, then a final zero. When the buffer is too small
  // the last name is cut and followed by two zeros.
  std::size_t room = kKeyListBufferSize - 1;
  p->ForEachKey(s, [&](std::size_t pos) {
    const std::string_view name = p->KeyName(pos);
    // kernel32 leaves ";" names out of listings. An empty name would end
    // its zero-separated list there; the engine lists the keys after it.
    if (name.empty() || name.front() == ';') return true;
    if (name.size() + 1 <= room) {
      names.emplace_back(name);
      room -= name.size() + 1;
      return true;
    }
    if (room > 1) names.emplace_back(name.substr(0, room - 1));
    return false;
  });
  return names;
}

bool ProfileEngine::Write(const std::string& path, const std::string& sectionIn,
                          const std::string& keyIn, const std::string& valueIn) {
  const std::string section = CutAtLineBreak(sectionIn);
  const std::string key = CutAtLineBreak(keyIn);
  const std::string value = CutAtLineBreak(valueIn);
  Batch* batch = BatchFor(path);
  if (batch == nullptr) {
    // One write is a batch of one: made again when another program changed the file.
    BeginBatch(path);
    const bool ok = Write(path, section, key, value);
    return EndBatch(path, ok) && ok;
  }
  const std::string target = batch->target;
  if (!LoadBatch(*batch)) return false;

  bool missing = false;
  const Parsed* p = Load(target, &missing);
  std::string lineEnd = kNewFileLineEnd;
  if (p != nullptr) {
    lineEnd = p->lineEnd;
  } else if (!missing) {
    return false;  // a folder, or a file that cannot be read
  }

  // The change: `erase` bytes at `pos` become `insert`.
  std::size_t pos = p != nullptr ? p->data.size() : 0;
  std::size_t erase = 0;
  std::string insert;
  const std::string keyLine = Trim(key) + "=" + value;
  const std::size_t s = p != nullptr ? p->Find(section) : std::string::npos;
  if (s != std::string::npos) {
    if (const std::size_t k = p->FindKey(s, key); k != std::string::npos) {
      std::size_t equals = 0;
      Parsed::Line line;
      p->KeyAt(k, nullptr, &equals, &line);
      pos = equals + 1;
      erase = line.end - pos;
      insert = value;
    } else {
      pos = p->sections[s].contentNext;
      const Parsed::Line after = p->LineAt(pos == 0 ? 0 : pos - 1);
      if (pos == p->data.size() && after.next == after.end) {
        insert = lineEnd + keyLine;  // the file had no final line end
      } else {
        insert = keyLine + lineEnd;
      }
    }
  } else {
    if (p != nullptr && p->hasLines) {
      if (p->last.next == p->last.end) insert += lineEnd;
      if (p->last.end > p->lastBegin) insert += lineEnd;  // a blank line between sections
    }
    insert += "[" + Trim(section) + "]" + lineEnd + keyLine + lineEnd;
  }

  // The first change finds out whether the file could be replaced, so a
  // refused write fails here as it would without the batch.
  if (!batch->changed && !CanReplace(path, target)) return false;
  const std::uint64_t parses = batch->parsed.wholeParses;
  if (!batch->parsed.Edit(pos, erase, insert)) {
    batch->tooLarge = true;
    refusalReason_ = kTooLarge;
    return false;
  }
  parseCount_ += batch->parsed.wholeParses - parses;
  batch->changed = true;
  batch->ops.push_back(Op{false, section, key, value});
  return true;
}

bool ProfileEngine::EraseSection(const std::string& path, const std::string& section) {
  Batch* batch = BatchFor(path);
  if (batch == nullptr) {
    BeginBatch(path);
    const bool ok = EraseSection(path, section);
    return EndBatch(path, ok) && ok;
  }
  if (!LoadBatch(*batch)) return false;
  Parsed& p = batch->parsed;
  const std::string_view name = TrimView(section);
  std::vector<std::size_t> found;
  for (std::size_t i = p.sections.size(); i-- > 0;) {
    if (p.HasHeader(i) && CaseEqual()(p.SectionName(i), name)) found.push_back(i);
  }
  if (!found.empty()) {
    if (!batch->changed && !CanReplace(path, batch->target)) return false;
    // In place, from the last: no second copy of the text.
    for (const std::size_t i : found) {
      const std::size_t begin = p.sections[i].begin;
      p.data.erase(begin, p.End(i) - begin);
    }
    p.Parse();
    ++parseCount_;
    batch->changed = true;
  }
  batch->ops.push_back(Op{true, section, {}, {}});
  return true;
}

bool ProfileEngine::CanReplace(const std::string& path, const std::string& target) {
#ifdef _WIN32
  (void)path;
  std::error_code ec;
  fs::file_status st = fs::status(target, ec);
  return ec || !fs::exists(st) || WritableFile(target, st);
#else
  (void)target;
  Fd folder;
  std::string name;
  return OpenWriteTarget(path, folder, name) && MayReplace(folder.get(), name);
#endif
}

ProfileEngine::Outcome ProfileEngine::Replace(const std::string& path, const std::string& target,
                                              std::string& data, const FileState& expected) {
  // Checked after the new content is on the disk, just before the rename:
  // a change made until then is seen, and the replacement not made.
  bool changed = false;
  const auto unchanged = [&] {
    changed = !StillAsRead(target, expected.missing, expected.stamp, expected.digest);
    return !changed;
  };
#ifdef _WIN32
  (void)path;
  std::error_code ec;
  fs::file_status st = fs::status(target, ec);
  bool exists = !ec && fs::exists(st);
  if (exists && !WritableFile(target, st)) return Outcome::Refused;

  fs::path targetPath(target);
  fs::path folder = targetPath.parent_path();
  std::string tempName;
  RemoveDeadLeftovers(folder, targetPath.filename().string());
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 50 && h == INVALID_HANDLE_VALUE; ++attempt) {
    const std::string name = TemporaryFileName(targetPath.filename().string(), static_cast<long>(GetCurrentProcessId()));
    tempName = (folder / name).string();
    h = CreateFileA(tempName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return Outcome::Refused;
  }
  if (h == INVALID_HANDLE_VALUE) return Outcome::Refused;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < data.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
    DWORD written = 0;
    ok = WriteFile(h, data.data() + done, chunk, &written, nullptr) != 0 && written > 0;
    done += written;
  }
  ok = ok && FlushFileBuffers(h) != 0;
  ok = CloseHandle(h) != 0 && ok;
  ok = ok && unchanged() &&
       MoveFileExA(tempName.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    DeleteFileA(tempName.c_str());
    return changed ? Outcome::Changed : Outcome::Refused;
  }
#else
  Fd folder;
  std::string name;
  if (!OpenWriteTarget(path, folder, name) || !MayReplace(folder.get(), name)) return Outcome::Refused;
  if (!ReplaceIn(folder.get(), name, data, unchanged)) return changed ? Outcome::Changed : Outcome::Refused;
#endif

  // Keep the new content parsed so the next read does not parse it again.
  // The old content goes first: a large file is then held once more at most.
  cache_.erase(target);
  auto entry = std::make_unique<Entry>();
  entry->parsed.data = std::move(data);
  entry->parsed.Parse();
  ++parseCount_;
  Stamp after;
  entry->valid = StatPath(target, after) == Kind::File && after.size == entry->parsed.data.size();
  entry->stamp = after;
  cache_[target] = std::move(entry);
  return Outcome::Replaced;
}

}  // namespace profile
