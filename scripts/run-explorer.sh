#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the Orlith card explorer in simulated mode: an in-process reader simulator with a Mifare
# Classic 1K and a 4K card in the field of each virtual reader (TR10 and TR20), and a Simulator
# menu to place and remove cards while it runs. Extra arguments go to Orlith.
# ORLITH may name another build of the program.
set -euo pipefail
cd "$(dirname "$0")/.."
orlith="${ORLITH:-build/explorer/Orlith}"

if [ ! -x "$orlith" ]; then
  echo "run-explorer: $orlith is not built (run 'make build'; the explorer needs Qt 6)" >&2
  exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat <<HELP
run-explorer: no display here (DISPLAY and WAYLAND_DISPLAY are empty), so Orlith is not started.
To run it anyway:
  under a virtual X server:   xvfb-run -a $orlith --simulate
  without any display:        QT_QPA_PLATFORM=offscreen $orlith --simulate
  (a picture of the window:   scripts/screenshot.sh)
On a desktop, 'make run' opens the window directly.
HELP
  exit 0
fi

exec "$orlith" --simulate "$@"
