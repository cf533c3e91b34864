#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A real PC/SC client finding the simulated cards: norvex-sim with an ISO 14443-4 card in reader 0
# and a Mifare Classic 1K card in reader 1, a private pcscd in the foreground that loads the
# driver (its own reader.conf.d directory, its own socket), and pcsc_scan listing the readers and
# cards for a few seconds. Everything runs in a temporary directory and is stopped at the end.
# PCSC_DEMO_SECONDS sets how long pcsc_scan runs (5 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
driver="$build/pcsc/libifd-norvex.so"
simulator="$build/sim/norvex-sim"
for file in "$driver" "$simulator"; do
  [ -e "$file" ] || { echo "pcsc-demo: $file is not built (run 'make build')" >&2; exit 1; }
done
for program in pcscd pcsc_scan unshare; do
  command -v "$program" >/dev/null || { echo "pcsc-demo: $program is missing (run 'make deps')" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/norvex-pcsc-demo-XXXXXX")
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

"$simulator" --socket "$work/sim.sock" --card iso14443-4 --reader 0x0110 --card classic1k \
  >"$work/sim.out" 2>&1 &
pids+=($!)
until grep -q '^listening ' "$work/sim.out" 2>/dev/null; do sleep 0.05; done

mkdir "$work/reader.conf.d" "$work/run"
for index in 0 1; do
  cat >"$work/reader.conf.d/norvex-$index" <<CONF
FRIENDLYNAME "Norvex simulated reader $index"
DEVICENAME   norvex:USB_$index@$work/sim.sock
LIBPATH      $(realpath "$driver")
CONF
done

# pcscd 1.9 serves /run/pcscd/pcscd.comm whatever PCSCLITE_CSOCK_NAME says (later versions take
# the variable): in a namespace of its own, a directory of the demo stands in for /run.
export PCSCLITE_CSOCK_NAME="$work/run/pcscd/pcscd.comm"
echo "== pcscd --foreground --config $work/reader.conf.d (log: pcscd.out)"
unshare --map-root-user --mount sh -c \
  "mount --bind '$work/run' /run && exec pcscd --foreground --config '$work/reader.conf.d'" \
  >"$work/pcscd.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$PCSCLITE_CSOCK_NAME" ] && break; sleep 0.1; done
[ -S "$PCSCLITE_CSOCK_NAME" ] || { echo "pcsc-demo: pcscd did not start:" >&2; cat "$work/pcscd.out" >&2; exit 1; }

# -n: no ATR analysis, which would fetch the ATR list from the network.
echo "== pcsc_scan (PCSCLITE_CSOCK_NAME=$PCSCLITE_CSOCK_NAME)"
pcsc_scan -n -t "${PCSC_DEMO_SECONDS:-5}" </dev/null || true
