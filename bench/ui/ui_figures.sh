#!/bin/bash
# Runs inside scripts/wine-run.sh: the wizard's figures, each the median of five runs, the startups in
# alternation with their floor and the installs in turn at every scale, so that Wine's own warming-up and the
# machine's other work weigh on all of them alike. Prints "name value" lines.
# usage: ui_figures.sh UI_BENCH_WITH_PACKAGE.exe
set -euo pipefail
readonly bench=$1
for _ in 1 2 3 4 5; do
  "$ZELN_WINE64" "$bench" startup-floor
  "$ZELN_WINE64" "$bench" startup
  for percent in 100 125 150 200; do
    "$ZELN_WINE64" "$bench" install "$percent"
    "$ZELN_WINE64" "$bench" render-floor "$percent"
  done
done | sort -k1,1 -k2,2n | awk '
  { values[$1] = values[$1] " " $2 }
  END { for (name in values) { n = split(substr(values[name], 2), v, " "); print name, v[int((n + 1) / 2)] } }'
