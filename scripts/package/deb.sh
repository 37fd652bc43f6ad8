#!/usr/bin/env bash
# The Debian package dist/quillan_<version>_<arch>.deb, run by
# scripts/package.sh (which exports ROOT, DIST, JOBS and VERSION): a Release
# build installed into a staging folder under /usr, stripped, with its
# dependencies computed from the binaries, packed with dpkg-deb.
set -euo pipefail
: "${ROOT:?}" "${DIST:?}" "${JOBS:?}" "${VERSION:?}"

BUILD="$ROOT/build/package-deb"
# Laid out as dpkg-shlibdeps expects a package tree: <dir>/debian/<package>.
PKGDIR="$BUILD/pkg"
STAGE="$PKGDIR/debian/quillan"
ARCH="$(dpkg --print-architecture)"
DEB="$DIST/quillan_${VERSION}_${ARCH}.deb"
DOC="$STAGE/usr/share/doc/quillan"

say() { printf 'package deb: %s\n' "$*"; }
die() { printf 'package deb: %s\n' "$*" >&2; exit 1; }

for tool in dpkg-deb dpkg-shlibdeps rsvg-convert help2man; do
  command -v "$tool" >/dev/null 2>&1 ||
    die "$tool is missing (packages dpkg-dev, librsvg2-bin, help2man)"
done

launcher=()
command -v ccache >/dev/null 2>&1 &&
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Debian's compiler and linker flags, with every hardening feature.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
say "Release build in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUILLAN_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" "${launcher[@]}" >"$BUILD.cmake.log" 2>&1 ||
  die "configuring failed; see $BUILD.cmake.log"
cmake --build "$BUILD" -j"$JOBS" >"$BUILD.build.log" 2>&1 ||
  die "building failed; see $BUILD.build.log"

rm -rf "$PKGDIR"
DESTDIR="$STAGE" cmake --install "$BUILD" --strip >/dev/null
for f in usr/bin/quillan usr/bin/quillanctl usr/share/man/man1/quillanctl.1 \
         usr/share/icons/hicolor/256x256/apps/org.example.quillan.png etc/quillan.ini; do
  [ -e "$STAGE/$f" ] || die "the installation lacks $f"
done

# What dh_strip and dh_compress would do: no comment or note sections in the
# binaries, man pages and larger documents compressed.
strip --remove-section=.comment --remove-section=.note "$STAGE"/usr/bin/*
gzip -9n "$STAGE"/usr/share/man/man1/*.1
find "$DOC" -type f -size +4k ! -name '*.png' ! -name '*.gz' -exec gzip -9n {} +
find "$STAGE" -type d -exec chmod 0755 {} +
find "$STAGE" -type f ! -path '*/usr/bin/*' -exec chmod 0644 {} +

date_rfc="$(LC_ALL=C date -R -u -d "$(sed -n 's/^set(QUILLAN_RELEASE_DATE \([0-9-]*\)).*/\1/p' "$ROOT/data/CMakeLists.txt") 12:00")"
{
  printf 'quillan (%s) unstable; urgency=medium\n\n' "$VERSION"
  printf '  * Release %s.\n\n' "$VERSION"
  printf ' -- Quillan developers <dev@quillan.example.org>  %s\n' "$date_rfc"
} | gzip -9n >"$DOC/changelog.gz"
cat >"$DOC/copyright" <<'COPYRIGHT'
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Quillan
Upstream-Contact: Quillan developers <dev@quillan.example.org>
Source: https://quillan.example.org

Files: *
Copyright: 2026 Quillan developers
License: LicenseRef-proprietary
 All rights reserved.
COPYRIGHT

# dpkg-shlibdeps wants to run inside a source tree (give it an empty one)
# and finds the package's root by its DEBIAN folder.
mkdir -p "$STAGE/DEBIAN"
: >"$PKGDIR/debian/control"
depends="$(cd "$PKGDIR" && dpkg-shlibdeps -O debian/quillan/usr/bin/quillan debian/quillan/usr/bin/quillanctl |
  sed -n 's/^shlibs:Depends=//p')"
[ -n "$depends" ] || die "dpkg-shlibdeps found no dependencies"

# Configuration files keep the administrator's edits on upgrade and go with a purge.
(cd "$STAGE" && find etc -type f -printf '/%p\n') >"$STAGE/DEBIAN/conffiles"
cat >"$STAGE/DEBIAN/control" <<CONTROL
Package: quillan
Version: $VERSION
Architecture: $ARCH
Maintainer: Quillan developers <dev@quillan.example.org>
Installed-Size: $(du -sk --exclude=DEBIAN "$STAGE" | cut -f1)
Depends: $depends
Section: admin
Priority: optional
Homepage: https://quillan.example.org
Description: switch the snap-ins of a ConsoleOne installation on or off
 Quillan lists the snap-ins of a Novell ConsoleOne installation, switches
 each one on or off before ConsoleOne starts by moving its folders between
 their active and inactive places, and starts ConsoleOne or RConJ from the
 same window. Nothing is copied or deleted. Required snap-ins are locked
 through the machine-wide /etc/quillan.ini.
 .
 The command quillanctl does the same without a window, for scripts and
 configuration tools.
CONTROL
(cd "$STAGE" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | sort -z | xargs -0 md5sum) \
  >"$STAGE/DEBIAN/md5sums"
chmod 0644 "$STAGE/DEBIAN/control" "$STAGE/DEBIAN/conffiles" "$STAGE/DEBIAN/md5sums"

mkdir -p "$DIST"
dpkg-deb --root-owner-group -Zxz --build "$STAGE" "$DEB" >/dev/null
say "built $DEB"
