// Large ConsoleOne installations for the window benchmarks, built once per
// size and kept for the run, and the environment the main window needs:
// settings files in a scratch folder, no ConsoleOne window, no shell starts.
#pragma once

#include <dirent.h>
#include <strings.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchDir.h"
#include "app/Unit1.h"
#include "support/Installation.h"
#include "support/PlatformDouble.h"

namespace bench {

// Names as administrators collect them: vendors' prefixes in mixed case,
// so the case-insensitive order differs from the byte order and from the
// order the file system hands them out.
inline std::string SnapinName(int i) {
  static const char* const prefixes[] = {"novell.", "NDS.", "ldap-", "Schema", "zen.",
                                         "GroupWise", "dhcp_", "DNS.", "iManager.", "Audit"};
  return std::string(prefixes[static_cast<unsigned>(i * 7919) % 10U]) + std::to_string(i * 37 % 100003);
}

class Installation {
 public:
  // n snap-ins, even ones active and odd ones inactive, each with its
  // library and resource folder.
  explicit Installation(int n) : dir_("inst" + std::to_string(n)), n_(n) {
    std::vector<int> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(12345));
    quillan_test::Layout layout;
    layout.rconjInBin = true;
    layout.companions = true;
    for (int i : order) (i % 2 == 0 ? layout.active : layout.inactive).push_back(SnapinName(i));
    base_ = quillan_test::MakeInstallation(dir_.Join("C1"), layout);
  }

  // The installation of n snap-ins, built on first use.
  static const Installation& Of(int n) {
    static std::map<int, std::unique_ptr<Installation>> built;
    std::unique_ptr<Installation>& slot = built[n];
    if (!slot) slot = std::make_unique<Installation>(n);
    return *slot;
  }

  const std::string& Base() const { return base_; }
  int Count() const { return n_; }

 private:
  BenchDir dir_;
  std::string base_;
  int n_;
};

// What the program would do at least: read both folders and sort the
// names ignoring case.
inline std::vector<std::string> ListAndSort(const std::string& base) {
  std::vector<std::string> names;
  for (const char* folder : {"/snapins", "/inactive.snapins"}) {
    DIR* d = ::opendir((base + folder).c_str());
    if (d == nullptr) continue;
    while (const dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    }
    ::closedir(d);
  }
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return ::strcasecmp(a.c_str(), b.c_str()) < 0;
  });
  return names;
}

// CPU time of the process, every thread's, in seconds: on a busy machine it
// stays put where the wall clock counts the other processes' turns too.
inline double CpuNow() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Fastest of a few runs of the baseline, in seconds (wall, CPU).
struct Timing {
  double wall = 1e9, cpu = 1e9;
};
inline Timing BaselineSeconds(const std::string& base, int runs = 7) {
  Timing best;
  for (int r = 0; r < runs; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = CpuNow();
    std::vector<std::string> names = ListAndSort(base);
    best.cpu = std::min(best.cpu, CpuNow() - c0);
    const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
    best.wall = std::min(best.wall, d.count());
  }
  return best;
}

// The platform, settings files and window of one benchmark. An application
// object (memory or Qt) must exist first.
class Window {
 public:
  explicit Window(const std::string& c1, const std::string& machineExtra = std::string())
      : dir_("window" + std::to_string(++serial_)), scoped_(os) {
    namespace fs = std::filesystem;
    fs::create_directories(dir_.Join("prog"));
    fs::create_directories(dir_.Join("config"));
    std::ofstream(dir_.Join("prog/quillan.ini"))
        << "[Paths]\nC1=" << c1 << "\n[Required Snapins]\n1=" << SnapinName(0) << "\n2=" << SnapinName(3)
        << "\n[Snapin Description]\n" << SnapinName(0) << "=Required#CRLF#and described\n" << machineExtra;
    os.UseOnlyFakeRegistry(true);
    os.SetRegistryString(platform::RegistryRoot::CurrentUser,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData",
                         dir_.Join("config"));
    os.SetRegistryString(platform::RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                         "ProgramFilesDir", dir_.Path());
    os.SetExecutablePath(dir_.Join("prog/quillan"));
    os.SetTopLevelWindows({});
    os.RecordShellExecute();
  }
  ~Window() {
    if (ui::Application() && ui::Application()->MainForm() == form_.get()) ui::Application()->SetMainForm(nullptr);
    form_.reset();
    Form1 = nullptr;
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Creates the window and shows it (which checks the configured path).
  TForm1& Show() {
    form_ = std::make_unique<TForm1>();
    Form1 = form_.get();
    ui::Application()->SetMainForm(Form1);
    Form1->Show();
    return *Form1;
  }
  TForm1& Form() const { return *form_; }
  std::string UserFile() const { return dir_.Join("config/quillan.ini"); }
  std::string Join(const std::string& name) const { return dir_.Join(name); }

  quillan_test::PlatformDouble os;

 private:
  static inline int serial_ = 0;
  BenchDir dir_;
  quillan_test::ScopedPlatform scoped_;
  std::unique_ptr<TForm1> form_;
};

inline double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs the path check of a shown window once per iteration and reports it
// against the baseline of the same installation.
inline void TimeVerifyPath(benchmark::State& state, TForm1& f, const Installation& inst) {
  const Timing baseline = BaselineSeconds(inst.Base());
  Timing best;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = CpuNow();
    f.VerifyPath(nullptr);
    best.cpu = std::min(best.cpu, CpuNow() - c0);
    best.wall = std::min(best.wall, Seconds(t0));
    if (f.CheckListBoxSnapins->Count() != inst.Count()) state.SkipWithError("wrong count");
  }
  // Fastest against fastest, so that other processes' turns count for neither.
  state.counters["baseline_ms"] = baseline.wall * 1e3;
  state.counters["x_baseline"] = best.wall / baseline.wall;
  state.counters["x_baseline_cpu"] = best.cpu / baseline.cpu;
  state.SetComplexityN(state.range(0));
}

// A link whose path has exactly 40 characters, leading to the installation;
// empty (and the benchmark skipped) when the scratch folder's path is longer.
inline std::string FortyCharacterLink(benchmark::State& state, const Window& window,
                                      const Installation& inst) {
  std::string path = window.Join("p");
  if (path.size() > 40) {
    state.SkipWithError("temporary folder path too long");
    return std::string();
  }
  path += std::string(40 - path.size(), 'x');
  std::filesystem::create_directory_symlink(inst.Base(), path);
  return path;
}

}  // namespace bench
