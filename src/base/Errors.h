// Failures are exceptions; the callers decide which ones to swallow.
#pragma once

#include <stdexcept>
#include <string>

class EQuillanError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A settings write or erase that the file system refused: "Unable to write to %s".
class ESettingsWriteError : public EQuillanError {
 public:
  // `reason`, when given, says why beyond the file system's refusal.
  explicit ESettingsWriteError(const std::string& path, const std::string& reason = {})
      : EQuillanError("Unable to write to " + path + (reason.empty() ? "" : ": " + reason)), path_(path) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A registry value of a type other than a string: "Invalid data type for '%s'".
class ERegistryError : public EQuillanError {
 public:
  explicit ERegistryError(const std::string& valueName)
      : EQuillanError("Invalid data type for '" + valueName + "'") {}
};
