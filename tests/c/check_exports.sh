#!/bin/sh
# SPDX-License-Identifier: MIT
# The shared library exports exactly the functions its public headers declare, each under the
# library's symbol version, and nothing of the C++ runtime it is built with.
# Usage: check_exports.sh LIBRARY HEADER...
set -eu
library=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

grep -hv '^#' "$@" | sed -n 's/.*NORVEX_API[^(]*[ *]\([A-Za-z_][A-Za-z0-9_]*\)(.*/\1/p' | sort -u >"$work/declared"
nm -D --defined-only "$library" | awk '$2 != "A" {print $3}' >"$work/symbols"
c++filt <"$work/symbols" | sed 's/(.*//; s/@.*//' | sort -u >"$work/exported"

status=0
if ! grep -q . "$work/declared"; then
  echo "no declarations found in $*"
  exit 1
fi
if ! diff -u "$work/declared" "$work/exported" >"$work/diff"; then
  echo "exported set differs from the header's functions (- declared only, + exported only):"
  grep '^[-+][^-+]' "$work/diff"
  status=1
fi
unversioned=$(grep -v '@@NORVEXAPI_1.0$' "$work/symbols" || true)
if [ -n "$unversioned" ]; then
  echo "exported without the library's symbol version:"
  echo "$unversioned"
  status=1
fi
[ $status -eq 0 ] && echo "$(wc -l <"$work/exported") functions exported, all declared and versioned"
exit $status
