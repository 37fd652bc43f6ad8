// A platform on which nothing changes: folders are "made" and "moved" only
// in a list of its own that its later reads see, each with the outcome the
// real call would most likely have. A prediction is the real code run on it,
// not a second set of rules.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "platform/ForwardingPlatform.h"

namespace core {

class DryRunPlatform : public platform::ForwardingPlatform {
 public:
  explicit DryRunPlatform(platform::Platform* inner = nullptr) : ForwardingPlatform(inner) {}

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  // Fails as the system would: a missing parent, a taken name, a folder the
  // user may not change, or (counting every folder made so far) no inode left.
  platform::Result CreateDirectory(const std::string& path) override;
  // Fails as the system would: no source, a taken target, no receiving
  // folder, or a folder the user may not change.
  platform::Result MoveFolder(const std::string& source, const std::string& target) override;

 private:
  std::set<std::string> added_;    // folders made or moved in
  std::set<std::string> removed_;  // folders moved away
  std::uint64_t created_ = 0;
};

}  // namespace core
