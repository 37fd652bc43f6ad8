#include "support/PlatformDouble.h"

#include <algorithm>
#include <numeric>

namespace quillan_test {

using platform::RegistryRoot;
using platform::RegistryValue;
using platform::WindowHandle;

namespace {
std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}
}  // namespace

PlatformDouble::PlatformDouble(platform::Platform* real) : ForwardingPlatform(real) {}

bool PlatformDouble::Fault::Hits(const std::string& a, const std::string& b) {
  ++seen;
  if (nth > 0 && seen == nth) return true;
  if (predicate && (predicate(a) || (!b.empty() && predicate(b)))) return true;
  return false;
}

void PlatformDouble::ClearFailures() {
  moveFault_ = Fault{};
  createFault_ = Fault{};
  writeFault_ = Fault{};
  eraseFault_ = Fault{};
  mayCreateFault_ = Fault{};
}

void PlatformDouble::SetRegistryString(RegistryRoot root, const std::string& keyPath,
                                       const std::string& valueName, const std::string& text) {
  RegistryValue v;
  v.kind = RegistryValue::Kind::String;
  v.text = text.substr(0, text.find('\0'));
  registry_[{static_cast<int>(root), Upper(keyPath), Upper(valueName)}] = v;
}

void PlatformDouble::SetRegistryWrongType(RegistryRoot root, const std::string& keyPath,
                                          const std::string& valueName) {
  RegistryValue v;
  v.kind = RegistryValue::Kind::OtherType;
  registry_[{static_cast<int>(root), Upper(keyPath), Upper(valueName)}] = v;
}

void PlatformDouble::SetRegistryMissing(RegistryRoot root, const std::string& keyPath,
                                        const std::string& valueName) {
  registry_[{static_cast<int>(root), Upper(keyPath), Upper(valueName)}] = RegistryValue{};
}

std::string PlatformDouble::EnvKey(const std::string& name) {
#ifdef _WIN32
  return Upper(name);
#else
  return name;
#endif
}

void PlatformDouble::SetEnvironment(const std::string& name, const std::string& value) {
  environment_[EnvKey(name)] = value;
}

void PlatformDouble::UnsetEnvironment(const std::string& name) {
  environment_[EnvKey(name)] = std::nullopt;
}

void PlatformDouble::SetTopLevelWindows(std::vector<FakeWindow> windows) {
  windows_ = std::move(windows);
}

void PlatformDouble::RecordShellExecute(int answer) { shellAnswer_ = answer; }

void PlatformDouble::FakeNamedMutex(bool existed) { mutexAnswer_ = existed; }

int PlatformDouble::TotalCalls() const {
  return std::accumulate(counts_.begin(), counts_.end(), 0);
}

void PlatformDouble::ResetCounts() {
  for (auto& c : counts_) c = 0;
}

bool PlatformDouble::FileExists(const std::string& path) {
  Count(Op::FileExists);
  return Inner().FileExists(path);
}

bool PlatformDouble::DirectoryExists(const std::string& path) {
  Count(Op::DirectoryExists);
  return Inner().DirectoryExists(path);
}

platform::Result PlatformDouble::CreateDirectory(const std::string& path) {
  Count(Op::CreateDirectory);
  if (createFault_.Hits(path)) return Injected();
  return Inner().CreateDirectory(path);
}

platform::Result PlatformDouble::MoveFolder(const std::string& source, const std::string& target) {
  Count(Op::MoveFolder);
  const platform::Result moved = moveFault_.Hits(source, target) ? Injected() : Inner().MoveFolder(source, target);
  moves_.push_back({source, target, moved.ok});
  return moved;
}

bool PlatformDouble::ListFolder(const std::string& mask, std::uint32_t attributes,
                                const std::function<bool(const platform::FindEntry&)>& onEntry) {
  Count(Op::ListFolder);
  return Inner().ListFolder(mask, attributes, onEntry);
}

std::string PlatformDouble::ShortPath(const std::string& path) {
  Count(Op::ShortPath);
  if (shortPath_) return shortPath_(path);
  return Inner().ShortPath(path);
}

std::string PlatformDouble::ExecutablePath() {
  Count(Op::ExecutablePath);
  if (exePath_) return *exePath_;
  return Inner().ExecutablePath();
}

std::optional<std::string> PlatformDouble::GetEnvironmentVariable(const std::string& name) {
  Count(Op::GetEnvironmentVariable);
  auto it = environment_.find(EnvKey(name));
  if (it != environment_.end()) return it->second;
  return Inner().GetEnvironmentVariable(name);
}

RegistryValue PlatformDouble::ReadRegistryValue(RegistryRoot root, const std::string& keyPath,
                                                const std::string& valueName) {
  Count(Op::ReadRegistryValue);
  auto it = registry_.find({static_cast<int>(root), Upper(keyPath), Upper(valueName)});
  if (it != registry_.end()) return it->second;
  if (onlyFakeRegistry_) return RegistryValue{};
  return Inner().ReadRegistryValue(root, keyPath, valueName);
}

std::string PlatformDouble::ProfileRead(const std::string& path, const std::string& section,
                                        const std::string& key, const std::string& def) {
  Count(Op::ProfileRead);
  return Inner().ProfileRead(path, section, key, def);
}

