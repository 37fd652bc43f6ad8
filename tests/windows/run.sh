#!/usr/bin/env bash
# The Windows stage: cross-builds Quillan.exe (32-bit, and 64-bit), checks
# that it needs no DLL beside it, then runs the test suites built for Windows
# under Wine in a 32-bit prefix of this run's own, and the smoke test under
# Xvfb, the manifests of both programs, and the window at 96 and 144 DPI.
#
# Some kernels (some virtual machines among them) cannot run 32-bit
# programs, and so no 32-bit Wine. There the 32-bit exe is built and its
# imports checked, and the suites and smoke test run on the 64-bit build in a
# 64-bit prefix: the same sources, only the pointer size differs.
#
# Usage: run.sh [BUILD_DIR_32 [BUILD_DIR_64]]
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD32="${1:-$ROOT/build/windows-i686}"
BUILD64="${2:-$ROOT/build/windows-x86_64}"
JOBS="${QUILLAN_JOBS:-$(nproc 2>/dev/null || echo 2)}"
WINE=/usr/lib/wine/wine
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
SUITES=(tests/unit/quillan_unit_tests tests/app/quillan_app_tests tests/windows/quillan_windows_tests
  tests/ctl/quillanctl_tests)

step() { printf '\n--- %s\n' "$*"; }

build() {
  local dir="$1" toolchain="$2"; shift 2
  cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain" \
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

# Wine's 32-bit loader starts only where the kernel runs 32-bit programs.
if "$WINE" --version >/dev/null 2>&1; then RUN32=1; else RUN32=0; fi

failed=0
# build_suites DIR TOOLCHAIN: a suite that does not build fails the stage; the others still run.
build_suites() {
  local suite
  for suite in "${SUITES[@]}"; do
    rm -f "$1/$suite.exe"
    TARGETS=("$(basename "$suite")")
    build "$1" "$2" || failed=1
  done
}

step "32-bit build"
TARGETS=(quillan quillan_probe quillanctl)
build "$BUILD32" mingw-i686.cmake || exit 1
check_imports "$BUILD32/bin/Quillan.exe" i686-w64-mingw32-objdump || exit 1
check_imports "$BUILD32/bin/quillanctl.exe" i686-w64-mingw32-objdump || exit 1
[ "$RUN32" = 1 ] && build_suites "$BUILD32" mingw-i686.cmake

step "64-bit build"
if [ "$RUN32" = 1 ]; then
  TARGETS=(quillan quillanctl)
  build "$BUILD64" mingw-x86_64.cmake -DQUILLAN_TESTS=OFF || exit 1
else
  TARGETS=(quillan quillan_probe quillanctl)
  build "$BUILD64" mingw-x86_64.cmake -DQUILLAN_TESTS=ON || exit 1
  build_suites "$BUILD64" mingw-x86_64.cmake
fi
check_imports "$BUILD64/bin/Quillan.exe" x86_64-w64-mingw32-objdump || exit 1
check_imports "$BUILD64/bin/quillanctl.exe" x86_64-w64-mingw32-objdump || exit 1
echo "programs: $BUILD32/bin/Quillan.exe $BUILD64/bin/Quillan.exe"

step "manifests"
for exe in Quillan.exe quillanctl.exe; do
  "$ROOT/tests/windows/manifest_test.sh" i686-w64-mingw32-windres "$BUILD32/bin/$exe" x86 || failed=1
  "$ROOT/tests/windows/manifest_test.sh" x86_64-w64-mingw32-windres "$BUILD64/bin/$exe" amd64 || failed=1
done

if [ "$RUN32" = 1 ]; then
  export WINEARCH=win32
  RUNBUILD="$BUILD32"
else
  cat <<'NOTE'
NOTE: this machine cannot run 32-bit programs ("$WINE --version" fails), so
no 32-bit Wine: the 32-bit exe was built and its imports checked; the suites,
quillanctl.exe and the smoke test run on the 64-bit build in a 64-bit prefix.
NOTE
  export WINEARCH=win64
  WINE="$WINE64"
  RUNBUILD="$BUILD64"
fi
export WINEDEBUG=-all
WINEPREFIX="$(mktemp -d /tmp/quillan-wine.XXXXXX)"
export WINEPREFIX
WINEPREFIX64=""
XVFB_PID=""
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  [ -n "$WINEPREFIX64" ] && WINEPREFIX="$WINEPREFIX64" "$WINESERVER" -k 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WINEPREFIX" ${WINEPREFIX64:+"$WINEPREFIX64"}
}
trap cleanup EXIT

