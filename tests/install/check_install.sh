#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds a C program against it twice: through
# pkg-config and through find_package(norvexapi). Both programs must run.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
libdir=$(find "$prefix" -name 'libnorvexapi.so.1' -printf '%h\n' | head -n 1)
test -f "$prefix/include/norvexapi.h"
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
