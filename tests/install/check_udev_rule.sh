#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The udev rule must match the readers' USB devices (vendor 2e5a) and tag them for the seat's user,
# never open them to every user with a MODE.
# Where udevadm can parse rule files (systemd 254 and later), it must accept the file too.
set -euo pipefail
rule=${1:-$(dirname "$0")/../../packaging/udev/70-norvex.rules}

lines=$(grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$rule")  || { echo "no rule in $rule"; exit 1; }
[ "$(wc -l <<<"$lines")" -eq 1 ] || { echo "expected one rule in $rule:"; echo "$lines"; exit 1; }
for field in 'SUBSYSTEM=="usb"' 'ATTRS{idVendor}=="2e5a"' 'TAG+="uaccess"'; do
  tr -d ' ' <<<"$lines" | tr ',' '\n' | grep -qxF "$field" || { echo "missing $field: $lines"; exit 1; }
done
if grep -q 'MODE' <<<"$lines"; then echo "the rule must not set a MODE: $lines"; exit 1; fi

if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$rule"
  echo "udev rule fields checked and verified by udevadm"
else
  echo "udev rule fields checked (udevadm verify not available)"
fi
