#!/usr/bin/env bash
# Smoke test of the real Quillan.exe under Wine and Xvfb: the window
# appears, lists a temporary installation (also to a screen reader), a click
# on a check-mark box and a screen reader's action move the folders, a second
# start ends at once, and closing writes the per-user settings file into the
# prefix's application-data folder.
#
# Usage: smoke_test.sh BUILD_DIR   (WINEPREFIX, WINEARCH and DISPLAY set)
# APP_DIR=folder runs the Quillan.exe found there in place (an installed
# one) instead of a copy of BUILD_DIR's; the test's Quillan.ini goes beside it.
set -euo pipefail

BUILD="$1"
WINE="${WINE:-/usr/lib/wine/wine}"
EXE="$BUILD/bin/Quillan.exe"
PROBE="${PROBE:-$BUILD/tests/windows/quillan_probe.exe}"
: "${WINEPREFIX:?}" "${DISPLAY:?}"

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"  # begin_test, fail, ended, wait_for
begin_test smoke
on_failure() {
  if command -v import >/dev/null; then
    import -window root /tmp/quillan-smoke-failure.png 2>/dev/null &&
      echo "screen saved to /tmp/quillan-smoke-failure.png" >&2
  fi
}

# Through a file: Wine's helper processes could hold a pipe open.
probe() {
  "$WINE" "$PROBE" "$@" >"$WORK/probe.out" 2>/dev/null || true
  tr -d '\r' <"$WORK/probe.out"
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# A ConsoleOne installation: two active snap-ins (one with a library
# folder, one required), one inactive, and the program's machine-wide
# settings file.
INST="$WORK/ConsoleOne"
mkdir -p "$INST/bin" "$INST/snapins/Alpha" "$INST/snapins/Beta" "$INST/lib/Alpha" \
  "$INST/resources/Alpha" "$INST/inactive.snapins/Gamma"
echo stub >"$INST/bin/ConsoleOne.exe"
APP="${APP_DIR:-$WORK/app}"
if [ -z "${APP_DIR:-}" ]; then
  mkdir -p "$APP"
  cp "$EXE" "$APP/Quillan.exe"
fi
printf '[Paths]\r\nC1=%s\r\n[Snapin Description]\r\nAlpha=The first snap-in\r\n[Required Snapins]\r\n1=Beta\r\n' \
  "$(winpath "$INST")" \
  >"$APP/Quillan.ini"

# The per-user file must come from this run.
find "$WINEPREFIX/drive_c/users" -iname 'Quillan.ini' -delete 2>/dev/null || true

echo "starting Quillan.exe"
(cd "$APP" && exec "$WINE" Quillan.exe >"$WORK/quillan.log" 2>&1) &
PID=$!

window_shown() { [ -n "$(xdotool search --onlyvisible --name '^Quillan$' 2>/dev/null)" ]; }
wait_for 60 window_shown || fail "no window titled Quillan appeared"
echo "window appeared"

items() { probe items | paste -sd, -; }
# Polled: the list may fill after the window shows.
list_filled() { [ "$(items)" = "Alpha,Beta,Gamma" ]; }
wait_for 20 list_filled ||
  fail "list shows '$(items)', expected Alpha,Beta,Gamma"
echo "list filled: $(items)"

entries() { probe entries | paste -sd, -; }
[ "$(entries)" = "count 3,Alpha|checked|,Beta|checked|unavailable,Gamma||" ] ||
  fail "a screen reader reads the list as '$(entries)'"
echo "a screen reader reads each entry's name, mark and lock"

read -r X Y < <(probe checkbox 0) || fail "no check-mark box for the first entry"
xdotool mousemove "$X" "$Y" click 1
moved() { [ -d "$INST/inactive.snapins/Alpha" ] && [ ! -e "$INST/snapins/Alpha" ]; }
wait_for 20 moved || fail "clicking Alpha's check-mark box did not move its folder"
[ -d "$INST/inactive.lib/Alpha" ] && [ -d "$INST/inactive.resources/Alpha" ] ||
  fail "Alpha's library and resource folders did not move with it"
[ -d "$INST/snapins/Beta" ] || fail "Beta moved too"
echo "click on the check-mark box moved Alpha's folders"
probe panels | grep -qx '   The first snap-in' ||
  fail "the information line reads '$(probe panels | paste -sd'|' -)' to a screen reader"

"$WINE" "$PROBE" toggle 3 >/dev/null 2>&1 || fail "a screen reader could not switch Gamma"
wait_for 20 test -d "$INST/snapins/Gamma" || fail "a screen reader's action did not move Gamma"
# On the required Beta the action is taken and refused: the line says why.
"$WINE" "$PROBE" toggle 2 >/dev/null 2>&1 || fail "a screen reader's action on Beta was not taken"
[ "$(entries)" = "count 3,Alpha||,Beta|checked|unavailable,Gamma|checked|" ] ||
  fail "after the switches a screen reader reads '$(entries)'"
probe panels | grep -q 'Beta stays as it is' ||
  fail "the refusal on Beta was not said: '$(probe panels | paste -sd'|' -)'"
echo "a screen reader's action switches an entry; on a locked one it says why not"

echo "second start"
start=$SECONDS
(cd "$APP" && timeout 60 "$WINE" Quillan.exe >/dev/null 2>&1) || fail "second start did not end with exit code 0"
[ $((SECONDS - start)) -le 30 ] || fail "second start took $((SECONDS - start)) s"
[ "$(probe forms)" = "1" ] || fail "$(probe forms) Quillan windows after a second start"
echo "second start ended at once, one window"

probe close
ended 30 "Quillan did not end after closing its window"
USER_FILE="$(find "$WINEPREFIX/drive_c/users" -iname 'Quillan.ini' | head -1)"
[ -n "$USER_FILE" ] || fail "no per-user Quillan.ini in the prefix's application-data folder"
grep -q 'Form1.Width=' "$USER_FILE" || fail "per-user file lacks the window placement"
grep -qi '^Alpha=0' "$USER_FILE" || fail "per-user file lacks Alpha's unchecked state"
echo "closing wrote $USER_FILE"
echo "smoke test passed"
