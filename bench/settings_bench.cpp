// Typed settings reads and writes through the real platform.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "BenchDir.h"
#include "lib/D_Ini.h"
#include "platform/ProfileEngine.h"

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

// The process's peak resident memory in KiB since the last ResetPeak().
long PeakKiB() {
  long kib = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f) != nullptr)
      if (std::sscanf(line, "VmHWM: %ld", &kib) == 1) break;
    std::fclose(f);
  }
  return kib;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The first read of a large hand-made settings file, as the window makes it
// before it appears: range(0) MiB in one section of lines without "="
// (range(1) 0), of short keys (1, "Snapin123=1") or of keys with values of
// about 200 bytes (2); then a key of [Paths] after them and the last key of
// that section, so its key table is built too. `peak_x_file` is the memory
// the reads took at their peak against the file's size.
void BM_FirstReadOfALargeFile(benchmark::State& state) {
  const long mib = static_cast<long>(state.range(0));
  const long kind = static_cast<long>(state.range(1));
  BenchDir dir("large");
  const std::string path = dir.Join("Quillan.ini");
  const std::string value = kind == 2 ? "/opt/ConsoleOne/1.2/snapins/" + std::string(170, 'x') : "1";
  std::string lastKey;
  {
    std::ofstream out(path, std::ios::binary);
    out << "[Settings Form1 CheckListBoxSnapins]\n";
    for (long n = 0; static_cast<long>(out.tellp()) < (mib << 20); ++n) {
      if (kind == 0) {
        out << "a line without equals sign " << n << "\n";
      } else {
        lastKey = "Snapin" + std::to_string(n);
        out << lastKey << "=" << value << "\n";
      }
    }
    out << "[Paths]\nC1=/opt/ConsoleOne\n";
  }
  double peak = 0;
  for (auto _ : state) {
    ResetPeak();
    const long before = PeakKiB();
    profile::ProfileEngine engine;
    benchmark::DoNotOptimize(engine.Read(path, "Paths", "C1", ""));
    benchmark::DoNotOptimize(engine.Read(path, "Settings Form1 CheckListBoxSnapins", lastKey, ""));
    peak = std::max(peak, static_cast<double>(PeakKiB() - before) / static_cast<double>(mib << 10));
  }
  state.counters["peak_x_file"] = peak;
  state.SetComplexityN(mib);
}
BENCHMARK(BM_FirstReadOfALargeFile)->ArgsProduct({{10, 50, 200}, {0, 1, 2}})->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace
