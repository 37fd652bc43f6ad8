#!/usr/bin/env bash
# The demo installation of a Windows build (BUILD/demo/ConsoleOne) under
# C:\Novell\ConsoleOne\1.2: quillanctl.exe, beside the demo's Quillan.ini,
# finds it an installation with every snap-in in the state its folders give
# and its RConJ.exe; the stand-ins ConsoleOne.exe and RConJ.exe start, say
# what they stand in for (ConsoleOne: the active snap-ins) and end when
# their message box is closed.
#
# Usage: demo_test.sh BUILD_DIR   (WINEPREFIX, WINEARCH and DISPLAY set)
set -euo pipefail

BUILD="$1"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
WINE="${WINE:-/usr/lib/wine/wine}"
SOURCE="$ROOT/examples/demo/ConsoleOne"
: "${WINEPREFIX:?}" "${DISPLAY:?}"

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"  # begin_test, fail, ended, wait_for, install_demo
begin_test demo "$WINEPREFIX/drive_c/Novell"

install_demo "$BUILD/demo/ConsoleOne" "$WORK/app" || fail "no demo installation in $BUILD"
cp "$BUILD/bin/quillanctl.exe" "$WORK/app/"
C1='C:\Novell\ConsoleOne\1.2'

# Through a file: Wine's helper processes could hold a pipe open.
"$WINE" "$WORK/app/quillanctl.exe" list >"$WORK/list.raw" 2>&1 || fail "quillanctl.exe list: $(cat "$WORK/list.raw")"
tr -d '\r' <"$WORK/list.raw" >"$WORK/list"
grep -q '^Check: *installation$' "$WORK/list" || fail "not an installation: $(cat "$WORK/list")"
grep -qF "RConJ:       $C1\\bin\\RConJ.exe" "$WORK/list" && ! grep -q 'not found' "$WORK/list" ||
  fail "RConJ.exe not found: $(cat "$WORK/list")"
n=0
for place in snapins inactive.snapins; do
  state=active
  [ "$place" = inactive.snapins ] && state=inactive
  for dir in "$SOURCE/$place"/*/; do
    name="$(basename "$dir")"
    grep -Eq "^ *$name +$state( |$)" "$WORK/list" || fail "$name is not listed $state: $(cat "$WORK/list")"
    n=$((n + 1))
  done
done
grep -Eq '^ *Backup +inactive +required' "$WORK/list" || fail "Backup is not locked: $(cat "$WORK/list")"
echo "quillanctl.exe list: an installation, $n snap-ins in their folders' states, RConJ.exe found"

active="$(cd "$SOURCE/snapins" && ls | sort | paste -sd' ')"
# stand-in (exe|window title|arguments|first line of its output)
STANDINS=(
  "bin\\ConsoleOne.exe|Stand-in for Novell ConsoleOne (demo)||Stand-in for Novell ConsoleOne (demo) started on $C1"
  "bin\\RConJ.exe|RConJ (demo)|-s server1|RConJ (demo) started with: -s server1"
)
for row in "${STANDINS[@]}"; do
  IFS='|' read -r exe title args said <<<"$row"
  # shellcheck disable=SC2086 # the arguments split at blanks
  "$WINE" "$C1\\$exe" $args >"$WORK/out.raw" 2>/dev/null &
  PID=$!
  id=""
  shown() { id="$(xdotool search --onlyvisible --name "^${title//[()]/.}\$" 2>/dev/null | head -1)" && [ -n "$id" ]; }
  wait_for 60 shown || fail "$exe showed no window '$title'"
  xdotool windowfocus --sync "$id" key Return
  ended 30 "$exe did not end when its message box was closed"
  tr -d '\r' <"$WORK/out.raw" >"$WORK/out"
  [ "$(head -1 "$WORK/out")" = "$said" ] || fail "$exe said '$(cat "$WORK/out")', expected '$said'"
  if [ "$exe" = 'bin\ConsoleOne.exe' ]; then
    loads="$(sed -n 's/^Snap-ins ConsoleOne would load: //p' "$WORK/out" | tr ' ' '\n' | sort | paste -sd' ')"
    [ "$loads" = "$active" ] || fail "ConsoleOne.exe would load '$loads', expected '$active'"
  fi
  echo "$exe: window '$title', said: $(paste -sd' ' "$WORK/out")"
done
echo "demo test passed"
