#include "ctl/CtlPlatform.h"

namespace ctl {

CtlPlatform::CtlPlatform(platform::Platform* inner)
    : inner_(inner ? *inner : platform::NativePlatform()) {}

std::string CtlPlatform::WindowProgramPath(const std::string& executable) {
  const std::size_t slash = executable.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string name = executable.substr(nameStart);
  const std::size_t dot = name.find_last_of('.');
  const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
  return executable.substr(0, nameStart) + "quillan" + extension;
}

bool CtlPlatform::FileExists(const std::string& path) { return inner_.FileExists(path); }
bool CtlPlatform::DirectoryExists(const std::string& path) { return inner_.DirectoryExists(path); }
bool CtlPlatform::CreateDirectory(const std::string& path) {
  const bool ok = inner_.CreateDirectory(path);
  if (ok) created_.push_back(path);
  return ok;
}

bool CtlPlatform::MoveFolder(const std::string& source, const std::string& target) {
  const bool ok = inner_.MoveFolder(source, target);
  moves_.push_back({source, target, ok});
  return ok;
}

bool CtlPlatform::ListFolder(const std::string& mask, std::uint32_t attributes,
                             const std::function<bool(const platform::FindEntry&)>& onEntry) {
  return inner_.ListFolder(mask, attributes, onEntry);
}

std::string CtlPlatform::ShortPath(const std::string& path) { return inner_.ShortPath(path); }

std::string CtlPlatform::ExecutablePath() {
  return WindowProgramPath(inner_.ExecutablePath());
}

std::optional<std::string> CtlPlatform::GetEnvironmentVariable(const std::string& name) {
  return inner_.GetEnvironmentVariable(name);
}

platform::RegistryValue CtlPlatform::ReadRegistryValue(platform::RegistryRoot root,
                                                       const std::string& keyPath,
                                                       const std::string& valueName) {
  return inner_.ReadRegistryValue(root, keyPath, valueName);
}

std::string CtlPlatform::ProfileRead(const std::string& path, const std::string& section,
                                     const std::string& key, const std::string& def) {
  return inner_.ProfileRead(path, section, key, def);
}

std::vector<std::string> CtlPlatform::ProfileListKeys(const std::string& path,
                                                      const std::string& section) {
  return inner_.ProfileListKeys(path, section);
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

std::vector<platform::TopLevelWindow> CtlPlatform::TopLevelWindows() {
  return inner_.TopLevelWindows();
}

bool CtlPlatform::CreateNamedMutex(const std::string& name) {
  return inner_.CreateNamedMutex(name);
}

platform::WindowHandle CtlPlatform::FindWindowEx(const std::string& className,
                                                 const std::string& title,
                                                 platform::WindowHandle after) {
  return inner_.FindWindowEx(className, title, after);
}

platform::WindowHandle CtlPlatform::OwnApplicationWindow() { return 0; }

void CtlPlatform::ShowWindowNormal(platform::WindowHandle) {}
void CtlPlatform::SetForegroundWindow(platform::WindowHandle) {}

}  // namespace ctl