std::vector<std::string> PlatformDouble::ProfileListKeys(const std::string& path,
                                                         const std::string& section) {
  Count(Op::ProfileListKeys);
  return Inner().ProfileListKeys(path, section);
}

platform::Result PlatformDouble::ProfileWrite(const std::string& path, const std::string& section,
                                              const std::string& key, const std::string& value) {
  Count(Op::ProfileWrite);
  if (writeFault_.Hits(path)) return platform::Result::Failed({});
  return Inner().ProfileWrite(path, section, key, value);
}

platform::Result PlatformDouble::ProfileEraseSection(const std::string& path, const std::string& section) {
  Count(Op::ProfileEraseSection);
  if (eraseFault_.Hits(path)) return platform::Result::Failed({});
  return Inner().ProfileEraseSection(path, section);
}

int PlatformDouble::ShellExecute(const std::string& file, const std::string& parameters,
                                 const std::string& folder, int showMode) {
  Count(Op::ShellExecute);
  if (shellAnswer_) {
    shellCalls_.push_back({file, parameters, folder, showMode});
    return *shellAnswer_;
  }
  return Inner().ShellExecute(file, parameters, folder, showMode);
}

std::vector<platform::TopLevelWindow> PlatformDouble::TopLevelWindows() {
  Count(Op::TopLevelWindows);
  if (!windows_) return Inner().TopLevelWindows();
  std::vector<platform::TopLevelWindow> out;
  for (const FakeWindow& w : *windows_) out.push_back({w.handle, w.title});
  return out;
}

bool PlatformDouble::CreateNamedMutex(const std::string& name) {
  Count(Op::CreateNamedMutex);
  if (mutexAnswer_) {
    mutexNames_.push_back(name);
    return *mutexAnswer_;
  }
  return Inner().CreateNamedMutex(name);
}

platform::Result PlatformDouble::MayCreateIn(const std::string& folder, std::uint64_t count) {
  Count(Op::MayCreateIn);
  if (mayCreateFault_.Hits(folder)) return Injected();
  return Inner().MayCreateIn(folder, count);
}

platform::FolderLock PlatformDouble::LockFolder(const std::string& path, platform::LockMode mode,
                                                std::chrono::milliseconds wait,
                                                const std::function<bool(int round)>& waiting) {
  Count(Op::LockFolder);
  if (lockAnswer_) {
    if (lockAnswer_->kind == platform::FolderLock::Kind::Busy && wait.count() > 0) waiting(0);
    return *lockAnswer_;
  }
  platform::FolderLock lock = Inner().LockFolder(path, mode, wait, waiting);
  if (lock.kind == platform::FolderLock::Kind::Held) {
    heldLocks_.push_back(path);
    lockPaths_[lock.handle] = path;
  }
  return lock;
}

void PlatformDouble::UnlockFolder(std::uintptr_t lock) {
  Count(Op::UnlockFolder);
  if (const auto it = lockPaths_.find(lock); it != lockPaths_.end()) {
    heldLocks_.erase(std::find(heldLocks_.begin(), heldLocks_.end(), it->second));
    lockPaths_.erase(it);
  }
  Inner().UnlockFolder(lock);
}

WindowHandle PlatformDouble::FindWindowEx(const std::string& className, const std::string& title,
                                          WindowHandle after) {
  Count(Op::FindWindowEx);
  if (!windows_) return Inner().FindWindowEx(className, title, after);
  auto it = windows_->begin();
  if (after != 0) {
    it = std::find_if(windows_->begin(), windows_->end(),
                      [after](const FakeWindow& w) { return w.handle == after; });
    if (it == windows_->end()) return 0;
    ++it;
  }
  for (; it != windows_->end(); ++it) {
    if (it->className == className && it->title == title) return it->handle;
  }
  return 0;
}

WindowHandle PlatformDouble::OwnApplicationWindow() {
  Count(Op::OwnApplicationWindow);
  if (windows_) return ownWindow_;
  return ownWindow_ != 0 ? ownWindow_ : Inner().OwnApplicationWindow();
}

void PlatformDouble::ShowWindowNormal(WindowHandle window) {
  Count(Op::ShowWindowNormal);
  shown_.push_back(window);
  if (!windows_) Inner().ShowWindowNormal(window);
}

void PlatformDouble::SetForegroundWindow(WindowHandle window) {
  Count(Op::SetForegroundWindow);
  foreground_.push_back(window);
  if (!windows_) Inner().SetForegroundWindow(window);
}

int PlatformDouble::ListenForwardRequests(const std::string& name) {
  if (!mutexAnswer_) return Inner().ListenForwardRequests(name);
  forwardListeners_.push_back(name);
  return kFakeListener;
}

bool PlatformDouble::TakeForwardRequest(int listener, std::string& token) {
  if (listener != kFakeListener) return Inner().TakeForwardRequest(listener, token);
  if (forwardQueue_.empty()) return false;
  token = forwardQueue_.front();
  forwardQueue_.pop_front();
  return true;
}

bool PlatformDouble::SendForwardRequest(const std::string& name, const std::string& token) {
  if (!mutexAnswer_) return Inner().SendForwardRequest(name, token);
  forwardSent_.push_back(name + "|" + token);
  return false;
}

}  // namespace quillan_test
