#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the picture of Orlith's main window shown in the README: under a virtual X server, Orlith
# starts in simulated mode, scans the field, selects the Mifare 1K card, reads it all, opens the
# key panel and saves the window (its hidden --screenshot option).
# Usage: scripts/screenshot.sh [OUTPUT.png]   (default docs/orlith-main-window.png)
# ORLITH may name another build of the program.
set -euo pipefail
cd "$(dirname "$0")/.."
orlith="${ORLITH:-build/explorer/Orlith}"
output="${1:-docs/orlith-main-window.png}"

if [ ! -x "$orlith" ]; then
  echo "screenshot: $orlith is not built (run 'make build'; the explorer needs Qt 6)" >&2
  exit 1
fi
if ! command -v xvfb-run >/dev/null; then
  echo "screenshot: xvfb-run is missing (Debian package xvfb)" >&2
  exit 1
fi

mkdir -p "$(dirname "$output")"
rm -f "$output"
# Qt's own widget style, so the picture does not depend on the desktop settings of the machine.
QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$orlith" --simulate --screenshot "$output" -style fusion
[ -s "$output" ] || { echo "screenshot: no picture was written" >&2; exit 1; }
echo "screenshot: $output"
