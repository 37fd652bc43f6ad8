#!/usr/bin/env bash
# Start-up to the first painted window and resident memory once shown:
# Quillan on the demo installation against one empty Qt Widgets window, on
# a virtual display, alternating runs. Prints each run and the medians.
#
#   bench/startup.sh BUILD_DIR [runs]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:?build folder}" && pwd)"
RUNS="${2:-7}"
PROBE="$BUILD/bin/quillan_startup_probe"
for f in "$PROBE" "$BUILD/bin/quillan" "$BUILD/bin/quillan_minimal_window"; do
  [ -x "$f" ] || { echo "startup.sh: missing $f" >&2; exit 1; }
done

WORK="$(mktemp -d /tmp/quillan-startup.XXXXXX)"
XVFB_PID=""
cleanup() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

cp -a "$ROOT/examples/demo/ConsoleOne" "$WORK/ConsoleOne"
mkdir -p "$WORK/program" "$WORK/config" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp "$BUILD/bin/quillan" "$WORK/program/quillan"
sed "s|@C1@|$WORK/ConsoleOne|" "$ROOT/examples/demo/quillan.ini" >"$WORK/program/quillan.ini"
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

n=99
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -br -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=":$n"

# One unmeasured start of each warms the file cache.
"$PROBE" Quillan "$WORK/program/quillan" >/dev/null
"$PROBE" Minimal "$BUILD/bin/quillan_minimal_window" >/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
field() { sed -n "s/.*$1=\([0-9.-]*\).*/\1/p"; }
: >"$WORK/quillan.txt"
: >"$WORK/minimal.txt"
for i in $(seq "$RUNS"); do
  q=$("$PROBE" Quillan "$WORK/program/quillan")
  m=$("$PROBE" Minimal "$BUILD/bin/quillan_minimal_window")
  echo "run $i: quillan $q | minimal $m"
  echo "$q" >>"$WORK/quillan.txt"
  echo "$m" >>"$WORK/minimal.txt"
done
qp=$(field paint_ms <"$WORK/quillan.txt" | median)
mp=$(field paint_ms <"$WORK/minimal.txt" | median)
qr=$(field rss_kib <"$WORK/quillan.txt" | median)
mr=$(field rss_kib <"$WORK/minimal.txt" | median)
awk -v qp="$qp" -v mp="$mp" -v qr="$qr" -v mr="$mr" 'BEGIN {
  printf "median first paint: quillan %.1f ms, minimal %.1f ms, ratio %.2f (target <= 1.5)\n", qp, mp, qp / mp
  printf "median resident:    quillan %.1f MiB, minimal %.1f MiB, difference %+.1f MiB (target <= +20)\n",
         qr / 1024, mr / 1024, (qr - mr) / 1024
}'
