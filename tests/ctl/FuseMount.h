// A FUSE file system mounted by its own program for a test's scope.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quillan_test {

// The full path of a program in PATH or the system folders; empty when absent.
std::string FindProgram(const std::string& name);

class FuseMount {
 public:
  // Runs `command` (its first word looked up with FindProgram), which
  // mounts at `mountPoint`; Mounted() tells whether a FUSE file system is
  // there afterwards, Why() why not.
  FuseMount(std::vector<std::string> command, std::string mountPoint);
  // Unmounts, then runs `afterwards` (say, detaching a loop device).
  ~FuseMount();
  FuseMount(const FuseMount&) = delete;
  FuseMount& operator=(const FuseMount&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }
  void Afterwards(std::vector<std::string> command) { afterwards_ = std::move(command); }

 private:
  std::string mountPoint_;
  std::vector<std::string> afterwards_;
  bool mounted_ = false;
  std::string why_;
};

// An exFAT image of `megabytes` at `image`, attached to a loop device and
// mounted by exfat-fuse at `mountPoint`.
class ExfatMount {
 public:
  ExfatMount(const std::string& image, const std::string& mountPoint, int megabytes = 32);
  bool Mounted() const { return mount_ && mount_->Mounted(); }
  const std::string& Why() const { return mount_ ? mount_->Why() : why_; }

 private:
  std::string why_;
  std::unique_ptr<FuseMount> mount_;
};

}  // namespace quillan_test
