#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The library's own cost of one reader exchange and of a connection, through the virtual-bus socket
# to a norvex-sim running in another process: wall times natively, then instructions under
# callgrind (valgrind needed), counted only inside the measured functions of
# build/bench/norvex_exchange_cost. Run after `make build`:
#   scripts/exchange-cost.sh [EXCHANGES [CONNECTS]]     (defaults 2000 and 20)
set -euo pipefail
cd "$(dirname "$0")/.."
exchanges=${1:-2000}
connects=${2:-20}
bench=build/bench/norvex_exchange_cost
dir=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
export NORVEX_SIMULATOR=$dir/bus
build/sim/norvex-sim --socket "$NORVEX_SIMULATOR" >"$dir/sim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q listening "$dir/sim.out" 2>/dev/null && break; sleep 0.05; done

"$bench" exchanges "$exchanges"
"$bench" connect "$connects"

# Instructions of the measured function and everything it calls, per call of its body.
instructions() {
  local function=$1 count=$2
  shift 2
  valgrind --tool=callgrind --callgrind-out-file="$dir/out" --toggle-collect="$function" \
    "$bench" "$@" >/dev/null 2>"$dir/valgrind.log"
  local total
  total=$(grep -E '^(summary|totals):' "$dir/out" | head -1 | awk '{print $2}')
  awk -v t="$total" -v n="$count" 'BEGIN { printf "%.0f\n", t / n }'
}
if command -v valgrind >/dev/null; then
  echo "instructions_per_exchange $(instructions '*MeasuredExchanges*' "$exchanges" exchanges "$exchanges")"
  echo "instructions_per_connect_and_first_exchange $(instructions '*MeasuredConnect*' "$connects" connect "$connects")"
else
  echo "valgrind not found: no instruction counts"
fi
