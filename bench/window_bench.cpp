// The main window at scale on the in-memory toolkit: the path check against
// a plain listing, switching one snap-in, closing and restoring the window,
// and typing a path key by key.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "Installation.h"
#include "lib/D_Ini.h"
#include "lib/D_IniControls.h"
#include "toolkits/memory/MemoryApplication.h"

namespace {

using quillan_test::Op;

ui::memory::MemoryApplication& App() {
  static ui::memory::MemoryApplication app;
  return app;
}

void BM_ListingBaseline(benchmark::State& state) {
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::vector<std::string> names = bench::ListAndSort(inst.Base());
    if (static_cast<int>(names.size()) != inst.Count()) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(names);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ListingBaseline)->Arg(100)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// The path check over an installation whose path is already in the box.
void BM_VerifyPath_Memory(benchmark::State& state) {
  App();
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  bench::Window window(inst.Base());
  bench::TimeVerifyPath(state, window.Show(), inst);
}
BENCHMARK(BM_VerifyPath_Memory)->Arg(100)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// A click on a snap-in's check mark with n listed: the system calls it
// costs, counted at the platform.
void BM_SwitchOneSnapin(benchmark::State& state) {
  App();
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  bench::Window window(inst.Base());
  TForm1& f = window.Show();
  ui::TCheckListBox& list = *f.CheckListBoxSnapins;
  const int index = list.Count() / 2 + 1;  // not required, so enabled
  int maxTests = 0, maxRenames = 0, maxMoved = 0;
  for (auto _ : state) {
    window.os.ResetCounts();
    list.UserClickCheckBox(index);
    maxTests = std::max(maxTests, window.os.Calls(Op::DirectoryExists) + window.os.Calls(Op::FileExists));
    maxRenames = std::max(maxRenames, window.os.Calls(Op::MoveFolder));
    int moved = 0;
    for (auto it = window.os.Moves().end() - window.os.Calls(Op::MoveFolder); it != window.os.Moves().end(); ++it) {
      moved += it->succeeded ? 1 : 0;
    }
    maxMoved = std::max(maxMoved, moved);
  }
  if (maxMoved != 3) state.SkipWithError("the three folders did not move");
  state.counters["existence_tests"] = maxTests;
  state.counters["renames"] = maxRenames;
  state.counters["listings"] = window.os.Calls(Op::ListFolder);
}
BENCHMARK(BM_SwitchOneSnapin)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Close (placement and every control into the per-user file) and restore
// (placement and controls back) with n entries in the check-list section
// and a full path history.
struct ClosedWindow {
  explicit ClosedWindow(int n) : inst(bench::Installation::Of(n)), window(inst.Base()) {
    App();
    TForm1& f = window.Show();
    for (int i = 0; f.ComboBoxPath->ItemCount() < 31; ++i) {
      f.ComboBoxPath->AddItem("/srv/consoles/site" + std::to_string(i) + "/ConsoleOne/1.2");
    }
  }
  void Save() {
    ui::TCloseAction action = ui::TCloseAction::caHide;
    window.Form().FormClose(nullptr, action);
  }
  const bench::Installation& inst;
  bench::Window window;
};

void BM_SaveWindowState(benchmark::State& state) {
  ClosedWindow w(static_cast<int>(state.range(0)));
  w.Save();  // the steady state: the file exists and mostly agrees
  for (auto _ : state) w.Save();
  if (!App().MessageBoxes().empty()) state.SkipWithError("the save failed");
  state.counters["file_kB"] = static_cast<double>(std::filesystem::file_size(w.window.UserFile())) / 1024.0;
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SaveWindowState)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SaveWindowStateFresh(benchmark::State& state) {
  ClosedWindow w(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(w.window.UserFile());
    state.ResumeTiming();
    w.Save();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SaveWindowStateFresh)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_RestoreWindowState(benchmark::State& state) {
  ClosedWindow w(static_cast<int>(state.range(0)));
  w.Save();
  TForm1& f = w.window.Form();
  const D_Ini::TIniFile* file = f.UserSettings();
  for (auto _ : state) {
    D_Ini::RestoreMainFormBounds(file);
    D_Ini::RestoreControlState(file, "Settings", f);
  }
  state.counters["entries"] = f.CheckListBoxSnapins->Count();
  state.counters["history"] = f.ComboBoxPath->ItemCount();
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RestoreWindowState)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The user types a 40-character path to an installation of n snap-ins, one
// key at a time; every keystroke runs the path check.
void BM_TypePath_Memory(benchmark::State& state) {
  App();
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  bench::Window window(inst.Base());
  const std::string path = bench::FortyCharacterLink(state, window, inst);
  if (path.empty()) return;
  TForm1& f = window.Show();
  double worst = 0;
  for (auto _ : state) {
    f.ComboBoxPath->UserEdit("");
    f.ComboBoxPath->SetText("");
    for (char c : path) {
      const auto t0 = std::chrono::steady_clock::now();
      f.ComboBoxPath->UserTypeChar(c);
      worst = std::max(worst, bench::Seconds(t0));
    }
    if (f.CheckListBoxSnapins->Count() != inst.Count()) state.SkipWithError("wrong count");
  }
  state.counters["worst_key_ms"] = worst * 1e3;
}
BENCHMARK(BM_TypePath_Memory)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
