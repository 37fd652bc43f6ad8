#!/usr/bin/env bash
# The Windows packages under Wine, used as an administrator would:
#   installer: a silent install into the default folder (files, Start-menu
#   shortcut, Add/Remove Programs entry), the installed Quillan.exe through
#   the smoke test, an upgrade that keeps the edited Quillan.ini, refused
#   upgrades (Quillan running, a file that cannot be written), the silent
#   uninstall that keeps both settings files, and a silent install into a
#   folder given with /D= that the next upgrade keeps;
#   zip: unpacked, quillanctl.exe answers --version and list.
#
# Usage: package_test.sh SETUP_EXE ZIP BUILD_DIR
#   BUILD_DIR holds the probe the smoke test uses (tests/windows/quillan_probe.exe,
#   or PROBE=exe). WINEPREFIX and DISPLAY set; WINE names the loader (default:
#   32-bit wine).
set -euo pipefail

ZIP="$2"
BUILD="$3"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
WINE="${WINE:-/usr/lib/wine/wine}"
PROBE="${PROBE:-$BUILD/tests/windows/quillan_probe.exe}"
export WINE PROBE
: "${WINEPREFIX:?}" "${DISPLAY:?}"
export WINEDEBUG=-all

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"  # begin_test, fail, ended, wait_for, run, reg_get
begin_test package "$WINEPREFIX/drive_c/Novell"
# A path without blanks, so that a plain command line can name it.
SETUP="$WORK/$(basename "$1")"
cp "$1" "$SETUP"

# Runs a command line as Windows would (CreateProcess): the quoted program,
# then its arguments.
run_command_line() {
  [[ "$1" =~ ^\"([^\"]+)\"\ *(.*)$ ]] || fail "not a quoted command line: $1"
  # shellcheck disable=SC2086 # the arguments split at blanks, as Windows splits them
  run "${BASH_REMATCH[1]}" ${BASH_REMATCH[2]}
}

KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillan'
reg_value() { reg_get "$KEY" "$1"; }
entry_present() { run reg query "$KEY"; [ "$rc" -eq 0 ]; }
expect_value() { [ "$(reg_value "$1")" = "$2" ] || fail "$1 is '$(reg_value "$1")', expected '$2'"; }

DEFAULT_DIR='C:\Program Files\Quillan'
PROGRAMS="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"

# The zip first: it is also the reference for what the installer must put down.
echo "zip: $(basename "$ZIP")"
unzip -q "$ZIP" -d "$WORK/zip"
PORTABLE="$(find "$WORK/zip" -mindepth 1 -maxdepth 1 -type d)"
[ "$(cd "$PORTABLE" && ls | sort | paste -sd' ')" = "Quillan.exe Quillan.ini README.txt quillanctl.exe" ] ||
  fail "the zip holds $(cd "$WORK/zip" && find . -type f | sort | paste -sd' ')"
[ "$(grep -c $'\r$' "$PORTABLE/README.txt")" -eq "$(wc -l <"$PORTABLE/README.txt")" ] ||
  fail "README.txt has lines without CRLF"
run "$PORTABLE/quillanctl.exe" --version
VERSION="$(sed -n 's/^quillanctl \([0-9.]*\)$/\1/p' "$WORK/out")"
[ "$rc" -eq 0 ] && [ -n "$VERSION" ] || fail "quillanctl.exe --version: $(cat "$WORK/out")"
case "$(basename "$ZIP")" in *"-$VERSION-"*) ;; *) fail "zip name does not carry $VERSION" ;; esac
# The template's own default folder, so list runs on the file as shipped.
C1="$WINEPREFIX/drive_c/Novell/ConsoleOne/1.2"
mkdir -p "$C1/bin" "$C1/snapins/Alpha" "$C1/inactive.snapins/Beta"
: >"$C1/bin/ConsoleOne.exe"
run "$PORTABLE/quillanctl.exe" list
[ "$rc" -eq 0 ] && grep -q 'Alpha .*active' "$WORK/out" && grep -q 'Beta .*inactive' "$WORK/out" &&
  ! grep -q required "$WORK/out" || fail "quillanctl.exe list (rc $rc): $(cat "$WORK/out")"
echo "zip: quillanctl $VERSION, list answers on the template's folder"

# A stale per-user file of an earlier run would hide a missing one.
find "$WINEPREFIX/drive_c/users" -iname 'Quillan.ini' -delete 2>/dev/null || true
entry_present && fail "an uninstall entry exists before the first install"

echo "silent install"
run "$SETUP" /S
[ "$rc" -eq 0 ] || fail "silent install ended with $rc"
expect_value InstallLocation "$DEFAULT_DIR"
INST="$WINEPREFIX/drive_c/Program Files/Quillan"
for f in Quillan.exe quillanctl.exe Quillan.ini; do
  cmp -s "$PORTABLE/$f" "$INST/$f" || fail "$f installed differs from the zip's"
done
[ -f "$INST/Uninstall.exe" ] || fail "no Uninstall.exe"

