#!/usr/bin/env bash
# The real program on a virtual display, checked from outside:
#   a click on a check-mark box moves the folders; closing writes the
#   per-user settings; a second instance ends at once with 0; a window
#   titled "Novell ConsoleOne ..." brings the warning first and locks the list;
#   at QT_SCALE_FACTOR 1.5 and 2 the window opens wholly on the screen, also
#   from a placement saved off it.
# Usage: quillan_e2e.sh QUILLAN XWINDOW DEMO_INSTALLATION
set -uo pipefail

QUILLAN="$1" XWINDOW="$2" DEMO="$3"

# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_setup "$QUILLAN" "$DEMO" '[Required Snapins]\n1=NDSManager\n'

visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
has_visible() { [ -n "$(visible "$1")" ]; }

# --- 1. a click on a check-mark box moves the folders ---------------------
start_quillan "$TMP/quillan.log"
if poll 15 has_visible '^Quillan$'; then
  WIN="$(visible '^Quillan$')"
  # Sorted: Backup, certificates, dhcp, ...; certificates is inactive.
  click_mark "$WIN" 1
  if poll 5 test -d "$C1/snapins/certificates"; then
    if [ -d "$C1/lib/certificates" ] && [ -d "$C1/resources/certificates" ] &&
       [ ! -e "$C1/inactive.snapins/certificates" ]; then
      pass "a click on the check mark activated the snap-in's three folders"
    else
      fail "the snap-in moved only partly"
    fi
  else
    fail "the click on the check mark moved nothing"
  fi
  click_mark "$WIN" 2  # dhcp, active: goes inactive
  poll 5 test -d "$C1/inactive.snapins/dhcp" && pass "a second click deactivated dhcp" ||
    fail "dhcp was not deactivated"

  # --- 2. a second instance ends at once with 0 and no window, and brings
  # the running one's window back -------------------------------------------
  xdotool windowunmap "$WIN"
  poll 5 bash -c '! xdotool search --onlyvisible --name "^Quillan$" >/dev/null 2>&1' ||
    fail "could not hide the window"
  START=$SECONDS
  timeout 10 "$TMP/prog/quillan" >"$TMP/second.log" 2>&1
  CODE=$?
  poll 5 has_visible '^Quillan$' && pass "the second start showed the running window again" ||
    fail "the running window stayed hidden"
  COUNT=$(xdotool search --onlyvisible --name '^Quillan$' 2>/dev/null | wc -l)
  if [ "$CODE" -eq 0 ] && [ $((SECONDS - START)) -le 5 ] && [ "$COUNT" -eq 1 ]; then
    pass "a second instance ended with 0 and no window of its own"
  else
    fail "second instance: exit code $CODE after $((SECONDS - START)) s, $COUNT windows"
  fi

  # --- 3. closing writes the per-user settings file ---------------------------
  "$XWINDOW" close "$WIN"
  if poll 10 exited "$QPID"; then
    wait "$QPID"; CODE=$?
    [ "$CODE" -eq 0 ] || fail "the program ended with $CODE"
    if grep -q '^\[Settings\]' "$TMP/config/quillan.ini" 2>/dev/null &&
       grep -qF "$C1" "$TMP/config/quillan.ini"; then
      pass "closing wrote the per-user settings file"
    else
      fail "no per-user settings after closing"; cat "$TMP/config/quillan.ini" 2>/dev/null
    fi
  else
    fail "the program did not end after its window was closed"
  fi
else
  fail "the window did not appear"; cat "$TMP/quillan.log"
fi

# --- 4. a running ConsoleOne: warning first, then a locked list -------------
"$XWINDOW" open "Novell ConsoleOne 1.2 (test)" >"$TMP/c1win" &
C1WIN=$!
PIDS+=($!)
poll 5 test -s "$TMP/c1win" || fail "the helper window did not open"
start_quillan "$TMP/quillan.log"
if poll 15 has_visible '^Warning$'; then
  if has_visible '^Quillan$'; then
    fail "the main window was visible with the warning"
  else
    pass "the warning came before the main window"
  fi
  "$XWINDOW" close "$(visible '^Warning$')"
  if poll 15 has_visible '^Quillan$'; then
    WIN="$(visible '^Quillan$')"
    click_mark "$WIN" 1  # certificates, active now
    click_mark "$WIN" 3  # DNS, active
    sleep 1
    if [ -d "$C1/snapins/certificates" ] && [ -d "$C1/snapins/DNS" ] &&
       [ ! -e "$C1/inactive.snapins/DNS" ]; then
      pass "with ConsoleOne running, clicks moved nothing"
    else
      fail "a click moved folders while ConsoleOne was running"
    fi
    "$XWINDOW" close "$WIN"
    poll 10 exited "$QPID" || fail "the program did not end after its window was closed"
  else
    fail "the main window did not follow the warning"
  fi
else
  fail "no warning with a ConsoleOne window open"; cat "$TMP/quillan.log"
fi

# --- 5. scaled displays: the window wholly on the screen -------------------
kill "$C1WIN" 2>/dev/null
wait "$C1WIN" 2>/dev/null
SCREEN_W=0 SCREEN_H=0
read -r SCREEN_W SCREEN_H < <(xdotool getdisplaygeometry)
# on_screen SCALE WHAT: starts the program at the scale and checks where its
# window opens, in the screen's own pixels; then closes it.
on_screen() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  QT_SCALE_FACTOR="$1" start_quillan "$TMP/quillan-scaled.log"
  if ! poll 15 has_visible '^Quillan$'; then
    fail "$2 at ${1}x: the window did not appear"; cat "$TMP/quillan-scaled.log"
    return
  fi
  WIN="$(visible '^Quillan$')"
  sleep 0.5  # placed once mapped
  eval "$(xdotool getwindowgeometry --shell "$WIN")"
  if [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le "$SCREEN_W" ] &&
     [ $((Y + HEIGHT)) -le "$SCREEN_H" ] && [ "$WIDTH" -ge $((368 * ${1%.*})) ]; then
    pass "$2 at ${1}x: ${WIDTH}x${HEIGHT} at $X,$Y inside ${SCREEN_W}x${SCREEN_H}"
  else
    fail "$2 at ${1}x: ${WIDTH}x${HEIGHT} at $X,$Y is not inside ${SCREEN_W}x${SCREEN_H}"
  fi
  "$XWINDOW" close "$WIN"
  poll 10 exited "$QPID" || fail "$2 at ${1}x: the program did not end after its window was closed"
}
for scale in 1.5 2; do
  rm -f "$TMP/config/quillan.ini"
  on_screen "$scale" "first start"
  printf '[Settings]\nForm1.Left=5000\nForm1.Top=4000\n' >"$TMP/config/quillan.ini"
  on_screen "$scale" "placement saved off the screen"
done

e2e_finish "all end-to-end checks passed"
