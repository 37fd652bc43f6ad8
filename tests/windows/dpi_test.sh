#!/usr/bin/env bash
# Quillan.exe at 96 and at 144 DPI, measured from outside: at 144 (set in a
# copy of the prefix, HKCU\Control Panel\Desktop LogPixels) the client area,
# a row of the check-list box and the caption's text are 1.5 times their
# 96-DPI sizes, and the placement written on closing is the same 96-DPI one.
# At 144 DPI the window also opens wholly on the screen, at its designed
# place (scaled, it would reach below the screen) and from a saved placement
# off the screen (a monitor since removed).
#
# Usage: dpi_test.sh BUILD_DIR   (WINEPREFIX: a ready prefix at 96 DPI;
#                                 WINEARCH and DISPLAY set)
set -euo pipefail

BUILD="$1"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
WINE="${WINE:-/usr/lib/wine/wine}"
WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver}"
EXE="$BUILD/bin/Quillan.exe"
PROBE="${PROBE:-$BUILD/tests/windows/quillan_probe.exe}"
: "${WINEPREFIX:?}" "${DISPLAY:?}"
PREFIX96="$WINEPREFIX"

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"  # begin_test, fail, ended, wait_for
begin_test DPI
on_cleanup() {
  [ -d "$WORK/prefix144" ] && WINEPREFIX="$WORK/prefix144" "$WINESERVER" -k 2>/dev/null || true
}

winpath() { printf 'Z:%s' "${1//\//\\}"; }

INST="$WORK/ConsoleOne"
mkdir -p "$INST/bin" "$INST/snapins/Alpha" "$INST/snapins/Beta" "$INST/inactive.snapins/Gamma" "$WORK/app"
echo stub >"$INST/bin/ConsoleOne.exe"
cp "$EXE" "$WORK/app/Quillan.exe"
printf '[Paths]\r\nC1=%s\r\n' "$(winpath "$INST")" >"$WORK/app/Quillan.ini"

# The window near the screen's corner, so that it fits the screen at 144 DPI.
PLACEMENT='Form1.Top=20\r\nForm1.Left=30\r\nForm1.Width=376\r\nForm1.Height=453\r\n'
seed_user_file() {
  local dir
  dir="$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -iname Roaming | head -1)"
  [ -n "$dir" ] || fail "no application-data folder in $WINEPREFIX"
  find "$WINEPREFIX/drive_c/users" -iname 'Quillan.ini' -delete
  if [ -n "$PLACEMENT" ]; then
    printf "[Settings]\r\n$PLACEMENT[Settings Form1]\r\n$PLACEMENT" >"$dir/Quillan.ini"
  else
    printf '[Settings]\r\n' >"$dir/Quillan.ini"
  fi
  USER_FILE="$dir/Quillan.ini"
}

