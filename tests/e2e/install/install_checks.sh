# What a whole install leaves on a machine, read back from a Wine prefix: the checks that the install
# scenarios share. Sourced inside scripts/wine-run.sh; it sets wine (the loader), wineserver, prefix, roaming
# (the user's roaming application-data folder), work (a scratch folder, gone when the script ends) and
# failures (a count that check raises).

readonly wine=$ZELN_WINE64 prefix=$ZELN_WINEPREFIX wineserver=${ZELN_WINESERVER:-/usr/lib/wine/wineserver}
readonly roaming="$prefix/drive_c/users/${USER:-root}/AppData/Roaming"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

check() {  # check DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@" >"$work/check.out" 2>&1; then
    echo "ok    $description"
  else
    echo "FAIL  $description"
    sed 's/^/        /' "$work/check.out" | head -20
    failures=$((failures + 1))
  fi
}

# reg_query KEY [ARGS...]: what the system's reg program prints for the key. reg always prints at least the
# key's name, or says that the key or value is missing. Printing neither means Wine did not get reg to run
# (seen once on a loaded machine: a layout check read no layouts a moment after reading them all), so the
# key is read again, after the prefix's server has ended, at most twice more.
reg_query() {
  local attempt
  for attempt in 1 2 3; do
    "$wine" reg query "$@" 2>"$work/reg.err" | tr -d '\r' >"$work/reg.out"
    if [[ -s "$work/reg.out" ]] || grep -q 'Unable to find' "$work/reg.err"; then
      cat "$work/reg.out"
      return
    fi
    echo "reg query $1: no answer at attempt $attempt: $(head -c 300 "$work/reg.err")" >&2
    "$wineserver" -w
  done
}
value_of() {  # value_of KEY NAME: the data of one value, as reg prints it
  reg_query "$1" /v "$2" | python3 -c 'import re, sys
for line in sys.stdin:
    m = re.match(r"    (.+?)    REG_\w+    (.*)$", line)
    if m and m.group(1).lower() == sys.argv[1].lower(): print(m.group(2))' "$2"
}
winepath_of() { echo "Z:${1//\//\\}"; }
# The layouts that the product key records under a name, each of which must be a layout of the IME module.
recorded_layouts() { reg_query 'HKCU\Software\Zelnsoft\RudeRadod' | awk '$1 ~ /^KL/ && $2 == "REG_SZ" { print $1 "=" $3 }' | sort; }
layout_names_ime() { [[ $(value_of "HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layouts\\$1" 'IME File') == ZelnIme.ime ]]; }
records_layouts() {  # records_layouts NAME...: exactly these names recorded, each naming the IME module
  local names
  names=$(recorded_layouts | cut -d= -f1 | paste -sd' ')
  [[ "$names" == "$*" ]] || { echo "recorded: $(recorded_layouts | paste -sd' ')"; return 1; }
  local record
  for record in $(recorded_layouts); do layout_names_ime "${record#*=}" || { echo "$record names no IME"; return 1; }; done
}
layout_count() { reg_query 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layouts' /s | grep -ci 'ZelnIme\.ime'; }
uninstall_entry_names_version() { [[ $(value_of 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}' DisplayVersion) == 7.27.1.0 ]]; }
fonts_registered() { [[ $(reg_query 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts' | grep -c '^ *Zeln.* (OpenType)') -eq 28 ]]; }
log_deleted() { [[ ! -e "$roaming/ins.log" ]]; }
log_kept() { [[ -s "$roaming/ins.log" ]]; }
text_service_registered() { [[ $(value_of 'HKCU\Software\Zelnsoft\DemoTextService' Registered) == 0x1 ]]; }
regsvr32_ran_as_windows_would() {
  local expected='parameters:/s- C:\windows\system32\ZelnImeTSF.ime'
  iconv -f UTF-16LE -t UTF-8 "$work/regsvr32.record" | tr -d '\r' | grep -qxF "$expected" ||
    { echo "regsvr32 was run with:"; iconv -f UTF-16LE -t UTF-8 "$work/regsvr32.record"; false; }
}
