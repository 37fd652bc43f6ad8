#!/bin/sh
# Runs the Ansible example against localhost on a temporary installation:
# check mode moves nothing, the first run switches and reports changed, the
# second reports nothing changed, and a locked snap-in fails the play.
# usage: ansible_test.sh QUILLANCTL PLAYBOOK
set -eu
quillanctl=$1
playbook=$2

if ! command -v ansible-playbook >/dev/null 2>&1; then
  echo "SKIP: ansible-playbook is not installed (Debian package ansible-core)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# quillanctl beside its own quillan.ini, as on a managed workstation.
mkdir -p "$work/opt" "$work/c1/bin" "$work/c1/snapins/Alpha" "$work/c1/lib/Alpha" \
  "$work/c1/inactive.snapins/Beta" "$work/c1/snapins/Core" "$work/c1/snapins/-dash"
: > "$work/c1/bin/ConsoleOne.exe"
cp "$quillanctl" "$work/opt/quillanctl"
cat > "$work/opt/quillan.ini" <<INI
[Paths]
C1=$work/c1
[Required Snapins]
1=Core
INI

export ANSIBLE_HOME="$work/ansible-home"
export ANSIBLE_LOCAL_TEMP="$work/ansible-tmp"
export ANSIBLE_REMOTE_TMP="$work/ansible-tmp"
# The default callback ships with ansible-core; its recap line gives the counts.
export ANSIBLE_STDOUT_CALLBACK=default
export ANSIBLE_NOCOLOR=1
export ANSIBLE_RETRY_FILES_ENABLED=0

fail() {
  echo "FAIL: $*"
  exit 1
}

# play VARS_JSON [extra ansible-playbook options]; leaves the play's output in $work/out.txt
play() {
  vars=$1
  shift
  set +e
  ansible-playbook -i localhost, -c local "$playbook" "$@" \
    -e ansible_python_interpreter=/usr/bin/python3 -e quillan_hosts=localhost \
    -e quillanctl="$work/opt/quillanctl" -e "$vars" > "$work/out.txt" 2> "$work/err.txt"
  rc=$?
  set -e
}

stat() {  # stat FIELD: localhost's count of ok/changed/failed in the last play's recap
  value=$(sed -n "s/^localhost *:.* $1=\([0-9][0-9]*\).*/\1/p" "$work/out.txt")
  [ -n "$value" ] || { cat "$work/out.txt"; fail "no recap line with $1 for localhost"; }
  echo "$value"
}

switch='{"snapins_active": ["Beta"], "snapins_inactive": ["Alpha", "-dash"]}'

play "$switch" --check
[ "$rc" -eq 0 ] || { cat "$work/out.txt" "$work/err.txt"; fail "check run exited $rc"; }
[ "$(stat changed)" -eq 1 ] || fail "check run should report a change"
[ -d "$work/c1/snapins/Alpha" ] && [ -d "$work/c1/inactive.snapins/Beta" ] || fail "check run moved folders"

play "$switch"
[ "$rc" -eq 0 ] || { cat "$work/out.txt" "$work/err.txt"; fail "first run exited $rc"; }
[ "$(stat changed)" -eq 1 ] || fail "first run should report changed"
[ -d "$work/c1/inactive.snapins/Alpha" ] && [ -d "$work/c1/inactive.lib/Alpha" ] \
  && [ -d "$work/c1/snapins/Beta" ] && [ -d "$work/c1/inactive.snapins/-dash" ] \
  || fail "first run did not move the folders"

play "$switch"
[ "$rc" -eq 0 ] || fail "second run exited $rc"
[ "$(stat changed)" -eq 0 ] || fail "second run should change nothing"

# A required snap-in cannot be switched off: the play fails for the host.
play '{"snapins_inactive": ["Core"]}'
[ "$rc" -ne 0 ] || fail "switching a required snap-in should fail the play"
[ "$(stat failed)" -eq 1 ] || fail "the locked snap-in should count as a failure"
grep -q "required" "$work/out.txt" || fail "the failure should name the lock"
[ -d "$work/c1/snapins/Core" ] || fail "the required snap-in moved"

echo "PASS: ansible example"
