// The POSIX implementation of the platform (Linux desktop with X11).
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/ProfileEngine.h"

namespace platform::posix {

class PosixPlatform : public Platform {
 public:
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  Result CreateDirectory(const std::string& path) override;
  Result MoveFolder(const std::string& source, const std::string& target) override;
  Result MayCreateIn(const std::string& folder, std::uint64_t count) override;
  bool ListFolder(const std::string& mask, std::uint32_t attributes,
                  const std::function<bool(const FindEntry&)>& onEntry) override;
  std::string ShortPath(const std::string& path) override;
  std::string ExecutablePath() override;
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
  void ProfileBeginBatch(const std::string& path) override { profiles_.BeginBatch(path); }
  Result ProfileEndBatch(const std::string& path, bool commit) override {
    return Refused(profiles_.EndBatch(path, commit));
  }
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
  // A socket beside the mutex's lock file, for its owner's user only.
  int ListenForwardRequests(const std::string& name) override;
  bool TakeForwardRequest(int listener, std::string& token) override;
  bool SendForwardRequest(const std::string& name, const std::string& token) override;

  profile::ProfileEngine& Profiles() { return profiles_; }

 private:
  // The engine's answer with its reason for a refusal.
  Result Refused(bool ok) const { return ok ? Result::Done() : Result::Failed(profiles_.RefusalReason()); }

 public:

 private:
  profile::ProfileEngine profiles_;
  std::vector<int> mutexFds_;  // held open until the process ends
};

// Helpers with their own tests.
// Windows wildcard match ("*", "?", "*.*" matches every name), ignoring ASCII case.
bool MatchesMask(const std::string& name, const std::string& pattern);
// Splits parameters like a Windows command line (double quotes group, backslash rules).
std::vector<std::string> SplitCommandLine(const std::string& parameters);
// A move that cannot replace where renameat2(RENAME_NOREPLACE) is not to be
// had: a folder by claiming the target with mkdir and renaming onto that
// empty claim, anything else by a hard link and removing the old name.
// 0, or the errno of the step that failed (the source then stays).
int MoveWithoutReplacing(const std::string& source, const std::string& target);
// MS-DOS packed local date and time (date in the upper 16 bits).
std::uint32_t DosDateTime(long long unixSeconds);

// X11 side (empty results without a display).
struct X11Window {
  WindowHandle handle = 0;
  std::string title;
  long pid = 0;  // _NET_WM_PID, 0 when unknown
  bool managed = true;  // neither override-redirect nor without WM_CLASS
};
// Whether the display in DISPLAY accepts a connection and answers within
// about two seconds. A display that does not answer is not tried again: the
// functions below then report it once on stderr and act as without one.
bool X11DisplayAnswers();
std::vector<X11Window> X11TopLevelWindows();
void X11MapRaised(WindowHandle window);
void X11Activate(WindowHandle window);

}  // namespace platform::posix
