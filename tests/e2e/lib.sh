# shellcheck shell=bash
# Shared by the scripts that drive the real program on a virtual display:
# a private Xvfb, a temporary installation with the program beside its
# machine-wide quillan.ini, private XDG folders, and cleanup at exit.
# Source it, then call e2e_setup.

FAILS=0
PIDS=()
TMP=""

fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
pass() { echo "ok: $*"; }

# poll SECONDS COMMAND...: true as soon as the command succeeds.
poll() {
  local limit=$(($1 * 10)); shift
  local i
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

exited() { ! kill -0 "$1" 2>/dev/null; }

e2e_cleanup() {
  local p
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${PIDS[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$TMP"
}

# e2e_display: a virtual display on a free number (DISPLAY set), its server
# in PIDS, its log in TMP.
e2e_display() {
  # Without -noreset the server resets whenever its last client leaves and
  # refuses whoever connects meanwhile.
  exec 3>"$TMP/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$TMP/xvfb.log" 2>&1 &
  PIDS+=($!)
  exec 3>&-
  poll 10 test -s "$TMP/display" || { echo "FAIL: Xvfb did not start"; cat "$TMP/xvfb.log"; exit 1; }
  export DISPLAY=":$(head -n1 "$TMP/display")"
  export QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY
}

# e2e_setup QUILLAN DEMO_INSTALLATION [EXTRA_INI]: skips (77) without Xvfb or
# xdotool; otherwise sets DISPLAY, TMP, C1 (the installation's copy) and the
# program's quillan.ini naming C1, followed by EXTRA_INI (backslash escapes understood).
e2e_setup() {
  local quillan="$1" demo="$2" extra="${3:-}" tool
  for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed (apt-get install xvfb xdotool)"
      exit 77
    fi
  done

  TMP="$(mktemp -d)"
  trap e2e_cleanup EXIT
  e2e_display
  # Leaks of the toolkit's libraries at exit are not these tests' business.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

  # The installation, and the program beside its machine-wide settings.
  C1="$TMP/C1"
  cp -a "$demo" "$C1"
  mkdir -p "$TMP/prog" "$TMP/config"
  mkdir -p -m 700 "$TMP/runtime"
  cp "$quillan" "$TMP/prog/quillan"
  printf '[Paths]\nC1=%s\n%b' "$C1" "$extra" >"$TMP/prog/quillan.ini"
  export XDG_CONFIG_HOME="$TMP/config" XDG_RUNTIME_DIR="$TMP/runtime"
}

# e2e_atspi_bus: after e2e_setup, a private D-Bus session bus (exported in
# DBUS_SESSION_BUS_ADDRESS) with the AT-SPI bus and its registry on it, as a
# desktop session has; skips (77) when a piece is missing.
e2e_atspi_bus() {
  local launcher="" p tool
  for p in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$p" ] && { launcher="$p"; break; }
  done
  [ -n "$launcher" ] || { echo "SKIP: at-spi-bus-launcher is missing (apt-get install at-spi2-core)"; exit 77; }
  for tool in dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing (apt-get install dbus)"; exit 77; }
  done
  dbus-daemon --session --fork --nopidfile --print-address=4 --print-pid=5 \
    4>"$TMP/bus.address" 5>"$TMP/bus.pid" 2>"$TMP/dbus.log" ||
    { echo "SKIP: no D-Bus session bus could be started"; cat "$TMP/dbus.log"; exit 77; }
  poll 5 test -s "$TMP/bus.pid" && PIDS+=("$(head -n1 "$TMP/bus.pid")")
  export DBUS_SESSION_BUS_ADDRESS
  DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$TMP/bus.address")"
  "$launcher" --launch-immediately >"$TMP/atspi.log" 2>&1 &
  PIDS+=($!)
  # The launcher owns org.a11y.Bus once the AT-SPI bus is up.
  poll 10 e2e_has_atspi_bus || { echo "SKIP: the AT-SPI bus did not start"; cat "$TMP/atspi.log"; exit 77; }
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
}

e2e_has_atspi_bus() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}

# start_quillan LOG: the program in the background, its id in QPID.
start_quillan() {
  "$TMP/prog/quillan" >"$1" 2>&1 &
  QPID=$!
  PIDS+=("$QPID")
}

# Clicks the check-mark box of entry ROW (0-based) in the first column.
click_mark() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  # The list lies at (12, 141 + 8) in the client area; rows are 16 high.
  xdotool mousemove $((X + 12 + 9)) $((Y + 149 + 16 * $2 + 9)) click 1
}

# e2e_finish SUMMARY: the script's exit, 1 when a check failed.
e2e_finish() {
  if [ "$FAILS" -gt 0 ]; then
    echo "$FAILS check(s) failed"
    exit 1
  fi
  echo "$1"
}
