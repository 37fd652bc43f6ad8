// quillanctl at scale, in process: `list` (the check, every snap-in's
// places, the JSON answer) and a one-name `enable`, against the window's
// path check and the plain listing of the same installation.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "Installation.h"
#include "ctl/Engine.h"
#include "ctl/Report.h"
#include "toolkits/memory/MemoryApplication.h"

namespace {

// The window's path check on the same installation: fastest of a few runs.
bench::Timing WindowPathCheck(const bench::Installation& inst) {
  ui::memory::MemoryApplication app;
  bench::Window window(inst.Base());
  TForm1& f = window.Show();
  bench::Timing best;
  for (int r = 0; r < 5; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = bench::CpuNow();
    f.VerifyPath(nullptr);
    best.cpu = std::min(best.cpu, bench::CpuNow() - c0);
    best.wall = std::min(best.wall, bench::Seconds(t0));
  }
  return best;
}

// Runs `step` once per iteration (it answers what was wrong, or nothing) and reports it against the window's path
// check and the readdir baseline, fastest against fastest. CPU times are the whole process's: `list` has a
// second thread.
template <typename Step>
void TimeAgainstWindow(benchmark::State& state, const bench::Installation& inst, Step step) {
  const bench::Timing window = WindowPathCheck(inst);
  const bench::Timing baseline = bench::BaselineSeconds(inst.Base());
  bench::Window env(inst.Base());  // settings files, no ConsoleOne window
  ctl::CtlPlatform platform(&env.os);
  ctl::InstalledPlatform installed(platform);
  ctl::Session session(platform);
  bench::Timing best;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = bench::CpuNow();
    const std::string wrong = step(session);
    if (!wrong.empty()) {
      state.SkipWithError(wrong.c_str());
      break;
    }
    best.cpu = std::min(best.cpu, bench::CpuNow() - c0);
    best.wall = std::min(best.wall, bench::Seconds(t0));
  }
  state.counters["wall_ms"] = best.wall * 1e3;
  state.counters["cpu_ms"] = best.cpu * 1e3;
  state.counters["window_ms"] = window.wall * 1e3;
  state.counters["baseline_ms"] = baseline.wall * 1e3;
  state.counters["x_window"] = best.wall / window.wall;
  state.counters["x_window_cpu"] = best.cpu / window.cpu;
  state.counters["x_baseline_cpu"] = best.cpu / baseline.cpu;
  state.SetComplexityN(state.range(0));
}

void BM_CtlList(benchmark::State& state) {
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  TimeAgainstWindow(state, inst, [&inst](ctl::Session& session) -> std::string {
    const ctl::Inventory inv = session.List(inst.Base());
    const std::string json = ctl::InventoryJsonText(inv, {}, ctl::kExitOk);
    benchmark::DoNotOptimize(json.data());
    return static_cast<int>(inv.snapins.size()) == inst.Count() ? "" : "wrong count " + json.substr(0, 300);
  });
}
BENCHMARK(BM_CtlList)->Arg(1000)->Arg(10000)->Arg(50000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The same with the text answer, quillanctl's default.
void BM_CtlListText(benchmark::State& state) {
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  TimeAgainstWindow(state, inst, [&inst](ctl::Session& session) -> std::string {
    const ctl::Inventory inv = session.List(inst.Base());
    const std::string text = ctl::InventoryText(inv, {});
    benchmark::DoNotOptimize(text.data());
    return static_cast<int>(inv.snapins.size()) == inst.Count() ? "" : "wrong count";
  });
}
BENCHMARK(BM_CtlListText)->Arg(1000)->Arg(10000)->Arg(50000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);


// One snap-in switched on, then off again in the next iteration:
// the check, the name's resolution, three moves and the answer.
void BM_CtlEnableOne(benchmark::State& state) {
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  const std::string name = bench::SnapinName(inst.Count() / 2 + 1 - (inst.Count() / 2) % 2);
  TimeAgainstWindow(state, inst, [&](ctl::Session& session) -> std::string {
    // Google Benchmark calls this function more than once: start from the disk.
    const bool enable = !std::filesystem::exists(inst.Base() + "/snapins/" + name);
    ctl::Options o;
    o.command = enable ? ctl::Command::Enable : ctl::Command::Disable;
    o.base = inst.Base();
    o.requests.push_back({name, enable ? ctl::Wanted::Active : ctl::Wanted::Inactive});
    const ctl::ChangeReport report = session.Apply(o);
    const std::string json = ctl::DumpJson(ctl::ChangeJson("enable", report));
    benchmark::DoNotOptimize(json.data());
    return report.exitStatus == ctl::kExitOk && report.results.at(0).status == "changed" ? "" : json;
  });
}
BENCHMARK(BM_CtlEnableOne)->Arg(1000)->Arg(10000)->Arg(50000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
