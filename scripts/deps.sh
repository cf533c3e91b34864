#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs, from Debian packages, whatever the project needs and the machine lacks. Quiet when all is there.
set -euo pipefail

packages=(
  g++ make cmake ninja-build pkg-config
  libssl-dev libusb-1.0-0-dev
  qt6-base-dev qt6-base-dev-tools qt6-connectivity-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  umockdev libumockdev-dev
  clang libclang-rt-dev clang-format
  python3 valgrind
  libpcsclite-dev pcscd pcsc-tools python3-pyscard python3-cryptography
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
