#!/usr/bin/env bash
# The application manifest read back from a program's PE resources (the
# toolchain's windres decompiles them): one manifest, with visual styles,
# asInvoker, Windows 7 to 11, per-monitor DPI awareness, the program's own
# architecture, and no code page of its own.
#
# Usage: manifest_test.sh WINDRES EXE ARCH   (ARCH: x86 or amd64)
set -euo pipefail
WINDRES="$1" EXE="$2" ARCH="$3"

fail() {
  echo "manifest test FAILED for $EXE: $*" >&2
  exit 1
}

rc="$("$WINDRES" -i "$EXE" -O rc)" || fail "windres could not read its resources"
[ "$(grep -c '^[^ ]* 24 ' <<<"$rc")" = 1 ] || fail "not exactly one RT_MANIFEST resource"
# The resource as windres prints it: quoted chunks with "" and \n escapes.
manifest="$(sed -n '/^1 24 /,/^END/p' <<<"$rc" | sed '1,2d;$d' | sed 's/^ *"//; s/"$//; s/""/"/g' |
  tr -d '\n' | sed 's/\\n/ /g; s/\\r//g; s/  */ /g')"
[ -n "$manifest" ] || fail "no manifest with resource id 1"

want() { grep -qE "$1" <<<"$manifest" || fail "$2"; }
want '<assemblyIdentity type="win32" name="Microsoft\.Windows\.Common-Controls" version="6\.0\.0\.0"' \
  "no dependency on Common Controls 6"
want '<requestedExecutionLevel level="asInvoker"' "no asInvoker execution level"
want "<assemblyIdentity type=\"win32\" name=\"Quillan[^\"]*\" version=\"[0-9.]+\" processorArchitecture=\"$ARCH\"" \
  "assembly identity is not Quillan's for $ARCH"
for os in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
  1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  want "<supportedOS Id=\"\\{$os\\}\"/>" "supportedOS $os missing"
done
want '<dpiAwareness [^>]*>PerMonitorV2[,<]' "no PerMonitorV2 DPI awareness"
want '<dpiAware [^>]*>true(/pm)?<' "no dpiAware fallback"
! grep -q "<activeCodePage" <<<"$manifest" || fail "the manifest sets a code page"
echo "manifest of $(basename "$EXE") ($ARCH): ok"
