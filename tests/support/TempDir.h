// A unique temporary folder, removed with everything in it at the end of its scope.
#pragma once

#include <string>

namespace quillan_test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& Path() const { return path_; }
  // Path() + native separator + relative ("/" in `relative` is turned native).
  std::string Join(const std::string& relative) const;
  // Create a file (and its missing parent folders); returns its full path.
  std::string MakeFile(const std::string& relative, const std::string& content = std::string()) const;
  // Create a folder (and its missing parents); returns its full path.
  std::string MakeFolder(const std::string& relative) const;

  static std::string ReadFile(const std::string& path);
  static void WriteFile(const std::string& path, const std::string& content);
  static bool Exists(const std::string& path);

 private:
  std::string path_;
};

}  // namespace quillan_test
