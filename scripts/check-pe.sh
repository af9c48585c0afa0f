#!/usr/bin/env bash
# Checks what a Windows build made.
#   check-pe.sh BUILD_DIR pei-i386|pei-x86-64
#     every program and module: the right PE flavour for the build, and imports of system DLLs only (a mingw
#     runtime DLL would be missing on a user's Windows); every 32-bit program, the shipped one among them,
#     marked large-address-aware and terminal-server aware;
#   check-pe.sh --xp PROGRAM EXPORTS_LIST
#     the shipped 32-bit program loads on the oldest Windows it supports: its header asks for no newer Windows
#     than XP (5.1), and every function it imports is one that Windows XP SP3 exports by name (EXPORTS_LIST,
#     "dll function" a line). Windows refuses to start a program with an import it cannot resolve.
#   check-pe.sh --known PROGRAM
#     the installer program, which runs elevated from a download folder, imports only DLLs that every Windows
#     it supports takes from its system folder (known DLLs, and the C runtime they load); a DLL the loader would
#     look for beside the program first could be a planted one. GDI+ is the exception that the program's
#     manifest binds to the system's side-by-side assembly for its own processor.
set -uo pipefail

objdump_for() {
  case "$1" in
    pei-i386) echo i686-w64-mingw32-objdump ;;
    pei-x86-64) echo x86_64-w64-mingw32-objdump ;;
    *) echo "check-pe: unknown format $1" >&2; exit 2 ;;
  esac
}

check_xp() {
  local program=$1 list=$2 objdump=i686-w64-mingw32-objdump headers bad=0 checked=0
  headers=$("$objdump" -p "$program") || { echo "FAIL $program: no PE headers"; return 1; }
  if [[ $("$objdump" -f "$program") != *"file format pei-i386"* ]]; then
    echo "FAIL $program: not a 32-bit Windows program"; return 1
  fi
  local field major minor
  for field in OSystemVersion SubsystemVersion; do
    major=$(awk -v name="Major$field" '$1 == name {print $2; exit}' <<<"$headers")
    minor=$(awk -v name="Minor$field" '$1 == name {print $2; exit}' <<<"$headers")
    if [[ -z "$major" || -z "$minor" ]] || (( major > 5 || (major == 5 && minor > 1) )); then
      echo "FAIL $program: $field ${major:-?}.${minor:-?} asks for a newer Windows than XP (5.1)"; bad=$((bad + 1))
    fi
  done
  # "dll function" for every import by name, "dll #ordinal" for one by number.
  local imports known dll name
  imports=$(awk '
      /^\tDLL Name: / { dll = tolower($3); next }
      dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +<none>/ { print dll, "#" $2; next }
      dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]/ { print dll, $3; next }
      /^$/ { dll = "" }' <<<"$headers")
  known=$(awk '/^#/ || NF != 2 { next } { print tolower($1), $2 }' "$list" | sort -u)
  while read -r dll name; do
    [[ -z "$dll" ]] && continue
    checked=$((checked + 1))
    if ! grep -qxF "$dll $name" <<<"$known"; then
      echo "FAIL $program imports $dll $name, not an export of Windows XP SP3 in $(basename "$list")"
      bad=$((bad + 1))
    fi
  done <<<"$imports"
  echo "check-pe: $checked imports of $(basename "$program") checked against Windows XP SP3, $bad faults"
  [[ $bad -eq 0 && $checked -gt 0 ]]
}

# Known DLLs on Windows XP and on every later Windows (or loaded by them from the system folder before any
# program's imports: ntdll, and msvcrt with kernel32's and user32's neighbours).
readonly known_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|msvcrt|ntdll)\.dll$'

check_known() {
  local program=$1 objdump format architecture dll bad=0 checked=0 dependencies
  format=$(x86_64-w64-mingw32-objdump -f "$program" | sed -n 's/.*file format //p')
  case "$format" in
    pei-i386) objdump=i686-w64-mingw32-objdump architecture=x86 ;;
    pei-x86-64) objdump=x86_64-w64-mingw32-objdump architecture=amd64 ;;
    *) echo "FAIL $program: not a Windows program ($format)"; return 1 ;;
  esac
  dependencies=$("$(dirname "$0")/pe-manifest.py" "$program") || { echo "FAIL $program: no readable manifest"; return 1; }
  while read -r dll; do
    checked=$((checked + 1))
    if [[ "${dll,,}" =~ $known_dlls ]]; then continue; fi
    if [[ "${dll,,}" == gdiplus.dll ]] &&
       grep -qx "dependency Microsoft.Windows.GdiPlus 1.0.0.0 $architecture 6595b64144ccf1df" <<<"$dependencies"; then
      continue
    fi
    echo "FAIL $program imports $dll, which Windows may load from the program's folder"; bad=$((bad + 1))
  done < <("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p')
  echo "check-pe: $checked imported DLLs of $(basename "$program") ($architecture) checked against the known DLLs, $bad faults"
  [[ $bad -eq 0 && $checked -gt 0 ]]
}

if [[ "${1:-}" == --known ]]; then
  check_known "$2"
  exit
fi

if [[ "${1:-}" == --xp ]]; then
  check_xp "$2" "$3"
  exit
fi

# A 32-bit program marked large-address-aware gets the whole 4 GB on 64-bit Windows, 2 GB otherwise; one marked
# terminal-server aware runs on a terminal server without the compatibility layer. One line a missing mark.
missing_program_marks() {  # the program's headers as objdump -p prints them
  local characteristics dll_characteristics
  characteristics=$(awk '$1 == "Characteristics" {print $2; exit}' <<<"$1")
  dll_characteristics=$(awk '$1 == "DllCharacteristics" {print $2; exit}' <<<"$1")
  (( ${characteristics:-0} & 0x20 )) || echo "not large-address-aware"
  (( 0x${dll_characteristics:-0} & 0x8000 )) || echo "not terminal-server aware"
}

dir=$1 want=$2
objdump=$(objdump_for "$want")
system_dlls='^(kernel32|user32|gdi32|gdiplus|advapi32|shell32|shlwapi|ole32|oleaut32|msimg32|version|psapi|comctl32|comdlg32|imm32|msvcrt|ws2_32|crypt32|bcrypt|ntdll|userenv|uxtheme|api-ms-win-[a-z0-9-]+)\.dll$'
checked=0 bad=0
while IFS= read -r -d '' module; do
  checked=$((checked + 1))
  format=$($objdump -f "$module" | sed -n 's/.*file format //p')
  if [[ "$format" != "$want" ]]; then
    echo "FAIL $module: $format, expected $want"; bad=$((bad + 1)); continue
  fi
  headers=$($objdump -p "$module")
  while read -r dll; do
    if ! [[ "${dll,,}" =~ $system_dlls ]]; then
      echo "FAIL $module imports $dll"; bad=$((bad + 1))
    fi
  done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
  if [[ "$want" == pei-i386 && "${module,,}" == *.exe ]]; then
    while read -r mark; do
      echo "FAIL $module: $mark"; bad=$((bad + 1))
    done < <(missing_program_marks "$headers")
  fi
# The demo payload holds copies of modules checked where they were built, 64-bit ones among them by design.
done < <(find "$dir" \( -name CMakeFiles -o -name googletest -o -name wine -o -name payload \) -prune -o \
           -type f \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.ime' \) -print0)
echo "check-pe: $checked modules checked, $bad faults"
[[ $bad -eq 0 ]]
