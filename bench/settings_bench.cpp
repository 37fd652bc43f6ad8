// Typed settings reads and writes through the real platform.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "BenchDir.h"
#include "lib/D_Ini.h"

namespace {

// Reading every key of a file once: linear in the number of keys when an
// unchanged file is not parsed again for each read.
void BM_ReadEveryKey(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  BenchDir dir("read");
  const std::string path = dir.Join("Quillan.ini");
  std::vector<std::string> names;
  {
    std::ofstream out(path, std::ios::binary);
    out << "[Other]\nx=1\n\n[Settings Form1 CheckListBoxSnapins]\n";
    for (int i = 0; i < keys; ++i) {
      names.push_back("snapin" + std::to_string(i));
      out << names.back() << "=" << (i % 2) << "\n";
    }
  }
  D_Ini::TIniFile file(path);
  for (auto _ : state) {
    long long sum = 0;
    for (const std::string& name : names) {
      sum += D_Ini::ReadSettingInteger(file, "Settings Form1 CheckListBoxSnapins", name, 0);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetComplexityN(keys);
  state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_ReadEveryKey)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// 1,000 distinct keys written into a new file, each write replacing the
// file atomically (and flushed to disk).
void BM_Write1000DistinctKeys(benchmark::State& state) {
  BenchDir dir("write");
  const std::string path = dir.Join("Quillan.ini");
  D_Ini::TIniFile file(path);
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
    for (int i = 0; i < 1000; ++i) {
      D_Ini::WriteSettingString(file, "History ComboBoxPath", std::to_string(i),
                                "/usr/ConsoleOne/path/number/" + std::to_string(i));
    }
  }
}
BENCHMARK(BM_Write1000DistinctKeys)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
