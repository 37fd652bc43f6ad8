#!/usr/bin/env bash
# The Windows stage: cross-builds Quillan.exe (32-bit, and 64-bit), checks
# that it needs no DLL beside it, makes the installers and zips, then runs
# under Wine in a 32-bit prefix of this run's own the test suites built for
# Windows, quillanctl.exe, the smoke test under Xvfb, the window at 96 and
# 144 DPI, the demo installation and the packages; then the 64-bit exe's
# smoke test and packages in a 64-bit prefix.
#
# The 32-bit programs run natively where the kernel runs 32-bit programs.
# Where it runs none (some virtual machines), Wine's 32-bit processes are
# handed to QEMU's user-mode emulator qemu-i386 by a binfmt_misc entry
# registered in a private user namespace (Linux 6.7 and later give each one
# its own binfmt_misc), which the rest of the machine never sees. Only root
# is mapped there, so everything is built before entering it. Where neither
# works, the 32-bit programs are only built and checked, and the suites and
# tests run on the 64-bit build in a 64-bit prefix: the same sources, only
# the pointer size differs.
#
# Usage: run.sh [BUILD_DIR_32 [BUILD_DIR_64]]
#   QUILLAN_WINDOWS_32=native|qemu|none  takes that way instead of the first
#                                       that works ("none": the 64-bit way)
#   QUILLAN_WINDOWS_DIST=folder         where the packages go (default:
#                                       windows-dist beside BUILD_DIR_32)
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD32="${1:-$ROOT/build/windows-i686}"
BUILD64="${2:-$ROOT/build/windows-x86_64}"
DIST="${QUILLAN_WINDOWS_DIST:-$(dirname "$BUILD32")/windows-dist}"
JOBS="${QUILLAN_JOBS:-$(nproc 2>/dev/null || echo 2)}"
VERSION="$(sed -n 's/^project(Quillan VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
WINE=/usr/lib/wine/wine
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
SUITES=(tests/unit/quillan_unit_tests tests/app/quillan_app_tests tests/windows/quillan_windows_tests
  tests/ctl/quillanctl_tests)

. "$ROOT/tests/windows/lib.sh"  # in_namespace, QEMU_I386

# What the part before the namespace hands to the part inside it.
failed="${QUILLAN_WINDOWS_FAILED:-0}"
TIMES="${QUILLAN_WINDOWS_TIMES:-}"
STEP="" STEP_START=$SECONDS
step() {
  [ -n "$STEP" ] && TIMES+="$(printf '  %-26s %4d s' "$STEP" $((SECONDS - STEP_START)))"$'\n'
  STEP="$*" STEP_START=$SECONDS
  [ -n "$STEP" ] && printf '\n--- %s\n' "$STEP"
}

# Sets MODE32 (native, qemu or none) and HOW, the sentence that says so.
choose_32bit_way() {
  local forced="${QUILLAN_WINDOWS_32:-}" why=""
  case "$forced" in
    "" | native | qemu | none) ;;
    *) echo "QUILLAN_WINDOWS_32 is native, qemu or none, not '$forced'" >&2; exit 2 ;;
  esac
  if [ -z "$forced" ] || [ "$forced" = native ]; then
    if "$WINE" --version >/dev/null 2>&1; then
      MODE32=native HOW="natively: this kernel runs 32-bit programs"
      return
    fi
    why="this kernel runs no 32-bit programs ($WINE --version fails)"
  fi
  if [ -z "$forced" ] || [ "$forced" = qemu ]; then
    if [ -z "$QEMU_I386" ]; then
      why+="${why:+; }no qemu-i386 (Debian package qemu-user)"
    elif ! unshare --user --map-root-user true 2>/dev/null; then
      why+="${why:+; }no user namespaces here ($(unshare --user --map-root-user true 2>&1 | head -1))"
    elif ! in_namespace true 2>/dev/null; then
      why+="${why:+; }a user namespace has no binfmt_misc of its own here (Linux 6.7 or later has)"
    elif ! in_namespace "$WINE" --version >/dev/null 2>&1; then
      why+="${why:+; }Wine's 32-bit loader does not start under $QEMU_I386"
    else
      MODE32=qemu
      HOW="under $("$QEMU_I386" --version | head -1 | sed 's/ (.*//'), through binfmt_misc in a"
      HOW+=" private user namespace${why:+ ($why)}"
      return
    fi
  fi
  MODE32=none
  HOW="not run: ${why:-as asked}; the suites and tests run on the 64-bit build in a 64-bit prefix"
}

