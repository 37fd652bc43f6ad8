// The platform as quillanctl sees it: the native one, except that the
// program presents itself as the window program beside it (so both read the
// same machine-wide quillan.ini), refuses every settings write, and keeps a
// record of the folder moves for the report.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace ctl {

struct MoveRecord {
  std::string source;
  std::string target;
  bool succeeded = false;
};

class CtlPlatform : public platform::Platform {
 public:
  // Forwards to `inner` (the native platform by default).
  explicit CtlPlatform(platform::Platform* inner = nullptr);

  // The window program's path: `executable` with its file name replaced by
  // "quillan" and its extension (if any) kept.
  static std::string WindowProgramPath(const std::string& executable);

  const std::vector<MoveRecord>& Moves() const { return moves_; }
  // Folders that were created (the installation check's inactive folders).
  const std::vector<std::string>& CreatedFolders() const { return created_; }
  // Settings writes that were refused (file paths), for the tests' sake.
  const std::vector<std::string>& RefusedWrites() const { return refusedWrites_; }

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateDirectory(const std::string& path) override;
  bool MoveFolder(const std::string& source, const std::string& target) override;
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
  bool ProfileWrite(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) override;
  bool ProfileEraseSection(const std::string& path, const std::string& section) override;
  int ShellExecute(const std::string& file, const std::string& parameters,
                   const std::string& folder, int showMode) override;
  std::vector<platform::TopLevelWindow> TopLevelWindows() override;
  bool CreateNamedMutex(const std::string& name) override;
  platform::WindowHandle FindWindowEx(const std::string& className, const std::string& title,
                                      platform::WindowHandle after) override;
  platform::WindowHandle OwnApplicationWindow() override;
  void ShowWindowNormal(platform::WindowHandle window) override;
  void SetForegroundWindow(platform::WindowHandle window) override;

 private:
  platform::Platform& inner_;
  std::vector<MoveRecord> moves_;
  std::vector<std::string> refusedWrites_;
  std::vector<std::string> created_;
};

// Installs a platform for the scope and restores the previous state after.
class InstalledPlatform {
 public:
  explicit InstalledPlatform(platform::Platform& p) { platform::Platform::SetInstance(&p); }
  ~InstalledPlatform() { platform::Platform::SetInstance(nullptr); }
  InstalledPlatform(const InstalledPlatform&) = delete;
  InstalledPlatform& operator=(const InstalledPlatform&) = delete;
};

}  // namespace ctl
