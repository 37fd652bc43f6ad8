#!/usr/bin/env bash
# The real program disturbed from outside, on a virtual display:
#   several Quillan processes started at once give exactly one window;
#   ConsoleOne started while Quillan runs locks the list before the next
#   click, and its closing unlocks it; another program rewriting the per-user file while Quillan runs
#   does not keep Quillan's close from writing a well-formed file; a start
#   without a reachable display ends with a message.
# Usage: outside.sh QUILLAN XWINDOW DEMO_INSTALLATION
set -uo pipefail

QUILLAN="$1" XWINDOW="$2" DEMO="$3"

# shellcheck source=SCRIPTDIR/../e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
e2e_setup "$QUILLAN" "$DEMO"
USER_INI="$TMP/config/quillan.ini"

windows() { xdotool search --onlyvisible --name '^Quillan$' 2>/dev/null; }
window_count() { windows | wc -l; }
has_window() { [ "$(window_count)" -ge 1 ]; }
running() { local n=0 p; for p in "$@"; do kill -0 "$p" 2>/dev/null && n=$((n + 1)); done; echo $n; }

# Every line blank, a [section] header or a key=value line; no section twice.
well_formed() {
  awk '
    { sub(/\r$/, "") }
    /^$/ { next }
    /^\[.*\]$/ { name = toupper($0); if (seen[name]++) { print "twice: " $0; bad = 1 }; next }
    /=/ { next }
    { print "stray line: " $0; bad = 1 }
    END { exit bad }' "$1"
}

# --- 1. several processes started at once: exactly one window --------------
for round in 1 2 3; do
  starts=()
  for i in 1 2 3; do
    "$TMP/prog/quillan" >"$TMP/start$i.log" 2>&1 &
    starts+=($!)
    PIDS+=($!)
  done
  poll 15 has_window || { fail "round $round: no window appeared"; cat "$TMP"/start*.log; break; }
  # The others end by themselves, with 0, and never show a window.
  poll 10 bash -c "[ \$(for p in ${starts[*]}; do kill -0 \$p 2>/dev/null && echo; done | wc -l) -le 1 ]"
  sleep 1
  count=$(window_count) alive=$(running "${starts[@]}")
  if [ "$count" -eq 1 ] && [ "$alive" -eq 1 ]; then
    pass "round $round: three starts at once gave one window and one process"
  else
    fail "round $round: $count window(s), $alive process(es) left"
  fi
  for i in 1 2 3; do
    p=${starts[$((i - 1))]}
    if exited "$p"; then
      wait "$p"; code=$?
      [ "$code" -eq 0 ] || { fail "round $round: a second start ended with $code"; cat "$TMP/start$i.log"; }
    fi
  done
  win="$(windows | head -n1)"
  [ -n "$win" ] && "$XWINDOW" close "$win"
  for p in "${starts[@]}"; do poll 10 exited "$p" || fail "round $round: process $p did not end"; done
done

# --- 1b. repeated second starts bring the window forward and show nothing else
start_quillan "$TMP/first.log"
FIRST=$QPID
if poll 15 has_window; then
  extra=0
  for i in 1 2 3 4 5 6; do
    timeout 10 "$TMP/prog/quillan" >/dev/null 2>&1 || fail "second start $i ended with $?"
    sleep 0.3
    # Any visible window of that name (the toolkit's hidden helper is "quillan").
    [ "$(window_count)" -eq 1 ] || extra=$((extra + 1))
  done
  [ "$extra" -eq 0 ] && pass "six second starts showed no window besides the running one" ||
    fail "$extra of six second starts left another window visible"
  "$XWINDOW" close "$(windows | head -n1)"
  poll 10 exited "$FIRST" || fail "the first instance did not end"
else
  fail "the window did not appear"
fi

