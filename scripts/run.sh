#!/usr/bin/env bash
# Builds the program, sets up the bundled demo installation and starts
# Quillan on it. Without a usable display it runs the program on a virtual
# one (Xvfb), saves a screenshot of the window and says where it is.
#
#   scripts/run.sh                      start on the demo installation
#   QUILLAN_HEADLESS=1 scripts/run.sh   always use the virtual display
#   QUILLAN_SCREENSHOT=file.png         where the virtual display's shot goes
#   QUILLAN_DEMO_RESET=1                start from a fresh demo and no saved settings
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/release"
WORK="$ROOT/build/demo"           # the working copy: clicks change this, not the repository
INSTALL="${QUILLAN_DEMO_INSTALL:-$WORK/ConsoleOne}"  # where the demo copy goes
PROGRAM_DIR="$WORK/program"
SHOT="${QUILLAN_SCREENSHOT:-$ROOT/build/demo/screenshot.png}"

say() { printf 'run.sh: %s\n' "$*"; }
die() { printf 'run.sh: %s\n' "$*" >&2; exit 1; }

# Installs the Debian packages that are missing (and says which).
provision() {
  command -v dpkg-query >/dev/null 2>&1 || return 0
  bash "$ROOT/scripts/provision.sh" "$1" || die "could not install what this needs; please install it and run this again"
}

display_usable() {
  [ -n "${WAYLAND_DISPLAY:-}" ] && return 0
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo >/dev/null 2>&1; then
    timeout 5 xdpyinfo >/dev/null 2>&1
  elif command -v xdotool >/dev/null 2>&1; then
    timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1
  else
    return 0  # nothing to ask; let the program try
  fi
}

# Runs one long step, saying what it is before and how long it took after;
# the build's own progress lines ("[ 42%] Building ...") are shown as they
# come, everything else goes to the step's log.
step() {
  local what="$1" log="$2" start=$SECONDS rc; shift 2
  say "$what ..."
  set +e
  "$@" 2>&1 | tee "$log" | grep --line-buffered -E '^\[ *[0-9]+%\]' | sed -u 's/^/  /'
  rc=${PIPESTATUS[0]}
  set -e
  [ "$rc" -eq 0 ] || die "$what failed; see $log"
  say "$what: done in $((SECONDS - start)) s"
}

build() {
  provision run
  step "configuring (Release) in $BUILD" "$ROOT/build/run-cmake.log" \
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUILLAN_TESTS=OFF
  step "building quillan (a minute or so the first time)" "$ROOT/build/run-build.log" \
    cmake --build "$BUILD" --target quillan -j2
  [ -x "$BUILD/bin/quillan" ] || die "no program at $BUILD/bin/quillan (is Qt 6 installed?)"
}

setup_demo() {
  [ "${QUILLAN_DEMO_RESET:-0}" = 1 ] && rm -rf "$INSTALL" "$WORK/config"
  if [ ! -d "$INSTALL" ]; then
    mkdir -p "$WORK"
    cp -a "$ROOT/examples/demo/ConsoleOne" "$INSTALL"
    say "fresh demo installation in $INSTALL"
  fi
  mkdir -p "$PROGRAM_DIR" "$WORK/config"
  mkdir -p -m 700 "$WORK/runtime"
  # A copy, not a link: the program finds its settings beside its real path.
  cp -f "$BUILD/bin/quillan" "$PROGRAM_DIR/quillan"
  sed "s|@C1@|$INSTALL|" "$ROOT/examples/demo/quillan.ini" >"$PROGRAM_DIR/quillan.ini"
  export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime"
}

XVFB_PID="" PROG_PID=""
stop_headless() {
  [ -n "$PROG_PID" ] && kill "$PROG_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  return 0
}

run_headless() {
  provision headless
  local n=99 win=""
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  trap stop_headless EXIT
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$n" ] || die "the virtual display did not start"
  export DISPLAY=":$n"
  unset WAYLAND_DISPLAY
  say "started a virtual display $DISPLAY"
  QT_QPA_PLATFORM=xcb "$PROGRAM_DIR/quillan" &
  PROG_PID=$!
  for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --name '^Quillan$' 2>/dev/null | head -n1 || true)
    [ -n "$win" ] && break
    kill -0 "$PROG_PID" 2>/dev/null ||
      die "the program ended before its window appeared (another Quillan running on the demo?)"
    sleep 0.1
  done
  [ -n "$win" ] || die "the window did not appear within 10 s"
  # Point at the fourth entry so the information line shows its description.
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 60)) $((Y + 205))
  sleep 0.2
  xdotool mousemove $((X + 62)) $((Y + 206))
  sleep 0.5
  # Off the list onto the bare panel: the line keeps the description, and the
  # entry's tool tip, which would cover the list in the picture, goes.
  xdotool mousemove $((X + 300)) $((Y + 48))
  sleep 0.5
  mkdir -p "$(dirname "$SHOT")"
  import -window "$win" "$SHOT" || die "could not take the screenshot"
  say "screenshot of the window: $SHOT"
  stop_headless
  PROG_PID="" XVFB_PID=""
}

mkdir -p "$ROOT/build"
build
setup_demo
if [ "${QUILLAN_HEADLESS:-0}" != 1 ] && display_usable; then
  say "starting Quillan on $INSTALL"
  set +e
  "$PROGRAM_DIR/quillan" 2> >(tee "$WORK/quillan.err" >&2)
  rc=$?
  set -e
  if [ "$rc" -eq 0 ]; then exit 0; fi
  if ! grep -qi "could not connect to display\|no Qt platform plugin" "$WORK/quillan.err"; then
    die "Quillan ended with exit code $rc (its messages: $WORK/quillan.err)"
  fi
  say "Quillan could not open a window on this display"
  QUILLAN_HEADLESS=1
fi
[ "${QUILLAN_HEADLESS:-0}" = 1 ] || say "no usable display (DISPLAY is '${DISPLAY:-}'); using a virtual one instead"
run_headless
