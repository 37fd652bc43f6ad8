#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace quillan_test {

namespace {
std::string Native(std::string relative) {
  for (char& c : relative) {
    if (c == '/' || c == '\\') c = static_cast<char>(fs::path::preferred_separator);
  }
  return relative;
}
}  // namespace

TempDir::TempDir() {
  std::random_device rd;
  std::mt19937_64 rng(rd() ^ static_cast<unsigned long long>(
                                  std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "quillan-test-" << std::hex << rng();
    fs::path candidate = base / name.str();
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      // Canonical form so tests compare against what the platform reports.
      path_ = fs::canonical(candidate).string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only entries would stop the removal on some systems.
  for (auto it = fs::recursive_directory_iterator(path_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }
  fs::remove_all(path_, ec);
}

std::string TempDir::Join(const std::string& relative) const {
  return path_ + static_cast<char>(fs::path::preferred_separator) + Native(relative);
}

std::string TempDir::MakeFile(const std::string& relative, const std::string& content) const {
  std::string full = Join(relative);
  fs::create_directories(fs::path(full).parent_path());
  WriteFile(full, content);
  return full;
}

std::string TempDir::MakeFolder(const std::string& relative) const {
  std::string full = Join(relative);
  fs::create_directories(full);
  return full;
}

std::string TempDir::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void TempDir::WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

bool TempDir::Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace quillan_test
