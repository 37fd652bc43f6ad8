#!/bin/sh
# The Windows quillanctl.exe under Wine on a temporary installation: Windows
# paths, quillan.ini beside the exe, a switch and its repeat, a lock.
# usage: wine_test.sh WINE QUILLANCTL_EXE
set -eu
wine=$1
exe=$2
export WINEDEBUG=-all

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/c1/bin" "$work/c1/snapins/Alpha" "$work/c1/lib/Alpha" "$work/c1/lib" \
  "$work/c1/resources" "$work/c1/inactive.snapins/Core"
: > "$work/c1/bin/ConsoleOne.exe"
cp "$exe" "$work/quillanctl.exe"
winbase="Z:$(printf '%s' "$work/c1" | tr / '\\')"
printf '[Paths]\r\nC1=%s\r\n[Required Snapins]\r\n1=core\r\n' "$winbase" > "$work/quillan.ini"

fail() {
  echo "FAIL: $*"
  exit 1
}
run() {  # run ARGS...: output in $out
  out=$("$wine" "$work/quillanctl.exe" "$@" 2>&1 | tr -d '\r') || true
}
# The exit status, without a pipe in the way.
status() {
  set +e
  "$wine" "$work/quillanctl.exe" "$@" > /dev/null 2>&1
  rc=$?
  set -e
}

run list
printf "%s\n" "$out" | grep -q "Check:       installation" || fail "list: $out"
printf "%s\n" "$out" | grep -q "Core .*inactive  required" || fail "list lock: $out"
[ -d "$work/c1/inactive.lib" ] || fail "inactive.lib not created"

status disable alpha
[ "$rc" -eq 0 ] || fail "disable exited $rc"
[ -d "$work/c1/inactive.snapins/Alpha" ] && [ -d "$work/c1/inactive.lib/Alpha" ] || fail "not moved"
run disable --json alpha
printf "%s\n" "$out" | grep -q '"changed": false' || fail "repeat changed something: $out"

status enable "$winbase\\" Core
[ "$rc" -eq 4 ] || fail "locked enable exited $rc"
status list 'Z:\nowhere'
[ "$rc" -eq 3 ] || fail "invalid path exited $rc"
run --version
printf "%s\n" "$out" | grep -q "^quillanctl [0-9]" || fail "version: $out"

# A split snap-in, predicted and then brought together.
mkdir -p "$work/c1/inactive.snapins/Split" "$work/c1/lib/Split"
run disable --check --json Split
printf "%s\n" "$out" | grep -q '"before": "split"' || fail "split: $out"
printf "%s\n" "$out" | grep -q '"status": "would-change"' || fail "split check: $out"
status disable Split
[ "$rc" -eq 0 ] && [ -d "$work/c1/inactive.lib/Split" ] || fail "split disable exited $rc"

# Runs that overlap take turns on the installation's mutex: no wrong answer.
loop() {  # loop COMMAND: four switches of Alpha, answers appended to $work/answers
  for i in 1 2 3 4; do
    "$wine" "$work/quillanctl.exe" "$1" --json Alpha 2>&1 | tr -d '\r' >> "$work/answers.$1"
  done
}
loop enable & pid1=$!
loop disable & pid2=$!
wait $pid1 $pid2
n=$(cat "$work/answers.enable" "$work/answers.disable" | grep -c '"exit_status": 0')
[ "$n" -eq 8 ] || fail "concurrent runs: $n of 8 answered 0: $(cat "$work"/answers.*)"
# Windows finds folders ignoring case: Foo and FOO are one snap-in in both
# places, and Bar's library and resources are lib\bar and resources\BAR.
mkdir -p "$work/c1/snapins/Foo" "$work/c1/inactive.snapins/FOO" "$work/c1/snapins/Bar" \
  "$work/c1/lib/bar" "$work/c1/resources/BAR"
run list
printf "%s\n" "$out" | grep -q "^  Foo .*both" || fail "case-blind list, Foo: $out"
printf "%s\n" "$out" | grep -q "FOO" && fail "FOO listed on its own: $out"
printf "%s\n" "$out" | grep -q "^  Bar  *active *$" || fail "case-blind list, Bar: $out"
for args in "enable FOO" "disable Foo" "disable --check foo"; do
  status $args
  [ "$rc" -eq 5 ] || fail "$args exited $rc"
done
run disable --check --json Bar
printf "%s\n" "$out" | grep -q '"status": "would-change"' || fail "Bar check: $out"
status disable Bar
[ "$rc" -eq 0 ] && [ -d "$work/c1/inactive.lib/Bar" ] && [ -d "$work/c1/inactive.resources/Bar" ] ||
  fail "Bar disable exited $rc"
run list
printf "%s\n" "$out" | grep -q "^  Bar  *inactive *$" || fail "Bar after: $out"
echo "PASS: quillanctl.exe under Wine"