# --- 2. ConsoleOne started while Quillan runs: locked before the next click
start_quillan "$TMP/quillan.log"
if poll 15 has_window; then
  WIN="$(windows | head -n1)"
  "$XWINDOW" open "Novell ConsoleOne 1.2" >"$TMP/c1win" &
  C1WIN=$!
  PIDS+=("$C1WIN")
  poll 5 test -s "$TMP/c1win" || fail "the ConsoleOne stand-in did not open"
  # Sorted list: Backup, certificates, dhcp, ...; dhcp is active.
  click_mark "$WIN" 2
  sleep 1
  if [ -d "$C1/snapins/dhcp" ] && [ ! -e "$C1/inactive.snapins/dhcp" ]; then
    pass "a console started after Quillan locks the list before the next click"
  else
    fail "a click moved dhcp while a console started later was open"
  fi
  kill "$C1WIN" 2>/dev/null
  wait "$C1WIN" 2>/dev/null
  # The first click finds the console gone and unlocks; the next one moves.
  click_mark "$WIN" 2
  sleep 0.5
  click_mark "$WIN" 2
  if poll 5 test -d "$C1/inactive.snapins/dhcp"; then
    pass "once the console is closed, the list unlocks"
  else
    fail "the list stayed locked after the console closed"
  fi
  # And Quillan holds nothing that keeps a console from using the folders.
  if mv "$C1/inactive.snapins/dhcp" "$C1/snapins/dhcp" 2>/dev/null; then
    pass "the installation's folders stay free for the console"
  else
    fail "a folder could not be moved back by another process"
  fi
  kill "$C1WIN" 2>/dev/null

  # --- 3. another program rewrites the per-user file while Quillan runs ----
  (
    i=0
    while :; do
      i=$((i + 1))
      printf '[Foreign]\nround=%d\n[History ComboBoxPath]\nCurrent="/elsewhere/%d"\nCount=1\n0="/elsewhere/%d"\n' \
        "$i" "$i" "$i" >"$USER_INI"
      printf 'garbage without equals %d\n' "$i" >>"$USER_INI"
      sleep 0.01
    done
  ) &
  WRITER=$!
  PIDS+=("$WRITER")
  sleep 2
  kill "$WRITER"; wait "$WRITER" 2>/dev/null
  # A kill between the shell's truncation and its printf leaves the other
  # program's file empty by its own doing: its last rewrite, whole.
  printf '[Foreign]\nround=last\n[History ComboBoxPath]\nCurrent="/elsewhere/last"\nCount=1\n0="/elsewhere/last"\n' \
    >"$USER_INI"
  "$XWINDOW" close "$WIN"
  if poll 10 exited "$QPID"; then
    wait "$QPID"; code=$?
    [ "$code" -eq 0 ] || fail "Quillan ended with $code"
    if grep -q '^\[Settings\]' "$USER_INI" && grep -q '^\[Foreign\]' "$USER_INI" &&
       grep -qF "0=\"$C1\"" "$USER_INI"; then
      pass "the close wrote its state over the rewritten file and kept the other program's section"
    else
      fail "the close after the rewrites lost something"; cat "$USER_INI"
    fi
  else
    fail "Quillan did not end after its window was closed"
  fi

  # The same while the other program keeps rewriting during the close.
  start_quillan "$TMP/quillan2.log"
  if poll 15 has_window; then
    WIN="$(windows | head -n1)"
    (
      i=0
      while :; do
        i=$((i + 1))
        printf '[Foreign]\nround=%d\n' "$i" >"$USER_INI.tmp.$$" && mv "$USER_INI.tmp.$$" "$USER_INI"
      done
    ) &
    WRITER=$!
    PIDS+=("$WRITER")
    sleep 0.5
    "$XWINDOW" close "$WIN"
    poll 10 exited "$QPID" || fail "Quillan did not end while the file was being rewritten"
    kill "$WRITER"; wait "$WRITER" 2>/dev/null
    wait "$QPID"; code=$?
    [ "$code" -eq 0 ] || fail "Quillan ended with $code during the rewrites"
    if problems=$(well_formed "$USER_INI"); then
      pass "a close racing with another writer left a well-formed file"
    else
      fail "the file is not well-formed: $problems"; cat "$USER_INI"
    fi
  else
    fail "the window did not appear for the racing close"
  fi
else
  fail "the window did not appear"; cat "$TMP/quillan.log"
fi

# --- 4. the display is gone: a plain message and code 1, not an abort -----
DISPLAY=:59999 "$TMP/prog/quillan" >"$TMP/nodisplay.log" 2>&1
code=$?
if [ "$code" -eq 1 ] && grep -q 'cannot open the display ":59999"' "$TMP/nodisplay.log"; then
  pass "a start without a reachable display says so and ends with 1"
else
  fail "a start without a reachable display ended with $code"; cat "$TMP/nodisplay.log"
fi

e2e_finish "all outside-interference checks passed"
