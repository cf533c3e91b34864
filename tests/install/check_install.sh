#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a temporary prefix, then builds a C program against it twice: through
# pkg-config and through find_package(norvexapi). Both programs must run. The installed programs
# must run from the prefix, with manual pages that parse and name every option of their --help,
# and the udev rule must be in place.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
libdir=$(find "$prefix" -name 'libnorvexapi.so.1' -printf '%h\n' | head -n 1)
for header in norvexapi.h norvexapi_status.h norvexapi_version.h; do test -f "$prefix/include/$header"; done
test -L "$libdir/libnorvexapi.so"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -std=c11 -Wall -Wextra -Wpedantic -Werror -o "$prefix/by-pkg-config" \
  "$source_dir/tests/c/header_check.c" $(pkg-config --cflags --libs norvexapi)
LD_LIBRARY_PATH="$libdir" "$prefix/by-pkg-config"

cmake -S "$source_dir/tests/install/consumer" -B "$prefix/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
LD_LIBRARY_PATH="$libdir" "$prefix/consumer/consumer"
echo "installed library usable from pkg-config and find_package"

cmp "$source_dir/packaging/udev/70-norvex.rules" "$prefix/lib/udev/rules.d/70-norvex.rules"

# The PC/SC bundle: Info.plist and the driver, which finds the library through its run path.
bundle="$prefix/lib/pcsc/drivers/ifd-norvex.bundle/Contents"
if [ -e "$bundle" ]; then
  grep -q "<string>0x2E5A</string>" "$bundle/Info.plist"
  libraries=$(ldd "$bundle/Linux/libifd-norvex.so")
  grep -q "libnorvexapi.so.1 => $libdir/" <<<"$libraries"
  test -f "$prefix/share/doc/norvexapi/examples/reader.conf.d/norvex-simulator"
fi

# Runs an installed program's --help and checks its manual page against it.
check_program() {
  local program=$1 page="$prefix/share/man/man1/$1.1"
  test -f "$page" || { echo "no manual page for $program"; return 1; }
  if command -v groff >/dev/null; then
    local complaints
    complaints=$(groff -man -ww -z "$page" 2>&1)
    [ -z "$complaints" ] || { echo "$page: $complaints"; return 1; }
  fi
  local help option
  help=$("$prefix/bin/$program" --help)
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "${option//-/\\-}" "$page" || { echo "$page lacks $option"; return 1; }
  done
}
check_program norvex-sim
# norvex, like the explorer, finds the library through its run path.
check_program norvex
for completion in bash-completion/completions/norvex zsh/site-functions/_norvex \
  fish/vendor_completions.d/norvex.fish; do
  test -f "$prefix/share/$completion"
done
# The explorer finds the library through its run path: no LD_LIBRARY_PATH here.
if [ -e "$prefix/bin/Orlith" ]; then QT_QPA_PLATFORM=offscreen check_program Orlith; fi
echo "installed programs run, with their manual pages and the udev rule"
