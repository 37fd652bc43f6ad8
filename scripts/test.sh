#!/usr/bin/env bash
# The test command: installs what is missing (scripts/provision.sh), then
# builds and runs each stage through its CMake presets, and prints a summary.
# Exit status is non-zero when any stage failed.
#
# QUILLAN_STAGES="ci asan" runs only the named stages (ci asan fuzz windows
# package). A stage is a function `stage_<name>` below that returns non-zero
# when it failed; the tests themselves are all registered with CTest.
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

log() { printf '\n=== %s ===\n' "$*"; }

# configure, build and test one preset.
preset() {
  cmake --preset "$1" "${@:2}" >"build/$1-configure.log" 2>&1 ||
    { cat "build/$1-configure.log"; return 1; }
  cmake --build --preset "$1" && ctest --preset "$1"
}

stage_ci() { preset ci; }

stage_asan() { preset asan; }

# libFuzzer targets built with clang, a few seconds each over fuzz/corpus.
stage_fuzz() {
  QUILLAN_FUZZ_SECONDS="${QUILLAN_FUZZ_SECONDS:-15}" fuzz/run.sh "$ROOT/build/fuzz"
}

# The MinGW-w64 cross builds and their tests under Wine: the 32-bit build's
# suites, programs and packages (through QEMU where the kernel runs no 32-bit
# programs), the 64-bit programs and packages. Where 32-bit programs cannot
# run at all, the 64-bit build runs the suites instead.
stage_windows() {
  local way status=0
  way="$(tests/windows/with-32bit.sh --way)"
  local suites64=OFF
  [ "$way" = none ] && suites64=ON
  mkdir -p build
  cmake --preset windows-i686 >build/windows-i686-configure.log 2>&1 &&
    cmake --build --preset windows-i686 &&
    cmake --preset windows-x86_64 -DQUILLAN_WINDOWS_SUITES=$suites64 >build/windows-x86_64-configure.log 2>&1 &&
    cmake --build --preset windows-x86_64 || return 1
  if [ "$way" = none ]; then
    ctest --preset windows-i686 -R '^windows\.(imports|manifest)' || status=1
  else
    tests/windows/with-32bit.sh ctest --preset windows-i686 || status=1
  fi
  ctest --preset windows-x86_64 || status=1
  return $status
}

# The Debian package: built (Release) into a folder of its own, installed,
# used, purged (needs root and leaves nothing; skips without root).
stage_package() {
  mkdir -p build
  cmake --preset package >build/package-configure.log 2>&1 || { cat build/package-configure.log; return 1; }
  ctest --preset package
}

STAGES=(ci asan fuzz windows package)

main() {
  local -a results=()
  local failed=0 name start status

  log "dependencies"
  if ! bash scripts/provision.sh; then
    echo "could not install the packages this needs" >&2
    exit 2
  fi
  mkdir -p build

  local selected=("${STAGES[@]}")
  if [ -n "${QUILLAN_STAGES:-}" ]; then read -r -a selected <<<"$QUILLAN_STAGES"; fi

  for name in "${selected[@]}"; do
    log "stage $name"
    start=$SECONDS
    if "stage_$name"; then status=PASS; else status=FAIL; failed=1; fi
    results+=("$(printf '%-12s %s  (%ds)' "$name" "$status" $((SECONDS - start)))")
  done

  log "summary"
  printf '%s\n' "${results[@]}"
  if [ $failed -ne 0 ]; then
    echo "FAILED"
    exit 1
  fi
  echo "ALL PASSED"
}

main "$@"
