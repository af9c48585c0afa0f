#!/usr/bin/env bash
# `make run`: shows what the three builds made. The wizard's own driver joins here once the program exists.
set -euo pipefail
build=${1:-build}
echo "Built:"
for tree in native win32 win64; do
  [[ -d "$build/$tree" ]] || continue
  find "$build/$tree" \( -name CMakeFiles -o -name googletest -o -name wine -o -name '_deps' \) -prune -o -type f \
       \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.ime' -o \( -perm -u+x ! -name '*.*' \) \) -print \
    | sort | while read -r file; do
        printf '  %-6s %-70s %s\n' "$tree" "$file" "$(file -b "$file" | cut -d, -f1)"
      done
done
