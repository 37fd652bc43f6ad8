// A small tmpfs over a folder for the life of the object (POSIX, root);
// Mounted() is false where mounting is not allowed (no root, a restricted
// container).
#pragma once

#include <sys/mount.h>

#include <string>

namespace quillan_test {

class TinyFs {
 public:
  // `options` as mount(8) takes them: "size=1m", "size=1m,nr_inodes=12".
  TinyFs(const std::string& folder, const std::string& options) : folder_(folder) {
    mounted_ = ::mount("quillan-test", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~TinyFs() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  TinyFs(const TinyFs&) = delete;
  TinyFs& operator=(const TinyFs&) = delete;
  bool Mounted() const { return mounted_; }
  bool MakeReadOnly() const {
    return ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

}  // namespace quillan_test
