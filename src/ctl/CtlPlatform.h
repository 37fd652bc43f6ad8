// The platform as quillanctl sees it: the native one, except that the
// program presents itself as the window program beside it (so both read the
// same machine-wide quillan.ini), refuses every settings write and starts
// nothing.
#pragma once

#include <string>
#include <vector>

#include "platform/ForwardingPlatform.h"

namespace ctl {

class CtlPlatform : public platform::ForwardingPlatform {
 public:
  // Forwards to `inner` (the native platform by default).
  explicit CtlPlatform(platform::Platform* inner = nullptr);

  // The window program's path: `executable` with its file name replaced by
  // "quillan" and its extension (if any) kept.
  static std::string WindowProgramPath(const std::string& executable);

  // Settings writes that were refused (file paths), for the tests' sake.
  const std::vector<std::string>& RefusedWrites() const { return refusedWrites_; }

  std::string ExecutablePath() override;
  platform::Result ProfileWrite(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) override;
  platform::Result ProfileEraseSection(const std::string& path, const std::string& section) override;
  // Nothing is written, so there is nothing to hold.
  void ProfileBeginBatch(const std::string&) override {}
  platform::Result ProfileEndBatch(const std::string&, bool) override { return {}; }
  int ShellExecute(const std::string& file, const std::string& parameters,
                   const std::string& folder, int showMode) override;
  platform::WindowHandle OwnApplicationWindow() override;
  void ShowWindowNormal(platform::WindowHandle window) override;
  void SetForegroundWindow(platform::WindowHandle window) override;

 private:
  std::vector<std::string> refusedWrites_;
};

using InstalledPlatform = platform::ScopedPlatform;

}  // namespace ctl
