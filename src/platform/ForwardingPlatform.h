// A platform that hands every call to another one. Wrappers derive from it
// and override only the calls they change.
#pragma once

#include "platform/Platform.h"

namespace platform {

class ForwardingPlatform : public Platform {
 public:
  // Forwards to `inner` (the native platform by default); not owned.
  explicit ForwardingPlatform(Platform* inner = nullptr);

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  Result CreateDirectory(const std::string& path) override;
  Result MoveFolder(const std::string& source, const std::string& target) override;
  bool ListFolder(const std::string& mask, std::uint32_t attributes,
                  const std::function<bool(const FindEntry&)>& onEntry) override;
  std::string ShortPath(const std::string& path) override;
  std::string ExecutablePath() override;
  Result MayCreateIn(const std::string& folder, std::uint64_t count) override;
  std::optional<std::string> GetEnvironmentVariable(const std::string& name) override;
  RegistryValue ReadRegistryValue(RegistryRoot root, const std::string& keyPath,
                                  const std::string& valueName) override;
  std::string ProfileRead(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def) override;
  std::vector<std::string> ProfileListKeys(const std::string& path,
                                           const std::string& section) override;
  Result ProfileWrite(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) override;
  Result ProfileEraseSection(const std::string& path, const std::string& section) override;
  void ProfileBeginBatch(const std::string& path) override;
  Result ProfileEndBatch(const std::string& path, bool commit) override;
  int ShellExecute(const std::string& file, const std::string& parameters,
                   const std::string& folder, int showMode) override;
  std::vector<TopLevelWindow> TopLevelWindows() override;
  bool CreateNamedMutex(const std::string& name) override;
  FolderLock LockFolder(const std::string& path, LockMode mode, std::chrono::milliseconds wait,
                        const std::function<bool(int round)>& waiting) override;
  void UnlockFolder(std::uintptr_t lock) override;
  WindowHandle FindWindowEx(const std::string& className, const std::string& title,
                            WindowHandle after) override;
  WindowHandle OwnApplicationWindow() override;
  void ShowWindowNormal(WindowHandle window) override;
  void SetForegroundWindow(WindowHandle window) override;
  int ListenForwardRequests(const std::string& name) override;
  bool TakeForwardRequest(int listener, std::string& token) override;
  bool SendForwardRequest(const std::string& name, const std::string& token) override;

 protected:
  Platform& Inner() { return inner_; }

 private:
  Platform& inner_;
};

}  // namespace platform
