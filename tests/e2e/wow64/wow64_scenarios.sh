#!/usr/bin/env bash
# The shipped 32-bit installer clicked through in a 64-bit prefix, where it runs as on 64-bit Windows: under
# WoW64, with "System32" redirected to the 32-bit system folder, "Sysnative" as the alias of the 64-bit one,
# and HKEY_LOCAL_MACHINE\Software seen through the 32-bit registry view unless it asks for the 64-bit one.
# Each install is read back from Wine's own stores (its folders and registry hive files) and with the
# system's own programs: the uninstaller's list, keyboard-layout loading in a 32-bit and a 64-bit process,
# and GDI's font enumeration.
# usage (inside scripts/wine-run.sh): wow64_scenarios.sh INSTALLER MANIFEST FONT_TABLE PROBE32 PROBE64
#                                     REGSVR32_STANDIN IME_STANDIN SCREENSHOT_DIR PLANTED_PROGRAM PLANTED_LIBRARY
#                                     MAKER_SITE
set -u
readonly installer=$1 manifest=$2 font_table=$3 probe32=$4 probe64=$5 regsvr32_standin=$6 ime_standin=$7 out=$8
readonly planted_program=$9 planted_library=${10} maker_site=${11}
readonly here=$(cd "$(dirname "$0")" && pwd)
readonly wine=$ZELN_WINE64 prefix=$ZELN_WINEPREFIX
readonly wineserver=${ZELN_WINESERVER:-/usr/lib/wine/wineserver}
readonly roaming="$prefix/drive_c/users/${USER:-root}/AppData/Roaming"
readonly windows="$prefix/drive_c/windows"
readonly product='{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}'
readonly uninstall='Software\Microsoft\Windows\CurrentVersion\Uninstall'
readonly uninstall32='Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
readonly earlier_layout=E0FF0804
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# shellcheck source=tests/e2e/install/install_checks.sh
source "$here/../install/install_checks.sh"
# shellcheck source=scripts/wizard-driver.sh
source "$here/../../../scripts/wizard-driver.sh"
rm -rf "$out" && mkdir -p "$out"

# wizard_install NAME: presses install, waits for the success page, presses finish; exit code 0 expected.
wizard_install() {
  wizard_start "$installer" || { import -window root "$out/$1-start.png"; return 1; }
  wizard_shot "$out/$1-welcome.png"
  wizard_press INSTALL_BUTTON
  wizard_wait_page success 300 || { wizard_shot "$out/$1-stuck.png"; return 1; }
  wizard_shot "$out/$1-success.png"
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30 || return 1
  [[ $WIZARD_STATUS == 0 ]] || { echo "exit code $WIZARD_STATUS"; return 1; }
}

# Wine writes its registry hives when the prefix's server ends: wait for that, then read the files.
flush_registry() { "$wineserver" -w; }
# stored_in_hive FILE PATH: the key is in a hive file (system.reg for the machine, user.reg for the user) as
# written, under exactly this path.
stored_in_hive() { grep -qiF "[${2//\\/\\\\}]" "$prefix/$1"; }
stored_in_machine_hive() { stored_in_hive system.reg "$1"; }
not_stored_in_hive() { ! stored_in_hive "$1" "$2" || { echo "still stored: $2"; false; }; }
not_stored_in_machine_hive() { not_stored_in_hive system.reg "$1"; }
no_sysnative_folder() { [[ -z $(find "$windows" -maxdepth 1 -iname sysnative) ]]; }
absent() { local path; for path in "$@"; do [[ ! -e "$path" ]] || { echo "still there: $path"; return 1; }; done; }
# The uninstaller prints "{code}|||name" in the console's code page: the product's Chinese name comes out
# as question marks here, so only the entry and a name of the right length are compared.
listed_by_uninstaller() {
  "$wine" uninstaller --list 2>/dev/null | tr -d '\r' >"$work/uninstaller.list"
  grep -qxE "$product[|]{3}.{6}" "$work/uninstaller.list" || { cat "$work/uninstaller.list"; false; }
}

