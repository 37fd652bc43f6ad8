// A platform for tests: forwards to the real one unless told otherwise, so a
// test can inject failures, fake the registry, the environment and the window
// list, record shell starts and count calls.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ForwardingPlatform.h"

namespace quillan_test {

enum class Op : std::size_t {
  FileExists,
  DirectoryExists,
  CreateDirectory,
  MoveFolder,
  ListFolder,
  ShortPath,
  ExecutablePath,
  GetEnvironmentVariable,
  ReadRegistryValue,
  ProfileRead,
  ProfileListKeys,
  ProfileWrite,
  ProfileEraseSection,
  ShellExecute,
  TopLevelWindows,
  CreateNamedMutex,
  FindWindowEx,
  OwnApplicationWindow,
  ShowWindowNormal,
  SetForegroundWindow,
  LockFolder,
  UnlockFolder,
  MayCreateIn,
  Count_
};

struct ShellCall {
  std::string file;
  std::string parameters;
  std::string folder;
  int showMode = 0;
  bool operator==(const ShellCall&) const = default;
};

struct MoveCall {
  std::string source;
  std::string target;
  bool succeeded = false;
};

struct FakeWindow {
  platform::WindowHandle handle = 0;
  std::string title;
  std::string className = "TApplication";
};

class PlatformDouble : public platform::ForwardingPlatform {
 public:
  using PathPredicate = std::function<bool(const std::string&)>;

  // Forwards to `real` (the native platform by default).
  explicit PlatformDouble(platform::Platform* real = nullptr);

  // --- failure injection ---
  // A call fails (without reaching the real platform) when the predicate
  // holds for one of its paths (MoveFolder: source or target; profile calls:
  // the file path), or when it is the nth call of that operation counted
  // from the moment the rule is set (1 = the next call).
  void FailMoveFolderWhen(PathPredicate predicate) { moveFault_.predicate = std::move(predicate); }
  void FailMoveFolderOnCall(int n) { moveFault_.SetNth(n); }
  void FailCreateDirectoryWhen(PathPredicate predicate) {
    createFault_.predicate = std::move(predicate);
  }
  void FailCreateDirectoryOnCall(int n) { createFault_.SetNth(n); }
  // MayCreateIn answers false for these folders.
  void FailMayCreateInWhen(PathPredicate predicate) { mayCreateFault_.predicate = std::move(predicate); }
  void FailProfileWriteWhen(PathPredicate predicate) { writeFault_.predicate = std::move(predicate); }
  void FailProfileWriteOnCall(int n) { writeFault_.SetNth(n); }
  void FailProfileEraseWhen(PathPredicate predicate) { eraseFault_.predicate = std::move(predicate); }
  void FailProfileEraseOnCall(int n) { eraseFault_.SetNth(n); }
  void ClearFailures();
  // The reason an injected failure gives.
  void SetInjectedErrorText(std::string text) { injectedErrorText_ = std::move(text); }

  // --- registry ---
  void SetRegistryString(platform::RegistryRoot root, const std::string& keyPath,
                         const std::string& valueName, const std::string& text);
  void SetRegistryWrongType(platform::RegistryRoot root, const std::string& keyPath,
                            const std::string& valueName);
  void SetRegistryMissing(platform::RegistryRoot root, const std::string& keyPath,
                          const std::string& valueName);
  // When set, values not given above are Missing instead of asking the real platform.
  void UseOnlyFakeRegistry(bool only) { onlyFakeRegistry_ = only; }

  // --- environment ---
  void SetEnvironment(const std::string& name, const std::string& value);
  void UnsetEnvironment(const std::string& name);

  // --- windows ---
  // Replaces the real window list; FindWindowEx then searches this list
  // (class and title exact), and showing/activating are only recorded.
  void SetTopLevelWindows(std::vector<FakeWindow> windows);
  void SetOwnApplicationWindow(platform::WindowHandle handle) { ownWindow_ = handle; }
  const std::vector<platform::WindowHandle>& ShownWindows() const { return shown_; }
  const std::vector<platform::WindowHandle>& ForegroundWindows() const { return foreground_; }

  // --- shell ---
  // Records every ShellExecute call instead of starting anything.
  void RecordShellExecute(int answer = 42);
  // Hands ShellExecute to the real platform again: programs really start.
  void StartProgramsForReal() { shellAnswer_.reset(); }
  const std::vector<ShellCall>& ShellCalls() const { return shellCalls_; }

  // --- mutex ---
  // Records names and answers `existed` instead of creating a mutex.
  void FakeNamedMutex(bool existed);
  const std::vector<std::string>& MutexNames() const { return mutexNames_; }
  // With a faked mutex, requests to come forward are faked too: a running
  // instance listens on kFakeListener and takes the queued requests' tokens;
  // a later start's requests are recorded as "name|token".
  static constexpr int kFakeListener = 1000;
  void QueueForwardRequest(const std::string& token) { forwardQueue_.push_back(token); }
  const std::vector<std::string>& ForwardListeners() const { return forwardListeners_; }
  const std::vector<std::string>& SentForwardRequests() const { return forwardSent_; }

