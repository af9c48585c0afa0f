#!/usr/bin/env bash
# `make bench`: runs every benchmark program of the native build and gathers their ratio tables
# into build/bench/results.txt. Every figure is printed; the status is nonzero when any goal was missed or a
# benchmark could not run.
set -uo pipefail
build=${1:-build}
status=0
mkdir -p "$build/bench"
results="$build/bench/results.txt"
: >"$results"
found=0
for program in "$build"/native/bench/bench_*; do
  [[ -x "$program" ]] || continue
  found=1
  echo "== $(basename "$program")" | tee -a "$results"
  "$program" | tee -a "$results" || status=1
done
[[ $found -eq 1 ]] || echo "no benchmark programs in $build/native/bench" | tee -a "$results"

# The wizard under wine64 on a private display: each figure beside its floor from the same run. A render's floor
# is a push of a surface of the same size alone (1440 x 1094 at 200 percent); the whole install's floor is the
# engine alone writing the same package natively (pkgtool extract).
ui_bench="$build/win64/bench/ui/ui-bench-demo.exe"
if [[ -f "$ui_bench" ]]; then
  echo "== wizard under wine64" | tee -a "$results"
  figures=$(scripts/wine-run.sh --root "$build/win64/wine" --name ui_bench -- bench/ui/ui_figures.sh "$ui_bench" | tr -d "\r") || status=1
  extract_dir=$(mktemp -d)
  floor_start=$(date +%s%N)
  "$build/native/tools/pkgtool/pkgtool" extract "$ui_bench" "$extract_dir" >/dev/null || status=1
  extract_ms=$(( ($(date +%s%N) - floor_start) / 1000000 ))
  rm -rf "$extract_dir"
  printf '%s\nextract_floor_ms %s\n' "$figures" "$extract_ms" | awk '
    { figure[$1] = $2 }
    function row(name, value, base) {
      printf "%-40s %10.2f ms %10.2f ms %8.2fx\n", name, value, base, (base > 0 ? value / base : 0)
    }
    END {
      printf "%-40s %13s %13s %9s\n", "figure", "value", "floor", "ratio"
      row("start to first push", figure["startup_ms"], figure["startup_floor_ms"])
      row("render after a progress notice", figure["render_ms"], figure["render_floor_ms"])
      row("render after a notice at 200 %", figure["render_ms_200"], figure["render_floor_ms_200"])
      row("whole install (floor: native extract)", figure["install_ms"], figure["extract_floor_ms"])
      printf "views repainted per progress render: %d (of %d renders); at 200 %%: %d (of %d)\n", figure["views_repainted"],
        figure["progress_renders"], figure["views_repainted_200"], figure["progress_renders_200"]
    }' | tee -a "$results"
fi
echo "results: $results"
exit $status
