#!/usr/bin/env bash
# Takes the README's screenshot: the window on a fresh demo installation,
# on a virtual display, saved as docs/screenshot.png.
#
# The window shows its installation's path, so the demo is put at the neutral
# /opt/ConsoleOne/1.2 rather than in the build folder: on a tmpfs mounted over
# /opt in a mount namespace of this script's own, which the rest of the
# machine never sees.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SHOWN=/opt/ConsoleOne/1.2

if [ "${QUILLAN_IN_NAMESPACE:-0}" != 1 ]; then
  userns=()
  [ "$(id -u)" -eq 0 ] || userns=(--map-root-user)
  QUILLAN_IN_NAMESPACE=1 exec unshare --mount --propagation private "${userns[@]}" "$0" "$@"
fi

mount -t tmpfs -o mode=0755 quillan-screenshot /opt
mkdir -p "$(dirname "$SHOWN")"
mkdir -p "$ROOT/docs"
QUILLAN_HEADLESS=1 QUILLAN_DEMO_RESET=1 QUILLAN_DEMO_INSTALL="$SHOWN" \
  QUILLAN_SCREENSHOT="$ROOT/docs/screenshot.png" "$ROOT/scripts/run.sh"
