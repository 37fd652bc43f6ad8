// One builder of ConsoleOne installations for the tests and benchmarks.
#pragma once

#include <string>
#include <vector>

namespace quillan_test {

struct Layout {
  std::vector<std::string> active, inactive;  // snap-in folders, made in this order
  bool consoleOne = true;
  bool rconjInBase = false;
  bool rconjInBin = false;
  bool inactiveFolders = true;  // the three inactive folders exist
  // Launchers named as ConsoleOne for Linux names them (bin/ConsoleOne,
  // RConJ), executable scripts; otherwise the Windows names (.exe).
  bool linuxNames = false;
  // Each snap-in also gets its library and resource folder, in its own place.
  bool companions = false;
};

// Makes the installation at `base` (its parents too) and returns `base`.
std::string MakeInstallation(const std::string& base, const Layout& layout);

}  // namespace quillan_test
