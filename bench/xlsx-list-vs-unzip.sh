#!/usr/bin/env bash
# Whole-process medians of `morvane-batch --list` on an .xlsx against `unzip -p` of all its parts
# (the floor: inflating only), in one run, interleaved. Further morvane-batch builds to compare
# (an older one, say) can follow the workbook.
#   bench/xlsx-list-vs-unzip.sh BATCH WORKBOOK.xlsx [OTHER_BATCH...]
# The 300-sheet workbook is written by morvane-bench (MORVANE_BENCH_DIR=DIR keeps it there).
set -euo pipefail
batch=$1 book=$2
shift 2
runs=${RUNS:-31}
layout=1,300,6,3,3,4,5,6,7,9
declare -A times
time_one() {  # label, command...
  # EPOCHREALTIME needs no process of its own: a `date` per reading would add its own start-up
  # to every time and shrink the ratios.
  local label=$1 start=${EPOCHREALTIME/[.,]/}
  shift
  "$@" >/dev/null
  times[$label]+="$(( ${EPOCHREALTIME/[.,]/} - start )) "
}
for ((i = 0; i < runs; i++)); do
  time_one unzip unzip -p "$book"
  time_one morvane "$batch" --layout-values "$layout" --list "$book"
  for other in "$@"; do time_one "$other" "$other" --layout-values "$layout" --list "$book"; done
done
median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
floor=$(median <<<"${times[unzip]}")
printf '%-50s %9s %7s\n' reader 'median ms' 'x unzip'
for label in unzip morvane "$@"; do
  m=$(median <<<"${times[$label]}")
  name=$label
  [[ $label == morvane ]] && name="$batch"
  [[ $label == unzip ]] && name="unzip -p (every part)"
  awk -v n="$name" -v m="$m" -v f="$floor" 'BEGIN {printf "%-50s %9.1f %7.2f\n", n, m / 1000, m / f}'
done