build() {
  local dir="$1" arch="$2"; shift 2
  cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw.cmake" -DQUILLAN_MINGW_ARCH="$arch" \
    -DCMAKE_BUILD_TYPE=Release -DQUILLAN_WERROR=ON "$@" >/dev/null &&
    cmake --build "$dir" -j"$JOBS" --target "${TARGETS[@]}"
}

# Only DLLs that every Windows has may be imported (oleacc, ole32 and
# oleaut32 serve screen readers).
check_imports() {
  local exe="$1" objdump="$2" dll bad=0
  while read -r dll; do
    case "${dll,,}" in
      advapi32.dll | comctl32.dll | comdlg32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | \
        ole32.dll | oleacc.dll | oleaut32.dll | shell32.dll | user32.dll) ;;
      *) echo "$exe imports $dll" >&2; bad=1 ;;
    esac
  done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  return $bad
}

# build_suites DIR ARCH: a suite that does not build fails the stage; the others still run.
build_suites() {
  local suite
  for suite in "${SUITES[@]}"; do
    rm -f "$1/$suite.exe"
    TARGETS=("$(basename "$suite")")
    build "$1" "$2" || failed=1
  done
}

# make_packages ARCH BUILD: the installer and the zip of that build, into $DIST.
make_packages() {
  QUILLAN_DIST="$DIST" QUILLAN_JOBS="$JOBS" QUILLAN_WINDOWS_ARCH="$1" QUILLAN_WINDOWS_BUILD="$2" \
    "$ROOT/scripts/package.sh" windows
}

if [ "${QUILLAN_WINDOWS_PHASE:-}" != run ]; then
  choose_32bit_way
  echo "32-bit programs: $HOW"

  step "32-bit build"
  TARGETS=(quillan quillan_probe quillanctl quillan_demo)
  build "$BUILD32" i686 || exit 1
  check_imports "$BUILD32/bin/Quillan.exe" i686-w64-mingw32-objdump || exit 1
  check_imports "$BUILD32/bin/quillanctl.exe" i686-w64-mingw32-objdump || exit 1
  [ "$MODE32" != none ] && build_suites "$BUILD32" i686

  step "64-bit build"
  if [ "$MODE32" != none ]; then
    TARGETS=(quillan quillanctl)
    build "$BUILD64" x86_64 -DQUILLAN_TESTS=OFF || exit 1
  else
    TARGETS=(quillan quillan_probe quillanctl quillan_demo)
    build "$BUILD64" x86_64 -DQUILLAN_TESTS=ON || exit 1
    build_suites "$BUILD64" x86_64
  fi
  check_imports "$BUILD64/bin/Quillan.exe" x86_64-w64-mingw32-objdump || exit 1
  check_imports "$BUILD64/bin/quillanctl.exe" x86_64-w64-mingw32-objdump || exit 1
  echo "programs: $BUILD32/bin/Quillan.exe $BUILD64/bin/Quillan.exe"

  step "manifests"
  for exe in Quillan.exe quillanctl.exe; do
    "$ROOT/tests/windows/manifest_test.sh" i686-w64-mingw32-windres "$BUILD32/bin/$exe" x86 || failed=1
    "$ROOT/tests/windows/manifest_test.sh" x86_64-w64-mingw32-windres "$BUILD64/bin/$exe" amd64 || failed=1
  done

  # Made here, outside any namespace; kept after the run.
  step "making the packages"
  rm -f "$DIST"/Quillan-*
  make_packages i686 "$BUILD32" || failed=1
  make_packages x86_64 "$BUILD64" || failed=1

  if [ "$MODE32" = qemu ]; then
    step ""
    export QUILLAN_WINDOWS_PHASE=run QUILLAN_WINDOWS_MODE="$MODE32" QUILLAN_WINDOWS_HOW="$HOW"
    export QUILLAN_WINDOWS_FAILED="$failed" QUILLAN_WINDOWS_TIMES="$TIMES"
    echo
    echo "--- entering a user namespace with qemu-i386 for 32-bit programs"
    in_namespace bash "$ROOT/tests/windows/run.sh" "$BUILD32" "$BUILD64"
    exit $?
  fi
else
  MODE32="$QUILLAN_WINDOWS_MODE" HOW="$QUILLAN_WINDOWS_HOW"
fi

if [ "$MODE32" != none ]; then
  export WINEARCH=win32
  RUNBUILD="$BUILD32" RUNWINE="$WINE" RUNARCH=i686
else
  export WINEARCH=win64
  RUNBUILD="$BUILD64" RUNWINE="$WINE64" RUNARCH=x86_64
