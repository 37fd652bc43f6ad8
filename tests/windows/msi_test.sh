#!/usr/bin/env bash
# The Windows Installer package, read with msiinfo and used under Wine's
# msiexec as a deployment tool would: tables (per-machine, the template
# Permanent and NeverOverwrite, upgrades that include the same version, the
# refusals sequenced before anything changes); then a silent install of a
# lower version built here, the upgrade over an edited Quillan.ini (files,
# shortcut, one uninstall entry read back with `reg query`), the installed
# exe through the smoke test, refusals while Quillan runs, a repair, the
# silent uninstall that keeps both settings files, INSTALLDIR= kept by the
# next upgrade, a refused downgrade, and the package and the setup program
# each refusing beside the other's installation.
#
# Usage: msi_test.sh MSI [SETUP_EXE BUILD_DIR]
#   Only MSI: the tables alone (where its architecture cannot run).
#   SETUP_EXE is the setup program of the same architecture; BUILD_DIR holds
#   the probe (tests/windows/quillan_probe.exe, or PROBE=exe). WINEPREFIX and
#   DISPLAY set; WINE names the loader (default: 32-bit wine).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
WINE="${WINE:-/usr/lib/wine/wine}"
export WINEDEBUG=-all
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" # begin_test, fail, ended, wait_for, run, reg_get
begin_test msi

MSI="$WORK/$(basename "$1")"
cp "$1" "$MSI"
# Rows without the line ends' CRs (a CR inside a value stays and fails the match).
table() { msiinfo export "$MSI" "$1" | tail -n +4 | sed 's/\r$//'; }
property() { table Property | sed -n "s/^$1\t//p"; }
VERSION="$(property ProductVersion)"
case "$(basename "$MSI")" in *"-$VERSION"[.-]*) ;; *) fail "$(basename "$MSI") is not version $VERSION" ;; esac
case "$(msiinfo suminfo "$MSI" | sed -n 's/^Template: //p')" in
  "x64;1033") ARCH=x86_64 PROGRAM_FILES=ProgramFiles64Folder DIR='C:\Program Files\Quillan' ;;
  "Intel;1033") ARCH=i686 PROGRAM_FILES=ProgramFilesFolder DIR='C:\Program Files (x86)\Quillan' ;;
  *) fail "summary template: $(msiinfo suminfo "$MSI" | grep Template)" ;;
esac

echo "tables of $(basename "$MSI") ($ARCH)"
[ "$(property ALLUSERS)" = 1 ] || fail "not per-machine (ALLUSERS '$(property ALLUSERS)')"
[ -n "$(property ARPPRODUCTICON)" ] && table Icon | grep -q "^$(property ARPPRODUCTICON)" ||
  fail "no icon for Add/Remove Programs"
[ "$(table File | cut -f3 | sort | paste -sd' ')" = "Quillan.exe Quillan.ini quillanctl.exe" ] ||
  fail "files: $(table File | cut -f3 | paste -sd' ')"
table Directory | grep -q "^INSTALLDIR	$PROGRAM_FILES	Quillan$" || fail "INSTALLDIR is not $PROGRAM_FILES\\Quillan"
settings=$(table Component | awk -F'\t' '$6 == "Quillan.ini" {print $4}')
[ $((settings & 144)) -eq 144 ] || fail "the Quillan.ini component's attributes $settings lack Permanent or NeverOverwrite"
table Upgrade | grep -qxF "$(property UpgradeCode)	0.0.0	$VERSION		768		QUILLAN_OLDER" ||
  fail "the upgrade does not include $VERSION: $(table Upgrade | cat -A)"
sequence() { table InstallExecuteSequence | awk -F'\t' -v a="$1" '$1 == a {print $3}'; }
# The folder of the installation found first, the refusals before anything changes, the
# old product removed before the new files go in.
previous=0
for action in AppSearch KeepPreviousDir RepairWhenInstalled CostInitialize CostFinalize \
  RefuseWhileRunning InstallValidate InstallInitialize RemoveExistingProducts InstallFiles; do
  n="$(sequence "$action")"
  [ -n "$n" ] && [ "$n" -gt "$previous" ] || fail "$action out of order: $(table InstallExecuteSequence | paste -sd' ')"
  previous="$n"
