#!/usr/bin/env bash
# The bash completion of quillanctl against a real quillanctl.
#
# Usage: completion_test.sh COMPLETION QUILLANCTL [settings]
# Without "settings" it makes an installation of its own and names it as
# BASE; with it, BASE is left out and the installation named in the
# program's machine-wide settings must hold active "Alpha" and "Beta Two"
# and inactive "Gamma".
set -uo pipefail
COMPLETION="$1" PROGRAM="$2" MODE="${3:-}"
FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }

bash -n "$COMPLETION" || fail "bash -n $COMPLETION"

# complete WORD...: what the completion offers for the last word, one a line.
complete() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quillanctl
           printf "%s\n" "${COMPREPLY[@]}"' _ "$COMPLETION" "$PROGRAM" "$@"
}
expect() {
  local want="$1" got; shift
  got="$(complete "$@")"
  [ "$got" = "$want" ] || fail "quillanctl $* -> '${got//$'\n'/|}', expected '${want//$'\n'/|}'"
}

base=()
if [ "$MODE" != settings ]; then
  TMP="$(mktemp -d)"
  trap 'rm -rf "$TMP"' EXIT
  C1="$TMP/ConsoleOne"
  mkdir -p "$C1/bin" "$C1/snapins/Alpha" "$C1/snapins/Beta Two" "$C1/inactive.snapins/Gamma"
  : >"$C1/bin/ConsoleOne.exe"
  printf '#!/bin/sh\n' >"$C1/bin/ConsoleOne" && chmod +x "$C1/bin/ConsoleOne"
  base=("$C1")
  expect "$C1" list "$TMP/Con"
  expect "$C1" enable --base "$TMP/Con"
fi

expect disable "" dis
expect $'list\nenable\ndisable\nset' ""
expect --version "" --v
expect --check enable "${base[@]}" --ch
# Each command offers every option it takes; --wait's seconds are no name.
expect --wait list "${base[@]}" --w
expect --version list --v
expect $'--help\n--hex' disable "${base[@]}" --h
expect "" enable "${base[@]}" --wait ""
expect Gamma enable --wait 5 "${base[@]}" G
expect --active set "${base[@]}" --a
# Names ignoring case; enable offers what is not active, disable what is
# not inactive; a blank comes quoted.
expect Gamma enable "${base[@]}" g
expect "" enable "${base[@]}" a
expect $'Alpha\nBeta\\ Two' disable "${base[@]}" ""
expect 'Beta\ Two' set "${base[@]}" --active Gamma --inactive b
expect "" set "${base[@]}" --active Gamma --inactive g
# After "--" everything is a name, even what begins with "-".
expect "" enable "${base[@]}" -- --ch

[ "$FAILS" -eq 0 ] || { echo "$FAILS completion check(s) failed"; exit 1; }
echo "ok: completion: commands, options and snap-in names"