fi
export WINEDEBUG=-all
WINEPREFIX1="$(mktemp -d /tmp/quillan-wine.XXXXXX)"
export WINEPREFIX="$WINEPREFIX1"
WINEPREFIX64=""
XVFB_PID=""
cleanup() {
  WINEPREFIX="$WINEPREFIX1" "$WINESERVER" -k 2>/dev/null || true
  [ -n "$WINEPREFIX64" ] && WINEPREFIX="$WINEPREFIX64" "$WINESERVER" -k 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WINEPREFIX1" ${WINEPREFIX64:+"$WINEPREFIX64"}
}
trap cleanup EXIT

# new_prefix WINE: this run's WINEPREFIX made ready, one server kept for the runs in it.
new_prefix() {
  local start=$SECONDS
  "$1" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -w
  echo "$WINEPREFIX ready in $((SECONDS - start)) s"
  "$WINESERVER" -p 60
}

# The installer and the zip of ARCH, installed, upgraded and uninstalled in
# this prefix; BUILD holds the probe the smoke test uses, WINE runs them.
test_packages() {
  local arch="$1" build="$2" wine="$3" suffix=win32 setup="Quillan-$VERSION-setup.exe"
  local msi="Quillan-$VERSION.msi"
  [ "$arch" = x86_64 ] && suffix=win64 setup="Quillan-$VERSION-win64-setup.exe" msi="Quillan-$VERSION-win64.msi"
  PROBE="$build/tests/windows/quillan_probe.exe" WINE="$wine" "$ROOT/tests/windows/package_test.sh" \
    "$DIST/$setup" "$DIST/Quillan-$VERSION-$suffix.zip" "$build" || failed=1
  PROBE="$build/tests/windows/quillan_probe.exe" WINE="$wine" "$ROOT/tests/windows/msi_test.sh" \
    "$DIST/$msi" "$DIST/$setup" "$build" || failed=1
}

# The toolkit suite and the smoke test need a display; so does Wine's own set-up.
step "Xvfb"
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!"; wait)
read -r _ XVFB_PID <&3
read -r display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
echo "display $DISPLAY"

step "Wine prefix ($WINEARCH)"
new_prefix "$RUNWINE"

# Output goes through a file, not a pipe: Wine's helper processes inherit
# the descriptors and would hold a pipe open.
for suite in "${SUITES[@]}"; do
  step "$(basename "$suite")"
  if [ ! -f "$RUNBUILD/$suite.exe" ]; then
    echo "not built"
    continue
  fi
  (cd "$RUNBUILD" && "$RUNWINE" "$suite.exe" --gtest_brief=1 >"$WINEPREFIX/suite.log" 2>&1) || failed=1
  tr -d '\r' <"$WINEPREFIX/suite.log"
done

step "quillanctl.exe"
sh "$ROOT/tests/ctl/wine_test.sh" "$RUNWINE" "$RUNBUILD/bin/quillanctl.exe" || failed=1

step "smoke test"
WINE="$RUNWINE" "$ROOT/tests/windows/smoke_test.sh" "$RUNBUILD" || failed=1

step "96 and 144 DPI"
WINE="$RUNWINE" "$ROOT/tests/windows/dpi_test.sh" "$RUNBUILD" || failed=1

step "demo installation"
WINE="$RUNWINE" "$ROOT/tests/windows/demo_test.sh" "$RUNBUILD" || failed=1

step "packages ($RUNARCH)"
test_packages "$RUNARCH" "$RUNBUILD" "$RUNWINE"
if [ "$MODE32" = none ]; then
  step "32-bit Windows Installer package (tables only: no 32-bit programs run here)"
  "$ROOT/tests/windows/msi_test.sh" "$DIST/Quillan-$VERSION.msi" || failed=1
fi

# The 64-bit exe in a 64-bit prefix of its own, looked at by the 32-bit probe.
if [ "$MODE32" != none ]; then
  step "64-bit prefix"
  "$WINESERVER" -k 2>/dev/null
  WINEPREFIX64="$(mktemp -d /tmp/quillan-wine64.XXXXXX)"
  export WINEARCH=win64 WINEPREFIX="$WINEPREFIX64"
  new_prefix "$WINE64"
  step "64-bit smoke test"
  PROBE="$BUILD32/tests/windows/quillan_probe.exe" WINE="$WINE64" \
    "$ROOT/tests/windows/smoke_test.sh" "$BUILD64" || failed=1
  step "packages (x86_64)"
  test_packages x86_64 "$BUILD32" "$WINE64"
fi
step ""

echo
echo "32-bit programs: $HOW"
echo "packages: $DIST"
echo "times:"
printf '%s' "$TIMES"
exit "$failed"
