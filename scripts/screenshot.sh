#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the pictures of Orlith's card views shown in the README: under a virtual X server, Orlith
# starts in simulated mode and tours the cards, one picture per view (its hidden --screenshot
# option; the tour's table is in explorer/ScreenshotTour.cpp).
# Usage: scripts/screenshot.sh [DIRECTORY]   (default docs)
# ORLITH may name another build of the program.
set -euo pipefail
cd "$(dirname "$0")/.."
orlith="${ORLITH:-build/explorer/Orlith}"
output="${1:-docs}"

if [ ! -x "$orlith" ]; then
  echo "screenshot: $orlith is not built (run 'make build'; the explorer needs Qt 6)" >&2
  exit 1
fi
if ! command -v xvfb-run >/dev/null; then
  echo "screenshot: xvfb-run is missing (Debian package xvfb)" >&2
  exit 1
fi

mkdir -p "$output"
# Qt's own widget style, so the pictures do not depend on the desktop settings of the machine.
QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$orlith" --simulate --screenshot "$output" -style fusion
