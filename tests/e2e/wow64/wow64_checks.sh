# What the WoW64 scenarios share: the prefix's stores read back, keyboard layouts loaded by a probe of either
# kind, and programs of either kind holding modules and files as programs in use hold them, until a restart.
# Sourced after install_checks.sh by a script that has set probe32, probe64 and manifest.

readonly windows="$prefix/drive_c/windows"
# Wine writes its registry hives when the prefix's server ends: wait for that, then read the files.
flush_registry() { "$wineserver" -w; }
# stored_in_hive FILE PATH: the key is in a hive file (system.reg for the machine, user.reg for the user) as
# written, under exactly this path.
stored_in_hive() { grep -qiF "[${2//\\/\\\\}]" "$prefix/$1"; }
stored_in_machine_hive() { stored_in_hive system.reg "$1"; }
not_stored_in_hive() { ! stored_in_hive "$1" "$2" || { echo "still stored: $2"; false; }; }
not_stored_in_machine_hive() { not_stored_in_hive system.reg "$1"; }
# hive_keys FILE PATH...: every key at or below each path in a hive file, with its values, in the order of
# their names: what the registry holds there, whatever order it was written in. Time stamps are left out.
hive_keys() {
  python3 - "$prefix/$1" "${@:2}" <<'EOF_HIVE'
import sys
hive, wanted = sys.argv[1], [path.lower().replace("\\", "\\\\") for path in sys.argv[2:]]
keys, current = {}, None
for line in open(hive, encoding="utf-8", errors="replace"):
    line = line.rstrip("\n")
    if line.startswith("["):
        name = line[1:line.rindex("]")]
        folded = name.lower()
        current = name if any(folded == w or folded.startswith(w + "\\\\") for w in wanted) else None
        if current is not None:
            keys[current] = []
    elif current is not None and line and not line.startswith("#time="):
        keys[current].append(line)
for name in sorted(keys, key=str.lower):
    print("[" + name + "]")
    print("\n".join(sorted(keys[name])))
EOF_HIVE
}
no_sysnative_folder() { [[ -z $(find "$windows" -maxdepth 1 -iname sysnative) ]]; }
absent() { local path; for path in "$@"; do [[ ! -e "$path" ]] || { echo "still there: $path"; return 1; }; done; }
# probe_layout PROBE NAME MACHINE: the recorded layout NAME loads, and the input-method manager loads the
# module of the process's own kind for it from the system folder. The keyboard driver of a display would
# answer with the display's layout instead, so the probe runs without one.
probe_layout() {
  local id
  id=$(recorded_layouts | sed -n "s/^$2=//p")
  [[ -n $id ]] || { echo "no layout is recorded as $2"; return 1; }
  "$wineserver" -w
  env -u DISPLAY "$wine" "$1" layout "$id" 2>/dev/null | tr -d '\r' >"$work/probe.out"
  "$wineserver" -w
  cat "$work/probe.out"
  grep -qx "hkl=${id}" "$work/probe.out" &&
    grep -qix "ime-file=ZelnIme.ime" "$work/probe.out" &&
    grep -qx "property=0x00080000" "$work/probe.out" &&
    grep -qix 'module=C:\\windows\\system32\\ZelnIme.ime' "$work/probe.out" &&
    grep -qx "module-machine=$3" "$work/probe.out" &&
    grep -qx "process-machine=$3" "$work/probe.out"
}
# new_module_loaded PROBE: a program of its kind started now loads the packaged IME module. Unlike the layout
# probe it does not wait for the prefix's server to end, so it also answers while programs hold files.
new_module_loaded() {
  [[ $("$wine" "$1" module "$system_path\ZelnIme.ime" 2>/dev/null | tr -d '\r') == module-version=7.27.1.0 ]]
}
# Beside each probe are a module holder of its kind and an earlier edition's modules (7.26.0.0).
readonly holder32=${probe32%/*}/module_holder.exe holder64=${probe64%/*}/module_holder.exe
readonly earlier32=${probe32%/*}/earlier earlier64=${probe64%/*}/earlier
readonly packaged=${manifest%/*}/files
readonly modules='ZelnIme.ime ZelnImeTSF.ime' system_path='C:\windows\system32'
holders=()
# hold NAME HOLDER (load|map|open) PATH...: starts a program that holds what it is given until the restart, and
# waits until it says it holds all of it.
hold() {
  local name=$1 holder=$2 _
  shift 2
  rm -f "$work/$name.ready"
  "$wine" "$holder" "$(winepath_of "$work/$name.ready")" "$@" >"$work/$name.out" 2>&1 &
  holders+=($!)
  for _ in $(seq 300); do
    [[ -s "$work/$name.ready" ]] && return 0
    kill -0 "${holders[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/$name.out"
  return 1
}
holders_still_run() {
  local pid
  for pid in "${holders[@]}"; do kill -0 "$pid" 2>/dev/null || { echo "holder $pid ended"; return 1; }; done
}
restart_prefix() {
  "$wineserver" -k
  "$wineserver" -w
  wait "${holders[@]}" 2>/dev/null
  holders=()
  "$wine" cmd /c exit >/dev/null 2>&1
  "$wineserver" -w
}
# put_modules FOLDER64 FOLDER32 [BYTES]: both kinds' modules into their system folders, BYTES appended to each.
put_modules() {
  local module folder
  for module in $modules; do
    cp "$1/$module" "$windows/system32/$module" && cp "$2/$module" "$windows/syswow64/$module" || return 1
    for folder in system32 syswow64; do printf '%s' "${3:-}" >>"$windows/$folder/$module"; done
  done
}
system_folders() { (cd "$windows" && find system32 syswow64 -maxdepth 1 -type f | sort); }
