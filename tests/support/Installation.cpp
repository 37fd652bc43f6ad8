#include "support/Installation.h"

#include <filesystem>
#include <fstream>

namespace quillan_test {

namespace fs = std::filesystem;

std::string MakeInstallation(const std::string& base, const Layout& layout) {
  const fs::path root = fs::path(base);
  fs::create_directories(root);
  const std::string ext = layout.linuxNames ? "" : ".exe";
  const auto launcher = [&](const std::string& relative) {
    const fs::path path = root / fs::path(relative + ext);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << (layout.linuxNames ? "#!/bin/sh\n" : "exe");
#ifndef _WIN32
    if (layout.linuxNames) fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
#endif
  };
  if (layout.consoleOne) launcher("bin/ConsoleOne");
  if (layout.rconjInBase) launcher("RConJ");
  if (layout.rconjInBin) launcher("bin/RConJ");
  const char* const kinds[] = {"snapins", "lib", "resources"};
  for (const char* kind : kinds) {
    fs::create_directory(root / kind);
    if (layout.inactiveFolders) fs::create_directory(root / (std::string("inactive.") + kind));
  }
  const auto add = [&](const std::vector<std::string>& names, const std::string& prefix) {
    for (const std::string& name : names) {
      for (const char* kind : kinds) {
        if (kind != kinds[0] && !layout.companions) break;
        fs::create_directories(root / (prefix + kind) / fs::path(name));
      }
    }
  };
  add(layout.active, "");
  add(layout.inactive, "inactive.");
  return base;
}

}  // namespace quillan_test
