#!/usr/bin/env bash
# The Windows Installer package from staged programs:
#   msi.sh STAGE ARCH VERSION OUT.msi
# STAGE holds Quillan.exe, quillanctl.exe and Quillan.ini (the template); ARCH is
# i686 or x86_64. Needs wixl (Debian package wixl), msibuild (msitools) and the
# MinGW-w64 C compiler of ARCH for the custom action.
set -euo pipefail

STAGE="$1" ARCH="$2" VERSION="$3" OUT="$4"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
SRC="$ROOT/packaging/windows"
die() { echo "package/msi.sh: $*" >&2; exit 1; }

case "$ARCH" in
  i686) MSI_ARCH=x86 BIT64=0 ;;
  x86_64) MSI_ARCH=x64 BIT64=256 ;;
  *) die "ARCH is i686 or x86_64" ;;
esac
for tool in wixl:wixl msibuild:msitools msiinfo:msitools $ARCH-w64-mingw32-gcc:gcc-mingw-w64-${ARCH/_/-}; do
  command -v "${tool%%:*}" >/dev/null || die "${tool%%:*} is missing (Debian package ${tool#*:})"
done
[[ "$VERSION" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "version '$VERSION' is not N.N.N"

# wixl finds sources only by relative names: everything goes into one folder.
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cp "$STAGE/Quillan.exe" "$STAGE/quillanctl.exe" "$STAGE/Quillan.ini" "$WORK/"
cp "$ROOT/src/toolkits/win32/quillan.ico" "$WORK/Quillan.ico"
"$ARCH-w64-mingw32-gcc" -O2 -Wall -Wextra -Werror -shared -s -static-libgcc -Wl,--kill-at \
  -o "$WORK/InUse.dll" "$SRC/InUse.c" -lmsi
(cd "$WORK" && wixl -a "$MSI_ARCH" -D Arch="$MSI_ARCH" -D Version="$VERSION" -o package.msi "$SRC/Quillan.wxs")

# What wixl cannot say:
# - the template Quillan.ini is Permanent (16: uninstall and upgrade keep it) and
#   NeverOverwrite (128: installed only where there is none);
# - the same version counts as older (768: minimum and maximum included), so a
#   rebuilt package of the same version replaces the installed one instead of
#   adding a second entry. Attributes is in the Upgrade table's key: the row is
#   replaced, not updated.
q() { msibuild "$WORK/package.msi" -q "$1" || die "msibuild: $1"; }
q "UPDATE \`Component\` SET \`Attributes\` = $((BIT64 + 16 + 128)) WHERE \`Component\` = 'Settings'"
code="$(msiinfo export "$WORK/package.msi" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t//p')"
q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'QUILLAN_OLDER'"
q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMin\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) \
VALUES ('$code', '0.0.0', '$VERSION', 768, 'QUILLAN_OLDER')"
mv "$WORK/package.msi" "$OUT"
