#!/bin/bash
# Runs inside scripts/wine-run.sh: the wizard's figures, each startup measured five times in alternation
# with its floor so that Wine's own warming-up weighs on both alike. Prints "name value" lines.
# usage: ui_figures.sh UI_BENCH_WITH_PACKAGE.exe
set -euo pipefail
readonly bench=$1
for _ in 1 2 3 4 5; do
  "$ZELN_WINE64" "$bench" startup-floor
  "$ZELN_WINE64" "$bench" startup
done | sort -k1,1 -k2,2n | awk '
  { values[$1] = values[$1] " " $2; count[$1]++ }
  END { for (name in values) { n = split(substr(values[name], 2), v, " "); print name, v[int((n + 1) / 2)] } }'
"$ZELN_WINE64" "$bench" install
"$ZELN_WINE64" "$bench" install-200
