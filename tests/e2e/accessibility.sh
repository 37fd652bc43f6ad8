#!/usr/bin/env bash
# The real window as a screen reader reads it: a private D-Bus session and
# AT-SPI bus, the program with Qt's bridge on, and atspi_dump.py checking the
# entries' states and actions, the path box and the information line against
# the installation on disk. Skips (77) when a piece is missing.
# Usage: accessibility.sh QUILLAN XWINDOW DEMO_INSTALLATION
set -uo pipefail

QUILLAN="$1" DEMO="$3"
HERE="$(dirname "${BASH_SOURCE[0]}")"
LOCKED=NDSManager DESCRIBED=DNS DESCRIPTION="Zones and records of the DNS service"

# Debian's pyatspi lives in the system's Python, not in whatever python3 is first.
PYTHON=""
for p in /usr/bin/python3 python3; do
  if "$p" -c 'import pyatspi' >/dev/null 2>&1; then PYTHON="$p"; break; fi
done
[ -n "$PYTHON" ] || { echo "SKIP: pyatspi is not installed (apt-get install python3-pyatspi)"; exit 77; }
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
e2e_setup "$QUILLAN" "$DEMO" \
  "[Required Snapins]\n1=$LOCKED\n[Snapin Description]\n$DESCRIBED=$DESCRIPTION\n"

# A private session bus; the AT-SPI bus and its registry hang off it.
dbus-daemon --session --fork --nopidfile --print-address=4 --print-pid=5 \
  4>"$TMP/bus.address" 5>"$TMP/bus.pid" 2>"$TMP/dbus.log" ||
  { echo "SKIP: no D-Bus session bus could be started"; cat "$TMP/dbus.log"; exit 77; }
poll 5 test -s "$TMP/bus.pid" && PIDS+=("$(head -n1 "$TMP/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$TMP/bus.address")"
"$LAUNCHER" --launch-immediately >"$TMP/atspi.log" 2>&1 &
PIDS+=($!)
# The launcher owns org.a11y.Bus once the AT-SPI bus is up.
has_bus() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
poll 10 has_bus || { echo "SKIP: the AT-SPI bus did not start"; cat "$TMP/atspi.log"; exit 77; }

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
start_quillan "$TMP/quillan.log"
timeout 90 "$PYTHON" "$HERE/atspi_dump.py" "$C1" "$LOCKED" "$DESCRIBED" "$DESCRIPTION"
case $? in
  0) ;;
  124) fail "the AT-SPI reader did not finish in time" ;;
  *) fail "what a screen reader reads does not match the installation"; cat "$TMP/quillan.log" ;;
esac
# Both entries were toggled through AT-SPI only; the log shows nothing went wrong.
exited "$QPID" && fail "the program ended during the reading"
e2e_finish "accessibility: the window reads as it is on disk"
