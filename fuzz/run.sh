#!/bin/sh
# Builds the fuzzers with clang and gives each a short run over its corpus.
#   fuzz/run.sh [build-dir]     QUILLAN_FUZZ_SECONDS=n sets the time per fuzzer.
# New inputs found go to the build folder; fuzz/corpus/ is only read.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-fuzz}
SECONDS_EACH=${QUILLAN_FUZZ_SECONDS:-15}
FUZZERS="profile_engine replace_text launch_command_line combo_history"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found, skipped"
  exit 0
fi
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLAN_FUZZ=ON -DQUILLAN_TESTS=OFF -DQUILLAN_QT=OFF -DQUILLAN_WERROR=ON >/dev/null
cmake --build "$BUILD" --target fuzzers -j2

mkdir -p "$BUILD/artifacts"
status=0
for name in $FUZZERS; do
  if [ ! -x "$BUILD/fuzz/fuzz_$name" ]; then
    echo "fuzz: $name not built here, skipped"
    continue
  fi
  work="$BUILD/corpus/$name"
  mkdir -p "$work" "$ROOT/fuzz/corpus/$name"
  echo "fuzz: $name for ${SECONDS_EACH}s"
  if ! "$BUILD/fuzz/fuzz_$name" -max_total_time="$SECONDS_EACH" -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$BUILD/artifacts/$name-" -print_final_stats=1 \
      "$work" "$ROOT/fuzz/corpus/$name" >"$BUILD/$name.log" 2>&1; then
    tail -n 40 "$BUILD/$name.log"
    echo "fuzz: $name FAILED (log: $BUILD/$name.log)"
    status=1
  else
    grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$BUILD/$name.log" | tail -n 1 || true
  fi
done
exit $status
