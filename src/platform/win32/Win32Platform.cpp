// The platform operations on Windows: the real kernel32, advapi32, shell32
// and user32 calls (ANSI forms throughout, as the texts are ANSI bytes).
#include "platform/win32/Win32Platform.h"

#include "platform/win32/WinApi.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "platform/ProfileEngine.h"

namespace platform {

namespace {

HWND g_ownApplicationWindow = nullptr;

HWND ToHwnd(WindowHandle w) { return reinterpret_cast<HWND>(w); }
WindowHandle FromHwnd(HWND w) { return reinterpret_cast<WindowHandle>(w); }

// The private-profile functions take a null pointer, not an empty text, to
// mean "no key" or "no value"; our texts are always real texts.
const char* Text(const std::string& s) { return s.c_str(); }

bool HasWildcard(const std::string& path) {
  return path.find_first_of("*?") != std::string::npos;
}

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::uint32_t DosDateTime(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
    return 0;
  }
  return (static_cast<std::uint32_t>(date) << 16) | time;
}

// The system's text for an error code, without its ".\r\n".
std::string ErrorText(DWORD error) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = n != 0 && text != nullptr ? std::string(text, n) : std::string();
  if (text != nullptr) LocalFree(text);
  // The caller puts the text at a line's end.
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' ' ||
                             result.back() == '.')) {
    result.pop_back();
  }
  return result.empty() ? "Error " + std::to_string(error) : result;
}

Result LastError() { return Result::Failed(ErrorText(GetLastError())); }

