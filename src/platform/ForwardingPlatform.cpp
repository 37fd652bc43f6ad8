#include "platform/ForwardingPlatform.h"

namespace platform {

ForwardingPlatform::ForwardingPlatform(Platform* inner)
    : inner_(inner != nullptr ? *inner : NativePlatform()) {}

bool ForwardingPlatform::FileExists(const std::string& path) { return inner_.FileExists(path); }

bool ForwardingPlatform::DirectoryExists(const std::string& path) {
  return inner_.DirectoryExists(path);
}

Result ForwardingPlatform::CreateDirectory(const std::string& path) {
  return inner_.CreateDirectory(path);
}

Result ForwardingPlatform::MoveFolder(const std::string& source, const std::string& target) {
  return inner_.MoveFolder(source, target);
}

bool ForwardingPlatform::ListFolder(const std::string& mask, std::uint32_t attributes,
                                    const std::function<bool(const FindEntry&)>& onEntry) {
  return inner_.ListFolder(mask, attributes, onEntry);
}

std::string ForwardingPlatform::ShortPath(const std::string& path) {
  return inner_.ShortPath(path);
}

Result ForwardingPlatform::MayCreateIn(const std::string& folder, std::uint64_t count) {
  return inner_.MayCreateIn(folder, count);
}

std::string ForwardingPlatform::ExecutablePath() { return inner_.ExecutablePath(); }

std::optional<std::string> ForwardingPlatform::GetEnvironmentVariable(const std::string& name) {
  return inner_.GetEnvironmentVariable(name);
}

RegistryValue ForwardingPlatform::ReadRegistryValue(RegistryRoot root, const std::string& keyPath,
                                                    const std::string& valueName) {
  return inner_.ReadRegistryValue(root, keyPath, valueName);
}

std::string ForwardingPlatform::ProfileRead(const std::string& path, const std::string& section,
                                            const std::string& key, const std::string& def) {
  return inner_.ProfileRead(path, section, key, def);
}

std::vector<std::string> ForwardingPlatform::ProfileListKeys(const std::string& path,
                                                             const std::string& section) {
  return inner_.ProfileListKeys(path, section);
}

Result ForwardingPlatform::ProfileWrite(const std::string& path, const std::string& section,
                                      const std::string& key, const std::string& value) {
  return inner_.ProfileWrite(path, section, key, value);
}

Result ForwardingPlatform::ProfileEraseSection(const std::string& path, const std::string& section) {
  return inner_.ProfileEraseSection(path, section);
}

void ForwardingPlatform::ProfileBeginBatch(const std::string& path) {
  inner_.ProfileBeginBatch(path);
}

Result ForwardingPlatform::ProfileEndBatch(const std::string& path, bool commit) {
  return inner_.ProfileEndBatch(path, commit);
}

int ForwardingPlatform::ShellExecute(const std::string& file, const std::string& parameters,
                                     const std::string& folder, int showMode) {
  return inner_.ShellExecute(file, parameters, folder, showMode);
}

std::vector<TopLevelWindow> ForwardingPlatform::TopLevelWindows() {
  return inner_.TopLevelWindows();
}

bool ForwardingPlatform::CreateNamedMutex(const std::string& name) {
  return inner_.CreateNamedMutex(name);
}

FolderLock ForwardingPlatform::LockFolder(const std::string& path, LockMode mode, std::chrono::milliseconds wait,
                                          const std::function<bool(int round)>& waiting) {
  return inner_.LockFolder(path, mode, wait, waiting);
}

void ForwardingPlatform::UnlockFolder(std::uintptr_t lock) { inner_.UnlockFolder(lock); }

WindowHandle ForwardingPlatform::FindWindowEx(const std::string& className,
                                              const std::string& title, WindowHandle after) {
  return inner_.FindWindowEx(className, title, after);
}

WindowHandle ForwardingPlatform::OwnApplicationWindow() { return inner_.OwnApplicationWindow(); }

void ForwardingPlatform::ShowWindowNormal(WindowHandle window) { inner_.ShowWindowNormal(window); }

void ForwardingPlatform::SetForegroundWindow(WindowHandle window) {
  inner_.SetForegroundWindow(window);
}

int ForwardingPlatform::ListenForwardRequests(const std::string& name) {
  return inner_.ListenForwardRequests(name);
}

bool ForwardingPlatform::TakeForwardRequest(int listener, std::string& token) {
  return inner_.TakeForwardRequest(listener, token);
}

bool ForwardingPlatform::SendForwardRequest(const std::string& name, const std::string& token) {
  return inner_.SendForwardRequest(name, token);
}

}  // namespace platform
