#!/usr/bin/env bash
# `make run`: the shipped 32-bit demo installer in a fresh 64-bit prefix, where it runs under WoW64 as on
# 64-bit Windows; the win64 build instead where this machine cannot run 32-bit Windows programs (it says so).
#   With a display ($DISPLAY set): shown there for a person to click through.
#   Without one: on a private Xvfb, driven like a person would (welcome, install, success, finish). The
#   three pages' screenshots go to BUILD/run/; then what the install put in place (files and registry keys)
#   and the installer's exit code. The status is nonzero when the install did not succeed.
# usage: scripts/run.sh [BUILD]      (internally: scripts/run.sh --drive OUT INSTALLER, inside the prefix)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Files of the prefix's drive C and keys of its registry, one per line, sorted.
list_files() { (cd "$WINEPREFIX/drive_c" && find . -type f | sed 's|^\./||' | sort); }
list_keys() {
  local file root
  for file in system.reg user.reg; do
    root=HKEY_LOCAL_MACHINE; [[ $file == user.reg ]] && root=HKEY_CURRENT_USER
    sed -n 's/^\[\(.*\)\] [0-9]*$/\1/p' "$WINEPREFIX/$file" | sed 's/\\\\/\\/g' | sed "s|^|$root\\\\|"
  done | sort
}

# The values of one key, "name"=data as the registry file writes them.
key_values() {
  local file=system.reg path=${1#HKEY_LOCAL_MACHINE\\}
  if [[ $1 == HKEY_CURRENT_USER\\* ]]; then file=user.reg path=${1#HKEY_CURRENT_USER\\}; fi
  header="[${path//\\/\\\\}]" awk '
    /^\[/ { inside = (index($0, ENVIRON["header"] " ") == 1); next }
    inside && /^"|^@/ { print }' "$WINEPREFIX/$file"
}

drive() {
  local out=$1 installer=$2
  # shellcheck source=scripts/wizard-driver.sh
  source "$here/wizard-driver.sh"
  list_files >"$out/files-before.txt"
  list_keys >"$out/keys-before.txt"

  wizard_start "$installer"
  wizard_shot "$out/welcome.png"
  wizard_press INSTALL_BUTTON
  # The installing page as late as it is still shown, so that the bar has moved; then the outcome.
  local shot="$out/latest.png" outcome="" deadline=$((SECONDS + 300))
  while [[ -z $outcome ]] && (( SECONDS < deadline )); do
    wizard_shot "$shot" || break
    if wizard_shot_is_page "$shot" installing; then
      cp "$shot" "$out/installing.png"
    elif wizard_shot_is_page "$shot" success; then
      outcome=success
    elif wizard_shot_is_page "$shot" failure; then
      outcome=failure
    fi
  done
  [[ -n $outcome ]] || { echo "run: no outcome page within 300 s" >&2; outcome=none; }
  mv "$shot" "$out/$outcome.png"
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30

  # The registry reaches its files when the server has ended, some seconds after the last program.
  "${ZELN_WINESERVER:-/usr/lib/wine/wineserver}" -w
  echo "Screenshots:"
  local page
  for page in welcome installing success failure none; do
    [[ -f "$out/$page.png" ]] && echo "  $out/$page.png"
  done
  echo "Installed files (under $WINEPREFIX/drive_c):"
  comm -13 "$out/files-before.txt" <(list_files) | grep -v -e '^windows/Installer/' -e '^users/[^/]*/Temp/' |
    sed 's/^/  /'
  echo "Registry keys added (as the prefix's registry files hold them):"
  comm -13 "$out/keys-before.txt" <(list_keys) | while IFS= read -r key; do
    echo "  $key"
    key_values "$key" | sed 's/^/      /'
  done
  echo "Exit code: $WIZARD_STATUS"
  echo "Outcome: $outcome"
  [[ $outcome == success && $WIZARD_STATUS -eq 0 ]]
}

if [[ ${1:-} == --drive ]]; then
  drive "$2" "$3"
  exit
fi

# Wine's 32-bit loader is an i386 program itself: it runs when wine32 is installed and the kernel, natively or
# through an emulator, executes i386 code.
wow64_works() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

build=$(cd "${1:-build}" && pwd)
tree=win32
if wow64_works; then
  echo "run: the shipped 32-bit installer, under WoW64 in a 64-bit prefix"
else
  tree=win64
  echo "run: this machine runs no 32-bit Windows programs (scripts/bootstrap.sh sets that up); the win64 build instead"
fi
installer=$build/$tree/demo/ZelnIME-Demo-Setup.exe
echo "run: $installer"
[[ -f "$installer" ]] || { echo "run: no demo installer at $installer" >&2; exit 1; }
out=$build/run
mkdir -p "$out"
rm -f "$out"/{welcome,installing,success,failure,none}.png

if [[ -n ${DISPLAY:-} ]]; then
  echo "run: the demo installer on $DISPLAY; close it to end."
  status=0
  "$here/wine-run.sh" --root "$build/$tree/wine" --name run --use-display -- "$installer" || status=$?
  echo "Exit code: $status"
  exit $status
fi
ZELN_WIZARD_LAYOUT=$build/native/app/wizard-layout.sh \
  "$here/wine-run.sh" --root "$build/$tree/wine" --name run -- "$here/run.sh" --drive "$out" "$installer"
