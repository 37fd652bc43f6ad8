#!/usr/bin/env bash
# The Windows packages, from a Release MinGW-w64 build of the 32-bit programs:
#   $DIST/Quillan-$VERSION-setup.exe   NSIS installer
#   $DIST/Quillan-$VERSION-win32.zip   portable zip
#   $DIST/Quillan-$VERSION.msi         Windows Installer package (scripts/package/msi.sh)
# QUILLAN_WINDOWS_ARCH=x86_64 makes the 64-bit ones instead
# (Quillan-$VERSION-win64-setup.exe, Quillan-$VERSION-win64.zip, Quillan-$VERSION-win64.msi).
# Run through scripts/package.sh, which sets ROOT, DIST, JOBS and VERSION.
# QUILLAN_WINDOWS_BUILD names the build folder (default
# build/package-windows-<arch>); an existing one must be a Release build for
# that architecture.
set -euo pipefail
: "${ROOT:?}" "${DIST:?}" "${JOBS:?}" "${VERSION:?}"

ARCH="${QUILLAN_WINDOWS_ARCH:-i686}"
case "$ARCH" in
  i686) BITS=32 SUFFIX=win32 SETUP="Quillan-$VERSION-setup.exe" MSI="Quillan-$VERSION.msi" NSIS_ARCH=() ;;
  x86_64)
    BITS=64 SUFFIX=win64 SETUP="Quillan-$VERSION-win64-setup.exe" MSI="Quillan-$VERSION-win64.msi"
    NSIS_ARCH=(-DWIN64)
    ;;
  *) echo "package/windows.sh: QUILLAN_WINDOWS_ARCH is i686 or x86_64" >&2; exit 2 ;;
esac
BUILD="${QUILLAN_WINDOWS_BUILD:-$ROOT/build/package-windows-$ARCH}"
SRC="$ROOT/packaging/windows"
NAME="Quillan-$VERSION"

die() { echo "package/windows.sh: $*" >&2; exit 1; }

for tool in makensis:nsis zip:zip $ARCH-w64-mingw32-strip:binutils-mingw-w64-${ARCH/_/-}; do
  command -v "${tool%%:*}" >/dev/null || die "${tool%%:*} is missing (Debian package ${tool#*:})"
done

if [ -f "$BUILD/CMakeCache.txt" ]; then
  # Someone else's folder: package it only if it is what users would get.
  grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$BUILD/CMakeCache.txt" ||
    die "$BUILD is not a Release build"
  grep -q "^QUILLAN_MINGW_ARCH:.*=$ARCH$" "$BUILD/CMakeCache.txt" ||
    die "$BUILD is not a MinGW-w64 $ARCH build"
else
  launcher=()
  command -v ccache >/dev/null &&
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw.cmake" -DQUILLAN_MINGW_ARCH="$ARCH" \
    -DCMAKE_BUILD_TYPE=Release -DQUILLAN_WERROR=ON -DQUILLAN_TESTS=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$BUILD" -j"$JOBS" --target quillan quillanctl

# Staging: stripped programs, the texts with Windows line ends.
STAGE="$BUILD/package"
rm -rf "$STAGE"
mkdir -p "$STAGE/$NAME"
crlf() { sed -e "s/@VERSION@/$VERSION/g" -e "s/@BITS@/$BITS/g" -e 's/\r*$/\r/' "$1" >"$2"; }
for exe in Quillan.exe quillanctl.exe; do
  "$ARCH-w64-mingw32-strip" -o "$STAGE/$NAME/$exe" "$BUILD/bin/$exe"
done
crlf "$SRC/Quillan.ini" "$STAGE/$NAME/Quillan.ini"
crlf "$SRC/README.txt" "$STAGE/$NAME/README.txt"

mkdir -p "$DIST"
bash "$ROOT/scripts/package/msi.sh" "$STAGE/$NAME" "$ARCH" "$VERSION" "$DIST/$MSI"
# The setup program refuses beside an installation of the package of this UpgradeCode.
UPGRADE_CODE="$(msiinfo export "$DIST/$MSI" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t//p')"
[[ "$UPGRADE_CODE" =~ ^\{[0-9A-F-]{36}\}$ ]] || die "no UpgradeCode in $DIST/$MSI"
# -V2: warnings and errors only; -WX: a warning fails the build.
makensis -V2 -WX "${NSIS_ARCH[@]}" -DVERSION="$VERSION" -DSTAGE="$STAGE/$NAME" \
  -DICON="$ROOT/src/toolkits/win32/quillan.ico" -DOUTFILE="$DIST/$SETUP" -DMSI_UPGRADE_CODE="$UPGRADE_CODE" \
  "$SRC/Quillan.nsi"

rm -f "$DIST/$NAME-$SUFFIX.zip"
(cd "$STAGE" && zip -q -X -r "$DIST/$NAME-$SUFFIX.zip" "$NAME")
echo "$DIST/$SETUP"
echo "$DIST/$NAME-$SUFFIX.zip"
echo "$DIST/$MSI"
