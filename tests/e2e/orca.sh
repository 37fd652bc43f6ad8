#!/usr/bin/env bash
# What a blind user hears: the real window under the Orca screen reader, its
# speech taken from Orca's debug log (speech-dispatcher runs with its silent
# dummy module only), walked by keyboard alone. Skips (77) when Orca or a
# piece of the AT-SPI stack is missing.
# Usage: orca.sh QUILLAN XWINDOW DEMO_INSTALLATION
set -uo pipefail

QUILLAN="$1" DEMO="$3"
HERE="$(dirname "${BASH_SOURCE[0]}")"
LOCKED=NDSManager DESCRIPTION="Manages the directory tree"

command -v orca >/dev/null 2>&1 || { echo "SKIP: orca is not installed (apt-get install orca)"; exit 77; }
# shellcheck source=SCRIPTDIR/lib.sh
source "$HERE/lib.sh"
e2e_setup "$QUILLAN" "$DEMO" \
  "[Required Snapins]\n1=$LOCKED\n[Snapin Description]\n$LOCKED=$DESCRIPTION\n"
# zenworks cannot be switched on: its library folder is already in place.
mkdir -p "$C1/lib/zenworks"
export HOME="$TMP/home" XDG_DATA_HOME="$TMP/data" XDG_CACHE_HOME="$TMP/cache"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"

e2e_atspi_bus

# A speech server of our own with the dummy module: Orca finds a working
# server and nothing is heard on the machine.
if command -v speech-dispatcher >/dev/null 2>&1; then
  mkdir -p "$TMP/speechd/modules"
  printf 'AddModule "dummy" "sd_dummy" ""\nDefaultModule dummy\nAudioOutputMethod "libao"\n' \
    >"$TMP/speechd/speechd.conf"
  export SPEECHD_ADDRESS="unix_socket:$TMP/speechd.sock"
  speech-dispatcher -s -t 0 -C "$TMP/speechd" -S "$TMP/speechd.sock" -L "$TMP" \
    >"$TMP/speechd.log" 2>&1 &
  PIDS+=($!)
fi

SPOKEN="$TMP/spoken.log"
/usr/bin/python3 "$HERE/orca_speech.py" "$TMP/orca-prefs" "$SPOKEN" ${ORCA_DEBUG_LOG:+"$ORCA_DEBUG_LOG"} \
  >"$TMP/orca.log" 2>&1 &
PIDS+=($!)
ORCA=$!
# Orca greets with "Screen reader on" once it listens.
poll 20 grep -q "SPEECH OUTPUT: 'Screen reader on" "$SPOKEN" 2>/dev/null ||
  { echo "FAIL: Orca did not start"; tail -20 "$TMP/orca.log"; exit 1; }

start_quillan "$TMP/quillan.log"
visible() { xdotool search --onlyvisible --name '^Quillan$' 2>/dev/null | head -n1; }
has_window() { [ -n "$(visible)" ]; }
poll 20 has_window || { fail "the window did not appear"; cat "$TMP/quillan.log"; e2e_finish ""; }
WIN="$(visible)"
xdotool windowactivate --sync "$WIN" 2>/dev/null || xdotool windowfocus --sync "$WIN"

# What Orca has said since the mark, one utterance a line.
MARK=0
spoken() { perl -ne "print \"\$1\\n\" if /SPEECH OUTPUT: '(.*?)' ?(\\{|voice=|\$)/"; }
said_since() { sed -n "$((MARK + 1)),\$p" "$SPOKEN" | spoken; }
mark() { MARK=$(wc -l <"$SPOKEN"); }
heard() { said_since | grep -qiE "$1"; }
# expect WHAT REGEX KEYS...: the keys make Orca say something matching REGEX.
expect() {
  local what="$1" regex="$2"; shift 2
  mark
  xdotool key --delay 150 "$@"
  if poll 8 heard "$regex"; then
    pass "$what"
  else
    fail "$what: Orca said:"; said_since | sed 's/^/    /'
  fi
}

# tab_to REGEX: Tab until Orca says something matching REGEX (at most 8 stops).
tab_to() {
  local i
  for ((i = 0; i < 8; i++)); do
    mark
    xdotool key Tab
    poll 5 heard "$1" && return 0
  done
  return 1
}
# also WHAT REGEX: Orca has also said something matching REGEX since the mark.
also() {
  if poll 3 heard "$2"; then pass "$1"; else fail "$1: Orca said:"; said_since | sed 's/^/    /'; fi
}

# abort WHAT: the walk cannot go on; says what Orca said last.
abort() {
  fail "$1: Orca said:"; said_since | sed 's/^/    /'
  echo "=== the walk stopped here; Orca's log:"; tail -20 "$TMP/orca.log"
  e2e_finish ""
}

poll 30 heard "Quillan frame" && pass "the window is read as the Quillan frame" ||
  abort "the window was not read as a frame titled Quillan"
expect "Orca's read title says the title" "^Quillan$" Insert+KP_Enter
mark
tab_to "List of installed Snapins" || abort "Tab never reached the list"
# The entries are sorted; Backup is the first and inactive.
poll 3 heard "^Backup check box not checked" && pass "entering the list names its current entry, a check box not checked" ||
  { fail "entering the list named no entry: Orca said:"; said_since | sed 's/^/    /'; }
[ "$(said_since | grep -o "List of installed Snapins" | wc -l)" -le 1 ] &&
  pass "the list's name is said once" || fail "the list's name is said more than once"
expect "Space on it says the new state" "^checked" Home space
poll 5 test -d "$C1/snapins/Backup" || fail "Backup did not move"
expect "a locked entry is a check box" "^NDSManager check box checked" N D S
also "a locked entry is grayed" "^grayed"
# Its description is on the information line too, but said only once, as
# the entry's: the line speaks announcements, not every text it shows.
also "the entry's description is said" "^$DESCRIPTION"
[ "$(said_since | grep -c "$DESCRIPTION")" -eq 1 ] && pass "the information line's plain text is not said again" ||
  fail "the description was said more than once"
expect "Space on it says why it stays" "NDSManager stays as it is: the machine-wide settings" space
expect "a switch that fails says so" "^zenworks check box not checked" z e n
expect "Space on it says what could not move" "^Could not move inactive.lib/zenworks to lib/zenworks" space
expect "Orca's read status bar reads the information line" "^Could not move .*zenworks.* statusbar" \
  Insert+KP_Enter Insert+KP_Enter
[ "$(said_since | grep -c "Could not move")" -eq 1 ] && pass "the status bar is read once" ||
  fail "the status bar's text was read more than once"
tab_to "base path" || abort "Tab never reached the path box"
expect "a wrong path is said" "(Invalid path|not Found)" End slash x

# A start on a wrong path: the failed check leaves the focus on the path box,
# which is described by the result.
kill -9 "$QPID"; wait "$QPID" 2>/dev/null
sed -i "s|^C1=.*|C1=$TMP/nowhere|" "$TMP/prog/quillan.ini"
mark
start_quillan "$TMP/quillan.log"
if poll 20 heard "^Enter the ConsoleOne base path editable combo box"; then
  pass "a start on a wrong path puts the focus on the path box"
else
  fail "a start on a wrong path did not go to the path box: Orca said:"; said_since | sed 's/^/    /'
fi
also "the path box is described by the result" "^Invalid path\\.?$"
echo "=== all Orca said"
spoken <"$SPOKEN"
exited "$QPID" && fail "the program ended during the walk"
exited "$ORCA" && fail "Orca ended during the walk"
e2e_finish "orca: what a screen-reader user hears matches the window"
