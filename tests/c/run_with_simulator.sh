#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a test program against a norvex-sim serving one reader with the given cards in its field:
#   run_with_simulator.sh NORVEX_SIM PROGRAM CARD...
# The simulator listens in a fresh temporary directory and is stopped when the program ends.
set -u
simulator=$1
program=$2
shift 2

directory=$(mktemp -d "${TMPDIR:-/tmp}/norvex-run-XXXXXX") || exit 1
socket="$directory/reader.sock"
cards=""
for card in "$@"; do cards="$cards --card $card"; done

# shellcheck disable=SC2086 # each card option is its own word
"$simulator" --socket "$socket" $cards >"$directory/sim.out" 2>&1 &
simulator_pid=$!
cleanup() {
  kill "$simulator_pid" 2>/dev/null
  wait "$simulator_pid" 2>/dev/null
  rm -rf "$directory"
}
trap cleanup EXIT

tries=0
until grep -q '^listening ' "$directory/sim.out" 2>/dev/null; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$simulator_pid" 2>/dev/null; then
    echo "norvex-sim did not start:" >&2
    cat "$directory/sim.out" >&2
    exit 1
  fi
  sleep 0.05
done

NORVEX_SIMULATOR="$socket" "$program"
