#!/usr/bin/env bash
# A Wine session for one build's tests: a prefix and a virtual display of
# its own, and a Wine server kept running between the test programs.
#   session.sh start DIR ARCH   ARCH i686 (a 32-bit prefix) or x86_64
#   session.sh stop DIR         the server and the display stopped, DIR removed
# DIR/env holds what wine-run.sh exports to each test.
set -uo pipefail
WINESERVER=/usr/lib/wine/wineserver
cmd="${1:?start or stop}" dir="${2:?session folder}"

stop() {
  [ -f "$dir/env" ] || return 0
  ( . "$dir/env" && "$WINESERVER" -k 2>/dev/null )
  [ -f "$dir/xvfb.pid" ] && kill "$(cat "$dir/xvfb.pid")" 2>/dev/null
  rm -rf "$dir"
  return 0
}

start() {
  local arch="${1:?i686 or x86_64}" wine=/usr/lib/wine/wine winearch=win32 display start=$SECONDS
  [ "$arch" = x86_64 ] && wine=/usr/lib/wine/wine64 winearch=win64
  stop
  mkdir -p "$dir/prefix"
  # Not through CTest's pipes: the display outlives this test.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$dir/display" </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
  display="$(head -1 "$dir/display")"
  [ -n "$display" ] || { echo "Xvfb did not start" >&2; return 1; }
  printf 'export WINEPREFIX=%q WINEARCH=%q WINE=%q WINEDEBUG=-all DISPLAY=:%s\n' \
    "$dir/prefix" "$winearch" "$wine" "$display" >"$dir/env"
  . "$dir/env"
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  "$wine" --version >/dev/null 2>&1 || { echo "$wine does not run here" >&2; return 1; }
  echo "$winearch prefix $WINEPREFIX on display $DISPLAY ready in $((SECONDS - start)) s"
}

case "$cmd" in
  start) start "${3:-}" ;;
  stop) stop ;;
  *) echo "session.sh start DIR ARCH | stop DIR" >&2; exit 2 ;;
esac
