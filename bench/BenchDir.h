// A scratch folder for one benchmark run.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

class BenchDir {
 public:
  explicit BenchDir(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("quillan-bench-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~BenchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  BenchDir(const BenchDir&) = delete;
  BenchDir& operator=(const BenchDir&) = delete;
  std::string Join(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};
