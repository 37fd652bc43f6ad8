// The installation lock for a scope: taken by every run that switches
// snap-ins (the window's clicks and quillanctl's), tested by every run that
// only reads, and let go however the scope ends.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/Platform.h"

namespace core {

class InstallationLock {
 public:
  // `waiting` is called before each pause of the wait (round 0 first) and
  // ends it by returning false.
  InstallationLock(const std::string& base, platform::LockMode mode, std::chrono::milliseconds wait,
                   const std::function<bool(int round)>& waiting = {});
  ~InstallationLock();
  InstallationLock(const InstallationLock&) = delete;
  InstallationLock& operator=(const InstallationLock&) = delete;

  const platform::FolderLock& Answer() const { return answer_; }
  platform::FolderLock::Kind Kind() const { return answer_.kind; }
  // Held (Switch), or free of switching runs (Read), or no folder to guard.
  bool Usable() const;
  // "<lock file>: <reason>" for Busy and Failed.
  std::string Reason() const;

 private:
  platform::FolderLock answer_;
};

}  // namespace core
