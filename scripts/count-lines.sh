#!/usr/bin/env bash
# Prints the program's source lines, the tests' lines and their ratio (the suite is kept within a
# third of the program). The tests' C++, scripts and support count; their CMake files and binary
# fixtures do not.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -- "$@" | xargs -r grep -I -c '' 2>/dev/null | awk -F: '{s += $NF} END {print s + 0}'; }
program=$(count 'model/*.cpp' 'model/*.h' 'document/*.cpp' 'document/*.h' 'sqlserver/*.cpp' 'sqlserver/*.h' \
  'htmldoc/*.cpp' 'htmldoc/*.h' 'ui/*.cpp' 'ui/*.h' 'platform/*.cpp' 'platform/*.h' 'app/*.cpp' 'app/*.h')
tests=$(count 'tests/*' ':(exclude,glob)tests/**/CMakeLists.txt' ':(exclude)tests/CMakeLists.txt')
awk -v p="$program" -v t="$tests" 'BEGIN {printf "lines: program %d, tests %d, ratio %.2f\n", p, t, (p ? t / p : 0)}'
