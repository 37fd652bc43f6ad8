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
