#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program's main job.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMORVANE_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)"
# On a desktop, the program's windows; without a display, the batch listing of the example.
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$build/morvane"
fi
"$build/morvane-batch" --layout-values 1,5,6,3,3,4,5,6,7,9 --list examples/design-document.xlsx
