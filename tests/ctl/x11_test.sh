#!/bin/sh
# quillanctl finds a ConsoleOne window on an X display (Xvfb) as the window
# program does, and then refuses every switch.
# usage: x11_test.sh QUILLANCTL X11_WINDOW_PROGRAM
set -eu
quillanctl=$1
window=$2
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIP: Xvfb is not installed"
  exit 77
fi

work=$(mktemp -d)
xvfb=""
holder=""
cleanup() {
  [ -n "$holder" ] && kill "$holder" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
fail() {
  echo "FAIL: $*"
  exit 1
}

mkdir -p "$work/c1/bin" "$work/c1/snapins/Alpha" "$work/c1/lib" "$work/c1/resources"
: > "$work/c1/bin/ConsoleOne.exe"

# A free display number, from the server itself.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3> "$work/display" 2> "$work/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

# Without a ConsoleOne window nothing is locked.
"$quillanctl" list --json "$work/c1" > "$work/out.json" || fail "list exited $?"
grep -q '"consoleone_running": false' "$work/out.json" || fail "unexpected lock"

mkfifo "$work/hold"
"$window" "Novell ConsoleOne - [NDS]" < "$work/hold" > "$work/ready" &
holder=$!
exec 4> "$work/hold"
for _ in $(seq 50); do grep -q ready "$work/ready" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$work/ready" || fail "the ConsoleOne stand-in did not start"

"$quillanctl" list --json "$work/c1" > "$work/out.json" || fail "list exited $?"
grep -q '"consoleone_running": true' "$work/out.json" || fail "ConsoleOne window not found"
grep -q '"lock": "consoleone-running"' "$work/out.json" || fail "snap-in not locked"

set +e
"$quillanctl" disable "$work/c1" Alpha > "$work/out.txt" 2> "$work/err.txt"
rc=$?
set -e
[ "$rc" -eq 4 ] || fail "disable while ConsoleOne runs exited $rc"
grep -q "seems to be running" "$work/err.txt" || fail "the window's warning is missing"
[ -d "$work/c1/snapins/Alpha" ] || fail "a snap-in moved while ConsoleOne runs"

exec 4>&-
wait "$holder" || true
holder=""
"$quillanctl" disable "$work/c1" Alpha > /dev/null || fail "disable after ConsoleOne closed"
[ -d "$work/c1/inactive.snapins/Alpha" ] || fail "not moved after ConsoleOne closed"
echo "PASS: ConsoleOne window on X11"
