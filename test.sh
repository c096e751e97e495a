#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh scripts/test-packages.txt
# Node drives the browser and the T-SQL grammar in the tests (their npm packages are pinned there);
# Debian's own node only where the machine has none, so that another install is never replaced.
command -v npm >/dev/null 2>&1 || scripts/install-deps.sh scripts/node-packages.txt
build=build-test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON -DMORVANE_BUILD_TESTS=ON
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The suite's size beside the program's: it is kept within a third.
scripts/count-lines.sh
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
