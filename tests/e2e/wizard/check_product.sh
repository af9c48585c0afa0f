#!/usr/bin/env bash
# Checks the shipped program file: a 32-bit GUI program whose resources are the sixteen pictures (type "PNG",
# 129-132, 134-138, 140-146) and their double-size forms under the same numbers (type "PNG2X"), the icon group
# 139 with its nine images from 256 down to 16 pixels, and the manifest 1 asking for administrator rights
# without UI access and declaring awareness of each display's DPI, with no list of supported systems (which
# would change the version that GetVersionExW reports).
# usage: check_product.sh PROGRAM OBJDUMP
set -uo pipefail
program=$1 objdump=$2
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1" >&2; failures=$((failures + 1)); fi
}

headers=$("$objdump" -p "$program")
# The resource tree as objdump prints it: type entries at one depth, their ids one level deeper.
tree=$(sed -n '/The .rsrc Resource Directory section/,/^$/p' <<<"$headers")
ids_of_type() {
  local hex
  for hex in $(awk -v type="$1" '
      /^[0-9a-f]+   Entry: / { inside = ($0 ~ ("name: .*: " type ",") || $0 ~ ("ID: " type ",")) }
      inside && /^[0-9a-f]+     Entry: ID: / { sub(/.*ID: 0x/, ""); sub(/,.*/, ""); print }' <<<"$tree"); do
    printf '%d ' "0x$hex"
  done
}

check "a PE32 program" '[[ $("$objdump" -f "$program") == *"file format pei-i386"* ]]'
check "a GUI program" 'grep -q "Subsystem.*(Windows GUI)" <<<"$headers"'
readonly pictures="129 130 131 132 134 135 136 137 138 140 141 142 143 144 145 146 "
check "the sixteen PNG pictures" '[[ "$(ids_of_type PNG)" == "$pictures" ]]'
check "and their sixteen double-size forms" '[[ "$(ids_of_type PNG2X)" == "$pictures" ]]'
check "the icon group 139" '[[ "$(ids_of_type 0x00000e)" == "139 " ]]'
check "nine icon images" '[[ $(wc -w <<<"$(ids_of_type 0x000003)") -eq 9 ]]'
check "the manifest 1" '[[ "$(ids_of_type 0x000018)" == "1 " ]]'
check "administrator rights, no UI access" \
  'grep -aq "requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"" "$program"'
check "aware of each display's DPI" \
  'grep -aq ">true/pm</dpiAware>" "$program" && grep -aq ">PerMonitorV2, PerMonitor</dpiAwareness>" "$program"'
check "no list of supported systems" '! grep -aq "supportedOS" "$program"'
(( failures == 0 ))
