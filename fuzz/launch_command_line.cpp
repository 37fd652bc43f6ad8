// LaunchCommandLine's split of a command line into file, parameters and
// working folder, with a platform double answering which candidates exist
// and recording the one shell call.
#include <cstddef>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <set>
#include <string>
#include <utility>

#include "lib/D_Win.h"
#include "support/PlatformDouble.h"

namespace {

// Existing files are exactly the names in `files`.
class FakeFiles : public quillan_test::PlatformDouble {
 public:
  std::set<std::string> files;
  int tests = 0;
  bool FileExists(const std::string& path) override {
    ++tests;
    return files.count(path) != 0;
  }
};

// Letters, then letters, digits, "+", "-" or ".", then "://".
bool Address(const std::string& line) {
  const std::size_t end = line.find("://");
  if (end == std::string::npos || end < 2) return false;
  for (std::size_t i = 0; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (!std::isalpha(c) && (i == 0 || (!std::isdigit(c) && c != '+' && c != '-' && c != '.')))
      return false;
  }
  return true;
}

std::pair<std::string, std::string> Split(const std::string& text) {
  const std::size_t p = text.find(' ');
  if (p == std::string::npos) return {text, std::string()};
  return {text.substr(0, p), text.substr(p + 1)};
}

std::string Join(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() ? a + " " + b : a + b;
}

bool Internal(std::string word) {
  static const char* const kWords[] = {"CD",  "COPY", "DEL", "DIR", "ECHO",     "MD",   "PATH", "PROMPT",
                                       "REM", "REN",  "RD",  "SET", "TRUENAME", "TYPE", "VER"};
  for (char& c : word)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const char* w : kWords)
    if (word == w) return true;
  return false;
}

// The folder part of a file: up to and including its last separator.
std::string FolderOf(const std::string& file) {
  const std::size_t p = file.find_last_of("\\:/");
  return p == std::string::npos ? std::string() : file.substr(0, p + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::uint32_t existing = in.ConsumeIntegral<std::uint32_t>();
  const bool comspecSet = in.ConsumeBool();
  std::string comspec = in.ConsumeRandomLengthString(16);
  std::erase(comspec, '\0');  // environment values cannot hold a zero
  const int showMode = in.ConsumeIntegralInRange<int>(0, 11);
  const int answer = in.ConsumeIntegralInRange<int>(0, 64);
  const bool address = in.ConsumeBool();
  const std::string line = (address ? "https://" : "") + in.ConsumeRemainingBytesAsString();

  FakeFiles fake;
  // Candidates that exist: the prefixes before chosen spaces, and maybe the whole line.
  int bit = 0;
  for (std::size_t p = line.find(' '); p != std::string::npos && bit < 31; p = line.find(' ', p + 1), ++bit)
    if (((existing >> bit) & 1U) && p > 0) fake.files.insert(line.substr(0, p));
  if (((existing >> 31) & 1U) && !line.empty()) fake.files.insert(line);
  if (comspecSet)
    fake.SetEnvironment("comspec", comspec);
  else
    fake.UnsetEnvironment("comspec");
  fake.RecordShellExecute(answer);
  quillan_test::ScopedPlatform scope(fake);

  if (D_Win::LaunchCommandLine(line, showMode) != answer) std::abort();
  if (fake.ShellCalls().size() != 1) std::abort();
  const quillan_test::ShellCall& call = fake.ShellCalls()[0];
  if (call.showMode != showMode) std::abort();

  // The steps, written out. Every text before a space, and the whole line,
  // is a candidate unless it is empty or ends in a blank; the longest that
  // names a file wins, so a planted file named like the text before a run of
  // blanks cannot stand in for the whole path. An address is never a file.
  std::string file, params, word, rest;
  bool found = false;
  if (Address(line)) {
    if (fake.tests != 0) std::abort();
  } else {
    for (std::size_t end = 1; end <= line.size(); ++end) {
      if (end < line.size() && line[end] != ' ') continue;
      const std::string candidate = line.substr(0, end);
      if (candidate.back() != ' ' && fake.files.count(candidate) != 0) {
        found = true;
        file = candidate;
        params = end < line.size() ? line.substr(end + 1) : std::string();
      }
    }
  }

  quillan_test::ShellCall want;
  want.showMode = showMode;
  if (found) {
    want.file = file;
    want.parameters = params;
    want.folder = FolderOf(file);
    // File and parameters give the line back.
    if (line != file + (params.empty() ? "" : " " + params) && line != file + " ") std::abort();
  } else {
    std::tie(word, rest) = Split(line);
    if (Internal(word)) {
      want.file = comspecSet ? comspec : std::string();
      want.parameters = "/C " + line;
    } else {
      want.file = word;
      want.parameters = rest;
      if (Join(word, rest) != line && word + " " + rest != line) std::abort();
    }
  }
  if (!(call == want)) std::abort();
  return 0;
}
