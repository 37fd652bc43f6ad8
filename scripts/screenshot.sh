#!/usr/bin/env bash
# Takes the README's screenshot: the window on a fresh demo installation,
# on a virtual display, saved as docs/screenshot.png.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mkdir -p "$ROOT/docs"
QUILLAN_HEADLESS=1 QUILLAN_DEMO_RESET=1 QUILLAN_SCREENSHOT="$ROOT/docs/screenshot.png" \
  "$ROOT/scripts/run.sh"
