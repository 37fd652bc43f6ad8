#include "HardeningSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace hardening {

namespace {

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

}  // namespace

std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string rel = fs::relative(p, root, ec).generic_string();
    if (it->is_symlink(ec)) {
      out[rel] = "-> " + fs::read_symlink(p, ec).generic_string();
    } else if (it->is_regular_file(ec)) {
      // The installation lock's file: made empty by the first switch and kept.
      if (rel == ".quillan.lock" && fs::file_size(p, ec) == 0) continue;
      out[rel] = Slurp(p);
    }
  }
  return out;
}

std::multiset<std::string> Contents(const std::string& root) {
  std::multiset<std::string> out;
  for (const auto& [path, content] : Tree(root)) out.insert(content);
  return out;
}

std::vector<std::string> EntriesOf(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    out.push_back(it->path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> IniProblems(const std::string& text) {
  std::vector<std::string> problems;
  std::set<std::string> seen;
  for (const std::string& line : Lines(text)) {
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.back() != ']') {
        problems.push_back("bad header: " + line);
      } else if (!seen.insert(Upper(line)).second) {
        problems.push_back("section twice: " + line);
      }
    } else if (line.find('=') == std::string::npos) {
      problems.push_back("not a key: " + line);
    }
  }
  return problems;
}

std::vector<std::string> IniSections(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& line : Lines(text))
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
      out.push_back(line.substr(1, line.size() - 2));
  return out;
}

}  // namespace hardening
