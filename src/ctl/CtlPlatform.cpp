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

std::string CtlPlatform::ExecutablePath() {
  return WindowProgramPath(Inner().ExecutablePath());
}

// quillanctl never saves window state; refusing here guarantees that the
// user's settings file (and the administrator's) stay untouched even if
// some path of the window's code tried.
platform::Result CtlPlatform::ProfileWrite(const std::string& path, const std::string&, const std::string&,
                                           const std::string&) {
  refusedWrites_.push_back(path);
  return platform::Result::Failed("quillanctl writes no settings");
}

platform::Result CtlPlatform::ProfileEraseSection(const std::string& path, const std::string&) {
  refusedWrites_.push_back(path);
  return platform::Result::Failed("quillanctl writes no settings");
}

// Nothing is started from quillanctl.
int CtlPlatform::ShellExecute(const std::string&, const std::string&, const std::string&, int) {
  return 0;
}

platform::WindowHandle CtlPlatform::OwnApplicationWindow() { return 0; }

void CtlPlatform::ShowWindowNormal(platform::WindowHandle) {}
void CtlPlatform::SetForegroundWindow(platform::WindowHandle) {}

}  // namespace ctl
