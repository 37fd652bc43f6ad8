#!/usr/bin/env bash
# The real program under other window managers and under Wayland alone:
#   under twm and openbox (clients inside frames) a window titled "Novell
#   ConsoleOne ..." still brings the warning, and a second start ends with 0
#   and brings a minimised window back; under weston (Wayland, no X server)
#   a second start ends with 0 at once and the running instance takes its
#   request to come forward. Each part is skipped when its packages are missing.
# Usage: window_managers.sh QUILLAN XWINDOW DEMO_INSTALLATION
set -uo pipefail

QUILLAN="$1" XWINDOW="$2" DEMO="$3"

# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup "$QUILLAN" "$DEMO"
RAN=0

visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
has_visible() { [ -n "$(visible "$1")" ]; }
# Whether the window sits inside a frame (its parent is not the root).
framed() {
  local root parent
  # Without an id xwininfo would wait for a click on a window.
  [ -n "$1" ] || return 1
  root=$(xwininfo -root | awk '/Window id:/ {print $4}')
  parent=$(xwininfo -children -id "$1" 2>/dev/null | awk '/Parent window id:/ {print $4}')
  [ -n "$parent" ] && [ "$parent" != "$root" ]
}

for wm in twm openbox; do
  if ! command -v "$wm" >/dev/null 2>&1; then
    echo "SKIP: $wm is not installed (apt-get install $wm)"
    continue
  fi
  RAN=1
  e2e_display
  XVFB=${PIDS[-1]}
  if [ "$wm" = twm ]; then
    # twm's own default lets the user place each new window with the mouse,
    # which nobody does here: windows appearing after it started would wait.
    # A file of its own must also name fonts the server has ("fixed").
    printf 'NoGrabServer\nRandomPlacement\nUsePPosition "on"\n' >"$TMP/twmrc"
    printf '%sFont "fixed"\n' Title Resize Menu Icon IconManager >>"$TMP/twmrc"
    twm -f "$TMP/twmrc" >"$TMP/$wm.log" 2>&1 &
  else
    "$wm" >"$TMP/$wm.log" 2>&1 &
  fi
  WM=$!
  PIDS+=("$WM")
  "$XWINDOW" open "Novell ConsoleOne 1.2 ($wm)" >"$TMP/c1win-$wm" &
  C1=$!
  PIDS+=("$C1")
  poll 15 test -s "$TMP/c1win-$wm" || fail "$wm: the ConsoleOne stand-in did not open"
  if ! poll 10 framed "$(head -n1 "$TMP/c1win-$wm")"; then
    fail "$wm: did not put the stand-in into a frame"; cat "$TMP/$wm.log"
  fi
  start_quillan "$TMP/quillan-$wm.log"
  if poll 15 has_visible '^Warning$'; then
    pass "$wm: a ConsoleOne window inside a frame brought the warning"
    "$XWINDOW" close "$(visible '^Warning$')"
  else
    fail "$wm: no warning with a ConsoleOne window in a frame"; cat "$TMP/quillan-$wm.log"
  fi
  if poll 15 has_visible '^Quillan$'; then
    WIN="$(visible '^Quillan$')"
    xdotool windowminimize "$WIN"
    poll 5 bash -c '! xdotool search --onlyvisible --name "^Quillan$" >/dev/null 2>&1' ||
      fail "$wm: could not minimise the window"
    START=$SECONDS
    timeout 10 "$TMP/prog/quillan" >"$TMP/second-$wm.log" 2>&1
    CODE=$?
    if [ "$CODE" -eq 0 ] && [ $((SECONDS - START)) -le 5 ]; then
      pass "$wm: a second start ended with 0"
    else
      fail "$wm: a second start ended with $CODE after $((SECONDS - START)) s"
    fi
    poll 5 has_visible '^Quillan$' && pass "$wm: the second start brought the window back" ||
      fail "$wm: the minimised window stayed hidden"
    "$XWINDOW" close "$WIN"
    poll 10 exited "$QPID" || fail "$wm: the program did not end after its window was closed"
  else
    fail "$wm: the main window did not appear"
  fi
  kill "$C1" "$WM" "$XVFB" 2>/dev/null
done

# --- Wayland alone ----------------------------------------------------------
PLUGIN=$(ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so 2>/dev/null | head -n1)
if ! command -v weston >/dev/null 2>&1; then
  echo "SKIP: weston is not installed (apt-get install weston)"
elif [ -z "$PLUGIN" ]; then
  echo "SKIP: Qt's Wayland plugin is not installed (apt-get install qt6-wayland)"
else
  RAN=1
  weston --backend=headless-backend.so --socket=quillan-test --idle-time=0 \
    >"$TMP/weston.log" 2>&1 &
  PIDS+=($!)
  poll 10 test -S "$XDG_RUNTIME_DIR/quillan-test" || { fail "weston did not start"; cat "$TMP/weston.log"; }
  wayland() { env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=quillan-test "$@"; }
  wayland WAYLAND_DEBUG=1 "$TMP/prog/quillan" >"$TMP/wayland.log" 2>&1 &
  QPID=$!
  PIDS+=("$QPID")
  if poll 15 grep -q 'set_title("Quillan")' "$TMP/wayland.log"; then
    pass "the window opened on Wayland"
    START=$SECONDS
    wayland XDG_ACTIVATION_TOKEN=test-token timeout 10 "$TMP/prog/quillan" >"$TMP/second.log" 2>&1
    CODE=$?
    if [ "$CODE" -eq 0 ] && [ $((SECONDS - START)) -le 3 ] && ! exited "$QPID"; then
      pass "a second start on Wayland ended with 0 at once"
    else
      fail "second start on Wayland: code $CODE after $((SECONDS - START)) s"; cat "$TMP/second.log"
    fi
    # What the second start said, said again by hand: the instance takes it.
    ANSWER=$(python3 - "$XDG_RUNTIME_DIR/quillan.socket" <<'PY'
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.settimeout(3)
s.connect(sys.argv[1])
s.sendall(b"forward test-token\n")
print(s.recv(16).decode().strip())
PY
    )
    [ "$ANSWER" = "ok" ] && pass "the running instance took the request to come forward" ||
      fail "the running instance did not answer the request (\"$ANSWER\")"
    kill "$QPID"
  else
    fail "the window did not open on Wayland"; cat "$TMP/wayland.log" | tail -20
  fi
fi

[ "$RAN" -eq 1 ] || { echo "SKIP: no window manager and no weston"; exit 77; }
e2e_finish "all window-manager and Wayland checks passed"
