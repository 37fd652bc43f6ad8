#!/usr/bin/env bash
# The test command: installs what is missing, then runs every stage and
# prints a summary. Exit status is non-zero when any stage failed.
#
# Add a stage: write a function `stage_<name>` below and append <name> to
# STAGES. A stage fails by returning non-zero. QUILLAN_STAGES="ci asan"
# runs only the named stages; QUILLAN_BUILD_TYPE picks the CMake build type
# (Debug by default).
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
JOBS="${QUILLAN_JOBS:-$(nproc 2>/dev/null || echo 2)}"

PACKAGES=(cmake make gcc g++ libgtest-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev qt6-base-dev libx11-dev xvfb xdotool
  x11-utils imagemagick python3 clang libclang-rt-14-dev g++-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix wine64 wine32:i386 ansible-core
  dpkg-dev librsvg2-bin help2man lintian desktop-file-utils appstream man-db nsis zip unzip msitools wixl
  twm openbox weston qt6-wayland bindfs exfat-fuse exfatprogs fuse3
  python3-pyatspi at-spi2-core dbus dbus-x11)

log() { printf '\n=== %s ===\n' "$*"; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_dependencies() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 || return 1
  fi
  as_root apt-get update -q || return 1
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# qemu-i386 runs the 32-bit Wine where the kernel runs no 32-bit programs
# (tests/windows/run.sh). Bookworm's own QEMU 7.2 hangs in wineboot; 8 and
# later work, so on bookworm it comes from bookworm-backports, added for the
# mirror the system already uses. Not qemu-user-static or qemu-user-binfmt:
# they would hand 32-bit programs to QEMU machine-wide.
install_qemu_user() {
  local have codename mirror
  have="$(dpkg-query -W -f='${Status} ${Version}' qemu-user 2>/dev/null)"
  [[ "$have" == "install ok installed "* ]] && dpkg --compare-versions "${have##* }" ge 1:8 && return 0
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
  local target=()
  if [ "$codename" = bookworm ]; then
    target=(-t bookworm-backports)
    if ! apt-get indextargets --format '$(RELEASE)' 'Created-By: Packages' | grep -qx bookworm-backports; then
      mirror="$(apt-get indextargets --format '$(RELEASE) $(SITE)' 'Created-By: Packages' |
        sed -n 's/^bookworm //p' | head -1)"
      [ -n "$mirror" ] || { echo "no bookworm suite in the APT sources to take the mirror from" >&2; return 1; }
      log "adding bookworm-backports ($mirror) for qemu-user"
      {
        printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\n' "$mirror"
        [ -f /usr/share/keyrings/debian-archive-keyring.gpg ] &&
          printf 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n'
      } | as_root tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null || return 1
    fi
  fi
  log "installing qemu-user ${target[*]}"
  as_root apt-get update -q || return 1
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${target[@]}" qemu-user
}

# configure + build + ctest of one build folder with extra CMake options.
build_and_test() {
  local dir="$1"; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="${QUILLAN_BUILD_TYPE:-Debug}" "$@" &&
    cmake --build "$dir" -j"$JOBS" &&
    ctest --test-dir "$dir" --output-on-failure --timeout 300
}

stage_ci() {
  build_and_test build/ci -DQUILLAN_WERROR=ON
}

stage_asan() {
  ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}" \
  UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
    build_and_test build/asan -DQUILLAN_WERROR=ON -DQUILLAN_SANITIZE=ON
}

# libFuzzer targets built with clang, a few seconds each over fuzz/corpus.
stage_fuzz() {
  QUILLAN_FUZZ_SECONDS="${QUILLAN_FUZZ_SECONDS:-15}" fuzz/run.sh "$ROOT/build/fuzz"
}

# Windows: MinGW-w64 cross builds, the suites and a smoke test under Wine.
stage_windows() {
  tests/windows/run.sh "$ROOT/build/windows-i686" "$ROOT/build/windows-x86_64"
}

# The Debian package: built (Release) into a folder of its own, installed,
# used, purged (tests/package/deb_test.sh needs root and leaves nothing).
stage_package() {
  local dist="$ROOT/build/package-dist"
  rm -rf "$dist"
  QUILLAN_DIST="$dist" QUILLAN_JOBS="$JOBS" scripts/package.sh deb &&
    tests/package/deb_test.sh "$dist"/quillan_*.deb
}

STAGES=(ci asan)
STAGES+=(fuzz)
STAGES+=(windows)
STAGES+=(package)

main() {
  local -a results=()
  local failed=0 name start status

  log "dependencies"
  if ! install_dependencies || ! install_qemu_user; then
    echo "could not install the packages this needs" >&2
    exit 2
  fi

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