# The toolkit suite and the smoke test need a display; so does Wine's own set-up.
step "Xvfb"
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!"; wait)
read -r _ XVFB_PID <&3
read -r display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
echo "display $DISPLAY"

step "Wine prefix $WINEPREFIX"
start=$SECONDS
"$WINE" wineboot -i >/dev/null 2>&1
"$WINESERVER" -w
echo "ready in $((SECONDS - start)) s"
"$WINESERVER" -p 60  # keep one server for all the runs below

# Output goes through a file, not a pipe: Wine's helper processes inherit
# the descriptors and would hold a pipe open.
for suite in "${SUITES[@]}"; do
  step "$(basename "$suite") under Wine"
  if [ ! -f "$RUNBUILD/$suite.exe" ]; then
    echo "not built"
    continue
  fi
  (cd "$RUNBUILD" && "$WINE" "$suite.exe" --gtest_brief=1 >"$WINEPREFIX/suite.log" 2>&1) || failed=1
  tr -d '\r' <"$WINEPREFIX/suite.log"
done

step "quillanctl.exe under Wine"
sh "$ROOT/tests/ctl/wine_test.sh" "$WINE" "$RUNBUILD/bin/quillanctl.exe" || failed=1

step "smoke test"
WINE="$WINE" "$ROOT/tests/windows/smoke_test.sh" "$RUNBUILD" || failed=1

step "96 and 144 DPI"
WINE="$WINE" "$ROOT/tests/windows/dpi_test.sh" "$RUNBUILD" || failed=1

# The installer and the zip made from the programs built above, installed,
# upgraded and uninstalled in this prefix.
step "packages"
DIST="$WINEPREFIX/dist"
package() {
  QUILLAN_DIST="$DIST" QUILLAN_JOBS="$JOBS" "$ROOT/scripts/package.sh" windows >/dev/null
}
if [ "$RUN32" = 1 ]; then
  if QUILLAN_WINDOWS_BUILD="$BUILD32" package; then
    "$ROOT/tests/windows/package_test.sh" "$(ls "$DIST"/Quillan-*[0-9]-setup.exe)" \
      "$(ls "$DIST"/Quillan-*-win32.zip)" "$BUILD32" || failed=1
  else
    failed=1
  fi
else
  if QUILLAN_WINDOWS_ARCH=x86_64 QUILLAN_WINDOWS_BUILD="$BUILD64" package; then
    WINE="$WINE" "$ROOT/tests/windows/package_test.sh" "$(ls "$DIST"/Quillan-*-win64-setup.exe)" \
      "$(ls "$DIST"/Quillan-*-win64.zip)" "$BUILD64" || failed=1
  else
    failed=1
  fi
  exit $failed
fi

# The 64-bit exe in a 64-bit prefix of its own, looked at by the 32-bit probe.
step "64-bit smoke test"
WINEPREFIX64="$(mktemp -d /tmp/quillan-wine64.XXXXXX)"
(
  export WINEARCH=win64 WINEPREFIX="$WINEPREFIX64"
  start=$SECONDS
  "$WINE64" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -w
  echo "prefix ready in $((SECONDS - start)) s"
  PROBE="$BUILD32/tests/windows/quillan_probe.exe" WINE="$WINE64" \
    "$ROOT/tests/windows/smoke_test.sh" "$BUILD64" || exit 1
  echo
  echo "--- 64-bit packages"
  QUILLAN_WINDOWS_ARCH=x86_64 QUILLAN_WINDOWS_BUILD="$BUILD64" package || exit 1
  PROBE="$BUILD32/tests/windows/quillan_probe.exe" WINE="$WINE64" \
    "$ROOT/tests/windows/package_test.sh" "$(ls "$DIST"/Quillan-*-win64-setup.exe)" \
    "$(ls "$DIST"/Quillan-*-win64.zip)" "$BUILD32"
) || failed=1

exit $failed
