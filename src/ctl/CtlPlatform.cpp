#include "ctl/CtlPlatform.h"

namespace ctl {

CtlPlatform::CtlPlatform(platform::Platform* inner) : ForwardingPlatform(inner) {}

std::string CtlPlatform::WindowProgramPath(const std::string& executable) {
  const std::size_t slash = executable.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string name = executable.substr(nameStart);
  const std::size_t dot = name.find_last_of('.');
  const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
  return executable.substr(0, nameStart) + "quillan" + extension;
}

bool CtlPlatform::CreateDirectory(const std::string& path) {
  if (checkOnly_) {
    wouldCreate_.push_back(path);
    const std::size_t slash = path.find_last_of("/\\");
    const std::string parent = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (!Inner().MayCreateIn(parent)) failed_.push_back({path, Inner().LastErrorText()});
    return false;
  }
  const bool ok = Inner().CreateDirectory(path);
  if (ok) {
    created_.push_back(path);
  } else {
    std::string why = Inner().LastErrorText();
    // Another run may have made it meanwhile.
    if (!Inner().DirectoryExists(path)) failed_.push_back({path, std::move(why)});
  }
  return ok;
}

const FolderFailure* CtlPlatform::FailureOf(const std::string& path) const {
  for (const FolderFailure& f : failed_)
    if (f.path == path) return &f;
  return nullptr;
}

bool CtlPlatform::MoveFolder(const std::string& source, const std::string& target) {
  if (checkOnly_) return false;
  const bool ok = Inner().MoveFolder(source, target);
  moves_.push_back({source, target, ok, ok ? std::string() : Inner().LastErrorText()});
  return ok;
}

std::string CtlPlatform::ExecutablePath() {
  return WindowProgramPath(Inner().ExecutablePath());
}

// quillanctl never saves window state; refusing here guarantees that the
// user's settings file (and the administrator's) stay untouched even if
// some path of the window's code tried.
bool CtlPlatform::ProfileWrite(const std::string& path, const std::string&, const std::string&,
                               const std::string&) {
  refusedWrites_.push_back(path);
  return false;
}

bool CtlPlatform::ProfileEraseSection(const std::string& path, const std::string&) {
  refusedWrites_.push_back(path);
  return false;
}

// Nothing is started from quillanctl.
int CtlPlatform::ShellExecute(const std::string&, const std::string&, const std::string&, int) {
  return 0;
}

platform::WindowHandle CtlPlatform::OwnApplicationWindow() { return 0; }

void CtlPlatform::ShowWindowNormal(platform::WindowHandle) {}
void CtlPlatform::SetForegroundWindow(platform::WindowHandle) {}

}  // namespace ctl
