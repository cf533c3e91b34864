#!/bin/sh
# SPDX-License-Identifier: MIT
# Every C++ source and header of the project matches .clang-format (the C demo programs keep the
# layout the README shows).
#   check_format.sh SOURCE_DIR CLANG_FORMAT
set -eu
cd "$1"
git rev-parse --git-dir >/dev/null 2>&1 || { echo "not a git checkout: nothing to list"; exit 77; }
report=$(git ls-files -z '*.cpp' '*.h' | xargs -0 "$2" --dry-run --Werror 2>&1) && exit 0
echo "not formatted as .clang-format says (run: $2 -i FILE):"
echo "$report" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error:.*/  \1/p' | sort -u
exit 1
