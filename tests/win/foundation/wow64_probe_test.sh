#!/usr/bin/env bash
# The bootstrap's probe of 32-bit Windows programs under WoW64 (scripts/wow64-probe.cpp), run in a 64-bit prefix
# as the bootstrap runs it: on this machine's setup each finding holds and it closes with "sound"; asked for more
# address space than any 32-bit process has, it names the shortfall, still reports the threads, and fails.
# usage (inside scripts/wine-run.sh): wow64_probe_test.sh PROBE
set -uo pipefail
readonly probe=$1
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failures=$((failures + 1)); fi
}
has_line() { grep -qxE "$2" <<<"$1"; }
not() { ! "$@"; }

findings=$("$ZELN_WINE64" "$probe" 2>/dev/null)
status=$?
echo "$findings"
check "the probe passes here with status 0" test "$status" -eq 0
check "it found at least the 1024 MB it asks for by default" \
  has_line "$findings" '[0-9]+ MB of address space, at least 1024 MB needed'
check "the main thread kept its block" has_line "$findings" 'the main thread stayed on its own .* once a second thread ran'
check "the second thread kept its block" has_line "$findings" 'the second thread stayed on its own block across the same'
check "its last word is sound" test "$(tail -n 1 <<<"$findings")" = sound

findings=$("$ZELN_WINE64" "$probe" 4097 2>/dev/null)
status=$?
echo "$findings"
check "4097 MB, more than 32 bits address, fails it with status 1" test "$status" -eq 1
check "naming the shortfall" has_line "$findings" 'FAILED: only [0-9]+ MB of address space, at least 4097 MB needed'
check "the threads are checked all the same" has_line "$findings" 'the second thread stayed on its own block across the same'
check "and it never says sound" not has_line "$findings" sound
(( failures == 0 ))
