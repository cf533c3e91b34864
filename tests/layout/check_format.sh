#!/bin/sh
# SPDX-License-Identifier: MIT
# Every C++ source and header of the project matches .clang-format (the C demo programs keep the
# layout the README shows).
#   check_format.sh SOURCE_DIR CLANG_FORMAT
set -eu
cd "$1"
git rev-parse --git-dir >/dev/null 2>&1 || { echo "not a git checkout: nothing to list"; exit 77; }
unformatted=$(git ls-files '*.cpp' '*.h' | while read -r file; do
  "$2" --dry-run --Werror "$file" >/dev/null 2>&1 || echo "$file"
done)
[ -z "$unformatted" ] && exit 0
echo "not formatted as .clang-format says (run: $2 -i FILE):"
echo "$unformatted"
exit 1
