#!/usr/bin/env bash
# The real window as a screen reader reads it: a private D-Bus session and
# AT-SPI bus, the program with Qt's bridge on, and atspi_dump.py checking the
# entries' states and actions, the path box and the information line against
# the installation on disk. Skips (77) when a piece is missing.
# Usage: accessibility.sh QUILLAN XWINDOW DEMO_INSTALLATION
set -uo pipefail

QUILLAN="$1" XWINDOW="$2" DEMO="$3"
HERE="$(dirname "${BASH_SOURCE[0]}")"
LOCKED=NDSManager DESCRIBED=DNS DESCRIPTION="Zones and records of the DNS service"

# Debian's pyatspi lives in the system's Python, not in whatever python3 is first.
PYTHON=""
for p in /usr/bin/python3 python3; do
  if "$p" -c 'import pyatspi' >/dev/null 2>&1; then PYTHON="$p"; break; fi
done
[ -n "$PYTHON" ] || { echo "SKIP: pyatspi is not installed (apt-get install python3-pyatspi)"; exit 77; }
# shellcheck source=SCRIPTDIR/lib.sh
source "$HERE/lib.sh"
e2e_setup "$QUILLAN" "$DEMO" \
  "[Required Snapins]\n1=$LOCKED\n[Snapin Description]\n$DESCRIBED=$DESCRIPTION\n"

e2e_atspi_bus
start_quillan "$TMP/quillan.log"
timeout 90 "$PYTHON" "$HERE/atspi_dump.py" "$C1" "$LOCKED" "$DESCRIBED" "$DESCRIPTION" "$XWINDOW"
case $? in
  0) ;;
  124) fail "the AT-SPI reader did not finish in time" ;;
  *) fail "what a screen reader reads does not match the installation"; cat "$TMP/quillan.log" ;;
esac
# Both entries were toggled through AT-SPI only; the log shows nothing went wrong.
exited "$QPID" && fail "the program ended during the reading"
e2e_finish "accessibility: the window reads as it is on disk"
