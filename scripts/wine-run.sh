#!/usr/bin/env bash
# Runs one Windows program under wine64, the way every Windows test here runs:
#   - in a prefix of its own, copied from a base prefix that is made once (wineboot) and reused,
#     rebuilt when it is missing or broken;
#   - with WINEDEBUG=-all, on a private Xvfb display that this script starts and stops itself;
#   - with a stand-in browser that records the web addresses the program has the shell open (scripts/browser);
#   - exiting with the program's own status.
# A failure of the harness or of Wine itself exits 125 with a line that starts "wine-harness:",
# so it is never mistaken for a failing test.
#
# usage: wine-run.sh --root DIR [--name NAME] [--screen WxH] [--use-display] [--] PROGRAM [ARGS...]
#        wine-run.sh --root DIR --cleanup
#   --root DIR     where the base prefix, the per-run prefixes and the harness's records live
#   --name NAME    the run's prefix is DIR/prefixes/NAME (default: the program's base name)
#   --screen WxH   the private display's size (default 1280x1024; a window at 200 percent needs more)
#   --use-display  shows the program on the present $DISPLAY instead of a private Xvfb (for a person)
#   --cleanup      ends every wineserver and Xvfb that an earlier run under DIR left behind
# PROGRAM is a Windows program, or a script that runs several of them in the one prefix ($ZELN_WINE64 PROG).
# The run's prefix path and display are exported to the program as ZELN_WINEPREFIX and DISPLAY.
set -uo pipefail

readonly HARNESS_FAILURE=125
readonly WINE64=${ZELN_WINE64:-/usr/lib/wine/wine64}
readonly WINESERVER=${ZELN_WINESERVER:-/usr/lib/wine/wineserver}

fail() { echo "wine-harness: $*" >&2; exit $HARNESS_FAILURE; }

root="" name="" screen=1280x1024 cleanup=0 use_display=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --root) [[ $# -ge 2 ]] || fail "--root needs a folder"; root=$2; shift 2 ;;
    --name) [[ $# -ge 2 && -n "$2" ]] || fail "--name needs a name"; name=$2; shift 2 ;;
    --screen) [[ $# -ge 2 && "$2" =~ ^[0-9]+x[0-9]+$ ]] || fail "--screen needs a size WxH"; screen=$2; shift 2 ;;
    --cleanup) cleanup=1; shift ;;
    --use-display) use_display=1; shift ;;
    --) shift; break ;;
    -*) fail "unknown option $1" ;;
    *) break ;;
  esac
done
[[ -n "$root" ]] || fail "no --root given"
[[ "$name" != */* && "$name" != .* ]] || fail "--name must be a plain name: $name"

mkdir -p "$root/runs" || fail "cannot create $root"
root=$(cd "$root" && pwd)
base="$root/base"

# Each run leaves a record "runs/<harness pid>" naming its Xvfb and prefix until it ends.
# A run killed outright cannot clean up; the next cleanup ends what such records name.
end_leftovers() {
  local record pid xvfb prefix
  for record in "$root"/runs/*; do
    [[ -f "$record" ]] || continue
    pid=${record##*/}
    kill -0 "$pid" 2>/dev/null && continue
    xvfb=$(sed -n 's/^xvfb=//p' "$record")
    prefix=$(sed -n 's/^prefix=//p' "$record")
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    [[ -n "$prefix" && -d "$prefix" ]] && WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null
    rm -f "$record"
  done
  if [[ -d "$base" ]]; then WINEPREFIX="$base" "$WINESERVER" -k 2>/dev/null; fi
  return 0
}

if [[ $cleanup -eq 1 ]]; then
  end_leftovers
  exit 0
fi