  // --- folder locks (taken for real through the inner platform) ---
  // Folders whose lock is held now (taken to switch), in the order they were taken.
  const std::vector<std::string>& HeldFolderLocks() const { return heldLocks_; }
  // Answers every LockFolder with `answer` (its status and error) instead
  // of locking; a Busy answer first calls `waiting` as a real wait would.
  void FakeFolderLock(platform::FolderLock answer) { lockAnswer_ = std::move(answer); }

  // --- file system ---
  void SetExecutablePath(const std::string& path) { exePath_ = path; }
  // Replaces ShortPath (e.g. to simulate 8.3 names).
  void SetShortPath(std::function<std::string(const std::string&)> shortPath) {
    shortPath_ = std::move(shortPath);
  }
  const std::vector<MoveCall>& Moves() const { return moves_; }

  // --- counting ---
  int Calls(Op op) const { return counts_[static_cast<std::size_t>(op)]; }
  int TotalCalls() const;
  void ResetCounts();

  // platform::Platform; each call is counted
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  platform::Result CreateDirectory(const std::string& path) override;
  platform::Result MoveFolder(const std::string& source, const std::string& target) override;
  bool ListFolder(const std::string& mask, std::uint32_t attributes,
                  const std::function<bool(const platform::FindEntry&)>& onEntry) override;
  std::string ShortPath(const std::string& path) override;
  std::string ExecutablePath() override;
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
  platform::RegistryValue ReadRegistryValue(platform::RegistryRoot root,
                                            const std::string& keyPath,
                                            const std::string& valueName) override;
  std::string ProfileRead(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def) override;
  std::vector<std::string> ProfileListKeys(const std::string& path,
                                           const std::string& section) override;
  platform::Result ProfileWrite(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) override;
  platform::Result ProfileEraseSection(const std::string& path, const std::string& section) override;
  int ShellExecute(const std::string& file, const std::string& parameters,
                   const std::string& folder, int showMode) override;
  std::vector<platform::TopLevelWindow> TopLevelWindows() override;
  bool CreateNamedMutex(const std::string& name) override;
  platform::Result MayCreateIn(const std::string& folder, std::uint64_t count) override;
  platform::FolderLock LockFolder(const std::string& path, platform::LockMode mode, std::chrono::milliseconds wait,
                                  const std::function<bool(int round)>& waiting) override;
  void UnlockFolder(std::uintptr_t lock) override;
  platform::WindowHandle FindWindowEx(const std::string& className, const std::string& title,
                                      platform::WindowHandle after) override;
  platform::WindowHandle OwnApplicationWindow() override;
  void ShowWindowNormal(platform::WindowHandle window) override;
  void SetForegroundWindow(platform::WindowHandle window) override;
  int ListenForwardRequests(const std::string& name) override;
  bool TakeForwardRequest(int listener, std::string& token) override;
  bool SendForwardRequest(const std::string& name, const std::string& token) override;

 private:
  platform::Result Injected() const { return platform::Result::Failed(injectedErrorText_); }

  std::string injectedErrorText_ = "Injected failure";
  struct Fault {
    PathPredicate predicate;
    int nth = 0;   // 0: no call-count rule
    int seen = 0;  // calls since the rule was set
    void SetNth(int n) {
      nth = n;
      seen = 0;
    }
    bool Hits(const std::string& a, const std::string& b = std::string());
  };

  void Count(Op op) { ++counts_[static_cast<std::size_t>(op)]; }
  // Environment names ignore case on Windows.
  static std::string EnvKey(const std::string& name);

  // quillanctl lists folders on a second thread.
  std::array<std::atomic<int>, static_cast<std::size_t>(Op::Count_)> counts_{};
  Fault moveFault_, createFault_, writeFault_, eraseFault_, mayCreateFault_;

  using RegistryKey = std::tuple<int, std::string, std::string>;
  std::map<RegistryKey, platform::RegistryValue> registry_;
  bool onlyFakeRegistry_ = false;

  std::map<std::string, std::optional<std::string>> environment_;

  std::optional<std::vector<FakeWindow>> windows_;
  platform::WindowHandle ownWindow_ = 0;
  std::vector<platform::WindowHandle> shown_, foreground_;

  std::vector<std::string> heldLocks_;
  std::map<std::uintptr_t, std::string> lockPaths_;
  std::optional<platform::FolderLock> lockAnswer_;

  std::optional<int> shellAnswer_;
  std::vector<ShellCall> shellCalls_;

  std::optional<bool> mutexAnswer_;
  std::vector<std::string> mutexNames_;
  std::deque<std::string> forwardQueue_;
  std::vector<std::string> forwardListeners_, forwardSent_;

  std::optional<std::string> exePath_;
  std::function<std::string(const std::string&)> shortPath_;
  std::vector<MoveCall> moves_;
};

using platform::ScopedPlatform;

}  // namespace quillan_test
