// Typed settings reads and writes through the real platform.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <fstream>
#include <random>
#include <unordered_map>
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

// The memory taken from its making on, at its peak, against `bytes`.
class PeakSince {
 public:
  PeakSince() : before_((ResetPeak(), PeakKiB())) {}
  double Times(double bytes) const { return static_cast<double>(PeakKiB() - before_) * 1024.0 / bytes; }

 private:
  long before_;
};

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
    const PeakSince since;
    profile::ProfileEngine engine;
    benchmark::DoNotOptimize(engine.Read(path, "Paths", "C1", ""));
    benchmark::DoNotOptimize(engine.Read(path, "Settings Form1 CheckListBoxSnapins", lastKey, ""));
    peak = std::max(peak, since.Times(static_cast<double>(mib << 20)));
  }
  state.counters["peak_x_file"] = peak;
  state.SetComplexityN(mib);
}
BENCHMARK(BM_FirstReadOfALargeFile)->ArgsProduct({{10, 50, 200}, {0, 1, 2}})->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// Names that all share one hash chain of an unkeyed hash (FNV-1a over the
// upper-cased name, as the engine once used): the low 20 bits of that hash
// evolve from the low 20 bits alone, so blocks of 3 characters that meet in
// those bits can be chained, each block doubling the names. Anyone who may
// write a settings file or name a snap-in folder can make them.
std::vector<std::string> ChosenNames(std::size_t count) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  constexpr std::uint64_t kMask = (1u << 20) - 1;
  const auto step = [](std::uint64_t h, char c) { return (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL; };
  std::uint64_t state = 1469598103934665603ULL;
  std::vector<std::pair<std::string, std::string>> blocks;
  while ((std::size_t{1} << blocks.size()) < count) {
    std::unordered_map<std::uint64_t, std::string> seen;
    bool found = false;
    for (char a : alphabet) {
      for (char b : alphabet) {
        for (char c : alphabet) {
          const std::string block{a, b, c};
          const std::uint64_t h = step(step(step(state, a), b), c);
          auto [it, fresh] = seen.emplace(h & kMask, block);
          if (!fresh && !found) {
            blocks.emplace_back(it->second, block);
            state = h;
            found = true;
          }
        }
      }
    }
  }
  std::vector<std::string> names;
  for (std::size_t n = 0; n < count; ++n) {
    std::string name;
    for (std::size_t b = 0; b < blocks.size(); ++b) name += (n >> b) & 1 ? blocks[b].second : blocks[b].first;
    names.push_back(name);
  }
  return names;
}

// Plain names of the same length and alphabet.
std::vector<std::string> PlainNames(std::size_t count, std::size_t length) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::mt19937 rng(7);
  std::vector<std::string> names(count);
  for (std::string& name : names) {
    for (std::size_t i = 0; i < length; ++i) name += alphabet[rng() % alphabet.size()];
  }
  return names;
}

// The first read of a file of range(0) names, as `quillanctl list` or the
// window's start makes it, then a lookup of every name: chosen names
// (range(1) 1) against plain ones (0), as keys of one section (range(2) 0)
// or as sections of one key each (1). Each lookup is bounded whatever the
// names: chosen ones cost about what plain ones do, at every size.
void BM_LookupsOfChosenNames(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const bool chosen = state.range(1) == 1;
  const bool sections = state.range(2) == 1;
  std::vector<std::string> names = ChosenNames(count);
  if (!chosen) names = PlainNames(count, names.front().size());
  BenchDir dir("chosen");
  const std::string path = dir.Join("Quillan.ini");
  {
    std::ofstream out(path, std::ios::binary);
    if (!sections) out << "[Descriptions]\n";
    for (const std::string& name : names) out << (sections ? "[" + name + "]\nk=1\n" : name + "=1\n");
  }
  double peak = 0;
  for (auto _ : state) {
    const PeakSince since;
    profile::ProfileEngine engine;
    std::size_t found = 0;
    for (const std::string& name : names) {
      found += (sections ? engine.Read(path, name, "k", "") : engine.Read(path, "Descriptions", name, "")) == "1";
    }
    if (found != count) state.SkipWithError("a name was not found");
    peak = std::max(peak, since.Times(static_cast<double>(std::filesystem::file_size(path))));
  }
  state.counters["peak_x_file"] = peak;
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(BM_LookupsOfChosenNames)
    ->ArgsProduct({{10000, 50000, 200000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A batch that empties a list section and writes it again key by key, as
// the close does, into a file of about 2 MB with other sections: range(0)
// keys; line ends (range(1)) LF, CR LF, lone CR, mixed, or LF with a stray
// CR ending line 1. Linear in the keys for every style.
void BM_BatchWritesASectionKeyByKey(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const int style = static_cast<int>(state.range(1));
  const char* const ends[] = {"\n", "\r\n", "\r", "\n", "\n"};
  const std::string eol = ends[style];
  BenchDir dir("lineends");
  const std::string path = dir.Join("Quillan.ini");
  std::string start = "[Other]" + std::string(style == 4 ? "\r" : eol);
  for (int n = 0; start.size() < (2u << 20); ++n) {
    start += "/opt/ConsoleOne/1.2/snapins/other" + std::to_string(n) + "=1" + (style == 3 && n % 2 ? "\r" : eol);
  }
  for (auto _ : state) {
    state.PauseTiming();
    { std::ofstream(path, std::ios::binary) << start; }
    profile::ProfileEngine engine;
    benchmark::DoNotOptimize(engine.Read(path, "Other", "x", ""));
    state.ResumeTiming();
    engine.BeginBatch(path);
    engine.EraseSection(path, "Settings Form1 CheckListBoxSnapins");
    for (int i = 0; i < keys; ++i) engine.Write(path, "Settings Form1 CheckListBoxSnapins", "snapin" + std::to_string(i), "1");
    if (!engine.EndBatch(path, true)) state.SkipWithError("batch refused");
  }
  state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_BatchWritesASectionKeyByKey)
    ->ArgsProduct({{3000, 30000}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The window's life on a large per-user file of short keys (range(0) MiB):
// read at the start, then the close's batch (an erased list section
// written again, the placement) and its replacement, with the check that
// the file is still the one read. `peak_x_file`: the memory of all of it
// at its peak against the file's size.
void BM_CloseOfALargeFile(benchmark::State& state) {
  const long mib = static_cast<long>(state.range(0));
  BenchDir dir("close");
  const std::string path = dir.Join("Quillan.ini");
  {
    std::ofstream out(path, std::ios::binary);
    out << "[Settings Form1]\nLeft=10\n\n[Settings Form1 CheckListBoxSnapins]\n";
    for (long n = 0; static_cast<long>(out.tellp()) < (mib << 20); ++n) out << "Snapin" << n << "=1\n";
  }
  double peak = 0;
  for (auto _ : state) {
    const PeakSince since;
    profile::ProfileEngine engine;
    benchmark::DoNotOptimize(engine.Read(path, "Settings Form1", "Left", ""));
    engine.BeginBatch(path);
    engine.Write(path, "Settings Form1", "Left", "20");
    engine.EraseSection(path, "Settings Form1 ListHistory");
    for (int i = 0; i < 100; ++i) engine.Write(path, "Settings Form1 ListHistory", std::to_string(i), "/opt/C1/" + std::to_string(i));
    if (!engine.EndBatch(path, true)) state.SkipWithError("batch refused");
    peak = std::max(peak, since.Times(static_cast<double>(mib << 20)));
  }
  state.counters["peak_x_file"] = peak;
}
BENCHMARK(BM_CloseOfALargeFile)->Arg(10)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
