// Runs a program with exact arguments (no shell) and collects its output.
#pragma once

#include <string>
#include <vector>

namespace quillan_test {

struct ProcessResult {
  int exitStatus = -1;  // -1: did not exit normally
  std::string out;
  std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args);

}  // namespace quillan_test
