#!/usr/bin/env bash
# Checks the shipped program file: a 32-bit GUI program whose resources are the fifteen pictures (type "PNG",
# 129-132, 134-138, 140-145), the icon group 139 with its 48, 32 and 16 pixel images, and the manifest 1
# asking for administrator rights without UI access.
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
check "the fifteen PNG pictures" '[[ "$(ids_of_type PNG)" == "129 130 131 132 134 135 136 137 138 140 141 142 143 144 145 " ]]'
check "the icon group 139" '[[ "$(ids_of_type 0x00000e)" == "139 " ]]'
check "three icon images" '[[ $(wc -w <<<"$(ids_of_type 0x000003)") -eq 3 ]]'
check "the manifest 1" '[[ "$(ids_of_type 0x000018)" == "1 " ]]'
check "administrator rights, no UI access" \
  'grep -aq "requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"" "$program"'
(( failures == 0 ))
