#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every benchmark program of the normal build against the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
shopt -s nullglob
# Modelled hardware time of whole card operations against their physical bound.
if [ -x build/bench/norvex_hardware_bench ]; then
  echo "== norvex_hardware_bench"
  build/bench/norvex_hardware_bench
fi
# The library's own cost per exchange and per connection, against norvex-sim in another process
# (instructions when valgrind is there): scripts/exchange-cost.sh [EXCHANGES [CONNECTS]].
if [ -x build/bench/norvex_exchange_cost ] && [ -x build/sim/norvex-sim ]; then
  echo "== norvex_exchange_cost"
  scripts/exchange-cost.sh
fi
benches=(build/bench/bench_*)
[ ${#benches[@]} -gt 0 ] || { echo "no benchmarks built"; exit 0; }
for bench in "${benches[@]}"; do
  echo "== ${bench##*/}"
  "$bench" --benchmark_counters_tabular=true
done
