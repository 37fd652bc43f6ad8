#include "core/InstallationLock.h"

namespace core {

InstallationLock::InstallationLock(const std::string& base, platform::LockMode mode,
                                   std::chrono::milliseconds wait, const std::function<bool(int round)>& waiting)
    : answer_(platform::Platform::Get().LockFolder(base, mode, wait, [&waiting](int round) {
        return !waiting || waiting(round);
      })) {}

InstallationLock::~InstallationLock() {
  if (answer_.kind == platform::FolderLock::Kind::Held) platform::Platform::Get().UnlockFolder(answer_.handle);
}

bool InstallationLock::Usable() const {
  using K = platform::FolderLock::Kind;
  return answer_.kind == K::Held || answer_.kind == K::Free || answer_.kind == K::NoFolder;
}

std::string InstallationLock::Reason() const {
  if (Usable()) return {};
  return answer_.where + (answer_.error.empty() ? "" : ": " + answer_.error);
}

}  // namespace core