# probe_layout PROBE NAME MACHINE: the recorded layout NAME loads, and the input-method manager loads the
# module of the process's own kind for it from the system folder. The keyboard driver of a display would
# answer with the display's layout instead, so the probe runs without one.
probe_layout() {
  local id
  id=$(recorded_layouts | sed -n "s/^$2=//p")
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
# probe_fonts PROBE: GDI finds every family of the font table by the name in its own font file.
probe_fonts() {
  local families=()
  mapfile -t families < <(cut -f2 "$font_table" | sed 's/ (OpenType)$//')
  "$wine" "$1" fonts "${families[@]}" 2>/dev/null | tr -d '\r' >"$work/fonts.out"
  [[ $(grep -c '^found ' "$work/fonts.out") -eq ${#families[@]} ]] || { grep -v '^found ' "$work/fonts.out"; false; }
}

# What earlier editions left, in both registry views and both system folders: their uninstall entries, a
# per-user Windows Installer registration, a layout of an earlier IME module, earlier modules, an IME
# module without a version resource, and an earlier update folder.
prepare_earlier_edition() {
  local key view folder
  for key in 'ZelnIME2016' '{39318221-A7D4-400F-B932-674B420F4FF8}' '{9C2801B2-17E6-47B0-B7B9-F65A3000165B}'; do
    for view in "$uninstall" "$uninstall32"; do
      "$wine" reg add "HKLM\\$view\\$key" /v DisplayName /d 'Zelnsoft IME 2016' /f >/dev/null 2>&1 || return 1
    done
  done
  "$wine" reg add "HKCU\\$uninstall\\{CBA7897C-F148-44DA-B5C0-872A30E765E2}" /v DisplayName /d 'Zelnsoft IME' /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Microsoft\Installer\Products\C7987ABC841FAD445B0C78A2037E562E\SourceList\Net' \
    /v 1 /d 'D:\' /f >/dev/null 2>&1
  "$wine" reg add "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\$earlier_layout" \
    /v 'IME File' /d ZelnsoftZelnCode.ime /f >/dev/null 2>&1
  for folder in system32 syswow64; do
    echo "earlier module" >"$windows/$folder/ZelnsoftZelnCode.ime"
    echo "earlier converter" >"$windows/$folder/ZelnIMECnvrt.dll"
    echo "no version resource" >"$windows/$folder/ZelnIme.ime"
  done
  mkdir -p "$prefix/drive_c/Program Files (x86)/Zelnsoft/Update"
  echo "earlier updater" >"$prefix/drive_c/Program Files (x86)/Zelnsoft/Update/ZNUpdate.exe"
  flush_registry
  stored_in_machine_hive "$uninstall\\ZelnIME2016" && stored_in_machine_hive "$uninstall32\\ZelnIME2016" &&
    stored_in_hive user.reg "$uninstall\\{CBA7897C-F148-44DA-B5C0-872A30E765E2}"
}

earlier_edition_removed() {
  local key view problems=0
  for key in 'ZelnIME2016' '{39318221-A7D4-400F-B932-674B420F4FF8}' '{9C2801B2-17E6-47B0-B7B9-F65A3000165B}'; do
    for view in "$uninstall" "$uninstall32"; do
      not_stored_in_machine_hive "$view\\$key" || problems=$((problems + 1))
    done
  done
  not_stored_in_machine_hive "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\$earlier_layout" || problems=$((problems + 1))
  not_stored_in_hive user.reg "$uninstall\\{CBA7897C-F148-44DA-B5C0-872A30E765E2}" || problems=$((problems + 1))
  not_stored_in_hive user.reg 'Software\Microsoft\Installer\Products\C7987ABC841FAD445B0C78A2037E562E' ||
    problems=$((problems + 1))
  # The update folder itself comes back with the present edition's service.
  absent "$windows"/{system32,syswow64}/{ZelnsoftZelnCode.ime,ZelnIMECnvrt.dll} \
    "$prefix/drive_c/Program Files (x86)/Zelnsoft/Update/ZNUpdate.exe" || problems=$((problems + 1))
  [[ $problems -eq 0 ]]
}

echo "installer: $installer"
check "the 32-bit installer is a PE32 program" bash -c "file -b '$installer' | grep -q '^PE32 executable'"
check "an earlier edition is prepared in both views and both system folders" prepare_earlier_edition

# 1. A fresh install on the version Wine reports by default (6.1: the older kind of layouts).
check "a fresh install clicked through reaches the success page and exits with 0" wizard_install fresh
flush_registry
check "every entry is where 64-bit Windows puts it (kind 1 in system32, kind 2 in syswow64)" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed
check "no folder named Sysnative is created" no_sysnative_folder
check "the uninstall entry is stored in the 64-bit view" stored_in_machine_hive "$uninstall\\$product"
check "the uninstall entry is not under Wow6432Node" not_stored_in_machine_hive "$uninstall32\\$product"
check "the uninstall entry carries the version" uninstall_entry_names_version
check "the system's uninstaller lists the product" listed_by_uninstaller
check "the earlier edition is gone from both views and both system folders" earlier_edition_removed
check "both layouts of the older kind are registered and recorded" records_layouts KLCN KLMN
check "the 28 fonts are registered" fonts_registered
check "the log is deleted after success" log_deleted
check "a 64-bit process loads the Mongolian layout with the 64-bit IME module" probe_layout "$probe64" KLMN amd64
check "a 32-bit process loads the Mongolian layout with the 32-bit IME module" probe_layout "$probe32" KLMN i386
check "a 32-bit process loads the Chinese layout with the 32-bit IME module" probe_layout "$probe32" KLCN i386
check "GDI of a 64-bit process finds every font family by its own name" probe_fonts "$probe64"
check "GDI of a 32-bit process finds every font family by its own name" probe_fonts "$probe32"

# 2. Again over the installed edition on Windows 10 (the text-service branch). The 32-bit installer's
# regsvr32 is the 32-bit one in syswow64: a stand-in that, unlike Wine's, reads "/s-" as Windows does.
rm -f "$windows/syswow64/regsvr32.exe" && cp "$regsvr32_standin" "$windows/syswow64/regsvr32.exe"
"$wine" reg add 'HKCU\Software\Wine\DllOverrides' /v regsvr32.exe /t REG_SZ /d native /f >/dev/null 2>&1
"$wine" winecfg -v win10 >/dev/null 2>&1
export ZELN_REGSVR32_RECORD
ZELN_REGSVR32_RECORD=$(winepath_of "$work/regsvr32.record")
check "a second install on Windows 10 reaches the success page and exits with 0" wizard_install again
flush_registry
check "every entry is still where 64-bit Windows puts it" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed
check "the 32-bit regsvr32 is run on the text-service module" regsvr32_ran_as_windows_would
check "the module's registration ran" text_service_registered
check "the earlier layouts are retired: one layout names the IME module" test "$(layout_count)" -eq 1
check "the uninstall entry is still only in the 64-bit view" not_stored_in_machine_hive "$uninstall32\\$product"
check "a 64-bit process loads the text-service branch's layout" probe_layout "$probe64" KLMN amd64
check "a 32-bit process loads the text-service branch's layout" probe_layout "$probe32" KLMN i386

# 3. On Windows Vista, the oldest workstation edition with the alias, while an input-method instance holds
# the install at its first notice for a while: the log names the edition as it runs, then the install ends.
"$wine" winecfg -v vista >/dev/null 2>&1
"$wine" "$ime_standin" 'C:\standin.log' 'RUDERADOD_MSGWND{28b83e81-2466-47a2-a12d-95bcd38b237e}' \
  --answer-3002-after 8000 &
standin=$!
for _ in $(seq 100); do grep -q ready "$prefix/drive_c/standin.log" 2>/dev/null && break; sleep 0.1; done
# keep_log_while_running: a copy of the log as soon as it is there, while the install is held.
keep_log_while_running() {
  local _
  for _ in $(seq 100); do
    [[ -s "$roaming/ins.log" ]] && { cp "$roaming/ins.log" "$work/vista.log"; return 0; }
    sleep 0.1
  done
  return 1
}
vista_install() {
  wizard_start "$installer" || { import -window root "$out/vista-start.png"; return 1; }
  wizard_press INSTALL_BUTTON
  wizard_wait_page installing 60 || return 1
  keep_log_while_running
  wizard_shot "$out/vista-installing.png"
  wizard_wait_page success 300 || { wizard_shot "$out/vista-stuck.png"; return 1; }
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30 || return 1
  [[ $WIZARD_STATUS == 0 ]]
}
# A new log: the UTF-8 byte-order mark, then the system line with Windows' line end.
log_names_vista() {
  cmp -s "$work/vista.log" <(printf '\xef\xbb\xbfOS Type : Vista x64 bit.\r\n') || { od -c "$work/vista.log" | head; false; }
}
check "an install on Vista reaches the success page and exits with 0" vista_install
kill "$standin" 2>/dev/null
check "while it ran on Vista, the log named the edition" log_names_vista
check "the instance was told before and after the install" \
  diff <(tr -d '\r' <"$prefix/drive_c/standin.log") <(printf 'ready\n3002\n3001\n')
check "every entry is in place after the Vista install" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed
check "the log is deleted after the Vista install" log_deleted

# 4. Started by a person from a download folder that also holds programs and DLLs named like those the installer
# or the system might start or load, each of which records it if it ever runs; the folder is also the current
# directory, as when the installer is opened there. On Windows 10, so regsvr32 runs too.
readonly downloads="$prefix/drive_c/users/${USER:-root}/Downloads"
plant_download_folder() {
  local name
  mkdir -p "$downloads" && cp "$installer" "$downloads/ZelnIME-Setup.exe" || return 1
  for name in explorer regsvr32 cmd rundll32 msiexec; do cp "$planted_program" "$downloads/$name.exe" || return 1; done
  for name in version msimg32 gdiplus propsys uxtheme dwmapi cryptbase winmm psapi shlwapi comctl32 imm32 msctf \
              oleacc userenv profapi secur32 sspicli wtsapi32 ntmarta windowscodecs apphelp setupapi shfolder \
              dbghelp rsaenh cryptsp wintrust iertutil urlmon; do
    cp "$planted_library" "$downloads/$name.dll" || return 1
  done
}
download_folder_install() {
  pushd "$downloads" >/dev/null || return 1
  wizard_start "$downloads/ZelnIME-Setup.exe"
  local started=$?
  popd >/dev/null || return 1
  [[ $started -eq 0 ]] || { import -window root "$out/downloads-start.png"; return 1; }
  wizard_press AGREEMENT_LINK
  opened_pages 1 || return 1
  wizard_press INSTALL_BUTTON
  wizard_wait_page success 300 || { wizard_shot "$out/downloads-stuck.png"; return 1; }
  wizard_shot "$out/downloads-success.png"
  wizard_press RECOMMEND_LINK
  opened_pages 2 || return 1
  wizard_press FINISH_BUTTON
  wizard_wait_exit 30 || return 1
  [[ $WIZARD_STATUS == 0 ]] || { echo "exit code $WIZARD_STATUS"; return 1; }
}
# opened_pages COUNT: waits up to 30 s until the system's explorer has handed that many addresses to the
# browser (the harness's stand-in records them on drive C).
opened_pages() {
  local _
  for _ in $(seq 150); do
    [[ $(wc -l <"$prefix/drive_c/browser-addresses.txt" 2>/dev/null || echo 0) -ge $1 ]] && return 0
    sleep 0.2
  done
  echo "pages opened: $(cat "$prefix/drive_c/browser-addresses.txt" 2>/dev/null)"
  return 1
}
nothing_planted_ran() {
  local record found=0
  for record in planted-loads.txt explorer-commands.txt; do
    [[ -e "$downloads/$record" ]] && { echo "$record:"; iconv -f UTF-16LE -t UTF-8 "$downloads/$record" 2>/dev/null ||
                                        cat "$downloads/$record"; found=1; }
  done
  [[ $found -eq 0 ]]
}
links_opened_their_pages() {
  diff <(cat "$prefix/drive_c/browser-addresses.txt") \
    <(printf '%s\n' "$maker_site/site/alias__dovevoz/2826/Default.aspx" \
                     "$maker_site/site/alias__dovevoz/2824/Default.aspx#recommend")
}
regsvr32_ran_from_the_system_folder() {
  iconv -f UTF-16LE -t UTF-8 "$work/downloads-regsvr32.record" | tr -d '\r' >"$work/downloads-regsvr32.txt"
  grep -qxF 'parameters:/s- C:\windows\system32\ZelnImeTSF.ime' "$work/downloads-regsvr32.txt" &&
    grep -qixF 'directory:C:\windows\system32' "$work/downloads-regsvr32.txt" || { cat "$work/downloads-regsvr32.txt"; false; }
}
"$wine" winecfg -v win10 >/dev/null 2>&1
"$wine" reg delete 'HKCU\Software\Zelnsoft\DemoTextService' /f >/dev/null 2>&1
rm -f "$prefix/drive_c/browser-addresses.txt"
ZELN_REGSVR32_RECORD=$(winepath_of "$work/downloads-regsvr32.record")
check "a download folder holds the installer beside planted programs and DLLs" plant_download_folder
check "started from that folder, the installer opens both pages and installs to the success page" download_folder_install
check "no planted program ran and no planted DLL was loaded" nothing_planted_ran
check "the links had the system's explorer open the agreement page, then the recommendation page" links_opened_their_pages
check "the system folder's 32-bit regsvr32 ran on the text-service module, in the system folder" \
  regsvr32_ran_from_the_system_folder
check "the module's registration ran" text_service_registered
check "every entry is in place after the install from the download folder" \
  "$here/../install/check_install.py" --wow64 "$prefix" "$manifest" installed

echo "screenshots: $out"
echo "$failures failed"
[[ $failures -eq 0 ]]
