#!/usr/bin/env bash
# `make bench`: runs every benchmark program of the native build and gathers their ratio tables
# into build/bench/results.txt.
set -uo pipefail
build=${1:-build}
mkdir -p "$build/bench"
results="$build/bench/results.txt"
: >"$results"
found=0
for program in "$build"/native/bench/bench_*; do
  [[ -x "$program" ]] || continue
  found=1
  echo "== $(basename "$program")" | tee -a "$results"
  "$program" | tee -a "$results" || exit 1
done
[[ $found -eq 1 ]] || echo "no benchmark programs in $build/native/bench" | tee -a "$results"
echo "results: $results"
