#!/usr/bin/env bash
# Prints the program's source lines, the tests' lines and their ratio (the suite is kept within a
# third of the program). Binary fixtures are not counted.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -- "$@" | xargs -r grep -I -c '' 2>/dev/null | awk -F: '{s += $NF} END {print s + 0}'; }
program=$(count 'model/*.cpp' 'model/*.h' 'document/*.cpp' 'document/*.h' 'sqlserver/*.cpp' 'sqlserver/*.h' \
  'htmldoc/*.cpp' 'htmldoc/*.h' 'ui/*.cpp' 'ui/*.h' 'platform/*.cpp' 'platform/*.h' 'app/*.cpp' 'app/*.h')
tests=$(count 'tests/*')
awk -v p="$program" -v t="$tests" 'BEGIN {printf "lines: program %d, tests %d, ratio %.2f\n", p, t, (p ? t / p : 0)}'
