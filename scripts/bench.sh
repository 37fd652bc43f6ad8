#!/usr/bin/env bash
# The benchmark command: builds the benchmarks (Release) and runs them all:
# settings and listing, the window at scale on the memory toolkit and on Qt
# (offscreen), and start-up on a virtual display. Results go to the console
# and, as JSON, to build/bench/results/.
#
#   scripts/bench.sh                 everything
#   QUILLAN_BENCH_FILTER=VerifyPath  only the Google Benchmark cases matching
#   QUILLAN_BENCH_STARTUP=0          without the start-up measurement
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QUILLAN_BENCH_BUILD:-$ROOT/build/bench}"
OUT="$BUILD/results"
FILTER="${QUILLAN_BENCH_FILTER:-.}"
JOBS="${QUILLAN_JOBS:-2}"

need=(cmake g++ libbenchmark-dev libgtest-dev qt6-base-dev libx11-dev xvfb)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bench.sh: installing ${missing[*]}"
  sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
  sudo_ apt-get update -q && DEBIAN_FRONTEND=noninteractive sudo_ apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUILLAN_BENCH=ON >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target quillan_bench quillan_window_bench quillan_window_qt_bench \
  quillan_ctl_bench \
  quillan quillan_minimal_window quillan_startup_probe
mkdir -p "$OUT"

echo "== machine"
lscpu | grep -E "Model name|^CPU\(s\)" || true
grep MemTotal /proc/meminfo || true
uname -sr

run() {
  local name="$1"; shift
  echo "== $name"
  "$@" --benchmark_filter="$FILTER" --benchmark_out="$OUT/$name.json" --benchmark_out_format=json
}
run settings_listing "$BUILD/bench/quillan_bench"
run window_memory "$BUILD/bench/quillan_window_bench"
QT_QPA_PLATFORM=offscreen run window_qt "$BUILD/bench/quillan_window_qt_bench"
run window_ctl "$BUILD/bench/quillan_ctl_bench"

# Growth: the time at each size over the time at the size before (target
# <= 13 for 10x the snap-ins). Names are "BM_X/<n>" with an optional suffix
# ("/process_time", "/real_time"); of repetitions the fastest counts, and
# aggregates (mean, median, stddev) are left out.
python3 - "$OUT" <<'PY'
import json, sys, glob, collections
for path in sorted(glob.glob(sys.argv[1] + "/window_*.json")):
    times = collections.defaultdict(dict)
    try:
        benchmarks = json.load(open(path))["benchmarks"]
    except (ValueError, KeyError):  # the filter matched nothing in that program
        continue
    for b in benchmarks:
        if b.get("run_type") == "aggregate":
            continue
        name, _, rest = b["name"].partition("/")
        arg, _, suffix = rest.partition("/")
        if not arg.isdigit():
            continue
        if name.startswith(("BM_VerifyPath", "BM_Ctl")) or name == "BM_ListingBaseline":
            key = name + ("/" + suffix if suffix else "")
            n = int(arg)
            times[key][n] = min(times[key].get(n, b["cpu_time"]), b["cpu_time"])
    for name, by in times.items():
        sizes = sorted(by)
        for n, m in zip(sizes, sizes[1:]):
            print(f"growth {name} {n} -> {m} (x{m // n} snap-ins): x{by[m] / by[n]:.1f}")
PY

if [ "${QUILLAN_BENCH_STARTUP:-1}" = 1 ]; then
  echo "== startup"
  "$ROOT/bench/startup.sh" "$BUILD" 9
fi
