// ListDirectory over many snap-in folders, as the path check calls it.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchDir.h"
#include "lib/D_Util.h"
#include "platform/Platform.h"

namespace {

void BM_ListDirectory(benchmark::State& state) {
  const int folders = static_cast<int>(state.range(0));
  BenchDir dir("list" + std::to_string(folders));
  for (int i = 0; i < folders; ++i) {
    std::filesystem::create_directory(dir.Join("snapin" + std::to_string(i)));
  }
  const std::string mask = dir.Path() + "/*.*";
  for (auto _ : state) {
    TStringList list;
    D_Util::ListDirectory(mask, platform::faDirectory, 0, list, "%s");
    if (list.Count() != folders) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(list);
  }
  state.SetComplexityN(folders);
  state.SetItemsProcessed(state.iterations() * folders);
}
BENCHMARK(BM_ListDirectory)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