done
[ "$(sequence LaunchConditions)" -lt "$(sequence InstallValidate)" ] || fail "LaunchConditions after InstallValidate"
echo "tables: per-machine, template kept, same version upgradable, refusals before any change"
[ $# -ge 3 ] || exit 0

SETUP="$WORK/$(basename "$2")"
cp "$2" "$SETUP"
BUILD="$(cd "$3" && pwd)"
PROBE="${PROBE:-$BUILD/tests/windows/quillan_probe.exe}"
export WINE PROBE
# msiexec unpacks the product's icon into the current folder: keep it in ours.
cd "$WORK"
: "${WINEPREFIX:?}" "${DISPLAY:?}"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
unix() { local p="${1//\\//}"; printf '%s/drive_c%s' "$WINEPREFIX" "${p#C:}"; }

# msiexec ARGS... /qn as a deployment tool's command line; its own status comes
# through cmd, since a Unix exit status keeps 8 bits of it. The batch file is
# not named msiexec.cmd and names msiexec.exe: cmd looks in the current folder
# first and would start the batch file itself, again and again.
msiexec() {
  printf '@echo off\r\nstart /wait msiexec.exe %s /qn\r\necho status %%ERRORLEVEL%%\r\n' "$*" >"$WORK/deploy.cmd"
  run cmd /c "$(winpath "$WORK/deploy.cmd")"
  rc="$(sed -n 's/^status //p' "$WORK/out")"
}
expect_status() { [ "$rc" = "$1" ] || fail "$2 ended with ${rc:-nothing}, expected $1"; }

UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
CODE="$(property ProductCode)"
NAME="$(property ProductName)"
# The Uninstall keys of this family's products (by their DisplayName).
entries() {
  run reg query "$UNINSTALL" /s
  awk -v n="$NAME" '/^HKEY/ {k = $0} $1 == "DisplayName" && substr($0, index($0, "REG_SZ") + 10) == n {print k}' "$WORK/out"
}
entry() { reg_get "$UNINSTALL\\$CODE" "$1"; }
key_absent() { run reg query "$1"; [ "$rc" -ne 0 ]; }

# A lower version of the same programs, as an installed older release.
# msiextract names the folder after the package's (the 32-bit one under "Program Files").
msiextract -C "$WORK/files" "$MSI" >/dev/null
FILES="$(dirname "$(find "$WORK/files" -name Quillan.exe | head -n1)")"
OLD="$WORK/Quillan-0.9.0.msi"
"$ROOT/scripts/package/msi.sh" "$FILES" "$ARCH" 0.9.0 "$OLD"
# A 32-bit prefix has no "Program Files (x86)".
[ "$ARCH" = x86_64 ] || [ -d "$(unix "$DIR")" ] || DIR='C:\Program Files\Quillan'
INST="$(unix "$DIR")"
LINKS=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
  "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu/Programs")
# Wine puts the all-users Start menu folder in the user's one (ProgramMenuFolder); on Windows
# ALLUSERS=1 above makes it the all-users one.
shortcut() { local d; for d in "${LINKS[@]}"; do [ -f "$d/$NAME.lnk" ] && echo "$d/$NAME.lnk"; done; true; }
find "$WINEPREFIX/drive_c/users" -iname 'Quillan.ini' -delete 2>/dev/null || true
[ -z "$(entries)" ] || fail "an entry exists before the first install"

echo "install 0.9.0, then upgrade to $VERSION over an edited Quillan.ini"
msiexec /i "$(winpath "$OLD")"
expect_status 0 "install of 0.9.0"
[ "$(entries | wc -l)" -eq 1 ] || fail "0.9.0: $(entries | wc -l) entries"
printf '[Required Snapins]\r\n1=NDSManager\r\n' >>"$INST/Quillan.ini"
cp "$INST/Quillan.ini" "$WORK/admin.ini"
msiexec /i "$(winpath "$MSI")"
expect_status 0 "upgrade"
[ "$(entries | wc -l)" -eq 1 ] && entries | grep -qF "\\$CODE" || fail "entries after the upgrade: $(entries)"
cmp -s "$INST/Quillan.ini" "$WORK/admin.ini" || fail "the upgrade replaced the edited Quillan.ini"
for f in Quillan.exe quillanctl.exe; do cmp -s "$FILES/$f" "$INST/$f" || fail "$f differs from the package's"; done
[ "$(entry DisplayVersion)" = "$VERSION" ] && [ "$(entry InstallLocation)" = "$DIR\\" ] &&
  [ "$(entry Publisher)" = "$(property Manufacturer)" ] || fail "entry: $(cat "$WORK/out")"
run reg query 'HKLM\Software\Classes\Installer\Products' /s
grep -qF "ProductIcon    REG_SZ    C:\\windows\\Installer\\$CODE\\" "$WORK/out" || fail "no product icon published"
LINK="$(shortcut)"
[ -n "$LINK" ] && grep -aqF "$DIR\\Quillan.exe" "$LINK" || fail "no shortcut '$NAME' to Quillan.exe"
echo "upgraded: one entry ($NAME $VERSION), files, shortcut, Quillan.ini kept"

