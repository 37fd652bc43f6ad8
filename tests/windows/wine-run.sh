#!/bin/sh
# The test programs' emulator: runs a Windows program under Wine in this
# build's session (session.sh: WINEPREFIX, WINEARCH, DISPLAY, the loader in
# WINE), named by QUILLAN_WINE_SESSION; without one, with the caller's.
#   wine-run.sh PROGRAM.exe ARGS...    the program under Wine
#   wine-run.sh --shell COMMAND ARGS...  a test script, in the session's environment
# Output goes through a file: Wine's helper processes (explorer, services)
# inherit the descriptors and would hold CTest's pipe open after the test.
if [ -n "${QUILLAN_WINE_SESSION:-}" ]; then
  [ -f "$QUILLAN_WINE_SESSION/env" ] || {
    echo "wine-run.sh: no Wine session in $QUILLAN_WINE_SESSION (run the windows.session.start test)" >&2
    exit 1
  }
  . "$QUILLAN_WINE_SESSION/env"
fi
WINE="${WINE:-/usr/lib/wine/wine}"
WINEDEBUG="${WINEDEBUG:--all}"
export WINE WINEDEBUG
out="$(mktemp /tmp/quillan-wine-run.XXXXXX)"
if [ "${1:-}" = --shell ]; then
  shift
  "$@" >"$out" 2>&1 </dev/null
else
  "$WINE" "$@" >"$out" 2>&1 </dev/null
fi
rc=$?
tr -d '\r' <"$out"
rm -f "$out"
exit $rc
