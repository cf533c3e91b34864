#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets (tests/fuzz) with clang and runs each for FUZZ_SECONDS seconds
# (default 20), starting from its seed corpus in tests/fuzz/corpus/<name>/. Exits non-zero when a
# target finds a crash, a sanitizer report, a leak, a violated property or a hang; the input that
# caused it is kept under <build>/fuzz-findings/.
#
#   FUZZ_SECONDS   seconds per target (default 20)
#   FUZZ_BUILD_DIR build directory (default build-fuzz in the repository root)
#   FUZZ_TARGETS   space-separated subset of target names, e.g. "block_framing reader_reply"
#   FUZZ_SANITIZER address (default: AddressSanitizer and UBSan) or thread (ThreadSanitizer; give
#                  it a build directory of its own, e.g. FUZZ_BUILD_DIR=build-fuzz-tsan)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-20}"
sanitizer="${FUZZ_SANITIZER:-address}"
jobs="${JOBS:-$(nproc)}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNORVEX_FUZZ=ON -DNORVEX_FUZZ_SANITIZER="$sanitizer" \
  -DNORVEX_BUILD_EXPLORER=OFF -DNORVEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_all

if [ -n "${FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  targets=()
  for source in "$root"/tests/fuzz/*_fuzz.cpp; do
    name="$(basename "$source" .cpp)"
    targets+=("${name%_fuzz}")
  done
fi

findings="$build/fuzz-findings"
mkdir -p "$findings"
failed=()
for name in "${targets[@]}"; do
  program="$build/tests/fuzz/fuzz_$name"
  corpus="$build/fuzz-corpus/$name"  # what the run adds; the committed seeds stay untouched
  seeds="$root/tests/fuzz/corpus/$name"
  log="$findings/$name.log"
  mkdir -p "$corpus"
  [ -d "$seeds" ] || seeds=""
  echo "fuzz_$name: ${seconds}s"
  if ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" \
     UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
     TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:suppressions=$root/tests/fuzz/tsan.supp}" \
     "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$findings/$name-" "$corpus" ${seeds:+"$seeds"} >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/  /" || true
  else
    echo "  FAILED: see $log"
    grep -E 'ERROR|property violated|SUMMARY|Test unit written' "$log" | sed "s/^/  /" | head -8 || true
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "fuzzing: no findings in ${#targets[@]} targets"
