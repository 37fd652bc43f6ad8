// What the hardening suites check after every fault: the files under a folder
// (nothing copied, nothing deleted) and the per-user file (well-formed).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace hardening {

// Every regular file below `root` (relative path with "/" → content) and every
// symbolic link (relative path → "-> " + its target); links are not followed.
std::map<std::string, std::string> Tree(const std::string& root);
// The contents of the files below `root`, wherever they lie now.
std::multiset<std::string> Contents(const std::string& root);
// Names of the entries directly in a folder (empty when it cannot be read).
std::vector<std::string> EntriesOf(const std::string& folder);

// Problems of an INI text as Quillan writes it: lines that are neither a
// section header, a key=value line nor blank, and sections that appear twice.
// Empty when the file is well-formed.
std::vector<std::string> IniProblems(const std::string& text);
// Section names in file order.
std::vector<std::string> IniSections(const std::string& text);

}  // namespace hardening