# The smoke test writes its own Quillan.ini: the edit the rest must keep.
APP_DIR="$INST" "$ROOT/tests/windows/smoke_test.sh" "$BUILD" || fail "smoke test of the installed Quillan.exe"
cp "$INST/Quillan.ini" "$WORK/admin.ini"

(cd "$INST" && exec "$WINE" Quillan.exe >/dev/null 2>&1) &
PID=$!
wait_for 60 bash -c "[ -n \"\$(xdotool search --onlyvisible --name '^Quillan\$' 2>/dev/null)\" ]" ||
  fail "the installed Quillan.exe showed no window"
for action in /i /x; do
  msiexec "$action" "$(winpath "$MSI")"
  expect_status 1603 "msiexec $action while Quillan runs"
  [ -n "$(entries)" ] && cmp -s "$FILES/quillanctl.exe" "$INST/quillanctl.exe" || fail "msiexec $action changed files"
done
run "$PROBE" close
ended 30 "Quillan did not end after closing"
echo "install and uninstall while Quillan runs: refused with 1603, nothing changed"

rm "$INST/quillanctl.exe"
msiexec /i "$(winpath "$MSI")"
expect_status 0 "the same package again"
cmp -s "$FILES/quillanctl.exe" "$INST/quillanctl.exe" && [ "$(entries | wc -l)" -eq 1 ] ||
  fail "the same package again did not repair in place"
cmp -s "$INST/Quillan.ini" "$WORK/admin.ini" || fail "the repair replaced Quillan.ini"
run "$SETUP" /S
[ "$rc" -eq 5 ] || fail "the setup program beside the package ended with $rc"
key_absent "$UNINSTALL\\Quillan" || fail "the setup program added its entry beside the package"
echo "the same package again repaired it; the setup program refused with 5"

echo "silent uninstall"
USER_FILE="$(find "$WINEPREFIX/drive_c/users" -iname 'Quillan.ini' | head -1)"
[ -n "$USER_FILE" ] && cp "$USER_FILE" "$WORK/user.ini" || fail "no per-user Quillan.ini"
msiexec /x "$(winpath "$MSI")"
expect_status 0 "uninstall"
[ -z "$(entries)" ] && [ -z "$(shortcut)" ] || fail "the uninstall left the entry or the shortcut"
[ "$(ls "$INST")" = "Quillan.ini" ] && cmp -s "$INST/Quillan.ini" "$WORK/admin.ini" ||
  fail "left in the folder: $(ls "$INST" | paste -sd' ')"
cmp -s "$USER_FILE" "$WORK/user.ini" || fail "the uninstall touched $USER_FILE"
rm -rf "$INST"
echo "uninstalled: files, shortcut and entry gone; both Quillan.ini kept"

TOOLS='C:\Tools\Quillan MSI'
msiexec /i "$(winpath "$OLD")" "INSTALLDIR=\"$TOOLS\""
expect_status 0 "install with INSTALLDIR="
msiexec /i "$(winpath "$MSI")"
expect_status 0 "upgrade of the INSTALLDIR= installation"
[ -f "$(unix "$TOOLS")/Quillan.exe" ] && [ ! -e "$INST" ] && [ "$(entry InstallLocation)" = "$TOOLS\\" ] ||
  fail "the upgrade did not stay in $TOOLS"
msiexec /i "$(winpath "$OLD")"
expect_status 1603 "a downgrade"
msiexec /x "$(winpath "$MSI")"
expect_status 0 "uninstall from $TOOLS"
[ ! -e "$(unix "$TOOLS")/Quillan.exe" ] || fail "the uninstall left $TOOLS\\Quillan.exe"
rm -rf "$WINEPREFIX/drive_c/Tools"
echo "INSTALLDIR= kept by the upgrade; downgrade refused with 1603"

run "$SETUP" /S
[ "$rc" -eq 0 ] || fail "the setup program ended with $rc"
msiexec /i "$(winpath "$MSI")"
expect_status 1603 "the package beside the setup program's installation"
key_absent "$UNINSTALL\\$CODE" && [ "$(entries)" = "HKEY_LOCAL_MACHINE\\${UNINSTALL#HKLM\\}\\Quillan" ] ||
  fail "the package installed beside the setup program's installation: $(entries)"
run "$INST/Uninstall.exe" /S
nsis_gone() { key_absent "$UNINSTALL\\Quillan" && [ ! -e "$INST/Uninstall.exe" ]; }
wait_for 60 nsis_gone || fail "the setup program's installation stayed"
rm -rf "$INST"
echo "the package beside the setup program's installation: refused with 1603"
echo "msi test passed"
