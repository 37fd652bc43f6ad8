# Shared by the Windows stage's shell tests; sourced, not run.

# begin_test NAME [PATH...]: the test's own folder WORK and its clean-up at
# exit: the program started last (PID) stopped, on_cleanup run where the test
# defines it, WORK and PATHs removed. fail MESSAGE ends the test, after
# on_failure where the test defines it.
begin_test() {
  TEST_NAME="$1"
  shift
  WORK="$(mktemp -d "/tmp/quillan-${TEST_NAME// /-}.XXXXXX")"
  PID=""
  TEST_REMOVES=("$WORK" "$@")
  trap end_test EXIT
}
end_test() {
  [ -n "$PID" ] && kill "$PID" 2>/dev/null
  declare -F on_cleanup >/dev/null && on_cleanup
  rm -rf "${TEST_REMOVES[@]}"
}
fail() {
  echo "$TEST_NAME test FAILED: $*" >&2
  declare -F on_failure >/dev/null && on_failure
  exit 1
}
# ended SECONDS WHAT: the program in PID has ended within SECONDS, or the test fails.
ended() {
  wait_for "$1" bash -c "! kill -0 $PID 2>/dev/null" || fail "$2"
  PID=""
}

# Polls a command until it succeeds; gives up after $1 seconds.
wait_for() {
  local seconds="$1"; shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.5
  done
}

# install_demo DEMO APP: the demo installation DEMO (a Windows build's
# demo/ConsoleOne) copied to C:\Novell\ConsoleOne\1.2 of $WINEPREFIX, and the
# demo's machine-wide settings, naming that folder, as APP/Quillan.ini.
install_demo() {
  local c1="$WINEPREFIX/drive_c/Novell/ConsoleOne/1.2"
  local ini
  ini="$(dirname "${BASH_SOURCE[0]}")/../../examples/demo/quillan.ini"
  [ -f "$1/bin/ConsoleOne.exe" ] || { echo "$1 is no Windows demo installation" >&2; return 1; }
  rm -rf "$c1"
  mkdir -p "$c1" "$2"
  cp -r "$1/." "$c1/"
  sed 's/^C1=@C1@/C1=C:\\Novell\\ConsoleOne\\1.2/; s/^;.*@C1@.*$/; Machine-wide settings beside Quillan.exe./; s/$/\r/' \
    "$ini" >"$2/Quillan.ini"
}

# in_namespace COMMAND...: runs COMMAND in a private user namespace (only
# root mapped) whose own binfmt_misc (Linux 6.7 and later) hands ELF 32-bit
# i386 programs to qemu-i386, for a kernel that runs no 32-bit programs.
# Flags: P keeps argv[0]; O, C: qemu opens the file and runs with its
# credentials; F: qemu is opened now, so it is found from any mount namespace.
QEMU_I386="$(command -v qemu-i386 || true)"
in_namespace() {
  local binfmt=":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
  binfmt+=":\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$QEMU_I386:POCF"
  unshare --user --map-root-user --mount --propagation private bash -c '
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
      printf "%s" "$0" >/proc/sys/fs/binfmt_misc/register && exec "$@"' "$binfmt" "$@"
}

# Runs a Windows program; its output (CRs removed) goes to $WORK/out, through
# a file because Wine's helper processes could hold a pipe open. Sets rc.
# WINE and WORK set. A program that hangs is stopped after RUN_LIMIT seconds
# (default 300), with rc 124, so a fault ends the test instead of the stage.
run() {
  rc=0
  timeout "${RUN_LIMIT:-300}" "$WINE" "$@" >"$WORK/out.raw" 2>/dev/null || rc=$?
  tr -d '\r' <"$WORK/out.raw" >"$WORK/out"
}

# reg_get KEY NAME: one registry value (REG_SZ text, REG_DWORD as 0x...).
reg_get() {
  run reg query "$1" /v "$2"
  sed -n "s/^ *$2 *REG_[A-Z_]* *//p" "$WORK/out"
}
