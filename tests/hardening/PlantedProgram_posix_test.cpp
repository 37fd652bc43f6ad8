// Programs that must not start: a file planted where a path with a run of
// blanks breaks, shell syntax in the installation's path, and a folder named
// like the status bar address's scheme in the current folder. Every program
// here is a real script that leaves a line in a marker file when it runs.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "HardeningSupport.h"
#include "QuillanFixture.h"
#include "platform/Platform.h"

namespace {

// The marker's lines once it holds `count` of them (started programs run
// detached); what it holds after 10 s otherwise.
std::vector<std::string> WaitForLines(const std::string& marker, std::size_t count) {
  std::vector<std::string> lines;
  for (int i = 0; i < 1000; ++i) {
    lines.clear();
    std::ifstream in(marker);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    if (lines.size() >= count) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return lines;
}

// Restores the current folder and PATH at the end of a test.
class ProcessState {
 public:
  ProcessState() : folder_(std::filesystem::current_path()) {
    if (const char* p = std::getenv("PATH")) path_ = p;
  }
  ~ProcessState() {
    std::filesystem::current_path(folder_);
    ::setenv("PATH", path_.c_str(), 1);
  }
  ProcessState(const ProcessState&) = delete;
  ProcessState& operator=(const ProcessState&) = delete;

 private:
  std::filesystem::path folder_;
  std::string path_;
};

}  // namespace

class PlantedProgram : public QuillanTest {
 protected:
  PlantedProgram() {
    os.StartProgramsForReal();
    std::filesystem::current_path(tmp.Path());  // where an injected "touch" would land
  }
  std::string Marker() const { return tmp.Join("ran"); }
  // A script that appends `line` (with "$1": its first argument) to the marker.
  void MakeScript(const std::string& relative, const std::string& line) const {
    const std::string path =
        tmp.MakeFile(relative, "#!/bin/sh\nprintf '%s\\n' " + line + " >> '" + Marker() + "'\n");
    ::chmod(path.c_str(), 0755);
  }
  ProcessState restore;
};

TEST_F(PlantedProgram, APathWithRunsOfBlanksOrShellSyntaxStartsItsOwnProgram) {
  MakeScript("inst", "planted");
  const std::vector<std::string> names = {"inst  two",     "inst   three",
                                          "inst \t tab",   "inst  $(touch injected)",
                                          "inst  `touch injected`", "inst ; touch injected",
                                          "inst  'q' \"q\" &",      "inst;touch injected"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    MakeInstallation(names[i] + "/C1", {{"A"}, {}});
    MakeScript(names[i] + "/C1/bin/ConsoleOne.exe", std::to_string(i));
  }
  Start();
  user.Click(*f->CheckBoxKeepOpen);
  std::vector<std::string> want;
  for (std::size_t i = 0; i < names.size(); ++i) {
    user.TypeText(*f->ComboBoxPath, PathOf(names[i] + "/C1"));
    ASSERT_TRUE(f->BitBtnC1->Enabled()) << names[i];
    user.Click(*f->BitBtnC1);
    want.push_back(std::to_string(i));
    EXPECT_EQ(WaitForLines(Marker(), want.size()), want) << names[i];
  }
  for (const auto& [file, content] : hardening::Tree(tmp.Path())) {
    EXPECT_NE(file.substr(file.find_last_of('/') + 1), "injected") << file;
  }
}

TEST_F(PlantedProgram, TheStatusBarsAddressGoesToTheOpenerNeverToAFileNamedLikeIt) {
  MakeScript("opener/xdg-open", "\"$1\"");
  ::setenv("PATH", (tmp.Join("opener") + ":/usr/bin:/bin").c_str(), 1);
  Start();
  const std::string address = f->StatusBar1->Text();
  ASSERT_TRUE(platform::HasUrlScheme(address)) << address;
  // "https://host" names the file "host" in a folder "https:" here.
  MakeScript(address.substr(0, address.find(':') + 1) + "/" + address.substr(address.find("://") + 3),
             "planted");
  user.Click(*f->StatusBar1);
  EXPECT_EQ(WaitForLines(Marker(), 1), std::vector<std::string>{address});
  // The platform's own shell start, without the launcher in front of it.
  EXPECT_GT(platform::Platform::Get().ShellExecute(address, "", "", 1), 32);
  EXPECT_EQ(WaitForLines(Marker(), 2), (std::vector<std::string>{address, address}));
}
