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

# The wizard under wine64 on a private display large enough for it at 200 percent: each figure beside its floor
# from the same run. A render's floor is a push of a bare surface of the wizard's size at that scale, made while
# the same install runs, as the renders come while the worker extracts; an install's is the install at 100
# percent (and, for information, the engine alone writing the same package natively with pkgtool extract).
# Goals: a render after a progress notice at most 1.5 times its floor, and a whole install at any scale at most
# 1.2 times the one at 100 percent.
ui_bench="$build/win64/bench/ui/ui-bench-demo.exe"
if [[ -f "$ui_bench" ]]; then
  echo "== wizard under wine64" | tee -a "$results"
  figures=$(scripts/wine-run.sh --root "$build/win64/wine" --name ui_bench --screen 1920x1200 \
    -- bench/ui/ui_figures.sh "$ui_bench" | tr -d "\r") || status=1
  extract_dir=$(mktemp -d)
  floor_start=$(date +%s%N)
  "$build/native/tools/pkgtool/pkgtool" extract "$ui_bench" "$extract_dir" >/dev/null || status=1
  extract_ms=$(( ($(date +%s%N) - floor_start) / 1000000 ))
  rm -rf "$extract_dir"
  printf '%s\nextract_floor_ms %s\n' "$figures" "$extract_ms" | awk '
    { figure[$1] = $2 }
    function row(name, value, base, goal) {
      ratio = base > 0 ? value / base : 0
      printf "%-44s %10.2f ms %10.2f ms %8.2fx", name, value, base, ratio
      if (goal == 0) { printf "   (information)\n"; return }
      met = value > 0 && ratio <= goal
      if (!met) missed++
      printf "   <= %.2f %s\n", goal, met ? "met" : "MISSED"
    }
    END {
      printf "%-44s %13s %13s %9s   %s\n", "figure", "value", "floor", "ratio", "goal"
      row("start to first push", figure["startup_ms"], figure["startup_floor_ms"], 0)
      split("100 125 150 200", scales, " ")
      for (i = 1; i <= 4; i++) {
        s = scales[i]
        row("render after a progress notice, " s " %", figure["render_ms_" s], figure["render_floor_ms_" s], 1.5)
      }
      row("whole install, 100 % (floor: native extract)", figure["install_ms_100"], figure["extract_floor_ms"], 0)
      for (i = 2; i <= 4; i++) {
        s = scales[i]
        row("whole install, " s " % (floor: at 100 %)", figure["install_ms_" s], figure["install_ms_100"], 1.2)
      }
      for (i = 1; i <= 4; i++) {
        s = scales[i]
        printf "at %d %%: %d progress renders, each repainting %d view(s) in %.2f ms of its render; pictures filtered: %d for the welcome page, %d during the install\n",
          s, figure["progress_renders_" s], figure["views_repainted_" s], figure["render_paint_ms_" s],
          figure["pictures_filtered_welcome_" s], figure["pictures_filtered_install_" s]
      }
      exit missed > 0
    }' | tee -a "$results"
  [[ ${PIPESTATUS[1]} -eq 0 ]] || status=1
fi
echo "results: $results"
exit $status
