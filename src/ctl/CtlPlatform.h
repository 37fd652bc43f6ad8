// The platform as quillanctl sees it: the native one, except that the
// program presents itself as the window program beside it (so both read the
// same machine-wide quillan.ini), refuses every settings write, and keeps a
// record of the folder moves for the report.
#pragma once

#include <string>
#include <vector>

#include "platform/ForwardingPlatform.h"

namespace ctl {

struct MoveRecord {
  std::string source;
  std::string target;
  bool succeeded = false;
  std::string error;  // the system's reason when it failed
};

// An inactive folder the check could not create (with --check: would not be
// able to), and the system's reason.
struct FolderFailure {
  std::string path;
  std::string error;
};

class CtlPlatform : public platform::ForwardingPlatform {
 public:
  // Forwards to `inner` (the native platform by default).
  explicit CtlPlatform(platform::Platform* inner = nullptr);

  // The window program's path: `executable` with its file name replaced by
  // "quillan" and its extension (if any) kept.
  static std::string WindowProgramPath(const std::string& executable);

  const std::vector<MoveRecord>& Moves() const { return moves_; }
  // Folders that were created (the installation check's inactive folders).
  const std::vector<std::string>& CreatedFolders() const { return created_; }
  // While set, folders are neither created nor moved, only noted (--check).
  void SetCheckOnly(bool checkOnly) { checkOnly_ = checkOnly; }
  const std::vector<std::string>& WouldCreateFolders() const { return wouldCreate_; }
  // Folders that could not be created (with --check: that the system says
  // cannot be, where it can tell).
  const std::vector<FolderFailure>& FailedFolders() const { return failed_; }
  // The entry of FailedFolders for `path`, if any.
  const FolderFailure* FailureOf(const std::string& path) const;
  // Settings writes that were refused (file paths), for the tests' sake.
  const std::vector<std::string>& RefusedWrites() const { return refusedWrites_; }

  bool CreateDirectory(const std::string& path) override;
  bool MoveFolder(const std::string& source, const std::string& target) override;
  std::string ExecutablePath() override;
  bool ProfileWrite(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) override;
  bool ProfileEraseSection(const std::string& path, const std::string& section) override;
  // Nothing is written, so there is nothing to hold.
  void ProfileBeginBatch(const std::string&) override {}
  bool ProfileEndBatch(const std::string&, bool) override { return true; }
  int ShellExecute(const std::string& file, const std::string& parameters,
                   const std::string& folder, int showMode) override;
  platform::WindowHandle OwnApplicationWindow() override;
  void ShowWindowNormal(platform::WindowHandle window) override;
  void SetForegroundWindow(platform::WindowHandle window) override;

 private:
  std::vector<MoveRecord> moves_;
  std::vector<std::string> refusedWrites_;
  std::vector<std::string> created_;
  std::vector<std::string> wouldCreate_;
  std::vector<FolderFailure> failed_;
  bool checkOnly_ = false;
};

using InstalledPlatform = platform::ScopedPlatform;

}  // namespace ctl
