# Shared by the Windows stage's shell tests; sourced, not run.

# Polls a command until it succeeds; gives up after $1 seconds.
wait_for() {
  local seconds="$1"; shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.5
  done
}

# Runs a Windows program; its output (CRs removed) goes to $WORK/out, through
# a file because Wine's helper processes could hold a pipe open. Sets rc.
# WINE and WORK set.
run() {
  rc=0
  "$WINE" "$@" >"$WORK/out.raw" 2>/dev/null || rc=$?
  tr -d '\r' <"$WORK/out.raw" >"$WORK/out"
}

# reg_get KEY NAME: one registry value (REG_SZ text, REG_DWORD as 0x...).
reg_get() {
  run reg query "$1" /v "$2"
  sed -n "s/^ *$2 *REG_[A-Z_]* *//p" "$WORK/out"
}