NAME="$(reg_value DisplayName)"
case "$NAME" in Quillan*) ;; *) fail "DisplayName '$NAME'" ;; esac
expect_value DisplayVersion "$VERSION"
[ -n "$(reg_value Publisher)" ] || fail "no Publisher"
expect_value DisplayIcon "$DEFAULT_DIR\\Quillan.exe,0"
expect_value UninstallString "\"$DEFAULT_DIR\\Uninstall.exe\""
QUIET="\"$DEFAULT_DIR\\Uninstall.exe\" /S"
expect_value QuietUninstallString "$QUIET"
size_kb=$(($(reg_value EstimatedSize)))
files_kb=$(($(cat "$INST"/* | wc -c) / 1024))
[ "$size_kb" -ge "$files_kb" ] && [ "$size_kb" -le $((files_kb + 16)) ] ||
  fail "EstimatedSize $size_kb KiB for $files_kb KiB of files"
LINK="$PROGRAMS/$NAME.lnk"
[ -f "$LINK" ] || fail "no Start-menu shortcut $LINK"
grep -aqF "$DEFAULT_DIR\\Quillan.exe" "$LINK" || fail "the shortcut does not point at Quillan.exe"
echo "installed: files, shortcut and entry ($NAME $VERSION, $size_kb KiB)"

# The smoke test writes its own Quillan.ini beside the installed exe: that is
# the administrator's edit the upgrade below must keep.
APP_DIR="$INST" "$ROOT/tests/windows/smoke_test.sh" "$BUILD" || fail "smoke test of the installed Quillan.exe"
cp "$INST/Quillan.ini" "$WORK/admin.ini"
cmp -s "$INST/Quillan.ini" "$PORTABLE/Quillan.ini" && fail "the smoke test did not edit Quillan.ini"

echo "upgrade"
run "$SETUP" /S
[ "$rc" -eq 0 ] || fail "second install ended with $rc"
cmp -s "$INST/Quillan.ini" "$WORK/admin.ini" || fail "the upgrade replaced the edited Quillan.ini"
cmp -s "$INST/Quillan.exe" "$PORTABLE/Quillan.exe" || fail "the upgrade left another Quillan.exe"
echo "upgrade kept the edited Quillan.ini"

# While Quillan runs a silent upgrade must fail, not report success over
# the old program.
(cd "$INST" && exec "$WINE" Quillan.exe >/dev/null 2>&1) &
PID=$!
window_shown() { [ -n "$(xdotool search --onlyvisible --name '^Quillan$' 2>/dev/null)" ]; }
wait_for 60 window_shown || fail "the installed Quillan.exe showed no window"
run "$SETUP" /S
refused=$rc
[ "$refused" -eq 3 ] || fail "a silent install while Quillan runs ended with $refused"
run "$PROBE" close
ended 30 "Quillan did not end after closing"
echo "install while Quillan runs: refused with $refused"

# A program file that cannot be replaced (held by another session, say; here
# a folder in its place) must fail the silent upgrade too.
rm "$INST/quillanctl.exe"
mkdir "$INST/quillanctl.exe"
run "$SETUP" /S
[ "$rc" -eq 4 ] || fail "an upgrade that could not write quillanctl.exe ended with $rc"
rmdir "$INST/quillanctl.exe"
run "$SETUP" /S
[ "$rc" -eq 0 ] && cmp -s "$INST/quillanctl.exe" "$PORTABLE/quillanctl.exe" ||
  fail "the repeated upgrade did not restore quillanctl.exe"
echo "an upgrade that cannot write a program file: refused with 4"

echo "silent uninstall"
USER_FILE="$(find "$WINEPREFIX/drive_c/users" -iname 'Quillan.ini' | head -1)"
[ -n "$USER_FILE" ] || fail "no per-user Quillan.ini"
cp "$USER_FILE" "$WORK/user.ini"
run_command_line "$QUIET"
# The uninstaller runs on from a copy of itself in the temporary folder.
gone() { ! entry_present && [ ! -e "$INST/Uninstall.exe" ]; }
wait_for 60 gone || fail "the silent uninstall left the entry or the uninstaller"
[ "$(ls "$INST")" = "Quillan.ini" ] || fail "left in the folder: $(ls "$INST" | paste -sd' ')"
cmp -s "$INST/Quillan.ini" "$WORK/admin.ini" || fail "the uninstall changed Quillan.ini"
[ ! -e "$LINK" ] || fail "the shortcut is left"
cmp -s "$USER_FILE" "$WORK/user.ini" || fail "the uninstall touched $USER_FILE"
echo "uninstalled: files, shortcut and entry gone; both Quillan.ini kept"
rm -rf "$INST"

# A deployment tool's command line, folder with a space, /D= unquoted and last.
TOOLS='C:\Tools\Quillan Test'
run cmd /c "Z:${SETUP//\//\\} /S /D=$TOOLS"
[ "$rc" -eq 0 ] || fail "install with /D= ended with $rc"
expect_value InstallLocation "$TOOLS"
[ -f "$WINEPREFIX/drive_c/Tools/Quillan Test/Quillan.exe" ] || fail "/D= install: no Quillan.exe"
run "$SETUP" /S
[ "$(reg_value InstallLocation)" = "$TOOLS" ] && [ ! -e "$INST" ] ||
  fail "the upgrade did not go into the folder of the installation it replaces"
run_command_line "$(reg_value QuietUninstallString)"
wait_for 60 bash -c "! [ -e '$WINEPREFIX/drive_c/Tools/Quillan Test/Uninstall.exe' ]" ||
  fail "the /D= installation was not uninstalled"
rm -rf "$WINEPREFIX/drive_c/Tools"
echo "install with /D= and its uninstall: fine"
echo "package test passed"
