#!/bin/sh
# SPDX-License-Identifier: MIT
# The README's C example after HEADING is the program the test suite runs, from its first
# #include on: check_readme_example.sh README HEADING PROGRAM
set -eu
readme=$1
heading=$2
program=$3
shown=$(awk -v heading="$heading" '
  $0 == heading { found = 1; next }
  found && /^```c$/ { inside = 1; next }
  inside && /^```$/ { exit }
  inside { print }' "$readme")
tested=$(sed -n '/^#include <stdio.h>/,$p' "$program")
if [ -z "$shown" ] || [ "$shown" != "$tested" ]; then
  echo "the example under '$heading' in $readme differs from $program"
  exit 1
fi
