#!/usr/bin/env bash
# The harness must tell its own failures (status 125, a "wine-harness:" line) from a failing test,
# and must end what a killed run left behind. None of these cases needs Wine to start a program.
set -u
harness=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

expect() {  # expect STATUS TEXT -- harness args...
  local want_status=$1 want_text=$2; shift 3
  local out status
  out=$("$harness" "$@" 2>&1); status=$?
  if [[ $status -eq $want_status && "$out" == *"$want_text"* ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); echo "FAIL: $* -> status $status, output: $out (wanted $want_status, '$want_text')"
  fi
}

expect 125 "wine-harness: no --root given" -- /bin/true
expect 125 "wine-harness: unknown option --bogus" -- --root "$work" --bogus x.exe
expect 125 "wine-harness: no program given" -- --root "$work"
expect 125 "wine-harness: no such program: $work/missing.exe" -- --root "$work" "$work/missing.exe"
expect 125 "wine-harness: --name must be a plain name" -- --root "$work" --name ../escape /bin/true
expect 125 "wine-harness: --root needs a folder" -- --root

# A run killed outright leaves its record; cleanup ends the Xvfb it names and drops the record.
sleep 300 & orphan=$!
dead_pid=999999
printf 'xvfb=%s\nprefix=\n' "$orphan" >"$work/runs/$dead_pid" 2>/dev/null || { mkdir -p "$work/runs"; printf 'xvfb=%s\nprefix=\n' "$orphan" >"$work/runs/$dead_pid"; }
# A record of a run that is still going is left alone.
printf 'xvfb=\nprefix=\n' >"$work/runs/$$"
expect 0 "" -- --root "$work" --cleanup
sleep 0.2
if kill -0 "$orphan" 2>/dev/null; then failed=$((failed + 1)); echo "FAIL: cleanup left the orphan running"; kill "$orphan"; else passed=$((passed + 1)); fi
if [[ -e "$work/runs/$dead_pid" || ! -e "$work/runs/$$" ]]; then failed=$((failed + 1)); echo "FAIL: cleanup kept the dead run's record or dropped a live one"; else passed=$((passed + 1)); fi

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
