#!/usr/bin/env bash
# Builds one libFuzzer target of the fuzz preset and runs it for a while, then merges what it found into the
# kept corpus beside its sources (a minimal set that covers as much).
#   scripts/fuzz.sh AREA SECONDS     e.g. scripts/fuzz.sh place-files 600
# Crash inputs land in build/fuzz/crashes/AREA; copy each to tests/fuzz/AREA/regressions/ under a name that
# says what it broke, so that the replay unit test keeps it.
set -euo pipefail
area=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
target=fuzz_${area//-/_}
kept=$root/tests/fuzz/$area/corpus
work=$root/build/fuzz/corpus/$area
crashes=$root/build/fuzz/crashes/$area
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "$target" -j 1 >/dev/null
program=build/fuzz/tests/fuzz/$area/$target
mkdir -p "$work" "$crashes"
status=0
"$program" -max_total_time="$seconds" -max_len=8192 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$crashes/" "$work" "$kept" || status=$?
merged=$(mktemp -d)
if "$program" -merge=1 "$merged" "$kept" "$work" >/dev/null 2>&1 && [[ -n "$(ls "$merged")" ]]; then
  rm -f "$kept"/*
  cp "$merged"/* "$kept"/
fi
rm -rf "$merged"
echo "kept corpus: $(ls "$kept" | wc -l) inputs; crashes: $(ls "$crashes" | wc -l)"
exit $status
