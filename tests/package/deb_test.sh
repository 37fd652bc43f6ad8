#!/usr/bin/env bash
# The Debian package, installed and used as an administrator and a user
# would: lintian, dpkg -i, quillanctl and the window on an installation
# named in /etc/quillan.ini, an edit of that file surviving a reinstall, the
# man pages and the completion, then dpkg --purge. Needs root (the CI
# machine); the package is purged at the end whatever happens.
#
# Usage: deb_test.sh PACKAGE.deb
set -uo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
# shellcheck source=../e2e/lib.sh
source "$ROOT/tests/e2e/lib.sh"

DEB="$(realpath -- "${1:?usage: deb_test.sh PACKAGE.deb}")"
DESKTOP=/usr/share/applications/org.example.quillan.desktop
METAINFO=/usr/share/metainfo/org.example.quillan.metainfo.xml
COMPLETION=/usr/share/bash-completion/completions/quillanctl
CONF=/etc/quillan.ini
INSTALLED_FILES=(/usr/bin/quillan /usr/bin/quillanctl "$DESKTOP" "$METAINFO" "$COMPLETION"
  /usr/share/icons/hicolor/scalable/apps/org.example.quillan.svg
  /usr/share/icons/hicolor/48x48/apps/org.example.quillan.png
  /usr/share/man/man1/quillan.1.gz /usr/share/man/man1/quillanctl.1.gz
  /usr/share/doc/quillan/copyright /usr/share/doc/quillan/examples/ansible/snapins.yml "$CONF")

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing the package needs root"
  exit 0
fi
[ -f "$DEB" ] || { echo "FAIL: no package $DEB"; exit 1; }
# Leave the machine as it was: never touch a Quillan someone installed.
if dpkg-query -W -f='${Status}' quillan 2>/dev/null | grep -q installed || [ -e "$CONF" ]; then
  echo "FAIL: quillan is installed here already (or $CONF exists); not touching it"
  exit 1
fi

# dpkg -i, waiting while another dpkg or apt holds the lock.
dpkg_install() {
  local i out
  for ((i = 0; i < 60; i++)); do
    out="$(dpkg -i "$DEB" 2>&1)" && return 0
    grep -qi 'lock' <<<"$out" || { echo "$out"; return 1; }
    sleep 2
  done
  echo "$out"
  return 1
}
installed() { dpkg-query -W -f='${Status}' quillan 2>/dev/null | grep -q 'install ok installed'; }
purge() { dpkg --purge quillan >"$TMP/purge.log" 2>&1; }