# Starts Quillan, measures its window, closes it; sets W H ROW TEXT_W TEXT_H.
measure() {
  local scale="$1" shot="$WORK/shot-$1"
  seed_user_file
  (cd "$WORK/app" && exec "$WINE" Quillan.exe >"$WORK/quillan.log" 2>&1) &
  PID=$!
  local id=""
  # Wine names the window's X class after the exe: no other program's window.
  find_window() {
    id="$(xdotool search --onlyvisible --classname '^quillan\.exe$' 2>/dev/null | head -1)"
    [ -n "$id" ]
  }
  wait_for 60 find_window || fail "no window at scale $scale"
  filled() { [ "$("$WINE" "$PROBE" items 2>/dev/null | tr -d '\r' | paste -sd, -)" = "Alpha,Beta,Gamma" ]; }
  wait_for 20 filled || fail "the list was not filled at scale $scale"
  sleep 1  # the last paint
  read -r X Y W H < <(xwininfo -id "$id" |
    sed -n 's/^ *Absolute upper-left X: *//p; s/^ *Absolute upper-left Y: *//p; s/^ *Width: //p; s/^ *Height: //p' |
    paste -sd' ')
  import -window "$id" "$shot.png"
  convert "$shot.png" -colorspace gray "$shot.pgm"
  read -r _ ROW < <(python3 "$ROOT/tests/windows/measure_window.py" "$shot.pgm" "$scale" | grep '^row')
  read -r _ TEXT < <(python3 "$ROOT/tests/windows/measure_window.py" "$shot.pgm" "$scale" | grep '^text')
  TEXT_W="${TEXT%x*}"
  TEXT_H="${TEXT#*x}"
  "$WINE" "$PROBE" close >/dev/null 2>&1 || true
  ended 30 "Quillan did not end at scale $scale"
  SAVED="$(tr -d '\r' <"$USER_FILE" | sed -n '/^\[Settings\]/,/^\[/p' | grep '^Form1\.' | sort | paste -sd' ')"
  echo "scale $scale: client ${W}x${H} at $X,$Y, row $ROW, caption text ${TEXT_W}x${TEXT_H}, saved $SAVED"
  [ -n "${KEEP_SHOTS:-}" ] && cp "$shot.png" "$KEEP_SHOTS/quillan-dpi-$scale.png"
  return 0
}

# Within one pixel of rounding (two for the text's height, which the font
# hints to whole pixels at each size).
near() { local got="$1" want2="$2" slack="$3"; [ $((2 * got - want2)) -le "$slack" ] && [ $((want2 - 2 * got)) -le "$slack" ]; }

measure 1
W96=$W H96=$H ROW96=$ROW TW96=$TEXT_W TH96=$TEXT_H SAVED96=$SAVED
[ "$ROW96" -eq 16 ] || fail "a row is $ROW96 pixels high at 96 DPI, not 16"

cp -a "$PREFIX96" "$WORK/prefix144"
export WINEPREFIX="$WORK/prefix144"
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 ||
  fail "could not set LogPixels"
measure 1.5

near "$W" $((3 * W96)) 2 || fail "client width $W at 144 DPI, expected 1.5 x $W96"
near "$H" $((3 * H96)) 2 || fail "client height $H at 144 DPI, expected 1.5 x $H96"
near "$ROW" $((3 * ROW96)) 2 || fail "row height $ROW at 144 DPI, expected 1.5 x $ROW96"
near "$TEXT_W" $((3 * TW96)) 4 || fail "caption text ${TEXT_W} wide at 144 DPI, expected 1.5 x $TW96"
near "$TEXT_H" $((3 * TH96)) 4 || fail "caption text ${TEXT_H} high at 144 DPI, expected 1.5 x $TH96"
[ "$SAVED" = "$SAVED96" ] || fail "placement saved at 144 DPI ($SAVED) differs from 96 DPI ($SAVED96)"
# The whole window on the screen (Xvfb has no task bar: the screen is the work area).
read -r SCREEN_W SCREEN_H < <(xwininfo -root | sed -n 's/^ *Width: //p; s/^ *Height: //p' | paste -sd' ')
on_screen() {
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + W)) -le "$SCREEN_W" ] && [ $((Y + H)) -le "$SCREEN_H" ] ||
    fail "$1: the window at $X,$Y ${W}x${H} is not wholly on the ${SCREEN_W}x${SCREEN_H} screen"
}
for PLACEMENT in '' 'Form1.Top=2000\r\nForm1.Left=3000\r\nForm1.Width=376\r\nForm1.Height=453\r\n'; do
  measure 1.5
  if [ -n "$PLACEMENT" ]; then on_screen "saved off the screen"; else on_screen "designed place"; fi
  near "$W" $((3 * W96)) 2 || fail "client width $W when kept on the screen, expected 1.5 x $W96"
  near "$H" $((3 * H96)) 2 || fail "client height $H when kept on the screen, expected 1.5 x $H96"
done
echo "DPI test passed"
