#!/usr/bin/env bash
# What a blind user hears: the real window under the Orca screen reader, its
# speech taken from Orca's debug log (speech-dispatcher runs with its silent
# dummy module only), walked by keyboard alone. Skips (77) when Orca or a
# piece of the AT-SPI stack is missing.
# Usage: orca.sh QUILLAN XWINDOW DEMO_INSTALLATION
set -uo pipefail

QUILLAN="$1" DEMO="$3"
HERE="$(dirname "${BASH_SOURCE[0]}")"
LOCKED=NDSManager

command -v orca >/dev/null 2>&1 || { echo "SKIP: orca is not installed (apt-get install orca)"; exit 77; }
LAUNCHER=""
for p in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$p" ] && { LAUNCHER="$p"; break; }
done
[ -n "$LAUNCHER" ] || { echo "SKIP: at-spi-bus-launcher is missing (apt-get install at-spi2-core)"; exit 77; }
for tool in dbus-daemon dbus-send; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing (apt-get install dbus)"; exit 77; }
done

# shellcheck source=SCRIPTDIR/lib.sh
source "$HERE/lib.sh"
e2e_setup "$QUILLAN" "$DEMO" "[Required Snapins]\n1=$LOCKED\n"
# zenworks cannot be switched on: its library folder is already in place.
mkdir -p "$C1/lib/zenworks"
export HOME="$TMP/home" XDG_DATA_HOME="$TMP/data" XDG_CACHE_HOME="$TMP/cache"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"

dbus-daemon --session --fork --nopidfile --print-address=4 --print-pid=5 \
  4>"$TMP/bus.address" 5>"$TMP/bus.pid" 2>"$TMP/dbus.log" ||
  { echo "SKIP: no D-Bus session bus could be started"; cat "$TMP/dbus.log"; exit 77; }
poll 5 test -s "$TMP/bus.pid" && PIDS+=("$(head -n1 "$TMP/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$TMP/bus.address")"
"$LAUNCHER" --launch-immediately >"$TMP/atspi.log" 2>&1 &
PIDS+=($!)
has_bus() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
poll 10 has_bus || { echo "SKIP: the AT-SPI bus did not start"; cat "$TMP/atspi.log"; exit 77; }

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

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
SPOKEN="$TMP/orca.debug"
orca --replace -u "$TMP/orca-prefs" --debug-file "$SPOKEN" >"$TMP/orca.log" 2>&1 &
PIDS+=($!)
ORCA=$!
# Orca greets with "Screen reader on" once it listens.
poll 20 grep -q "SPEECH OUTPUT: 'Screen reader on" "$SPOKEN" 2>/dev/null ||
  { echo "SKIP: Orca did not start"; tail -20 "$TMP/orca.log"; exit 77; }

start_quillan "$TMP/quillan.log"
visible() { xdotool search --onlyvisible --name '^Quillan$' 2>/dev/null | head -n1; }
poll 15 test -n "$(visible)" || { fail "the window did not appear"; cat "$TMP/quillan.log"; e2e_finish ""; }
WIN="$(visible)"
xdotool windowactivate --sync "$WIN" 2>/dev/null || xdotool windowfocus --sync "$WIN"

# What Orca has said since the mark, one utterance a line.
MARK=0
said_since() { sed -n "$((MARK + 1)),\$p" "$SPOKEN" | sed -n "s/.*SPEECH OUTPUT: '\\(.*\\)'.*/\\1/p"; }
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

poll 10 heard "Quillan" || true
expect "the title is read" "Quillan" Insert+KP_Enter
# Tab round to the list; the entries are sorted (Backup, certificates, DNS, ...).
expect "entering the list names an entry as a check box" "check box" Tab Tab Tab
said_since
expect "an inactive entry is not checked" "Backup.*not checked" Home
expect "Space switches it on and says so" "^checked|\\bchecked" space
poll 5 test -d "$C1/snapins/Backup" || fail "Backup did not move"
echo "=== all Orca said"
sed -n "s/.*SPEECH OUTPUT: '\\(.*\\)'.*/\\1/p" "$SPOKEN"
exited "$QPID" && fail "the program ended during the walk"
exited "$ORCA" && fail "Orca ended during the walk"
e2e_finish "orca: what a screen-reader user hears matches the window"