[[ $# -ge 1 ]] || fail "no program given"
program=$1; shift
[[ -f "$program" ]] || fail "no such program: $program"
[[ -x "$WINE64" ]] || fail "wine64 is not installed ($WINE64); run scripts/bootstrap.sh"
[[ $use_display -eq 0 || -n "${DISPLAY:-}" ]] || fail "--use-display without a DISPLAY"
command -v Xvfb >/dev/null || fail "Xvfb is not installed; run scripts/bootstrap.sh"
[[ -n "$name" ]] || name=$(basename "$program" .exe)

source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

base_is_sound() {
  [[ -f "$base/.zeln-ready" && -f "$base/system.reg" && -d "$base/drive_c/windows/system32" ]]
}

# The product draws with "Arial", "Microsoft Sans Serif" and "宋体"; Debian's Wine has none of them,
# so the prefix maps each to a font that fontconfig finds on this machine.
map_fonts() {
  local face
  for face in "Arial" "Microsoft Sans Serif" "宋体" "Tahoma"; do
    WINEPREFIX="$1" "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "DejaVu Sans" /f \
      >/dev/null 2>&1 || return 1
  done
}

make_base() {
  local staging="$base.new.$$" status
  rm -rf "$staging"
  WINEPREFIX="$staging" "$WINE64" wineboot --init >"$root/wineboot.log" 2>&1
  WINEPREFIX="$staging" "$WINESERVER" -w
  map_fonts "$staging" || { rm -rf "$staging"; fail "cannot write the font mapping into a new prefix (see $root/wineboot.log)"; }
  WINEPREFIX="$staging" "$WINE64" cmd /c "exit 7" >/dev/null 2>&1
  status=$?
  WINEPREFIX="$staging" "$WINESERVER" -w
  if [[ $status -ne 7 ]]; then
    rm -rf "$staging"
    fail "wine64 cannot run programs in a new prefix (status $status; see $root/wineboot.log)"
  fi
  touch "$staging/.zeln-ready"
  rm -rf "$base" && mv "$staging" "$base"
}

{
  flock 9 || fail "cannot lock $root/base.lock"
  base_is_sound || make_base
} 9>"$root/base.lock"

# The run's prefix: a copy of the base. The system folders, large and only read or added to by the
# tests, are hard links; the registry files and the rest are real copies, so nothing leaks back into the base.
prefix="$root/prefixes/$name"
if [[ -d "$prefix" ]]; then WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null; fi
rm -rf "$prefix" && mkdir -p "$prefix" || fail "cannot make $prefix"
tar -C "$base" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/syswow64 -cf - . \
  | tar -C "$prefix" -xf - || fail "cannot copy the base prefix to $prefix"
for dir in system32 syswow64; do
  [[ -d "$base/drive_c/windows/$dir" ]] && { cp -al "$base/drive_c/windows/$dir" "$prefix/drive_c/windows/$dir" || fail "cannot link $dir into $prefix"; }
done
export WINEPREFIX="$prefix" ZELN_WINEPREFIX="$prefix"

record="$root/runs/$$"
xvfb_pid=""
finish() {
  WINEPREFIX="$prefix" "$WINESERVER" -k 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  rm -f "$record" "$root/runs/$$.display"
}
trap finish EXIT
trap 'exit 143' TERM INT

if [[ $use_display -eq 1 ]]; then
  printf 'prefix=%s\n' "$prefix" >"$record"
else
  # A private display: Xvfb picks a free number itself and writes it once it accepts connections.
  displayfile="$root/runs/$$.display"
  : >"$displayfile"
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  printf 'xvfb=%s\nprefix=%s\n' "$xvfb_pid" "$prefix" >"$record"
  for _ in $(seq 100); do
    [[ -s "$displayfile" ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
    sleep 0.1
  done
  display=$(tr -dc '0-9' <"$displayfile")
  [[ -n "$display" ]] || fail "Xvfb gave no display number within 10 s"
  export DISPLAY=":$display"
fi

# A web address that the program has the system's shell open reaches a stand-in browser, which records it in
# C:\browser-addresses.txt of the run's prefix.
export PATH="$(cd "$(dirname "$0")" && pwd)/browser:$PATH"

# A Windows program runs under wine64; a script (an end-to-end scenario of several programs in one prefix)
# runs as it is, with the prefix, the display and ZELN_WINE64 in its environment.
export ZELN_WINE64="$WINE64"
case "${program,,}" in
  *.exe) "$WINE64" "$program" "$@" ;;
  *) "$program" "$@" ;;
esac
status=$?
exit $status