TMP="$(mktemp -d)"
cleanup() {
  if dpkg-query -W quillan >/dev/null 2>&1; then purge || cat "$TMP/purge.log"; fi
  e2e_cleanup
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

if lintian --fail-on error "$DEB" >"$TMP/lintian.log" 2>&1; then
  pass "lintian: no errors"
else
  fail "lintian reports errors:"; cat "$TMP/lintian.log"
fi

if ! dpkg_install; then
  fail "dpkg -i $DEB"
  e2e_finish ""
fi
pass "dpkg -i"
for f in "${INSTALLED_FILES[@]}"; do [ -e "$f" ] || fail "not installed: $f"; done
# Not even a hint (two main categories would show the entry twice).
if ! out="$(desktop-file-validate "$DESKTOP" 2>&1)" || [ -n "$out" ]; then
  fail "desktop-file-validate: $out"
fi
# Both answer without a display, as quillanctl does.
for opt in --version --help; do
  out="$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/quillan "$opt" 2>&1)" && [ -n "$out" ] ||
    fail "quillan $opt: $out"
done
appstreamcli validate --no-net "$METAINFO" >"$TMP/appstream.log" 2>&1 ||
  { fail "appstreamcli validate"; cat "$TMP/appstream.log"; }

# A user, and an installation that has a Linux ConsoleOne and the Windows one.
export HOME="$TMP/home" XDG_RUNTIME_DIR="$TMP/runtime"
unset XDG_CONFIG_HOME
mkdir -p "$HOME/.config" && mkdir -m 700 "$XDG_RUNTIME_DIR"
C1="$TMP/ConsoleOne/1.2"
mkdir -p "$C1/bin" "$C1/snapins/Alpha" "$C1/snapins/Beta Two" "$C1/inactive.snapins/Gamma" \
  "$C1/lib/Alpha" "$C1/resources/Alpha"
printf '#!/bin/sh\nexit 0\n' >"$C1/bin/ConsoleOne"
chmod +x "$C1/bin/ConsoleOne"
: >"$C1/bin/ConsoleOne.exe"

# The administrator names the installation and locks Alpha in the example file.
sed -i "s|^;C1=.*|C1=$C1|; s|^;1=.*|1=Alpha|" "$CONF"
grep -qx "C1=$C1" "$CONF" || fail "the example $CONF has no ;C1= line to edit"

cd "$HOME" || exit 1
if quillanctl list >"$TMP/list.out" 2>&1; then
  if grep -q "^Path: *$C1\$" "$TMP/list.out" && grep -q '^  Alpha .*required' "$TMP/list.out" &&
     grep -q '^  Gamma .*inactive' "$TMP/list.out"; then
    pass "quillanctl list answers for $CONF's installation"
  else
    fail "quillanctl list shows another installation"; cat "$TMP/list.out"
  fi
else
  fail "quillanctl list ended with $?"; cat "$TMP/list.out"
fi

# The window, started as the desktop starts it.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  g++ -O0 -o "$TMP/xwindow" "$ROOT/tests/e2e/xwindow.cpp" -lX11 || fail "building the X11 helper"
  e2e_display
  exec_line="$(sed -n 's/^Exec=//p' "$DESKTOP" | sed 's/ *%[fFuUik]//g')"
  # shellcheck disable=SC2086 # the Exec line is split into words, as a desktop does
  (exec $exec_line) >"$TMP/quillan.log" 2>&1 &
  QPID=$!
  PIDS+=("$QPID")
  visible() { WIN="$(xdotool search --onlyvisible --name '^Quillan$' 2>/dev/null | head -n1)"; [ -n "$WIN" ]; }
  if poll 20 visible; then
    pass "'$exec_line' from the desktop entry shows the window"
    "$TMP/xwindow" close "$WIN"
    poll 10 exited "$QPID" || fail "the window did not close"
    # What it saved on closing tells what it showed.
    user_ini="$HOME/.config/quillan.ini"
    if grep -q "^Current=\"\\?$C1\"\\?" "$user_ini" 2>/dev/null && grep -q '^Gamma=0' "$user_ini" &&
       grep -q '^Beta Two=1' "$user_ini"; then
      pass "the window showed $C1 and its snap-ins"
    else
      fail "the window did not show $C1"; cat "$user_ini" "$TMP/quillan.log" 2>/dev/null
    fi
  else
    fail "no window from '$exec_line'"; cat "$TMP/quillan.log"
  fi
else
  fail "Xvfb and xdotool are needed for the window check"
fi

# Manual pages render without warnings.
for page in quillan quillanctl; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
  if [ -z "$warnings" ]; then pass "man -l $page.1"; else fail "man -l $page.1: $warnings"; fi
done

# The completion, on the installation named in /etc/quillan.ini.
"$HERE/completion_test.sh" "$COMPLETION" quillanctl settings || fail "the completion"

# An upgrade (the same package again) keeps the administrator's edit.
echo "; edited by the administrator" >>"$CONF"
if dpkg_install && grep -q '^; edited by the administrator' "$CONF" && grep -qx "C1=$C1" "$CONF"; then
  pass "reinstalling keeps the edited $CONF"
else
  fail "reinstalling lost the edit of $CONF"
fi

# Purge: program, files and configuration go; the user's settings stay.
if purge; then
  for f in "${INSTALLED_FILES[@]}" /usr/share/doc/quillan; do [ -e "$f" ] && fail "left after purge: $f"; done
  installed && fail "still installed after purge"
  [ -f "$HOME/.config/quillan.ini" ] || fail "purge removed the user's ~/.config/quillan.ini"
  pass "dpkg --purge"
else
  fail "dpkg --purge"; cat "$TMP/purge.log"
fi

e2e_finish "package checks passed"
