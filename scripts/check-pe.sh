#!/usr/bin/env bash
# Checks every program and module a Windows build made: the right PE flavour for the build, and imports
# of system DLLs only (a mingw runtime DLL would be missing on a user's Windows).
# usage: check-pe.sh BUILD_DIR pei-i386|pei-x86-64
set -uo pipefail
dir=$1 want=$2
case "$want" in
  pei-i386) objdump=i686-w64-mingw32-objdump ;;
  pei-x86-64) objdump=x86_64-w64-mingw32-objdump ;;
  *) echo "check-pe: unknown format $want" >&2; exit 2 ;;
esac
system_dlls='^(kernel32|user32|gdi32|gdiplus|advapi32|shell32|shlwapi|ole32|oleaut32|msimg32|version|psapi|comctl32|comdlg32|imm32|msvcrt|ws2_32|crypt32|bcrypt|ntdll|userenv|uxtheme|api-ms-win-[a-z0-9-]+)\.dll$'
checked=0 bad=0
while IFS= read -r -d '' module; do
  checked=$((checked + 1))
  format=$($objdump -f "$module" | sed -n 's/.*file format //p')
  if [[ "$format" != "$want" ]]; then
    echo "FAIL $module: $format, expected $want"; bad=$((bad + 1)); continue
  fi
  while read -r dll; do
    if ! [[ "${dll,,}" =~ $system_dlls ]]; then
      echo "FAIL $module imports $dll"; bad=$((bad + 1))
    fi
  done < <($objdump -p "$module" | sed -n 's/^\s*DLL Name: //p')
# The demo payload holds copies of modules checked where they were built, 64-bit ones among them by design.
done < <(find "$dir" \( -name CMakeFiles -o -name googletest -o -name wine -o -name payload \) -prune -o \
           -type f \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.ime' \) -print0)
echo "check-pe: $checked modules checked, $bad faults"
[[ $bad -eq 0 ]]
