// Runs a program with exact arguments (no shell) and collects its output.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillan_test {

struct ProcessResult {
  int exitStatus = -1;  // -1: did not exit normally
  std::string out;
  std::string err;
};

// `during`, when given, runs on a thread of its own with the process id
// while the output is collected.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::function<void(int pid)>& during = {});

}  // namespace quillan_test
