#!/usr/bin/env bash
# Takes the README's Windows screenshot: Quillan.exe under Wine at 96 DPI, in
# C:\Program Files\Quillan, on the demo installation copied to
# C:\Novell\ConsoleOne\1.2, on a virtual display; saved as
# docs/screenshot-windows.png.
#
# Usage: screenshot-windows.sh [QUILLAN_EXE]   (default: the 32-bit build of
# the windows test stage). WINE, WINEARCH and WINEPREFIX may name another
# Wine, a 64-bit prefix for the 64-bit exe, or a prefix to reuse.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
EXE="$(realpath "${1:-$ROOT/build/windows-i686/bin/Quillan.exe}")"
WINE="${WINE:-/usr/lib/wine/wine}"
WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver}"
export WINEARCH="${WINEARCH:-win32}" WINEDEBUG=-all
OUT="$ROOT/docs/screenshot-windows.png"

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

C="$WINEPREFIX/drive_c"
rm -rf "$C/Novell/ConsoleOne/1.2" "$C/Program Files/Quillan"
find "$C/users" -iname 'Quillan.ini' -delete
mkdir -p "$C/Novell/ConsoleOne/1.2" "$C/Program Files/Quillan"
cp -r "$ROOT/examples/demo/ConsoleOne/." "$C/Novell/ConsoleOne/1.2/"
cp "$EXE" "$C/Program Files/Quillan/Quillan.exe"
sed 's/^C1=@C1@/C1=C:\\Novell\\ConsoleOne\\1.2/; s/^;.*@C1@.*$/; Machine-wide settings beside Quillan.exe./; s/$/\r/' \
  "$ROOT/examples/demo/quillan.ini" >"$C/Program Files/Quillan/Quillan.ini"

(cd "$C/Program Files/Quillan" && exec "$WINE" Quillan.exe >/dev/null 2>&1) &
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