class Win32Platform final : public Platform {
 public:
  bool FileExists(const std::string& path) override {
    // A wildcard would make find-first answer for some other file.
    if (path.empty() || HasWildcard(path)) return false;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool DirectoryExists(const std::string& path) override {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  Result CreateDirectory(const std::string& path) override {
    return CreateDirectoryA(path.c_str(), nullptr) != 0 ? Result::Done() : LastError();
  }

  Result MoveFolder(const std::string& source, const std::string& target) override {
    // MoveFileA (no MOVEFILE_* flags) never replaces an existing target and
    // refuses to move a folder to another volume, so nothing is copied.
    return MoveFileA(source.c_str(), target.c_str()) != 0 ? Result::Done() : LastError();
  }

  bool ListFolder(const std::string& mask, std::uint32_t attributes,
                  const std::function<bool(const FindEntry&)>& onEntry) override {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(mask.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::uint32_t excluded =
        ~attributes & static_cast<std::uint32_t>(faHidden | faSysFile | faVolumeID | faDirectory);
    do {
      if ((data.dwFileAttributes & excluded) != 0) continue;
      FindEntry entry;
      entry.name = data.cFileName;
      entry.attributes = data.dwFileAttributes;
      entry.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                             data.nFileSizeLow);
      entry.dosDateTime = DosDateTime(data.ftLastWriteTime);
      if (!onEntry(entry)) break;
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return true;
  }

  std::string ShortPath(const std::string& path) override {
    char buffer[255];
    const DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    // A result that does not fit reports the size it needs: no short form here.
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
  }

  std::string ExecutablePath() override {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
      const DWORD size = static_cast<DWORD>(buffer.size());
      const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), size);
      if (n == 0) return std::string();
      if (n < size) return std::string(buffer.data(), n);
      buffer.resize(buffer.size() * 2);
    }
  }

  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override {
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    std::vector<char> buffer;
    for (;;) {
      buffer.resize(needed);
      const DWORD n = GetEnvironmentVariableA(name.c_str(), buffer.data(), needed);
      if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
      }
      if (n < needed) return std::string(buffer.data(), n);
      needed = n;  // changed in between: try again with the new size
    }
  }

  RegistryValue ReadRegistryValue(RegistryRoot root, const std::string& keyPath,
                                  const std::string& valueName) override {
    RegistryValue result;
    HKEY key = nullptr;
    // Read access only: asking for more fails on machine-wide keys for every
    // user without administrator rights.
    if (RegOpenKeyExA(RootKey(root), keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return result;
    }
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      data.resize(size + 1);
      DWORD got = size;
      status = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, data.data(), &got);
      if (status == ERROR_SUCCESS) {
        size = got;
        break;
      }
      if (status != ERROR_MORE_DATA) break;
      size = got;  // grew in between
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return result;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      const char* text = reinterpret_cast<const char*>(data.data());
      result.kind = RegistryValue::Kind::String;
      result.text.assign(text, strnlen(text, size));
    } else {
      result.kind = RegistryValue::Kind::OtherType;
    }
    return result;
  }

  std::string ProfileRead(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def) override {
    if (Batched(path)) return batches_.Read(path, section, key, def);
    char buffer[2048];
    const DWORD n = GetPrivateProfileStringA(Text(section), Text(key), Text(def), buffer,
                                             sizeof buffer, path.c_str());
    return std::string(buffer, n);
  }

  std::vector<std::string> ProfileListKeys(const std::string& path,
                                           const std::string& section) override {
    if (Batched(path)) return batches_.ListKeys(path, section);
    std::vector<char> buffer(16384);
    const DWORD n = GetPrivateProfileStringA(Text(section), nullptr, nullptr, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), path.c_str());
    std::vector<std::string> keys;
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (buffer[i] == '\0') {
        keys.emplace_back(buffer.data() + start, i - start);
        start = i + 1;
      }
    }
    if (start < n) keys.emplace_back(buffer.data() + start, n - start);
    return keys;
  }

  Result ProfileWrite(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value) override {
    if (Batched(path)) return Engine(batches_.Write(path, section, key, value));
    return WritePrivateProfileStringA(Text(section), Text(key), Text(value), path.c_str()) != 0 ? Result::Done()
                                                                                                : LastError();
  }

  Result ProfileEraseSection(const std::string& path, const std::string& section) override {
    if (Batched(path)) return Engine(batches_.EraseSection(path, section));
    return WritePrivateProfileStringA(Text(section), nullptr, nullptr, path.c_str()) != 0 ? Result::Done()
                                                                                          : LastError();
  }

  // kernel32 writes key by key, so a section rewritten through it and refused
  // part way would be left half old, half new. Batches go through the
  // portable engine (which reads and writes like kernel32) and replace the
  // file once at the end.
  void ProfileBeginBatch(const std::string& path) override {
    // kernel32 looks for a bare file name in the Windows folder; leave those to it.
    if (path.find_first_of("\\/:") == std::string::npos) return;
    ++batchDepth_[path];
    batches_.BeginBatch(path);
  }

  Result ProfileEndBatch(const std::string& path, bool commit) override {
    auto it = batchDepth_.find(path);
    if (it == batchDepth_.end()) return {};
    if (--it->second == 0) batchDepth_.erase(it);
    const Result ended = Engine(batches_.EndBatch(path, commit));
    // Later reads go to kernel32 again; the engine's cache would only go stale.
    if (batchDepth_.empty()) batches_.ClearCache();
    return ended;
  }

  // The engine's answer with its reason for a refusal.
  Result Engine(bool ok) const { return ok ? Result::Done() : Result::Failed(batches_.RefusalReason()); }

  int ShellExecute(const std::string& file, const std::string& parameters,
                   const std::string& folder, int showMode) override {
    HINSTANCE h = ShellExecuteA(GetDesktopWindow(), "open", file.c_str(), parameters.c_str(),
                                folder.c_str(), showMode);
    return static_cast<int>(reinterpret_cast<INT_PTR>(h));
  }

  std::vector<TopLevelWindow> TopLevelWindows() override {
    std::vector<TopLevelWindow> windows;
    HWND start = g_ownApplicationWindow;
    if (start == nullptr) start = GetWindow(GetDesktopWindow(), GW_CHILD);
    if (start == nullptr) return windows;
    for (HWND w = GetWindow(start, GW_HWNDFIRST); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      TopLevelWindow entry;
      entry.handle = FromHwnd(w);
      const int length = GetWindowTextLengthA(w);
      if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        const int n = GetWindowTextA(w, buffer.data(), length + 1);
        if (n > 0) entry.title.assign(buffer.data(), static_cast<std::size_t>(n));
      }
      windows.push_back(std::move(entry));
    }
    return windows;
  }

  bool CreateNamedMutex(const std::string& name) override {
    // Never closed: the name stays taken for the life of the process.
    HANDLE h = CreateMutexA(nullptr, TRUE, name.c_str());
    return h != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  }

  // A file in the folder opened without sharing its writing: every drive
  // letter, subst, UNC name or machine that reaches the folder meets the
  // same open file. The file is never truncated, removed or followed.
  FolderLock LockFolder(const std::string& path, LockMode mode, std::chrono::milliseconds wait,
                        const std::function<bool(int round)>& waiting) override {
    FolderLock result;
    if (!DirectoryExists(path)) return result;
    const char last = path.back();
    result.where = path + (last == '\\' || last == '/' ? "" : "\\") + ".quillan.lock";
    const bool switching = mode == LockMode::Switch;
    // Tick differences stay right across the counter's wrap.
    const DWORD start = GetTickCount();
    const DWORD limit = static_cast<DWORD>(std::min<long long>(wait.count(), 0x7fffffffLL));
    const auto left = [&] { return limit - std::min(limit, GetTickCount() - start); };
    for (int round = 0;; ++round) {
      // Every run shares only reading: readers hold it together, a switching
      // run (which writes) waits for them, and they for it.
      HANDLE h = CreateFileA(result.where.c_str(), switching ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                             FILE_SHARE_READ, nullptr, switching ? OPEN_ALWAYS : OPEN_EXISTING,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
      const DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
      if (h != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        const bool plain = GetFileInformationByHandle(h, &info) != 0 &&
                           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        if (!plain) {
          CloseHandle(h);
          result.kind = FolderLock::Kind::Failed;
          result.error = "not a plain file";
        } else {
          result.kind = FolderLock::Kind::Held;
          result.handle = reinterpret_cast<std::uintptr_t>(h);
        }
        return result;
      }
      if (!switching && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
        result.kind = FolderLock::Kind::Free;  // no run ever switched here
        return result;
      }
      if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) {
        const DWORD attributes = GetFileAttributesA(result.where.c_str());
        result.kind = FolderLock::Kind::Failed;
        result.error = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                           ? "not a plain file"
                           : ErrorText(error);
        return result;
      }
      if (left() == 0 || !waiting(round)) {
        result.kind = FolderLock::Kind::Busy;
        result.error = "held by another run";
        return result;
      }
      Sleep(std::min<DWORD>(left(), 50));
    }
  }

  void UnlockFolder(std::uintptr_t lock) override {
    if (lock != 0) CloseHandle(reinterpret_cast<HANDLE>(lock));
  }

  WindowHandle FindWindowEx(const std::string& className, const std::string& title,
                            WindowHandle after) override {
    return FromHwnd(FindWindowExA(nullptr, ToHwnd(after), className.c_str(), title.c_str()));
  }

  WindowHandle OwnApplicationWindow() override { return FromHwnd(g_ownApplicationWindow); }

  void ShowWindowNormal(WindowHandle window) override {
    ShowWindow(ToHwnd(window), SW_SHOWNORMAL);
  }

  void SetForegroundWindow(WindowHandle window) override {
    ::SetForegroundWindow(ToHwnd(window));
  }

 private:
  bool Batched(const std::string& path) const {
    return !batchDepth_.empty() && batchDepth_.count(path) != 0;
  }

  profile::ProfileEngine batches_;
  std::map<std::string, int> batchDepth_;
};

}  // namespace

Platform& NativePlatform() {
  static Win32Platform instance;
  return instance;
}

namespace win32 {

void SetOwnApplicationWindow(WindowHandle window) { g_ownApplicationWindow = ToHwnd(window); }

}  // namespace win32

}  // namespace platform
