#!/usr/bin/env bash
# Builds the release packages into dist/:
#   scripts/package.sh          every package
#   scripts/package.sh deb      the Debian package (dist/quillan_<version>_amd64.deb)
#   scripts/package.sh windows  the Windows installer, portable zip and Windows Installer package
# The version is the one in the top CMakeLists.txt's project().
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DIST="${QUILLAN_DIST:-$ROOT/dist}"
JOBS="${QUILLAN_JOBS:-$(nproc 2>/dev/null || echo 2)}"
VERSION="$(sed -n 's/^project(Quillan VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
[ -n "$VERSION" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
export ROOT DIST JOBS VERSION

mkdir -p "$DIST"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(deb windows)
for t in "${targets[@]}"; do
  case "$t" in
    deb|windows) bash "$ROOT/scripts/package/$t.sh" ;;
    *) echo "package.sh: unknown package '$t' (deb, windows)" >&2; exit 2 ;;
  esac
done
