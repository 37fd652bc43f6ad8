#include "core/DryRun.h"

#include <cerrno>
#include <cstring>

namespace core {

namespace {

std::string ParentOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? "." : path.substr(0, cut == 0 ? 1 : cut);
}

// The system's own words, as the real call would give them.
platform::Result Refused(int error) { return platform::Result::Failed(std::strerror(error)); }

}  // namespace

bool DryRunPlatform::FileExists(const std::string& path) {
  if (added_.count(path) != 0 || removed_.count(path) != 0) return false;
  return Inner().FileExists(path);
}

bool DryRunPlatform::DirectoryExists(const std::string& path) {
  if (added_.count(path) != 0) return true;
  if (removed_.count(path) != 0) return false;
  return Inner().DirectoryExists(path);
}

platform::Result DryRunPlatform::CreateDirectory(const std::string& path) {
  const std::string parent = ParentOf(path);
  if (!DirectoryExists(parent)) return Refused(ENOENT);
  if (DirectoryExists(path) || FileExists(path)) return Refused(EEXIST);
  // Folders made by this run come out of the same file system's inodes.
  if (added_.count(parent) == 0) {
    if (platform::Result may = Inner().MayCreateIn(parent, created_ + 1); !may) return may;
  }
  ++created_;
  added_.insert(path);
  removed_.erase(path);
  return {};
}

platform::Result DryRunPlatform::MoveFolder(const std::string& source, const std::string& target) {
  if (!DirectoryExists(source)) return Refused(ENOENT);
  if (DirectoryExists(target) || FileExists(target)) return Refused(EEXIST);
  const std::string into = ParentOf(target);
  if (!DirectoryExists(into)) return Refused(ENOENT);
  // A rename needs the right to change both folders, no inode.
  for (const std::string& folder : {ParentOf(source), into}) {
    if (added_.count(folder) != 0) continue;
    if (platform::Result may = Inner().MayCreateIn(folder, 0); !may) return may;
  }
  added_.erase(source);
  removed_.insert(source);
  removed_.erase(target);
  added_.insert(target);
  return {};
}

}  // namespace core
