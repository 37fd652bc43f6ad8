#!/usr/bin/env bash
# Takes the README's Windows screenshot: Quillan.exe under Wine at 96 DPI, in
# C:\Program Files\Quillan, on the demo installation of its build (with the
# stand-ins bin\ConsoleOne.exe and RConJ.exe) copied to
# C:\Novell\ConsoleOne\1.2, on a virtual display; saved as
# docs/screenshot-windows.png. On a kernel that runs no 32-bit programs, the
# 32-bit Wine runs under qemu-i386 in a user namespace (tests/windows/lib.sh).
#
# Usage: screenshot-windows.sh [QUILLAN_EXE]   (default: the 32-bit build of
# the windows test stage; its build folder's demo/ConsoleOne is the demo).
# WINE, WINEARCH and WINEPREFIX may name another Wine, a 64-bit prefix for
# the 64-bit exe, or a prefix to reuse.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
EXE="$(realpath "${1:-$ROOT/build/windows-i686/bin/Quillan.exe}")"
DEMO="$(dirname "$EXE")/../demo/ConsoleOne"
. "$ROOT/tests/windows/lib.sh"  # install_demo, in_namespace
WINE="${WINE:-/usr/lib/wine/wine}"
WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver}"
export WINEARCH="${WINEARCH:-win32}" WINEDEBUG=-all
OUT="$ROOT/docs/screenshot-windows.png"
if ! "$WINE" --version >/dev/null 2>&1 && [ "${QUILLAN_IN_NAMESPACE:-0}" != 1 ] && [ -n "$QEMU_I386" ]; then
  QUILLAN_IN_NAMESPACE=1 in_namespace bash "$0" "$EXE"
  exit $?
fi

WORK="$(mktemp -d /tmp/quillan-shot.XXXXXX)"
XVFB_PID=""
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
export WINEPREFIX="${WINEPREFIX:-$WORK/prefix}"

exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!"; wait)
read -r _ XVFB_PID <&3
read -r display <&3
export DISPLAY=":$display"
[ -f "$WINEPREFIX/system.reg" ] || { "$WINE" wineboot -i >/dev/null 2>&1; "$WINESERVER" -w; }

APP="$WINEPREFIX/drive_c/Program Files/Quillan"
rm -rf "$APP"
find "$WINEPREFIX/drive_c/users" -iname 'Quillan.ini' -delete
install_demo "$DEMO" "$APP"
cp "$EXE" "$APP/Quillan.exe"

(cd "$APP" && exec "$WINE" Quillan.exe >/dev/null 2>&1) &
id=""
for _ in $(seq 120); do
  id="$(xdotool search --onlyvisible --classname '^quillan\.exe$' 2>/dev/null | head -1)" && [ -n "$id" ] && break
  sleep 0.5
done
[ -n "$id" ] || { echo "no Quillan window appeared" >&2; exit 1; }
sleep 3
# Over the fourth entry (DNS), so that the information line shows its
# description; then off the window, before the entry's tool tip opens.
xdotool mousemove --window "$id" 60 207
sleep 0.2
xdotool mousemove 1270 1010
sleep 1
mkdir -p "$ROOT/docs"
import -window "$id" "$OUT"
echo "$OUT"
